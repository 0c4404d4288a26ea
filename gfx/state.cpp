#include "gfx/state.h"

GfxState gfx;

void gfx_state_reset()
{
    gfx.back_buffer = nullptr;
    gfx.fit = {0, 0, 0};
    gfx.dirty_rows = {-1, 0};
    gfx.screenshot_counter = 0;
    gfx.card = -1;
    gfx.desktop_width = gfx.desktop_height = -1;
    gfx.mode_fn = nullptr;
    gfx.scaled_band = nullptr;
    gfx.last_retrace = {};
    gfx.loss_hook = nullptr;
    gfx.main_thread = {};
    gfx.main_state.store(0);
    gfx.lost.store(false);
    gfx.saver_taken.store(false);
    gfx.library_depth = 0;
    gfx.main_data = nullptr;
    gfx.recolour_table = {};
    gfx.scratch_bitmap = nullptr;
    gfx.level_map = {nullptr, nullptr, 0, -1, nullptr, 16};
    gfx.band_strip = nullptr;
    gfx.stage = {0, 0, false, 0};
    gfx.level_error[0] = '\0';
    gfx.levels_index = {};
    gfx.hud_shown = {};
    for (uint8_t& c : gfx.shade_table)
        c = 0;
}
