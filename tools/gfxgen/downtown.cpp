// Downtown pieces: far towers, office blocks of glass, neon signs, the
// cinema, the subway entrance, the plaza, and rain-wet pavement that
// mirrors the lights above it.
#include <algorithm>
#include <cmath>

#include "tools/gfxgen/city.h"
#include "tools/gfxgen/scenery.h"

namespace gg {

namespace {

// Skyscrapers in the distance: tall, hazy, with window grids and lit crowns.
void piece_towers(Street& s, Canvas& cv, const Piece& p)
{
    int base = p.num("base", GROUND_Y - 1), seed = p.num("seed", 7);
    Rgb haze = colour_opt(s, p, "color", "violet");
    int x = x0_of(p), x1 = x1_of(p), k = 0;
    while (x <= x1) {
        // Widths and window lights on a 16-pixel grid, so tower bodies share tiles.
        int w = 32 + 16 * (int)(noise(k, 0, seed) * 3);
        int right = std::min(x1, x + w - 1);
        int top = 4 + (int)(noise(k, 1, seed) * 60);
        Rgb body = mix(rgb(20, 20, 40), haze, 0.12f + 0.14f * (int)(noise(k, 2, seed) * 3) / 2.0f);
        for (int y = top; y <= base; ++y)
            for (int xx = x; xx <= right; ++xx) {
                float edge = xx == x ? 1.3f : xx == right ? 0.7f : 1.0f;
                cv.set(xx, y, scale(body, edge));
            }
        // Window grid: some floors lit across, some dark.
        Rgb lit = noise(k, 3, seed) < 0.5f ? rgb(200, 220, 255) : rgb(255, 226, 160);
        for (int y = (top + 8) & ~3; y < base - 2; y += 4) {
            bool floor_lit = noise(y & 63, hash3(k, 0, seed) % 2, seed + 1) < 0.35f;
            for (int xx = x + 2; xx < right - 1; xx += 4)
                if (floor_lit ? noise(xx & 63, y & 63, seed + 2) < 0.8f
                              : noise(xx & 63, y & 63, seed + 2) < 0.12f)
                    cv.rect(xx, y, xx + 1, y + 1, mix(lit, body, 0.35f));
        }
        int crown = hash3(k, 4, seed) % 4;
        if (crown == 0) {  // a spire with a light
            int cx = (x + right) / 2;
            for (int y = top - 18; y < top; ++y)
                cv.set(cx, y, scale(body, 1.2f));
            cv.set(cx, top - 19, rgb(255, 60, 60));
        } else if (crown == 1) {  // a lit crown
            cv.rect(x + 2, top - 6, right - 2, top - 1, scale(body, 1.1f));
            cv.rect(x + 3, top - 5, right - 3, top - 4, mix(lit, body, 0.2f));
        } else if (crown == 2) {  // stepped
            cv.rect(x + w / 4, top - 10, right - w / 4, top - 1, body);
        }
        x = right + 1 + 16 * (int)(noise(k, 5, seed) * 1.5f);
        ++k;
    }
}

// The boss's tower over its podium: whole floors lit as offices are, a
// building site's crane on one wing and the owner's billboard on the other,
// so the top of the screen reads as a place and not as a pattern.
void grand_tower(Canvas& cv, int x0, int x1, int top, int bottom, Rgb glass, int lit, int seed)
{
    int tx0 = x0 + 84, tx1 = x1 - 84, roof = top + 32;
    Rgb slab = rgb(40, 40, 52), mullion = rgb(70, 72, 90);
    Rgb warm = rgb(250, 214, 140), cool = rgb(176, 194, 232);
    // The shaft: 10-px floors of 12-px bays; each floor is one office, lit or
    // not as a whole, with its own few windows out of step.
    for (int y = top; y <= bottom; ++y) {
        int floor = (y - top) / 10, fy = (y - top) % 10;
        float n = noise(floor, 0, seed);
        int mode = n * 100 < lit ? (noise(floor, 1, seed) < 0.35f ? 2 : 1) : 0;
        for (int x = tx0; x <= tx1; ++x) {
            int bay = (x - tx0) / 12, fx = (x - tx0) % 12;
            Rgb c;
            if (fy >= 8)
                c = slab;
            else if (fx == 0)
                c = mullion;
            else {
                bool odd = noise(bay, floor, seed + 1) < 0.1f;
                bool on = mode ? !odd : odd;
                Rgb light = mode == 2 ? warm : cool;
                c = on ? mix(light, scale(light, 0.7f), fy / 8.0f)
                       : mix(glass, rgb(70, 80, 120), fy < 2 ? 0.35f : 0.0f);
                if (on && fy == 6 && noise(bay, floor, seed + 2) < 0.5f)
                    c = rgb(60, 58, 66);  // a desk or a chair against the light
            }
            cv.set(x, y, c);
        }
    }
    cv.vline(tx0, top, bottom, rgb(110, 114, 134));  // the lit edge
    cv.vline(tx1, top, bottom, rgb(24, 24, 34));
    // The podium's two wings: stone with a ribbon of windows.
    for (int side = 0; side < 2; ++side) {
        int wx0 = side ? tx1 + 1 : x0, wx1 = side ? x1 : tx0 - 1;
        cv.rect(wx0, roof, wx1, bottom, rgb(96, 90, 84));
        cv.hline(wx0, wx1, roof, rgb(150, 144, 132));
        for (int y = roof + 3; y + 8 <= bottom; y += 12)
            for (int x = wx0 + 4; x + 6 <= wx1 - 2; x += 9) {
                bool on = noise(x / 9, y, seed + 3) < 0.45f;
                cv.vgrad(x, y, x + 6, y + 6, on ? warm : rgb(34, 40, 64),
                         on ? scale(warm, 0.7f) : rgb(18, 20, 34));
            }
    }
    // A tower crane on the left wing: lattice mast, jib over the tower,
    // counterweight, cab, warning lights and a hook on its cable.
    Rgb steel = rgb(200, 160, 40), dark = rgb(110, 86, 20);
    int mx = x0 + 34, jib = top + 4;
    for (int y = jib; y < roof; ++y) {
        cv.set(mx, y, steel);
        cv.set(mx + 5, y, steel);
        if ((y - jib) % 6 == 0)
            cv.hline(mx, mx + 5, y, dark);
        else
            cv.set(mx + ((y - jib) % 6 < 3 ? (y - jib) % 6 * 2 : (6 - (y - jib) % 6) * 2), y,
                   dark);
    }
    cv.rect(mx - 30, jib, tx0 + 70, jib + 1, steel);
    for (int x = mx + 6; x < tx0 + 70; x += 4)
        cv.line(x, jib + 2, x + 2, jib + 3, dark);
    cv.hline(mx + 6, tx0 + 70, jib + 3, steel);
    cv.rect(mx - 28, jib + 2, mx - 20, jib + 7, rgb(70, 70, 76));  // counterweight
    cv.rect(mx + 6, jib + 2, mx + 11, jib + 6, rgb(60, 64, 70));   // cab
    cv.rect(mx + 7, jib + 3, mx + 10, jib + 4, warm);
    cv.line(mx + 2, jib - 6, mx - 28, jib, dark);  // the tie bars from the peak
    cv.line(mx + 3, jib - 6, tx0 + 60, jib, dark);
    cv.set(mx + 2, jib - 7, rgb(255, 60, 50));
    cv.set(mx - 30, jib - 1, rgb(255, 60, 50));
    cv.set(tx0 + 70, jib - 1, rgb(255, 60, 50));
    int hx = tx0 + 40;
    cv.vline(hx, jib + 4, jib + 22, rgb(30, 30, 34));
    cv.rect(hx - 2, jib + 23, hx + 2, jib + 26, rgb(200, 60, 40));
    // The owner's billboard on the right wing, lit from lamps on top.
    int bx0 = tx1 + 8, bx1 = x1 - 6, by0 = top + 2, by1 = top + 27;
    for (int x = bx0 + 6; x < bx1; x += 24)
        cv.rect(x, by1, x + 1, roof - 1, rgb(40, 40, 44));
    cv.rect(bx0 - 1, by0 - 1, bx1 + 1, by1 + 1, rgb(24, 24, 30));
    cv.vgrad(bx0, by0, bx1, by1, rgb(240, 190, 40), rgb(200, 130, 20));
    int cx = (bx0 + bx1) / 2;
    cv.text("DOZER", cx - text_w("DOZER", 2) / 2 + 1, by0 + 3, rgb(110, 60, 10), 2);
    cv.text("DOZER", cx - text_w("DOZER", 2) / 2, by0 + 2, rgb(30, 26, 24), 2);
    cv.text("DEMOLITION", cx - text_w("DEMOLITION") / 2, by0 + 17, rgb(150, 30, 20));
    for (int x = bx0 + 4; x < bx1; x += 12) {
        cv.hline(x, x + 3, by0 - 3, rgb(40, 40, 44));
        cv.set(x + 3, by0 - 2, rgb(255, 250, 220));
    }
    cv.glow(cx, (by0 + by1) / 2, (bx1 - bx0) / 2 + 10, (by1 - by0) / 2 + 10,
            rgb(255, 200, 80), 0.3f);
}

// A modern block: a glass curtain wall over a bright lobby.
void piece_office(Street& s, Canvas& cv, const Piece& p)
{
    int x0 = x0_of(p), x1 = x1_of(p), base = p.num("base", GROUND_Y - 1), top = p.num("top", 0);
    Rgb glass = colour_opt(s, p, "color", "blue");
    glass = mix(rgb(14, 18, 34), glass, 0.3f);
    int lobby = base - 52;
    int lit = p.num("lit", 50);
    // Two window bays and two floors to a tile. Offices light whole floors,
    // each tower its own and a few windows out of step, over a run of 40
    // bays: a pattern repeating every few tiles showed as wallpaper.
    int seed = p.num("seed", 5) + 17 * p.col;
    if (p.flag("grand")) {
        grand_tower(cv, x0, x1, top, lobby - 1, glass, lit, seed);
    } else {
        for (int y = top; y < lobby; ++y)
            for (int x = x0; x <= x1; ++x) {
                int fy = y & 7, fx = x & 7;
                Rgb c = glass;
                if (fy >= 6)
                    c = rgb(36, 38, 50);  // floor slab
                else if (fx == 0)
                    c = rgb(56, 60, 76);  // mullion
                else {
                    int floor = (y >> 3) & 63, bay = (x >> 3) % 40;
                    bool floor_on = noise(floor, 0, seed) * 100 < lit;
                    // Lit floors nearly whole and soft, so they read as bands of
                    // offices rather than as a checkerboard.
                    bool on = noise(bay, floor, seed + 1) < (floor_on ? 0.92f : 0.08f);
                    if (on)
                        c = mix(rgb(196, 210, 240), rgb(130, 150, 200), fy / 6.0f);
                    else  // the sky caught on the glass
                        c = mix(glass, rgb(70, 80, 120), fy < 2 ? 0.35f : 0.0f);
                }
                cv.set(x, y, c);
            }
    }
    // The lobby: a canopy, glass doors, bright inside.
    cv.rect(x0, lobby, x1, base, rgb(34, 34, 40));
    cv.vgrad(x0 + 4, lobby + 12, x1 - 4, base - 1, rgb(200, 180, 140), rgb(120, 100, 80));
    for (int x = x0 + 4; x < x1 - 4; x += 16)
        cv.vline(x, lobby + 12, base - 1, rgb(50, 50, 56));
    int d = (x0 + x1) / 2;
    cv.rect(d - 12, base - 38, d + 12, base - 1, rgb(250, 230, 180));
    cv.vline(d, base - 38, base - 1, rgb(60, 60, 66));
    cv.rect(x0 - 2, lobby, x1 + 2, lobby + 8, rgb(58, 60, 70));
    cv.hline(x0 - 2, x1 + 2, lobby, rgb(150, 154, 166));
    if (p.has("sign"))
        cv.text(p.str("sign", ""), d - text_w(p.str("sign", "")) / 2, lobby + 1,
                rgb(240, 240, 250));
    if (p.flag("grand")) {  // stone columns, a lit canopy, the name in gold
        for (int x = x0 + 10; x < x1 - 8; x += 40) {
            cv.rect(x, lobby - 20, x + 7, base, rgb(150, 144, 132));
            cv.vline(x + 1, lobby - 20, base, rgb(200, 194, 180));
            cv.vline(x + 7, lobby - 20, base, rgb(90, 86, 80));
            cv.rect(x - 2, lobby - 22, x + 9, lobby - 20, rgb(170, 164, 150));
        }
        cv.rect(x0, lobby - 34, x1, lobby - 23, rgb(40, 36, 34));
        std::string name = p.str("name", "TOWER");
        cv.text(name, d - text_w(name, 2) / 2 + 1, lobby - 32, rgb(90, 60, 20), 2);
        cv.text(name, d - text_w(name, 2) / 2, lobby - 33, rgb(240, 200, 90), 2);
        for (int x = x0 + 2; x < x1; x += 6)
            cv.set(x, lobby - 23, rgb(255, 240, 200));
    }
    cv.glow(d, base + 16, (x1 - x0) / 2 + 10, 16, rgb(255, 240, 210), 0.45f);
}

// A vertical neon sign on a bracket: one letter under another.
void piece_blade(Street& s, Canvas& cv, const Piece& p)
{
    int x = x0_of(p) + p.num("dx", 8), y = p.num("y", 20);
    std::string text = p.str("text", "HOTEL");
    Rgb tube = colour_opt(s, p, "color", "pink");
    int h = (int)text.size() * 16 + 6;
    cv.rect(x - 8, y - 2, x + 8, y + h, rgb(16, 14, 20));
    cv.rect(x - 7, y - 1, x + 7, y + h - 1, rgb(30, 24, 34));
    for (int yy = y - 1; yy < y + h; ++yy)
        cv.set(x - 7, yy, mix(tube, rgb(30, 24, 34), 0.5f));
    for (size_t i = 0; i < text.size(); ++i)
        neon(cv, x + 1, y + 3 + (int)i * 16, std::string(1, text[i]), tube, 2);
    cv.rect(x - 11, y + h / 2, x - 8, y + h / 2 + 1, rgb(40, 40, 44));
}

// The cinema: a marquee with chasing bulbs over a bright entrance, posters.
void piece_cinema(Street& s, Canvas& cv, const Piece& p)
{
    int x0 = x0_of(p), x1 = x1_of(p), base = p.num("base", GROUND_Y - 1);
    std::string title = p.str("title", "NIGHT FEVER");
    Rgb tube = colour_opt(s, p, "color", "yellow");
    // Facade.
    concrete(cv, x0, 0, x1, base, rgb(70, 40, 54), 241, 64);
    for (int x = x0 + 8; x < x1 - 8; x += 24)
        cv.shade_rect(x, 0, x + 12, base - 60, 0.8f);
    // The marquee.
    int my = base - 72;
    cv.rect(x0 + 4, my, x1 - 4, my + 22, rgb(30, 24, 30));
    cv.rect(x0 + 8, my + 4, x1 - 8, my + 18, rgb(236, 232, 210));
    cv.text(title, (x0 + x1) / 2 - text_w(title) / 2, my + 8, rgb(30, 26, 30));
    for (int x = x0 + 5; x < x1 - 4; x += 3) {
        Rgb bulb = (x / 3) % 2 ? mix(tube, rgb(255, 255, 255), 0.5f) : scale(tube, 0.7f);
        cv.set(x, my + 1, bulb);
        cv.set(x, my + 21, bulb);
    }
    cv.glow((x0 + x1) / 2, my + 30, (x1 - x0) / 2 + 20, 30, tube, 0.4f);
    neon(cv, (x0 + x1) / 2, my - 26, p.str("name", "CINEMA"), colour_opt(s, p, "neon", "pink"), 2);
    // Entrance and poster frames.
    int ey = my + 26;
    cv.vgrad(x0 + 30, ey, x1 - 30, base - 1, rgb(255, 220, 150), rgb(190, 120, 70));
    for (int x = x0 + 30; x < x1 - 30; x += 14)
        cv.vline(x, ey, base - 1, rgb(80, 50, 40));
    for (int side = 0; side < 2; ++side) {
        int px = side ? x1 - 26 : x0 + 6;
        cv.rect(px - 1, ey + 2, px + 20, base - 6, rgb(200, 170, 80));
        poster(cv, px + 1, ey + 4, 18, base - ey - 12, px);
    }
}

// A subway entrance at the back of the pavement: railings round the stair
// going down, a lit sign on a post.
void piece_subway(Street& s, Canvas& cv, const Piece& p)
{
    int x0 = x0_of(p), x1 = x1_of(p), base = p.num("base", GROUND_Y - 1);
    Rgb green = rgb(40, 110, 70);
    // The stairwell: steps dropping into the dark, lit from below.
    for (int y = base - 26; y <= base; ++y)
        for (int x = x0 + 8; x <= x1 - 8; ++x) {
            int step = (x - x0 - 8) / 6;
            int sy = base - 26 + step * 3;
            Rgb c =
                y < sy ? rgb(18, 18, 24) : ((y - sy) < 1 ? rgb(120, 120, 110) : rgb(60, 58, 56));
            float light = std::min(1.0f, (float)(x - x0) / (x1 - x0) + 0.2f);
            cv.set(x, y, scale(c, light));
        }
    cv.glow(x1 - 16, base - 6, 30, 20, rgb(200, 255, 210), 0.5f);
    // Railings.
    for (int x = x0 + 4; x <= x1 - 4; ++x) {
        cv.set(x, base - 30, green);
        cv.set(x, base - 29, scale(green, 0.6f));
        if ((x - x0) % 6 == 4)
            cv.vline(x, base - 28, base, scale(green, 0.8f));
    }
    cv.rect(x0 + 3, base - 34, x0 + 5, base, green);
    cv.rect(x1 - 5, base - 34, x1 - 3, base, green);
    // The sign on its post.
    int sx = x0 + 4;
    cv.rect(sx - 1, base - 70, sx + 1, base - 34, scale(green, 0.7f));
    sign(cv, sx - 2, base - 84, sx + text_w(p.str("text", "SUBWAY")) + 8, base - 70,
         p.str("text", "SUBWAY"), rgb(30, 120, 70), rgb(240, 240, 220));
    cv.glow(sx + 20, base - 77, 34, 20, rgb(120, 255, 160), 0.4f);
    (void)s;
}

// A lit advertising hoarding with bulbs along the top: a flat picture and
// a slogan.
void piece_billboard(Street& s, Canvas& cv, const Piece& p)
{
    int x0 = x0_of(p) + 2, x1 = x1_of(p) - 2, y0 = p.num("y", 16), y1 = y0 + p.num("h", 40);
    Rgb bg = colour_opt(s, p, "color", "blue"), ink = colour_opt(s, p, "ink", "yellow");
    cv.rect(x0 - 2, y0 - 2, x1 + 2, y1 + 2, rgb(24, 24, 30));
    cv.vgrad(x0, y0, x1, y1, mix(bg, rgb(255, 255, 255), 0.25f), scale(bg, 0.8f));
    std::string pic = p.str("picture", "bottle");
    int px = x0 + 8, py = y0 + 4, ph = y1 - y0 - 8;
    if (pic == "bottle") {
        cv.rect(px + 4, py, px + 7, py + ph / 4, rgb(200, 40, 30));
        cv.rect(px + 1, py + ph / 4, px + 10, py + ph, rgb(200, 40, 30));
        cv.rect(px + 2, py + ph / 2 - 3, px + 9, py + ph / 2 + 3, rgb(245, 245, 240));
    } else if (pic == "face") {
        cv.disc(px + 8, py + ph / 2, ph / 2 - 1, rgb(236, 190, 150));
        cv.rect(px + 3, py + ph / 2 - 3, px + 13, py + ph / 2 - 1, rgb(20, 20, 24));  // sunglasses
        cv.hline(px + 5, px + 11, py + ph / 2 + 5, rgb(200, 60, 60));
    } else if (pic == "car") {
        cv.rect(px, py + ph - 10, px + 34, py + ph - 4, rgb(220, 40, 40));
        cv.rect(px + 8, py + ph - 16, px + 24, py + ph - 10, rgb(200, 30, 30));
        cv.disc(px + 7, py + ph - 3, 3, rgb(20, 20, 20));
        cv.disc(px + 28, py + ph - 3, 3, rgb(20, 20, 20));
    } else {
        fail(s, "picture is bottle, face or car");
    }
    std::string text = p.str("text", "");
    int tx = (x0 + x1) / 2 + 10 - text_w(text, 2) / 2;
    cv.text(text, tx + 1, (y0 + y1) / 2 - 6, scale(bg, 0.5f), 2);
    cv.text(text, tx, (y0 + y1) / 2 - 7, ink, 2);
    for (int x = x0; x <= x1; x += 8) {  // lamps on arms over the top
        cv.hline(x, x + 3, y0 - 4, rgb(40, 40, 44));
        cv.set(x + 3, y0 - 3, rgb(255, 250, 220));
    }
    cv.glow((x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2 + 12, (y1 - y0) / 2 + 12, bg, 0.35f);
}

// Polished granite squares of a plaza, set on the diagonal.
void piece_plaza(Street&, Canvas& cv, const Piece& p)
{
    int x0 = x0_of(p), x1 = x1_of(p), top = p.num("top", GROUND_Y);
    for (int y = top; y < cv.h; ++y)
        for (int x = x0; x <= x1; ++x) {
            int u = (x + y * 2) >> 4, v = (x - y * 2) >> 4;
            bool dark = (u + v) & 1;
            Rgb c = dark ? rgb(54, 50, 62) : rgb(86, 82, 94);
            if (((x + y * 2) & 15) == 0 || ((x - y * 2) & 15) == 0)
                c = rgb(40, 38, 46);
            cv.set(x, y, scale(c, 0.95f + 0.1f * noise(x & 63, y & 63, 251)));
        }
    shadow_band(cv, x0, x1, top, 4, 0.5f);
}

// Planters along the back of the plaza.
void piece_planter(Street&, Canvas& cv, const Piece& p)
{
    int x0 = x0_of(p) + 2, x1 = x1_of(p) - 2, base = p.num("base", GROUND_Y + 2);
    cv.rect(x0, base - 10, x1, base, rgb(100, 96, 104));
    cv.hline(x0, x1, base - 10, rgb(150, 146, 156));
    for (int x = x0 + 2; x < x1 - 1; ++x) {
        int h = 6 + (int)(smooth_noise((float)x, 0, 4, 64, 261) * 10);
        for (int y = base - 10 - h; y < base - 10; ++y)
            if (noise(x, y, 262) < 0.8f)
                cv.set(x, y, scale(rgb(40, 80, 50), 0.6f + 0.6f * noise(x, y, 263)));
    }
}

// Rain on the pavement: the bright things above the ground line (windows,
// neon) run down into it as broken, rippling streaks of their own colour.
void piece_wet(Street&, Canvas& cv, const Piece& p)
{
    int x0 = x0_of(p), x1 = x1_of(p), line = p.num("line", GROUND_Y),
        bottom = p.num("bottom", cv.h - 1);
    float strength = p.num("strength", 60) / 100.0f;
    Canvas src = cv;
    for (int y = line; y <= bottom; ++y) {
        float fade = 1 - (float)(y - line) / (bottom - line + 1);
        for (int x = x0; x <= x1; ++x) {
            int sy = line - 2 - (y - line) * 3 / 2;
            if (sy < 0)
                break;
            int jx = x + (int)std::lround(std::sin(y * 2.1f) * 1.0f);
            if (!src.opaque(jx, sy) || !cv.opaque(x, y))
                continue;
            Rgb r = src.get(jx, sy);
            float lum = (r.r + r.g + r.b) / 765;
            if (lum < 0.45f || ((y + (x >> 2)) % 3) == 0)
                continue;
            float a = strength * fade * (lum - 0.25f) * 1.5f;
            cv.set(x, y, mix(cv.get(x, y), r, std::min(0.7f, a)));
        }
    }
}

}  // namespace

const PainterEntry downtown_pieces[] = {
    {"towers", piece_towers},   {"office", piece_office}, {"blade", piece_blade},
    {"cinema", piece_cinema},   {"subway", piece_subway}, {"plaza", piece_plaza},
    {"planter", piece_planter}, {"wet", piece_wet},       {"billboard", piece_billboard},
    {nullptr, nullptr},
};

}  // namespace gg
