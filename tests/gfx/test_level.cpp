#include <fstream>
#include <iterator>
#include <string>
#include <utility>

#include "config/state.h"
#include "engine/actor.h"
#include "engine/amc_vm.h"
#include "game/clock.h"
#include "game/level_loop.h"
#include "game/session.h"
#include "game/state.h"
#include "gfx/display.h"
#include "gfx/level.h"
#include "gfx/state.h"
#include "gfx_fixture.h"

namespace {

using LevelLoad = GfxTest;

TEST_F(LevelLoad, EachRowShapeLoadsItsPictures)
{
    int rows[][3] = {{2, 448, 111}, {5, 1088, 208}, {6, 448, 111}, {1, 0, 0},
                     {4, 0, 0},     {10, 0, 0},     {11, 448, 240}};
    for (auto r : rows) {
        ASSERT_EQ(load_level(1, r[0]), 1) << r[0];
        EXPECT_EQ(gfx.band_strip ? std::make_pair(gfx.band_strip->w, gfx.band_strip->h)
                                 : std::make_pair(0, 0),
                  std::make_pair(r[1], r[2]));
        EXPECT_EQ(gfx.level_map.length == 0, r[0] == 11) << r[0];
        TearDown();
    }
    BITMAP* pic = create_bitmap_ex(8, 384, 128);  // row 3: two copies make 704
    clear_to_color(pic, 9);
    putpixel(pic, 3, 5, 77);
    ASSERT_EQ(build_band_strip(pic, level_catalogue[3].band_wrap), 1);
    EXPECT_EQ(gfx.band_strip->w, 704);
    EXPECT_EQ(getpixel(gfx.band_strip, 384 + 3, 5), 77);
    EXPECT_EQ(getpixel(gfx.band_strip, 703, 127), 9);
    destroy_bitmap(pic);
}

TEST_F(LevelLoad, MapCellsAndTilesComeFromTheSheet)
{
    ASSERT_EQ(load_level_map(levels_dir.c_str(), "lev1.pcx", "lev1.bin", 16), 1);
    ASSERT_EQ(gfx.level_map.max_tile, 41);
    draw_rle_sprite(gfx.back_buffer, gfx.level_map.tiles[41], 0, 0);  // cut from (16, 16)
    EXPECT_EQ(count_colour(tile_colour(41), 0, 0, 15, 15), 256);
    ASSERT_EQ(load_level_map(levels_dir.c_str(), "lev4.pcx", "lev4.bin", 16), 1);
    EXPECT_EQ(gfx.level_map.length, 1456) << "2913 bytes: the odd byte is no cell";
    unload_level_map();
    EXPECT_EQ(gfx.level_map.length, 0);
    EXPECT_EQ(gfx.level_map.tiles, nullptr);
}

TEST_F(LevelLoad, FailuresNameTheObjectAndStartNothing)
{
    capture_diag();
    EXPECT_EQ(load_level(1, 3), 0);  // the test datafile has no dif3.pcx
    EXPECT_EQ(diagnostics, "Unable to find dif3.pcx in " + levels_dir + "LEVELS.DAT\n");
    EXPECT_EQ(actor_next(0), 0);
    diagnostics.clear();
    config.data_dir = "/nonexistent/";
    EXPECT_EQ(load_level(1, 1), 0);
    EXPECT_EQ(diagnostics, "Unable to find lev1.bin in /nonexistent/LEVELS.DAT\n");
    // Tile 80 would lie below the sheet's two rows: refused, not cut.
    EXPECT_EQ(load_level_map(levels_dir.c_str(), "lev1.pcx", "big.bin", 16), 0);
    EXPECT_NE(diagnostics.find("tile 80"), std::string::npos) << diagnostics;
    // A picture's data are no map cells.
    EXPECT_EQ(load_level_map(levels_dir.c_str(), "lev1.pcx", "dif2.pcx", 16), 0);
    EXPECT_NE(diagnostics.find("Unable to find dif2.pcx"), std::string::npos);
}

TEST_F(LevelLoad, DamagedLevelsFileIsRefusedBeforeTheLibraryReadsIt)
{
    std::ifstream in(levels_dir + "LEVELS.DAT", std::ios::binary);
    std::string whole((std::istreambuf_iterator<char>(in)), {});
    std::string dir = levels_dir + "cut/";
    ASSERT_EQ(system(("mkdir -p " + dir).c_str()), 0);
    config.data_dir = dir.c_str();
    capture_diag();
    // Cut short anywhere, the tile sheet's pixels included: the level names
    // the object it wanted, for stderr.txt and for the screen alike.
    for (size_t n : {size_t(0), whole.size() / 3, whole.size() / 2, whole.size() - 1}) {
        std::ofstream(dir + "LEVELS.DAT", std::ios::binary) << whole.substr(0, n);
        diagnostics.clear();
        EXPECT_EQ(load_level(1, 1), 0) << n;
        EXPECT_NE(diagnostics.find("Unable to find lev1.bin in " + dir + "LEVELS.DAT\n"),
                  std::string::npos)
            << diagnostics;
        EXPECT_EQ(std::string(level_error()), "Unable to find lev1.bin in " + dir + "LEVELS.DAT");
        EXPECT_EQ(gfx.level_map.tiles, nullptr);
    }
    std::ofstream(dir + "LEVELS.DAT", std::ios::binary) << whole;
    EXPECT_EQ(load_level(1, 1), 1);
    EXPECT_STREQ(level_error(), "");
}

TEST_F(LevelLoad, StartStateOfInterludeAndStreetLevel)
{
    game.current.skill = 7;
    game.current.score = 1234;
    gfx.stage = {1, 99, false, 0};
    config.launch.fps = 0;
    clear_to_color(gfx.back_buffer, 77);
    uint32_t ticks = game.frame_ticks;
    ASSERT_EQ(load_level(3, 6), 1);
    EXPECT_EQ(count_colour(0, 0, 0, 319, 239), 320 * 240);
    EXPECT_EQ(gfx.dirty_rows.first, 0);
    EXPECT_EQ(gfx.dirty_rows.last, 239);
    const Actor& director = actor_table.slots[actor_next(0)];
    EXPECT_EQ(director.program, PROGRAM_DIRECTOR);
    EXPECT_EQ(director.regs[ARG_DIRECTOR_LEVEL], 6);
    EXPECT_EQ(director.regs[ARG_DIRECTOR_MODE], 3);
    EXPECT_EQ(amc_globals[GLOBAL_SKILL], 7);
    EXPECT_EQ(amc_globals[GLOBAL_SCORE], 1234);
    EXPECT_EQ(gfx.stage.level, 6);
    EXPECT_EQ(gfx.stage.ticks, 0u);
    EXPECT_EQ(config.launch.fps, 72);
    EXPECT_EQ(started_clock_rate, 72);
    EXPECT_EQ(game.frame_ticks - ticks, 1u);
    TearDown();
    ASSERT_EQ(load_level(1, 1), 1);  // the HUD frame with both bars full
    EXPECT_EQ(count_colour(40, 42, 13, 242, 19) + count_colour(41, 42, 23, 242, 29), 2800);
}

}  // namespace
