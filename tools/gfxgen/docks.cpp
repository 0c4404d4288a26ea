// Dock pieces: warehouses of corrugated iron, stacked containers, crates,
// the quay with its rails and bollards, burning drums, and the gang's
// hideout with its doors open. The harbour (dif5.pcx) shows wherever
// nothing is painted.
#include <algorithm>
#include <cmath>

#include "tools/gfxgen/city.h"
#include "tools/gfxgen/scenery.h"

namespace gg {

namespace {

// A caged bulb on a wall, lighting it.
void wall_lamp(Canvas& cv, int x, int y, Rgb light)
{
    cv.glow(x, y + 20, 44, 44, light, 0.6f);
    cv.rect(x - 4, y - 2, x + 4, y - 1, rgb(40, 40, 44));
    cv.rect(x - 3, y, x + 3, y + 3, mix(light, rgb(255, 255, 255), 0.6f));
    cv.hline(x - 3, x + 3, y + 4, rgb(40, 40, 44));
}

void piece_warehouse(Street& s, Canvas& cv, const Piece& p)
{
    int x0 = x0_of(p), x1 = x1_of(p), base = p.num("base", GROUND_Y - 1), top = p.num("top", 40);
    Rgb tin = colour_opt(s, p, "color", "grey");
    tin = mix(tin, rgb(40, 50, 60), 0.55f);
    std::string roof = p.str("roof", "gable");
    // Roof outline: a low gable or saw teeth above the eaves.
    for (int x = x0; x <= x1; ++x) {
        int rise = 0;
        if (roof == "gable")
            rise = std::min(x - x0, x1 - x) / 5;
        else if (roof == "saw")
            rise = ((x - x0) % 48) / 3;
        else if (roof != "flat")
            fail(s, "roof is gable, saw or flat");
        for (int y = top - rise; y < top; ++y)
            cv.set(x, y, y == top - rise ? rgb(110, 116, 120) : rgb(46, 50, 56));
    }
    corrugated(cv, x0, top, x1, base, tin, 301);
    grime(cv, x0, top, x1, base, 302, 0.45f);
    cv.rect(x0, top, x1, top + 2, scale(tin, 0.6f));  // gutter
    // A row of small windows high up.
    for (int x = x0 + 10; x + 14 < x1; x += 40) {
        bool lit = noise(x, top, 303) < p.num("lit", 30) / 100.0f;
        cv.rect(x, top + 8, x + 14, top + 16, rgb(30, 32, 36));
        cv.rect(x + 1, top + 9, x + 13, top + 15, lit ? rgb(220, 200, 130) : rgb(26, 34, 50));
        for (int k = 4; k < 14; k += 4)
            cv.vline(x + k, top + 9, top + 15, rgb(30, 32, 36));
    }
    // Doors spelt out per column, like a street building's ground floor:
    //   .  wall   s  shutter   h  shutter half open   d  door   n  painted name
    std::string doors = p.str("doors", std::string(p.width, '.'));
    if ((int)doors.size() != p.width)
        return fail(s, "doors needs one letter per column");
    for (int i = 0; i < p.width;) {
        int j = i;
        while (j < p.width && doors[j] == doors[i])
            ++j;
        int ex0 = x0 + i * TILE, ex1 = x0 + j * TILE - 1;
        switch (doors[i]) {
        case '.': break;
        case 's':
        case 'h': {
            int dy = base - 64;
            cv.rect(ex0 + 1, dy - 3, ex1 - 1, base, rgb(30, 30, 34));
            if (doors[i] == 'h') {
                shutter(cv, ex0 + 3, dy, ex1 - 3, dy + 30, rgb(100, 96, 80), ex0);
                cv.vgrad(ex0 + 3, dy + 31, ex1 - 3, base, rgb(40, 34, 30), rgb(90, 70, 50));
                cv.glow((ex0 + ex1) / 2, base + 6, (ex1 - ex0) / 2 + 8, 10, rgb(255, 180, 90),
                        0.5f);
            } else {
                shutter(cv, ex0 + 3, dy, ex1 - 3, base, rgb(100, 96, 80), ex0);
            }
            break;
        }
        case 'd':
            door(cv, ex0 + 2, base - 42, ex1 - ex0 - 4, 42, rgb(80, 84, 90), false, ex0);
            break;
        case 'n': break;
        default: return fail(s, std::string("no door letter '") + doors[i] + "'");
        }
        i = j;
    }
    if (p.has("name")) {
        std::string name = p.str("name", "");
        int ny = top + 22;
        // Painted letters, weathered: some pixels of the paint have flaked off.
        Canvas m(text_w(name, 2) + 2, 16);
        m.text(name, 0, 0, rgb(196, 190, 170), 2);
        int nx = (x0 + x1) / 2 - text_w(name, 2) / 2;
        for (int y = 0; y < m.h; ++y)
            for (int x = 0; x < m.w; ++x)
                if (m.opaque(x, y) && noise(x + nx, y, 304) > 0.18f)
                    cv.set(nx + x, ny + y, scale(m.get(x, y), 0.8f + 0.2f * noise(x, y, 305)));
    }
    if (p.has("lamp"))
        wall_lamp(cv, x0 + p.num("lamp", 0), top + 24, colour_opt(s, p, "light", "sodium"));
}

void piece_containers(Street& s, Canvas& cv, const Piece& p)
{
    static const char* names[] = {"NORVA", "OCEANIC", "KTL", "TIDEMARK", "GULLWAY"};
    static const Rgb paints[] = {{150, 40, 30},  {40, 80, 140},   {40, 110, 70},
                                 {190, 100, 30}, {110, 110, 116}, {140, 120, 40}};
    int base = p.num("base", GROUND_Y - 1), stack = p.num("stack", 2);
    for (int r = 0; r < stack; ++r) {
        int y1 = base - r * 27, y0 = y1 - 26;
        int off = r % 2 ? 20 : 0;
        for (int x = x0_of(p) + off; x + 60 <= x1_of(p) + 1; x += 64) {
            if (r > 0 && noise(x, r, 311) < 0.25f)
                continue;
            Rgb c = paints[hash3(x, r, 312 + p.num("seed", 0)) % 6];
            int w = 62;
            for (int y = y0; y <= y1; ++y)
                for (int xx = x; xx < x + w; ++xx) {
                    float t = (xx - x) % 4 == 0 ? 0.7f : (xx - x) % 4 == 1 ? 1.15f : 1.0f;
                    if (y == y0 || y == y1)
                        t = 0.6f;
                    if (xx == x || xx == x + w - 1)
                        t = 0.5f;
                    float rust = smooth_noise((float)xx, (float)y, 8, 64, 313);
                    Rgb v = mix(c, rgb(90, 50, 30), rust > 0.7f ? 0.5f : 0.0f);
                    cv.set(xx, y, scale(v, t * 0.75f));
                }
            std::string n = names[hash3(x, r, 314) % 5];
            cv.text(n, x + 31 - text_w(n) / 2, y0 + 8, scale(rgb(230, 230, 220), 0.8f));
            cv.vline(x + 4, y0 + 3, y1 - 3, rgb(150, 150, 150));  // door bars
            cv.vline(x + 8, y0 + 3, y1 - 3, rgb(150, 150, 150));
        }
    }
    (void)s;
}

void piece_crates(Street&, Canvas& cv, const Piece& p)
{
    int base = p.num("base", GROUND_Y + 1), high = p.num("high", 2);
    for (int x = x0_of(p); x + 18 <= x1_of(p) + 1; x += 19) {
        int n = 1 + (int)(noise(x, 0, 321) * high);
        for (int k = 0; k < n; ++k) {
            int y1 = base - k * 18, y0 = y1 - 17;
            planks(cv, x, y0, x + 17, y1, rgb(120, 86, 50), 322, false);
            cv.rect(x, y0, x + 17, y0 + 1, rgb(150, 110, 64));
            cv.line(x + 1, y1 - 1, x + 16, y0 + 2, rgb(84, 58, 32));
            cv.vline(x, y0, y1, rgb(60, 40, 24));
        }
    }
}

// The quay: concrete slabs with a rail track set into them and a painted
// edge at the back where the water is.
void piece_quay(Street&, Canvas& cv, const Piece& p)
{
    int x0 = x0_of(p), x1 = x1_of(p), top = p.num("top", GROUND_Y);
    for (int y = top; y < cv.h; ++y)
        for (int x = x0; x <= x1; ++x) {
            float n = 0.85f + 0.15f * smooth_noise((float)x, (float)y * 2, 16, 64, 331);
            if (noise(x & 63, y & 63, 332) > 0.92f)
                n *= 1.2f;
            if ((x & 63) == 0 || (y - top) % 22 == 0)
                n *= 0.7f;
            cv.set(x, y, scale(rgb(70, 74, 78), n));
        }
    // The rails and the groove beside each.
    for (int rail : {top + 30, top + 40})
        for (int x = x0; x <= x1; ++x) {
            cv.set(x, rail, rgb(150, 150, 156));
            cv.set(x, rail + 1, rgb(80, 80, 86));
            cv.set(x, rail - 1, rgb(34, 34, 38));
        }
    // Yellow safety line along the back.
    for (int x = x0; x <= x1; ++x) {
        cv.set(x, top + 4, rgb(190, 160, 40));
        cv.set(x, top + 5, rgb(150, 120, 30));
    }
    shadow_band(cv, x0, x1, top, 3, 0.5f);
}

// A loading bay painted on the quay: a yellow frame with diagonal hatching.
void piece_hatch(Street&, Canvas& cv, const Piece& p)
{
    int x0 = x0_of(p) + 4, x1 = x1_of(p) - 4, y0 = p.num("y", 156), y1 = y0 + p.num("h", 14);
    for (int y = y0; y <= y1; ++y)
        for (int x = x0 + (y - y0) / 2; x <= x1 + (y - y0) / 2; ++x) {
            bool frame = y == y0 || y == y1 || x == x0 + (y - y0) / 2 || x == x1 + (y - y0) / 2;
            bool stripe = ((x - y) & 7) < 3;
            if (!frame && !stripe)
                continue;
            // Worn paint: the concrete shows through in places.
            if (noise(x, y, 361) < 0.2f)
                continue;
            cv.set(x, y, mix(cv.get(x, y), rgb(200, 170, 50), 0.55f));
        }
}

// The quay's edge above the water: a concrete lip, fender tyres.
void piece_edge(Street&, Canvas& cv, const Piece& p)
{
    int x0 = x0_of(p), x1 = x1_of(p), top = p.num("top", GROUND_Y - 8);
    for (int y = top; y < GROUND_Y; ++y)
        for (int x = x0; x <= x1; ++x)
            cv.set(x, y, scale(rgb(70, 74, 80), y == top ? 1.3f : 0.8f));
    for (int x = x0 + 10; x < x1; x += 40) {
        cv.ellipse(x, top + 4, 4, 4, rgb(16, 16, 18));
        cv.ellipse(x, top + 4, 2, 2, rgb(40, 40, 44));
    }
}

// The front of the ground broken off over black water, in the rows under
// the front lane, where the scripts' edge program knocks men in: a kerb
// striped yellow and black as a quay's edge is, the broken face of the
// ground dropping under it into its shadow, the water with ripples, and cut
// faces at both ends. The face must read as a drop at a glance.
void piece_brink(Street&, Canvas& cv, const Piece& p)
{
    const int x0 = x0_of(p), x1 = x1_of(p), h = p.num("h", 22), top = cv.h - h;
    const int face = 7;  // the broken face's rows under the kerb
    for (int y = top; y < cv.h; ++y)
        for (int x = x0; x <= x1; ++x)
            cv.set(x, y, mix(rgb(24, 40, 56), rgb(6, 12, 22), (float)(y - top) / (h - 1)));
    for (int y = top + face + 8; y < cv.h; y += 3)
        for (int x = x0 + (int)(hash3(y, 0, 7) % 9); x <= x1; x += 11 + (int)(hash3(x, y, 8) % 13))
            cv.hline(x, std::min(x1, x + 2 + (int)(hash3(x, y, 9) % 5)), y, rgb(64, 96, 124));
    for (int x = x0; x <= x1; ++x) {
        // the kerb: a pale top edge over hazard stripes
        cv.set(x, top, rgb(170, 166, 156));
        for (int y = top + 1; y <= top + 3; ++y)
            cv.set(x, y, ((x + y) / 4) % 2 ? rgb(18, 18, 16) : rgb(222, 184, 40));
        // the face under it, ragged where the ground broke
        int depth = face - 2 + (int)(noise((x - x0) / 3, 0, 11) * 4);
        for (int y = top + 4; y < top + 4 + depth; ++y) {
            float shade = 0.85f - 0.5f * (y - top - 4) / face;
            if (noise(x, y, 13) < 0.15f)
                shade *= 0.7f;
            cv.set(x, y, scale(rgb(120, 116, 108), shade));
        }
        cv.vline(x, top + 4 + depth, top + 6 + depth, rgb(4, 4, 6));  // its shadow on the water
    }
    for (int y = top; y < cv.h; ++y) {
        int in = 3 + (int)(noise(0, (y - top) / 2, 12) * 3);
        cv.hline(x0, x0 + in, y, rgb(96, 94, 88));
        cv.hline(x1 - in, x1, y, rgb(96, 94, 88));
        cv.set(x0 + in, y, rgb(40, 40, 40));
        cv.set(x1 - in, y, rgb(40, 40, 40));
    }
}

void piece_bollard(Street&, Canvas& cv, const Piece& p)
{
    int x = x0_of(p) + p.num("dx", 8), foot = p.num("foot", GROUND_Y + 3);
    Rgb iron = rgb(40, 44, 50);
    cv.rect(x - 4, foot - 10, x + 4, foot, iron);
    cv.rect(x - 6, foot - 13, x + 6, foot - 10, iron);
    cv.vline(x - 3, foot - 10, foot, rgb(90, 96, 104));
    cv.hline(x - 5, x + 5, foot - 13, rgb(90, 96, 104));
    if (p.flag("rope"))
        for (int k = 0; k < 30; ++k)
            cv.set(x + 4 + k, foot - 9 + k * k / 60 - k / 4, rgb(150, 130, 90));
}

// An oil drum with a fire in it, lighting its surroundings.
void piece_fire(Street&, Canvas& cv, const Piece& p)
{
    int x = x0_of(p) + p.num("dx", 8), foot = p.num("foot", GROUND_Y + 2);
    cv.glow(x, foot - 26, 70, 60, rgb(255, 140, 50), 0.8f);
    for (int y = foot - 18; y <= foot; ++y)
        for (int xx = x - 6; xx <= x + 6; ++xx) {
            float curve = 1.2f - std::abs(xx - x + 2) / 7.0f;
            Rgb c = scale(rgb(90, 40, 24), curve);
            if (y == foot - 12 || y == foot - 5)
                c = scale(c, 0.6f);
            cv.set(xx, y, c);
        }
    for (int k = 0; k < 40; ++k) {
        int fx = x - 5 + (int)(noise(k, 0, 341) * 11);
        int fh = 4 + (int)(noise(k, 1, 341) * 12 * (1 - std::abs(fx - x) / 7.0f));
        for (int t = 0; t < fh; ++t) {
            float heat = 1 - (float)t / fh;
            cv.set(fx, foot - 19 - t, mix(rgb(200, 40, 10), rgb(255, 240, 140), heat));
        }
    }
}

// The gang's hideout: a big warehouse with its doors rolled open on a lit
// floor, a lamp hanging over the chair where they hold Rosalie.
void piece_hideout(Street& s, Canvas& cv, const Piece& p)
{
    int x0 = x0_of(p), x1 = x1_of(p), base = p.num("base", GROUND_Y - 1), top = p.num("top", 16);
    corrugated(cv, x0, top, x1, base, rgb(70, 44, 36), 351);
    grime(cv, x0, top, x1, base, 352, 1.0f);
    for (int x = x0; x <= x1; ++x) {
        int rise = std::min(x - x0, x1 - x) / 6;
        for (int y = top - rise; y < top; ++y)
            cv.set(x, y, y == top - rise ? rgb(100, 70, 60) : rgb(44, 30, 28));
    }
    // The open doorway and what is inside.
    int dx0 = x0 + 24, dx1 = x1 - 24, dy = base - 86;
    cv.vgrad(dx0, dy, dx1, base, rgb(26, 20, 22), rgb(70, 50, 40));
    for (int y = base - 30; y <= base; ++y)  // the floor running back
        for (int x = dx0; x <= dx1; ++x)
            cv.set(x, y, scale(rgb(90, 76, 60), 0.5f + (y - base + 30) / 60.0f));
    // Back wall details: crates, a table, the chair under the lamp.
    for (int k = 0; k < 4; ++k) {
        int cx = dx0 + 8 + k * 22;
        planks(cv, cx, base - 48, cx + 16, base - 31, rgb(100, 72, 44), 353, false);
    }
    int lx = (dx0 + dx1) / 2 + 30;
    cv.vline(lx, dy, base - 64, rgb(20, 20, 20));
    cv.rect(lx - 5, base - 64, lx + 5, base - 61, rgb(60, 60, 50));
    cv.glow(lx, base - 40, 60, 50, rgb(255, 220, 150), 0.9f);
    cv.rect(lx - 2, base - 60, lx + 2, base - 59, rgb(255, 250, 210));
    cv.rect(lx - 8, base - 28, lx - 6, base - 12, rgb(60, 40, 30));  // chair
    cv.rect(lx - 8, base - 16, lx + 4, base - 14, rgb(70, 48, 34));
    cv.vline(lx + 4, base - 14, base - 8, rgb(60, 40, 30));
    cv.vline(lx - 7, base - 14, base - 8, rgb(60, 40, 30));
    // The doors, rolled aside, and the frame.
    for (int side = 0; side < 2; ++side) {
        int sx0 = side ? dx1 + 1 : x0 + 4, sx1 = side ? x1 - 4 : dx0 - 1;
        for (int y = dy; y <= base; ++y)
            for (int x = sx0; x <= sx1; ++x)
                cv.set(x, y, scale(rgb(110, 70, 50), (x & 3) == 0 ? 0.6f : 0.9f));
        cv.vline(side ? sx0 : sx1, dy, base, rgb(20, 16, 16));
    }
    cv.rect(x0 + 4, dy - 4, x1 - 4, dy - 1, rgb(40, 36, 36));
    std::string tag = p.str("tag", "SKINS");
    graffiti(cv, (x0 + x1) / 2 - text_w(tag, 3) / 2, top + 8, tag, rgb(200, 40, 40),
             rgb(20, 16, 16), 355, 3);
    (void)s;
}

}  // namespace

const PainterEntry dock_pieces[] = {
    {"warehouse", piece_warehouse}, {"containers", piece_containers},
    {"crates", piece_crates},       {"quay", piece_quay},
    {"edge", piece_edge},           {"bollard", piece_bollard},
    {"fire", piece_fire},           {"hideout", piece_hideout},
    {"hatch", piece_hatch},         {"brink", piece_brink},
    {nullptr, nullptr},
};

}  // namespace gg
