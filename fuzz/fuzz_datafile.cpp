// Arbitrary bytes as the main datafile: whatever the structure check lets
// through, the library's loader must read without crashing.
#include <allegro.h>

#include <unistd.h>
#include <cstdint>
#include <cstdio>

#include "datafile/datcheck.h"
#include "fuzz/fuzz_file.h"
#include "gfx/main_data.h"
#include "nwd_datafile_key.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static char path[96];
    static bool ready = install_allegro(SYSTEM_NONE, &errno, atexit) == 0;
    if (!ready)
        return 0;
    set_color_depth(8);
    if (datcheck_bytes(data, size, DATAFILE_PASSWORD, nullptr, nullptr, nullptr) != DATCHECK_OK ||
        !fuzz_file(path, "fuzz_datafile", data, size, ".DAT"))
        return 0;
    packfile_password(DATAFILE_PASSWORD);
    DATAFILE* d = load_datafile(path);
    packfile_password(nullptr);
    if (!d)
        return 0;  // refused by the library itself: no harm done
    if (main_data_complete(d))
        apply_hot_spots(d);
    unload_datafile(d);
    return 0;
}
