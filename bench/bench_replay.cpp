// Replay checking speed on the game's own scripts (the built GAME.AMC): the
// verifier's tick (world step and world hash), the game's per-tick hash
// alone, and the text trace hashed as --hash does. Two worlds: street 1
// with the hero alone, and street 1 with 38 thugs about the hero (40 live
// actors with the director).
#include "demo/demo.h"
#include "engine/actor.h"
#include "engine/amc.h"
#include "engine/amc_vm.h"
#include "engine/diag.h"
#include "engine/sim.h"
#include "engine/world_hash.h"

#include <benchmark/benchmark.h>

namespace {

int live_actors()
{
    int n = 0;
    for (int s = actor_next(0); s != 0 && n < 63; s = actor_next(s))
        n++;
    return n;
}

// Street 1 from its start; `thugs` brawlers of the enemies' program along
// the street. False when the game's programs are not built.
bool start_street(int thugs)
{
    // Loaded again when another benchmark has loaded its own programs since.
    static const int16_t* loaded = nullptr;
    static int16_t loaded_count = 0;
    if (!loaded || program_count != loaded_count || program_table[0].words != loaded) {
        amc_unload_all();
        amc_vm_reset();
        if (amc_load(NWD_GAME_AMC) != 0)
            return false;
        loaded = program_table[0].words;
        loaded_count = program_count;
    }
    SimOptions o;
    sim_start(o);
    for (int i = 0; i < thugs; i++) {
        int s = actor_spawn(PROGRAM_ENEMY);
        if (s > 0) {
            int16_t* r = actor_table.slots[s].regs;
            r[ARG_ENEMY_KIND] = E_BRAWLER;
            r[ARG_ENEMY_WX] = (int16_t)(120 + 37 * i);
            r[ARG_ENEMY_GY] = (int16_t)(150 + i % 40);
            r[ARG_ENEMY_SCHEME] = (int16_t)(i % 5);  // one of the gangs' colours
        }
    }
    return true;
}

void drop(const char*, size_t, void*) {}

// A game over restarts the street, so that every tick measured is a tick
// of the same kind of world.
template <typename Tick>
void run_ticks(benchmark::State& state, Tick tick)
{
    int thugs = (int)state.range(0);
    if (!start_street(thugs)) {
        state.SkipWithError("no " NWD_GAME_AMC ": build the game data first");
        return;
    }
    diag_set_sink(drop, nullptr);
    double actors = 0;
    for (auto _ : state) {
        if (tick()) {
            state.PauseTiming();
            start_street(thugs);
            state.ResumeTiming();
        }
    }
    actors = live_actors();
    diag_set_sink(nullptr, nullptr);
    state.counters["ticks/s"] =
        benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
    state.counters["actors_at_end"] = actors;
}

// What --verify does per tick: step, hash, compare with the trace's.
void BM_VerifyTick(benchmark::State& state)
{
    uint64_t want = 0;
    run_ticks(state, [&] {
        bool ended = sim_step(0, true);
        benchmark::DoNotOptimize(world_hash() == want);
        return ended;
    });
}
BENCHMARK(BM_VerifyTick)->Arg(0)->Arg(38);

// The game's NWD_DEMO_TRACE hash alone, on the world after a tick.
void BM_WorldHash(benchmark::State& state)
{
    int thugs = (int)state.range(0);
    if (!start_street(thugs)) {
        state.SkipWithError("no " NWD_GAME_AMC ": build the game data first");
        return;
    }
    diag_set_sink(drop, nullptr);
    for (int i = 0; i < 200; i++)
        sim_step(0, true);
    diag_set_sink(nullptr, nullptr);
    for (auto _ : state)
        benchmark::DoNotOptimize(world_hash());
    state.counters["hashes/s"] =
        benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
    state.counters["actors"] = live_actors();
}
BENCHMARK(BM_WorldHash)->Arg(0)->Arg(38);

// --hash: every tick's trace text formatted and run through FNV-1a.
void BM_TextTraceHash(benchmark::State& state)
{
    static SimTrace trace;
    trace.hash = true;
    uint32_t t = 0;
    run_ticks(state, [&] { return sim_tick(trace, ++t, 0); });
    sim_trace_flush(trace);
    benchmark::DoNotOptimize(trace.fnv);
}
BENCHMARK(BM_TextTraceHash)->Arg(0)->Arg(38);

}  // namespace
