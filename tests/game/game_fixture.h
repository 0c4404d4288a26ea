// Shared set-up for the game tests: a small program table, a fake platform
// for the level loop and a clean input state.
#pragma once

#include <allegro.h>
#include <gtest/gtest.h>

#include <string>

#include "engine/amc.h"
#include "game/level_loop.h"
#include "game/session.h"

// The director copies `controls` to global 5, counts its turns in global 6
// and ends the level with outcome 3 at the turn whose count equals global 7.
// Every other program up to the pickup only yields.
constexpr int COUNT_GLOBAL = 6, STOP_AT_GLOBAL = 7, SEEN_CONTROLS_GLOBAL = 5;

// What the fake platform saw, one letter per call: r rest, d draw,
// p present, s start clock, x stop clock.
extern std::string platform_log;

class GameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;
    // A level loop on `level` with the director running; ticks owed = owed.
    LevelLoop start(int16_t level, uint32_t owed = 0);
    void press(int scancode, bool down = true) { key[scancode] = down ? 1 : 0; }
};

// Street `street` of a new ARCADE game at skill 5 on the loaded scripts, with
// its first tick run; then ticks with the given controls.
void begin_street(int street, uint32_t seed);
void step(uint16_t controls = 0);

// The game's own scripts, loaded from the built game folder for each case
// (skipped when it is not built).
class ScriptsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        amc_unload_all();
        const std::string amc = std::string(NWD_GAME_DIR) + "/AMC/GAME.AMC";
        if (amc_load(amc.c_str()) != 0)
            GTEST_SKIP() << "the game folder is not built";
    }
    void TearDown() override { amc_unload_all(); }
};
