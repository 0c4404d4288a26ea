// Everything the drawing layer holds for the run: the picture and the
// display, the display's loss, the main datafile, the stage's graphics and
// what the HUD last drew. The X thread touches only the atomics.
#pragma once

#include <allegro.h>
#include <pthread.h>

#include <atomic>
#include <chrono>

#include "gfx/display.h"
#include "gfx/hud.h"
#include "gfx/level.h"

struct GfxState {
    // The picture and its way to the display.
    BITMAP* back_buffer = nullptr;  // the picture everything draws into
    DisplayFit fit = {0, 0, 0};
    DirtyRows dirty_rows = {-1, 0};
    int screenshot_counter = 0;
    int card = -1;  // the row of gfx_driver_table that runs; -1 before start-up opened one
    int desktop_width = -1, desktop_height = -1;  // for an automatic full screen; -1 unknown
    GfxModeFn mode_fn = nullptr;                  // a test's set_gfx_mode
    // The scaled rows on their way to a screen that is not a memory bitmap:
    // one blit of a whole band costs the display driver one update, while
    // writing the screen's rows one by one (as a stretch does) costs one a row.
    BITMAP* scaled_band = nullptr;
    std::chrono::steady_clock::time_point last_retrace{};  // none yet

    // The display's loss (display_lost.cpp).
    void (*loss_hook)() = nullptr;
    pthread_t main_thread{};
    std::atomic<int> main_state{0};  // MAIN_RUNNING
    std::atomic<bool> lost{false};
    std::atomic<bool> saver_taken{false};
    int library_depth = 0;  // main thread only

    // The main datafile and what sprites are drawn with.
    DATAFILE* main_data = nullptr;     // NIGHTWAR.DAT, null until loaded
    COLOR_MAP recolour_table = {};     // installed as color_map
    BITMAP* scratch_bitmap = nullptr;  // 128x128, 8-bit: mirroring before lit drawing

    // The stage's graphics.
    LevelMap level_map = {nullptr, nullptr, 0, -1, nullptr, 16};
    // The background picture repeated every band_wrap pixels, band_wrap + 320
    // wide, so any window at an offset below band_wrap is one blit.
    BITMAP* band_strip = nullptr;
    Stage stage = {0, 0, false, 0};
    char level_error[1200] = {};
    LevelsIndex levels_index = {};

    HudShown hud_shown;
    // Shadows darken the ground under them through this table: every colour
    // to the palette's nearest to it at 45% of its brightness.
    uint8_t shade_table[PAL_SIZE] = {};
};
extern GfxState gfx;

// As at start-up: no picture, display, datafile or stage, nothing drawn,
// no loss. What was loaded must have been released first (release_display,
// unload_level_map, release_band_strip ...); this only forgets.
void gfx_state_reset();
