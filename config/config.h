// Settings tables: "default.cfg" and the music playlists share one
// key = value reader, writer and reset driven by a table of entries.
#pragma once

#include <cstdint>

enum {
    CFG_S16 = -2,  // signed 16-bit number
    CFG_U8 = -1,   // unsigned 8-bit number
    // n > 0: text held in n bytes
};

constexpr int CFG_KEY_SIZE = 20;
constexpr int CFG_TOKEN_SIZE = 128;  // longest key or value token read, NUL included

struct ConfigEntry {
    const char* key;           // at most 19 characters, compared case-sensitively
    void* value;               // null ends the table
    int kind;                  // CFG_S16, CFG_U8 or a text size
    int default_number;        // for numbers
    const char* default_text;  // for texts
    int min, max;              // clamp range of numbers read from a file
};

struct GameConfig {
    int16_t difficulty;
    int16_t mode;
    uint8_t musicvolume;
    uint8_t soundvolume;
    int16_t keyup, keydown, keyleft, keyright, keypunch, keykick;
    int16_t joypunch, joykick, joypause, joyesc;
    char music[20];
    uint8_t card;
    char lastlevel[8];
    int16_t cheatkeys;
    int16_t powersaving;
    int16_t screen_width, screen_height;
    int16_t window_width, window_height;
};

extern const ConfigEntry game_config_table[];  // the 23 settings, in file order

// The playlist keys: nine module names of 128 bytes, read only.
enum {
    PLAYLIST_TITLE,
    PLAYLIST_LEVEL1,  // level1..level5 follow in order
    PLAYLIST_ENDING = PLAYLIST_LEVEL1 + 5,
    PLAYLIST_SCORES,
    PLAYLIST_BOSS,  // a boss fight, when the level's scripts ask for it
    PLAYLIST_KEYS
};
constexpr int PLAYLIST_NAME_SIZE = 128;
extern const ConfigEntry playlist_table[];

void config_reset(const ConfigEntry* table);
// Reset, then apply every "key = value" pair of the file; a missing file
// leaves the defaults. Numbers are clamped, over-long tokens cut to fit.
// FILE_OK, FILE_MISSING, or FILE_UNREADABLE for anything that is not a
// regular file of at most CONFIG_MAX_FILE bytes (defaults kept, a line in
// stderr.txt).
int config_read(const ConfigEntry* table, const char* path);
constexpr long CONFIG_MAX_FILE = 64L << 10;
// Writes through a temporary file renamed into place (fileio). 0 written,
// 1 not.
int config_write(const ConfigEntry* table, const char* path);

constexpr const char* CONFIG_FILE = "default.cfg";
