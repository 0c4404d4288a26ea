// The assembly guide's worked examples, assembled by the tool and run by the
// simulator: the traces must show what the guide says the programs do. Also
// the tool's own contract: exit codes and no output after an error.
#include "tools/amcasm/amcasm.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace {

std::string slurp(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

void spit(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// The source block that follows "<!-- example: NAME -->" in the guide.
std::string example(const std::string& name)
{
    std::string doc = slurp(NWD_DOCS_PATH);
    size_t at = doc.find("<!-- example: " + name + " -->");
    size_t open = doc.find("```amcs\n", at);
    size_t close = doc.find("\n```", open + 8);
    if (at == std::string::npos || open == std::string::npos || close == std::string::npos)
        return "";
    return doc.substr(open + 8, close - open - 7);
}

std::string scratch(const std::string& name)
{
    return testing::TempDir() + "amcasm_" + std::to_string(getpid()) + "_" + name;
}

int run(const std::string& cmd)
{
    int st = system(cmd.c_str());
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

struct TraceActor {
    int slot = 0, prog = 0;
    std::vector<int> r;
};
struct Tick {
    std::vector<int> globals;
    std::vector<TraceActor> actors;
    const TraceActor* find_prog(int prog, int nth = 0) const
    {
        for (const auto& a : actors)
            if (a.prog == prog && nth-- == 0)
                return &a;
        return nullptr;
    }
};
struct Trace {
    std::vector<Tick> ticks;
    int exit = -1;
};

std::vector<int> numbers(const std::string& s, char sep)
{
    std::vector<int> v;
    std::stringstream in(s);
    std::string item;
    while (std::getline(in, item, sep))
        if (!item.empty())
            v.push_back(atoi(item.c_str()));
    return v;
}

// Assembles an example with the tool (no message expected) and runs it.
Trace assemble_and_run(const std::string& name, const std::string& sim_args)
{
    std::string src = scratch(name + ".amcs"), amc = scratch(name + ".AMC"),
                err = scratch(name + ".err"), trace = scratch(name + ".trace");
    std::string text = example(name);
    EXPECT_NE(text, "") << "no example " << name << " in the guide";
    spit(src, text);
    EXPECT_EQ(run(std::string(NWD_AMCASM_PATH) + " -o " + amc + " " + src + " 2>" + err), 0);
    EXPECT_EQ(slurp(err), "");
    EXPECT_EQ(
        run(std::string(NWD_SIM_PATH) + " --amc " + amc + " " + sim_args + " --trace " + trace), 0);
    Trace t;
    std::istringstream in(slurp(trace));
    std::string line;
    while (std::getline(in, line)) {
        if (line[0] == 'T') {
            t.ticks.emplace_back();
        } else if (line[0] == 'G' && !t.ticks.empty()) {
            t.ticks.back().globals = numbers(line.substr(2), ' ');
        } else if (line[0] == 'A' && !t.ticks.empty()) {
            TraceActor a;
            sscanf(line.c_str(), "A %d prog=%d", &a.slot, &a.prog);
            a.r = numbers(line.substr(line.find(" r=") + 3), ',');
            t.ticks.back().actors.push_back(a);
        } else if (line[0] == 'X') {
            t.exit = atoi(line.c_str() + 2);
        }
    }
    for (const auto& f : {src, amc, err, trace})
        unlink(f.c_str());
    return t;
}

constexpr int X = 29, FRAME = 31, SCORE = 20;

}  // namespace

TEST(Examples, WalkerPacesBetweenItsEdges)
{
    Trace t = assemble_and_run("walker", "--ticks 400");
    ASSERT_EQ(t.ticks.size(), 400u);
    int prev = 100, dir = 0, turns = 0, lo = 1000, hi = -1000;
    for (const Tick& k : t.ticks) {
        const TraceActor* w = k.find_prog(15);
        ASSERT_NE(w, nullptr);
        int x = w->r[X], d = x - prev;
        ASSERT_TRUE(d == 2 || d == -2) << "walks every tick, 2 pixels";
        if (d != dir && dir != 0)
            turns++;
        dir = d;
        // Facing: mirrored while walking left.
        EXPECT_EQ((int16_t)w->r[FRAME], d > 0 ? 30 : (int16_t)(30 | 0x8000));
        lo = std::min(lo, x), hi = std::max(hi, x);
        prev = x;
    }
    EXPECT_EQ(lo, 40);
    EXPECT_EQ(hi, 200);
    EXPECT_EQ(turns, 5);  // 100 -> 200 -> 40 -> 200 -> 40 -> 200 -> 40... within 400 ticks
}

TEST(Examples, DirectorSendsThugsAndEndsTheLevel)
{
    Trace t = assemble_and_run("director", "--level 3 --ticks 2000");
    ASSERT_FALSE(t.ticks.empty());
    EXPECT_EQ(t.exit, 4) << "the level ends with the next level's number";
    std::map<int, int> first_x, last_x;  // per spawn: the thug's x at birth and at its end
    std::set<int> alive;
    int spawned = 0;
    for (const Tick& k : t.ticks) {
        std::set<int> now;
        for (const auto& a : k.actors) {
            if (a.prog != 15)
                continue;
            now.insert(a.slot);
            if (!alive.count(a.slot)) {
                spawned++;
                first_x[a.slot] = a.r[0];
            }
            last_x[a.slot] = a.r[X];
        }
        alive = now;
    }
    EXPECT_EQ(spawned, 3);
    for (auto& [slot, x0] : first_x)
        EXPECT_EQ(last_x[slot], x0 - 60) << "each thug walks 60 pixels left before it leaves";
    EXPECT_TRUE(alive.empty()) << "the level ends only when no thug is left";
    EXPECT_EQ(t.ticks.back().globals[SCORE], 30);
}

TEST(Tool, ErrorsLeaveNoOutputAndUsageIsChecked)
{
    std::string src = scratch("bad.amcs"), out = scratch("bad.AMC"), err = scratch("bad.err");
    spit(src, "program 0 p\n    load nothing\n");
    EXPECT_EQ(run(std::string(NWD_AMCASM_PATH) + " -o " + out + " " + src + " 2>" + err), 1);
    EXPECT_NE(access(out.c_str(), F_OK), 0);
    EXPECT_EQ(slurp(err), src + ":2:10: error: undefined name 'nothing'\n");
    EXPECT_EQ(run(std::string(NWD_AMCASM_PATH) + " 2>/dev/null"), 2);
    EXPECT_EQ(run(std::string(NWD_AMCASM_PATH) + " --bogus x 2>/dev/null"), 2);
    EXPECT_EQ(run(std::string(NWD_AMCASM_PATH) + " --help >/dev/null"), 0);
    // List files: good names are written, a bad one writes nothing.
    EXPECT_EQ(run(std::string(NWD_AMCASM_PATH) + " --list-file " + out + " HERO VAN"), 0);
    EXPECT_EQ(slurp(out), std::string("AMLHERO\0VAN\0\0", 13));
    unlink(out.c_str());
    EXPECT_EQ(run(std::string(NWD_AMCASM_PATH) + " --list-file " + out + " HERO.AMC 2>/dev/null"),
              1);
    EXPECT_NE(access(out.c_str(), F_OK), 0);
    for (const auto& f : {src, err})
        unlink(f.c_str());
}

TEST(Tool, DisassemblyOfAFileReassemblesByteForByte)
{
    std::string src = scratch("d.amcs"), a = scratch("a.AMC"), text = scratch("a.amcs"),
                b = scratch("b.AMC");
    spit(src, example("director"));
    std::string tool = NWD_AMCASM_PATH;
    ASSERT_EQ(run(tool + " -o " + a + " " + src), 0);
    ASSERT_EQ(run(tool + " -d " + a + " -o " + text), 0);
    ASSERT_EQ(run(tool + " -w -o " + b + " " + text), 0);
    EXPECT_EQ(slurp(a), slurp(b));
    for (const auto& f : {src, a, text, b})
        unlink(f.c_str());
}

TEST(Tool, DepfileNamesEveryFileRead)
{
    std::string dir = scratch("dep");
    ASSERT_EQ(run("mkdir -p " + dir + "/gen"), 0);
    spit(dir + "/gen/sprites.amcs", "const SPR_HERO_STAND = 27\n");
    spit(dir + "/main.amcs",
         "include \"sprites.amcs\"\nprogram 0 p\n  load SPR_HERO_STAND\n  end\n");
    ASSERT_EQ(run(std::string(NWD_AMCASM_PATH) + " -I " + dir + "/gen --depfile " + dir +
                  "/d.d -o " + dir + "/G.AMC " + dir + "/main.amcs"),
              0);
    EXPECT_EQ(slurp(dir + "/d.d"),
              dir + "/G.AMC: " + dir + "/main.amcs " + dir + "/gen/sprites.amcs\n");
    run("rm -r " + dir);
}
