// The AMC assembler and disassembler, and the AMC file images they read and
// write. The amcasm tool is a thin command line over these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// An error or warning tied to a place in a source file.
struct AsmMessage {
    std::string file;
    int line = 0, col = 0;
    bool warning = false;
    std::string text;
};

// "file:line:col: error: text" (or "warning:"); without a file, "amcasm: ...".
std::string asm_format(const AsmMessage& m);

// Reads a whole source file; false when it cannot be read. Tests serve
// sources from memory through this.
using AsmReadFn = std::function<bool(const std::string& path, std::string& text)>;

struct AsmOptions {
    std::vector<std::string> include_dirs;  // searched after the including file's folder
    AsmReadFn read;                         // empty: read from disk
    bool listing = false;                   // fill AsmResult::listing
};

struct AsmProgramOut {
    int number = 0;
    std::string name;  // empty for an `unused` placeholder
    std::vector<uint16_t> words;
};

struct AsmResult {
    bool ok = false;                      // no errors (warnings allowed)
    std::vector<AsmProgramOut> programs;  // ordered by number, 0..n-1
    std::vector<AsmMessage> messages;     // in the order found
    std::string listing;
    std::vector<std::string> files;  // every source and include read
};

AsmResult asm_assemble(const std::vector<std::string>& sources, const AsmOptions& opt);

// Programs as words, ready for the disassembler or a file image.
using AmcWords = std::vector<std::vector<uint16_t>>;

// The 'C' file image: "AMC", blocks of count + words, a 0 count.
std::vector<uint8_t> amc_image_compiled(const AmcWords& programs);
// The 'L' file image: "AML", NUL-ended names, an empty name.
std::vector<uint8_t> amc_image_list(const std::vector<std::string>& names);
// Checks a list entry: a base name the loader can turn into a path. Returns
// an empty string when fine, else the reason.
std::string amc_list_name_problem(const std::string& name);

// Reads a compiled image. Returns an empty string on success, else the
// reason. `trailing` gets the number of bytes after the end marker.
std::string amc_parse_compiled(const std::vector<uint8_t>& image, AmcWords& programs,
                               size_t* trailing);

// Source text that assembles back to exactly these words.
std::string asm_disassemble(const AmcWords& programs);

// Writes through the shared safe writer (fileio): a temporary file renamed
// into place, or straight to a device, a FIFO or "-". "" or the reason.
std::string asm_write_file(const std::string& path, const void* data, size_t len);
