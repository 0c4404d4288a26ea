// Menus without a display: a memory BackBuffer and a script of steps (a key
// going down or up, then MenuInput bits) taken one per wait. A script that
// runs out acts as the close button. Each suite supplies its own MenuOps.
#pragma once

#include <allegro.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "audio/state.h"
#include "config/state.h"
#include "demo/state.h"
#include "frontend/menu.h"
#include "frontend/state.h"
#include "game/state.h"
#include "gfx/display.h"
#include "gfx/state.h"
#include "input/state.h"

namespace menutest {

struct Step {
    Step(uint16_t bits = 0, int down = 0, int up = 0) : bits(bits), down(down), up(up) {}
    uint16_t bits;
    int down, up;  // scancodes
};
using Script = std::vector<Step>;
inline Script operator+(Script a, const Script& b)
{
    return a.insert(a.end(), b.begin(), b.end()), a;
}
inline Script times(int n, Step s) { return Script(n, s); }

inline Script script;
inline size_t next_step;
inline int polls;
inline std::string calls;
inline BITMAP* message_shot;  // the picture while a message is held
// Sets `key` before poll n (from 0) reads its step.
inline std::function<void(int n)> keyboard;

inline void log(const char* name, std::vector<int> args)
{
    calls += name;
    for (size_t i = 0; i < args.size(); i++)
        calls += (i ? "," : "(") + std::to_string(args[i]);
    calls += ") ";
}
inline void fake_wait(int ms)
{
    if (ms == 1000)
        blit(gfx.back_buffer, message_shot, 0, 0, 0, 0, PICTURE_W, PICTURE_H);
    if (keyboard)
        keyboard(polls);
    polls++;
    if (next_step >= script.size())
        return input.close_requested.store(true);
    const Step& s = script[next_step++];
    if (s.down)
        key[s.down] = 1;
    key[s.up] = 0;
    input.menu_input.fetch_or(s.bits);
}
inline void fake_table(int ms) { log("table", {ms}); }
inline const WaitOps FAKE_WAITS = {fake_wait, fake_table};

class MenuTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { install_allegro(SYSTEM_NONE, &errno, atexit); }
    void SetUp() override
    {
        gfx_state_reset();
        gfx.back_buffer = create_bitmap_ex(8, PICTURE_W, PICTURE_H);
        message_shot = create_bitmap_ex(8, PICTURE_W, PICTURE_H);
        menus_state_reset();
        config_state_reset();
        input_state_reset();
        input.wait_ops = &FAKE_WAITS;
        config.launch.no_sound = 0xFF;
        game_state_reset();
        joy[0].num_buttons = 0;
        calls.clear(), polls = 0, keyboard = nullptr;
        release_keys();
    }
    void TearDown() override
    {
        keyboard = nullptr;
        release_keys();
        demos_state_reset();
        destroy_bitmap(gfx.back_buffer);  // perhaps one a new mode made
        destroy_bitmap(message_shot);
        gfx.back_buffer = nullptr;
        menus_state_reset();
        input_state_reset();
        audio_state_reset();
    }
    static void release_keys() { memset((char*)key, 0, KEY_MAX); }
    // Keys already down stay down: a screen may open with one held.
    void feed(const Script& s)
    {
        script = s, next_step = 0;
        input.close_requested.store(false);
        input.menu_input.store(0);
    }
};

}  // namespace menutest
