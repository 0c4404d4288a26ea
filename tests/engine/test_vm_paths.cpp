// The interpreter's pre-decoded path against its plain one: programs that
// rewrite their own words, the turn limit inside fused sequences, and random
// programs, which must leave the same world behind on both.
#include "engine_fixture.h"

#include "engine/amc_ops.h"

#include <algorithm>
#include <cstring>
#include <iterator>
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

TEST_F(VmPaths, DivisionByConstantsOfEverySizeAndSign)
{
    // "load a; add 0" fuses, so "div d" stands alone: the fast path divides
    // by the constant's reciprocal, the plain path divides. Eight quotients
    // a turn go onto the argument stack.
    const int divisors[] = {1, -1, 2, -2, 3, -3, 7, -7, 100, -100, 32767, -32768};
    const int dividends[] = {0, 1, -1, 6, -6, 7, -7, 32767, -32768, 12345, -12345, 99, -99};
    for (bool fast : {true, false}) {
        amc_set_fast_path(fast);
        for (int d : divisors) {
            for (size_t first = 0; first < std::size(dividends); first += 8) {
                Words w;
                size_t n = std::min<size_t>(8, std::size(dividends) - first);
                for (size_t i = 0; i < n; i++)
                    w.insert(w.end(), {OP_IMM, dividends[first + i], ALU_LOAD, OP_IMM, 0, ALU_ADD,
                                       OP_IMM, d, ALU_DIV, OP_PUSH});
                w.push_back(OP_YIELD);
                load({w});
                actor_spawn(0);
                tick();
                ASSERT_EQ(amc_args.count, (int16_t)n);
                for (size_t i = 0; i < n; i++)
                    EXPECT_EQ(amc_args.values[i], (int16_t)(uint16_t)(dividends[first + i] / d))
                        << dividends[first + i] << " / " << d << (fast ? " fast" : " plain");
            }
        }
    }
}

TEST_F(VmPaths, FusedOpsReadWhatTheirWordsSay)
{
    for (bool fast : {true, false}) {
        amc_set_fast_path(fast);
        // Links to a slot above 31: g6 and r7 hold slot 40, whose x is 123.
        // clang-format off
        load({{OP_GLOBAL, 6, AMC_INDIRECT, REG_X, ALU_LOAD, OP_GLOBAL, 9, ALU_STORE,  // g9 = g6.x
               OP_REG, 7, AMC_INDIRECT, REG_X, ALU_LOAD, OP_IMM, 1, ALU_ADD,
               OP_GLOBAL, 10, ALU_STORE,                                           // g10 = r7.x + 1
               OP_REG, 7, AMC_INDIRECT, REG_X, ALU_LOAD, OP_IMM, 100, ALU_GT,
               OP_JUMP_IF_ZERO, 32, OP_SET_REG, 8, 1,                  // r8 = 1 when r7.x > 100
               OP_YIELD, OP_JUMP, 32},
              {OP_YIELD}});
        // clang-format on
        actor_spawn(0);
        while (actor_spawn(1) < 40) {}
        actor(40).regs[REG_X] = 123;
        amc_globals[6] = 40;
        actor(1).regs[7] = 40;
        tick();
        EXPECT_EQ(amc_globals[9], 123) << fast;
        EXPECT_EQ(amc_globals[10], 124) << fast;
        EXPECT_EQ(actor(1).regs[8], 1) << fast;

        // "r1 < 5 || r2 > 9": two registers, so not one range test.
        // clang-format off
        load({{OP_REG, 1, ALU_LOAD, OP_IMM, 5, ALU_LT, OP_JUMP_IF_TRUE, 20,
               OP_REG, 2, ALU_LOAD, OP_IMM, 9, ALU_GT, OP_JUMP_IF_TRUE, 20,
               OP_SET_REG, 3, 1, OP_YIELD, OP_SET_REG, 3, 2, OP_YIELD}});
        // clang-format on
        int s = actor_spawn(0);
        actor(s).regs[1] = 6;
        actor(s).regs[2] = 20;
        tick();
        EXPECT_EQ(actor(s).regs[3], 2) << fast;

        // "load r1; add 0; store <imm>" writes its own value word 7, then
        // jumps there: in tick 1 word 7 is JUMP (to 112, past the end: the
        // pass ends), in tick 2 YIELD, whatever was decoded from it before.
        load({{OP_REG, 1, ALU_LOAD, OP_IMM, 0, ALU_ADD, OP_IMM, OP_JUMP, ALU_STORE, OP_JUMP, 7}});
        s = actor_spawn(0);
        actor(s).regs[1] = OP_JUMP;
        tick();
        EXPECT_EQ(actor(s).resume_pc, 0) << fast;
        actor(s).regs[1] = OP_YIELD;
        tick();
        EXPECT_EQ(actor(s).resume_pc, 8) << fast;

        // BREAK in a handler cancels the main thread's move.
        load({{OP_SET_HANDLER, 3, 12, OP_IMM, 0, ALU_LOAD, OP_PUSH, OP_PUSH, OP_IMM, 9, ALU_LOAD,
               OP_MOVE, OP_BREAK, 14, OP_YIELD, OP_JUMP, 14}});
        s = actor_spawn(0);
        tick(2);
        EXPECT_EQ(actor(s).move_ticks_left, 0) << fast;
        EXPECT_EQ(actor(s).resume_pc, 15) << fast;
    }
}

TEST_F(VmPaths, ProgramEdgesAndAFullArgumentStackStopCleanly)
{
    for (bool fast : {true, false}) {
        amc_set_fast_path(fast);
        // A ninth push is dropped.
        Words w;
        for (int i = 1; i <= 9; i++)
            w.insert(w.end(), {OP_IMM, i, ALU_LOAD, OP_PUSH});
        w.push_back(OP_YIELD);
        load({w});
        actor_spawn(0);
        tick();
        EXPECT_EQ(amc_args.count, 8) << fast;
        EXPECT_EQ(amc_args.values[7], 8) << fast;

        // Off either end, or an instruction, a tail jump, a chain or a link
        // cut off by the end: the pass ends there, nothing read beyond.
        const std::vector<Words> cut = {
            {OP_JUMP, -4},
            {OP_SET_REG, 5, 1, OP_JUMP, 6},
            {OP_REG, 5, ALU_LOAD, OP_IMM, 1, ALU_ADD, OP_REG, 5, ALU_STORE, OP_JUMP},
            {OP_REG, 5, AMC_INDIRECT, 5, AMC_INDIRECT},
            {OP_REG, 28, AMC_INDIRECT, 5},
        };
        for (const Words& p : cut) {
            load({p, {OP_SET_REG, 6, 1, OP_YIELD}});
            int s = actor_spawn(0);
            int after = actor_spawn(1);
            tick();
            EXPECT_EQ(actor(s).resume_pc, 0) << fast;
            EXPECT_EQ(actor(after).regs[6], 0) << fast;  // no turn after the pass ended
            EXPECT_LE(actor(s).regs[5], 1) << fast;
        }
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
