// The main datafile (NIGHTWAR.DAT), addressed by object index, and what
// the sprites are drawn with besides: their hot spots, the recolour table
// of lit actors and the scratch bitmap for mirroring them.
#pragma once

#include <allegro.h>

constexpr int MAIN_PALETTE = 23;
constexpr int FIRST_HOTSPOT_OBJECT = 26;
constexpr int LAST_HOTSPOT_OBJECT = 557;

// Loads `path` into gfx.main_data. The library trusts every size in the file,
// so its structure is checked first, and one without the palette and the
// sprites where every screen expects them is refused too: false then, with
// the reason in stderr.txt.
bool main_data_load(const char* path);

void build_recolour_table(COLOR_MAP* map);
// At least objects 0..557, the palette at 23 and bitmaps at 26..557.
bool main_data_complete(const DATAFILE* data);
// Hot spots of objects 26..557 from their XHOT/YHOT properties; the
// datafile must be complete.
void apply_hot_spots(DATAFILE* data);
