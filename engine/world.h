// The engine's half of a world tick: controls in, one pass, sound requests out.
// The game and the headless simulator both advance the world through here.
#pragma once

#include <cstdint>

using WorldSoundFn = void (*)(int slot, int effect, int pan, void* user);
using WorldHookFn = void (*)();

// Stereo position of a sound: x - scroll_x + 128, clamped to 0..255.
int world_pan(int32_t x, int32_t scroll_x);

// Sets `controls`, runs the pass, calls the hook, then hands each actor's
// sound request to `sound` in list order and clears it. With `sound` null
// (sound off) requests stay in the registers.
void world_step(int16_t controls, WorldHookFn hook, WorldSoundFn sound, void* user);

// The state at the start of a level as the simulator and the level loader
// set it: director (program 14) with level and mode, skill and the carried
// values in the globals.
struct WorldStart {
    int16_t level, mode, skill;
    int16_t score, item, item_count, stars, lives;
};
void world_start_level(const WorldStart& s);
