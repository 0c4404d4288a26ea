// Scenery shared by the streets.
#include "tools/gfxgen/scenery.h"

#include <algorithm>
#include <cmath>

namespace gg {

namespace {

int mod(int a, int n) { return ((a % n) + n) % n; }

Rgb clampc(Rgb v)
{
    return {std::clamp(v.r, 0.0f, 255.0f), std::clamp(v.g, 0.0f, 255.0f),
            std::clamp(v.b, 0.0f, 255.0f)};
}

}  // namespace

void bricks(Canvas& cv, int x0, int y0, int x1, int y1, Rgb brick, Rgb mortar, int seed)
{
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            int row = y >> 2, off = (row & 1) * 4;
            int bx = (x + off) >> 3;
            if ((y & 3) == 3 || ((x + off) & 7) == 7) {
                cv.set(x, y, mortar);
                continue;
            }
            // The pattern repeats every 32 pixels across, like the window bays.
            float tone = 0.82f + 0.3f * noise(mod(bx, 4), mod(row, 16), seed);
            if (noise(mod(bx, 4), mod(row, 16), seed + 1) < 0.06f)
                tone *= 0.7f;  // a burnt brick
            tone += 0.06f * (noise(mod(x, 32), mod(y, 64), seed + 2) - 0.5f);
            if ((y & 3) == 0)
                tone += 0.08f;  // the top edge catches light
            cv.set(x, y, clampc(scale(brick, tone)));
        }
}

void concrete(Canvas& cv, int x0, int y0, int x1, int y1, Rgb base, int seed, int panel)
{
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            float n = smooth_noise((float)x, (float)y, 16, 32, seed) - 0.5f;
            float tone = 1 + 0.16f * n + 0.05f * (noise(mod(x, 32), mod(y, 64), seed + 3) - 0.5f);
            if (mod(x, panel) == 0)
                tone *= 0.72f;
            else if (mod(x, panel) == 1)
                tone *= 1.08f;
            if (mod(y, 48) == 0)
                tone *= 0.75f;
            cv.set(x, y, clampc(scale(base, tone)));
        }
}

void ashlar(Canvas& cv, int x0, int y0, int x1, int y1, Rgb base, int seed)
{
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            int row = y >> 3, sx = x + (row & 1) * 8;
            float tone = 0.88f + 0.18f * noise(mod(sx >> 4, 2), mod(row, 8), seed);
            tone += 0.06f * (noise(mod(x, 32), mod(y, 64), seed + 1) - 0.5f);
            if ((y & 7) == 7 || (sx & 15) == 15)
                tone *= 0.62f;
            else if ((y & 7) == 0)
                tone *= 1.08f;
            cv.set(x, y, clampc(scale(base, tone)));
        }
}

void planks(Canvas& cv, int x0, int y0, int x1, int y1, Rgb wood, int seed, bool vertical)
{
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            int along = vertical ? y : x, across = vertical ? x : y;
            int board = across / 6;
            float tone = 0.8f + 0.3f * noise(mod(board, 8), 0, seed);
            tone +=
                0.12f * (smooth_noise((float)along, (float)(across * 7), 8, 64, seed + 1) - 0.5f);
            if (mod(across, 6) == 5)
                tone *= 0.45f;
            if (mod(across, 6) == 0)
                tone *= 1.1f;
            cv.set(x, y, clampc(scale(wood, tone)));
        }
}

void corrugated(Canvas& cv, int x0, int y0, int x1, int y1, Rgb base, int seed)
{
    static const float rib[4] = {1.1f, 1.0f, 0.8f, 0.92f};
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            float tone = rib[mod(x, 4)] *
                         (1 + 0.12f * (smooth_noise((float)x, (float)y, 16, 64, seed) - 0.5f));
            cv.set(x, y, clampc(scale(base, tone)));
        }
}

void grime(Canvas& cv, int x0, int y0, int x1, int y1, int seed, float amount)
{
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            // Streaks run down from ledges: stretched noise, heavier lower down.
            float n = smooth_noise((float)x * 8, (float)y, 32, 256, seed);
            float k = std::max(0.0f, n - 0.45f) * amount * 2;
            if (k > 0)
                cv.dim(x, y, 1 - std::min(0.6f, k));
        }
}

void window(Canvas& cv, int x, int y, int w, int h, int kind, int seed, Rgb frame)
{
    cv.rect(x, y, x + w - 1, y + h - 1, frame);
    int gx0 = x + 2, gy0 = y + 2, gx1 = x + w - 3, gy1 = y + h - 3;
    Rgb warm_top = rgb(255, 226, 140), warm_bottom = rgb(214, 140, 58);
    switch (kind) {
    case 1:
    case 2:
    case 3:
        cv.vgrad(gx0, gy0, gx1, gy1, warm_top, warm_bottom);
        if (kind == 2) {  // curtains drawn to the sides
            Rgb cur = noise(seed, 1, 5) < 0.5f ? rgb(150, 40, 40) : rgb(60, 110, 70);
            if (noise(seed, 2, 5) < 0.3f)
                cur = rgb(140, 100, 60);
            for (int yy = gy0; yy <= gy1; ++yy) {
                int reach = 2 + (yy - gy0) / 6;
                cv.hline(gx0, std::min(gx1, gx0 + reach), yy, scale(cur, 0.9f + 0.2f * ((yy & 1))));
                cv.hline(std::max(gx0, gx1 - reach), gx1, yy, cur);
            }
        } else if (kind == 3) {
            for (int yy = gy0 + 1; yy <= gy1; yy += 2)
                cv.hline(gx0, gx1, yy, rgb(190, 130, 60));
        } else if (noise(seed, 3, 5) < 0.4f) {  // someone at home
            int cx = gx0 + (gx1 - gx0) / 3 + (int)(noise(seed, 4, 5) * (gx1 - gx0) / 3);
            cv.disc(cx, gy1 - 9, 2, rgb(70, 40, 30));
            cv.rect(cx - 3, gy1 - 6, cx + 3, gy1, rgb(70, 40, 30));
        } else if (noise(seed, 5, 5) < 0.5f) {  // a lamp shade inside
            cv.rect(gx1 - 5, gy0 + 4, gx1 - 2, gy0 + 6, rgb(255, 250, 200));
        }
        break;
    case 4:
        cv.vgrad(gx0, gy0, gx1, gy1, rgb(120, 160, 255), rgb(50, 70, 160));
        cv.rect(gx0, gy1 - 3, gx1, gy1, rgb(40, 46, 90));
        break;
    case 5:
        cv.rect(gx0, gy0, gx1, gy1, rgb(20, 18, 22));
        planks(cv, gx0, gy0, gx1, gy1, rgb(110, 80, 50), seed, false);
        cv.line(gx0, gy1 - 2, gx1, gy0 + 3, rgb(70, 50, 30));
        return;
    default:
        cv.vgrad(gx0, gy0, gx1, gy1, rgb(34, 40, 66), rgb(16, 18, 30));
        // The night sky caught in the glass.
        for (int k = 0; k < 3; ++k)
            cv.line(gx0 + 1 + k, gy0 + (h / 2), gx0 + (h / 2) + k, gy0, rgb(58, 70, 104));
        if (kind == 6) {
            cv.line(gx0 + 2, gy0 + 3, gx1 - 2, gy0 + 9, rgb(12, 12, 16));
            cv.line(gx1 - 3, gy0 + 1, gx0 + 4, gy1 - 2, rgb(12, 12, 16));
        }
        break;
    }
    // Glazing bars and a stone sill.
    cv.vline(x + w / 2, gy0, gy1, frame);
    cv.hline(gx0, gx1, gy0 + (gy1 - gy0) * 2 / 5, frame);
    cv.hline(x - 1, x + w, y + h, rgb(150, 146, 136));
    cv.hline(x - 1, x + w, y + h + 1, rgb(70, 66, 64));
    cv.hline(x, x + w - 1, y - 1, rgb(120, 116, 108));
}

void door(Canvas& cv, int x, int y, int w, int h, Rgb wood, bool lit_pane, int seed)
{
    cv.rect(x - 2, y - 2, x + w + 1, y + h - 1, rgb(60, 56, 54));
    cv.rect(x, y, x + w - 1, y + h - 1, wood);
    planks(cv, x, y, x + w - 1, y + h - 1, wood, seed, true);
    // Two panels and a pane.
    Rgb dark = scale(wood, 0.6f);
    if (lit_pane) {
        cv.vgrad(x + 3, y + 3, x + w - 4, y + 11, rgb(255, 222, 130), rgb(200, 140, 60));
        cv.vline(x + w / 2, y + 3, y + 11, dark);
    } else {
        cv.rect(x + 3, y + 3, x + w - 4, y + 11, rgb(26, 28, 40));
    }
    cv.rect(x + 3, y + 15, x + w - 4, y + 15, dark);
    cv.rect(x + 3, y + 15, x + 3, y + h - 5, dark);
    cv.rect(x + 3, y + h - 5, x + w - 4, y + h - 5, scale(wood, 1.2f));
    cv.set(x + w - 4, y + h / 2 + 2, rgb(230, 200, 110));
    cv.set(x + w - 4, y + h / 2 + 3, rgb(120, 100, 50));
}

void shutter(Canvas& cv, int x0, int y0, int x1, int y1, Rgb base, int seed)
{
    for (int y = y0; y <= y1; ++y) {
        float tone = (y - y0) % 3 == 0 ? 1.2f : (y - y0) % 3 == 1 ? 1.0f : 0.7f;
        for (int x = x0; x <= x1; ++x) {
            float n = 1 + 0.15f * (smooth_noise((float)x, (float)y, 8, 64, seed) - 0.5f);
            cv.set(x, y, clampc(scale(base, tone * n)));
        }
    }
    cv.rect(x0, y0, x1, y0 + 3, scale(base, 0.5f));  // the box the shutter rolls into
    cv.rect(x0, y1 - 2, x1, y1, scale(base, 0.6f));
    int cx = (x0 + x1) / 2;
    cv.rect(cx - 2, y1 - 6, cx + 2, y1 - 3, rgb(160, 150, 60));  // padlock
}

void shop_window(Canvas& cv, int x0, int y0, int x1, int y1, Rgb light, int goods, int seed)
{
    Rgb frame = rgb(40, 40, 46);
    cv.rect(x0, y0, x1, y1, frame);
    int gy1 = y1 - 7;
    cv.vgrad(x0 + 2, y0 + 2, x1 - 2, gy1, light, scale(light, 0.55f));
    // Shelves and goods.
    for (int sy = y0 + 12; sy < gy1 - 2; sy += 11) {
        cv.hline(x0 + 2, x1 - 2, sy, scale(light, 0.4f));
        for (int x = x0 + 4; x < x1 - 5; x += 5) {
            if (noise(x, sy, seed) < 0.3f)
                continue;
            int gh = 3 + (int)(noise(x, sy, seed + 1) * 5);
            static const Rgb tints[] = {{200, 60, 50}, {60, 140, 200},  {230, 200, 80},
                                        {80, 170, 90}, {220, 220, 210}, {170, 90, 170}};
            Rgb t = tints[(hash3(x, sy, seed + goods) % 6)];
            cv.rect(x, sy - gh, x + 2 + (int)(noise(x, sy, seed + 2) * 2), sy - 1, t);
        }
    }
    // Reflections streak the glass.
    for (int k = 0; k < 2; ++k) {
        int sx = x0 + 6 + (int)(noise(seed, k, 11) * (x1 - x0 - 20));
        for (int t = 0; t < 14; ++t)
            cv.blend(sx + t, y0 + 16 - t, rgb(255, 255, 255), 0.25f);
    }
    cv.vline(x0 + (x1 - x0) / 2, y0 + 2, gy1, frame);
    cv.rect(x0, gy1 + 1, x1, y1, rgb(56, 50, 56));
    cv.hline(x0, x1, gy1 + 1, rgb(90, 84, 90));
}

void awning(Canvas& cv, int x0, int y0, int x1, int depth, Rgb a, Rgb b)
{
    for (int y = y0; y < y0 + depth; ++y) {
        float shade = 0.75f + 0.35f * (float)(y - y0) / depth;
        for (int x = x0; x <= x1; ++x)
            cv.set(x, y, scale(((x - x0) / 6) % 2 ? b : a, shade));
    }
    for (int x = x0; x <= x1; ++x) {  // scalloped edge
        int s = (x - x0) % 6;
        int drop = s >= 1 && s <= 4 ? 2 : 1;
        for (int k = 0; k < drop; ++k)
            cv.set(x, y0 + depth + k, scale(((x - x0) / 6) % 2 ? b : a, 0.8f));
    }
    shadow_band(cv, x0, x1, y0 + depth + 2, 8, 0.55f);
}

void sign(Canvas& cv, int x0, int y0, int x1, int y1, const std::string& text, Rgb board, Rgb ink,
          int scale_)
{
    cv.rect(x0, y0, x1, y1, scale(board, 0.6f));
    cv.rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, board);
    cv.hline(x0 + 1, x1 - 1, y0 + 1, scale(board, 1.25f));
    int tw = text_w(text, scale_);
    int tx = (x0 + x1 + 1 - tw) / 2, ty = (y0 + y1 + 1 - 7 * scale_) / 2;
    cv.text(text, tx + 1, ty + 1, scale(board, 0.45f), scale_);
    cv.text(text, tx, ty, ink, scale_);
}

void neon(Canvas& cv, int cx, int y, const std::string& text, Rgb tube, int scale_)
{
    int tw = text_w(text, scale_), x = cx - tw / 2;
    Canvas m(tw + 2, 7 * scale_ + 2);
    m.text(text, 0, 0, tube, scale_);
    // A soft halo on the wall, a dark rim, then the bright tubes.
    for (int yy = -4; yy < m.h + 4; ++yy)
        for (int xx = -4; xx < m.w + 4; ++xx) {
            float best = 0;
            for (int dy = -4; dy <= 4; ++dy)
                for (int dx = -4; dx <= 4; ++dx)
                    if (m.opaque(xx + dx, yy + dy))
                        best = std::max(best, 1 - std::sqrt((float)(dx * dx + dy * dy)) / 5.0f);
            if (best > 0)
                cv.light(x + xx, y + yy, tube, best * best * 0.5f);
        }
    for (int yy = 0; yy < m.h; ++yy)
        for (int xx = 0; xx < m.w; ++xx)
            if (m.opaque(xx, yy)) {
                bool core = scale_ == 1 || (m.opaque(xx - 1, yy) && m.opaque(xx + 1, yy)) ||
                            (m.opaque(xx, yy - 1) && m.opaque(xx, yy + 1));
                cv.set(x + xx, y + yy, core ? mix(tube, rgb(255, 255, 255), 0.45f) : tube);
            }
}

void graffiti(Canvas& cv, int x, int y, const std::string& text, Rgb fill, Rgb outline, int seed,
              int scale_)
{
    int tw = text_w(text, scale_) + 8;
    Canvas m(tw, 7 * scale_ + 10);
    int lx = 2;
    for (size_t i = 0; i < text.size(); ++i) {
        int dy = 2 + (int)(noise(seed, (int)i, 1) * 4);
        lx += m.text(std::string(1, text[i]), lx, dy, fill, scale_) + scale_ + 1;
    }
    // Outline: every empty pixel next to a letter.
    for (int yy = -1; yy <= m.h; ++yy)
        for (int xx = -1; xx <= m.w; ++xx) {
            if (m.opaque(xx, yy))
                continue;
            bool edge = false;
            for (int d = 0; d < 9 && !edge; ++d)
                edge = m.opaque(xx + d % 3 - 1, yy + d / 3 - 1);
            if (edge)
                cv.set(x + xx, y + yy, outline);
        }
    for (int yy = 0; yy < m.h; ++yy)
        for (int xx = 0; xx < m.w; ++xx)
            if (m.opaque(xx, yy)) {
                float t = (float)yy / m.h;
                cv.set(x + xx, y + yy,
                       mix(mix(fill, rgb(255, 255, 255), 0.35f), scale(fill, 0.7f), t));
            }
}

void poster(Canvas& cv, int x, int y, int w, int h, int seed)
{
    static const Rgb bgs[] = {
        {200, 190, 160}, {60, 90, 160}, {180, 60, 50}, {230, 200, 70}, {40, 40, 44}};
    Rgb bg = bgs[hash3(seed, 0, 1) % 5];
    Rgb ink = (bg.r + bg.g + bg.b) > 450 ? rgb(40, 30, 30) : rgb(240, 230, 210);
    cv.rect(x, y, x + w - 1, y + h - 1, scale(bg, 0.8f));
    cv.rect(x + 2, y + 3, x + w - 3, y + h / 2, mix(bg, ink, 0.25f));  // the picture
    cv.disc(x + w / 2, y + h / 4 + 2, std::max(1, w / 5), mix(bg, ink, 0.6f));
    for (int ly = y + h / 2 + 3; ly < y + h - 2; ly += 3)
        cv.hline(x + 2, x + 2 + (int)(noise(seed, ly, 2) * (w - 5)), ly, ink);
    // A torn corner.
    for (int k = 0; k < 4; ++k)
        cv.hline(x + w - 4 + k, x + w - 1, y + h - 4 + k, scale(bg, 0.45f));
}

void street_lamp(Canvas& cv, int x, int foot, int head, Rgb light, int style)
{
    Rgb metal = rgb(34, 38, 44), hi = rgb(78, 84, 96);
    // Light first so the post stays dark against it.
    int lx = x + (style == 0 ? 14 : 0);
    cv.glow(lx, head + 24, 40, 44, light, 0.45f);  // on the wall below
    cv.glow(lx, head + 6, 14, 14, light, 0.5f);    // the halo in the damp air
    cv.glow(lx, foot + 14, 60, 16, light, 0.35f);  // the pool on the ground
    if (style == 0) {                              // a tall post with an arm over the street
        cv.rect(x - 1, head + 4, x + 1, foot, metal);
        cv.vline(x - 1, head + 4, foot, hi);
        cv.rect(x - 3, foot - 10, x + 3, foot, metal);
        cv.hline(x - 3, x + 3, foot - 10, hi);
        for (int k = 0; k < 14; ++k)
            cv.rect(x + k, head + 3 - (k < 6 ? (6 - k) / 2 : 0), x + k, head + 4, metal);
        cv.rect(x + 9, head + 2, x + 21, head + 6, metal);
        cv.hline(x + 10, x + 20, head + 7, mix(light, rgb(255, 255, 255), 0.7f));
        cv.hline(x + 11, x + 19, head + 8, light);
    } else {  // an old lantern on a fluted post
        cv.rect(x - 1, head + 14, x + 1, foot, metal);
        cv.vline(x - 1, head + 14, foot, hi);
        cv.rect(x - 3, foot - 14, x + 3, foot, metal);
        cv.rect(x - 2, head + 12, x + 2, head + 14, metal);
        cv.rect(x - 5, head + 2, x + 5, head + 11, metal);
        cv.rect(x - 4, head + 3, x + 4, head + 10, mix(light, rgb(255, 255, 255), 0.6f));
        cv.vline(x, head + 3, head + 10, metal);
        cv.rect(x - 6, head, x + 6, head + 1, metal);
        cv.set(x, head - 1, metal);
    }
}

void chain_link(Canvas& cv, int x0, int y0, int x1, int y1, Rgb wire)
{
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (mod(x + y, 6) == 0 || mod(x - y, 6) == 0)
                cv.set(x, y, scale(wire, mod(x + y, 6) == 0 ? 1.0f : 0.8f));
}

void barbed_wire(Canvas& cv, int x0, int x1, int y, Rgb wire)
{
    for (int x = x0; x <= x1; ++x) {
        int yy = y + (mod(x, 8) < 4 ? 0 : 1);
        cv.set(x, yy, wire);
        if (mod(x, 8) == 2) {
            cv.set(x - 1, yy - 1, wire);
            cv.set(x + 1, yy + 1, wire);
            cv.set(x + 1, yy - 1, wire);
            cv.set(x - 1, yy + 1, wire);
        }
    }
}

void paving(Canvas& cv, int x0, int x1, int y0, int y1, Rgb stone, int seed, int kerb_y)
{
    // Joints of the slabs lean and widen downwards, as a pavement seen from
    // above and in front does.
    int joints[16], nj = 0;
    for (int y = y0, hgt = 10; y < kerb_y && nj < 16; y += hgt, hgt += 2)
        joints[nj++] = y;
    for (int y = y0; y < kerb_y; ++y) {
        int band = 0;
        while (band + 1 < nj && joints[band + 1] <= y)
            ++band;
        int jy = joints[band];
        for (int x = x0; x <= x1; ++x) {
            int lean = (y - y0) / 3, sx = x + lean + (band & 1) * 16;
            int slab = sx >> 5;
            float tone = 0.86f + 0.22f * noise(mod(slab, 4), band, seed);
            tone += 0.07f * (noise(mod(x, 64), mod(y, 64), seed + 1) - 0.5f);
            if (y == jy)
                tone *= 0.6f;
            else if (y == jy + 1)
                tone *= 1.1f;
            if (mod(sx, 32) == 0)
                tone *= 0.62f;
            else if (mod(sx, 32) == 1)
                tone *= 1.08f;
            cv.set(x, y, clampc(scale(stone, tone)));
        }
    }
    // Kerb: a lit top edge, its face, the gutter and the road.
    for (int x = x0; x <= x1; ++x) {
        float n = 0.06f * (noise(mod(x, 64), 0, seed + 2) - 0.5f);
        cv.set(x, kerb_y, clampc(scale(stone, 1.25f + n)));
        cv.set(x, kerb_y + 1, clampc(scale(stone, 1.1f + n)));
        cv.set(x, kerb_y + 2, clampc(scale(stone, 0.95f + n)));
        for (int y = kerb_y + 3; y <= std::min(y1, kerb_y + 5); ++y)
            cv.set(x, y, clampc(scale(stone, 0.55f + n)));
        if (mod(x, 64) == 63)
            cv.rect(x, kerb_y, x, kerb_y + 5, scale(stone, 0.5f));
    }
    if (kerb_y + 6 <= y1)
        asphalt(cv, x0, kerb_y + 6, x1, y1, rgb(40, 40, 46), seed + 3);
}

void asphalt(Canvas& cv, int x0, int y0, int x1, int y1, Rgb base, int seed)
{
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            float tone = 1 + 0.14f * (smooth_noise((float)x, (float)y, 16, 64, seed) - 0.5f);
            float n = noise(mod(x, 64), mod(y, 64), seed + 1);
            if (n > 0.93f)
                tone *= 1.3f;
            else if (n < 0.06f)
                tone *= 0.7f;
            cv.set(x, y, clampc(scale(base, tone)));
        }
}

void puddle(Canvas& cv, int cx, int cy, int rx, int ry, Rgb sky)
{
    for (int y = cy - ry; y <= cy + ry; ++y)
        for (int x = cx - rx; x <= cx + rx; ++x) {
            float dx = (float)(x - cx) / rx, dy = (float)(y - cy) / ry;
            float d = dx * dx + dy * dy + 0.25f * std::sin(x * 0.7f) * 0.3f;
            if (d > 1)
                continue;
            Rgb under = cv.opaque(x, y) ? cv.get(x, y) : sky;
            cv.set(x, y, mix(scale(under, 0.55f), sky, 0.55f - 0.25f * d));
            if (d > 0.75f && y < cy)
                cv.set(x, y, mix(sky, rgb(255, 255, 255), 0.3f));
        }
}

void shadow_band(Canvas& cv, int x0, int x1, int y, int h, float k)
{
    for (int i = 0; i < h; ++i) {
        float f = k + (1 - k) * (float)i / h;
        for (int x = x0; x <= x1; ++x)
            cv.dim(x, y + i, f);
    }
}

}  // namespace gg
