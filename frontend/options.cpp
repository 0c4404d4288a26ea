// The options menu: display driver and size, power saving, music and sound,
// key and button bindings and the cheat-key gate.
#include <allegro.h>

#include <cstdio>

#include "audio/music.h"
#include "audio/sfx.h"
#include "config/state.h"
#include "engine/diag.h"
#include "frontend/menu.h"
#include "game/session.h"
#include "game/state.h"
#include "gfx/display.h"
#include "gfx/main_data.h"
#include "gfx/objects.h"
#include "gfx/state.h"
#include "input/state.h"

namespace {

const char* const OPTION_ITEMS[OPT_ROWS] = {
    "GFX DRIVER",
    "SCREEN SIZE",
    "",
    "POWER SAVING",
    "",
    "MUSIC LIST",
    "MUSIC VOLUME",
    "SOUND VOLUME",
    "",
    "KEY UP",
    "KEY DOWN",
    "KEY LEFT",
    "KEY RIGHT",
    "KEY KICK",
    "KEY PUNCH",
    "",
    "BUTTON KICK",
    "BUTTON PUNCH",
    "BUTTON PAUSE",
    "BUTTON ESC",
    "",
    "CHEAT KEYS",
};

// Twelve-letter labels end at 120, a clear gutter before the values: set
// closer, "BUTTON PUNCH" and its button read as one line.
constexpr int LABEL_X = 24;
constexpr int HEADING_X = 40;
constexpr int VALUE_X = 140;
constexpr int HEADING_DOWN = 4;  // clear of the picture's top edge
constexpr int ROWS_DOWN = 20;    // below the heading
constexpr int ROW_PITCH = 10, BLANK_PITCH = 5;
constexpr int NOTE_DOWN = 224;  // the line of hints and notes under the rows
constexpr int POWER_TEXT_X = 204;
constexpr int SLIDER_SPRITE = 7;
constexpr int SLIDER_LEFT = 142, SLIDER_RIGHT = 193;
constexpr int POWER_MAX = 20;
constexpr int VOLUME_MAX = 255;
constexpr int VOLUME_STEP = 5;
constexpr int SAMPLE_EFFECT = 13;  // played at the new effects volume
constexpr int PAN_CENTRE = 128;
constexpr int ESCAPE_RELEASE_WAITS = 100;
constexpr int KEY_RELEASE_WAITS = 100;  // a second at most: a stuck key must not hang the menu

constexpr int KEY_ROWS = OPT_KEY_PUNCH - OPT_KEY_UP + 1;
constexpr int DIRECTION_KEYS = 4;  // KEY UP .. KEY RIGHT; kick and punch follow
const char* const KEY_ROW_NAMES[KEY_ROWS] = {"KEY UP",    "KEY DOWN", "KEY LEFT",
                                             "KEY RIGHT", "KEY KICK", "KEY PUNCH"};
const char* const HINT_STEP = "LEFT, RIGHT: CHANGE    ESC: DONE";
const char* const HINT_SET = "ENTER: SET    ESC: DONE";
const char* const HINT_NO_PAD = "NO PAD ATTACHED    ESC: DONE";
// The sound rows are grey when the run is silent (no device opened, or
// -nosound): the rows the cursor stops at either side of them say why, as
// the pad's rows do.
const char* const HINT_NO_SOUND = "NO SOUND DEVICE: SOUND ROWS OFF";

struct OptionsMenu {
    MenuList list;
    int enabled[OPT_ROWS];
    int ys[OPT_ROWS];
    int card, width, height, size;
    int old_card, old_width, old_height;  // what runs now
    int top;
    char note[64];  // what the last key capture did, until the next action
};

int row_y(const OptionsMenu& m, int row) { return m.ys[row]; }

bool windowed(int card) { return gfx_driver_table[card].windowed != 0; }

int16_t* key_binding(int row)
{
    GameConfig& c = config.settings;
    int16_t* keys[] = {&c.keyup, &c.keydown, &c.keyleft, &c.keyright, &c.keykick, &c.keypunch};
    return keys[row - OPT_KEY_UP];
}

int16_t* button_binding(int row)
{
    GameConfig& c = config.settings;
    int16_t* buttons[] = {&c.joykick, &c.joypunch, &c.joypause, &c.joyesc};
    return buttons[row - OPT_BUTTON_KICK];
}

int joystick_buttons()
{
    int n = joy[0].num_buttons;
    return n < 0 ? 0 : n > MAX_JOYSTICK_BUTTONS ? MAX_JOYSTICK_BUTTONS : n;
}

void draw_slider(const OptionsMenu& m, const MainObjects& objects, int row, int value, int max)
{
    int y = row_y(m, row);
    if (BITMAP* s = objects.bitmap(SLIDER_SPRITE))
        draw_sprite(gfx.back_buffer, s, VALUE_X, y);
    if (value < max) {
        int fill = max == POWER_MAX ? value * 51 / POWER_MAX : value / 5;
        rectfill(gfx.back_buffer, SLIDER_LEFT + fill, y + 2, SLIDER_RIGHT, y + 5, 0);
    }
}

bool silent_beside(int row)
{
    return config.launch.no_sound && (row == OPT_POWER || row == OPT_KEY_UP);
}

void redraw(OptionsMenu& m)
{
    clear_picture(gfx.back_buffer);
    input.menu_input.store(0);
    if (!gfx.back_buffer)
        return;
    MainObjects o = main_objects();
    FONT* value = menu_font(o, FONT_ITEM);
    FONT* small = menu_font(o, FONT_SMALL);
    const GameConfig& c = config.settings;
    textout_ex(gfx.back_buffer, menu_font(o, FONT_HEADING), "   === OPTIONS ===", HEADING_X,
               m.top + HEADING_DOWN, -1, 0);
    draw_menu_items(gfx.back_buffer, m.list, LABEL_X, m.top + ROWS_DOWN, o, m.ys);
    int row = m.list.selected;
    bool button = row >= OPT_BUTTON_KICK && row <= OPT_BUTTON_ESC;
    bool sets = (row >= OPT_KEY_UP && row <= OPT_KEY_PUNCH) || button;
    // Without a pad the button rows keep their bindings for the next run
    // with one, but take nothing now: say so rather than offer a set.
    textout_centre_ex(gfx.back_buffer, small,
                      m.note[0]                           ? m.note
                      : button && !input.joystick_enabled ? HINT_NO_PAD
                      : silent_beside(row)                ? HINT_NO_SOUND
                      : sets                              ? HINT_SET
                                                          : HINT_STEP,
                      PICTURE_W / 2, m.top + NOTE_DOWN, -1, 0);

    auto text = [&](int row, FONT* f, const char* s) {
        textout_ex(gfx.back_buffer, f, s, VALUE_X, row_y(m, row), -1, 0);
    };
    text(OPT_DRIVER, value, gfx_driver_table[m.card].platform_label);
    text(OPT_SIZE, value, screen_size_table[m.size].label);
    draw_slider(m, o, OPT_POWER, c.powersaving, POWER_MAX);
    textprintf_ex(gfx.back_buffer, value, POWER_TEXT_X, row_y(m, OPT_POWER), -1, 0, "%d ms",
                  c.powersaving);
    text(OPT_MUSIC_LIST, value, c.music);
    draw_slider(m, o, OPT_MUSIC_VOLUME, c.musicvolume, VOLUME_MAX);
    draw_slider(m, o, OPT_SOUND_VOLUME, c.soundvolume, VOLUME_MAX);
    for (int row = OPT_KEY_UP; row <= OPT_KEY_PUNCH; row++)
        text(row, small, key_display_name(*key_binding(row)));
    for (int row = OPT_BUTTON_KICK; row <= OPT_BUTTON_ESC; row++)
        text(row, small, joystick_button_name(*button_binding(row)));
    if (m.enabled[OPT_CHEAT_KEYS])
        text(OPT_CHEAT_KEYS, value, cheat_keys_name(c.cheatkeys));
    present_all();
}

void prompt(const OptionsMenu& m, int row, const char* text)
{
    int y = row_y(m, row);
    if (gfx.back_buffer)
        textout_ex(gfx.back_buffer, menu_font(main_objects(), FONT_SELECTED), text, VALUE_X, y, -1,
                   0);
    mark_dirty(y, y + 8);
    present_dirty();
}

bool cancelled() { return input.close_requested.load() || (input.menu_input.load() & MENU_ESCAPE); }

// Waits (a second at most) until Escape is up.
void wait_escape_up()
{
    for (int i = 0; i < ESCAPE_RELEASE_WAITS && key[KEY_ESC] && !input.close_requested.load(); i++)
        input.wait_ops->wait(10);
}

// The Escape that cancelled a capture must not go on to close the menu, as
// its key repeat would if held a moment longer.
void end_cancelled_capture()
{
    wait_escape_up();
    input.menu_input.fetch_and(~MENU_ESCAPE);
}

// Waits for a key the row may take and binds it; Escape or the close button
// keep the old binding.
void capture_key(OptionsMenu& m, int row)
{
    prompt(m, row, "PRESS A KEY          ");
    // The key that opened the capture must not be taken. A fire key that
    // never reads as released must not trap the player here either.
    while (fire_held()) {
        input.wait_ops->wait(10);
        if (cancelled())
            return end_cancelled_capture();
    }
    for (;;) {
        int found = 0;
        for (int k = 1; k < KEY_MAX && !found; k++)
            if (key[k] && key_capture_allows(row, k))
                found = k;
        input.wait_ops->wait(10);
        if (cancelled())
            return end_cancelled_capture();
        if (found) {
            int16_t* keys[KEY_ROWS];
            for (int i = 0; i < KEY_ROWS; i++)
                keys[i] = key_binding(OPT_KEY_UP + i);
            int other;
            char taken[24];
            snprintf(taken, sizeof taken, "%s", key_display_name(found));
            bool bound = bind_key(keys, row, found, &other);
            // A key two controls share plays only one of them: say what happened.
            if (bound && other >= 0)
                snprintf(m.note, sizeof m.note, "%s NOW ON %s", KEY_ROW_NAMES[other - OPT_KEY_UP],
                         key_display_name(*keys[other - OPT_KEY_UP]));
            else if (!bound)
                snprintf(m.note, sizeof m.note, "%s BELONGS TO %s", taken,
                         KEY_ROW_NAMES[other - OPT_KEY_UP]);
            input_use_bindings();
            // Held on, a new kick or punch key would select this row again
            // once the input timer knows it: let it go first (a second at most).
            for (int i = 0; i < KEY_RELEASE_WAITS && key[found] && !input.close_requested.load();
                 i++)
                input.wait_ops->wait(10);
            input.wait_ops->wait(20);
            return;
        }
    }
}

// Waits for a joystick button; Escape unbinds the row.
void capture_button(const OptionsMenu& m, int row)
{
    prompt(m, row, "PRESS A BUTTON       ");
    wait_joystick_release();
    int found = -1;
    while (found < 0 && !key[KEY_ESC]) {
        input.wait_ops->wait(10);
        if (input.close_requested.load())
            return;
        uint32_t held = joystick_buttons_held();
        for (int b = 0; b < joystick_buttons() && found < 0; b++)
            if (held >> b & 1)
                found = b;
    }
    wait_joystick_release();
    // Escape may not have reached MenuInput yet: let it go before the
    // redraw clears it, or it would leave the menu too.
    while (found < 0 && key[KEY_ESC] && !input.close_requested.load())
        input.wait_ops->wait(10);
    *button_binding(row) = (int16_t)found;
    input_use_bindings();
}

void refit_size(OptionsMenu& m)
{
    m.size = find_size(m.width, m.height, windowed(m.card));
    m.width = screen_size_table[m.size].width;
    m.height = screen_size_table[m.size].height;
}

void set_size(OptionsMenu& m, int size)
{
    m.size = size;
    m.width = screen_size_table[size].width;
    m.height = screen_size_table[size].height;
}

enum Outcome { UNHANDLED, UNCHANGED, CHANGED };

// The selected row's reaction to the pending input. UNHANDLED: none of its
// bits was there. UNCHANGED: a press it knows that had nothing left to do
// (an end of a range, or select on a row that only steps), which is used up
// so it can neither mask a later press nor be acted on again.
Outcome act(OptionsMenu& m, uint16_t in)
{
    GameConfig& c = config.settings;
    const bool sel = in & MENU_SELECT, left = in & CTRL_LEFT, right = in & CTRL_RIGHT;
    const int row = m.list.selected;

    if (row >= OPT_KEY_UP && row <= OPT_KEY_PUNCH) {
        if (!sel)
            return UNHANDLED;
        menu_sound(SFX_MENU_SELECT);
        capture_key(m, row);
        return CHANGED;
    }
    if (row >= OPT_BUTTON_KICK && row <= OPT_BUTTON_ESC) {
        if (!input.joystick_enabled)
            return sel ? UNCHANGED : UNHANDLED;
        if (!(sel || left || right))
            return UNHANDLED;
        if (sel) {
            menu_sound(SFX_MENU_SELECT);
            capture_button(m, row);
        } else {
            int16_t* b = button_binding(row);
            *b = (int16_t)button_cycle(*b, joystick_buttons(), right ? +1 : -1);
            input_use_bindings();
        }
        return CHANGED;
    }
    if (!left && !right)
        return sel ? UNCHANGED : UNHANDLED;  // these rows only step
    switch (row) {
    case OPT_DRIVER: {
        int card = m.card + (left ? -1 : +1);
        if (card < 0 || card >= GFX_DRIVER_COUNT)
            return UNCHANGED;
        m.card = card;
        refit_size(m);
        return CHANGED;
    }
    case OPT_SIZE: {
        int size = left ? prev_size(m.size, windowed(m.card)) : next_size(m.size, windowed(m.card));
        if (size == m.size)
            return UNCHANGED;
        set_size(m, size);
        return CHANGED;
    }
    case OPT_POWER: {
        int ms = c.powersaving + (left ? -1 : +1);
        if (ms < 0 || ms > POWER_MAX)
            return UNCHANGED;
        c.powersaving = (int16_t)ms;
        return CHANGED;
    }
    case OPT_MUSIC_LIST:
        if (left)
            playlist_prev(playlist_table, c.music);
        else
            playlist_next(playlist_table, c.music);
        return CHANGED;
    case OPT_MUSIC_VOLUME:
        if (right)
            music_volume_up();
        else
            music_volume_down();
        c.musicvolume = (uint8_t)music_get_volume();
        return CHANGED;
    case OPT_SOUND_VOLUME:
        // Only while a whole step is left: a value edited in between
        // (251..254, 1..4) goes no further that way.
        if (right ? c.soundvolume > VOLUME_MAX - VOLUME_STEP : c.soundvolume < VOLUME_STEP)
            return UNCHANGED;
        if (right)
            sfx_volume_up();
        else
            sfx_volume_down();
        sfx_play(0, SAMPLE_EFFECT, PAN_CENTRE);
        return CHANGED;
    case OPT_CHEAT_KEYS:
        c.cheatkeys = (int16_t)((c.cheatkeys + (left ? 4 : 1)) % 5);
        return CHANGED;
    default: return UNHANDLED;
    }
}

void set_game_palette()
{
    MainObjects o = main_objects();
    if (MAIN_PALETTE < o.count && o.data[MAIN_PALETTE].type == DAT_PALETTE)
        set_palette((RGB*)o.data[MAIN_PALETTE].dat);
}

// Sets the chosen mode; a refused one brings back what ran before.
void apply_display(const OptionsMenu& m)
{
    if (m.card == m.old_card && m.width == m.old_width && m.height == m.old_height)
        return;
    // A new mode may bring a new window, which never hears of a key let go
    // before it exists: Escape would stay held in the next menu.
    wait_escape_up();
    const GfxDriverDesc& d = gfx_driver_table[m.card];
    GameConfig& c = config.settings;
    if (set_display_mode(d.driver, m.width, m.height, d.windowed) == 0) {
        c.card = (uint8_t)m.card;
        gfx.card = m.card;
        (d.windowed ? c.window_width : c.screen_width) = (int16_t)m.width;
        (d.windowed ? c.window_height : c.screen_height) = (int16_t)m.height;
        set_game_palette();
        return;
    }
    diag("cannot set %s at %d x %d: %s\n", d.label, m.width, m.height, allegro_error);
    const GfxDriverDesc& old = gfx_driver_table[m.old_card];
    bool old_back = set_display_mode(old.driver, m.old_width, m.old_height, old.windowed) == 0;
    if (!old_back && set_display_mode(GFX_AUTODETECT_WINDOWED, -1, -1, 1) != 0) {
        // Nothing to draw on: end the run as the close button would.
        diag("no graphics mode left: %s\n", allegro_error);
        input.close_requested.store(true);
        return;
    }
    gfx.card = old_back ? m.old_card : 0;
    set_game_palette();
}

}  // namespace

int find_size(int width, int height, int windowed)
{
    for (int i = 0; i < SCREEN_SIZE_COUNT; i++) {
        const ScreenSizeDesc& s = screen_size_table[i];
        if (s.width == width && s.height == height && (windowed ? s.windowed : s.fullscreen))
            return i;
    }
    return windowed ? 0 : 1;
}

int next_size(int index, int windowed)
{
    for (int i = index + 1; i < SCREEN_SIZE_COUNT; i++)
        if (windowed ? screen_size_table[i].windowed : screen_size_table[i].fullscreen)
            return i;
    return index;
}

int prev_size(int index, int windowed)
{
    for (int i = index - 1; i >= 0; i--)
        if (windowed ? screen_size_table[i].windowed : screen_size_table[i].fullscreen)
            return i;
    return index;
}

bool key_capture_allows(int row, int scancode)
{
    if (scancode <= 0 || scancode >= KEY_MAX)
        return false;
    switch (scancode) {
    // Escape cancels the capture. The others act on their own during play
    // (pause, screenshot, speed, music volume), and the lock keys and Pause
    // may read as held until pressed again: a kick or punch bound there
    // would hold the next capture forever.
    case KEY_ESC:
    case KEY_PAUSE:
    case KEY_F1:
    case KEY_PGUP:
    case KEY_PGDN:
    case KEY_HOME:
    case KEY_MINUS_PAD:
    case KEY_PLUS_PAD:
    case KEY_SCRLOCK:
    case KEY_NUMLOCK:
    case KEY_CAPSLOCK: return false;
    default: break;
    }
    static const int own_arrow[] = {KEY_UP, KEY_DOWN, KEY_LEFT, KEY_RIGHT};
    bool arrow =
        scancode == KEY_UP || scancode == KEY_DOWN || scancode == KEY_LEFT || scancode == KEY_RIGHT;
    if (row >= OPT_KEY_UP && row < OPT_KEY_UP + 4) {
        // A direction keeps its own arrow; Space and Enter stay the menus' select.
        if (scancode == KEY_SPACE || scancode == KEY_ENTER)
            return false;
        return !arrow || scancode == own_arrow[row - OPT_KEY_UP];
    }
    return !arrow;
}

int options_row_y(int top, int row)
{
    int y = top + ROWS_DOWN;
    for (int i = 0; i < row && i < OPT_ROWS; i++)
        y += OPTION_ITEMS[i][0] ? ROW_PITCH : BLANK_PITCH;
    return y;
}

bool bind_key(int16_t* const* keys, int row, int scancode, int* other)
{
    const int self = row - OPT_KEY_UP;
    *other = -1;
    for (int i = 0; i < KEY_ROWS; i++)
        if (i != self && *keys[i] == scancode)
            *other = OPT_KEY_UP + i;
    if (*other >= 0) {
        // Only like for like changes hands: a swap across the groups would
        // put a move on the old fire key, or a blow on a walking key.
        bool same_group = (self < DIRECTION_KEYS) == (*other - OPT_KEY_UP < DIRECTION_KEYS);
        if (!same_group || !key_capture_allows(*other, *keys[self]))
            return false;
        *keys[*other - OPT_KEY_UP] = *keys[self];
    }
    *keys[self] = (int16_t)scancode;
    return true;
}

int button_cycle(int button, int buttons, int step)
{
    if (button < -1 || button >= buttons)
        button = -1;
    return (button + buttons + step + 2) % (buttons + 1) - 1;
}

void options_menu(int top)
{
    OptionsMenu m{};
    m.top = top;
    for (int row = 0; row < OPT_ROWS; row++)
        m.enabled[row] = OPTION_ITEMS[row][0] != 0;
    for (int row = OPT_MUSIC_LIST; row <= OPT_SOUND_VOLUME; row++)
        m.enabled[row] = !config.launch.no_sound;
    for (int row = OPT_BUTTON_KICK; row <= OPT_BUTTON_ESC; row++)
        m.enabled[row] = !config.launch.no_joystick;
    m.enabled[OPT_CHEAT_KEYS] = game.furthest_level == 5;
    m.list = MenuList{OPTION_ITEMS, OPT_ROWS - 1, m.enabled, 0};
    for (int row = 0; row < OPT_ROWS; row++)
        m.ys[row] = options_row_y(top, row);

    const GameConfig& c = config.settings;
    // What runs, which is not the configured row when that was refused at
    // start-up; the configured row is kept until the player picks another.
    m.card = gfx.card >= 0 ? gfx.card : c.card < GFX_DRIVER_COUNT ? c.card : 0;
    bool fallback = m.card != c.card;
    m.width = fallback ? -1 : windowed(m.card) ? c.window_width : c.screen_width;
    m.height = fallback ? -1 : windowed(m.card) ? c.window_height : c.screen_height;
    m.old_card = m.card, m.old_width = m.width, m.old_height = m.height;
    m.size = find_size(m.width, m.height, windowed(m.card));

    redraw(m);
    for (;;) {
        input.wait_ops->wait(5);
        if (input.close_requested.load())
            return;  // the run ends: no new mode for it
        uint16_t in = input.menu_input.load();
        if (!in)
            continue;
        if (in & MENU_ESCAPE)
            break;
        m.note[0] = 0;
        if (in & (CTRL_UP | CTRL_DOWN)) {
            m.list.selected = menu_move(m.list, in & CTRL_UP ? -1 : +1);
            redraw(m);
            continue;
        }
        Outcome o = act(m, in);
        if (input.close_requested.load())
            return;
        if (o == CHANGED)
            redraw(m);
        else if (o == UNCHANGED)
            input.menu_input.store(0);
    }
    apply_display(m);
}
