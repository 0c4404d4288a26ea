// Helpers the street themes share with the city pieces.
#pragma once

#include "tools/gfxgen/canvas.h"

namespace gg {

inline int x0_of(const Piece& p) { return p.col * TILE; }
inline int x1_of(const Piece& p) { return (p.col + p.width) * TILE - 1; }
inline void fail(Street& s, const std::string& msg)
{
    if (s.error.empty())
        s.error = msg;
}

// Colours a source may name ("red", "sodium", ...).
bool colour_named(const std::string& name, Rgb& out);
Rgb colour_opt(Street& s, const Piece& p, const std::string& key, const std::string& dflt);
// Paints a wall of the named material; false for an unknown name.
bool wall_material(Canvas& cv, const std::string& m, int x0, int y0, int x1, int y1, int seed);

}  // namespace gg
