// The data generators as command-line tools: what they write from small
// inputs, and how they report bad input.
#include <aldumb.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tests/data/data_fixture.h"
#include "tests/files.h"

using namespace datatest;

namespace {

using testfiles::Outcome;
using testfiles::spit;
Outcome run(const std::string& cmd) { return testfiles::errors_of(cmd); }

std::string tmp_dir()
{
    static testfiles::Scratch dir;
    return dir.dir;
}

}  // namespace

// Zero crossings per second of the left channel from `from` for `sec`.
static double pitch_at(DUH* d, double from, double sec)
{
    DUH_SIGRENDERER* r = duh_start_sigrenderer(d, 0, 2, long(from * 65536));
    static short buf[2 * 22050];
    long n = duh_render(r, 16, 0, 1.0f, 65536.0f / 22050, std::min(22050L, long(sec * 22050)), buf);
    duh_end_sigrenderer(r);
    int crossings = 0;
    for (long i = 1; i < n; ++i)
        crossings += (buf[2 * i - 2] < 0) != (buf[2 * i] < 0);
    return crossings / 2.0 / sec;
}

TEST(ModuleWriter, ScoreBecomesALoopingModuleInTune)
{
    std::string score = tmp_dir() + "/s.txt", mod = tmp_dir() + "/s.it";
    spit(score,
          "title test  # a comment\ntempo 125\ninstr f flute\ninstr k kick\n"
          "track lead f oct=4\ntrack bass f oct=2\ndrums d k=k\nphrase p A4/16 ./16\n"
          "pattern a\nchords Am/32 F#m/32\nlead $p C#5/8 ./24\n"
          "pattern b from a\nlead $p+3 ./32\nbass @line ........r.......\nd k/16\norder a | b\n");
    ASSERT_EQ(run(std::string(NWD_MODGEN) + " " + score + " " + mod).status, 0);
    std::string b = testfiles::slurp(mod);
    ASSERT_GT(b.size(), 0xC0u);
    EXPECT_EQ(b.substr(0, 4), "IMPM");
    auto u16 = [&](size_t at) { return (unsigned char)b[at] | (unsigned char)b[at + 1] << 8; };
    EXPECT_EQ(u16(0x20), 3);  // two positions and the end mark
    EXPECT_EQ(u16(0x22), 2);  // two instruments
    EXPECT_EQ(u16(0x26), 2);  // a pattern per position
    start_allegro();
    dumb_register_stdfiles();
    DUH* d = dumb_load_it(mod.c_str());
    ASSERT_NE(d, nullptr);
    // Two 64-row patterns at speed 6, 125 BPM: 2 x 7.68 s, and the second
    // position plays again after the first pass, from the loop mark.
    EXPECT_NEAR(duh_get_length(d) / 65536.0, 15.36, 0.1);
    EXPECT_NEAR(pitch_at(d, 0.2, 0.6), 440.0, 4);             // A4 at concert pitch
    EXPECT_NEAR(pitch_at(d, 7.68 + 0.2, 0.6), 523.3, 5);      // the copy, three semitones up
    EXPECT_NEAR(pitch_at(d, 2 * 7.68 + 0.2, 0.6), 523.3, 5);  // the loop: the copy again
    unload_duh(d);
}

TEST(ModuleWriter, SongsAreMadeAsLoudAsTheGamesMusic)
{
    std::string score = tmp_dir() + "/loud.txt", mod = tmp_dir() + "/loud.it";
    spit(score,
          "instr f flute\ninstr k kick\ninstr p pad\ntrack lead f oct=4\n"
          "track pads p ch=3 oct=4\ndrums d k=k\npattern a\nchords Am/32 F#m/32\n"
          "lead A4/16 ./16 C#5/8 ./24\npads @hold\nd k...\norder a\n");
    ASSERT_EQ(run(std::string(NWD_MODGEN) + " " + score + " " + mod).status, 0);
    start_allegro();
    dumb_register_stdfiles();
    std::string b = testfiles::slurp(mod);
    ASSERT_GT(b.size(), 0x31u);
    DUH* d = dumb_load_it(mod.c_str());
    ASSERT_NE(d, nullptr);
    // Played at the options' loudest music volume (255 of 256) its loudest
    // moment stays under -1 dBFS, so that the player's 16 bits never clip;
    // under that ceiling it is as loud as it may be, up to -17.5 dBFS RMS at
    // the default volume (144), or as loud as the module's mixing volume
    // goes: a sparse song, whose drums' peaks are tamed, runs out of volume.
    DUH_SIGRENDERER* r = duh_start_sigrenderer(d, 0, 2, 0);
    static short pcm[2 * 22050 * 7];
    long n = duh_render(r, 16, 0, 255 / 256.0f, 65536.0f / 22050, 22050 * 7, pcm);
    duh_end_sigrenderer(r);
    unload_duh(d);
    double peak = 0, energy = 0;
    for (long i = 0; i < 2 * n; ++i) {
        double v = pcm[i] / 32768.0;
        peak = std::max(peak, std::fabs(v)), energy += v * v;
    }
    double peak_db = 20 * std::log10(peak);
    double rms_at_default = 10 * std::log10(energy / (2 * n)) + 20 * std::log10(144 / 255.0);
    EXPECT_LT(peak_db, -0.9);
    EXPECT_LT(rms_at_default, -17);
    bool full_mixing_volume = (unsigned char)b[0x31] == 128;
    EXPECT_TRUE(peak_db > -1.5 || rms_at_default > -18 || full_mixing_volume)
        << "quieter than it need be";
}

TEST(ModuleWriter, BadScoresAreReportedWithTheirLine)
{
    std::string score = tmp_dir() + "/bad.txt", mod = tmp_dir() + "/bad.xm";
    const std::string head = "instr f flute\ntrack lead f\n";
    const char* cases[][2] = {
        {"pattern a\nlead H4\norder a\n", "bad.txt:4:"},          // no such note
        {"pattern a\nlead C4/60 C4/8\norder a\n", "bad.txt:4:"},  // past row 63
        {"drums d x=f\npattern a\nd kx\norder a\n", "bad.txt:5:"},
        {"pattern a\nlead @line 0\norder a\n", "bad.txt:4:"},  // a style without chords
        {"pattern a\nchords Hm/16\n", "bad.txt:4:"},
        {"instr g kazoo\n", "bad.txt:3:"},
        {"pattern a\norder b\n", "bad.txt:4:"},
        {"pattern a\n", "bad.txt:3:"},  // no order
    };
    for (auto& c : cases) {
        spit(score, head + c[0]);
        Outcome r = run(std::string(NWD_MODGEN) + " " + score + " " + mod);
        EXPECT_EQ(r.status, 1) << c[0];
        EXPECT_NE(r.err.find(c[1]), std::string::npos) << c[0] << " said: " << r.err;
    }
    EXPECT_EQ(run(NWD_MODGEN).status, 2);
}

TEST(Packer, KeepsListOrderAcrossTypesAndSetsHotSpots)
{
    start_allegro();
    std::string dir = tmp_dir(), list = dir + "/list.txt", dat = dir + "/t.dat";
    PALETTE pal;
    for (int i = 0; i < 256; ++i)
        pal[i].r = pal[i].g = pal[i].b = i / 4;
    const char* names[] = {"b.pcx", "a.pcx", "p.pcx", "c.pcx"};
    for (int k = 0; k < 4; ++k) {
        BITMAP* b = create_bitmap_ex(8, 4 + k, 3);
        clear_to_color(b, k + 1);
        save_pcx((dir + "/" + names[k]).c_str(), b, pal);
        destroy_bitmap(b);
    }
    // Names out of alphabetical order and a palette between bitmaps: the
    // datafile must still follow the list.
    spit(list,
          "# i type file xhot yhot\n0 BMP b.pcx 1 2\n1 BMP a.pcx -1 -1\n2 PAL p.pcx -1 -1\n"
          "3 BMP c.pcx 1 0\n");
    spit(dir + "/key", std::string(kPassword) + "\n");
    ASSERT_EQ(run(std::string(NWD_DATPACK) + " --dat " + NWD_DAT_TOOL + " --password-file " + dir +
                  "/key " + list + " " + dir + " " + dat)
                  .status,
              0);
    packfile_password(kPassword);
    DATAFILE* d = load_datafile(dat.c_str());
    packfile_password(nullptr);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d[0].type, DAT_BITMAP);
    EXPECT_EQ(((BITMAP*)d[0].dat)->w, 4);
    EXPECT_EQ(((BITMAP*)d[1].dat)->w, 5);
    EXPECT_EQ(d[2].type, DAT_PALETTE);
    EXPECT_EQ(((BITMAP*)d[3].dat)->w, 7);
    EXPECT_STREQ(get_datafile_property(&d[0], DAT_ID('Y', 'H', 'O', 'T')), "2");
    EXPECT_STREQ(get_datafile_property(&d[3], DAT_ID('X', 'H', 'O', 'T')), "1");
    EXPECT_STREQ(get_datafile_property(&d[1], DAT_ID('X', 'H', 'O', 'T')), "");
    unload_datafile(d);

    spit(list, "0 BMP ../escape.pcx 0 0\n");
    Outcome r = run(std::string(NWD_DATPACK) + " --password x " + list + " " + dir + " " + dat);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("list.txt:1:"), std::string::npos) << r.err;
    EXPECT_EQ(run(std::string(NWD_DATPACK) + " " + list + " " + dir + " " + dat).status, 2);
}

TEST(Generators, BadSourcesNameFileAndLine)
{
    std::string src = tmp_dir() + "/src";
    std::string cmd = "mkdir -p " + src + "/gfx " + src + "/levels " + src + "/sound";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    spit(src + "/gfx/palette.txt", "0 0 0 0\n1 9 9\n");
    Outcome r = run(std::string(NWD_GFXGEN) + " levels " + src + " " + tmp_dir());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("palette.txt:2:"), std::string::npos) << r.err;

    spit(src + "/gfx/palette.txt", "0 0 0 0\n");
    spit(src + "/levels/van.txt", "tile . 0\nmap\n...\n..\n");
    r = run(std::string(NWD_GFXGEN) + " levels " + src + " " + tmp_dir());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("van.txt:4:"), std::string::npos) << r.err;  // ragged row

    spit(src + "/sound/effects.txt", "1 A.wav SFX_A hit\n2 B.wav SFX_B kazoo\n");
    r = run(std::string(NWD_SFXGEN) + " " + src + "/sound/effects.txt " + tmp_dir());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("effects.txt:2:"), std::string::npos) << r.err;
    EXPECT_EQ(run(std::string(NWD_GFXGEN) + " main").status, 2);
}

TEST(Generators, StreetSourcesAreCheckedBeforeAnythingIsWritten)
{
    std::string src = tmp_dir() + "/streets";
    ASSERT_EQ(std::system(("mkdir -p " + src + "/gfx " + src + "/levels").c_str()), 0);
    spit(src + "/gfx/palette.txt", "0 0 0 0\n1-254 10 10 10 250 250 250\n");
    std::string font;
    for (int c = 32; c < 127; ++c)
        font += std::string("= ") + (char)c + "\n.....\n.....\n.....\n.....\n.....\n.....\n.....\n";
    spit(src + "/gfx/font.txt", font);
    spit(src + "/levels/van.txt", "tile . 0\nmap\n.\n.\n.\n.\n.\n.\n.\n");
    struct {
        const char *source, *where;
    } cases[] = {
        {"size 100\n", "lev1.txt:1: this map must be at least 176 columns"},
        {"size 176\nsky 0 176\nlamp 3 colour=red\n",
         "lev1.txt:3: \"lamp\" has no option \"colour\""},
        {"size 176\nbogus 0\n", "lev1.txt:2: no piece called \"bogus\""},
        {"size 176\nbuilding 170 10\n", "lev1.txt:2: the piece goes past column 175"},
        {"size 176\nsky 0 176 tint=green\n", "lev1.txt:2: tint is"},
        // The scene never clears behind this street: a hole is an error.
        {"size 176\npavement 0 176\n", "lev1.txt:1: nothing is painted at x 0, y 0"},
    };
    std::string out = tmp_dir() + "/streets-out";
    ASSERT_EQ(std::system(("mkdir -p " + out).c_str()), 0);
    for (auto& c : cases) {
        spit(src + "/levels/lev1.txt", c.source);
        Outcome r = run(std::string(NWD_GFXGEN) + " levels " + src + " " + out);
        EXPECT_EQ(r.status, 1) << c.source;
        EXPECT_NE(r.err.find(c.where), std::string::npos) << r.err;
        std::ifstream written(out + "/lev1.bin");
        EXPECT_FALSE(written.good()) << c.source;
    }
}
