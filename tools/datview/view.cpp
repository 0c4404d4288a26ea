#include "tools/datview/view.h"

#include "gfx/objects.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// A picture of the size asked for, or the reason it cannot be had.
BITMAP* picture(int w, int h)
{
    if (w <= 0 || h <= 0 || (long long)w * h > 64LL << 20)
        return nullptr;
    return create_bitmap_ex(8, w, h);
}

// Sprites drawn into an 8-bit picture must be 8-bit themselves: the
// library copies other depths byte for byte, past the picture's end.
BITMAP* as_8bit(BITMAP* s)
{
    if (bitmap_color_depth(s) == 8)
        return s;
    BITMAP* c = create_bitmap_ex(8, s->w, s->h);
    if (c)
        blit(s, c, 0, 0, 0, 0, s->w, s->h);
    return c;
}

// --- rendering ---

const int kBack = 68;  // a dark grey that sprites never use as their mask

BITMAP* scaled(BITMAP* b, int s)
{
    BITMAP* o = picture(b->w * s, b->h * s);
    if (!o)
        return nullptr;
    stretch_blit(b, o, 0, 0, b->w, b->h, 0, 0, o->w, o->h);
    return o;
}

BITMAP* render_font(FONT* f)
{
    BITMAP* b = create_bitmap_ex(8, 16 * 10 + 4, 6 * 12 + 4);
    clear_to_color(b, 0);
    for (int c = 32; c < 127; ++c) {
        char s[2] = {(char)c, 0};
        textout_ex(b, f, s, 2 + (c - 32) % 16 * 10, 2 + (c - 32) / 16 * 12, -1, -1);
    }
    return b;
}

BITMAP* render_palette()
{
    BITMAP* b = create_bitmap_ex(8, 16 * 8, 16 * 8);
    for (int i = 0; i < 256; ++i)
        rectfill(b, i % 16 * 8, i / 16 * 8, i % 16 * 8 + 7, i / 16 * 8 + 7, i);
    return b;
}

// Objects the library turns into structures: their data are not the bytes
// of the file, so they can never serve as a map (the game's rule).
bool structured(int type)
{
    return type == DAT_BITMAP || type == DAT_RLE_SPRITE || type == DAT_C_SPRITE ||
           type == DAT_XC_SPRITE || type == DAT_FONT || type == DAT_SAMPLE || type == DAT_MIDI ||
           type == DAT_FILE;
}

// A map is a binary object of 16-bit cells; the sheet an 8-bit bitmap.
BITMAP* render_map(DATAFILE* map, BITMAP* sheet, int rows, int first)
{
    int cells = (int)(map->size / 2) - first;  // a foreground layer follows the main cells
    if (rows > cells)
        rows = cells > 0 ? cells : 1;
    int cols = (cells + rows - 1) / rows;
    const unsigned char* d = (const unsigned char*)map->dat + 2 * first;
    BITMAP* b = picture(cols * 16, rows * 16);
    if (!b)
        return nullptr;
    clear_to_color(b, 0);
    for (int k = 0; k < cells; ++k) {
        int t = d[2 * k] | d[2 * k + 1] << 8;
        masked_blit(sheet, b, t % 40 * 16, t / 40 * 16, k / rows * 16, k % rows * 16, 16, 16);
    }
    return b;
}

// Every bitmap from `first` on, left to right in rows, with its index and a
// cross at its hot spot.
BITMAP* render_sheet(DATAFILE* dat, int first, int last, FONT* label)
{
    const int W = 640;
    int x = 4, y = 4, row_h = 0;
    struct P {
        int i, x, y;
    };
    std::vector<P> place;
    int count = 0;  // the objects there are: `first` may lie beyond them
    while (dat[count].type != DAT_END)
        count++;
    for (int i = first; i <= last && i < count; ++i) {
        if (dat[i].type != DAT_BITMAP)
            continue;
        BITMAP* s = (BITMAP*)dat[i].dat;
        if ((s->w == 8 && s->h == 8) || s->w > W - 8 || s->h > 4096)
            continue;  // unused slots, and none wider than the sheet
        int w = std::max(s->w, 24) + 6, h = s->h + 14;
        if (x + w > W) {
            x = 4;
            y += row_h;
            row_h = 0;
        }
        place.push_back({i, x, y});
        x += w;
        row_h = std::max(row_h, h);
    }
    BITMAP* b = picture(W, y + row_h + 4);
    if (!b)
        return nullptr;
    clear_to_color(b, kBack);
    for (auto& p : place) {
        BITMAP* s = as_8bit((BITMAP*)dat[p.i].dat);
        if (!s)
            continue;
        rectfill(b, p.x, p.y + 10, p.x + s->w - 1, p.y + 10 + s->h - 1, 127);
        draw_sprite(b, s, p.x, p.y + 10);
        textprintf_ex(b, label, p.x, p.y, -1, -1, "%d", p.i);
        const char* xs = get_datafile_property(&dat[p.i], DAT_ID('X', 'H', 'O', 'T'));
        const char* ys = get_datafile_property(&dat[p.i], DAT_ID('Y', 'H', 'O', 'T'));
        if (*xs || *ys) {
            int hx = p.x + std::atoi(xs), hy = p.y + 10 + std::atoi(ys);
            hline(b, hx - 2, hy, hx + 2, 110);
            vline(b, hx, hy - 2, hy + 2, 110);
        }
    }
    return b;
}

DATAFILE* find(DATAFILE* d, const char* what)
{
    char* end;
    long i = std::strtol(what, &end, 10);
    if (!*end) {
        for (long k = 0; d[k].type != DAT_END; ++k)
            if (k == i)
                return &d[k];
        return nullptr;
    }
    // The library's search walks a name by its encoding and never ends on
    // bytes that are not text: a name is plain printable ASCII.
    for (const char* c = what; *c; c++)
        if (*c < 32 || *c > 126)
            return nullptr;
    return find_datafile_object(d, what);
}

}  // namespace

BITMAP* datview_render(DATAFILE* dat, DATAFILE* main_dat, const char* what_text, int scale,
                       const RGB** pal_out, std::string& why)
{
    const RGB* pal = default_palette;
    FONT* label = font;
    for (int k = 0; main_dat[k].type != DAT_END; ++k) {
        if (k == 23 && main_dat[k].type == DAT_PALETTE)
            pal = (const RGB*)main_dat[k].dat;
        if (k == FONT_ITEM && main_dat[k].type == DAT_FONT)
            label = (FONT*)main_dat[k].dat;
    }
    select_palette(pal);
    BITMAP* out = nullptr;
    std::string what = what_text;
    if (what == "sheet") {
        out = render_sheet(dat, 26, 557, label);
    } else if (what.compare(0, 4, "map:") == 0) {
        char name[64], sheet[64];
        int rows = 0, first = 0;
        int n = std::sscanf(what.c_str(), "map:%63[^:]:%63[^:]:%d:%d", name, sheet, &rows, &first);
        if (n < 3 || rows < 1 || first < 0) {
            why = "usage";
            return nullptr;
        }
        DATAFILE* m = find(dat, name);
        DATAFILE* s = find(dat, sheet);
        if (!m || !s || structured(m->type) || s->type != DAT_BITMAP ||
            bitmap_color_depth((BITMAP*)s->dat) != 8) {
            why = std::string("no map ") + name + " or 8-bit sheet " + sheet;
            return nullptr;
        }
        if (first >= m->size / 2) {
            why = std::string("no cells from ") + std::to_string(first) + " in " + name;
            return nullptr;
        }
        out = render_map(m, (BITMAP*)s->dat, rows, first);
    } else {
        DATAFILE* o = find(dat, what.c_str());
        if (!o) {
            why = "no object " + what;
            return nullptr;
        }
        if (o->type == DAT_BITMAP) {
            BITMAP* s = (BITMAP*)o->dat;
            if ((out = picture(s->w, s->h)))
                blit(s, out, 0, 0, 0, 0, s->w, s->h);
        } else if (o->type == DAT_FONT) {
            out = render_font((FONT*)o->dat);
        } else if (o->type == DAT_PALETTE) {
            pal = (const RGB*)o->dat;
            out = render_palette();
        } else {
            why = "object " + what + " is not a picture, font or palette";
            return nullptr;
        }
    }
    *pal_out = pal;
    return out && scale > 1 ? scaled(out, scale) : out;
}
