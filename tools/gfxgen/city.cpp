// City pieces: night sky, distant blocks, terraced buildings with shops,
// alleys, pavements and street furniture. Used by the neighbourhood, the
// high street and, with other walls, by downtown and the docks.
#include <algorithm>
#include <cmath>

#include "tools/gfxgen/city.h"
#include "tools/gfxgen/scenery.h"

namespace gg {

bool colour_named(const std::string& name, Rgb& out)
{
    static const struct {
        const char* name;
        Rgb c;
    } table[] = {
        {"red", {200, 50, 44}},      {"green", {60, 150, 80}},   {"blue", {60, 90, 190}},
        {"yellow", {230, 190, 60}},  {"orange", {230, 120, 40}}, {"white", {225, 225, 215}},
        {"pink", {240, 90, 180}},    {"cyan", {90, 210, 240}},   {"purple", {140, 70, 180}},
        {"black", {30, 30, 36}},     {"brown", {120, 80, 50}},   {"grey", {110, 110, 118}},
        {"cream", {220, 200, 150}},  {"teal", {40, 130, 130}},   {"rust", {150, 70, 36}},
        {"warm", {255, 196, 110}},   {"sodium", {255, 160, 60}}, {"cold", {190, 215, 255}},
        {"violet", {170, 120, 255}}, {"slate", {76, 78, 92}},
    };
    for (auto& t : table)
        if (name == t.name) {
            out = t.c;
            return true;
        }
    return false;
}

Rgb colour_opt(Street& s, const Piece& p, const std::string& key, const std::string& dflt)
{
    Rgb c{0, 0, 0};
    std::string n = p.str(key, dflt);
    if (!colour_named(n, c))
        fail(s, "unknown colour \"" + n + "\"");
    return c;
}

// Wall materials at night, unlit.
bool wall_material(Canvas& cv, const std::string& m, int x0, int y0, int x1, int y1, int seed)
{
    if (m == "brick")
        bricks(cv, x0, y0, x1, y1, rgb(112, 50, 40), rgb(52, 38, 38), seed);
    else if (m == "brown")
        bricks(cv, x0, y0, x1, y1, rgb(92, 62, 46), rgb(46, 38, 36), seed);
    else if (m == "yellow")
        bricks(cv, x0, y0, x1, y1, rgb(120, 100, 66), rgb(58, 52, 46), seed);
    else if (m == "dark")
        bricks(cv, x0, y0, x1, y1, rgb(70, 40, 40), rgb(34, 28, 30), seed);
    else if (m == "concrete")
        concrete(cv, x0, y0, x1, y1, rgb(84, 86, 96), seed);
    else if (m == "stucco")
        concrete(cv, x0, y0, x1, y1, rgb(112, 100, 86), seed, 64);
    else if (m == "green")
        concrete(cv, x0, y0, x1, y1, rgb(58, 84, 76), seed, 64);
    else if (m == "blue")
        concrete(cv, x0, y0, x1, y1, rgb(56, 66, 100), seed, 64);
    else if (m == "tin")
        corrugated(cv, x0, y0, x1, y1, rgb(82, 90, 96), seed);
    else if (m == "stone")
        ashlar(cv, x0, y0, x1, y1, rgb(118, 110, 98), seed);
    else if (m == "panel")
        ashlar(cv, x0, y0, x1, y1, rgb(62, 66, 78), seed + 1);
    else
        return false;
    return true;
}

void piece_sky(Street& s, Canvas& cv, const Piece& p)
{
    Rgb top = rgb(8, 10, 30), bottom = rgb(62, 52, 96);
    std::string tint = p.str("tint", "night");
    if (tint == "violet")
        top = rgb(16, 8, 34), bottom = rgb(96, 44, 110);
    else if (tint == "cold")
        top = rgb(6, 12, 30), bottom = rgb(40, 64, 100);
    else if (tint == "warm")
        top = rgb(10, 10, 30), bottom = rgb(110, 60, 60);
    else if (tint != "night")
        fail(s, "tint is night, violet, cold or warm");
    int bottom_y = p.num("bottom", cv.h - 1);
    for (int y = 0; y <= bottom_y; ++y) {
        float t = (float)y / (bottom_y + 1);
        cv.hline(x0_of(p), x1_of(p), y, mix(top, bottom, t * t));
    }
    stars(cv, x0_of(p), x1_of(p), bottom_y / 2, p.col + 1, p.num("stars", 30));
    if (p.has("moon")) {
        int mx = x0_of(p) + p.num("moon", 0), my = p.num("moony", 24);
        cv.glow(mx, my, 40, 40, rgb(120, 130, 170), 0.5f);
        cv.disc(mx, my, 9, rgb(236, 232, 206));
        cv.disc(mx + 3, my - 2, 2, rgb(200, 196, 176));
        cv.disc(mx - 3, my + 3, 3, rgb(210, 206, 184));
    }
}

// Distant blocks: flat dark shapes with a scatter of small lit windows.
void piece_far(Street& s, Canvas& cv, const Piece& p)
{
    int base = p.num("base", GROUND_Y - 1), low = p.num("low", 40), high = p.num("high", 100);
    Rgb body = colour_opt(s, p, "color", "black");
    body = mix(body, rgb(30, 32, 58), 0.6f);
    int x = x0_of(p), x1 = x1_of(p), k = 0;
    while (x <= x1) {
        int w = 24 + (int)(noise(p.col, k, 21) * 40);
        int top = base - low - (int)(noise(p.col, k, 22) * (high - low));
        int right = std::min(x1, x + w - 1);
        float tone = 0.8f + 0.4f * noise(p.col, k, 23);
        cv.rect(x, top, right, base, scale(body, tone));
        cv.hline(x, right, top, scale(body, tone * 1.3f));
        if (noise(p.col, k, 24) < 0.4f)
            cv.rect(x + w / 3, top - 6, x + w / 3 + 3, top - 1, scale(body, tone));
        for (int wy = top + 4; wy < base - 4; wy += 5)
            for (int wx = x + 3; wx < right - 2; wx += 4)
                if (noise(wx, wy, p.col + 25) < 0.22f)
                    cv.rect(wx, wy, wx + 1, wy + 1,
                            mix(rgb(250, 210, 120), body, 0.25f + 0.4f * noise(wx, wy, 26)));
        x = right + 1;
        ++k;
    }
}

// A terraced building. Its ground floor is spelt out column by column:
//   .  wall    d  door (lit pane)   D  door (dark)   w  shop window (warm)
//   c  shop window (cold light)     k  dark shop window   s  roller shutter
//   p  posters   x  boarded window   v  a vent and meter box
// What people keep at a window (x, y, w, h as window() took them), so a
// street's fronts stop repeating one block: `extra` 0 an air conditioner
// under the sill, 1 a flower box, 2 a plant behind the glass, 3 a blind half
// down (lit), 4 drawn curtains or 5 a net curtain (dark); 6 leaves it bare.
void sill_life(Canvas& cv, int x, int y, int w, int h, int kind, int extra, Rgb frame)
{
    bool lit = kind >= 1 && kind <= 4;
    if (kind == 5)
        return;  // boarded up: nobody lives there
    int sill = y + h + 1;
    switch (extra) {
    case 0: {  // the box hangs off the right of the sill, dripping down the wall
        int ax = x + w - 10;
        cv.rect(ax, sill + 1, ax + 9, sill + 6, rgb(150, 150, 146));
        cv.hline(ax, ax + 9, sill + 1, rgb(200, 200, 196));
        for (int k = ax + 1; k < ax + 9; k += 2)
            cv.vline(k, sill + 3, sill + 5, rgb(84, 86, 90));
        cv.vline(ax + 9, sill + 2, sill + 6, rgb(90, 90, 90));
        for (int k = sill + 7; k < sill + 12; ++k)
            cv.dim(ax + 7, k, 0.75f);
        break;
    }
    case 1: {  // a box of geraniums
        cv.rect(x, sill - 3, x + w - 1, sill, rgb(96, 60, 36));
        for (int k = x + 1; k < x + w - 1; k += 2) {
            cv.set(k, sill - 4, rgb(40, 96, 44));
            if ((k / 2) % 3 != 1)
                cv.set(k, sill - 5, (k / 2) % 2 ? rgb(220, 50, 50) : rgb(240, 220, 90));
        }
        break;
    }
    case 2: {  // a pot plant on the inner sill, dark against a lit room
        Rgb leaf = lit ? rgb(30, 60, 34) : rgb(36, 74, 44);
        int px = x + 4, py = y + h - 4;
        cv.rect(px, py - 2, px + 3, py, rgb(140, 70, 40));
        cv.disc(px + 1, py - 5, 2, leaf);
        cv.disc(px + 3, py - 6, 2, leaf);
        cv.set(px + 2, py - 9, leaf);
        break;
    }
    case 3:  // a blind let half down over the upper panes
        if (lit)
            for (int k = y + 2; k < y + h / 2; ++k)
                cv.hline(x + 2, x + w - 3, k, k & 1 ? rgb(214, 200, 170) : rgb(236, 226, 200));
        break;
    case 4:  // a dark room's drawn curtains
        if (!lit)
            for (int k = x + 2; k <= x + w - 3; ++k)
                cv.vline(k, y + 2, y + h - 3, (k - x) % 3 ? rgb(58, 26, 30) : rgb(40, 18, 22));
        break;
    case 5:  // a net curtain over the lower panes
        if (!lit)
            for (int k = y + h / 2; k <= y + h - 3; ++k)
                cv.hline(x + 2, x + w - 3, k, (k & 1) ? rgb(96, 100, 110) : rgb(120, 124, 134));
        break;
    default: break;
    }
    if (extra >= 3 && extra <= 5) {  // the glazing bars stay in front of the cloth
        cv.vline(x + w / 2, y + 2, y + h - 3, frame);
        cv.hline(x + 2, x + w - 3, y + 2 + (h - 5) * 2 / 5, frame);
    }
}

void piece_building(Street& s, Canvas& cv, const Piece& p)
{
    int x0 = x0_of(p), x1 = x1_of(p);
    int base = p.num("base", GROUND_Y - 1);
    int top = p.num("top", 0);
    int seed = p.col * 7 + 3;
    int chimney = p.num("chimney", -1);
    std::string wall = p.str("wall", "brick");
    // Walls of one material share one texture (and so their tiles).
    if (!wall_material(cv, wall, x0, top, x1, base, p.num("seed", 1))) {
        fail(s,
             "wall is brick, brown, yellow, dark, concrete, stucco, green, blue, tin, stone or "
             "panel");
        return;
    }
    grime(cv, x0, top, x1, base, p.num("grime", 1), 0.5f);
    int gf_top = base - 55;  // ground floor 56 px high
    Rgb stone = rgb(120, 114, 104);
    bool concrete_wall =
        wall == "concrete" || wall == "stucco" || wall == "green" || wall == "blue";

    // Upper storeys: a window in each 32-px bay.
    int lit = p.num("lit", 45);
    // Each building paints its own frames, so neighbours of one wall differ.
    static const Rgb frames_brick[] = {rgb(150, 140, 120), rgb(196, 192, 180), rgb(52, 72, 58),
                                       rgb(98, 44, 38)};
    static const Rgb frames_render[] = {rgb(46, 46, 54), rgb(170, 170, 166), rgb(58, 68, 90)};
    int fv = (int)(noise(p.col, 9, seed) * (concrete_wall ? 3 : 4));
    Rgb frame = concrete_wall ? frames_render[fv] : frames_brick[fv];
    std::string upper = p.str("windows", "");
    std::string style = p.str("style", "sash");
    if (style != "sash" && style != "pair" && style != "wide" && style != "arch" &&
        style != "ribbon")
        return fail(s, "style is sash, pair, wide, arch or ribbon");
    for (int storey = 1; gf_top - 48 * storey + 48 > top + 8; ++storey) {
        int wy = gf_top - 48 * storey + 12;
        if (style == "ribbon") {  // a band of glass the width of the front
            if (wy < top + 8)
                continue;
            for (int y = wy; y < wy + 24; ++y)
                for (int x = x0 + 4; x <= x1 - 4; ++x) {
                    int pane = (x - x0 - 4) / 8, fy = y - wy;
                    bool on = noise(pane % 4 + storey * 4, storey, seed) * 100 < lit;
                    Rgb c = on ? mix(rgb(190, 200, 222), rgb(110, 124, 168), fy / 24.0f)
                               : mix(rgb(40, 52, 86), rgb(16, 20, 36), fy / 24.0f);
                    if ((x - x0 - 4) % 8 == 0 || fy == 0 || fy == 23)
                        c = rgb(30, 32, 40);
                    cv.set(x, y, c);
                }
            continue;
        }
        for (int bx = x0; bx + 31 <= x1 + 1; bx += 32) {
            int bay = (bx - x0) / 32;
            int kind;
            if (bay < (int)upper.size() && upper[bay] != '?') {
                char c = upper[bay];
                kind = c == '-' ? -1 : c >= '0' && c <= '6' ? c - '0' : 0;
            } else {
                float n = noise(bx, storey, seed);
                kind = n * 100 < lit ? 1 + (int)(noise(bx, storey, seed + 1) * 4) % 4 : 0;
                if (kind == 0 && noise(bx, storey, seed + 2) < 0.12f)
                    kind = 6;
            }
            if (kind < 0)
                continue;
            if (wy < top + 8)
                continue;  // no window cut by the roofline
            // Few variants of each kind, so windows share tiles.
            int v = hash3(bx, storey, seed) % 2;
            int extra = (int)(hash3(bx, storey, seed + 4) % 7);
            if (style == "pair") {
                window(cv, bx + 5, wy, 10, 26, kind, v, frame);
                window(cv, bx + 17, wy, 10, 26, kind == 0 ? 0 : (kind % 4) + 1, v, frame);
                sill_life(cv, bx + 5, wy, 10, 26, kind, extra, frame);
                sill_life(cv, bx + 17, wy, 10, 26, kind == 0 ? 0 : (kind % 4) + 1,
                          extra == 0 ? 6 : extra, frame);  // one air conditioner a pair
            } else if (style == "wide") {
                window(cv, bx + 4, wy + 4, 24, 20, kind, v, frame);
                sill_life(cv, bx + 4, wy + 4, 24, 20, kind, extra, frame);
            } else {
                window(cv, bx + 8, wy, 16, 26, kind, v, frame);
                sill_life(cv, bx + 8, wy, 16, 26, kind, extra, frame);
                if (style == "arch")  // a brick arch over the window
                    for (int dx = -10; dx <= 9; ++dx) {
                        int ay = wy - 2 - (int)(std::sqrt(std::max(0, 100 - dx * dx)) / 2.5f);
                        for (int k = 0; k < 3; ++k)
                            cv.set(bx + 16 + dx, ay + k,
                                   k == 0 ? mix(stone, rgb(255, 255, 255), 0.15f)
                                          : scale(stone, 0.85f));
                        cv.set(bx + 16, wy - 6, rgb(170, 164, 150));  // keystone
                    }
            }
        }
        // A ledge between the storeys.
        int ly = gf_top - 48 * storey + 46;
        if (storey == 1) {
            cv.rect(x0, gf_top - 4, x1, gf_top - 1, stone);
            cv.hline(x0, x1, gf_top - 4, mix(stone, rgb(255, 255, 255), 0.2f));
            cv.hline(x0, x1, gf_top, scale(stone, 0.4f));
        } else if (!concrete_wall && ly > top) {
            cv.hline(x0, x1, ly, scale(stone, 0.8f));
        }
    }
    // The roofline.
    if (top > 0) {
        cv.rect(x0, top, x1, top + 5, stone);
        cv.hline(x0, x1, top, mix(stone, rgb(255, 255, 255), 0.25f));
        for (int x = x0 + 1; x < x1; x += 4)
            cv.rect(x, top + 6, x + 1, top + 7, scale(stone, 0.7f));
        shadow_band(cv, x0, x1, top + 8, 5, 0.6f);
        if (chimney >= 0) {
            int cx = x0 + chimney;
            bricks(cv, cx, top - 14, cx + 9, top - 1, rgb(100, 46, 38), rgb(46, 36, 36), seed);
            cv.rect(cx - 1, top - 16, cx + 10, top - 14, stone);
        }
    }

    // Ground floor.
    std::string gf = p.str("ground", std::string(p.width, '.'));
    if ((int)gf.size() != p.width) {
        fail(s, "ground needs one letter per column");
        return;
    }
    int sign_h = p.has("sign") ? 12 : 0;
    if (sign_h) {
        Rgb board = colour_opt(s, p, "signcolor", "blue"), ink = colour_opt(s, p, "ink", "cream");
        sign(cv, x0 + 2, gf_top + 2, x1 - 2, gf_top + 2 + sign_h, p.str("sign", ""),
             scale(board, 0.7f), ink);
    }
    int oy = gf_top + 4 + sign_h;  // top of openings
    for (int i = 0; i < p.width;) {
        int j = i;
        while (j < p.width && gf[j] == gf[i])
            ++j;
        int ex0 = x0 + i * TILE, ex1 = x0 + j * TILE - 1;
        char c = gf[i];
        int eseed = seed + i * 13;
        switch (c) {
        case '.': break;
        case 'd':
        case 'D':
            for (int k = ex0; k < ex1; k += 24) {
                int dw = std::min(18, ex1 - k - 1), dh = std::min(44, base - oy - 1);
                door(cv, k + 3, base - dh, dw, dh, rgb(90, 56, 36), c == 'd', eseed + k);
                cv.rect(k + 1, base - 1, k + dw + 4, base, stone);  // the step
            }
            break;
        case 'w':
        case 'c':
        case 'k': {
            Rgb light = c == 'w'   ? rgb(255, 210, 130)
                        : c == 'c' ? rgb(190, 220, 240)
                                   : rgb(40, 46, 64);
            shop_window(cv, ex0 + 2, oy, ex1 - 2, base - 2, light, i, eseed);
            if (c != 'k')
                cv.glow((ex0 + ex1) / 2, base + 6, (ex1 - ex0) / 2 + 16, 14, light, 0.5f);
            break;
        }
        case 's': shutter(cv, ex0 + 2, oy, ex1 - 2, base - 1, rgb(96, 100, 108), eseed); break;
        case 'p':
            for (int k = ex0 + 2; k + 12 < ex1; k += 14)
                poster(cv, k, oy + 8 + (int)(noise(k, 1, eseed) * 8), 12, 18, eseed + k);
            break;
        case 'x': window(cv, ex0 + 3, oy + 6, ex1 - ex0 - 5, 26, 5, eseed, frame); break;
        case 'v':
            cv.rect(ex0 + 3, oy + 14, ex0 + 12, oy + 30, rgb(70, 76, 70));
            cv.rect(ex0 + 4, oy + 15, ex0 + 11, oy + 18, rgb(100, 108, 100));
            cv.rect(ex0 + 6, oy + 32, ex0 + 9, base - 2, rgb(50, 54, 50));
            break;
        default: fail(s, std::string("no ground-floor letter '") + c + "'"); return;
        }
        i = j;
    }
    if (p.has("awning")) {
        Rgb a = colour_opt(s, p, "awning", "red");
        awning(cv, x0 + 2, oy - 2, x1 - 2, 8, a, rgb(220, 214, 200));
    }
    // A dark plinth where the wall meets the pavement.
    cv.rect(x0, base - 1, x1, base, scale(stone, 0.45f));
    if (p.flag("fire")) {  // a fire escape over the middle bays
        Rgb iron = rgb(30, 30, 34);
        int fx0 = x0 + 20, fx1 = x1 - 20;
        for (int storey = 1; storey <= 3; ++storey) {
            int fy = gf_top - 48 * (storey - 1) - 8;
            if (fy < top + 10)
                break;
            cv.rect(fx0, fy, fx1, fy + 1, iron);
            for (int x = fx0; x <= fx1; x += 3)
                cv.vline(x, fy - 10, fy, iron);
            cv.hline(fx0, fx1, fy - 10, iron);
            int lx = storey % 2 ? fx1 - 10 : fx0 + 4;
            cv.line(lx, fy, lx + (storey % 2 ? -14 : 14), fy - 46, iron);
            cv.line(lx + 5, fy, lx + 5 + (storey % 2 ? -14 : 14), fy - 46, iron);
        }
    }
}

// A gap between buildings: a dark passage with a wall and a gate at the back.
void piece_alley(Street&, Canvas& cv, const Piece& p)
{
    int x0 = x0_of(p), x1 = x1_of(p), base = p.num("base", GROUND_Y - 1);
    int back_top = p.num("backtop", 40);
    bricks(cv, x0, back_top, x1, base, rgb(54, 34, 36), rgb(28, 24, 28), p.col);
    cv.shade_rect(x0, back_top, x1, base, 0.75f);
    // Side walls in perspective: darker wedges at both edges.
    for (int y = back_top; y <= base; ++y) {
        int d = 6 + (y - back_top) / 12;
        for (int k = 0; k < d; ++k) {
            cv.set(x0 + k, y, rgb(18, 16, 22));
            cv.set(x1 - k, y, rgb(24, 20, 26));
        }
    }
    int gy = base - 40;
    if (p.flag("gate")) {
        chain_link(cv, x0 + 8, gy, x1 - 8, base - 2, rgb(96, 100, 110));
        cv.rect(x0 + 7, gy - 2, x0 + 8, base, rgb(70, 72, 80));
        cv.rect(x1 - 8, gy - 2, x1 - 7, base, rgb(70, 72, 80));
        cv.hline(x0 + 7, x1 - 7, gy, rgb(110, 114, 124));
    }
    if (p.flag("light")) {  // a bulb over a back door
        int cx = (x0 + x1) / 2;
        cv.rect(cx - 6, base - 30, cx + 6, base - 1, rgb(40, 30, 26));
        cv.glow(cx, base - 34, 30, 40, rgb(255, 200, 120), 0.8f);
        cv.rect(cx - 1, base - 35, cx + 1, base - 33, rgb(255, 250, 210));
    }
    // The alley floor where it meets the pavement.
    cv.rect(x0 + 6, base - 2, x1 - 6, base, rgb(30, 28, 32));
}

void piece_pavement(Street& s, Canvas& cv, const Piece& p)
{
    int top = p.num("top", GROUND_Y), kerb = p.num("kerb", 198), bottom = p.num("bottom", cv.h - 1);
    Rgb stone = colour_opt(s, p, "color", "grey");
    paving(cv, x0_of(p), x1_of(p), top, bottom, scale(stone, 0.8f), p.num("seed", 5), kerb);
    shadow_band(cv, x0_of(p), x1_of(p), top, 4, 0.5f);
}

void piece_road(Street&, Canvas& cv, const Piece& p)
{
    int top = p.num("top", GROUND_Y), bottom = p.num("bottom", cv.h - 1);
    asphalt(cv, x0_of(p), top, x1_of(p), bottom, rgb(44, 44, 50), p.col);
    int line = p.num("lines", -1);
    if (line >= 0)
        for (int x = x0_of(p); x <= x1_of(p); ++x)
            if (x % 48 < 26)
                cv.rect(x, line, x, line + 1, rgb(200, 196, 170));
}

void piece_lamp(Street& s, Canvas& cv, const Piece& p)
{
    int x = x0_of(p) + p.num("dx", 8);
    Rgb light = colour_opt(s, p, "color", "warm");
    street_lamp(cv, x, p.num("foot", GROUND_Y + 4), p.num("head", 56), light, p.num("style", 0));
}

void piece_hydrant(Street&, Canvas& cv, const Piece& p)
{
    int x = x0_of(p) + p.num("dx", 8), foot = p.num("foot", GROUND_Y + 4);
    Rgb red = rgb(160, 36, 30);
    cv.rect(x - 3, foot - 14, x + 3, foot, red);
    cv.rect(x - 5, foot - 11, x + 5, foot - 9, scale(red, 0.8f));
    cv.rect(x - 2, foot - 17, x + 2, foot - 15, scale(red, 1.2f));
    cv.vline(x - 2, foot - 14, foot, scale(red, 1.35f));
    cv.rect(x - 4, foot, x + 4, foot + 1, rgb(30, 28, 30));
}

void piece_bin(Street&, Canvas& cv, const Piece& p)
{
    int x = x0_of(p) + p.num("dx", 8), foot = p.num("foot", GROUND_Y + 3);
    Rgb metal = rgb(84, 90, 92);
    for (int y = foot - 18; y <= foot; ++y)
        cv.hline(x - 6, x + 6, y, scale(metal, (y - foot + 18) % 4 == 0 ? 1.25f : 1.0f));
    cv.vline(x - 6, foot - 18, foot, scale(metal, 1.3f));
    cv.vline(x + 6, foot - 18, foot, scale(metal, 0.6f));
    cv.rect(x - 7, foot - 21, x + 7, foot - 19, scale(metal, 1.15f));
    if (p.flag("bags")) {
        cv.ellipse(x + 12, foot - 5, 6, 5, rgb(26, 26, 30));
        cv.ellipse(x + 9, foot - 3, 4, 3, rgb(40, 40, 46));
        cv.set(x + 11, foot - 9, rgb(80, 80, 90));
    }
}

void piece_phone(Street&, Canvas& cv, const Piece& p)
{
    int x = x0_of(p) + p.num("dx", 2), foot = p.num("foot", GROUND_Y + 4);
    Rgb red = rgb(150, 26, 26);
    cv.rect(x, foot - 64, x + 21, foot, red);
    cv.rect(x + 2, foot - 58, x + 19, foot - 6, rgb(255, 226, 160));
    for (int y = foot - 52; y < foot - 6; y += 8)
        cv.hline(x + 2, x + 19, y, red);
    cv.vline(x + 10, foot - 58, foot - 6, red);
    cv.rect(x + 4, foot - 62, x + 17, foot - 60, rgb(240, 240, 230));
    cv.rect(x + 1, foot - 66, x + 20, foot - 65, scale(red, 0.8f));
    cv.glow(x + 10, foot - 30, 22, 40, rgb(255, 220, 150), 0.4f);
}

void piece_tag(Street& s, Canvas& cv, const Piece& p)
{
    Rgb fill = colour_opt(s, p, "color", "pink"), out = colour_opt(s, p, "outline", "black");
    graffiti(cv, x0_of(p) + p.num("dx", 0), p.num("y", 100), p.str("text", "NW"), scale(fill, 0.8f),
             scale(out, 0.7f), p.col, p.num("size", 2));
}

void piece_neon(Street& s, Canvas& cv, const Piece& p)
{
    Rgb tube = colour_opt(s, p, "color", "pink");
    neon(cv, x0_of(p) + p.width * TILE / 2, p.num("y", 60), p.str("text", "BAR"), tube,
         p.num("size", 2));
}

void piece_poster(Street&, Canvas& cv, const Piece& p)
{
    poster(cv, x0_of(p) + p.num("dx", 2), p.num("y", 100), p.num("w", 12), p.num("h", 18), p.col);
}

void piece_manhole(Street&, Canvas& cv, const Piece& p)
{
    int x = x0_of(p) + p.num("dx", 8), y = p.num("y", 176);
    cv.ellipse(x, y, 11, 4, rgb(34, 34, 38));
    cv.ellipse(x, y, 9, 3, rgb(62, 60, 62));
    for (int k = -8; k <= 8; k += 3)
        cv.vline(x + k, y - 2, y + 2, rgb(44, 44, 48));
}

void piece_litter(Street&, Canvas& cv, const Piece& p)
{
    int x0 = x0_of(p), y = p.num("y", 160);
    static const Rgb bits[] = {{200, 200, 190}, {180, 60, 50}, {90, 150, 200}, {200, 180, 90}};
    for (int k = 0; k < 4 * p.width; ++k) {
        int x = x0 + (int)(noise(p.col, k, 31) * p.width * TILE);
        int yy = y + (int)(noise(p.col, k, 32) * 36);
        Rgb c = scale(bits[hash3(p.col, k, 33) % 4], 0.6f);
        cv.rect(x, yy, x + 1 + k % 2, yy + (k % 3 == 0), c);
    }
}

void piece_puddle(Street&, Canvas& cv, const Piece& p)
{
    puddle(cv, x0_of(p) + p.num("dx", 8), p.num("y", 180), p.num("w", 14), p.num("h", 3),
           rgb(60, 64, 104));
}

// A wire fence on posts, with barbed wire along the top.
void piece_fence(Street& s, Canvas& cv, const Piece& p)
{
    int x0 = x0_of(p), x1 = x1_of(p), top = p.num("top", 96), base = p.num("base", GROUND_Y - 1);
    Rgb wire = colour_opt(s, p, "color", "grey");
    if (p.flag("lot")) {  // waste ground behind: rubble and weeds
        for (int y = base - 22; y <= base; ++y)
            for (int x = x0; x <= x1; ++x) {
                float n = smooth_noise((float)x, (float)y, 8, 64, p.col);
                int h = base - 22 + (int)(12 * smooth_noise((float)x, 0, 16, 64, p.col + 1));
                if (y >= h)
                    cv.set(x, y, scale(rgb(64, 56, 50), 0.6f + 0.5f * n));
            }
    }
    chain_link(cv, x0, top + 4, x1, base - 1, scale(wire, 0.8f));
    for (int x = x0 + 6; x <= x1; x += 48) {
        cv.rect(x, top - 4, x + 2, base, rgb(60, 62, 70));
        cv.vline(x, top - 4, base, rgb(110, 112, 122));
    }
    cv.hline(x0, x1, top + 4, scale(wire, 1.1f));
    barbed_wire(cv, x0, x1, top, scale(wire, 0.9f));
}

// A builder's scaffold standing on a low roof: tube standards, a boarded
// lift every 16 pixels with its guard rail, braces across the bays. Things
// that teeter high over the street want something to stand on.
void piece_scaffold(Street& s, Canvas& cv, const Piece& p)
{
    int x0 = x0_of(p) + 3, x1 = x1_of(p) - 3, top = p.num("top", 0), base = p.num("base", 51);
    Rgb tube = colour_opt(s, p, "color", "grey");
    Rgb dark = scale(tube, 0.45f), lit = mix(tube, rgb(255, 255, 255), 0.2f);
    Rgb board = rgb(112, 84, 52);
    int bays = std::max(1, (x1 - x0) / 32);
    for (int b = 0; b <= bays; ++b) {  // the standards
        int x = x0 + (x1 - x0) * b / bays;
        cv.vline(x, top, base, dark);
        cv.vline(x + 1, top, base, lit);
    }
    for (int y = base - 16, lift = 0; y >= top + 2; y -= 16, ++lift) {
        for (int b = 0; b < bays; ++b) {  // a brace in every other bay, turning each lift
            int bx0 = x0 + (x1 - x0) * b / bays, bx1 = x0 + (x1 - x0) * (b + 1) / bays;
            if ((b + lift) % 2 == 0)
                cv.line(bx0 + 2, y + 15, bx1 - 1, y + 2, dark);
        }
        cv.rect(x0 - 2, y, x1 + 2, y + 2, board);  // the boards ...
        cv.hline(x0 - 2, x1 + 2, y, mix(board, rgb(255, 230, 190), 0.25f));
        cv.hline(x0 - 2, x1 + 2, y + 3, dark);     // ... on their ledger
        cv.hline(x0, x1, y - 8, tube);             // the guard rail
        shadow_band(cv, x0, x1, y + 4, 3, 0.75f);
    }
}

// A bus shelter: glass panes in a frame under a roof, a lit advert at one
// end and the stop's sign on its pole.
void piece_busstop(Street& s, Canvas& cv, const Piece& p)
{
    int x0 = x0_of(p) + 2, x1 = x1_of(p) - 2, base = p.num("base", GROUND_Y + 2);
    int top = base - 50;
    Rgb frame = rgb(60, 64, 72);
    for (int y = top + 4; y < base - 2; ++y)
        for (int x = x0; x <= x1; ++x)
            cv.blend(x, y, rgb(120, 150, 170), 0.25f);  // glass
    cv.rect(x0 - 3, top, x1 + 3, top + 4, frame);
    cv.hline(x0 - 3, x1 + 3, top, rgb(140, 146, 156));
    for (int x = x0; x <= x1; x += (x1 - x0) / 3)
        cv.rect(x, top + 4, x + 1, base, frame);
    cv.rect(x0, base - 18, x1, base - 16, frame);  // bench
    // The advert panel, lit from inside.
    int ax0 = x1 - 22, ax1 = x1 - 2;
    cv.vgrad(ax0, top + 8, ax1, base - 20, rgb(240, 220, 180), rgb(200, 120, 90));
    poster(cv, ax0 + 2, top + 10, ax1 - ax0 - 3, base - top - 32, x0);
    cv.glow((ax0 + ax1) / 2, base - 20, 30, 30, rgb(255, 230, 180), 0.4f);
    // The stop's sign.
    int px = x0 - 10;
    cv.rect(px - 1, top - 14, px + 1, base, frame);
    cv.disc(px, top - 18, 7, rgb(200, 40, 40));
    cv.disc(px, top - 18, 5, rgb(240, 240, 236));
    cv.text("BUS", px - 8, top - 21, rgb(30, 30, 60));
    cv.rect(px - 5, top - 8, px + 5, top, rgb(230, 230, 220));  // timetable
    for (int y = top - 6; y < top; y += 2)
        cv.hline(px - 3, px + 3, y, rgb(90, 90, 100));
    (void)s;
}

// The end of a street: a high wall across it, seen running towards the
// viewer from the building line, its courses converging into the distance.
void piece_deadend(Street& s, Canvas& cv, const Piece& p)
{
    int x0 = x0_of(p), x1 = x1_of(p), bottom = cv.h - 1;
    int top = p.num("top", 20), far_base = GROUND_Y - 2;
    Rgb brick = colour_opt(s, p, "color", "rust");
    for (int x = x0; x <= x1; ++x) {
        float t = (float)(x - x0) / std::max(1, x1 - x0);
        // both edges straight, as a plane's edges are in perspective: a
        // curved foot bent every course with it and bulged the wall
        int yt = top - (int)(t * (top + 30)),
            yb = far_base + (int)(t * (bottom + 40 - far_base));
        float course = (yb - yt) / 36.0f;  // 36 courses from top to foot
        int bw = 4 + (int)(t * 10);        // bricks widen nearer the eye
        for (int y = std::max(0, yt); y <= std::min(bottom, yb); ++y) {
            int row = (int)((y - yt) / course);
            bool bed = (int)((y - yt + 1) / course) != row;
            bool head = ((x - x0 + (row & 1) * bw / 2) % bw) == 0;
            float tone = 0.55f + 0.45f * t + 0.12f * noise(row, (x - x0) / bw, 41);
            cv.set(x, y, bed || head ? rgb(38, 30, 30) : scale(brick, tone * 0.75f));
        }
        for (int k = 0; k < 3; ++k)
            cv.set(x, std::max(0, yt + k), k == 0 ? rgb(160, 150, 140) : rgb(90, 84, 80));
        if (yt - 3 >= 0)
            barbed_wire(cv, x, x, yt - 3, rgb(120, 120, 130));
    }
    // The wall's near end, and its shadow falling back along the pavement.
    cv.vline(x1, 0, bottom, rgb(30, 24, 24));
    for (int y = far_base; y <= bottom; ++y) {
        float t = (float)(y - far_base) / (bottom - far_base + 1);
        float foot = (float)(y - far_base) / (bottom + 40 - far_base);  // where the foot is at y
        int reach = (int)(12 + 40 * t);
        int edge = x0 + (int)(foot * (x1 - x0) * 0.9f);
        for (int x = edge - reach; x < edge; ++x)
            if (x >= 0 && x < x0 + (int)(foot * (x1 - x0)))
                cv.dim(x, y, 0.6f + 0.4f * (float)(edge - x) / reach);
    }
    std::string tag = p.str("tag", "");
    if (!tag.empty()) {  // whole on the wall: at the street's end the view stops at its edge
        int x = std::min(x0 + 4, x1 - (text_w(tag, 1) + 8 + 2 * (int)tag.size()) - 2);
        graffiti(cv, std::max(x0 - 24, x), p.num("tagy", 120), tag, rgb(220, 220, 230),
                 rgb(20, 20, 24), 43, 1);
    }
}

// A pub front over a ground floor: fascia with its name, red-lit windows
// with bottles and a small neon sign, double doors between lanterns.
void piece_bar(Street& s, Canvas& cv, const Piece& p)
{
    int x0 = x0_of(p), x1 = x1_of(p), base = p.num("base", GROUND_Y - 1);
    int gf_top = base - 55;
    Rgb paint = colour_opt(s, p, "color", "black"), gold = rgb(230, 190, 90);
    cv.rect(x0, gf_top + 1, x1, base, scale(paint, 0.8f));
    for (int x = x0 + 2; x < x1; x += 6)
        cv.vline(x, gf_top + 18, base - 1, scale(paint, 1.2f));
    // Fascia.
    std::string name = p.str("name", "THE BAR");
    sign(cv, x0, gf_top + 1, x1, gf_top + 15, name, rgb(26, 60, 40), gold);
    cv.hline(x0, x1, gf_top + 16, scale(gold, 0.6f));
    int mid = (x0 + x1) / 2;
    // Windows either side of the door.
    for (int side = -1; side <= 1; side += 2) {
        int wx0 = side < 0 ? x0 + 8 : mid + 22, wx1 = side < 0 ? mid - 22 : x1 - 8;
        int wy0 = gf_top + 22, wy1 = base - 10;
        cv.rect(wx0 - 2, wy0 - 2, wx1 + 2, wy1 + 2, rgb(20, 16, 14));
        cv.vgrad(wx0, wy0, wx1, wy1, rgb(200, 60, 40), rgb(90, 20, 20));
        for (int bx = wx0 + 2; bx < wx1 - 2; bx += 4) {  // bottles on a shelf
            int bh = 5 + (int)(noise(bx, 0, 44) * 4);
            cv.rect(bx, wy1 - 12 - bh, bx + 1, wy1 - 12,
                    hash3(bx, 1, 45) % 2 ? rgb(60, 110, 60) : rgb(140, 90, 40));
        }
        cv.hline(wx0, wx1, wy1 - 11, rgb(60, 30, 20));
        cv.rect(wx0, wy1 - 6, wx1, wy1, rgb(40, 14, 14));  // café curtain
        for (int gx = wx0 + (wx1 - wx0) / 3; gx < wx1; gx += (wx1 - wx0) / 3)
            cv.vline(gx, wy0, wy1, rgb(20, 16, 14));
        cv.glow((wx0 + wx1) / 2, base + 8, (wx1 - wx0) / 2 + 10, 12, rgb(255, 90, 60), 0.5f);
    }
    if (p.has("window"))
        neon(cv, x0 + 8 + (mid - 22 - x0 - 8) / 2, gf_top + 26, p.str("window", "ALE"),
             colour_opt(s, p, "neon", "cyan"), 1);
    // Double doors, a light over them, lanterns at the sides.
    cv.rect(mid - 14, base - 38, mid + 14, base, rgb(20, 16, 14));
    for (int side = -1; side <= 1; side += 2)
        door(cv, side < 0 ? mid - 12 : mid + 1, base - 36, 11, 36, rgb(90, 30, 26), true,
             46 + side);
    cv.rect(mid - 12, base - 40, mid + 12, base - 38, rgb(255, 220, 150));
    for (int side = -1; side <= 1; side += 2) {
        int lx = mid + side * 19;
        cv.glow(lx, base - 34, 20, 26, rgb(255, 190, 110), 0.6f);
        cv.rect(lx - 2, base - 38, lx + 2, base - 32, rgb(255, 226, 150));
        cv.rect(lx - 3, base - 39, lx + 3, base - 39, rgb(30, 26, 22));
    }
    cv.rect(mid - 16, base - 1, mid + 16, base, rgb(110, 104, 96));  // the step
}

const PainterEntry city_pieces[] = {
    {"sky", piece_sky},         {"far", piece_far},           {"building", piece_building},
    {"alley", piece_alley},     {"pavement", piece_pavement}, {"road", piece_road},
    {"lamp", piece_lamp},       {"hydrant", piece_hydrant},   {"bin", piece_bin},
    {"phone", piece_phone},     {"tag", piece_tag},           {"neon", piece_neon},
    {"poster", piece_poster},   {"manhole", piece_manhole},   {"litter", piece_litter},
    {"puddle", piece_puddle},   {"fence", piece_fence},       {"bar", piece_bar},
    {"busstop", piece_busstop}, {"deadend", piece_deadend},   {"scaffold", piece_scaffold},
    {nullptr, nullptr},
};

}  // namespace gg
