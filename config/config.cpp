#include "config/config.h"
#include "config/state.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/diag.h"
#include "fileio/fileio.h"

ConfigState config;

namespace {
constexpr int TEXT_MUSIC = sizeof(GameConfig::music);
constexpr int TEXT_LASTLEVEL = sizeof(GameConfig::lastlevel);

constexpr ConfigEntry num16(const char* key, int16_t* v, int def, int min, int max)
{
    return {key, v, CFG_S16, def, nullptr, min, max};
}
constexpr ConfigEntry num8(const char* key, uint8_t* v, int def, int min, int max)
{
    return {key, v, CFG_U8, def, nullptr, min, max};
}
constexpr ConfigEntry text(const char* key, char* v, int size, const char* def)
{
    return {key, v, size, 0, def, 0, 0};
}
}  // namespace

// The order is the order of the written file.
constexpr ConfigEntry game_config_table[] = {
    num16("difficulty", &config.settings.difficulty, 5, 3, 12),
    num16("mode", &config.settings.mode, 1, 1, 3),
    num8("musicvolume", &config.settings.musicvolume, 144, 0, 255),
    num8("soundvolume", &config.settings.soundvolume, 190, 0, 255),
    num16("keyup", &config.settings.keyup, 84, 1, 126),
    num16("keydown", &config.settings.keydown, 85, 1, 126),
    num16("keyleft", &config.settings.keyleft, 82, 1, 126),
    num16("keyright", &config.settings.keyright, 83, 1, 126),
    num16("keypunch", &config.settings.keypunch, 115, 1, 126),
    num16("keykick", &config.settings.keykick, 117, 1, 126),
    num16("joypunch", &config.settings.joypunch, 1, -1, 255),
    num16("joykick", &config.settings.joykick, 0, -1, 255),
    num16("joypause", &config.settings.joypause, 2, -1, 255),
    num16("joyesc", &config.settings.joyesc, 3, -1, 255),
    text("music", config.settings.music, TEXT_MUSIC, "TECHNO"),
    num8("card", &config.settings.card, 0, 0, 5),
    text("lastlevel", config.settings.lastlevel, TEXT_LASTLEVEL, "@"),
    num16("cheatkeys", &config.settings.cheatkeys, 0, 0, 4),
    num16("powersaving", &config.settings.powersaving, 5, 0, 20),
    num16("screen_width", &config.settings.screen_width, -1, -1, 4096),
    num16("screen_height", &config.settings.screen_height, -1, -1, 4096),
    num16("window_width", &config.settings.window_width, -1, -1, 4096),
    num16("window_height", &config.settings.window_height, -1, -1, 4096),
    {nullptr, nullptr, 0, 0, nullptr, 0, 0},
};

constexpr ConfigEntry playlist_table[] = {
    text("title", config.playlist_keys[PLAYLIST_TITLE], PLAYLIST_NAME_SIZE, ""),
    text("level1", config.playlist_keys[PLAYLIST_LEVEL1 + 0], PLAYLIST_NAME_SIZE, ""),
    text("level2", config.playlist_keys[PLAYLIST_LEVEL1 + 1], PLAYLIST_NAME_SIZE, ""),
    text("level3", config.playlist_keys[PLAYLIST_LEVEL1 + 2], PLAYLIST_NAME_SIZE, ""),
    text("level4", config.playlist_keys[PLAYLIST_LEVEL1 + 3], PLAYLIST_NAME_SIZE, ""),
    text("level5", config.playlist_keys[PLAYLIST_LEVEL1 + 4], PLAYLIST_NAME_SIZE, ""),
    text("ending", config.playlist_keys[PLAYLIST_ENDING], PLAYLIST_NAME_SIZE, ""),
    text("scores", config.playlist_keys[PLAYLIST_SCORES], PLAYLIST_NAME_SIZE, ""),
    text("boss", config.playlist_keys[PLAYLIST_BOSS], PLAYLIST_NAME_SIZE, ""),
    {nullptr, nullptr, 0, 0, nullptr, 0, 0},
};

namespace {

// Copies at most size-1 characters, always terminated.
void copy_text(char* dst, int size, const char* src)
{
    int n = 0;
    while (n < size - 1 && src[n]) {
        dst[n] = src[n];
        n++;
    }
    dst[n] = '\0';
}

void store_number(const ConfigEntry& e, long v)
{
    if (v < e.min)
        v = e.min;
    if (v > e.max)
        v = e.max;
    if (e.kind == CFG_S16)
        *static_cast<int16_t*>(e.value) = static_cast<int16_t>(v);
    else
        *static_cast<uint8_t*>(e.value) = static_cast<uint8_t>(v);
}

// Leading digits with an optional sign, anything else 0; huge values
// saturate instead of wrapping.
long read_number(const char* s)
{
    errno = 0;
    long v = std::strtol(s, nullptr, 10);
    if (v > INT_MAX)
        v = INT_MAX;
    if (v < INT_MIN)
        v = INT_MIN;
    return v;
}

// What ends a token. A NUL does too: a text holding one would read back
// shorter than it was read.
bool separator(int c) { return c == 0 || std::isspace(c); }

int skip_space(FILE* f)
{
    int c;
    do
        c = std::getc(f);
    while (c != EOF && separator(c));
    return c;
}

// A text the reader gets back as it was written: one token. An empty value
// would take the next line's key as its own, so such a text is not written
// and its key reads back as the default.
bool writable_text(const char* text)
{
    if (!text[0])
        return false;
    for (const char* p = text; *p; p++)
        if (separator(static_cast<unsigned char>(*p)))
            return false;
    return true;
}

// A run of non-space characters; the part beyond the buffer is dropped.
bool read_token(FILE* f, char* buf)
{
    int c = skip_space(f);
    if (c == EOF)
        return false;
    int n = 0;
    while (c != EOF && !separator(c)) {
        if (n < CFG_TOKEN_SIZE - 1)
            buf[n++] = static_cast<char>(c);
        c = std::getc(f);
    }
    buf[n] = '\0';
    if (c != EOF)
        std::ungetc(c, f);
    return true;
}

const ConfigEntry* find_key(const ConfigEntry* table, const char* key)
{
    for (const ConfigEntry* e = table; e->value; e++)
        if (std::strcmp(e->key, key) == 0)
            return e;
    return nullptr;
}

}  // namespace

void config_reset(const ConfigEntry* table)
{
    if (!table)
        return;
    for (const ConfigEntry* e = table; e->value; e++) {
        if (e->kind > 0)
            copy_text(static_cast<char*>(e->value), e->kind, e->default_text);
        else if (e->kind == CFG_S16)
            *static_cast<int16_t*>(e->value) = static_cast<int16_t>(e->default_number);
        else
            *static_cast<uint8_t*>(e->value) = static_cast<uint8_t>(e->default_number);
    }
}

int config_read(const ConfigEntry* table, const char* path)
{
    config_reset(table);
    if (!table)
        return FILE_MISSING;
    // Read whole and within a bound: a FIFO or /dev/zero in its place would
    // otherwise hold start-up for ever.
    char* text;
    long size;
    const char* why = "";
    int r = file_read_all(path, CONFIG_MAX_FILE, &text, &size, &why);
    if (r == FILE_UNREADABLE)
        diag("%s: unreadable (%s); defaults used\n", path, why);
    if (r != FILE_OK)
        return r;
    FILE* f = size > 0 ? fmemopen(text, (size_t)size, "r") : nullptr;
    if (!f) {
        std::free(text);
        return FILE_OK;
    }
    char key[CFG_TOKEN_SIZE], value[CFG_TOKEN_SIZE];
    // "key = value": a scan that stops short is dropped and the next one
    // starts where it stopped, so stray words are skipped one at a time.
    while (read_token(f, key)) {
        int c = skip_space(f);
        if (c == EOF)
            break;
        if (c != '=') {
            std::ungetc(c, f);
            continue;
        }
        if (!read_token(f, value))
            break;
        const ConfigEntry* e = find_key(table, key);
        if (!e)
            continue;
        if (e->kind > 0)
            copy_text(static_cast<char*>(e->value), e->kind, value);
        else
            store_number(*e, read_number(value));
    }
    std::fclose(f);
    std::free(text);
    return FILE_OK;
}

int config_write(const ConfigEntry* table, const char* path)
{
    if (!table)
        return 1;
    FileWriter w;
    if (!file_write_begin(w, path)) {
        diag("%s: %s\n", path, w.why);
        return 1;
    }
    bool ok = true;
    for (const ConfigEntry* e = table; e->value && ok; e++) {
        int n;
        if (e->kind > 0 && !writable_text(static_cast<const char*>(e->value)))
            continue;
        if (e->kind > 0)
            n = std::fprintf(w.f, "%s = %s\n", e->key, static_cast<const char*>(e->value));
        else if (e->kind == CFG_S16)
            n = std::fprintf(w.f, "%s = %d\n", e->key, *static_cast<const int16_t*>(e->value));
        else
            n = std::fprintf(w.f, "%s = %d\n", e->key, *static_cast<const uint8_t*>(e->value));
        ok = n > 0;
    }
    if (!ok) {
        file_write_abort(w);
        return 1;
    }
    if (!file_write_commit(w)) {
        diag("%s: %s\n", path, w.why);
        return 1;
    }
    return 0;
}

void config_state_reset()
{
    config_reset(game_config_table);
    config_reset(playlist_table);
    config.launch = LaunchOptions{};
    config.data_dir = "DATA/";
    config.amc_dir = "AMC/";
}
