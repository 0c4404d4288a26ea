// The title, pause and move-list screens, with the screens they call
// replaced by a log.
#include <algorithm>

#include "tests/frontend/menu_harness.h"

using namespace menutest;

namespace {

int setup_result;
bool close_in_options;

int fake_setup(int top) { return log("setup", {top}), setup_result; }
void fake_options(int top)
{
    log("options", {top});
    if (close_in_options)
        input.close_requested.store(true);
}
void fake_replay(int top) { log("replay", {top}); }
int fake_game(DemoImage* demo, uint32_t, int16_t mode, int16_t level, int16_t skill, int music)
{
    int slot = 0;
    for (int i = 0; i < 3; i++)
        slot = demo && demos.builtin[i] == demo ? i + 1 : slot;
    EXPECT_EQ(game.attract_demo, slot != 0) << "the picture says DEMO in the attract cycle only";
    log(slot ? "demo" : "game", slot ? std::vector<int>{slot, polls, mode + level + skill + music}
                                     : std::vector<int>{mode, level, skill, music});
    return 1;
}
void fake_wipe(void (*)()) { calls += "wipe "; }
void fake_moves() { calls += "moves "; }
const MenuOps FAKE_OPS = {fake_setup, fake_options, fake_replay, fake_game, fake_wipe, fake_moves};

DemoImage* demo_of_mode(uint8_t mode)
{
    uint8_t header[DEMO_HEADER_SIZE] = {mode, 0, 1, 0, 5};
    return demo_from_bytes(header, sizeof header);
}

class Menus : public MenuTest {
protected:
    void SetUp() override
    {
        MenuTest::SetUp();
        menus.ops = &FAKE_OPS;
        setup_result = 0, close_in_options = false;
    }
    // True when the title ended by QUIT, not by the input running out.
    bool title(const Script& s)
    {
        feed(s);
        title_menu();
        return !input.close_requested.load();
    }
    int pause(const Script& s) { return feed(s), pause_menu(); }
};

const char* const ROWS[] = {"FIRST", "OFF", "", "OFF", "FIFTH", "LAST"};
const int ENABLED[] = {1, 0, 1, 0, 1, 1};

}  // namespace

TEST_F(Menus, CursorWrapsSkipsWhatCannotBeChosenAndInputHasAnOrder)
{
    MenuList list{ROWS, 5, ENABLED, 0};
    EXPECT_EQ(menu_move(list, +1), 4) << "disabled and blank rows are passed over";
    EXPECT_EQ(menu_move(list, -1), 5);
    EXPECT_EQ(menu_react(list, CTRL_UP | CTRL_DOWN, 4), MENU_REDRAW);
    EXPECT_EQ(menu_move(list, +1), 0);
    EXPECT_EQ(menu_react(list, MENU_ESCAPE | CTRL_DOWN | CTRL_KICK, 4), MENU_REDRAW);
    EXPECT_EQ(list.selected, 4) << "escape first, to its row";
    EXPECT_EQ(menu_react(list, CTRL_PUNCH | CTRL_LEFT, 4), MENU_CHOSEN);
    EXPECT_EQ(menu_react(list, MENU_PAUSE, 4), MENU_NOTHING);
}

TEST_F(Menus, FlamesStayInsideTheBannerAndItsColours)
{
    BITMAP* frame = create_bitmap_ex(8, BANNER_W + 4, BANNER_H + 4);  // catches stray writes
    clear_to_color(frame, 7);
    BITMAP* banner = create_sub_bitmap(frame, 2, 2, BANNER_W, BANNER_H);
    banner_fill(banner);
    EXPECT_EQ(getpixel(banner, 0, 6), 160);
    EXPECT_EQ(getpixel(banner, 199, 55), 209);
    FlamePhases p{0.0f, 42.0f};
    for (int step = 0; step < 100; step++)
        flame_step(banner, p);
    EXPECT_NEAR(p.b, 42.0 - 3.1, 1e-3);
    for (int y = 0; y < BANNER_H + 4; y++)
        for (int x = 0; x < BANNER_W + 4; x++) {
            int c = getpixel(frame, x, y);
            bool inside = x >= 2 && y >= 2 && x < BANNER_W + 2 && y < BANNER_H + 2;
            ASSERT_TRUE(inside ? c == 160 || (c >= FLAME_COLD && c <= FLAME_HOT) : c == 7)
                << x << "," << y;
        }
    for (int x = 0; x < BANNER_W; x++)
        ASSERT_EQ(getpixel(banner, x, BANNER_H - 1), FLAME_HOT - 1);
    destroy_bitmap(banner);
    destroy_bitmap(frame);
    for (float ph = -50; ph < 50; ph += 0.37f)
        for (int x = 0; x < BANNER_W; x++)
            ASSERT_LE(std::abs(flame_delta(x, ph, ph * 1.1f)), 1);
}

TEST_F(Menus, TextEntryTakesUpperCaseUpToItsLength)
{
    char text[5] = "";
    TextEntry t{text, 0, 4, 40, 100, font};
    for (int ch : {'a', 'b', '{', 'c', '\b', '1', '2', '3'})
        EXPECT_FALSE(text_entry_key(t, ch));
    EXPECT_STREQ(text, "AB12");
    EXPECT_TRUE(text_entry_key(t, '\r'));
    EXPECT_STREQ(text, "AB12");
    EXPECT_TRUE(text_entry_key(t, 27));
    EXPECT_STREQ(text, "") << "Escape leaves nothing";

    // Notices break between words to fit, eight pixels a letter here.
    char lines[4][NOTICE_LINE];
    auto eight = [](const char* line, void*) { return 8 * int(strlen(line)); };
    ASSERT_EQ(
        wrap_notice("Unable to find lev1.pcx in DATA/LEVELS.DAT", 160, eight, nullptr, lines, 4),
        3);
    EXPECT_STREQ(lines[0], "Unable to find");
    EXPECT_STREQ(lines[1], "lev1.pcx in");
    EXPECT_STREQ(lines[2], "DATA/LEVELS.DAT");
    EXPECT_EQ(wrap_notice(std::string(100, 'x').c_str(), 80, eight, nullptr, lines, 4), 2)
        << "a word longer than a line is cut at the line's bytes";
}

TEST_F(Menus, TitleRowsRunTheirScreensAndEscapeOnlyMovesToQuit)
{
    config.launch.mode = 3, config.launch.skill = 7, setup_result = 2;
    EXPECT_TRUE(title({MENU_ESCAPE, MENU_SELECT}));
    EXPECT_TRUE(title({CTRL_UP, CTRL_KICK}));
    EXPECT_FALSE(title({CTRL_DOWN, MENU_SELECT, CTRL_PUNCH, CTRL_DOWN, MENU_SELECT, CTRL_DOWN,
                        MENU_SELECT, CTRL_DOWN, CTRL_DOWN, MENU_SELECT}));
    EXPECT_EQ(calls, "options(0) options(0) replay(100) game(0,11,0,1) setup(80) game(3,2,7,1) ");

    calls.clear(), setup_result = -1;
    demos.last_game = demo_of_mode(1);
    title({MENU_SELECT});
    EXPECT_EQ(calls, "setup(80) ") << "BACK from the setup starts nothing";
    EXPECT_NE(demos.last_game, nullptr);
    setup_result = 0;
    demos.builtin[0] = demos.last_game = demo_of_mode(2);
    title({MENU_SELECT});
    EXPECT_NE(demos.builtin[0], nullptr) << "a new game never frees an attract demo";
}

TEST_F(Menus, IdleTitleWalksTheDemosInTurn)
{
    demos.builtin[0] = demo_of_mode(2);
    demos.builtin[2] = demo_of_mode(3);
    // About twenty seconds of polls with no key at all: the redraw at poll
    // 301 and the Pause and Left at 302 and 303, which no row acts on, each
    // start the count again.
    feed(times(300, 0) + Script{CTRL_DOWN, MENU_PAUSE, CTRL_LEFT} + times(4 * 2001, 0));
    title_menu();
    EXPECT_EQ(calls,
              "demo(1,2304,0) wipe table(10000) wipe table(10000) "
              "demo(3,6306,0) wipe table(10000) demo(1,8307,0) wipe table(10000) ");
    EXPECT_FALSE(game.attract_demo) << "a game started later is no demo";
}

TEST_F(Menus, TheTitlesVersionLineEndsInsideThePicture)
{
    std::string id = allegro_id;  // the library's own text, 256 bytes of room
    for (const char* lib : {"Allegro 4.4.3, Unix", "Allegro 4.4.3", "A very long library name"}) {
        strcpy(allegro_id, lib);
        clear_to_color(gfx.back_buffer, 0);
        title({});
        int right = 0;
        for (int y = 230; y < 240; y++)
            for (int x = 0; x < PICTURE_W; x++)
                right = getpixel(gfx.back_buffer, x, y) ? std::max(right, x) : right;
        EXPECT_GT(right, 8 * 12) << lib << ": the version is there";
        EXPECT_LT(right, PICTURE_W - 2) << lib;
    }
    strcpy(allegro_id, id.c_str());
}

TEST_F(Menus, TheTitlesSceneryKeepsClearOfTheBannerAndTheRows)
{
    title({});
    // Without the datafile the rows are in the library's 8-pixel font.
    int rows_right = 120 + text_length(font, "CREDITS"), ink = 0;
    for (int y = 67; y < 172; y++)
        for (int x = 0; x < PICTURE_W; x++) {
            if (!getpixel(gfx.back_buffer, x, y))
                continue;
            bool tagline = y >= 89 && y < 97, rows = y >= 120 && y < 170 && x >= 120;
            EXPECT_TRUE(tagline || (rows && x < rows_right) || (x < 120 && y >= 140))
                << "a stray pixel at " << x << "," << y;
            if (HasFailure())
                return;
        }
    for (int x = 0; x < PICTURE_W; x++)
        ink += getpixel(gfx.back_buffer, x, 224) != 0;
    EXPECT_EQ(ink, PICTURE_W) << "the city stands along the whole width";
}

TEST_F(Menus, PauseMenuContinuesOrEndsTheGameAndHonoursTheCloseButton)
{
    EXPECT_EQ(pause({MENU_SELECT}), 0);
    EXPECT_EQ(pause({CTRL_DOWN, MENU_ESCAPE, MENU_SELECT}), 0);
    EXPECT_EQ(pause({CTRL_DOWN, CTRL_LEFT, MENU_SELECT}), -1);
    EXPECT_EQ(pause({CTRL_UP, CTRL_UP, MENU_SELECT, MENU_SELECT}), 0)
        << "back from OPTIONS on CONTINUE";
    EXPECT_EQ(pause({CTRL_UP, MENU_SELECT, CTRL_DOWN, MENU_SELECT}), 0)
        << "back from the move list on MOVES: Down wraps to CONTINUE, not to END GAME";
    EXPECT_EQ(pause({}), -1);
    close_in_options = true;
    EXPECT_EQ(pause({CTRL_UP, CTRL_UP, MENU_SELECT, MENU_SELECT}), -1);
    EXPECT_FALSE(title({CTRL_DOWN, MENU_SELECT, MENU_SELECT}));
    EXPECT_EQ(calls, "options(0) moves options(0) options(0) ");
    EXPECT_EQ(polls, 21) << "no poll after the close";
}

TEST_F(Menus, TheMoveListNamesThePlayersOwnKeysAndFits)
{
    std::string all;
    char text[64];
    auto read = [&] {
        all.clear();
        for (int i = 0; i < moves_lines(); i++) {
            moves_text(i, text, sizeof text);
            EXPECT_LE(strlen(text) * 8, PICTURE_W - 112u) << text;
            all += std::string(text) + "|";
        }
    };
    read();
    EXPECT_NE(all.find("ARROW KEYS|KEY 115|KEY 117|"), std::string::npos) << all;
    config.settings.keyup = KEY_W, config.settings.keypunch = KEY_SPACE;
    read();
    EXPECT_EQ(all.find("KEY 23 KEY 85 KEY 82 KEY 8|KEY 75|"), 0u) << "cut to fit: " << all;

    // the library's names read as a player says them, cut to the buffer
    const char* raw[] = {"Shift_L", "Control_R", "Up", "a", "_L"};
    const char* plain[] = {"LEFT SHIFT", "RIGHT CTRL", "UP", "A", "LEFT "};
    for (int i = 0; i < 5; i++) {
        plain_key_name(raw[i], text, sizeof text);
        EXPECT_STREQ(text, plain[i]);
    }
    plain_key_name("Control_L", text, 6);
    EXPECT_STREQ(text, "LEFT ");

    feed({CTRL_LEFT, CTRL_DOWN, MENU_ESCAPE, CTRL_DOWN});
    moves_screen();
    EXPECT_EQ(next_step, 3u) << "only select or Escape leaves";
    EXPECT_EQ(input.menu_input.load(), 0) << "and is used up";
}

TEST_F(Menus, KeysHeldAsAScreenAppearsWaitToBeLetGoAndNewPressesWork)
{
    // Punch mashed through GAME OVER, still down at the title: the timer's
    // reports of it (a change elsewhere, its repeat) do nothing.
    config.settings.keypunch = KEY_LSHIFT;
    key[KEY_LSHIFT] = 1;
    EXPECT_FALSE(title({CTRL_PUNCH, CTRL_PUNCH | CTRL_DOWN, CTRL_PUNCH, MENU_SELECT}));
    EXPECT_EQ(calls, "options(0) ") << "a new Down and Space work, the held punch chooses nothing";
    calls.clear(), setup_result = -1;
    // Let go at poll 1, then the same key pressed again chooses.
    keyboard = [](int n) { key[KEY_LSHIFT] = n == 0 || n >= 2; };
    polls = 0;
    EXPECT_FALSE(title({CTRL_PUNCH, 0, CTRL_PUNCH}));
    EXPECT_EQ(calls, "setup(80) ");

    // The Enter that chose START is still down in the game setup.
    keyboard = nullptr;
    key[KEY_LSHIFT] = 0, key[KEY_ENTER] = 1;
    feed({MENU_SELECT, CTRL_DOWN, CTRL_UP, MENU_SELECT, MENU_ESCAPE});
    EXPECT_EQ(game_setup_menu(80), -1) << "held Enter never starts a game; Escape leaves";
    key[KEY_ENTER] = 0;
    feed({MENU_SELECT});
    EXPECT_EQ(game_setup_menu(80), 0);
}
