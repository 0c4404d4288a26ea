// The datafile password, read from a one-line file: build systems mangle
// ';' and blanks in command-line arguments, a file keeps it intact.
#pragma once

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/diag.h"

inline bool read_password_file(const char* path, std::string& password)
{
    FILE* f = std::fopen(path, "r");
    char buf[256] = "";
    if (!f || !std::fgets(buf, sizeof buf, f)) {
        diag("%s: cannot read the password\n", path);
        if (f)
            std::fclose(f);
        return false;
    }
    std::fclose(f);
    buf[std::strcspn(buf, "\r\n")] = 0;
    password = buf;
    return true;
}
