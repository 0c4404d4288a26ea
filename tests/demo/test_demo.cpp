#include "demo/state.h"
#include "demo_programs.h"
#include "engine/actor.h"
#include "engine/amc.h"
#include "engine/amc_vm.h"
#include "engine/sim.h"
#include "engine/world_hash.h"
#include "tests/files.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using Words = std::vector<uint16_t>;

using testfiles::slurp;
using testfiles::spit;

class Demo : public ::testing::Test {
protected:
    void SetUp() override { demos_state_reset(); }
    void TearDown() override
    {
        demo_free(image);
        amc_unload_all();
    }
    std::string path(const char* name) const { return scratch / name; }
    void load_replay_programs()
    {
        ASSERT_TRUE(write_replay_programs(path("G.AMC")));
        amc_unload_all();
        amc_vm_reset();
        ASSERT_EQ(amc_load(path("G.AMC").c_str()), 0);
    }

    // Records (count, word) pairs; returns the frames stored before a refusal.
    uint32_t record(const std::vector<std::pair<uint32_t, uint16_t>>& held)
    {
        demo_free(image);
        image = demo_create(1234, 7, 3, 2);
        uint32_t stored = 0;
        for (auto [count, word] : held)
            for (uint32_t i = 0; i < count; i++, stored++)
                if (demo_record(word) != 0)
                    return stored;
        return stored;
    }
    Words stored_words() const
    {
        Words w;
        for (uint32_t i = DEMO_HEADER_SIZE; i + 1 < demo_length(image); i += 2)
            w.push_back((uint16_t)(image->bytes[i] | image->bytes[i + 1] << 8));
        return w;
    }
    // Every word up to the end; the call that ends must give 0.
    static Words play_all(DemoImage* img)
    {
        Words out;
        demo_play_start(img);
        for (uint16_t c; (c = demo_play_next()), !(demos.state & DEMO_ENDED);)
            out.push_back(c);
        EXPECT_EQ(demo_play_next(), 0);
        return out;
    }

    testfiles::Scratch scratch;
    const std::string dir = scratch.dir;
    DemoImage* image = nullptr;
};

TEST_F(Demo, RecordingEncodesRuns)
{
    EXPECT_EQ(record({{10, 0}}), 10u);
    EXPECT_EQ(demos.state, DEMO_RECORDING);
    DemoHeader h = demo_header(image);
    EXPECT_EQ(h.mode * 10000 + h.level * 100 + h.skill, 20307);
    EXPECT_EQ(h.seed, 1234u);
    EXPECT_EQ(h.frames, 10u);
    EXPECT_EQ(demo_length(image), 24u);
    EXPECT_EQ(stored_words(), (Words{10, 0}));

    // A held word splits at the longest run; a change always starts a run.
    EXPECT_EQ(record({{40000, 0x21}, {1, 0x23}, {2, 0x21}}), 40003u);
    EXPECT_EQ(stored_words(), (Words{32767, 0x21, 7233, 0x21, 1, 0x23, 2, 0x21}));
    Words played = play_all(image);
    ASSERT_EQ(played.size(), 40003u);
    EXPECT_EQ(played[40000], 0x23);
    EXPECT_EQ(played[40002], 0x21);
}

TEST_F(Demo, SmallBufferTruncatesAtElevenRuns)
{
    demos.buffer_size = 101;
    std::vector<std::pair<uint32_t, uint16_t>> alternating;
    for (int i = 0; i < 20; i++)
        alternating.push_back({3, (uint16_t)(i & 1 ? 0x10 : 0x04)});
    EXPECT_EQ(record(alternating), 33u);
    EXPECT_EQ(demos.state, DEMO_TRUNCATED);
    EXPECT_EQ(demo_record(0x04), 1);
    EXPECT_EQ(play_all(image).size(), 33u);
    // Below the command line's limit the buffer still never overflows.
    demos.buffer_size = 1;
    EXPECT_EQ(record(alternating), 3u);
}

TEST_F(Demo, FilesGiveBackEveryByte)
{
    record({{5, 0x10}, {7, 0x20}, {2, 0}});
    std::string want((char*)image->bytes, 32);
    spit(path("D"), std::string(500, 'x'));  // replaced whole
    ASSERT_EQ(demo_save(image, path("D").c_str()), 0);
    EXPECT_EQ(demos.state & DEMO_RECORDING, 0);
    EXPECT_EQ(slurp(path("D")), want);
    EXPECT_FALSE(std::filesystem::exists(path("D.tmp")));
    DemoImage* loaded = demo_load(path("D").c_str());
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(std::string((char*)loaded->bytes, loaded->size), want);
    demo_free(loaded);
    EXPECT_EQ(demo_save(image, path("no/dir").c_str()), 1);
    // Not demos: missing, a folder, shorter than the header.
    spit(path("short"), want.substr(0, 19));
    for (std::string p : {path("missing"), dir, path("short")})
        EXPECT_EQ(demo_load(p.c_str()), nullptr) << p;
}

TEST_F(Demo, MalformedFilesPlayWithinTheirBytes)
{
    // Header: frames at 12, last run index at 16; then the runs.
    auto file = [](uint8_t frames, uint8_t last, std::string runs) {
        std::string b(20, '\0');
        b[12] = (char)frames, b[16] = (char)last;
        return b + runs;
    };
    const std::pair<std::string, Words> cases[] = {
        {file(5, 0, ""), {}},
        {file(5, 2, std::string("\1\0\10\0\2\0", 6)), {8, 0, 0}},            // cut after a count
        {file(5, 2, std::string("\1\0\10\0\2", 5)), {8}},                    // cut inside a count
        {file(99, 0, std::string("\2\0\4\0", 4)), {4, 4}},                   // promises more
        {file(1, 0, std::string("\2\0\4\0", 4)), {4}},                       // promises less
        {file(3, 4, std::string("\0\0\1\0\0\0\11\0\2\0\5\0", 12)), {5, 5}},  // empty runs
    };
    for (auto& [bytes, want] : cases) {
        demo_free(image);
        // Exactly the file's bytes: the sanitizer build catches reads past them.
        image = demo_from_bytes(bytes.data(), bytes.size());
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(play_all(image), want) << bytes.size() << " bytes";
    }
    demos.last_game = demos.builtin[1] = image;
    demo_free(image);
    image = nullptr;
    EXPECT_EQ(demos.active, nullptr);
    EXPECT_EQ(demos.last_game, nullptr);
    EXPECT_EQ(demos.builtin[1], nullptr);
}

// A game recorded tick by tick, replayed from its file by the simulator,
// gives the same world after every tick.
TEST_F(Demo, RecordedGameReplaysTickForTick)
{
    load_replay_programs();

    Words script;  // held words of varying length, as a player's would be
    for (uint32_t x = 12345; script.size() < 3000;) {
        x = x * 1103515245u + 12345u;
        script.insert(script.end(), 1 + (x >> 8) % 40, (uint16_t)((x >> 16) & 0x3F));
    }
    SimOptions o;
    o.level = 2, o.mode = 3, o.skill = 9, o.seed = 0x5EED;
    static SimTrace rec;
    rec.out = fopen(path("rec.trace").c_str(), "w");
    sim_start(o);
    image = demo_create((uint32_t)o.seed, o.skill, o.level, o.mode);
    for (uint32_t t = 1; t <= 3000; t++) {
        demo_record(script[t - 1]);
        sim_tick(rec, t, (int16_t)script[t - 1]);
    }
    sim_trace_flush(rec);
    fclose(rec.out);
    ASSERT_EQ(demo_save(image, path("D").c_str()), 0);

    // The recorded trace is the replay's prefix; the tick that finds the
    // demo spent still runs, with controls 0, and is the last.
    std::string cmd =
        std::string(NWD_SIM_PATH) + " --amc " + path("G.AMC") + " --ticks 10000 --demo ";
    ASSERT_EQ(system((cmd + path("D") + " --trace " + path("play.trace")).c_str()), 0);
    std::string want = slurp(path("rec.trace"));
    std::string got = slurp(path("play.trace"));
    EXPECT_EQ(got.substr(0, want.size()), want);
    EXPECT_EQ(got.compare(want.size(), 7, "T 3001 "), 0);
    EXPECT_EQ(got.find("T 3002 "), std::string::npos);

    spit(path("short"), "0123456789012345678");
    std::string out;
    EXPECT_EQ(testfiles::output_of(cmd + path("short") + " 2>&1", out), 2);
    EXPECT_NE(out.find("short: not a demo"), std::string::npos) << out;
}

// Only what a script can observe is hashed, laid out as docs/demos.md says.
TEST_F(Demo, WorldHashCoversWhatScriptsCanSee)
{
    load_replay_programs();
    amc_seed(77);
    ASSERT_EQ(actor_spawn(PROGRAM_DIRECTOR), 1);
    uint8_t bytes[WORLD_BYTES_MAX];
    size_t n = world_bytes(bytes);
    EXPECT_EQ(n, 4 + 64 + 16 + 2 + 2 * 62 + 64 * 64 + 22u);
    EXPECT_EQ(world_hash(), XXH3_64bits(bytes, n));
    EXPECT_EQ(bytes[0], 77);
    EXPECT_EQ(bytes[4 + 64 + 16], 62);                       // free count, then the free stack
    EXPECT_EQ(bytes[n - 22], PROGRAM_DIRECTOR);              // slot 1's program
    EXPECT_EQ(bytes[n - 22 - 4096 + 64 + 2 * REG_SELF], 1);  // slot 1's self

    const uint64_t h = world_hash();
    auto changes = [&](auto& field, auto value) {
        auto old = field;
        field = value;
        bool changed = world_hash() != h;
        field = old;
        return changed;
    };
    Actor& free_slot = actor_table.slots[9];
    EXPECT_TRUE(changes(free_slot.regs[3], (int16_t)5));   // scripts reach any slot
    EXPECT_TRUE(changes(amc_args.values[7], (int16_t)5));  // a MOVE may read old arguments
    EXPECT_TRUE(changes(actor_table.slots[1].move_rem_y, (int16_t)1));
    EXPECT_FALSE(changes(free_slot.resume_pc, 40));                 // reset when the slot is taken
    EXPECT_FALSE(changes(amc_args.count, (int16_t)3));              // reset before every pass
    EXPECT_FALSE(changes(actor_table.free_stack[62], (int16_t)9));  // above the count
}

// What the game writes through NWD_DEMO_TRACE for a demo that the player
// ended: its settings, the hash after every tick, its end.
static std::string game_trace(const std::vector<uint64_t>& hashes, int16_t score, int outcome)
{
    char line[80];
    std::string t = "game level=2 mode=3 skill=9 seed=24301 sound=on\n";
    for (size_t i = 0; i < hashes.size(); i++) {
        snprintf(line, sizeof line, "tick %zu %016llx\n", i + 1, (unsigned long long)hashes[i]);
        t += line;
    }
    snprintf(line, sizeof line, "end score=%d outcome=%d ticks=%zu\n", score, outcome,
             hashes.size());
    return t + line;
}

class Verify : public Demo {
protected:
    // Records 300 ticks of varying words and the world after each, as the
    // game does, and one tick more with controls 0, as its replay does.
    void SetUp() override
    {
        Demo::SetUp();
        load_replay_programs();
        SimOptions o;
        o.level = 2, o.mode = 3, o.skill = 9, o.seed = 24301;
        sim_start(o);
        image = demo_create((uint32_t)o.seed, o.skill, o.level, o.mode);
        for (int t = 0; t <= 300; t++) {
            uint16_t c = t == 300 ? 0 : (uint16_t)((t / 7 * 13) & 0x3F);
            if (t < 300)
                demo_record(c);
            sim_step((int16_t)c, true);
            hashes.push_back(world_hash());
            scores.push_back(amc_globals[GLOBAL_SCORE]);
        }
        ASSERT_EQ(demo_save(image, path("D").c_str()), 0);
    }
    int verify(const std::string& trace, std::string* out)
    {
        spit(path("T"), trace);
        std::string cmd = std::string(NWD_SIM_PATH) + " --amc " + path("G.AMC") + " --demo " +
                          path("D") + " --game --verify " + path("T") + " 2>&1";
        return testfiles::output_of(cmd, *out);
    }
    std::vector<uint64_t> hashes;
    std::vector<int16_t> scores;
};

TEST_F(Verify, NamesTheFirstDifferingTick)
{
    std::vector<uint64_t> rec(hashes.begin(), hashes.end() - 1);
    std::string out;
    // A recording holds one tick fewer than its replay: both agree.
    EXPECT_EQ(verify(game_trace(rec, scores[299], -1), &out), 0);
    EXPECT_EQ(out,
              "verified 300 ticks: end score=" + std::to_string(scores[299]) + " outcome=-1\n");
    EXPECT_EQ(verify(game_trace(hashes, scores[300], -1), &out), 0) << out;

    std::vector<uint64_t> bad = rec;
    bad[122] ^= 1;
    EXPECT_EQ(verify(game_trace(bad, scores[299], -1), &out), 1);
    char head[120];
    snprintf(head, sizeof head,
             "tick 123 (level row 2) differs: expected %016llx, got %016llx\nT 122 ",
             (unsigned long long)bad[122], (unsigned long long)rec[122]);
    EXPECT_EQ(out.substr(0, strlen(head)), head);
    EXPECT_NE(out.find("\nT 123 "), std::string::npos);
    EXPECT_EQ(out.find("\nT 124 "), std::string::npos);

    EXPECT_EQ(verify(game_trace(rec, (int16_t)(scores[299] + 1), -1), &out), 1);
    EXPECT_EQ(out.rfind("end differs: ", 0), 0u) << out;
    EXPECT_EQ(verify(game_trace(rec, scores[299], 0), &out), 1);  // the scripts did not end it
    bad.assign(rec.begin(), rec.begin() + 250);
    EXPECT_EQ(verify(game_trace(bad, scores[249], -1), &out), 1);
    EXPECT_EQ(out.rfind("tick 251 (level row 2) differs: the game ended after tick 250", 0), 0u)
        << out;
    bad = hashes;
    bad.push_back(1);
    EXPECT_EQ(verify(game_trace(bad, 0, -1), &out), 1);
    EXPECT_EQ(out.rfind("tick 302 differs: this run ended after tick 301", 0), 0u) << out;
}

TEST_F(Verify, DamagedTracesAreRefused)
{
    std::string good = game_trace({hashes[0], hashes[1], hashes[2]}, 0, -1);
    std::string tick2 = good.substr(good.find("tick 2"), good.find("tick 3") - good.find("tick 2"));
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string t = good;
        return t.replace(t.find(from), from.size(), to);
    };
    const std::pair<std::string, std::string> cases[] = {
        {"", ":1: no end line"},
        {good.substr(0, good.find("end")), ":5: no end line"},
        {replaced(tick2, ""), ":3: expected 'tick 2 "},
        {replaced(tick2, tick2.substr(0, 20) + "\n"), ":3: expected 'tick 2 "},
        {replaced(tick2, "tick 2 " + std::string(16, 'G') + "\n"), ":3: expected 'tick 2 "},
        {replaced("game", std::string("\0\xff", 2)), ":1: not a line"},
        {std::string(300, 'x'), ":1: not a line"},
        {good + good, ":6: text after the end line"},
        {replaced("ticks=3", "ticks=4"), ":5: the end line's tick count"},
        {replaced("score=0", "score=99999"), ":5: expected 'end score="},
        {replaced("sound=on", "sound=loud"), ":1: expected 'game level="},
        {replaced("seed=24301", "seed=24302"),
         ":1: a game of level 2, mode 3, skill 9, seed 24302"},
    };
    std::string out;
    for (auto& [trace, msg] : cases) {
        EXPECT_EQ(verify(trace, &out), 2) << trace;
        EXPECT_EQ(out.rfind("nwd-sim: " + path("T") + msg, 0), 0u) << out;
    }
}
