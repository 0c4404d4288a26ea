// AMC program files: the table of loaded programs and the loader.
#pragma once

#include <cstdint>

constexpr int AMC_MAX_PROGRAMS = 64;
constexpr int AMC_PATH_MAX = 128;  // path buffer, NUL included
constexpr int AMC_MAX_DEPTH = 16;  // deepest list nesting that is opened

// amc_load results.
enum {
    AMC_OK = 0,
    AMC_ERR_OPEN = 1,     // cannot be opened (or is a directory)
    AMC_ERR_HEADER = 2,   // short or wrong "AM" + 'C'/'L' header
    AMC_ERR_SHORT = 3,    // a read came up short
    AMC_ERR_MEMORY = 4,   // no memory for a block
    AMC_ERR_FULL = 5,     // a 65th program
    AMC_ERR_PATH = 6,     // composed path longer than 127 characters
    AMC_ERR_NESTING = 7,  // lists nested deeper than AMC_MAX_DEPTH
};

struct AmcProgram {
    int16_t* words;  // shared by every actor running it; STORE may write here
    int32_t length;  // in words; fetches at or past it end the pass
};

extern AmcProgram program_table[AMC_MAX_PROGRAMS];
extern int16_t program_count;

int16_t amc_load(const char* path);
// What an amc_load result means, for "TOOL: FILE: reason" lines.
const char* amc_load_reason(int16_t result);
void amc_unload_all();
