// The story between the streets, on the game's own scripts: each interlude
// shows the boss who waits at the end of the street it leads to.
#include <gtest/gtest.h>

#include "engine/actor.h"
#include "engine/amc_vm.h"
#include "engine/world.h"
#include "game_fixture.h"
#include "nwd_contract.h"

namespace {

// frames of nightward.inc: each boss's block of 32 poses from BOSS1_STAND,
// and the bosses' cards from BOSSNAME_1
constexpr int BOSS_FRAMES = 369, BOSS_POSES = 32, FIRST_CARD = 289;
constexpr int VAN = 2, ROOF_RIDER = 13;

int16_t* regs(int s) { return actor_table.slots[s & 63].regs; }

using Interludes = ScriptsTest;

// Row FIRST_INTERLUDE + k leads to street k + 1: its boss, and no other,
// shows long enough to be seen, his card as well; the one at the van's
// hatch rides with it, drawn behind it so that its side hides his legs.
TEST_F(Interludes, EachShowsTheComingStreetsBossAndHisCard)
{
    for (int street = 1; street <= LAST_STREET; street++) {
        SCOPED_TRACE(street);
        actor_table_reset();
        world_start_level(world_new_game((int16_t)(FIRST_INTERLUDE + street - 1), ARCADE, 5, 1));
        int his = 0, others = 0, card = 0, wrong_card = 0, riding = 0;
        for (int t = 0; t < 600; t++) {
            world_step(0, nullptr, nullptr, nullptr);
            int van = 0;
            for (int s = actor_next(0), n = 0; s && n < 63; s = actor_next(s), n++)
                if (actor_table.slots[s].program == VAN)
                    van = s;
            bool seen = false;
            for (int s = actor_next(0), n = 0; s && n < 63; s = actor_next(s), n++) {
                const int16_t* r = regs(s);
                int f = r[REG_FRAME] & 0x7FFF;
                if (f >= BOSS_FRAMES && f < BOSS_FRAMES + LAST_STREET * BOSS_POSES &&
                    r[REG_X] > -20 && r[REG_X] < VIEW + 20) {
                    int whose = (f - BOSS_FRAMES) / BOSS_POSES + 1;
                    if (whose == street)
                        seen = true;
                    else
                        others++;
                    if (van && actor_table.slots[s].program == ROOF_RIDER) {
                        riding++;
                        EXPECT_NEAR(r[REG_X], regs(van)[REG_X], 40) << "left the van at " << t;
                        EXPECT_LT(r[REG_SORT_KEY], regs(van)[REG_SORT_KEY]) << "over the van";
                    }
                }
                if (f >= FIRST_CARD && f < FIRST_CARD + LAST_STREET)
                    (f == FIRST_CARD + street - 1 ? card : wrong_card)++;
            }
            his += seen;
        }
        EXPECT_GT(his, 2 * 72) << "too short to be seen";
        EXPECT_EQ(others, 0) << "another street's boss";
        EXPECT_GT(card, 2 * 72) << "his card too short to read";
        EXPECT_EQ(wrong_card, 0);
        if (street < LAST_STREET) {
            EXPECT_GT(riding, 2 * 72) << "not at the van's hatch";
        }
    }
}

}  // namespace
