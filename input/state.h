// Everything the input layer holds for the run. The timer thread writes
// its part only through atomics, or touches it alone.
#pragma once

#include <atomic>
#include <cstdint>

#include "input/input.h"

constexpr int INPUT_BINDINGS = 10;  // the six keys and four buttons

struct InputState {
    // Pending menu events: ORed in by the input timer, cleared by the consumer.
    std::atomic<uint16_t> menu_input{0};
    // The window's close button or a stop signal (another thread) asks the
    // run to end: the level loop and the menus unwind as "END GAME" and then
    // "QUIT" would.
    std::atomic<bool> close_requested{false};
    int16_t joystick_enabled = 0;
    const WaitOps* wait_ops = &default_wait_ops;

    // The input timer's own memory, touched only by it (and by tests).
    uint16_t last_composite = 0;
    int32_t repeat_count = 0;
    int last_pause_key = 0;
    bool last_pause_button = false;
    bool escape_armed = false;

    // The bindings the timer thread works with: the main thread owns
    // config.settings and copies them here whenever they change
    // (input_use_bindings).
    std::atomic<int16_t> bindings[INPUT_BINDINGS] = {};
    // The first joystick as the timer thread last polled it. Only that
    // thread polls; everyone else reads this copy.
    std::atomic<uint32_t> joystick_buttons{0};     // bit b: button b held
    std::atomic<uint16_t> joystick_directions{0};  // CTRL_UP ... CTRL_RIGHT of the stick
};
extern InputState input;

// As at start-up, before the timer runs: no events, no close asked, no
// joystick, the real waits, and a timer with no memory and no bindings
// (input_use_bindings hands them over). Call with the timer stopped.
void input_state_reset();
