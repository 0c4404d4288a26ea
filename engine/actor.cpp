#include "actor.h"

#include "amc.h"
#include "amc_vm.h"

#include <cstring>

ActorTable actor_table;

void actor_table_reset()
{
    for (Actor& a : actor_table.slots) {
        a.program = -1;
        a.resume_pc = 0;
        a.handler_pc = ACTOR_NO_HANDLER;
        a.move_dx = a.move_dy = 0;
        a.move_rem_x = a.move_rem_y = 0;
        a.move_ticks_left = 0;
        a.move_duration = 1;
        memset(a.regs, 0, sizeof a.regs);
    }
    memset(amc_globals, 0, sizeof amc_globals);
    actor_table.free_count = ACTOR_FREE_MAX;
    for (int i = 0; i < ACTOR_FREE_MAX; i++)
        actor_table.free_stack[i] = (int16_t)(ACTOR_FREE_MAX - i);
}

int16_t actor_spawn(int n)
{
    if (n < 0 || n >= program_count)
        return -1;
    if (actor_table.free_count <= 0)
        return -2;
    int s = actor_table.free_stack[--actor_table.free_count] & 63;
    Actor& a = actor_table.slots[s];
    Actor& head = actor_table.slots[0];
    // A script may have written into the free slot: start clean.
    memset(a.regs, 0, sizeof a.regs);
    a.regs[REG_PREV] = head.regs[REG_PREV];
    a.regs[REG_NEXT] = 0;
    actor_table.slots[head.regs[REG_PREV] & 63].regs[REG_NEXT] = (int16_t)s;
    head.regs[REG_PREV] = (int16_t)s;
    a.program = (int16_t)n;
    a.resume_pc = 0;
    a.handler_pc = ACTOR_NO_HANDLER;
    a.move_dx = a.move_dy = 0;
    a.move_duration = 1;
    a.move_rem_x = a.move_rem_y = 0;
    a.move_ticks_left = 0;
    a.regs[REG_SELF] = (int16_t)s;
    return (int16_t)s;
}

void actor_remove(int slot)
{
    slot &= 63;
    Actor& a = actor_table.slots[slot];
    if (actor_table.free_count < ACTOR_FREE_MAX)
        actor_table.free_stack[actor_table.free_count++] = (int16_t)slot;
    int16_t prev = a.regs[REG_PREV];
    int16_t next = a.regs[REG_NEXT];
    actor_table.slots[next & 63].regs[REG_PREV] = prev;
    actor_table.slots[prev & 63].regs[REG_NEXT] = next;
    memset(a.regs, 0, sizeof a.regs);
}
