// The interpreter's pre-decoded path against its plain one: programs that
// rewrite their own words, the turn limit inside fused sequences, and random
// programs, which must leave the same world behind on both.
#include "engine_fixture.h"

#include "engine/amc_ops.h"

#include <cstring>
#include <random>

namespace {

class VmPaths : public EngineTest {
protected:
    void TearDown() override
    {
        amc_set_fast_path(true);
        amc_set_turn_limit(0);
        EngineTest::TearDown();
    }
};

TEST_F(VmPaths, StoreIntoTheProgramIsSeenByLaterFetches)
{
    // Word 22 is both the ALU word of "reg 1 <alu>" at 20 and the value
    // word of "imm <v> store" at 21. Tick 1 runs 20 as ADD; tick 2 stores
    // 112 into word 22 and runs 20 again, now a STORE into r1. Word 23 is
    // no opcode, so each turn ends there.
    const Words p = {OP_REG, 4,         ALU_LOAD,  OP_JUMP_IF_TRUE, 14,      OP_SET_REG, 4,
                     1,      OP_IMM,    77,        ALU_LOAD,        OP_JUMP, 20,         0,
                     OP_IMM, ALU_STORE, ALU_LOAD,  OP_JUMP,         21,      0,          OP_REG,
                     OP_IMM, ALU_ADD,   ALU_STORE, OP_JUMP,         20};
    for (bool fast : {true, false}) {
        amc_set_fast_path(fast);
        load({p});
        int s = actor_spawn(0);
        tick();
        EXPECT_EQ(actor(s).regs[1], 0) << fast;
        tick();
        EXPECT_EQ(program_table[0].words[22], ALU_STORE) << fast;
        EXPECT_EQ(actor(s).regs[1], ALU_STORE) << fast;
    }
}

TEST_F(VmPaths, TurnLimitStopsInsideFusedSequences)
{
    // Seven instructions a round: 100000 = 14285 rounds and 5 more, the
    // last of which loads r5 and adds 1 without storing it.
    for (bool fast : {true, false}) {
        amc_set_fast_path(fast);
        load(
            {{OP_REG, 4, ALU_LOAD, OP_IMM, 1, ALU_ADD,   OP_REG,  4, ALU_STORE, OP_REG, 5, ALU_LOAD,
              OP_IMM, 1, ALU_ADD,  OP_REG, 5, ALU_STORE, OP_JUMP, 0}});
        int s = actor_spawn(0);
        tick();
        EXPECT_EQ(actor(s).regs[4], 14286) << fast;
        EXPECT_EQ(actor(s).regs[5], 14285) << fast;
        EXPECT_EQ(diags, "!! Actor 1 runs without yielding\n");
        diags.clear();
    }
}

TEST_F(VmPaths, TurnRunsOnInItsProgramWhenASpawnTakesItsSlot)
{
    // Slot 1 (program 0) points its `next` at slot 2 every tick. Slot 2
    // (program 1) ends in tick 1 but stays reachable; in tick 2 it runs
    // from its old place, spawns program 0 into its own free slot and
    // goes on in program 1's words: r7 = 99, and its YIELD leaves the new
    // actor at offset 20, where program 0 sets r8 in tick 3.
    const Words a = {OP_SET_REG, REG_NEXT, 2,          OP_YIELD, OP_JUMP, 0,        0,       0, 0,
                     0,          0,        0,          0,        0,       0,        0,       0, 0,
                     0,          0,        OP_SET_REG, 8,        1,       OP_YIELD, OP_JUMP, 20};
    const Words b = {OP_GLOBAL,  5, ALU_LOAD,  OP_JUMP_IF_TRUE, 12,     OP_IMM, -1,       ALU_LOAD,
                     OP_GLOBAL,  5, ALU_STORE, OP_END,          OP_IMM, 0,      ALU_LOAD, OP_SPAWN,
                     OP_SET_REG, 7, 99,        OP_YIELD,        OP_END};
    for (bool fast : {true, false}) {
        amc_set_fast_path(fast);
        load({a, b});
        actor_spawn(0);
        actor_spawn(1);
        tick(2);
        EXPECT_EQ(actor(2).program, 0) << fast;
        EXPECT_EQ(actor(2).regs[7], 99) << fast;
        EXPECT_EQ(actor(2).resume_pc, 20) << fast;
        tick();
        EXPECT_EQ(actor(2).regs[8], 1) << fast;
        EXPECT_EQ(diags, "") << fast;
    }
}

// Programs made mostly of what the assembler writes (loads, arithmetic and
// stores, compares and branches, range tests, calls and returns), with jumps
// anywhere (into the middle of instructions too), chains, stores into the
// program, spawns, moves, handlers, and now and then a stray word.
Words random_program(std::mt19937& r, int programs)
{
    auto pick = [&r](int n) { return (int)(r() % (unsigned)n); };
    const int n = 4 + pick(60);
    Words w;
    auto value = [&](int alu) {
        int op = (int[]){OP_IMM, OP_IMM, OP_REG, OP_REG, OP_GLOBAL, OP_RANDOM}[pick(6)];
        if (alu == ALU_STORE && op != OP_GLOBAL && pick(4))
            op = OP_REG;
        w.push_back(op);
        w.push_back(op == OP_IMM || op == OP_RANDOM ? pick(80) - 40 : pick(34));
        for (int k = op == OP_REG || op == OP_GLOBAL ? pick(5) - 2 : 0; k > 0; k--)
            w.insert(w.end(), {AMC_INDIRECT, pick(32)});
        w.push_back(alu);
    };
    auto any_alu = [&] { return pick(10) == 0 ? 99 + pick(3) : AMC_ALU_FIRST + pick(12); };
    auto jump_if = [&] { return pick(2) ? OP_JUMP_IF_ZERO : OP_JUMP_IF_TRUE; };
    while ((int)w.size() < n) {
        int c = pick(120);
        const int here = (int)w.size(), ret = (int[]){5, 27, pick(32)}[pick(3)];
        if (c >= 100 && c < 107) {  // call, now and then one that returns elsewhere
            w.insert(w.end(), {OP_SET_REG, ret, here + 5 - (pick(6) == 0), OP_JUMP, pick(n)});
        } else if (c >= 107 && c < 110) {
            w.insert(w.end(), {OP_JUMP_REG, ret});
        } else if (c >= 110 && c < 115) {  // r < a || r > b
            const int reg = pick(34);
            w.insert(w.end(), {OP_REG, reg, ALU_LOAD, OP_IMM, pick(40) - 20, ALU_LT,
                               OP_JUMP_IF_TRUE, pick(n + 4) - 2, OP_REG, reg, ALU_LOAD, OP_IMM,
                               pick(40) - 20, ALU_GT, jump_if(), pick(n + 4) - 2});
        } else if (c >= 115) {  // a sum or difference against a constant
            value(ALU_LOAD);
            value(pick(2) ? ALU_ADD : ALU_SUB);
            w.insert(w.end(), {OP_IMM, pick(40) - 20,
                               (int[]){ALU_GT, ALU_EQ, ALU_NE, ALU_LT, ALU_AND}[pick(5)], jump_if(),
                               pick(n + 4) - 2});
        } else if (c < 25) {
            value(any_alu());
        } else if (c < 45) {  // load, one or two operations or compares, store
            value(ALU_LOAD);
            for (int k = 1 + pick(2); k > 0; k--)
                value(ALU_ADD + pick(10));
            value(ALU_STORE);
        } else if (c < 55) {  // a condition
            if (pick(2))
                value(ALU_LOAD);
            value((int[]){ALU_GT, ALU_EQ, ALU_NE, ALU_LT, ALU_AND}[pick(5)]);
            w.insert(w.end(), {pick(2) ? OP_JUMP_IF_ZERO : OP_JUMP_IF_TRUE, pick(n + 4) - 2});
        } else if (c < 65) {
            w.insert(w.end(), {(int[]){OP_JUMP, OP_BREAK, OP_JUMP_IF_ZERO, OP_JUMP_IF_TRUE,
                                       OP_BREAK_IF_TRUE}[pick(5)],
                               pick(n + 4) - 2});
        } else if (c < 77) {
            w.push_back((int[]){OP_RESUME, OP_RESUME_IF_TRUE, OP_END, OP_PUSH, OP_YIELD, OP_YIELD,
                                OP_MOVE}[pick(7)]);
        } else if (c < 82) {
            w.insert(w.end(), {OP_IMM, pick(programs + 1), ALU_LOAD, OP_PUSH, OP_IMM, pick(9),
                               ALU_LOAD, OP_SPAWN});
        } else if (c < 89) {
            w.insert(w.end(), {OP_SET_REG, pick(32), pick(n)});
        } else if (c < 93) {
            w.insert(w.end(), {OP_SET_HANDLER, pick(n), pick(3) ? pick(n) : -1});
        } else if (c < 96) {
            w.insert(w.end(), {OP_JUMP_REG, pick(32)});
        } else {
            w.push_back(pick(24) - 2);
        }
    }
    return w;
}

struct Outcome {
    std::vector<int16_t> state;
    std::string diags;
};

class VmBothPaths : public VmPaths {
protected:
    // Every program started once, then `ticks` ticks; what they leave.
    Outcome run(const std::vector<Words>& programs, uint32_t seed, bool fast, int ticks = 40)
    {
        amc_set_fast_path(fast);
        load(programs);
        amc_seed((int32_t)seed);
        diags.clear();
        for (int p = 0; p < (int)programs.size(); p++)
            actor_spawn(p);
        for (int t = 0; t < ticks; t++) {
            amc_globals[GLOBAL_CONTROLS] = (int16_t)(t * 37);
            amc_run_tick();
        }
        Outcome out;
        std::vector<int16_t>& s = out.state;
        for (const Actor& a : actor_table.slots) {
            s.insert(s.end(),
                     {a.program, (int16_t)a.resume_pc, (int16_t)a.handler_pc, a.move_dx, a.move_dy,
                      a.move_duration, a.move_rem_x, a.move_rem_y, (int16_t)a.move_ticks_left});
            s.insert(s.end(), a.regs, a.regs + ACTOR_REGS);
        }
        s.insert(s.end(), amc_globals, amc_globals + AMC_GLOBALS);
        s.insert(s.end(), amc_args.values, amc_args.values + AMC_ARGS);
        s.insert(s.end(), {amc_args.count, (int16_t)amc_get_seed()});
        for (int p = 0; p < program_count; p++)
            s.insert(s.end(), program_table[p].words,
                     program_table[p].words + program_table[p].length);
        out.diags = diags;
        return out;
    }
};

TEST_F(VmBothPaths, RandomProgramsLeaveTheSameWorld)
{
    amc_set_turn_limit(500);
    std::mt19937 r(14);
    for (int round = 0; round < 500; round++) {
        std::vector<Words> programs(2 + r() % 6);
        for (Words& p : programs)
            p = random_program(r, (int)programs.size());
        const uint32_t seed = r();
        Outcome fast = run(programs, seed, true), plain = run(programs, seed, false);
        ASSERT_EQ(fast.state, plain.state) << "round " << round;
        ASSERT_EQ(fast.diags, plain.diags) << "round " << round;
    }
}

TEST_F(VmBothPaths, ReturnsGoWhereTheirRegisterSays)
{
    // Calls nested ten deep, each level in its own register (more than the
    // fast path remembers), each counting in r1 once its inner call is back;
    // then a subroutine that changes its return register before returning.
    Words w = {OP_SET_REG, 10,      5, OP_JUMP,    16,                    // 0: call level 0
               OP_SET_REG, 2,       1, OP_SET_REG, 20, 11, OP_JUMP, 200,  // 5: call the changer
               OP_YIELD,   OP_JUMP, 13};
    for (int i = 0; i < 10; i++) {
        const int at = (int)w.size();  // 16 + 16 i
        if (i < 9)
            w.insert(w.end(), {OP_SET_REG, 11 + i, at + 5, OP_JUMP, at + 16});
        else
            w.insert(w.end(), {OP_JUMP, at + 5, 0, 0, 0});
        w.insert(w.end(), {OP_REG, 1, ALU_LOAD, OP_IMM, 1, ALU_ADD, OP_REG, 1, ALU_STORE,
                           OP_JUMP_REG, 10 + i});
    }
    w.resize(200, 0);
    w.insert(w.end(), {OP_SET_REG, 20, 13, OP_SET_REG, 2, 7, OP_JUMP_REG, 20});
    for (bool fast : {true, false}) {
        Outcome out = run({w}, 1, fast, 1);
        EXPECT_EQ(out.diags, "") << fast;
        EXPECT_EQ(actor(1).regs[1], 10) << fast;  // every level counted once
        EXPECT_EQ(actor(1).regs[2], 7) << fast;   // back at 13, not at 11
        EXPECT_EQ(actor(1).resume_pc, 14) << fast;
    }
}

}  // namespace
