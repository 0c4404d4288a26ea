#include <allegro.h>

#include <strings.h>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "audio/music.h"
#include "audio/state.h"
#include "config/config.h"

namespace {

constexpr const char* NO_PLAYLIST = "<NONE>";

int add_playlist(const char* filename, int, void*)
{
    size_t len = std::strlen(filename);
    // More files than names, and names the configuration could not hold, are
    // left out: they could never be chosen again at the next start.
    if (audio.playlist_count >= PLAYLIST_MAX)
        return 1;
    if (len <= 4 || len - 4 >= PLAYLIST_NAME_LEN)
        return 0;
    if (strcasecmp(filename + len - 4, ".lst") != 0)
        return 0;
    char* name = audio.playlist_names[audio.playlist_count];
    for (size_t i = 0; i < len - 4; i++)
        name[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(filename[i])));
    name[len - 4] = '\0';
    std::strcpy(audio.playlist_files[audio.playlist_count], filename);
    audio.playlist_count++;
    return 0;
}

bool same_ignoring_case(const char* a, const char* b)
{
    for (; *a && *b; a++, b++)
        if (std::toupper(static_cast<unsigned char>(*a)) !=
            std::toupper(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}

void load_current(const ConfigEntry* keys)
{
    if (audio.playlist_current == 0)
        config_reset(keys);  // "<NONE>": silence everywhere
    else
        config_read(keys, audio.playlist_files[audio.playlist_current]);
}

void select(int index, const ConfigEntry* keys, char* current_name)
{
    audio.playlist_current = index;
    std::snprintf(current_name, PLAYLIST_NAME_LEN, "%s", audio.playlist_names[index]);
    load_current(keys);
}

}  // namespace

void playlist_init(const ConfigEntry* keys, char* current_name)
{
    std::strcpy(audio.playlist_names[0], NO_PLAYLIST);
    audio.playlist_files[0][0] = '\0';
    audio.playlist_count = 1;
    audio.playlist_current = 0;
    // Every file, so that TECHNO.LST is found as well as techno.lst.
    for_each_file_ex("*", 0, FA_DIREC, add_playlist, nullptr);

    for (int i = 0; i < audio.playlist_count; i++)
        if (same_ignoring_case(current_name, audio.playlist_names[i])) {
            audio.playlist_current = i;
            load_current(keys);
            return;
        }
    select(0, keys, current_name);
}

void playlist_next(const ConfigEntry* keys, char* current_name)
{
    if (audio.playlist_count < 1)
        return;  // not initialised
    select((audio.playlist_current + 1) % audio.playlist_count, keys, current_name);
}

void playlist_prev(const ConfigEntry* keys, char* current_name)
{
    if (audio.playlist_count < 1)
        return;
    select((audio.playlist_current + audio.playlist_count - 1) % audio.playlist_count, keys,
           current_name);
}

const char* playlist_text(const char* key)
{
    for (const ConfigEntry* e = playlist_table; e->value; e++)
        if (strcmp(e->key, key) == 0)
            return (const char*)e->value;
    return "";
}
