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
    const Words p = {OP_REG, 4, ALU_LOAD, OP_JUMP_IF_TRUE, 14, OP_SET_REG, 4, 1,
                     OP_IMM, 77, ALU_LOAD, OP_JUMP, 20, 0,
                     OP_IMM, ALU_STORE, ALU_LOAD, OP_JUMP, 21, 0,
                     OP_REG, OP_IMM, ALU_ADD, ALU_STORE, OP_JUMP, 20};
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
        load({{OP_REG, 4, ALU_LOAD, OP_IMM, 1, ALU_ADD, OP_REG, 4, ALU_STORE,
               OP_REG, 5, ALU_LOAD, OP_IMM, 1, ALU_ADD, OP_REG, 5, ALU_STORE, OP_JUMP, 0}});
        int s = actor_spawn(0);
        tick();
        EXPECT_EQ(actor(s).regs[4], 14286) << fast;
        EXPECT_EQ(actor(s).regs[5], 14285) << fast;
        EXPECT_EQ(diags, "!! Actor 1 runs without yielding\n");
        diags.clear();
    }
}

// Programs made mostly of what the assembler writes (loads, arithmetic and
// stores, compares and branches), with jumps anywhere (into the middle of
// instructions too), chains, stores into the program, spawns, moves,
// handlers, and now and then a stray word.
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
    while ((int)w.size() < n) {
        int c = pick(100);
        if (c < 25) {
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
                                       OP_BREAK_IF_TRUE}[pick(5)], pick(n + 4) - 2});
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

TEST_F(VmPaths, RandomProgramsLeaveTheSameWorldOnBothPaths)
{
    amc_set_turn_limit(500);
    std::mt19937 r(14);
    for (int round = 0; round < 500; round++) {
        std::vector<Words> programs(2 + r() % 6);
        for (Words& p : programs)
            p = random_program(r, (int)programs.size());
        const uint32_t seed = r();
        Outcome out[2];
        for (int path = 0; path < 2; path++) {
            amc_set_fast_path(path == 0);
            load(programs);
            amc_seed((int32_t)seed);
            diags.clear();
            for (int p = 0; p < (int)programs.size(); p++)
                actor_spawn(p);
            for (int t = 0; t < 40; t++) {
                amc_globals[GLOBAL_CONTROLS] = (int16_t)(t * 37);
                amc_run_tick();
            }
            std::vector<int16_t>& s = out[path].state;
            for (const Actor& a : actor_table.slots) {
                s.insert(s.end(), {a.program, (int16_t)a.resume_pc, (int16_t)a.handler_pc,
                                   a.move_dx, a.move_dy, a.move_duration, a.move_rem_x,
                                   a.move_rem_y, (int16_t)a.move_ticks_left});
                s.insert(s.end(), a.regs, a.regs + ACTOR_REGS);
            }
            s.insert(s.end(), amc_globals, amc_globals + AMC_GLOBALS);
            s.insert(s.end(), amc_args.values, amc_args.values + AMC_ARGS);
            s.insert(s.end(), {amc_args.count, (int16_t)amc_get_seed()});
            for (int p = 0; p < program_count; p++)
                s.insert(s.end(), program_table[p].words,
                         program_table[p].words + program_table[p].length);
            out[path].diags = diags;
        }
        ASSERT_EQ(out[0].state, out[1].state) << "round " << round;
        ASSERT_EQ(out[0].diags, out[1].diags) << "round " << round;
    }
}

}  // namespace
