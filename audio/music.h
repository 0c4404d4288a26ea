// Background music modules and the playlists that choose them.
#pragma once

struct DUH;
struct AL_DUH_PLAYER;
struct ConfigEntry;

constexpr int MUSIC_SLOTS = 4;        // 0 levels and story, 1 scores, 2 title, 3 spare
constexpr int MUSIC_NAME_SIZE = 128;  // a cached module's name, NUL included

// A cached module and the name it was loaded for; kept until the slot is
// asked for another name.
struct MusicSlot {
    DUH* module;
    char name[MUSIC_NAME_SIZE];
};

// The module and player calls; tests replace them to play without a device.
struct MusicOps {
    DUH* (*load)(const char* path);
    void (*unload)(DUH* module);
    AL_DUH_PLAYER* (*start)(DUH* module, int channels, long pos, float volume, long bufsize,
                            int freq);
    void (*stop)(AL_DUH_PLAYER* player);
    void (*pause)(AL_DUH_PLAYER* player);
    void (*resume)(AL_DUH_PLAYER* player);
    int (*poll)(AL_DUH_PLAYER* player);
    void (*set_volume)(AL_DUH_PLAYER* player, float volume);
};
extern const MusicOps dumb_music_ops;

int music_init();  // always 0
// Plays `name` through cache slot `slot`, from `dir` + `name` or else `name`.
// 0 playing (or an empty name: silence), 1 failed. The module already
// playing under that name plays on.
int music_play(int slot, const char* dir, const char* name);
void music_stop();  // the cached modules stay loaded
void music_poll();
void music_pause();
void music_resume();
int music_get_volume();
void music_set_volume(int volume);  // 0..255, applied as volume / 256
void music_volume_up();
void music_volume_down();
// IT, XM, S3M or MOD, tried in that order; null for a file that is none of
// them or larger than MUSIC_MAX_FILE bytes.
DUH* music_load_module(const char* path);
DUH* music_load_module_bytes(const void* data, long size);  // the same from memory
constexpr long MUSIC_MAX_FILE = 16L << 20;
AL_DUH_PLAYER* music_player();  // null when nothing plays

constexpr int PLAYLIST_MAX = 16;       // "<NONE>" and up to 15 files
constexpr int PLAYLIST_NAME_LEN = 20;  // as the configuration's "music" text

// Finds the "*.lst" files of the working directory and loads the one that
// `current_name` (the configuration's "music" text, 20 bytes) names, ignoring
// case; an unknown name becomes "<NONE>", which is silence everywhere.
void playlist_init(const ConfigEntry* keys, char* current_name);
// The next or previous playlist, cyclically: its name into `current_name`,
// its entries into `keys`.
void playlist_next(const ConfigEntry* keys, char* current_name);
void playlist_prev(const ConfigEntry* keys, char* current_name);
// The text that a key of the playlist table holds (the module's file name),
// or "" for an unknown key.
const char* playlist_text(const char* key);
