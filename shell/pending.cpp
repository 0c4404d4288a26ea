// Stand-ins for calls into subsystems whose real code has not landed yet.
// Each does what its subsystem does when it has nothing to do. Delete a
// stand-in in the same commit that brings the real function.
#include <allegro.h>

#include "audio/music.h"
#include "frontend/menu.h"
#include "game/scores.h"
#include "game/session.h"
#include "gfx/display.h"
#include "input/input.h"
#include "shell/options.h"
#include "shell/startup.h"

namespace {

FONT* datafile_font(int index) {
    if (!main_data) return font;
    for (int n = 0; n <= index; n++)
        if (main_data[n].type == DAT_END) return font;
    return main_data[index].type == DAT_FONT ? static_cast<FONT*>(main_data[index].dat) : font;
}

// The plain screen: the version line and how to start. Enter plays a game
// from the story on, as the title menu's "START GAME" will; Escape or the
// close button quits. F1 saves a screenshot as it will in play.
void show_version_screen() {
    if (!back_buffer) return;
    bool redraw = true;
    while (!close_requested.load()) {
        if (redraw) {
            clear_picture(back_buffer);
            textprintf_centre_ex(back_buffer, datafile_font(20), PICTURE_W / 2, PICTURE_H / 2 - 16,
                                 makecol(255, 255, 255), -1, "Nightward v%s (%s build)",
                                 NWD_VERSION, NWD_BUILD);
            textout_centre_ex(back_buffer, datafile_font(16), "ENTER: PLAY    ESC: QUIT",
                              PICTURE_W / 2, PICTURE_H / 2 + 8, makecol(255, 255, 255), -1);
            present_all();
            clear_keybuf();
            redraw = false;
        }
        if (keypressed()) {
            int k = readkey() >> 8;
            if (k == KEY_ESC) break;
            if (k == KEY_F1) save_screenshot();
            if (k == KEY_ENTER || k == KEY_SPACE) {
                run_game(nullptr, 0, static_cast<int16_t>(launch.mode), 0, launch.skill, 1);
                redraw = true;
                continue;
            }
        }
        display_wait_retrace();
        present_all();  // the window may have been uncovered
    }
}

}  // namespace

// frontend/menu
void title_menu() { show_version_screen(); }
void menu_wait(int ms) {
    for (; ms > 0; ms -= 10) {
        music_poll();
        rest(10);
    }
}

// frontend: until the pause menu exists, Escape ends the game as "END GAME".
int pause_menu() { return -1; }
void menu_wait_or_select(int ms) {
    menu_input.store(0);
    for (; ms > 0 && !close_requested.load(); ms -= 10) {
        music_poll();
        rest(10);
        if (menu_input.load() & MENU_SELECT) {
            menu_input.store(0);
            return;
        }
    }
}
