#include <cstring>

#include "gfx/display.h"
#include "gfx/hud.h"
#include "gfx_fixture.h"
#include "input/input.h"

namespace {

// Values of one HUD call; the defaults are what a level start shows.
struct Hud {
    int energy = 200, second = 200, item = 0, count = 0, timer = 0, score = 0, top = 0;
    int lives = 0, stars = 0;
    int draw(int force = 0) const
    {
        return draw_hud(back_buffer, force, energy, second, item, count, timer, score, top, lives,
                        stars);
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
    EXPECT_EQ(count_colour(40, 42, 11, 191, 17), 150 * 7);
    EXPECT_EQ(count_colour(0, 192, 11, 241, 17), 50 * 7);
    h.energy = 160;
    h.draw();
    EXPECT_EQ(count_colour(40, 42, 11, 319, 17), 160 * 7);
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
    EXPECT_TRUE(shows(" 12340", 48, 0, 0));
    EXPECT_TRUE(shows(" 12340", 224, 0, 0));
    EXPECT_TRUE(shows("0:59", 249, 22, 66));
    EXPECT_EQ(h.draw(), 0);
    struct {
        int timer;
        const char* shown;
    } clocks[] = {{4320 + 71, "1:00"}, {21600, "5:00"}, {32000, "5:00"}, {-3, "0:00"}};
    for (auto c : clocks) {
        h.timer = c.timer;
        h.draw();
        EXPECT_TRUE(shows(c.shown, 249, 22, 66)) << c.timer;
    }

    dirty_rows = {-1, 0};
    draw_hud_now(0);  // the game's values (all 0) differ from the last call's
    EXPECT_EQ(dirty_rows.first, 0);
    dirty_rows = {-1, 0};
    draw_hud_now(0);
    EXPECT_EQ(dirty_rows.first, -1) << "an unchanged HUD marks nothing";
    clear_to_color(back_buffer, 0);
    draw_hud_now(1);
    EXPECT_EQ(dirty_rows.last, 31);
    EXPECT_EQ(pixel(5, 5), 5);
    EXPECT_EQ(pixel(281, 30), 66) << "the forced redraw repaints the clock";
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

    h.item = 2;  // the gauge shrinks as its count falls
    h.count = 3;
    h.draw();
    h.count = 1;
    h.draw();
    EXPECT_EQ(count_colour(209, 309, 24, 314, 29), 6 * 2);
    h.item = 7;
    EXPECT_EQ(h.draw(), 1);
    EXPECT_EQ(pixel(288, 16), 215) << "items 6..8 leave the box alone";
}

TEST_F(HudTest, OverlayShowsTheControlsOfTheTick)
{
    draw_statistics_values(back_buffer, CTRL_KICK | CTRL_PUNCH, {50, 200, 7, 72, 144});
    EXPECT_EQ(count_colour(113, 72, 18, 80, 26) + count_colour(112, 121, 18, 129, 26), 2 * 81);
    for (int c = 108; c <= 111; c++)
        EXPECT_EQ(count_colour(c, 0, 0, 319, 47), 0) << "no arrow " << c;
    EXPECT_TRUE(shows("#     50/200 ( 25%)", 0, 0, 0));
    EXPECT_TRUE(shows("SKILL  7", 220, 9, 0));
    EXPECT_EQ(dirty_rows.last, 47);
}

}  // namespace
