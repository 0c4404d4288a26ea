#include "engine_fixture.h"

#include <sys/stat.h>
#include <unistd.h>
#include <string>

using Loader = EngineTest;

TEST_F(Loader, HeaderAndShortReads)
{
    struct Case {
        std::string bytes;
        int result;
    };
    const Case cases[] = {
        {std::string("AMC\0\0", 5), 0},         {"AMC", 3},     {"AM", 2}, {"AMX", 2}, {"amc", 2},
        {std::string("AMC\x05\0\1\0", 7), 3},                    // block promises 5 words
        {std::string("AMC\x01\0\x12\0", 7), 3},                  // no terminating count
        {std::string("AML\0", 4), 0},           {"AMLHERO", 3},  // name not ended by NUL
    };
    for (const Case& c : cases) {
        write("X.AMC", c.bytes);
        EXPECT_EQ(amc_load(path("X.AMC").c_str()), c.result) << c.bytes.size() << " bytes";
    }
    EXPECT_EQ(amc_load(path("missing.AMC").c_str()), 1);
    EXPECT_EQ(amc_load(dir.c_str()), 1);  // a directory
    // A FIFO nobody writes to would hold start-up for ever; a device never ends.
    ASSERT_EQ(mkfifo(path("F.AMC").c_str(), 0600), 0);
    EXPECT_EQ(amc_load(path("F.AMC").c_str()), 1);
    EXPECT_EQ(amc_load("/dev/zero"), 1);
}

TEST_F(Loader, ProgramsAppendInOrderAndSurviveLaterFailures)
{
    write("A.AMC", amc_compiled({{1, 2, 3, 4, 5}, {7, 8, 9}}));
    ASSERT_EQ(amc_load(path("A.AMC").c_str()), 0);
    ASSERT_EQ(program_count, 2);
    write("B.AMC", amc_compiled({{12}}));
    ASSERT_EQ(amc_load(path("B.AMC").c_str()), 0);
    ASSERT_EQ(program_count, 3);
    EXPECT_EQ(program_table[0].length, 5);
    EXPECT_EQ(program_table[1].words[2], 9);
    EXPECT_EQ(program_table[2].words[0], 12);

    // Good block, then a block cut short: the good one stays.
    std::string bytes = amc_compiled({{18}});
    bytes.resize(bytes.size() - 2);
    bytes += std::string("\x0a\0\1\0\2\0", 6);
    write("C.AMC", bytes);
    EXPECT_EQ(amc_load(path("C.AMC").c_str()), 3);
    EXPECT_EQ(program_count, 4);
}

TEST_F(Loader, ListsFollowTheirDirectory)
{
    write("HERO.AMC", amc_compiled({{18}, {12}}));
    write("GAME.AMC", amc_list({"HERO", "VAN"}));
    EXPECT_EQ(amc_load(path("GAME.AMC").c_str()), 1);  // VAN missing
    EXPECT_EQ(program_count, 2);                       // HERO stays loaded

    write("VAN.AMC", amc_compiled({{5, 0}}));
    amc_unload_all();
    EXPECT_EQ(amc_load(path("GAME.AMC").c_str()), 0);
    EXPECT_EQ(program_count, 3);
    EXPECT_EQ(program_table[2].words[0], 5);

    // No separator: names are taken relative to the working directory.
    char old[4096];
    ASSERT_NE(getcwd(old, sizeof old), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    amc_unload_all();
    EXPECT_EQ(amc_load("GAME.AMC"), 0);
    EXPECT_EQ(program_count, 3);
    ASSERT_EQ(chdir(old), 0);
}

TEST_F(Loader, LimitsGiveTheirOwnResults)
{
    // A 65th program: result 5 when its count is read, the 64 stay.
    std::vector<Words> many(65, Words{18});
    write("MANY.AMC", amc_compiled(many));
    EXPECT_EQ(amc_load(path("MANY.AMC").c_str()), 5);
    EXPECT_EQ(program_count, 64);
    amc_unload_all();

    // Directory + name + ".AMC" longer than 127 characters.
    std::string longname(128, 'N');
    write("LONG.AMC", amc_list({longname}));
    EXPECT_EQ(amc_load(path("LONG.AMC").c_str()), 6);
    // ... but a name that never ends is a short read whatever its length.
    write("OPEN.AMC", "AML" + longname);
    EXPECT_EQ(amc_load(path("OPEN.AMC").c_str()), 3);

    // Exactly 127 characters still loads.
    std::string name(127 - dir.size() - 1 - 4, 'a');
    write(name + ".AMC", amc_compiled({{18}}));
    write("EXACT.AMC", amc_list({name}));
    EXPECT_EQ(amc_load(path("EXACT.AMC").c_str()), 0);
}

TEST_F(Loader, NestingDepthSixteenLoads)
{
    // L0 -> L1 -> ... -> L16 (compiled): depth 16 is the deepest allowed.
    for (int i = 0; i < 16; i++)
        write("L" + std::to_string(i) + ".AMC", amc_list({"L" + std::to_string(i + 1)}));
    write("L16.AMC", amc_compiled({{18}}));
    EXPECT_EQ(amc_load(path("L0.AMC").c_str()), 0);
    EXPECT_EQ(program_count, 1);
    write("L16.AMC", amc_list({"L17"}));
    write("L17.AMC", amc_compiled({{18}}));
    EXPECT_EQ(amc_load(path("L0.AMC").c_str()), 7);
}
