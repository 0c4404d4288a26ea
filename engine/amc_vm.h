// The AMC interpreter: one pass gives every active actor its turn.
#pragma once

#include <cstdint>

// The globals with a meaning to the engine (GLOBAL_SKILL ... GLOBAL_CONTROLS)
// and EXIT, from data/amc/contract.txt.
#include "nwd_contract.h"

constexpr int AMC_GLOBALS = 32;
constexpr int AMC_ARGS = 8;
// A turn that runs this many instructions without ending is stopped.
constexpr int32_t AMC_TURN_LIMIT = 100000;
// At most this many turns in one pass; more means the list is broken.
constexpr int AMC_PASS_TURNS = 63;

extern int16_t amc_globals[AMC_GLOBALS];

// The shared argument stack; values survive pushes and passes.
struct AmcArgs {
    int16_t values[AMC_ARGS];
    int16_t count;
};
extern AmcArgs amc_args;

void amc_run_tick();
void amc_alu(int16_t* operand, int alu);
int32_t amc_random();
void amc_seed(int32_t value);
int32_t amc_get_seed();
// Puts the interpreter's own state (argument stack, seed) back to its start.
void amc_vm_reset();
// Empties the argument stack and zeroes its values. Every game starts with
// it, so that a replay later in the same run meets the state its recording
// met.
void amc_args_clear();

// For tests and the fuzzer: a shorter turn limit (0 or less restores
// AMC_TURN_LIMIT), and the plain path alone instead of the pre-decoded one.
// Both paths give the same results; the game never calls these.
void amc_set_turn_limit(int32_t limit);
void amc_set_fast_path(bool on);
