// Stand-ins for calls into subsystems whose real code has not landed yet.
// Each does what its subsystem does when it has nothing to do. Delete a
// stand-in in the same commit that brings the real function.
#include <allegro.h>

#include "audio/music.h"
#include "audio/sfx.h"
#include "frontend/menu.h"
#include "game/scores.h"
#include "game/session.h"
#include "gfx/display.h"
#include "input/input.h"
#include "shell/options.h"
#include "shell/startup.h"

namespace {

// The plain screen: the version line until Escape or the close button.
// F1 saves a screenshot as it will in play.
void show_version_screen() {
    if (!back_buffer) return;
    clear_picture(back_buffer);
    const FONT* f = font;
    if (main_data) {
        int n = 0;
        while (main_data[n].type != DAT_END && n <= 20) n++;
        if (n > 20 && main_data[20].type == DAT_FONT) f = static_cast<FONT*>(main_data[20].dat);
    }
    textprintf_centre_ex(back_buffer, f, PICTURE_W / 2, PICTURE_H / 2 - 4,
                         makecol(255, 255, 255), -1, "Nightward v%s (%s build)", NWD_VERSION,
                         NWD_BUILD);
    present_all();
    clear_keybuf();
    while (!close_requested.load()) {
        if (keypressed()) {
            int k = readkey() >> 8;
            if (k == KEY_ESC) break;
            if (k == KEY_F1) save_screenshot();
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

// game/scores: the built-in tables stay as they are.
void scores_load() {}
void scores_save() {}
uint16_t best_score(int) { return 0; }
bool score_qualifies(int, uint16_t) { return false; }
int score_insert(int, uint16_t, int16_t) { return 10; }
void draw_score_table(int, int, BITMAP*, int, int, FONT*, FONT*, FONT*, FONT*) {}
void enter_name(int, int, int, FONT*, int) {}

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

// audio: no sound device means a silent game.
int sfx_init(const char*) { return 1; }
void sfx_shutdown() {}
int music_init() { return 0; }
void music_set_volume(int) {}
void music_stop() {}
void music_poll() {}
void playlist_init(const ConfigEntry*, char*) {}
int music_play(int, const char*, const char*) { return 0; }
int music_get_volume() { return 0; }
void music_volume_up() {}
void music_volume_down() {}
void sfx_play(int, int, int) {}
void sfx_stop_all() {}
