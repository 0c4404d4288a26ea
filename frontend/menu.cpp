#include "frontend/menu.h"

#include <allegro.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "audio/music.h"
#include "audio/sfx.h"
#include "config/state.h"
#include "engine/diag.h"
#include "frontend/state.h"
#include "game/session.h"
#include "gfx/display.h"
#include "gfx/objects.h"
#include "gfx/state.h"
#include "input/state.h"

const MenuOps default_menu_ops = {game_setup_menu, options_menu, replay_menu,
                                  run_game,        wipe_in,      moves_screen};

namespace {

constexpr int BANNER_X = 60;
constexpr int BANNER_Y = 10;
constexpr int FLAME_SPARKS = 1000;  // pixels stirred per step
constexpr int FLAME_DECAY = 1;
constexpr int ENTRY_SETTLE_MS = 50;  // five input timer periods

bool selectable(const MenuList& list, int row)
{
    if (list.enabled && !list.enabled[row])
        return false;
    return list.items[row] && list.items[row][0];
}

}  // namespace

FONT* menu_font(const MainObjects& objects, int index)
{
    FONT* f = objects.font(index);
    return f ? f : font;
}

int wrap_notice(const char* text, int width, int (*measure)(const char*, void*), void* user,
                char (*lines)[NOTICE_LINE], int max_lines)
{
    int count = 0;
    while (*text && count < max_lines) {
        while (*text == ' ')
            text++;
        if (!*text)
            break;
        char* line = lines[count++];
        int n = 0, fits = 0;  // fits: length up to the last word that fits
        for (;;) {
            int end = n;
            while (text[end] && text[end] != ' ' && end < NOTICE_LINE - 1)
                end++;
            memcpy(line, text, end);
            line[end] = 0;
            // A word wider than the line on its own is cut where it must be.
            if (fits && measure(line, user) > width)
                break;
            fits = end;
            if (!text[end] || end >= NOTICE_LINE - 1)
                break;
            n = end + 1;
        }
        line[fits] = 0;
        text += fits;
    }
    return count;
}

void show_notice(const char* text, int ms)
{
    if (!gfx.back_buffer || !screen)
        return;
    FONT* f = menu_font(main_objects(), FONT_ITEM);
    char lines[8][NOTICE_LINE];
    auto width = [](const char* line, void* font) { return text_length((FONT*)font, line); };
    int n = wrap_notice(text, PICTURE_W - 16, width, f, lines, 8);
    int step = text_height(f) + 2;
    clear_picture(gfx.back_buffer);
    for (int i = 0; i < n; i++)
        textout_centre_ex(gfx.back_buffer, f, lines[i], PICTURE_W / 2,
                          PICTURE_H / 2 - n * step / 2 + i * step, -1, -1);
    present_all();
    input.menu_input.store(0);
    for (; ms > 0 && !input.close_requested.load(); ms -= 10) {
        menu_wait(10);
        if (input.menu_input.load() & (MENU_SELECT | MENU_ESCAPE))
            break;
    }
    input.menu_input.store(0);
}

const char* key_display_name(int scancode)
{
    static char text[16];
    // Without a keyboard driver (tests) the library has no names to give.
    if (keyboard_driver && scancode > 0 && scancode < KEY_MAX)
        return scancode_to_name(scancode);
    snprintf(text, sizeof text, "KEY %d", scancode);
    return text;
}

void plain_key_name(const char* raw, char* out, int size)
{
    if (size < 1)
        return;
    // The library's names are an X keyboard's ("Shift_L", "Control_R"):
    // our own screens say them as a player does.
    char word[32];
    int n = snprintf(word, sizeof word, "%s", raw);
    const char* side = "";
    if (n >= 2 && n < (int)sizeof word && word[n - 2] == '_' &&
        (word[n - 1] == 'L' || word[n - 1] == 'R')) {
        side = word[n - 1] == 'L' ? "LEFT " : "RIGHT ";
        word[n - 2] = 0;
    }
    for (char* c = word; *c; c++)
        *c = (char)toupper((unsigned char)*c);
    snprintf(out, size, "%s%s", side, strcmp(word, "CONTROL") == 0 ? "CTRL" : word);
}

const char* key_plain_name(int scancode)
{
    static char text[40];
    plain_key_name(key_display_name(scancode), text, sizeof text);
    return text;
}

const char* mode_name(int mode)
{
    static const char* const names[] = {"ARCADE", "SURVIVAL", "VAMPIRE"};
    return mode >= 1 && mode <= 3 ? names[mode - 1] : "?";
}

const char* cheat_keys_name(int cheatkeys)
{
    static const char* const names[] = {"OFF", "ON", "ON (+Shift)", "ON (+Ctrl)", "ON (+Alt)"};
    return cheatkeys >= 0 && cheatkeys <= 4 ? names[cheatkeys] : "";
}

void menu_sound(int effect)
{
    if (!config.launch.no_sound)
        sfx_play(0, effect, 128);
}

int menu_move(const MenuList& list, int step)
{
    int row = list.selected;
    // Bounded, so a list with nothing selectable cannot hang the menu.
    for (int tries = 0; tries <= list.last; tries++) {
        row += step;
        if (row < 0)
            row = list.last;
        else if (row > list.last)
            row = 0;
        if (selectable(list, row)) {
            if (row != list.selected)
                menu_sound(SFX_MENU_MOVE);
            return row;
        }
    }
    return list.selected;
}

void draw_menu_items(BITMAP* bitmap, const MenuList& list, int x, int top,
                     const MainObjects& objects, const int* ys)
{
    if (!bitmap)
        return;
    FONT* normal = menu_font(objects, FONT_ITEM);
    FONT* selected = menu_font(objects, FONT_SELECTED);
    for (int i = 0; i <= list.last; i++) {
        const char* text = list.items[i];
        if (!text || !text[0])
            continue;
        bool enabled = !list.enabled || list.enabled[i];
        textout_ex(bitmap, i == list.selected ? selected : normal, text, x,
                   ys ? ys[i] : top + 10 * i, enabled ? -1 : MENU_DISABLED_COLOUR, 0);
    }
}

MenuAction menu_react(MenuList& list, uint16_t events, int escape_row)
{
    if (events & MENU_ESCAPE) {
        list.selected = escape_row;
        return MENU_REDRAW;
    }
    if (events & CTRL_UP) {
        list.selected = menu_move(list, -1);
        return MENU_REDRAW;
    }
    if (events & CTRL_DOWN) {
        list.selected = menu_move(list, +1);
        return MENU_REDRAW;
    }
    if (events & MENU_SELECT) {
        menu_sound(SFX_MENU_SELECT);
        return MENU_CHOSEN;
    }
    if (events & CTRL_LEFT)
        return MENU_LEFT;
    if (events & CTRL_RIGHT)
        return MENU_RIGHT;
    return MENU_NOTHING;
}

uint16_t menu_keys_held()
{
    uint16_t w = read_controls();
    if (key[KEY_SPACE] || key[KEY_ENTER])
        w |= MENU_SELECT;
    int esc = config.settings.joyesc;
    if (key[KEY_ESC] || (esc >= 0 && esc < 32 && (joystick_buttons_held() >> esc & 1)))
        w |= MENU_ESCAPE;
    return w;
}

void menu_screen_begin()
{
    menus.stale_keys = menu_keys_held();
    input.menu_input.fetch_and((uint16_t)~menus.stale_keys);
}

uint16_t menu_fresh_input()
{
    // Select is two bits: with punch stale, kick alone still selects, so a
    // select key pressed anew is never lost.
    menus.stale_keys &= menu_keys_held();
    uint16_t events = input.menu_input.load();
    if (events & menus.stale_keys)
        input.menu_input.fetch_and((uint16_t)~menus.stale_keys);
    return events & (uint16_t)~menus.stale_keys;
}

uint16_t menu_poll()
{
    input.wait_ops->wait(5);
    draw_menu_backdrop();
    present_dirty();
    return menu_fresh_input();
}

void banner_fill(BITMAP* b)
{
    clear_to_color(b, FLAME_HOT);
    for (int y = 0; y < BANNER_H; y++)
        hline(b, 0, y, BANNER_W, y <= 5 ? 160 : y + 154);
}

int flame_delta(int x, float phase_a, float phase_b)
{
    int a = (int)(std::sin(x * 0.2 + phase_a) * 500);
    int b = (int)(std::sin(phase_b) * 100);
    int k = std::abs((int)std::cos(phase_b));
    return (a - b - 2 * x + 200) / (k * 100 + 500);
}

void flame_step(BITMAP* b, FlamePhases& p)
{
    p.a = (float)(p.a - 0.03);
    p.b = (float)(p.b - 0.031);
    // The wave depends on the column only: one sine per column, not per spark.
    signed char lift[BANNER_W];
    for (int x = 0; x < BANNER_W; x++)
        lift[x] = (signed char)flame_delta(x, p.a, p.b);

    for (int i = 0; i < FLAME_SPARKS; i++) {
        int x = i % BANNER_W;
        int y = BANNER_H - std::rand() % BANNER_H;  // 1..56: the row below the bitmap feeds it
        int dx = std::rand() % 10 <= 4 ? std::rand() % 3 - 1 : 0;
        int delta = lift[x];
        if (x + dx < 0)
            x++;
        if (x + dx >= BANNER_W)
            x--;
        int v = y + 1 >= BANNER_H ? FLAME_HOT : b->line[y + 1][x + dx] + delta;
        v -= FLAME_DECAY;
        if (v < FLAME_COLD)
            v = FLAME_COLD;
        if (v > FLAME_HOT)
            v = FLAME_HOT;
        if (y < BANNER_H) {
            b->line[y][x] = (unsigned char)v;
            if (x > 0)
                b->line[y][x - 1] = (unsigned char)v;
        }
        b->line[y - 1][x] = (unsigned char)v;
    }
}

void draw_menu_backdrop()
{
    if (!menus.banner && !menus.banner_failed) {
        menus.banner = create_bitmap_ex(8, BANNER_W, BANNER_H);
        if (!menus.banner) {
            menus.banner_failed = true;  // the menus work without their flames
            diag("no memory for the menu banner\n");
            return;
        }
        banner_fill(menus.banner);
    }
    if (!menus.banner)
        return;
    flame_step(menus.banner, menus.flame_phases);
    if (!gfx.back_buffer)
        return;
    blit(menus.banner, gfx.back_buffer, 0, 0, BANNER_X, BANNER_Y, BANNER_W, BANNER_H);
    if (BITMAP* logo = main_objects().bitmap(MENU_LOGO))
        draw_sprite(gfx.back_buffer, logo, BANNER_X, BANNER_Y);
    mark_dirty(BANNER_Y, BANNER_Y + BANNER_H);
}

bool text_entry_key(TextEntry& t, int ch)
{
    char cell[2] = {0, 0};
    auto draw = [&](int index) {
        if (gfx.back_buffer && t.font)
            textout_ex(gfx.back_buffer, t.font, cell, t.x + 8 * index, t.y, -1, 0);
    };
    if (ch == 27) {
        t.length = 0;
        t.buffer[0] = 0;
        input.menu_input.store(0);
        return true;
    }
    if (ch == 13) {
        input.menu_input.store(0);
        return true;
    }
    if (ch == 8 && t.length > 0) {
        t.buffer[--t.length] = 0;
        cell[0] = '_';
        draw(t.length);
        return false;
    }
    if (t.length >= t.max_length)
        return false;
    if (ch >= 'a' && ch <= 'z')
        ch -= 32;
    if (ch >= 32 && ch <= 95) {
        cell[0] = (char)ch;
        draw(t.length);
        t.buffer[t.length++] = (char)ch;
        t.buffer[t.length] = 0;
    }
    return false;
}

namespace {

// Enter or Escape ended a prompt through the key buffer, which the input
// timer may not have caught up with: left alone it would latch that key
// for the menu after the prompt's last clear, reopening the prompt or
// leaving the menu. So the key is let go first (a second at most), a few
// timer periods pass, and then the events are cleared.
void wait_entry_key_release()
{
    for (int i = 0; i < 100 && (key[KEY_ENTER] || key[KEY_ENTER_PAD] || key[KEY_ESC]) &&
                    !input.close_requested.load();
         i++)
        menu_wait(10);
    menu_wait(ENTRY_SETTLE_MS);
    input.menu_input.store(0);
}

}  // namespace

void text_entry(char* buffer, int x, int y, FONT* f, int max_length)
{
    clear_keybuf();
    buffer[0] = 0;
    TextEntry t{buffer, 0, max_length, x, y, f};
    if (gfx.back_buffer && f)
        for (int j = max_length - 1; j >= 0; j--)
            textout_ex(gfx.back_buffer, f, "_", x + 8 * j, y, -1, 0);
    mark_dirty(y, y + 9);
    clear_keybuf();
    for (;;) {
        present_dirty();
        menu_wait(10);
        if (input.close_requested.load()) {  // as Escape: nothing entered
            buffer[0] = 0;
            input.menu_input.store(0);
            return;
        }
        if (!keypressed())
            continue;
        if (text_entry_key(t, readkey() & 0xFF)) {
            wait_entry_key_release();
            return;
        }
        mark_dirty(y, y + 9);
    }
}
