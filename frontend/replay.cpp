// The replay menu: the current demo (the last game played or a loaded file)
// described, played, replaced from a file or saved to one.
#include <allegro.h>

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <cstdio>
#include <cstring>

#include "audio/sfx.h"
#include "demo/state.h"
#include "engine/diag.h"
#include "frontend/menu.h"
#include "frontend/state.h"
#include "game/scores.h"
#include "game/session.h"
#include "gfx/display.h"
#include "gfx/objects.h"
#include "gfx/state.h"
#include "input/state.h"

namespace {

const char* const REPLAY_ITEMS[] = {"PLAY", "LOAD", "SAVE"};
enum { REPLAY_PLAY, REPLAY_LOAD, REPLAY_SAVE };
constexpr int ITEMS_X = 130;
constexpr int LABEL_X = 90, VALUE_X = 190, ENTRY_X = 170;
constexpr int NAME_LENGTH = 15;
constexpr int MESSAGE_MS = 1000;
constexpr int STORY_LEVEL = 6;  // a game begun from the story
const char* const NO_DEMO_MESSAGE = "NO DEMO: PLAY OR LOAD ONE";

void draw_demo_info(int top, const MainObjects& o)
{
    FONT* value = menu_font(o, FONT_ITEM);
    textout_ex(gfx.back_buffer, menu_font(o, FONT_HIGHLIGHT), "CURRENT DEMO", LABEL_X, top + 40, -1,
               -1);
    if (!demos.last_game) {
        textout_ex(gfx.back_buffer, menu_font(o, FONT_SMALL), "(NONE)", LABEL_X, top + 60, -1, -1);
        return;
    }
    DemoHeader h = demo_header(demos.last_game);
    FONT* label = menu_font(o, FONT_HEADING);
    const char* labels[] = {"LEVEL:", "MODE:", "DIFFICULTY:", "DURATION:"};
    for (int i = 0; i < 4; i++)
        textout_ex(gfx.back_buffer, label, labels[i], LABEL_X, top + 60 + 10 * i, -1, -1);

    char text[32];
    // Only the streets have numbers; any other row is no place to start from.
    if (h.level == STORY_LEVEL)
        snprintf(text, sizeof text, "START");
    else if (h.level >= 1 && h.level <= 5)
        snprintf(text, sizeof text, "%d", h.level);
    else
        snprintf(text, sizeof text, "?");
    textout_ex(gfx.back_buffer, value, text, VALUE_X, top + 60, -1, -1);
    textout_ex(gfx.back_buffer, value, mode_name(h.mode), VALUE_X, top + 70, -1, -1);
    draw_skill_label(h.skill, gfx.back_buffer, value, menu_font(o, FONT_SELECTED), VALUE_X,
                     top + 80);
    demo_duration_text(h.frames, text, sizeof text);
    textout_ex(gfx.back_buffer, value, text, VALUE_X, top + 90, -1, 0);
}

void redraw(const MenuList& list, int top)
{
    display_wait_retrace();
    input.menu_input.store(0);
    clear_picture(gfx.back_buffer);
    if (gfx.back_buffer) {
        MainObjects o = main_objects();
        draw_menu_items(gfx.back_buffer, list, ITEMS_X, top, o);
        draw_demo_info(top, o);
    }
    mark_dirty(0, PICTURE_H - 1);
}

// A file name typed after "FILENAME:"; empty when the player gave none.
void ask_file_name(char* name, int top)
{
    MainObjects o = main_objects();
    if (gfx.back_buffer)
        textout_ex(gfx.back_buffer, menu_font(o, FONT_HEADING), "FILENAME:", LABEL_X, top + 100, -1,
                   -1);
    mark_dirty(top + 100, top + 109);
    menus.replay_text_entry(name, ENTRY_X, top + 100, menu_font(o, FONT_ITEM), NAME_LENGTH);
}

void show_message(const char* text, int top)
{
    if (gfx.back_buffer)
        textout_ex(gfx.back_buffer, menu_font(main_objects(), FONT_ITEM), text, LABEL_X, top + 110,
                   -1, -1);
    present_all();
    input.wait_ops->wait(MESSAGE_MS);
}

// The attract demos are only borrowed; anything else is ours to free.
void drop_current_demo()
{
    for (DemoImage* b : demos.builtin)
        if (b && b == demos.last_game) {
            demos.last_game = nullptr;
            return;
        }
    demo_free(demos.last_game);
    demos.last_game = nullptr;
}

// The prompt types in upper case and the file system does not fold case:
// the name as typed, else the one file of the working folder that matches
// it ignoring case.
DemoImage* load_typed_demo(const char* name)
{
    if (!demo_name_allowed(name, false)) {
        diag("%s: not a demo name of this folder\n", name);
        return nullptr;
    }
    if (DemoImage* d = demo_load(name))
        return d;
    char found[256];
    return find_ignoring_case(name, found, sizeof found) ? demo_load(found) : nullptr;
}

void set_menu_palette()
{
    MainObjects o = main_objects();
    if (MENU_PALETTE < o.count && o.data[MENU_PALETTE].type == DAT_PALETTE)
        set_palette((RGB*)o.data[MENU_PALETTE].dat);
}

}  // namespace

bool demo_name_allowed(const char* name, bool saving)
{
    // A plain name of the working folder: no folder part, nothing hidden.
    if (!name || !name[0] || name[0] == '.' || strchr(name, '/'))
        return false;
    // Never one of the game's own files: its settings, scores, diagnostics,
    // attract demos, playlists, data and programs (which an empty data
    // prefix puts in this folder too), nor a file the writer leaves aside.
    static const char* const RESERVED[] = {"default.cfg", "SCORES", "stderr.txt"};
    static const char* const SUFFIXES[] = {".bad",  ".bad2", ".tmp", ".lst", ".dat", ".amc",
                                           ".amcs", ".wav",  ".mod", ".xm",  ".s3m", ".it"};
    for (const char* r : RESERVED)  // the file itself, or one kept aside beside it
        if (strncasecmp(name, r, strlen(r)) == 0 && (!name[strlen(r)] || name[strlen(r)] == '.'))
            return false;
    size_t n = strlen(name);
    for (const char* x : SUFFIXES)
        if (n > strlen(x) && strcasecmp(name + n - strlen(x), x) == 0)
            return false;
    if (!saving)
        return true;
    for (int k = 1; k <= 3; k++) {
        char attract[8];
        snprintf(attract, sizeof attract, "DEMO%d", k);
        if (strcasecmp(name, attract) == 0)
            return false;
    }
    // Only a regular file of this folder is replaced, never what a link
    // leads to elsewhere.
    struct stat st;
    return lstat(name, &st) != 0 || S_ISREG(st.st_mode);
}

bool find_ignoring_case(const char* name, char* out, size_t size)
{
    if (!name[0] || strchr(name, '/'))
        return false;
    DIR* dir = opendir(".");
    if (!dir)
        return false;
    bool found = false;
    while (dirent* e = readdir(dir))
        if (strcasecmp(e->d_name, name) == 0 && strlen(e->d_name) < size) {
            snprintf(out, size, "%s", e->d_name);
            found = true;
            break;
        }
    closedir(dir);
    return found;
}

void demo_duration_text(uint32_t frames, char* out, int size)
{
    long minutes = (long)(frames / 4320);
    long seconds = (long)(frames / 72 % 60);
    if (minutes)
        snprintf(out, size, "%ld'%ld\"", minutes, seconds);
    else
        snprintf(out, size, "%ld\"", seconds);
}

void replay_menu(int top)
{
    MenuList list{REPLAY_ITEMS, REPLAY_SAVE, nullptr, REPLAY_PLAY};
    char name[NAME_LENGTH + 1];
    redraw(list, top);
    for (;;) {
        uint16_t in = menu_poll();
        if (input.close_requested.load())
            return;
        if (!in)
            continue;
        if (in & MENU_ESCAPE)
            return;
        if (in & (CTRL_UP | CTRL_DOWN)) {
            list.selected = menu_move(list, in & CTRL_UP ? -1 : +1);
            redraw(list, top);
            continue;
        }
        if (!(in & MENU_SELECT))
            continue;
        if (!demos.last_game && list.selected != REPLAY_LOAD) {
            // Nothing to play or save: the player hears it was seen and reads why.
            show_message(NO_DEMO_MESSAGE, top);
            redraw(list, top);
            continue;
        }
        menu_sound(SFX_MENU_SELECT);
        switch (list.selected) {
        case REPLAY_PLAY:
            menus.ops->run_game(demos.last_game, 0, 0, 0, 0, 1);
            input.menu_input.store(0);
            set_menu_palette();
            break;
        case REPLAY_LOAD: {
            ask_file_name(name, top);
            if (!name[0])
                break;
            // Into a new image first: a mistyped name must not cost the
            // unsaved last game.
            DemoImage* loaded = load_typed_demo(name);
            if (!loaded) {
                show_message("ERROR:DEMO NOT LOADED", top);
                break;
            }
            drop_current_demo();
            demos.last_game = loaded;
            break;
        }
        case REPLAY_SAVE:
            ask_file_name(name, top);
            if (!name[0])
                break;
            if (!demo_name_allowed(name, true)) {
                diag("%s: not a demo name of this folder\n", name);
                show_message("ERROR:DEMO NOT SAVED", top);
                break;
            }
            show_message(demo_save(demos.last_game, name) ? "ERROR:DEMO NOT SAVED" : "DONE!", top);
            break;
        }
        if (input.close_requested.load())
            return;
        redraw(list, top);
    }
}
