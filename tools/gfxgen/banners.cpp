// Big banners drawn over the play area ("GO!", "STAGE CLEAR", boss names,
// floating scores) and the bonus count's digits: the game's pixel font made
// bold and large, coloured by a top-to-bottom gradient, outlined and shadowed.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/gfxgen/cast.h"

namespace gg {

namespace {

const int kInk = 127;

const int kGold[] = {240, 244, 244, 245, 245, 246, 246, 247};
const int kFire[] = {209, 205, 201, 197, 192, 187, 183, 179};
const int kIce[] = {240, 241, 248, 248, 249, 249, 250, 250};
const int kRed[] = {251, 251, 252, 252, 252, 253, 253, 253};
const int kWhite[] = {240, 240, 240, 241, 241, 242, 242, 243};

struct Style {
    const int* ramp;
    int scale;
    bool bold;
};

const Style kBig = {kGold, 2, true}, kHuge = {kGold, 3, true}, kSmall = {kGold, 1, true};

// One line of text centred on cx with its top at y; returns its height.
int text_line(BITMAP* out, const char* s, int cx, int y, Style st)
{
    const int ones[7] = {1, 1, 1, 1, 1, 1, 1};
    int w = text_width(s, st.scale) + 2, h = 7 * st.scale;
    BITMAP* m = create_bitmap_ex(8, w, h);
    clear_to_color(m, 0);
    draw_text(m, s, 0, 0, ones, -1, st.scale);
    if (st.bold)
        draw_text(m, s, 1, 0, ones, -1, st.scale);
    int x0 = cx - w / 2;
    for (int yy = 0; yy < h; ++yy)
        for (int xx = 0; xx < w; ++xx)
            if (getpixel(m, xx, yy))
                putpixel(out, x0 + xx, y + yy, st.ramp[yy * 8 / h]);
    destroy_bitmap(m);
    return h;
}

// Dark outline all round, then a drop shadow to the lower right.
void ink(BITMAP* b)
{
    BITMAP* o = create_bitmap_ex(8, b->w, b->h);
    blit(b, o, 0, 0, 0, 0, b->w, b->h);
    for (int y = 1; y < b->h - 1; ++y)
        for (int x = 1; x < b->w - 1; ++x) {
            if (getpixel(b, x, y))
                continue;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (getpixel(b, x + dx, y + dy) && getpixel(b, x + dx, y + dy) != kInk)
                        putpixel(o, x, y, kInk);
        }
    for (int y = b->h - 2; y >= 1; --y)
        for (int x = b->w - 2; x >= 1; --x)
            if (getpixel(o, x, y) && !getpixel(o, x + 1, y + 1))
                putpixel(o, x + 1, y + 1, kInk);
    blit(o, b, 0, 0, 0, 0, b->w, b->h);
    destroy_bitmap(o);
}

Drawn done(BITMAP* c)
{
    ink(c);
    Drawn d = crop(c);
    destroy_bitmap(c);
    d.hx = d.b->w / 2;  // placed by the middle of its bottom edge
    return d;
}

BITMAP* board()
{
    BITMAP* c = create_bitmap_ex(8, 160, 64);
    clear_to_color(c, 0);
    return c;
}

Drawn lines(const char* a, Style sa, const char* b = nullptr, Style sb = kSmall, int gap = 3)
{
    BITMAP* c = board();
    int h = text_line(c, a, 80, 4, sa);
    if (b)
        text_line(c, b, 80, 4 + h + gap, sb);
    return done(c);
}

// A banner that must be read over a crowd (GAME OVER, CONTINUE?): its
// lines on a dark plate that reaches `below` pixels under them, where the
// director sets the score or the countdown. It stays placed by the bottom
// of its lines, as the plain banner was.
// Lines `t` on a dark, bordered w x h plate with rounded corners, `pad`
// under its top edge; placed by the bottom of the lines.
Drawn on_plate(Drawn t, int w, int h, int pad)
{
    BITMAP* c = create_bitmap_ex(8, w, h);
    clear_to_color(c, 0);
    rectfill(c, 0, 0, w - 1, h - 1, 254);
    rect(c, 0, 0, w - 1, h - 1, 243);
    putpixel(c, 0, 0, 0);
    putpixel(c, w - 1, 0, 0);
    putpixel(c, 0, h - 1, 0);
    putpixel(c, w - 1, h - 1, 0);
    masked_blit(t.b, c, 0, 0, (w - t.b->w) / 2, pad, t.b->w, t.b->h);
    destroy_bitmap(t.b);
    return {c, w / 2, pad + t.hy};
}

Drawn plated(const char* a, Style sa, const char* b, Style sb, int below)
{
    Drawn t = lines(a, sa, b, sb);
    const int pad = 5;  // 128: no sprite is wider than the scratch bitmap
    return on_plate(t, 128, t.b->h + 2 * pad + below, pad);
}

// One small line that comes and goes by itself on a plated banner
// (CONTINUE?'s "let go" while keys are held): on the plate's own dark, so
// that it reads as part of it, placed by the middle of its top edge.
Drawn plate_note(const char* a)
{
    Drawn t = lines(a, {kFire, 1, true});
    const int w = t.b->w + 2, h = t.b->h + 2;
    BITMAP* c = create_bitmap_ex(8, w, h);
    clear_to_color(c, 254);
    masked_blit(t.b, c, 0, 0, 1, 1, t.b->w, t.b->h);
    destroy_bitmap(t.b);
    return {c, w / 2, 0};
}

// A banner of the band over the fighters' heads on its own dark plate: the
// backdrops' shop signs and lit windows stand in that band, and letters
// drawn straight over a sign's letters read as neither. Placed by the
// bottom of its lines, as the bare banner was.
Drawn backed(Drawn t)
{
    const int pad = 3;
    return on_plate(t, std::min(128, t.b->w + 2 * pad), t.b->h + 2 * pad, pad);
}

Drawn go(bool second)
{
    BITMAP* c = board();
    Style st = {second ? kFire : kGold, 3, true};
    text_line(c, "GO!", 40, 8, st);
    int x0 = 72 + (second ? 4 : 0), y = 18;  // the arrow points on down the street
    const int* r = st.ramp;
    for (int k = 0; k < 9; ++k)
        hline(c, x0, y - 4 + k, x0 + 20, r[k * 8 / 9]);
    for (int k = 0; k < 13; ++k) {
        int half = 12 - k;
        vline(c, x0 + 20 + k, y - half, y + half, r[std::min(7, 2 + k / 3)]);
    }
    return done(c);
}

}  // namespace

Drawn big_digit(int d)
{
    BITMAP* c = board();
    char s[2] = {(char)('0' + d), 0};
    text_line(c, s, 20, 4, {kGold, 2, false});
    ink(c);
    Drawn glyph = crop(c);
    destroy_bitmap(c);
    // Every digit in a cell as wide as the widest, centred, so that a
    // narrow "1" leaves no hole in a number set one actor per digit.
    const int cell = 12;
    BITMAP* b = create_bitmap_ex(8, std::max(cell, glyph.b->w), glyph.b->h);
    clear_to_color(b, 0);
    blit(glyph.b, b, 0, 0, (b->w - glyph.b->w) / 2, 0, glyph.b->w, glyph.b->h);
    destroy_bitmap(glyph.b);
    return {b, 0, b->h - 1};  // placed by its bottom-left corner
}

namespace {

// A blocked blow: a small shield with a spark off its rim and a short word
// beside it, no taller than a fist and a chest, so that a crowd's wind-up
// signs over the heads stay clear of it.
Drawn shield_spark()
{
    BITMAP* c = board();
    const int sx = 62, sy = 6;  // the shield's top-left
    int rim[] = {sx, sy, sx + 9, sy, sx + 9, sy + 6, sx + 5, sy + 11, sx + 4, sy + 11, sx, sy + 6};
    polygon(c, 6, rim, kIce[2]);
    int face[] = {sx + 2, sy + 2, sx + 7, sy + 2, sx + 7, sy + 6, sx + 5, sy + 9, sx + 4, sy + 9, sx + 2, sy + 6};
    polygon(c, 6, face, kIce[6]);
    vline(c, sx + 4, sy + 2, sy + 8, kIce[0]);  // its boss, lit
    // the spark where the blow met it: four short white rays off the rim
    const int px = sx + 10, py = sy + 1;
    hline(c, px, py, px + 4, kWhite[0]);
    vline(c, px + 2, py - 3, py + 2, kWhite[0]);
    putpixel(c, px + 4, py - 2, kWhite[1]);
    putpixel(c, px + 4, py + 3, kWhite[1]);
    text_line(c, "BLOCK", sx + 30, sy + 5, {kIce, 1, true});
    return done(c);
}

// An ambush's clock counts down to the men's flight, not to TIME UP: the
// sign under it, an arrow up at the clock over "HOLD OUT" in cold colours,
// placed by the middle of its top edge.
Drawn hold_out()
{
    Drawn t = lines("HOLD OUT", {kIce, 1, true});
    const int w = t.b->w + 4, h = t.b->h + 8;
    BITMAP* c = create_bitmap_ex(8, w, h);
    clear_to_color(c, 0);
    rectfill(c, 0, 5, w - 1, h - 1, 254);
    rect(c, 0, 5, w - 1, h - 1, 243);
    int tip[] = {w / 2, 0, w / 2 + 5, 5, w / 2 - 5, 5};  // points at the clock
    polygon(c, 3, tip, kIce[2]);
    masked_blit(t.b, c, 0, 0, 2, 6, t.b->w, t.b->h);
    destroy_bitmap(t.b);
    return {c, w / 2, 0};
}

Drawn words(int k)
{
    static const char* const streets[5] = {"THE NEIGHBOURHOOD", "THE JUNKYARD", "THE BRIDGE",
                                           "DOWNTOWN", "GANG TURF"};
    static const char* const bosses[5] = {"BUTCH", "RUST", "VIPER", "DOZER", "KING"};
    if (k < 2)
        return go(k == 1);
    switch (k) {
    case 2: return lines("TIME UP", {kFire, 2, true});
    case 3: return plated("GAME OVER", {kRed, 2, true}, nullptr, kSmall, 56);
    case 4: return lines("STAGE", kBig, "CLEAR", kBig, 2);
    case 15: return lines("TIME BONUS", kBig);
    case 16: return lines("NO MISS", kBig, "BONUS", kBig, 2);
    case 17: return lines("1UP!", kHuge);
    case 18: return lines("STAR UP!", kBig);
    case 19: return hold_out();
    case 20: return lines("THEY RUN!", {kGold, 2, true}, "YOU HELD OUT", {kWhite, 1, true});
    case 26: return lines("SURVIVAL", {kIce, 2, true}, "ONE LIFE", {kWhite, 1, true});
    case 27: return lines("VAMPIRE", {kRed, 2, true}, "STRIKE TO LIVE", {kWhite, 1, true});
    case 33: return plated("CONTINUE?", {kIce, 2, true}, "PUNCH OR KICK", {kWhite, 1, true}, 32);
    case 35: return lines("YOUR SCORE", kBig);
    case 34: return lines("AMBUSH!", {kFire, 2, true}, "HOLD OUT TILL 0:00", {kWhite, 1, true});
    case 36: return shield_spark();
    case 42: return plate_note("LET GO, THEN PRESS");
    case 43: return lines("RESCUED!", kBig, "THE NIGHT IS OVER", {kWhite, 1, true}, 4);
    case 44: return lines("HELP!", {kFire, 2, true});  // her cry as the gang takes her
    case 45: return lines("COUNTER!", {kGold, 1, true});
    default: break;
    }
    if (k >= 37 && k <= 41) {  // each street's set piece, named as it starts
        static const char* const names[5] = {"BOTTLES!", "THE CRANE!", "TRAFFIC!", "THE VENTS!",
                                             "TRAP!"};
        static const char* const tips[5] = {"FIGHT ON THE MOVE", "LEAD THEM UNDER IT",
                                            "STEP OUT OF ITS LANE", "THEY BLOW ON A BEAT",
                                            "MIND THE FORKLIFT"};
        return lines(names[k - 37], {kFire, 2, true}, tips[k - 37], {kWhite, 1, true});
    }
    if (k >= 28 && k <= 32) {  // a boss in a rage: his taunt, then what it brings on
        static const char* const taunts[5] = {"BUTCH SEES RED!", "RUST SNAPS!", "VIPER GETS MEAN!",
                                              "DOZER GOES WILD!", "KING LOSES IT!"};
        // at most ten letters: a banner fits the scratch bitmap
        static const char* const turns[5] = {"BOTTLES!", "THE CRANE!", "HER GANG!", "RAMPAGE!",
                                             "FORKLIFT!"};
        return lines(taunts[k - 28], {kWhite, 1, true}, turns[k - 28], {kFire, 2, true});
    }
    if (k >= 5 && k <= 9) {
        char s[16] = "STAGE 1";
        s[6] = (char)('1' + k - 5);
        // the street's new man, and how to meet him, before he comes
        // (at most 20 letters: a sprite is at most 128 pixels wide)
        static const char* const newcomers[5] = {nullptr, "CHARGER: STEP ASIDE!", "WHIP MAN: JUMP IT!",
                                                 "BOMBER: RUSH HIM!", "SHIELD: JUMP KICK!"};
        if (!newcomers[k - 5])
            return lines(s, kBig, streets[k - 5], {kWhite, 1, true});
        BITMAP* c = board();
        int h = text_line(c, s, 80, 4, kBig);
        h += text_line(c, streets[k - 5], 80, 4 + h + 3, {kWhite, 1, true});
        text_line(c, newcomers[k - 5], 80, 4 + h + 9, {kFire, 1, true});
        return done(c);
    }
    if (k >= 10 && k <= 14) {
        BITMAP* c = board();
        // each boss's own attack, named once as he walks in
        // (at most 20 letters: the card's plate is as wide as a sprite may be)
        static const char* const attacks[5] = {"BEWARE: BELLY BUMP!", "GANG, THEN LOW SWEEP",
                                               "SISTERS: DIVE KICK!", "PIPE, THEN SHOCKWAVE",
                                               "BEWARE: SKEWER!"};
        int h = text_line(c, "BOSS", 80, 4, {kRed, 1, true});
        h += text_line(c, bosses[k - 10], 80, 4 + h + 2, {kFire, 3, true});
        text_line(c, attacks[k - 10], 80, 4 + h + 5, {kWhite, 1, true});
        return done(c);
    }
    static const char* const pops[5] = {"100", "200", "500", "1000", "5000"};
    return lines(pops[std::min(4, std::max(0, k - 21))], {k >= 24 ? kGold : kWhite, 1, true});
}

}  // namespace

Drawn banner(int k)
{
    // the band's: the way on, the street's and the bosses' names, the modes,
    // the news of a fight; not the scores, nor what is plated already
    const bool band = (k <= 14 && k != 3) || k == 18 || k == 20 || (k >= 26 && k <= 32) || k == 34 ||
                      (k >= 37 && k <= 41) || k == 43 || k == 44;
    Drawn w = words(k);
    if (band && w.b->w > 126) {  // its words would run over its plate's border
        std::fprintf(stderr, "nwd-gfxgen: banner %d's words are %d px wide, more than its plate\n",
                     k, w.b->w);
        std::exit(1);
    }
    return band ? backed(w) : w;
}

}  // namespace gg
