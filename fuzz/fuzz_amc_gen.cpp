// The fuzzer's bytes as choices that build valid AMC programs, the kind a
// script writer or a model of the engine writes: several programs of value
// instructions and fused-op sequences (assignments, conditions, range and
// sum tests), counted loops, calls and returns, links to other actors,
// stores into the program, SPAWN of existing and missing programs, MOVE of
// every duration, handlers that resume or break, END in the middle of a
// pass, writes that break the actor list. Every program is started, then
// ticks run with controls from the bytes, on the pre-decoded path and
// again on the plain one; the worlds must agree after every tick.
// Raw bytes (fuzz_amc) seldom make a program that gets this far.
#include "engine/actor.h"
#include "engine/amc.h"
#include "engine/amc_ops.h"
#include "engine/amc_vm.h"
#include "engine/diag.h"

#include <unistd.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// A turn limit low enough that a program that never yields costs little,
// above what any generated straight-line code needs.
constexpr int32_t TURN_LIMIT = 2000;
constexpr int MAX_TICKS = 80;
constexpr int MAX_PROGRAMS = 8;
constexpr int MAX_STATEMENTS = 48;
constexpr int LABELS = 16;

// The fuzzer's bytes as a stream of choices; 0 once they run out.
struct Choices {
    const uint8_t* p;
    size_t n;
    unsigned byte()
    {
        if (!n)
            return 0;
        n--;
        return *p++;
    }
    int below(int range) { return range <= 1 ? 0 : (int)(byte() % (unsigned)range); }
    int word()
    {
        const unsigned lo = byte();
        return (int16_t)(uint16_t)(lo | byte() << 8);
    }
    bool one_in(int k) { return below(k) == 0; }
};

constexpr int ALUS[] = {ALU_LOAD, ALU_ADD, ALU_SUB, ALU_MUL, ALU_DIV, ALU_AND,
                        ALU_OR,   ALU_GT,  ALU_EQ,  ALU_NE,  ALU_LT,  ALU_STORE};
constexpr int TESTS[] = {ALU_GT, ALU_EQ, ALU_NE, ALU_LT, ALU_AND};
constexpr int DURATIONS[] = {0, 1, 2, 3, 5, 7, -1, -2, -3, 32767, -32768};
constexpr int LINKS[] = {REG_NEXT, REG_PREV, REG_SELF, REG_X};

// One program under construction: words, labels placed as it goes, and the
// words that name a label, filled in at the end.
struct Builder {
    Choices& c;
    int programs;  // how many there are: SPAWN of this number is a missing one
    std::vector<int> w;
    int label_at[LABELS];
    std::vector<std::pair<size_t, int>> fixups;
    std::vector<int> subs;  // labels of subroutines called, written at the end

    explicit Builder(Choices& choices, int n) : c(choices), programs(n)
    {
        for (int& l : label_at)
            l = -1;
    }

    int reg()
    {
        if (c.one_in(3))
            return (int[]){0, 1, 2, 7, 8, REG_NEXT, REG_SELF, REG_X, REG_Y, REG_FRAME}[c.below(10)];
        return c.below(32);
    }
    int constant()
    {
        switch (c.below(6)) {
        case 0: return c.word();
        case 1: return (int[]){0, 1, -1, 2, 32767, -32768, 63, 64}[c.below(8)];
        default: return c.below(40) - 10;
        }
    }
    void target(int label)
    {
        fixups.push_back({w.size(), label});
        w.push_back(0);
    }
    void place(int label)
    {
        if (label_at[label] < 0)
            label_at[label] = (int)w.size();
    }
    // A value instruction: operand of any kind, chains of links included.
    void value(int alu)
    {
        switch (c.below(alu == ALU_STORE ? 5 : 6)) {
        case 0:
        case 1:
            if (alu == ALU_STORE && !c.one_in(4)) {  // into the program now and then
                w.insert(w.end(), {OP_REG, reg(), alu});
                return;
            }
            w.insert(w.end(), {OP_IMM, constant(), alu});
            return;
        case 2: w.insert(w.end(), {OP_REG, reg(), alu}); return;
        case 3: w.insert(w.end(), {OP_GLOBAL, c.below(32), alu}); return;
        case 4:  // a chain: one to three links
            w.insert(w.end(), {c.below(2) ? OP_REG : OP_GLOBAL, c.below(2) ? REG_NEXT : reg()});
            for (int k = 1 + c.below(3); k > 0; k--)
                w.insert(w.end(), {AMC_INDIRECT, c.below(2) ? LINKS[c.below(4)] : c.below(32)});
            w.push_back(alu);
            return;
        default: w.insert(w.end(), {OP_RANDOM, c.below(2) ? 0x7FFF : c.below(64), alu}); return;
        }
    }
    void jump_if(int label)
    {
        w.push_back(c.below(2) ? OP_JUMP_IF_ZERO : OP_JUMP_IF_TRUE);
        target(label);
    }
    void statement()
    {
        const int r = reg();
        switch (c.below(24)) {
        case 0:
        case 1: value(c.one_in(16) ? 99 + c.below(2) * 14 : ALUS[c.below(12)]); break;
        case 2:
        case 3:  // load A; x B; store C
            value(ALU_LOAD);
            for (int k = c.below(3); k > 0; k--)
                value(ALUS[1 + c.below(10)]);
            value(ALU_STORE);
            break;
        case 4:
        case 5:  // a condition
            if (c.below(3))
                value(ALU_LOAD);
            value(TESTS[c.below(5)]);
            jump_if(c.below(LABELS));
            break;
        case 6: {  // a counted loop
            const int l = c.below(LABELS);
            w.insert(w.end(), {OP_SET_REG, r, 1 + c.below(4)});
            place(l);
            value(ALUS[c.below(11)]);
            w.insert(w.end(), {OP_REG, r, ALU_LOAD, OP_IMM, 1, ALU_SUB, OP_REG, r, ALU_STORE,
                               OP_REG, r, ALU_LOAD, OP_IMM, 0, ALU_GT, OP_JUMP_IF_TRUE});
            target(l);
            break;
        }
        case 7: {  // a call, returning at once or from a subroutine at the end
            const int ret = c.below(3) ? 27 : r, sub = c.below(LABELS);
            w.insert(w.end(), {OP_SET_REG, ret, (int)w.size() + 5 - c.one_in(8), OP_JUMP});
            target(sub);
            subs.push_back(sub | ret << 8);
            break;
        }
        case 8: {  // r < a || r > b
            const int a = c.below(20) - 10;
            w.insert(w.end(), {OP_REG, r, ALU_LOAD, OP_IMM, a, ALU_LT, OP_JUMP_IF_TRUE});
            target(c.below(LABELS));
            w.insert(w.end(), {OP_REG, r, ALU_LOAD, OP_IMM, a + c.below(20), ALU_GT});
            jump_if(c.below(LABELS));
            break;
        }
        case 9:  // a sum or a difference against a constant
            value(ALU_LOAD);
            value(c.below(2) ? ALU_ADD : ALU_SUB);
            w.insert(w.end(), {OP_IMM, constant(), TESTS[c.below(5)]});
            jump_if(c.below(LABELS));
            break;
        case 10:
            w.push_back((int[]){OP_JUMP, OP_BREAK, OP_JUMP_IF_ZERO, OP_JUMP_IF_TRUE,
                                OP_BREAK_IF_TRUE}[c.below(5)]);
            target(c.below(LABELS));
            break;
        case 11: w.push_back(c.below(2) ? OP_RESUME : OP_RESUME_IF_TRUE); break;
        case 12:
        case 13: w.push_back(OP_YIELD); break;
        case 14: w.push_back(OP_END); break;
        case 15: {  // spawn of an existing or a missing program, 0..7 arguments
            const int n =
                c.one_in(6) ? (c.below(2) ? programs : -1 - c.below(3)) : c.below(programs);
            const int args = c.below(8);
            if (args) {
                w.insert(w.end(), {OP_IMM, n, ALU_LOAD, OP_PUSH});
                for (int k = 1; k < args; k++) {
                    value(ALU_LOAD);
                    w.push_back(OP_PUSH);
                }
                value(ALU_LOAD);
            } else {
                w.insert(w.end(), {OP_IMM, n, ALU_LOAD});
            }
            w.push_back(OP_SPAWN);
            break;
        }
        case 16:  // a move of any duration
            value(ALU_LOAD);
            w.push_back(OP_PUSH);
            value(ALU_LOAD);
            w.push_back(OP_PUSH);
            if (c.below(4))
                w.insert(w.end(), {OP_IMM, DURATIONS[c.below(11)], ALU_LOAD});
            else
                value(ALU_LOAD);
            w.push_back(OP_MOVE);
            break;
        case 17:  // a handler, or none; going on here or elsewhere
            w.push_back(OP_SET_HANDLER);
            if (c.below(3))
                w.push_back((int)w.size() + 2);
            else
                target(c.below(LABELS));
            if (c.below(4))
                target(c.below(LABELS));
            else
                w.push_back(-1);
            break;
        case 18:  // links: the actor list rewritten
            if (c.below(2)) {
                w.insert(w.end(), {OP_SET_REG, c.below(2) ? REG_NEXT : REG_PREV, c.below(8)});
            } else {
                value(ALU_LOAD);
                w.insert(w.end(), {OP_REG, c.below(2) ? REG_SELF : REG_NEXT, AMC_INDIRECT,
                                   c.below(2) ? REG_NEXT : REG_PREV, ALU_STORE});
            }
            break;
        case 19: w.insert(w.end(), {OP_SET_REG, r, constant()}); break;
        case 20: w.insert(w.end(), {OP_JUMP_REG, c.below(2) ? 27 : r}); break;
        case 21:  // a jump into the middle of an instruction
            w.insert(w.end(), {OP_JUMP, (int)w.size() + 3 + c.below(3), OP_IMM, constant(),
                               ALU_LOAD, OP_YIELD});
            break;
        case 22: w.push_back(c.below(24) - 2); break;  // a stray word
        default: place(c.below(LABELS)); break;
        }
    }
    std::vector<int> build()
    {
        for (int k = 1 + c.below(MAX_STATEMENTS); k > 0; k--)
            statement();
        w.push_back(c.below(2) ? OP_YIELD : OP_END);
        if (c.below(2))
            w.insert(w.end(), {OP_JUMP, 0});
        // Subroutines: each does a little and returns through its register.
        for (size_t i = 0; i < subs.size() && i < 16; i++) {
            const int s = subs[i];
            place(s & 0xFF);
            for (int k = c.below(3); k > 0; k--)
                statement();
            w.insert(w.end(), {OP_JUMP_REG, s >> 8});
        }
        // A label never placed lands anywhere, outside the program too.
        for (auto [at, label] : fixups)
            w[at] = label_at[label] >= 0 ? label_at[label] : c.below((int)w.size() + 4) - 2;
        return w;
    }
};

uint64_t fnv(uint64_t h, const void* p, size_t n)
{
    const unsigned char* b = (const unsigned char*)p;
    for (size_t i = 0; i < n; i++)
        h = (h ^ b[i]) * 1099511628211ULL;
    return h;
}
template <typename T>
uint64_t mix(uint64_t h, T v)
{
    return fnv(h, &v, sizeof v);
}

uint64_t diag_hash;
void hash_diag(const char* text, size_t len, void*) { diag_hash = fnv(diag_hash, text, len); }

// Everything a tick can change, field by field (records have padding).
uint64_t world_hash()
{
    uint64_t h = diag_hash;
    for (const Actor& a : actor_table.slots) {
        h = mix(mix(mix(h, a.program), a.resume_pc), a.handler_pc);
        h = mix(mix(mix(h, a.move_dx), a.move_dy), a.move_duration);
        h = mix(mix(mix(h, a.move_rem_x), a.move_rem_y), a.move_ticks_left);
        h = fnv(h, a.regs, sizeof a.regs);
    }
    h = fnv(h, actor_table.free_stack, sizeof actor_table.free_stack);
    h = mix(h, actor_table.free_count);
    h = fnv(h, amc_globals, sizeof amc_globals);
    h = fnv(h, amc_args.values, sizeof amc_args.values);
    h = mix(mix(h, amc_args.count), amc_get_seed());
    for (int p = 0; p < program_count; p++)
        h = fnv(h, program_table[p].words, (size_t)program_table[p].length * 2);
    return h;
}

struct Run {
    int programs;
    int ticks;
    int32_t seed;
    int16_t controls[MAX_TICKS];
    uint64_t after[MAX_TICKS];
};

void play(const char* path, bool fast, Run& r, const Run* against)
{
    amc_set_fast_path(fast);
    amc_unload_all();
    amc_vm_reset();
    if (amc_load(path) != AMC_OK)
        abort();  // the generator writes only whole programs
    actor_table_reset();
    amc_seed(r.seed);
    diag_hash = 1469598103934665603ULL;
    for (int p = 0; p < r.programs; p++)
        actor_spawn(p);
    for (int t = 0; t < r.ticks; t++) {
        amc_globals[GLOBAL_CONTROLS] = r.controls[t];
        amc_run_tick();
        r.after[t] = world_hash();
        if (against && r.after[t] != against->after[t]) {
            fprintf(stderr, "the pre-decoded and the plain interpreter disagree after tick %d\n",
                    t + 1);
            abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static char path[64];
    if (!path[0])
        snprintf(path, sizeof path, "/tmp/fuzz_amc_gen_%d.AMC", (int)getpid());
    Choices c{data, size};
    static Run fast, plain;
    fast.programs = 1 + c.below(MAX_PROGRAMS);
    const uint32_t high = (uint16_t)c.word();
    fast.seed = (int32_t)(high << 16 | (uint16_t)c.word());
    fast.ticks = 1 + c.below(MAX_TICKS);
    for (int16_t& k : fast.controls)
        k = (int16_t)(c.byte() * 0x0101);
    // The file: "AMC", each program's count and words, a 0 count.
    std::vector<uint8_t> file = {'A', 'M', 'C'};
    for (int p = 0; p < fast.programs; p++) {
        std::vector<int> w = Builder(c, fast.programs).build();
        if (w.size() > 30000)
            w.resize(30000);
        file.push_back((uint8_t)w.size());
        file.push_back((uint8_t)(w.size() >> 8));
        for (int v : w) {
            file.push_back((uint8_t)v);
            file.push_back((uint8_t)((unsigned)v >> 8));
        }
    }
    file.push_back(0);
    file.push_back(0);
    FILE* f = fopen(path, "wb");
    if (!f)
        return 0;
    fwrite(file.data(), 1, file.size(), f);
    fclose(f);

    plain = fast;
    diag_set_sink(hash_diag, nullptr);
    amc_set_turn_limit(TURN_LIMIT);
    play(path, true, fast, nullptr);
    play(path, false, plain, &fast);
    amc_unload_all();
    return 0;
}
