// Level painting: an RGB canvas that streets are painted on at full size and
// then matched to the game palette, and the pieces a street is built from.
#pragma once

#include <allegro.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace gg {

struct Rgb {
    float r, g, b;
};

Rgb pal(int index);  // a game palette colour as 8-bit RGB
Rgb mix(Rgb a, Rgb b, float t);
Rgb scale(Rgb a, float k);
Rgb rgb(int r, int g, int b);

// A picture being painted. Pixels are transparent, an exact palette index or
// an RGB colour that is matched to the palette (with ordered dither) at the end.
struct Canvas {
    int w = 0, h = 0;
    int top = 0;  // play-area y of row 0 (foreground layers start lower)
    std::vector<Rgb> c;
    std::vector<short> ix;  // -2 transparent, -1 RGB, else a palette index

    Canvas(int w_, int h_, int top_ = 0);
    bool in(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h; }
    bool opaque(int x, int y) const { return in(x, y) && ix[y * w + x] != -2; }
    Rgb get(int x, int y) const { return c[y * w + x]; }
    void set(int x, int y, Rgb v);
    void set(int x, int y, int index);  // exact: kept as this palette colour
    void clear(int x, int y);           // make transparent
    void blend(int x, int y, Rgb v, float a);
    void light(int x, int y, Rgb v, float k);  // adds light to opaque pixels
    void dim(int x, int y, float k);           // darkens opaque pixels

    void rect(int x0, int y0, int x1, int y1, Rgb v);
    void rect(int x0, int y0, int x1, int y1, int index);
    void hline(int x0, int x1, int y, Rgb v) { rect(x0, y, x1, y, v); }
    void vline(int x, int y0, int y1, Rgb v) { rect(x, y0, x, y1, v); }
    void line(int x0, int y0, int x1, int y1, Rgb v);
    void vgrad(int x0, int y0, int x1, int y1, Rgb top, Rgb bottom);
    void disc(int cx, int cy, int r, Rgb v);
    void ellipse(int cx, int cy, int rx, int ry, Rgb v);
    // Soft light falling off from (cx, cy) over the radii, on what is painted.
    void glow(int cx, int cy, int rx, int ry, Rgb v, float k);
    void shade_rect(int x0, int y0, int x1, int y1, float k);
    // The 5x7 pixel font, each pixel `scale` wide; returns the width drawn.
    int text(const std::string& s, int x, int y, Rgb v, int scale = 1);
    void copy(const Canvas& src, int sx, int sy, int w, int h, int dx, int dy);
};
int text_w(const std::string& s, int scale = 1);

// Matches every pixel to the palette: colour 0 only where transparent.
BITMAP* quantize(const Canvas& cv);

// Deterministic noise, so every build paints the same pictures.
uint32_t hash3(int x, int y, int z);
float noise(int x, int y, int z);  // 0..1
// Smooth value noise with the given cell size, repeating every `period` px.
float smooth_noise(float x, float y, int cell, int period, int seed);

// Cuts pictures into 16x16 tiles, giving identical tiles one number. Tile 0
// is fully transparent in every sheet.
struct Tiler {
    std::vector<std::vector<uint8_t>> tiles;
    std::map<std::vector<uint8_t>, int> numbers;
    Tiler();
    int add(BITMAP* b, int x, int y);
    BITMAP* sheet() const;  // 640 wide, 40 tiles a row
};

// One line of a level source: "kind column [width] key=value ...".
struct Piece {
    std::string file;
    int line = 0;
    std::string kind;
    int col = 0, width = 1;
    std::map<std::string, std::string> opt;
    mutable std::map<std::string, bool> used;
    int num(const std::string& key, int dflt) const;
    std::string str(const std::string& key, const std::string& dflt) const;
    bool flag(const std::string& key) const;
    bool has(const std::string& key) const { return opt.count(key) != 0; }
};

// A street's pictures while painting: the main layer and, where the level
// has one, the foreground layer; x and widths in pixels.
struct Street {
    std::string name;
    Canvas* main = nullptr;
    Canvas* front = nullptr;
    std::string error;  // set by a painter that cannot paint the piece
};

using Painter = void (*)(Street& s, Canvas& cv, const Piece& p);
struct PainterEntry {
    const char* kind;
    Painter paint;
};
// Every piece kind a source may use, one table per theme.
extern const PainterEntry city_pieces[];
extern const PainterEntry junk_pieces[];
extern const PainterEntry bridge_pieces[];
extern const PainterEntry downtown_pieces[];
extern const PainterEntry dock_pieces[];
Painter find_painter(const std::string& kind);

// Backgrounds and the scenery that is not a street.
BITMAP* paint_skyline();          // dif2.pcx
BITMAP* paint_river();            // dif3.pcx
BITMAP* paint_harbour();          // dif5.pcx
BITMAP* paint_credits_scenery();  // CREDITS.PCX
// The ending's picture around the couple, over background colour `bg`.
BITMAP* paint_ending(BITMAP* couple, BITMAP* van, int bg);

// Shared pieces of scenery used across themes.
const int TILE = 16;
const int GROUND_Y = 128;  // play-area y where the walkable ground starts
void night_sky(Canvas& cv, int x0, int x1, int y1, int seed, Rgb top, Rgb bottom);
void stars(Canvas& cv, int x0, int x1, int y1, int seed, int per_tile_chance);

}  // namespace gg
