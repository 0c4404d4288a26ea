#include "world.h"

#include "actor.h"
#include "amc_vm.h"

constexpr int DIRECTOR_PROGRAM = 14;

int world_pan(int32_t x, int32_t scroll_x)
{
    int32_t pan = x - scroll_x + 128;
    return pan < 0 ? 0 : pan > 255 ? 255 : (int)pan;
}

void world_step(int16_t controls, WorldHookFn hook, WorldSoundFn sound, void* user)
{
    amc_globals[GLOBAL_CONTROLS] = controls;
    amc_run_tick();
    if (hook)
        hook();
    if (!sound)
        return;
    int s = actor_next(0);
    for (int n = 0; s != 0 && n < AMC_PASS_TURNS; n++) {
        int16_t* r = actor_table.slots[s].regs;
        if (r[REG_SOUND] != 0) {
            sound(s, r[REG_SOUND], world_pan(r[REG_X], amc_globals[GLOBAL_SCROLL_X]), user);
            r[REG_SOUND] = 0;
        }
        s = actor_next(s);
    }
}

void world_start_level(const WorldStart& st)
{
    int s = actor_spawn(DIRECTOR_PROGRAM);
    if (s > 0) {
        actor_table.slots[s].regs[0] = st.level;
        actor_table.slots[s].regs[1] = st.mode;
    }
    amc_globals[GLOBAL_SKILL] = st.skill;
    amc_globals[GLOBAL_SCORE] = st.score;
    amc_globals[GLOBAL_ITEM] = st.item;
    amc_globals[GLOBAL_ITEM_COUNT] = st.item_count;
    amc_globals[GLOBAL_STARS] = st.stars;
    amc_globals[GLOBAL_LIVES] = st.lives;
}
