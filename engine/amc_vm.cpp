#include "amc_vm.h"

#include "actor.h"
#include "amc.h"
#include "amc_ops.h"
#include "diag.h"

#include <cstring>

int16_t amc_globals[AMC_GLOBALS];
AmcArgs amc_args;
static int32_t amc_seed_value = 1;
static int16_t amc_accumulator;

static inline int16_t bool_word(bool b)
{
    return b ? (int16_t)-1 : (int16_t)0;
}

static inline void alu_apply(int16_t& acc, int16_t* operand, int alu)
{
    int32_t a = acc, v = *operand;
    switch (alu) {
    case ALU_LOAD: acc = (int16_t)v; break;
    case ALU_ADD: acc = (int16_t)(uint16_t)(a + v); break;
    case ALU_SUB: acc = (int16_t)(uint16_t)(a - v); break;
    case ALU_MUL: acc = (int16_t)(uint16_t)(a * v); break;
    case ALU_DIV: acc = v == 0 ? 0 : (int16_t)(uint16_t)(a / v); break;
    case ALU_AND: acc = (int16_t)(a & v); break;
    case ALU_OR: acc = (int16_t)(a | v); break;
    case ALU_GT: acc = bool_word(a > v); break;
    case ALU_EQ: acc = bool_word(a == v); break;
    case ALU_NE: acc = bool_word(a != v); break;
    case ALU_LT: acc = bool_word(a < v); break;
    case ALU_STORE: *operand = acc; break;
    default: break;
    }
}

void amc_alu(int16_t* operand, int alu)
{
    alu_apply(amc_accumulator, operand, alu);
}

int32_t amc_random()
{
    // 32-bit arithmetic with arithmetic shifts, wrapping like the original.
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

int32_t amc_get_seed()
{
    return amc_seed_value;
}

void amc_args_clear()
{
    memset(&amc_args, 0, sizeof amc_args);
}

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

// Runs one actor's turn. Every word is fetched through a bounds check against
// the program's length, so a wild jump or a truncated instruction stops the
// pass instead of reading memory the program does not own.
static TurnResult run_turn(int slot)
{
    Actor& a = actor_table.slots[slot];
    if (a.program < 0 || a.program >= program_count)
        return PASS_ENDS;
    int16_t* const code = program_table[a.program].words;
    const int32_t len = program_table[a.program].length;
    int16_t* const regs = a.regs;
    int16_t acc = 0;
    int32_t pc;

    if (a.handler_pc != ACTOR_NO_HANDLER) {
        pc = a.handler_pc;
    } else if (a.move_ticks_left != 0) {
        move_step(a);
        return TURN_ENDS;
    } else {
        pc = a.resume_pc;
    }

#define NEED(n) \
    if (pc < 0 || pc + (n) > len) return PASS_ENDS

    for (int32_t executed = 0;; executed++) {
        if (executed == AMC_TURN_LIMIT) {
            diag("!! Actor %d runs without yielding\n", slot);
            return PASS_ENDS;
        }
        NEED(1);
        switch (code[pc]) {
        case OP_IMM: {
            NEED(3);
            alu_apply(acc, &code[pc + 1], code[pc + 2]);
            pc += 3;
            break;
        }
        case OP_RANDOM: {
            NEED(3);
            int16_t scratch = (int16_t)(uint16_t)(amc_random() & code[pc + 1]);
            alu_apply(acc, &scratch, code[pc + 2]);
            pc += 3;
            break;
        }
        case OP_GLOBAL:
        case OP_REG: {
            // Check the whole chain before following it.
            NEED(3);
            int32_t end = pc + 2;
            while (code[end] == AMC_INDIRECT) {
                end += 2;
                if (end >= len)
                    return PASS_ENDS;
            }
            int16_t* loc = code[pc] == OP_GLOBAL ? &amc_globals[code[pc + 1] & 31]
                                                 : &regs[code[pc + 1] & 31];
            for (int32_t i = pc + 2; i < end; i += 2)
                loc = &actor_table.slots[*loc & 63].regs[code[i + 1] & 31];
            alu_apply(acc, loc, code[end]);
            pc = end + 1;
            break;
        }
        case OP_JUMP:
            NEED(2);
            pc = code[pc + 1];
            break;
        case OP_BREAK:
            NEED(2);
            pc = code[pc + 1];
            a.move_ticks_left = 0;
            break;
        case OP_RESUME:
            pc = a.resume_pc;
            if (a.move_ticks_left != 0) {
                move_step(a);
                return TURN_ENDS;
            }
            break;
        case OP_JUMP_IF_ZERO:
            NEED(2);
            pc = acc == 0 ? code[pc + 1] : pc + 2;
            break;
        case OP_JUMP_IF_TRUE:
            NEED(2);
            pc = acc != 0 ? code[pc + 1] : pc + 2;
            break;
        case OP_BREAK_IF_TRUE:
            NEED(2);
            if (acc != 0) {
                pc = code[pc + 1];
                a.move_ticks_left = 0;
            } else {
                pc += 2;
            }
            break;
        case OP_RESUME_IF_TRUE:
            if (acc != 0) {
                pc = a.resume_pc;
                if (a.move_ticks_left != 0) {
                    move_step(a);
                    return TURN_ENDS;
                }
            } else {
                pc += 1;
            }
            break;
        case OP_END:
            actor_remove(slot);
            return PASS_ENDS;
        case OP_SET_HANDLER:
            NEED(3);
            a.handler_pc = (uint16_t)code[pc + 2] == AMC_HANDLER_NONE ? ACTOR_NO_HANDLER
                                                                      : code[pc + 2];
            pc = code[pc + 1];
            break;
        case OP_SET_REG:
            NEED(3);
            regs[code[pc + 1] & 31] = code[pc + 2];
            pc += 3;
            break;
        case OP_JUMP_REG:
            NEED(2);
            pc = regs[code[pc + 1] & 31];
            break;
        case OP_PUSH:
            push_arg(acc);
            pc += 1;
            break;
        case OP_SPAWN: {
            push_arg(acc);
            int n = amc_args.values[0];
            int16_t r = actor_spawn(n);
            if (r == -1) {
                diag("A! Tried to Spawn an unknown object type (%d)\n", n);
                amc_args.count = 0;
                actor_remove(slot);
                return PASS_ENDS;
            }
            if (r == -2) {
                diag("!! Too many actors, couldnt create a new (%d)\n", n);
            } else {
                Actor& b = actor_table.slots[r];
                for (int i = 1; i < amc_args.count; i++)
                    b.regs[i - 1] = amc_args.values[i];
            }
            amc_args.count = 0;
            pc += 1;
            break;
        }
        case OP_YIELD:
            a.resume_pc = pc + 1;
            return TURN_ENDS;
        case OP_MOVE:
            if (acc == 0) {
                diag("!! Move command with duration=0\n");
                actor_remove(slot);
                return PASS_ENDS;
            }
            a.move_dx = amc_args.values[0];
            a.move_dy = amc_args.values[1];
            amc_args.count = 0;
            a.move_rem_x = a.move_rem_y = 0;
            a.move_duration = acc;
            a.move_ticks_left = (uint16_t)acc;
            a.resume_pc = pc + 1;
            move_step(a);
            return TURN_ENDS;
        default:
            // Unknown opcode: the actor keeps its resume_pc and meets it again.
            return PASS_ENDS;
        }
    }
#undef NEED
}

void amc_run_tick()
{
    amc_args.count = 0;
    int s = actor_next(0);
    for (int turns = 0; s != 0; turns++) {
        if (turns == AMC_PASS_TURNS) {
            diag("!! Actor list is broken\n");
            return;
        }
        if (run_turn(s) == PASS_ENDS)
            return;
        s = actor_next(s);
    }
}
