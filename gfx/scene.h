// Drawing one frame of the current stage into the BackBuffer, and the
// stages' own hooks: background bands, credits and typed captions.
#pragma once

#include <cstdint>

struct BITMAP;
struct RGB;

// The stage's backdrop, map, actors and foreground into the BackBuffer,
// play area rows marked; 0 when there is no stage or no picture to draw.
// The HUD above it is the game's to draw.
int draw_scene(int frame_count);
// A heavy impact shakes the play area for `ticks` world ticks (the longest
// asked for wins); scene_settle counts one tick of it down.
void scene_jolt(int ticks);
void scene_settle();
// How far the play area is moved down (negative: up) with `jolt` ticks of
// shaking left: a few pixels, alternating every two ticks, dying away.
int jolt_offset(int jolt);
// The palette the scene is shown in: drop shadows darken through it.
void scene_use_palette(const RGB* pal);
void draw_tile_block(BITMAP* bmp, unsigned first_cell, int columns, int rows, int x, int y);
void draw_map_cell(BITMAP* bmp, int x, int y, unsigned cell);

// Background hooks named by the catalogue.
void draw_parallax_band();
void draw_van_band();
void draw_credits();
// Tick hook of the interludes: types what caption_due says for the stage's
// tick, and counts the tick.
void type_captions();

// Actors to paint this frame, in painting order (back to front); returns
// how many slots were written to `out` (room for 64). Those whose sort key
// is OVER_FOREGROUND or more (the contract) are painted after the
// foreground layer of levels 2 and 3, so that words over the view (banners,
// the bonus count) are never crossed by a lamp post passing in front. Hints
// (HINT_LAYER up) are left out while a demo plays.
int scene_draw_list(int frame_count, int16_t* out);

struct CaptionLine {
    int delay;  // in steps of 5 ticks
    char text[32];
    int length;  // characters to type
    int x, y;
};
constexpr int CAPTION_END_DELAY = 37767;

// What type_captions prints in the tick that starts with `level_ticks` on
// `level`: 1 with the line and character index, 0 when nothing is typed.
int caption_due(int level, uint32_t level_ticks, const CaptionLine** line, int* index);

constexpr int CREDITS_LINES = 130;
extern const char* const credits_text[CREDITS_LINES];
