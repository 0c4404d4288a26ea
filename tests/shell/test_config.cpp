#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "config/state.h"
#include "game/clock.h"
#include "game/state.h"
#include "tests/files.h"

namespace {

// The process's own folder: another run of the tests may be reading its own.
std::string temp_path(const char* name)
{
    static testfiles::Scratch dir;
    return dir / name;
}

using testfiles::slurp;
using testfiles::spit;

GameConfig read_config(const std::string& text)
{
    std::string path = temp_path("cfg_in.cfg");
    spit(path, text);
    config_read(game_config_table, path.c_str());
    return config.settings;
}

}  // namespace

TEST(Config, DefaultsAreWrittenInTableOrder)
{
    config_read(game_config_table, "/nonexistent/default.cfg");
    std::string path = temp_path("defaults.cfg");
    ASSERT_EQ(config_write(game_config_table, path.c_str()), 0);
    EXPECT_EQ(slurp(path),
              "difficulty = 5\nmode = 1\nmusicvolume = 144\nsoundvolume = 190\nkeyup = 84\n"
              "keydown = 85\nkeyleft = 82\nkeyright = 83\nkeypunch = 115\nkeykick = 117\n"
              "joypunch = 1\njoykick = 0\njoypause = 2\njoyesc = 3\nmusic = TECHNO\ncard = 0\n"
              "lastlevel = @\ncheatkeys = 0\npowersaving = 5\nscreen_width = -1\n"
              "screen_height = -1\nwindow_width = -1\nwindow_height = -1\n");
    EXPECT_NE(access((path + ".tmp").c_str(), F_OK), 0) << "temporary file left behind";
}

TEST(Config, PairsNeedSpacedEqualsAndExactKeys)
{
    GameConfig c = read_config(
        "mode = 3\nMode = 1\nmode=1\n# comment words = here\n"
        "difficulty = 7 stray\nmode = 2\n");
    EXPECT_EQ(c.mode, 2);  // last one wins; Mode and mode=1 never match
    EXPECT_EQ(c.difficulty, 7);
    c = read_config("mode=2\ndifficulty = 9");
    EXPECT_EQ(c.mode, 1);
    EXPECT_EQ(c.difficulty, 9) << "a glued pair must not swallow the next line";
}

TEST(Config, NumbersAreClampedAndStoredByKind)
{
    GameConfig c = read_config(
        "difficulty = 99\nkeyup = 0\npowersaving = -4\nmusicvolume = 300\nsoundvolume = x\n"
        "card = 9\njoyesc = -7\nwindow_width = 99999999999999999999\n");
    EXPECT_EQ(c.difficulty, 12);
    EXPECT_EQ(c.keyup, 1);
    EXPECT_EQ(c.powersaving, 0);
    EXPECT_EQ(c.musicvolume, 255);
    EXPECT_EQ(c.soundvolume, 0);
    EXPECT_EQ(c.card, 5);
    EXPECT_EQ(c.joyesc, -1);
    EXPECT_EQ(c.window_width, 4096);
}

TEST(Config, TextsAreOneTokenCutToFit)
{
    GameConfig c = read_config("music = MY SONGS\nlastlevel = ABCDEFGHIJKL\nmode = 3\n");
    EXPECT_STREQ(c.music, "MY");
    EXPECT_STREQ(c.lastlevel, "ABCDEFG");
    EXPECT_EQ(c.mode, 3);
    std::string huge(5000, 'Z');
    c = read_config("music = " + huge + "\n" + huge + " = 4\nmode = 2\n");
    EXPECT_EQ(std::string(c.music), std::string(19, 'Z'));
    EXPECT_EQ(c.mode, 2);
}

TEST(Config, WrittenTextsReadBackAsTheyWere)
{
    // An empty value or one with a blank would swallow the next key: such a
    // text is left out and reads back as its default, the rest unharmed.
    GameConfig c = read_config("music = A\nmode = 3\n");
    std::strcpy(config.settings.music, "");
    std::strcpy(config.settings.lastlevel, "X Y");
    std::string path = temp_path("texts.cfg");
    ASSERT_EQ(config_write(game_config_table, path.c_str()), 0);
    EXPECT_EQ(slurp(path).find("music ="), std::string::npos);
    config_read(game_config_table, path.c_str());
    EXPECT_STREQ(config.settings.music, "TECHNO");
    EXPECT_STREQ(config.settings.lastlevel, "@");
    EXPECT_EQ(config.settings.card, c.card);
    EXPECT_EQ(config.settings.mode, 3);
    // A NUL parts tokens like a blank, so no text reads as empty.
    c = read_config(std::string("music = \0ROCK\nmode = 2\n", 23));
    EXPECT_STREQ(c.music, "ROCK");
    EXPECT_EQ(c.mode, 2);
}

TEST(Config, PlaylistTableResetsAndReads)
{
    std::string path = temp_path("DISCO.lst");
    spit(path, "title = intro.xm\nlevel3 = street.it\nunknown = x\n");
    config_read(playlist_table, path.c_str());
    EXPECT_STREQ(config.playlist_keys[PLAYLIST_TITLE], "intro.xm");
    EXPECT_STREQ(config.playlist_keys[PLAYLIST_LEVEL1 + 2], "street.it");
    config_reset(playlist_table);
    EXPECT_STREQ(config.playlist_keys[PLAYLIST_TITLE], "");
}

TEST(Config, FailedWriteLeavesOldFileAlone)
{
    EXPECT_EQ(config_write(game_config_table, "/nonexistent/dir/default.cfg"), 1);
    std::string path = temp_path("keep.cfg");
    spit(path, "mode = 3\n");
    mkdir((path + ".tmp").c_str(), 0755);  // the temporary name cannot be created
    EXPECT_EQ(config_write(game_config_table, path.c_str()), 1);
    EXPECT_EQ(slurp(path), "mode = 3\n");
}

TEST(Clock, RatesAndFrameRateKeys)
{
    EXPECT_EQ(timer_period(72), 16571);
    EXPECT_EQ(timer_period(100), 11931);
    EXPECT_EQ(fps_after_keys(29999, true, false, false), 30000);
    EXPECT_EQ(fps_after_keys(30000, true, false, false), 30000);
    EXPECT_EQ(fps_after_keys(1, false, true, false), 1);
    EXPECT_EQ(fps_after_keys(500, false, true, true), 72);
    game.frame_ticks = 5;
    EXPECT_EQ(frame_ticks_owed(7), -2);
    game.frame_ticks = 0;
    EXPECT_EQ(frame_ticks_owed(0xFFFFFFFFu), 1) << "the difference wraps like the counters";
}
