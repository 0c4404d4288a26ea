#include "gfx_fixture.h"

#include <atomic>
#include <cstring>
#include <vector>

#include "engine/actor.h"
#include "engine/amc_vm.h"
#include "game/session.h"
#include "gfx/display.h"
#include "gfx/level.h"
#include "gfx/scene.h"

namespace {

class Scene : public GfxTest {
protected:
    void street(int level)
    {
        current_game.level = (int16_t)level;
        const LevelDesc& r = level_catalogue[level];
        ASSERT_EQ(load_level_map(levels_dir.c_str(), r.tile_sheet_name, r.map_name, 16), 1);
    }
    std::vector<int> draw_list(int frame_count)
    {
        int16_t out[64];
        int n = scene_draw_list(frame_count, out);
        return std::vector<int>(out, out + n);
    }
};

TEST_F(Scene, MapScrollsByWholeAndPartTiles)
{
    street(1);
    // lev1 holds tile c in every cell of column c.
    struct {
        int scroll, colour_at_0, first_x_of_next;
    } cases[] = {{0, 0, 16}, {17, 1, 15}, {32, 2, 16}, {-5, -1, 5}};
    for (auto c : cases) {
        SCOPED_TRACE(c.scroll);
        clear_to_color(back_buffer, 0);
        amc_globals[GLOBAL_SCROLL_MAP] = (int16_t)c.scroll;
        draw_scene(0);
        int first = c.colour_at_0 < 0 ? 0 : tile_colour(c.colour_at_0);
        EXPECT_EQ(pixel(0, 32), first);
        EXPECT_EQ(pixel(c.first_x_of_next, 32 + 12 * 16), tile_colour(c.colour_at_0 + 1));
        EXPECT_EQ(pixel(c.first_x_of_next - 1, 32), first);
        EXPECT_EQ(pixel(100, 31), 0) << "the row above the play area is not the map's";
    }
    EXPECT_EQ(dirty_rows.first, 0);
    EXPECT_EQ(dirty_rows.last, 32 + 13 * 16);
}

TEST_F(Scene, DrawListSortsBySortKeyThenSlot)
{
    current_game.level = 6;
    set_actor(3, SPRITE_B, 0, 0, 100);
    set_actor(5, SPRITE_B, 0, 0, 0);
    set_actor(7, SPRITE_B, 0, 0, 99);
    set_actor(9, SPRITE_B, 0, 0, 0);
    set_actor(10, 26, 0, 0);
    set_actor(11, 558, 0, 0);
    set_actor(12, 0x8000 + 26, 0, 0);
    set_actor(13, 0x8000 + 27, 0, 0, -1);
    set_actor(14, 31, 0, 0);  // not a picture in the datafile
    set_actor(15, 557, 0, 0, 200);
    actor_table.slots[15].regs[REG_BLINK] = 1;
    EXPECT_EQ(draw_list(0), (std::vector<int>{13, 5, 9, 7, 3}));
    EXPECT_EQ(draw_list(1), (std::vector<int>{13, 5, 9, 7, 3, 15}));
}

TEST_F(Scene, ActorsAreMirroredAndRecolouredAroundTheirHotSpot)
{
    current_game.level = 6;  // play area from row 48
    set_actor(1, SPRITE_A, 100, 40);
    set_actor(2, 0x8000 | SPRITE_A, 100, 100);
    set_actor(3, SPRITE_A, 200, 40);
    actor_table.slots[3].regs[REG_LIGHT] = 0x101;  // only the low byte picks the scheme
    set_actor(4, 0x8000 | SPRITE_A, 280, 100);
    actor_table.slots[4].regs[REG_LIGHT] = 1;
    draw_scene(0);
    // Unmirrored: from x - 10; mirrored: from x + 10 - 40; y - 20 + 48.
    EXPECT_EQ(pixel(89, 68), 0);
    EXPECT_EQ(pixel(90, 68), 100);
    EXPECT_EQ(pixel(129, 87), 100);
    EXPECT_EQ(pixel(130, 68), 0);
    EXPECT_EQ(pixel(69, 128), 0);
    EXPECT_EQ(pixel(70, 128), 100);
    EXPECT_EQ(pixel(109, 128), 100);
    EXPECT_EQ(pixel(110, 128), 0);
    EXPECT_EQ(count_colour(LIT_TO, 190, 68, 229, 87), 40 * 20);
    EXPECT_EQ(count_colour(LIT_TO, 250, 128, 289, 147), 40 * 20);
    EXPECT_EQ(pixel(249, 128), 0);
    EXPECT_EQ(pixel(290, 128), 0);
}

TEST_F(Scene, BackgroundBandsAndForegroundLayer)
{
    // Level 2, scroll 10: band from sx 10 / 8 = 1; the foreground starts at
    // cell 1456 at x -15, y 32 + 96 (ramp colour at x is 1 + x).
    ASSERT_EQ(load_level(1, 2), 1);
    current_game.level = 2;
    amc_globals[GLOBAL_SCROLL_MAP] = 10;
    draw_scene(0);
    EXPECT_EQ(pixel(0, 127), tile_colour(1));
    EXPECT_EQ(pixel(0, 128), tile_colour(50));
    EXPECT_EQ(pixel(0, 128 + 7 * 16 - 1), tile_colour(50));
    EXPECT_EQ(pixel(1, 128), tile_colour(50));
    set_clip_rect(back_buffer, 0, 0, 319, 239);
    current_game.level = 2;
    clear_to_color(back_buffer, 0);
    draw_parallax_band();
    EXPECT_EQ(pixel(0, 32), 2);
    EXPECT_EQ(pixel(319, 32 + 110), 65);  // strip x 320: the third copy's x 64
    unload_level_map();

    // The van road follows scroll_x modulo the picture's 128.
    current_game.level = 6;
    amc_globals[GLOBAL_SCROLL_X] = 130;
    draw_van_band();
    EXPECT_EQ(pixel(0, 48), 3);
    EXPECT_EQ(pixel(126, 48), 1);  // the next copy of the picture
    amc_globals[GLOBAL_SCROLL_X] = -1;  // wraps instead of leaving column 0 unpainted
    draw_van_band();
    EXPECT_EQ(pixel(0, 48), 128);
}

TEST_F(Scene, CaptionsTypeOneLetterEveryFiveTicks)
{
    const CaptionLine* line = nullptr;
    int i = -1;
    EXPECT_EQ(caption_due(6, 35, &line, &i), 0);
    EXPECT_EQ(caption_due(6, 41, &line, &i), 0);
    ASSERT_EQ(caption_due(6, 40, &line, &i), 1);
    EXPECT_STREQ(line->text, "THE SKINHEADS HAVE TAKEN");
    EXPECT_EQ(i, 0);
    ASSERT_EQ(caption_due(6, 40 + 24 * 5, &line, &i), 1);
    EXPECT_STREQ(line->text, "ROSALIE HOSTAGE");
    EXPECT_EQ(i, 0);
    ASSERT_EQ(caption_due(6, (8 + 24 + 15 + 12 + 20) * 5 - 5, &line, &i), 1);
    EXPECT_STREQ(line->text, "INTO YOUR OWN HANDS!");
    EXPECT_EQ(i, 19);
    EXPECT_EQ(caption_due(6, (8 + 24 + 15 + 12 + 20) * 5, &line, &i), 0);
    EXPECT_EQ(caption_due(6, 4000000000u, &line, &i), 0);  // never past the end record
    ASSERT_EQ(caption_due(3, 0, &line, &i), 1);
    EXPECT_STREQ(line->text, "NOW THEY ARE ON YOUR TURF...");

    current_game.level = 6;
    current_game.level_ticks = 40;
    type_captions();
    EXPECT_GT(count_colour(0, 64, 16, 71, 23), 0);
    EXPECT_LT(count_colour(0, 64, 16, 71, 23), 64);
    EXPECT_EQ(dirty_rows.first, 16);
    EXPECT_EQ(dirty_rows.last, 23);
}

TEST_F(Scene, CreditsRiseThroughTheirWindow)
{
    ASSERT_EQ(strlen(credits_text[10]), 0u);
    ASSERT_GT(strlen(credits_text[11]), 0u);
    current_game.level = LEVEL_CREDITS;
    // T = 168: first line 3 at y 0, so line 11 sits at y 112.
    amc_globals[GLOBAL_TIMER] = 168;
    draw_scene(0);
    EXPECT_EQ(count_colour(0, 0, 0, 319, 111), 320 * 112);
    EXPECT_LT(count_colour(0, 0, 112, 319, 119), 320 * 8);
    // A negative timer draws no line at all.
    clear_to_color(back_buffer, 0);
    amc_globals[GLOBAL_TIMER] = -600;
    draw_scene(0);
    EXPECT_EQ(count_colour(0, 0, 0, 319, 239), 320 * 240);
}

}  // namespace

// Counts heap allocations while `counting` is set.
static std::atomic<bool> counting{false};
static std::atomic<long> heap_calls{0};
extern "C" void* __libc_malloc(size_t);
extern "C" void* malloc(size_t n)
{
    if (counting.load(std::memory_order_relaxed))
        heap_calls.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(n);
}

namespace {

TEST_F(Scene, DrawingFramesAllocatesNothing)
{
    ASSERT_EQ(load_level(1, 2), 1);
    current_game.level = 2;
    for (int s = 1; s <= 20; s++)
        set_actor(s, (s % 2 ? 0x8000 : 0) | (SPRITE_A + s % 4), 10 * s, 50, s % 3);
    actor_table.slots[4].regs[REG_LIGHT] = 1;
    counting = true;
    for (int f = 0; f < 50; f++) {
        amc_globals[GLOBAL_SCROLL_MAP] = (int16_t)(7 * f);
        amc_globals[GLOBAL_SCORE] = (int16_t)f;
        amc_globals[GLOBAL_TIMER] = (int16_t)(72 * f);
        draw_scene(f);
    }
    current_game.level = 6;
    for (uint32_t t = 0; t < 400; t++) {
        current_game.level_ticks = t;
        type_captions();
    }
    counting = false;
    EXPECT_EQ(heap_calls.load(), 0);
}

}  // namespace
