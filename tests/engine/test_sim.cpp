#include "engine_fixture.h"

#include "engine/amc_ops.h"
#include "engine/sim.h"
#include "tests/files.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>

using Sim = EngineTest;

static int run(const std::string& args, std::string* out)
{
    return testfiles::output_of(std::string(NWD_SIM_PATH) + " " + args + " 2>&1", *out);
}

// 32 numbers, all 0 but those given, as the trace writes them.
static std::string words(std::map<int, int> set, const char* first, const char* sep)
{
    std::string s;
    for (int i = 0; i < 32; i++)
        s += (i ? sep : first) + std::to_string(set.count(i) ? set[i] : 0);
    return s;
}

TEST_F(Sim, TraceShowsEachTickInOrder)
{
    // Programs before the director idle; the director asks for sound 3 at x 10,
    // spawns program 0, copies controls into global 2, moves once with a
    // zero duration on tick 2 (a diagnostic), never reached; ends the run
    // on tick 2 through exit_request.
    std::vector<Words> progs(PROGRAM_DIRECTOR + 1, Words{OP_YIELD, OP_JUMP, 0});
    // clang-format off
    progs[PROGRAM_DIRECTOR] = {
        OP_SET_REG, REG_SOUND, 3, OP_SET_REG, REG_X, 10,
        OP_GLOBAL, GLOBAL_CONTROLS, ALU_LOAD, OP_GLOBAL, 2, ALU_STORE,
        OP_IMM, 0, ALU_LOAD, OP_SPAWN, OP_YIELD,
        OP_IMM, EXIT | 3, ALU_LOAD, OP_GLOBAL, GLOBAL_EXIT_REQUEST, ALU_STORE,
        OP_YIELD, OP_YIELD};
    // clang-format on
    write("G.AMC", amc_compiled(progs));
    write("c.txt", "# controls\n0x21\n\n   \n5\n");
    std::string out, again_text;
    ASSERT_EQ(run("--amc " + path("G.AMC") + " --controls " + path("c.txt") +
                      " --seed 7 --level 3 --mode 2",
                  &out),
              0);
    std::istringstream in(out);
    std::string line;
    std::vector<std::string> lines;
    while (std::getline(in, line))
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 12u) << out;
    EXPECT_EQ(lines[0], "T 1 seed=7");
    EXPECT_EQ(lines[1], "S 1 3 138");
    EXPECT_EQ(lines[2], "G" + words({{GLOBAL_SKILL, 5}, {2, 33}, {GLOBAL_CONTROLS, 33}}, " ", " "));
    EXPECT_EQ(lines[3], "H" + words({{REG_PREV, 2}, {REG_NEXT, 1}}, " ", " "));
    EXPECT_EQ(lines[4], "A 1 prog=" + std::to_string(PROGRAM_DIRECTOR) +
                            " pc=17 handler=-1 move=0,0,1,0,0,0 r" +
                            words({{ARG_DIRECTOR_LEVEL, 3},
                                   {ARG_DIRECTOR_MODE, 2},
                                   {REG_NEXT, 2},
                                   {REG_SELF, 1},
                                   {REG_X, 10}},
                                  "=", ","));
    EXPECT_EQ(lines[5].substr(0, 41), "A 2 prog=0 pc=1 handler=-1 move=0,0,1,0,0");
    EXPECT_EQ(lines[6], "T 2 seed=7");
    EXPECT_EQ(lines[11], "X 3");
    EXPECT_EQ(
        lines[7],
        "G" +
            words(
                {{GLOBAL_SKILL, 5}, {2, 33}, {GLOBAL_EXIT_REQUEST, EXIT | 3}, {GLOBAL_CONTROLS, 5}},
                " ", " "));

    // --hash is the FNV-1a 64 of exactly that text.
    ASSERT_EQ(run("--amc " + path("G.AMC") + " --hash", &out), 0);
    ASSERT_EQ(run("--amc " + path("G.AMC"), &again_text), 0);
    char want[40];
    snprintf(want, sizeof want, "HASH %016llx\n",
             (unsigned long long)sim_fnv1a(SIM_FNV_OFFSET, again_text.data(), again_text.size()));
    EXPECT_EQ(out, want);
}

TEST(SimHash, Fnv1aGivesThePublishedValues)
{
    auto fnv = [](const char* s) { return sim_fnv1a(SIM_FNV_OFFSET, s, strlen(s)); };
    EXPECT_EQ(fnv(""), 0xcbf29ce484222325ULL);
    EXPECT_EQ(fnv("a"), 0xaf63dc4c8601ec8cULL);
    EXPECT_EQ(fnv("foobar"), 0x85944171f73967e8ULL);
}

// The director adds its level row to the score every tick and ends its level
// on the level's third tick with the next row; row 11 leads to 12, a won
// game. Global 2 counts the level's ticks and must start again at 0.
static std::vector<Words> chained_levels()
{
    std::vector<Words> progs(PROGRAM_DIRECTOR + 1, Words{OP_YIELD, OP_JUMP, 0});
    // clang-format off
    progs[PROGRAM_DIRECTOR] = {
        OP_RANDOM, 0, 0,  // only advances the generator
        OP_REG, ARG_DIRECTOR_LEVEL, ALU_LOAD, OP_GLOBAL, GLOBAL_SCORE, ALU_ADD,
        OP_GLOBAL, GLOBAL_SCORE, ALU_STORE,
        OP_IMM, 1, ALU_LOAD, OP_GLOBAL, 2, ALU_ADD, OP_GLOBAL, 2, ALU_STORE,
        OP_IMM, 3, ALU_EQ, OP_JUMP_IF_ZERO, 38,
        OP_REG, ARG_DIRECTOR_LEVEL, ALU_LOAD, OP_IMM, EXIT + 1, ALU_ADD,
        OP_GLOBAL, GLOBAL_EXIT_REQUEST, ALU_STORE, OP_YIELD, OP_JUMP, 35,
        OP_YIELD, OP_JUMP, 0};
    // clang-format on
    return progs;
}

TEST_F(Sim, GameGoesOnAtTheRowTheScriptsChoose)
{
    write("G.AMC", amc_compiled(chained_levels()));
    std::string out;
    ASSERT_EQ(run("--amc " + path("G.AMC") + " --game --level 9", &out), 0);
    std::vector<std::string> marks;  // T, X, L and end lines
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        if (line[0] != 'G' && line[0] != 'H' && line[0] != 'A')
            marks.push_back(line);
    // Ticks count on across levels; the generator is never seeded again.
    EXPECT_EQ(marks[3], "X 10");
    EXPECT_EQ(marks[4], "L 10");
    EXPECT_EQ(marks[5], "T 4 seed=984943658");
    EXPECT_EQ(marks[8], "X 11");
    EXPECT_EQ(marks[13], "X 12");
    EXPECT_EQ(marks.back(), "end score=90 outcome=12 ticks=9");
    EXPECT_EQ(marks.size(), 15u);
    // The carried values come back; the level's own globals start again.
    // (arcade: stars 1 and lives 2 in globals 10 and 11)
    EXPECT_NE(out.find("T 4 seed=984943658\nG 0 5 1 0 0 0 0 0 0 0 1 2 "), std::string::npos);

    ASSERT_EQ(run("--amc " + path("G.AMC") + " --game --level 9 --ticks 4", &out), 0);
    EXPECT_EQ(out.substr(out.rfind("end")), "end score=37 outcome=-1 ticks=4\n");
    // A list of words ends the game as a demo does: one more tick with 0.
    write("c.txt", "5\n");
    ASSERT_EQ(run("--amc " + path("G.AMC") + " --game --controls " + path("c.txt"), &out), 0);
    EXPECT_EQ(out.substr(out.rfind("end")), "end score=2 outcome=-1 ticks=2\n");
    // A row the game never plays ends it before the first tick.
    ASSERT_EQ(run("--amc " + path("G.AMC") + " --game --level 0", &out), 0);
    EXPECT_EQ(out, "end score=0 outcome=0 ticks=0\n");
}

TEST_F(Sim, EveryDiagnosticOfATickIsTraced)
{
    // The director spawns copies of itself without yielding: the table
    // fills, then every SPAWN fails until the turn is stopped.
    std::vector<Words> progs(PROGRAM_DIRECTOR + 1, Words{OP_YIELD});
    progs[PROGRAM_DIRECTOR] = {OP_IMM, PROGRAM_DIRECTOR, ALU_LOAD, OP_SPAWN, OP_JUMP, 0};
    write("G.AMC", amc_compiled(progs));
    std::string out;
    ASSERT_EQ(run("--amc " + path("G.AMC") + " --ticks 1", &out), 0);
    std::istringstream in(out);
    std::string line, last_m;
    int full = 0;
    while (std::getline(in, line)) {
        if (line.rfind("M ", 0) != 0)
            continue;
        last_m = line;
        full += line == "M !! Too many actors, couldnt create a new (" +
                            std::to_string(PROGRAM_DIRECTOR) + ")";
    }
    EXPECT_EQ(full, 33333 - 62);  // SPAWN is every third of 100000 instructions
    EXPECT_EQ(last_m, "M !! Actor 1 runs without yielding");
}

TEST_F(Sim, BadInputExitsWithStatusTwo)
{
    write("G.AMC", amc_compiled({{OP_YIELD}}));
    write("bad.txt", "1\nfour\n");
    std::string out;
    EXPECT_EQ(run("", &out), 2);
    EXPECT_EQ(run("--amc " + path("none.AMC"), &out), 2);
    EXPECT_EQ(out, "nwd-sim: " + path("none.AMC") + ": cannot read: No such file or directory\n");
    EXPECT_EQ(run("--amc " + path("G.AMC") + " --ticks x", &out), 2);
    EXPECT_EQ(run("--amc " + path("G.AMC") + " --controls " + path("bad.txt"), &out), 2);
    EXPECT_NE(out.find("bad.txt:2: "), std::string::npos) << out;
    EXPECT_EQ(run("--amc " + path("G.AMC") + " --bogus", &out), 2);
    EXPECT_NE(out.find("--bogus"), std::string::npos) << out;
    EXPECT_EQ(run("--amc " + path("G.AMC") + " stray", &out), 2);
    EXPECT_EQ(run("--amc " + path("G.AMC") + " --verify t", &out), 2);  // without --game
    EXPECT_EQ(run("--help", &out), 0);
}

// A level whose data could not be loaded never received the carried values:
// the passage keeps them rather than take the reset globals' zeros.
TEST_F(Sim, PassageKeepsTheScoreOfALevelThatNeverLoaded)
{
    load(chained_levels());
    WorldStart w = world_new_game(3, 1, 5, 1);
    w.score = 420;
    world_start_level(w);
    amc_globals[GLOBAL_SCORE] = 500;
    EXPECT_TRUE(world_end_level(w, 4));
    EXPECT_EQ(w.score, 500);
    EXPECT_EQ(amc_globals[GLOBAL_SCORE], 0);
    EXPECT_FALSE(world_end_level(w, WORLD_LEVEL_NOT_LOADED));
    EXPECT_EQ(w.score, 500);
    EXPECT_EQ(w.lives, 2);
}
