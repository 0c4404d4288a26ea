// Arbitrary bytes as SCORES: a refused file leaves the tables as they were,
// an accepted one is written back byte for byte.
#include <unistd.h>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "fuzz/fuzz_file.h"
#include "game/scores.h"
#include "game/state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static char in_path[96], out_path[96];
    snprintf(out_path, sizeof out_path, "/tmp/fuzz_scores_%d.out", (int)getpid());
    if (!fuzz_file(in_path, "fuzz_scores", data, size))
        return 0;
    scores_reset();
    ScoreEntry before[SCORE_TABLES][SCORE_ROWS];
    memcpy(before, game.score_tables, sizeof before);
    if (scores_read(in_path) != 0) {
        if (memcmp(before, game.score_tables, sizeof before) != 0)
            __builtin_trap();
        return 0;
    }
    if (scores_write(out_path) != 0)
        return 0;
    FILE* f = fopen(out_path, "rb");
    uint8_t back[SCORES_FILE_SIZE];
    size_t n = f ? fread(back, 1, sizeof back, f) : 0;
    if (f)
        fclose(f);
    // A 160-byte file gains the third table: its first 160 bytes come back.
    if (n != SCORES_FILE_SIZE || memcmp(back, data, size) != 0)
        __builtin_trap();
    return 0;
}
