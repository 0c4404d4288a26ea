#include "amc_decode.h"

#include "amc.h"
#include "amc_ops.h"

#include <cstring>

namespace {

// Room for the ops of a million program words: the game's programs take a
// few thousand. Untouched pages of it cost no memory.
constexpr uint32_t POOL_OPS = 1u << 20;
AmcOp pool[POOL_OPS];
uint32_t pool_used;
uint32_t generation = 1;

// Which words each program's table was made from; a table whose program
// changed, or that predates the last forget, is made anew.
struct Table {
    const int16_t* words;
    int32_t length;
    uint32_t generation;
    AmcOp* ops;        // null: no room, the plain path runs this program
    int32_t max_span;  // the widest op decoded so far
};
Table tables[AMC_MAX_PROGRAMS];
const void* const* handler_code;

void set_handler(AmcOp& op, uint16_t h)
{
    op.handler = h;
    op.code = handler_code ? handler_code[h] : nullptr;
}

bool current(const Table& t, const AmcProgram& p)
{
    return t.generation == generation && t.words == p.words && t.length == p.length;
}

}  // namespace

AmcOp* amc_decoded(int n)
{
    if (n < 0 || n >= program_count)
        return nullptr;
    const AmcProgram& p = program_table[n];
    Table& t = tables[n];
    if (current(t, p))
        return t.ops;
    t.words = p.words;
    t.length = p.length;
    t.generation = generation;
    t.max_span = 1;
    t.ops = nullptr;
    // One op per word and one more, at the length, where execution stops.
    uint32_t need = p.words && p.length > 0 ? (uint32_t)p.length + 1 : 0;
    if (need && need <= POOL_OPS - pool_used) {
        t.ops = pool + pool_used;
        pool_used += need;
        memset(t.ops, 0, need * sizeof(AmcOp));
        for (uint32_t i = 0; i < need; i++)
            set_handler(t.ops[i], H_DECODE);
    }
    return t.ops;
}

void amc_decode_set_handlers(const void* const* addresses)
{
    if (handler_code != addresses)
        amc_decode_forget();
    handler_code = addresses;
}

void amc_decode_forget()
{
    generation++;
    pool_used = 0;
}

void amc_decode_word_written(int n, int32_t w)
{
    if (n < 0 || n >= AMC_MAX_PROGRAMS)
        return;
    Table& t = tables[n];
    if (!t.ops || !current(t, program_table[n]) || w < 0 || w >= t.length)
        return;
    for (int32_t i = w - t.max_span + 1; i <= w; i++)
        if (i >= 0)
            set_handler(t.ops[i], H_DECODE);
}

namespace {

// Handlers of the single value instructions, in ALU order from LOAD to
// STORE; 0 where there is none (a STORE into the program).
constexpr uint16_t SINGLE[3][AMC_ALU_LAST - AMC_ALU_FIRST + 1] = {
    {H_I_LOAD, H_I_ADD, H_I_SUB, H_I_MUL, H_I_DIV, H_I_AND, H_I_OR, H_I_GT, H_I_EQ, H_I_NE, H_I_LT,
     0},
    {H_R_LOAD, H_R_ADD, H_R_SUB, H_R_MUL, H_R_DIV, H_R_AND, H_R_OR, H_R_GT, H_R_EQ, H_R_NE, H_R_LT,
     H_R_STORE},
    {H_G_LOAD, H_G_ADD, H_G_SUB, H_G_MUL, H_G_DIV, H_G_AND, H_G_OR, H_G_GT, H_G_EQ, H_G_NE, H_G_LT,
     H_G_STORE},
};

// Fused handlers by the ALU operation in them (ADD..OR, or GT, EQ, NE, LT,
// AND for the branching ones); 0 where there is none. The LOAD_ families
// come twice: with a plain first operand, and with one reached through a
// single INDIRECT link (C_LOAD_: `load hero.x`, `load u.next`), the way
// scripts read another actor.
constexpr int ALUS = AMC_ALU_LAST - AMC_ALU_FIRST + 1;
constexpr uint16_t LOAD_X[2][ALUS] = {
    {0, H_LOAD_ADD, H_LOAD_SUB, H_LOAD_MUL, H_LOAD_DIV, H_LOAD_AND, H_LOAD_OR, H_LOAD_GT, H_LOAD_EQ,
     H_LOAD_NE, H_LOAD_LT, H_LOAD_STORE},
    {0, H_C_LOAD_ADD, H_C_LOAD_SUB, H_C_LOAD_MUL, H_C_LOAD_DIV, H_C_LOAD_AND, H_C_LOAD_OR,
     H_C_LOAD_GT, H_C_LOAD_EQ, H_C_LOAD_NE, H_C_LOAD_LT, H_C_LOAD_STORE}};
constexpr uint16_t X_STORE[ALUS] = {0,           H_ADD_STORE, H_SUB_STORE, H_MUL_STORE,
                                    H_DIV_STORE, H_AND_STORE, H_OR_STORE};
constexpr uint16_t LOAD_X_STORE[2][ALUS] = {
    {0, H_LOAD_ADD_STORE, H_LOAD_SUB_STORE, H_LOAD_MUL_STORE, H_LOAD_DIV_STORE, H_LOAD_AND_STORE,
     H_LOAD_OR_STORE},
    {0, H_C_LOAD_ADD_STORE, H_C_LOAD_SUB_STORE, H_C_LOAD_MUL_STORE, H_C_LOAD_DIV_STORE,
     H_C_LOAD_AND_STORE, H_C_LOAD_OR_STORE}};
// The branching handlers of one family by comparison, in ALU order.
#define CMP(P, S)                                                                               \
    {                                                                                           \
        0, 0, 0, 0, 0, H_##P##AND##S, 0, H_##P##GT##S, H_##P##EQ##S, H_##P##NE##S, H_##P##LT##S \
    }
constexpr uint16_t X_JZ[ALUS] = CMP(, _JZ);
constexpr uint16_t X_JNZ[ALUS] = CMP(, _JNZ);
constexpr uint16_t LOAD_X_JZ[2][ALUS] = {CMP(LOAD_, _JZ), CMP(C_LOAD_, _JZ)};
constexpr uint16_t LOAD_X_JNZ[2][ALUS] = {CMP(LOAD_, _JNZ), CMP(C_LOAD_, _JNZ)};
// LOAD_X_JZ and LOAD_X_JNZ of a register or a global and a constant.
constexpr uint16_t KI_JZ[2][ALUS] = {CMP(RI_, _JZ), CMP(GI_, _JZ)};
constexpr uint16_t KI_JNZ[2][ALUS] = {CMP(RI_, _JNZ), CMP(GI_, _JNZ)};
// LOAD_ADD_X_JZ / JNZ and LOAD_SUB_..., by ADD or SUB and the comparison.
constexpr uint16_t SUM_JZ[2][ALUS] = {CMP(LOAD_ADD_, _JZ), CMP(LOAD_SUB_, _JZ)};
constexpr uint16_t SUM_JNZ[2][ALUS] = {CMP(LOAD_ADD_, _JNZ), CMP(LOAD_SUB_, _JNZ)};
#undef CMP
constexpr uint16_t LOAD_JZ[2] = {H_LOAD_JZ, H_C_LOAD_JZ};

// Assignments to a register, by the kinds of A (R G I H U) and B (R G I).
#define AMC_H(name) H_##name,
constexpr uint16_t ASSIGN_ADD[5][3] = {{AMC_ASSIGN_SECOND(AMC_H, A_R, ADD)},
                                       {AMC_ASSIGN_SECOND(AMC_H, A_G, ADD)},
                                       {AMC_ASSIGN_SECOND(AMC_H, A_I, ADD)},
                                       {AMC_ASSIGN_SECOND(AMC_H, A_H, ADD)},
                                       {AMC_ASSIGN_SECOND(AMC_H, A_U, ADD)}};
constexpr uint16_t ASSIGN_SUB[5][3] = {{AMC_ASSIGN_SECOND(AMC_H, A_R, SUB)},
                                       {AMC_ASSIGN_SECOND(AMC_H, A_G, SUB)},
                                       {AMC_ASSIGN_SECOND(AMC_H, A_I, SUB)},
                                       {AMC_ASSIGN_SECOND(AMC_H, A_H, SUB)},
                                       {AMC_ASSIGN_SECOND(AMC_H, A_U, SUB)}};
constexpr uint16_t COPY[5] = {AMC_ASSIGN_FIRST(AMC_H, COPY_, )};
#undef AMC_H
constexpr uint16_t LOAD_JNZ[2] = {H_LOAD_JNZ, H_C_LOAD_JNZ};

// A value instruction with a known ALU operation, entirely inside the
// program, whose operand is plain (no random number) or, where `linked` is
// allowed, a register or global followed through one INDIRECT link.
struct Value {
    uint8_t kind;
    uint16_t v;    // where the operand lives, by kind; linked: see AmcOp
    int16_t word;  // the operand word as written
    int alu;       // 0 = LOAD ... 11 = STORE
    bool linked;
    int words;  // 3, or 5 when linked
};

bool value_at(const int16_t* code, int32_t len, int32_t pc, Value& out, bool linked = false)
{
    if (pc + 3 > len)
        return false;
    const int16_t opcode = code[pc];
    if (opcode != OP_IMM && opcode != OP_REG && opcode != OP_GLOBAL)
        return false;
    out.linked = linked && opcode != OP_IMM && code[pc + 2] == AMC_INDIRECT;
    out.words = out.linked ? 5 : 3;
    if (out.linked && (pc + 5 > len || code[pc + 4] == AMC_INDIRECT))
        return false;
    const int16_t alu = code[pc + out.words - 1];
    if (alu < AMC_ALU_FIRST || alu > AMC_ALU_LAST)
        return false;
    out.kind = opcode == OP_IMM ? KIND_WORD : opcode == OP_REG ? KIND_REG : KIND_GLOBAL;
    out.v = opcode == OP_IMM ? (uint16_t)(pc + 1) : (uint16_t)(code[pc + 1] & 31);
    if (out.linked)
        out.v |= (uint16_t)((code[pc + 3] & 31) << 5);
    out.word = code[pc + 1];
    out.alu = alu - AMC_ALU_FIRST;
    return true;
}

// The target of the JUMP_IF_ZERO (zero true) or JUMP_IF_TRUE at pc, if any.
bool branch_at(const int16_t* code, int32_t len, int32_t pc, bool& zero, uint16_t& target)
{
    if (pc + 2 > len || (code[pc] != OP_JUMP_IF_ZERO && code[pc] != OP_JUMP_IF_TRUE))
        return false;
    zero = code[pc] == OP_JUMP_IF_ZERO;
    target = (uint16_t)amc_op_index(code[pc + 1], len);
    return true;
}

// The letter of an assignment's operand (R G I H U, see AMC_ASSIGN), and
// the v[] that its handler reads: a constant is the value itself.
int letter(const Value& x)
{
    if (x.linked)
        return x.kind == KIND_GLOBAL ? 3 : 4;
    return x.kind == KIND_REG ? 0 : x.kind == KIND_GLOBAL ? 1 : 2;
}
uint16_t letter_v(const Value& x) { return x.kind == KIND_WORD ? (uint16_t)x.word : x.v; }

constexpr int ALU_LOAD_I = ALU_LOAD - AMC_ALU_FIRST;
constexpr int ALU_STORE_I = ALU_STORE - AMC_ALU_FIRST;

// Range tests ("if r < a || r > b", "continue if r < a || r > b"): after
// "load r, lt a, jump_if_true", the same register's "load r, gt b" and a
// conditional jump at `at` join op, an RI_LT_JNZ, as RI_OUTSIDE_...;
// returns the words they add, or 0.
int outside(const int16_t* code, int32_t len, int32_t at, const Value& first, const Value& lt,
            bool zero, AmcOp& op)
{
    Value load, gt;
    bool zero2;
    uint16_t target2;
    if (zero || first.linked || first.kind != KIND_REG || lt.alu != ALU_LT - AMC_ALU_FIRST ||
        !value_at(code, len, at, load) || load.alu != ALU_LOAD - AMC_ALU_FIRST ||
        load.kind != KIND_REG || load.v != first.v || !value_at(code, len, at + 3, gt) ||
        gt.kind != KIND_WORD || gt.alu != ALU_GT - AMC_ALU_FIRST ||
        !branch_at(code, len, at + 6, zero2, target2))
        return 0;
    op.handler = zero2 ? H_RI_OUTSIDE_JZ : H_RI_OUTSIDE_JNZ;
    op.v[2] = (uint16_t)gt.word;
    op.other = target2;
    return 8;
}

// Fuses the value instruction `first` at pc with what follows it, when that
// is one of the fused sequences; returns the words covered, or 0. Only a
// LOAD may have a linked operand.
int fuse(const int16_t* code, int32_t len, int32_t pc, const Value& first, AmcOp* ops, AmcOp& op)
{
    Value second, third;
    bool zero;
    uint16_t target;
    auto operand = [&op](int i, const Value& x) {
        op.kind[i] = x.kind;
        op.v[i] = x.v;
    };
    const int32_t at2 = pc + first.words, at3 = at2 + 3;
    const bool has_second = value_at(code, len, at2, second);
    const bool stores_second = has_second && second.alu == ALU_STORE_I && second.kind != KIND_WORD;
    if (first.alu == ALU_LOAD_I) {
        const int c = first.linked;
        if (has_second && X_STORE[second.alu] && value_at(code, len, at3, third) &&
            third.alu == ALU_STORE_I && third.kind != KIND_WORD) {
            op.handler = LOAD_X_STORE[c][second.alu];
            operand(0, first), operand(1, second), operand(2, third);
            const int alu = second.alu + AMC_ALU_FIRST;
            if (third.kind == KIND_REG && (alu == ALU_ADD || alu == ALU_SUB)) {
                const int a = letter(first), b = letter(second);
                op.handler = alu == ALU_ADD ? ASSIGN_ADD[a][b] : ASSIGN_SUB[a][b];
                op.v[0] = letter_v(first);
                op.v[1] = letter_v(second);
            }
            return at3 + 3 - pc;
        }
        const int alu2 = has_second ? second.alu + AMC_ALU_FIRST : 0;
        if (!c && (alu2 == ALU_ADD || alu2 == ALU_SUB) && value_at(code, len, at3, third) &&
            third.kind == KIND_WORD && X_JZ[third.alu] &&
            branch_at(code, len, at3 + 3, zero, target)) {
            const int sub = alu2 == ALU_SUB;
            op.handler = zero ? SUM_JZ[sub][third.alu] : SUM_JNZ[sub][third.alu];
            operand(0, first), operand(1, second);
            op.v[2] = (uint16_t)third.word;
            op.target = ops + target;
            return at3 + 5 - pc;
        }
        if (has_second && X_JZ[second.alu] && branch_at(code, len, at3, zero, target)) {
            op.handler = zero ? LOAD_X_JZ[c][second.alu] : LOAD_X_JNZ[c][second.alu];
            operand(0, first), operand(1, second);
            op.target = ops + target;
            if (!c && first.kind != KIND_WORD && second.kind == KIND_WORD) {
                const int g = first.kind == KIND_GLOBAL;
                op.handler = zero ? KI_JZ[g][second.alu] : KI_JNZ[g][second.alu];
                op.v[1] = (uint16_t)second.word;
                if (const int words = outside(code, len, at3 + 2, first, second, zero, op))
                    return at3 + 2 + words - pc;
            }
            return at3 + 2 - pc;
        }
        if (has_second && second.alu != ALU_LOAD_I &&
            (second.alu != ALU_STORE_I || stores_second)) {
            op.handler = LOAD_X[c][second.alu];
            operand(0, first), operand(1, second);
            if (second.alu == ALU_STORE_I && second.kind == KIND_REG) {
                op.handler = COPY[letter(first)];
                op.v[0] = letter_v(first);
            }
            return at3 - pc;
        }
        if (branch_at(code, len, at2, zero, target)) {
            op.handler = zero ? LOAD_JZ[c] : LOAD_JNZ[c];
            operand(0, first);
            op.target = ops + target;
            if (!c && first.kind == KIND_REG)
                op.handler = zero ? H_R_JZ : H_R_JNZ;
            return at2 + 2 - pc;
        }
        if (first.linked) {
            op.handler = H_C_LOAD;
            operand(0, first);
            return at2 - pc;
        }
        return 0;
    }
    if (first.linked)
        return 0;
    if (X_STORE[first.alu] && stores_second) {
        op.handler = X_STORE[first.alu];
        operand(0, first), operand(1, second);
        return 6;
    }
    if (X_JZ[first.alu] && branch_at(code, len, pc + 3, zero, target)) {
        op.handler = zero ? X_JZ[first.alu] : X_JNZ[first.alu];
        operand(0, first);
        op.target = ops + target;
        return 5;
    }
    return 0;
}

// Handlers that end by going on to the next instruction, and so can take a
// tail.
bool falls_through(uint16_t h)
{
    switch (h) {
    case H_DECODE:
    case H_STOP:
    case H_SLOW:
    case H_JUMP:
    case H_BREAK:
    case H_RESUME:
    case H_CALL:
    case H_SET_JUMP:
    case H_JUMP_REG:
    case H_YIELD:
    case H_RI_OUTSIDE_JZ:
    case H_RI_OUTSIDE_JNZ:  // `other` is taken
        return false;
    default: return true;
    }
}

// Makes the JUMP or JUMP_REG at `next`, if any, the tail of op; returns the
// words it covers.
int tail(const int16_t* code, int32_t len, int32_t next, AmcOp& op)
{
    if (!falls_through(op.handler) || next + 2 > len)
        return 0;
    if (code[next] == OP_JUMP) {
        op.tail = TAIL_JUMP;
        op.other = (uint16_t)amc_op_index(code[next + 1], len);
        return 2;
    }
    if (code[next] == OP_JUMP_REG) {
        op.tail = TAIL_RETURN;
        op.tail_reg = (uint8_t)(code[next + 1] & 31);
        return 2;
    }
    return 0;
}

}  // namespace

void amc_decode_op(int n, uint32_t pc)
{
    Table& t = tables[n];
    AmcOp& op = t.ops[pc];
    const int16_t* code = t.words;
    const int32_t len = t.length;
    const int32_t p = (int32_t)pc;
    auto at = [&t, len](int32_t target) { return t.ops + amc_op_index(target, len); };
    // The op depends on the words p .. p+span-1; anything it cannot handle
    // itself, including a truncated instruction, takes the plain path.
    int span = 1;
    op = AmcOp{};
    op.handler = H_SLOW;
    Value first;
    if (p >= len) {
        op.handler = H_STOP;
    } else if (value_at(code, len, p, first, true) && (!first.linked || first.alu == ALU_LOAD_I)) {
        span = fuse(code, len, p, first, t.ops, op);  // a linked LOAD always gets an op here
        if (!span) {
            span = 3;
            const int kind = first.kind == KIND_WORD ? 0 : first.kind == KIND_REG ? 1 : 2;
            if (SINGLE[kind][first.alu]) {
                op.handler = SINGLE[kind][first.alu];
                op.v[0] = kind == 0 ? (uint16_t)first.word : first.v;
            }
            // Division by a constant: a multiplication by its reciprocal,
            // rounded up to 32 bits, and a shift give the same quotient for
            // every 16-bit dividend and divisor of 2 or more in size, where
            // the processor's division would take many times as long.
            const int32_t d = first.word;
            if (op.handler == H_I_DIV && (d >= 2 || d <= -2)) {
                const uint32_t m = (uint32_t)((1ull << 32) / (uint32_t)(d < 0 ? -d : d) + 1);
                op.handler = H_I_DIV_BY;
                op.v[1] = (uint16_t)m;
                op.v[2] = (uint16_t)(m >> 16);
                op.kind[0] = d < 0;
            }
        }
    } else {
        const int16_t opcode = code[p];
        const bool has2 = p + 2 <= len, has3 = p + 3 <= len;
        switch (opcode) {
        case OP_IMM:
        case OP_GLOBAL:
        case OP_REG:
            if (!has3)
                break;
            if (opcode != OP_IMM && code[p + 2] == AMC_INDIRECT) {
                // A chain, when it ends inside the program: base, links, ALU.
                int32_t end = p + 2;
                while (end < len && code[end] == AMC_INDIRECT)
                    end += 2;
                if (end < len) {
                    op.handler = H_CHAIN;
                    op.kind[0] = opcode == OP_REG ? KIND_REG : KIND_GLOBAL;
                    op.v[0] = (uint16_t)(code[p + 1] & 31);
                    op.v[1] = (uint16_t)((end - p - 2) / 2);
                    op.v[2] = (uint16_t)code[end];
                    span = end - p + 1;
                }
            } else {
                op.handler = H_NOP;  // an unknown ALU operation does nothing
                span = 3;
            }
            break;
        case OP_RANDOM:
            if (has3) {
                op.handler = H_RANDOM;
                op.v[0] = (uint16_t)code[p + 1];
                op.v[1] = (uint16_t)code[p + 2];
                span = 3;
            }
            break;
        case OP_JUMP:
        case OP_BREAK:
            if (has2) {
                op.handler = opcode == OP_JUMP ? H_JUMP : H_BREAK;
                op.target = at(code[p + 1]);
                span = 2;
            }
            break;
        case OP_JUMP_IF_ZERO:
        case OP_JUMP_IF_TRUE:
        case OP_BREAK_IF_TRUE:
            if (has2) {
                op.handler = opcode == OP_JUMP_IF_ZERO   ? H_JUMP_IF_ZERO
                             : opcode == OP_JUMP_IF_TRUE ? H_JUMP_IF_TRUE
                                                         : H_BREAK_IF_TRUE;
                op.target = at(code[p + 1]);
                span = 2;
            }
            break;
        case OP_RESUME: op.handler = H_RESUME; break;
        case OP_RESUME_IF_TRUE: op.handler = H_RESUME_IF_TRUE; break;
        case OP_SET_REG:
            if (has3) {
                op.handler = H_SET_REG;
                op.v[0] = (uint16_t)(code[p + 1] & 31);
                op.v[1] = (uint16_t)code[p + 2];
                span = 3;
                // A register set and a jump; `call` when the register gets
                // the offset right after the jump, its return address.
                if (p + 5 <= len && code[p + 3] == OP_JUMP) {
                    op.handler = code[p + 2] == p + 5 ? H_CALL : H_SET_JUMP;
                    op.target = at(code[p + 4]);
                    op.other = (uint16_t)amc_op_index(code[p + 2], len);  // its return
                    span = 5;
                }
            }
            break;
        case OP_JUMP_REG:
            if (has2) {
                op.handler = H_JUMP_REG;
                op.v[0] = (uint16_t)(code[p + 1] & 31);
                span = 2;
            }
            break;
        case OP_PUSH: op.handler = H_PUSH; break;
        case OP_YIELD: op.handler = H_YIELD; break;
        default: break;
        }
    }
    span += tail(code, len, p + span, op);
    set_handler(op, op.handler);
    if (span > t.max_span)
        t.max_span = span;
}
