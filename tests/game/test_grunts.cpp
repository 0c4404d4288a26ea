// The grunts' own moves, on the game's own scripts: the knife man's lunge
// from afar knocks down a hero who stands in his lane and runs past one who
// steps out of it; the thrower's bottle bursts on a hero who stands still
// and misses one who walks off the spot.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "game_fixture.h"

namespace {

using namespace scene;

struct Outcome {
    bool seen = false;   // the move itself: a run, or a bottle in the air
    bool struck = false;
    bool floored = false;
    int bottle_ticks = 0;  // ticks a bottle was in the air
};

// A man of `kind` off in the hero's lane makes his run-up's move once; the
// hero stands, or walks `answer` from the man's tell on (or, with `at_throw`,
// from the moment the thing thrown is in the air).
Outcome meet(int kind, int answer, bool at_throw, uint32_t seed, bool hit_at_throw = false)
{
    int man = face_off(kind, seed, 230), hero = the_hero();
    Outcome o;
    int energy = amc_globals[GLOBAL_ENERGY], told = -1, done = -1, cue = -1, far = regs(man)[REG_WX];
    bool thrown = false;
    for (int t = 0; t < 600 && !o.struck && (done < 0 || t < done + 4); t++) {
        int16_t* m = regs(man);
        if (m[REG_TOKEN] && m[REG_TOKEN] != 2 && m[REG_STATE] != S_WINDUP)
            m[REG_TOKEN] = 2;  // the run-up's plan
        if (told < 0 && m[REG_STATE] == S_WINDUP)
            told = t;
        if (cue < 0 && (at_throw ? thrown : told >= 0))
            cue = t;
        step(cue >= 0 && t - cue < 60 ? answer : 0);
        if (told >= 0 && abs(regs(man)[REG_WX] - far) > 24)
            o.seen = true;  // he ran at the hero
        if (count_actors([](int s) {
                return actor_table.slots[s].program == PROGRAM_FX && regs(s)[REG_SHADOW] != 0;
            })) {
            thrown = true;
            o.bottle_ticks++;
            if (hit_at_throw)
                m[REG_STATE] = S_FREE;  // as a blow takes him out of his throw
        }
        o.seen |= thrown;
        o.struck = amc_globals[GLOBAL_ENERGY] < energy;
        o.floored |= regs(hero)[REG_STATE] == S_DOWN;
        if (told < 0)
            far = regs(man)[REG_WX];
        else if (done < 0 && regs(man)[REG_STATE] != S_WINDUP)
            done = t;  // one move only: the blow lands on the hero's next turn
    }
    return o;
}

using Grunts = ScriptsTest;

TEST_F(Grunts, EachOwnMoveHitsAHeroStandingAndMissesOneWhoAnswers)
{
    struct Case {
        int kind, answer;
        bool at_throw, floors;
    } cases[] = {{E_KNIFER, CTRL_UP, false, true}, {E_THROWER, CTRL_LEFT, true, false}};
    for (const Case& c : cases) {
        for (uint32_t seed : {1u, 2u, 3u}) {
            SCOPED_TRACE("kind " + std::to_string(c.kind) + " seed " + std::to_string(seed));
            Outcome still = meet(c.kind, 0, c.at_throw, seed);
            EXPECT_TRUE(still.seen);
            EXPECT_TRUE(still.struck);
            EXPECT_EQ(still.floored, c.floors);
            Outcome answered = meet(c.kind, c.answer, c.at_throw, seed);
            EXPECT_TRUE(answered.seen);
            EXPECT_FALSE(answered.struck);
        }
    }
    // A thrower hit with his bottle in the air: it goes with his throw, not
    // hanging in the air, and bursts on no one.
    Outcome hit = meet(E_THROWER, 0, true, 1, true);
    EXPECT_LE(hit.bottle_ticks, 2);
    EXPECT_FALSE(hit.struck);
}

// Blows landed until a man of `kind` is beaten at NORMAL, the hero pressing
// punch every `every` ticks at him as he stands in reach (he never strikes),
// and the most a blow that knocked him down paid at once (in tens).
struct Beating {
    int blows = 0, felling_pay = 0;
    bool beaten = false;
};

Beating beat(int kind, uint32_t seed, int every)
{
    int man = face_off(kind, seed), hero = the_hero();
    Beating b;
    for (int t = 0; t < 4000 && !b.beaten; t++) {
        int16_t* m = regs(man);
        m[REG_WAIT] = 200;
        if (m[REG_STATE] == S_FREE) {
            place(man, 145);
            place(hero, 120);
        }
        int health = m[REG_HEALTH], state = m[REG_STATE], score = amc_globals[GLOBAL_SCORE];
        step(t % every < 4 ? CTRL_PUNCH : 0);
        if (regs(man)[REG_HEALTH] < health) {
            b.blows++;
            if (state != S_DOWN && regs(man)[REG_STATE] == S_DOWN)
                b.felling_pay = std::max(b.felling_pay, amc_globals[GLOBAL_SCORE] - score);
        }
        b.beaten = actor_table.slots[man].program != PROGRAM_ENEMY || regs(man)[REG_STATE] == S_DEAD;
    }
    return b;
}

}  // namespace

// Chains played out (pressed as each blow lands, not mashed) fell the
// street thugs in few blows: one clean chain beats a plain man, and the
// uppercut that ends it pays a bonus over the jab's ten points.
TEST_F(Grunts, ACleanChainFellsAPlainManAndPaysABonus)
{
    struct Case {
        int kind, most;  // blows landed at most, on every seed
    } cases[] = {{E_BRAWLER, 3}, {E_KNIFER, 3}, {E_KICKER, 3}, {E_HEAVY, 6}};
    for (const Case& c : cases)
        for (uint32_t seed = 1; seed <= 3; seed++) {
            SCOPED_TRACE("kind " + std::to_string(c.kind) + " seed " + std::to_string(seed));
            Beating b = beat(c.kind, seed, 20);
            ASSERT_TRUE(b.beaten);
            EXPECT_LE(b.blows, c.most);
            EXPECT_GE(b.felling_pay, 11) << "the uppercut's own ten and the chain's hundred";
        }
}
