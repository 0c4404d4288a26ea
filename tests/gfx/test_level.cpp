#include "gfx_fixture.h"

#include "engine/actor.h"
#include "engine/amc_vm.h"
#include "game/session.h"
#include "gfx/display.h"
#include "gfx/level.h"
#include "shell/clock.h"
#include "shell/options.h"
#include "shell/startup.h"

namespace {

class LevelLoad : public GfxTest {
protected:
    void release()
    {
        unload_level_map();
        release_band_strip();
        actor_table_reset();
    }
};

TEST_F(LevelLoad, EachRowShapeLoadsItsPictures)
{
    struct {
        int row, strip_w, strip_h;
    } rows[] = {{2, 448, 111}, {3, 704, 128}, {5, 1088, 208}, {6, 448, 111},
                {1, 0, 0},     {4, 0, 0},     {10, 0, 0},     {11, 448, 240}};
    for (auto r : rows) {
        SCOPED_TRACE(r.row);
        ASSERT_EQ(load_level(1, r.row), 1);
        if (r.strip_w) {
            ASSERT_NE(band_strip, nullptr);
            EXPECT_EQ(band_strip->w, r.strip_w);
            EXPECT_EQ(band_strip->h, r.strip_h);
            int wrap = level_catalogue[r.row].band_wrap;
            EXPECT_EQ(getpixel(band_strip, wrap + 3, 5), getpixel(band_strip, 3, 5));
        } else {
            EXPECT_EQ(band_strip, nullptr);
        }
        EXPECT_EQ(level_map.length == 0, r.row == 11);
        release();
    }
}

TEST_F(LevelLoad, MapCellsAndTilesComeFromTheSheet)
{
    ASSERT_EQ(load_level_map(levels_dir.c_str(), "lev1.pcx", "lev1.bin", 16), 1);
    EXPECT_EQ(level_map.length, 13 * 45);
    ASSERT_EQ(level_map.max_tile, 41);
    // Tile 41 is the second tile of the sheet's second row: (16, 16).
    BITMAP* b = create_bitmap_ex(8, 16, 16);
    clear_to_color(b, 0);
    draw_rle_sprite(b, level_map.tiles[41], 0, 0);
    EXPECT_EQ(getpixel(b, 0, 0), tile_colour(41));
    EXPECT_EQ(getpixel(b, 15, 15), tile_colour(41));
    destroy_bitmap(b);

    // A trailing odd byte is no cell.
    ASSERT_EQ(load_level_map(levels_dir.c_str(), "lev4.pcx", "lev4.bin", 16), 1);
    EXPECT_EQ(level_map.length, 1456);
    unload_level_map();
    EXPECT_EQ(level_map.length, 0);
    EXPECT_EQ(level_map.max_tile, -1);
    EXPECT_EQ(level_map.tiles, nullptr);
}

TEST_F(LevelLoad, FailuresNameTheObjectAndStartNothing)
{
    capture_diag();
    data_dir = missing_dir.c_str();
    EXPECT_EQ(load_level(1, 3), 0);
    EXPECT_EQ(diagnostics, "Unable to find dif3.pcx in " + missing_dir + "LEVELS.DAT\n");
    EXPECT_EQ(actor_next(0), 0);

    diagnostics.clear();
    data_dir = "/nonexistent/";
    EXPECT_EQ(load_level(1, 1), 0);
    EXPECT_EQ(diagnostics, "Unable to find lev1.bin in /nonexistent/LEVELS.DAT\n");

    // Tile 80 would lie below the sheet's two rows: refused, not cut.
    diagnostics.clear();
    EXPECT_EQ(load_level_map(levels_dir.c_str(), "lev1.pcx", "big.bin", 16), 0);
    EXPECT_NE(diagnostics.find("tile 80"), std::string::npos) << diagnostics;
    EXPECT_NE(diagnostics.find("lev1.pcx"), std::string::npos) << diagnostics;

    // A map that names a picture is no map.
    diagnostics.clear();
    EXPECT_EQ(load_level_map(levels_dir.c_str(), "lev1.pcx", "dif2.pcx", 16), 0);
    EXPECT_NE(diagnostics.find("Unable to find dif2.pcx"), std::string::npos);
    EXPECT_EQ(actor_next(0), 0);
}

TEST_F(LevelLoad, StartStateOfInterludeAndStreetLevel)
{
    current_game.skill = 7;
    current_game.score = 1234;
    current_game.lives = 2;
    current_game.stars = 1;
    current_game.level_ticks = 99;
    launch.fps = 0;
    clear_to_color(back_buffer, 77);
    uint32_t ticks = frame_ticks;

    ASSERT_EQ(load_level(3, 6), 1);
    EXPECT_EQ(count_colour(0, 0, 0, 319, 239), 320 * 240);
    EXPECT_EQ(dirty_rows.first, 0);
    EXPECT_EQ(dirty_rows.last, 239);
    int director = actor_next(0);
    ASSERT_GT(director, 0);
    EXPECT_EQ(actor_table.slots[director].program, 14);
    EXPECT_EQ(actor_table.slots[director].regs[0], 6);
    EXPECT_EQ(actor_table.slots[director].regs[1], 3);
    EXPECT_EQ(amc_globals[GLOBAL_SKILL], 7);
    EXPECT_EQ(amc_globals[GLOBAL_SCORE], 1234);
    EXPECT_EQ(amc_globals[GLOBAL_LIVES], 2);
    EXPECT_EQ(current_game.level_ticks, 0u);
    EXPECT_EQ(launch.fps, 72);
    EXPECT_EQ(started_clock_rate, 72);
    EXPECT_EQ(frame_ticks - ticks, 1u);
    release();

    // The street level paints the HUD frame with both bars full.
    ASSERT_EQ(load_level(1, 1), 1);
    EXPECT_EQ(count_colour(40, 42, 11, 241, 17), 200 * 7);
    EXPECT_EQ(count_colour(41, 42, 23, 241, 29), 200 * 7);
    EXPECT_EQ(pixel(242, 11), 5);
}

}  // namespace
