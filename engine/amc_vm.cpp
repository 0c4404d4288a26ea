#include "amc_vm.h"

#include "actor.h"
#include "amc.h"
#include "amc_decode.h"
#include "amc_ops.h"
#include "diag.h"

#include <cstring>

int16_t amc_globals[AMC_GLOBALS];
AmcArgs amc_args;
static int32_t amc_seed_value = 1;
static int16_t amc_accumulator;

static int32_t turn_limit = AMC_TURN_LIMIT;
static bool fast_path = true;

// The ALU operations one by one, so that the plain path's amc_alu and the
// fast path's handlers compute exactly the same thing.
static inline int16_t alu_load(int32_t, int32_t v) { return (int16_t)v; }
static inline int16_t alu_add(int32_t a, int32_t v) { return (int16_t)(uint16_t)(a + v); }
static inline int16_t alu_sub(int32_t a, int32_t v) { return (int16_t)(uint16_t)(a - v); }
static inline int16_t alu_mul(int32_t a, int32_t v) { return (int16_t)(uint16_t)(a * v); }
static inline int16_t alu_div(int32_t a, int32_t v)
{
    return v == 0 ? 0 : (int16_t)(uint16_t)(a / v);
}
static inline int16_t alu_and(int32_t a, int32_t v) { return (int16_t)(a & v); }
static inline int16_t alu_or(int32_t a, int32_t v) { return (int16_t)(a | v); }
static inline int16_t alu_gt(int32_t a, int32_t v) { return a > v ? (int16_t)-1 : (int16_t)0; }
static inline int16_t alu_eq(int32_t a, int32_t v) { return a == v ? (int16_t)-1 : (int16_t)0; }
static inline int16_t alu_ne(int32_t a, int32_t v) { return a != v ? (int16_t)-1 : (int16_t)0; }
static inline int16_t alu_lt(int32_t a, int32_t v) { return a < v ? (int16_t)-1 : (int16_t)0; }

static inline void alu_apply(int16_t& acc, int16_t* operand, int alu)
{
    int32_t a = acc, v = *operand;
    switch (alu) {
    case ALU_LOAD: acc = (int16_t)v; break;
    case ALU_ADD: acc = alu_add(a, v); break;
    case ALU_SUB: acc = alu_sub(a, v); break;
    case ALU_MUL: acc = alu_mul(a, v); break;
    case ALU_DIV: acc = alu_div(a, v); break;
    case ALU_AND: acc = alu_and(a, v); break;
    case ALU_OR: acc = alu_or(a, v); break;
    case ALU_GT: acc = alu_gt(a, v); break;
    case ALU_EQ: acc = alu_eq(a, v); break;
    case ALU_NE: acc = alu_ne(a, v); break;
    case ALU_LT: acc = alu_lt(a, v); break;
    case ALU_STORE: *operand = acc; break;
    default: break;
    }
}

void amc_alu(int16_t* operand, int alu) { alu_apply(amc_accumulator, operand, alu); }

int32_t amc_random()
{
    // x' = 16807 x mod (2^31 - 1) in 32-bit arithmetic: the product is formed
    // from the seed's 16-bit halves, its low 31 bits and the bits above them
    // are added (2^31 is 1 modulo 2^31 - 1), and a sum past 31 bits is folded
    // once more. The high half is shifted arithmetically, so a negative seed
    // (amc_seed keeps a signed 16-bit value) is multiplied as a signed number,
    // and a sum of exactly 2^31 - 1 stays as it is. Replays depend on every
    // one of these bits.
    int32_t seed = amc_seed_value;
    int32_t lo = (seed & 0xFFFF) * 16807;
    int32_t hi = (seed >> 16) * 16807;
    int32_t t = (lo >> 16) + hi;
    uint32_t r = (uint32_t)((lo & 0xFFFF) | ((t & 0x7FFF) << 16));
    r += (uint32_t)(t >> 15);
    if ((int32_t)r < 0)
        r = (r + 1) & 0x7FFFFFFF;
    amc_seed_value = (int32_t)r;
    return (int32_t)r;
}

void amc_seed(int32_t value)
{
    int32_t v = value & 0x7FFFFFFF;
    if (v == 0)
        v = 1;
    amc_seed_value = (int16_t)(uint16_t)(v & 0xFFFF);
}

int32_t amc_get_seed() { return amc_seed_value; }

void amc_args_clear() { memset(&amc_args, 0, sizeof amc_args); }

void amc_vm_reset()
{
    amc_args_clear();
    amc_seed_value = 1;
    amc_accumulator = 0;
}

static void move_step(Actor& a)
{
    int32_t d = a.move_duration;
    int32_t sx = a.move_dx + a.move_rem_x;
    int32_t sy = a.move_dy + a.move_rem_y;
    a.regs[REG_X] = (int16_t)(uint16_t)(a.regs[REG_X] + sx / d);
    a.regs[REG_Y] = (int16_t)(uint16_t)(a.regs[REG_Y] + sy / d);
    a.move_rem_x = (int16_t)(sx % d);
    a.move_rem_y = (int16_t)(sy % d);
    a.move_ticks_left--;
}

static inline void push_arg(int16_t v)
{
    if (amc_args.count >= 0 && amc_args.count < AMC_ARGS)
        amc_args.values[amc_args.count++] = v;
}

enum TurnResult { TURN_ENDS, PASS_ENDS };
enum Step { STEP_ON, STEP_TURN_ENDS, STEP_PASS_ENDS };

// The instructions with effects beyond the accumulator, shared by both paths.

static Step spawn_from_args(int slot, int16_t acc)
{
    push_arg(acc);
    int n = amc_args.values[0];
    int16_t r = actor_spawn(n);
    if (r == -1) {
        diag("A! Tried to Spawn an unknown object type (%d)\n", n);
        amc_args.count = 0;
        actor_remove(slot);
        return STEP_PASS_ENDS;
    }
    if (r == -2) {
        diag("!! Too many actors, couldnt create a new (%d)\n", n);
    } else {
        Actor& b = actor_table.slots[r];
        for (int i = 1; i < amc_args.count; i++)
            b.regs[i - 1] = amc_args.values[i];
    }
    amc_args.count = 0;
    return STEP_ON;
}

static Step start_move(Actor& a, int slot, int16_t acc, int32_t pc)
{
    if (acc == 0) {
        diag("!! Move command with duration=0\n");
        actor_remove(slot);
        return STEP_PASS_ENDS;
    }
    a.move_dx = amc_args.values[0];
    a.move_dy = amc_args.values[1];
    amc_args.count = 0;
    a.move_rem_x = a.move_rem_y = 0;
    a.move_duration = acc;
    a.move_ticks_left = (uint16_t)acc;
    a.resume_pc = pc + 1;
    move_step(a);
    return STEP_TURN_ENDS;
}

// Executes the one instruction at pc. Every word is fetched through a bounds
// check against the program's length, so a wild jump or a truncated
// instruction stops the pass instead of reading memory the program does not
// own. This is the plain path, and the meaning of every instruction.
// `prog` is the program the turn started in, which the turn runs to its end:
// a SPAWN can give this very slot a new program mid-turn (an actor that
// ended but is still reached through a link a script left spawns into its
// own free slot), and the new actor's program starts with its next turn.
static Step step(Actor& a, int slot, int prog, int32_t& pc, int16_t& acc)
{
    int16_t* const code = program_table[prog].words;
    const int32_t len = program_table[prog].length;
    int16_t* const regs = a.regs;

    // An unknown opcode (the actor keeps its resume_pc and meets it again),
    // or an instruction that the program's end cuts off, ends the pass.
    if (pc < 0 || pc >= len || !amc_opcode_known(code[pc]) ||
        pc + amc_op_info[code[pc]].words > len)
        return STEP_PASS_ENDS;
    const int32_t next = pc + amc_op_info[code[pc]].words;
    switch (code[pc]) {
    case OP_IMM: {
        int alu = code[pc + 2];
        alu_apply(acc, &code[pc + 1], alu);
        if (alu == ALU_STORE)
            amc_decode_word_written(prog, pc + 1);
        pc = next;
        return STEP_ON;
    }
    case OP_RANDOM: {
        int16_t scratch = (int16_t)(uint16_t)(amc_random() & code[pc + 1]);
        alu_apply(acc, &scratch, code[pc + 2]);
        pc = next;
        return STEP_ON;
    }
    case OP_GLOBAL:
    case OP_REG: {
        // Check the whole chain before following it.
        int32_t end = pc + 2;
        while (code[end] == AMC_INDIRECT) {
            end += 2;
            if (end >= len)
                return STEP_PASS_ENDS;
        }
        int16_t* loc =
            code[pc] == OP_GLOBAL ? &amc_globals[code[pc + 1] & 31] : &regs[code[pc + 1] & 31];
        for (int32_t i = pc + 2; i < end; i += 2)
            loc = &actor_table.slots[*loc & 63].regs[code[i + 1] & 31];
        alu_apply(acc, loc, code[end]);
        pc = end + 1;
        return STEP_ON;
    }
    case OP_JUMP: pc = code[pc + 1]; return STEP_ON;
    case OP_BREAK:
        pc = code[pc + 1];
        a.move_ticks_left = 0;
        return STEP_ON;
    case OP_RESUME:
        pc = a.resume_pc;
        if (a.move_ticks_left != 0) {
            move_step(a);
            return STEP_TURN_ENDS;
        }
        return STEP_ON;
    case OP_JUMP_IF_ZERO: pc = acc == 0 ? code[pc + 1] : next; return STEP_ON;
    case OP_JUMP_IF_TRUE: pc = acc != 0 ? code[pc + 1] : next; return STEP_ON;
    case OP_BREAK_IF_TRUE:
        if (acc != 0) {
            pc = code[pc + 1];
            a.move_ticks_left = 0;
        } else {
            pc = next;
        }
        return STEP_ON;
    case OP_RESUME_IF_TRUE:
        if (acc == 0) {
            pc = next;
            return STEP_ON;
        }
        pc = a.resume_pc;
        if (a.move_ticks_left != 0) {
            move_step(a);
            return STEP_TURN_ENDS;
        }
        return STEP_ON;
    case OP_END: actor_remove(slot); return STEP_PASS_ENDS;
    case OP_SET_HANDLER:
        a.handler_pc = (uint16_t)code[pc + 2] == AMC_HANDLER_NONE ? ACTOR_NO_HANDLER : code[pc + 2];
        pc = code[pc + 1];
        return STEP_ON;
    case OP_SET_REG:
        regs[code[pc + 1] & 31] = code[pc + 2];
        pc = next;
        return STEP_ON;
    case OP_JUMP_REG: pc = regs[code[pc + 1] & 31]; return STEP_ON;
    case OP_PUSH:
        push_arg(acc);
        pc = next;
        return STEP_ON;
    case OP_SPAWN: {
        Step r = spawn_from_args(slot, acc);
        pc = next;
        return r;
    }
    case OP_YIELD: a.resume_pc = next; return STEP_TURN_ENDS;
    case OP_MOVE: return start_move(a, slot, acc, pc);
    default: return STEP_PASS_ENDS;
    }
}

// The rest of a turn on the plain path, `executed` instructions into it.
static TurnResult run_plain(Actor& a, int slot, int prog, int32_t pc, int16_t acc, int32_t executed)
{
    for (;; executed++) {
        if (executed >= turn_limit) {
            diag("!! Actor %d runs without yielding\n", slot);
            return PASS_ENDS;
        }
        Step r = step(a, slot, prog, pc, acc);
        if (r != STEP_ON)
            return r == STEP_TURN_ENDS ? TURN_ENDS : PASS_ENDS;
    }
}

#if defined(__GNUC__) || defined(__clang__)
#define AMC_COMPUTED_GOTO 1
#define AMC_LIKELY(x) __builtin_expect(!!(x), 1)
#else
#define AMC_COMPUTED_GOTO 0
#define AMC_LIKELY(x) (x)
#endif

// The fast path: the ops of amc_decode.h, one dispatch each. Dispatch is
// computed goto where the compiler has it (each handler ends in its own
// jump, predicted on its own), a switch otherwise. There are no bounds
// checks here: the decoder checked the words once, and an offset outside
// the program leads to an op that stops the pass. Each handler knows how
// many words it covers (amc_fast_words), so the next op's address is a
// constant step from this one's and does not wait for a load. That address
// is what each op waits for: the game's scripts jump (calls, returns,
// conditions over if-bodies) about every other op, so a jump's target is an
// address kept in the op, one load away, and a return takes its op from the
// calls' ring below rather than from its register.
//
// Everything rare (SPAWN, MOVE, END, SET_HANDLER, STORE into the program)
// runs the plain path's step for that one instruction (SLOW); a STORE into
// the program makes the ops that read that word decode again, so later
// fetches see it. Every handler takes the instructions it ran from the
// turn's budget; when fewer are left than an op may run, the plain path
// finishes the turn, so the turn limit stops at exactly the same
// instruction as it would there.
//
// The whole pass runs here, turn after turn, so that a turn starts without
// a call. Called with `publish`, it only gives the decoder the handlers'
// addresses.
static void run_pass(bool publish)
{
#if AMC_COMPUTED_GOTO
#define AMC_LABEL(name, ...) &&L_##name,
#define AMC_MEMBER_LABEL(x, f, P, S) &&L_##P##x##S,
#define AMC_FAMILY_LABELS(P, S, SET, ...) SET(AMC_MEMBER_LABEL, P, S)
    static const void* const labels[H_COUNT] = {AMC_FAST_OPS(AMC_LABEL, AMC_FAMILY_LABELS)};
#undef AMC_FAMILY_LABELS
#undef AMC_MEMBER_LABEL
#undef AMC_LABEL
    if (publish) {
        amc_decode_set_handlers(labels);
        return;
    }
#else
    if (publish) {
        amc_decode_set_handlers(nullptr);
        return;
    }
#endif
    // The program of the turn: actors of one kind tend to follow each other
    // in the list, so its op table is looked up once per run of them (null:
    // the plain path).
    int program = -1;
    AmcOp* ops = nullptr;
    int32_t len = 0;
    // Where operands live, by AmcOperandKind.
    int16_t* bases[3] = {nullptr, nullptr, amc_globals};
    // The turn.
    int slot = actor_next(0), turns = 0;
    Actor* actor = nullptr;
    int16_t* regs = nullptr;
    int16_t acc = 0;
    int32_t budget = 0;
    const AmcOp* op = nullptr;
    // Where the calls of this turn return to, most recent last (a ring: a
    // deeper nesting forgets the oldest). Every op's address depends on the
    // one before, and a return's on the load of its register, so a return
    // would otherwise wait for that load. Taking the op from here, which the
    // call wrote long before, lets it go on at once; the register still
    // decides (checked, off that path), so a script that changed it or
    // returns from somewhere else goes where the register says.
    constexpr unsigned RETURNS = 8;
    constexpr int32_t NO_RETURN = 0x10000;  // no register holds this
    int32_t return_pc[RETURNS];
    const AmcOp* return_op[RETURNS];
    unsigned returns = 0;

next_turn:
    if (slot == 0)
        return;
    if (turns++ == AMC_PASS_TURNS) {
        diag("!! Actor list is broken\n");
        return;
    }
    actor = &actor_table.slots[slot];
    if (actor->program < 0 || actor->program >= program_count)
        return;
    if (actor->program != program) {
        program = actor->program;
        ops = fast_path ? amc_decoded(program) : nullptr;
        len = program_table[program].length;
        bases[0] = program_table[program].words;
    }
    {
        int32_t pc;
        if (actor->handler_pc != ACTOR_NO_HANDLER) {
            pc = actor->handler_pc;
        } else if (actor->move_ticks_left != 0) {
            move_step(*actor);
            goto turn_ends;
        } else {
            pc = actor->resume_pc;
        }
        if (!ops) {
            if (run_plain(*actor, slot, program, pc, 0, 0) == PASS_ENDS)
                return;
            goto turn_ends;
        }
        regs = bases[1] = actor->regs;
        acc = 0;
        budget = turn_limit;
        op = ops + amc_op_index(pc, len);
        returns = 0;
        for (int32_t& r : return_pc)
            r = NO_RETURN;
    }

    // clang-format off
#if AMC_COMPUTED_GOTO
#define CASE(name) L_##name:
#define DISPATCH()                                                                          \
    do {                                                                                    \
        if (budget < AMC_FAST_MAX_COUNT)                                                    \
            goto plain;                                                                     \
        goto *op->code;                                                                     \
    } while (0)
    DISPATCH();
#else
#define CASE(name) case H_##name:
#define DISPATCH() goto dispatch
dispatch:
    if (budget < AMC_FAST_MAX_COUNT)
        goto plain;
    switch (op->handler) {
#endif
// Handler h ran its instructions: take them from the budget and go on after
// its words, or where the op's tail leads.
#define NEXT(h)                                                                             \
    do {                                                                                    \
        budget -= amc_fast_instructions[H_##h];                                             \
        if (op->tail)                                                                       \
            goto tail;                                                                      \
        op += amc_fast_words[H_##h];                                                        \
        DISPATCH();                                                                         \
    } while (0)
// The same, to the op's target when `taken`: each way dispatches on its own
// and is predicted on its own.
#define BRANCH(h, taken)                                                                    \
    do {                                                                                    \
        budget -= amc_fast_instructions[H_##h];                                             \
        if (taken)                                                                          \
            GO(op->target);                                                                 \
        if (op->tail)                                                                       \
            goto tail;                                                                      \
        op += amc_fast_words[H_##h];                                                        \
        DISPATCH();                                                                         \
    } while (0)
#define GO(to)                                                                              \
    do {                                                                                    \
        op = (to);                                                                          \
        DISPATCH();                                                                         \
    } while (0)
#define JUMP_TO(index) GO(ops + (index))
// JUMP_REG through register r, the way `return` does it (see return_op).
#define RETURN(r)                                                                           \
    do {                                                                                    \
        const int16_t to = regs[r];                                                         \
        returns--;                                                                          \
        if (AMC_LIKELY(return_pc[returns % RETURNS] == to))                                 \
            GO(return_op[returns % RETURNS]);                                               \
        JUMP_TO(amc_op_index(to, len));                                                     \
    } while (0)

// Operand i of the op: where op->kind[i] says, or where the handler's name
// says (R own register, G global, I constant, H / U linked through a global
// / a register: v = base | link register << 5).
#define OPERAND(i) bases[op->kind[i]][op->v[i]]
#define LINKED(i)  actor_table.slots[bases[op->kind[i]][op->v[i] & 31] & 63].regs[op->v[i] >> 5]
#define KIND_R(i)  regs[op->v[i]]
#define KIND_G(i)  amc_globals[op->v[i]]
#define KIND_I(i)  ((int16_t)op->v[i])
#define KIND_H(i)  actor_table.slots[amc_globals[op->v[i] & 31] & 63].regs[op->v[i] >> 5]
#define KIND_U(i)  actor_table.slots[regs[op->v[i] & 31] & 63].regs[op->v[i] >> 5]

// The handlers of each family of AMC_FAST_OPS, one per ALU operation x
// computed by f: handler P<x>, A and B its first two operands.
#define VALUE(x, f, P, A)        CASE(P##x) acc = f(acc, A); NEXT(P##x);
#define LOAD_X(x, f, P, A)       CASE(P##x) acc = f(A, OPERAND(1)); NEXT(P##x);
#define X_STORE(x, f, ...)       CASE(x##_STORE) acc = f(acc, OPERAND(0)); OPERAND(1) = acc; \
                                 NEXT(x##_STORE);
#define LOAD_X_STORE(x, f, P, A) CASE(P##x##_STORE) acc = f(A, OPERAND(1)); OPERAND(2) = acc; \
                                 NEXT(P##x##_STORE);
#define X_JUMPS(x, f, ...)       CASE(x##_JZ) acc = f(acc, OPERAND(0)); BRANCH(x##_JZ, acc == 0); \
                                 CASE(x##_JNZ) acc = f(acc, OPERAND(0)); BRANCH(x##_JNZ, acc != 0);
#define LOAD_X_JUMPS(x, f, P, A, B)                                                         \
    CASE(P##x##_JZ) acc = f(A, B); BRANCH(P##x##_JZ, acc == 0);                             \
    CASE(P##x##_JNZ) acc = f(A, B); BRANCH(P##x##_JNZ, acc != 0);
#define ASSIGN(x, f, P, A, B)    CASE(P##x) acc = f(A, B); KIND_R(2) = acc; NEXT(P##x);
#define SUM_JUMPS(x, f, P, sum)                                                             \
    CASE(P##x##_JZ) acc = f(sum(OPERAND(0), OPERAND(1)), KIND_I(2)); BRANCH(P##x##_JZ, acc == 0); \
    CASE(P##x##_JNZ) acc = f(sum(OPERAND(0), OPERAND(1)), KIND_I(2)); BRANCH(P##x##_JNZ, acc != 0);
// "if r < a || r > b": the second test jumps to `other` when `taken`.
#define OUTSIDE(J, taken)                                                                   \
    CASE(RI_OUTSIDE_##J) {                                                                  \
        const int16_t x = KIND_R(0);                                                        \
        acc = alu_lt(x, KIND_I(1));                                                         \
        budget -= 3;                                                                        \
        if (acc != 0)                                                                       \
            GO(op->target);                                                                 \
        acc = alu_gt(x, KIND_I(2));                                                         \
        budget -= 3;                                                                        \
        if (taken)                                                                          \
            JUMP_TO(op->other);                                                             \
        op += amc_fast_words[H_RI_OUTSIDE_##J];                                             \
        DISPATCH();                                                                         \
    }

    // The handlers, in the order of AMC_FAST_OPS.
    CASE(DECODE)
        // Decoding executes nothing; the op it leaves runs next and counts
        // against the budget. Should it stay undecoded, its instruction runs
        // on the plain path: no dispatch repeats without an instruction
        // counted, so the turn limit ends every turn.
        amc_decode_op(program, (uint32_t)(op - ops));
        if (op->handler == H_DECODE)
            goto slow;
        DISPATCH();
    CASE(STOP)
        return;
    CASE(SLOW)
    slow: {
        // Copies, so that acc stays in a register everywhere else.
        int32_t pc = (int32_t)(op - ops);
        int16_t value = acc;
        Step r = step(*actor, slot, program, pc, value);
        if (r == STEP_TURN_ENDS)
            goto turn_ends;
        if (r != STEP_ON)
            return;
        acc = value;
        budget -= amc_fast_instructions[H_SLOW];
        JUMP_TO(amc_op_index(pc, len));
    }
    CASE(NOP) NEXT(NOP);
    AMC_VALUE(VALUE, I_, KIND_I(0))
    CASE(I_DIV_BY) {
        // acc / d rounded toward zero, as |acc| * m >> 32 with the sign of
        // the quotient (m and d's sign from the decoder).
        const int32_t x = acc, sign = x >> 31, negative = -(int32_t)op->kind[0];
        const uint32_t m = op->v[1] | (uint32_t)op->v[2] << 16;
        const int32_t q = (int32_t)(((uint64_t)(uint32_t)((x ^ sign) - sign) * m) >> 32);
        acc = (int16_t)(uint16_t)((q ^ (sign ^ negative)) - (sign ^ negative));
        NEXT(I_DIV_BY);
    }
    AMC_VALUE(VALUE, R_, KIND_R(0))
    CASE(R_STORE) KIND_R(0) = acc; NEXT(R_STORE);
    AMC_VALUE(VALUE, G_, KIND_G(0))
    CASE(G_STORE) KIND_G(0) = acc; NEXT(G_STORE);
    CASE(CHAIN) {
        // The links' register words are read as they are now.
        int16_t* loc = &OPERAND(0);
        const int16_t* link = bases[0] + (op - ops) + 3;
        for (int k = op->v[1]; k > 0; k--, link += 2)
            loc = &actor_table.slots[*loc & 63].regs[*link & 31];
        alu_apply(acc, loc, (int16_t)op->v[2]);
        budget -= amc_fast_instructions[H_CHAIN];
        if (op->tail)
            goto tail;
        op += amc_fast_words[H_CHAIN] + 2 * op->v[1];
        DISPATCH();
    }
    CASE(RANDOM) {
        int16_t scratch = (int16_t)(uint16_t)(amc_random() & (int16_t)op->v[0]);
        alu_apply(acc, &scratch, (int16_t)op->v[1]);
        NEXT(RANDOM);
    }
    CASE(JUMP)
        budget -= amc_fast_instructions[H_JUMP];
        GO(op->target);
    CASE(BREAK)
        actor->move_ticks_left = 0;
        budget -= amc_fast_instructions[H_BREAK];
        GO(op->target);
    CASE(RESUME)
        if (actor->move_ticks_left != 0) {
            move_step(*actor);
            goto turn_ends;
        }
        budget -= amc_fast_instructions[H_RESUME];
        op = ops + amc_op_index(actor->resume_pc, len);
        // A loop that yields at its end goes on at its closing jump: take
        // it here (the budget allows it: RESUME was given room for more).
        if (op->handler == H_JUMP) {
            budget -= amc_fast_instructions[H_JUMP];
            op = op->target;
        }
        DISPATCH();
    CASE(JUMP_IF_ZERO)  BRANCH(JUMP_IF_ZERO, acc == 0);
    CASE(JUMP_IF_TRUE)  BRANCH(JUMP_IF_TRUE, acc != 0);
    CASE(BREAK_IF_TRUE)
        if (acc != 0)
            actor->move_ticks_left = 0;
        BRANCH(BREAK_IF_TRUE, acc != 0);
    CASE(RESUME_IF_TRUE)
        if (acc == 0)
            NEXT(RESUME_IF_TRUE);
        if (actor->move_ticks_left != 0) {
            move_step(*actor);
            goto turn_ends;
        }
        budget -= amc_fast_instructions[H_RESUME_IF_TRUE];
        JUMP_TO(amc_op_index(actor->resume_pc, len));
    CASE(SET_REG) KIND_R(0) = KIND_I(1); NEXT(SET_REG);
    CASE(CALL)
        KIND_R(0) = KIND_I(1);
        return_pc[returns % RETURNS] = KIND_I(1);
        return_op[returns % RETURNS] = ops + op->other;
        returns++;
        budget -= amc_fast_instructions[H_CALL];
        GO(op->target);
    CASE(SET_JUMP)
        KIND_R(0) = KIND_I(1);
        budget -= amc_fast_instructions[H_SET_JUMP];
        GO(op->target);
    CASE(JUMP_REG)
        budget -= amc_fast_instructions[H_JUMP_REG];
        RETURN(op->v[0]);
    CASE(PUSH) push_arg(acc); NEXT(PUSH);
    CASE(YIELD)
        actor->resume_pc = (int32_t)(op - ops) + amc_fast_words[H_YIELD];
        goto turn_ends;
    AMC_ARITH(LOAD_X, LOAD_, OPERAND(0))
    AMC_COMPARE(LOAD_X, LOAD_, OPERAND(0))
    CASE(LOAD_STORE) acc = OPERAND(0); OPERAND(1) = acc; NEXT(LOAD_STORE);
    AMC_ARITH(X_STORE, )
    AMC_ARITH(LOAD_X_STORE, LOAD_, OPERAND(0))
    AMC_TEST(X_JUMPS, )
    AMC_TEST(LOAD_X_JUMPS, LOAD_, OPERAND(0), OPERAND(1))
    CASE(LOAD_JZ)  acc = OPERAND(0); BRANCH(LOAD_JZ, acc == 0);
    CASE(LOAD_JNZ) acc = OPERAND(0); BRANCH(LOAD_JNZ, acc != 0);
    CASE(C_LOAD)   acc = LINKED(0); NEXT(C_LOAD);
    AMC_ARITH(LOAD_X, C_LOAD_, LINKED(0))
    AMC_COMPARE(LOAD_X, C_LOAD_, LINKED(0))
    CASE(C_LOAD_STORE) acc = LINKED(0); OPERAND(1) = acc; NEXT(C_LOAD_STORE);
    AMC_ARITH(LOAD_X_STORE, C_LOAD_, LINKED(0))
    AMC_TEST(LOAD_X_JUMPS, C_LOAD_, LINKED(0), OPERAND(1))
    CASE(C_LOAD_JZ)  acc = LINKED(0); BRANCH(C_LOAD_JZ, acc == 0);
    CASE(C_LOAD_JNZ) acc = LINKED(0); BRANCH(C_LOAD_JNZ, acc != 0);
    AMC_TEST(LOAD_X_JUMPS, RI_, KIND_R(0), KIND_I(1))
    AMC_TEST(LOAD_X_JUMPS, GI_, KIND_G(0), KIND_I(1))
    CASE(R_JZ)  acc = KIND_R(0); BRANCH(R_JZ, acc == 0);
    CASE(R_JNZ) acc = KIND_R(0); BRANCH(R_JNZ, acc != 0);
    OUTSIDE(JZ, acc == 0)
    OUTSIDE(JNZ, acc != 0)
    AMC_SUM(ASSIGN, A_RR_, KIND_R(0), KIND_R(1))
    AMC_SUM(ASSIGN, A_RG_, KIND_R(0), KIND_G(1))
    AMC_SUM(ASSIGN, A_RI_, KIND_R(0), KIND_I(1))
    AMC_SUM(ASSIGN, A_GR_, KIND_G(0), KIND_R(1))
    AMC_SUM(ASSIGN, A_GG_, KIND_G(0), KIND_G(1))
    AMC_SUM(ASSIGN, A_GI_, KIND_G(0), KIND_I(1))
    AMC_SUM(ASSIGN, A_IR_, KIND_I(0), KIND_R(1))
    AMC_SUM(ASSIGN, A_IG_, KIND_I(0), KIND_G(1))
    AMC_SUM(ASSIGN, A_II_, KIND_I(0), KIND_I(1))
    AMC_SUM(ASSIGN, A_HR_, KIND_H(0), KIND_R(1))
    AMC_SUM(ASSIGN, A_HG_, KIND_H(0), KIND_G(1))
    AMC_SUM(ASSIGN, A_HI_, KIND_H(0), KIND_I(1))
    AMC_SUM(ASSIGN, A_UR_, KIND_U(0), KIND_R(1))
    AMC_SUM(ASSIGN, A_UG_, KIND_U(0), KIND_G(1))
    AMC_SUM(ASSIGN, A_UI_, KIND_U(0), KIND_I(1))
    CASE(COPY_R) acc = KIND_R(0); KIND_R(1) = acc; NEXT(COPY_R);
    CASE(COPY_G) acc = KIND_G(0); KIND_R(1) = acc; NEXT(COPY_G);
    CASE(COPY_I) acc = KIND_I(0); KIND_R(1) = acc; NEXT(COPY_I);
    CASE(COPY_H) acc = KIND_H(0); KIND_R(1) = acc; NEXT(COPY_H);
    CASE(COPY_U) acc = KIND_U(0); KIND_R(1) = acc; NEXT(COPY_U);
    AMC_TEST(SUM_JUMPS, LOAD_ADD_, alu_add)
    AMC_TEST(SUM_JUMPS, LOAD_SUB_, alu_sub)

    // A JUMP or JUMP_REG that followed the op's sequence (see AmcOp).
tail:
    budget -= 1;
    if (op->tail == TAIL_JUMP)
        JUMP_TO(op->other);
    RETURN(op->tail_reg);
#if !AMC_COMPUTED_GOTO
    case H_COUNT: break;
    }
#endif
// clang-format on
#undef OUTSIDE
#undef SUM_JUMPS
#undef ASSIGN
#undef LOAD_X_JUMPS
#undef X_JUMPS
#undef LOAD_X_STORE
#undef X_STORE
#undef LOAD_X
#undef VALUE
#undef KIND_U
#undef KIND_H
#undef KIND_I
#undef KIND_G
#undef KIND_R
#undef LINKED
#undef OPERAND
#undef RETURN
#undef JUMP_TO
#undef GO
#undef BRANCH
#undef NEXT
#undef DISPATCH
#undef CASE

plain : if (run_plain(*actor, slot, program, (int32_t)(op - ops), acc, turn_limit - budget) ==
            PASS_ENDS) return;
turn_ends : slot = actor_next(slot);
goto next_turn;
}

void amc_run_tick()
{
    static bool handlers_given = false;
    if (!handlers_given) {
        run_pass(true);
        handlers_given = true;
    }
    amc_args.count = 0;
    run_pass(false);
}

void amc_set_turn_limit(int32_t limit) { turn_limit = limit > 0 ? limit : AMC_TURN_LIMIT; }

void amc_set_fast_path(bool on) { fast_path = on; }
