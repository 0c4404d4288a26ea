// A headless game: the world run tick by tick from a demo or a list of
// Controls words, level after level as the game plays them, with its trace
// or checked against what the game wrote.
#pragma once

#include "engine/sim.h"
#include "expected.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct DemoImage;

// The objects a level file holds (--levels): a row whose map or pictures
// are not among them fails to load, as in the game.
struct SimLevels {
    bool given = false;
    std::vector<std::string> names;
};
bool sim_row_loads(const SimLevels& levels, int row);

struct SimRun {
    SimOptions o;
    bool game = false;  // go on at the row a level ends with, as the game does
    SimLevels levels;
    DemoImage* demo = nullptr;
    std::vector<int16_t> controls;
    bool use_controls = false;
    uint64_t max_ticks = 1000;
};

struct SimRunEnd {
    uint32_t ticks = 0;
    int outcome = -1;  // the scripts' outcome; -1: the controls ran out, or max_ticks
    int16_t score = 0;
};

// Called after every tick with the level row it played and whether it was
// the tick that a finished demo feeds controls 0; false stops the run.
struct SimTickCheck {
    bool (*fn)(void* user, uint32_t tick, int16_t row, bool tail);
    void* user;
};

// Runs from the start (programs loaded). Ticks from `trace_from` on are
// written to `trace` with their L lines; the others run untraced.
SimRunEnd sim_run(const SimRun& r, SimTrace* trace, uint64_t trace_from, SimTickCheck check);

// Checks the run (a --game run) against `want`, read from `trace_name`,
// reporting to `out`: 0 when every tick and the end agree, 1 at the first
// difference (with this run's trace of that tick and the one before, for
// which the programs are loaded again from `amc`), 2 when `want` is the game
// of other settings (said on `err`).
int sim_verify(const char* amc, const char* trace_name, const ExpectedGame& want, SimRun& r,
               FILE* out, FILE* err);
