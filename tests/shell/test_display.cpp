#include <gtest/gtest.h>

#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "config/state.h"
#include "gfx/display.h"
#include "gfx/main_data.h"
#include "gfx/state.h"
#include "shell/startup.h"
#include "tests/files.h"

namespace {

// Allegro without a display: memory bitmaps stand in for the screen.
class Display : public testing::Test {
protected:
    static void SetUpTestSuite() { install_allegro(SYSTEM_NONE, &errno, atexit); }
    void SetUp() override
    {
        calls.clear();
        refused.clear();
        gfx_state_reset();
        display_set_mode_fn(fake_mode);
    }
    void TearDown() override
    {
        display_set_mode_fn(nullptr);
        if (screen)
            destroy_bitmap(screen);
        screen = nullptr;
        release_display();
    }
    // Accepts every size not listed in `refused` and makes a screen of it.
    static int fake_mode(int, int w, int h, int, int)
    {
        calls.push_back({w, h});
        for (auto& r : refused)
            if (r[0] == w && r[1] == h)
                return -1;
        if (screen)
            destroy_bitmap(screen);
        screen = create_bitmap_ex(8, w, h);
        return 0;
    }
    // Which screen rows show the picture's colour 7 at column x.
    std::vector<int> rows_with_picture(int x)
    {
        std::vector<int> rows;
        for (int y = 0; y < screen->h; y++)
            if (getpixel(screen, x, y) == 7)
                rows.push_back(y);
        return rows;
    }
    static std::vector<std::vector<int>> calls, refused;
};
std::vector<std::vector<int>> Display::calls, Display::refused;

}  // namespace

TEST_F(Display, FitCentresTheLargestWholeFactor)
{
    struct {
        int w, h, scale, x, y;
    } cases[] = {
        {320, 240, 0, 0, 0},     {640, 480, 2, 0, 0}, {800, 600, 2, 80, 60},
        {1024, 768, 3, 32, 24},  {960, 720, 3, 0, 0}, {1920, 1080, 4, 320, 60},
        {300, 200, 0, -10, -20},
    };
    for (auto& c : cases) {
        DisplayFit f = compute_fit(c.w, c.h);
        EXPECT_EQ(f.scale, c.scale) << c.w;
        EXPECT_EQ(f.x_offset, c.x) << c.w;
        EXPECT_EQ(f.y_offset, c.y) << c.w;
    }
}

TEST_F(Display, AutomaticSizesFallBackInOrder)
{
    refused = {{960, 720}};
    ASSERT_EQ(set_display_mode(GFX_AUTODETECT_WINDOWED, -1, -1, 1), 0);
    EXPECT_EQ(calls, (std::vector<std::vector<int>>{{960, 720}, {640, 480}}));
    EXPECT_EQ(gfx.fit.scale, 2);
    EXPECT_EQ(gfx.fit.x_offset, 0);

    calls.clear();
    refused = {{1920, 1080}, {320, 240}, {640, 480}, {800, 600}};
    gfx.desktop_width = 1920, gfx.desktop_height = 1080;
    EXPECT_EQ(set_display_mode(GFX_AUTODETECT_FULLSCREEN, -1, -1, 0), -1);
    EXPECT_EQ(calls, refused);
    gfx.desktop_width = gfx.desktop_height = -1;

    calls.clear();
    EXPECT_EQ(set_display_mode(GFX_AUTODETECT_WINDOWED, 800, 600, 1), -1);
    EXPECT_EQ(calls.size(), 1u) << "an explicit size has no fall-back";
}

TEST_F(Display, ARefusedDriverFallsBackToAnAutomaticWindow)
{
    // No row asks for the direct graphics extension, which users cannot open.
    for (const GfxDriverDesc& d : gfx_driver_table)
        EXPECT_NE(d.driver, GFX_XDGA2) << d.short_name;
    refused = {{800, 600}};
    EXPECT_EQ(open_display(5, 800, 600), 5) << "the player's row is kept for the next start";
    EXPECT_EQ(gfx.card, 0) << "while the automatic window runs";
    EXPECT_EQ(calls, (std::vector<std::vector<int>>{{800, 600}, {960, 720}}));
    calls.clear();
    EXPECT_EQ(open_display(4, 640, 480), 4);
    EXPECT_EQ(gfx.card, 4);
    EXPECT_EQ(calls.size(), 1u);
    calls.clear();
    refused = {{960, 720}, {640, 480}, {320, 240}};
    EXPECT_EQ(open_display(0, -1, -1), -1);
    EXPECT_EQ(calls.size(), 3u) << "the automatic window is tried once";
}

TEST_F(Display, DirtyRowsAreClampedAndCleared)
{
    ASSERT_EQ(set_display_mode(0, 800, 600, 0), 0);
    clear_to_color(gfx.back_buffer, 7);
    mark_dirty(0, 31);
    mark_dirty(32, 240);
    present_dirty();
    EXPECT_EQ(rows_with_picture(80).size(), 480u);  // rows 0..239 at factor 2
    EXPECT_EQ(rows_with_picture(79).size(), 0u);    // the border stays
    EXPECT_EQ(gfx.dirty_rows.first, -1);

    clear_bitmap(screen);
    present_dirty();  // nothing pending
    gfx.dirty_rows = {250, 255};
    present_dirty();
    EXPECT_TRUE(rows_with_picture(80).empty());
    EXPECT_EQ(gfx.dirty_rows.first, -1);

    mark_dirty(10, 12);
    mark_dirty(5, 6);
    present_dirty();
    std::vector<int> rows = rows_with_picture(100);
    ASSERT_EQ(rows.size(), 16u);  // rows 5..12 between the two bands too
    EXPECT_EQ(rows.front(), 60 + 10);
}

TEST_F(Display, ScaledRowsRepeatEveryPixelExactly)
{
    // Factors with a path of their own, the general one and the widest.
    for (int k : {2, 3, 4, 5, 9}) {
        const int w = PICTURE_W * k + 6, h = PICTURE_H * k + 4;
        ASSERT_EQ(set_display_mode(0, w, h, 0), 0);
        ASSERT_EQ(gfx.fit.scale, k);
        for (int y = 0; y < PICTURE_H; y++)
            for (int x = 0; x < PICTURE_W; x++)
                gfx.back_buffer->line[y][x] = (uint8_t)(x * 7 + y * 13 + x / 5);
        clear_to_color(screen, 255);
        mark_dirty(17, 200);
        present_dirty();
        int wrong = 0;
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                int px = x - 3, py = y - 2;  // centred: 3 columns and 2 rows of border
                bool band = px >= 0 && px < PICTURE_W * k && py >= 17 * k && py < 201 * k;
                int want = band ? gfx.back_buffer->line[py / k][px / k] : 255;
                wrong += screen->line[y][x] != want;
            }
        EXPECT_EQ(wrong, 0) << "factor " << k;
    }
}

TEST_F(Display, WipeRevealsEveryRowInSixteenSteps)
{
    ASSERT_EQ(set_display_mode(0, 320, 240, 1), 0);
    clear_to_color(gfx.back_buffer, 7);
    mark_dirty(3, 3);
    static int steps;
    steps = 0;
    wipe_in([] { steps++; });
    EXPECT_EQ(steps, 16);
    EXPECT_EQ(rows_with_picture(0).size(), 240u);
    EXPECT_EQ(gfx.dirty_rows.first, -1);
}

TEST_F(Display, ScreenshotsTakeTheNextFreeName)
{
    testfiles::ScratchCwd here;
    ASSERT_TRUE(here.entered);
    ASSERT_EQ(set_display_mode(0, 320, 240, 1), 0);
    fclose(fopen("nwd000.bmp", "w"));
    fclose(fopen("nwd001.bmp", "w"));
    save_screenshot();
    save_screenshot();
    EXPECT_EQ(access("nwd002.bmp", F_OK), 0);
    EXPECT_EQ(access("nwd003.bmp", F_OK), 0);
    gfx.screenshot_counter = 998;
    save_screenshot();
    save_screenshot();
    EXPECT_EQ(access("nwd998.bmp", F_OK), 0);
    EXPECT_NE(access("nwd999.bmp", F_OK), 0);
}

TEST(Startup, RecolourTableIsIdentityButThirtyFiveEntries)
{
    static COLOR_MAP map;
    build_recolour_table(&map);
    int changed = 0;
    for (int r = 0; r < 256; r++)
        for (int k = 0; k < 256; k++)
            changed += map.data[r][k] != k;
    EXPECT_EQ(changed, 35);
    EXPECT_EQ(map.data[1][38], 1);
    EXPECT_EQ(map.data[2][124], 126);
    EXPECT_EQ(map.data[4][118], 122);
}

TEST(Startup, DatafileMustHoldPaletteAndSprites)
{
    static DATAFILE d[LAST_HOTSPOT_OBJECT + 2];
    auto fill = [](int count) {
        for (int i = 0; i <= LAST_HOTSPOT_OBJECT + 1; i++)
            d[i] = DATAFILE{nullptr, DAT_BITMAP, 0, nullptr};
        d[MAIN_PALETTE].type = DAT_PALETTE;
        d[count].type = DAT_END;
    };
    fill(LAST_HOTSPOT_OBJECT + 1);
    EXPECT_TRUE(main_data_complete(d));
    d[300].type = DAT_FONT;
    EXPECT_FALSE(main_data_complete(d));
    fill(LAST_HOTSPOT_OBJECT);
    EXPECT_FALSE(main_data_complete(d)) << "one sprite short";
    fill(LAST_HOTSPOT_OBJECT + 1);
    d[MAIN_PALETTE].type = DAT_BITMAP;
    EXPECT_FALSE(main_data_complete(d));
}
