// The real data build on a copy of data/: with no mods it makes the game's
// own data byte for byte; with the worked example of docs/modding.md it packs
// every kind of material; edits rebuild; taking the mods away restores all,
// and what only the mods made goes with them.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <sys/stat.h>

#include <cmath>
#include <map>

#include "tests/modding/modding_fixture.h"

using namespace modtest;

namespace {

const std::string kGame = NWD_BUILD_DIR "/game/";  // the real build's

struct Build {
    std::string dir = scratch(), data = copy_data(dir), out = dir + "/build", game = out + "/game/";
    Outcome make() const
    {
        Outcome r =
            run(std::string(NWD_CMAKE) + " -S " NWD_SOURCE_DIR "/tests/modding/project -B " + out +
                " -DNWD_DATA=" + data + " -DNWD_TOOLS=" NWD_BUILD_DIR);
        return r.status ? r : run(std::string(NWD_CMAKE) + " --build " + out + " -j2");
    }
};

// The data files of a game folder, by name.
std::map<std::string, std::string> game_files(const std::string& game,
                                              const std::string& scratch_dir)
{
    std::map<std::string, std::string> files;
    run("cd " + game + " && ls DATA/* *.lst AMC/GAME.AMC > " + scratch_dir + "/files");
    std::string names = slurp(scratch_dir + "/files");
    for (size_t at = 0, end; (end = names.find('\n', at)) != std::string::npos; at = end + 1) {
        std::string f = names.substr(at, end - at);
        files[f] = slurp(game + f);
    }
    return files;
}

void expect_same(const std::map<std::string, std::string>& got,
                 const std::map<std::string, std::string>& want)
{
    for (auto& [name, bytes] : got) {
        auto it = want.find(name);
        EXPECT_TRUE(it != want.end()) << name << " should not be there";
        if (it != want.end()) {
            EXPECT_TRUE(bytes == it->second) << name << " differs";
        }
    }
    for (auto& [name, bytes] : want)
        EXPECT_TRUE(got.count(name)) << name << " is missing";
}

BITMAP* object(DATAFILE* d, const char* name)
{
    DATAFILE* o = find_datafile_object(d, name);
    return o ? (BITMAP*)o->dat : nullptr;
}

}  // namespace

TEST(ModBuild, TheWorkedExampleIsPackedAndGoesAwayAgain)
{
    start_allegro();
    Build b;
    Outcome r = b.make();
    ASSERT_EQ(r.status, 0) << r.err;
    // No mods/ folder at all: the game's own data, as the real build made it
    // from a mods/ folder holding only notes (unless a modder filled that).
    auto own = game_files(b.game, b.dir);
    EXPECT_GT(own.size(), 40u);
    if (run("find " NWD_SOURCE_DIR "/data/mods -type f ! -name '.*' ! -iname 'readme*' | grep -q .")
            .status != 0) {
        // A long-lived build folder may keep files an older build made: only
        // what this build makes is compared.
        auto real = game_files(kGame, b.dir);
        for (auto it = real.begin(); it != real.end();)
            it = own.count(it->first) ? std::next(it) : real.erase(it);
        expect_same(own, real);
    }

    std::string mods = b.data + "/mods";
    ASSERT_EQ(std::system(("mkdir -p " + mods +
                           " && cp -r " NWD_SOURCE_DIR "/docs/modding/example/* " + mods)
                              .c_str()),
              0);
    // Street 1 exported, a sign painted on it in game colours, dropped back.
    std::string street = mods + "/levels/lev1.png";
    r = run(tool("nwd-datview") +
            " --password-file " NWD_SOURCE_DIR "/data/datafile.key --palette " + b.game +
            "DATA/NIGHTWAR.DAT " + b.game + "DATA/LEVELS.DAT map:lev1.bin:lev1.pcx:13 " + street);
    ASSERT_EQ(r.status, 0) << r.err;
    Picture sign;
    ASSERT_TRUE(read_png(street, sign));
    for (int y = 40; y < 60; ++y)
        for (int x = 1000; x < 1100; ++x) {
            const RGB& c = game_palette()[y == 40 || y == 59 ? 240 : 252];
            uint8_t* q = &sign.rgba[4 * ((size_t)y * sign.w + x)];
            q[0] = c.r * 255 / 63, q[1] = c.g * 255 / 63, q[2] = c.b * 255 / 63;
        }
    ASSERT_TRUE(write_png(street, sign));
    r = b.make();
    ASSERT_EQ(r.status, 0) << r.err;

    DATAFILE* main = load_dat(b.game + "DATA/NIGHTWAR.DAT");
    DATAFILE* levels = load_dat(b.game + "DATA/LEVELS.DAT");
    ASSERT_TRUE(main && levels);
    const RGB* pal = game_palette();
    // Drawn pictures in game colours, see-through where they are.
    struct {
        BITMAP* got;
        const char* png;
    } pictures[] = {{(BITMAP*)main[65].dat, "sprites/THUG_PUNCH2.png"},
                    {(BITMAP*)main[13].dat, "pictures/item_knife.png"},
                    {object(levels, "dif2.pcx"), "pictures/dif2.png"}};
    for (auto& p : pictures) {
        Picture want;
        ASSERT_TRUE(read_png(mods + "/" + p.png, want));
        ASSERT_TRUE(p.got && p.got->w == want.w && p.got->h == want.h) << p.png;
        for (int y = 0; y < want.h; ++y)
            for (int x = 0; x < want.w; ++x) {
                int c = getpixel(p.got, x, y);
                if (want.at(x, y)[3] < 128) {
                    ASSERT_EQ(c, 0) << p.png << " " << x << "," << y;
                } else {
                    ASSERT_NE(c, 0) << p.png << " " << x << "," << y;
                    ASSERT_LE(colour_distance(pal, c, want.at(x, y)), 40)
                        << p.png << " " << x << "," << y;
                }
            }
    }
    EXPECT_STREQ(get_datafile_property(&main[65], DAT_ID('X', 'H', 'O', 'T')), "17");
    EXPECT_STREQ(get_datafile_property(&main[65], DAT_ID('Y', 'H', 'O', 'T')), "58");
    // The street as the map draws it is the picture, sign and all.
    DATAFILE* map = find_datafile_object(levels, "lev1.bin");
    BITMAP* sheet = object(levels, "lev1.pcx");
    ASSERT_TRUE(map && sheet);
    const uint8_t* cells = (const uint8_t*)map->dat;
    ASSERT_EQ(map->size, 176 * 13 * 2);
    for (int k = 0; k < 176 * 13; ++k) {
        int t = cells[2 * k] | cells[2 * k + 1] << 8;
        for (int y = 0; y < 16; y += 3)
            for (int x = 0; x < 16; x += 3)
                ASSERT_TRUE(shows(pal, getpixel(sheet, t % 40 * 16 + x, t / 40 * 16 + y),
                                  sign.at(k / 13 * 16 + x, k % 13 * 16 + y)))
                    << "cell " << k;
    }
    // The van road's text map: a lamp every four columns.
    DATAFILE* van = find_datafile_object(levels, "van.bin");
    ASSERT_TRUE(van && van->size == 7 * 64 * 2);
    const uint8_t* v = (const uint8_t*)van->dat;
    EXPECT_EQ(v[2 * 7 * 4], 6);
    EXPECT_EQ(v[2 * 7 * 2], 0);
    // The door sound converted, the modules in DATA/, the playlists naming them.
    std::string door = slurp(b.game + "DATA/DOOR.wav");
    ASSERT_GT(door.size(), 44u);
    EXPECT_EQ(door.compare(20, 4, std::string("\1\0\1\0", 4)), 0);  // PCM, mono
    EXPECT_EQ(slurp(b.game + "DATA/night.mod"), slurp(mods + "/music/night.mod"));
    EXPECT_EQ(slurp(b.game + "DATA/my_title.it").substr(0, 4), "IMPM");
    EXPECT_NE(slurp(b.game + "TECHNO.lst").find("title = my_title.it"), std::string::npos);
    EXPECT_NE(slurp(b.game + "NIGHT.lst").find("title = night.mod"), std::string::npos);
    unload_datafile(main);
    unload_datafile(levels);

    // An edited picture is packed by the next build, and the programs, which
    // name pictures by number only, are left alone (so are the demos made
    // from them).
    struct stat amc_before, amc_after;
    ASSERT_EQ(stat((b.game + "AMC/GAME.AMC").c_str(), &amc_before), 0);
    Picture red;
    ASSERT_TRUE(read_png(mods + "/pictures/item_knife.png", red));
    const RGB& c = pal[252];
    for (size_t i = 0; i < red.rgba.size(); i += 4)
        red.rgba[i] = c.r * 255 / 63, red.rgba[i + 1] = c.g * 255 / 63,
        red.rgba[i + 2] = c.b * 255 / 63, red.rgba[i + 3] = 255;
    ASSERT_TRUE(write_png(mods + "/pictures/item_knife.png", red));
    // A new effect in another kind of file: 31.flac plays as DATA/31.wav.
    SF_INFO info{};
    info.samplerate = 48000, info.channels = 1, info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    SNDFILE* flac = sf_open((mods + "/sound/31.flac").c_str(), SFM_WRITE, &info);
    ASSERT_TRUE(flac);
    std::vector<short> whistle(4800);
    for (size_t i = 0; i < whistle.size(); i++)
        whistle[i] = (short)(8000 * std::sin(i * 0.3));
    sf_writef_short(flac, whistle.data(), (sf_count_t)whistle.size());
    sf_close(flac);
    r = b.make();
    ASSERT_EQ(r.status, 0) << r.err;
    std::string added = slurp(b.game + "DATA/31.wav");
    ASSERT_EQ(added.size(), 44u + 2 * 2205);
    EXPECT_EQ(added.compare(20, 8, std::string("\1\0\1\0\x22\x56\0\0", 8)), 0);  // 22050 Hz
    main = load_dat(b.game + "DATA/NIGHTWAR.DAT");
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(shows(pal, getpixel((BITMAP*)main[13].dat, 0, 0), red.at(0, 0)));
    unload_datafile(main);
    ASSERT_EQ(stat((b.game + "AMC/GAME.AMC").c_str(), &amc_after), 0);
    EXPECT_EQ(amc_after.st_mtim.tv_sec, amc_before.st_mtim.tv_sec);
    EXPECT_EQ(amc_after.st_mtim.tv_nsec, amc_before.st_mtim.tv_nsec);

    // Taken away again: the game's own data, and nothing a mod made is left.
    ASSERT_EQ(std::system(("rm -rf " + mods).c_str()), 0);
    r = b.make();
    ASSERT_EQ(r.status, 0) << r.err;
    expect_same(game_files(b.game, b.dir), own);
}
