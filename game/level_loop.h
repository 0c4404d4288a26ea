// The level loop, one pass at a time, and the world tick it runs.
#pragma once

#include <climits>
#include <cstdint>

#include "nwd_contract.h"

struct BITMAP;

// One world tick: controls in, the actors' pass, the level's tick hook, the
// sound requests, the counters. 0 when the tick did not run because play
// must stop (a replay or the credits interrupted, a replay run out).
int world_tick();

// Where the loop waits, draws and drives the frame clock; tests replace it
// so that a pass runs without a display or a timer thread.
struct LevelLoopOps {
    void (*rest)(unsigned ms);
    void (*draw)(int pictures);  // the scene and the HUD into the BackBuffer
    void (*present)();           // wait for the display, copy the changed rows
    void (*start_clock)(uint16_t fps);
    void (*stop_clock)();
};
extern const LevelLoopOps default_level_ops;

struct LevelLoop {
    int16_t mode, level;
    bool frozen;
    int pictures;       // frames drawn in this level; their parity drives blinking
    int16_t music_cue;  // the last value of the scripts' music global acted on
};

// The scripts choose the music of a moment through the global `music`
// (GLOBAL_MUSIC): MUSIC_LEVEL, MUSIC_BOSS (the playlist's "boss" moment) or
// MUSIC_SILENCE.
// Plays what the cue asks for in `level` (music on and no "-mod" file only).
void follow_music_cue(int16_t level, int16_t cue);

// level_pass's result while the level goes on.
constexpr int LEVEL_GOES_ON = INT_MIN;

// The start of a level: its graphics, the director with the carried
// values, its music and the frame clock. 1 ready, 0 when it could not be
// loaded (level_error() says why).
int load_level(int16_t mode, int16_t level);
// The stage and, on a row with a HUD, the HUD with the game's values or,
// in a replay given with -play, the statistics overlay: the loop's `draw`.
void draw_frame(int pictures);
// draw_hud on the BackBuffer with the game's values; marks rows 0..31.
void draw_hud_now(int force);
// The overlay from the demo being replayed, the frame rate and the music.
void draw_statistics(BITMAP* bmp, uint16_t controls);

// One pass of the loop: rest, the owed ticks, at most one picture, the keys
// that act outside the scripts. LEVEL_GOES_ON, or what run_level returns.
int level_pass(LevelLoop& loop);

// The cheat keys for this pass (the gate already open): item actors and the
// level jumps. 1..10 for a jump, else 0.
int apply_cheat_keys();
