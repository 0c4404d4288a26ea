// The actor table: 64 slots, a stack of free slots and a circular list of
// active slots headed by slot 0.
#pragma once

#include <cstdint>

// The registers with a meaning to the engine (REG_SOUND ... REG_FRAME) and
// the programs it starts, from data/amc/contract.txt.
#include "nwd_contract.h"

constexpr int ACTOR_SLOTS = 64;
constexpr int ACTOR_REGS = 32;
constexpr int ACTOR_FREE_MAX = 63;
constexpr int32_t ACTOR_NO_HANDLER = -1;  // 0xFFFF can never be a handler

struct Actor {
    int16_t program;     // index in program_table, -1 for none
    int32_t resume_pc;   // word offsets from word 0 of the program
    int32_t handler_pc;  // ACTOR_NO_HANDLER when none
    int16_t move_dx;
    int16_t move_dy;
    int16_t move_duration;
    int16_t move_rem_x;
    int16_t move_rem_y;
    uint16_t move_ticks_left;
    int16_t regs[ACTOR_REGS];
};

struct ActorTable {
    Actor slots[ACTOR_SLOTS];
    int16_t free_stack[ACTOR_FREE_MAX];
    int16_t free_count;
};

extern ActorTable actor_table;

// Returns the new slot (1..63), -1 for an unknown program, -2 when full.
int16_t actor_spawn(int n);
void actor_table_reset();
// END: push on the free stack, unlink, clear the registers.
void actor_remove(int slot);

inline int actor_next(int slot) { return actor_table.slots[slot & 63].regs[REG_NEXT] & 63; }
