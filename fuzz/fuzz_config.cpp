// Arbitrary bytes as default.cfg and as a playlist: whatever is read must
// be written so that it reads back the same.
#include <unistd.h>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "config/config.h"
#include "fuzz/fuzz_file.h"

namespace {

char in_path[96], out_path[96];

// The values of a table, each text up to its NUL.
struct Values {
    char bytes[1024];
    size_t used;
};

Values take(const ConfigEntry* table)
{
    Values v{};
    for (const ConfigEntry* e = table; e->value; e++) {
        size_t n = e->kind > 0 ? strlen((const char*)e->value) + 1 : e->kind == CFG_S16 ? 2 : 1;
        memcpy(v.bytes + v.used, e->value, n);
        v.used += n;
    }
    return v;
}

void round_trip(const ConfigEntry* table)
{
    config_read(table, in_path);
    Values first = take(table);
    if (config_write(table, out_path) != 0)
        return;  // a full /tmp is no finding
    config_read(table, out_path);
    Values again = take(table);
    if (first.used != again.used || memcmp(first.bytes, again.bytes, first.used) != 0)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    snprintf(out_path, sizeof out_path, "/tmp/fuzz_config_%d.out", (int)getpid());
    if (!fuzz_file(in_path, "fuzz_config", data, size, ".cfg"))
        return 0;
    round_trip(game_config_table);
    round_trip(playlist_table);
    return 0;
}
