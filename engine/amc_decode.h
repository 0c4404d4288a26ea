// Programs pre-decoded for the interpreter's fast path: one AmcOp for every
// program word, filled in the first time execution reaches that word. An op
// caches what the words said (the handler, its operands, where to go next),
// so a write into a program word forgets the ops that read it.
#pragma once

#include <cstdint>

// Every handler of the fast path. The value instructions are split by where
// the operand lives (I immediate, R own register, G global) and by ALU
// operation, so that one dispatch does both. The fused handlers each run a
// short sequence that conditions, counters and assignments compile to:
// LOAD_x is "load A, x B"; x_STORE "x A, store B"; LOAD_x_STORE all three;
// x_JZ / x_JNZ an ALU operation and then JUMP_IF_ZERO / JUMP_IF_TRUE, and
// LOAD_x_JZ / LOAD_x_JNZ a load before those. Their operands may live
// anywhere (kinds below). C_LOAD... are the LOAD_ handlers whose load goes
// through one INDIRECT link, the way scripts read another actor's register
// (`load hero.x`), without the general chain walk. Most conditions compare
// a register or a global with a constant: RI_x_JZ / RI_x_JNZ and GI_... are
// LOAD_x_JZ / LOAD_x_JNZ for those, with the constant in the op, and R_JZ /
// R_JNZ test a register; knowing where the operands live saves the lookup.
// RI_OUTSIDE_JZ / JNZ are the two tests of "r < a || r > b" on one
// register, the second ending in JUMP_IF_ZERO or JUMP_IF_TRUE to `other`.
// LOAD_ADD_x_JZ and the like test a sum or a difference against a constant
// ("if acc < 12" after "load wx, sub scroll_map"). CALL is `call` (a
// register set to the address after the jump, then the jump), SET_JUMP any
// other register set followed by a jump.
#define AMC_ALU_FUSED(X, P, S) \
    X(P##ADD##S) X(P##SUB##S) X(P##MUL##S) X(P##DIV##S) X(P##AND##S) X(P##OR##S)
#define AMC_CMP_FUSED(X, P, S) X(P##GT##S) X(P##EQ##S) X(P##NE##S) X(P##LT##S) X(P##AND##S)

// Assignments to a register ("load A, add or sub B, store r" and "load A,
// store r") by where A and B live: R register, G global, I constant, and
// for A also H or U, a register of the actor whose slot is in a global or
// in a register (`load hero.x`, `load u.next`). Most statements of the
// scripts are these; knowing the kinds saves looking them up.
#define AMC_ASSIGN_FIRST(X, P, S) X(P##R##S) X(P##G##S) X(P##I##S) X(P##H##S) X(P##U##S)
#define AMC_ASSIGN_SECOND(X, P, S) X(P##R_##S) X(P##G_##S) X(P##I_##S)
#define AMC_ASSIGN(X, ALU)                                                                       \
    AMC_ASSIGN_SECOND(X, A_R, ALU)                                                               \
    AMC_ASSIGN_SECOND(X, A_G, ALU) AMC_ASSIGN_SECOND(X, A_I, ALU) AMC_ASSIGN_SECOND(X, A_H, ALU) \
        AMC_ASSIGN_SECOND(X, A_U, ALU)

#define AMC_FAST_HANDLERS(X)                                                                       \
    X(DECODE)                                                                                      \
    X(STOP) X(SLOW) X(NOP) X(I_LOAD) X(I_ADD) X(I_SUB) X(I_MUL) X(I_DIV) X(I_AND) X(I_OR) X(I_GT)  \
        X(I_EQ) X(I_NE) X(I_LT) X(R_LOAD) X(R_ADD) X(R_SUB) X(R_MUL) X(R_DIV) X(R_AND) X(R_OR) X(  \
            R_GT) X(R_EQ) X(R_NE) X(R_LT) X(R_STORE) X(G_LOAD) X(G_ADD) X(G_SUB) X(G_MUL) X(G_DIV) \
            X(G_AND) X(G_OR) X(G_GT) X(G_EQ) X(G_NE) X(G_LT) X(G_STORE) X(JUMP) X(BREAK) X(RESUME) \
                X(JUMP_IF_ZERO) X(JUMP_IF_TRUE) X(BREAK_IF_TRUE) X(RESUME_IF_TRUE) X(SET_REG) X(   \
                    CALL) X(SET_JUMP) X(JUMP_REG) X(PUSH) X(YIELD) X(CHAIN) X(RANDOM) X(I_DIV_BY)  \
                    AMC_ALU_FUSED(X, LOAD_, ) X(LOAD_GT) X(LOAD_EQ) X(LOAD_NE) X(LOAD_LT) X(       \
                        LOAD_STORE) AMC_ALU_FUSED(X, , _STORE) AMC_ALU_FUSED(X, LOAD_, _STORE)     \
                        AMC_CMP_FUSED(X, , _JZ) AMC_CMP_FUSED(X, , _JNZ) AMC_CMP_FUSED(            \
                            X, LOAD_, _JZ) AMC_CMP_FUSED(X, LOAD_, _JNZ) X(LOAD_JZ) X(LOAD_JNZ)    \
                            X(C_LOAD) AMC_ALU_FUSED(X, C_LOAD_, ) X(C_LOAD_GT) X(C_LOAD_EQ) X(     \
                                C_LOAD_NE) X(C_LOAD_LT) X(C_LOAD_STORE)                            \
                                AMC_ALU_FUSED(X, C_LOAD_, _STORE) AMC_CMP_FUSED(X, C_LOAD_, _JZ)   \
                                    AMC_CMP_FUSED(X, C_LOAD_,                                      \
                                                  _JNZ) X(C_LOAD_JZ) X(C_LOAD_JNZ)                 \
                                        AMC_CMP_FUSED(X, RI_, _JZ) AMC_CMP_FUSED(X, RI_, _JNZ)     \
                                            AMC_CMP_FUSED(X, GI_, _JZ) AMC_CMP_FUSED(              \
                                                X,                                                 \
                                                GI_, _JNZ) X(R_JZ) X(R_JNZ) X(RI_OUTSIDE_JZ)       \
                                                X(RI_OUTSIDE_JNZ) AMC_ASSIGN(X, ADD) AMC_ASSIGN(   \
                                                    X, SUB) AMC_ASSIGN_FIRST(X, COPY_, )           \
                                                    AMC_CMP_FUSED(X, LOAD_ADD_, _JZ)               \
                                                        AMC_CMP_FUSED(X, LOAD_ADD_, _JNZ)          \
                                                            AMC_CMP_FUSED(X, LOAD_SUB_, _JZ)       \
                                                                AMC_CMP_FUSED(X, LOAD_SUB_, _JNZ)

enum AmcFastHandler : uint16_t {
#define AMC_FAST_ENUM(name) H_##name,
    AMC_FAST_HANDLERS(AMC_FAST_ENUM)
#undef AMC_FAST_ENUM
        H_COUNT
};

// Where a fused handler's operand lives: the word at that offset of the
// program itself (an immediate), the actor's own register, or a global.
enum AmcOperandKind : uint8_t { KIND_WORD, KIND_REG, KIND_GLOBAL };

// A handler runs the op at program offset p and goes on at the op of the
// next instruction, p plus the words it covers (fixed per handler but for
// CHAIN), or at a jump target. No op is made for SPAWN, MOVE, END or
// SET_HANDLER, nor for a STORE into the program: those run on the plain
// path one instruction at a time (SLOW).
//
// A JUMP or JUMP_REG (`return`) that follows an op's sequence becomes the
// op's tail: where the handler would go on to the next op, it goes where
// that jump goes instead, saving the jump's own dispatch. Scripts end most
// subroutines and if-bodies this way.
//
// Jump targets are kept as op addresses, not offsets: the next op's address
// is what every op waits for, and a jump then costs one load for it. So is
// the handler: dispatch is one load and a jump.
struct AmcOp {
    const void* code;     // the handler's address in the interpreter, or null
                          // where it dispatches by `handler`
    const AmcOp* target;  // jump target (see amc_op_index)
    uint16_t handler;     // H_DECODE (0) until decoded
    uint16_t other;       // an op index: TAIL_JUMP's target; the op a CALL
                          // returns to; RI_OUTSIDE_...'s second jump target
    uint16_t v[3];        // operands: an immediate value, or an index by kind;
                          // linked (C_LOAD...): v[0] = base | link register << 5
    uint8_t kind[3];      // fused handlers: where each of v[] lives
    uint8_t tail;         // TAIL_NONE, or what follows the sequence
    uint8_t tail_reg;     // TAIL_RETURN: the register
};
enum AmcTail : uint8_t { TAIL_NONE, TAIL_JUMP, TAIL_RETURN };

// The most instructions one op executes (two tests of a range, or a fused
// sequence of four and its tail); with fewer left in a turn's budget the interpreter finishes the
// turn one instruction at a time.
constexpr int AMC_FAST_MAX_COUNT = 6;

// The interpreter's handler addresses, indexed by AmcFastHandler, which
// every op's `code` comes from; it gives them before asking for a table.
void amc_decode_set_handlers(const void* const* addresses);

// The op table of program n, or null when it cannot have one (no room left:
// the program then runs on the plain path). Valid until programs change.
AmcOp* amc_decoded(int n);

// Fills ops[pc] of program n from its words.
void amc_decode_op(int n, uint32_t pc);

// Program n's word w was written: the ops that read it decode again.
void amc_decode_word_written(int n, int32_t w);

// Forgets every op table; amc_unload_all calls it, and so must anyone who
// replaces programs in program_table by other means.
void amc_decode_forget();

// Maps a program offset to an op index: offsets outside the program map to
// its length, whose op stops the pass.
inline uint32_t amc_op_index(int32_t pc, int32_t length)
{
    return (uint32_t)pc < (uint32_t)length ? (uint32_t)pc : (uint32_t)length;
}
