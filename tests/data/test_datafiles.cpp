// The datafiles as the game reads them: indices, types, sizes, hot spots,
// the password, the level objects by name and the script include file.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "gfx/main_data.h"
#include "tests/data/data_fixture.h"

using namespace datatest;

namespace {

int count(DATAFILE* d)
{
    int n = 0;
    while (d[n].type != DAT_END)
        ++n;
    return n;
}

BITMAP* bmp(int i) { return picture(i); }

DATAFILE* level_object(const char* name)
{
    start_allegro();
    packfile_password(kPassword);
    DATAFILE* d = load_datafile_object(game_path("DATA/LEVELS.DAT").c_str(), name);
    packfile_password(nullptr);
    return d;
}

struct Listed {
    std::string type, desc;
    std::map<std::string, std::string> props;
};

// Objects in listing order, from the archiver's own verbose listing.
std::vector<Listed> dat_listing(const std::string& file)
{
    std::string cmd = std::string(NWD_DAT_TOOL) + " -007 '" + kPassword + "' -l -v " + file;
    std::vector<Listed> out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p)
        return out;
    char buf[512];
    std::regex obj(R"(^- (\w+) +- \S+ +- (.*)$)"), prop(R"(^  \. (\w+) '(.*)'$)");
    while (fgets(buf, sizeof buf, p)) {
        std::string line(buf);
        if (!line.empty() && line.back() == '\n')
            line.pop_back();
        std::smatch m;
        if (std::regex_match(line, m, obj))
            out.push_back({m[1], m[2], {}});
        else if (std::regex_match(line, m, prop) && !out.empty())
            out.back().props[m[1]] = m[2];
    }
    pclose(p);
    return out;
}

}  // namespace

TEST(MainDatafile, ArchiverListingHasEveryIndexInPlace)
{
    auto l = dat_listing(game_path("DATA/NIGHTWAR.DAT"));
    ASSERT_EQ(l.size(), 558u);
    for (int i = 0; i <= 15; ++i)
        EXPECT_EQ(l[i].type, "BMP") << i;
    for (int i = 16; i <= 22; ++i) {
        EXPECT_EQ(l[i].type, "FONT") << i;
        EXPECT_NE(l[i].desc.find("color font"), std::string::npos) << "drawn with colour -1: " << i;
    }
    EXPECT_EQ(l[23].type, "PAL");
    EXPECT_EQ(l[25].type, "PAL");
    for (int i = 26; i <= 557; ++i)
        EXPECT_EQ(l[i].type, "BMP") << i;
    EXPECT_EQ(l[0].desc, "bitmap (320x32, 8 bit)");
    EXPECT_EQ(l[27].props.count("XHOT"), 1u);
    EXPECT_EQ(l[27].props.count("YHOT"), 1u);
    EXPECT_EQ(l[26].props.count("XHOT"), 0u);
}

TEST(MainDatafile, LoadsOnlyWithThePassword)
{
    start_allegro();
    DATAFILE* none = load_datafile(game_path("DATA/NIGHTWAR.DAT").c_str());
    EXPECT_EQ(none, nullptr);
    if (none)
        unload_datafile(none);
    ASSERT_NE(main_datafile(), nullptr);
    EXPECT_EQ(count(main_datafile()), 558);
}

TEST(MainDatafile, PicturesHaveTheSizesTheScreensDrawThemAt)
{
    ASSERT_NE(main_datafile(), nullptr);
    struct {
        int index, w, h;
    } sizes[] = {{0, 320, 32}, {1, 1, 7},     {2, 1, 7},    {3, 8, 16},   {9, 6, 2},
                 {8, 30, 16},  {10, 30, 16},  {11, 30, 16}, {12, 30, 16}, {13, 30, 16},
                 {14, 30, 16}, {15, 30, 16},  {308, 9, 11}, {309, 9, 11}, {310, 11, 9},
                 {311, 11, 9}, {312, 48, 14}, {313, 40, 14}};
    for (auto& s : sizes) {
        EXPECT_EQ(bmp(s.index)->w, s.w) << s.index;
        EXPECT_EQ(bmp(s.index)->h, s.h) << s.index;
    }
    EXPECT_LE(bmp(6)->w, 200);  // logo on the 200x56 banner
    EXPECT_LE(bmp(6)->h, 56);
    EXPECT_GE(bmp(7)->w, 54);  // slider bar reaches x 193 when drawn at 140
    EXPECT_LE(268 + bmp(368)->w, 320);
    EXPECT_LE(133 + bmp(345)->w, 320);
    EXPECT_LE(132 + bmp(345)->h, 220);  // above the score line
    // The ending's scene melts into the screen's flat blue (colour 62) along
    // its top and left edges: any other colour there draws a box round it.
    for (int x = 0; x < bmp(345)->w; ++x)
        EXPECT_EQ(getpixel(bmp(345), x, 0), 62) << "top, x " << x;
    for (int y = 0; y < bmp(345)->h; ++y)
        EXPECT_EQ(getpixel(bmp(345), 0, y), 62) << "left, y " << y;
    // The item box shows the gauge at x 21..26 of object 15: keep it clear.
    for (int y = 0; y < 16; ++y)
        for (int x = 21; x <= 26; ++x)
            EXPECT_EQ(getpixel(bmp(15), x, y), 0);
}

TEST(MainDatafile, FontsAreFixedEightByEightWithAllPrintables)
{
    ASSERT_NE(main_datafile(), nullptr);
    for (int i = 16; i <= 22; ++i) {
        FONT* f = (FONT*)main_datafile()[i].dat;
        EXPECT_EQ(text_height(f), 8) << i;
        EXPECT_EQ(text_length(f, " !Az~"), 40) << i;
    }
    // Colour -1 draws the font's own colours, never the transparent 0.
    BITMAP* b = create_bitmap_ex(8, 16, 8);
    clear_to_color(b, 0);
    textout_ex(b, (FONT*)main_datafile()[22].dat, "*", 0, 0, -1, -1);
    int inked = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            inked += getpixel(b, x, y) != 0;
    EXPECT_GT(inked, 5);
    destroy_bitmap(b);
}

TEST(MainDatafile, PaletteHasItsFixedColours)
{
    ASSERT_NE(main_datafile(), nullptr);
    const RGB* p = (const RGB*)main_datafile()[23].dat;
    EXPECT_EQ(p[0].r + p[0].g + p[0].b, 0);
    auto lum = [&](int i) { return p[i].r * 3 + p[i].g * 6 + p[i].b; };
    for (int i = 161; i <= 209; ++i)
        EXPECT_GE(lum(i), lum(i - 1)) << "fire ramp at " << i;
    EXPECT_GT(lum(209), lum(160) + 400);
}

TEST(Sprites, HotSpotsSitInsideAndSpritesFitTheScratchBitmap)
{
    ASSERT_NE(main_datafile(), nullptr);
    for (int i = 27; i <= 557; ++i) {
        DATAFILE* o = &main_datafile()[i];
        BITMAP* s = (BITMAP*)o->dat;
        int hx = atoi(get_datafile_property(o, DAT_ID('X', 'H', 'O', 'T')));
        int hy = atoi(get_datafile_property(o, DAT_ID('Y', 'H', 'O', 'T')));
        EXPECT_TRUE(hx >= 0 && hx < s->w && hy >= 0 && hy < s->h) << i;
        if (i == 345)
            continue;  // the ending's scene: drawn once at a fixed place, never mirrored
        EXPECT_LE(s->w, 128) << i;  // mirrored recoloured sprites go through 128x128
        EXPECT_LE(s->h, 128) << i;
    }
}

TEST(Sprites, IncludeNamesRealFramesAndEveryEffect)
{
    ASSERT_NE(main_datafile(), nullptr);
    auto c = include_constants(NWD_GAME_INCLUDE);
    int effects = 0;
    for (auto& [name, v] : c) {
        if (name.rfind("SFX_", 0) == 0) {
            ++effects;
            EXPECT_TRUE(v >= 1 && v <= 62) << name;  // the engine's effect rows
            continue;
        }
        ASSERT_TRUE(v >= 27 && v <= 557) << name;
        BITMAP* s = bmp(v);
        EXPECT_FALSE(s->w == 8 && s->h == 8) << name << " is an unused slot";
    }
    EXPECT_EQ(effects, 50);  // 36 effects and the blows' 14 other takes
}

TEST(Sprites, EveryRecolourSchemeChangesTheThug)
{
    ASSERT_NE(main_datafile(), nullptr);
    static COLOR_MAP map;
    build_recolour_table(&map);
    auto c = include_constants(NWD_GAME_INCLUDE);
    BITMAP* s = bmp(c["SPR_THUG_STAND"]);
    int opaque = 0;
    for (int y = 0; y < s->h; ++y)
        for (int x = 0; x < s->w; ++x)
            opaque += getpixel(s, x, y) != 0;
    for (int row = 1; row <= 4; ++row) {
        int changed = 0;
        for (int y = 0; y < s->h; ++y)
            for (int x = 0; x < s->w; ++x)
                changed += map.data[row][getpixel(s, x, y)] != getpixel(s, x, y);
        EXPECT_GT(changed * 5, opaque) << "scheme " << row << " changes under a fifth of the thug";
    }
}

TEST(LevelDatafile, ObjectsByNameHaveTheCatalogueShapes)
{
    // Main layer width (exact, or at least when `exact` is off), the y from
    // which nothing may be transparent (the scene does not clear behind the
    // map there) and the foreground layer that follows the main one.
    struct {
        const char *map, *sheet;
        int rows, columns;
        bool exact;
        int opaque_from, front_rows, front_columns;
    } maps[] = {{"van.bin", "van.pcx", 7, 64, false, 111, 0, 0},
                {"lev1.bin", "lev1.pcx", 13, 176, false, 0, 0, 0},
                {"lev2.bin", "lev2.pcx", 13, 112, true, 111, 7, 160},
                {"lev3.bin", "lev3.pcx", 13, 112, true, 128, 6, 160},
                {"lev4.bin", "lev4.pcx", 13, 176, false, 0, 0, 0},
                {"lev5.bin", "lev5.pcx", 13, 176, false, 144, 0, 0},
                {"high.bin", "high.pcx", 11, 64, false, 0, 0, 0}};
    for (auto& m : maps) {
        DATAFILE* md = level_object(m.map);
        DATAFILE* sd = level_object(m.sheet);
        ASSERT_TRUE(md && sd) << m.map;
        BITMAP* sheet = (BITMAP*)sd->dat;
        EXPECT_EQ(sheet->w, 640);
        const unsigned char* bytes = (const unsigned char*)md->dat;
        auto cell = [&](long k) { return bytes[2 * k] | bytes[2 * k + 1] << 8; };
        long n = md->size / 2, main_cells = n - m.front_rows * m.front_columns;
        if (m.exact)
            EXPECT_EQ(main_cells, m.rows * m.columns) << m.map;
        else
            EXPECT_GE(main_cells, m.rows * m.columns) << m.map;
        EXPECT_EQ(main_cells % m.rows, 0) << m.map;
        int max_tile = 0;
        for (long k = 0; k < n; ++k)
            max_tile = std::max(max_tile, cell(k));
        EXPECT_LT(max_tile, 40 * (sheet->h / 16)) << m.map;
        for (long k = 0; k < main_cells; ++k) {
            int t = cell(k), y0 = (int)(k % m.rows) * 16;
            for (int y = std::max(0, m.opaque_from - y0); y < 16; ++y)
                for (int x = 0; x < 16; ++x)
                    ASSERT_NE(getpixel(sheet, t % 40 * 16 + x, t / 40 * 16 + y), 0)
                        << m.map << " column " << k / m.rows << " row " << k % m.rows;
        }
        if (m.front_rows) {  // mostly empty, so fighters stay in sight
            long empty = 0;
            for (long k = main_cells; k < n; ++k)
                empty += cell(k) == 0;
            EXPECT_GT(empty * 10, (n - main_cells) * 7) << m.map;
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 16; ++x)
                    ASSERT_EQ(getpixel(sheet, x, y), 0) << "tile 0 of " << m.sheet;
        }
        unload_datafile_object(md);
        unload_datafile_object(sd);
    }
    struct {
        const char* name;
        int w, min_h;
    } backs[] = {{"dif2.pcx", 128, 111},
                 {"dif3.pcx", 384, 128},
                 {"dif5.pcx", 768, 208},
                 {"CREDITS.PCX", 128, 208}};
    for (auto& b : backs) {
        DATAFILE* d = level_object(b.name);
        ASSERT_TRUE(d) << b.name;
        EXPECT_EQ(((BITMAP*)d->dat)->w, b.w) << b.name;
        EXPECT_GE(((BITMAP*)d->dat)->h, b.min_h) << b.name;
        unload_datafile_object(d);
    }
}

// Where the view stops for a fight (the course's LOCK rows of each street),
// the foreground layer shows nothing: a post passing there hid the fighters.
TEST(LevelDatafile, NoForegroundInSightWhereAFightStopsTheView)
{
    std::ifstream in(std::string(NWD_DATA_DIR) + "/amc/director.amcs");
    ASSERT_TRUE(in);
    std::map<int, std::vector<int>> locks;
    std::string line;
    int street = 0;
    std::smatch m;
    while (std::getline(in, line)) {
        if (std::regex_search(line, m, std::regex("^; street ([0-9])")))
            street = std::stoi(m[1]);
        else if (street && std::regex_search(line, m, std::regex("^ *LOCK, *0, *([0-9]+)")))
            locks[street].push_back(std::stoi(m[1]));
    }
    const struct {
        int street, rows;
        const char* map;
    } fronts[] = {{2, 7, "lev2.bin"}, {3, 6, "lev3.bin"}};
    for (auto& f : fronts) {
        ASSERT_GE(locks[f.street].size(), 4u) << "street " << f.street;
        DATAFILE* md = level_object(f.map);
        ASSERT_TRUE(md) << f.map;
        const unsigned char* bytes = (const unsigned char*)md->dat;
        const long first = 13 * 112, cells = md->size / 2;  // the layer follows the main one
        for (int lock : locks[f.street]) {
            int left = 3 * lock / 2;  // as the scene scrolls it
            for (int col = left / 16; col <= (left + 319) / 16; ++col)
                for (int row = 0; row < f.rows; ++row) {
                    long k = first + (long)col * f.rows + row;
                    ASSERT_LT(k, cells) << f.map;
                    EXPECT_EQ(bytes[2 * k] | bytes[2 * k + 1] << 8, 0)
                        << f.map << ": the fight at " << lock << " sees foreground column " << col;
                }
        }
        unload_datafile_object(md);
    }
}
