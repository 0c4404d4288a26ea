#include "fileio/manifest.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fileio/fileio.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

bool manifest_hash_file(const char* path, uint64_t* hash)
{
    char* bytes;
    long size = 0;
    if (file_read_all(path, MANIFEST_MAX_FILE, &bytes, &size) != FILE_OK)
        return false;
    *hash = XXH3_64bits(bytes, (size_t)size);
    std::free(bytes);
    return true;
}

bool manifest_write(const char* out, const char* dir, const char* const* names, int count)
{
    FileWriter w;
    if (!file_write_begin(w, out)) {
        std::fprintf(stderr, "%s: %s\n", out, w.why);
        return false;
    }
    for (int i = 0; i < count; i++) {
        char path[4096];
        uint64_t h;
        std::snprintf(path, sizeof path, "%s%s", dir, names[i]);
        if (std::strchr(names[i], '/') || std::strchr(names[i], '\n') ||
            !manifest_hash_file(path, &h)) {
            std::fprintf(stderr, "%s: cannot be read\n", path);
            file_write_abort(w);
            return false;
        }
        std::fprintf(w.f, "%016" PRIx64 "  %s\n", h, names[i]);
    }
    if (!file_write_commit(w)) {
        std::fprintf(stderr, "%s: %s\n", out, w.why);
        return false;
    }
    return true;
}

int manifest_check(const char* dir, void (*report)(const char* path, const char* why))
{
    char path[4096];
    std::snprintf(path, sizeof path, "%s%s", dir, MANIFEST_NAME);
    char* text;
    long size = 0;
    int r = file_read_all(path, 1L << 20, &text, &size);
    if (r == FILE_MISSING)
        return -1;
    if (r != FILE_OK)
        return -2;
    int differing = 0;
    bool damaged = false;
    for (char *line = text, *next; *line && !damaged; line = next) {
        next = std::strchr(line, '\n');
        if (!next) {
            damaged = true;
            break;
        }
        *next++ = '\0';
        char* end;
        uint64_t want = std::strtoull(line, &end, 16);
        const char* name = end + 2;
        if (end != line + 16 || std::strncmp(end, "  ", 2) != 0 || !*name ||
            std::strchr(name, '/')) {
            damaged = true;
            break;
        }
        std::snprintf(path, sizeof path, "%s%s", dir, name);
        uint64_t got;
        if (!manifest_hash_file(path, &got)) {
            report(path, "missing or unreadable");
            differing++;
        } else if (got != want) {
            report(path, "differs from the shipped file");
            differing++;
        }
    }
    std::free(text);
    return damaged ? -2 : differing;
}
