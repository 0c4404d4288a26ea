#include "game_fixture.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "config/state.h"
#include "demo/state.h"
#include "engine/actor.h"
#include "engine/amc.h"
#include "engine/amc_ops.h"
#include "engine/world.h"
#include "game/clock.h"
#include "game/state.h"
#include "input/state.h"
#include "nwd_contract.h"

std::string platform_log;

namespace {

// clang-format off
const int16_t DIRECTOR[] = {
    OP_GLOBAL, GLOBAL_CONTROLS, ALU_LOAD, OP_GLOBAL, SEEN_CONTROLS_GLOBAL, ALU_STORE,
    OP_GLOBAL, COUNT_GLOBAL, ALU_LOAD, OP_IMM, 1, ALU_ADD, OP_GLOBAL, COUNT_GLOBAL, ALU_STORE,
    OP_GLOBAL, STOP_AT_GLOBAL, ALU_EQ, OP_JUMP_IF_ZERO, 26,        // not yet: yield at 26
    OP_IMM, EXIT | 3, ALU_LOAD, OP_GLOBAL, GLOBAL_EXIT_REQUEST, ALU_STORE,
    OP_YIELD, OP_JUMP, 0};
// clang-format on
const int16_t IDLE[] = {OP_YIELD, OP_JUMP, 0};

void install(int n, const int16_t* words, size_t count)
{
    program_table[n].words = (int16_t*)malloc(count * sizeof(int16_t));
    memcpy(program_table[n].words, words, count * sizeof(int16_t));
    program_table[n].length = (int32_t)count;
}

void fake_rest(unsigned) { platform_log += 'r'; }
void fake_draw(int) { platform_log += 'd'; }
void fake_present() { platform_log += 'p'; }
void fake_start(uint16_t) { platform_log += 's'; }
void fake_stop() { platform_log += 'x'; }
const LevelLoopOps FAKE_OPS = {fake_rest, fake_draw, fake_present, fake_start, fake_stop};

}  // namespace

void GameTest::SetUpTestSuite() { install_allegro(SYSTEM_NONE, &errno, atexit); }

void GameTest::SetUp()
{
    amc_unload_all();
    // Every program the engine starts, the director running the one above.
    for (int n = 0; n <= PROGRAM_PICKUP; n++)
        n == PROGRAM_DIRECTOR ? install(n, DIRECTOR, sizeof DIRECTOR / 2) : install(n, IDLE, 3);
    program_count = PROGRAM_PICKUP + 1;
    actor_table_reset();
    game_state_reset();
    config_state_reset();
    input_state_reset();
    input_use_bindings();
    config.launch.fps = 72;
    config.launch.no_sound = 0xFF;
    demos_state_reset();
    memset((void*)key, 0, KEY_MAX);
    key_shifts = 0;
    game.level_ops = &FAKE_OPS;
    platform_log.clear();
}

void GameTest::TearDown()
{
    demos_state_reset();
    game_state_reset();
    amc_unload_all();
}

LevelLoop GameTest::start(int16_t level, uint32_t owed)
{
    game.current.level = level;
    actor_spawn(PROGRAM_DIRECTOR);
    game.frame_ticks.store(game.current.frames_run + owed);
    return LevelLoop{1, level, false, 0, 0};
}

void begin_street(int street, uint32_t seed, int mode, int skill)
{
    actor_table_reset();
    world_start_level(world_new_game((int16_t)street, (int16_t)mode, (int16_t)skill, seed));
    step();
}

void step(uint16_t controls) { world_step((int16_t)controls, nullptr, nullptr, nullptr); }

namespace scene {

void place(int slot, int wx, int gy)
{
    regs(slot)[REG_WX] = (int16_t)wx;
    regs(slot)[REG_GY] = (int16_t)gy;
}

int spawn_man(int kind, int wx, int gy)
{
    int s = actor_spawn(PROGRAM_ENEMY);
    regs(s)[0] = (int16_t)kind;
    regs(s)[1] = (int16_t)wx;
    regs(s)[2] = (int16_t)gy;
    return s;
}

int lone_boss(int street, int dx, uint32_t seed, int skill)
{
    begin_street(street, seed, ARCADE, (int16_t)skill);
    const int boss = spawn_man(E_BOSS + street, amc_globals[GLOBAL_SCROLL_MAP] + dx);
    step();
    for (int s = actor_next(0), k = 0; s && k < 63; s = actor_next(s), k++)
        if (s != boss && actor_table.slots[s].program == PROGRAM_ENEMY)
            actor_remove(s);
    amc_globals[GLOBAL_FOES] = 1;
    return boss;
}

int face_off(int kind, uint32_t seed, int man_x, int* other, int mode, int skill)
{
    begin_street(1, seed, mode, skill);
    int man = spawn_man(kind, man_x);
    if (other)
        *other = spawn_man(kind, 250);
    for (int t = 0; t < 150; t++) {
        place(the_hero(), 120);
        place(man, man_x);
        regs(man)[REG_WAIT] = 200;
        if (other)
            regs(*other)[REG_WAIT] = 200;
        step(t < 140 ? CTRL_RIGHT : 0);
    }
    return man;
}

}  // namespace scene
