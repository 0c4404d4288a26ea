// The AMC instruction set: opcodes, ALU operations and their names, shared by
// the interpreter, the assembler and the disassembler.
#pragma once

#include <cstdint>

enum AmcOpcode : int16_t {
    OP_IMM = 1,
    OP_GLOBAL = 2,
    OP_REG = 3,
    OP_RANDOM = 4,
    OP_JUMP = 5,
    OP_BREAK = 6,
    OP_RESUME = 7,
    OP_JUMP_IF_ZERO = 8,
    OP_JUMP_IF_TRUE = 9,
    OP_BREAK_IF_TRUE = 10,
    OP_RESUME_IF_TRUE = 11,
    OP_END = 12,
    OP_SET_HANDLER = 13,
    OP_SET_REG = 14,
    OP_JUMP_REG = 15,
    OP_PUSH = 16,
    OP_SPAWN = 17,
    OP_YIELD = 18,
    OP_MOVE = 19,
};
constexpr int AMC_OPCODE_MAX = 19;
constexpr int16_t AMC_INDIRECT = 100;
constexpr uint16_t AMC_HANDLER_NONE = 0xFFFF;

enum AmcAlu : int16_t {
    ALU_LOAD = 101,
    ALU_ADD = 102,
    ALU_SUB = 103,
    ALU_MUL = 104,
    ALU_DIV = 105,
    ALU_AND = 106,
    ALU_OR = 107,
    ALU_GT = 108,
    ALU_EQ = 109,
    ALU_NE = 110,
    ALU_LT = 111,
    ALU_STORE = 112,
};
constexpr int AMC_ALU_FIRST = 101;
constexpr int AMC_ALU_LAST = 112;

struct AmcOpInfo {
    const char* name;  // lower case mnemonic
    int words;         // fixed length, 0 for the variable OP_GLOBAL/OP_REG
};

// Indexed by opcode; entry 0 is unused.
constexpr AmcOpInfo amc_op_info[AMC_OPCODE_MAX + 1] = {
    {nullptr, 0},        {"imm", 3},          {"global", 0},        {"reg", 0},
    {"random", 3},       {"jump", 2},         {"break", 2},         {"resume", 1},
    {"jump_if_zero", 2}, {"jump_if_true", 2}, {"break_if_true", 2}, {"resume_if_true", 1},
    {"end", 1},          {"set_handler", 3},  {"set_reg", 3},       {"jump_reg", 2},
    {"push", 1},         {"spawn", 1},        {"yield", 1},         {"move", 1},
};

// Indexed by alu - AMC_ALU_FIRST.
constexpr const char* amc_alu_names[AMC_ALU_LAST - AMC_ALU_FIRST + 1] = {
    "load", "add", "sub", "mul", "div", "and", "or", "gt", "eq", "ne", "lt", "store",
};
