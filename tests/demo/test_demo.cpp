#include "input/demo.h"
#include "input/input.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Held {
    uint32_t count;
    uint16_t word;
};

class Demo : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/nwd-demo-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        demo_buffer_size = DEMO_DEFAULT_BUFFER_SIZE;
        demo_state = 0;
    }
    void TearDown() override
    {
        demo_free(image);
        demo_buffer_size = DEMO_DEFAULT_BUFFER_SIZE;
        std::filesystem::remove_all(dir);
    }
    std::string path(const char* name) const { return dir + "/" + name; }

    // Records the runs; returns how many frames were stored before the
    // recorder refused one.
    uint32_t record(const std::vector<Held>& runs)
    {
        image = demo_create(1234, 7, 3, 2);
        uint32_t stored = 0;
        for (const Held& r : runs)
            for (uint32_t i = 0; i < r.count; i++) {
                if (demo_record(r.word) != 0)
                    return stored;
                stored++;
            }
        return stored;
    }
    std::vector<uint16_t> run_words() const
    {
        std::vector<uint16_t> w;
        uint32_t n = demo_length(image);
        for (uint32_t i = DEMO_HEADER_SIZE; i + 1 < n; i += 2)
            w.push_back((uint16_t)(image->bytes[i] | image->bytes[i + 1] << 8));
        return w;
    }
    // Plays `img` out and returns every word up to the first 0 after the end.
    static std::vector<uint16_t> play_all(DemoImage* img, uint32_t limit = 1000000)
    {
        std::vector<uint16_t> out;
        demo_play_start(img);
        while (out.size() < limit) {
            uint16_t c = demo_play_next();
            if (demo_state & DEMO_ENDED) {
                EXPECT_EQ(c, 0);
                break;
            }
            out.push_back(c);
        }
        return out;
    }

    std::string dir;
    DemoImage* image = nullptr;
};

std::vector<uint8_t> file_bytes(const std::string& p)
{
    std::vector<uint8_t> b;
    FILE* f = fopen(p.c_str(), "rb");
    if (!f)
        return b;
    int c;
    while ((c = fgetc(f)) != EOF)
        b.push_back((uint8_t)c);
    fclose(f);
    return b;
}

void write_bytes(const std::string& p, const std::vector<uint8_t>& b)
{
    FILE* f = fopen(p.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fwrite(b.data(), 1, b.size(), f);
    fclose(f);
}

std::vector<uint8_t> header(uint32_t frames, uint32_t last_run)
{
    std::vector<uint8_t> b(20, 0);
    b[0] = 1;
    b[2] = 4;
    b[4] = 6;
    b[8] = 9;
    for (int i = 0; i < 4; i++) {
        b[12 + i] = (uint8_t)(frames >> 8 * i);
        b[16 + i] = (uint8_t)(last_run >> 8 * i);
    }
    return b;
}

}  // namespace

TEST_F(Demo, RecordingEncodesRuns)
{
    EXPECT_EQ(record({{10, 0}}), 10u);
    EXPECT_EQ(demo_state, DEMO_RECORDING);
    DemoHeader h = demo_header(image);
    EXPECT_EQ(h.frames, 10u);
    EXPECT_EQ(h.last_run, 0u);
    EXPECT_EQ(h.mode, 2);
    EXPECT_EQ(h.level, 3);
    EXPECT_EQ(h.skill, 7);
    EXPECT_EQ(h.seed, 1234u);
    EXPECT_EQ(demo_length(image), 24u);
    EXPECT_EQ(run_words(), (std::vector<uint16_t>{10, 0}));
    demo_free(image);

    // A held word splits at the longest run; a change always starts a run.
    EXPECT_EQ(record({{40000, 0x21}, {1, 0x21 | CTRL_DOWN}, {2, 0x21}}), 40003u);
    EXPECT_EQ(run_words(), (std::vector<uint16_t>{32767, 0x21, 7233, 0x21, 1, 0x23, 2, 0x21}));
    EXPECT_EQ(demo_header(image).last_run, 6u);
    EXPECT_EQ(demo_header(image).frames, 40003u);
}

TEST_F(Demo, SmallBufferTruncatesAtElevenRuns)
{
    demo_buffer_size = 101;
    std::vector<Held> alternating;
    for (int i = 0; i < 20; i++)
        alternating.push_back({3, (uint16_t)(i & 1 ? CTRL_KICK : CTRL_LEFT)});
    // Eleven runs of 3 are stored, and the word that would open a twelfth
    // ends the recording; frames of the last run may still grow before it.
    EXPECT_EQ(record(alternating), 33u);
    EXPECT_EQ(demo_state, DEMO_TRUNCATED);
    EXPECT_EQ(demo_header(image).last_run, 20u);
    EXPECT_EQ(demo_record(CTRL_LEFT), 1);
    EXPECT_EQ(demo_header(image).frames, 33u);
    EXPECT_EQ(play_all(image).size(), 33u);

    // Below the command line's limit the buffer still never overflows.
    demo_free(image);
    demo_buffer_size = 1;
    EXPECT_EQ(record(alternating), 3u);
    EXPECT_EQ(image->size, 24u);
}

TEST_F(Demo, PlaybackGivesEachWordItsCount)
{
    record({{3, 0x01}, {1, 0x02}, {32767, 0x04}, {5, 0x04}});
    std::vector<uint16_t> got = play_all(image);
    ASSERT_EQ(got.size(), 3u + 1 + 32767 + 5);
    EXPECT_EQ(got[2], 0x01);
    EXPECT_EQ(got[3], 0x02);
    EXPECT_EQ(got.back(), 0x04);
    EXPECT_EQ(demo_position.played, 32776u);
    // Ended stays ended; starting again rewinds.
    EXPECT_EQ(demo_play_next(), 0);
    EXPECT_EQ(demo_state, DEMO_PLAYING | DEMO_ENDED);
    demo_play_start(image);
    EXPECT_EQ(demo_state, DEMO_PLAYING);
    EXPECT_EQ(demo_play_next(), 0x01);
}

TEST_F(Demo, SaveAndLoadGiveBackEveryByte)
{
    demo_buffer_size = 4096;
    record({{5, 0x10}, {7, 0x20}, {2, 0}});
    std::vector<uint8_t> want(image->bytes, image->bytes + 32);
    ASSERT_EQ(demo_save(image, path("D").c_str()), 0);
    EXPECT_EQ(demo_state & DEMO_RECORDING, 0);
    std::vector<uint8_t> got = file_bytes(path("D"));
    EXPECT_EQ(got, want);
    EXPECT_EQ(got[6] | got[7], 0);
    EXPECT_FALSE(std::filesystem::exists(path("D.tmp")));

    DemoImage* loaded = demo_load(path("D").c_str());
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(loaded->bytes, loaded->bytes + loaded->size), want);
    EXPECT_EQ(play_all(loaded), play_all(image));
    demo_free(loaded);

    // An existing file is replaced whole; a path that cannot be created
    // fails and leaves nothing behind.
    write_bytes(path("E"), std::vector<uint8_t>(500, 0xAA));
    ASSERT_EQ(demo_save(image, path("E").c_str()), 0);
    EXPECT_EQ(file_bytes(path("E")), want);
    EXPECT_EQ(demo_save(image, path("no/such/dir").c_str()), 1);
    EXPECT_EQ(demo_save(nullptr, path("F").c_str()), 1);
}

TEST_F(Demo, LoadRefusesWhatIsNotADemo)
{
    EXPECT_EQ(demo_load(path("missing").c_str()), nullptr);
    EXPECT_EQ(demo_load(dir.c_str()), nullptr);
    write_bytes(path("short"), std::vector<uint8_t>(19, 0));
    EXPECT_EQ(demo_load(path("short").c_str()), nullptr);
    write_bytes(path("bare"), header(0, 0));
    image = demo_load(path("bare").c_str());
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(play_all(image).empty());
}

TEST_F(Demo, MalformedFilesPlayWithinTheirBytes)
{
    // Runs are bounded by the bytes, not by what the header claims.
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        std::vector<uint16_t> want;
    };
    auto with = [](std::vector<uint8_t> b, std::vector<uint8_t> tail) {
        b.insert(b.end(), tail.begin(), tail.end());
        return b;
    };
    std::vector<Case> cases = {
        {"cut after the count word", with(header(5, 2), {1, 0, 8, 0, 2, 0}), {8, 0, 0}},
        {"cut inside the count word", with(header(5, 2), {1, 0, 8, 0, 2}), {8}},
        {"header promises more", with(header(99, 0), {2, 0, 4, 0}), {4, 4}},
        {"header promises less", with(header(1, 0), {2, 0, 4, 0}), {4}},
        {"empty runs are passed over", with(header(3, 4), {0, 0, 1, 0, 0, 0, 9, 0, 2, 0, 5, 0}), {5, 5}},
        {"count beyond the longest run", with(header(70000, 0), {0xFF, 0xFF, 3, 0}), {}},
    };
    for (Case& c : cases) {
        demo_free(image);
        image = demo_from_bytes(c.bytes.data(), c.bytes.size());
        ASSERT_NE(image, nullptr) << c.what;
        std::vector<uint16_t> got = play_all(image);
        if (c.want.empty())
            EXPECT_EQ(got.size(), 65535u) << c.what;
        else
            EXPECT_EQ(got, c.want) << c.what;
    }
}

TEST_F(Demo, FreeingDropsEveryReference)
{
    record({{2, 1}});
    last_game_demo = image;
    builtin_demos[1] = image;
    demo_free(image);
    image = nullptr;
    EXPECT_EQ(active_demo, nullptr);
    EXPECT_EQ(last_game_demo, nullptr);
    EXPECT_EQ(builtin_demos[1], nullptr);
    EXPECT_EQ(demo_state, 0);
    EXPECT_EQ(demo_record(1), 1);
    demo_free(nullptr);
}
