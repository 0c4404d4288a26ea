#include <atomic>
#include <chrono>
#include <thread>

#include "config/state.h"
#include "frontend/menu.h"
#include "game/clock.h"
#include "game/state.h"
#include "game_fixture.h"
#include "input/state.h"

using InputTest = GameTest;

TEST_F(InputTest, KeyboardConflictsAndJoystickOnlyAddsBits)
{
    press(KEY_UP);
    press(KEY_DOWN);
    press(KEY_LEFT);
    press(KEY_RIGHT);
    EXPECT_EQ(read_controls(), CTRL_DOWN | CTRL_RIGHT);

    press(KEY_UP, false);
    press(KEY_DOWN, false);
    press(KEY_RIGHT, false);
    press(config.settings.keypunch);
    input.joystick_enabled = 1;
    joy[0].num_buttons = 4;
    joy[0].stick[0].axis[0].d2 = 1;  // right, against the keyboard's left
    joy[0].stick[0].axis[1].d1 = 1;  // up
    joy[0].button[config.settings.joykick].b = 1;
    input_tick();  // only the timer thread reads the pad
    EXPECT_EQ(read_controls(), CTRL_LEFT | CTRL_UP | CTRL_PUNCH | CTRL_KICK);
    joy[0] = JOYSTICK_INFO{};
}

TEST_F(InputTest, RepeatsHeldDirectionsOnly)
{
    press(KEY_DOWN);
    press(KEY_SPACE);
    input_tick();
    EXPECT_EQ(input.menu_input.load(), CTRL_DOWN | MENU_SELECT);
    int reports = 0, first = -1;
    for (int t = 1; t <= 60; t++) {
        input.menu_input.store(0);
        input_tick();
        if (input.menu_input.load()) {
            EXPECT_EQ(input.menu_input.load(), CTRL_DOWN);  // select never repeats
            reports++;
            if (first < 0)
                first = t;
        }
    }
    EXPECT_EQ(first, 40);   // 400 ms
    EXPECT_EQ(reports, 5);  // then every 50 ms: 40, 45, 50, 55, 60

    // Releasing one key is a change and reports what is still held.
    input.menu_input.store(0);
    press(KEY_SPACE, false);
    input_tick();
    EXPECT_EQ(input.menu_input.load(), CTRL_DOWN);
}

TEST_F(InputTest, EscapeNeedsOneReleaseAndPauseOnePerPress)
{
    press(KEY_ESC);
    for (int t = 0; t < 50; t++)
        input_tick();
    EXPECT_FALSE(input.menu_input.load() & MENU_ESCAPE);
    press(KEY_ESC, false);
    input_tick();
    press(KEY_ESC);
    input_tick();
    EXPECT_TRUE(input.menu_input.load() & MENU_ESCAPE);

    // Pause flips at each press: every change is one event, none repeats.
    press(KEY_ESC, false);
    for (bool down : {true, false}) {
        input.menu_input.store(0);
        press(KEY_PAUSE, down);
        input_tick();
        EXPECT_TRUE(input.menu_input.load() & MENU_PAUSE);
        input.menu_input.store(0);
        for (int t = 0; t < 50; t++)
            input_tick();
        EXPECT_FALSE(input.menu_input.load() & MENU_PAUSE);
    }
}

// A menu leaves a pause it has no use for pending. Clearing it with the
// move that came next must not report the held direction a second time.
TEST_F(InputTest, APendingPauseNeverDoublesAMove)
{
    press(KEY_PAUSE);
    input_tick();
    press(KEY_DOWN);
    input_tick();
    EXPECT_EQ(input.menu_input.load(), CTRL_DOWN | MENU_PAUSE);
    input.menu_input.store(0);  // the menu moves and redraws
    for (int t = 0; t < 30; t++)
        input_tick();
    EXPECT_EQ(input.menu_input.load(), 0) << "one press, one move";

    // A held pause button is one event; pressing and letting it go while
    // Down is held reports no extra move either.
    input.joystick_enabled = 1;
    joy[0].num_buttons = 4;
    config.settings.joypause = 2;
    input_use_bindings();
    joy[0].button[2].b = 1;
    int pauses = 0;
    for (int t = 0; t < 5; t++) {  // still short of Down's first repeat
        input_tick();
        pauses += (input.menu_input.load() & MENU_PAUSE) != 0;
        EXPECT_FALSE(input.menu_input.load() & CTRL_DOWN) << "tick " << t;
        input.menu_input.store(0);
    }
    EXPECT_EQ(pauses, 1);
    joy[0].button[2].b = 0;
    input_tick();
    EXPECT_EQ(input.menu_input.load(), 0);
    joy[0] = JOYSTICK_INFO{};
}

TEST_F(InputTest, CheatGateAndButtonNames)
{
    EXPECT_FALSE(cheat_keys_open(0, KB_SHIFT_FLAG | KB_CTRL_FLAG | KB_ALT_FLAG));
    EXPECT_TRUE(cheat_keys_open(1, 0));
    EXPECT_FALSE(cheat_keys_open(2, KB_CTRL_FLAG));
    EXPECT_TRUE(cheat_keys_open(2, KB_SHIFT_FLAG));
    EXPECT_TRUE(cheat_keys_open(3, KB_CTRL_FLAG));
    EXPECT_TRUE(cheat_keys_open(4, KB_ALT_FLAG));
    EXPECT_FALSE(cheat_keys_open(5, KB_SHIFT_FLAG | KB_CTRL_FLAG | KB_ALT_FLAG));

    EXPECT_STREQ(joystick_button_name(-1), "(None)");
    EXPECT_STREQ(joystick_button_name(4), "Button 4");
}

// The timer thread's half of input and clock on a real second thread, the
// main thread rebinding keys and consuming events meanwhile, as the options
// menu, the world tick and the menus do. Under ThreadSanitizer every word
// they share without an atomic shows up here.
TEST_F(InputTest, TimerThreadSeesRebindingsThroughAtomicsOnly)
{
    using namespace std::chrono_literals;
    press(KEY_K);  // before the thread: the library's own threads write these
    std::atomic<bool> stop{false};
    std::thread timer([&] {
        while (!stop.load()) {
            input_tick();
            frame_clock_tick();
            std::this_thread::sleep_for(100us);
        }
    });
    for (int i = 0; i < 200; i++) {
        config.settings.keykick = i % 2 ? KEY_K : KEY_LCONTROL;
        input_use_bindings();
        read_controls();
        fire_held();
        if (input.menu_input.load() & MENU_SELECT)
            input.menu_input.store(0);
        frame_ticks_owed(0);
        std::this_thread::sleep_for(50us);
    }
    // K becomes the kick key: the timer reports it once it has the binding.
    config.settings.keykick = KEY_LCONTROL;
    input_use_bindings();
    std::this_thread::sleep_for(20ms);
    config.settings.keykick = KEY_K;
    input_use_bindings();
    input.menu_input.store(0);
    bool kicked = false;
    for (int i = 0; i < 1000 && !kicked; i++) {
        kicked = input.menu_input.load() & CTRL_KICK;
        std::this_thread::sleep_for(1ms);
    }
    stop.store(true);
    timer.join();
    EXPECT_TRUE(kicked);
    EXPECT_GT(game.frame_ticks.load(), 0u);
}

// Mashing at GAME OVER filled the high-score name with the keys still
// coming: the entry waits until every key has been let go for a while.
TEST_F(InputTest, AScreenCanWaitUntilEveryKeyIsLetGo)
{
    press(KEY_PAUSE);  // reads as held for good on some drivers
    press(KEY_CAPSLOCK);
    EXPECT_TRUE(keys_all_up(key, 0));
    EXPECT_FALSE(keys_all_up(key, 1u << 3)) << "a joystick button";
    press(KEY_LCONTROL);
    EXPECT_FALSE(keys_all_up(key, 0));

    // Kick held for 50 ms, up 50, down again 50, then let go: 100 ms quiet
    // only count from the last release.
    static int waited;
    waited = 0;
    WaitOps ops = default_wait_ops;
    ops.wait = [](int ms) {
        waited += ms;
        key[KEY_LCONTROL] = (waited < 50 || (waited >= 100 && waited < 150)) ? 1 : 0;
        input.menu_input.fetch_or(key[KEY_LCONTROL] ? CTRL_KICK : 0);
    };
    input.wait_ops = &ops;
    wait_keys_released(100);
    EXPECT_EQ(waited, 250);
    EXPECT_EQ(input.menu_input.load(), 0) << "what was pressed before is forgotten";
    input.wait_ops = &default_wait_ops;
}
