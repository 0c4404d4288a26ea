#include "game/state.h"

GameState game;

void game_state_reset()
{
    game.current = {};
    game.furthest_level = 0;
    game.level_failed = false;
    scores_reset();
    game.frame_ticks.store(0);
    game.level_ops = &default_level_ops;
    game.screens = {nullptr, nullptr};
    game.attract_demo = false;
    game.screenshot_key_was_down = false;
}
