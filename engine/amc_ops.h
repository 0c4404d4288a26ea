// The AMC instruction set. Every fact about an instruction (its number and
// mnemonic, how many words it takes, what its operand words hold, where it
// may go next, whether it can end the turn or the pass) is written once, in
// AMC_OPCODES below; the interpreter's plain path checks bounds with it, the
// decoder of the fast path reads instructions with it, the assembler and the
// disassembler write and read them with it.
#pragma once

#include <cstdint>

// What an operand word holds.
enum AmcArg : uint8_t {
    ARG_NONE,
    ARG_VALUE,    // a constant: OP_IMM's operand, the value SET_REG sets
    ARG_MASK,     // OP_RANDOM's mask
    ARG_GLOBAL,   // a global number, 0..31
    ARG_REG,      // a register number, 0..31
    ARG_ALU,      // an ALU operation (AMC_ALUS)
    ARG_TARGET,   // a word offset in the program, where the instruction goes
    ARG_HANDLER,  // a word offset, or AMC_HANDLER_NONE
};

// How an instruction goes on.
enum : uint8_t {
    AMC_CHAIN = 1,      // INDIRECT pairs (100, r) may stand before its ALU word
    AMC_NO_NEXT = 2,    // never goes on at the word after it, in this turn or the next
    AMC_ENDS_TURN = 4,  // may end the turn (the next one goes on where it says)
    AMC_ENDS_PASS = 8,  // may end the pass
};

// clang-format off
// X(enum name, opcode, mnemonic, words, first operand, second operand, flow).
// A jump's target is its ARG_TARGET word; JUMP_REG's is a register's value,
// RESUME's the actor's resume_pc. `words` is the length without INDIRECT
// pairs.
#define AMC_OPCODES(X)                                                                        \
    X(OP_IMM,             1, "imm",             3, ARG_VALUE,  ARG_ALU,     0)                \
    X(OP_GLOBAL,          2, "global",          3, ARG_GLOBAL, ARG_ALU,     AMC_CHAIN)        \
    X(OP_REG,             3, "reg",             3, ARG_REG,    ARG_ALU,     AMC_CHAIN)        \
    X(OP_RANDOM,          4, "random",          3, ARG_MASK,   ARG_ALU,     0)                \
    X(OP_JUMP,            5, "jump",            2, ARG_TARGET, ARG_NONE,    AMC_NO_NEXT)      \
    X(OP_BREAK,           6, "break",           2, ARG_TARGET, ARG_NONE,    AMC_NO_NEXT)      \
    X(OP_RESUME,          7, "resume",          1, ARG_NONE,   ARG_NONE,    AMC_NO_NEXT | AMC_ENDS_TURN) \
    X(OP_JUMP_IF_ZERO,    8, "jump_if_zero",    2, ARG_TARGET, ARG_NONE,    0)                \
    X(OP_JUMP_IF_TRUE,    9, "jump_if_true",    2, ARG_TARGET, ARG_NONE,    0)                \
    X(OP_BREAK_IF_TRUE,  10, "break_if_true",   2, ARG_TARGET, ARG_NONE,    0)                \
    X(OP_RESUME_IF_TRUE, 11, "resume_if_true",  1, ARG_NONE,   ARG_NONE,    AMC_ENDS_TURN)    \
    X(OP_END,            12, "end",             1, ARG_NONE,   ARG_NONE,    AMC_NO_NEXT | AMC_ENDS_PASS) \
    X(OP_SET_HANDLER,    13, "set_handler",     3, ARG_TARGET, ARG_HANDLER, AMC_NO_NEXT)      \
    X(OP_SET_REG,        14, "set_reg",         3, ARG_REG,    ARG_VALUE,   0)                \
    X(OP_JUMP_REG,       15, "jump_reg",        2, ARG_REG,    ARG_NONE,    AMC_NO_NEXT)      \
    X(OP_PUSH,           16, "push",            1, ARG_NONE,   ARG_NONE,    0)                \
    X(OP_SPAWN,          17, "spawn",           1, ARG_NONE,   ARG_NONE,    AMC_ENDS_PASS)    \
    X(OP_YIELD,          18, "yield",           1, ARG_NONE,   ARG_NONE,    AMC_ENDS_TURN)    \
    X(OP_MOVE,           19, "move",            1, ARG_NONE,   ARG_NONE,    AMC_ENDS_TURN | AMC_ENDS_PASS)

// X(enum name, code, mnemonic): accumulator <- accumulator op operand, but
// STORE, which writes the accumulator into the operand.
#define AMC_ALUS(X)            \
    X(ALU_LOAD,  101, "load")  \
    X(ALU_ADD,   102, "add")   \
    X(ALU_SUB,   103, "sub")   \
    X(ALU_MUL,   104, "mul")   \
    X(ALU_DIV,   105, "div")   \
    X(ALU_AND,   106, "and")   \
    X(ALU_OR,    107, "or")    \
    X(ALU_GT,    108, "gt")    \
    X(ALU_EQ,    109, "eq")    \
    X(ALU_NE,    110, "ne")    \
    X(ALU_LT,    111, "lt")    \
    X(ALU_STORE, 112, "store")
// clang-format on

enum AmcOpcode : int16_t {
#define AMC_OPCODE_ENUM(name, code, ...) name = code,
    AMC_OPCODES(AMC_OPCODE_ENUM)
#undef AMC_OPCODE_ENUM
};
constexpr int AMC_OPCODE_MAX = OP_MOVE;
constexpr int16_t AMC_INDIRECT = 100;
constexpr uint16_t AMC_HANDLER_NONE = 0xFFFF;

enum AmcAlu : int16_t {
#define AMC_ALU_ENUM(name, code, mnemonic) name = code,
    AMC_ALUS(AMC_ALU_ENUM)
#undef AMC_ALU_ENUM
};
constexpr int AMC_ALU_FIRST = ALU_LOAD;
constexpr int AMC_ALU_LAST = ALU_STORE;

struct AmcOpInfo {
    const char* name;  // lower case mnemonic
    int words;         // length without INDIRECT pairs
    AmcArg arg[2];     // what operand words 1 and 2 hold
    uint8_t flow;      // AMC_CHAIN, AMC_NO_NEXT, ...
};

// Indexed by opcode; entry 0 is no instruction.
constexpr AmcOpInfo amc_op_info[AMC_OPCODE_MAX + 1] = {{nullptr, 0, {ARG_NONE, ARG_NONE}, 0},
#define AMC_OPCODE_INFO(name, code, mnemonic, words, arg1, arg2, flow) \
    {mnemonic, words, {arg1, arg2}, flow},
                                                       AMC_OPCODES(AMC_OPCODE_INFO)
#undef AMC_OPCODE_INFO
};

// Indexed by alu - AMC_ALU_FIRST.
constexpr const char* amc_alu_names[AMC_ALU_LAST - AMC_ALU_FIRST + 1] = {
#define AMC_ALU_NAME(name, code, mnemonic) mnemonic,
    AMC_ALUS(AMC_ALU_NAME)
#undef AMC_ALU_NAME
};

constexpr bool amc_opcode_known(int op) { return op >= 1 && op <= AMC_OPCODE_MAX; }
constexpr bool amc_alu_known(int alu) { return alu >= AMC_ALU_FIRST && alu <= AMC_ALU_LAST; }

// The operand word (1 or 2) of opcode `op` that holds `kind`, or 0.
constexpr int amc_arg_word(int op, AmcArg kind)
{
    return !amc_opcode_known(op)            ? 0
           : amc_op_info[op].arg[0] == kind ? 1
           : amc_op_info[op].arg[1] == kind ? 2
                                            : 0;
}

// The table is in opcode order, and the codes run without a gap.
constexpr bool amc_ops_in_order()
{
    int i = 1;
#define AMC_OPCODE_CHECK(name, code, ...) \
    if (code != i++)                      \
        return false;
    AMC_OPCODES(AMC_OPCODE_CHECK)
#undef AMC_OPCODE_CHECK
    i = AMC_ALU_FIRST;
#define AMC_ALU_CHECK(name, code, mnemonic) \
    if (code != i++)                        \
        return false;
    AMC_ALUS(AMC_ALU_CHECK)
#undef AMC_ALU_CHECK
    return true;
}
static_assert(amc_ops_in_order(), "AMC_OPCODES and AMC_ALUS list the codes in order");
