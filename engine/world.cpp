#include "world.h"

#include "actor.h"
#include "amc_vm.h"

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

WorldStart world_new_game(int16_t level, int16_t mode, int16_t skill, uint32_t seed)
{
    amc_seed((int32_t)seed);
    // A replay later in the same run must meet the stack its recording met.
    amc_args_clear();
    WorldStart s{};
    s.level = level;
    s.mode = mode;
    s.skill = skill;
    if (mode == ARCADE) {
        s.stars = 1;
        s.lives = 2;
    }
    return s;
}

void world_start_level(const WorldStart& st)
{
    int s = actor_spawn(PROGRAM_DIRECTOR);
    if (s > 0) {
        actor_table.slots[s].regs[ARG_DIRECTOR_LEVEL] = st.level;
        actor_table.slots[s].regs[ARG_DIRECTOR_MODE] = st.mode;
    }
    amc_globals[GLOBAL_SKILL] = st.skill;
    amc_globals[GLOBAL_SCORE] = st.score;
    amc_globals[GLOBAL_ITEM] = st.item;
    amc_globals[GLOBAL_ITEM_COUNT] = st.item_count;
    amc_globals[GLOBAL_STARS] = st.stars;
    amc_globals[GLOBAL_LIVES] = st.lives;
}

bool world_end_level(WorldStart& s, int outcome)
{
    // A level that failed to load never received the carried values: the
    // globals hold the previous reset's zeros, not the player's score.
    if (outcome != WORLD_LEVEL_NOT_LOADED) {
        s.item = amc_globals[GLOBAL_ITEM];
        s.item_count = amc_globals[GLOBAL_ITEM_COUNT];
        s.score = amc_globals[GLOBAL_SCORE];
        s.lives = amc_globals[GLOBAL_LIVES];
        s.stars = amc_globals[GLOBAL_STARS];
    }
    actor_table_reset();
    s.level = (int16_t)outcome;
    return world_row_playable(s.level);
}
