// The Scripts section of docs/modding.md, done as a modder does it: each of
// its diffs applied to a copy of data/amc with git apply, assembled as the
// build assembles GAME.AMC, and played by nwd-bot on the first street.
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "tests/modding/modding_fixture.h"

using namespace modtest;

namespace {

// The scripts with docs/modding/scripts/NAME.diff applied, assembled; the
// programs' path, or "" (with the reason in `why`).
std::string build_example(const std::string& name, std::string& why)
{
    std::string dir = scratch(), amc = dir + "/GAME.AMC";
    Outcome r = run("mkdir -p " + dir + "/data && cp -r " NWD_SOURCE_DIR "/data/amc " + dir +
                    "/data && cd " + dir +
                    " && git apply " NWD_SOURCE_DIR "/docs/modding/scripts/" + name + ".diff");
    if (r.status == 0)
        r = run(tool("amcasm") + " -I " NWD_BUILD_DIR "/game-include -o " + amc + " " + dir +
                "/data/amc/*.amcs");
    why = r.err;
    return r.status == 0 ? amc : "";
}

struct Seen {
    int status = -1;
    std::set<std::string> fighters;  // "kind state health" of every enemy in every tick
};

// Street 1 played by the bot, every tick's enemies as its --verbose lines
// show them; on this seed the bruiser gets a headbutt in before he falls.
Seen play_street1(const std::string& amc)
{
    std::string out = scratch() + "/bot.txt";
    Seen s;
    s.status = run(tool("nwd-bot") + " --amc " + amc +
                   " --level 1 --streets 1 --skill 5 --seed 2 --verbose 1 > " + out)
                   .status;
    std::string text = slurp(out);
    std::regex fighter(" E(\\d+):-?\\d+,\\d+ st(\\d+) hp(-?\\d+)");
    for (std::sregex_iterator it(text.begin(), text.end(), fighter), end; it != end; ++it)
        s.fighters.insert((*it)[1].str() + " " + (*it)[2].str() + " " + (*it)[3].str());
    return s;
}

}  // namespace

TEST(ModScripts, TheGuideShowsEachDiffAsItIs)
{
    std::string guide = slurp(NWD_SOURCE_DIR "/docs/modding.md");
    for (const char* name : {"kicker", "bruiser"}) {
        std::string diff =
            slurp(std::string(NWD_SOURCE_DIR "/docs/modding/scripts/") + name + ".diff");
        ASSERT_FALSE(diff.empty()) << name;
        EXPECT_NE(guide.find("```diff\n" + diff + "```"), std::string::npos)
            << name << ".diff is not shown as it is in docs/modding.md";
    }
}

// One row changes the kicker: the kickers of street 1 come in with the
// row's 56 health as NORMAL scales it (18/16), more than the game's have.
TEST(ModScripts, OneRowMakesTheKickerTougher)
{
    std::string why, amc = build_example("kicker", why);
    ASSERT_FALSE(amc.empty()) << why;
    Seen s = play_street1(amc);
    EXPECT_EQ(s.status, 0) << "the bot should still clear street 1";
    EXPECT_TRUE(s.fighters.count("2 0 63"));
}

// A new kind, a row and a routine, on street 1: the bot meets the bruiser,
// is knocked down by its headbutt now and then, beats it and the street.
TEST(ModScripts, TheBotMeetsAndBeatsTheBruiserOnStreet1)
{
    std::string why, amc = build_example("bruiser", why);
    ASSERT_FALSE(amc.empty()) << why;
    Seen s = play_street1(amc);
    EXPECT_EQ(s.status, 0);
    EXPECT_TRUE(s.fighters.count("0 0 72")) << "no bruiser came in with its health";
    bool wound_up = false;  // at whatever health: the bot often strikes first
    for (const std::string& f : s.fighters)
        wound_up |= f.rfind("0 5 ", 0) == 0;
    EXPECT_TRUE(wound_up) << "the bruiser never wound up its headbutt";
    EXPECT_TRUE(s.fighters.count("0 8 0")) << "the bruiser was never beaten";
}
