// A game driven through the keyboard and the game's own world tick, recorded,
// saved, loaded and replayed: the world after every tick must be the same.
#include <allegro.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "config/state.h"
#include "demo/demo.h"
#include "demo_programs.h"
#include "engine/actor.h"
#include "engine/amc.h"
#include "engine/amc_vm.h"
#include "engine/world.h"
#include "engine/world_hash.h"
#include "game/level_loop.h"
#include "game/session.h"
#include "game/state.h"
#include "input/state.h"

TEST(GameReplay, WorldTickReplaysWhatItRecorded)
{
    install_allegro(SYSTEM_NONE, &errno, atexit);
    std::string dir = "/tmp/nwd-game-replay-" + std::to_string(getpid());
    ASSERT_TRUE(write_replay_programs(dir + ".AMC"));
    amc_unload_all();
    ASSERT_EQ(amc_load((dir + ".AMC").c_str()), 0);
    config_state_reset();
    config.launch.no_sound = 0xFF;
    input_state_reset();

    auto start = [](uint32_t seed) {
        actor_table_reset();
        amc_vm_reset();
        amc_seed((int32_t)seed);
        world_start_level(WorldStart{1, 1, 5, 0, 0, 0, 1, 2});
        game.current = CurrentGame{};
        game.current.level = 1;
    };
    // Record 2000 ticks of keys held for varying times; a cheat after 1500
    // ends the recording at that tick.
    const int keys[] = {
        KEY_UP, KEY_DOWN, KEY_LEFT, KEY_RIGHT, config.settings.keykick, config.settings.keypunch};
    start(777);
    DemoImage* d = demo_create(777, 5, 1, 1);
    std::vector<uint64_t> hashes;
    uint32_t x = 99;
    for (int t = 0; t < 2000; t++) {
        if (t % 17 == 0) {
            x = x * 1103515245u + 12345u;
            for (int i = 0; i < 6; i++)
                key[keys[i]] = (x >> (16 + i)) & 1;
        }
        game.current.cheated = t >= 1500 ? -1 : 0;
        ASSERT_EQ(world_tick(), 1);
        hashes.push_back(world_hash());
    }
    for (int k : keys)
        key[k] = 0;
    EXPECT_EQ(demo_header(d).frames, 1500u);
    ASSERT_EQ(demo_save(d, (dir + ".dem").c_str()), 0);
    demo_free(d);

    d = demo_load((dir + ".dem").c_str());
    ASSERT_NE(d, nullptr);
    start(demo_header(d).seed);
    demo_play_start(d);
    game.current.replaying = 0xFF;
    size_t ticks = 0;
    while (world_tick()) {
        if (ticks < 1500) {
            ASSERT_EQ(world_hash(), hashes[ticks]) << "tick " << ticks + 1;
        }
        ticks++;
    }
    EXPECT_EQ(ticks, 1501u);  // the last with controls 0
    demo_free(d);
    amc_unload_all();
    remove((dir + ".AMC").c_str());
    remove((dir + ".dem").c_str());
}
