// The level catalogue and the graphics of the level being played: map,
// tile sprites and the pre-tiled background strip.
#pragma once

#include <cstdint>

#include "fileio/byteorder.h"
#include "nwd_contract.h"

struct BITMAP;
struct RLE_SPRITE;
struct DATAFILE;

using LevelHook = void (*)();

struct LevelDesc {
    char map_name[13];  // map object in LEVELS.DAT; empty = no tile map
    char tile_sheet_name[13];
    char backdrop_name[13];
    int8_t tile_size;
    uint8_t has_hud;      // nonzero: rows 0..31 show the HUD
    int16_t map_rows;     // tiles per map column
    int16_t play_top;     // screen row of the play area; actors' y is from here
    int16_t band_height;  // 0 = no background picture
    int16_t band_divisor;
    int16_t band_multiplier;
    int16_t band_wrap;        // horizontal repeat period of the background
    const char* music;        // configuration key naming the module
    LevelHook tick_hook;      // after the actors, once per tick
    LevelHook backdrop_hook;  // before the map, once per drawn frame
};

constexpr int LEVEL_ROWS = 12;
constexpr int LEVEL_CREDITS = CREDITS;
extern const LevelDesc level_catalogue[LEVEL_ROWS];

// The catalogue row of `level`, or nullptr when there is no such row.
const LevelDesc* level_desc(int level);

// The loaded map. Cells are little-endian 16-bit words in the map object's
// data, stored column by column.
struct LevelMap {
    DATAFILE* object;  // kept loaded: its data are the cells
    const uint8_t* cells;
    uint16_t length;     // map_length: number of cells
    int32_t max_tile;    // largest tile number; -1 while nothing is loaded
    RLE_SPRITE** tiles;  // max_tile + 1 sprites
    int8_t tile_size;
};

inline unsigned map_cell(const LevelMap& map, unsigned cell)
{
    return get_le16(map.cells + 2u * cell);
}

// The stage being drawn: the catalogue row whose graphics are loaded, and
// the ticks it has run, which time the interludes' captions.
struct Stage {
    int16_t level;
    uint32_t ticks;   // calls of its tick hook so far
    bool hide_hints;  // a demo plays: hints for a new player would only hide its fight
    int jolt;         // ticks the play area still shakes after a heavy impact
};

// The objects of LEVELS.DAT as the last structure check found them; the
// library's object loader is only handed a file that passed it. Objects
// beyond LEVELS_INDEX_SIZE would be reported missing: the catalogue names
// a few dozen.
constexpr int LEVELS_INDEX_SIZE = 256;
struct LevelsIndex {
    bool passed;
    int count;
    struct {
        char name[32];
        uint32_t type;
    } objects[LEVELS_INDEX_SIZE];
};

// Loads the graphics of `level` (LEVELS.DAT under `dir`, checked whole
// before the library reads any object of it) and draws its first picture:
// the HUD's frame or a cleared picture. It becomes the stage. 1 when it is
// ready, 0 on failure (diagnostic written).
int load_level_graphics(int16_t level, const char* dir);
// Why the last load_level_graphics or load_level_map failed, as its diagnostic line
// says it, without the line end; "" after a success.
const char* level_error();
// 1 on success; loads the map and cuts its tiles from the sheet.
int load_level_map(const char* dir, const char* sheet_name, const char* map_name, int size);
void unload_level_map();
// Builds gfx.band_strip from `picture` (replacing any previous strip); 0 on failure.
int build_band_strip(BITMAP* picture, int wrap);
void release_band_strip();
