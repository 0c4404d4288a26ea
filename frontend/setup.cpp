// The game setup menu: mode and difficulty, then a new game or a training
// level up to the furthest street reached.
#include <allegro.h>

#include "audio/sfx.h"
#include "config/state.h"
#include "frontend/menu.h"
#include "frontend/state.h"
#include "game/scores.h"
#include "game/session.h"
#include "game/state.h"
#include "gfx/display.h"
#include "gfx/objects.h"
#include "gfx/state.h"
#include "input/state.h"

namespace {

enum {
    SETUP_MODE,
    SETUP_DIFFICULTY,
    SETUP_NEW_GAME = SETUP_ROW_NEW_GAME,
    SETUP_MOVES = 4,
    SETUP_TRAIN_1 = 6,
    SETUP_TRAIN_5 = 10,
    SETUP_BACK = 12,
};
const char* const SETUP_ITEMS[] = {"GAME MODE",     "DIFFICULTY",    "",
                                   "NEW GAME",      "MOVES",         "",
                                   "TRAIN LEVEL 1", "TRAIN LEVEL 2", "TRAIN LEVEL 3",
                                   "TRAIN LEVEL 4", "TRAIN LEVEL 5", "",
                                   "BACK"};
constexpr int ITEMS_X = 90;
constexpr int HINT_X = 142;  // beside MOVES
const char* const FIRST_GAME_HINT = "<- NEW? READ THIS";
constexpr int VALUE_X = 194;
constexpr int FREE_SKILL_MAX = 7;  // HARDEST; the MASTER grades need a fire key held
constexpr int SKILL_MIN = 3, SKILL_MAX = 12;
constexpr int ROW_PITCH = 10, BLANK_PITCH = 5;
// Under BACK: the mode's two lines, then what the selected row takes, on the
// options screen's hint line.
constexpr int NOTE_DOWN = 16, NOTE_PITCH = 9, HINT_DOWN = 39;

// What each mode is, in the menu's own column: at most 26 characters, so no
// line reaches past the menu on either side.
const char* const MODE_NOTES[3][2] = {
    {"3 LIVES, 1 WHIRLWIND STAR", "EXTRA LIFE EVERY 70000"},
    {"1 LIFE, ENERGY CARRIES ON", "BIG WAVES, LATER MEN EARLY"},
    {"LIFE DRAINS, BLOWS DRINK", "MEN COME ONE AFTER ANOTHER"},
};
// What each skill is, shown instead while DIFFICULTY is selected: EASIEST to
// HARDEST, then one pair for the MASTER grades. Below NORMAL a game unlocks
// no street to start on; the MASTER grades need a fire key held (punch, kick,
// Space or Enter) while Right is pressed, which HARDEST says.
const char* const SKILL_NOTES[6][2] = {
    {"SLOW ENEMIES, SOFT BLOWS", "UNLOCKS NO STARTING STREET"},
    {"GENTLER FIGHTS", "UNLOCKS NO STARTING STREET"},
    {"THE GAME AS DESIGNED", "UNLOCKS STARTING STREETS"},
    {"QUICKER, HARDER BLOWS", "THEY FEINT, DODGE, FLANK"},
    {"TOUGH, QUICK AND MANY", "HOLD PUNCH + RIGHT: MASTER"},
    {"HARDER THAN HARDEST", "ONE MARK MORE EACH STEP"},
};
// The rows that are not the game's settings say what they lead to, so that
// the notes follow the cursor down the menu. The TRAIN LEVEL rows are no
// tutorial: they start a game on a street reached before (see note_progress).
const char* const MOVES_NOTES[2] = {"EVERY MOVE, HOW TO DO IT", "ON ONE PAGE"};
const char* const TRAIN_NOTES[2] = {"START ON A STREET YOU HAVE", "REACHED ON NORMAL OR ABOVE"};
const char* const BACK_NOTES[2] = {"BACK TO THE TITLE", ""};
// Enter does nothing on the value rows (held, it unlocks the MASTER grades),
// so they say what does.
const char* const HINT_CHANGE = "LEFT, RIGHT: CHANGE";
const char* const HINT_CHOOSE = "ENTER: CHOOSE";
// NEW GAME also points up to the rows above it, which newcomers passed by.
const char* const HINT_NEW_GAME = "ENTER: GO  UP: MODE, SKILL";

// The two note lines under BACK: the skill's on DIFFICULTY, what the row
// leads to on MOVES, a training street or BACK, else the mode's.
const char* const* notes_for(int selected)
{
    if (selected == SETUP_MOVES)
        return MOVES_NOTES;
    if (selected >= SETUP_TRAIN_1 && selected <= SETUP_TRAIN_5)
        return TRAIN_NOTES;
    if (selected == SETUP_BACK)
        return BACK_NOTES;
    int skill = config.settings.difficulty;
    if (selected == SETUP_DIFFICULTY && skill >= SKILL_MIN && skill <= SKILL_MAX)
        return SKILL_NOTES[skill <= FREE_SKILL_MAX ? skill - SKILL_MIN : 5];
    int m = config.settings.mode >= 1 && config.settings.mode <= 3 ? config.settings.mode - 1 : 0;
    return MODE_NOTES[m];
}

void redraw(const MenuList& list, int top)
{
    clear_picture(gfx.back_buffer);
    input.menu_input.store(0);
    MainObjects o = main_objects();
    int ys[SETUP_BACK + 1];
    for (int row = 0; row <= SETUP_BACK; row++)
        ys[row] = setup_row_y(top, row);
    draw_menu_items(gfx.back_buffer, list, ITEMS_X, top, o, ys);
    if (gfx.back_buffer) {
        FONT* f = menu_font(o, FONT_ITEM);
        textout_ex(gfx.back_buffer, f, mode_name(config.settings.mode), VALUE_X, ys[SETUP_MODE], -1,
                   0);
        draw_skill_label(config.settings.difficulty, gfx.back_buffer, f,
                         menu_font(o, FONT_SELECTED), VALUE_X, ys[SETUP_DIFFICULTY]);
        FONT* note = menu_font(o, FONT_SMALL);
        int below = ys[SETUP_BACK];
        const char* const* notes = notes_for(list.selected);
        for (int i = 0; i < 2; i++)
            textout_ex(gfx.back_buffer, note, notes[i], ITEMS_X, below + NOTE_DOWN + NOTE_PITCH * i,
                       -1, -1);
        bool value_row = list.selected == SETUP_MODE || list.selected == SETUP_DIFFICULTY;
        const char* hint = value_row                          ? HINT_CHANGE
                           : list.selected == SETUP_NEW_GAME ? HINT_NEW_GAME
                                                             : HINT_CHOOSE;
        textout_ex(gfx.back_buffer, note, hint, ITEMS_X, below + HINT_DOWN, -1, -1);
        // Until a street past the first has been reached, the list is pointed out.
        if (game.furthest_level < 2)
            textout_ex(gfx.back_buffer, note, FIRST_GAME_HINT, HINT_X, ys[SETUP_MOVES], -1, -1);
    }
    mark_dirty(0, PICTURE_H - 1);
}

// Left and right on the two value rows; true when the value changed.
bool change_value(int row, uint16_t in)
{
    const bool left = in & CTRL_LEFT, right = in & CTRL_RIGHT;
    int16_t& mode = config.settings.mode;
    int16_t& skill = config.settings.difficulty;
    if (row == SETUP_MODE) {
        if (right)
            mode = (int16_t)(mode % 3 + 1);
        else if (left)
            mode = (int16_t)((mode + 1) % 3 + 1);
        return left || right;
    }
    if (row != SETUP_DIFFICULTY)
        return false;
    if (right && skill < FREE_SKILL_MAX)
        skill++;
    else if (right && skill < SKILL_MAX && fire_held())
        skill++;
    else if (left && skill > SKILL_MIN)
        skill--;
    else
        return false;
    return true;
}

}  // namespace

int setup_row_y(int top, int row)
{
    int y = top;
    for (int i = 0; i < row && i <= SETUP_BACK; i++)
        y += SETUP_ITEMS[i][0] ? ROW_PITCH : BLANK_PITCH;
    return y;
}

int game_setup_menu(int top)
{
    int enabled[SETUP_BACK + 1];
    for (int row = 0; row <= SETUP_BACK; row++)
        enabled[row] = SETUP_ITEMS[row][0] != 0;
    for (int n = 2; n <= 5; n++)
        enabled[SETUP_TRAIN_1 + n - 1] = game.furthest_level >= n;
    if (menus.setup_selected < 0 || menus.setup_selected > SETUP_BACK ||
        !enabled[menus.setup_selected])
        menus.setup_selected = SETUP_NEW_GAME;
    MenuList list{SETUP_ITEMS, SETUP_BACK, enabled, menus.setup_selected};

    redraw(list, top);
    menu_screen_begin();
    for (;;) {
        uint16_t in = menu_poll();
        if (input.close_requested.load())
            return -1;
        if (!in)
            continue;
        if (in & MENU_ESCAPE)
            return -1;
        if (in & (CTRL_UP | CTRL_DOWN)) {
            menus.setup_selected = list.selected = menu_move(list, in & CTRL_UP ? -1 : +1);
            redraw(list, top);
            continue;
        }
        int row = list.selected;
        if (in & MENU_SELECT) {
            int chosen = row == SETUP_NEW_GAME                          ? 0
                         : row >= SETUP_TRAIN_1 && row <= SETUP_TRAIN_5 ? row - SETUP_TRAIN_1 + 1
                         : row == SETUP_BACK                            ? -1
                                                                        : -2;
            if (chosen != -2) {
                menu_sound(SFX_MENU_SELECT);
                return chosen;
            }
            if (row == SETUP_MOVES) {
                menu_sound(SFX_MENU_SELECT);
                menus.ops->moves();
                if (input.close_requested.load())
                    return -1;
                redraw(list, top);
                menu_screen_begin();
                continue;
            }
        }
        if (change_value(row, in))
            redraw(list, top);
        else if (in & (CTRL_LEFT | CTRL_RIGHT | MENU_SELECT))
            input.menu_input.store(0);  // an end of the range, or select on a value row: used up
    }
}
