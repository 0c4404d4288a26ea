#include "gfx_fixture.h"

#include <cstring>

#include "gfx/display.h"
#include "gfx/hud.h"
#include "input/input.h"

namespace {

// Values of one HUD call; the defaults are what a level start shows.
struct Hud {
    int energy = 200, second = 200, item = 0, count = 0, timer = 0, score = 0, top = 0;
    int lives = 0, stars = 0;
    int draw(int force = 0) const
    {
        return draw_hud(back_buffer, force, energy, second, item, count, timer, score, top,
                        lives, stars);
    }
};

class HudTest : public GfxTest {
protected:
    Hud h;
    void SetUp() override
    {
        GfxTest::SetUp();
        h.draw(1);
    }
    // Whether the picture shows `text` at (x, y) printed over colour `under`.
    bool shows(const char* text, int x, int y, int under)
    {
        BITMAP* ref = create_bitmap_ex(8, 320, 240);
        rectfill(ref, x, y, x + 8 * (int)strlen(text) - 1, y + 7, under);
        textout_ex(ref, font, text, x, y, -1, -1);
        bool same = true;
        for (int yy = y; yy < y + 8; yy++)
            for (int xx = x; xx < x + 8 * (int)strlen(text); xx++)
                same &= getpixel(ref, xx, yy) == pixel(xx, yy);
        destroy_bitmap(ref);
        return same;
    }
};

TEST_F(HudTest, BarsChangeByColumnsAndClampAtZero)
{
    EXPECT_EQ(count_colour(40, 42, 11, 241, 17), 200 * 7);
    h.energy = 150;
    EXPECT_EQ(h.draw(), 1);
    EXPECT_EQ(count_colour(40, 42, 11, 191, 17), 150 * 7);
    EXPECT_EQ(count_colour(0, 192, 11, 241, 17), 50 * 7);
    h.energy = 160;
    h.draw();
    EXPECT_EQ(count_colour(40, 42, 11, 319, 17), 160 * 7);
    h.energy = -5;
    h.second = -1;
    h.draw();
    EXPECT_EQ(count_colour(40, 0, 0, 319, 31), 0);
    EXPECT_EQ(count_colour(41, 0, 0, 319, 31), 0);
    EXPECT_EQ(h.draw(), 0) << "a negative bar is drawn as 0 once";
}

TEST_F(HudTest, NumbersClockAndUnchangedCalls)
{
    h.score = 1234;
    h.top = 1000;
    h.timer = 4319;
    EXPECT_EQ(h.draw(), 1);
    EXPECT_TRUE(shows(" 12340", 48, 0, 0));
    EXPECT_TRUE(shows(" 12340", 224, 0, 0));
    EXPECT_TRUE(shows("0:59", 249, 22, 66));
    EXPECT_EQ(h.draw(), 0);
    h.timer = 4320 + 71;
    EXPECT_EQ(h.draw(), 1);
    EXPECT_TRUE(shows("1:00", 249, 22, 66));
    h.timer = 21600;
    h.draw();
    EXPECT_TRUE(shows("5:00", 249, 22, 66));
    h.timer = 32000;
    EXPECT_EQ(h.draw(), 0);
    h.timer = -3;
    h.draw();
    EXPECT_TRUE(shows("0:00", 249, 22, 66));

    dirty_rows = {-1, 0};
    draw_hud_now(0);  // the game's values (all 0) differ from the last call's
    EXPECT_EQ(dirty_rows.first, 0);
    dirty_rows = {-1, 0};
    draw_hud_now(0);
    EXPECT_EQ(dirty_rows.first, -1) << "an unchanged HUD marks nothing";
    clear_to_color(back_buffer, 0);
    draw_hud_now(1);
    EXPECT_EQ(dirty_rows.first, 0);
    EXPECT_EQ(dirty_rows.last, 31);
    EXPECT_EQ(pixel(5, 5), 5);
    EXPECT_EQ(pixel(300, 20), 0) << "the forced redraw repaints the item box";
    EXPECT_EQ(pixel(281, 30), 66) << "and the clock";
}

TEST_F(HudTest, LivesStarsAndItems)
{
    h.stars = 3;
    h.lives = -2;
    h.draw();
    for (int k = 0; k < 3; k++)
        EXPECT_LT(count_colour(5, 280, 8 * k, 287, 8 * k + 7), 64) << k;
    h.stars = 1;
    h.lives = 9;
    h.draw();
    EXPECT_EQ(count_colour(0, 280, 8, 287, 23), 8 * 16);
    EXPECT_EQ(count_colour(42, 288, 0, 319, 15), 4 * 8 * 16);

    // The timed item shows seconds; its last second blinks every 2 ticks.
    h.item = 5;
    h.count = 200;
    h.draw();
    EXPECT_EQ(pixel(288, 16), 211);
    EXPECT_EQ(h.draw(), 0);
    h.count = 72;
    h.draw();
    EXPECT_EQ(pixel(288, 16), 212);
    EXPECT_TRUE(shows("1", 304, 24, 212));
    h.count = 70;
    EXPECT_EQ(h.draw(), 1);
    EXPECT_EQ(pixel(288, 16), 211);
    EXPECT_EQ(h.draw(), 1) << "the last second redraws every call";

    h.item = 2;
    h.count = 3;
    h.draw();
    EXPECT_EQ(count_colour(209, 309, 24, 314, 29), 6 * 2 * 3);
    h.count = 1;
    h.draw();
    EXPECT_EQ(count_colour(209, 309, 24, 314, 29), 6 * 2);
    h.item = 7;
    EXPECT_EQ(h.draw(), 1);
    EXPECT_EQ(pixel(288, 16), 215) << "items 6..8 leave the box alone";
    h.item = 0;
    h.draw();
    EXPECT_EQ(count_colour(0, 288, 16, 318, 31), 31 * 16);
}

TEST_F(HudTest, OverlayShowsTheControlsOfTheTick)
{
    dirty_rows = {-1, 0};
    draw_statistics_values(back_buffer, CTRL_KICK | CTRL_PUNCH, {50, 200, 7, 72, 144});
    EXPECT_EQ(pixel(72, 18), 113);
    EXPECT_EQ(pixel(121, 18), 112);
    for (int c = 108; c <= 111; c++)
        EXPECT_EQ(count_colour(c, 0, 0, 319, 47), 0) << c;
    EXPECT_TRUE(shows("#     50/200 ( 25%)", 0, 0, 0));
    EXPECT_TRUE(shows("SKILL  7", 220, 9, 0));
    EXPECT_EQ(dirty_rows.first, 0);
    EXPECT_EQ(dirty_rows.last, 47);
}

}  // namespace
