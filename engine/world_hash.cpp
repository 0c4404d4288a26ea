#include "engine/world_hash.h"

#include "engine/actor.h"
#include "engine/amc.h"
#include "engine/amc_vm.h"
#include "fileio/byteorder.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace {

uint8_t* put_words(uint8_t* p, const int16_t* words, size_t n)
{
    for (size_t i = 0; i < n; i++)
        p = put_le16(p, (uint16_t)words[i]);
    return p;
}

}  // namespace

// The world as bytes, in the order docs/demos.md gives: every field
// little-endian on any host, nothing that a script cannot observe (stale
// fields of free slots, the argument count that every pass resets).
size_t world_bytes(uint8_t* out)
{
    uint8_t* p = put_le32(out, (uint32_t)amc_get_seed());
    p = put_words(p, amc_globals, sizeof amc_globals / sizeof amc_globals[0]);
    p = put_words(p, amc_args.values, sizeof amc_args.values / sizeof amc_args.values[0]);
    int16_t free_count = actor_table.free_count;
    if (free_count < 0 || free_count > ACTOR_FREE_MAX)
        free_count = free_count < 0 ? 0 : ACTOR_FREE_MAX;
    p = put_le16(p, (uint16_t)actor_table.free_count);
    p = put_words(p, actor_table.free_stack, (size_t)free_count);
    for (const Actor& a : actor_table.slots)
        p = put_words(p, a.regs, sizeof a.regs / sizeof a.regs[0]);
    int s = actor_next(0);
    for (int n = 0; s != 0 && n < AMC_PASS_TURNS; n++) {
        const Actor& a = actor_table.slots[s];
        p = put_le16(p, (uint16_t)a.program);
        p = put_le32(p, (uint32_t)a.resume_pc);
        p = put_le32(p, (uint32_t)a.handler_pc);
        const int16_t moves[] = {a.move_dx,    a.move_dy,    a.move_duration,
                                 a.move_rem_x, a.move_rem_y, (int16_t)a.move_ticks_left};
        p = put_words(p, moves, sizeof moves / sizeof moves[0]);
        s = actor_next(s);
    }
    return (size_t)(p - out);
}

uint64_t world_hash()
{
    uint8_t bytes[WORLD_BYTES_MAX];
    return XXH3_64bits(bytes, world_bytes(bytes));
}

uint64_t world_programs_hash(const AmcProgram* programs, int count)
{
    XXH3_state_t* st = XXH3_createState();
    XXH3_64bits_reset(st);
    // Each length and word little-endian, so every host hashes the same bytes.
    for (int i = 0; i < count; i++) {
        int32_t len = programs[i].words ? programs[i].length : 0;
        uint8_t bytes[512];
        XXH3_64bits_update(st, bytes, (size_t)(put_le32(bytes, (uint32_t)len) - bytes));
        for (int32_t at = 0; at < len; at += 256) {
            int32_t n = len - at < 256 ? len - at : 256;
            XXH3_64bits_update(
                st, bytes, (size_t)(put_words(bytes, programs[i].words + at, (size_t)n) - bytes));
        }
    }
    uint64_t h = XXH3_64bits_digest(st);
    XXH3_freeState(st);
    return h;
}
