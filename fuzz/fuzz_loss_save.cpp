// Arbitrary bytes as the player's files that a lost display saves: a
// default.cfg, a SCORES and the demo being recorded, split at the first
// two 0xFF bytes. They are read as start-up reads them and saved as the
// display-loss path saves them; what was read must come back, a file that
// could not be read must stay beside it, untouched.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "config/state.h"
#include "demo/demo.h"
#include "fileio/fileio.h"
#include "game/scores.h"
#include "game/state.h"
#include "shell/startup.h"
#include "shell/state.h"

namespace {

std::string slurp(const char* path)
{
    char* d;
    long n = 0;
    if (file_read_all(path, 1L << 20, &d, &n) != FILE_OK)
        return "<none>";
    std::string s(d, (size_t)n);
    std::free(d);
    return s;
}

void put(const char* path, const uint8_t* p, size_t n)
{
    if (!file_write_all(path, p, n))
        __builtin_trap();
}

// Setting by setting: a text's bytes after its end are not part of it.
bool same_settings(const GameConfig& a, const GameConfig& b)
{
    for (const ConfigEntry* e = game_config_table; e->value; e++) {
        size_t at =
            (size_t)(static_cast<char*>(e->value) - reinterpret_cast<char*>(&config.settings));
        const char* x = reinterpret_cast<const char*>(&a) + at;
        const char* y = reinterpret_cast<const char*>(&b) + at;
        size_t n = e->kind == CFG_S16 ? 2 : 1;
        if (e->kind > 0 ? std::strcmp(x, y) != 0 : std::memcmp(x, y, n) != 0)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // In a folder of its own for each input, and back: the fuzzer reads
    // its corpus relative to where it started.
    static char dir[] = "/tmp/fuzz_loss_save_XXXXXX";
    static bool ready = mkdtemp(dir) != nullptr;
    static int home = open(".", O_RDONLY | O_DIRECTORY);
    if (!ready || home < 0 || chdir(dir) != 0)
        return 0;
    struct Back {
        ~Back()
        {
            if (fchdir(home) != 0)
                __builtin_trap();
        }
    } back;
    const uint8_t* end = data + size;
    const uint8_t* a = static_cast<const uint8_t*>(memchr(data, 0xFF, size));
    const uint8_t* b = a ? static_cast<const uint8_t*>(memchr(a + 1, 0xFF, end - a - 1)) : nullptr;
    if (!b)
        return 0;
    for (const char* f : {"default.cfg", "SCORES", "REC.DEM"})
        unlink(f);
    for (const char* f : {"default.cfg.bad", "SCORES.bad"})
        for (const char* n : {"", "2", "3", "4", "5", "6", "7", "8", "9"})
            unlink((std::string(f) + n).c_str());
    put("default.cfg", data, a - data);
    put("SCORES", a + 1, b - a - 1);
    std::string scores_before = slurp("SCORES");

    config_state_reset();
    game_state_reset();
    shell_state_reset();
    int loaded = load_player_files();
    GameConfig read_config = config.settings;
    ScoreEntry read_scores[SCORE_TABLES][SCORE_ROWS];
    std::memcpy(read_scores, game.score_tables, sizeof read_scores);
    if (save_player_files() != 0)
        __builtin_trap();

    // Written back as read: the same settings and tables come back.
    config_read(game_config_table, CONFIG_FILE);
    if ((loaded & SAVE_SETTINGS) && !same_settings(read_config, config.settings))
        __builtin_trap();
    scores_reset();
    if (scores_read("SCORES") != 0 ||
        std::memcmp(read_scores, game.score_tables, sizeof read_scores))
        __builtin_trap();
    // A refused SCORES is beside it, as it was.
    size_t n = (size_t)(b - a - 1);
    if (n != SCORES_FILE_SIZE && n != SCORES_OLD_FILE_SIZE && slurp("SCORES.bad") != scores_before)
        __builtin_trap();

    // The demo being recorded is saved whole, whatever its runs hold.
    if (DemoImage* d = demo_from_bytes(b + 1, end - b - 1)) {
        if (demo_save(d, "REC.DEM") != 0)
            __builtin_trap();
        std::string back = slurp("REC.DEM");
        if (back.size() != demo_length(d) || std::memcmp(back.data(), d->bytes, back.size()))
            __builtin_trap();
        demo_free(d);
    }
    return 0;
}
