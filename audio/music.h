// Background music modules and the playlists that choose them.
#pragma once

struct DUH;
struct ConfigEntry;

int music_init();  // always 0
int music_play(int slot, const char* dir, const char* name);  // 0 playing or silent, 1 failed
void music_stop();
void music_poll();
void music_pause();
void music_resume();
int music_get_volume();
void music_set_volume(int volume);
void music_volume_up();
void music_volume_down();
DUH* music_load_module(const char* path);

// `current_name` is the configuration's "music" text (20 bytes); may be rewritten.
void playlist_init(const ConfigEntry* keys, char* current_name);
void playlist_next(const ConfigEntry* keys, char* current_name);
void playlist_prev(const ConfigEntry* keys, char* current_name);
