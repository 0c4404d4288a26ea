// The frame clock that paces world ticks, and the timer arithmetic.
#pragma once

#include <atomic>
#include <cstdint>

constexpr long TIMER_UNITS_PER_SECOND = 1193181;
constexpr long timer_period(unsigned rate) { return TIMER_UNITS_PER_SECOND / long(rate); }
constexpr uint16_t DEFAULT_FPS = 72;
constexpr uint16_t MAX_FPS_BY_KEYS = 30000;

void frame_clock_tick();                // the callback: counts one period
void start_frame_clock(uint16_t rate);  // rate never 0; reinstalling changes the period
void stop_frame_clock();

// World ticks owed: game.frame_ticks - frames_run, as a signed difference.
int32_t frame_ticks_owed(uint32_t frames_run);

// The level loop's frame-rate keys (held keys act every pass):
// PgUp +1 up to 30000, PgDn -1 down to 1, Home back to 72.
uint16_t fps_after_keys(uint16_t fps, bool page_up, bool page_down, bool home);
