// Each file format, written and read through the byte-order helpers: the
// bytes are what the format fixes, not what the machine holds in memory.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "demo/demo.h"
#include "engine/actor.h"
#include "engine/amc.h"
#include "engine/amc_vm.h"
#include "engine/world_hash.h"
#include "fileio/byteorder.h"
#include "gfx/level.h"
#include "gfx/state.h"
#include "tests/files.h"
#include "tools/sfxgen/wav.h"

namespace {

using testfiles::Scratch;
using testfiles::slurp;
const uint8_t* bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

}  // namespace

TEST(ByteOrder, HelpersLayOutTheFormatsOrder)
{
    uint8_t b[4];
    EXPECT_EQ(put_le16(b, 0xA1B2), b + 2);
    EXPECT_EQ(b[0], 0xB2);
    EXPECT_EQ(b[1], 0xA1);
    EXPECT_EQ(put_le32(b, 0x01020304), b + 4);
    EXPECT_EQ(std::string((char*)b, 4), "\x04\x03\x02\x01");
    EXPECT_EQ(get_le32(b), 0x01020304u);
    EXPECT_EQ(get_be32(b), 0x04030201u);
    EXPECT_EQ(get_be16(b), 0x0403);
    put_be32(b, 0xFFFE0102);
    EXPECT_EQ(get_le16(b), 0xFEFF);
    EXPECT_EQ((int16_t)get_le16(b + 2), 0x0201);
}

TEST(ByteOrder, DemoImagesAndFiles)
{
    Scratch t;
    DemoImage* d = demo_create(0x89ABCDEF, -3, 6, 2);
    ASSERT_TRUE(d);
    for (int i = 0; i < 5; i++)
        demo_record(0x0120);
    demo_record(0x0003);
    ASSERT_EQ(demo_save(d, (t / "a.dem").c_str()), 0);
    demo_free(d);
    std::string f = slurp(t / "a.dem");
    ASSERT_EQ(f.size(), 28u);
    const uint8_t* p = bytes(f);
    EXPECT_EQ(get_le16(p), 2);
    EXPECT_EQ(get_le16(p + 2), 6);
    EXPECT_EQ((int16_t)get_le16(p + 4), -3);
    EXPECT_EQ(get_le32(p + 8), 0x89ABCDEFu);
    EXPECT_EQ(get_le32(p + 12), 6u);
    EXPECT_EQ(get_le32(p + 16), 2u);
    EXPECT_EQ(get_le16(p + 20), 5);
    EXPECT_EQ(get_le16(p + 22), 0x0120);
    EXPECT_EQ(get_le16(p + 26), 0x0003);

    uint8_t image[24] = {};
    put_le16(image, 3), put_le16(image + 2, 4), put_le16(image + 4, 12);
    put_le32(image + 8, 0x01020304), put_le32(image + 12, 7);
    put_le16(image + 20, 7), put_le16(image + 22, 0x0810);
    d = demo_from_bytes(image, sizeof image);
    DemoHeader h = demo_header(d);
    EXPECT_EQ(h.mode, 3);
    EXPECT_EQ(h.level, 4);
    EXPECT_EQ(h.skill, 12);
    EXPECT_EQ(h.seed, 0x01020304u);
    EXPECT_EQ(h.frames, 7u);
    demo_play_start(d);
    EXPECT_EQ(demo_play_next(), 0x0810);
    demo_free(d);
}

TEST(ByteOrder, ProgramFilesAndTheirHash)
{
    Scratch t;
    // AMC, one program of three words, the end mark.
    std::vector<uint8_t> f = {'A', 'M', 'C', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    put_le16(&f[3], 3);
    put_le16(&f[5], 0x1234), put_le16(&f[7], 0xFFFF), put_le16(&f[9], 0x8000);
    std::ofstream(t / "P.AMC", std::ios::binary).write((const char*)f.data(), f.size());
    amc_unload_all();
    ASSERT_EQ(amc_load((t / "P.AMC").c_str()), AMC_OK);
    ASSERT_EQ(program_table[0].length, 3);
    EXPECT_EQ(program_table[0].words[0], 0x1234);
    EXPECT_EQ(program_table[0].words[1], -1);
    EXPECT_EQ(program_table[0].words[2], -32768);
    // The hash covers the words as those bytes, the length as 4 more.
    uint64_t h = world_programs_hash(program_table, 1);
    int16_t other[] = {0x3412, -1, 0x0080};
    AmcProgram swapped{other, 3};
    EXPECT_NE(world_programs_hash(&swapped, 1), h);
    amc_unload_all();

    // The assembler writes what the loader reads.
    testfiles::spit(t / "p.amcs", "program 0 p\n    load 0x1234\n    yield\n");
    std::string cmd = std::string(NWD_AMCASM) + " -w -o " + (t / "Q.AMC") + " " + (t / "p.amcs");
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::string q = slurp(t / "Q.AMC");
    ASSERT_GE(q.size(), 7u);
    uint16_t words = get_le16(bytes(q) + 3);
    EXPECT_EQ(q.size(), 3 + 2 + 2u * words + 2);
    EXPECT_NE(q.find(std::string("\x34\x12", 2)), std::string::npos);
}

TEST(ByteOrder, TheWorldHashedForReplays)
{
    actor_table_reset();
    amc_seed(0x11223344);
    amc_globals[0] = 0x5566;
    amc_globals[31] = -2;
    uint8_t w[WORLD_BYTES_MAX];
    size_t n = world_bytes(w);
    ASSERT_GT(n, 4 + 64u);
    EXPECT_EQ(get_le32(w), (uint32_t)amc_get_seed());
    EXPECT_NE(amc_get_seed(), 0);
    EXPECT_EQ(get_le16(w + 4), 0x5566);
    EXPECT_EQ((int16_t)get_le16(w + 4 + 62), -2);
    actor_table_reset();
}

TEST(ByteOrder, LevelMapCells)
{
    uint8_t cells[6];
    put_le16(cells, 0x0102), put_le16(cells + 2, 0xFFFF), put_le16(cells + 4, 40);
    const uint8_t* kept = gfx.level_map.cells;
    gfx.level_map.cells = cells;
    EXPECT_EQ(map_cell(gfx.level_map, 0), 0x0102u);
    EXPECT_EQ(map_cell(gfx.level_map, 1), 0xFFFFu);
    EXPECT_EQ(map_cell(gfx.level_map, 2), 40u);
    gfx.level_map.cells = kept;
}

TEST(ByteOrder, WavFilesAndModules)
{
    Scratch t;
    ASSERT_TRUE(write_pcm16(t / "e.wav", {0x0102, -2, 0}));
    std::string e = slurp(t / "e.wav");
    ASSERT_EQ(e.size(), 44u + 6);
    EXPECT_EQ(get_le32(bytes(e) + 4), 36u + 6);
    EXPECT_EQ(get_le32(bytes(e) + 24), 22050u);
    EXPECT_EQ(get_le16(bytes(e) + 44), 0x0102);
    EXPECT_EQ((int16_t)get_le16(bytes(e) + 46), -2);
    std::vector<double> back;
    std::string why;
    ASSERT_TRUE(read_sound_file(t / "e.wav", back, why)) << why;
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0], 0x0102 / 32768.0);

    // A module rendered: a stereo 16-bit WAV at 22050 Hz, its sizes exact.
    std::string mod = std::string(NWD_SOURCE_DIR) + "/docs/modding/example/music/night.mod";
    std::string cmd =
        std::string(NWD_MODRENDER) + " --seconds 1 " + mod + " " + (t / "r.wav") + " >/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::string r = slurp(t / "r.wav");
    ASSERT_EQ(r.size(), 44u + 22050 * 4);
    const uint8_t* h = bytes(r);
    EXPECT_EQ(r.substr(0, 4), "RIFF");
    EXPECT_EQ(get_le32(h + 4), r.size() - 8);
    EXPECT_EQ(r.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(get_le32(h + 16), 16u);
    EXPECT_EQ(get_le16(h + 20), 1);
    EXPECT_EQ(get_le16(h + 22), 2);
    EXPECT_EQ(get_le32(h + 24), 22050u);
    EXPECT_EQ(get_le32(h + 28), 22050u * 4);
    EXPECT_EQ(get_le16(h + 32), 4);
    EXPECT_EQ(get_le16(h + 34), 16);
    EXPECT_EQ(r.substr(36, 4), "data");
    EXPECT_EQ(get_le32(h + 40), 22050u * 4);

    // A score made into IT: its version, counts and first offset little-endian.
    std::string score = std::string(NWD_SOURCE_DIR) + "/docs/modding/example/music/my_title.txt";
    cmd = std::string(NWD_MODGEN) + " " + score + " " + (t / "m.it");
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::string it = slurp(t / "m.it");
    ASSERT_GT(it.size(), 0xC0u);
    EXPECT_EQ(get_le16(bytes(it) + 0x28), 0x0214);
    int orders = get_le16(bytes(it) + 0x20), patterns = get_le16(bytes(it) + 0x26);
    EXPECT_EQ(orders, patterns + 1) << "a pattern per position, and the end mark";
    EXPECT_EQ(it.substr(get_le32(bytes(it) + 0xC0 + orders), 4), "IMPI");
}
