// Arbitrary bytes as LEVELS.DAT, the first byte choosing the catalogue row:
// a level either loads (every tile cut from inside its sheet) or is refused
// with its message, and the library never reads a file that could crash it.
#include <allegro.h>

#include <sys/stat.h>
#include <unistd.h>
#include <cstdint>
#include <cstdio>

#include "engine/diag.h"
#include "fuzz/fuzz_file.h"
#include "gfx/display.h"
#include "gfx/level.h"
#include "gfx/state.h"

static void quiet(const char*, size_t, void*) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static char dir[64], path[96];
    if (!dir[0]) {
        install_allegro(SYSTEM_NONE, &errno, atexit);
        set_color_depth(8);
        snprintf(dir, sizeof dir, "/tmp/fuzz_levels_%d/", (int)getpid());
        snprintf(path, sizeof path, "%sLEVELS.DAT", dir);
        mkdir(dir, 0700);
        gfx.back_buffer = create_bitmap_ex(8, PICTURE_W, PICTURE_H);
        diag_set_sink(quiet, nullptr);
    }
    if (size < 1)
        return 0;
    char written[96];  // the level code wants the name LEVELS.DAT in its folder
    if (!fuzz_file(written, "fuzz_levels_input", data + 1, size - 1) || rename(written, path) != 0)
        return 0;
    int16_t row = (int16_t)(data[0] % LEVEL_ROWS);
    if (load_level_graphics(row, dir) && gfx.level_map.tiles)
        for (int32_t t = 0; t <= gfx.level_map.max_tile; t++)
            if (!gfx.level_map.tiles[t])
                __builtin_trap();  // a level that loads has every tile
    unload_level_map();
    release_band_strip();
    return 0;
}
