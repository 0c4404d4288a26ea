// Everything the menus hold for the run: the screens they call, the
// banner's flames, the game setup menu's selection.
#pragma once

#include "frontend/menu.h"

struct MenuState {
    const MenuOps* ops = &default_menu_ops;
    // How the replay menu asks for a file name; tests replace it.
    void (*replay_text_entry)(char* buffer, int x, int y, FONT* font, int max_length) = text_entry;
    BITMAP* banner = nullptr;  // the flames, made at the first menu
    bool banner_failed = false;
    FlamePhases flame_phases = {0.0f, 42.0f};
    int setup_selected = SETUP_ROW_NEW_GAME;  // kept from one call to the next
    uint16_t stale_keys = 0;                  // see menu_screen_begin
};
extern MenuState menus;

// As at start-up: the real screens and name entry, no banner (one made is
// freed), the flames and the setup menu's selection as they begin.
void menus_state_reset();
