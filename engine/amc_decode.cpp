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

// A family's handlers follow each other in the order of their ALU set
// (amc_decode.h), so the member for an ALU operation is the first one plus
// the operation's place in the set; 0 (no handler) when the set lacks it.
// The value families run LOAD .. LT in code order and their STORE follows,
// as LOAD_'s STORE follows its ADD .. LT.
uint16_t member(uint16_t first, int lo, int hi, int alu)
{
    return alu >= lo && alu <= hi ? (uint16_t)(first + alu - lo) : 0;
}
uint16_t arith(uint16_t first, int alu) { return member(first, ALU_ADD, ALU_OR, alu); }
uint16_t test(uint16_t first, int alu)  // GT EQ NE LT, then AND
{
    return alu == ALU_AND ? (uint16_t)(first + 4) : member(first, ALU_GT, ALU_LT, alu);
}
static_assert(H_R_STORE == H_R_LOAD + ALU_STORE - ALU_LOAD, "R_ runs LOAD .. STORE");
static_assert(H_G_STORE == H_G_LOAD + ALU_STORE - ALU_LOAD, "G_ runs LOAD .. STORE");
static_assert(H_I_LT == H_I_LOAD + ALU_LT - ALU_LOAD, "I_ runs LOAD .. LT");
static_assert(H_LOAD_STORE == H_LOAD_ADD + ALU_STORE - ALU_ADD, "LOAD_ runs ADD .. STORE");
static_assert(H_C_LOAD_STORE == H_C_LOAD_ADD + ALU_STORE - ALU_ADD, "C_LOAD_ too");
static_assert(H_AND_JZ == H_GT_JZ + 4, "tests run GT EQ NE LT AND");
static_assert(H_A_UI_SUB == H_A_RR_ADD + 29, "assignments by A (R G I H U), B (R G I), ADD SUB");
static_assert(H_COPY_U == H_COPY_R + 4, "copies by A (R G I H U)");

// A value instruction with a known ALU operation, entirely inside the
// program, whose operand is plain (no random number) or, where `linked` is
// allowed, a register or global followed through one INDIRECT link.
struct Value {
    uint8_t kind;
    uint16_t v;    // where the operand lives, by kind; linked: see AmcOp
    int16_t word;  // the operand word as written
    int alu;       // ALU_LOAD .. ALU_STORE
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
    if (!amc_alu_known(alu))
        return false;
    out.kind = opcode == OP_IMM ? KIND_WORD : opcode == OP_REG ? KIND_REG : KIND_GLOBAL;
    out.v = opcode == OP_IMM ? (uint16_t)(pc + 1) : (uint16_t)(code[pc + 1] & 31);
    if (out.linked)
        out.v |= (uint16_t)((code[pc + 3] & 31) << 5);
    out.word = code[pc + 1];
    out.alu = alu;
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

// Where an assignment's operand lives, as its handler's name says: R G I,
// or H / U linked through a global / a register; and the v[] that handler
// reads (a constant is the value itself).
int letter(const Value& x)
{
    if (x.linked)
        return x.kind == KIND_GLOBAL ? 3 : 4;
    return x.kind == KIND_REG ? 0 : x.kind == KIND_GLOBAL ? 1 : 2;
}
uint16_t letter_v(const Value& x) { return x.kind == KIND_WORD ? (uint16_t)x.word : x.v; }

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
    if (zero || first.linked || first.kind != KIND_REG || lt.alu != ALU_LT ||
        !value_at(code, len, at, load) || load.alu != ALU_LOAD || load.kind != KIND_REG ||
        load.v != first.v || !value_at(code, len, at + 3, gt) || gt.kind != KIND_WORD ||
        gt.alu != ALU_GT || !branch_at(code, len, at + 6, zero2, target2))
        return 0;
    op.handler = zero2 ? H_RI_OUTSIDE_JZ : H_RI_OUTSIDE_JNZ;
    op.v[2] = (uint16_t)gt.word;
    op.other = target2;
    return 8;
}

// Fuses the value instruction `first` at pc with what follows it, when that
// is one of the sequences of AMC_FAST_OPS; returns the words covered, or 0.
// Only a LOAD may have a linked operand. Where a sequence has a handler that
// knows where its operands live, that one is taken.
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
    const bool stores_second = has_second && second.alu == ALU_STORE && second.kind != KIND_WORD;
    const int alu2 = has_second ? second.alu : 0;
    if (first.alu == ALU_LOAD) {
        const bool c = first.linked;
        // load A; x B; store C
        if (arith(1, alu2) && value_at(code, len, at3, third) && third.alu == ALU_STORE &&
            third.kind != KIND_WORD) {
            op.handler = arith(c ? H_C_LOAD_ADD_STORE : H_LOAD_ADD_STORE, alu2);
            operand(0, first), operand(1, second), operand(2, third);
            if (third.kind == KIND_REG && (alu2 == ALU_ADD || alu2 == ALU_SUB)) {
                op.handler = (uint16_t)(H_A_RR_ADD + (letter(first) * 3 + letter(second)) * 2 +
                                        (alu2 == ALU_SUB));
                op.v[0] = letter_v(first);
                op.v[1] = letter_v(second);
            }
            return at3 + 3 - pc;
        }
        // load A; add / sub B; x k; jump_if_... T
        if (!c && (alu2 == ALU_ADD || alu2 == ALU_SUB) && value_at(code, len, at3, third) &&
            third.kind == KIND_WORD && test(1, third.alu) &&
            branch_at(code, len, at3 + 3, zero, target)) {
            const uint16_t first_test = alu2 == ALU_ADD
                                            ? (zero ? H_LOAD_ADD_GT_JZ : H_LOAD_ADD_GT_JNZ)
                                            : (zero ? H_LOAD_SUB_GT_JZ : H_LOAD_SUB_GT_JNZ);
            op.handler = test(first_test, third.alu);
            operand(0, first), operand(1, second);
            op.v[2] = (uint16_t)third.word;
            op.target = ops + target;
            return at3 + 5 - pc;
        }
        // load A; x B; jump_if_... T
        if (test(1, alu2) && branch_at(code, len, at3, zero, target)) {
            op.handler = test(c ? (zero ? H_C_LOAD_GT_JZ : H_C_LOAD_GT_JNZ)
                                : (zero ? H_LOAD_GT_JZ : H_LOAD_GT_JNZ),
                              alu2);
            operand(0, first), operand(1, second);
            op.target = ops + target;
            if (!c && first.kind != KIND_WORD && second.kind == KIND_WORD) {
                const bool global = first.kind == KIND_GLOBAL;
                op.handler = test(
                    global ? (zero ? H_GI_GT_JZ : H_GI_GT_JNZ) : (zero ? H_RI_GT_JZ : H_RI_GT_JNZ),
                    alu2);
                op.v[1] = (uint16_t)second.word;
                if (const int words = outside(code, len, at3 + 2, first, second, zero, op))
                    return at3 + 2 + words - pc;
            }
            return at3 + 2 - pc;
        }
        // load A; x B
        if (has_second && alu2 != ALU_LOAD && (alu2 != ALU_STORE || stores_second)) {
            op.handler = member(c ? H_C_LOAD_ADD : H_LOAD_ADD, ALU_ADD, ALU_STORE, alu2);
            operand(0, first), operand(1, second);
            if (alu2 == ALU_STORE && second.kind == KIND_REG) {
                op.handler = (uint16_t)(H_COPY_R + letter(first));
                op.v[0] = letter_v(first);
            }
            return at3 - pc;
        }
        // load A; jump_if_... T
        if (branch_at(code, len, at2, zero, target)) {
            op.handler = c ? (zero ? H_C_LOAD_JZ : H_C_LOAD_JNZ) : (zero ? H_LOAD_JZ : H_LOAD_JNZ);
            operand(0, first);
            op.target = ops + target;
            if (!c && first.kind == KIND_REG)
                op.handler = zero ? H_R_JZ : H_R_JNZ;
            return at2 + 2 - pc;
        }
        if (c) {
            op.handler = H_C_LOAD;
            operand(0, first);
            return at2 - pc;
        }
        return 0;
    }
    if (first.linked)
        return 0;
    // x A; store B
    if (arith(1, first.alu) && stores_second) {
        op.handler = arith(H_ADD_STORE, first.alu);
        operand(0, first), operand(1, second);
        return 6;
    }
    // x A; jump_if_... T
    if (test(1, first.alu) && branch_at(code, len, pc + 3, zero, target)) {
        op.handler = test(zero ? H_GT_JZ : H_GT_JNZ, first.alu);
        operand(0, first);
        op.target = ops + target;
        return 5;
    }
    return 0;
}

// The op of a single value instruction: its handler by where the operand
// lives and the ALU operation, none for a STORE into the program (the plain
// path runs that, and forgets the ops that read the word).
void single_value(const Value& x, AmcOp& op)
{
    const uint16_t first = x.kind == KIND_WORD  ? H_I_LOAD
                           : x.kind == KIND_REG ? H_R_LOAD
                                                : H_G_LOAD;
    op.handler = x.kind == KIND_WORD && x.alu == ALU_STORE
                     ? (uint16_t)H_SLOW
                     : member(first, ALU_LOAD, ALU_STORE, x.alu);
    op.v[0] = x.kind == KIND_WORD ? (uint16_t)x.word : x.v;
    // Division by a constant: a multiplication by its reciprocal, rounded
    // up to 32 bits, and a shift give the same quotient for every 16-bit
    // dividend and divisor of 2 or more in size, where the processor's
    // division would take many times as long.
    const int32_t d = x.word;
    if (op.handler == H_I_DIV && (d >= 2 || d <= -2)) {
        const uint32_t m = (uint32_t)((1ull << 32) / (uint32_t)(d < 0 ? -d : d) + 1);
        op.handler = H_I_DIV_BY;
        op.v[1] = (uint16_t)m;
        op.v[2] = (uint16_t)(m >> 16);
        op.kind[0] = d < 0;
    }
}

// The handler of each other instruction that has one, by opcode; SLOW for
// those that only the plain path runs (END, SET_HANDLER, SPAWN, MOVE).
constexpr uint16_t simple_handler(int opcode)
{
    switch (opcode) {
    case OP_RANDOM: return H_RANDOM;
    case OP_JUMP: return H_JUMP;
    case OP_BREAK: return H_BREAK;
    case OP_RESUME: return H_RESUME;
    case OP_JUMP_IF_ZERO: return H_JUMP_IF_ZERO;
    case OP_JUMP_IF_TRUE: return H_JUMP_IF_TRUE;
    case OP_BREAK_IF_TRUE: return H_BREAK_IF_TRUE;
    case OP_RESUME_IF_TRUE: return H_RESUME_IF_TRUE;
    case OP_SET_REG: return H_SET_REG;
    case OP_JUMP_REG: return H_JUMP_REG;
    case OP_PUSH: return H_PUSH;
    case OP_YIELD: return H_YIELD;
    default: return H_SLOW;
    }
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
    // The op depends on the words p .. p+span-1; anything it cannot handle
    // itself, including a truncated instruction, takes the plain path.
    int span = 1;
    op = AmcOp{};
    op.handler = H_SLOW;
    Value first;
    const int16_t opcode = p < len ? code[p] : 0;
    if (p >= len) {
        op.handler = H_STOP;
    } else if (value_at(code, len, p, first, true) && (!first.linked || first.alu == ALU_LOAD)) {
        span = fuse(code, len, p, first, t.ops, op);  // a linked LOAD always gets an op here
        if (!span) {
            span = 3;
            single_value(first, op);
        }
    } else if (amc_opcode_known(opcode) && p + amc_op_info[opcode].words <= len) {
        const AmcOpInfo& info = amc_op_info[opcode];
        if (opcode == OP_IMM || (info.flow & AMC_CHAIN)) {
            // A value instruction that value_at did not take: a chain of
            // links (when it ends inside the program: base, links, ALU), or
            // no ALU operation, which does nothing.
            if (opcode != OP_IMM && code[p + 2] == AMC_INDIRECT) {
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
                op.handler = H_NOP;
                span = info.words;
            }
        } else if ((op.handler = simple_handler(opcode)) != H_SLOW) {
            // The operand words, by what they hold.
            span = info.words;
            for (int i = 0; i < 2 && info.arg[i] != ARG_NONE; i++) {
                const int16_t word = code[p + 1 + i];
                if (info.arg[i] == ARG_TARGET)
                    op.target = t.ops + amc_op_index(word, len);
                else if (info.arg[i] == ARG_REG)
                    op.v[i] = (uint16_t)(word & 31);
                else
                    op.v[i] = (uint16_t)word;
            }
            // A register set and a jump; `call` when the register gets the
            // offset right after the jump, its return address.
            if (opcode == OP_SET_REG && p + 5 <= len && code[p + 3] == OP_JUMP) {
                op.handler = code[p + 2] == p + 5 ? H_CALL : H_SET_JUMP;
                op.target = t.ops + amc_op_index(code[p + 4], len);
                op.other = (uint16_t)amc_op_index(code[p + 2], len);  // its return
                span = 5;
            }
        }
    }
    span += tail(code, len, p + span, op);
    set_handler(op, op.handler);
    if (span > t.max_span)
        t.max_span = span;
}
