// The director's bookkeeping of lives and score on the game's own scripts,
// at the edges a whole game rarely reaches.
#include <gtest/gtest.h>

#include <string>

#include "engine/actor.h"
#include "engine/amc.h"
#include "engine/amc_vm.h"
#include "engine/world.h"
#include "nwd_contract.h"

namespace {

constexpr int GLOBAL_HERO_DOWN = 3;  // the scripts' own: 1 while the hero lies beaten

class Director : public ::testing::Test {
protected:
    void SetUp() override
    {
        amc_unload_all();
        const std::string amc = std::string(NWD_GAME_DIR) + "/AMC/GAME.AMC";
        if (amc_load(amc.c_str()) != 0)
            GTEST_SKIP() << "the game folder is not built";
        actor_table_reset();
    }
    void TearDown() override { amc_unload_all(); }
    void start(int16_t score, int16_t lives)
    {
        WorldStart s = world_new_game(1, ARCADE, 5, 1);
        s.score = score, s.lives = lives;
        world_start_level(s);
        step(0);
    }
    static void step(int16_t controls) { world_step(controls, nullptr, nullptr, nullptr); }
    static int16_t g(int i) { return amc_globals[i]; }
};

// The score is a 16-bit word of tens of points, read unsigned: past 327,670
// points the next extra life must still come at the next 30,000.
TEST_F(Director, ExtraLivesGoOnPastTheSignedRange)
{
    for (int score : {29990, 41990, 62990}) {
        SCOPED_TRACE(score);
        start((int16_t)score, 2);
        amc_globals[GLOBAL_SCORE] = (int16_t)(score + 5);
        step(0);
        EXPECT_EQ(g(GLOBAL_LIVES), 2) << "no life before the mark";
        amc_globals[GLOBAL_SCORE] = (int16_t)(score + 10);
        step(0);
        EXPECT_EQ(g(GLOBAL_LIVES), 3) << "a life at the mark";
        actor_table_reset();
    }
}

// ARCADE's last life lost: CONTINUE? is asked, mashing at once is no answer,
// a punch after it goes on with lives and the score the player had.
TEST_F(Director, AContinueKeepsTheScore)
{
    start(12345, 0);
    amc_globals[GLOBAL_HERO_DOWN] = 1;
    step(0);
    ASSERT_EQ(g(GLOBAL_STAGE), ST_CONTINUE);
    step(CTRL_PUNCH), step(0);
    EXPECT_EQ(g(GLOBAL_STAGE), ST_CONTINUE) << "a key in the first moment does not count";
    for (int t = 0; t < 60; t++)
        step(0);
    step(CTRL_PUNCH);
    step(0);
    EXPECT_EQ(g(GLOBAL_STAGE), ST_FIGHT);
    EXPECT_GT(g(GLOBAL_LIVES), 0);
    EXPECT_EQ(g(GLOBAL_SCORE), 12345);
}

}  // namespace
