#include <cstring>

#include "config/state.h"
#include "demo/state.h"
#include "engine/actor.h"
#include "engine/amc_vm.h"
#include "game/clock.h"
#include "game/state.h"
#include "game_fixture.h"
#include "gfx/level.h"
#include "input/state.h"

using LevelLoopTest = GameTest;

TEST_F(LevelLoopTest, OwedTicksRunBeforeOneDraw)
{
    LevelLoop loop = start(1, 5);
    press(KEY_RIGHT);
    EXPECT_EQ(level_pass(loop), LEVEL_GOES_ON);
    EXPECT_EQ(amc_globals[COUNT_GLOBAL], 5);
    EXPECT_EQ(amc_globals[SEEN_CONTROLS_GLOBAL], CTRL_RIGHT);
    EXPECT_EQ(game.current.frames_run, 5u);
    EXPECT_EQ(platform_log, "rdp");
    EXPECT_EQ(loop.pictures, 1);

    // No period elapsed: the picture is drawn again, the world stands still.
    EXPECT_EQ(level_pass(loop), LEVEL_GOES_ON);
    EXPECT_EQ(amc_globals[COUNT_GLOBAL], 5);
    // A world ahead of the clock waits without drawing.
    game.frame_ticks.store(3);
    platform_log.clear();
    level_pass(loop);
    EXPECT_EQ(platform_log, "r");
}

TEST_F(LevelLoopTest, TicksOwedAtALevelsEndRunInTheNext)
{
    LevelLoop loop = start(1, 10);
    amc_globals[STOP_AT_GLOBAL] = 4;
    EXPECT_EQ(level_pass(loop), 3);
    EXPECT_EQ(game.current.frames_run, 4u);

    actor_table_reset();
    game.frame_ticks.fetch_add(1);  // as level loading does
    loop = start(2, game.frame_ticks.load() - game.current.frames_run);
    level_pass(loop);
    EXPECT_EQ(amc_globals[COUNT_GLOBAL], 7);
}

TEST_F(LevelLoopTest, PauseFreezesWithoutCatchUp)
{
    LevelLoop loop = start(1, 1);
    level_pass(loop);
    input.menu_input.store(MENU_PAUSE);
    level_pass(loop);
    EXPECT_TRUE(loop.frozen);
    EXPECT_EQ(input.menu_input.load(), 0);
    platform_log.clear();
    level_pass(loop);
    EXPECT_EQ(platform_log, "rp");  // presented, not drawn

    input.menu_input.store(MENU_PAUSE);
    level_pass(loop);
    EXPECT_FALSE(loop.frozen);
    EXPECT_EQ(platform_log.back(), 's');
    EXPECT_EQ(game.current.frames_run, 1u);

    // Rate keys while frozen leave the clock alone until play resumes.
    input.menu_input.store(MENU_PAUSE);
    level_pass(loop);
    platform_log.clear();
    press(KEY_PGUP);
    level_pass(loop);
    EXPECT_EQ(config.launch.fps, 73);
    EXPECT_EQ(platform_log.find('s'), std::string::npos);
}

TEST_F(LevelLoopTest, EscapeByStage)
{
    LevelLoop interlude = start(7);
    input.menu_input.store(MENU_ESCAPE);
    EXPECT_EQ(level_pass(interlude), LEVEL_GOES_ON);
    EXPECT_EQ(input.menu_input.load(), 0);

    LevelLoop credits = start(LEVEL_CREDITS);
    input.menu_input.store(MENU_ESCAPE);
    EXPECT_EQ(level_pass(credits), -1);
    actor_table_reset();

    // On a street the pause menu that start-up handed down decides.
    static int answer;
    game.screens.pause_menu = [] { return platform_log += 'M', answer; };
    LevelLoop street = start(2);
    answer = 0;
    input.menu_input.store(MENU_ESCAPE);
    platform_log.clear();
    EXPECT_EQ(level_pass(street), LEVEL_GOES_ON);
    EXPECT_EQ(platform_log, "rdpxMs") << "the clock stops for the menu and starts again";
    answer = -1;
    input.menu_input.store(MENU_ESCAPE);
    EXPECT_EQ(level_pass(street), -1) << "END GAME";
    game.screens.pause_menu = nullptr;
}

TEST_F(LevelLoopTest, ControlsEndTheCreditsAndReplays)
{
    LevelLoop credits = start(LEVEL_CREDITS, 2);
    input.menu_input.store(CTRL_KICK);
    EXPECT_EQ(level_pass(credits), -1);
    EXPECT_EQ(game.current.frames_run, 0u);

    // A three-tick demo: its ticks run, then the replay ends.
    uint8_t bytes[24] = {1, 0, 1, 0, 5, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 3, 0, 8, 0};
    DemoImage* demo = demo_from_bytes(bytes, sizeof bytes);
    demo_play_start(demo);
    game.current.replaying = 0xFF;
    input.menu_input.store(0);
    LevelLoop replay = start(1, 3);
    EXPECT_EQ(level_pass(replay), LEVEL_GOES_ON);
    EXPECT_EQ(amc_globals[SEEN_CONTROLS_GLOBAL], CTRL_RIGHT);
    game.frame_ticks.fetch_add(2);
    EXPECT_EQ(level_pass(replay), -1);
    EXPECT_EQ(game.current.frames_run, 4u);  // the empty tick still ran
    demo_free(demo);
}

TEST_F(LevelLoopTest, CheatKeysBehindTheirGate)
{
    LevelLoop loop = start(1);
    config.settings.cheatkeys = 2;
    press(KEY_3);
    EXPECT_EQ(level_pass(loop), LEVEL_GOES_ON);
    EXPECT_EQ(game.current.cheated, 0);
    key_shifts = KB_SHIFT_FLAG;
    EXPECT_EQ(level_pass(loop), 3);
    EXPECT_EQ(game.current.cheated, -1);

    press(KEY_3, false);
    press(KEY_P);
    level_pass(loop);
    int s = actor_next(actor_next(0));  // behind the director
    ASSERT_NE(s, 0);
    EXPECT_EQ(actor_table.slots[s].program, PROGRAM_PICKUP);
    EXPECT_EQ(actor_table.slots[s].regs[ARG_PICKUP_WX], PICKUP_AT_ONCE);
    EXPECT_EQ(actor_table.slots[s].regs[ARG_PICKUP_KIND], IT_PIPE);
    EXPECT_EQ(actor_table.slots[s].regs[ARG_PICKUP_COUNT], 6);

    // A cheated game stops recording at its next tick instead of recording it.
    demos.state = DEMO_RECORDING;
    game.frame_ticks.fetch_add(1);
    level_pass(loop);
    EXPECT_EQ(demos.state, 0);
}

TEST_F(LevelLoopTest, SoundRequestsWaitWhileSoundIsOff)
{
    LevelLoop loop = start(1, 1);
    int s = actor_spawn(0);
    actor_table.slots[s].regs[REG_SOUND] = 7;
    level_pass(loop);
    EXPECT_EQ(actor_table.slots[s].regs[REG_SOUND], 7);
    config.launch.no_sound = 0;
    game.frame_ticks.fetch_add(1);
    level_pass(loop);
    EXPECT_EQ(actor_table.slots[s].regs[REG_SOUND], 0);
}

TEST_F(LevelLoopTest, ProgressOnlyFromFairGames)
{
    game.furthest_level = 1;
    game.current.skill = 4;
    note_progress(1, 3);
    EXPECT_EQ(game.furthest_level, 1);
    game.current.skill = 5;
    note_progress(2, 3);
    EXPECT_EQ(game.furthest_level, 1);
    note_progress(6, 11);
    EXPECT_EQ(game.furthest_level, 1);
    note_progress(1, 3);
    EXPECT_EQ(game.furthest_level, 3);
    EXPECT_STREQ(config.settings.lastlevel, progress_code(3));
    note_progress(0, 2);  // never lowered
    EXPECT_EQ(game.furthest_level, 3);
    game.current.cheated = -1;
    note_progress(0, 4);
    EXPECT_EQ(game.furthest_level, 3);
}

TEST(ProgressCode, FiveDistinctSevenCharacterCodes)
{
    EXPECT_STREQ(progress_code(0), "");
    for (int n = 1; n <= 5; n++) {
        std::string code = progress_code(n);
        ASSERT_EQ(code.size(), 7u);
        for (char c : code)
            EXPECT_TRUE(c > ' ' && c < 127);
        for (int m = 1; m < n; m++)
            EXPECT_NE(code, progress_code(m));
    }
}
