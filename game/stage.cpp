// The level on screen: its start (graphics, the director, music, the frame
// clock) and each frame's picture with the HUD or the replay's overlay.
#include <allegro.h>

#include "audio/music.h"
#include "config/state.h"
#include "demo/state.h"
#include "engine/actor.h"
#include "engine/amc_vm.h"
#include "engine/world.h"
#include "game/clock.h"
#include "game/level_loop.h"
#include "game/session.h"
#include "game/state.h"
#include "gfx/display.h"
#include "gfx/hud.h"
#include "gfx/level.h"
#include "gfx/scene.h"
#include "gfx/state.h"

int load_level(int16_t mode, int16_t level)
{
    if (!load_level_graphics(level, config.data_dir))
        return 0;
    // A demo plays the whole game, so it plays the whole level.
    gfx.stage.hide_hints = (demos.state & DEMO_PLAYING) != 0;
    const CurrentGame& g = game.current;
    world_start_level(
        {level, mode, g.skill, (int16_t)g.score, g.item, g.item_count, g.stars, g.lives});

    const LevelDesc* r = level_desc(level);
    if (!config.launch.no_sound && g.with_music)
        music_play(0, config.data_dir,
                   config.launch.mod_file ? config.launch.mod_file : playlist_text(r->music));

    game.frame_ticks += 1;
    if (config.launch.fps == 0)
        config.launch.fps = DEFAULT_FPS;
    game.level_ops->start_clock(config.launch.fps);
    return 1;
}

void draw_hud_now(int force)
{
    if (!gfx.back_buffer)
        return;
    const int16_t* g = amc_globals;
    // Scores are unsigned tens of points; the script variable holds the bits.
    int drawn = draw_hud(
        gfx.back_buffer, force, g[GLOBAL_ENERGY], actor_table.slots[SLOT_BAR].regs[REG_HEALTH],
        g[GLOBAL_ITEM], g[GLOBAL_ITEM_COUNT], g[GLOBAL_TIMER], (uint16_t)g[GLOBAL_SCORE],
        game.current.top_score, g[GLOBAL_LIVES], g[GLOBAL_STARS], game.current.mode);
    if (drawn || force)
        mark_dirty(0, HUD_ROWS - 1);
}

void draw_statistics(BITMAP* b, uint16_t controls)
{
    StatsLine s{0, 0, 0, config.launch.fps, (unsigned)music_get_volume()};
    if (demos.active) {
        DemoHeader h = demo_header(demos.active);
        s.played = demos.position.played;
        s.total = h.frames;
        s.skill = (uint16_t)h.skill;
    }
    draw_statistics_values(b, controls, s);
}

void draw_frame(int pictures)
{
    if (!draw_scene(pictures))
        return;
    const LevelDesc* row = level_desc(gfx.stage.level);
    if (row->has_hud) {
        if (config.launch.play && !config.launch.no_stat)
            draw_statistics(gfx.back_buffer, (uint16_t)amc_globals[GLOBAL_CONTROLS]);
        else
            draw_hud_now(0);
    }
    // Left running, an attract demo would pass for a game.
    if (game.attract_demo && game.current.replaying)
        draw_demo_tag(gfx.back_buffer, row->play_top, game.current.frames_run);
}
