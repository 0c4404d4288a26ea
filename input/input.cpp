#include "input/input.h"

#include <allegro.h>

#include <cstdio>

#include "frontend/menu.h"
#include "shell/config.h"
#include "shell/options.h"

std::atomic<uint16_t> menu_input{0};
int16_t joystick_enabled = 0;

namespace {

// Key repeat in input timer periods (10 ms): first repeat after 400 ms,
// then every 50 ms. Only directions repeat.
constexpr int32_t REPEAT_FIRST = -40;
constexpr int32_t REPEAT_NEXT = -5;

// State of the timer callback, touched only by it (and by tests).
uint16_t last_composite = 0;
int32_t repeat_count = 0;
int last_pause_key = 0;
bool escape_armed = false;

bool held(int scancode)
{
    return scancode > 0 && scancode < KEY_MAX && key[scancode];
}

bool button_held(int button)
{
    return button >= 0 && button < joy[0].num_buttons && button < MAX_JOYSTICK_BUTTONS &&
           joy[0].button[button].b;
}

}  // namespace

uint16_t read_controls()
{
    const GameConfig& c = game_config;
    uint16_t w = 0;
    if (held(c.keydown) || key[KEY_DOWN])
        w |= CTRL_DOWN;
    else if (held(c.keyup) || key[KEY_UP])
        w |= CTRL_UP;
    if (held(c.keyright) || key[KEY_RIGHT])
        w |= CTRL_RIGHT;
    else if (held(c.keyleft) || key[KEY_LEFT])
        w |= CTRL_LEFT;
    if (held(c.keykick))
        w |= CTRL_KICK;
    if (held(c.keypunch))
        w |= CTRL_PUNCH;
    if (!joystick_enabled)
        return w;

    // The joystick only adds bits, so the keyboard wins a conflict.
    poll_joystick();
    const JOYSTICK_STICK_INFO& s = joy[0].stick[0];
    if (s.axis[1].d1 && !(w & CTRL_DOWN))
        w |= CTRL_UP;
    if (s.axis[1].d2 && !(w & CTRL_UP))
        w |= CTRL_DOWN;
    if (s.axis[0].d1 && !(w & CTRL_RIGHT))
        w |= CTRL_LEFT;
    if (s.axis[0].d2 && !(w & CTRL_LEFT))
        w |= CTRL_RIGHT;
    if (button_held(c.joykick))
        w |= CTRL_KICK;
    if (button_held(c.joypunch))
        w |= CTRL_PUNCH;
    return w;
}

void input_tick()
{
    const GameConfig& c = game_config;
    uint16_t w = read_controls() | (menu_input.load(std::memory_order_relaxed) & MENU_PAUSE);
    if (key[KEY_SPACE] || key[KEY_ENTER])
        w |= MENU_SELECT;

    if (key[KEY_ESC] || (joystick_enabled && button_held(c.joyesc))) {
        if (escape_armed)
            w |= MENU_ESCAPE;
    } else {
        escape_armed = true;  // never disarmed: only the start-up hold is ignored
    }

    // The keyboard drivers flip KEY_PAUSE at every press of the key, so
    // each change, either way, is one press.
    int pause_key = key[KEY_PAUSE] ? 1 : 0;
    if (pause_key != last_pause_key) {
        last_pause_key = pause_key;
        w |= MENU_PAUSE;
    }
    if (joystick_enabled && button_held(c.joypause))
        w |= MENU_PAUSE;

    if (w != last_composite) {
        menu_input.fetch_or(w);
        last_composite = w;
        repeat_count = REPEAT_FIRST;
    } else if (++repeat_count >= 0) {
        menu_input.fetch_or(w & CTRL_DIRECTIONS);
        repeat_count = REPEAT_NEXT;
    }
}
END_OF_FUNCTION(input_tick)

void input_tick_reset()
{
    last_composite = 0;
    repeat_count = 0;
    last_pause_key = 0;
    escape_armed = false;
}

void init_joystick_input()
{
    GameConfig& c = game_config;
    joystick_enabled = 0;
    if (!launch.no_joystick && install_joystick(JOY_TYPE_AUTODETECT) == 0 && num_joysticks > 0) {
        joystick_enabled = 1;
        int16_t* buttons[] = {&c.joypunch, &c.joykick, &c.joypause, &c.joyesc};
        for (int16_t* b : buttons)
            if (*b >= joy[0].num_buttons)
                *b = -1;
    }
    LOCK_VARIABLE(last_composite);
    LOCK_VARIABLE(repeat_count);
    LOCK_VARIABLE(last_pause_key);
    LOCK_VARIABLE(escape_armed);
    LOCK_FUNCTION(input_tick);
    install_int_ex(input_tick, BPS_TO_TIMER(100));
}

void stop_input_timer()
{
    remove_int(input_tick);
}

int fire_held()
{
    const GameConfig& c = game_config;
    if (key[KEY_SPACE] || key[KEY_ENTER] || held(c.keykick) || held(c.keypunch))
        return 1;
    if (joystick_enabled) {
        poll_joystick();
        if (button_held(c.joykick) || button_held(c.joypunch))
            return 1;
    }
    return 0;
}

void wait_joystick_release()
{
    if (!joystick_enabled)
        return;
    poll_joystick();
    for (int b = 0; b < joy[0].num_buttons && b < MAX_JOYSTICK_BUTTONS; b++) {
        if (joy[0].button[b].b) {
            poll_joystick();
            menu_wait(10);
            b = -1;  // scan again from the first button
        }
    }
}

const char* joystick_button_name(int button)
{
    static char name[24];
    if (button == -1)
        return "(None)";
    if (joystick_enabled && button >= 0 && button < joy[0].num_buttons &&
        button < MAX_JOYSTICK_BUTTONS && joy[0].button[button].name)
        return joy[0].button[button].name;
    snprintf(name, sizeof name, "Button %d", button);
    return name;
}

bool cheat_keys_open(int cheatkeys, int shifts)
{
    switch (cheatkeys) {
    case 1: return true;
    case 2: return shifts & KB_SHIFT_FLAG;
    case 3: return shifts & KB_CTRL_FLAG;
    case 4: return shifts & KB_ALT_FLAG;
    default: return false;
    }
}
