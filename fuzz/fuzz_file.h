// The fuzz input as a file, for loaders that only take a path.
#pragma once

#include <unistd.h>
#include <cstdint>
#include <cstdio>

// Writes `data` to /tmp/<tag>_<pid><suffix> and returns that path, or null
// when it cannot be written. The path stays valid until the next call with
// the same buffer.
inline const char* fuzz_file(char (&path)[96], const char* tag, const uint8_t* data, size_t size,
                             const char* suffix = "")
{
    snprintf(path, sizeof path, "/tmp/%s_%d%s", tag, (int)getpid(), suffix);
    FILE* f = fopen(path, "wb");
    if (!f)
        return nullptr;
    bool whole = fwrite(data, 1, size, f) == size;
    return fclose(f) == 0 && whole ? path : nullptr;
}
