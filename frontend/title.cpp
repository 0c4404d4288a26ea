// The title menu with its attract cycle, and the pause menu of the levels.
#include <allegro.h>

#include <cstdio>
#include <cstring>

#include "audio/music.h"
#include "config/state.h"
#include "demo/state.h"
#include "frontend/menu.h"
#include "frontend/state.h"
#include "game/scores.h"
#include "game/session.h"
#include "game/state.h"
#include "gfx/display.h"
#include "gfx/main_data.h"
#include "gfx/objects.h"
#include "gfx/state.h"
#include "input/state.h"
#include "nwd_version.h"

namespace {

constexpr int ITEMS_X = 120;
constexpr int ITEMS_TOP = 120;

const char* const TITLE_ITEMS[] = {"START", "OPTIONS", "REPLAY", "CREDITS", "QUIT"};
enum { TITLE_START, TITLE_OPTIONS, TITLE_REPLAY, TITLE_CREDITS, TITLE_QUIT };

const char* const PAUSE_ITEMS[] = {"CONTINUE", "END GAME", "OPTIONS", "MOVES"};
enum { PAUSE_CONTINUE, PAUSE_END_GAME, PAUSE_OPTIONS, PAUSE_MOVES };

// About twenty seconds with no key before the attract cycle: time to read
// the menu. Each poll rests 10 ms.
constexpr int IDLE_POLLS = 2000;
constexpr int VERSION_X = 2, VERSION_Y = 230;
constexpr int TITLE_MUSIC_SLOT = 2;
constexpr int16_t CREDITS_LEVEL = 11;
constexpr int SETUP_TOP = 80;  // under the banner, with room for the notes at the bottom
constexpr int REPLAY_TOP = 100;
constexpr int TABLE_X = 56, TABLE_Y = 50;
constexpr int TABLE_MS = 10000;
constexpr int PAUSE_VERSION_X = 220;

// The picture around the menu, which the rows alone left half empty: a
// line under the banner, and between QUIT and the version line the city at
// night with the hero on a roof against the moon, in the palette ramps of
// the game's own streets (night sky, far city, lit windows).
constexpr const char* TAGLINE = "FIVE STREETS. ONE NIGHT.";
constexpr int TAGLINE_Y = 89;  // midway between the banner and START
constexpr int SKYLINE_TOP = 172, SKYLINE_BASE = 226;
constexpr int NIGHT_SKY = 128, FAR_CITY = 232, LIT_WINDOW = 152, NEAR_CITY = 127;
constexpr int MOON = 157, MOON_X = 64, MOON_Y = 184, MOON_R = 27;
constexpr int HERO_STANDING = FIRST_HOTSPOT_OBJECT + 1;  // the datafile's first actor frame
constexpr int HERO_X = 62, ROOF_Y = 219;

void set_menu_palette()
{
    MainObjects m = main_objects();
    if (MENU_PALETTE < m.count && m.data[MENU_PALETTE].type == DAT_PALETTE)
        set_palette((RGB*)m.data[MENU_PALETTE].dat);
    // Over the menu palette: a near-black at 68 and a dusky purple where the
    // flames are coldest, so their tips fade into the night.
    RGB shadow = {10, 11, 12, 0};
    RGB ember = {32, 28, 48, 0};
    set_color(68, &shadow);
    set_color(FLAME_COLD, &ember);
}

void start_title_music()
{
    if (config.launch.no_sound)
        return;
    if (config.launch.mod_file)
        music_play(TITLE_MUSIC_SLOT, "", config.launch.mod_file);
    else
        music_play(TITLE_MUSIC_SLOT, config.data_dir, config.playlist_keys[PLAYLIST_TITLE]);
}

// The version line, shortened until it fits the picture's width: the
// library's text loses its platform after the comma, then goes.
void version_line(char* out, size_t size, FONT* f)
{
    const int room = PICTURE_W - 2 * VERSION_X;
    int library = (int)strcspn(allegro_id, ",");
    snprintf(out, size, "Version %s (%s) %s", NWD_VERSION, NWD_BUILD, allegro_id);
    if (text_length(f, out) > room)
        snprintf(out, size, "Version %s (%s) %.*s", NWD_VERSION, NWD_BUILD, library, allegro_id);
    if (text_length(f, out) > room)
        snprintf(out, size, "Version %s (%s)", NWD_VERSION, NWD_BUILD);
}

// Same every time: its own little generator, so the flames' draws of the
// library's rand stay as they were.
int skyline_random(uint32_t& seed, int n)
{
    seed = seed * 1103515245u + 12345u;
    return (int)((seed >> 16) % (uint32_t)n);
}

// A row of buildings standing on the base line, `low`..`high` pixels tall,
// with a few windows lit in `light`.
void draw_buildings(BITMAP* b, uint32_t& seed, int colour, int low, int high, int light)
{
    for (int x = -skyline_random(seed, 12); x < PICTURE_W;) {
        int w = 10 + skyline_random(seed, 16), h = low + skyline_random(seed, high - low);
        int top = SKYLINE_BASE - h;
        rectfill(b, x, top, x + w - 1, SKYLINE_BASE, colour);
        if (skyline_random(seed, 3) == 0)  // an aerial on some roofs
            vline(b, x + w / 2, top - 2 - skyline_random(seed, 5), top, colour);
        for (int wy = top + 3; wy < SKYLINE_BASE - 3; wy += 4)
            for (int wx = x + 2; wx < x + w - 2; wx += 3)
                if (skyline_random(seed, 8) == 0)
                    putpixel(b, wx, wy, light + skyline_random(seed, 4));
        x += w + skyline_random(seed, 4);
    }
}

// Drawn once as the title is entered: nothing of it moves, so the polls
// and the attract demo pay nothing for it. Above SKYLINE_TOP it keeps left
// of the menu's rows; it never reaches the banner or the version line.
void draw_title_scenery(BITMAP* b, const MainObjects& m)
{
    if (!b)
        return;
    textout_centre_ex(b, menu_font(m, FONT_SMALL), TAGLINE, PICTURE_W / 2, TAGLINE_Y, -1, 0);
    // A glow over the city, fading up into the dark sky in dithered steps.
    for (int y = SKYLINE_TOP; y <= SKYLINE_BASE; y++) {
        int level = (y - SKYLINE_TOP) * 10 / (SKYLINE_BASE - SKYLINE_TOP + 1);
        for (int x = 0; x < PICTURE_W; x++) {
            int step = (level + ((x + y) & 1)) / 2;
            putpixel(b, x, y, step ? NIGHT_SKY + step - 1 : 0);
        }
    }
    circlefill(b, MOON_X, MOON_Y, MOON_R, MOON);
    circlefill(b, MOON_X + 12, MOON_Y - 9, 6, MOON - 1);  // a sea on its face
    set_clip_rect(b, 0, SKYLINE_TOP, PICTURE_W - 1, SKYLINE_BASE);
    uint32_t seed = 1989;
    draw_buildings(b, seed, FAR_CITY + 2, 12, 40, LIT_WINDOW);
    draw_buildings(b, seed, NEAR_CITY, 4, 16, LIT_WINDOW + 3);
    // The roof he stands on, with its parapet.
    rectfill(b, HERO_X - 24, ROOF_Y, HERO_X + 30, SKYLINE_BASE, NEAR_CITY);
    hline(b, HERO_X - 26, ROOF_Y - 1, HERO_X + 32, NEAR_CITY);
    set_clip_rect(b, 0, 0, b->w - 1, b->h - 1);
    // The hero, black against the moon, facing the city he walks into; a
    // frame too big for the space beside the menu is left out.
    BITMAP* hero = m.bitmap(HERO_STANDING);
    if (hero && hero->h <= ROOF_Y - (MOON_Y - MOON_R) && hero->w / 2 < HERO_X &&
        HERO_X + hero->w / 2 < ITEMS_X)
        draw_character_ex(b, hero, HERO_X - hero->w / 2, ROOF_Y - hero->h, 0, -1);
}

void title_redraw(const MenuList& list)
{
    input.menu_input.store(0);
    MainObjects m = main_objects();
    draw_menu_items(gfx.back_buffer, list, ITEMS_X, ITEMS_TOP, m);
    if (gfx.back_buffer) {
        FONT* f = menu_font(m, FONT_VERSION);
        char text[128];
        version_line(text, sizeof text, f);
        textout_ex(gfx.back_buffer, f, text, VERSION_X, VERSION_Y, MENU_DISABLED_COLOUR, 0);
    }
    mark_dirty(0, PICTURE_H - 1);
}

// Polls until a row is chosen (its index) or the player has left the menu
// alone long enough for the attract cycle (-1).
int title_poll(MenuList& list)
{
    int idle = 0;
    for (;;) {
        if (input.close_requested.load())
            return TITLE_QUIT;
        uint16_t events = menu_poll();
        if (events) {
            MenuAction action = menu_react(list, events, TITLE_QUIT);
            if (action == MENU_CHOSEN)
                return list.selected;
            if (action == MENU_REDRAW)
                title_redraw(list);
            else
                input.menu_input.store(0);  // nothing to do with it, but someone is there
            idle = 0;
            continue;
        }
        // Any other key, even one no menu reads, shows the player is there.
        if (keyboard_driver && keypressed()) {
            clear_keybuf();
            idle = 0;
            continue;
        }
        if (++idle > IDLE_POLLS)
            return -1;
    }
}

// A recorded game's reference goes before a new game records its own; the
// built-in demos are only borrowed and stay for the next attract cycle.
void drop_last_game_demo()
{
    for (DemoImage* b : demos.builtin)
        if (b && b == demos.last_game) {
            demos.last_game = nullptr;
            return;
        }
    demo_free(demos.last_game);
    demos.last_game = nullptr;
}

void attract_cycle(int& attract)
{
    DemoImage* demo = demos.builtin[attract];
    int mode = config.settings.mode;
    if (demo) {
        mode = demo_header(demo).mode;
        game.attract_demo = true;
        menus.ops->run_game(demo, 0, 0, 0, 0, 0);
        game.attract_demo = false;
        clear_keybuf();
    }
    // Only three modes have tables; a demo file may name any number.
    if (mode < 1 || mode > 3)
        mode = config.settings.mode >= 1 && config.settings.mode <= 3 ? config.settings.mode : 1;
    attract = (attract + 1) % 3;
    if (input.close_requested.load())
        return;

    clear_picture(gfx.back_buffer);
    mark_dirty(0, PICTURE_H - 1);
    MainObjects m = main_objects();
    if (gfx.back_buffer)
        draw_score_table(mode, -1, gfx.back_buffer, TABLE_X, TABLE_Y, menu_font(m, FONT_ITEM),
                         menu_font(m, FONT_SELECTED), menu_font(m, FONT_HEADING), nullptr);
    menus.ops->wipe_in(music_poll);
    input.wait_ops->wait_or_select(TABLE_MS);
}

// Runs what the title's row `chosen` stands for. False for QUIT.
bool title_choose(int chosen)
{
    switch (chosen) {
    case TITLE_START: {
        int level = menus.ops->game_setup(SETUP_TOP);
        if (level < 0)
            return true;
        drop_last_game_demo();
        menus.ops->run_game(nullptr, 0, (int16_t)config.launch.mode, (int16_t)level,
                            config.launch.skill, 1);
        return true;
    }
    case TITLE_OPTIONS: menus.ops->options(0); return true;
    case TITLE_REPLAY: menus.ops->replay(REPLAY_TOP); return true;
    case TITLE_CREDITS: menus.ops->run_game(nullptr, 0, 0, CREDITS_LEVEL, 0, 1); return true;
    default: return false;
    }
}

void pause_redraw(const MenuList& list)
{
    mark_dirty(0, PICTURE_H - 1);
    input.menu_input.store(0);
    MainObjects m = main_objects();
    draw_menu_items(gfx.back_buffer, list, ITEMS_X, ITEMS_TOP, m);
    if (!gfx.back_buffer)
        return;
    FONT* f = menu_font(m, FONT_VERSION);
    char version[32];
    snprintf(version, sizeof version, "v%s (%s)", NWD_VERSION, NWD_BUILD);
    // A longer platform name would run off the right edge: end it short of it.
    int x = PICTURE_W - VERSION_X - text_length(f, version);
    textout_ex(gfx.back_buffer, f, version, x < PAUSE_VERSION_X ? x : PAUSE_VERSION_X, 68,
               MENU_DISABLED_COLOUR, 0);
}

}  // namespace

void title_menu()
{
    MenuList list{TITLE_ITEMS, TITLE_QUIT, nullptr, TITLE_START};
    int attract = 0;
    // Every sub-screen and attract cycle comes back here: they changed the
    // palette, the picture and perhaps the music.
    while (!input.close_requested.load()) {
        start_title_music();
        set_menu_palette();
        clear_picture(gfx.back_buffer);
        draw_title_scenery(gfx.back_buffer, main_objects());
        mark_dirty(0, PICTURE_H - 1);
        title_redraw(list);
        menu_screen_begin();
        int chosen = title_poll(list);
        if (input.close_requested.load())
            return;
        if (chosen < 0)
            attract_cycle(attract);
        else if (!title_choose(chosen))
            return;
    }
}

int pause_menu()
{
    MenuList list{PAUSE_ITEMS, PAUSE_MOVES, nullptr, PAUSE_CONTINUE};
    menus.stale_keys = 0;  // as ever here: the Escape that opened it moves to CONTINUE
    for (;;) {
        display_wait_retrace();
        set_menu_palette();
        clear_picture(gfx.back_buffer);
        pause_redraw(list);
        for (;;) {
            // The window is closing: end the game so the title can quit.
            if (input.close_requested.load())
                return -1;
            MenuAction action = menu_react(list, menu_poll(), PAUSE_CONTINUE);
            if (action == MENU_REDRAW)
                pause_redraw(list);
            else if (action == MENU_CHOSEN)
                break;
        }
        if (list.selected == PAUSE_CONTINUE)
            return 0;
        if (list.selected == PAUSE_END_GAME)
            return -1;
        // Back from the options as on entry; from the move list on MOVES,
        // so that a Down and Enter read there does not end the game.
        if (list.selected == PAUSE_MOVES) {
            menus.ops->moves();
        } else {
            menus.ops->options(0);
            list.selected = PAUSE_CONTINUE;
        }
    }
}
