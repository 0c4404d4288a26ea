#include <allegro.h>

#include <strings.h>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "audio/music.h"
#include "config/config.h"

char playlist_names[PLAYLIST_MAX][PLAYLIST_NAME_LEN];
int playlist_count;
int playlist_current;

namespace {

// The file each name came from, as the directory spells it: the names are
// shown in upper case, but the file system may not ignore case.
char playlist_files[PLAYLIST_MAX][PLAYLIST_NAME_LEN + 4];

constexpr const char* NO_PLAYLIST = "<NONE>";

int add_playlist(const char* filename, int, void*)
{
    size_t len = std::strlen(filename);
    // More files than names, and names the configuration could not hold, are
    // left out: they could never be chosen again at the next start.
    if (playlist_count >= PLAYLIST_MAX)
        return 1;
    if (len <= 4 || len - 4 >= PLAYLIST_NAME_LEN)
        return 0;
    if (strcasecmp(filename + len - 4, ".lst") != 0)
        return 0;
    char* name = playlist_names[playlist_count];
    for (size_t i = 0; i < len - 4; i++)
        name[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(filename[i])));
    name[len - 4] = '\0';
    std::strcpy(playlist_files[playlist_count], filename);
    playlist_count++;
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
    if (playlist_current == 0)
        config_reset(keys);  // "<NONE>": silence everywhere
    else
        config_read(keys, playlist_files[playlist_current]);
}

void select(int index, const ConfigEntry* keys, char* current_name)
{
    playlist_current = index;
    std::snprintf(current_name, PLAYLIST_NAME_LEN, "%s", playlist_names[index]);
    load_current(keys);
}

}  // namespace

void playlist_init(const ConfigEntry* keys, char* current_name)
{
    std::strcpy(playlist_names[0], NO_PLAYLIST);
    playlist_files[0][0] = '\0';
    playlist_count = 1;
    playlist_current = 0;
    // Every file, so that TECHNO.LST is found as well as techno.lst.
    for_each_file_ex("*", 0, FA_DIREC, add_playlist, nullptr);

    for (int i = 0; i < playlist_count; i++)
        if (same_ignoring_case(current_name, playlist_names[i])) {
            playlist_current = i;
            load_current(keys);
            return;
        }
    select(0, keys, current_name);
}

void playlist_next(const ConfigEntry* keys, char* current_name)
{
    if (playlist_count < 1)
        return;  // not initialised
    select((playlist_current + 1) % playlist_count, keys, current_name);
}

void playlist_prev(const ConfigEntry* keys, char* current_name)
{
    if (playlist_count < 1)
        return;
    select((playlist_current + playlist_count - 1) % playlist_count, keys, current_name);
}

const char* playlist_text(const char* key)
{
    for (const ConfigEntry* e = playlist_table; e->value; e++)
        if (strcmp(e->key, key) == 0)
            return (const char*)e->value;
    return "";
}
