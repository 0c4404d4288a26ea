// Modders' drawn material in data/mods/: PNG pictures matched to the game
// palette and put in place of what the generator draws, and level maps cut
// from pictures or read from the modders' own text maps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/gfxgen/gfxgen.h"

namespace gg {

// A PNG read whole: RGBA, plus its own palette indices when it has a palette.
struct Png {
    std::string path;
    int w = 0, h = 0;
    std::vector<uint8_t> rgba;   // 4 bytes a pixel
    std::vector<uint8_t> index;  // palette PNGs: one byte a pixel, else empty
    bool game_palette = false;   // every index used shows the game palette's colour
};

// How the RGB of a picture becomes palette colours.
struct Matching {
    bool key_on = true;  // pixels of exactly this colour are see-through
    int key[3] = {0, 0, 0};
    bool avoid_recolour = false;  // inexact colours keep off the gang-scheme colours
};

bool read_png(const std::string& path, Png& out);  // reports "path: message"
BITMAP* to_palette(const Png& p, const Matching& m);
bool recoloured_colour(int index);  // a colour some gang scheme exchanges

// data/mods/ of the source folder: `levels` for the level datafile's run.
// Each call reports its own errors and returns false (or null) when the
// build must stop; a missing folder holds nothing.
bool mods_open(const std::string& src, bool levels);
bool mods_apply_main(Out& o);                            // sprites and pictures of NIGHTWAR.DAT
BITMAP* mods_backdrop(BITMAP* drawn, const char* name);  // "dif2" .. "credits"

// What data/mods/levels/ gives for map `name` ("lev1", "van", or a new one).
struct LevelMod {
    std::string source;  // NAME.txt: a street source or, when tile_map, a tile map
    bool tile_map = false;
    std::string picture, front, tiles;  // NAME.png, NAME-front.png, NAME-tiles.png
};
const LevelMod* mods_level(const std::string& name);
std::vector<std::string> mods_new_levels();  // maps the game does not have yet, sorted

}  // namespace gg
