// Structure check of the game programming library's datafiles, without the
// library: the packfile password undone, compression expanded, every object
// and property found to lie inside what holds it, nested datafiles walked.
// A file that passes can be handed to the library's loaders, which trust
// every size they read.
#pragma once

#include <cstddef>
#include <cstdint>

// A four-letter object type as the files spell it ("BMP ", "FILE", ...).
constexpr uint32_t datcheck_type(char a, char b, char c, char d)
{
    return (uint32_t)(uint8_t)a << 24 | (uint32_t)(uint8_t)b << 16 | (uint32_t)(uint8_t)c << 8 |
           (uint8_t)d;
}
constexpr uint32_t DATCHECK_BITMAP = datcheck_type('B', 'M', 'P', ' ');
constexpr uint32_t DATCHECK_RLE = datcheck_type('R', 'L', 'E', ' ');
constexpr uint32_t DATCHECK_FONT = datcheck_type('F', 'O', 'N', 'T');
constexpr uint32_t DATCHECK_PALETTE = datcheck_type('P', 'A', 'L', ' ');
constexpr uint32_t DATCHECK_SAMPLE = datcheck_type('S', 'A', 'M', 'P');
constexpr uint32_t DATCHECK_MIDI = datcheck_type('M', 'I', 'D', 'I');
constexpr uint32_t DATCHECK_NESTED = datcheck_type('F', 'I', 'L', 'E');
constexpr uint32_t DATCHECK_BINARY = datcheck_type('D', 'A', 'T', 'A');

// One object as the walk meets it, in file order, nested objects right
// after the datafile that holds them. The texts live only during the call.
struct DatObject {
    const char* name;  // its NAME property, "" when it has none
    const char* path;  // names from the outermost datafile down, joined by '/'
    uint32_t type;
    uint32_t size;  // bytes of its data once expanded
    int index;      // place in the datafile that holds it
    int depth;      // 0 for the objects of the file itself
};
using DatVisitor = void (*)(const DatObject& object, void* user);

enum DatCheckResult {
    DATCHECK_OK = 0,
    DATCHECK_NO_FILE = 1,  // cannot be opened or read
    DATCHECK_DAMAGED = 2,  // not a datafile under this password, or damaged
};

struct DatCheckReport {
    int objects;        // objects seen, nested ones included
    char message[200];  // why the file was refused; "" when it passed
};

// Checks the file at `path` read with `password` (null or "" for none).
// `visit`, when given, sees each object once it has been checked; a damaged
// file has shown those before the fault. `report` may be null.
int datcheck_file(const char* path, const char* password, DatVisitor visit, void* user,
                  DatCheckReport* report);
// The same over bytes already in memory.
int datcheck_bytes(const uint8_t* bytes, size_t size, const char* password, DatVisitor visit,
                   void* user, DatCheckReport* report);

// Files larger than this are refused unread.
constexpr size_t DATCHECK_MAX_FILE = 64u << 20;
