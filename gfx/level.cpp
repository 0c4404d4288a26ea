#include "gfx/level.h"

#include "gfx/scene.h"

// clang-format off
constexpr LevelDesc level_catalogue[LEVEL_ROWS] = {
    {"van.bin",  "van.pcx",  "dif2.pcx",    16, 0,   7,  48, 111,  8, 1, 128, "level5", nullptr,       nullptr},
    {"lev1.bin", "lev1.pcx", "",            16, 255, 13, 32, 0,    0, 1, 1,   "level1", nullptr,       nullptr},
    {"lev2.bin", "lev2.pcx", "dif2.pcx",    16, 255, 13, 32, 111,  8, 1, 128, "level2", nullptr,       draw_parallax_band},
    {"lev3.bin", "lev3.pcx", "dif3.pcx",    16, 255, 13, 32, 128, 23, 1, 384, "level3", nullptr,       draw_parallax_band},
    {"lev4.bin", "lev4.pcx", "",            16, 255, 13, 32, 0,    0, 1, 1,   "level4", nullptr,       nullptr},
    {"lev5.bin", "lev5.pcx", "dif5.pcx",    16, 255, 13, 32, 208, 23, 7, 768, "level5", nullptr,       draw_parallax_band},
    {"van.bin",  "van.pcx",  "dif2.pcx",    16, 0,   7,  48, 111,  8, 1, 128, "level1", type_captions, draw_van_band},
    {"van.bin",  "van.pcx",  "dif2.pcx",    16, 0,   7,  48, 111,  8, 1, 128, "level2", type_captions, draw_van_band},
    {"van.bin",  "van.pcx",  "dif2.pcx",    16, 0,   7,  48, 111,  8, 1, 128, "level3", type_captions, draw_van_band},
    {"van.bin",  "van.pcx",  "dif2.pcx",    16, 0,   7,  48, 111,  8, 1, 128, "level4", type_captions, draw_van_band},
    {"high.bin", "high.pcx", "",            16, 0,   11, 32, 0,    0, 1, 128, "level5", type_captions, nullptr},
    {"",         "",         "CREDITS.PCX", 16, 0,   13, 0,  111,  8, 1, 128, "ending", nullptr,       draw_credits},
};
// clang-format on

LevelMap level_map = {nullptr, nullptr, 0, -1, nullptr, 16};
BITMAP* band_strip = nullptr;

const LevelDesc* level_desc(int level)
{
    return level >= 0 && level < LEVEL_ROWS ? &level_catalogue[level] : nullptr;
}

int load_level(int16_t, int16_t) { return 0; }
int load_level_map(const char*, const char*, const char*, int) { return 0; }
void unload_level_map() {}
int build_band_strip(BITMAP*, int) { return 0; }
void release_band_strip() {}
