// What the game wrote through NWD_DEMO_TRACE for one game, read back for
// `nwd-sim --verify`.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct ExpectedGame {
    bool has_start = false;  // a "game ..." line came first
    int16_t level = 0, mode = 0, skill = 0;
    uint32_t seed = 0;
    bool sound = true;
    bool has_programs = false;  // older traces do not name the programs
    uint64_t programs = 0;
    std::vector<uint64_t> hashes;  // after tick 1, 2, ...
    int16_t score = 0;
    int outcome = -1;
};

// Reads the trace at `path`. On a damaged file writes "path:line: message"
// to `err` and returns false.
bool read_expected(const char* path, ExpectedGame& g, FILE* err);
