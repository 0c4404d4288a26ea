#include "engine_fixture.h"

#include "engine/amc_ops.h"

// Shorthand for instruction words.
#define IMM(v, alu) OP_IMM, (v), ALU_##alu
#define REG(r, alu) OP_REG, (r), ALU_##alu
#define GLB(g, alu) OP_GLOBAL, (g), ALU_##alu

using Vm = EngineTest;

TEST_F(Vm, MoveSpreadsRemaindersAndEndsTurns)
{
    // dx 7, dy 3 over 2 ticks, then mark register 5.
    load({{IMM(7, LOAD), OP_PUSH, IMM(3, LOAD), OP_PUSH, IMM(2, LOAD), OP_MOVE, OP_SET_REG, 5, 1,
           OP_YIELD, OP_JUMP, 9}});
    int s = actor_spawn(0);
    actor(s).regs[REG_X] = 10;
    tick();
    EXPECT_EQ(actor(s).regs[REG_X], 13);
    EXPECT_EQ(actor(s).regs[REG_Y], 1);
    tick();
    EXPECT_EQ(actor(s).regs[REG_X], 17);
    EXPECT_EQ(actor(s).regs[REG_Y], 3);
    EXPECT_EQ(actor(s).regs[5], 0);
    tick();
    EXPECT_EQ(actor(s).regs[5], 1);

    // Negative: -5 over 2 goes -2 then -3.
    load({{IMM(-5, LOAD), OP_PUSH, OP_PUSH, IMM(2, LOAD), OP_MOVE, OP_YIELD}});
    s = actor_spawn(0);
    tick();
    EXPECT_EQ(actor(s).regs[REG_X], -2);
    tick();
    EXPECT_EQ(actor(s).regs[REG_X], -5);

    // A negative duration counts 65536 + d steps, dividing by d each step.
    load({{IMM(9, LOAD), OP_PUSH, IMM(0, LOAD), OP_PUSH, IMM(-3, LOAD), OP_MOVE, OP_YIELD}});
    s = actor_spawn(0);
    tick();
    EXPECT_EQ(actor(s).move_ticks_left, 65532);  // 65536 - 3, one step done
    EXPECT_EQ(actor(s).regs[REG_X], -3);
}

TEST_F(Vm, PassEndsOnEndAndFailedInstructions)
{
    // Actor 1 moves with duration 0 and is removed; actor 2 gets no turn.
    load({{IMM(0, LOAD), OP_MOVE}, {OP_SET_REG, 4, 1, OP_YIELD, OP_JUMP, 0}});
    actor_spawn(0);
    int b = actor_spawn(1);
    tick();
    EXPECT_EQ(diags, "!! Move command with duration=0\n");
    EXPECT_EQ(list_order(), (std::vector<int>{b}));
    EXPECT_EQ(actor(b).regs[4], 0);
    tick();
    EXPECT_EQ(actor(b).regs[4], 1);

    // Unknown opcode: the pass ends, resume_pc stays.
    load({{OP_YIELD, 0, 77}, {OP_SET_REG, 4, 1, OP_YIELD}});
    int a = actor_spawn(0);
    b = actor_spawn(1);
    tick(3);
    EXPECT_EQ(actor(a).resume_pc, 1);
    EXPECT_EQ(actor(b).regs[4], 1);  // ran in tick 1 only
}

TEST_F(Vm, SpawnTakesArgumentsFromTheSharedStack)
{
    // Program 0 pushes 12 and spawns program 1 with register 0 = 12, then
    // spawns program 1 with no parameters, then an unknown program 2.
    load({{IMM(1, LOAD), OP_PUSH, IMM(12, LOAD), OP_SPAWN, IMM(1, LOAD), OP_SPAWN, OP_YIELD,
           IMM(2, LOAD), OP_SPAWN},
          {OP_YIELD, OP_JUMP, 0}});
    int s = actor_spawn(0);
    tick();
    ASSERT_EQ(list_order(), (std::vector<int>{s, 2, 3}));
    EXPECT_EQ(actor(2).regs[0], 12);
    EXPECT_EQ(actor(3).regs[0], 0);
    EXPECT_EQ(actor(3).regs[REG_SELF], 3);
    tick();
    EXPECT_EQ(diags, "A! Tried to Spawn an unknown object type (2)\n");
    EXPECT_EQ(list_order(), (std::vector<int>{2, 3}));

    // Values pushed and not consumed are seen by the next actor's SPAWN;
    // a ninth push is dropped and element reads ignore the count.
    load({{IMM(2, LOAD), OP_PUSH, IMM(44, LOAD), OP_PUSH, OP_YIELD},
          {IMM(55, LOAD), OP_SPAWN, OP_YIELD},
          {OP_YIELD}});
    actor_spawn(0);
    actor_spawn(1);
    tick();
    EXPECT_EQ(actor(3).regs[0], 44);
    EXPECT_EQ(actor(3).regs[1], 55);
    EXPECT_EQ(actor(3).move_duration, 1);
}

TEST_F(Vm, IndirectChainsSignedArithmeticAndStore)
{
    // clang-format off
    load({{OP_GLOBAL, 7, AMC_INDIRECT, REG_X, ALU_LOAD, OP_PUSH,            // x of slot g7
           OP_REG, REG_NEXT, AMC_INDIRECT, REG_SELF, ALU_LOAD, OP_PUSH,     // self of next
           OP_REG, REG_SELF, AMC_INDIRECT, REG_NEXT, AMC_INDIRECT, REG_X, ALU_LOAD, OP_PUSH,
           IMM(-7, LOAD), IMM(2, DIV), OP_PUSH,                             // -3
           IMM(-32768, LOAD), IMM(-1, DIV), OP_PUSH,                        // -32768
           IMM(5, LOAD), IMM(0, DIV), OP_PUSH,                              // 0 (pinned)
           IMM(-1, LOAD), IMM(1, LT), OP_PUSH,                              // -1 < 1
           IMM(30000, LOAD), IMM(30000, ADD), OP_PUSH,                      // wraps
           OP_YIELD},
          {OP_YIELD}});
    // clang-format on
    actor_spawn(0);
    actor_spawn(1);
    int c = actor_spawn(1);
    actor(2).regs[REG_X] = 222;
    actor(c).regs[REG_X] = 333;
    amc_globals[7] = (int16_t)c;
    tick();
    ASSERT_EQ(amc_args.count, 8);
    EXPECT_EQ(std::vector<int16_t>(amc_args.values, amc_args.values + 8),
              (std::vector<int16_t>{333, 2, 222, -3, -32768, 0, -1, -5536}));

    // STORE through OP_IMM rewrites the program's own value word, seen by
    // every actor running it; STORE through INDIRECT writes another actor's
    // register, and a global of -1 means slot 63.
    load({{REG(REG_SELF, LOAD), OP_IMM, 0, ALU_STORE, OP_IMM, 0, ALU_ADD, OP_GLOBAL, 3,
           AMC_INDIRECT, 6, ALU_STORE, OP_YIELD, OP_JUMP, 0}});
    actor_spawn(0);
    actor_spawn(0);
    amc_globals[3] = -1;
    tick();
    EXPECT_EQ(program_table[0].words[4], 2);  // the last actor's self
    EXPECT_EQ(actor(63).regs[6], 2);          // 2 + the value word 0
}

TEST_F(Vm, HandlersRunBeforeTheMainThread)
{
    // Main thread: move 10 right over 5 ticks. Handler: count in r4, then
    // RESUME; when r4 reaches 3, BREAK_IF_TRUE to word 40 which marks r5.
    Words p(48, OP_YIELD);
    const Words main = {OP_SET_HANDLER, 3,       20,           IMM(10, LOAD), OP_PUSH,
                        IMM(0, LOAD),   OP_PUSH, IMM(5, LOAD), OP_MOVE,       OP_YIELD};
    std::copy(main.begin(), main.end(), p.begin());
    const Words handler = {REG(4, LOAD),     IMM(1, ADD), REG(4, STORE), IMM(3, EQ),
                           OP_BREAK_IF_TRUE, 40,          OP_RESUME};
    std::copy(handler.begin(), handler.end(), p.begin() + 20);
    const Words broke = {OP_SET_REG, 5, 1, OP_SET_HANDLER, 46, -1, OP_YIELD};
    std::copy(broke.begin(), broke.end(), p.begin() + 40);
    load({p});
    int s = actor_spawn(0);
    tick();  // handler from the start: SET_HANDLER jumps to 3, MOVE step 1
    EXPECT_EQ(actor(s).regs[REG_X], 2);
    EXPECT_EQ(actor(s).handler_pc, 20);
    tick();  // handler r4=1, RESUME does step 2
    EXPECT_EQ(actor(s).regs[REG_X], 4);
    tick();  // r4=2, step 3
    tick();  // r4=3: BREAK cancels the move
    EXPECT_EQ(actor(s).regs[REG_X], 6);
    EXPECT_EQ(actor(s).move_ticks_left, 0);
    EXPECT_EQ(actor(s).regs[5], 1);
    EXPECT_EQ(actor(s).handler_pc, ACTOR_NO_HANDLER);

    // BREAK_IF_TRUE with 0 continues after its target word.
    load({{IMM(0, LOAD), OP_BREAK_IF_TRUE, 9, OP_SET_REG, 4, 1, OP_YIELD, OP_END, OP_END, OP_END}});
    s = actor_spawn(0);
    tick();
    EXPECT_EQ(actor(s).regs[4], 1);
}

TEST_F(Vm, RandomSequenceAndSeeding)
{
    amc_seed(1);
    EXPECT_EQ(amc_random(), 16807);
    EXPECT_EQ(amc_random(), 282475249);
    EXPECT_EQ(amc_random(), 1622650073);
    amc_seed(65536);
    EXPECT_EQ(amc_random(), 0);
    EXPECT_EQ(amc_random(), 0);
    amc_seed(0);
    EXPECT_EQ(amc_get_seed(), 1);
    amc_seed(0x12348000);  // low 16 bits taken as signed
    EXPECT_EQ(amc_get_seed(), -32768);
    amc_random();
    EXPECT_GE(amc_get_seed(), 0);
}

TEST_F(Vm, GuardsAgainstRunawayAndBrokenPrograms)
{
    // A loop that never yields: VmPaths counts its instructions on both paths.
    // A broken circle (an actor pointing next at itself) ends after 63 turns.
    load({{REG(5, LOAD), IMM(1, ADD), REG(5, STORE), REG(REG_SELF, LOAD), REG(REG_NEXT, STORE),
           OP_YIELD, OP_JUMP, 0}});
    int s = actor_spawn(0);
    tick();
    EXPECT_EQ(diags, "!! Actor list is broken\n");
    EXPECT_EQ(actor(s).regs[5], 63);

    // A truncated instruction has no effect (no random number drawn);
    // VmPaths has the fetches off either end on both paths.
    diags.clear();
    load({{OP_YIELD, OP_RANDOM, 255}});
    actor_spawn(0);
    amc_seed(1);
    tick(3);
    EXPECT_EQ(amc_get_seed(), 1);
    EXPECT_EQ(diags, "");

    // A slot reached through links with no program ends the pass.
    load({{OP_YIELD, IMM(40, LOAD), REG(REG_NEXT, STORE), OP_YIELD, OP_JUMP, 7},
          {REG(1, LOAD), IMM(1, ADD), REG(1, STORE), OP_YIELD, OP_JUMP, 0}});
    actor_spawn(0);
    actor_spawn(1);
    tick(3);
    EXPECT_EQ(actor(2).regs[1], 1);  // only in the first tick
    EXPECT_EQ(diags, "");
}
