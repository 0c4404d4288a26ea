// The world as the hash of a replay's trace sees it, and the hash of the
// programs it runs: the game, the simulator and the traces share them
// (docs/demos.md).
#pragma once

#include <cstddef>
#include <cstdint>

struct AmcProgram;

// The world that the hash covers, as bytes (layout in docs/demos.md): the
// seed, the globals, the argument values, the free stack, every slot's
// registers and each active actor's interpreter fields.
constexpr size_t WORLD_BYTES_MAX = 4 + 64 + 16 + 2 + 2 * 63 + 64 * 64 + 63 * 22;
size_t world_bytes(uint8_t* out);
// XXH3 64 (seed 0) of those bytes.
uint64_t world_hash();
// XXH3 64 of each program's length and words, in table order.
uint64_t world_programs_hash(const AmcProgram* programs, int count);
