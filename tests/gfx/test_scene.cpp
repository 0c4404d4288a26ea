#include <atomic>
#include <cstring>
#include <vector>

#include "demo/demo.h"
#include "engine/actor.h"
#include "engine/amc_vm.h"
#include "game/level_loop.h"
#include "game/state.h"
#include "gfx/display.h"
#include "gfx/level.h"
#include "gfx/objects.h"
#include "gfx/scene.h"
#include "gfx/state.h"
#include "gfx_fixture.h"

// Counts heap allocations while `counting` is set. A sanitizer brings its
// own allocator, which this would replace: there the count is not taken.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define NWD_OWN_ALLOCATOR 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define NWD_OWN_ALLOCATOR 1
#endif
static std::atomic<bool> counting{false};
static std::atomic<long> heap_calls{0};
#ifndef NWD_OWN_ALLOCATOR
extern "C" void* __libc_malloc(size_t);
extern "C" void* malloc(size_t n)
{
    if (counting.load(std::memory_order_relaxed))
        heap_calls.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(n);
}
#endif

namespace {

class Scene : public GfxTest {
protected:
    void street(int level)
    {
        ASSERT_EQ(load_level_graphics((int16_t)level, levels_dir.c_str()), 1);
    }
};

TEST_F(Scene, MapScrollsByWholeAndPartTiles)
{
    street(1);                 // lev1 holds tile c in column c
    gfx.dirty_rows = {-1, 0};  // the load marked the whole picture
    struct {
        int scroll, tile_at_0, next_x;
    } cases[] = {{0, 0, 16}, {17, 1, 15}, {32, 2, 16}};
    for (auto c : cases) {
        SCOPED_TRACE(c.scroll);
        amc_globals[GLOBAL_SCROLL_MAP] = (int16_t)c.scroll;
        draw_scene(0);
        EXPECT_EQ(pixel(c.next_x - 1, 32), tile_colour(c.tile_at_0));
        EXPECT_EQ(pixel(c.next_x, 32 + 12 * 16), tile_colour(c.tile_at_0 + 1));
    }
    EXPECT_EQ(gfx.dirty_rows.first, 32) << "the play area; the HUD above is the game's";
    EXPECT_EQ(gfx.dirty_rows.last, 32 + 13 * 16);
}

// A heavy impact shakes the play area a few pixels up and down, dying away,
// and a lighter one asked for meanwhile does not cut it short.
TEST_F(Scene, ImpactsShakeThePlayAreaAndSettle)
{
    scene_jolt(16);
    scene_jolt(8);
    EXPECT_EQ(gfx.stage.jolt, 16);
    int ups = 0, downs = 0, ticks = 0;
    while (gfx.stage.jolt > 0) {
        int dy = jolt_offset(gfx.stage.jolt);
        EXPECT_LE(dy < 0 ? -dy : dy, 3);
        EXPECT_NE(dy, 0) << "every tick of the jolt moves";
        (dy < 0 ? ups : downs)++;
        scene_settle();
        ticks++;
    }
    EXPECT_EQ(ticks, 16);
    EXPECT_GT(ups, 4);
    EXPECT_GT(downs, 4);
    EXPECT_EQ(jolt_offset(0), 0);
    scene_settle();
    EXPECT_EQ(gfx.stage.jolt, 0);
}

TEST_F(Scene, DrawListPaintsBySortKeyThenSlot)
{
    gfx.stage.level = 6;
    set_actor(3, SPRITE_B, 0, 0, 100);
    set_actor(5, SPRITE_B, 0, 0, 0);
    set_actor(7, SPRITE_B, 0, 0, 99);
    set_actor(9, SPRITE_B, 0, 0, 0);
    int skipped[] = {26, 558, 0x8000 + 26, 31};
    for (int i = 0; i < 4; i++)
        set_actor(10 + i, skipped[i], 0, 0);
    set_actor(14, 0x8000 + 27, 0, 0, -1);
    set_actor(15, 557, 0, 0, 200);
    actor_table.slots[15].regs[REG_BLINK] = 1;
    int16_t out[64];
    ASSERT_EQ(scene_draw_list(0, out), 5);
    EXPECT_EQ(std::vector<int16_t>(out, out + 5), (std::vector<int16_t>{14, 5, 9, 7, 3}));
    ASSERT_EQ(scene_draw_list(1, out), 6);
    EXPECT_EQ(out[5], 15) << "a blinking actor shows on odd frames";
    // A hint for a new player is painted last, and left out of a replay.
    set_actor(16, SPRITE_B, 0, 0, HINT_LAYER);
    ASSERT_EQ(scene_draw_list(0, out), 6);
    EXPECT_EQ(out[5], 16);
    gfx.stage.hide_hints = true;
    EXPECT_EQ(scene_draw_list(0, out), 5);
}

TEST_F(Scene, ActorsAreMirroredAndRecolouredAroundTheirHotSpot)
{
    gfx.stage.level = 6;  // play area from row 48
    set_actor(1, SPRITE_A, 100, 40);
    set_actor(2, 0x8000 | SPRITE_A, 100, 100);
    set_actor(3, SPRITE_A, 200, 40);
    actor_table.slots[3].regs[REG_LIGHT] = 0x101;  // the low byte picks the scheme
    set_actor(4, 0x8000 | SPRITE_A, 280, 100);
    actor_table.slots[4].regs[REG_LIGHT] = 1;
    draw_scene(0);
    // Unmirrored from x - 10, mirrored from x + 10 - 40; rows y - 20 + 48.
    EXPECT_EQ(count_colour(100, 89, 67, 130, 88), 40 * 20);
    EXPECT_EQ(count_colour(100, 90, 68, 129, 87), 40 * 20);
    EXPECT_EQ(count_colour(100, 69, 127, 110, 148), 40 * 20);
    EXPECT_EQ(count_colour(100, 70, 128, 109, 147), 40 * 20);
    EXPECT_EQ(count_colour(LIT_TO, 190, 68, 229, 87), 40 * 20);
    EXPECT_EQ(count_colour(LIT_TO, 250, 128, 289, 147), 40 * 20);
    EXPECT_EQ(count_colour(LIT_TO, 0, 0, 319, 239), 2 * 40 * 20);
}

TEST_F(Scene, BackgroundBandsAndForegroundLayer)
{
    // Level 2 at scroll 10: band from sx 10 / 8 = 1 (colour 1 + x); the
    // foreground (tile 50) starts at cell 1456 at x -15, y 32 + 96.
    street(2);
    amc_globals[GLOBAL_SCROLL_MAP] = 10;
    draw_scene(0);
    EXPECT_EQ(pixel(0, 127), tile_colour(1));
    EXPECT_EQ(count_colour(tile_colour(50), 0, 128, 0, 239), 112);
    EXPECT_EQ(count_colour(tile_colour(50), 0, 0, 319, 127), 0);
    draw_parallax_band();
    EXPECT_EQ(pixel(0, 32), 2);
    EXPECT_EQ(pixel(319, 142), 65);  // strip x 320: the third copy's x 64
    // A fighter passes behind the layer; a banner (sort key 1000 up) stays over it.
    set_actor(1, SPRITE_A, 20, 120, OVER_FOREGROUND - 1);
    set_actor(2, SPRITE_B, 5, 110, OVER_FOREGROUND);
    draw_scene(0);
    EXPECT_EQ(pixel(15, 140), tile_colour(50)) << "the fighter under the layer";
    EXPECT_EQ(pixel(5, 145), 101) << "the banner over it";

    gfx.stage.level = 6;  // the van road: scroll_x modulo 128
    amc_globals[GLOBAL_SCROLL_X] = 130;
    draw_van_band();
    EXPECT_EQ(pixel(0, 48), 3);
    EXPECT_EQ(pixel(126, 48), 1);
    amc_globals[GLOBAL_SCROLL_X] = -1;  // wraps instead of leaving column 0 unpainted
    draw_van_band();
    EXPECT_EQ(pixel(0, 48), 128);
}

TEST_F(Scene, FightersAndThingsStandOnTheirShadows)
{
    street(1);  // play area from row 32; a grey ramp: a lower colour is darker
    PALETTE grey;
    for (int k = 0; k < PAL_SIZE; k++)
        grey[k].r = grey[k].g = grey[k].b = (unsigned char)(k / 4);
    scene_use_palette(grey);
    draw_scene(0);
    int bare[32];  // the street along row 133 from x 100, with nobody on it
    for (int i = 0; i < 32; i++)
        bare[i] = pixel(100 + i, 133);
    // A fighter at x 100 on depth 100: picture A is 40 wide, so the shadow
    // reaches 21 either side of (100, 133), darkest in its middle.
    set_actor(1, SPRITE_A, 100, 80);
    int16_t* r = actor_table.slots[1].regs;
    r[REG_CLASS] = C_ENEMY;
    r[REG_GY] = 100;
    r[REG_Z] = 20;
    r[REG_SHADOW] = 90;  // a fighter's own use of the register: no say here
    int16_t before[ACTOR_REGS];
    memcpy(before, r, sizeof before);
    draw_scene(0);
    EXPECT_EQ(memcmp(before, r, sizeof before), 0) << "drawing never changes the world";
    EXPECT_LT(pixel(100, 133), bare[0]);
    EXPECT_EQ(pixel(121, 133), bare[21]) << "higher up, a smaller shadow";
    int above = pixel(100, 124);
    r[REG_Z] = 0;
    draw_scene(0);
    int darkest = pixel(100, 133);
    EXPECT_LT(pixel(120, 133), bare[20]);
    EXPECT_LT(darkest, pixel(118, 133)) << "a soft rim";
    EXPECT_EQ(pixel(123, 133), bare[23]) << "no wider than the picture";
    EXPECT_EQ(pixel(100, 124), above) << "flattened";

    // Other things have a shadow only when they set one.
    r[REG_CLASS] = 0;
    r[REG_SHADOW] = 0;
    draw_scene(0);
    EXPECT_EQ(pixel(100, 133), bare[0]);
    r[REG_SHADOW] = 20;
    draw_scene(0);
    EXPECT_EQ(pixel(100, 133), darkest);
    EXPECT_EQ(pixel(112, 133), bare[12]);
}

TEST_F(Scene, CaptionsTypeOneLetterEveryFiveTicks)
{
    const CaptionLine* line = nullptr;
    int i = -1;
    const uint32_t last = (8 + 24 + 15 + 12 + 20) * 5 - 5;
    EXPECT_EQ(caption_due(6, 35, &line, &i), 0);
    EXPECT_EQ(caption_due(6, 41, &line, &i), 0);
    ASSERT_EQ(caption_due(6, 40 + 24 * 5, &line, &i), 1);
    EXPECT_EQ(i, 0);
    EXPECT_STREQ(line->text, "ROSALIE HOSTAGE");
    ASSERT_EQ(caption_due(6, last, &line, &i), 1);
    EXPECT_EQ(line->text[i], '!');
    EXPECT_EQ(caption_due(6, last + 5, &line, &i), 0);
    EXPECT_EQ(caption_due(6, 4000000000u, &line, &i), 0) << "never walks past the end record";
    ASSERT_EQ(caption_due(3, 0, &line, &i), 1);
    EXPECT_STREQ(line->text, "NOW THEY ARE ON YOUR TURF...");

    gfx.stage = {6, 40, false, 0};  // the first letter, T, at (64, 16)
    type_captions();
    EXPECT_EQ(gfx.stage.ticks, 41u);
    EXPECT_LT(count_colour(0, 64, 16, 71, 23), 64);
    EXPECT_EQ(gfx.dirty_rows.first, 16);
    EXPECT_EQ(gfx.dirty_rows.last, 23);
}

TEST_F(Scene, CreditsRiseThroughTheirWindow)
{
    gfx.stage.level = LEVEL_CREDITS;
    amc_globals[GLOBAL_TIMER] = 168;  // first line 3 at y 0: line 11 at y 112
    draw_scene(0);
    EXPECT_EQ(strlen(credits_text[10]), 0u);
    EXPECT_EQ(count_colour(0, 0, 0, 319, 111), 320 * 112);
    EXPECT_LT(count_colour(0, 0, 112, 319, 119), 320 * 8);
    clear_to_color(gfx.back_buffer, 0);
    amc_globals[GLOBAL_TIMER] = -600;  // a negative first line shows nothing
    draw_scene(0);
    EXPECT_EQ(count_colour(0, 0, 0, 319, 239), 320 * 240);
}

// The cast stands at the kerb under the roll from the gang's heading until
// the bosses leave (ticks 1130 to 2230 of the credits' level, 56 a row, ten
// rows in view): a name wider than the middle's 136 pixels would run into
// the raised fists and weapons at the sides; later ones have 224.
TEST_F(Scene, CreditsKeepOverTheCastsGap)
{
    FONT* f = main_objects().font(FONT_CREDITS);
    ASSERT_NE(f, nullptr);
    const unsigned first_over = 1130 / 56, last_over = 2230 / 56 + 10;
    for (unsigned k = 0; k < CREDITS_LINES; k++) {
        int w = text_length(f, credits_text[k]);
        EXPECT_LE(w, k >= first_over && k <= last_over ? 136 : 224) << k << " " << credits_text[k];
    }
    EXPECT_STREQ(credits_text[first_over + 10], "THE GANG");  // its heading rises as they come
}

TEST_F(Scene, DrawingFramesAllocatesNothing)
{
#ifdef NWD_OWN_ALLOCATOR
    GTEST_SKIP() << "the sanitizer's allocator is not counted";
#endif
    street(2);
    for (int s = 1; s <= 20; s++)
        set_actor(s, (s % 2 ? 0x8000 : 0) | (SPRITE_A + s % 2), 10 * s, 50, s % 3);
    actor_table.slots[4].regs[REG_LIGHT] = 1;
    game.attract_demo = true, game.current.replaying = 0xFF;
    counting = true;
    for (int f = 0; f < 50; f++) {
        amc_globals[GLOBAL_SCROLL_MAP] = (int16_t)(7 * f);
        amc_globals[GLOBAL_SCORE] = amc_globals[GLOBAL_TIMER] = (int16_t)(72 * f);
        game.current.frames_run = 20u * f;
        draw_frame(f);  // the HUD and the demo's tag as well
    }
    gfx.stage = {6, 0, false, 0};
    for (int t = 0; t < 400; t++)
        type_captions();
    counting = false;
    EXPECT_EQ(heap_calls.load(), 0);
}

}  // namespace
