#include "input/input.h"

#include <allegro.h>

#include <cstdio>

#include "audio/music.h"
#include "config/state.h"
#include "input/state.h"

InputState input;

namespace {

// Key repeat in input timer periods (10 ms): first repeat after 400 ms,
// then every 50 ms. Only directions repeat.
constexpr int32_t REPEAT_FIRST = -40;
constexpr int32_t REPEAT_NEXT = -5;
constexpr int JOYSTICK_RELEASE_WAITS = 300;  // 10 ms each

struct Bindings {
    int16_t up, down, left, right, kick, punch;
    int16_t joykick, joypunch, joypause, joyesc;
};
constexpr int BINDINGS = sizeof(Bindings) / sizeof(int16_t);
static_assert(BINDINGS == INPUT_BINDINGS, "one shared word a binding");
constexpr int SNAPSHOT_BUTTONS = 32;

Bindings own_bindings()
{
    const GameConfig& c = config.settings;
    return {c.keyup,    c.keydown, c.keyleft,  c.keyright, c.keykick,
            c.keypunch, c.joykick, c.joypunch, c.joypause, c.joyesc};
}

Bindings timer_bindings()
{
    int16_t v[BINDINGS];
    for (int i = 0; i < BINDINGS; i++)
        v[i] = input.bindings[i].load(std::memory_order_relaxed);
    return {v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9]};
}

int button_count()
{
    int n = joy[0].num_buttons;
    return n < 0 ? 0 : n > SNAPSHOT_BUTTONS ? SNAPSHOT_BUTTONS : n;
}

bool held(int scancode) { return scancode > 0 && scancode < KEY_MAX && key[scancode]; }

bool button_held(int button)
{
    return input.joystick_enabled && button >= 0 && button < button_count() &&
           (input.joystick_buttons.load(std::memory_order_relaxed) >> button & 1);
}

// Timer thread only.
void poll_snapshot()
{
    if (!input.joystick_enabled)
        return;
    poll_joystick();
    uint32_t buttons = 0;
    for (int b = 0; b < button_count(); b++)
        if (joy[0].button[b].b)
            buttons |= 1u << b;
    const JOYSTICK_STICK_INFO& s = joy[0].stick[0];
    uint16_t d = (s.axis[1].d1 ? CTRL_UP : 0) | (s.axis[1].d2 ? CTRL_DOWN : 0) |
                 (s.axis[0].d1 ? CTRL_LEFT : 0) | (s.axis[0].d2 ? CTRL_RIGHT : 0);
    input.joystick_buttons.store(buttons, std::memory_order_relaxed);
    input.joystick_directions.store(d, std::memory_order_relaxed);
}

uint16_t controls(const Bindings& b)
{
    uint16_t w = 0;
    if (held(b.down) || key[KEY_DOWN])
        w |= CTRL_DOWN;
    else if (held(b.up) || key[KEY_UP])
        w |= CTRL_UP;
    if (held(b.right) || key[KEY_RIGHT])
        w |= CTRL_RIGHT;
    else if (held(b.left) || key[KEY_LEFT])
        w |= CTRL_LEFT;
    if (held(b.kick))
        w |= CTRL_KICK;
    if (held(b.punch))
        w |= CTRL_PUNCH;
    if (!input.joystick_enabled)
        return w;

    // The joystick only adds bits, so the keyboard wins a conflict.
    uint16_t d = input.joystick_directions.load(std::memory_order_relaxed);
    if ((d & CTRL_UP) && !(w & CTRL_DOWN))
        w |= CTRL_UP;
    if ((d & CTRL_DOWN) && !(w & CTRL_UP))
        w |= CTRL_DOWN;
    if ((d & CTRL_LEFT) && !(w & CTRL_RIGHT))
        w |= CTRL_LEFT;
    if ((d & CTRL_RIGHT) && !(w & CTRL_LEFT))
        w |= CTRL_RIGHT;
    if (button_held(b.joykick))
        w |= CTRL_KICK;
    if (button_held(b.joypunch))
        w |= CTRL_PUNCH;
    return w;
}

}  // namespace

uint16_t read_controls() { return controls(own_bindings()); }

void input_use_bindings()
{
    Bindings b = own_bindings();
    const int16_t v[BINDINGS] = {b.up,    b.down,    b.left,     b.right,    b.kick,
                                 b.punch, b.joykick, b.joypunch, b.joypause, b.joyesc};
    for (int i = 0; i < BINDINGS; i++)
        input.bindings[i].store(v[i], std::memory_order_relaxed);
}

uint32_t joystick_buttons_held()
{
    return input.joystick_enabled ? input.joystick_buttons.load(std::memory_order_relaxed) : 0;
}

void input_tick()
{
    poll_snapshot();
    const Bindings c = timer_bindings();
    uint16_t w = controls(c);
    if (key[KEY_SPACE] || key[KEY_ENTER])
        w |= MENU_SELECT;

    if (key[KEY_ESC] || button_held(c.joyesc)) {
        if (input.escape_armed)
            w |= MENU_ESCAPE;
    } else {
        input.escape_armed = true;  // never disarmed: only the start-up hold is ignored
    }

    // Pause is an event, never a held control: it stays out of the
    // composite, or its coming and going (a consumer clearing it, the button
    // let go) would report the held keys once more, one press moving twice.
    // The keyboard drivers flip KEY_PAUSE at every press of the key, so
    // each change, either way, is one press; the button counts when pressed.
    uint16_t pause = 0;
    int pause_key = key[KEY_PAUSE] ? 1 : 0;
    if (pause_key != input.last_pause_key) {
        input.last_pause_key = pause_key;
        pause = MENU_PAUSE;
    }
    bool pause_button = button_held(c.joypause);
    if (pause_button && !input.last_pause_button)
        pause = MENU_PAUSE;
    input.last_pause_button = pause_button;

    uint16_t events = pause;
    if (w != input.last_composite) {
        events |= w;
        input.last_composite = w;
        input.repeat_count = REPEAT_FIRST;
    } else if (++input.repeat_count >= 0) {
        events |= w & CTRL_DIRECTIONS;
        input.repeat_count = REPEAT_NEXT;
    }
    if (events)
        input.menu_input.fetch_or(events);
}
END_OF_FUNCTION(input_tick)

void input_state_reset()
{
    input.menu_input.store(0);
    input.close_requested.store(false);
    input.joystick_enabled = 0;
    input.wait_ops = &default_wait_ops;
    input.last_composite = 0;
    input.repeat_count = 0;
    input.last_pause_key = 0;
    input.last_pause_button = false;
    input.escape_armed = false;
    for (std::atomic<int16_t>& b : input.bindings)
        b.store(0);
    input.joystick_buttons.store(0);
    input.joystick_directions.store(0);
}

void init_joystick_input()
{
    input.joystick_enabled = 0;
    // A binding beyond this pad's buttons stays as configured: it does
    // nothing here, and works again with the pad it was made for.
    if (!config.launch.no_joystick && install_joystick(JOY_TYPE_AUTODETECT) == 0 &&
        num_joysticks > 0)
        input.joystick_enabled = 1;
    input_use_bindings();
    LOCK_VARIABLE(input.last_composite);
    LOCK_VARIABLE(input.repeat_count);
    LOCK_VARIABLE(input.last_pause_key);
    LOCK_VARIABLE(input.last_pause_button);
    LOCK_VARIABLE(input.escape_armed);
    LOCK_FUNCTION(input_tick);
    install_int_ex(input_tick, BPS_TO_TIMER(100));
}

void stop_input_timer() { remove_int(input_tick); }

void menu_wait(int ms)
{
    for (; ms > 0; ms -= 10) {
        music_poll();
        rest(10);
    }
}

void menu_wait_or_select(int ms)
{
    input.menu_input.store(0);
    for (; ms > 0; ms -= 10) {
        music_poll();
        rest(10);
        if (input.menu_input.load() & MENU_SELECT) {
            input.menu_input.store(0);
            return;
        }
        if (input.close_requested.load())
            return;
    }
}

const WaitOps default_wait_ops = {menu_wait, menu_wait_or_select};

int fire_held()
{
    const GameConfig& c = config.settings;
    if (key[KEY_SPACE] || key[KEY_ENTER] || held(c.keykick) || held(c.keypunch))
        return 1;
    return button_held(c.joykick) || button_held(c.joypunch);
}

void wait_joystick_release()
{
    // Bounded: a button that never reads as released, or the window
    // closing, must not hold the menu.
    for (int i = 0;
         i < JOYSTICK_RELEASE_WAITS && joystick_buttons_held() && !input.close_requested.load();
         i++)
        menu_wait(10);
}

bool keys_all_up(const volatile char* keys, uint32_t buttons)
{
    for (int k = 1; k < KEY_MAX; k++)
        if (keys[k] && k != KEY_PAUSE && k != KEY_CAPSLOCK && k != KEY_NUMLOCK && k != KEY_SCRLOCK)
            return false;
    return buttons == 0;
}

void wait_keys_released(int quiet_ms, int most_ms)
{
    for (int quiet = 0, waited = 0; quiet < quiet_ms && !input.close_requested.load() &&
                                    (most_ms == 0 || waited < most_ms);
         quiet += 10, waited += 10) {
        if (!keys_all_up(key, joystick_buttons_held()))
            quiet = -10;  // pressed again: the quiet starts over
        input.wait_ops->wait(10);
    }
    input.menu_input.store(0);
}

const char* joystick_button_name(int button)
{
    static char name[24];
    if (button == -1)
        return "(None)";
    if (input.joystick_enabled && button >= 0 && button < joy[0].num_buttons &&
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
