// Everything in the sprite range that is not a person: items on the ground
// and their HUD icons, effects, breakable props, projectiles and the van.
#include <algorithm>
#include <cmath>

#include "tools/gfxgen/cast.h"

namespace gg {

namespace {

const int kInk = 127;  // outline
const float kPi = 3.14159265f;

BITMAP* canvas(int w, int h)
{
    BITMAP* b = create_bitmap_ex(8, w, h);
    clear_to_color(b, 0);
    return b;
}

// Outlined (or not) and cropped; resting things sit centred on their hot spot.
Drawn grounded(BITMAP* c, bool outline = true)
{
    Drawn d = outline ? finish(c, 0) : crop(c);
    destroy_bitmap(c);
    d.hx = d.b->w / 2;
    return d;
}

// A shaded rod from a to b: light along its upper edge, dark along its lower.
void rod(BITMAP* b, float x0, float y0, float x1, float y1, float r0, float r1, int d, int m, int l)
{
    float dx = x1 - x0, dy = y1 - y0, len = std::sqrt(dx * dx + dy * dy);
    int n = (int)(len * 2) + 1;
    for (int pass = 0; pass < 3; ++pass)
        for (int i = 0; i <= n; ++i) {
            float t = (float)i / n, r = r0 + (r1 - r0) * t;
            float cx = x0 + dx * t, cy = y0 + dy * t;
            int col = pass == 0 ? d : pass == 1 ? m : l;
            float rr = pass == 0 ? r : pass == 1 ? r - 0.7f : r * 0.35f;
            float oy = pass == 0 ? 0 : pass == 1 ? -0.4f : -r * 0.5f;
            if (rr < 0.2f)
                rr = 0.2f;
            int ix0 = (int)std::floor(cx - rr), ix1 = (int)std::ceil(cx + rr);
            int iy0 = (int)std::floor(cy + oy - rr), iy1 = (int)std::ceil(cy + oy + rr);
            for (int y = iy0; y <= iy1; ++y)
                for (int x = ix0; x <= ix1; ++x) {
                    float ex = x - cx, ey = y - cy - oy;
                    if (ex * ex + ey * ey <= rr * rr + 0.25f)
                        putpixel(b, x, y, col);
                }
        }
}

void knife_at(BITMAP* b, int x, int y, int len)
{
    rectfill(b, x, y, x + 6, y + 2, 1);  // handle
    hline(b, x, y, x + 6, 111);
    for (int k = x + 1; k < x + 6; k += 2)
        putpixel(b, k, y + 1, 2);
    vline(b, x + 7, y - 1, y + 3, 106);  // guard
    vline(b, x + 8, y - 1, y + 3, 104);
    for (int i = 0; i < len; ++i) {  // blade, back straight, edge curving to the point
        int h = i < len - 4 ? 2 : i < len - 1 ? 1 : 0;
        vline(b, x + 9 + i, y, y + h, 105);
        putpixel(b, x + 9 + i, y, 240);
        if (h == 2)
            putpixel(b, x + 9 + i, y + 2, 104);
    }
}

void pipe_at(BITMAP* b, float x0, float y0, float x1, float y1)
{
    rod(b, x0, y0, x1, y1, 1.6f, 1.6f, 104, 105, 106);
    circlefill(b, (int)x1, (int)y1, 1, 104);  // open end
    putpixel(b, (int)x1, (int)y1, kInk);
    rod(b, x0, y0, x0 + (x1 - x0) * 0.12f, y0 + (y1 - y0) * 0.12f, 2.0f, 2.0f, 104, 104, 105);
}

void bat_at(BITMAP* b, float x0, float y0, float x1, float y1)
{
    rod(b, x0, y0, x1, y1, 0.9f, 2.6f, 107, 108, 109);
    circlefill(b, (int)x0, (int)y0, 1, 107);                         // knob
    float tx = x0 + (x1 - x0) * 0.22f, ty = y0 + (y1 - y0) * 0.22f;  // taped grip
    line(b, (int)x0 + 1, (int)y0, (int)tx, (int)ty, 1);
}

void knuckles_at(BITMAP* b, int x, int y)
{
    rectfill(b, x, y + 5, x + 15, y + 8, 246);  // grip bar
    hline(b, x, y + 5, x + 15, 244);
    hline(b, x, y + 8, x + 15, 247);
    for (int k = 0; k < 4; ++k) {
        circle(b, x + 2 + k * 4, y + 2, 2, 245);
        putpixel(b, x + 1 + k * 4, y + 1, 240);
        putpixel(b, x + 3 + k * 4, y + 4, 247);
    }
}

void can_at(BITMAP* b, int x, int y, bool lit)
{
    // An energy drink: red can, silver lid, a yellow bolt.
    rectfill(b, x, y + 2, x + 7, y + 13, 181);
    vline(b, x, y + 2, y + 13, 177);
    vline(b, x + 1, y + 2, y + 13, 186);
    vline(b, x + 6, y + 2, y + 13, 178);
    vline(b, x + 7, y + 2, y + 13, 176);
    rectfill(b, x + 1, y, x + 6, y + 1, 105);
    hline(b, x + 1, y, x + 6, 106);
    hline(b, x, y + 13, x + 7, 104);
    int bolt[][2] = {{5, 3}, {4, 4}, {3, 5}, {2, 6}, {3, 7},
                     {4, 7}, {5, 7}, {4, 8}, {3, 9}, {2, 10}};
    for (auto& p : bolt)
        putpixel(b, x + p[0], y + p[1], lit ? 209 : 204);
    if (lit) {
        for (int k = 0; k < 8; ++k) {  // glow rays
            float a = k * kPi / 4;
            int cx = x + 4, cy = y + 7;
            putpixel(b, cx + (int)std::lround(std::cos(a) * 8),
                     cy + (int)std::lround(std::sin(a) * 9), 244);
            putpixel(b, cx + (int)std::lround(std::cos(a) * 10),
                     cy + (int)std::lround(std::sin(a) * 11), 245);
        }
    }
}

void vest_at(BITMAP* b, int x, int y)
{
    // A padded vest seen from the front: two panels, a neck opening, straps.
    int body[] = {x + 2, y + 2, x + 6, y, x + 10, y, x + 14, y + 2, x + 15, y + 14, x + 1, y + 14};
    polygon(b, 6, body, 211);
    rectfill(b, x + 6, y, x + 10, y + 4, 0);  // neck
    for (int k = 0; k < 3; ++k)
        hline(b, x + 2, y + 5 + k * 3, x + 14, 210);  // padding seams
    vline(b, x + 8, y + 5, y + 14, 1);                // zip
    vline(b, x + 2, y + 3, y + 13, 212);
    vline(b, x + 3, y + 3, y + 13, 213);
    hline(b, x + 1, y + 10, x + 15, 1);  // strap
    rectfill(b, x + 11, y + 9, x + 12, y + 11, 105);
    hline(b, x + 6, y + 1, x + 10, 0);
}

void apple_at(BITMAP* b, int x, int y)
{
    circlefill(b, x + 4, y + 6, 4, 217);
    circlefill(b, x + 3, y + 5, 2, 218);
    putpixel(b, x + 2, y + 4, 240);
    putpixel(b, x + 6, y + 9, 216);
    putpixel(b, x + 7, y + 8, 216);
    vline(b, x + 4, y, y + 2, 107);
    line(b, x + 5, y + 1, x + 7, y, 42);
    putpixel(b, x + 6, y + 1, 43);
}

void burger_at(BITMAP* b, int x, int y)
{
    ellipsefill(b, x + 7, y + 3, 7, 3, 109);  // top bun
    rectfill(b, x, y + 3, x + 14, y + 4, 109);
    putpixel(b, x + 4, y + 1, 58);
    putpixel(b, x + 8, y + 2, 58);
    putpixel(b, x + 11, y + 1, 58);
    hline(b, x, y + 5, x + 14, 42);  // lettuce
    putpixel(b, x + 2, y + 6, 43);
    putpixel(b, x + 9, y + 6, 43);
    hline(b, x + 1, y + 6, x + 13, 245);       // cheese
    rectfill(b, x, y + 7, x + 14, y + 8, 26);  // patty
    hline(b, x, y + 7, x + 14, 27);
    rectfill(b, x + 1, y + 9, x + 13, y + 10, 108);  // bottom bun
    hline(b, x + 1, y + 10, x + 13, 107);
}

void chicken_at(BITMAP* b, int x, int y)
{
    ellipsefill(b, x + 12, y + 12, 12, 2, 9);  // plate
    ellipse(b, x + 12, y + 12, 12, 2, 6);
    hline(b, x + 4, y + 13, x + 20, 5);
    ellipsefill(b, x + 12, y + 7, 8, 5, 108);  // the bird
    ellipsefill(b, x + 11, y + 6, 6, 3, 109);
    ellipsefill(b, x + 9, y + 5, 3, 1, 35);
    hline(b, x + 6, y + 11, x + 19, 107);
    rod(b, x + 17, y + 8, x + 22, y + 4, 2.2f, 1.2f, 107, 108, 109);  // drumsticks
    rod(b, x + 5, y + 8, x + 1, y + 4, 2.2f, 1.2f, 107, 108, 109);
    circlefill(b, x + 23, y + 3, 1, 240);  // bone ends
    circlefill(b, x, y + 3, 1, 240);
}

void cash_at(BITMAP* b, int x, int y)
{
    for (int k = 2; k >= 0; --k) {  // a stack of notes, the top one in full
        rectfill(b, x + k, y + 2 - k + 2, x + 13 + k, y + 7 - k + 2, k ? 44 : 43);
        hline(b, x + k, y + 2 - k + 2, x + 13 + k, 42);
    }
    rectfill(b, x + 6, y + 2, x + 8, y + 7, 240);  // paper band
    vline(b, x + 8, y + 2, y + 7, 242);
    circle(b, x + 3, y + 4, 1, 44);
    circle(b, x + 12, y + 4, 1, 44);
}

void gold_at(BITMAP* b, int x, int y)
{
    int top[] = {x + 3, y, x + 13, y, x + 15, y + 3, x + 1, y + 3};
    polygon(b, 4, top, 244);
    rectfill(b, x + 1, y + 3, x + 15, y + 7, 246);
    hline(b, x + 1, y + 7, x + 15, 247);
    vline(b, x + 15, y + 3, y + 7, 247);
    hline(b, x + 4, y + 1, x + 8, 240);
    putpixel(b, x + 3, y + 4, 245);
    putpixel(b, x + 4, y + 5, 245);
}

void star_at(BITMAP* b, float cx, float cy, float r, int fill, int light)
{
    int pts[20];
    for (int k = 0; k < 10; ++k) {
        float a = -kPi / 2 + k * kPi / 5, rr = k % 2 ? r * 0.45f : r;
        pts[2 * k] = (int)std::lround(cx + std::cos(a) * rr);
        pts[2 * k + 1] = (int)std::lround(cy + std::sin(a) * rr);
    }
    polygon(b, 10, pts, fill);
    if (r >= 4) {
        putpixel(b, (int)cx - 1, (int)cy - 1, light);
        putpixel(b, (int)cx, (int)cy - 2, light);
    }
}

Drawn spark(int frame)
{
    // A hit must read from across the screen: a white-hot core and rays of
    // two lengths, the knockdown's (frame 1) half again as big and thicker.
    // Its middle stays where the smaller sparks of old had theirs, on the
    // body that was hit.
    const int r = frame ? 21 : 14, old_r = frame ? 14 : 10, rays = frame ? 12 : 8;
    BITMAP* c = canvas(48, 48);
    for (int k = 0; k < rays; ++k) {
        float a = (k * 360.0f / rays + frame * 15) * kPi / 180;
        float len = k % 2 ? r * 0.55f : r;
        int x = 24 + (int)(len * std::cos(a)), y = 24 + (int)(len * std::sin(a));
        for (int w = 0; w <= frame + 1; ++w)  // rays two or three pixels thick
            line(c, 24 + (w & 1), 24 + w / 2, x + (w & 1), y + w / 2, 113);
        line(c, 24, 24, 24 + (x - 24) / 2, 24 + (y - 24) / 2, 112);
    }
    circlefill(c, 24, 24, frame ? 6 : 4, 113);
    circlefill(c, 24, 24, frame ? 4 : 3, 112);
    BITMAP* b = create_bitmap_ex(8, 2 * r + 3, 2 * r + 3);
    blit(c, b, 24 - r - 1, 24 - r - 1, 0, 0, b->w, b->h);
    destroy_bitmap(c);
    return {b, r + 1, r + 1 + old_r};
}

}  // namespace

Drawn item_sprite(int k)
{
    BITMAP* c = canvas(40, 24);
    switch (k) {
    case 0: knife_at(c, 4, 12, 11); break;
    case 1: pipe_at(c, 4, 12, 30, 12); break;
    case 2: bat_at(c, 4, 14, 31, 11); break;
    case 3: knuckles_at(c, 6, 8); break;
    case 4: can_at(c, 14, 4, false); break;
    case 5: can_at(c, 14, 4, true); break;
    case 6: vest_at(c, 8, 4); break;
    case 7: apple_at(c, 10, 8); break;
    case 8: burger_at(c, 8, 8); break;
    case 9: chicken_at(c, 6, 6); break;
    case 10: cash_at(c, 8, 8); break;
    case 11: gold_at(c, 8, 10); break;
    case 12:
        star_at(c, 16, 10, 7, 245, 240);
        star_at(c, 16, 10, 4, 244, 240);
        break;
    default: {  // one more life: the hero's head and shoulders
        const Pose* p = find_pose({"fighter"}, "STAND");
        BITMAP* f = canvas(176, 176);
        if (p)
            draw_figure(f, kHero, *p, 88, 96);
        int top = 0;
        while (top < f->h - 1) {
            bool any = false;
            for (int x = 0; x < f->w && !any; ++x)
                any = getpixel(f, x, top) != 0;
            if (any)
                break;
            ++top;
        }
        blit(f, c, 88 - 16, top, 4, 2, 32, 15);
        destroy_bitmap(f);
        break;
    }
    }
    return grounded(c);
}

// The HUD's item box icons (30x16) match the items lying in the street.
BITMAP* hud_item(int kind)
{
    BITMAP* b = canvas(30, 16);
    switch (kind) {
    case 1: knife_at(b, 3, 6, 17); break;
    case 2: pipe_at(b, 2, 13, 18, 3); break;  // x 21..26 stays free for the gauge
    case 3: bat_at(b, 2, 13, 27, 4); break;
    case 4: knuckles_at(b, 7, 3); break;
    case 5:
    case 6: {  // the seconds are printed at x 16.., y 8..: keep that corner dark
        can_at(b, 4, 1, kind == 6);
        rectfill(b, 16, 8, 29, 15, 0);
        break;
    }
    default: vest_at(b, 7, 1); break;
    }
    return b;
}

Drawn fx_sprite(int k)
{
    if (k < 2)
        return spark(k);
    if (k == 9) {
        // A wind-up's tell over the head: a red diamond with a yellow "!",
        // outlined in ink. Sparks and glints are white, so the two never mix
        // in a crowd, and it is big enough to read at full speed.
        BITMAP* b = create_bitmap_ex(8, 27, 31);
        clear_to_color(b, 0);
        int outer[] = {13, 0, 26, 13, 13, 26, 0, 13};
        polygon(b, 4, outer, kInk);
        int fill[] = {13, 2, 24, 13, 13, 24, 2, 13};
        polygon(b, 4, fill, 217);
        int lit[] = {13, 4, 21, 12, 5, 12};  // the upper half lit
        polygon(b, 3, lit, 218);
        rectfill(b, 11, 5, 15, 16, kInk);
        rectfill(b, 12, 6, 14, 15, 246);
        rectfill(b, 11, 18, 15, 22, kInk);
        rectfill(b, 12, 19, 14, 21, 246);
        vline(b, 13, 26, 30, kInk);  // a short stalk points at the man
        return {b, 13, 30};
    }
    if (k == 10) {
        // The wind-up's mark on the ground: the tell's red in a ring round
        // the feet of the man it belongs to, so that in a crowd, where the
        // signs over the heads stand close, his depth says whose it is.
        BITMAP* b = create_bitmap_ex(8, 44, 14);
        clear_to_color(b, 0);
        ellipsefill(b, 22, 7, 21, 6, kInk);
        ellipsefill(b, 22, 7, 20, 5, 218);  // lit, to catch the eye on a dark road
        ellipsefill(b, 22, 6, 19, 4, 217);
        ellipsefill(b, 22, 7, 15, 3, kInk);
        ellipsefill(b, 22, 7, 14, 2, 0);  // his shadow shows through
        return {b, 22, 7};
    }
    if (k == 8) {  // the glint of a wind-up: a sparkle big enough to catch the eye in a crowd
        BITMAP* b = create_bitmap_ex(8, 21, 21);
        clear_to_color(b, 0);
        vline(b, 10, 0, 20, 113);
        hline(b, 0, 10, 20, 113);
        vline(b, 9, 4, 16, 113);
        vline(b, 11, 4, 16, 113);
        hline(b, 4, 9, 16, 113);
        hline(b, 4, 11, 16, 113);
        vline(b, 10, 3, 17, 112);
        hline(b, 3, 10, 17, 112);
        for (int d = 3; d <= 5; ++d) {  // short diagonal rays
            putpixel(b, 10 - d, 10 - d, 113);
            putpixel(b, 10 + d, 10 + d, 113);
            putpixel(b, 10 - d, 10 + d, 113);
            putpixel(b, 10 + d, 10 - d, 113);
        }
        rectfill(b, 9, 9, 11, 11, 112);
        return {b, 10, 10};
    }
    BITMAP* c = canvas(40, 24);
    switch (k) {
    case 2:
    case 3: {  // dust thrown up by a body landing; the second frame spreads and fades
        bool late = k == 3;
        int cx = 20, by = 20;
        int puffs[][3] = {{-9, -2, 3}, {-4, -4, 4}, {3, -4, 4}, {9, -2, 3}, {-1, -2, 4}};
        int d = late ? 5 : 4, m = late ? 6 : 5, l = late ? 7 : 7;
        for (auto& p : puffs) {  // each puff lit from the upper left
            int x = cx + p[0] * (late ? 3 : 2) / 2, y = by + p[1] - (late ? 2 : 0);
            int r = p[2] + (late ? 1 : 0);
            circlefill(c, x, y, r, d);
            circlefill(c, x - 1, y - 1, r - 1, m);
            circlefill(c, x - 2, y - 2, r / 2, l);
        }
        if (late)  // torn at the edges as it settles
            for (int i = 0; i < 14; ++i) {
                int x = cx - 14 + (i * 7) % 29, y = by - 8 + (i * 5) % 10;
                circlefill(c, x, y, 1, 0);
            }
        return grounded(c, false);
    }
    case 4:
    case 5: {  // little stars circling over a dazed head
        for (int i = 0; i < 3; ++i) {
            float a = (i * 120 + (k == 5 ? 60 : 0)) * kPi / 180;
            float x = 20 + std::cos(a) * 7, y = 12 + std::sin(a) * 2.2f;
            star_at(c, x, y, 2.6f, std::sin(a) > 0 ? 245 : 244, 240);
            putpixel(c, (int)std::lround(x), (int)std::lround(y), 240);
        }
        return grounded(c, false);
    }
    default: {  // a blade's swing: a crescent, brightest along its leading edge
        BITMAP* s = canvas(40, 32);
        for (int a = -70; a <= 80; ++a) {
            float t = (a + 70) / 150.0f, r = 11, w = 1 + 3.0f * std::sin(t * kPi);
            float ca = std::cos(a * kPi / 180), sa = std::sin(a * kPi / 180);
            for (float d = 0; d <= w; d += 0.5f) {
                int col = d < 0.8f ? 240 : d < w * 0.6f ? 241 : 242;
                putpixel(s, (int)std::lround(14 + ca * (r - d)),
                         (int)std::lround(16 + sa * (r - d)), col);
            }
        }
        destroy_bitmap(c);
        return grounded(s, false);
    }
    }
}

// Breakable things: whole, dented (or shaken), broken.
Drawn breakable(int kind, int st)
{
    BITMAP* c = canvas(48, 48);
    int bx = 24, by = 44;  // bottom centre
    switch (kind) {
    case 0: {  // a metal trash can with a lid
        if (st < 2) {
            int lean = st;  // the dented can leans and its lid sits askew
            int x0 = bx - 9, x1 = bx + 9, y0 = by - 22;
            int body[] = {x0 + 1, y0, x1 - 1, y0, x1, by, x0, by};
            polygon(c, 4, body, 104);
            for (int x = x0; x <= x1; ++x) {  // galvanised steel, lit from the left
                int col = x < x0 + 2 ? 105 : x == x0 + 2 ? 106 : x > x1 - 4 ? 111 : 104;
                vline(c, x, y0 + 1, by, col);
            }
            for (int k = 0; k < 3; ++k)
                hline(c, x0, y0 + 5 + k * 6, x1, 111);  // ribs
            for (int k = 0; k < 3; ++k)
                hline(c, x0, y0 + 4 + k * 6, x1, 105);
            if (st == 1) {
                ellipsefill(c, bx + 4, y0 + 11, 3, 4, 111);
                putpixel(c, bx + 2, y0 + 9, 105);
            }
            int lx = lean * 3, ly = lean * 2;
            ellipsefill(c, bx + lx, y0 - 1 - ly, 10, 2, 104);  // lid
            hline(c, bx - 9 + lx, y0 - 2 - ly, bx + 9 + lx, 105);
            rectfill(c, bx - 2 + lx, y0 - 5 - ly, bx + 2 + lx, y0 - 3 - ly, 111);
        } else {  // knocked over: lid off, rubbish spilled
            ellipsefill(c, bx - 4, by - 6, 12, 6, 104);
            ellipsefill(c, bx + 8, by - 6, 4, 6, kInk);
            hline(c, bx - 15, by - 11, bx + 6, 105);
            hline(c, bx - 15, by - 2, bx + 6, 104);
            ellipsefill(c, bx + 16, by - 1, 6, 1, 105);
            rectfill(c, bx + 8, by - 4, bx + 11, by, 7);
            rectfill(c, bx + 12, by - 2, bx + 14, by, 42);
        }
        break;
    }
    case 1: {  // a wooden crate: planks and a diagonal brace
        if (st < 2) {
            int x0 = bx - 12, x1 = bx + 12, y0 = by - 24;
            rectfill(c, x0, y0, x1, by, 108);
            for (int k = 0; k < 4; ++k)
                hline(c, x0, y0 + k * 6, x1, 107);
            rect(c, x0, y0, x1, by, 107);
            rectfill(c, x0 + 1, y0 + 1, x0 + 2, by - 1, 109);
            rectfill(c, x1 - 2, y0 + 1, x1 - 1, by - 1, 107);
            for (int t = 0; t < 3; ++t)
                line(c, x0 + 2, by - 2 + t - 1, x1 - 2, y0 + 2 + t - 1, t == 0 ? 109 : 107);
            if (st == 1) {  // split plank
                line(c, bx - 6, y0 + 7, bx + 2, y0 + 10, kInk);
                line(c, bx + 2, y0 + 10, bx + 6, y0 + 8, kInk);
                putpixel(c, x1 - 4, y0 + 2, kInk);
            }
        } else {  // a heap of planks
            int planks[][4] = {
                {-14, -2, 6, -5}, {-8, -6, 12, -1}, {-12, -9, 4, -12}, {2, -10, 14, -4}};
            for (auto& p : planks)
                rod(c, bx + p[0], by + p[1], bx + p[2], by + p[3], 1.8f, 1.8f, 107, 108, 109);
        }
        break;
    }
    case 2: {  // an oil drum, red paint over steel
        if (st < 2) {
            int sq = st ? 2 : 0;  // a dented drum is squashed and leans
            int x0 = bx - 10, x1 = bx + 10, y0 = by - 28 + sq * 2;
            rectfill(c, x0, y0, x1, by, 217);
            for (int x = x0; x <= x1; ++x)
                vline(c, x, y0, by, x < x0 + 4 ? 218 : x > x1 - 5 ? 216 : 217);
            for (int k = 1; k < 3; ++k) {
                int y = y0 + k * (by - y0) / 3;
                hline(c, x0, y, x1, 216);
                hline(c, x0, y - 1, x1, 218);
            }
            ellipsefill(c, bx, y0, 10, 2, 216);
            ellipse(c, bx, y0, 10, 2, 218);
            circlefill(c, bx + 4, y0, 1, kInk);
            if (st == 1) {
                ellipsefill(c, bx - 3, y0 + 10, 4, 3, 216);
                putpixel(c, bx - 5, y0 + 8, 218);
            }
        } else {  // crushed and leaking
            int body[] = {bx - 12, by - 10, bx + 8, by - 14, bx + 12, by, bx - 12, by};
            polygon(c, 4, body, 216);
            line(c, bx - 12, by - 10, bx + 8, by - 14, 218);
            line(c, bx - 4, by - 12, bx, by, kInk);
            ellipsefill(c, bx + 14, by, 8, 1, 1);
            ellipsefill(c, bx + 13, by, 5, 1, 111);
        }
        break;
    }
    default: {  // a stack of car tyres
        auto tyre = [&](int cx, int y, bool flat) {
            if (flat) {
                ellipsefill(c, cx, y, 11, 4, 1);
                ellipsefill(c, cx, y - 1, 11, 3, 111);
                ellipsefill(c, cx, y - 1, 5, 1, kInk);
            } else {  // seen from the side: rounded shoulders, a tread, a lit rim
                rectfill(c, cx - 9, y - 6, cx + 9, y, 1);
                circlefill(c, cx - 9, y - 3, 3, 1);
                circlefill(c, cx + 9, y - 3, 3, 1);
                hline(c, cx - 9, y - 6, cx + 9, 52);
                hline(c, cx - 10, y - 5, cx + 8, 111);
                for (int x = cx - 8; x <= cx + 8; x += 3)
                    vline(c, x, y - 3, y - 2, 111);
            }
        };
        if (st < 2) {
            int sh = st ? 3 : 0;  // shaken: the stack shifts
            tyre(bx, by, false);
            tyre(bx + sh, by - 7, false);
            tyre(bx - sh, by - 14, false);
            ellipsefill(c, bx - sh, by - 21, 11, 3, 1);
            ellipsefill(c, bx - sh, by - 21, 10, 2, 111);
            ellipsefill(c, bx - sh, by - 21, 5, 1, kInk);
        } else {
            tyre(bx - 8, by, true);
            tyre(bx + 10, by - 2, false);
            circlefill(c, bx - 10, by - 12, 6, 1);  // one rolled on its side
            circle(c, bx - 10, by - 12, 6, 111);
            circlefill(c, bx - 10, by - 12, 2, kInk);
        }
        break;
    }
    }
    return grounded(c);
}

Drawn projectile(int k)
{
    BITMAP* c = canvas(64, 16);
    if (k == 0) {  // a thrown knife, speed lines behind
        knife_at(c, 20, 6, 12);
        hline(c, 6, 5, 16, 242);
        hline(c, 2, 7, 14, 243);
        hline(c, 8, 9, 17, 242);
    } else {  // a lashed chain, the end weighted
        for (int i = 0; i < 16; ++i) {
            int x = 4 + i * 3, y = 8 + (int)std::lround(std::sin(i * 0.8f) * 1.5f);
            if (i % 2)
                hline(c, x - 1, y, x + 1, 105);
            else
                ellipse(c, x, y, 2, 1, 106);
        }
        circlefill(c, 53, 8, 2, 104);
        putpixel(c, 52, 7, 106);
    }
    Drawn d = grounded(c);
    d.hy = d.b->h / 2;  // flies at its own height
    return d;
}

Drawn van(int frame)
{
    BITMAP* c = canvas(128, 64);
    int x0 = 10, y0 = 8, w = 100;
    rectfill(c, x0, y0 + 6, x0 + w, y0 + 40, 213);             // box body
    rectfill(c, x0 + 70, y0 + 14, x0 + w + 10, y0 + 40, 213);  // cab
    rectfill(c, x0 + 2, y0 + 4, x0 + 68, y0 + 8, 215);         // roof
    hline(c, x0, y0 + 41, x0 + w + 10, 211);
    rectfill(c, x0, y0 + 26, x0 + w + 10, y0 + 30, 217);  // stripe
    hline(c, x0, y0 + 26, x0 + w + 10, 218);
    rectfill(c, x0 + 76, y0 + 16, x0 + w + 6, y0 + 24, 221);  // windscreen
    line(c, x0 + 78, y0 + 16, x0 + 84, y0 + 24, 223);
    rectfill(c, x0 + w + 8, y0 + 32, x0 + w + 10, y0 + 35, 219);  // headlight
    rectfill(c, x0 - 1, y0 + 32, x0, y0 + 35, 218);               // tail light
    if (frame == 2) {                                             // rear doors open
        rectfill(c, x0 + 2, y0 + 10, x0 + 20, y0 + 38, 1);
        rectfill(c, x0 - 8, y0 + 8, x0 - 1, y0 + 38, 212);
    } else {
        vline(c, x0 + 20, y0 + 8, y0 + 40, 211);
        vline(c, x0 + 50, y0 + 8, y0 + 40, 211);
    }
    for (int k = 0; k < 2; ++k) {
        int wx = x0 + (k ? 88 : 22), wy = y0 + 42;
        circlefill(c, wx, wy, 8, 1);
        circlefill(c, wx, wy, 4, 104);
        for (int sp = 0; sp < 3; ++sp) {  // spokes turn between frames
            float a = (sp * 60 + frame * 30) * kPi / 180;
            line(c, wx - (int)(4 * std::cos(a)), wy - (int)(4 * std::sin(a)),
                 wx + (int)(4 * std::cos(a)), wy + (int)(4 * std::sin(a)), 106);
        }
    }
    Drawn d = finish(c, x0 + 55);
    destroy_bitmap(c);
    return d;
}

}  // namespace gg
