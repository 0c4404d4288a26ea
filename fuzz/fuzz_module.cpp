// Arbitrary bytes as a music module. The structure check runs here, in
// this process and instrumented, which is where the fuzzer learns; what it
// lets through goes on to the probe and is played for a moment, within the
// fuzzer's time and memory limits.
#include <aldumb.h>

#include <cstdint>

#include "audio/modcheck.h"
#include "audio/music.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (module_check(data, size) == MODULE_NONE)
        return 0;
    DUH* duh = music_load_module_bytes(data, (long)size);
    if (!duh)
        return 0;
    DUH_SIGRENDERER* r = duh_start_sigrenderer(duh, 0, 2, 0);
    static short out[2 * 4096];
    // A quarter of a second at 22050 Hz, as the game plays it.
    for (int i = 0; r && i < 2; i++)
        duh_render(r, 16, 0, 1.0f, 65536.0f / 22050, 2048, out);
    duh_end_sigrenderer(r);
    unload_duh(duh);
    return 0;
}
