// Bridge pieces: the deck and its lanes, the far railing over the river,
// the towers and the main cables with their hangers, lamps, the toll gate,
// and the uprights that pass in front in the foreground layer.
#include <algorithm>
#include <cmath>

#include "tools/gfxgen/city.h"
#include "tools/gfxgen/scenery.h"

namespace gg {

namespace {

const Rgb kSteel = {58, 72, 96}, kSteelHi = {120, 138, 170}, kSteelDark = {26, 32, 46};

void steel_rect(Canvas& cv, int x0, int y0, int x1, int y1, float tone)
{
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            float n = 0.92f + 0.16f * smooth_noise((float)x, (float)y, 8, 64, 201);
            cv.set(x, y, scale(kSteel, tone * n));
        }
    cv.vline(x0, y0, y1, scale(kSteelHi, tone));
    cv.vline(x1, y0, y1, scale(kSteelDark, tone));
}

// The road deck: a kerb and walkway strip, lanes with markings, expansion
// joints.
void piece_deck(Street&, Canvas& cv, const Piece& p)
{
    int x0 = x0_of(p), x1 = x1_of(p), top = p.num("top", GROUND_Y);
    // Walkway plates along the back.
    for (int y = top; y < top + 12; ++y)
        for (int x = x0; x <= x1; ++x) {
            float t = 0.8f + 0.1f * noise(x & 63, y & 63, 211);
            if ((x & 31) == 0 || y == top + 11)
                t *= 0.6f;
            if (((x >> 1) + (y >> 1)) % 3 == 0 && y < top + 11)
                t *= 1.12f;  // tread pattern
            cv.set(x, y, scale(rgb(80, 86, 100), t));
        }
    cv.hline(x0, x1, top + 12, rgb(150, 156, 166));  // kerb edge
    cv.hline(x0, x1, top + 13, rgb(110, 114, 124));
    cv.hline(x0, x1, top + 14, rgb(50, 52, 60));
    asphalt(cv, x0, top + 15, x1, cv.h - 1, rgb(38, 40, 48), 212);
    for (int x = x0; x <= x1; ++x) {
        cv.rect(x, top + 18, x, top + 18, rgb(190, 186, 170));  // edge line
        if (x % 64 < 32)
            cv.rect(x, top + 41, x, top + 42, rgb(200, 196, 180));  // lane dashes
        if ((x & 127) >= 60 && (x & 127) < 63)
            for (int y = top + 15; y < cv.h; ++y)
                cv.set(x, y, (y & 1) ? rgb(90, 96, 110) : rgb(30, 32, 38));
    }
}

// The far railing: a solid parapet wall with steel bars above it, open to
// the river between the bars.
void piece_parapet(Street&, Canvas& cv, const Piece& p)
{
    int x0 = x0_of(p), x1 = x1_of(p), wall = p.num("wall", 128), rail = p.num("rail", 104);
    for (int y = wall; y < GROUND_Y; ++y)
        for (int x = x0; x <= x1; ++x) {
            float t = 0.75f + 0.12f * smooth_noise((float)x, (float)y, 8, 64, 221);
            if (y == wall)
                t = 1.3f;
            if ((x & 63) == 0)
                t *= 0.7f;
            cv.set(x, y, scale(rgb(74, 80, 92), t));
        }
    shadow_band(cv, x0, x1, GROUND_Y - 5, 5, 0.8f);
    // Top rail, mid rail and the bars between.
    cv.rect(x0, rail, x1, rail + 2, kSteel);
    cv.hline(x0, x1, rail, kSteelHi);
    cv.hline(x0, x1, (rail + wall) / 2, kSteelDark);
    for (int x = x0; x <= x1; ++x) {
        if ((x & 7) == 0)
            cv.rect(x, rail + 3, x, wall - 1, kSteel);
        if ((x & 63) == 0)
            steel_rect(cv, x - 2, rail - 4, x + 2, wall - 1, 1.0f);
    }
}

// A tower leg standing at the far edge of the deck, rising out of sight.
void piece_tower(Street& s, Canvas& cv, const Piece& p)
{
    int x0 = x0_of(p), x1 = x1_of(p);
    std::string style = p.str("style", "steel");
    for (int y = 0; y < GROUND_Y; ++y)
        for (int x = x0; x <= x1; ++x) {
            // Rounded: lit from the left, falling into shadow on the right.
            float u = (float)(x - x0) / (x1 - x0 + 1);
            float t = 0.55f +
                      0.6f * std::sin(std::min(1.0f, u * 1.6f + 0.2f) * 3.14159f) * (1 - u * 0.5f);
            if (style == "stone") {
                bool joint = (y % 12) == 0 || ((x - x0 + (y / 12 % 2) * 10) % 20) == 0;
                Rgb stone = scale(rgb(96, 96, 104), t * (0.9f + 0.2f * noise(x / 10, y / 12, 231)));
                cv.set(x, y, joint ? scale(stone, 0.6f) : stone);
            } else {
                // Painted dark, as steel at night: a pale leg read as a
                // ghostly column of light, not as the bridge's tower.
                float n = 0.9f + 0.2f * smooth_noise((float)x, (float)y, 8, 64, 232);
                bool seam = (y % 24) == 0 || (x - x0) % 16 == 0;
                bool rivet = (y % 24 == 3 || y % 24 == 21) && (x - x0) % 4 == 2;
                int g = y % 48;  // a cross girder every 48 pixels, lit on top
                Rgb c = scale(kSteel, 0.62f * t * n);
                if (seam)
                    c = scale(c, 0.7f);
                if (rivet)
                    c = scale(kSteelHi, 0.6f * t);
                if (g >= 40)
                    c = scale(kSteelDark, t * (g == 40 ? 1.8f : 0.9f));
                cv.set(x, y, c);
            }
        }
    if (style != "stone" && style != "steel")
        fail(s, "style is steel or stone");
    cv.vline(x0, 0, GROUND_Y - 1, kSteelHi);
    cv.vline(x1, 0, GROUND_Y - 1, kSteelDark);
    // A floodlit base.
    cv.glow((x0 + x1) / 2, GROUND_Y - 10, (x1 - x0) * 3 / 4, 36, rgb(200, 220, 255), 0.35f);
}

// The main cable from the top of one tower down over the span and up to
// the next, hangers dropping from it to the deck every 16 pixels.
void piece_cable(Street&, Canvas& cv, const Piece& p)
{
    int x0 = x0_of(p), x1 = x1_of(p), low = p.num("low", 70), high = p.num("high", -30);
    int deck = p.num("deck", 104);
    std::string shape = p.str("shape", "span");  // span: low in the middle; up, down: halves
    for (int x = x0; x <= x1; ++x) {
        float u = (float)(x - x0) / std::max(1, x1 - x0);
        u = shape == "up" ? u : shape == "down" ? u - 1 : u * 2 - 1;
        int y = low + (int)((high - low) * u * u);
        for (int k = 0; k < 3; ++k)
            cv.set(x, y + k, k == 0 ? kSteelHi : k == 1 ? kSteel : kSteelDark);
        if (((x + 8) & 15) == 0 && y + 3 < deck)
            for (int yy = y + 3; yy < deck; ++yy)
                cv.set(x, yy, scale(kSteel, 0.9f));
        if (x % 24 == 0 && y >= 0)
            cv.set(x, y + 1, rgb(255, 236, 190));  // the necklace of lamps
    }
}

void piece_bridge_lamp(Street& s, Canvas& cv, const Piece& p)
{
    int x = x0_of(p) + p.num("dx", 8), foot = p.num("foot", 103), head = p.num("head", 40);
    Rgb light = colour_opt(s, p, "color", "cold");
    cv.glow(x, head + 4, 44, 44, light, 0.5f);
    cv.glow(x, GROUND_Y + 20, 80, 26, light, 0.3f);
    // A tapering post, lit down one side by its own lamps.
    for (int y = head + 4; y <= foot; ++y) {
        int half = 1 + (y - head) / 30;
        for (int k = -half; k <= half; ++k)
            cv.set(x + k, y, k < 0 ? kSteelHi : k == 0 ? kSteel : kSteelDark);
    }
    cv.rect(x - 4, foot - 6, x + 4, foot, kSteel);
    for (int side = -1; side <= 1; side += 2) {  // twin lanterns on a curved arm
        for (int k = 0; k <= 10; ++k)
            cv.set(x + side * k, head + 4 - (k * (10 - k)) / 12, kSteel);
        int lx = x + side * 10;
        cv.rect(lx - 3, head - 1, lx + 3, head + 6, kSteelDark);
        cv.rect(lx - 2, head, lx + 2, head + 5, mix(light, rgb(255, 255, 255), 0.6f));
        cv.rect(lx - 4, head - 2, lx + 4, head - 1, kSteel);
    }
}

// The toll gate: booths under a lit canopy, barrier arms, the sign.
void piece_toll(Street& s, Canvas& cv, const Piece& p)
{
    int x0 = x0_of(p), x1 = x1_of(p);
    Rgb light = colour_opt(s, p, "color", "sodium");
    int roof = 40;
    // Canopy on pillars at the back.
    for (int x = x0 + 8; x <= x1 - 8; x += 64)
        steel_rect(cv, x, roof + 12, x + 5, GROUND_Y - 1, 1.1f);
    for (int y = roof; y < roof + 12; ++y)
        for (int x = x0; x <= x1; ++x)
            cv.set(x, y, y == roof ? rgb(200, 200, 210) : rgb(150, 40, 36));
    for (int x = x0 + 4; x < x1; x += 10)
        cv.rect(x, roof + 12, x + 5, roof + 13, mix(light, rgb(255, 255, 255), 0.5f));
    sign(cv, (x0 + x1) / 2 - 30, roof - 14, (x0 + x1) / 2 + 30, roof - 2, "TOLL", rgb(30, 70, 140),
         rgb(240, 240, 230), 1);
    cv.glow((x0 + x1) / 2, roof + 40, (x1 - x0) / 2 + 20, 70, light, 0.55f);
    // Booths with lit windows.
    for (int x = x0 + 22; x + 30 <= x1 - 8; x += 64) {
        cv.rect(x, GROUND_Y - 52, x + 28, GROUND_Y - 1, rgb(170, 170, 176));
        cv.rect(x + 3, GROUND_Y - 46, x + 25, GROUND_Y - 26, mix(light, rgb(255, 255, 255), 0.4f));
        cv.vline(x + 14, GROUND_Y - 46, GROUND_Y - 26, rgb(120, 120, 126));
        cv.rect(x, GROUND_Y - 54, x + 28, GROUND_Y - 52, rgb(80, 80, 86));
        // Traffic light and the barrier arm, raised.
        cv.rect(x + 30, GROUND_Y - 40, x + 33, GROUND_Y - 30, rgb(20, 20, 22));
        cv.set(x + 31, GROUND_Y - 38, rgb(255, 50, 40));
        cv.set(x + 31, GROUND_Y - 33, rgb(60, 90, 60));
        for (int k = 0; k < 30; ++k) {
            int ax = x + 36 + k / 3, ay = GROUND_Y - 20 - k;
            cv.set(ax, ay, (k / 4) % 2 ? rgb(230, 230, 230) : rgb(210, 40, 30));
            cv.set(ax + 1, ay, (k / 4) % 2 ? rgb(200, 200, 200) : rgb(170, 30, 24));
        }
        cv.rect(x + 34, GROUND_Y - 22, x + 39, GROUND_Y - 1, rgb(200, 170, 40));
    }
}

// A road sign on a post at the back of the deck.
void piece_roadsign(Street& s, Canvas& cv, const Piece& p)
{
    int x = x0_of(p) + p.num("dx", 8), y = p.num("y", 70);
    std::string text = p.str("text", "40");
    int w = text_w(text) + 10;
    cv.rect(x - 1, y + 8, x + 1, 127, kSteelDark);
    if (p.flag("round")) {
        cv.disc(x, y, 9, rgb(220, 40, 34));
        cv.disc(x, y, 7, rgb(236, 236, 228));
        cv.text(text, x - text_w(text) / 2, y - 3, rgb(20, 20, 24));
    } else {
        sign(cv, x - w / 2, y - 6, x + w / 2, y + 8, text, colour_opt(s, p, "color", "green"),
             rgb(240, 240, 230));
    }
}

// Foreground: a girder upright or railing post passing in front.
void piece_upright(Street&, Canvas& cv, const Piece& p)
{
    int x0 = x0_of(p) + p.num("dx", 4), w = p.num("w", 6), top = p.num("top", 0);
    for (int y = top; y < cv.h; ++y)
        for (int x = x0; x < x0 + w; ++x) {
            float t = 0.45f + 0.35f * (float)(x - x0) / w;
            cv.set(x, y, scale(kSteel, (x == x0 + 1) ? 0.95f : t));
        }
    if (w >= 10)  // rivets along a big girder
        for (int y = top + 4; y < cv.h; y += 8) {
            cv.set(x0 + 2, y, scale(kSteelHi, 0.7f));
            cv.set(x0 + w - 3, y, scale(kSteelHi, 0.5f));
        }
    cv.rect(x0 - 1, top, x0 + w, top + 2, scale(kSteel, 0.8f));
}

}  // namespace

const PainterEntry bridge_pieces[] = {
    {"deck", piece_deck},         {"parapet", piece_parapet},         {"tower", piece_tower},
    {"cable", piece_cable},       {"bridge-lamp", piece_bridge_lamp}, {"toll", piece_toll},
    {"roadsign", piece_roadsign}, {"upright", piece_upright},         {nullptr, nullptr},
};

}  // namespace gg
