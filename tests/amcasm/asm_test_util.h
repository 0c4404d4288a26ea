// Assembling from memory for the tests.
#pragma once

#include "tools/amcasm/amcasm.h"

#include <map>
#include <string>
#include <vector>

// Assembles "main.amcs" = text (plus any other files) without touching disk.
inline AsmResult assemble_text(const std::string& text,
                               std::map<std::string, std::string> files = {},
                               std::vector<std::string> sources = {"main.amcs"},
                               bool listing = false)
{
    files["main.amcs"] = text;
    AsmOptions opt;
    opt.include_dirs = {"lib"};
    opt.listing = listing;
    opt.read = [files](const std::string& path, std::string& out) {
        auto f = files.find(path);
        if (f == files.end())
            return false;
        out = f->second;
        return true;
    };
    return asm_assemble(sources, opt);
}

inline std::string all_messages(const AsmResult& r)
{
    std::string s;
    for (const auto& m : r.messages)
        s += asm_format(m) + "\n";
    return s;
}
