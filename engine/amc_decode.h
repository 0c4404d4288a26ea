// Programs pre-decoded for the interpreter's fast path: one AmcOp for every
// program word, filled in the first time execution reaches that word. An op
// caches what the words said (the handler, its operands, where to go next),
// so a write into a program word forgets the ops that read it.
//
// Why ops: an accumulator machine spends most of its instructions moving
// values in and out of the accumulator, so its cost is in dispatching, not
// in the work. An op's handler does a value instruction and its ALU
// operation in one dispatch, and the fused handlers run in one dispatch the
// short sequences that the scripts' conditions, counters and assignments
// compile to. AMC_FAST_OPS lists them all; amc_vm.cpp has their code in the
// same order, each under the sequence it runs.
#pragma once

#include <cstdint>

// clang-format off

// The ALU operations that families of handlers come in. Each X(...) gets
// the operation's name and the function of amc_vm.cpp that computes it,
// then what the caller passed after X.
#define AMC_ARITH(X, ...)                                                           \
    X(ADD, alu_add, __VA_ARGS__) X(SUB, alu_sub, __VA_ARGS__)                       \
    X(MUL, alu_mul, __VA_ARGS__) X(DIV, alu_div, __VA_ARGS__)                       \
    X(AND, alu_and, __VA_ARGS__) X(OR, alu_or, __VA_ARGS__)
#define AMC_COMPARE(X, ...)                                                         \
    X(GT, alu_gt, __VA_ARGS__) X(EQ, alu_eq, __VA_ARGS__)                           \
    X(NE, alu_ne, __VA_ARGS__) X(LT, alu_lt, __VA_ARGS__)
// What conditions test: a comparison, or `&` with a mask.
#define AMC_TEST(X, ...) AMC_COMPARE(X, __VA_ARGS__) X(AND, alu_and, __VA_ARGS__)
// All a value instruction computes but STORE: LOAD, ADD .. LT in code order.
#define AMC_VALUE(X, ...)                                                           \
    X(LOAD, alu_load, __VA_ARGS__) AMC_ARITH(X, __VA_ARGS__) AMC_COMPARE(X, __VA_ARGS__)
#define AMC_SUM(X, ...) X(ADD, alu_add, __VA_ARGS__) X(SUB, alu_sub, __VA_ARGS__)

// Every handler of the fast path. ONE(name, instructions, words) is one
// handler; FAMILY(P, S, SET, instructions, words) one handler P<x>S for each
// ALU operation x of SET (LOAD_ADD_STORE, LOAD_SUB_STORE, ...), in the order
// of SET. `instructions` is what it counts against the turn's budget and
// `words` how far it goes on, both without a tail (see AmcOp).
// In the sequences: A, B, C the operands in the order written, a value, a
// register or a global unless said; h.r one linked through INDIRECT (`load
// hero.x`); k a constant; T a target. Where the handler's name fixes where
// an operand lives (R own register, G global, I constant, H/U register of
// the actor whose slot is in a global/register), no lookup is needed: most
// of what the game's scripts run is those.
// To follow one, say H_LOAD_SUB_STORE: its line below is the family
// FAMILY(LOAD_, _STORE, AMC_ARITH, ...); amc_vm.cpp writes that family's
// handlers with AMC_ARITH(LOAD_X_STORE, LOAD_, ...), and amc_decode.cpp's
// fuse() picks it for "load A; sub B; store C".
#define AMC_FAST_OPS(ONE, FAMILY)                                                   \
 /* handler or family             instructions, words   sequence */                 \
    ONE(DECODE,                            0,  0)  /* not decoded yet */            \
    ONE(STOP,                              0,  0)  /* past the end: the pass ends */\
    ONE(SLOW,                              1,  0)  /* any instruction, on the plain path */ \
    ONE(NOP,                               1,  3)  /* x A, x no ALU operation */    \
    FAMILY(I_,       ,     AMC_VALUE,      1,  3)  /* x k */                        \
    ONE(I_DIV_BY,                          1,  3)  /* div k, |k| >= 2 */            \
    FAMILY(R_,       ,     AMC_VALUE,      1,  3)  /* x R */                        \
    ONE(R_STORE,                           1,  3)  /* store R */                    \
    FAMILY(G_,       ,     AMC_VALUE,      1,  3)  /* x G */                        \
    ONE(G_STORE,                           1,  3)  /* store G */                    \
    ONE(CHAIN,                             1,  3)  /* x A.r.r..., 2 words a link */ \
    ONE(RANDOM,                            1,  3)  /* x random mask */              \
    ONE(JUMP,                              1,  2)                                   \
    ONE(BREAK,                             1,  2)                                   \
    ONE(RESUME,                            1,  1)                                   \
    ONE(JUMP_IF_ZERO,                      1,  2)                                   \
    ONE(JUMP_IF_TRUE,                      1,  2)                                   \
    ONE(BREAK_IF_TRUE,                     1,  2)                                   \
    ONE(RESUME_IF_TRUE,                    1,  1)                                   \
    ONE(SET_REG,                           1,  3)                                   \
    ONE(CALL,                              2,  5)  /* set_reg r, after; jump T */   \
    ONE(SET_JUMP,                          2,  5)  /* set_reg r, k; jump T */       \
    ONE(JUMP_REG,                          1,  2)                                   \
    ONE(PUSH,                              1,  1)                                   \
    ONE(YIELD,                             1,  1)                                   \
    FAMILY(LOAD_,    ,     AMC_ARITH,      2,  6)  /* load A; x B */                \
    FAMILY(LOAD_,    ,     AMC_COMPARE,    2,  6)  /* load A; x B */                \
    ONE(LOAD_STORE,                        2,  6)  /* load A; store B */            \
    FAMILY(,         _STORE, AMC_ARITH,    2,  6)  /* x A; store B */               \
    FAMILY(LOAD_,    _STORE, AMC_ARITH,    3,  9)  /* load A; x B; store C */       \
    FAMILY(,         _JZ,  AMC_TEST,       2,  5)  /* x A; jump_if_zero T */        \
    FAMILY(,         _JNZ, AMC_TEST,       2,  5)  /* x A; jump_if_true T */        \
    FAMILY(LOAD_,    _JZ,  AMC_TEST,       3,  8)  /* load A; x B; jump_if_zero T */\
    FAMILY(LOAD_,    _JNZ, AMC_TEST,       3,  8)  /* load A; x B; jump_if_true T */\
    ONE(LOAD_JZ,                           2,  5)  /* load A; jump_if_zero T */     \
    ONE(LOAD_JNZ,                          2,  5)  /* load A; jump_if_true T */     \
    ONE(C_LOAD,                            1,  5)  /* load h.r */                   \
    FAMILY(C_LOAD_,  ,     AMC_ARITH,      2,  8)  /* load h.r; x B */              \
    FAMILY(C_LOAD_,  ,     AMC_COMPARE,    2,  8)  /* load h.r; x B */              \
    ONE(C_LOAD_STORE,                      2,  8)  /* load h.r; store B */          \
    FAMILY(C_LOAD_,  _STORE, AMC_ARITH,    3, 11)  /* load h.r; x B; store C */     \
    FAMILY(C_LOAD_,  _JZ,  AMC_TEST,       3, 10)  /* load h.r; x B; jump_if_zero T */ \
    FAMILY(C_LOAD_,  _JNZ, AMC_TEST,       3, 10)  /* load h.r; x B; jump_if_true T */ \
    ONE(C_LOAD_JZ,                         2,  7)  /* load h.r; jump_if_zero T */   \
    ONE(C_LOAD_JNZ,                        2,  7)  /* load h.r; jump_if_true T */   \
    FAMILY(RI_,      _JZ,  AMC_TEST,       3,  8)  /* load R; x k; jump_if_zero T */\
    FAMILY(RI_,      _JNZ, AMC_TEST,       3,  8)  /* load R; x k; jump_if_true T */\
    FAMILY(GI_,      _JZ,  AMC_TEST,       3,  8)  /* load G; x k; jump_if_zero T */\
    FAMILY(GI_,      _JNZ, AMC_TEST,       3,  8)  /* load G; x k; jump_if_true T */\
    ONE(R_JZ,                              2,  5)  /* load R; jump_if_zero T */     \
    ONE(R_JNZ,                             2,  5)  /* load R; jump_if_true T */     \
    /* "if r < a || r > b": load R; lt k; jump_if_true T; load R; gt k2;         */ \
    /* jump_if_zero / jump_if_true T2 (T2 in `other`)                             */ \
    ONE(RI_OUTSIDE_JZ,                     6, 16)                                   \
    ONE(RI_OUTSIDE_JNZ,                    6, 16)                                   \
    /* R = A + B, R = A - B: load A; add / sub B; store R, by where A and B live */ \
    FAMILY(A_RR_,    ,     AMC_SUM,        3,  9)                                   \
    FAMILY(A_RG_,    ,     AMC_SUM,        3,  9)                                   \
    FAMILY(A_RI_,    ,     AMC_SUM,        3,  9)                                   \
    FAMILY(A_GR_,    ,     AMC_SUM,        3,  9)                                   \
    FAMILY(A_GG_,    ,     AMC_SUM,        3,  9)                                   \
    FAMILY(A_GI_,    ,     AMC_SUM,        3,  9)                                   \
    FAMILY(A_IR_,    ,     AMC_SUM,        3,  9)                                   \
    FAMILY(A_IG_,    ,     AMC_SUM,        3,  9)                                   \
    FAMILY(A_II_,    ,     AMC_SUM,        3,  9)                                   \
    FAMILY(A_HR_,    ,     AMC_SUM,        3, 11)                                   \
    FAMILY(A_HG_,    ,     AMC_SUM,        3, 11)                                   \
    FAMILY(A_HI_,    ,     AMC_SUM,        3, 11)                                   \
    FAMILY(A_UR_,    ,     AMC_SUM,        3, 11)                                   \
    FAMILY(A_UG_,    ,     AMC_SUM,        3, 11)                                   \
    FAMILY(A_UI_,    ,     AMC_SUM,        3, 11)                                   \
    /* R = A: load A; store R */                                                    \
    ONE(COPY_R,                            2,  6)                                   \
    ONE(COPY_G,                            2,  6)                                   \
    ONE(COPY_I,                            2,  6)                                   \
    ONE(COPY_H,                            2,  8)                                   \
    ONE(COPY_U,                            2,  8)                                   \
    /* a sum or a difference tested against a constant ("if acc < 12" after     */ \
    /* "load wx; sub scroll_map"): load A; add / sub B; x k; jump_if_... T      */ \
    FAMILY(LOAD_ADD_, _JZ, AMC_TEST,       4, 11)                                   \
    FAMILY(LOAD_ADD_, _JNZ, AMC_TEST,      4, 11)                                   \
    FAMILY(LOAD_SUB_, _JZ, AMC_TEST,       4, 11)                                   \
    FAMILY(LOAD_SUB_, _JNZ, AMC_TEST,      4, 11)

// clang-format on

enum AmcFastHandler : uint16_t {
#define AMC_ONE_ENUM(name, instructions, words) H_##name,
#define AMC_MEMBER_ENUM(x, f, P, S) H_##P##x##S,
#define AMC_FAMILY_ENUM(P, S, SET, instructions, words) SET(AMC_MEMBER_ENUM, P, S)
    AMC_FAST_OPS(AMC_ONE_ENUM, AMC_FAMILY_ENUM)
#undef AMC_FAMILY_ENUM
#undef AMC_MEMBER_ENUM
#undef AMC_ONE_ENUM
        H_COUNT
};

// Instructions and words of each handler, by AmcFastHandler.
#define AMC_MEMBER_FIELD(x, f, field) field,
#define AMC_ONE_INSTRUCTIONS(name, instructions, words) instructions,
#define AMC_FAMILY_INSTRUCTIONS(P, S, SET, instructions, words) SET(AMC_MEMBER_FIELD, instructions)
#define AMC_ONE_WORDS(name, instructions, words) words,
#define AMC_FAMILY_WORDS(P, S, SET, instructions, words) SET(AMC_MEMBER_FIELD, words)
constexpr uint8_t amc_fast_instructions[H_COUNT] = {
    AMC_FAST_OPS(AMC_ONE_INSTRUCTIONS, AMC_FAMILY_INSTRUCTIONS)};
constexpr uint8_t amc_fast_words[H_COUNT] = {AMC_FAST_OPS(AMC_ONE_WORDS, AMC_FAMILY_WORDS)};
#undef AMC_FAMILY_WORDS
#undef AMC_ONE_WORDS
#undef AMC_FAMILY_INSTRUCTIONS
#undef AMC_ONE_INSTRUCTIONS
#undef AMC_MEMBER_FIELD

// The most instructions one op executes, its tail included; with fewer
// left in a turn's budget the interpreter finishes the turn one instruction
// at a time, so that the turn limit stops at the same instruction on both
// paths.
constexpr int amc_fast_max_instructions()
{
    int most = 0;
    for (uint8_t n : amc_fast_instructions)
        most = n > most ? n : most;
    return most + 1;
}
constexpr int AMC_FAST_MAX_COUNT = amc_fast_max_instructions();

// Where a handler's operand lives: the word at that offset of the program
// itself (an immediate), the actor's own register, or a global.
enum AmcOperandKind : uint8_t { KIND_WORD, KIND_REG, KIND_GLOBAL };

// A handler runs the op at program offset p and goes on at the op of the
// next instruction, p plus its words (CHAIN: 2 more a link), or at a jump
// target. No op is made for SPAWN, MOVE, END or SET_HANDLER, nor for a
// STORE into the program: those run on the plain path one instruction at a
// time (SLOW).
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
                          // linked (C_LOAD..., H, U): v = base | link register << 5
    uint8_t kind[3];      // where each of v[] lives, where the handler asks
    uint8_t tail;         // TAIL_NONE, or what follows the sequence
    uint8_t tail_reg;     // TAIL_RETURN: the register
};
enum AmcTail : uint8_t { TAIL_NONE, TAIL_JUMP, TAIL_RETURN };

// The interpreter's handler addresses, indexed by AmcFastHandler, which
// every op's `code` comes from; it gives them before asking for a table.
void amc_decode_set_handlers(const void* const* addresses);

// The op table of program n, or null when it cannot have one (no room left:
// the program then runs on the plain path). Valid until programs change.
AmcOp* amc_decoded(int n);

// Fills ops[pc] of program n from its words; never leaves it H_DECODE.
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
