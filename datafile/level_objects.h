// The objects of "LEVELS.DAT" that each row of the level catalogue loads, in
// a form that needs no display library: the simulator checks a level file
// against it, and the catalogue in gfx/level.cpp is checked against it when
// compiled, so the two never part.
#pragma once

struct LevelObjects {
    const char* map;       // "" for none
    const char* sheet;     // the tile sheet, with the map
    const char* backdrop;  // "" when the row draws no background picture
};

constexpr int LEVEL_OBJECT_ROWS = 12;
constexpr LevelObjects level_objects[LEVEL_OBJECT_ROWS] = {
    {"van.bin", "van.pcx", "dif2.pcx"},   {"lev1.bin", "lev1.pcx", ""},
    {"lev2.bin", "lev2.pcx", "dif2.pcx"}, {"lev3.bin", "lev3.pcx", "dif3.pcx"},
    {"lev4.bin", "lev4.pcx", ""},         {"lev5.bin", "lev5.pcx", "dif5.pcx"},
    {"van.bin", "van.pcx", "dif2.pcx"},   {"van.bin", "van.pcx", "dif2.pcx"},
    {"van.bin", "van.pcx", "dif2.pcx"},   {"van.bin", "van.pcx", "dif2.pcx"},
    {"high.bin", "high.pcx", ""},         {"", "", "CREDITS.PCX"},
};
