// Names the assembly language gives to the engine's own registers and
// globals, shared by the assembler and the disassembler.
#pragma once

#include "engine/actor.h"
#include "engine/amc_vm.h"

struct AsmName {
    const char* name;
    int number;
};

// Register 27 has no meaning to the engine; `call` keeps its return offset there.
constexpr int ASM_RET_REG = 27;

constexpr AsmName asm_reg_names[] = {
    {"sound", REG_SOUND}, {"sort_key", REG_SORT_KEY}, {"blink", REG_BLINK},
    {"light", REG_LIGHT}, {"prev", REG_PREV},         {"next", REG_NEXT},
    {"ret", ASM_RET_REG}, {"self", REG_SELF},         {"x", REG_X},
    {"y", REG_Y},         {"frame", REG_FRAME},
};

constexpr AsmName asm_global_names[] = {
    {"skill", GLOBAL_SKILL},
    {"energy", GLOBAL_ENERGY},
    {"item", GLOBAL_ITEM},
    {"item_count", GLOBAL_ITEM_COUNT},
    {"stars", GLOBAL_STARS},
    {"lives", GLOBAL_LIVES},
    {"scroll_map", GLOBAL_SCROLL_MAP},
    {"timer", GLOBAL_TIMER},
    {"score", GLOBAL_SCORE},
    {"scroll_x", GLOBAL_SCROLL_X},
    {"exit_request", GLOBAL_EXIT_REQUEST},
    {"controls", GLOBAL_CONTROLS},
};
