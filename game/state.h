// Everything the game layer holds for the run: the game in progress, the
// furthest level, the score tables, the frame clock and the hooks the
// layers above hand down.
#pragma once

#include <atomic>
#include <cstdint>

#include "game/level_loop.h"
#include "game/scores.h"
#include "game/session.h"

struct GameState {
    CurrentGame current = {};
    int16_t furthest_level = 0;
    bool level_failed = false;  // the last run_game ended at a level that could not load
    ScoreEntry score_tables[SCORE_TABLES][SCORE_ROWS] = {};
    // Frame periods elapsed in the current game. Written by the timer thread
    // while the clock runs, by the main thread only while it is stopped.
    std::atomic<uint32_t> frame_ticks{0};
    const LevelLoopOps* level_ops = &default_level_ops;
    GameScreens screens = {nullptr, nullptr};
    // The title's attract cycle is playing a demo: its picture says "DEMO".
    // Set by the title around the game it starts; only drawing reads it.
    bool attract_demo = false;
    // F1 seen down at the previous pass; kept for the whole run so that a
    // held key saves one picture only.
    bool screenshot_key_was_down = false;
};
extern GameState game;

// As at start-up: no game, no progress, the built-in scores, the clock at
// 0, the real platform calls and no screens from above. Call with the
// frame clock stopped.
void game_state_reset();
