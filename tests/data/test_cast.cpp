// The cast's sprites as the scripts use them: frame numbers by name, one
// picture per pose, builds and outlines that tell fighters apart, and the generator's
// answer to a pose file that lacks a frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>

#include "gfx/main_data.h"
#include "tests/data/data_fixture.h"
#include "tests/files.h"

using namespace datatest;

namespace {

BITMAP* sprite(int i) { return picture(i); }

int hot_x(int i)
{
    return atoi(get_datafile_property(&main_datafile()[i], DAT_ID('X', 'H', 'O', 'T')));
}

const char* const kPoses[32] = {
    "STAND",    "WALK1",  "WALK2", "WALK3", "WALK4",    "PUNCH1", "PUNCH2", "PUNCH3",
    "UPPERCUT", "KICK1",  "KICK2", "JUMP",  "JUMPKICK", "CROUCH", "HURT",   "HURT2",
    "FALL",     "LIE",    "GETUP", "KNEEL", "HELD",     "DAZED",  "THROWN", "WINDUP",
    "ATTACK",   "CHARGE", "TAUNT", "BLOCK", "GRAB",     "KNEE",   "THROW1", "THROW2"};

struct Set {
    const char* prefix;
    int base;
    int poses = 32;
};
// The knife thrower never grabs nor throws a man: his block ends at BLOCK,
// on the last index the scene draws.
const Set kFighters[] = {{"HERO", 27},   {"THUG", 59},   {"KICKER", 139},     {"KNIFER", 171},
                         {"HEAVY", 203}, {"BOSS1", 369}, {"BOSS2", 401},      {"BOSS3", 433},
                         {"BOSS4", 465}, {"BOSS5", 497}, {"THROWER", 530, 28}};

bool same(BITMAP* a, BITMAP* b)
{
    if (a->w != b->w || a->h != b->h)
        return false;
    for (int y = 0; y < a->h; ++y)
        for (int x = 0; x < a->w; ++x)
            if (getpixel(a, x, y) != getpixel(b, x, y))
                return false;
    return true;
}

int count_colour(BITMAP* b, int c)
{
    int n = 0;
    for (int y = 0; y < b->h; ++y)
        for (int x = 0; x < b->w; ++x)
            n += getpixel(b, x, y) == c;
    return n;
}

// How much two figures' outlines differ whatever their size: both scaled to
// one height, feet and hot spots laid over each other, the share of the
// area that only one of them covers.
float outline_difference(int a, int b)
{
    const int H = 48;
    int only = 0, either = 0;
    for (int gy = 0; gy < H; ++gy)
        for (int gx = -H / 2; gx < H / 2; ++gx) {
            bool in[2];
            int k = 0;
            for (int i : {a, b}) {
                BITMAP* s = sprite(i);
                int x = hot_x(i) + gx * s->h / H, y = s->h - 1 - gy * s->h / H;
                in[k++] = x >= 0 && x < s->w && getpixel(s, x, y) > 0;
            }
            only += in[0] != in[1];
            either += in[0] || in[1];
        }
    return either ? (float)only / either : 0;
}

// A fighter's line round his figure: its colour where an opaque pixel
// touches a transparent one or the picture's border (-1: the frame has two).
int edge_colour(BITMAP* s)
{
    int c = 0;
    auto clear = [&](int x, int y) {
        return x < 0 || y < 0 || x >= s->w || y >= s->h || getpixel(s, x, y) == 0;
    };
    for (int y = 0; y < s->h; ++y)
        for (int x = 0; x < s->w; ++x) {
            int p = getpixel(s, x, y);
            if (p && (clear(x - 1, y) || clear(x + 1, y) || clear(x, y - 1) || clear(x, y + 1))) {
                if (c && p != c)
                    return -1;
                c = p;
            }
        }
    return c;
}

}  // namespace

TEST(Cast, FramesKeepTheNumbersTheScriptsUse)
{
    auto c = include_constants(NWD_GAME_INCLUDE);
    for (auto& f : kFighters)
        for (int k = 0; k < 32; ++k) {
            std::string name = std::string("SPR_") + f.prefix + "_" + kPoses[k];
            if (k < f.poses)
                EXPECT_EQ(c[name], f.base + k) << name;
            else
                EXPECT_EQ(c.count(name), 0u) << name << " lies past the block";
        }
    EXPECT_EQ(c["SPR_THROWER_BLOCK"], 557);
}

TEST(Cast, EveryPoseIsAPictureOfItsOwn)
{
    ASSERT_NE(main_datafile(), nullptr);
    for (auto& f : kFighters)
        for (int a = 0; a < f.poses; ++a)
            for (int b = a + 1; b < f.poses; ++b)
                EXPECT_FALSE(same(sprite(f.base + a), sprite(f.base + b)))
                    << f.prefix << " " << kPoses[a] << " looks like " << kPoses[b];
}

TEST(Cast, BuildsTellFightersApart)
{
    ASSERT_NE(main_datafile(), nullptr);
    int hero = sprite(27)->h;
    EXPECT_GE(hero, 48);  // about 52 pixels tall at scale 1
    EXPECT_LE(hero, 58);
    for (int big : {203, 369, 401, 433, 465, 497})
        EXPECT_GE(sprite(big)->h * 100, hero * 112) << "frame " << big << " is not bigger";
    EXPECT_GT(sprite(203)->w, sprite(139)->w);  // the heavy is broader than the kicker
    // The knife man's blade catches the light in every frame.
    for (int k = 0; k < 32; ++k)
        EXPECT_GE(count_colour(sprite(171 + k), 240), 2) << kPoses[k];
    // The boxer waits and bobs in the brawler's clothes, known at a glance by
    // the big gloves at his chin: half again the red of the brawler's fists
    // in any frame.
    auto fists = [](int i) { return count_colour(sprite(i), 13) + count_colour(sprite(i), 14); };
    int brawler = 0;
    for (int k = 0; k < 32; ++k)
        brawler = std::max(brawler, fists(59 + k));
    for (int i : {110, 111, 112})
        EXPECT_GE(fists(i) * 2, brawler * 3) << i;
    // Items, props and banners stand centred on their hot spot, digits on their left edge.
    for (int i : {115, 267, 279, 300})
        EXPECT_NEAR(hot_x(i), sprite(i)->w / 2, 1) << i;
    for (int i = 314; i <= 323; ++i)
        EXPECT_EQ(hot_x(i), 0);
}

TEST(Cast, OutlinesTellFightersApart)
{
    ASSERT_NE(main_datafile(), nullptr);
    // Filled black against the street, no two bosses nor any two of the hero
    // and the gang kinds share a shape standing or walking. (A palette swap
    // of one build scores about 0.1; a stride blurs builds a little.)
    const int bosses[] = {369, 401, 433, 465, 497}, gang[] = {27, 59, 139, 171, 203, 530};
    for (int f : {0, 1})
        for (int a : bosses)
            for (int b : bosses)
                if (a < b) {
                    EXPECT_GE(outline_difference(a + f, b + f), 0.2f) << a + f << " " << b + f;
                }
    for (int f = 0; f <= 4; ++f)
        for (int a : gang)
            for (int b : gang)
                if (a < b) {
                    EXPECT_GE(outline_difference(a + f, b + f), f ? 0.15f : 0.18f)
                        << a + f << " " << b + f;
                }
}

// Every man keeps a dark line round him in every colour scheme, so two
// overlapping read as two; the hero's alone is another colour.
TEST(Cast, LinesRoundFightersSurviveEverySchemeAndMarkTheHero)
{
    ASSERT_NE(main_datafile(), nullptr);
    static COLOR_MAP map;
    build_recolour_table(&map);
    const RGB* pal = (const RGB*)main_datafile()[23].dat;
    int hero = edge_colour(sprite(27));
    for (auto& f : kFighters)
        for (int k = 0; k < f.poses; ++k) {
            int c = edge_colour(sprite(f.base + k));
            ASSERT_GT(c, 0) << f.prefix << " " << kPoses[k] << " has no single line colour";
            for (int row = 1; row <= 4; ++row)
                EXPECT_EQ(map.data[row][c], c) << f.prefix << ": scheme " << row << " swaps it";
            if (f.base == 27) {
                EXPECT_EQ(c, hero) << kPoses[k];
            } else {
                EXPECT_NE(c, hero) << f.prefix << " " << kPoses[k];
                EXPECT_LT(pal[c].r + pal[c].g + pal[c].b, 24)  // 6-bit components
                    << f.prefix << " " << kPoses[k];
            }
        }
}

TEST(Cast, HudItemIconsLeaveTheCountClear)
{
    ASSERT_NE(main_datafile(), nullptr);
    // The timed power's seconds are printed at (304,24) over objects 11 and 12.
    for (int obj : {11, 12})
        for (int y = 8; y < 16; ++y)
            for (int x = 16; x < 30; ++x)
                ASSERT_EQ(getpixel(sprite(obj), x, y), 0) << obj;
    EXPECT_FALSE(same(sprite(11), sprite(12)));  // the icon blinks
}

TEST(Cast, GeneratorIsRepeatableAndRefusesAMissingPose)
{
    testfiles::Scratch scratch;
    std::string dir = scratch.dir, src = NWD_DATA_DIR;
    auto gen = [&](const std::string& from, const std::string& out) {
        std::string cmd = "mkdir -p " + out + " && " + NWD_GFXGEN + " main " + from + " " + out +
                          " " + out + "/n.inc 2>" + dir + "/err.txt";
        return std::system(cmd.c_str());
    };
    ASSERT_EQ(gen(src, dir + "/a"), 0);
    ASSERT_EQ(gen(src, dir + "/b"), 0);
    EXPECT_EQ(std::system(("diff -r -q " + dir + "/a " + dir + "/b >/dev/null").c_str()), 0);

    std::string copy = "cp -r " + src + "/gfx " + src + "/sound " + dir +
                       "/ && sed -i '/^pose fighter BLOCK/d' " + dir + "/gfx/poses.txt";
    ASSERT_EQ(std::system(copy.c_str()), 0);
    EXPECT_NE(gen(dir, dir + "/c"), 0);
    std::string err = testfiles::slurp(dir + "/err.txt");
    EXPECT_NE(err.find("no pose BLOCK"), std::string::npos) << err;
}
