// The generators on modders' material: colours, see-through pixels and hot
// spots of drawn sprites, maps from pictures and tile maps, WAV conversion,
// module and playlist checks, and what bad material is told.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstring>

#include "fileio/byteorder.h"
#include "gfx/main_data.h"
#include "tests/modding/modding_fixture.h"

using namespace modtest;

namespace {

// A scratch copy of data/ with empty mods/ folders, and the generators on it.
struct Gen {
    std::string dir = scratch(), src = copy_data(dir), out = dir + "/out";
    Gen()
    {
        std::system(("mkdir -p " + out + " " + src + "/mods/sprites " + src + "/mods/pictures " +
                     src + "/mods/levels")
                        .c_str());
    }
    std::string mod(const std::string& rel) const { return src + "/mods/" + rel; }
    Outcome main() const
    {
        return run(tool("nwd-gfxgen") + " main " + src + " " + out + " " + out + "/inc");
    }
    Outcome levels() const { return run(tool("nwd-gfxgen") + " levels " + src + " " + out); }
    void clear() const { std::system(("rm -rf " + src + "/mods/*/*").c_str()); }
    BITMAP* pcx(const std::string& file) const
    {
        return load_pcx((out + "/" + file).c_str(), nullptr);
    }
};

const std::string kReference = NWD_BUILD_DIR "/data-gen/";  // the real build's generator output

// "index type file xhot yhot" of object `index` in a pack list.
std::string list_entry(const std::string& list, int index)
{
    std::string text = slurp(list), key = "\n" + std::to_string(index) + " ";
    size_t at = text.find(key);
    return at == std::string::npos ? "" : text.substr(at + 1, text.find('\n', at + 1) - at - 1);
}

Picture blank(int w, int h)
{
    Picture p;
    p.w = w;
    p.h = h;
    p.rgba.assign((size_t)w * h * 4, 0);
    return p;
}

void put(Picture& p, int x, int y, int r, int g, int b, int a = 255)
{
    uint8_t* q = &p.rgba[4 * ((size_t)y * p.w + x)];
    q[0] = (uint8_t)r, q[1] = (uint8_t)g, q[2] = (uint8_t)b, q[3] = (uint8_t)a;
}

void put_colour(Picture& p, int x, int y, int c, int dr = 0)
{
    const RGB& k = game_palette()[c];
    put(p, x, y, k.r * 255 / 63 + dr, k.g * 255 / 63, k.b * 255 / 63);
}

}  // namespace

TEST(ModSprites, ColoursSeeThroughPixelsAndHotSpots)
{
    start_allegro();
    Gen g;
    // One row of cases: alpha 0, opaque black, exact olive 75 (a gang colour),
    // olive one step off, white, half see-through, olive at alpha 200.
    Picture p = blank(7, 60);
    put(p, 1, 0, 0, 0, 0);
    put_colour(p, 2, 0, 75);
    put_colour(p, 3, 0, 75, 4);
    put(p, 4, 0, 255, 255, 255);
    put(p, 5, 0, 200, 40, 40, 100);
    put_colour(p, 6, 0, 75);
    p.rgba[4 * 6 + 3] = 200;
    for (const char* name : {"THUG_STAND", "HERO_STAND", "KICKER_STAND", "THROWER_STAND"})
        write_png(g.mod("sprites/") + name + ".png", p);
    spit(g.mod("sprites/kicker_stand.txt"),
               "# drawn for the schemes\nrecolour\nkey none\nhotspot 2 3\n");
    // A palette picture in the game's colours keeps its indices, twins (1 and
    // 224 look alike) and gang colours included.
    write_png_indexed(g.mod("sprites/HEAVY_STAND.png"), 4, 1, {1, 224, 0, 75}, game_palette());
    Outcome r = g.main();
    ASSERT_EQ(r.status, 0) << r.err;

    COLOR_MAP schemes;
    build_recolour_table(&schemes);
    BITMAP* thug = g.pcx("059_thug_stand.pcx");
    BITMAP* hero = g.pcx("027_hero_stand.pcx");
    BITMAP* kicker = g.pcx("139_kicker_stand.pcx");
    BITMAP* heavy = g.pcx("203_heavy_stand.pcx");
    BITMAP* thrower = g.pcx("530_thrower_stand.pcx");
    ASSERT_TRUE(thug && hero && kicker && heavy && thrower);
    const int thug_row[7] = {0, 0, 75, -1, 12, 0, 75};
    for (int x = 0; x < 7; ++x)
        if (thug_row[x] >= 0) {
            EXPECT_EQ(getpixel(thug, x, 0), thug_row[x]) << "x " << x;
        }
    // Off olive on a gang sprite keeps off every colour a scheme exchanges;
    // on the hero and on a sprite drawn for the schemes it is plain olive.
    int off = getpixel(thug, 3, 0);
    EXPECT_NE(off, 0);
    for (int scheme = 1; scheme <= 4; ++scheme)
        EXPECT_EQ(schemes.data[scheme][off], off);
    EXPECT_LE(colour_distance(game_palette(), off, p.at(3, 0)), 40);
    EXPECT_EQ(getpixel(thrower, 3, 0), off) << "the thrower is drawn in the schemes too";
    EXPECT_EQ(getpixel(hero, 3, 0), 75);
    EXPECT_EQ(getpixel(kicker, 3, 0), 75);
    EXPECT_NE(getpixel(kicker, 1, 0), 0);  // "key none": black is drawn
    const int heavy_row[4] = {1, 224, 0, 75};
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(getpixel(heavy, x, 0), heavy_row[x]);

    // The hero's hot spot keeps its place over the feet; the kicker's is given.
    int xh, yh, dummy;
    std::string drawn = list_entry(kReference + "main/main.lst", 27);
    ASSERT_EQ(std::sscanf(drawn.c_str(), "%d BMP %*s %d %d", &dummy, &xh, &yh), 3);
    BITMAP* old = load_pcx((kReference + "main/027_hero_stand.pcx").c_str(), nullptr);
    EXPECT_EQ(
        list_entry(g.out + "/main.lst", 27),
        "27 BMP 027_hero_stand.pcx " + std::to_string(xh) + " " + std::to_string(yh + 60 - old->h));
    EXPECT_EQ(list_entry(g.out + "/main.lst", 139), "139 BMP 139_kicker_stand.pcx 2 3");
    for (BITMAP* b : {thug, hero, kicker, heavy, thrower, old})
        destroy_bitmap(b);
}

TEST(ModLevels, MapsFromPicturesTileMapsAndTileSheets)
{
    start_allegro();
    Gen g;
    // A new map drawn in game colours, 20 columns of 13 rows.
    Picture alley = blank(320, 208);
    for (int y = 0; y < 208; ++y)
        for (int x = 0; x < 320; ++x)
            put_colour(alley, x, y, 136 + (x / 16 + y / 32) % 8);
    write_png(g.mod("levels/alley.png"), alley);
    // A new tile map over its own two-tile sheet.
    spit(g.mod("levels/road.txt"), "tile . 0\ntile # 1\nmap\n#.#\n.##\n");
    Picture tiles = blank(640, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 16; x < 32; ++x)
            put_colour(tiles, x, y, 144);
    write_png(g.mod("levels/road-tiles.png"), tiles);
    // Street 1's own sheet with tile 1 repainted: the cut map stays.
    BITMAP* sheet = load_pcx((kReference + "levels/lev1.pcx").c_str(), nullptr);
    ASSERT_NE(sheet, nullptr);
    rectfill(sheet, 16, 0, 31, 15, 252);
    std::vector<uint8_t> idx;
    for (int y = 0; y < sheet->h; ++y)
        for (int x = 0; x < sheet->w; ++x)
            idx.push_back((uint8_t)getpixel(sheet, x, y));
    write_png_indexed(g.mod("levels/lev1-tiles.png"), sheet->w, sheet->h, idx, game_palette());
    Outcome r = g.levels();
    ASSERT_EQ(r.status, 0) << r.err;

    std::string list = slurp(g.out + "/levels.lst");
    EXPECT_NE(list.find("alley.bin"), std::string::npos);
    EXPECT_NE(list.find("road.pcx"), std::string::npos);
    std::string map = slurp(g.out + "/alley.bin");
    BITMAP* cut = g.pcx("alley.pcx");
    ASSERT_EQ(map.size(), 20u * 13 * 2);
    for (int k = 0; k < 260; ++k) {
        int t = (uint8_t)map[2 * k] | (uint8_t)map[2 * k + 1] << 8, x = k / 13 * 16,
            y = k % 13 * 16;
        for (int dy = 0; dy < 16; dy += 5)
            for (int dx = 0; dx < 16; dx += 5)
                ASSERT_TRUE(shows(game_palette(), getpixel(cut, t % 40 * 16 + dx, t / 40 * 16 + dy),
                                  alley.at(x + dx, y + dy)));
    }
    EXPECT_EQ(slurp(g.out + "/road.bin"),
              std::string("\1\0\0\0\0\0\1\0\1\0\1\0", 12));  // column by column
    EXPECT_EQ(slurp(g.out + "/lev1.bin"), slurp(kReference + "levels/lev1.bin"));
    BITMAP* own = g.pcx("lev1.pcx");
    EXPECT_EQ(getpixel(own, 20, 5), 252);
    EXPECT_EQ(getpixel(own, 40, 5), getpixel(sheet, 40, 5));
    for (BITMAP* b : {sheet, cut, own})
        destroy_bitmap(b);
}

TEST(ModMaterial, BadMaterialNamesTheFileAndStopsTheBuild)
{
    start_allegro();
    Gen g;
    Picture small = blank(8, 8), wide = blank(188, 8), street = blank(2816, 208);
    for (int y = 0; y < 208; ++y)
        for (int x = 0; x < 2816; ++x)
            put(street, x, y, 90, 90, 100);
    put(street, 700, 100, 0, 0, 0, 0);  // a hole in a street drawn opaque
    struct Case {
        const char* file;
        const char* text;  // nullptr: `small` as PNG
        bool levels;
        const char* said;
    } cases[] = {
        {"sprites/THUG_PUNCH9.png", nullptr, false,
         "THUG_PUNCH9.png: no sprite or picture is called THUG_PUNCH9"},
        {"sprites/THUG_STAND.txt", "hotspot 1\n", false, "THUG_STAND.txt:1: expected"},
        {"sprites/THUG_STAND.txt", "\nkey 300 0 0\n", false, "THUG_STAND.txt:2: expected"},
        {"sprites/notes.bmp", "BM", false, "notes.bmp: not a PNG picture"},
        {"sprites/HERO_STAND.png", "not a picture", false, "HERO_STAND.png: not a PNG picture"},
        {"sprites/HERO_STAND.png", "\x89PNG\r\n\x1a\n\0\0\0\rIHDR", false,
         "HERO_STAND.png: cannot read the picture"},
        {"pictures/hud.png", nullptr, false,
         "hud.png: is 8 x 8; the picture it replaces is 320 x 32"},
        {"pictures/logo.txt", "hotspot 1 1\n", false, "logo.txt: settings for logo.png"},
        {"pictures/ending.png", "wide", false,
         "ending.png: is 188 x 8; the ending picture is at most 187 x 88"},
        {"pictures/dif3.png", nullptr, true,
         "dif3.png: is 8 x 8; the background it replaces is 384 x 128"},
        {"sprites/DIF2.png", nullptr, false, "DIF2.png: dif2 is a background picture"},
        {"levels/lev1.png", nullptr, true,
         "lev1.png: is 8 x 8; a map picture is a whole number of 16-pixel tiles"},
        {"levels/lev1.png", "street", true, "lev1.png: nothing is painted at x 700, y 100"},
        {"levels/lev4-front.png", nullptr, true,
         "lev4-front.png: only lev2 and lev3 have a foreground layer"},
        {"levels/van.txt", "size 64\n", true, "van.txt: the van road is a tile map"},
        {"levels/yard.txt", "tile . 0\nmap\n.\n", true,
         "yard.txt: a new tile map needs its tile sheet"},
        {"levels/lev1-tiles.png", nullptr, true, "lev1-tiles.png: a tile sheet is 640 pixels wide"},
        {"levels/Back Yard.png", nullptr, true, "Back Yard.png: a map's name is 1 to 8 letters"},
    };
    for (const Case& c : cases) {
        g.clear();
        std::string path = g.mod(c.file);
        if (!c.text)
            write_png(path, small);
        else if (!std::strcmp(c.text, "street") || !std::strcmp(c.text, "wide"))
            write_png(path, c.text[0] == 's' ? street : wide);
        else
            spit(path, c.text);
        if (std::strstr(c.file, ".txt") && std::strstr(c.file, "sprites/"))
            write_png(path.substr(0, path.size() - 4) + ".png", small);
        Outcome r = c.levels ? g.levels() : g.main();
        EXPECT_EQ(r.status, 1) << c.file;
        EXPECT_NE(r.err.find(c.said), std::string::npos) << c.file << " said: " << r.err;
    }
}

namespace {

// A WAV of `frames` frames of a 440 Hz sine at `rate`, every channel alike.
std::string wav(int format, int channels, int rate, int bits, int frames, bool extensible = false)
{
    std::string data;
    for (int i = 0; i < frames; ++i) {
        double v = 0.5 * std::sin(2 * M_PI * 440 * i / rate);
        for (int ch = 0; ch < channels; ++ch) {
            if (format == 3) {
                float f = (float)v;
                uint32_t bits;
                std::memcpy(&bits, &f, 4);
                uint8_t le[4];
                put_le32(le, bits);
                data.append((const char*)le, 4);
            } else if (bits == 8) {
                data += (char)(128 + std::lround(v * 127));
            } else {
                long x = std::lround(v * ((1L << (bits - 1)) - 1));
                for (int k = 0; k < bits / 8; ++k)
                    data += (char)(x >> (8 * k));
            }
        }
    }
    auto u32 = [](uint32_t v) {
        uint8_t le[4];
        put_le32(le, v);
        return std::string((const char*)le, 4);
    };
    auto u16 = [](uint16_t v) {
        uint8_t le[2];
        put_le16(le, v);
        return std::string((const char*)le, 2);
    };
    int align = channels * bits / 8;
    std::string fmt = u16(extensible ? 0xFFFE : format) + u16(channels) + u32(rate) +
                      u32(rate * align) + u16(align) + u16(bits);
    if (extensible)
        fmt += u16(22) + u16(bits) + u32(0) + u16(format) +
               std::string("\0\0\0\0\x10\0\x80\0\0\xaa\0\x38\x9b\x71", 14);
    std::string body = "WAVEfmt " + u32(fmt.size()) + fmt + "LIST" + u32(3) + "abc" +
                       std::string(1, '\0') + "data" + u32(data.size()) + data;
    return "RIFF" + u32(body.size()) + body;
}

}  // namespace

TEST(ModSounds, AnyCommonWavBecomesA22050HzMonoEffect)
{
    std::string dir = scratch(), in = dir + "/in.wav", out = dir + "/out.wav";
    // PCM, mono, 22050 Hz, 44100 bytes a second, 2 bytes a frame, 16 bits.
    const std::string effect_format("\1\0\1\0\x22\x56\0\0\x44\xac\0\0\2\0\x10\0", 16);
    const int cases[][5] = {{1, 2, 11025, 8, 0},  {1, 1, 48000, 24, 0}, {3, 2, 44100, 32, 0},
                            {1, 6, 96000, 32, 0}, {1, 2, 44100, 16, 1}, {1, 1, 22050, 16, 0}};
    for (auto& c : cases) {
        std::string original = wav(c[0], c[1], c[2], c[3], c[2] / 2, c[4]);
        spit(in, original);
        Outcome r = run(tool("nwd-sfxgen") + " --convert " + in + " " + out);
        ASSERT_EQ(r.status, 0) << c[2] << " Hz, " << c[3] << " bits: " << r.err;
        std::string w = slurp(out);
        ASSERT_GE(w.size(), 44u);
        EXPECT_EQ(w.substr(20, 16), effect_format) << c[2];
        EXPECT_NEAR((w.size() - 44) / 2.0, 11025, 2) << c[2];  // half a second, whatever the rate
        int crossings = 0;
        for (size_t i = 47; i < w.size(); i += 2)
            crossings += (w[i - 2] < 0) != (w[i] < 0);  // high bytes' signs
        EXPECT_NEAR(crossings, 440, 4) << c[2];         // still 440 Hz
        if (c[2] == 22050) {
            EXPECT_EQ(w.substr(44),
                      original.substr(original.size() - (w.size() - 44)));  // untouched
        }
    }
    std::pair<std::string, const char*> bad[] = {
        {std::string("RIFF\4\0\0\0WAVE", 12), "not a sound file this can read"},
        {"ID3 tags of an MP3", "not a sound file this can read"},
        {wav(1, 1, 500, 16, 100), "1 channels at 500 Hz"},
        {wav(1, 1, 22050, 16, 22050 * 61), "lasts 61 s"}};
    for (auto& b : bad) {
        spit(in, b.first);
        Outcome r = run(tool("nwd-sfxgen") + " --convert " + in + " " + out);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(std::string("in.wav: ") + b.second), std::string::npos) << r.err;
    }
}

// Compressed and other kinds of sound, written by the library that reads them.
TEST(ModSounds, FlacOggAiffAndAdpcmAreConvertedToo)
{
    std::string dir = scratch(), out = dir + "/out.wav";
    // ADPCM fills up its last block: up to a block longer.
    const struct {
        const char* name;
        int format, longer;
    } kinds[] = {{"in.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 0},
                 {"in.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 0},
                 {"in.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 0},
                 {"ima.wav", SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM, 1024},
                 {"ms.wav", SF_FORMAT_WAV | SF_FORMAT_MS_ADPCM, 1024}};
    for (auto& [name, format, longer] : kinds) {
        std::string in = dir + "/" + name;
        SF_INFO info{};
        info.samplerate = 44100;
        info.channels = 2;
        info.format = format;
        SNDFILE* f = sf_open(in.c_str(), SFM_WRITE, &info);
        ASSERT_TRUE(f) << name << ": " << sf_strerror(nullptr);
        std::vector<double> frames(2 * 22050);
        for (size_t i = 0; i < frames.size(); i++)
            frames[i] = 0.5 * std::sin(2 * M_PI * 440 * (double)(i / 2) / 44100);
        sf_writef_double(f, frames.data(), 22050);
        sf_close(f);
        Outcome r = run(tool("nwd-sfxgen") + " --convert " + in + " " + out);
        ASSERT_EQ(r.status, 0) << name << ": " << r.err;
        std::string w = slurp(out);
        ASSERT_GE(w.size(), 44u);
        double samples = (w.size() - 44) / 2.0;
        EXPECT_TRUE(samples >= 11023 && samples <= 11027 + longer) << name << ": " << samples;
        // Whole cycles of the half second, counted with some hysteresis:
        // lossy kinds add noise (and ADPCM's filled block is no sound).
        int cycles = 0;
        bool high = false;
        for (size_t i = 45; i < w.size() && i < 44 + 2 * 11025; i += 2) {
            int v = (int16_t)((uint8_t)w[i - 1] | (uint8_t)w[i] << 8);
            if (!high && v > 4000)
                high = true, cycles++;
            else if (high && v < -4000)
                high = false;
        }
        EXPECT_NEAR(cycles, 220, 2) << name;
    }
}

TEST(ModMusic, ModulesAndPlaylistsAreCheckedBeforeTheyAreCopied)
{
    std::string dir = scratch(), example = NWD_SOURCE_DIR "/docs/modding/example/music/";
    Outcome r =
        run(tool("nwd-modgen") + " --module " + example + "night.mod " + dir + "/night.mod");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(slurp(dir + "/night.mod"), slurp(example + "night.mod"));
    spit(dir + "/fake.xm", std::string(2000, 'x'));
    r = run(tool("nwd-modgen") + " --module " + dir + "/fake.xm " + dir + "/out.xm");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("fake.xm: not an IT, XM, S3M or MOD module"), std::string::npos) << r.err;

    const char* lists[][2] = {
        {"title = night.mod\nlevel1 = a.xm\n", ""},
        {"title = night.mod\ntitel = a.xm\n", "in.lst:2: no moment called \"titel\""},
        {"\ntitle = b.xm\n", "in.lst:2: no module \"b.xm\""},
        {"# title = a.xm\n", "in.lst:1: the game reads"},
        {"title =\n", "in.lst:1: expected"},
        {"boss = a.xm\nboss = a.xm\n", "in.lst:2: the moment is named twice"},
    };
    for (auto& l : lists) {
        spit(dir + "/in.lst", l[0]);
        r = run(tool("nwd-modgen") + " --playlist " + dir + "/in.lst " + dir +
                "/OUT.lst night.mod a.xm");
        EXPECT_EQ(r.status, *l[1] ? 1 : 0) << l[0];
        EXPECT_NE(r.err.find(l[1]), std::string::npos) << r.err;
    }
    r = run(tool("nwd-modgen") + " --playlist " + dir + "/in.lst " + dir +
            "/TWENTY_CHARACTERS_AB.lst a.xm");
    EXPECT_NE(r.err.find("at most 19 characters"), std::string::npos) << r.err;
}
