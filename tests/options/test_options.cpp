// The options, game setup and replay menus, with the game, the screen modes
// and the file-name entry replaced by a log.
#include <unistd.h>

#include <filesystem>

#include "audio/music.h"
#include "audio/sfx.h"
#include "game/session.h"
#include "gfx/main_data.h"
#include "tests/files.h"
#include "tests/frontend/menu_harness.h"

using namespace menutest;

namespace {

std::string typed;
std::vector<int> mode_results;  // set_gfx_mode results, in call order; then success

int fake_game(DemoImage* demo, uint32_t start, int16_t mode, int16_t level, int16_t skill,
              int music)
{
    calls += "game(" + std::string(demo == demos.last_game ? "current" : "other") + "," +
             std::to_string(start + mode + level + skill) + "," + std::to_string(music) + ") ";
    return 1;
}
void fake_entry(char* buffer, int, int, FONT*, int n)
{
    calls += "entry ";
    snprintf(buffer, n + 1, "%s", typed.c_str());
}
int fake_mode(int card, int w, int h, int, int)
{
    calls +=
        "mode(" + std::to_string(card) + "," + std::to_string(w) + "x" + std::to_string(h) + ") ";
    if (mode_results.empty())
        return 0;
    int r = mode_results.front();
    mode_results.erase(mode_results.begin());
    return r;
}
void fake_moves() { calls += "moves "; }
const MenuOps FAKE_OPS = {nullptr, nullptr, nullptr, fake_game, nullptr, fake_moves};

// Whether the picture shows `text` in the library font at (x, y).
bool shows(BITMAP* picture, const char* text, int x, int y)
{
    int w = text_length(font, text), h = text_height(font);
    BITMAP* want = create_bitmap_ex(8, w, h);
    clear_bitmap(want);
    textout_ex(want, font, text, 0, 0, -1, 0);
    bool same = true;
    for (int j = 0; j < h; j++)
        for (int i = 0; i < w; i++)
            same &= !getpixel(want, i, j) == !getpixel(picture, x + i, y + j);
    destroy_bitmap(want);
    return same;
}

// Voices started for the menus' select sound, counted without a device.
int select_sounds;
const SAMPLE* const SELECT_SAMPLE = reinterpret_cast<const SAMPLE*>(0x5E1);
const SfxVoiceOps counting_voices = {
    [](const SAMPLE* s) { return select_sounds += s == SELECT_SAMPLE, 1; },
    [](int) {},
    [](int, const SAMPLE* s) { select_sounds += s == SELECT_SAMPLE; },
    [](int) {},
    [](int, int) {},
    [](int, int) {},
    [](int) { return -1; },
};

// A main datafile holding only the sliders' sprite, for as long as it lives.
struct SliderData {
    DATAFILE objects[9] = {};
    BITMAP* slider = create_bitmap_ex(8, 60, 8);
    SliderData()
    {
        for (int i = 0; i < 8; i++)
            objects[i].type = DAT_DATA;
        objects[8].type = DAT_END;
        clear_to_color(slider, 9);
        objects[7].type = DAT_BITMAP, objects[7].dat = slider;
        gfx.main_data = objects;
    }
    ~SliderData() { gfx.main_data = nullptr, destroy_bitmap(slider); }
};

const Step UP{CTRL_UP}, DOWN{CTRL_DOWN}, LEFT{CTRL_LEFT}, RIGHT{CTRL_RIGHT}, SELECT{MENU_SELECT},
    ESCAPE{MENU_ESCAPE}, NONE{0};

class MenuScreens : public MenuTest {
protected:
    void SetUp() override
    {
        MenuTest::SetUp();
        menus.ops = &FAKE_OPS;
        menus.replay_text_entry = fake_entry;
        display_set_mode_fn(fake_mode);
        typed.clear(), mode_results.clear();
        select_sounds = 0;
    }
    void TearDown() override
    {
        display_set_mode_fn(nullptr);
        MenuTest::TearDown();
    }
    // The menus sound their select through these; the rest stays silent.
    void hear_select()
    {
        config.launch.no_sound = 0;
        audio.sfx_samples[SFX_MENU_SELECT] = const_cast<SAMPLE*>(SELECT_SAMPLE);
        audio.sfx_voice_ops = &counting_voices;
        sfx_stop_all();
    }
    void feed(const Script& s) { release_keys(), MenuTest::feed(s); }
    // True when the menu was left by Escape, not by the script running out.
    bool options(const Script& s)
    {
        return feed(s), options_menu(0), !input.close_requested.load();
    }
    int setup(const Script& s) { return feed(s), game_setup_menu(80); }
    bool replay(const Script& s)
    {
        return feed(s), replay_menu(100), !input.close_requested.load();
    }
};

}  // namespace

TEST_F(MenuScreens, OptionsCursorPassesBlankAndDisabledRows)
{
    input.joystick_enabled = 1, joy[0].num_buttons = 4;
    options(times(9, DOWN) + Script{RIGHT, DOWN, RIGHT});  // sound rows are off
    EXPECT_EQ(config.settings.joykick, 1) << "down from KEY PUNCH lands on BUTTON KICK";
    EXPECT_EQ(config.settings.joypunch, 2);

    config.launch.no_joystick = 0xFF, input.joystick_enabled = 0, game.furthest_level = 5;
    options(times(9, DOWN) + Script{RIGHT, LEFT, LEFT});
    EXPECT_EQ(config.settings.cheatkeys, 4) << "-nojoy: on to CHEAT KEYS, which wraps";

    game.furthest_level = 4;
    EXPECT_TRUE(options(times(9, DOWN) + Script{RIGHT, ESCAPE}));
    EXPECT_EQ(config.settings.cheatkeys, 4);
    EXPECT_EQ(config.settings.card, 1) << "without CHEAT KEYS down wraps to GFX DRIVER";
}

TEST_F(MenuScreens, DriverAndSizeChangesApplyOnLeavingOrRollBack)
{
    EXPECT_EQ(find_size(960, 720, 0), 1);
    EXPECT_EQ(next_size(2, 1), 5);
    EXPECT_EQ(next_size(4, 0), 4);
    EXPECT_EQ(prev_size(5, 1), 2);

    config.settings.card = 2, config.settings.window_width = 960,
    config.settings.window_height = 720;
    EXPECT_TRUE(options(Script{RIGHT, ESCAPE}));
    EXPECT_EQ(calls, "mode(" + std::to_string(GFX_AUTODETECT_FULLSCREEN) + ",320x240) ");
    EXPECT_EQ(config.settings.card, 3);
    EXPECT_EQ(config.settings.screen_width, 320);
    EXPECT_EQ(config.settings.window_width, 960);

    calls.clear(), config.settings.card = gfx.card = 5;
    options(Script{RIGHT, ESCAPE});
    config.settings.card = gfx.card = 0;
    options(Script{LEFT, ESCAPE});
    EXPECT_EQ(calls, "") << "no driver beyond either end, nothing to set";

    config.settings.window_width = config.settings.window_height = -1;
    options(Script{DOWN, RIGHT, RIGHT, RIGHT, RIGHT, LEFT, ESCAPE});  // AUTO, 320, 640, 960, 640
    EXPECT_EQ(config.settings.window_width, 640);

    calls.clear(), mode_results = {-1, 0};
    options(Script{RIGHT, ESCAPE});
    EXPECT_EQ(calls, "mode(" + std::to_string(GFX_XWINDOWS) + ",640x480) mode(" +
                         std::to_string(GFX_AUTODETECT_WINDOWED) + ",640x480) ")
        << "a refused mode brings back the one that ran";
    EXPECT_EQ(config.settings.card, 0);
    EXPECT_FALSE(input.close_requested.load());

    mode_results = {-1, -1, -1, -1, -1};
    options(Script{RIGHT, ESCAPE});
    EXPECT_TRUE(input.close_requested.load()) << "with no mode at all the run ends";
    EXPECT_EQ(config.settings.card, 0);

    // Start-up ran the automatic window for a refused full screen: the menu
    // shows what runs, and leaving it untouched keeps the player's choice.
    calls.clear(), config.settings.card = 4, gfx.card = 0;
    EXPECT_TRUE(options(Script{ESCAPE}));
    EXPECT_EQ(calls, "");
    EXPECT_EQ(config.settings.card, 4);
    EXPECT_TRUE(shows(gfx.back_buffer, gfx_driver_table[0].platform_label, 140, 20));
}

TEST_F(MenuScreens, PowerSavingStopsAtItsEndsAndFillsItsBar)
{
    SliderData data;
    auto bar = [] {
        std::string s;
        for (int x = 142; x <= 193; x += 3)
            s += getpixel(gfx.back_buffer, x, options_row_y(0, OPT_POWER) + 3) ? '#' : '.';
        return s;
    };

    options(Script{DOWN, DOWN} + times(25, RIGHT));
    EXPECT_EQ(config.settings.powersaving, 20);
    EXPECT_EQ(bar(), "##################");
    options(Script{DOWN, DOWN} + times(30, LEFT) + times(10, RIGHT));
    EXPECT_EQ(config.settings.powersaving, 10);
    EXPECT_EQ(bar(), "#########.........");
}

// The steps' ends are the audio tests'; here the rows reach them.
TEST_F(MenuScreens, VolumeRowsStepTheirOwnVolume)
{
    config.launch.no_sound = 0;
    config.settings.soundvolume = 250;
    music_set_volume(100);
    options(times(4, DOWN) + Script{RIGHT, DOWN, RIGHT, RIGHT});
    EXPECT_EQ(config.settings.musicvolume, 105);
    EXPECT_EQ(config.settings.soundvolume, 255);
}

TEST_F(MenuScreens, KeyCaptureTakesOnlyWhatItsRowAllows)
{
    // Directions take only their own arrow; fire keys no arrow; no row a
    // key the game or the library keeps for itself.
    EXPECT_TRUE(key_capture_allows(OPT_KEY_UP + 1, KEY_DOWN));
    EXPECT_FALSE(key_capture_allows(OPT_KEY_UP + 1, KEY_UP));
    EXPECT_FALSE(key_capture_allows(OPT_KEY_UP, KEY_SPACE));
    EXPECT_FALSE(key_capture_allows(OPT_KEY_PUNCH, KEY_LEFT));
    EXPECT_TRUE(key_capture_allows(OPT_KEY_PUNCH, KEY_ENTER));
    for (int k : {+KEY_ESC, +KEY_PAUSE, +KEY_F1, 0, +KEY_MAX})
        EXPECT_FALSE(key_capture_allows(OPT_KEY_PUNCH, k)) << k;

    // KEY UP, opened by Enter, which must go up first; Left-arrow is passed over.
    const Script to_up = times(3, DOWN);
    options(
        to_up +
        Script{
            {MENU_SELECT, KEY_ENTER}, {0, KEY_LEFT, KEY_ENTER}, {0, KEY_W, KEY_LEFT}, NONE, NONE});
    EXPECT_EQ(config.settings.keyup, KEY_W);
    EXPECT_FALSE(
        options(to_up + Script{SELECT, {0, KEY_LEFT}, NONE, NONE, ESCAPE, {0, 0, KEY_LEFT}}))
        << "Escape cancels the capture, not the menu";
    EXPECT_FALSE(options(to_up + Script{SELECT,
                                        {MENU_ESCAPE, KEY_ESC},
                                        {MENU_ESCAPE},  // its key repeat, still held
                                        {0, 0, KEY_ESC},
                                        NONE,
                                        NONE}))
        << "nor does it when held long enough to repeat";
    EXPECT_EQ(config.settings.keyup, KEY_W);

    // The new kick key is let go before the menu goes on: held, it would select.
    options(times(7, DOWN) + Script{SELECT,
                                    {0, KEY_1},
                                    NONE,
                                    {0, 0, KEY_1},
                                    NONE,
                                    DOWN,
                                    SELECT,
                                    {0, KEY_SPACE},
                                    NONE,
                                    NONE});
    EXPECT_EQ(config.settings.keykick, KEY_1);
    EXPECT_EQ(config.settings.keypunch, KEY_SPACE);
    options(to_up + Script{SELECT, NONE});
    EXPECT_EQ(config.settings.keyup, KEY_W) << "closing the window keeps the key";
}

TEST_F(MenuScreens, OptionsFitThePictureWithRoomForANote)
{
    int last = options_row_y(0, OPT_CHEAT_KEYS);
    EXPECT_GE(options_row_y(0, 0), 16) << "below the heading";
    EXPECT_LE(last + 8, 222) << "the last row ends above the note line";
    for (int row = 1; row < OPT_ROWS; row++)
        EXPECT_GE(options_row_y(0, row) - options_row_y(0, row - 1), 5) << row;

    // Drawn: nothing in the top three rows, the heading and CHEAT KEYS whole.
    game.furthest_level = 5;
    options(Script{});
    auto ink = [](int y0, int y1) {
        int n = 0;
        for (int y = y0; y <= y1; y++)
            for (int x = 0; x < PICTURE_W; x++)
                n += getpixel(gfx.back_buffer, x, y) != 0;
        return n;
    };
    EXPECT_EQ(ink(0, 2), 0);
    EXPECT_TRUE(shows(gfx.back_buffer, "CHEAT KEYS", 24, last));
    EXPECT_GT(ink(224, 231), 0) << "a hint under the rows";
    EXPECT_EQ(ink(233, 239), 0);
}

// Blank columns between the first and the last ink of picture rows y .. y + 7:
// the widest run.
int widest_gap(int y)
{
    int first = -1, last = -1, widest = 0;
    for (int x = 0; x < PICTURE_W; x++)
        for (int j = 0; j < 8; j++)
            if (getpixel(gfx.back_buffer, x, y + j)) {
                widest = first >= 0 && x - last - 1 > widest ? x - last - 1 : widest;
                first = first < 0 ? x : first, last = x;
                break;
            }
    return widest;
}

// Label and value must read as two columns: the gutter between them wider
// than two spaces, so no word gap inside a label is mistaken for it.
TEST_F(MenuScreens, EveryOptionLabelStandsClearOfItsValue)
{
    SliderData data;
    config.launch.no_sound = config.launch.no_joystick = 0, game.furthest_level = 5;
    snprintf(config.settings.music, sizeof config.settings.music, "TECHNO");
    for (int selected = 0; selected < 2; selected++) {  // the selected row's font too
        options(times(selected ? 17 : 0, DOWN));
        for (int row = 0; row < OPT_ROWS; row++) {
            if (options_row_y(0, row + 1) - options_row_y(0, row) > 5) {  // not a blank row
                EXPECT_GE(widest_gap(options_row_y(0, row)), 16) << row;
            }
        }
    }
    config.launch.no_sound = config.launch.no_joystick = 0xFF;
}

// Under BACK the notes (the mode's, or on DIFFICULTY the skill's) and the
// hint keep to the menu's column and apart from each other; the hint tells
// what Left and Right do on the rows where Enter does nothing.
TEST_F(MenuScreens, SetupFooterFitsUnderTheMenu)
{
    game.furthest_level = 5;
    const int back = setup_row_y(80, 12);
    auto footer_lines = [&](int row, int mode, int skill) {
        config.settings.mode = (int16_t)mode, config.settings.difficulty = (int16_t)skill;
        menus.setup_selected = row;
        setup(Script{});
        int lines = 0;
        bool inked_before = true;
        for (int y = back; y < PICTURE_H; y++) {
            bool inked = false;
            for (int x = 0; x < PICTURE_W; x++)
                if (getpixel(gfx.back_buffer, x, y)) {
                    inked = true;
                    EXPECT_GE(x, 90) << "row " << row << " mode " << mode << " skill " << skill;
                    EXPECT_LT(x, 302) << "row " << row << " mode " << mode << " skill " << skill;
                }
            lines += inked && !inked_before;
            inked_before = inked;
        }
        return lines;
    };
    for (int mode = 1; mode <= 3; mode++)
        EXPECT_EQ(footer_lines(0, mode, 5), 3) << "notes and hint, each apart, mode " << mode;
    EXPECT_TRUE(shows(gfx.back_buffer, "LEFT, RIGHT: CHANGE", 90, back + 39));
    for (int skill = 3; skill <= 12; skill++)
        EXPECT_EQ(footer_lines(1, 1, skill), 3) << "skill " << skill;
    EXPECT_TRUE(shows(gfx.back_buffer, "ONE MARK MORE EACH STEP", 90, back + 25));
    footer_lines(1, 1, 7);
    EXPECT_TRUE(shows(gfx.back_buffer, "HOLD PUNCH + RIGHT: MASTER", 90, back + 25))
        << "the way to the MASTER grades is told where Right stops";
    footer_lines(3, 1, 7);
    EXPECT_TRUE(shows(gfx.back_buffer, "3 LIVES, 1 WHIRLWIND STAR", 90, back + 16));
    EXPECT_FALSE(shows(gfx.back_buffer, "LEFT, RIGHT: CHANGE", 90, back + 39));
}

// A key another control holds changes hands within its group, or is
// refused, and either is named.
TEST_F(MenuScreens, AKeyTakenFromAnotherControlIsSwappedOrRefused)
{
    int16_t k[6] = {KEY_UP, KEY_DOWN, KEY_LEFT, KEY_RIGHT, KEY_LCONTROL, KEY_LSHIFT};
    int16_t* keys[6] = {&k[0], &k[1], &k[2], &k[3], &k[4], &k[5]};
    int other;
    EXPECT_FALSE(bind_key(keys, OPT_KEY_UP, KEY_DOWN, &other))
        << "the swap would put the up arrow on KEY DOWN";
    EXPECT_EQ(other, OPT_KEY_UP + 1);
    // Across directions and fire keys nothing changes hands, either way:
    // the old punch key would walk right, the old up key would kick.
    EXPECT_FALSE(bind_key(keys, OPT_KEY_UP, KEY_LSHIFT, &other));
    EXPECT_EQ(other, OPT_KEY_PUNCH);
    EXPECT_EQ(k[0], KEY_UP);
    EXPECT_EQ(k[5], KEY_LSHIFT);

    // In the menu: KEY KICK set to punch's key, then the note under the rows.
    options(times(7, DOWN) + Script{SELECT, {0, KEY_LSHIFT}, NONE, {0, 0, KEY_LSHIFT}, NONE});
    EXPECT_EQ(config.settings.keykick, KEY_LSHIFT);
    EXPECT_EQ(config.settings.keypunch, KEY_LCONTROL);
    std::string note = "KEY PUNCH NOW ON KEY " + std::to_string(KEY_LCONTROL);  // no key names here
    EXPECT_TRUE(
        shows(gfx.back_buffer, note.c_str(), 160 - text_length(font, note.c_str()) / 2, 224));

    // KEY PUNCH set to the key that walks right: refused, and said so.
    config.settings.keyright = KEY_D;
    options(times(8, DOWN) + Script{SELECT, {0, KEY_D}, NONE, {0, 0, KEY_D}, NONE});
    EXPECT_EQ(config.settings.keypunch, KEY_LCONTROL);
    EXPECT_EQ(config.settings.keyright, KEY_D);
    note = "KEY " + std::to_string(KEY_D) + " BELONGS TO KEY RIGHT";
    EXPECT_TRUE(
        shows(gfx.back_buffer, note.c_str(), 160 - text_length(font, note.c_str()) / 2, 224));
}

TEST_F(MenuScreens, ButtonsCycleAndEscapeUnbindsThem)
{
    options(times(9, DOWN) + Script{RIGHT, SELECT});
    EXPECT_EQ(config.settings.joykick, 0) << "no joystick: the rows do nothing";
    const char* hint = "NO PAD ATTACHED    ESC: DONE";
    EXPECT_TRUE(shows(gfx.back_buffer, hint, 160 - text_length(font, hint) / 2, 224))
        << "and say so, where a pad would offer a set";

    input.joystick_enabled = 1, joy[0].num_buttons = 3;
    options(times(9, DOWN) + Script{RIGHT, RIGHT, RIGHT, LEFT});
    EXPECT_EQ(config.settings.joykick, 2) << "0, 1, 2, none, back to 2";
    EXPECT_FALSE(options(times(9, DOWN) + Script{SELECT, {0, KEY_ESC}, NONE, {0, 0, KEY_ESC}}));
    EXPECT_EQ(config.settings.joykick, -1);
    EXPECT_EQ(button_cycle(200, 3, +1), 0) << "a binding the joystick lacks starts over";
}

TEST_F(MenuScreens, SetupOffersTheStreetsReachedAndKeepsItsRow)
{
    game.furthest_level = 3;
    menus.setup_selected = 3;
    EXPECT_EQ(setup(Script{DOWN, DOWN, DOWN, DOWN, SELECT}), 3) << "MOVES, then the streets";
    EXPECT_EQ(setup(Script{DOWN, SELECT}), -1) << "TRAIN LEVEL 4 and 5 are passed over to BACK";
    EXPECT_EQ(setup(Script{UP, UP, {CTRL_KICK}}), 2);
    EXPECT_EQ(setup(Script{DOWN, DOWN, DOWN, DOWN, ESCAPE}), -1);
    EXPECT_EQ(setup(Script{DOWN, SELECT}), 0) << "from DIFFICULTY over the blank row";
    game.furthest_level = 0;
    EXPECT_EQ(setup(Script{DOWN, DOWN, DOWN, {CTRL_PUNCH}}), -1);
}

TEST_F(MenuScreens, SetupModeWrapsAndMasterGradesNeedAFireKey)
{
    menus.setup_selected = 0;
    setup(Script{RIGHT, RIGHT, RIGHT, LEFT});
    EXPECT_EQ(config.settings.mode, 3);

    setup(Script{DOWN} + times(4, RIGHT));
    EXPECT_EQ(config.settings.difficulty, 7) << "HARDEST is the last free grade";
    setup(Script{{CTRL_RIGHT, KEY_SPACE}} + times(7, RIGHT));
    EXPECT_EQ(config.settings.difficulty, 12);
    setup(times(12, LEFT));
    EXPECT_EQ(config.settings.difficulty, 3);
    config.settings.difficulty = 7;
    setup(Script{RIGHT, {CTRL_RIGHT, KEY_LCONTROL}});
    EXPECT_EQ(config.settings.difficulty, 8) << "kick held counts as fire";
}

// A select that a row has no use for sounds nothing and is used up: left
// pending it was heard again at every poll.
TEST_F(MenuScreens, SelectOnARowThatIgnoresItIsSilentAndUsedUp)
{
    hear_select();
    options(Script{SELECT, NONE, NONE, NONE, DOWN, SELECT, NONE, NONE, ESCAPE});
    EXPECT_EQ(select_sounds, 0) << "GFX DRIVER and SCREEN SIZE only step";
    EXPECT_EQ(next_step, script.size()) << "the select did not stay pending";
    menus.setup_selected = 0;
    EXPECT_EQ(setup(Script{SELECT, NONE, NONE, DOWN, SELECT, NONE, ESCAPE}), -1);
    EXPECT_EQ(select_sounds, 0) << "GAME MODE and DIFFICULTY only step";
    menus.setup_selected = 0;
    EXPECT_EQ(setup(Script{DOWN, DOWN, SELECT}), 0);
    EXPECT_EQ(select_sounds, 1) << "NEW GAME is chosen with its sound";
}

TEST_F(MenuScreens, ReplayPlaysLoadsAndSavesTheCurrentDemo)
{
    hear_select();
    EXPECT_TRUE(replay(Script{SELECT, NONE, DOWN, DOWN, SELECT, NONE, ESCAPE}));
    EXPECT_EQ(calls, "") << "no demo: PLAY and SAVE do nothing";
    EXPECT_EQ(select_sounds, 0);
    EXPECT_TRUE(shows(message_shot, "NO DEMO: PLAY OR LOAD ONE", 90, 210)) << "... but say why";
    EXPECT_TRUE(shows(gfx.back_buffer, "(NONE)", 90, 160));
    config.launch.no_sound = 0xFF;

    testfiles::ScratchCwd here;
    ASSERT_TRUE(here.entered);
    const uint8_t header[DEMO_HEADER_SIZE] = {2, 0, 3, 0, 9, 0, 0, 0, 1, 0, 0, 0, 0xE0, 0x10};
    demos.last_game = demo_from_bytes(header, sizeof header);  // 4320 ticks
    DemoImage* recorded = demos.last_game;

    typed = "OUT.DEM";
    replay(Script{SELECT, DOWN, DOWN, SELECT});
    EXPECT_EQ(calls, "game(current,0,1) entry ");
    EXPECT_TRUE(shows(message_shot, "DONE!", 90, 210));
    EXPECT_TRUE(shows(gfx.back_buffer, "1'0\"", 190, 190));
    EXPECT_TRUE(shows(gfx.back_buffer, "3", 190, 160));
    EXPECT_TRUE(exists("OUT.DEM"));

    typed = "NO/SUCH.DEM";
    replay(Script{DOWN, DOWN, SELECT});
    EXPECT_TRUE(shows(message_shot, "ERROR:DEMO NOT SAVED", 90, 210));
    typed = "";
    replay(Script{DOWN, SELECT});
    EXPECT_EQ(demos.last_game, recorded) << "an empty name loads nothing";

    typed = "MISSING.DEM";
    replay(Script{DOWN, SELECT, NONE});
    EXPECT_TRUE(shows(message_shot, "ERROR:DEMO NOT LOADED", 90, 210));
    EXPECT_EQ(demos.last_game, recorded) << "a mistyped name keeps the unsaved game";
    EXPECT_TRUE(shows(gfx.back_buffer, "3", 190, 160));

    // Typed in upper case, found whatever case the file system keeps.
    std::filesystem::rename("OUT.DEM", "out.dem");
    typed = "OUT.DEM";
    replay(Script{DOWN, SELECT});
    ASSERT_NE(demos.last_game, nullptr);
    EXPECT_EQ(demo_header(demos.last_game).frames, 4320u);
    EXPECT_EQ(demo_header(demos.last_game).mode, 2);

    char text[16];
    demo_duration_text(4319, text, sizeof text);
    EXPECT_STREQ(text, "59\"");
    demo_duration_text(7 * 4320 + 72 * 5, text, sizeof text);
    EXPECT_STREQ(text, "7'5\"");
}
