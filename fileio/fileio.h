// The files that the game and its tools read and write. Reading takes only
// regular files of a bounded size: a FIFO or a device would block or never
// end. Writing goes through a temporary file created exclusively and
// renamed into place, so a crash or a full disc never leaves half a file;
// a device, a FIFO or standard output ("-") is written directly, and a
// symbolic link is followed to the file it names, which is replaced.
#pragma once

#include <cstddef>
#include <cstdio>

enum FileOpenResult {
    FILE_OK = 0,
    FILE_MISSING = 1,     // no such file
    FILE_UNREADABLE = 2,  // not a regular file, too large, or refused
};

// Opens `path` for reading without blocking on a FIFO. FILE_OK gives the
// stream and the file's size; otherwise `why` (when given) tells the reason.
int file_open_read(const char* path, long max_size, FILE** out, long* size,
                   const char** why = nullptr);

// The whole file in a new malloc'd buffer (one spare NUL byte after it).
int file_read_all(const char* path, long max_size, char** data, long* size,
                  const char** why = nullptr);

// Moves an existing file the program could not read out of its way, to
// NAME.bad (or NAME.bad2 .. NAME.bad9 when taken), never over another file.
// The name used goes into `kept`. False when nothing could be moved.
bool file_keep_aside(const char* path, char* kept, size_t kept_size);

struct FileWriter {
    FILE* f = nullptr;
    char target[4096] = "";  // the file finally written
    char temp[4112] = "";    // empty when writing directly
    char why[160] = "";      // the reason of a failure
};

// Starts writing `path`. False (with `why`) when it cannot be written.
bool file_write_begin(FileWriter& w, const char* path);
// Finishes: the temporary file flushed, synced and renamed over the target.
// False (with `why`) when anything failed; the old file then stays.
bool file_write_commit(FileWriter& w);
// Drops what was written; the old file stays.
void file_write_abort(FileWriter& w);

// One buffer as the whole file, as above. False (with the reason) when the
// old file stays.
bool file_write_all(const char* path, const void* data, size_t len, char* why = nullptr,
                    size_t why_size = 0);

// A stream written as the program goes (a trace, a log): created or
// emptied, a device or FIFO opened as it is, but a FIFO that nobody reads
// refused rather than waited on. Null when it cannot be opened.
FILE* file_open_stream(const char* path);
