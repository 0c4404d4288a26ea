// The headless simulator's run and its trace: a line-oriented dump of the
// world after every tick that other implementations can be compared with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Where trace text goes: a file, a 64-bit FNV-1a hash of it, or both.
struct SimTrace {
    FILE* out = nullptr;  // null: not written
    bool hash = false;
    uint64_t fnv = 1469598103934665603ULL;
    char buf[16384];
    size_t len = 0;
};

void sim_trace_write(SimTrace& t, const char* text, size_t len);
void sim_trace_flush(SimTrace& t);

struct SimOptions {
    int16_t level = 1, mode = 1, skill = 5;
    int32_t seed = 1;
};

// The state of a run's start (programs already loaded): table reset, seed,
// director, globals.
void sim_start(const SimOptions& o);

// One tick: controls, pass, sound requests, trace lines. Returns true when
// the tick ended the run (exit_request bit 8 set).
bool sim_tick(SimTrace& t, uint32_t tick, int16_t controls);
