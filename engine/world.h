// The engine's half of a world tick, and the passage from one level of a game
// to the next. The game and the headless simulator both advance the world
// through here, so a replay without a display is the game's own.
#pragma once

#include <cstdint>

#include "nwd_contract.h"

using WorldSoundFn = void (*)(int slot, int effect, int pan, void* user);
using WorldHookFn = void (*)();

// Stereo position of a sound: x - scroll_x + 128, clamped to 0..255.
int world_pan(int32_t x, int32_t scroll_x);

// Sets `controls`, runs the pass, calls the hook, then hands each actor's
// sound request to `sound` in list order and clears it. With `sound` null
// (sound off) requests stay in the registers.
void world_step(int16_t controls, WorldHookFn hook, WorldSoundFn sound, void* user);

// A game between levels: the row to play next, the mode and skill, and the
// values carried from one level to the next.
struct WorldStart {
    int16_t level, mode, skill;
    int16_t score, item, item_count, stars, lives;
};

// Level rows a game can play; an outcome outside them ends the game (0 or
// less: over, GAME_WON or more: won).
constexpr int16_t WORLD_FIRST_ROW = 1;
constexpr int16_t WORLD_LAST_ROW = CREDITS;
// The outcome of a level whose map or pictures could not be loaded.
constexpr int WORLD_LEVEL_NOT_LOADED = -2;

inline bool world_row_playable(int row) { return row >= WORLD_FIRST_ROW && row <= WORLD_LAST_ROW; }

// A new game: seeds the random generator, empties the argument stack and
// gives the values a game starts with (ARCADE: 1 star and 2 lives).
WorldStart world_new_game(int16_t level, int16_t mode, int16_t skill, uint32_t seed);

// The start of a level: the director (PROGRAM_DIRECTOR) with level and mode,
// skill and the carried values in the globals.
void world_start_level(const WorldStart& s);

// After the level ended with `outcome`: the carried globals go into `s`
// (a level that never loaded leaves them as they were), the actor table
// and the globals are reset, and the outcome becomes the next row. True
// when that row is played next. The random generator and the argument
// stack run on.
bool world_end_level(WorldStart& s, int outcome);
