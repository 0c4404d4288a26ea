// A game recorded tick by tick and replayed from its file must give the same
// world after every tick, in process and through the simulator.
#include "engine/actor.h"
#include "engine/amc.h"
#include "engine/amc_ops.h"
#include "engine/amc_vm.h"
#include "engine/sim.h"
#include "input/demo.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

class Replay : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/nwd-replay-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        // Idle programs 0..13; the director (14) folds a random number and
        // the controls into the score every tick, so a word played on the
        // wrong tick or a wrong seed changes every later state.
        std::vector<std::vector<int>> progs(15, {OP_YIELD, OP_JUMP, 0});
        progs[14] = {OP_RANDOM, 7, ALU_LOAD, OP_GLOBAL, 31, ALU_ADD, OP_GLOBAL, 20, ALU_ADD,
                     OP_GLOBAL, 20, ALU_STORE, OP_YIELD, OP_JUMP, 0};
        std::string s = "AMC";
        auto put = [&](int w) { s += (char)(w & 0xFF), s += (char)((w >> 8) & 0xFF); };
        for (auto& p : progs) {
            put((int)p.size());
            for (int w : p)
                put(w);
        }
        put(0);
        write(path("G.AMC"), s);
        amc_unload_all();
        amc_vm_reset();
        ASSERT_EQ(amc_load(path("G.AMC").c_str()), 0);
    }
    void TearDown() override
    {
        amc_unload_all();
        std::filesystem::remove_all(dir);
    }
    std::string path(const char* n) const { return dir + "/" + n; }
    static void write(const std::string& p, const std::string& bytes)
    {
        FILE* f = fopen(p.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
    }
    std::string dir;
};

std::string read_file(const std::string& p)
{
    std::string s;
    FILE* f = fopen(p.c_str(), "rb");
    if (!f)
        return s;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        s.append(buf, n);
    fclose(f);
    return s;
}

int run_sim(const std::string& args, std::string* out)
{
    std::string cmd = std::string(NWD_SIM_PATH) + " " + args + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    char buf[4096];
    size_t n;
    out->clear();
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out->append(buf, n);
    int st = pclose(p);
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

// Held words of varying length, as a player's would be.
std::vector<uint16_t> scripted_controls(size_t n)
{
    std::vector<uint16_t> c;
    uint32_t x = 12345;
    while (c.size() < n) {
        x = x * 1103515245u + 12345u;
        uint16_t w = (uint16_t)((x >> 16) & 0x3F);
        size_t len = 1 + (x >> 8) % 40;
        for (size_t i = 0; i < len && c.size() < n; i++)
            c.push_back(w);
    }
    return c;
}

}  // namespace

TEST_F(Replay, RecordedGameReplaysTickForTick)
{
    const size_t n = 3000;
    std::vector<uint16_t> script = scripted_controls(n);
    SimOptions o;
    o.level = 2, o.mode = 3, o.skill = 9, o.seed = 0x5EED;

    static SimTrace rec;
    rec = SimTrace();
    rec.hash = true;
    rec.out = fopen(path("rec.trace").c_str(), "w");
    std::vector<uint64_t> hashes;
    sim_start(o);
    DemoImage* d = demo_create((uint32_t)o.seed, o.skill, o.level, o.mode);
    ASSERT_NE(d, nullptr);
    for (size_t t = 1; t <= n; t++) {
        if (demo_state & DEMO_RECORDING)
            demo_record(script[t - 1]);
        sim_tick(rec, (uint32_t)t, (int16_t)script[t - 1]);
        hashes.push_back(rec.fnv);
    }
    sim_trace_flush(rec);
    fclose(rec.out);
    ASSERT_EQ(demo_save(d, path("D").c_str()), 0);
    demo_free(d);

    // In process, from the file's header and runs.
    DemoImage* loaded = demo_load(path("D").c_str());
    ASSERT_NE(loaded, nullptr);
    DemoHeader h = demo_header(loaded);
    SimOptions p;
    p.level = h.level, p.mode = h.mode, p.skill = h.skill, p.seed = (int32_t)h.seed;
    static SimTrace play;
    play = SimTrace();
    play.hash = true;
    amc_vm_reset();
    sim_start(p);
    demo_play_start(loaded);
    size_t t = 0;
    while (!(demo_state & DEMO_ENDED) && t <= n) {
        uint16_t c = demo_play_next();
        sim_tick(play, (uint32_t)++t, (int16_t)c);
        if (t <= n) {
            ASSERT_EQ(play.fnv, hashes[t - 1]) << "tick " << t;
        }
    }
    // The tick that finds the demo spent still runs, with controls 0.
    EXPECT_EQ(t, n + 1);
    demo_free(loaded);

    // Through the simulator: the recorded trace is the replay's prefix.
    std::string out;
    ASSERT_EQ(run_sim("--amc " + path("G.AMC") + " --demo " + path("D") + " --ticks 100000 --trace " +
                          path("play.trace"),
                      &out),
              0)
        << out;
    std::string want = read_file(path("rec.trace"));
    std::string got = read_file(path("play.trace"));
    ASSERT_GT(got.size(), want.size());
    EXPECT_TRUE(got.compare(0, want.size(), want) == 0);
    EXPECT_EQ(got.compare(want.size(), 7, "T 3001 "), 0);
}

TEST_F(Replay, SimulatorRefusesBadDemoUse)
{
    write(path("short"), std::string(19, '\0'));
    std::string out;
    EXPECT_EQ(run_sim("--amc " + path("G.AMC") + " --demo " + path("short"), &out), 2);
    EXPECT_EQ(out, "error in demo_load()\n");
    EXPECT_EQ(run_sim("--amc " + path("G.AMC") + " --demo " + path("missing"), &out), 2);
    write(path("c"), "1\n");
    EXPECT_EQ(run_sim("--amc " + path("G.AMC") + " --demo " + path("short") + " --controls " + path("c"), &out), 2);

    // A header alone: one tick with controls 0, then the end; --ticks cuts a
    // longer demo short.
    std::string bare(20, '\0');
    bare[12] = 0;
    write(path("bare"), bare);
    ASSERT_EQ(run_sim("--amc " + path("G.AMC") + " --demo " + path("bare"), &out), 0);
    EXPECT_EQ(out.find("T 2 "), std::string::npos);
    EXPECT_EQ(out.compare(0, 4, "T 1 "), 0);
    std::string ten = std::string(12, '\0') + std::string("\x0a\0\0\0\0\0\0\0\x0a\0\x21\0", 12);
    write(path("ten"), ten);
    ASSERT_EQ(run_sim("--amc " + path("G.AMC") + " --demo " + path("ten") + " --ticks 4", &out), 0);
    EXPECT_NE(out.find("T 4 "), std::string::npos);
    EXPECT_EQ(out.find("T 5 "), std::string::npos);
}
