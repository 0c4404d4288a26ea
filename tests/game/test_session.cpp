// Whole games on the game's own scripts and levels, without a display: the
// frame clock advances by one period per pass of the level loop.
#include <allegro.h>

#include <string>

#include "config/state.h"
#include "demo/state.h"
#include "engine/amc.h"
#include "frontend/menu.h"
#include "game/clock.h"
#include "game/state.h"
#include "game_fixture.h"
#include "gfx/display.h"
#include "gfx/level.h"
#include "gfx/state.h"
#include "input/state.h"

namespace {

const std::string GAME = NWD_GAME_DIR;
const std::string DATA = GAME + "/DATA/";

void one_period(unsigned) { game.frame_ticks.fetch_add(1); }
void nothing(int) {}
void nothing() {}
void no_clock(uint16_t) {}
const LevelLoopOps TICKING = {one_period, nothing, nothing, no_clock, nothing};
constexpr int WAITED_OUT_MS = 2000;

class SessionTest : public GameTest {
protected:
    void SetUp() override
    {
        GameTest::SetUp();
        if (!exists((DATA + "LEVELS.DAT").c_str()) || !exists((GAME + "/AMC/GAME.AMC").c_str()))
            GTEST_SKIP() << "the game folder is not built";
        amc_unload_all();
        ASSERT_EQ(amc_load((GAME + "/AMC/GAME.AMC").c_str()), 0);
        config.data_dir = DATA.c_str();
        gfx.back_buffer = create_bitmap_ex(8, PICTURE_W, PICTURE_H);
        game.level_ops = &TICKING;
    }
    void TearDown() override
    {
        if (gfx.back_buffer)
            destroy_bitmap(gfx.back_buffer);
        gfx.back_buffer = nullptr;
        GameTest::TearDown();
    }
};

}  // namespace

TEST_F(SessionTest, LostGameIsRecordedAndReplaysToTheSameEnd)
{
    // Survival starts without lives: walking into the first fight and never
    // hitting back, the hero is beaten and his fall ends the game. (Standing
    // still before it would last for ever: the clock runs only in fights.)
    static int waited;
    waited = 0;
    WaitOps ops = default_wait_ops;
    ops.wait = [](int ms) { waited += ms; };
    input.wait_ops = &ops;
    press(KEY_RIGHT);
    ASSERT_EQ(run_game(nullptr, 0, 2, 1, 5, 0), 1);
    input.wait_ops = &default_wait_ops;
    // A key still held at GAME OVER (no name to enter) is waited out, for a
    // bounded time, so that the menus after it do not take it.
    EXPECT_EQ(waited, WAITED_OUT_MS);
    press(KEY_RIGHT, false);
    EXPECT_EQ(game.current.level, 0);
    EXPECT_EQ(game.current.lives, 0);
    EXPECT_EQ(game.current.stars, 0);
    uint32_t played = game.current.frames_run;
    EXPECT_GT(played, 10u * 72);
    ASSERT_NE(demos.last_game, nullptr);
    DemoHeader h = demo_header(demos.last_game);
    EXPECT_EQ(h.frames, played);
    EXPECT_EQ(h.level, 1);
    EXPECT_EQ(h.mode, 2);
    EXPECT_FALSE(demos.state & DEMO_RECORDING);

    ASSERT_EQ(run_game(demos.last_game, 0, 0, 0, 0, 0), 1);
    EXPECT_EQ(game.current.level, 0);  // the scripts ended it, not the demo's end
    EXPECT_EQ(game.current.frames_run, played);
}

TEST_F(SessionTest, CreditsAreNotRecordedAndEndTheRun)
{
    config.settings.difficulty = 7;
    ASSERT_EQ(run_game(nullptr, 0, 1, LEVEL_CREDITS, 0, 0), 1);
    EXPECT_EQ(demos.last_game, nullptr);
    EXPECT_EQ(game.current.skill, 7);
    EXPECT_EQ(game.current.lives, 2);  // arcade
    EXPECT_EQ(game.current.stars, 1);
    EXPECT_EQ(game.current.level, 0);
}

// A replayed won game used to hold its ending for two minutes, and only a
// select let it go: a replay given with -play seemed never to end.
TEST_F(SessionTest, AReplayedWinEndsAfterAShortEndingOrAtAnyKey)
{
    static int waited, key_at;
    WaitOps ops = default_wait_ops;
    ops.wait = [](int ms) {
        waited += ms;
        if (waited == key_at)
            input.menu_input.fetch_or(CTRL_LEFT);
    };
    input.wait_ops = &ops;
    game.current.replaying = 0xFF;
    waited = 0, key_at = -1;
    show_ending();
    EXPECT_GE(waited, 3000);
    EXPECT_LE(waited, 8000);
    waited = 0, key_at = 500;
    show_ending();
    EXPECT_EQ(waited, 500) << "a direction ends it, as it ends the replay";
    EXPECT_EQ(input.menu_input.load(), 0);
    input.wait_ops = &default_wait_ops;
}
