// The move list: every control and move on one page, with the player's own
// keys. Opened from the game setup and the pause menu.
#include <allegro.h>

#include <cstdio>
#include <cstring>

#include "config/state.h"
#include "frontend/menu.h"
#include "gfx/display.h"
#include "gfx/objects.h"
#include "gfx/state.h"
#include "input/state.h"

namespace {

constexpr int NAME_X = 24, TEXT_X = 112;
constexpr int HEADING_Y = 8, FOOTER_Y = 222;
constexpr int TEXT_CHARS = (PICTURE_W - TEXT_X) / 8;  // what the right column holds

struct MoveLine {
    int y;
    const char* name;  // empty: a second line of the move above
    const char* text;  // empty: the keys of `name`, filled in when drawn
};

// clang-format off
constexpr MoveLine LINES[] = {
    {28, "WALK", ""},
    {39, "PUNCH", ""},
    {50, "KICK", ""},
    {63, "COMBO", "PUNCH AS EACH LANDS:"},
    {72, "", "JAB, CROSS, UPPERCUT"},
    {85, "JUMP KICK", "PUNCH + KICK TOGETHER"},
    {96, "BACK KICK", "PUNCH + KICK, BACK HELD"},
    {107, "RUN", "TAP FORWARD TWICE, HOLD"},
    {118, "DASH", "PUNCH WHILE RUNNING"},
    {131, "GRAB", "WALK INTO A DAZED ENEMY"},
    {142, "KNEE", "PUNCH WHILE HOLDING"},
    {153, "THROW", "KICK WHILE HOLDING"},
    {166, "WHIRLWIND", "UP+PUNCH+KICK, 1 STAR"},
    {175, "", "NO STAR: COSTS LIFE"},
    {188, "PAUSE MENU", "ESC (THIS LIST IS THERE)"},
    {199, "FREEZE", "PAUSE"},
};
// clang-format on
constexpr int TIP_Y = 211;
const char* const TIP = "TIP: HIT THEM AS THEY WIND UP";
const char* const FOOTER = "ENTER OR ESC: BACK";

// A key, and the pad's button for it when there is one.
void key_and_button(char* out, int size, int scancode, int button)
{
    if (input.joystick_enabled && button >= 0)
        snprintf(out, size, "%s OR %s", key_plain_name(scancode), joystick_button_name(button));
    else
        snprintf(out, size, "%s", key_plain_name(scancode));
}

}  // namespace

void moves_text(int line, char* out, int size)
{
    const GameConfig& c = config.settings;
    const char* name = LINES[line].name;
    if (LINES[line].text[0]) {
        snprintf(out, size, "%s", LINES[line].text);
    } else if (strcmp(name, "PUNCH") == 0) {
        key_and_button(out, size, c.keypunch, c.joypunch);
    } else if (strcmp(name, "KICK") == 0) {
        key_and_button(out, size, c.keykick, c.joykick);
    } else if (c.keyup == KEY_UP && c.keydown == KEY_DOWN && c.keyleft == KEY_LEFT &&
               c.keyright == KEY_RIGHT) {
        snprintf(out, size, "ARROW KEYS");
    } else {  // the arrows always walk too
        char keys[4][24];
        const int16_t bound[4] = {c.keyup, c.keydown, c.keyleft, c.keyright};
        for (int i = 0; i < 4; i++)
            snprintf(keys[i], sizeof keys[i], "%s", key_plain_name(bound[i]));
        snprintf(out, size, "%s %s %s %s, ARROWS", keys[0], keys[1], keys[2], keys[3]);
    }
    if (size > TEXT_CHARS && (int)strlen(out) > TEXT_CHARS)
        out[TEXT_CHARS] = 0;  // a long key name must not run off the picture
}

int moves_lines() { return (int)(sizeof LINES / sizeof LINES[0]); }

void moves_screen()
{
    if (gfx.back_buffer) {
        MainObjects o = main_objects();
        FONT *name = menu_font(o, FONT_SELECTED), *text = menu_font(o, FONT_ITEM);
        FONT* small = menu_font(o, FONT_SMALL);
        clear_picture(gfx.back_buffer);
        textout_centre_ex(gfx.back_buffer, menu_font(o, FONT_HEADING),
                          "=== MOVES ===", PICTURE_W / 2, HEADING_Y, -1, -1);
        char line[64];
        for (int i = 0; i < moves_lines(); i++) {
            textout_ex(gfx.back_buffer, name, LINES[i].name, NAME_X, LINES[i].y, -1, -1);
            moves_text(i, line, sizeof line);
            textout_ex(gfx.back_buffer, text, line, TEXT_X, LINES[i].y, -1, -1);
        }
        textout_centre_ex(gfx.back_buffer, small, TIP, PICTURE_W / 2, TIP_Y, -1, -1);
        textout_centre_ex(gfx.back_buffer, small, FOOTER, PICTURE_W / 2, FOOTER_Y, -1, -1);
        present_all();
    }
    input.menu_input.store(0);
    for (;;) {
        input.wait_ops->wait(5);
        if (input.close_requested.load())
            return;
        uint16_t in = input.menu_input.load();
        if (in & (MENU_SELECT | MENU_ESCAPE))
            break;
        if (in)
            input.menu_input.store(0);  // nothing else to do here
    }
    input.menu_input.store(0);
}
