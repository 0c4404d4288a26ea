// Shared set-up for the game tests: a small program table, a fake platform
// for the level loop and a clean input state.
#pragma once

#include <allegro.h>
#include <gtest/gtest.h>

#include <string>

#include "engine/actor.h"
#include "engine/amc.h"
#include "engine/amc_vm.h"
#include "engine/world.h"
#include "game/level_loop.h"
#include "game/session.h"
#include "nwd_contract.h"

// The director copies `controls` to global 5, counts its turns in global 6
// and ends the level with outcome 3 at the turn whose count equals global 7.
// Every other program up to the pickup only yields.
constexpr int COUNT_GLOBAL = 6, STOP_AT_GLOBAL = 7, SEEN_CONTROLS_GLOBAL = 5;

// What the fake platform saw, one letter per call: r rest, d draw,
// p present, s start clock, x stop clock.
extern std::string platform_log;

class GameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;
    // A level loop on `level` with the director running; ticks owed = owed.
    LevelLoop start(int16_t level, uint32_t owed = 0);
    void press(int scancode, bool down = true) { key[scancode] = down ? 1 : 0; }
};

// Street `street` of a new game on the loaded scripts, with its first tick
// run; then ticks with the given controls.
void begin_street(int street, uint32_t seed, int mode = ARCADE, int skill = 5);
void step(uint16_t controls = 0);

// Scenes set up on the game's own scripts: the men, the hero and the
// scripts' own registers and globals the tests reach into.
namespace scene {

constexpr int REG_WAIT = 2;    // an enemy's ticks until it may attack
constexpr int REG_TOKEN = 3;   // an enemy's plan: the turn he holds
constexpr int REG_TRAITS = 5;  // an enemy's speed and what it is up to
constexpr int REG_HITS = 6;    // an enemy's blows taken in a row, -1 wary; a boss's ticks to his blow
constexpr int REG_MAX_HEALTH = 21;
constexpr int M_RUSH = 16, M_RAGE = 128;  // traits
constexpr int GLOBAL_MAX_ATTACKERS = 6, GLOBAL_STREET = 13, GLOBAL_BOSS = 24;
constexpr int GLOBAL_STREET_END = 28, GLOBAL_FREEZE = 29;
constexpr int PROGRAM_FX = 6;
// What the first street's men may do yet, in the director's register.
constexpr int DIRECTOR_LESSON = 16;
constexpr int TAUGHT_PLAIN = 0, TAUGHT_GUARD = 1, TAUGHT_GRAB = 2, TAUGHT_ALL = 3;

inline int16_t* regs(int slot) { return actor_table.slots[slot & 63].regs; }
inline int the_hero() { return amc_globals[GLOBAL_HERO]; }
inline void teach(int lesson) { actor_table.slots[1].regs[DIRECTOR_LESSON] = (int16_t)lesson; }
void place(int slot, int wx, int gy = 176);
// A man of `kind` (a boss: E_BOSS + street) spawned at `wx`, `gy`.
int spawn_man(int kind, int wx, int gy = 176);
// Street `street` begun and its boss spawned `dx` into the view, alone:
// those who come with him (RUST's gang, VIPER's sister) are taken away at
// once, so that his own moves are watched. Returns his slot.
int lone_boss(int street, int dx = 220, uint32_t seed = 1, int skill = 5);
// Street 1 with the hero at 120 and a man of `kind` at `man_x` in his lane
// (a second one at 250 when `other` asks for him), all held there waiting
// until the hero's safety after the street's start has run out.
int face_off(int kind, uint32_t seed = 1, int man_x = 145, int* other = nullptr, int mode = ARCADE,
             int skill = 5);

// The live slots for which `pred(slot)` holds.
template <class F>
int count_actors(F&& pred)
{
    int n = 0;
    for (int s = actor_next(0), k = 0; s && k < 63; s = actor_next(s), k++)
        n += pred(s) ? 1 : 0;
    return n;
}
inline int count_program(int program)
{
    return count_actors([&](int s) { return actor_table.slots[s].program == program; });
}
// The men (class C_ENEMY) standing in `state`.
inline int men_in(int state)
{
    return count_actors(
        [&](int s) { return regs(s)[REG_CLASS] == C_ENEMY && regs(s)[REG_STATE] == state; });
}
// Steps with `controls` until `done()` or `most` ticks; the ticks stepped.
template <class F>
int step_until(F&& done, int most, uint16_t controls = 0)
{
    int t = 0;
    for (; t < most && !done(); t++)
        step(controls);
    return t;
}
// A tick with the man `held` kept waiting for his turn.
inline void step_held(int held, uint16_t controls = 0)
{
    regs(held)[REG_WAIT] = 200;
    step(controls);
}
inline void step_for(int ticks, uint16_t controls = 0)
{
    for (int t = 0; t < ticks; t++)
        step(controls);
}

}  // namespace scene

// The game's own scripts, loaded from the built game folder for each case
// (skipped when it is not built).
class ScriptsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        amc_unload_all();
        const std::string amc = std::string(NWD_GAME_DIR) + "/AMC/GAME.AMC";
        if (amc_load(amc.c_str()) != 0)
            GTEST_SKIP() << "the game folder is not built";
    }
    void TearDown() override { amc_unload_all(); }
};
