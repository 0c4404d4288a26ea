// Arbitrary bytes as a sound effect's WAV file: refused by the check, or
// read by the library's loader from memory without harm.
#include <allegro.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "audio/wav.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool ready = install_allegro(SYSTEM_NONE, &errno, atexit) == 0;
    if (!ready)
        return 0;
    if (SAMPLE* s = wav_load_bytes(data, size))
        destroy_sample(s);
    return 0;
}
