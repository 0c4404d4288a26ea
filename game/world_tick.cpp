#include <allegro.h>

#include "audio/sfx.h"
#include "config/state.h"
#include "demo/state.h"
#include "engine/world.h"
#include "game/level_loop.h"
#include "game/session.h"
#include "game/state.h"
#include "gfx/level.h"
#include "gfx/scene.h"
#include "input/state.h"

namespace {

// Impacts that shake the play area, and for how many ticks: a body hitting
// the ground, a wreck or a quake landing, a boss beaten. The picture follows
// what is heard, so a mod's script gets the jolt by playing the sound.
struct Jolt {
    int effect, ticks;
};
constexpr Jolt JOLTS[] = {{SFX_THUD, 8}, {SFX_CRASH, 16}, {SFX_BOSSDIE, 24}};

void play_request(int slot, int effect, int pan, void*)
{
    sfx_play(slot, effect, pan);
    for (const Jolt& j : JOLTS)
        if (j.effect == effect)
            scene_jolt(j.ticks);
}

}  // namespace

int world_tick()
{
    CurrentGame& g = game.current;
    // Any direction, kick or punch ends a replay or the credits; the word is
    // left for the level loop to clear.
    if ((g.replaying || g.level == LEVEL_CREDITS) && (input.menu_input.load() & CTRL_ALL))
        return 0;

    uint16_t controls;
    if (g.replaying) {
        if (demos.state & DEMO_ENDED)
            return 0;
        controls = demo_play_next();
    } else {
        controls = read_controls();
        if (demos.state & DEMO_RECORDING) {
            // A demo never holds a cheated tick: it simply ends before it.
            if (g.cheated)
                demos.state &= ~DEMO_RECORDING;
            else
                demo_record(controls);
        }
    }

    const LevelDesc* row = level_desc(g.level);
    scene_settle();
    world_step((int16_t)controls, row ? row->tick_hook : nullptr,
               config.launch.no_sound ? nullptr : play_request, nullptr);
    g.frames_run++;
    demo_trace_tick(g.frames_run);
    return 1;
}
