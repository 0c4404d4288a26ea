#include "frontend/state.h"

#include <allegro.h>

MenuState menus;

void menus_state_reset()
{
    menus.ops = &default_menu_ops;
    menus.replay_text_entry = text_entry;
    if (menus.banner)
        destroy_bitmap(menus.banner);
    menus.banner = nullptr;
    menus.banner_failed = false;
    menus.flame_phases = {0.0f, 42.0f};
    menus.setup_selected = SETUP_ROW_NEW_GAME;
    menus.stale_keys = 0;
}
