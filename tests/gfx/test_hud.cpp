#include <cstring>
#include <string>

#include "game/level_loop.h"
#include "game/state.h"
#include "gfx/display.h"
#include "gfx/hud.h"
#include "gfx/level.h"
#include "gfx/state.h"
#include "gfx_fixture.h"
#include "input/input.h"

namespace {

// Values of one HUD call; the defaults are what a level start shows.
struct Hud {
    int energy = 200, second = 200, item = 0, count = 0, timer = 0, score = 0, top = 0;
    int lives = 0, stars = 0, mode = 0;
    int draw(int force = 0) const
    {
        return draw_hud(gfx.back_buffer, force, energy, second, item, count, timer, score, top,
                        lives, stars, mode);
    }
};

bool inside(const HudBox& b, int x, int y) { return x > b.x1 && x < b.x2 && y > b.y1 && y < b.y2; }

class HudTest : public GfxTest {
protected:
    Hud h;
    void SetUp() override
    {
        GfxTest::SetUp();
        h.draw(1);
    }
};

// Whether the picture shows `text` at (x, y) printed over colour `under`.
bool shows(const char* text, int x, int y, int under)
{
    int w = 8 * (int)strlen(text);
    BITMAP* ref = create_bitmap_ex(8, w, 8);
    clear_to_color(ref, under);
    textout_ex(ref, font, text, 0, 0, -1, -1);
    bool same = true;
    for (int i = 0; i < w * 8; i++)
        same &= getpixel(ref, i % w, i / w) == pixel(x + i % w, y + i / w);
    destroy_bitmap(ref);
    return same;
}

TEST_F(HudTest, BarsChangeByColumnsAndClampAtZero)
{
    h.energy = 150;
    EXPECT_EQ(h.draw(), 1);
    EXPECT_EQ(count_colour(40, 42, 13, 191, 19), 150 * 7);
    EXPECT_EQ(count_colour(0, 192, 13, 241, 19), 50 * 7);
    h.energy = 160;
    h.draw();
    EXPECT_EQ(count_colour(40, 42, 13, 319, 19), 160 * 7);
    h.energy = -5;
    h.second = -1;
    h.draw();
    EXPECT_EQ(count_colour(40, 0, 0, 319, 31) + count_colour(41, 0, 0, 319, 31), 0);
    EXPECT_EQ(h.draw(), 0);
}

TEST_F(HudTest, NumbersClockAndUnchangedCalls)
{
    h.score = 1234;
    h.top = 1000;
    h.timer = 4319;
    h.draw();
    EXPECT_TRUE(shows(" 12340", HUD_SCORE_X, 2, 0));
    EXPECT_TRUE(shows(" 12340", HUD_TOP_X, 2, 0));
    EXPECT_TRUE(shows("0:59", HUD_CLOCK_X, 2, 66));
    EXPECT_EQ(h.draw(), 0);
    struct {
        int timer;
        const char* shown;
    } clocks[] = {{4320 + 71, "1:00"}, {21600, "5:00"}, {32000, "5:00"}, {-3, "0:00"}};
    for (auto c : clocks) {
        h.timer = c.timer;
        h.draw();
        EXPECT_TRUE(shows(c.shown, HUD_CLOCK_X, 2, 66)) << c.timer;
    }

    gfx.dirty_rows = {-1, 0};
    draw_hud_now(0);  // the game's values (all 0) differ from the last call's
    EXPECT_EQ(gfx.dirty_rows.first, 0);
    gfx.dirty_rows = {-1, 0};
    draw_hud_now(0);
    EXPECT_EQ(gfx.dirty_rows.first, -1) << "an unchanged HUD marks nothing";
    clear_to_color(gfx.back_buffer, 0);
    draw_hud_now(1);
    EXPECT_EQ(gfx.dirty_rows.last, 31);
    EXPECT_EQ(pixel(5, 5), 5);
    EXPECT_EQ(pixel(HUD_CLOCK_BOX.x2 - 1, 9), 66) << "the forced redraw repaints the clock";
}

TEST_F(HudTest, LivesStarsAndItems)
{
    h.stars = 3;
    h.lives = -2;
    h.draw();
    for (int k = 0; k < 3; k++)
        EXPECT_LT(count_colour(5, HUD_STARS_X + 8 * k, 2, HUD_STARS_X + 8 * k + 7, 9), 64) << k;
    h.stars = 1;
    h.lives = 9;
    h.draw();
    EXPECT_EQ(count_colour(0, HUD_STARS_X + 9, 2, HUD_STARS_BOX.x2 - 1, 9), 15 * 8);
    EXPECT_EQ(count_colour(42, HUD_LIVES_X, 13, 319, 28), 4 * 8 * 16) << "four fit";

    // The timed item shows seconds; its last second blinks every 2 ticks.
    h.item = 5;
    h.count = 200;
    h.draw();
    EXPECT_EQ(pixel(HUD_ITEM_X, HUD_ITEM_Y), 211);
    EXPECT_EQ(h.draw(), 0);
    h.count = 72;
    h.draw();
    EXPECT_EQ(pixel(HUD_ITEM_X, HUD_ITEM_Y), 212);
    EXPECT_TRUE(shows("1", HUD_ITEM_X + 16, HUD_ITEM_Y + 8, 212));
    h.count = 70;
    EXPECT_EQ(h.draw(), 1);
    EXPECT_EQ(pixel(HUD_ITEM_X, HUD_ITEM_Y), 211);
    EXPECT_EQ(h.draw(), 1) << "the last second redraws every call";

    h.item = 2;  // the gauge shrinks as its count falls
    h.count = 3;
    h.draw();
    h.count = 1;
    h.draw();
    EXPECT_EQ(count_colour(209, HUD_ITEM_X, HUD_ITEM_Y, 319, 31), 6 * 2);
    h.item = 7;
    EXPECT_EQ(h.draw(), 1);
    EXPECT_EQ(pixel(HUD_ITEM_X, HUD_ITEM_Y), 215) << "items 6..8 leave the box alone";
}

// Whatever the values, the HUD paints only inside its boxes: nothing over
// the panel, its edges or the play area below.
TEST_F(HudTest, EveryValueStaysInsideItsBox)
{
    const HudBox boxes[] = {HUD_SCORE_BOX,  HUD_MODE_BOX,  HUD_STARS_BOX,
                            HUD_TOP_BOX,    HUD_CLOCK_BOX, HUD_ENERGY_BOX,
                            HUD_SECOND_BOX, HUD_LIVES_BOX, HUD_ITEM_BOX};
    for (int item : {2, 5}) {
        clear_to_color(gfx.back_buffer, 0);
        Hud big;
        big.energy = big.second = 30000, big.item = item, big.count = 999, big.timer = 30000;
        big.score = big.top = 65535, big.lives = big.stars = 50, big.mode = 3;
        big.draw(1);
        for (int y = 0; y < 240; y++)
            for (int x = 0; x < PICTURE_W; x++) {
                bool in = false;
                for (const HudBox& b : boxes)
                    in |= inside(b, x, y);
                ASSERT_TRUE(in || pixel(x, y) == (y < HUD_ROWS ? 5 : 0)) << x << "," << y;
            }
    }
}

TEST_F(HudTest, TheModeIsShownAndAVampiresBarPulsesWhileTheClockRuns)
{
    h.mode = 2;
    EXPECT_EQ(h.draw(), 1);
    EXPECT_EQ(pixel(HUD_MODE_X, 2), 72) << "SURVIVAL";
    EXPECT_EQ(h.draw(), 0);
    h.mode = 3;
    h.timer = 1000;
    h.draw();
    EXPECT_EQ(pixel(HUD_MODE_X + 47, 9), 73) << "VAMPIRE";

    auto tip = [] { return count_colour(43, HUD_BAR_X, 13, 319, 19) / 7; };
    std::string seen;
    for (int t = 1000; t > 1000 - 4 * 18; t -= 6) {  // a frame every 6 ticks
        h.timer = t;
        h.draw();
        seen += char('0' + tip());
    }
    EXPECT_EQ(seen, "440004440004") << "a quarter second lit, a quarter dark";
    EXPECT_EQ(count_colour(40, HUD_BAR_X, 13, 319, 19), 196 * 7);
    h.energy = 150;  // lit as the bar shrinks: the tip follows its end
    h.draw();
    EXPECT_EQ(count_colour(43, HUD_BAR_X + 146, 13, HUD_BAR_X + 149, 19), 4 * 7);
    EXPECT_EQ(count_colour(40, HUD_BAR_X, 13, 319, 19), 146 * 7);
    for (int i = 0; i < 8; i++)
        h.draw();  // the clock stops: so does the thirst
    EXPECT_EQ(tip(), 0);
    EXPECT_EQ(count_colour(40, HUD_BAR_X, 13, 319, 19), 150 * 7);
    h.mode = 1;
    h.timer = 1;
    h.draw();
    h.timer = 20;
    h.draw();
    EXPECT_EQ(tip(), 0) << "only a vampire drains";
}

TEST_F(HudTest, OverlayShowsTheControlsOfTheTick)
{
    draw_statistics_values(gfx.back_buffer, CTRL_KICK | CTRL_PUNCH, {50, 200, 7, 72, 144});
    EXPECT_EQ(count_colour(113, 72, 18, 80, 26) + count_colour(112, 121, 18, 129, 26), 2 * 81);
    for (int c = 108; c <= 111; c++)
        EXPECT_EQ(count_colour(c, 0, 0, 319, 47), 0) << "no arrow " << c;
    EXPECT_TRUE(shows("#     50/200 ( 25%)", 0, 0, 0));
    EXPECT_TRUE(shows("SKILL  7", 220, 9, 0));
    EXPECT_EQ(gfx.dirty_rows.last, 47);
}

// An attract demo says so in its play area, blinking with the world's ticks;
// a game, and a replay from -play or the replay menu, say nothing. The tag
// changes no pixel outside its place and marks no HUD row.
TEST_F(HudTest, OnlyAnAttractDemoIsTaggedBelowTheHud)
{
    BITMAP* plain = create_bitmap_ex(8, PICTURE_W, PICTURE_H);
    for (int level : {1, 6}) {  // a street under the HUD, an interlude lower down
        SCOPED_TRACE(level);
        ASSERT_EQ(load_level_graphics((int16_t)level, levels_dir.c_str()), 1);
        draw_frame(0);  // the HUD takes the values of the globals
        blit(gfx.back_buffer, plain, 0, 0, 0, 0, PICTURE_W, PICTURE_H);
        const int top = level_desc(level)->play_top;
        // The plate round four letters of the fixture's 8 x 8 font.
        const int w = 4 * 8 + 2 * DEMO_TAG_PAD, h = 8 + 2 * DEMO_TAG_PAD;
        const int x1 = PICTURE_W - DEMO_TAG_MARGIN - w, y1 = top + DEMO_TAG_MARGIN;
        struct {
            bool attract;
            uint8_t replaying;
            uint32_t tick;
            bool tagged;
        } cases[] = {
            {true, 0xFF, 0, true},
            {true, 0xFF, DEMO_TAG_SHOWN - 1, true},
            {true, 0xFF, DEMO_TAG_SHOWN, false},
            {true, 0xFF, 5 * DEMO_TAG_PERIOD + 1, true},
            {false, 0xFF, 0, false},
            {false, 0, 0, false},
            {true, 0, 0, false},
        };
        for (auto c : cases) {
            game.attract_demo = c.attract;
            game.current.replaying = c.replaying;
            game.current.frames_run = c.tick;
            gfx.dirty_rows = {-1, 0};
            draw_frame(0);
            int inside = 0, outside = 0;
            for (int y = 0; y < PICTURE_H; y++)
                for (int x = 0; x < PICTURE_W; x++)
                    if (pixel(x, y) != getpixel(plain, x, y))
                        ++(x >= x1 && x < x1 + w && y >= y1 && y < y1 + h ? inside : outside);
            EXPECT_EQ(inside > 0, c.tagged) << c.attract << " " << +c.replaying << " " << c.tick;
            EXPECT_EQ(shows("DEMO", x1 + DEMO_TAG_PAD, y1 + DEMO_TAG_PAD, 0), c.tagged);
            EXPECT_EQ(outside, 0);
            EXPECT_EQ(gfx.dirty_rows.first, top) << "no HUD row";
        }
    }
    destroy_bitmap(plain);
}

}  // namespace
