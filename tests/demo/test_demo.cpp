#include "engine/amc.h"
#include "engine/amc_vm.h"
#include "engine/sim.h"
#include "demo_programs.h"
#include "input/demo.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <vector>

using Words = std::vector<uint16_t>;

static std::string read_file(const std::string& p)
{
    std::string s;
    if (FILE* f = fopen(p.c_str(), "rb")) {
        for (int c; (c = fgetc(f)) != EOF;)
            s += (char)c;
        fclose(f);
    }
    return s;
}

static void write_file(const std::string& p, const std::string& bytes)
{
    FILE* f = fopen(p.c_str(), "wb");
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

class Demo : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/nwd-demo-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        demo_buffer_size = DEMO_DEFAULT_BUFFER_SIZE;
    }
    void TearDown() override
    {
        demo_free(image);
        amc_unload_all();
        std::filesystem::remove_all(dir);
    }
    std::string path(const char* name) const { return dir + "/" + name; }

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
        for (uint16_t c; (c = demo_play_next()), !(demo_state & DEMO_ENDED);)
            out.push_back(c);
        EXPECT_EQ(demo_play_next(), 0);
        return out;
    }

    std::string dir;
    DemoImage* image = nullptr;
};

TEST_F(Demo, RecordingEncodesRuns)
{
    EXPECT_EQ(record({{10, 0}}), 10u);
    EXPECT_EQ(demo_state, DEMO_RECORDING);
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
    demo_buffer_size = 101;
    std::vector<std::pair<uint32_t, uint16_t>> alternating;
    for (int i = 0; i < 20; i++)
        alternating.push_back({3, (uint16_t)(i & 1 ? 0x10 : 0x04)});
    EXPECT_EQ(record(alternating), 33u);
    EXPECT_EQ(demo_state, DEMO_TRUNCATED);
    EXPECT_EQ(demo_record(0x04), 1);
    EXPECT_EQ(play_all(image).size(), 33u);
    // Below the command line's limit the buffer still never overflows.
    demo_buffer_size = 1;
    EXPECT_EQ(record(alternating), 3u);
}

TEST_F(Demo, FilesGiveBackEveryByte)
{
    record({{5, 0x10}, {7, 0x20}, {2, 0}});
    std::string want((char*)image->bytes, 32);
    write_file(path("D"), std::string(500, 'x'));  // replaced whole
    ASSERT_EQ(demo_save(image, path("D").c_str()), 0);
    EXPECT_EQ(demo_state & DEMO_RECORDING, 0);
    EXPECT_EQ(read_file(path("D")), want);
    EXPECT_FALSE(std::filesystem::exists(path("D.tmp")));
    DemoImage* loaded = demo_load(path("D").c_str());
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(std::string((char*)loaded->bytes, loaded->size), want);
    demo_free(loaded);
    EXPECT_EQ(demo_save(image, path("no/dir").c_str()), 1);
    // Not demos: missing, a folder, shorter than the header.
    write_file(path("short"), want.substr(0, 19));
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
        {file(5, 2, std::string("\1\0\10\0\2\0", 6)), {8, 0, 0}},  // cut after a count
        {file(5, 2, std::string("\1\0\10\0\2", 5)), {8}},          // cut inside a count
        {file(99, 0, std::string("\2\0\4\0", 4)), {4, 4}},         // promises more
        {file(1, 0, std::string("\2\0\4\0", 4)), {4}},             // promises less
        {file(3, 4, std::string("\0\0\1\0\0\0\11\0\2\0\5\0", 12)), {5, 5}},  // empty runs
    };
    for (auto& [bytes, want] : cases) {
        demo_free(image);
        // Exactly the file's bytes: the sanitizer build catches reads past them.
        image = demo_from_bytes(bytes.data(), bytes.size());
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(play_all(image), want) << bytes.size() << " bytes";
    }
    last_game_demo = builtin_demos[1] = image;
    demo_free(image);
    image = nullptr;
    EXPECT_EQ(active_demo, nullptr);
    EXPECT_EQ(last_game_demo, nullptr);
    EXPECT_EQ(builtin_demos[1], nullptr);
}

// A game recorded tick by tick, replayed from its file by the simulator,
// gives the same world after every tick.
TEST_F(Demo, RecordedGameReplaysTickForTick)
{
    ASSERT_TRUE(write_replay_programs(path("G.AMC")));
    amc_unload_all();
    amc_vm_reset();
    ASSERT_EQ(amc_load(path("G.AMC").c_str()), 0);

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
    std::string cmd = std::string(NWD_SIM_PATH) + " --amc " + path("G.AMC") + " --ticks 10000 --demo ";
    ASSERT_EQ(system((cmd + path("D") + " --trace " + path("play.trace")).c_str()), 0);
    std::string want = read_file(path("rec.trace"));
    std::string got = read_file(path("play.trace"));
    EXPECT_EQ(got.substr(0, want.size()), want);
    EXPECT_EQ(got.compare(want.size(), 7, "T 3001 "), 0);
    EXPECT_EQ(got.find("T 3002 "), std::string::npos);

    write_file(path("short"), "0123456789012345678");
    FILE* p = popen((cmd + path("short") + " 2>&1").c_str(), "r");
    std::string out;
    for (int c; (c = fgetc(p)) != EOF;)
        out += (char)c;
    EXPECT_EQ(WEXITSTATUS(pclose(p)), 2);
    EXPECT_EQ(out, "error in demo_load()\n");
}
