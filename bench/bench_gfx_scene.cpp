// Drawing speed: one frame of a street level (map, 30 actors, HUD) into the
// BackBuffer, and the copy of the changed rows to a screen two to four times
// the picture's size. Memory bitmaps only: no display is needed.
#include <allegro.h>
#include <benchmark/benchmark.h>

#include <cerrno>
#include <cstdlib>

#include "engine/actor.h"
#include "engine/amc.h"
#include "engine/amc_vm.h"
#include "game/level_loop.h"
#include "game/session.h"
#include "gfx/display.h"
#include "gfx/hud.h"
#include "gfx/level.h"
#include "gfx/main_data.h"
#include "gfx/scene.h"
#include "gfx/state.h"

namespace {

constexpr int MAP_COLS = 200, MAP_ROWS = 13, TILES = 42;
DATAFILE objects[560];
uint8_t cells[MAP_COLS * MAP_ROWS * 2];
RLE_SPRITE* tiles[TILES];
COLOR_MAP schemes;

// A sprite with a transparent border, like the real ones.
BITMAP* sprite(int w, int h, int colour)
{
    BITMAP* b = create_bitmap_ex(8, w, h);
    clear_to_color(b, 0);
    ellipsefill(b, w / 2, h / 2, w / 2 - 1, h / 2 - 1, colour);
    b->x_ofs = w / 2;
    b->y_ofs = h - 1;
    return b;
}

void setup()
{
    static bool ready = false;
    if (ready)
        return;
    ready = true;
    install_allegro(SYSTEM_NONE, &errno, atexit);
    gfx.back_buffer = create_bitmap_ex(8, PICTURE_W, PICTURE_H);
    gfx.scratch_bitmap = create_bitmap_ex(8, 128, 128);
    for (int r = 0; r < 256; r++)
        for (int c = 0; c < 256; c++)
            schemes.data[r][c] = (uint8_t)(r >= 1 && r <= 4 ? (c + 16 * r) & 0xFF : c);
    color_map = &schemes;

    for (auto& o : objects)
        o.type = DAT_DATA;
    objects[559].type = DAT_END;
    objects[0] = {sprite(320, 32, 5), DAT_BITMAP, 0, nullptr};
    for (int i : {1, 2})
        objects[i] = {sprite(1, 7, 40 + i), DAT_BITMAP, 0, nullptr};
    objects[3] = {sprite(8, 16, 43), DAT_BITMAP, 0, nullptr};
    for (int i = 8; i <= 15; i++)
        objects[i] = {sprite(30, 16, 200 + i), DAT_BITMAP, 0, nullptr};
    for (int i : {16, 18, 21, 22})
        objects[i] = {font, DAT_FONT, 0, nullptr};
    for (int f = 27; f < 60; f++)
        objects[f] = {sprite(24 + f % 5 * 8, 40 + f % 3 * 16, 60 + f), DAT_BITMAP, 0, nullptr};
    gfx.main_data = objects;

    // Tiles: half of each is see-through, as street tiles over a backdrop are.
    for (int t = 0; t < TILES; t++) {
        BITMAP* b = create_bitmap_ex(8, 16, 16);
        clear_to_color(b, 0);
        rectfill(b, 0, t % 8, 15, 15, 10 + t);
        tiles[t] = get_rle_sprite(b);
        destroy_bitmap(b);
    }
    for (int k = 0; k < MAP_COLS * MAP_ROWS; k++) {
        cells[2 * k] = (uint8_t)((k * 7 + k / MAP_ROWS) % TILES);
        cells[2 * k + 1] = 0;
    }
    gfx.level_map = {nullptr, cells, MAP_COLS * MAP_ROWS, TILES - 1, tiles, 16};

    static int16_t idle[1] = {0};
    program_table[0] = {idle, 1};
    program_count = 1;
}

// Level 1 with 30 actors spread over the screen, a quarter mirrored, a few
// recoloured, some blinking.
void street_with_actors()
{
    actor_table_reset();
    gfx.stage.level = 1;
    for (int i = 0; i < 30; i++) {
        int s = actor_spawn(0);
        int16_t* r = actor_table.slots[s].regs;
        r[REG_FRAME] = (int16_t)((27 + i % 33) | (i % 4 == 0 ? 0x8000 : 0));
        r[REG_X] = (int16_t)(10 * i + 5);
        r[REG_Y] = (int16_t)(60 + (i * 37) % 140);
        r[REG_SORT_KEY] = r[REG_Y];
        r[REG_LIGHT] = (int16_t)(i % 7 == 0 ? 1 + i % 4 : 0);
        r[REG_BLINK] = (int16_t)(i % 10 == 0);
    }
    amc_globals[GLOBAL_ENERGY] = 120;
    amc_globals[GLOBAL_LIVES] = 2;
    amc_globals[GLOBAL_TIMER] = 7200;
}

void BM_draw_street_frame(benchmark::State& state)
{
    setup();
    street_with_actors();
    draw_hud(gfx.back_buffer, 1, 200, 200, 0, 0, 0, 0, 0, 0, 0);
    int frame = 0;
    for (auto _ : state) {
        // The map scrolls and the clock ticks as in play.
        amc_globals[GLOBAL_SCROLL_MAP] = (int16_t)(frame % 2000);
        amc_globals[GLOBAL_TIMER] = (int16_t)(7200 - frame % 7200);
        draw_frame(frame++);  // the scene and the HUD
        gfx.dirty_rows.first = -1;
    }
    benchmark::DoNotOptimize(gfx.back_buffer->line[100][100]);
}
BENCHMARK(BM_draw_street_frame)->Unit(benchmark::kMicrosecond);

// The copy of the changed rows to a screen of 2, 3 or 4 times the picture's
// size: a street frame changes the play area (rows 32..239), the HUD rarely.
void BM_present_dirty(benchmark::State& state)
{
    setup();
    const int k = (int)state.range(0), top = (int)state.range(1);
    BITMAP* screen_before = screen;
    screen = create_bitmap_ex(8, PICTURE_W * k, PICTURE_H * k);
    gfx.fit = {k, 0, 0};
    for (auto _ : state) {
        mark_dirty(top, 240);
        present_dirty();
    }
    destroy_bitmap(screen);
    screen = screen_before;
    gfx.fit = {0, 0, 0};
}
BENCHMARK(BM_present_dirty)
    ->ArgNames({"factor", "top"})
    ->Args({2, 32})
    ->Args({3, 32})
    ->Args({4, 32})
    ->Args({3, 0})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
