// Keyboard and joystick mapped onto the player's Controls word and the
// menus' MenuInput events.
#pragma once

#include <atomic>
#include <cstdint>

// Controls: the player's six controls for one tick, the bits CTRL_UP ...
// CTRL_PUNCH that the scripts read in `controls` (data/amc/contract.txt).
#include "nwd_contract.h"
constexpr uint16_t CTRL_DIRECTIONS = CTRL_UP | CTRL_DOWN | CTRL_LEFT | CTRL_RIGHT;
constexpr uint16_t CTRL_ALL = CTRL_DIRECTIONS | CTRL_KICK | CTRL_PUNCH;

// MenuInput: the Controls bits plus these events.
enum : uint16_t {
    MENU_SELECT = CTRL_KICK | CTRL_PUNCH,
    MENU_PAUSE = 0x40,
    MENU_ESCAPE = 0x80,
};

void init_joystick_input();  // ends by installing the 100 Hz input timer
void stop_input_timer();
uint16_t read_controls();  // main thread: the bindings of config.settings
void input_tick();         // the 100 Hz timer callback
// The timer thread never reads config.settings: after changing a key or button
// binding there, the main thread hands the new ones over with this.
void input_use_bindings();
// Only the timer thread polls the joystick; this is its last reading of
// the first pad, bit b for button b (0 with no joystick).
uint32_t joystick_buttons_held();
int fire_held();
// Waits that keep the music fed: rests in 10 ms steps; the second ends
// early on select (clearing MenuInput first) or when the window closes.
void menu_wait(int ms);
void menu_wait_or_select(int ms);
// Where the screens wait; tests replace them so a screen runs without a
// timer thread.
struct WaitOps {
    void (*wait)(int ms);
    void (*wait_or_select)(int ms);
};
extern const WaitOps default_wait_ops;

// Returns once no joystick button is held, the window closes, or after
// three seconds.
void wait_joystick_release();
const char* joystick_button_name(int button);

// True when no key is held (the lock keys and Pause, which may read as held
// for good, aside) and none of `buttons` (bit b: joystick button b).
bool keys_all_up(const volatile char* keys, uint32_t buttons);
// Returns once every key and button has been up for `quiet_ms` without a
// break (or the window closes, or `most_ms` have gone by when it is not 0),
// then clears MenuInput: a screen that must not take keys pressed before it
// appeared (the high-score name) starts so.
void wait_keys_released(int quiet_ms, int most_ms = 0);

// Whether the cheat keys may act now, for a `cheatkeys` setting and the
// library's `key_shifts` flags.
bool cheat_keys_open(int cheatkeys, int shifts);
