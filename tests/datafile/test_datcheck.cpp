#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "datafile/datcheck.h"
#include "nwd_datafile_key.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes sample(const char* name)
{
    std::ifstream f(std::string(DATAFILE_SAMPLES) + "/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), {});
}

int check(const Bytes& b, const char* password = DATAFILE_PASSWORD, std::string* listing = nullptr)
{
    auto visit = [](const DatObject& o, void* user) {
        char type[5] = {char(o.type >> 24), char(o.type >> 16), char(o.type >> 8), char(o.type), 0};
        *static_cast<std::string*>(user) +=
            std::string(o.path) + " " + type + " " + std::to_string(o.size) + "\n";
    };
    return datcheck_bytes(b.data(), b.size(), password, listing ? +visit : nullptr, listing,
                          nullptr);
}

// An unpacked datafile without password, one object a call.
const uint8_t UNPACKED_HEAD[] = {'s', 'l', 'h', '.', 'A', 'L', 'L', '.', 0, 0, 0, 0};
struct Builder {
    Bytes b = Bytes(std::begin(UNPACKED_HEAD), std::end(UNPACKED_HEAD));
    void u32(uint32_t v)
    {
        b.insert(b.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
    }
    void u16(int v) { b.insert(b.end(), {uint8_t(v >> 8), uint8_t(v)}); }
    void object(const char* type, const Bytes& data, int32_t expanded = -1, uint32_t stored = ~0u)
    {
        b[11]++;
        u32(datcheck_type(type[0], type[1], type[2], type[3]));
        u32(stored == ~0u ? data.size() : stored);
        u32(expanded == -1 ? data.size() : expanded);
        b.insert(b.end(), data.begin(), data.end());
    }
};

Bytes picture(int bits, int w, int h, size_t pixels)
{
    Bytes d{uint8_t(bits >> 8), uint8_t(bits),   uint8_t(w >> 8),
            uint8_t(w),         uint8_t(h >> 8), uint8_t(h)};
    d.resize(6 + pixels);
    return d;
}

}  // namespace

TEST(Datcheck, ListsWhatTheArchiverWroteWhateverItsCompression)
{
    const std::string want =
        "pic.pcx BMP  14\nspr.pcx RLE  22\npal.pcx PAL  1024\n"
        "snd.wav SAMP 24\ninner.dat/raw.bin DATA 13\n";
    for (const char* name : {"plain.dat", "objects-packed.dat", "file-packed.dat"}) {
        std::string listing;
        ASSERT_EQ(check(sample(name), DATAFILE_PASSWORD, &listing), DATCHECK_OK) << name;
        EXPECT_EQ(listing.substr(0, want.size()), want) << name;
        EXPECT_EQ(listing.substr(want.size(), 14), "inner.dat FILE") << name;
    }
    EXPECT_EQ(check(sample("font.dat")), DATCHECK_OK);
    EXPECT_EQ(check(sample("plain.dat"), "another"), DATCHECK_DAMAGED);
    EXPECT_EQ(check(sample("plain.dat"), nullptr), DATCHECK_DAMAGED);
}

TEST(Datcheck, EveryTruncationAndNoFlipGetsPast)
{
    for (const char* name : {"plain.dat", "objects-packed.dat", "file-packed.dat"}) {
        Bytes whole = sample(name);
        for (size_t n = 0; n < whole.size(); n++)
            ASSERT_EQ(check(Bytes(whole.begin(), whole.begin() + n)), DATCHECK_DAMAGED)
                << name << n;
        // Flipped bytes may land in pixels and pass; the walk must survive them all.
        for (size_t i = 0; i < whole.size(); i++) {
            Bytes flipped = whole;
            flipped[i] ^= 0x5A;
            check(flipped);
        }
    }
}

TEST(Datcheck, ObjectsMustHoldWhatTheirHeadersPromise)
{
    auto one = [](const char* type, const Bytes& data) {
        Builder b;
        b.object(type, data);
        return check(b.b, "");
    };
    EXPECT_EQ(one("BMP ", picture(8, 4, 2, 8)), DATCHECK_OK);
    EXPECT_EQ(one("BMP ", picture(8, 4, 2, 7)), DATCHECK_DAMAGED);
    EXPECT_EQ(one("BMP ", picture(16, 4, 2, 15)), DATCHECK_DAMAGED);
    EXPECT_EQ(one("BMP ", picture(8, -4, 2, 8)), DATCHECK_DAMAGED);
    EXPECT_EQ(one("BMP ", picture(12, 4, 2, 64)), DATCHECK_DAMAGED);
    EXPECT_EQ(one("DATA", picture(8, 4, 2, 0)), DATCHECK_OK) << "raw bytes are anything";
    EXPECT_EQ(one("\xFF\xFF\xFF\xFF", Bytes(4)), DATCHECK_DAMAGED)
        << "the library would call the loader of its table's empty row";

    // 8-bit run-length lines: counts, pixels, 0 ends a line; memory size first.
    Bytes rle = picture(8, 3, 1, 0);
    rle.insert(rle.end(), {0, 0, 0, 4, 1, 9, 0xFE, 0});  // one pixel, skip two, end
    EXPECT_EQ(one("RLE ", rle), DATCHECK_OK);
    rle[12] = 0xFD;  // four pixels on a line of three
    EXPECT_EQ(one("RLE ", rle), DATCHECK_DAMAGED);
    rle[12] = 0xFE, rle[9] = 5;
    EXPECT_EQ(one("RLE ", rle), DATCHECK_DAMAGED) << "memory size disagrees";

    EXPECT_EQ(one("PAL ", Bytes(1023)), DATCHECK_DAMAGED);
    EXPECT_EQ(one("SAMP", {0xFF, 0xF0, 0, 0, 0, 0, 0, 2, 1, 2, 3, 4, 5, 6, 7}), DATCHECK_DAMAGED)
        << "two 16-bit stereo frames need eight bytes";
    EXPECT_EQ(one("FONT", {0, 0, 0, 1, 0, 0, 0, 0, 0x21, 0, 0, 0, 0x20, 0, 1, 0, 1, 7}),
              DATCHECK_DAMAGED)
        << "a range that ends before it starts";
    EXPECT_EQ(one("FONT", {0, 0, 0, 1, 0, 0, 0, 0, 0x20, 0, 0, 0, 0x20, 0, 1, 0, 1, 7}),
              DATCHECK_OK);
    // A range's depth mark sets its glyphs' size; marks the library cannot
    // read fail its loader, which then frees its table twice.
    auto glyph_3x1 = [&](uint8_t depth, size_t bytes) {
        Bytes f{0, 0, 0, 1, depth, 0, 0, 0, 0x20, 0, 0, 0, 0x20, 0, 3, 0, 1};
        f.resize(f.size() + bytes);
        return one("FONT", f);
    };
    EXPECT_EQ(glyph_3x1(1, 1), DATCHECK_OK);
    EXPECT_EQ(glyph_3x1(255, 1), DATCHECK_OK) << "also mono";
    EXPECT_EQ(glyph_3x1(16, 6), DATCHECK_OK);
    EXPECT_EQ(glyph_3x1(16, 5), DATCHECK_DAMAGED);
    EXPECT_EQ(glyph_3x1(32, 9), DATCHECK_OK) << "stored as 24-bit";
    for (uint8_t depth : {2, 7, 9, 254})
        EXPECT_EQ(glyph_3x1(depth, 64), DATCHECK_DAMAGED) << int(depth);
    // One kind of glyph a font: colour ranges of several depths, or mono ones
    // (empty glyphs here).
    auto two_ranges = [&](uint8_t a, uint8_t b) {
        Bytes f{0, 0, 0, 2};
        for (uint8_t depth : {a, b})
            f.insert(f.end(), {depth, 0, 0, 0, 0x20, 0, 0, 0, 0x20, 0, 0, 0, 0});
        return one("FONT", f);
    };
    EXPECT_EQ(two_ranges(8, 32), DATCHECK_OK);
    EXPECT_EQ(two_ranges(1, 255), DATCHECK_OK);
    EXPECT_EQ(two_ranges(1, 8), DATCHECK_DAMAGED);
    EXPECT_EQ(two_ranges(0, 1), DATCHECK_DAMAGED);
}

TEST(Datcheck, SizesCountsAndCompressionAreBounded)
{
    Builder sizes;
    sizes.object("DATA", {1, 2, 3}, 4);
    EXPECT_EQ(check(sizes.b, ""), DATCHECK_DAMAGED) << "stored and expanded sizes differ";
    Builder count;
    count.b[8] = 0x7F;
    EXPECT_EQ(check(count.b, ""), DATCHECK_DAMAGED);
    Builder property;
    property.u32(datcheck_type('p', 'r', 'o', 'p'));
    property.u32(datcheck_type('N', 'A', 'M', 'E'));
    property.u32(1000);
    property.b[11] = 1;
    EXPECT_EQ(check(property.b, ""), DATCHECK_DAMAGED);

    // Four literals, then a pair reading ring bytes 4090.. before anything
    // was written there: the library would give the last file's bytes.
    Builder ring;
    ring.object("DATA", {0x0F, 'a', 'b', 'c', 'd', 0xFA, 0xF0}, -7, 7);
    EXPECT_EQ(check(ring.b, ""), DATCHECK_DAMAGED);
    Builder pair;  // the same pair on what the literals wrote (4078..)
    pair.object("DATA", {0x0F, 'a', 'b', 'c', 'd', 0xEE, 0xF0}, -7, 7);
    EXPECT_EQ(check(pair.b, ""), DATCHECK_OK);

    Builder nested;  // sixty datafiles inside one another
    Bytes inner{0, 0, 0, 0};
    for (int i = 0; i < 60; i++) {
        Bytes outer{0, 0, 0, 1};
        for (char c : std::string("FILE"))
            outer.push_back(c);
        for (int k = 0; k < 2; k++)
            outer.insert(outer.end(), {uint8_t(inner.size() >> 24), uint8_t(inner.size() >> 16),
                                       uint8_t(inner.size() >> 8), uint8_t(inner.size())});
        outer.insert(outer.end(), inner.begin(), inner.end());
        inner = outer;
    }
    nested.b.resize(8);
    nested.b.insert(nested.b.end(), inner.begin(), inner.end());
    EXPECT_EQ(check(nested.b, ""), DATCHECK_DAMAGED);
}
