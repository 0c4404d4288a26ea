// Interpreter speed: raw instructions per second, and whole passes over a
// full table of actors running a realistic script. Also counts heap
// allocations made while ticks run (there must be none).
#include "engine/actor.h"
#include "engine/amc.h"
#include "engine/amc_ops.h"
#include "engine/amc_vm.h"
#include "engine/diag.h"

#include <benchmark/benchmark.h>

#include <unistd.h>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

static std::atomic<long> heap_calls{0};
extern "C" void* __libc_malloc(size_t);
extern "C" void* malloc(size_t n)
{
    heap_calls.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(n);
}

static void load_words(const std::vector<std::vector<int>>& programs)
{
    std::string s = "AMC";
    auto put = [&](int w) {
        s += (char)(w & 0xFF);
        s += (char)((w >> 8) & 0xFF);
    };
    for (auto& p : programs) {
        put((int)p.size());
        for (int w : p)
            put(w);
    }
    put(0);
    // A name of this process's own: other runs may be loading theirs.
    char path[64];
    snprintf(path, sizeof path, "/tmp/nwd-bench-%d.AMC", (int)getpid());
    FILE* f = fopen(path, "wb");
    if (!f)
        abort();
    fwrite(s.data(), 1, s.size(), f);
    fclose(f);
    amc_unload_all();
    amc_vm_reset();
    int r = amc_load(path);
    remove(path);
    if (r != 0)
        abort();
    actor_table_reset();
}

// 10 instructions per iteration, 1000 iterations per turn.
static void BM_ArithmeticLoop(benchmark::State& state)
{
    load_words({{OP_REG,          4, ALU_LOAD,   OP_IMM, 1, ALU_ADD,  OP_REG,  4,    ALU_STORE,
                 OP_IMM,          3, ALU_MUL,    OP_IMM, 7, ALU_AND,  OP_REG,  5,    ALU_ADD,
                 OP_REG,          5, ALU_STORE,  OP_REG, 4, ALU_LOAD, OP_IMM,  1000, ALU_LT,
                 OP_JUMP_IF_TRUE, 0, OP_SET_REG, 4,      0, OP_YIELD, OP_JUMP, 0}});
    actor_spawn(0);
    long before = heap_calls.load();
    for (auto _ : state)
        amc_run_tick();
    state.counters["allocs"] = (double)(heap_calls.load() - before);
    state.counters["instr/s"] = benchmark::Counter((double)state.iterations() * (10 * 1000 + 3),
                                                   benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ArithmeticLoop);

// Program 0 (the "hero", slot 1) wanders; 62 walkers chase it through
// INDIRECT reads of its x and y, and now and then one ends and spawns its
// replacement at the tail.
static void BM_FullTable(benchmark::State& state)
{
    enum { HERO = 0, WALKER = 1 };
    std::vector<int> hero = {OP_RANDOM, 15, ALU_LOAD, OP_IMM,  7,       ALU_SUB, OP_PUSH,
                             OP_RANDOM, 7,  ALU_LOAD, OP_IMM,  3,       ALU_SUB, OP_PUSH,
                             OP_IMM,    8,  ALU_LOAD, OP_MOVE, OP_JUMP, 0};
    std::vector<int> walker = {// 0: 1 in 64 chance: replace myself.
                               OP_RANDOM, 63, ALU_LOAD, OP_IMM, 0, ALU_EQ, OP_JUMP_IF_ZERO, 16,
                               OP_IMM, WALKER, ALU_LOAD, OP_SPAWN, OP_END, OP_END, OP_END, OP_END,
                               // 16: dx = (hero.x - x) / 8 ; dy likewise
                               OP_GLOBAL, 2, AMC_INDIRECT, REG_X, ALU_LOAD, OP_REG, REG_X, ALU_SUB,
                               OP_IMM, 8, ALU_DIV, OP_PUSH, OP_GLOBAL, 2, AMC_INDIRECT, REG_Y,
                               ALU_LOAD, OP_REG, REG_Y, ALU_SUB, OP_IMM, 8, ALU_DIV, OP_PUSH,
                               // close enough: count a hit in global 3
                               OP_GLOBAL, 2, AMC_INDIRECT, REG_X, ALU_LOAD, OP_REG, REG_X, ALU_EQ,
                               OP_JUMP_IF_ZERO, 56, OP_GLOBAL, 3, ALU_LOAD, OP_IMM, 1, ALU_ADD,
                               OP_GLOBAL, 3, ALU_STORE,
                               // 56:
                               OP_IMM, 4, ALU_LOAD, OP_MOVE, OP_JUMP, 0};
    load_words({hero, walker});
    amc_seed(1);
    amc_globals[2] = actor_spawn(HERO);
    while (actor_spawn(WALKER) > 0) {}
    diag_set_sink([](const char*, size_t, void*) {}, nullptr);
    long before = heap_calls.load();
    for (auto _ : state)
        amc_run_tick();
    diag_set_sink(nullptr, nullptr);
    state.counters["allocs"] = (double)(heap_calls.load() - before);
    state.counters["ticks/s"] =
        benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FullTable);
