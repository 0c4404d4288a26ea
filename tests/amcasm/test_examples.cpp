// The assembly guide's worked examples, assembled by the tool and run by the
// simulator: the traces must show what the guide says the programs do. Also
// the tool's own contract: exit codes and no output after an error.
#include "tools/amcasm/amcasm.h"

#include "tests/files.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>

namespace {

using testfiles::slurp;
using testfiles::spit;

// The block that follows "<!-- example: NAME -->" in the guide (another
// file of the example: "<!-- example: NAME, file FILE -->"), and the block
// after that one.
std::string example(const std::string& name, const std::string& file = "", int block = 0)
{
    std::string doc = slurp(NWD_DOCS_PATH);
    size_t at = doc.find("<!-- example: " + name + (file.empty() ? "" : ", file " + file) + " -->");
    size_t open = at, close = at;
    for (int k = 0; k <= block && open != std::string::npos; k++) {
        open = doc.find("```", close == at ? at : close + 4);
        open = open == std::string::npos ? open : doc.find('\n', open);
        close = open == std::string::npos ? open : doc.find("\n```", open);
    }
    if (at == std::string::npos || open == std::string::npos || close == std::string::npos)
        return "";
    return doc.substr(open + 1, close - open);
}

std::string scratch(const std::string& name)
{
    return testing::TempDir() + "amcasm_" + std::to_string(getpid()) + "_" + name;
}

int run(const std::string& cmd) { return testfiles::status_of(cmd); }

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

// Assembles an example with the tool in a folder of its own, where the
// messages name the source as the guide does; returns the exit status.
int assemble(const std::string& name, const std::string& dir, std::string& messages,
             const std::vector<std::string>& files = {})
{
    EXPECT_EQ(run("mkdir -p " + dir), 0);
    std::string text = example(name);
    EXPECT_NE(text, "") << "no example " << name << " in the guide";
    spit(dir + "/" + name + ".amcs", text);
    for (const auto& f : files)
        spit(dir + "/" + f, example(name, f));
    int status = run("cd " + dir + " && " + NWD_AMCASM_PATH + " -o " + name + ".AMC " + name +
                     ".amcs 2>" + name + ".err");
    messages = slurp(dir + "/" + name + ".err");
    return status;
}

// Assembles an example (no message expected) and runs it.
Trace assemble_and_run(const std::string& name, const std::string& sim_args,
                       const std::vector<std::string>& files = {})
{
    std::string dir = scratch(name), amc = dir + "/" + name + ".AMC",
                trace = dir + "/" + name + ".trace", messages;
    EXPECT_EQ(assemble(name, dir, messages, files), 0);
    EXPECT_EQ(messages, "");
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
    run("rm -r " + dir);
    return t;
}

// The x of each actor running `prog`, tick by tick.
std::vector<int> xs(const Trace& t, int prog, int nth = 0)
{
    std::vector<int> v;
    for (const Tick& k : t.ticks)
        if (const TraceActor* a = k.find_prog(prog, nth))
            v.push_back(a->r[29]);
    return v;
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

TEST(Examples, SwitchGivesEveryKindItsAttack)
{
    Trace t = assemble_and_run("switch", "--ticks 1");
    ASSERT_EQ(t.ticks.size(), 1u);
    std::string attack(16, '-');  // by kind
    for (const auto& a : t.ticks[0].actors)
        if (a.prog == 15 && a.r[0] >= 0 && a.r[0] < 16)
            attack[(size_t)a.r[0]] = (char)a.r[7];
    EXPECT_EQ(attack, "?PKSH??????BBKHB");
}

TEST(Examples, CallReturningThroughAnotherRegisterIsAnError)
{
    std::string dir = scratch("calls"), messages;
    EXPECT_EQ(assemble("calls", dir, messages), 1);
    EXPECT_EQ(messages, example("calls", "", 1)) << "the message the guide shows";
    EXPECT_NE(access((dir + "/calls.AMC").c_str(), F_OK), 0);
    run("rm -r " + dir);
}

TEST(Examples, MacrosAndLocalLabelsWalkFasterAndRest)
{
    Trace t = assemble_and_run("macros", "--ticks 26");
    std::vector<int> x = xs(t, 14), steps;
    for (size_t i = 0; i < x.size(); i++)
        steps.push_back(x[i] - (i ? x[i - 1] : 0));
    EXPECT_EQ(steps, (std::vector<int>{3, 3, 3, 3, 0, 0,  6,  6,  6,  6, 0, 0,  9,
                                       9, 9, 9, 0, 0, 10, 10, 10, 10, 0, 0, 10, 10}));
}

TEST(Examples, CodeIncludeGivesTwoProgramsOneRoutine)
{
    Trace t = assemble_and_run("include", "--ticks 40", {"steps.inc"});
    std::vector<int> director = xs(t, 14), walker = xs(t, 15);
    ASSERT_EQ(director.size(), 40u);
    ASSERT_EQ(walker.size(), 40u);
    for (int i = 0; i < 40; i++) {
        EXPECT_EQ(director[(size_t)i], i + 1);
        int leg = i % 20;  // ten ticks right, ten back
        EXPECT_EQ(walker[(size_t)i], leg < 10 ? 3 * (leg + 1) : 3 * (19 - leg)) << i;
    }
}

TEST(Examples, TablesGiveEachKindItsRowAndTheStreetItsCourse)
{
    Trace t = assemble_and_run("tables", "--level 1 --ticks 600");
    EXPECT_EQ(t.exit, 2) << "the course ends the level";
    struct Thug {
        int kind = 0, health = 0, frame = 0, step = 0, born = 0, gone = 0;
    };
    std::map<int, Thug> thugs;           // by the tick each was born, for the order
    std::map<int, int> born_at, last_x;  // by slot, while alive
    for (size_t i = 0; i < t.ticks.size(); i++) {
        std::set<int> alive;
        for (const auto& a : t.ticks[i].actors) {
            if (a.prog != 15)
                continue;
            alive.insert(a.slot);
            if (!born_at.count(a.slot)) {
                born_at[a.slot] = (int)i * 100 + a.slot;
                Thug& n = thugs[born_at[a.slot]];
                n = Thug{a.r[0], a.r[7], a.r[31], 0, (int)i, 0};
            } else {
                thugs[born_at[a.slot]].step = a.r[29] - last_x[a.slot];
            }
            last_x[a.slot] = a.r[29];
        }
        for (auto it = born_at.begin(); it != born_at.end();)
            if (!alive.count(it->first)) {
                thugs[it->second].gone = (int)i;
                it = born_at.erase(it);
            } else {
                ++it;
            }
    }
    std::vector<int> kinds;
    for (auto& [key, n] : thugs) {
        kinds.push_back(n.kind);
        const int health[] = {0, 40, 30, 90}, step[] = {0, -2, -3, -1}, frame[] = {0, 30, 40, 50};
        EXPECT_EQ(n.health, health[n.kind]) << n.kind;
        EXPECT_EQ(n.step, step[n.kind]) << n.kind;
        EXPECT_EQ(n.frame, frame[n.kind]) << n.kind;
    }
    ASSERT_EQ(kinds, (std::vector<int>{1, 1, 2, 3}));
    auto it = thugs.begin();
    int brawlers_gone = std::max(it->second.gone, std::next(it)->second.gone);
    EXPECT_GE(std::next(it, 2)->second.born, brawlers_gone)
        << "the course waits for a clear street";
}
