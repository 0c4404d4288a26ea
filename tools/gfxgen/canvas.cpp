// The level canvas: painting in RGB, matching to the palette, tiling.
#include "tools/gfxgen/canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "tools/gfxgen/gfxgen.h"

namespace gg {

Rgb rgb(int r, int g, int b) { return {(float)r, (float)g, (float)b}; }

Rgb pal(int i)
{
    const RGB& p = game_pal[i & 255];
    return {p.r * 255.0f / 63, p.g * 255.0f / 63, p.b * 255.0f / 63};
}

Rgb mix(Rgb a, Rgb b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb scale(Rgb a, float k) { return {a.r * k, a.g * k, a.b * k}; }

Canvas::Canvas(int w_, int h_, int top_) : w(w_), h(h_), top(top_), c(w_ * h_), ix(w_ * h_, -2) {}

void Canvas::set(int x, int y, Rgb v)
{
    if (!in(x, y))
        return;
    c[y * w + x] = v;
    ix[y * w + x] = -1;
}

void Canvas::set(int x, int y, int index)
{
    if (!in(x, y))
        return;
    c[y * w + x] = pal(index);
    ix[y * w + x] = (short)index;
}

void Canvas::clear(int x, int y)
{
    if (in(x, y))
        ix[y * w + x] = -2;
}

void Canvas::blend(int x, int y, Rgb v, float a)
{
    if (!in(x, y))
        return;
    if (!opaque(x, y))
        return set(x, y, v);
    set(x, y, mix(get(x, y), v, a));
}

void Canvas::light(int x, int y, Rgb v, float k)
{
    if (!opaque(x, y) || k <= 0)
        return;
    Rgb o = get(x, y);
    // Light brightens what is there in proportion to its own colour, plus a
    // little of the light's colour, so dark walls stay dark but warm up.
    float lum = (o.r + o.g + o.b) / 765.0f;
    float f = k * (0.35f + lum);
    set(x, y,
        {std::min(255.0f, o.r + v.r * f), std::min(255.0f, o.g + v.g * f),
         std::min(255.0f, o.b + v.b * f)});
}

void Canvas::dim(int x, int y, float k)
{
    if (opaque(x, y))
        set(x, y, scale(get(x, y), k));
}

void Canvas::rect(int x0, int y0, int x1, int y1, Rgb v)
{
    for (int y = std::max(0, y0); y <= std::min(h - 1, y1); ++y)
        for (int x = std::max(0, x0); x <= std::min(w - 1, x1); ++x)
            set(x, y, v);
}

void Canvas::rect(int x0, int y0, int x1, int y1, int index)
{
    for (int y = std::max(0, y0); y <= std::min(h - 1, y1); ++y)
        for (int x = std::max(0, x0); x <= std::min(w - 1, x1); ++x)
            set(x, y, index);
}

void Canvas::line(int x0, int y0, int x1, int y1, Rgb v)
{
    int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1, err = dx + dy;
    for (;;) {
        set(x0, y0, v);
        if (x0 == x1 && y0 == y1)
            break;
        int e2 = 2 * err;
        if (e2 >= dy)
            err += dy, x0 += sx;
        if (e2 <= dx)
            err += dx, y0 += sy;
    }
}

void Canvas::vgrad(int x0, int y0, int x1, int y1, Rgb a, Rgb b)
{
    for (int y = y0; y <= y1; ++y)
        hline(x0, x1, y, mix(a, b, y1 > y0 ? (float)(y - y0) / (y1 - y0) : 0));
}

void Canvas::disc(int cx, int cy, int r, Rgb v) { ellipse(cx, cy, r, r, v); }

void Canvas::ellipse(int cx, int cy, int rx, int ry, Rgb v)
{
    for (int y = -ry; y <= ry; ++y)
        for (int x = -rx; x <= rx; ++x)
            if ((float)x * x / ((rx + 0.5f) * (rx + 0.5f)) +
                    (float)y * y / ((ry + 0.5f) * (ry + 0.5f)) <=
                1)
                set(cx + x, cy + y, v);
}

void Canvas::glow(int cx, int cy, int rx, int ry, Rgb v, float k)
{
    for (int y = cy - ry; y <= cy + ry; ++y)
        for (int x = cx - rx; x <= cx + rx; ++x) {
            float dx = (float)(x - cx) / rx, dy = (float)(y - cy) / ry;
            float d = dx * dx + dy * dy;
            if (d < 1)
                light(x, y, v, k * (1 - d) * (1 - d) * (1 - d));
        }
}

void Canvas::shade_rect(int x0, int y0, int x1, int y1, float k)
{
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            dim(x, y, k);
}

int text_w(const std::string& s, int scale) { return text_width(s.c_str(), scale) - scale; }

int Canvas::text(const std::string& s, int x, int y, Rgb v, int scale)
{
    int tw = text_width(s.c_str(), scale);
    BITMAP* b = create_bitmap_ex(8, tw + 2, 7 * scale + 2);
    clear_to_color(b, 0);
    const int rows[7] = {1, 1, 1, 1, 1, 1, 1};
    draw_text(b, s.c_str(), 0, 0, rows, -1, scale);
    for (int yy = 0; yy < b->h; ++yy)
        for (int xx = 0; xx < b->w; ++xx)
            if (getpixel(b, xx, yy))
                set(x + xx, y + yy, v);
    destroy_bitmap(b);
    return tw - scale;
}

void Canvas::copy(const Canvas& src, int sx, int sy, int cw, int ch, int dx, int dy)
{
    for (int y = 0; y < ch; ++y)
        for (int x = 0; x < cw; ++x) {
            if (!src.opaque(sx + x, sy + y) || !in(dx + x, dy + y))
                continue;
            int i = (sy + y) * src.w + sx + x, o = (dy + y) * w + dx + x;
            c[o] = src.c[i];
            ix[o] = src.ix[i];
        }
}

namespace {

const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

// Colours a level may be matched to: all but transparent 0, the loud marker
// red and the font sheet's grid colour.
bool usable(int i) { return i != 0 && i != 110 && i != 255; }

int nearest(Rgb v)
{
    int best = 127;
    float bd = 1e30f;
    for (int i = 1; i < 255; ++i) {
        if (!usable(i))
            continue;
        Rgb p = pal(i);
        float dr = v.r - p.r, dg = v.g - p.g, db = v.b - p.b;
        float d = 2 * dr * dr + 4 * dg * dg + 3 * db * db;
        if (d < bd)
            bd = d, best = i;
    }
    return best;
}

}  // namespace

BITMAP* quantize(const Canvas& cv)
{
    static std::vector<short> cache;
    cache.assign(64 * 64 * 64, -1);
    BITMAP* b = create_bitmap_ex(8, cv.w, cv.h);
    for (int y = 0; y < cv.h; ++y)
        for (int x = 0; x < cv.w; ++x) {
            int i = y * cv.w + x;
            if (cv.ix[i] == -2) {
                putpixel(b, x, y, 0);
                continue;
            }
            if (cv.ix[i] >= 0) {
                putpixel(b, x, y, cv.ix[i]);
                continue;
            }
            // Ordered dither keyed to the pixel's position: tiles stay repeatable.
            float t = ((bayer[y & 3][x & 3] + 0.5f) / 16 - 0.5f) * 14;
            Rgb v = cv.c[i];
            int r = std::clamp((int)(v.r + t), 0, 255) >> 2,
                g = std::clamp((int)(v.g + t), 0, 255) >> 2,
                bl = std::clamp((int)(v.b + t), 0, 255) >> 2;
            short& k = cache[(r << 12) | (g << 6) | bl];
            if (k < 0)
                k = (short)nearest({r * 4.0f + 2, g * 4.0f + 2, bl * 4.0f + 2});
            putpixel(b, x, y, k);
        }
    return b;
}

uint32_t hash3(int x, int y, int z)
{
    uint32_t h = (uint32_t)x * 374761393u + (uint32_t)y * 668265263u + (uint32_t)z * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

float noise(int x, int y, int z) { return (hash3(x, y, z) & 0xFFFF) / 65535.0f; }

float smooth_noise(float x, float y, int cell, int period, int seed)
{
    int n = std::max(1, period / cell);
    float fx = x / cell, fy = y / cell;
    int ix0 = (int)std::floor(fx), iy0 = (int)std::floor(fy);
    float tx = fx - ix0, ty = fy - iy0;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    auto at = [&](int i, int j) { return noise(((i % n) + n) % n, ((j % n) + n) % n, seed); };
    float a = at(ix0, iy0) + (at(ix0 + 1, iy0) - at(ix0, iy0)) * tx;
    float b = at(ix0, iy0 + 1) + (at(ix0 + 1, iy0 + 1) - at(ix0, iy0 + 1)) * tx;
    return a + (b - a) * ty;
}

Tiler::Tiler()
{
    tiles.emplace_back(TILE * TILE, 0);
    numbers[tiles[0]] = 0;
}

int Tiler::add(BITMAP* b, int x, int y)
{
    std::vector<uint8_t> t(TILE * TILE);
    for (int r = 0; r < TILE; ++r)
        for (int k = 0; k < TILE; ++k)
            t[r * TILE + k] = (uint8_t)getpixel(b, x + k, y + r);
    auto it = numbers.find(t);
    if (it != numbers.end())
        return it->second;
    tiles.push_back(t);
    return numbers[t] = (int)tiles.size() - 1;
}

BITMAP* Tiler::sheet() const
{
    int n = (int)tiles.size();
    BITMAP* b = create_bitmap_ex(8, 640, (n + 39) / 40 * TILE);
    clear_to_color(b, 0);
    for (int t = 0; t < n; ++t)
        for (int r = 0; r < TILE; ++r)
            for (int k = 0; k < TILE; ++k)
                putpixel(b, t % 40 * TILE + k, t / 40 * TILE + r, tiles[t][r * TILE + k]);
    return b;
}

int Piece::num(const std::string& key, int dflt) const
{
    auto it = opt.find(key);
    if (it == opt.end())
        return dflt;
    used[key] = true;
    return std::atoi(it->second.c_str());
}

std::string Piece::str(const std::string& key, const std::string& dflt) const
{
    auto it = opt.find(key);
    if (it == opt.end())
        return dflt;
    used[key] = true;
    return it->second;
}

bool Piece::flag(const std::string& key) const
{
    auto it = opt.find(key);
    if (it == opt.end())
        return false;
    used[key] = true;
    return it->second != "0" && it->second != "no";
}

Painter find_painter(const std::string& kind)
{
    for (const PainterEntry* t :
         {city_pieces, junk_pieces, bridge_pieces, downtown_pieces, dock_pieces})
        for (; t->kind; ++t)
            if (kind == t->kind)
                return t->paint;
    return nullptr;
}

void night_sky(Canvas& cv, int x0, int x1, int y1, int seed, Rgb top, Rgb bottom)
{
    for (int y = 0; y <= y1; ++y) {
        float t = (float)(y + cv.top) / (y1 + cv.top + 1);
        cv.hline(x0, x1, y, mix(top, bottom, t * t));
    }
    stars(cv, x0, x1, y1 * 2 / 3, seed, 30);
}

void stars(Canvas& cv, int x0, int x1, int y1, int seed, int chance)
{
    // A few star patterns per tile, chosen by tile: the sky repeats rarely.
    for (int ty = 0; ty * TILE <= y1; ++ty)
        for (int tx = x0 / TILE; tx * TILE <= x1; ++tx) {
            int v = hash3(tx, ty, seed) % 100;
            if (v >= chance)
                continue;
            int pat = v % 5;
            for (int k = 0; k < 2; ++k) {
                int x = tx * TILE + hash3(pat, k, 7) % 16, y = ty * TILE + hash3(pat, k, 9) % 16;
                if (x < x0 || x > x1 || y > y1)
                    continue;
                float b = 0.35f + 0.5f * noise(pat, k, 3);
                cv.set(x, y, mix(cv.get(x, y), rgb(230, 235, 255), b));
            }
        }
}

}  // namespace gg
