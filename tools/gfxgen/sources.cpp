// Readable sources: palette, pixel font and small text-art pictures.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

#include "engine/diag.h"
#include "tools/gfxgen/gfxgen.h"

namespace gg {

PALETTE game_pal;
PALETTE menu_pal;

namespace {

struct Lines {
    std::vector<std::string> text;
    bool read(const std::string& path)
    {
        FILE* f = std::fopen(path.c_str(), "r");
        if (!f) {
            diag("%s: cannot read: %s\n", path.c_str(), std::strerror(errno));
            return false;
        }
        char buf[512];
        while (std::fgets(buf, sizeof buf, f)) {
            size_t n = std::strlen(buf);
            while (n && (buf[n - 1] == '\n' || buf[n - 1] == '\r'))
                buf[--n] = 0;
            text.emplace_back(buf);
        }
        std::fclose(f);
        return true;
    }
};

std::string strip_comment(const std::string& s)
{
    size_t p = s.find('#');
    return p == std::string::npos ? s : s.substr(0, p);
}

// Glyph bitmaps: 7 rows of 5 bits, bit 4 the leftmost column.
unsigned char glyphs[96][7];
bool have_glyph[96];

std::map<std::string, BITMAP*> art_table;

int clamp8(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

void set8(RGB& c, int r, int g, int b)
{
    c.r = clamp8(r) >> 2;
    c.g = clamp8(g) >> 2;
    c.b = clamp8(b) >> 2;
}

}  // namespace

bool load_palettes(const std::string& path)
{
    Lines L;
    if (!L.read(path))
        return false;
    for (int i = 0; i < 256; ++i)
        set8(game_pal[i], 0, 0, 0);
    RGB* pal = game_pal;
    for (size_t ln = 0; ln < L.text.size(); ++ln) {
        std::string s = strip_comment(L.text[ln]);
        if (s.find("[menu]") != std::string::npos) {
            std::memcpy(menu_pal, game_pal, sizeof(PALETTE));
            pal = menu_pal;
            continue;
        }
        int a, b, v[6];
        int n = std::sscanf(s.c_str(), "%d-%d %d %d %d %d %d %d", &a, &b, v, v + 1, v + 2, v + 3,
                            v + 4, v + 5);
        if (n == 8 && a >= 0 && b < 256 && a < b) {
            for (int i = a; i <= b; ++i) {
                int t = i - a, d = b - a;
                set8(pal[i], v[0] + (v[3] - v[0]) * t / d, v[1] + (v[4] - v[1]) * t / d,
                     v[2] + (v[5] - v[2]) * t / d);
            }
            continue;
        }
        n = std::sscanf(s.c_str(), "%d %d %d %d", &a, v, v + 1, v + 2);
        if (n == 4 && a >= 0 && a < 256) {
            set8(pal[a], v[0], v[1], v[2]);
            continue;
        }
        if (s.find_first_not_of(" \t") != std::string::npos) {
            diag("%s:%zu: expected \"index r g b\" or \"first-last r g b r g b\"\n", path.c_str(),
                 ln + 1);
            return false;
        }
    }
    if (pal != menu_pal)
        std::memcpy(menu_pal, game_pal, sizeof(PALETTE));
    return true;
}

bool load_font(const std::string& path)
{
    Lines L;
    if (!L.read(path))
        return false;
    std::memset(have_glyph, 0, sizeof have_glyph);
    for (size_t ln = 0; ln < L.text.size(); ++ln) {
        const std::string& s = L.text[ln];
        if (s.size() < 3 || s[0] != '=' || s[1] != ' ')
            continue;
        int c = (unsigned char)s[2];
        if (c < 32 || c > 126 || ln + 7 >= L.text.size() + 0) {
            diag("%s:%zu: bad glyph header\n", path.c_str(), ln + 1);
            return false;
        }
        for (int r = 0; r < 7; ++r) {
            const std::string& row = L.text[ln + 1 + r];
            if (row.size() != 5 || row.find_first_not_of(".X") != std::string::npos) {
                diag("%s:%zu: glyph rows are 5 of '.' and 'X'\n", path.c_str(), ln + 2 + r);
                return false;
            }
            unsigned char bits = 0;
            for (int k = 0; k < 5; ++k)
                if (row[k] == 'X')
                    bits |= 16 >> k;
            glyphs[c - 32][r] = bits;
        }
        have_glyph[c - 32] = true;
        ln += 7;
    }
    for (int c = 0; c < 95; ++c)
        if (!have_glyph[c]) {
            diag("%s:0: no glyph for character %d\n", path.c_str(), c + 32);
            return false;
        }
    return true;
}

int text_width(const char* s, int scale) { return (int)std::strlen(s) * 6 * scale; }

// Draws with a drop shadow one pixel right and down; rows[] colours each glyph row.
void draw_text(BITMAP* b, const char* s, int x, int y, const int rows[7], int shadow, int scale)
{
    for (int pass = shadow >= 0 ? 0 : 1; pass < 2; ++pass)
        for (int i = 0; s[i]; ++i) {
            int c = (unsigned char)s[i];
            if (c < 32 || c > 126)
                c = '?';
            for (int r = 0; r < 7; ++r)
                for (int k = 0; k < 5; ++k)
                    if (glyphs[c - 32][r] & (16 >> k)) {
                        int px = x + (i * 6 + k) * scale, py = y + r * scale;
                        if (pass == 0)
                            rectfill(b, px + 1, py + 1, px + scale, py + scale, shadow);
                        else
                            rectfill(b, px, py, px + scale - 1, py + scale - 1, rows[r]);
                    }
        }
}

// The grabber's bitmap-font layout: 8x8 cells in a grid of colour 255 lines,
// characters 32..126 left to right, 16 to a row.
void font_sheet(BITMAP* b, const int rows[7], int shadow)
{
    clear_to_color(b, 255);
    for (int c = 0; c < 95; ++c) {
        int cx = 1 + (c % 16) * 9, cy = 1 + (c / 16) * 9;
        rectfill(b, cx, cy, cx + 7, cy + 7, 0);
        char s[2] = {(char)(c + 32), 0};
        draw_text(b, s, cx + 1, cy, rows, shadow);
    }
}

// Text art: "key C N" maps character C to colour N; "pic NAME W H" is followed
// by H rows of W characters.
bool load_art(const std::string& path)
{
    Lines L;
    if (!L.read(path))
        return false;
    int key[256];
    for (int i = 0; i < 256; ++i)
        key[i] = -1;
    key[(unsigned char)'.'] = 0;
    for (size_t ln = 0; ln < L.text.size(); ++ln) {
        const std::string& s = L.text[ln];
        char name[64];
        int w, h, col;
        char ch;
        if (std::sscanf(s.c_str(), "key %c %d", &ch, &col) == 2) {
            key[(unsigned char)ch] = col;
        } else if (std::sscanf(s.c_str(), "pic %63s %d %d", name, &w, &h) == 3) {
            if (w <= 0 || h <= 0 || w > 320 || h > 240 || ln + h >= L.text.size()) {
                diag("%s:%zu: bad picture size\n", path.c_str(), ln + 1);
                return false;
            }
            BITMAP* b = create_bitmap_ex(8, w, h);
            clear_to_color(b, 0);
            for (int y = 0; y < h; ++y) {
                const std::string& row = L.text[ln + 1 + y];
                if ((int)row.size() != w) {
                    diag("%s:%zu: row is %zu wide, expected %d\n", path.c_str(), ln + 2 + y,
                         row.size(), w);
                    return false;
                }
                for (int x = 0; x < w; ++x) {
                    int c = key[(unsigned char)row[x]];
                    if (c < 0) {
                        diag("%s:%zu: character '%c' has no key\n", path.c_str(), ln + 2 + y,
                             row[x]);
                        return false;
                    }
                    putpixel(b, x, y, c);
                }
            }
            art_table[name] = b;
            ln += h;
        }
    }
    return true;
}

BITMAP* art(const std::string& name)
{
    auto it = art_table.find(name);
    if (it != art_table.end())
        return it->second;
    diag("art: no picture \"%s\"\n", name.c_str());
    BITMAP* b = create_bitmap_ex(8, 8, 8);
    clear_to_color(b, 110);
    art_table[name] = b;
    return b;
}

bool save(Out& o, BITMAP* b, const std::string& file, const RGB* pal)
{
    if (!b) {
        o.failed = true;
        return false;
    }
    // Written under a temporary name so an interrupted build leaves no half file.
    std::string path = o.dir + "/" + file, tmp = path + ".tmp.pcx";
    if (save_pcx(tmp.c_str(), b, pal ? pal : game_pal) != 0 ||
        std::rename(tmp.c_str(), path.c_str()) != 0) {
        diag("%s: cannot write\n", path.c_str());
        std::remove(tmp.c_str());
        o.failed = true;
        return false;
    }
    return true;
}

}  // namespace gg
