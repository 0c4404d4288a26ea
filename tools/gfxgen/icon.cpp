// The game's icon: the hero kicking, in silhouette against a full moon over the
// city's roofs. Drawn from a few shapes in a unit square, sampled 4x4 per
// pixel so every size is smooth; written as PNG files for the desktop and as a
// header with the window's icon (EWMH cardinals and an XPM picture).
// data/icons/nightward.svg draws the same shapes.
#include <allegro.h>
#include <loadpng.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/diag.h"
#include "tools/gfxgen/gfxgen.h"

namespace gg {
namespace {

struct Rgba {
    double r, g, b, a;
};

// A stroke through up to three points, `w` wide with round ends.
struct Limb {
    double x[3], y[3];
    int n;
    double w;
    bool red;  // the headband
};

// Building: left, right, top (the ground is below the square).
struct Building {
    double x0, x1, top;
};

constexpr double MARGIN = 0.04, CORNER = 0.16;
constexpr double MOON_X = 0.58, MOON_Y = 0.40, MOON_R = 0.29;
constexpr double HEAD_X = 0.42, HEAD_Y = 0.27, HEAD_R = 0.062;

constexpr Limb LIMBS[] = {
    {{0.43, 0.39}, {0.36, 0.53}, 2, 0.110, false},                // body
    {{0.39, 0.355, 0.35}, {0.53, 0.65, 0.78}, 3, 0.075, false},   // standing leg
    {{0.41, 0.54, 0.70}, {0.52, 0.47, 0.40}, 3, 0.070, false},    // kicking leg
    {{0.70, 0.73}, {0.40, 0.36}, 2, 0.050, false},                // its foot
    {{0.45, 0.52, 0.56}, {0.37, 0.43, 0.35}, 3, 0.055, false},    // guard arm
    {{0.40, 0.32, 0.26}, {0.37, 0.44, 0.40}, 3, 0.055, false},    // back arm
    {{0.36, 0.48}, {0.255, 0.255}, 2, 0.032, true},               // headband
    {{0.365, 0.30, 0.25}, {0.26, 0.235, 0.265}, 3, 0.025, true},  // its tails
};

constexpr Building BUILDINGS[] = {
    {0.00, 0.16, 0.64}, {0.16, 0.27, 0.72}, {0.27, 0.47, 0.78}, {0.47, 0.58, 0.68},
    {0.58, 0.70, 0.74}, {0.70, 0.84, 0.60}, {0.84, 1.00, 0.70},
};

// Lit windows, by their top-left corner; all the same size.
constexpr double WINDOW_W = 0.035, WINDOW_H = 0.045;
constexpr double WINDOWS[][2] = {
    {0.05, 0.70}, {0.10, 0.78}, {0.20, 0.80}, {0.51, 0.74}, {0.62, 0.80},
    {0.74, 0.66}, {0.78, 0.74}, {0.74, 0.82}, {0.89, 0.76},
};

double segment_distance(double px, double py, double ax, double ay, double bx, double by)
{
    double dx = bx - ax, dy = by - ay;
    double t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy);
    t = t < 0 ? 0 : t > 1 ? 1 : t;
    return std::hypot(px - ax - t * dx, py - ay - t * dy);
}

bool in_rounded_square(double u, double v)
{
    double lo = MARGIN + CORNER, hi = 1 - MARGIN - CORNER;
    double cx = u < lo ? lo : u > hi ? hi : u;
    double cy = v < lo ? lo : v > hi ? hi : v;
    return std::hypot(u - cx, v - cy) <= CORNER;
}

Rgba mix(Rgba a, Rgba b, double t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, 1};
}

// The colour at one point of the unit square, top-left at (0, 0).
Rgba sample(double u, double v)
{
    if (!in_rounded_square(u, v))
        return {0, 0, 0, 0};
    const Rgba shadow = {0.03, 0.03, 0.07, 1}, band = {0.85, 0.12, 0.12, 1};
    for (const Limb& l : LIMBS)
        for (int i = 0; i + 1 < l.n; ++i)
            if (segment_distance(u, v, l.x[i], l.y[i], l.x[i + 1], l.y[i + 1]) <= l.w / 2)
                return l.red ? band : shadow;
    if (std::hypot(u - HEAD_X, v - HEAD_Y) <= HEAD_R)
        return shadow;
    for (auto& w : WINDOWS)
        if (u >= w[0] && u < w[0] + WINDOW_W && v >= w[1] && v < w[1] + WINDOW_H)
            return {1.0, 0.84, 0.35, 1};
    for (const Building& b : BUILDINGS)
        if (u >= b.x0 && u < b.x1 && v >= b.top)
            return shadow;
    double m = std::hypot(u - MOON_X, v - MOON_Y) / MOON_R;
    if (m <= 1)
        return mix({1.0, 0.96, 0.78, 1}, {0.94, 0.76, 0.38, 1}, m * m);
    // Night sky, deep blue above to a red glow over the roofs.
    if (v < 0.6)
        return mix({0.05, 0.07, 0.20, 1}, {0.24, 0.10, 0.30, 1}, v / 0.6);
    return mix({0.24, 0.10, 0.30, 1}, {0.55, 0.12, 0.16, 1}, (v - 0.6) / 0.4);
}

// ARGB pixels, row by row, of the icon at `size` pixels square.
std::vector<unsigned> render(int size)
{
    std::vector<unsigned> px(size * size);
    const int n = 4;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            Rgba sum = {0, 0, 0, 0};
            for (int j = 0; j < n; ++j)
                for (int i = 0; i < n; ++i) {
                    Rgba c = sample((x + (i + 0.5) / n) / size, (y + (j + 0.5) / n) / size);
                    sum = {sum.r + c.r * c.a, sum.g + c.g * c.a, sum.b + c.b * c.a, sum.a + c.a};
                }
            auto byte = [](double v) {
                return (unsigned)std::lround(v < 0 ? 0 : v > 1 ? 255 : v * 255);
            };
            unsigned a = byte(sum.a / (n * n));
            double k = sum.a > 0 ? 1 / sum.a : 0;  // back from premultiplied
            px[y * size + x] =
                a << 24 | byte(sum.r * k) << 16 | byte(sum.g * k) << 8 | byte(sum.b * k);
        }
    return px;
}

bool write_png(const std::string& path, int size, const std::vector<unsigned>& px)
{
    BITMAP* b = create_bitmap_ex(32, size, size);
    if (!b)
        return false;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            unsigned c = px[y * size + x];
            ((uint32_t*)b->line[y])[x] = makeacol32(c >> 16 & 255, c >> 8 & 255, c & 255, c >> 24);
        }
    std::string tmp = path + ".tmp";
    bool ok = save_png(tmp.c_str(), b, nullptr) == 0 && std::rename(tmp.c_str(), path.c_str()) == 0;
    destroy_bitmap(b);
    if (!ok)
        std::remove(tmp.c_str());
    return ok;
}

// XPM with two characters a pixel: colours rounded to 4 bits a channel fit
// the 64 x 64 names; pixels less than half covered are left out.
void write_xpm(FILE* f, int size, const std::vector<unsigned>& px)
{
    const char* alphabet = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ+-";
    auto key = [](unsigned c) { return (c >> 20 & 15) << 8 | (c >> 12 & 15) << 4 | (c >> 4 & 15); };
    std::vector<bool> used(4096);
    int colours = 0;
    for (unsigned c : px)
        if (c >> 24 >= 128 && !used[key(c)])
            used[key(c)] = true, ++colours;
    std::fprintf(f, "static const char* nwd_icon_xpm[] = {\n\"%d %d %d 2\",\n\"   c None\",\n",
                 size, size, colours + 1);
    for (int k = 0; k < 4096; ++k)
        if (used[k])
            std::fprintf(f, "\"%c%c c #%X%X%X\",\n", alphabet[k >> 6], alphabet[k & 63], k >> 8,
                         k >> 4 & 15, k & 15);
    for (int y = 0; y < size; ++y) {
        std::fputc('"', f);
        for (int x = 0; x < size; ++x) {
            unsigned c = px[y * size + x];
            if (c >> 24 < 128)
                std::fputs("  ", f);
            else
                std::fprintf(f, "%c%c", alphabet[key(c) >> 6], alphabet[key(c) & 63]);
        }
        std::fprintf(f, "\"%s\n", y + 1 < size ? "," : "");
    }
    std::fprintf(f, "};\n");
}

}  // namespace

bool make_icons(const std::string& dir, const std::string& header)
{
    static const int sizes[] = {16, 24, 32, 48, 64, 128, 256};
    _png_compression_level = 9;
    for (int s : sizes)
        if (!write_png(dir + "/nightward-" + std::to_string(s) + ".png", s, render(s))) {
            diag("%s/nightward-%d.png: cannot write\n", dir.c_str(), s);
            return false;
        }
    std::string tmp = header + ".tmp";
    FILE* f = std::fopen(tmp.c_str(), "w");
    if (!f) {
        diag("%s: cannot write\n", header.c_str());
        return false;
    }
    std::fprintf(f,
                 "// Generated by nwd-gfxgen icon: the window's icon.\n#pragma once\n\n"
                 "// _NET_WM_ICON: width, height and ARGB pixels, for each size.\n"
                 "static const unsigned long nwd_icon_argb[] = {\n");
    for (int s : {16, 32, 48}) {
        std::vector<unsigned> px = render(s);
        std::fprintf(f, "%d, %d,", s, s);
        for (size_t i = 0; i < px.size(); ++i)
            std::fprintf(f, "%s0x%08X,", i % 8 ? " " : "\n", px[i]);
        std::fprintf(f, "\n");
    }
    std::fprintf(f, "};\n\n");
    write_xpm(f, 48, render(48));
    bool ok = std::fclose(f) == 0 && std::rename(tmp.c_str(), header.c_str()) == 0;
    if (!ok)
        diag("%s: cannot write\n", header.c_str());
    return ok;
}

}  // namespace gg
