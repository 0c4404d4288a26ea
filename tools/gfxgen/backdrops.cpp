// Background pictures: the skyline behind the junkyard and the van, the
// river seen from the bridge, the harbour behind the docks, the credits
// scenery and the ending's street. The backgrounds repeat seamlessly across
// their width.
#include <algorithm>
#include <cmath>

#include "tools/gfxgen/canvas.h"
#include "tools/gfxgen/scenery.h"

namespace gg {

namespace {

int wrapx(const Canvas& cv, int x) { return ((x % cv.w) + cv.w) % cv.w; }

void put(Canvas& cv, int x, int y, Rgb c) { cv.set(wrapx(cv, x), y, c); }

void fill(Canvas& cv, int x0, int y0, int x1, int y1, Rgb c)
{
    for (int y = std::max(0, y0); y <= std::min(cv.h - 1, y1); ++y)
        for (int x = x0; x <= x1; ++x)
            put(cv, x, y, c);
}

void sky(Canvas& cv, int y1, Rgb top, Rgb horizon, int seed, int star_rows)
{
    for (int y = 0; y < cv.h; ++y) {
        float t = std::min(1.0f, (float)y / y1);
        Rgb c = mix(top, horizon, t * t);
        for (int x = 0; x < cv.w; ++x)
            cv.set(x, y, c);
    }
    for (int k = 0; k < cv.w * star_rows / 90; ++k) {
        int x = (int)(noise(k, 0, seed) * cv.w), y = (int)(noise(k, 1, seed) * star_rows);
        float b = 0.3f + 0.7f * noise(k, 2, seed) * noise(k, 3, seed);
        cv.set(x, y, mix(cv.get(x, y), rgb(235, 238, 255), b));
        if (b > 0.8f) {  // a bright one twinkles with a cross
            for (int d = -1; d <= 1; d += 2) {
                put(cv, x + d, y, mix(cv.get(wrapx(cv, x + d), y), rgb(200, 210, 255), 0.4f));
                if (y + d >= 0)
                    put(cv, x, y + d, mix(cv.get(x, y + d), rgb(200, 210, 255), 0.4f));
            }
        }
    }
}

void moon(Canvas& cv, int mx, int my, int r)
{
    for (int y = my - r * 5; y <= my + r * 5; ++y)
        for (int x = mx - r * 5; x <= mx + r * 5; ++x) {
            if (y < 0 || y >= cv.h)
                continue;
            float d = std::sqrt((float)(x - mx) * (x - mx) + (float)(y - my) * (y - my)) / r;
            int xx = wrapx(cv, x);
            if (d <= 1) {
                float crater = smooth_noise((float)x, (float)y, 3, 96, 77);
                Rgb c = mix(rgb(250, 246, 220), rgb(190, 186, 170), crater * 0.8f);
                if (d > 0.85f)
                    c = mix(c, rgb(160, 160, 170), (d - 0.85f) * 4);
                cv.set(xx, y, c);
            } else if (d < 5) {
                float k = (5 - d) / 4;
                cv.set(xx, y, mix(cv.get(xx, y), rgb(120, 130, 170), k * k * 0.5f));
            }
        }
}

// A row of buildings: flat tops, some with roof details, lit windows in a
// grid. `wrap` keeps shapes seamless across the picture's edge.
void blocks(Canvas& cv, int base, int min_h, int max_h, Rgb body, Rgb lit, float lit_chance,
            int seed, int min_w, int max_w, int win)
{
    int x = 0, k = 0;
    while (x < cv.w) {
        int w = min_w + (int)(noise(k, 0, seed) * (max_w - min_w));
        if (cv.w - x - w < min_w)
            w = cv.w - x;  // the last block closes the loop
        int top = base - min_h - (int)(noise(k, 1, seed) * (max_h - min_h));
        float tone = 0.85f + 0.3f * noise(k, 2, seed);
        Rgb b = scale(body, tone);
        fill(cv, x, top, x + w - 1, base, b);
        fill(cv, x, top, x + w - 1, top, scale(b, 1.35f));
        int roof = (int)(noise(k, 3, seed) * 4);
        if (roof == 0) {  // antenna with a red light
            fill(cv, x + w / 2, top - 10, x + w / 2, top - 1, b);
            put(cv, x + w / 2, top - 11, rgb(255, 60, 50));
        } else if (roof == 1 && w > 14) {  // a water tank on legs
            fill(cv, x + 3, top - 9, x + 10, top - 4, scale(b, 1.1f));
            fill(cv, x + 4, top - 3, x + 4, top - 1, b);
            fill(cv, x + 9, top - 3, x + 9, top - 1, b);
            fill(cv, x + 3, top - 10, x + 10, top - 10, scale(b, 0.8f));
        } else if (roof == 2 && w > 10) {  // a stepped top
            fill(cv, x + 2, top - 5, x + w - 3, top - 1, b);
        }
        for (int wy = top + 3; wy < base - 1; wy += win + 1)
            for (int wx = x + 2; wx < x + w - 2; wx += win + 1)
                if (noise(wx, wy, seed + 5) < lit_chance) {
                    Rgb c = mix(lit, b, 0.3f * noise(wx, wy, seed + 6));
                    fill(cv, wx, wy, wx + win - 2, wy + (win > 2 ? 1 : 0), c);
                }
        x += w;
        ++k;
    }
}

// Haze that thickens towards the horizon line.
void haze(Canvas& cv, int y0, int y1, Rgb c, float k)
{
    for (int y = y0; y <= y1; ++y) {
        float t = (float)(y - y0) / std::max(1, y1 - y0);
        float a = k * std::sin(t * 3.14159f);
        for (int x = 0; x < cv.w; ++x)
            cv.set(x, y, mix(cv.get(x, y), c, a));
    }
}

// Water below `line`: dark, lightening towards the far shore, with ripples;
// lights on the shore above it stretch into broken streaks, and the moon
// (if moon_x >= 0) lays a path of glints.
void water(Canvas& cv, int line, Rgb deep, Rgb far, int seed, int moon_x)
{
    Canvas src = cv;
    for (int y = line; y < cv.h; ++y) {
        float depth = (float)(y - line) / std::max(1, cv.h - line);
        for (int x = 0; x < cv.w; ++x) {
            Rgb c = mix(far, deep, std::min(1.0f, depth * 2.5f));
            // The shore's dark mass mirrored just under the line.
            int sy = line - 1 - (y - line);
            if (sy >= 0 && y - line < 14)
                c = mix(c, scale(src.get(x, sy), 0.5f), 0.35f * (1 - (y - line) / 14.0f));
            float r = smooth_noise((float)x / 2, (float)y * 8, 8, cv.w / 2, seed);
            if (r > 0.7f)
                c = mix(c, far, 0.45f);
            cv.set(x, y, c);
        }
    }
    // Streaks under the lights within a few rows above the line.
    for (int sy = line - 40; sy < line; ++sy) {
        if (sy < 0)
            continue;
        for (int x = 0; x < cv.w; ++x) {
            Rgb l = src.get(x, sy);
            float lum = (l.r + l.g * 1.2f + l.b * 0.6f) / 700;
            if (lum < 0.5f)
                continue;
            int len = 4 + (int)(lum * 14) - (line - sy) / 5;
            int y0 = line + (line - sy) / 3;
            for (int k = 0; k < len; ++k) {
                int y = y0 + k;
                if (y >= cv.h || ((y + x) % 3) == 0)
                    continue;
                int jx = x + (int)std::lround(std::sin(y * 1.3f + x) * 1.2f);
                float a = 0.8f * (1 - (float)k / len);
                put(cv, jx, y, mix(cv.get(wrapx(cv, jx), y), l, a));
            }
        }
    }
    if (moon_x >= 0)
        for (int y = line + 2; y < cv.h; y += 3) {
            float spread = 4 + (y - line) * 0.5f;
            for (int k = 0; k < 2; ++k) {
                int x = moon_x + (int)((noise(y, k, seed) - 0.5f) * 2 * spread);
                int len = 1 + (int)(noise(y, k, seed + 1) * 3);
                for (int d = 0; d < len; ++d)
                    put(cv, x + d, y, mix(cv.get(wrapx(cv, x + d), y), rgb(220, 220, 200), 0.45f));
            }
        }
    for (int x = 0; x < cv.w; ++x)
        cv.set(x, line, mix(cv.get(x, line), rgb(14, 18, 30), 0.5f));
}

}  // namespace

BITMAP* paint_skyline()
{
    // Seen behind the junkyard and over the motorway's barrier, so the
    // interesting part sits in the upper half.
    Canvas cv(128, 112);
    sky(cv, 70, rgb(8, 8, 28), rgb(112, 64, 78), 11, 36);
    blocks(cv, 111, 64, 100, rgb(44, 38, 66), rgb(150, 120, 140), 0.18f, 12, 10, 26, 2);
    haze(cv, 20, 111, rgb(110, 70, 86), 0.3f);
    blocks(cv, 111, 44, 80, rgb(22, 18, 34), rgb(236, 186, 106), 0.2f, 13, 14, 30, 3);
    // Sodium glow of the city's streets along the bottom.
    for (int y = 80; y < 112; ++y)
        for (int x = 0; x < 128; ++x)
            cv.light(x, y, rgb(255, 140, 60), (y - 80) / 32.0f * 0.35f);
    return quantize(cv);
}

// A suspension bridge far down the river: two towers, the main cable
// sagging between them, lamps along the cable and the deck.
void far_bridge(Canvas& cv, int left, int right, int deck, int top)
{
    Rgb steel = rgb(24, 30, 50), lamp = rgb(255, 226, 160);
    int t1 = left + (right - left) / 4, t2 = right - (right - left) / 4;
    auto cable_y = [&](int x) {
        if (x < t1)
            return top + (deck - top) * (t1 - x) * (t1 - x) / ((t1 - left) * (t1 - left)) * 9 / 10;
        if (x > t2)
            return top +
                   (deck - top) * (x - t2) * (x - t2) / ((right - t2) * (right - t2)) * 9 / 10;
        float u = (float)(x - t1) / (t2 - t1) * 2 - 1;
        return top + (int)((deck - 4 - top) * (1 - u * u));
    };
    for (int x = left; x <= right; ++x) {
        int cy = std::min(deck - 2, cable_y(x));
        put(cv, x, cy, scale(steel, 1.6f));
        if ((x - left) % 5 == 0)
            for (int y = cy + 1; y < deck; ++y)
                put(cv, x, y, mix(cv.get(wrapx(cv, x), y), steel, 0.6f));
        if ((x - left) % 9 == 0)
            put(cv, x, cy, lamp);
        fill(cv, x, deck, x, deck + 2, steel);
        if ((x - left) % 4 == 0)
            put(cv, x, deck - 1, mix(lamp, steel, 0.3f));
    }
    for (int tx : {t1, t2}) {
        fill(cv, tx - 3, top - 4, tx - 2, deck + 10, steel);
        fill(cv, tx + 2, top - 4, tx + 3, deck + 10, steel);
        for (int y = top; y < deck; y += 12)
            fill(cv, tx - 2, y, tx + 2, y + 1, steel);
        put(cv, tx - 2, top - 5, rgb(255, 70, 60));
        put(cv, tx + 2, top - 5, rgb(255, 70, 60));
    }
    // Piers down to the water.
    for (int px = left + 20; px < right; px += 60)
        fill(cv, px, deck + 3, px + 2, deck + 10, steel);
}

BITMAP* paint_river()
{
    Canvas cv(384, 128);
    sky(cv, 84, rgb(4, 6, 22), rgb(34, 48, 84), 21, 60);
    moon(cv, 300, 22, 8);
    // The far shore: hazy towers, then lower blocks at the waterline.
    blocks(cv, 88, 16, 50, rgb(26, 32, 58), rgb(170, 190, 230), 0.16f, 22, 10, 28, 2);
    haze(cv, 40, 88, rgb(46, 60, 96), 0.25f);
    far_bridge(cv, 6, 250, 76, 34);
    blocks(cv, 88, 4, 16, rgb(14, 16, 30), rgb(255, 206, 120), 0.45f, 23, 8, 22, 2);
    water(cv, 89, rgb(4, 8, 20), rgb(24, 32, 58), 24, 300);
    return quantize(cv);
}

BITMAP* paint_harbour()
{
    Canvas cv(768, 208);
    sky(cv, 130, rgb(4, 8, 24), rgb(30, 56, 72), 31, 90);
    moon(cv, 180, 40, 13);
    // Thin clouds drift across the moon.
    for (int y = 20; y < 100; ++y)
        for (int x = 0; x < cv.w; ++x) {
            float n = smooth_noise((float)x, (float)y * 6, 64, 768, 32) - 0.62f;
            float lit =
                std::max(0.0f, 1 - std::abs(x - 180) / 160.0f);  // nearer the moon, brighter
            if (n > 0)
                cv.set(x, y,
                       mix(cv.get(x, y), mix(rgb(40, 50, 72), rgb(120, 130, 150), lit),
                           std::min(0.8f, n * 5)));
        }
    // The far shore and its lights.
    blocks(cv, 128, 6, 30, rgb(24, 34, 50), rgb(255, 210, 130), 0.3f, 33, 12, 40, 2);
    haze(cv, 90, 128, rgb(40, 70, 80), 0.35f);
    // Container cranes along the far quay: a gantry on four legs, a boom
    // reaching out over the water, warning lights.
    for (int c = 0; c < 3; ++c) {
        int x = 40 + c * 250 + (int)(noise(c, 0, 34) * 30), deck = 56 + (int)(noise(c, 1, 34) * 10);
        Rgb col = rgb(30, 42, 58), hi = rgb(52, 66, 86);
        for (int leg = 0; leg < 2; ++leg) {
            int lx = x + leg * 30;
            fill(cv, lx, deck, lx + 1, 127, col);
            fill(cv, lx, deck, lx, 127, hi);
        }
        for (int y = deck + 6; y < 124; y += 16) {  // cross bracing
            cv.line(x + 1, y, x + 30, y + 14, col);
            cv.line(x + 30, y, x + 1, y + 14, col);
        }
        fill(cv, x - 44, deck - 3, x + 56, deck, col);  // boom and back reach
        fill(cv, x - 44, deck - 3, x + 56, deck - 3, hi);
        fill(cv, x + 4, deck - 22, x + 27, deck - 4, col);  // the machinery house
        fill(cv, x + 14, deck - 34, x + 16, deck - 22, col);
        cv.line(x + 15, deck - 34, x - 44, deck - 4, col);
        cv.line(x + 15, deck - 34, x + 56, deck - 4, col);
        fill(cv, x + 2, deck + 1, x + 8, deck + 6, rgb(60, 70, 80));  // cab, lit
        fill(cv, x + 3, deck + 2, x + 7, deck + 4, rgb(255, 220, 150));
        put(cv, x + 15, deck - 36, rgb(255, 60, 50));
        put(cv, x - 44, deck - 5, rgb(255, 60, 50));
        put(cv, x + 56, deck - 5, rgb(255, 60, 50));
    }
    // A cargo ship moored across the water, lit along its decks.
    int sx = 420, sy = 128;
    Rgb hull = rgb(26, 30, 40);
    for (int y = sy - 18; y <= sy; ++y)
        fill(cv, sx + (sy - y) / 3, y, sx + 200 - (sy - y) / 4, y, hull);
    fill(cv, sx + 150, sy - 44, sx + 184, sy - 18, rgb(40, 46, 58));
    fill(cv, sx + 160, sy - 58, sx + 176, sy - 44, rgb(40, 46, 58));
    fill(cv, sx + 166, sy - 70, sx + 170, sy - 58, rgb(80, 40, 40));
    for (int k = 0; k < 5; ++k) {
        int cx = sx + 20 + k * 26;
        Rgb box = k % 2 ? rgb(110, 40, 36) : rgb(40, 70, 100);
        fill(cv, cx, sy - 30, cx + 22, sy - 19, scale(box, 0.7f));
    }
    for (int x = sx + 152; x < sx + 184; x += 4) {
        put(cv, x, sy - 38, rgb(255, 230, 160));
        put(cv, x, sy - 28, rgb(255, 230, 160));
    }
    for (int x = sx + 8; x < sx + 196; x += 7)
        put(cv, x, sy - 17, rgb(255, 220, 140));
    water(cv, 130, rgb(4, 10, 18), rgb(22, 40, 52), 35, 180);
    return quantize(cv);
}

BITMAP* paint_credits_scenery()
{
    // Three bands moving at their own speeds: sky, city, street. The names
    // rise over the sky band from row 33 down, so there it stays plain and
    // dark: the bright stars above it, only faint ones behind the text, a
    // low dusk and a skyline with few lights.
    const int text_top = 33;
    Canvas cv(128, 208);
    sky(cv, 140, rgb(4, 6, 24), rgb(36, 26, 56), 41, text_top - 4);
    for (int k = 0; k < 40; ++k) {
        int x = (int)(noise(k, 0, 44) * cv.w), y = text_top + (int)(noise(k, 1, 44) * 60);
        cv.set(x, y, mix(cv.get(x, y), rgb(200, 206, 240), 0.15f + 0.15f * noise(k, 2, 44)));
    }
    blocks(cv, 139, 6, 30, rgb(16, 16, 34), rgb(120, 104, 126), 0.06f, 45, 8, 20, 2);
    haze(cv, 100, 139, rgb(46, 34, 64), 0.3f);
    // An airliner's lights and a radio mast's beacon keep the far band alive.
    put(cv, 30, 48, rgb(255, 80, 70));
    put(cv, 34, 48, rgb(120, 255, 140));
    put(cv, 32, 47, rgb(255, 255, 255));
    fill(cv, 70, 112, 70, 139, rgb(28, 26, 48));
    put(cv, 70, 111, rgb(255, 70, 60));
    Canvas city(128, 47);
    // The far band's towers go on down behind the nearer roofs.
    sky(city, 47, rgb(30, 28, 50), rgb(60, 40, 80), 42, 0);
    blocks(city, 46, 47, 47, rgb(26, 26, 48), rgb(150, 130, 150), 0.1f, 47, 8, 20, 2);
    blocks(city, 46, 18, 44, rgb(40, 34, 62), rgb(200, 170, 170), 0.2f, 46, 10, 24, 2);
    haze(city, 10, 46, rgb(96, 60, 96), 0.3f);
    blocks(city, 46, 8, 30, rgb(20, 16, 30), rgb(255, 204, 120), 0.35f, 43, 12, 28, 3);
    for (int y = 30; y < 47; ++y)  // the streets' sodium glow from below
        for (int x = 0; x < 128; ++x)
            city.light(x, y, rgb(255, 150, 70), (y - 30) / 17.0f * 0.3f);
    cv.copy(city, 0, 0, 128, 47, 0, 140);
    Canvas street(128, 21);
    paving(street, 0, 127, 0, 20, rgb(90, 90, 100), 44, 14);
    street.glow(40, 2, 34, 10, rgb(255, 200, 120), 0.4f);
    street.glow(104, 2, 34, 10, rgb(255, 200, 120), 0.4f);
    cv.copy(street, 0, 0, 128, 21, 0, 187);
    return quantize(cv);
}

BITMAP* paint_ending(BITMAP* couple, BITMAP* van, int bg)
{
    // Drawn from (133, 132) on a flat night blue under the last caption:
    // the top and left edges melt into that blue so the city rises out of it.
    Canvas cv(187, 88);
    Rgb night = pal(bg);
    const int horizon = 62;
    sky(cv, horizon, night, rgb(170, 84, 92), 51, 30);
    moon(cv, 160, 14, 4);
    blocks(cv, horizon, 14, 44, rgb(40, 40, 74), rgb(170, 180, 220), 0.2f, 52, 8, 22, 2);
    haze(cv, 24, horizon, rgb(150, 84, 100), 0.3f);
    blocks(cv, horizon + 2, 6, 26, rgb(18, 16, 30), rgb(255, 204, 120), 0.35f, 53, 10, 26, 2);
    // The street: a pavement, then the road, wet under the lamps.
    paving(cv, 0, 186, horizon + 2, 87, rgb(84, 84, 96), 54, horizon + 10);
    for (int y = horizon + 11; y < 88; ++y)
        for (int x = 0; x < 187; ++x) {
            float sheen = smooth_noise((float)x, (float)y * 3, 16, 187, 55);
            cv.set(x, y, mix(rgb(20, 20, 28), rgb(46, 48, 66), sheen * sheen));
        }
    for (int x = 4; x < 187; x += 22)  // the centre line
        fill(cv, x, 82, x + 10, 82, rgb(150, 140, 100));
    Rgb sodium = rgb(255, 190, 110);
    street_lamp(cv, 36, horizon + 8, 26, sodium, 0);
    street_lamp(cv, 118, horizon + 8, 26, sodium, 0);
    // The gang's van, nose down against the far lamp, smoke and a last flame.
    // Drawn 8 px to the right of where it is read from: the library shifts
    // a negative place left, which is undefined.
    BITMAP* tilt = create_bitmap_ex(8, 96 + 8, 64);
    clear_to_color(tilt, 0);
    rotate_scaled_sprite(tilt, van, 0, 4, -itofix(14), ftofix(0.62f));
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 96; ++x) {
            int c = getpixel(tilt, x + 8, y);
            int px = 100 + x, py = 30 + y;
            if (c && cv.in(px, py))  // scorched in patches
                cv.set(px, py, scale(pal(c), 0.35f + 0.3f * noise(x / 3, y / 3, 56)));
        }
    destroy_bitmap(tilt);
    const int fire_x = 150, fire_y = 48;  // the engine, under the crumpled bonnet
    cv.glow(fire_x, fire_y, 22, 14, rgb(255, 120, 40), 0.6f);
    cv.glow(fire_x, 84, 26, 5, rgb(255, 120, 40), 0.4f);  // on the wet road
    for (int k = 0; k < 40; ++k) {  // smoke drifting up and away
        float t = k / 40.0f;
        int sx = fire_x + (int)(t * 26 + std::sin(t * 9) * 4), sy = fire_y - 4 - (int)(t * 44);
        Rgb smoke = mix(rgb(120, 110, 116), night, t);
        for (int dy = -4; dy <= 4; ++dy)
            for (int dx = -4; dx <= 4; ++dx)
                if (dx * dx + dy * dy <= 12 + (int)(t * 8) && cv.in(sx + dx, sy + dy))
                    cv.blend(sx + dx, sy + dy, smoke, 0.3f * (1 - t));
    }
    for (int k = 0; k < 7; ++k) {  // flames licking up out of it
        int fx = fire_x - 6 + k * 2, h = 3 + (int)(noise(k, 0, 57) * 7);
        cv.line(fx, fire_y + 2, fx + (k & 1), fire_y + 2 - h,
                mix(rgb(255, 236, 130), rgb(255, 90, 30), (float)std::abs(k - 3) / 3));
    }
    // The two of them in the lamp's pool, in their own palette colours.
    cv.glow(70, 84, 34, 8, sodium, 0.35f);
    int ox = 72 - couple->w / 2, oy = 86 - couple->h;
    for (int y = 0; y < couple->h; ++y)
        for (int x = 0; x < couple->w; ++x) {
            int c = getpixel(couple, x, y);
            if (c && cv.in(ox + x, oy + y))
                cv.set(ox + x, oy + y, c);
        }
    // Melt into the screen's blue; what is near that blue becomes it exactly,
    // since dithering it would draw the picture's edge.
    for (int y = 0; y < cv.h; ++y)
        for (int x = 0; x < cv.w; ++x) {
            if (cv.ix[y * cv.w + x] >= 0)
                continue;
            float f = std::max(std::max(0.0f, 1 - x / 40.0f), std::max(0.0f, 1 - y / 12.0f));
            Rgb c = mix(cv.get(x, y), night, f);
            float d = std::abs(c.r - night.r) + std::abs(c.g - night.g) + std::abs(c.b - night.b);
            if (f >= 0.85f || d < 18)
                cv.set(x, y, bg);
            else
                cv.set(x, y, c);
        }
    return quantize(cv);
}

}  // namespace gg
