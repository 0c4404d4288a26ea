// Whole games on the game's own scripts and levels, without a display: the
// frame clock advances by one period per pass of the level loop.
#include <allegro.h>

#include <string>

#include "engine/amc.h"
#include "game_fixture.h"
#include "gfx/display.h"
#include "gfx/level.h"
#include "input/demo.h"
#include "shell/clock.h"
#include "shell/config.h"
#include "shell/startup.h"

namespace {

const std::string GAME = NWD_GAME_DIR;
const std::string DATA = GAME + "/DATA/";

void one_period(unsigned) { frame_ticks.fetch_add(1); }
void nothing(int) {}
void nothing() {}
void no_clock(uint16_t) {}
const LevelLoopOps TICKING = {one_period, nothing, nothing, no_clock, nothing};

class SessionTest : public GameTest {
protected:
    void SetUp() override
    {
        GameTest::SetUp();
        if (!exists((DATA + "LEVELS.DAT").c_str()) || !exists((GAME + "/AMC/GAME.AMC").c_str()))
            GTEST_SKIP() << "the game folder is not built";
        amc_unload_all();
        ASSERT_EQ(amc_load((GAME + "/AMC/GAME.AMC").c_str()), 0);
        saved_dir = data_dir;
        data_dir = DATA.c_str();
        back_buffer = create_bitmap_ex(8, PICTURE_W, PICTURE_H);
        level_start_clock = no_clock;
        level_ops = &TICKING;
    }
    void TearDown() override
    {
        if (saved_dir)
            data_dir = saved_dir;
        if (back_buffer)
            destroy_bitmap(back_buffer);
        back_buffer = nullptr;
        level_start_clock = start_frame_clock;
        demo_free(last_game_demo);
        GameTest::TearDown();
    }
    const char* saved_dir = nullptr;
};

}  // namespace

TEST_F(SessionTest, LostGameIsRecordedAndReplaysToTheSameEnd)
{
    // Survival starts without lives: standing still, the first fight's clock
    // (three minutes at NORMAL) runs out and the hero's fall ends the game.
    ASSERT_EQ(run_game(nullptr, 0, 2, 1, 5, 0), 1);
    EXPECT_EQ(current_game.level, 0);
    EXPECT_EQ(current_game.lives, 0);
    EXPECT_EQ(current_game.stars, 0);
    uint32_t played = current_game.frames_run;
    EXPECT_GT(played, 180u * 72);
    ASSERT_NE(last_game_demo, nullptr);
    DemoHeader h = demo_header(last_game_demo);
    EXPECT_EQ(h.frames, played);
    EXPECT_EQ(h.level, 1);
    EXPECT_EQ(h.mode, 2);
    EXPECT_FALSE(demo_state & DEMO_RECORDING);

    ASSERT_EQ(run_game(last_game_demo, 0, 0, 0, 0, 0), 1);
    EXPECT_EQ(current_game.level, 0);  // the scripts ended it, not the demo's end
    EXPECT_EQ(current_game.frames_run, played);
}

TEST_F(SessionTest, CreditsAreNotRecordedAndEndTheRun)
{
    game_config.difficulty = 7;
    ASSERT_EQ(run_game(nullptr, 0, 1, LEVEL_CREDITS, 0, 0), 1);
    EXPECT_EQ(last_game_demo, nullptr);
    EXPECT_EQ(current_game.skill, 7);
    EXPECT_EQ(current_game.lives, 2);  // arcade
    EXPECT_EQ(current_game.stars, 1);
    EXPECT_EQ(current_game.level, 0);
}
