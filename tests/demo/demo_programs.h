// The programs the replay tests run: idle but the director, which folds a
// random number and the controls into the score every tick, so a word
// played on the wrong tick or a wrong seed changes every later state.
#pragma once

#include "engine/amc_ops.h"
#include "nwd_contract.h"
#include "tests/engine/amc_image.h"

#include <cstdio>
#include <string>
#include <vector>

inline bool write_replay_programs(const std::string& path)
{
    std::vector<std::vector<int>> progs(PROGRAM_DIRECTOR + 1, {OP_YIELD, OP_JUMP, 0});
    // clang-format off
    progs[PROGRAM_DIRECTOR] = {
        OP_RANDOM, 7, ALU_LOAD, OP_GLOBAL, GLOBAL_CONTROLS, ALU_ADD,
        OP_GLOBAL, GLOBAL_SCORE, ALU_ADD, OP_GLOBAL, GLOBAL_SCORE, ALU_STORE,
        OP_YIELD, OP_JUMP, 0};
    // clang-format on
    std::string amc = amc_compiled(progs);
    FILE* f = fopen(path.c_str(), "wb");
    return f && fwrite(amc.data(), 1, amc.size(), f) == amc.size() && fclose(f) == 0;
}
