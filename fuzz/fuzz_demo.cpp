// Arbitrary bytes as a demo file: loading and playing it out must never read
// past the loaded bytes nor hang, whatever the header claims.
#include "input/demo.h"

#include <cstdint>
#include <cstdio>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static char path[64];
    if (!path[0])
        snprintf(path, sizeof path, "/tmp/fuzz_demo_%d", (int)getpid());
    FILE* f = fopen(path, "wb");
    if (!f)
        return 0;
    fwrite(data, 1, size, f);
    fclose(f);
    DemoImage* d = demo_load(path);
    if (!d)
        return 0;
    // Playback is bounded by the runs in the file, so a header promising
    // billions of frames ends with the bytes; the cap only guards the
    // fuzzer's time should that ever break.
    demo_play_start(d);
    uint32_t limit = 65536u * (d->size / 4 + 1);
    for (uint32_t i = 0; i <= limit && !(demo_state & DEMO_ENDED); i++)
        demo_play_next();
    if (!(demo_state & DEMO_ENDED))
        __builtin_trap();
    char out[80];
    snprintf(out, sizeof out, "%s.out", path);
    demo_save(d, out);
    demo_free(d);
    return 0;
}
