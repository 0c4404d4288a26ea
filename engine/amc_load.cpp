#include "amc.h"

#include "actor.h"
#include "amc_decode.h"
#include "fileio/byteorder.h"
#include "fileio/fileio.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
constexpr long AMC_FILE_MAX = 16L << 20;
}

AmcProgram program_table[AMC_MAX_PROGRAMS];
int16_t program_count = 0;

static int16_t amc_load_depth(const char* path, int depth);

// Reads one little-endian 16-bit word; false at end of file.
static bool read_u16(FILE* f, uint16_t* out)
{
    unsigned char b[2];
    if (fread(b, 1, 2, f) != 2)
        return false;
    *out = get_le16(b);
    return true;
}

static int16_t load_compiled(FILE* f)
{
    for (;;) {
        uint16_t count;
        if (!read_u16(f, &count))
            return AMC_ERR_SHORT;
        if (count == 0)
            return AMC_OK;
        if (program_count >= AMC_MAX_PROGRAMS)
            return AMC_ERR_FULL;
        unsigned char* raw = (unsigned char*)malloc((size_t)count * 2);
        if (!raw)
            return AMC_ERR_MEMORY;
        if (fread(raw, 2, count, f) != count) {
            free(raw);
            return AMC_ERR_SHORT;
        }
        // Convert in place: the block becomes the program's words.
        int16_t* words = (int16_t*)raw;
        for (uint32_t i = 0; i < count; i++) {
            uint16_t w = get_le16(raw + 2 * i);
            memcpy(&words[i], &w, 2);
        }
        program_table[program_count].words = words;
        program_table[program_count].length = count;
        program_count++;
    }
}

static bool is_separator(char c) { return c == '\\' || c == ':' || c == '/'; }

static int16_t load_list(FILE* f, const char* path, int depth)
{
    char buf[AMC_PATH_MAX];
    size_t dirlen = 0;
    for (size_t i = 0; path[i]; i++)
        if (is_separator(path[i]))
            dirlen = i + 1;
    for (;;) {
        // The name is read whole before its length is judged, so a name that
        // runs to the end of the file is a short read whatever its length.
        size_t namelen = 0;
        char name[AMC_PATH_MAX];
        for (;;) {
            int c = fgetc(f);
            if (c == EOF)
                return AMC_ERR_SHORT;
            if (c == 0)
                break;
            if (namelen < sizeof name)
                name[namelen] = (char)c;
            namelen++;
        }
        if (namelen == 0)
            return AMC_OK;
        if (dirlen + namelen + 4 > AMC_PATH_MAX - 1)
            return AMC_ERR_PATH;
        if (depth + 1 > AMC_MAX_DEPTH)
            return AMC_ERR_NESTING;
        memcpy(buf, path, dirlen);
        memcpy(buf + dirlen, name, namelen);
        memcpy(buf + dirlen + namelen, ".AMC", 5);
        int16_t r = amc_load_depth(buf, depth + 1);
        if (r != AMC_OK)
            return r;
    }
}

static int16_t amc_load_depth(const char* path, int depth)
{
    // Only a regular file: a FIFO or a device in its place would hold
    // start-up for ever. No valid file is near the bound: 64 programs of
    // 65535 words are 8 MB.
    FILE* f = nullptr;
    long size = 0;
    if (file_open_read(path, AMC_FILE_MAX, &f, &size) != FILE_OK)
        return AMC_ERR_OPEN;
    unsigned char h[3];
    int16_t r;
    if (fread(h, 1, 3, f) != 3 || h[0] != 'A' || h[1] != 'M')
        r = AMC_ERR_HEADER;
    else if (h[2] == 'C')
        r = load_compiled(f);
    else if (h[2] == 'L')
        r = load_list(f, path, depth);
    else
        r = AMC_ERR_HEADER;
    fclose(f);
    return r;
}

int16_t amc_load(const char* path) { return amc_load_depth(path, 0); }

const char* amc_load_reason(int16_t result)
{
    static const char* const why[] = {
        "loaded",
        "cannot read",
        "not an AMC file (it must start with AMC or AML)",
        "cut short: a program or a list ends before its last word",
        "no memory for a program",
        "more than 64 programs",
        "a file name in a list makes a path of 128 characters or more",
        "lists nested too deep (or naming each other)",
    };
    return result >= 0 && result < (int16_t)(sizeof why / sizeof why[0]) ? why[result]
                                                                         : "cannot be loaded";
}

void amc_unload_all()
{
    actor_table_reset();
    amc_decode_forget();
    for (int i = 0; i < AMC_MAX_PROGRAMS; i++) {
        free(program_table[i].words);
        program_table[i].words = nullptr;
        program_table[i].length = 0;
    }
    program_count = 0;
}
