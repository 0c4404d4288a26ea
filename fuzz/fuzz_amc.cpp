// Arbitrary bytes as an AMC file, then a hundred and twenty ticks of arbitrary
// controls: the loader and the interpreter must neither crash nor hang.
#include "engine/actor.h"
#include "engine/amc.h"
#include "engine/amc_vm.h"
#include "engine/diag.h"
#include "engine/world.h"

#include <cstdint>
#include <cstdio>
#include <unistd.h>

static void quiet(const char*, size_t, void*) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static char path[64];
    if (!path[0])
        snprintf(path, sizeof path, "/tmp/fuzz_amc_%d.AMC", (int)getpid());
    // The first 4 bytes seed the generator; the rest is the file.
    if (size < 4)
        return 0;
    FILE* f = fopen(path, "wb");
    if (!f)
        return 0;
    fwrite(data + 4, 1, size - 4, f);
    fclose(f);
    diag_set_sink(quiet, nullptr);
    amc_unload_all();
    amc_vm_reset();
    amc_load(path);
    amc_seed((int32_t)(data[0] | data[1] << 8 | data[2] << 16 | (uint32_t)data[3] << 24));
    WorldStart st{};
    st.level = 1;
    st.mode = 1;
    world_start_level(st);
    // The director alone may never spawn anything: start every program too.
    for (int p = 0; p < program_count && p < 20; p++)
        actor_spawn(p);
    for (int i = 0; i < 120; i++) {
        int16_t c = (int16_t)(data[i % size] * 0x0101);
        world_step(c, nullptr, [](int, int, int, void*) {}, nullptr);
        if (amc_globals[GLOBAL_EXIT_REQUEST] & EXIT_REQUESTED)
            break;
    }
    amc_unload_all();
    return 0;
}
