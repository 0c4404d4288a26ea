// Junkyard pieces: scrap heaps against the skyline, stacked wrecks, a crane
// with a magnet, the crusher, floodlights, dirt and the low things of the
// foreground layer.
#include <algorithm>
#include <cmath>

#include "tools/gfxgen/city.h"
#include "tools/gfxgen/scenery.h"

namespace gg {

namespace {

const Rgb kRust = {118, 58, 30}, kDarkRust = {62, 34, 24}, kSodium = {255, 150, 60};

Rgb rusty(int x, int y, Rgb paint, float amount, int seed)
{
    float n = smooth_noise((float)x, (float)y, 4, 64, seed);
    float speck = noise(x & 63, y & 63, seed + 1);
    Rgb c = mix(paint, n > 0.5f ? kRust : kDarkRust, std::min(1.0f, amount * (0.5f + n)));
    return scale(c, 0.9f + 0.2f * speck);
}

// A car seen from the side, wheels down at `bottom`; flipped upside down
// when `roof_down` (wrecks get stacked any way up).
void car(Canvas& cv, int x, int bottom, int w, Rgb paint, int seed, bool roof_down, float rust)
{
    int h = 18;
    for (int yy = 0; yy < h; ++yy) {
        int ly = roof_down ? h - 1 - yy : yy;  // 0 = roof line, h-1 = sills
        int y = bottom - h + 1 + yy;
        int inset = ly < 7 ? (7 - ly) + w / 6 : ly < 9 ? 1 : 0;  // the cabin narrows upwards
        int left = x + inset + (ly < 7 ? w / 10 : 0), right = x + w - 1 - inset;
        if (ly >= 14)
            left = x + 1, right = x + w - 2;
        for (int xx = left; xx <= right; ++xx) {
            Rgb c = rusty(xx, y, paint, rust, seed);
            if (ly < 7 && ly > 1 && xx > left + 1 && xx < right - 1) {
                bool pillar = std::abs(xx - (left + right) / 2) < 1;
                c = pillar ? scale(c, 0.7f) : rgb(16, 18, 26);  // empty window frames
                if (!pillar && noise(xx, y, seed + 3) < 0.08f)
                    c = rgb(70, 80, 96);  // glass shards
            }
            if (ly == 9)
                c = scale(c, 1.3f);  // the waist line catches light
            if (ly == 0 || xx == left)
                c = scale(c, 1.25f);
            if (xx == right || ly == h - 1)
                c = scale(c, 0.6f);
            cv.set(xx, y, c);
        }
    }
    // Wheel arches, with or without wheels.
    int wy = roof_down ? bottom - h + 3 : bottom - 2;
    for (int cx : {x + w / 5, x + w - w / 5}) {
        bool wheel = noise(cx, bottom, seed) < 0.6f;
        cv.disc(cx, wy, 5, rgb(14, 14, 18));
        if (wheel) {
            cv.disc(cx, wy, 4, rgb(30, 30, 34));
            cv.disc(cx, wy, 2, rgb(90, 90, 96));
        }
    }
    // A door hanging open or missing.
    if (noise(x, seed, 9) < 0.35f) {
        int dx = x + w / 2 - 4;
        cv.rect(dx, bottom - 10, dx + 8, bottom - 4, rgb(20, 18, 20));
    }
}

// Ragged mound outline: height at x from a few octaves of periodic noise.
int mound_top(int x, int base, int low, int high, int seed)
{
    float n = 0.6f * smooth_noise((float)x, 0, 32, 4096, seed) +
              0.3f * smooth_noise((float)x, 0, 8, 4096, seed + 1) + 0.1f * noise(x, 0, seed + 2);
    return base - low - (int)(n * (high - low));
}

void junk_texture(Canvas& cv, int x, int y, int top, int seed)
{
    // Plates and bits of scrap in rusty browns, lit from above.
    int cx = x >> 3, cy = (y + (cx & 1) * 3) >> 2;
    float n = noise(cx & 7, cy & 15, seed);
    Rgb base = n < 0.3f    ? kDarkRust
               : n < 0.55f ? rgb(70, 66, 64)
               : n < 0.7f  ? kRust
               : n < 0.8f  ? rgb(60, 70, 84)
                           : rgb(44, 38, 36);
    float tone = 0.55f + 0.25f * noise(x & 63, y & 63, seed + 1);
    if (((y + (cx & 1) * 3) & 3) == 0)
        tone *= 1.3f;
    if ((x & 7) == 0)
        tone *= 0.7f;
    float depth = std::min(1.0f, (y - top) / 40.0f);
    cv.set(x, y, scale(base, tone * (1 - depth * 0.35f)));
}

void piece_heaps(Street&, Canvas& cv, const Piece& p)
{
    int base = p.num("base", GROUND_Y - 1), low = p.num("low", 40), high = p.num("high", 70);
    int seed = p.num("seed", 3);
    for (int x = x0_of(p); x <= x1_of(p); ++x) {
        int top = mound_top(x, base, low, high, seed);
        for (int y = std::max(0, top); y <= base; ++y)
            junk_texture(cv, x, y, top, seed);
        cv.set(x, top, scale(kSodium, 0.45f));  // the rim catches the floodlights
        cv.set(x, top + 1, mix(cv.get(x, top + 1), kSodium, 0.2f));
    }
    // Things sticking out of the heaps: pipes, a wheel, a fridge.
    for (int k = 0; k < p.width / 3; ++k) {
        int x = x0_of(p) + (int)(noise(p.col, k, seed) * (p.width * TILE - 20)) + 10;
        int top = mound_top(x, base, low, high, seed);
        int kind = hash3(p.col, k, seed) % 4;
        if (kind == 0) {
            int len = 10 + (int)(noise(p.col, k, seed + 1) * 14), dir = k % 2 ? 1 : -1;
            for (int t = 0; t < len; ++t) {
                cv.set(x + dir * t / 2, top + 4 - t, rgb(70, 74, 80));
                cv.set(x + dir * t / 2 + 1, top + 4 - t, rgb(110, 112, 118));
            }
        } else if (kind == 1) {
            cv.disc(x, top + 2, 5, rgb(20, 20, 22));
            cv.disc(x, top + 2, 2, rgb(80, 80, 84));
        } else if (kind == 2) {
            cv.rect(x - 4, top - 8, x + 4, top + 6, rgb(150, 150, 140));
            cv.rect(x - 3, top - 7, x + 3, top - 3, rgb(120, 120, 112));
            cv.vline(x + 2, top - 2, top + 4, rgb(60, 60, 60));
        } else {
            car(cv, x - 16, top + 8, 32, rgb(70, 80, 100), k, true, 0.7f);
        }
    }
}

void piece_wrecks(Street&, Canvas& cv, const Piece& p)
{
    static const Rgb paints[] = {{62, 80, 112}, {120, 40, 36},  {60, 90, 62}, {150, 138, 104},
                                 {90, 90, 96},  {130, 100, 40}, {40, 50, 70}};
    int stack = p.num("stack", 3), base = p.num("base", GROUND_Y - 1);
    int w = p.width * TILE;
    for (int k = 0; k < stack; ++k) {
        int cw = w - 4 - (int)(noise(p.col, k, 51) * 8);
        int cx = x0_of(p) + 2 + (int)((noise(p.col, k, 52) - 0.5f) * 8);
        Rgb paint = paints[hash3(p.col, k, 53) % 7];
        car(cv, cx, base - k * 17, cw, paint, p.col * 5 + k, k % 2 == 1, 0.35f + 0.1f * k);
    }
}

void piece_tyres(Street&, Canvas& cv, const Piece& p)
{
    int base = p.num("base", GROUND_Y - 1), high = p.num("high", 4);
    for (int x = x0_of(p) + 6; x + 6 <= x1_of(p); x += 13) {
        int n = 1 + (int)(noise(x, 0, 61) * high);
        for (int k = 0; k < n; ++k) {
            int y = base - 3 - k * 6;
            cv.ellipse(x, y, 6, 3, rgb(22, 22, 24));
            cv.hline(x - 5, x + 5, y - 3, rgb(54, 54, 58));
            cv.ellipse(x, y, 2, 1, rgb(8, 8, 10));
        }
    }
}

// A crawler crane whose lattice boom rises out of the picture; a magnet
// hangs from it with a car.
void piece_crane(Street&, Canvas& cv, const Piece& p)
{
    int x0 = x0_of(p), base = p.num("base", GROUND_Y - 1);
    Rgb yellow = rgb(176, 128, 30), dark = rgb(40, 34, 30);
    // Tracks and the cab.
    cv.rect(x0 + 4, base - 10, x0 + 60, base, dark);
    for (int x = x0 + 6; x < x0 + 60; x += 4)
        cv.vline(x, base - 9, base - 1, rgb(70, 64, 58));
    cv.rect(x0 + 8, base - 40, x0 + 56, base - 11, yellow);
    cv.rect(x0 + 8, base - 40, x0 + 56, base - 39, scale(yellow, 1.3f));
    cv.rect(x0 + 36, base - 56, x0 + 56, base - 40, scale(yellow, 0.9f));
    cv.rect(x0 + 40, base - 52, x0 + 53, base - 44, rgb(255, 210, 140));  // lit cab window
    for (int x = x0 + 10; x < x0 + 34; x += 6)
        cv.rect(x, base - 34, x + 3, base - 16, scale(yellow, 0.6f));
    for (int y = base - 38; y < base - 10; ++y)
        for (int x = x0 + 8; x <= x0 + 56; ++x)
            cv.set(x, y, rusty(x, y, cv.get(x, y), 0.25f, 71));
    // The boom: two chords with zigzag bracing, from the cab up to the top.
    int bx = x0 + 20, by = base - 40, tx = x0 + p.width * TILE - 10, ty = -4;
    for (int t = 0; t <= 100; ++t) {
        int x = bx + (tx - bx) * t / 100, y = by + (ty - by) * t / 100;
        cv.set(x, y, yellow);
        cv.set(x + 5, y + 3, scale(yellow, 0.7f));
        if (t % 6 == 0)
            cv.line(x, y, x + 5 + (tx - bx) * 3 / 100, y + 3 + (ty - by) * 3 / 100,
                    scale(yellow, 0.8f));
    }
    // Cable, magnet and a car hanging from it.
    int hx = tx - 2;
    int hy = p.num("hook", 70);
    cv.vline(hx, 0, hy - 8, rgb(30, 30, 30));
    cv.line(hx, hy - 8, hx - 8, hy, rgb(30, 30, 30));
    cv.line(hx, hy - 8, hx + 8, hy, rgb(30, 30, 30));
    cv.ellipse(hx, hy + 2, 12, 3, rgb(60, 60, 64));
    cv.hline(hx - 11, hx + 11, hy, rgb(120, 120, 126));
    if (p.flag("car"))
        car(cv, hx - 20, hy + 23, 40, rgb(120, 40, 36), 77, false, 0.5f);
}

void piece_crusher(Street&, Canvas& cv, const Piece& p)
{
    int x0 = x0_of(p), x1 = x1_of(p), base = p.num("base", GROUND_Y - 1);
    Rgb yellow = rgb(170, 124, 28), steel = rgb(70, 74, 82);
    int top = base - 80;
    // The press: a heavy box with a chamber open at the front; its top seen
    // from a little above, a hopper on it.
    for (int y = top; y <= base; ++y)
        for (int x = x0; x <= x1; ++x)
            cv.set(x, y, rusty(x, y, yellow, 0.3f, 81));
    for (int k = 0; k < 10; ++k) {
        int y = top - 10 + k;
        for (int x = x0 + 10 - k; x <= x1 - 10 + k; ++x)
            cv.set(x, y, rusty(x, y, scale(yellow, 1.25f), 0.25f, 83));
    }
    cv.rect(x0, top, x1, top + 2, scale(yellow, 0.7f));
    for (int k = 0; k < 24; ++k)  // the hopper's open mouth
        cv.hline(
            x0 + 30 - k / 2, x0 + 90 + k / 2, top - 10 - k,
            k == 23 ? rgb(200, 160, 60) : rusty(x0 + k, top - k, scale(yellow, 0.8f), 0.5f, 84));
    cv.rect(x0 + 20, top - 36, x0 + 100, top - 33, rgb(30, 26, 24));
    int cx0 = x0 + 12, cx1 = x1 - 40;
    cv.rect(cx0, base - 36, cx1, base - 4, rgb(22, 20, 20));  // the chamber
    for (int x = cx0 + 2; x < cx1; x += 7)
        cv.vline(x, base - 34, base - 6, rgb(40, 36, 34));
    // A car half crushed inside.
    for (int y = base - 14; y < base - 4; ++y)
        for (int x = cx0 + 4; x < cx1 - 4; ++x)
            cv.set(x, y, rusty(x, y, rgb(62, 80, 112), 0.6f, 82));
    // Hydraulic rams above the chamber.
    for (int k = 0; k < 3; ++k) {
        int rx = cx0 + 10 + k * (cx1 - cx0 - 20) / 2;
        cv.rect(rx - 3, top + 6, rx + 3, base - 40, steel);
        cv.vline(rx - 2, top + 6, base - 40, rgb(140, 146, 156));
        cv.rect(rx - 5, base - 40, rx + 5, base - 37, rgb(50, 52, 58));
    }
    // Hazard stripes and the control box.
    for (int x = x0; x <= x1; ++x)
        for (int y = base - 3; y <= base; ++y)
            cv.set(x, y, ((x + y) / 4) % 2 ? rgb(30, 28, 26) : rgb(200, 160, 40));
    cv.rect(x1 - 34, top + 10, x1 - 6, top + 40, rgb(60, 64, 70));
    cv.rect(x1 - 30, top + 14, x1 - 10, top + 22, rgb(255, 200, 120));
    cv.set(x1 - 28, top + 30, rgb(255, 60, 40));
    cv.set(x1 - 24, top + 30, rgb(80, 255, 80));
    sign(cv, x0 + 10, top + 8, x0 + 10 + text_w("CRUSHER") + 8, top + 20, "CRUSHER",
         rgb(30, 28, 26), rgb(220, 180, 60));
}

// Crushed cars pressed into bales, stacked.
void piece_cubes(Street&, Canvas& cv, const Piece& p)
{
    static const Rgb paints[] = {
        {62, 80, 112}, {120, 40, 36}, {60, 90, 62}, {150, 138, 104}, {90, 90, 96}};
    int base = p.num("base", GROUND_Y - 1), rows = p.num("high", 3);
    for (int r = 0; r < rows; ++r)
        for (int x = x0_of(p) + (r % 2) * 8; x + 22 <= x1_of(p) + 1; x += 24) {
            if (r > 0 && noise(x, r, 91) < 0.3f)
                continue;
            int y1 = base - r * 18, y0 = y1 - 17;
            Rgb paint = paints[hash3(x, r, 92) % 5];
            for (int y = y0; y <= y1; ++y)
                for (int xx = x; xx < x + 22; ++xx) {
                    Rgb c = rusty(xx, y, paint, 0.45f, 93);
                    if ((y - y0) % 3 == 0)
                        c = scale(c, 0.6f);  // crumpled layers
                    if (xx == x || y == y0)
                        c = scale(c, 1.3f);
                    cv.set(xx, y, c);
                }
        }
}

// The yard office: a cabin with a lit window and the yard's sign.
void piece_hut(Street& s, Canvas& cv, const Piece& p)
{
    int x0 = x0_of(p), x1 = x1_of(p), base = p.num("base", GROUND_Y - 1);
    int top = base - 46;
    corrugated(cv, x0, top, x1, base, rgb(70, 90, 86), 101);
    cv.rect(x0 - 2, top - 3, x1 + 2, top, rgb(50, 54, 56));
    window(cv, x0 + 8, top + 10, 22, 16, 3, 1, rgb(40, 44, 46));
    door(cv, x1 - 22, base - 36, 16, 36, rgb(70, 80, 76), false, 7);
    std::string text = p.str("sign", "SALVAGE");
    sign(cv, x0, top - 16, x1, top - 4, text, scale(colour_opt(s, p, "signcolor", "yellow"), 0.8f),
         rgb(30, 26, 24));
    cv.rect(x0 + 4, top - 4, x0 + 5, top - 1, rgb(40, 40, 40));
    cv.rect(x1 - 5, top - 4, x1 - 4, top - 1, rgb(40, 40, 40));
}

void piece_floodlight(Street& s, Canvas& cv, const Piece& p)
{
    int x = x0_of(p) + p.num("dx", 8), base = p.num("base", GROUND_Y + 2), top = p.num("top", 30);
    Rgb light = colour_opt(s, p, "color", "sodium");
    cv.glow(x, top + 10, 90, 110, light, 0.45f);
    cv.glow(x, base + 24, 130, 40, light, 0.22f);
    Rgb metal = rgb(40, 40, 44);
    cv.rect(x - 1, top, x + 1, base, metal);
    cv.vline(x - 1, top, base, rgb(90, 90, 96));
    cv.rect(x - 10, top - 2, x + 10, top, metal);
    for (int k = -9; k <= 9; k += 6) {
        cv.rect(x + k - 2, top - 8, x + k + 2, top - 3, metal);
        cv.rect(x + k - 1, top - 4, x + k + 1, top - 3, rgb(255, 240, 200));
    }
}

void piece_dirt(Street&, Canvas& cv, const Piece& p)
{
    int top = p.num("top", GROUND_Y), bottom = cv.h - 1;
    for (int y = top; y <= bottom; ++y)
        for (int x = x0_of(p); x <= x1_of(p); ++x) {
            float n = smooth_noise((float)x, (float)y * 2, 16, 64, 111);
            float patch = smooth_noise((float)x, (float)y * 3, 32, 128, 113);
            Rgb c = mix(mix(rgb(58, 50, 44), rgb(74, 68, 60), n), rgb(70, 56, 40),
                        patch > 0.6f ? 0.5f : 0.0f);
            float g = noise(x & 63, y & 63, 112);
            if (g > 0.93f)
                c = scale(c, 1.25f);  // gravel catching light
            else if (g < 0.05f)
                c = scale(c, 0.75f);
            // Tyre tracks of the yard's trucks.
            int ty = y - top;
            if ((ty >= 20 && ty < 26) || (ty >= 40 && ty < 47)) {
                c = scale(c, 0.85f);
                if ((x + ty) % 6 == 0)
                    c = scale(c, 0.85f);
            }
            cv.set(x, y, c);
        }
    shadow_band(cv, x0_of(p), x1_of(p), top, 6, 0.45f);
}

// Bits of scrap lying flat on the ground: hubcaps, bolts, a plank, a pipe.
void piece_scrap(Street&, Canvas& cv, const Piece& p)
{
    int x0 = x0_of(p), w = p.width * TILE, y0 = p.num("y", 156), h = p.num("h", 40);
    for (int k = 0; k < p.width; ++k) {
        int x = x0 + (int)(noise(p.col, k, 141) * (w - 12)) + 6,
            y = y0 + (int)(noise(p.col, k, 142) * h);
        switch (hash3(p.col, k, 143) % 4) {
        case 0:  // hubcap
            cv.ellipse(x, y, 4, 2, rgb(96, 98, 104));
            cv.ellipse(x, y, 2, 1, rgb(60, 62, 68));
            cv.hline(x - 3, x + 1, y - 2, rgb(136, 138, 144));
            break;
        case 1:  // bolts and nuts
            for (int b = 0; b < 3; ++b)
                cv.set(x + b * 3, y + (b & 1), rgb(110, 100, 90));
            break;
        case 2:  // a plank
            cv.rect(x - 8, y, x + 8, y + 1, rgb(100, 70, 42));
            cv.hline(x - 8, x + 8, y, rgb(130, 92, 56));
            break;
        default:  // a bent pipe
            cv.line(x - 6, y + 1, x, y, rgb(80, 84, 90));
            cv.line(x, y, x + 5, y - 2, rgb(80, 84, 90));
            break;
        }
        cv.hline(x - 4, x + 4, y + 3, scale(rgb(58, 50, 44), 0.7f));  // its shadow
    }
}

// Oil spilt on the dirt: dark with a rainbow sheen.
void piece_oil(Street&, Canvas& cv, const Piece& p)
{
    int cx = x0_of(p) + p.num("dx", 8), cy = p.num("y", 180), rx = p.num("w", 14),
        ry = p.num("h", 4);
    static const Rgb sheen[] = {{90, 40, 110}, {40, 90, 110}, {50, 110, 60}, {110, 90, 30}};
    for (int y = cy - ry; y <= cy + ry; ++y)
        for (int x = cx - rx; x <= cx + rx; ++x) {
            float dx = (float)(x - cx) / rx, dy = (float)(y - cy) / ry;
            float d = dx * dx + dy * dy;
            if (d > 1)
                continue;
            Rgb c = rgb(16, 16, 20);
            int band = (int)(d * 6 + smooth_noise((float)x, (float)y, 4, 64, 5) * 2);
            if (band % 3 == 1)
                c = mix(c, sheen[(band / 3) % 4], 0.6f);
            cv.set(x, y, c);
        }
}

void piece_drums(Street&, Canvas& cv, const Piece& p)
{
    int base = p.num("base", GROUND_Y + 2);
    static const Rgb paints[] = {{40, 70, 110}, {120, 40, 30}, {60, 80, 50}, {150, 120, 40}};
    for (int x = x0_of(p) + 2; x + 12 <= x1_of(p) + 1; x += 13) {
        Rgb c = paints[hash3(x, 0, 121) % 4];
        for (int y = base - 20; y <= base; ++y)
            for (int xx = x; xx < x + 12; ++xx) {
                float curve = 1.25f - std::abs(xx - x - 4) / 8.0f;
                Rgb v = rusty(xx, y, scale(c, curve), 0.35f, 122);
                if (y == base - 14 || y == base - 6)
                    v = scale(v, 0.6f);
                cv.set(xx, y, v);
            }
        cv.hline(x, x + 11, base - 20, scale(c, 1.4f));
    }
}

// Foreground: a steel post of the near fence, with torn mesh at its foot.
void piece_post(Street&, Canvas& cv, const Piece& p)
{
    int x = x0_of(p) + p.num("dx", 6);
    Rgb metal = rgb(34, 36, 40);
    cv.rect(x, p.num("top", 0), x + 4, cv.h - 1, metal);
    cv.vline(x + 1, p.num("top", 0), cv.h - 1, rgb(90, 92, 100));
    cv.rect(x - 1, p.num("top", 0), x + 5, p.num("top", 0) + 2, rgb(60, 62, 68));
    for (int y = cv.h - 22; y < cv.h; ++y)
        for (int k = 5; k < 5 + (cv.h - y) / 2; ++k)
            if ((k + y) % 5 == 0 || (k - y + 100) % 5 == 0)
                cv.set(x + k, y, rgb(70, 72, 78));
}

// Foreground: a pile of tyres or a drum standing at the bottom edge.
void piece_front_tyres(Street&, Canvas& cv, const Piece& p)
{
    int x = x0_of(p) + p.num("dx", 10), n = p.num("high", 3);
    for (int k = 0; k < n; ++k) {
        int y = cv.h - 7 - k * 9;
        // A tyre lying flat: dark ring, tread catching light on its near rim.
        cv.ellipse(x, y + 2, 12, 5, rgb(10, 10, 12));
        cv.ellipse(x, y, 12, 5, rgb(26, 26, 30));
        for (int xx = x - 11; xx <= x + 11; ++xx)
            if (xx % 2)
                cv.set(xx, y + 4, rgb(54, 54, 60));
        cv.ellipse(x, y - 1, 6, 2, rgb(6, 6, 8));
        cv.hline(x - 10, x + 10, y - 4, rgb(70, 62, 56));
    }
}

void piece_front_heap(Street&, Canvas& cv, const Piece& p)
{
    int x0 = x0_of(p), x1 = x1_of(p), hgt = p.num("high", 22);
    for (int x = x0; x <= x1; ++x) {
        float t = (float)(x - x0) / std::max(1, x1 - x0);
        int top = cv.h - 1 -
                  (int)(hgt * std::sin(t * 3.14159f) *
                        (0.8f + 0.2f * smooth_noise((float)x, 0, 8, 64, 131)));
        for (int y = top; y < cv.h; ++y) {
            junk_texture(cv, x, y, top, 132);
            cv.set(x, y, scale(cv.get(x, y), 0.55f));  // in shadow, nearest the eye
        }
        cv.set(x, top, scale(kSodium, 0.35f));
    }
}

}  // namespace

const PainterEntry junk_pieces[] = {
    {"heaps", piece_heaps},
    {"wrecks", piece_wrecks},
    {"tyres", piece_tyres},
    {"crane", piece_crane},
    {"crusher", piece_crusher},
    {"cubes", piece_cubes},
    {"hut", piece_hut},
    {"floodlight", piece_floodlight},
    {"dirt", piece_dirt},
    {"oil", piece_oil},
    {"drums", piece_drums},
    {"post", piece_post},
    {"scrap", piece_scrap},
    {"front-tyres", piece_front_tyres},
    {"front-heap", piece_front_heap},
    {nullptr, nullptr},
};

}  // namespace gg
