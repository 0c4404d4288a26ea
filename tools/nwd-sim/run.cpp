#include "run.h"

#include "datafile/level_objects.h"
#include "demo/state.h"
#include "engine/amc.h"
#include "engine/amc_vm.h"
#include "engine/diag.h"
#include "engine/world.h"
#include "engine/world_hash.h"

bool sim_row_loads(const SimLevels& levels, int row)
{
    if (!levels.given || row < 0 || row >= LEVEL_OBJECT_ROWS)
        return true;
    const LevelObjects& o = level_objects[row];
    for (const char* name : {o.map, o.sheet, o.backdrop}) {
        if (!name[0])
            continue;
        bool found = false;
        for (const std::string& n : levels.names)
            found = found || n == name;
        if (!found)
            return false;
    }
    return true;
}

SimRunEnd sim_run(const SimRun& r, SimTrace* trace, uint64_t trace_from, SimTickCheck check)
{
    SimRunEnd e;
    if (r.game && !world_row_playable(r.o.level)) {
        e.outcome = r.o.level;  // the game plays no level at all
        return e;
    }
    if (r.game && !sim_row_loads(r.levels, r.o.level)) {
        e.outcome = WORLD_LEVEL_NOT_LOADED;
        return e;
    }
    WorldStart w = sim_start(r.o);
    if (r.demo)
        demo_play_start(r.demo);
    for (uint64_t t = 1; t <= r.max_ticks; t++) {
        int16_t c = 0;
        bool tail = false;
        // As in the game: the tick that finds the demo out of frames still
        // runs with controls 0; the one after it does not. A game played
        // from a list of words ends with the list in the same way.
        if (r.demo) {
            if (demos.state & DEMO_ENDED)
                break;
            c = (int16_t)demo_play_next();
            tail = (demos.state & DEMO_ENDED) != 0;
        } else if (r.use_controls && t > r.controls.size()) {
            if (r.game && t > r.controls.size() + 1)
                break;
            tail = r.game;
        } else if (r.use_controls) {
            c = r.controls[t - 1];
        }
        int16_t row = w.level;
        bool traced = trace && t >= trace_from;
        bool ended = traced ? sim_tick(*trace, (uint32_t)t, c, r.o.sound) : sim_step(c, r.o.sound);
        e.ticks = (uint32_t)t;
        e.score = amc_globals[GLOBAL_SCORE];
        if (check.fn && !check.fn(check.user, (uint32_t)t, row, tail))
            return e;
        if (!ended)
            continue;
        int outcome = amc_globals[GLOBAL_EXIT_REQUEST] & 0xFF;
        if (!r.game) {
            e.outcome = outcome;
            return e;
        }
        bool more = world_end_level(w, outcome);
        e.score = w.score;
        if (!more) {
            e.outcome = outcome;
            return e;
        }
        if (!sim_row_loads(r.levels, w.level)) {
            // The game's level start fails: the game ends as lost.
            world_end_level(w, WORLD_LEVEL_NOT_LOADED);
            e.score = w.score;
            e.outcome = WORLD_LEVEL_NOT_LOADED;
            return e;
        }
        world_start_level(w);
        if (traced)
            sim_tracef(*trace, "L %d\n", outcome);
    }
    return e;
}

namespace {

struct Verify {
    const ExpectedGame* want;
    uint32_t bad_tick = 0;  // the first tick that differs, 0 for none
    int16_t bad_row = 0;
    uint64_t got_hash = 0;
    bool tail_extra = false;   // the demo's last tick, after a recording's last
    int16_t score_at_end = 0;  // after the trace's last tick
};

bool verify_tick(void* user, uint32_t tick, int16_t row, bool tail)
{
    Verify& v = *(Verify*)user;
    size_t n = v.want->hashes.size();
    if (tick > n) {
        // A recording that the player ended holds one tick fewer than its
        // replay: the replay's last tick, fed controls 0, never happened.
        if (tick == n + 1 && tail && v.want->outcome == -1) {
            v.tail_extra = true;
            return true;
        }
        v.bad_tick = tick;
        v.bad_row = row;
        return false;
    }
    uint64_t h = world_hash();
    if (tick == n)
        v.score_at_end = amc_globals[GLOBAL_SCORE];
    if (h != v.want->hashes[tick - 1]) {
        v.bad_tick = tick;
        v.bad_row = row;
        v.got_hash = h;
        return false;
    }
    return true;
}

void drop_diag(const char*, size_t, void*) {}

// This run's trace of ticks `to` - 1 and `to`, from a fresh start: scripts
// may have written into their own program words.
void show_ticks(const char* amc, SimRun r, uint32_t to, FILE* out)
{
    amc_unload_all();
    amc_vm_reset();
    if (to == 0 || amc_load(amc) != 0)
        return;
    static SimTrace t;
    t.out = out;
    t.hash = false;
    r.max_ticks = to;
    diag_set_sink(drop_diag, nullptr);
    sim_run(r, &t, to > 1 ? to - 1 : 1, SimTickCheck{});
    diag_set_sink(nullptr, nullptr);
    sim_trace_flush(t);
}

}  // namespace

int sim_verify(const char* amc, const char* trace_name, const ExpectedGame& want, SimRun& r,
               FILE* out, FILE* err)
{
    if (want.has_start) {
        if (want.level != r.o.level || want.mode != r.o.mode || want.skill != r.o.skill ||
            want.seed != (uint32_t)r.o.seed) {
            fprintf(err,
                    "nwd-sim: %s:1: a game of level %d, mode %d, skill %d, seed %u; this run plays "
                    "level %d, mode %d, skill %d, seed %u\n",
                    trace_name, want.level, want.mode, want.skill, want.seed, r.o.level, r.o.mode,
                    r.o.skill, (uint32_t)r.o.seed);
            return 2;
        }
        r.o.sound = want.sound;
    }
    // Other programs play another game: no tick of it says anything.
    uint64_t programs = world_programs_hash(program_table, program_count);
    if (want.has_programs && want.programs != programs) {
        fprintf(out, "recorded with other programs: the trace's %016llx, %s's %016llx\n",
                (unsigned long long)want.programs, amc, (unsigned long long)programs);
        return 1;
    }
    Verify v{&want};
    diag_set_sink(drop_diag, nullptr);
    SimRunEnd e = sim_run(r, nullptr, 0, SimTickCheck{verify_tick, &v});
    diag_set_sink(nullptr, nullptr);
    size_t n = want.hashes.size();
    if (v.bad_tick && v.bad_tick <= n) {
        fprintf(out, "tick %u (level row %d) differs: expected %016llx, got %016llx\n", v.bad_tick,
                v.bad_row, (unsigned long long)want.hashes[v.bad_tick - 1],
                (unsigned long long)v.got_hash);
        show_ticks(amc, r, v.bad_tick, out);
        return 1;
    }
    if (v.bad_tick) {
        fprintf(out,
                "tick %u (level row %d) differs: the game ended after tick %zu (end score=%d "
                "outcome=%d), this run goes on\n",
                v.bad_tick, v.bad_row, n, want.score, want.outcome);
        show_ticks(amc, r, v.bad_tick, out);
        return 1;
    }
    if (e.ticks < n) {
        fprintf(out,
                "tick %u differs: this run ended after tick %u (end score=%d outcome=%d), the "
                "game went on to tick %zu\n",
                e.ticks + 1, e.ticks, e.score, e.outcome, n);
        show_ticks(amc, r, e.ticks, out);
        return 1;
    }
    int16_t score = v.tail_extra ? v.score_at_end : e.score;
    if (score != want.score || e.outcome != want.outcome) {
        fprintf(out, "end differs: expected score=%d outcome=%d, got score=%d outcome=%d\n",
                want.score, want.outcome, score, e.outcome);
        show_ticks(amc, r, (uint32_t)n, out);
        return 1;
    }
    fprintf(out, "verified %zu ticks: end score=%d outcome=%d\n", n, want.score, want.outcome);
    return 0;
}
