// Reading modders' PNG pictures and matching their colours to the game
// palette: pictures already in the game palette keep their indices, any
// other picture goes colour by colour to the nearest game colour.
#include <png.h>
#include <cerrno>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "engine/diag.h"
#include "tools/gfxgen/mods.h"

namespace gg {

namespace {

// Larger than any street (176 columns are 2816 pixels) by far; a bigger file
// is a mistake and would only eat memory.
const int kMaxSide = 16384;
const long kMaxPixels = 32L << 20;

// The colours the four gang schemes exchange (the "from" side of the
// recolour table the game installs).
const unsigned char kRecoloured[] = {1,  2,  10, 13, 14, 38, 40, 41,  46,  47,  48,  49,  50, 51,
                                     55, 56, 57, 62, 75, 76, 78, 116, 117, 118, 123, 124, 125};

struct ReadError {
    char text[200];
};

void on_error(png_structp png, png_const_charp msg)
{
    auto* e = static_cast<ReadError*>(png_get_error_ptr(png));
    std::snprintf(e->text, sizeof e->text, "%s", msg);
    png_longjmp(png, 1);
}

void on_warning(png_structp, png_const_charp) {}

// Does the palette show the game's colour at every index the picture uses?
// Compared at the palette's 6-bit precision, however the file widened it.
bool shows_game_palette(const png_color* plte, int n, const std::vector<uint8_t>& index)
{
    bool used[256] = {};
    for (uint8_t i : index)
        used[i] = true;
    for (int i = 0; i < 256; ++i) {
        if (!used[i])
            continue;
        if (i >= n)
            return false;
        if (plte[i].red >> 2 != game_pal[i].r || plte[i].green >> 2 != game_pal[i].g ||
            plte[i].blue >> 2 != game_pal[i].b)
            return false;
    }
    return true;
}

// libpng jumps back here on errors, so nothing with a destructor may live
// in this frame beyond what the caller owns.
bool decode(FILE* f, Png& out, ReadError& err)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &err, on_error, on_warning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep>* rows = new std::vector<png_bytep>;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        delete rows;
        return false;
    }
    png_init_io(png, f);
    png_set_user_limits(png, kMaxSide, kMaxSide);
    png_read_info(png, info);
    int w = (int)png_get_image_width(png, info), h = (int)png_get_image_height(png, info);
    if ((long)w * h > kMaxPixels) {
        std::snprintf(err.text, sizeof err.text, "%d x %d pixels is too big a picture", w, h);
        png_destroy_read_struct(&png, &info, nullptr);
        delete rows;
        return false;
    }
    int type = png_get_color_type(png, info), depth = png_get_bit_depth(png, info);
    png_colorp plte = nullptr;
    int nplte = 0;
    bool indexed = type == PNG_COLOR_TYPE_PALETTE;
    if (indexed)
        png_get_PLTE(png, info, &plte, &nplte);
    // Indices first, one byte each; RGBA is worked out from the palette below.
    if (indexed && depth < 8)
        png_set_packing(png);
    if (!indexed) {
        if (depth == 16)
            png_set_strip_16(png);
        if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA)
            png_set_gray_to_rgb(png);
        if (png_get_valid(png, info, PNG_INFO_tRNS))
            png_set_tRNS_to_alpha(png);
        if (depth < 8)
            png_set_expand_gray_1_2_4_to_8(png);
        if (!(type & PNG_COLOR_MASK_ALPHA) && !png_get_valid(png, info, PNG_INFO_tRNS))
            png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    int bpp = indexed ? 1 : 4;
    if ((int)png_get_rowbytes(png, info) != w * bpp) {
        std::snprintf(err.text, sizeof err.text, "unexpected pixel layout");
        png_destroy_read_struct(&png, &info, nullptr);
        delete rows;
        return false;
    }
    std::vector<uint8_t>& px = indexed ? out.index : out.rgba;
    px.assign((size_t)w * h * bpp, 0);
    rows->resize(h);
    for (int y = 0; y < h; ++y)
        (*rows)[y] = px.data() + (size_t)y * w * bpp;
    png_read_image(png, rows->data());
    png_read_end(png, nullptr);
    out.w = w;
    out.h = h;
    if (indexed) {
        png_bytep trans = nullptr;
        int ntrans = 0;
        png_get_tRNS(png, info, &trans, &ntrans, nullptr);
        for (uint8_t i : out.index)
            if (i >= nplte) {
                std::snprintf(err.text, sizeof err.text,
                              "a pixel uses colour %d of a %d-colour palette", i, nplte);
                png_destroy_read_struct(&png, &info, nullptr);
                delete rows;
                return false;
            }
        out.rgba.resize((size_t)w * h * 4);
        for (size_t k = 0; k < out.index.size(); ++k) {
            int i = out.index[k];
            out.rgba[4 * k] = plte[i].red;
            out.rgba[4 * k + 1] = plte[i].green;
            out.rgba[4 * k + 2] = plte[i].blue;
            out.rgba[4 * k + 3] = i < ntrans ? trans[i] : 255;
        }
        out.game_palette = shows_game_palette(plte, nplte, out.index);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    delete rows;
    return true;
}

// Squared distance with the eye's weights, at 6-bit precision.
int distance(int r, int g, int b, int i)
{
    int dr = r - game_pal[i].r, dg = g - game_pal[i].g, db = b - game_pal[i].b;
    return 2 * dr * dr + 4 * dg * dg + 3 * db * db;
}

// Never colour 0: it is see-through in sprites and tiles. A colour some
// index shows exactly keeps that index, gang colours included, so drawing
// with the game's own colours is always taken at its word.
// Of equal colours the lowest index wins.
int nearest(int r, int g, int b, bool avoid)
{
    int best = 0, bd = 1 << 30;
    for (int i = 1; i < 256; ++i) {
        int d = distance(r, g, b, i);
        if (d < bd && (d == 0 || !avoid || !recoloured_colour(i)))
            bd = d, best = i;
    }
    return best;
}

}  // namespace

bool recoloured_colour(int index)
{
    return std::memchr(kRecoloured, index, sizeof kRecoloured) != nullptr;
}

bool read_png(const std::string& path, Png& out)
{
    out = Png();
    out.path = path;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        diag("%s: cannot read: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    unsigned char sig[8];
    bool is_png = std::fread(sig, 1, 8, f) == 8 && png_sig_cmp(sig, 0, 8) == 0;
    ReadError err{};
    bool ok = is_png && (std::rewind(f), decode(f, out, err));
    std::fclose(f);
    if (!is_png)
        diag("%s: not a PNG picture\n", path.c_str());
    else if (!ok)
        diag("%s: cannot read the picture: %s\n", path.c_str(),
             err.text[0] ? err.text : "damaged file");
    return ok;
}

BITMAP* to_palette(const Png& p, const Matching& m)
{
    // One answer per 6-bit colour, worked out when first met.
    static std::vector<short> cache[2];
    std::vector<short>& c = cache[m.avoid_recolour];
    if (c.empty())
        c.assign(1 << 18, -1);
    BITMAP* b = create_bitmap_ex(8, p.w, p.h);
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) {
            size_t k = (size_t)y * p.w + x;
            const uint8_t* v = &p.rgba[4 * k];
            int colour;
            if (v[3] < 128) {
                colour = 0;
            } else if (p.game_palette) {
                colour = p.index[k];  // index 0 is the game's own see-through black
            } else if (m.key_on && v[0] == m.key[0] && v[1] == m.key[1] && v[2] == m.key[2]) {
                colour = 0;
            } else {
                short& hit = c[(v[0] >> 2) << 12 | (v[1] >> 2) << 6 | v[2] >> 2];
                if (hit < 0)
                    hit = (short)nearest(v[0] >> 2, v[1] >> 2, v[2] >> 2, m.avoid_recolour);
                colour = hit;
            }
            putpixel(b, x, y, colour);
        }
    return b;
}

}  // namespace gg
