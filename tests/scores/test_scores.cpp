#include <allegro.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "game/scores.h"
#include "game/state.h"
#include "gfx/display.h"
#include "gfx/state.h"
#include "input/state.h"
#include "tests/files.h"

namespace {

std::vector<uint16_t> all_scores()
{
    std::vector<uint16_t> s;
    for (auto& t : game.score_tables)
        for (auto& e : t)
            s.push_back(e.score);
    return s;
}

class Scores : public testing::Test {
protected:
    testfiles::Scratch dir;
    std::string file = dir / "SCORES";
    BITMAP *got = nullptr, *want = nullptr;
    FONT* other = nullptr;  // draws each character as the one before it
    static void SetUpTestSuite() { install_allegro(SYSTEM_NONE, &errno, atexit); }
    void SetUp() override
    {
        game_state_reset();
        ASSERT_FALSE(dir.dir.empty());
        got = create_bitmap_ex(8, PICTURE_W, PICTURE_H), clear_bitmap(got);
        want = create_bitmap_ex(8, PICTURE_W, PICTURE_H), clear_bitmap(want);
        transpose_font(other = extract_font_range(font, -1, -1), 1);
    }
    void TearDown() override { destroy_bitmap(got), destroy_bitmap(want), destroy_font(other); }
    void write(const std::string& bytes) { std::ofstream(file, std::ios::binary) << bytes; }
    void text(FONT* f, const char* s, int x, int y) { textout_ex(want, f, s, x, y, -1, -1); }
    bool same_line(int y)
    {  // rows y..y+9 of both pictures
        for (int j = y; j < y + 10; j++)
            for (int i = 0; i < PICTURE_W; i++)
                if (getpixel(got, i, j) != getpixel(want, i, j))
                    return false;
        return true;
    }
};

TEST_F(Scores, RankingInsertionAndTies)
{
    EXPECT_FALSE(score_qualifies(1, 1000));  // equal to the tenth
    EXPECT_TRUE(score_qualifies(1, 1001));
    EXPECT_EQ(best_score(7), 21670);              // unknown modes use the arcade table
    for (int row = 0; row < SCORE_ROWS; row++) {  // just above each row
        scores_reset();
        EXPECT_EQ(score_insert(2, game.score_tables[1][row].score + 1, 9), row);
        EXPECT_EQ(game.score_tables[1][row].name[0], 0);
        for (int r = 1; r < SCORE_ROWS; r++)
            EXPECT_GE(game.score_tables[1][r - 1].score, game.score_tables[1][r].score);
    }
    scores_reset();
    EXPECT_EQ(score_insert(1, 1000, 5), SCORE_NO_PLACE);
    EXPECT_EQ(score_insert(1, 8000, 4), 3);  // a tie goes below
    EXPECT_STREQ(game.score_tables[0][2].name, "T.K");
    EXPECT_EQ(game.score_tables[0][9].score, 2000);
    EXPECT_EQ(score_insert(1, 65535, 5), 0);         // unsigned
    EXPECT_EQ(game.score_tables[1][3].score, 7000);  // other tables untouched
}

TEST_F(Scores, FileRoundTripAndOldFiles)
{
    score_insert(3, 9000, -3);
    std::memcpy(game.score_tables[2][2].name, "ABC", 4);
    auto saved = all_scores();
    ASSERT_EQ(scores_write(file.c_str()), 0);
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_EQ(bytes.size(), 240u);
    EXPECT_EQ(bytes.substr(176, 8), std::string("\x28\x23"
                                                "ABC\0\xfd\xff",
                                                8));
    scores_reset();
    ASSERT_EQ(scores_read(file.c_str()), 0);
    EXPECT_EQ(all_scores(), saved);
    EXPECT_EQ(game.score_tables[2][2].skill, -3);

    write(bytes.substr(0, 160).replace(0, 2, "\x01\x00", 2));  // no third table
    scores_reset();
    ASSERT_EQ(scores_read(file.c_str()), 0);
    EXPECT_EQ(best_score(1), 1);
    EXPECT_EQ(game.score_tables[2][2].score, 8000);
}

TEST_F(Scores, BadFilesChangeNothing)
{
    auto initial = all_scores();
    EXPECT_EQ(scores_read(file.c_str()), 1);  // missing
    for (size_t size : {0, 159, 161, 239, 241, 1 << 20}) {
        write(std::string(size, '\x7f'));
        EXPECT_EQ(scores_read(file.c_str()), 2) << size;
    }
    std::remove(file.c_str());
    ASSERT_EQ(mkdir(file.c_str(), 0700), 0);  // a folder by that name
    EXPECT_EQ(scores_read(file.c_str()), 2);
    EXPECT_EQ(scores_write((dir / "none/SCORES").c_str()), 1);
    EXPECT_EQ(all_scores(), initial);
}

TEST_F(Scores, TableRowsWithHighlightSkillsAndOddNames)
{
    std::memcpy(game.score_tables[1][4].name, "\xff\x01Zq", 4);  // no NUL, unprintable
    game.score_tables[1][0].skill = 12, game.score_tables[1][1].skill = 8,
    game.score_tables[1][2].skill = 50;
    draw_score_table(2, 3, got, 56, 50, font, other, font, other);
    text(other, "BEST 10 SCORES - SURVIVAL", 56, 50);
    EXPECT_TRUE(same_line(50));
    const char* names[] = {"NWD", "ZEK", "T.K", "D.L", "??Z", "---", "---", "---", "---", "---"};
    const char* skills[] = {"MASTER", "MASTER", "",       "HARDEST", "HARD",
                            "HARD",   "NORMAL", "NORMAL", "EASY",    "EASY"};
    for (int i = 0; i < SCORE_ROWS; i++) {
        int y = 82 + 10 * i;
        std::string s = std::to_string(game.score_tables[1][i].score) + "0";
        text(font, std::to_string(i + 1).c_str(), i < 9 ? 64 : 56, y);
        text(i == 3 ? other : font, (std::string(6 - s.size(), ' ') + s).c_str(), 96, y);
        text(i == 3 ? other : font, names[i], 176, y);
        text(font, skills[i], 224, y);
        for (int k = 8; i < 2 && k <= (i ? 8 : 12); k++)
            text(other, "|", 224 + 48 + 3 * (k - 8), y);
        if (i == 2)
            text(other, "(50)", 224, y);
        EXPECT_TRUE(same_line(y)) << "row " << i;
    }
    int right = 0;  // MASTER with five marks ends about where eight letters do
    for (int y = 82; y < 90; y++)
        for (int x = 224; x < 320; x++)
            right = getpixel(got, x, y) ? x : right;
    EXPECT_LE(right, 224 + 8 * 8 + 2);
}

// The player's hands: each event waits until the entry has taken the last.
void press_keys(std::vector<uint16_t> keys)
{
    for (uint16_t k : keys)
        for (uint16_t idle = 0; !input.menu_input.compare_exchange_weak(idle, k); idle = 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TEST_F(Scores, NameEntryWrapsLettersAndHonoursClose)
{
    gfx.back_buffer = got;
    int row = score_insert(1, 9000, 8);
    input.menu_input.store(MENU_ESCAPE);
    std::thread hands(press_keys, std::vector<uint16_t>{CTRL_LEFT, CTRL_PUNCH, CTRL_RIGHT,
                                                        MENU_SELECT, CTRL_LEFT, CTRL_KICK});
    enter_name(1, 56, 50, font, row);
    hands.join();
    EXPECT_STREQ(game.score_tables[0][row].name, " A ");
    textout_ex(want, font, " A ", 176, 102, -1, 0);
    EXPECT_TRUE(same_line(102));

    input.close_requested.store(true);
    enter_name(1, 56, 50, font, 3);  // nothing chosen: the anonymous name
    input.close_requested.store(false);
    EXPECT_STREQ(game.score_tables[0][3].name, "---");
    gfx.back_buffer = nullptr;
}

}  // namespace

// A file that could not be read is never written over: it goes aside, and
// so does the next one, beside the first.
TEST_F(Scores, UnreadableFileIsKeptAsideNeverWrittenOver)
{
    write(std::string(241, '\x11'));  // one stray byte
    char kept[64];
    ASSERT_TRUE(scores_load_from(file.c_str(), kept, sizeof kept));
    EXPECT_EQ(std::string(kept), file + ".bad");
    ASSERT_EQ(scores_write(file.c_str()), 0);
    std::ifstream bad(file + ".bad", std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(bad)), {}), std::string(241, '\x11'));

    write(std::string(7, '\x22'));
    ASSERT_TRUE(scores_load_from(file.c_str(), kept, sizeof kept));
    EXPECT_EQ(std::string(kept), file + ".bad2");
    ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);  // read as unreadable, not waited on
    ASSERT_TRUE(scores_load_from(file.c_str(), kept, sizeof kept));
    EXPECT_EQ(std::string(kept), file + ".bad3");

    write(std::string(240, '\0'));  // a good file stays where it is
    ASSERT_TRUE(scores_load_from(file.c_str(), kept, sizeof kept));
    EXPECT_EQ(kept[0], '\0');
}
