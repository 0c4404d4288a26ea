// Arbitrary bytes as an AMC file, then ticks of arbitrary controls: the
// loader and the interpreter must neither crash nor hang, and the
// interpreter's two paths (pre-decoded and plain) must leave exactly the
// same world behind, diagnostics included.
#include "engine/actor.h"
#include "engine/amc.h"
#include "engine/amc_vm.h"
#include "engine/diag.h"
#include "engine/world.h"

#include <unistd.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Far below the game's turn limit: a program that never yields is the
// commonest input, and at the full limit each of its turns would take
// tens of milliseconds under the sanitizers. The limit's logic is the same
// at any value. Sixty ticks see most programs through their first actions.
constexpr int TICKS = 60;
constexpr int32_t TURN_LIMIT = 300;

uint64_t fnv(uint64_t h, const void* p, size_t n)
{
    const unsigned char* b = (const unsigned char*)p;
    for (size_t i = 0; i < n; i++)
        h = (h ^ b[i]) * 1099511628211ULL;
    return h;
}

uint64_t diag_hash;
void hash_diag(const char* text, size_t len, void*) { diag_hash = fnv(diag_hash, text, len); }

// Everything a run can change.
struct World {
    ActorTable table;
    int16_t globals[AMC_GLOBALS];
    AmcArgs args;
    int32_t seed;
    uint64_t diags, words;
    int ticks;
};

bool same(const ActorTable& x, const ActorTable& y)
{
    for (int s = 0; s < ACTOR_SLOTS; s++) {
        const Actor &a = x.slots[s], &b = y.slots[s];
        if (a.program != b.program || a.resume_pc != b.resume_pc || a.handler_pc != b.handler_pc ||
            a.move_dx != b.move_dx || a.move_dy != b.move_dy ||
            a.move_duration != b.move_duration || a.move_rem_x != b.move_rem_x ||
            a.move_rem_y != b.move_rem_y || a.move_ticks_left != b.move_ticks_left ||
            memcmp(a.regs, b.regs, sizeof a.regs))
            return false;
    }
    return x.free_count == y.free_count && !memcmp(x.free_stack, y.free_stack, sizeof x.free_stack);
}

void run(const char* path, const uint8_t* data, size_t size, bool fast, World& out)
{
    amc_set_fast_path(fast);
    amc_unload_all();
    amc_vm_reset();
    amc_load(path);
    amc_seed((int32_t)(data[0] | data[1] << 8 | data[2] << 16 | (uint32_t)data[3] << 24));
    diag_hash = 1469598103934665603ULL;
    WorldStart st{};
    st.level = 1;
    st.mode = 1;
    world_start_level(st);
    // The director alone may never spawn anything: start every program too.
    for (int p = 0; p < program_count && p < 20; p++)
        actor_spawn(p);
    int i = 0;
    while (i < TICKS) {
        int16_t c = (int16_t)(data[i % size] * 0x0101);
        world_step(
            c, nullptr, [](int, int, int, void*) {}, nullptr);
        i++;
        if (amc_globals[GLOBAL_EXIT_REQUEST] & EXIT)
            break;
    }
    out.table = actor_table;
    memcpy(out.globals, amc_globals, sizeof out.globals);
    out.args = amc_args;
    out.seed = amc_get_seed();
    out.diags = diag_hash;
    out.words = 1469598103934665603ULL;
    for (int p = 0; p < program_count; p++)
        out.words = fnv(out.words, program_table[p].words, (size_t)program_table[p].length * 2);
    out.ticks = i;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static char path[64];
    if (!path[0])
        snprintf(path, sizeof path, "/tmp/fuzz_amc_%d.AMC", (int)getpid());
    // Bytes 0..3 seed the generator; byte 4 bit 0 set: the rest is the whole
    // file, header included (the loader's checks); clear: the rest follows
    // a compiled file's header (the interpreter).
    if (size < 5)
        return 0;
    FILE* f = fopen(path, "wb");
    if (!f)
        return 0;
    if (!(data[4] & 1))
        fwrite("AMC", 1, 3, f);
    fwrite(data + 5, 1, size - 5, f);
    fclose(f);
    diag_set_sink(hash_diag, nullptr);
    amc_set_turn_limit(TURN_LIMIT);
    static World fast, plain;
    run(path, data, size, true, fast);
    run(path, data, size, false, plain);
    if (!same(fast.table, plain.table) ||
        memcmp(fast.globals, plain.globals, sizeof fast.globals) ||
        memcmp(&fast.args, &plain.args, sizeof fast.args) || fast.seed != plain.seed ||
        fast.diags != plain.diags || fast.words != plain.words || fast.ticks != plain.ticks) {
        fprintf(stderr, "the pre-decoded and the plain interpreter disagree\n");
        abort();
    }
    amc_unload_all();
    return 0;
}
