#include "game/clock.h"
#include "game/state.h"

#include <allegro.h>

void frame_clock_tick() { game.frame_ticks.fetch_add(1, std::memory_order_relaxed); }
END_OF_FUNCTION(frame_clock_tick)

void start_frame_clock(uint16_t rate)
{
    if (rate == 0)
        rate = DEFAULT_FPS;  // never divide by zero, whatever a caller passes
    install_int_ex(frame_clock_tick, timer_period(rate));
}

void stop_frame_clock() { remove_int(frame_clock_tick); }

int32_t frame_ticks_owed(uint32_t frames_run)
{
    return static_cast<int32_t>(game.frame_ticks.load(std::memory_order_relaxed) - frames_run);
}

uint16_t fps_after_keys(uint16_t fps, bool page_up, bool page_down, bool home)
{
    if (page_up && fps <= MAX_FPS_BY_KEYS - 1)
        fps++;
    if (page_down && fps > 1)
        fps--;
    if (home)
        fps = DEFAULT_FPS;
    return fps;
}
