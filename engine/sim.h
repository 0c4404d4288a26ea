// The headless simulator's run and its trace: a line-oriented dump of the
// world after every tick that other implementations can be compared with.
#pragma once

#include "world.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

constexpr uint64_t SIM_FNV_OFFSET = 14695981039346656037ULL;
constexpr uint64_t SIM_FNV_PRIME = 1099511628211ULL;

// FNV-1a 64 of `len` bytes, continuing from `h`.
uint64_t sim_fnv1a(uint64_t h, const void* data, size_t len);

// Where trace text goes: a file, the FNV-1a 64 of the text, or both.
struct SimTrace {
    FILE* out = nullptr;  // null: not written
    bool hash = false;
    uint64_t fnv = SIM_FNV_OFFSET;
    char buf[65536];
    size_t len = 0;
};

void sim_trace_write(SimTrace& t, const char* text, size_t len);
void sim_trace_flush(SimTrace& t);
void sim_tracef(SimTrace& t, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

struct SimOptions {
    int16_t level = 1, mode = 1, skill = 5;
    int32_t seed = 1;
    bool sound = true;  // false: sound requests stay in the registers, as with -nosound
};

// The start of a run (programs already loaded): table reset, a new game's
// seed and values, the director. Returns what the game carries between
// levels.
WorldStart sim_start(const SimOptions& o);

// One tick with nothing traced: controls, pass, sound requests cleared
// (kept with `sound` false). True when the tick ended the level.
bool sim_step(int16_t controls, bool sound);

// One tick and its trace lines. True when the tick ended the level (its X
// line is written then).
bool sim_tick(SimTrace& t, uint32_t tick, int16_t controls, bool sound = true);
