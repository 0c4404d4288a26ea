#include "engine_fixture.h"

using Actors = EngineTest;

TEST_F(Actors, SpawnOrderReuseAndLimits)
{
    load({{18}, {18}});
    EXPECT_EQ(actor_spawn(0), 1);
    EXPECT_EQ(actor_spawn(0), 2);
    EXPECT_EQ(actor_spawn(1), 3);
    EXPECT_EQ(list_order(), (std::vector<int>{1, 2, 3}));
    actor_remove(2);
    EXPECT_EQ(actor_spawn(0), 2);
    EXPECT_EQ(list_order(), (std::vector<int>{1, 3, 2}));
    EXPECT_EQ(actor(0).regs[REG_PREV], 2);

    EXPECT_EQ(actor_spawn(2), -1);
    EXPECT_EQ(actor_spawn(-1), -1);
    for (int i = 4; i <= 63; i++)
        EXPECT_EQ(actor_spawn(0), i);
    EXPECT_EQ(actor_spawn(0), -2);
}

TEST_F(Actors, NewActorStartsCleanAndResetClearsGlobals)
{
    load({{18}});
    int s = actor_spawn(0);
    actor(s).move_duration = 9;
    actor_remove(s);
    actor(s).regs[5] = 77;  // a script writing into a free slot
    ASSERT_EQ(actor_spawn(0), s);
    EXPECT_EQ(actor(s).regs[5], 0);
    EXPECT_EQ(actor(s).regs[REG_SELF], s);
    EXPECT_EQ(actor(s).move_duration, 1);
    EXPECT_EQ(actor(s).handler_pc, ACTOR_NO_HANDLER);

    amc_globals[7] = 3;
    actor_table_reset();
    EXPECT_EQ(amc_globals[7], 0);
    EXPECT_TRUE(list_order().empty());
    EXPECT_EQ(actor_table.free_count, 63);
}

TEST_F(Actors, FreeStackNeverOverflows)
{
    load({{18}});
    // Removing slots that are already free (broken scripts) must not push
    // past 63 entries.
    for (int i = 0; i < 10; i++)
        actor_remove(5);
    EXPECT_EQ(actor_table.free_count, 63);
}
