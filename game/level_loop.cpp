#include "game/level_loop.h"

#include <allegro.h>

#include "audio/music.h"
#include "config/state.h"
#include "engine/actor.h"
#include "engine/amc_vm.h"
#include "game/clock.h"
#include "game/session.h"
#include "game/state.h"
#include "gfx/display.h"
#include "gfx/hud.h"
#include "gfx/level.h"
#include "gfx/main_data.h"
#include "gfx/objects.h"
#include "gfx/scene.h"
#include "gfx/state.h"
#include "input/state.h"

namespace {

constexpr int PAUSE_PICTURE = 368;
constexpr int PAUSE_X = 268;

void rest_ms(unsigned ms) { rest(ms); }

void present_frame()
{
    display_wait_retrace();  // sleeps: vsync would spin a core under X11
    present_dirty();
}

// Item cheats: the key, the item it gives and its count (0: the item's own).
struct ItemCheat {
    int scancode;
    int16_t item;
    int16_t count;
};
constexpr ItemCheat ITEM_CHEATS[] = {
    {KEY_K, IT_KNIFE, 0},    {KEY_P, IT_PIPE, 6},  {KEY_B, IT_BAT, 0},
    {KEY_C, IT_KNUCKLES, 0}, {KEY_D, IT_POWER, 0},
};
constexpr int JUMP_KEYS[] = {KEY_1, KEY_2, KEY_3, KEY_4, KEY_5, KEY_6, KEY_7, KEY_8, KEY_9, KEY_0};

void set_game_palette()
{
    MainObjects m = main_objects();
    if (MAIN_PALETTE < m.count && m.data[MAIN_PALETTE].type == DAT_PALETTE)
        set_palette((RGB*)m.data[MAIN_PALETTE].dat);
}

void freeze(LevelLoop& loop)
{
    game.level_ops->stop_clock();
    loop.frozen = true;
    BITMAP* pic = main_objects().bitmap(PAUSE_PICTURE);
    if (pic && gfx.back_buffer) {
        int y = loop.level <= LAST_STREET ? 40 : 52;
        draw_sprite(gfx.back_buffer, pic, PAUSE_X, y);
        mark_dirty(y, y + pic->h);
    }
}

// Escape: the pause menu on the street levels. LEVEL_GOES_ON or the result.
int escape(LevelLoop& loop)
{
    if (game.current.replaying || loop.level == LEVEL_CREDITS)
        return -1;
    if (loop.level > LAST_STREET)
        return LEVEL_GOES_ON;  // the interludes cannot be left
    game.level_ops->stop_clock();
    if (game.screens.pause_menu && game.screens.pause_menu() != 0)
        return -1;
    set_game_palette();  // the menu had its own
    mark_dirty(0, PICTURE_H - 1);
    const LevelDesc* row = level_desc(loop.level);
    if (row && row->has_hud)
        draw_hud_now(1);
    loop.frozen = false;
    game.level_ops->start_clock(config.launch.fps);
    return LEVEL_GOES_ON;
}

}  // namespace

const LevelLoopOps default_level_ops = {rest_ms, draw_frame, present_frame, start_frame_clock,
                                        stop_frame_clock};

int apply_cheat_keys()
{
    int16_t* item = &amc_globals[GLOBAL_ITEM];
    if (key[KEY_N]) {
        game.current.cheated = -1;
        if (*item != IT_VEST)
            *item = IT_VEST;
    }
    for (const ItemCheat& c : ITEM_CHEATS) {
        if (!key[c.scancode])
            continue;
        game.current.cheated = -1;
        if (*item == c.item)
            continue;
        // The item actor decides what the item does; it sets `item` itself.
        int16_t s = actor_spawn(PROGRAM_PICKUP);
        if (s > 0) {
            int16_t* r = actor_table.slots[s].regs;
            r[ARG_PICKUP_WX] = PICKUP_AT_ONCE;
            r[ARG_PICKUP_KIND] = c.item;
            if (c.count)
                r[ARG_PICKUP_COUNT] = c.count;
        }
    }
    for (int i = 0; i < 10; i++) {
        if (key[JUMP_KEYS[i]]) {
            game.current.cheated = -1;
            return i + 1;
        }
    }
    return 0;
}

int level_pass(LevelLoop& loop)
{
    CurrentGame& g = game.current;
    if (input.close_requested.load())
        return -1;  // the window is closing: as "END GAME"

    game.level_ops->rest(config.settings.powersaving);
    int32_t pending = frame_ticks_owed(g.frames_run);
    while (pending > 0) {
        if (!world_tick())
            return -1;
        int16_t exit = amc_globals[GLOBAL_EXIT_REQUEST];
        if (exit & EXIT)
            return exit & 0xFF;
        pending--;
    }
    int16_t cue = amc_globals[GLOBAL_MUSIC];
    if (cue != loop.music_cue) {
        loop.music_cue = cue;
        follow_music_cue(loop.level, cue);
    }

    // Draw only when the world has caught up exactly: a world that ran ahead
    // of the clock waits for it.
    if (pending == 0) {
        if (!loop.frozen)
            game.level_ops->draw(loop.pictures);
        game.level_ops->present();
        loop.pictures++;
    }

    if (!config.launch.no_sound) {
        if (key[KEY_MINUS_PAD]) {
            music_volume_down();
            config.settings.musicvolume = (uint8_t)music_get_volume();
        }
        if (key[KEY_PLUS_PAD]) {
            music_volume_up();
            config.settings.musicvolume = (uint8_t)music_get_volume();
        }
    }

    bool f1 = key[KEY_F1];
    if (f1 && !game.screenshot_key_was_down)
        save_screenshot();
    game.screenshot_key_was_down = f1;

    if (!g.replaying && loop.level != LEVEL_CREDITS &&
        cheat_keys_open(config.settings.cheatkeys, key_shifts)) {
        int jump = apply_cheat_keys();
        if (jump)
            return jump;
    }

    uint16_t events = input.menu_input.load();
    if (events & MENU_ESCAPE) {
        input.menu_input.store(0);
        int r = escape(loop);
        if (r != LEVEL_GOES_ON)
            return r;
        events = input.menu_input.load();
    }
    if (events & MENU_PAUSE) {
        input.menu_input.store(0);
        if (loop.frozen) {
            loop.frozen = false;
            game.level_ops->start_clock(config.launch.fps);
        } else {
            freeze(loop);
        }
    }

    uint16_t fps = fps_after_keys(config.launch.fps, key[KEY_PGUP], key[KEY_PGDN], key[KEY_HOME]);
    if (fps != config.launch.fps) {
        config.launch.fps = fps;
        if (!loop.frozen)
            game.level_ops->start_clock(fps);
    }

    music_poll();
    clear_keybuf();
    return LEVEL_GOES_ON;
}

void follow_music_cue(int16_t level, int16_t cue)
{
    if (config.launch.no_sound || !game.current.with_music || config.launch.mod_file)
        return;
    const LevelDesc* row = level_desc(level);
    if (cue == MUSIC_BOSS) {
        // A playlist without a boss piece keeps the level's music on.
        if (config.playlist_keys[PLAYLIST_BOSS][0])
            music_play(3, config.data_dir, config.playlist_keys[PLAYLIST_BOSS]);
    } else if (cue == MUSIC_SILENCE)
        music_play(3, config.data_dir, "");
    else if (row)
        music_play(0, config.data_dir, playlist_text(row->music));
}

int run_level(int16_t mode, int16_t level)
{
    if (!load_level(mode, level))
        return -2;
    LevelLoop loop{mode, level, false, 0, 0};
    for (;;) {
        int r = level_pass(loop);
        if (r != LEVEL_GOES_ON)
            return r;
    }
}
