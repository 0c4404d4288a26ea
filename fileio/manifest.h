// The manifest of the shipped data: one line "<16 hex digits>  NAME" per
// file of a folder, the XXH3 64 hash of its bytes. The build writes one
// into DATA/ and AMC/; start-up compares the files with it, so that a
// changed or damaged file is said once in stderr.txt, and plays on.
#pragma once

#include <cstdint>

constexpr const char* MANIFEST_NAME = "MANIFEST";
constexpr long MANIFEST_MAX_FILE = 256L << 20;  // the largest file hashed

// The hash of a file's bytes; false when it cannot be read.
bool manifest_hash_file(const char* path, uint64_t* hash);

// Writes the manifest of `names` (plain names in `dir`, a prefix used as
// is) to `out`. False with a line on stderr when a file cannot be read or
// the manifest cannot be written.
bool manifest_write(const char* out, const char* dir, const char* const* names, int count);

// Checks every file that the manifest in `dir` lists; `report` gets each
// that differs or is missing. The number reported; -1 when there is no
// manifest there (a game built or changed by hand), -2 when it is damaged.
int manifest_check(const char* dir, void (*report)(const char* path, const char* why));
