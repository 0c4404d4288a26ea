// The menus and the helpers other screens share with them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gfx/objects.h"

struct BITMAP;
struct FONT;
struct DemoImage;

void draw_menu_backdrop();
void text_entry(char* buffer, int x, int y, FONT* font, int max_length);
const char* mode_name(int mode);

// A message the player must not miss (a file that could not be read or
// written): word-wrapped across the middle of a cleared picture and shown
// for `ms` milliseconds, or until select, Escape or the close button.
// Does nothing while there is no picture or no screen.
constexpr int NOTICE_MS = 4000;
void show_notice(const char* text, int ms = NOTICE_MS);
// The lines show_notice cuts `text` into for a width of `width` pixels,
// measured by `measure`; at most `max_lines`, each NUL-terminated in a
// NOTICE_LINE-byte row of `lines`.
constexpr int NOTICE_LINE = 64;
int wrap_notice(const char* text, int width, int (*measure)(const char* line, void* user),
                void* user, char (*lines)[NOTICE_LINE], int max_lines);
const char* cheat_keys_name(int cheatkeys);
// The library's name of a key ("KEY n" when there is no keyboard driver),
// in a buffer the next call reuses.
const char* key_display_name(int scancode);
// A library key name as our own screens show it: "Shift_L" is "LEFT SHIFT",
// "Control_R" "RIGHT CTRL", "Up" "UP" (cut to fit `size`).
void plain_key_name(const char* raw, char* out, int size);
// key_plain_name(k): the plain name of scancode k, in a reused buffer.
const char* key_plain_name(int scancode);

void title_menu();  // returns when QUIT is chosen
int pause_menu();   // 0 continue, -1 end the game
void options_menu(int top);
int game_setup_menu(int top);  // -1 back, 0 new game, 1..5 train level n
void replay_menu(int top);
// The move list, until select or Escape.
void moves_screen();
// Its right-hand text of line `line` (0 .. moves_lines() - 1), with the
// player's keys where a line names a control.
int moves_lines();
void moves_text(int line, char* out, int size);

// Main datafile objects every menu uses.
enum {
    MENU_LOGO = 6,
    MENU_PALETTE = 25,
};
constexpr int MENU_DISABLED_COLOUR = 53;

// A font object of the main datafile, or the library's own font when the
// datafile has none there, so a menu always has something to write with.
FONT* menu_font(const MainObjects& objects, int index);

// The menus' own sounds (the cursor moving, a choice made), centred; nothing
// when the game runs without sound.
void menu_sound(int effect);

// The screens the menus call; tests replace them so a menu runs without a
// display or a game.
struct MenuOps {
    int (*game_setup)(int top);
    void (*options)(int top);
    void (*replay)(int top);
    int (*run_game)(DemoImage* demo, uint32_t start_frame, int16_t mode, int16_t level,
                    int16_t skill, int with_music);
    void (*wipe_in)(void (*callback)());
    void (*moves)();
};
extern const MenuOps default_menu_ops;

// A vertical list of items. An empty text is a blank row; `enabled` (null:
// every row) marks the rows the cursor may land on. Row 0 is always enabled.
struct MenuList {
    const char* const* items;
    int last;            // index of the last row
    const int* enabled;  // 1 = selectable
    int selected;
};

// The row one step up (-1) or down (+1) from the selection, wrapping at
// either end and passing over rows that cannot be selected.
int menu_move(const MenuList& list, int step);

// Every row at x, top + 10 * index (or at ys[index] when given): font 22
// for the selection, 21 for the others, grey for disabled rows, on
// background colour 0.
void draw_menu_items(BITMAP* bitmap, const MenuList& list, int x, int top,
                     const MainObjects& objects, const int* ys = nullptr);

// What the pending MenuInput asks of a list, the first that applies in the
// order escape, up, down, select, left, right. Escape selects `escape_row`;
// up and down move the cursor. MENU_NOTHING leaves the bits where they are.
enum MenuAction {
    MENU_NOTHING,
    MENU_REDRAW,  // the selection changed
    MENU_CHOSEN,  // select on the selected row
    MENU_LEFT,
    MENU_RIGHT,
};
MenuAction menu_react(MenuList& list, uint16_t events, int escape_row);

// One turn of a menu's poll loop: a short wait, the flames, the changed rows
// to the display. Returns the pending MenuInput, less the stale keys.
uint16_t menu_poll();

// Keys down as a screen appears (mashed through GAME OVER, the Escape that
// ended a demo) are stale: their MenuInput bits do nothing until that key
// has been let go, while any other press works at once.
// menu_screen_begin marks what is held now and drops their pending events;
// menu_fresh_input forgets the stale keys let go since, drops their pending
// events and returns the rest.
void menu_screen_begin();
uint16_t menu_fresh_input();
// The MenuInput bits of the keys and buttons held now.
uint16_t menu_keys_held();

// The flames behind the logo: an 8-bit 200x56 bitmap whose pixels are fire
// colours and carry the flame from one step to the next.
constexpr int BANNER_W = 200;
constexpr int BANNER_H = 56;
constexpr int FLAME_COLD = 163;
constexpr int FLAME_HOT = 209;
struct FlamePhases {
    float a, b;  // drift of the sine wave that nudges the flames
};
void banner_fill(BITMAP* banner);  // the initial gradient
// How much the wave lifts column x this step: -1, 0 or +1.
int flame_delta(int x, float phase_a, float phase_b);
void flame_step(BITMAP* banner, FlamePhases& phases);

// The line editor behind text_entry, one character at a time. Echoes into
// the BackBuffer on an 8-pixel pitch. True once the entry is over (Enter,
// or Escape, which empties the text).
struct TextEntry {
    char* buffer;  // at least max_length + 1 bytes
    int length, max_length;
    int x, y;
    FONT* font;
};
bool text_entry_key(TextEntry& entry, int ch);

// The options menu's rows that the pieces below name.
enum {
    OPT_DRIVER = 0,
    OPT_SIZE = 1,
    OPT_POWER = 3,
    OPT_MUSIC_LIST = 5,
    OPT_MUSIC_VOLUME = 6,
    OPT_SOUND_VOLUME = 7,
    OPT_KEY_UP = 9,  // KEY DOWN, LEFT, RIGHT, KICK, PUNCH follow
    OPT_KEY_PUNCH = 14,
    OPT_BUTTON_KICK = 16,  // BUTTON PUNCH, PAUSE, ESC follow
    OPT_BUTTON_ESC = 19,
    OPT_CHEAT_KEYS = 21,
    OPT_ROWS = 22,
};

// The rows of screen_size_table a driver of that windowing offers: the
// first matching `width` x `height`, else AUTO (window) or 320*240 (full
// screen); the next or previous offered row, or `index` itself at the end.
int find_size(int width, int height, int windowed);
int next_size(int index, int windowed);
int prev_size(int index, int windowed);

// Whether the key capture of options row `row` (KEY UP .. KEY PUNCH) may
// bind `scancode`.
bool key_capture_allows(int row, int scancode);

// The y of options row `row` for a menu drawn from `top`: a blank row is
// half as tall as the others, so every row fits the picture.
int options_row_y(int top, int row);

// Binds `scancode` to KEY row `row`; keys[i] is the binding of row
// OPT_KEY_UP + i. A key another row of the same group (the four
// directions, or kick and punch) holds changes hands: that row takes this
// row's old key when it may. Across the groups, or when the other row may
// not take it, nothing changes. The other row (or -1) in `*other`; false
// when refused.
bool bind_key(int16_t* const* keys, int row, int scancode, int* other);

// A button binding stepped by `step` (-1 or +1) through -1 (none) and
// 0 .. buttons - 1, wrapping at either end.
int button_cycle(int button, int buttons, int step);

// The game setup menu's row selected when it first opens.
constexpr int SETUP_ROW_NEW_GAME = 3;
// The y of game setup row `row` for a menu drawn from `top`: blank rows are
// half as tall, leaving room under BACK for the notes and the hint.
int setup_row_y(int top, int row);

// The replay menu's DURATION text for a demo of `frames` ticks.
void demo_duration_text(uint32_t frames, char* out, int size);

// A file of the working folder whose name equals `name` ignoring case,
// into `out`; false when there is none (or `name` names a folder too).
bool find_ignoring_case(const char* name, char* out, size_t size);
// Whether the replay menu takes a typed name: a plain file of the working
// folder that is none of the game's own files; saving also spares the
// attract demos and anything but a regular file.
bool demo_name_allowed(const char* name, bool saving);
