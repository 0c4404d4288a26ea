// The programs the replay tests run: idle but the director (14), which folds
// a random number and the controls into the score every tick, so a word
// played on the wrong tick or a wrong seed changes every later state.
#pragma once

#include "engine/amc_ops.h"

#include <cstdio>
#include <string>
#include <vector>

inline bool write_replay_programs(const std::string& path)
{
    std::vector<std::vector<int>> progs(15, {OP_YIELD, OP_JUMP, 0});
    progs[14] = {OP_RANDOM, 7,         ALU_LOAD, OP_GLOBAL, 31,       ALU_ADD, OP_GLOBAL, 20,
                 ALU_ADD,   OP_GLOBAL, 20,       ALU_STORE, OP_YIELD, OP_JUMP, 0};
    std::string amc = "AMC";
    auto put = [&](int w) { amc += (char)(w & 0xFF), amc += (char)(w >> 8); };
    for (auto& p : progs) {
        put((int)p.size());
        for (int w : p)
            put(w);
    }
    put(0);
    FILE* f = fopen(path.c_str(), "wb");
    return f && fwrite(amc.data(), 1, amc.size(), f) == amc.size() && fclose(f) == 0;
}
