// A compiled AMC file made from word lists: each program as its length and
// words, then a 0.
#pragma once

#include <string>
#include <vector>

inline std::string amc_compiled(const std::vector<std::vector<int>>& programs)
{
    std::string s = "AMC";
    auto put = [&](int w) { s += (char)(w & 0xFF), s += (char)((w >> 8) & 0xFF); };
    for (const auto& p : programs) {
        put((int)p.size());
        for (int w : p)
            put(w);
    }
    put(0);
    return s;
}
