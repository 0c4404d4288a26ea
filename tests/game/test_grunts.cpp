// The grunts' own moves and the tells of their hidden penalties, on the game's own scripts.
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

namespace {

constexpr int SPR_HERO_KNEEL = 46, SPR_THUG_BLOCK = 86, SPR_TELL = 129, SPR_DUST_1 = 133,
              SPR_GLINT = 340;
constexpr int REG_DROP = 4, BLOCKED_ONE = 16384, FEINT = 7;

int fx_showing(int pic)
{
    return count_actors([&](int s) {
        return actor_table.slots[s].program == PROGRAM_FX && (regs(s)[REG_FRAME] & 0x7FFF) == pic;
    });
}

// Ticks in `ticks` on which a spark shows on the man's fists, he kept waiting.
int sparks(int man, int ticks, uint16_t controls = 0)
{
    int shown = 0;
    for (int t = 0; t < ticks; t++) {
        step_held(man, controls);
        shown += fx_showing(SPR_GLINT) > 0;
    }
    return shown;
}

}  // namespace

TEST_F(Grunts, APrimedGuardSparksUntilABlowGetsThrough)
{
    // mashed into at NORMAL, his guard stops a blow: from then on the next
    // block fells the hero, and his fists say so
    int man = face_off(E_BRAWLER, 1, 145), hero = the_hero();
    for (int k = 0; k < 400 && !(regs(man)[REG_DROP] & BLOCKED_ONE); k++) {
        place(hero, 120);
        place(man, 145);  // in reach, however far a blow knocks him
        step_held(man, k % 2 ? CTRL_PUNCH : 0);
    }
    ASSERT_TRUE(regs(man)[REG_DROP] & BLOCKED_ONE) << "never blocked";
    step_for(60);
    amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
    EXPECT_GE(sparks(man, 64), 16) << "a spark every 16 ticks, held a while";
    // one blow that lands clears it, and the sparks go with it
    for (int k = 0; k < 600 && (regs(man)[REG_DROP] & BLOCKED_ONE); k++) {
        place(hero, 120);
        place(man, 145);
        step_held(man, k % 40 == 0 ? CTRL_PUNCH : 0);
    }
    ASSERT_FALSE(regs(man)[REG_DROP] & BLOCKED_ONE);
    step_for(12);
    EXPECT_EQ(sparks(man, 64), 0);

    // below NORMAL a second block does not fell: nothing to warn of
    man = face_off(E_BRAWLER, 1, 145, nullptr, ARCADE, 4);
    regs(man)[REG_DROP] |= BLOCKED_ONE;
    EXPECT_EQ(sparks(man, 64), 0);
}

TEST_F(Grunts, AFeintStandsOnGuardWithoutTheSign)
{
    // at MASTER in ARCADE a man feints two attacks in eight: he squares up
    // in his guard pose, never the wind-up's, and no "!" comes over him
    int feints = 0, blows = 0;
    for (uint32_t seed = 1; seed <= 3 && feints < 2; seed++) {
        int man = face_off(E_BRAWLER, seed, 145, nullptr, ARCADE, 9);
        teach(TAUGHT_ALL);
        for (int t = 0; t < 2400 && feints < 2; t++) {
            amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
            bool feint = regs(man)[REG_TOKEN] == FEINT;
            step();
            if (!feint && regs(man)[REG_TOKEN] == FEINT && regs(man)[REG_STATE] == S_FREE) {
                feints++;
                EXPECT_EQ(regs(man)[REG_FRAME] & 0x7FFF, SPR_THUG_BLOCK);
                EXPECT_EQ(fx_showing(SPR_TELL), 0);
            }
            blows += regs(man)[REG_STATE] == S_WINDUP && fx_showing(SPR_TELL) > 0;
        }
    }
    EXPECT_GE(feints, 2);
    EXPECT_GT(blows, 0) << "real wind-ups keep their sign";
}

TEST_F(Grunts, AJumpKickLandingAmongMenStumblesInDust)
{
    // two men beside where he lands, two lanes off (out of the kick's
    // reach): he lands on one knee in dust; with nobody there, a plain crouch
    for (bool crowd : {true, false}) {
        SCOPED_TRACE(crowd ? "among men" : "alone");
        const int at = crowd ? 180 : 300;
        int man = face_off(E_BRAWLER, 1, at), hero = the_hero();
        int other = spawn_man(E_BRAWLER, at + 16, 194);
        bool knelt = false, dust = false;
        for (int t = 0; t < 90; t++) {
            place(man, at, 194);
            place(other, at + 16, 194);
            regs(other)[REG_WAIT] = 200;
            step_held(man, t < 3 ? CTRL_PUNCH | CTRL_KICK : 0);
            knelt |= (regs(hero)[REG_FRAME] & 0x7FFF) == SPR_HERO_KNEEL;
            dust |= regs(hero)[REG_Z] == 0 && t > 20 && fx_showing(SPR_DUST_1) > 0;
        }
        EXPECT_EQ(knelt, crowd);
        EXPECT_EQ(dust, crowd);
    }
}

