// Arbitrary bytes as what nwd-datview is asked to draw: the first line is
// WHAT (an index or name, "sheet", "map:NAME:SHEET:ROWS"), the rest a
// datafile. Whatever passes the datafile check is drawn within bounds.
#include <allegro.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

#include "datafile/datcheck.h"
#include "fuzz/fuzz_file.h"
#include "tools/datview/view.h"

static const char PASSWORD[] = "k3 Rw;t#";

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static char path[96];
    static bool ready = install_allegro(SYSTEM_NONE, &errno, atexit) == 0;
    if (!ready)
        return 0;
    set_color_conversion(COLORCONV_NONE);
    const uint8_t* nl = static_cast<const uint8_t*>(memchr(data, '\n', size < 64 ? size : 64));
    if (!nl)
        return 0;
    std::string what(reinterpret_cast<const char*>(data), (size_t)(nl - data));
    const uint8_t* dat = nl + 1;
    size_t dat_size = size - (size_t)(dat - data);
    if (datcheck_bytes(dat, dat_size, PASSWORD, nullptr, nullptr, nullptr) != DATCHECK_OK ||
        !fuzz_file(path, "fuzz_datview", dat, dat_size, ".DAT"))
        return 0;
    packfile_password(PASSWORD);
    DATAFILE* d = load_datafile(path);
    packfile_password(nullptr);
    if (!d)
        return 0;
    const RGB* pal;
    std::string why;
    if (BITMAP* b = datview_render(d, d, what.c_str(), 1, &pal, why))
        destroy_bitmap(b);
    unload_datafile(d);
    return 0;
}
