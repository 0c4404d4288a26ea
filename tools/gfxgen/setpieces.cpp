// Pictures for what happens round the fights: the whirlwind's flash, swirl
// and impacts, the first street's hints, and each street's hazard (a bottle
// from a window, the junkyard's magnet and its car, the bridge's traffic,
// downtown's steam vent, the docks' forklift) with its warning sign, and what
// happens on the walks between the fights.
#include <algorithm>
#include <cmath>

#include "tools/gfxgen/cast.h"

namespace gg {

namespace {

const int kInk = 127;
const float kPi = 3.14159265f;

BITMAP* canvas(int w, int h)
{
    BITMAP* b = create_bitmap_ex(8, w, h);
    clear_to_color(b, 0);
    return b;
}

// Cropped (outlined or not), standing on its bottom edge at canvas x `hx`.
Drawn done(BITMAP* c, int hx, bool outline)
{
    Drawn d = outline ? finish(c, hx) : crop(c, hx);
    destroy_bitmap(c);
    return d;
}

// A soft round puff lit from the upper left.
void puff(BITMAP* b, int x, int y, int r, int d, int m, int l)
{
    circlefill(b, x, y, r, d);
    circlefill(b, x - 1, y - 1, r * 3 / 4, m);
    if (r > 2)
        circlefill(b, x - r / 3, y - r / 3, r / 3, l);
}

void wheel(BITMAP* b, int x, int y, int r, int turn)
{
    circlefill(b, x, y, r, 1);
    circlefill(b, x, y, r / 2, 105);
    float a = turn * kPi / 4;
    line(b, x - (int)(r / 2 * std::cos(a)), y - (int)(r / 2 * std::sin(a)),
         x + (int)(r / 2 * std::cos(a)), y + (int)(r / 2 * std::sin(a)), 104);
    putpixel(b, x, y, 106);
}

// A car seen from the side, facing right, its bottom at y: body colours
// (dark, mid, light), wheels turned by `turn`, lights on.
void car_at(BITMAP* b, int x0, int y, int w, const Ramp& c, int turn)
{
    int h = w / 4;
    rectfill(b, x0, y - h - 4, x0 + w, y - 5, c.m);                       // lower body
    rectfill(b, x0 + w / 5, y - h - 14, x0 + w * 3 / 4, y - h - 4, c.m);  // cabin
    int ws[] = {x0 + w / 5 + 3,     y - h - 5,  x0 + w / 5 + 7,     y - h - 12,
                x0 + w * 3 / 4 - 4, y - h - 12, x0 + w * 3 / 4 - 1, y - h - 5};
    polygon(b, 4, ws, 221);  // windows
    vline(b, x0 + w / 2 - 2, y - h - 12, y - h - 5, c.m);
    hline(b, x0, y - h - 4, x0 + w, c.l);  // shoulder line
    hline(b, x0 + w / 5, y - h - 14, x0 + w * 3 / 4, c.l);
    hline(b, x0, y - 6, x0 + w, c.d);
    vline(b, x0 + w / 2 + 4, y - h - 3, y - 7, c.d);             // door
    rectfill(b, x0 + w - 2, y - h - 1, x0 + w, y - h + 2, 219);  // headlight
    rectfill(b, x0, y - h - 1, x0 + 1, y - h + 2, 218);          // tail light
    wheel(b, x0 + w / 5, y - 5, 5, turn);
    wheel(b, x0 + w * 4 / 5, y - 5, 5, turn);
}

}  // namespace

// 0..3 the swirl round the spinning hero, turning a quarter each frame;
// 4 the flash of its start; 5 an impact burst on everyone it hits.
Drawn whirl_sprite(int k)
{
    if (k < 4) {
        BITMAP* c = canvas(76, 72);
        int cx = 38;
        for (int ring = 0; ring < 3; ++ring) {
            int cy = 62 - ring * 20, rx = 34 - ring * 4, ry = 8 - ring;
            float from = (k * 90 + ring * 50) * kPi / 180;
            for (int s = 0; s < 150; s += 2) {  // a streak fading toward its tail
                float a = from + s * kPi / 180;
                int x = cx + (int)std::lround(rx * std::cos(a));
                int y = cy + (int)std::lround(ry * std::sin(a));
                bool front = std::sin(a) > 0;
                int col = s > 110 ? 243 : s > 60 ? 249 : front ? 240 : 248;
                putpixel(c, x, y, col);
                if (front && s < 90)
                    putpixel(c, x, y - 1, s < 40 ? 241 : 248);
            }
        }
        for (int i = 0; i < 6; ++i) {  // dust whipped up at the feet
            float a = (k * 60 + i * 60) * kPi / 180;
            putpixel(c, cx + (int)(30 * std::cos(a)), 66 + (int)(3 * std::sin(a)), 7);
        }
        return done(c, cx, false);
    }
    if (k == 4) {  // rays round a white core, in the fire colours
        BITMAP* c = canvas(112, 112);
        int cx = 56, cy = 56;
        for (int r = 0; r < 16; ++r) {
            float a = r * 2 * kPi / 16 + 0.1f;
            int len = r % 2 ? 34 : 52;
            for (int t = 0; t < 3; ++t)
                line(c, cx, cy, cx + (int)(len * std::cos(a + (t - 1) * 0.03f)),
                     cy + (int)(len * std::sin(a + (t - 1) * 0.03f)), t == 1 ? 209 : 200);
        }
        circlefill(c, cx, cy, 18, 206);
        circlefill(c, cx, cy, 13, 209);
        circlefill(c, cx, cy, 8, 240);
        return done(c, cx, false);
    }
    BITMAP* c = canvas(56, 56);  // an eight-point star with a hot middle
    int cx = 28, cy = 28;
    int pts[32];
    for (int i = 0; i < 16; ++i) {
        float a = i * kPi / 8, r = i % 2 ? 9 : 24;
        pts[2 * i] = cx + (int)(r * std::cos(a));
        pts[2 * i + 1] = cy + (int)(r * std::sin(a));
    }
    polygon(c, 16, pts, 114);
    circlefill(c, cx, cy, 9, 113);
    circlefill(c, cx, cy, 5, 112);
    return done(c, cx, true);
}

// The first street's hints: a dark plate with a move's keys in gold over
// what it does in white.
Drawn hint_sprite(int k)
{
    // At most 20 letters a line: like every sprite, a plate fits 128 pixels.
    static const char* const text[8][2] = {
        {"MAN AT YOUR BACK?", "KEEP THEM IN FRONT"},
        {"PUNCH+KICK JUMP KICK", "FROM A STEP AWAY"},
        {"DAZED? WALK INTO HIM", "THEN PUNCH OR KICK"},
        {"KNIFE? HE LUNGES:", "STEP OUT OF HIS LINE"},
        {"HIT CANS AND CRATES", "FOOD MAY BE INSIDE"},
        {"UP + PUNCH + KICK", "WHIRLWIND: A STAR"},
        {"BLOCKED? EASE OFF", "HIT AFTER HIS SIGN"},
        {"SEE A SIGN? STEP IN", "AND HIT HIM FIRST"},
    };
    static const int gold[7] = {244, 244, 245, 245, 246, 246, 247};
    static const int white[7] = {240, 240, 241, 241, 242, 242, 243};
    int w = 0;
    for (int i = 0; i < 2; ++i)
        w = std::max(w, text_width(text[k][i]));
    w += 6;
    BITMAP* c = canvas(w + 2, 24);
    rectfill(c, 0, 0, w, 22, 254);
    rect(c, 0, 0, w, 22, 243);
    putpixel(c, 0, 0, 0);  // rounded corners
    putpixel(c, w, 0, 0);
    putpixel(c, 0, 22, 0);
    putpixel(c, w, 22, 0);
    for (int i = 0; i < 2; ++i) {
        int tw = text_width(text[k][i]);
        draw_text(c, text[k][i], (w - tw) / 2 + 1, 3 + i * 10, i ? white : gold, kInk);
    }
    Drawn d = crop(c, w / 2);
    destroy_bitmap(c);
    return d;
}

// 0 a bottle, 1 its glass on the street, 2 the warning sign, 3 the magnet
// with its car, 4 the car dropped, 5 and 6 a car driving, 7 a vent's grate,
// 8 the vent's first puffs, 9 and 10 its blast of steam, 11 and 12 a
// forklift with a crate on its forks.
Drawn hazard_sprite(int k)
{
    const Ramp red = {216, 217, 218}, rust = {115, 114, 113};
    switch (k) {
    case 0: {
        BITMAP* c = canvas(16, 20);
        rectfill(c, 5, 6, 10, 18, 43);
        vline(c, 6, 7, 17, 42);
        rectfill(c, 7, 1, 8, 6, 44);
        rectfill(c, 6, 11, 9, 14, 58);  // the label
        return done(c, 8, true);
    }
    case 1: {
        BITMAP* c = canvas(32, 10);
        int shards[][3] = {{4, 7, 43},  {9, 5, 42},   {14, 8, 221},
                           {19, 6, 44}, {24, 7, 222}, {27, 5, 43}};
        for (auto& s : shards) {
            int tri[] = {s[0], s[1], s[0] + 3, s[1] + 1, s[0] + 1, s[1] - 2};
            polygon(c, 3, tri, s[2]);
        }
        putpixel(c, 12, 6, 240);
        putpixel(c, 21, 7, 240);
        return done(c, 16, false);
    }
    case 2: {
        BITMAP* c = canvas(24, 24);
        int tri[] = {12, 1, 23, 21, 1, 21};
        polygon(c, 3, tri, 246);
        int in[] = {12, 5, 19, 19, 5, 19};
        polygon(c, 3, in, 245);
        rectfill(c, 11, 8, 13, 14, kInk);
        rectfill(c, 11, 16, 13, 18, kInk);
        return done(c, 12, true);
    }
    case 3:
    case 4: {
        BITMAP* c = canvas(96, 110);
        if (k == 3) {
            vline(c, 47, 0, 36, 104);  // the cable, the magnet, the car it holds
            vline(c, 48, 0, 36, 105);
            ellipsefill(c, 48, 40, 20, 6, 104);
            ellipsefill(c, 48, 38, 20, 5, 105);
            hline(c, 30, 36, 66, 106);
            car_at(c, 14, 82, 68, rust, 0);
            rectfill(c, 20, 60, 30, 62, 1);  // dents and rust holes
            circlefill(c, 62, 68, 2, 1);
        } else {  // crushed flat, glass burst out
            int body[] = {10, 108, 14, 92, 36, 86, 70, 88, 86, 96, 88, 108};
            polygon(c, 6, body, rust.m);
            line(c, 14, 92, 36, 86, rust.l);
            line(c, 36, 86, 70, 88, rust.l);
            hline(c, 10, 101, 88, rust.d);
            rectfill(c, 36, 90, 62, 94, 221);
            wheel(c, 22, 105, 5, 1);
            wheel(c, 76, 105, 5, 2);
            for (int i = 0; i < 6; ++i)
                putpixel(c, 4 + i * 17, 108 - (i % 2), 222);
        }
        return done(c, 48, true);
    }
    case 5:
    case 6: {
        BITMAP* c = canvas(110, 44);
        car_at(c, 4, 42, 100, red, k == 5 ? 0 : 1);
        for (int i = 0; i < 4; ++i)  // the headlights' beam on the road ahead
            putpixel(c, 106, 20 + i, 113);
        // The front pane is left open, so that whoever is drawn behind the
        // car sits at its wheel (the hero on the road after the van); it is
        // cleared after the outline so that the outline does not fill it.
        const int pane = 222;
        floodfill(c, 66, 9, pane);
        Drawn d = done(c, 54, true);
        for (int y = 0; y < d.b->h; ++y)
            for (int x = 0; x < d.b->w; ++x)
                if (getpixel(d.b, x, y) == pane)
                    putpixel(d.b, x, y, 0);
        return d;
    }
    case 7: {
        BITMAP* c = canvas(40, 12);
        ellipsefill(c, 20, 6, 16, 4, 104);
        ellipse(c, 20, 6, 16, 4, 105);
        for (int x = 8; x <= 32; x += 4)
            vline(c, x, 3, 9, kInk);
        return done(c, 20, false);
    }
    default: break;
    }
    if (k <= 10) {  // steam: a few puffs as a warning, then a column
        bool blast = k > 8;
        BITMAP* c = canvas(48, 90);
        int n = blast ? 9 : 3;
        for (int i = 0; i < n; ++i) {
            int y = 84 - i * (blast ? 9 : 6), r = 4 + i / 2 + (blast ? 2 : 0);
            int x = 24 + (int)((i % 3 - 1) * (blast ? 3 : 2) * (k == 10 ? -1 : 1));
            puff(c, x, y, r, 7, 8, 240);
        }
        return done(c, 24, false);
    }
    // the forklift: a yellow body, the mast, a crate on its forks
    bool second = k == 12;
    BITMAP* c = canvas(90, 64);
    rectfill(c, 8, 30, 50, 52, 246);  // body
    rectfill(c, 8, 30, 50, 33, 245);
    rectfill(c, 4, 34, 10, 50, 104);  // counterweight
    rectfill(c, 18, 10, 42, 30, 0);
    rect(c, 18, 10, 42, 30, 105);  // the cab's cage
    line(c, 18, 10, 42, 10, 106);
    rectfill(c, 52, 6, 56, 56, 104);  // mast
    vline(c, 53, 6, 56, 105);
    rectfill(c, 56, 50, 86, 53, 105);  // forks
    rectfill(c, 58, 30, 84, 49, 108);  // the crate
    rect(c, 58, 30, 84, 49, 107);
    line(c, 59, 48, 83, 31, 107);
    wheel(c, 16, 54, 7, second ? 1 : 0);
    wheel(c, 44, 56, 5, second ? 2 : 1);
    rectfill(c, 26, 14, 30, 22, 29);  // the driver's head and arm
    putpixel(c, 50, 36, 219);         // a lamp
    return done(c, 40, true);
}

// The walks' moments: the docks' crane load on its cable, the gang's van's
// headlights thrown on the road ahead of it, a shop window's cracked pane,
// a barrel rolling on its side (two frames).
Drawn walk_sprite(int k)
{
    if (k == 0) {
        // bottom middle is the load's bottom; the cable runs off the top
        BITMAP* c = canvas(40, 120);
        vline(c, 19, 0, 78, 104);
        vline(c, 20, 0, 78, 105);
        circle(c, 20, 82, 4, 105);  // the hook
        line(c, 20, 86, 4, 96, 104);  // the sling
        line(c, 20, 86, 35, 96, 104);
        rectfill(c, 3, 96, 36, 118, 108);
        rect(c, 3, 96, 36, 118, 107);
        vline(c, 19, 97, 117, 107);
        line(c, 4, 117, 18, 97, 107);
        line(c, 21, 117, 35, 97, 107);
        hline(c, 3, 119, 36, 104);  // the pallet
        return done(c, 20, true);
    }
    if (k == 1) {
        // a wedge of light, stippled so the road shows through it
        BITMAP* c = canvas(72, 24);
        for (int x = 0; x < 72; ++x) {
            int half = 3 + x * 9 / 72;
            for (int y = 12 - half; y <= 12 + half; ++y)
                if ((x + y) % 2 == 0)
                    putpixel(c, x, y, x < 24 ? 240 : x < 48 ? 246 : 245);
        }
        return done(c, 0, false);
    }
    if (k >= 3) {
        // a barrel on its side, rolling: its bung and rust streak turn round
        BITMAP* c = canvas(36, 22);
        rectfill(c, 4, 2, 30, 20, 217);
        hline(c, 4, 3, 30, 218);
        hline(c, 4, 19, 30, 216);
        for (int x : {10, 24})
            vline(c, x, 2, 20, 216);  // hoops
        ellipsefill(c, 31, 11, 3, 9, 216);  // the end towards us
        ellipse(c, 31, 11, 3, 9, 104);
        int turn = k == 3 ? 5 : 15;
        rectfill(c, 14, turn, 19, turn + 2, 104);
        putpixel(c, 16, turn + 1, 105);
        return done(c, 18, true);
    }
    BITMAP* c = canvas(28, 24);
    const int rays[][2] = {{0, 4}, {6, 0}, {20, 0}, {27, 6}, {27, 18}, {18, 23}, {4, 23}, {0, 14}};
    for (auto& r : rays)
        line(c, 13, 11, r[0], r[1], (r[0] + r[1]) % 3 ? 240 : 222);
    circle(c, 13, 11, 5, 240);
    circle(c, 13, 11, 9, 221);
    return done(c, 14, false);
}

}  // namespace gg
