// Blows between the hero and the men, on the game's own scripts: what a
// blow does, who may strike when, and what each skill spares the hero.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "game_fixture.h"

namespace {

using namespace scene;
using Fights = ScriptsTest;

// The hero jabs a man who stands waiting in front of him, another waiting
// farther off: the hit-stop holds the other's wait still. (A boxer's guard
// blocking the jab is ASecondBlockInARowIsAnsweredWithAKnockdown's.)
TEST_F(Fights, AJabHoldsTheFightStill)
{
    int other = 0, man = face_off(E_BRAWLER, 1, 145, &other), freeze = 0;
    bool reeled = false, others_held = true;
    for (int t = 0; t < 40; t++) {
        int wait = regs(other)[REG_WAIT], frozen = amc_globals[GLOBAL_FREEZE];
        step(t < 2 ? CTRL_PUNCH : 0);
        freeze = freeze ? freeze : amc_globals[GLOBAL_FREEZE];
        others_held &= frozen <= 1 || regs(other)[REG_WAIT] == wait;
        reeled |= regs(man)[REG_STATE] == S_HURT;
    }
    EXPECT_TRUE(reeled) << "the jab landed";
    EXPECT_GT(freeze, 1);
    EXPECT_TRUE(others_held);
}

// A punch chain thrown at a boss: his poise shrugs off the third blow and
// knocks the hero down, where a thug would have been knocked down himself.
TEST_F(Fights, ABossShrugsOffAPunchChainAndHitsBack)
{
    for (uint32_t seed = 1; seed <= 4; seed++) {
        SCOPED_TRACE(seed);
        int boss = face_off(E_BOSS + 1, seed), hero = the_hero();
        int health = regs(boss)[REG_HEALTH];
        bool boss_down = false, hero_down = false;
        for (int t = 0; t < 120; t++) {
            regs(boss)[REG_WAIT] = 200;  // no attack of his own meanwhile
            step(t % 8 < 2 ? CTRL_PUNCH : 0);
            boss_down |= regs(boss)[REG_STATE] == S_DOWN;
            hero_down |= regs(hero)[REG_STATE] == S_DOWN;
        }
        EXPECT_LT(regs(boss)[REG_HEALTH], health) << "the first blows tell";
        EXPECT_FALSE(boss_down);
        EXPECT_TRUE(hero_down);
    }
}

// A jump kick into two thugs waiting in a line: on its way up it knocks
// down the first and then the one behind him, each hit once.
TEST_F(Fights, AJumpKickClearsALineOfMen)
{
    int far = 0, near = face_off(E_BRAWLER, 1, 146, &far);
    place(far, 176);
    int health[2] = {regs(near)[REG_HEALTH], regs(far)[REG_HEALTH]};
    for (int t = 0; t < 60; t++) {
        for (int k = 0; k < 2; k++) {  // each stands his ground until hit
            int s = k ? far : near;
            if (regs(s)[REG_HEALTH] == health[k]) {
                regs(s)[REG_WX] = (int16_t)(k ? 176 : 146);
                regs(s)[REG_WAIT] = 200;
            }
        }
        step(t < 4 ? CTRL_PUNCH | CTRL_KICK : 0);
    }
    EXPECT_EQ(health[0] - regs(near)[REG_HEALTH], health[1] - regs(far)[REG_HEALTH])
        << "one kick's worth each";
    EXPECT_GT(health[1], regs(far)[REG_HEALTH]) << "the man behind was reached";
    for (int s : {near, far})
        EXPECT_EQ(regs(s)[REG_STATE], S_DOWN);
}

// With no star, up, punch and kick still spin: a fifth of the energy buys
// the man in front knocked down (or beaten), the one farther off left standing; with
// no more than that left, it is a plain jump kick and costs nothing.
TEST_F(Fights, WithNoStarTheWhirlwindCostsEnergyAndReachesOnlyTheNearest)
{
    for (int energy : {200, 40}) {
        SCOPED_TRACE(energy);
        int other = 0, man = face_off(E_BRAWLER, 1, 145, &other);
        amc_globals[GLOBAL_STARS] = 0;
        amc_globals[GLOBAL_ENERGY] = (int16_t)energy;
        for (int t = 0; t < 50; t++) {
            regs(other)[REG_WAIT] = 200;
            step_held(man, t < 3 ? CTRL_UP | CTRL_PUNCH | CTRL_KICK : 0);
        }
        if (energy == 40) {  // a jump kick, free
            EXPECT_EQ(amc_globals[GLOBAL_ENERGY], 40);
            continue;
        }
        EXPECT_EQ(amc_globals[GLOBAL_ENERGY], energy - 40);
        const int felled = regs(man)[REG_STATE];
        EXPECT_TRUE(felled == S_DOWN || felled == S_DEAD) << "the man in front";
        EXPECT_NE(regs(other)[REG_STATE], S_DOWN) << "the man farther off";
    }
}

// A life lost in a fight: the hero rises in room of his own, the man who
// felled him thrown back, unhurt.
TEST_F(Fights, ANewLifeThrowsBackTheMenRoundTheHero)
{
    int man = face_off(E_BRAWLER, 1), hero = the_hero();
    amc_globals[GLOBAL_LIVES] = 2;
    amc_globals[GLOBAL_ENERGY] = 1;
    regs(hero)[REG_DMG] = 5;  // the man's blow, as his script lands it
    regs(hero)[REG_KNOCK] = -1;
    regs(hero)[REG_FORCE] = 2;  // heavy
    int health = regs(man)[REG_HEALTH], t = 0;
    bool died = false, thrown = false;
    for (; t < 1500 && !(died && regs(hero)[REG_STATE] == S_FREE); t++) {
        step();
        died |= amc_globals[GLOBAL_LIVES] == 1;
        thrown |= died && regs(man)[REG_STATE] == S_DOWN;
    }
    ASSERT_TRUE(died);
    EXPECT_TRUE(thrown);
    EXPECT_GE(regs(man)[REG_HEALTH], health - 1) << "unhurt but for a token";
}

// Presses punch every `every` ticks for `ticks` ticks, the man kept from
// attacking; returns the ticks in which he stood on guard, wary.
int punch_away(int man, int ticks, int every)
{
    int wary = 0;
    for (int t = 0; t < ticks; t++) {
        step_held(man, every && t % every == 0 ? CTRL_PUNCH : 0);
        wary += regs(man)[REG_HITS] == -1 && regs(man)[REG_STATE] == S_FREE;
    }
    return wary;
}

// A kick that meets no one leaves the leg out: a man in sight rushes in.
// A jab thrown at thin air near a man puts his guard up: the next jab that
// reaches him he blocks, and the masher is knocked down. Unwarned, or on the
// first street before the guard is taught, he reels.
TEST_F(Fights, ABlowAtThinAirIsRushedOrPutsAMansGuardUp)
{
    int man = face_off(E_BRAWLER, 1), hero = the_hero();
    regs(hero)[REG_WX] = 95;  // 50 off: beyond the kick, in his sight
    EXPECT_LT(step_until([&] { return (regs(man)[REG_TRAITS] & M_RUSH) != 0; }, 20, CTRL_KICK), 20)
        << "rushed";
    for (int lesson : {TAUGHT_ALL, TAUGHT_PLAIN})
        for (bool mash : {false, true}) {
            SCOPED_TRACE(testing::Message() << (mash ? "mashing" : "waiting") << ", lesson " << lesson);
            man = face_off(E_BRAWLER, 1);
            teach(lesson);
            regs(hero)[REG_WX] = 100;  // 45 off: out of reach, in his sight
            const bool guarded = mash && lesson >= TAUGHT_GUARD;
            EXPECT_EQ(punch_away(man, 30, mash ? 10 : 0) > 0, guarded);
            place(hero, regs(man)[REG_WX] - 25, regs(man)[REG_GY]);
            regs(hero)[REG_FACING] = 0;
            int reeled = 0, hero_down = 0;
            for (int t = 0; t < 40; t++) {
                step_held(man, t == 0 ? CTRL_PUNCH : 0);
                reeled |= regs(man)[REG_STATE] == S_HURT;
                hero_down |= regs(hero)[REG_STATE] == S_DOWN;
            }
            EXPECT_EQ(reeled != 0, !guarded) << "the jab landed";
            EXPECT_EQ(hero_down != 0, guarded) << "the block's answer knocks down";
        }
}

// Jab and cross daze a brawler facing the hero from `left` (the hero on
// the man's left) or right; the hero is left where the cross put him. At
// `edge` the fight is locked with the hero at the farthest he may step
// right, as the men of a locked fight meet him. A person's press lasts
// about 0.1 s (7 ticks).
int daze_facing(bool left, bool edge)
{
    int man = face_off(E_BRAWLER, 1), hero = the_hero();
    if (!left) {
        regs(hero)[REG_WX] = 170;
        regs(hero)[REG_FACING] = (int16_t)MIRRORED;
    }
    if (edge) {
        amc_globals[GLOBAL_LOCK] = amc_globals[GLOBAL_SCROLL_MAP];
        regs(hero)[REG_WX] = (int16_t)(amc_globals[GLOBAL_SCROLL_MAP] + VIEW - 64);
        regs(man)[REG_WX] = (int16_t)(regs(hero)[REG_WX] + 25);
    }
    for (int t = 0; t < 40; t++) {
        teach(TAUGHT_GRAB);  // past the first fights, where a mashed row's second blow is braced for
        step_held(man, t % 20 < 7 ? CTRL_PUNCH : 0);
    }
    step_until([&] { return regs(man)[REG_STATE] == S_DAZED; }, 30);
    return man;
}

// Presses `ctl` for 7 ticks, then nothing for `after`; true when the
// man's state was `seen` meanwhile.
bool press_for(int ctl, int after, int man, int seen)
{
    bool was = false;
    for (int t = 0; t < 7 + after; t++) {
        step(t < 7 ? ctl : 0);
        was |= regs(man)[REG_STATE] == seen;
    }
    return was;
}

// A full chain on a brawler: jab and cross daze him and the uppercut
// knocks him down, but at MASTER he blocks the third blow and hits back.
TEST_F(Fights, AtMasterAChainsThirdPunchIsBlocked)
{
    for (int skill : {5, 8}) {
        SCOPED_TRACE(skill);
        int man = face_off(E_BRAWLER, 1, 145, nullptr, ARCADE, skill);
        int energy = amc_globals[GLOBAL_ENERGY];
        bool down = false;
        int hero = the_hero();
        for (int t = 0; t < 80; t++) {
            regs(man)[REG_WAIT] = 200;
            if (t == 40)  // the cross knocked him back out of reach
                regs(hero)[REG_WX] = (int16_t)(regs(man)[REG_WX] - 24);
            step(t % 20 == 0 && t <= 40 ? CTRL_PUNCH : 0);
            down |= regs(man)[REG_STATE] == S_DOWN;
        }
        EXPECT_EQ(down, skill == 5);
        EXPECT_EQ(amc_globals[GLOBAL_ENERGY] < energy, skill == 8) << "the block is answered";
    }
}

// A jab is a counter only when timed: landing in a wind-up's last ticks,
// while the man's sign flashes, it hurts half as much again, pays twenty
// times a jab and says so over the hero, away from the sign. Thrown as the
// wind-up starts (a masher's luck), or at a man only waiting, it is an
// ordinary jab, unmarked.
TEST_F(Fights, OnlyAJabTimedToAWindUpsEndIsACounter)
{
    constexpr int SPR_TELL = 129, SPR_POP_COUNTER = 137, LATE = 12;
    auto fx_of = [](int pic) {
        int found = 0;
        count_actors([&](int s) {
            if (actor_table.slots[s].program == PROGRAM_FX && regs(s)[0] == pic)
                found = s;
            return false;
        });
        return found;
    };
    enum When { WAITING, EARLY, TIMED };
    for (When when : {WAITING, EARLY, TIMED}) {
        for (uint32_t seed = 1; seed <= 3; seed++) {
            SCOPED_TRACE(testing::Message() << "when " << when << ", seed " << seed);
            int man = face_off(E_BRAWLER, seed, 148), hero = the_hero();
            int t = step_until([&] { return when == WAITING || regs(man)[REG_STATE] == S_WINDUP; }, 400);
            ASSERT_LT(t, 400) << "he came at the hero";
            if (when == WAITING)
                regs(man)[REG_WAIT] = 200;
            int sign = fx_of(SPR_TELL);
            if (when == TIMED) {
                ASSERT_NE(sign, 0);
                bool early_flash = false;
                step_until([&] {
                    early_flash |= regs(sign)[3] > LATE && regs(sign)[REG_BLINK];
                    return regs(sign)[3] <= LATE && regs(sign)[REG_BLINK];
                }, 60);
                EXPECT_FALSE(early_flash) << "the sign flashes only at the end";
                ASSERT_EQ(regs(man)[REG_STATE], S_WINDUP);
            }
            place(man, regs(hero)[REG_WX] + 26, regs(hero)[REG_GY]);
            int health = regs(man)[REG_HEALTH], score = amc_globals[GLOBAL_SCORE];
            step(CTRL_PUNCH);
            step(CTRL_PUNCH);
            for (int k = 0; k < 6; k++)
                step();
            bool counter = when == TIMED;
            EXPECT_EQ(health - regs(man)[REG_HEALTH], counter ? 9 : 6);
            EXPECT_EQ(amc_globals[GLOBAL_SCORE] - score, counter ? 21 : 1);
            int word = fx_of(SPR_POP_COUNTER);
            EXPECT_EQ(word != 0, counter);
            if (word) {
                EXPECT_NEAR(regs(word)[REG_X], regs(hero)[REG_X], 4) << "told over the hero";
            }
        }
    }
}

// A man's blow on a hero who stands is sharp, the next one he takes
// without hitting back sharper; a boss's keeps the weight of its row.
TEST_F(Fights, MensBlowsHurtMoreUnanswered)
{
    int taken[2][2] = {};
    const int cases[2][2] = {{E_BRAWLER, ARCADE}, {E_BOSS + 1, ARCADE}};
    for (int k = 0; k < 2; k++) {
        SCOPED_TRACE(k);
        face_off(cases[k][0], 1, 148, nullptr, cases[k][1]);
        for (int blow = 0; blow < 2; blow++) {
            int energy = amc_globals[GLOBAL_ENERGY];
            step_until([&] { return amc_globals[GLOBAL_ENERGY] < energy; }, 600);
            taken[k][blow] = energy - amc_globals[GLOBAL_ENERGY];
        }
    }
    EXPECT_GE(taken[0][1], taken[0][0] * 3 / 2) << "the second, unanswered, harder again";
    EXPECT_EQ(taken[1][1], taken[1][0]) << "the boss's as its row weighs it";
}

// A vampire drinks a man beaten, besides the blow that beat him, and less
// with a fuller bar, and is seen to drink; in the other modes a man beaten
// gives nothing.
TEST_F(Fights, AVampireDrinksAManBeaten)
{
    for (int mode : {ARCADE, VAMPIRE}) {
        SCOPED_TRACE(mode);
        int drunk[2] = {};
        for (int i = 0; i < 2; i++) {
            const int held = i == 0 ? 100 : 160;
            int man = face_off(E_BRAWLER, 1, 145, nullptr, mode);
            amc_globals[GLOBAL_ENERGY] = (int16_t)held;
            regs(man)[REG_HEALTH] = 1;
            for (int t = 0; t < 30; t++)
                step_held(man, t == 0 ? CTRL_PUNCH : 0);
            ASSERT_EQ(regs(man)[REG_STATE], S_DEAD);
            drunk[i] = amc_globals[GLOBAL_ENERGY] - held;
        }
        // the drink is seen: a ring drawn out of the man's chest, ending on
        // the hero's (one at the feet is a wind-up's sign)
        constexpr int SPR_TELL_MARK = 130, FX_DRAWN = 64;
        int man = face_off(E_BRAWLER, 1, 145, nullptr, mode);
        int marks = 0, off = 999;
        for (int t = 0; t < 16; t++) {
            step_held(man, t == 0 ? CTRL_PUNCH : 0);
            count_actors([&](int s) {
                if (actor_table.slots[s].program != PROGRAM_FX || regs(s)[0] != SPR_TELL_MARK ||
                    !(regs(s)[5] & FX_DRAWN) || regs(s)[4] <= 0)
                    return false;
                marks++;
                off = std::abs(regs(s)[REG_WX] - regs(the_hero())[REG_WX]);
                return true;
            });
        }
        if (mode == VAMPIRE) {
            EXPECT_GT(marks, 0);
            EXPECT_LE(off, 4) << "the mark settles on the hero";
            EXPECT_GE(drunk[0], 3 + 20);
            EXPECT_LT(drunk[1], drunk[0] * 3 / 4) << "a fuller bar drinks less";
        } else {
            EXPECT_EQ(drunk[0], 0);
            EXPECT_EQ(drunk[1], 0);
            EXPECT_EQ(marks, 0);
        }
    }
}

// Holding Right into the first street's first fight: the hero ends with
// his back to the view's edge, where the nearest waiting place lies outside
// it. One of the two thugs, who both come from ahead, still meets him there.
// Left standing, he is struck by one at a time.
TEST_F(Fights, TheFirstFightMeetsAHeroFromInFrontOneAtATime)
{
    begin_street(1, 1);
    int hero = 0, shown = 0, safe_ticks = 0, in_front = 0, cornered = 0;
    for (int t = 0; t < 420; t++) {
        step(CTRL_RIGHT);
        hero = the_hero();
        if (t < 80) {  // his safety at the start: a shimmer, not a blink
            safe_ticks++;
            shown += regs(hero)[REG_BLINK] == 0;
        }
        if (t < 300 || regs(hero)[REG_WX] - amc_globals[GLOBAL_SCROLL_MAP] < 240)
            continue;
        cornered++;
        in_front += count_actors([&](int s) {
            return regs(s)[REG_CLASS] == C_ENEMY && regs(s)[REG_STATE] != S_DOWN &&
                   regs(s)[REG_WX] > regs(hero)[REG_WX];
        }) > 0;
    }
    // Then he stands idle between them: they take turns, never winding up
    // at him in the same moment.
    int together = 0, winding = 0;
    for (int t = 0; t < 1500; t++) {
        step();
        if (regs(hero)[REG_STATE] == S_HELD)  // held from behind: open to the other
            continue;
        int n = men_in(S_WINDUP);
        together += n > 1;
        winding += n > 0;
    }
    EXPECT_GT(winding, 100) << "they came at him";
    EXPECT_EQ(together, 0);
    EXPECT_GE(shown * 2, safe_ticks) << "shown at least half of his safe ticks";
    EXPECT_LT(shown, safe_ticks) << "and seen to be safe";
    ASSERT_GT(cornered, 60) << "the hero never reached the view's edge";
    EXPECT_GT(in_front * 4, cornered * 3) << "no one stood before him most of the time";
}

// A hero who stands and waits in the first street: the man waiting stands
// a step from his jab, and the one whose turn it is winds up within it, so
// that a jab thrown as the wind-up shows lands.
TEST_F(Fights, TheManWhoseTurnItIsWindsUpWithinAJab)
{
    constexpr int JAB = 33, STEP = 12;
    for (uint32_t seed = 1; seed <= 4; seed++) {
        SCOPED_TRACE(seed);
        begin_street(1, seed);
        int hero = the_hero();
        int man = spawn_man(E_BRAWLER, amc_globals[GLOBAL_SCROLL_MAP] + 230);
        int still = 0, waited_at = 0, wound_at = 0, health = 0, t = 0;
        for (; t < 900 && !wound_at; t++) {
            int wx = regs(man)[REG_WX];
            if (t < 300)  // he waits his turn first
                regs(man)[REG_WAIT] = 200;
            step();
            still = regs(man)[REG_WX] == wx ? still + 1 : 0;
            if (still > 8 && regs(man)[REG_STATE] == S_FREE && regs(man)[REG_TOKEN] == 0)
                waited_at = abs(regs(man)[REG_WX] - regs(hero)[REG_WX]);
            if (regs(man)[REG_STATE] == S_WINDUP)
                wound_at = abs(regs(man)[REG_WX] - regs(hero)[REG_WX]);
        }
        ASSERT_GT(wound_at, 0) << "he came at the hero";
        EXPECT_GT(waited_at, JAB) << "waiting out of reach";
        EXPECT_LE(waited_at, JAB + STEP) << "but a step from it";
        EXPECT_LE(wound_at, JAB);
        health = regs(man)[REG_HEALTH];
        step(CTRL_PUNCH);
        step_for(7);
        EXPECT_LT(regs(man)[REG_HEALTH], health) << "the jab landed";
    }
}

// A hero with his back to the view's left edge, where the men of the
// first fight and one more come for him from the left: none of them may
// stand on his spot (the edge squeezes a place there to nothing), and
// they still come at him from the open side.
TEST_F(Fights, NoOneStandsOnAHeroCorneredAtTheViewsEdge)
{
    for (uint32_t seed = 1; seed <= 3; seed++) {
        SCOPED_TRACE(seed);
        begin_street(1, seed);
        int hero = the_hero();
        spawn_man(E_BRAWLER, amc_globals[GLOBAL_SCROLL_MAP] - 30);
        int on_him = 0, winding = 0;
        for (int t = 0; t < 900; t++) {
            place(hero, amc_globals[GLOBAL_SCROLL_MAP] + 34);
            step();
            winding += men_in(S_WINDUP);
            on_him += count_actors([&](int s) {
                const int16_t* e = regs(s);
                return e[REG_CLASS] == C_ENEMY && (e[REG_STATE] == S_FREE || e[REG_STATE] == S_WINDUP) &&
                       abs(e[REG_WX] - regs(hero)[REG_WX]) < 14 && abs(e[REG_GY] - 176) < 6;
            });
        }
        EXPECT_EQ(on_him, 0);
        EXPECT_GT(winding, 0) << "they came at him";
    }
}

// A five-man fight round a hero who stands mid-view: no more than two of
// them stand where a blow reaches him at once, the rest wait apart from
// each other; and no one waits or winds up with the view's edge across
// his body.
TEST_F(Fights, AFiveManFightStaysReadable)
{
    constexpr int REACH = 40, DEPTH = 12, BODY = 16, STILL = 24;
    for (uint32_t seed = 1; seed <= 3; seed++) {
        SCOPED_TRACE(seed);
        begin_street(1, seed);
        int hero = the_hero(), scroll = amc_globals[GLOBAL_SCROLL_MAP];
        const int from[5][2] = {{-40, 160}, {-30, 190}, {350, 150}, {360, 176}, {345, 196}};
        int men[5], last_wx[5] = {}, still[5] = {};
        for (int i = 0; i < 5; i++)
            men[i] = spawn_man(i & 1 ? E_KICKER : E_BRAWLER, scroll + from[i][0], from[i][1]);
        int most = 0, cut = 0, stacked = 0, winding = 0, held = 0;
        for (int t = 0; t < 1200; t++) {
            place(hero, scroll + 160);
            amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;  // he stands through it
            amc_globals[GLOBAL_MAX_ATTACKERS] = 2;     // NORMAL's, past the gentle first fight
            step();
            int view = amc_globals[GLOBAL_SCROLL_MAP], near = 0;
            held = regs(hero)[REG_STATE] == S_HELD ? 72 : std::max(held - 1, 0);
            for (int i = 0; i < 5; i++) {
                const int16_t* e = regs(men[i]);
                still[i] = e[REG_WX] == last_wx[i] ? still[i] + 1 : 0;
                last_wx[i] = e[REG_WX];
                // held from behind, he is open to all in front: that is the hold's point
                if (held || (e[REG_STATE] != S_FREE && e[REG_STATE] != S_WINDUP))
                    continue;
                winding += e[REG_STATE] == S_WINDUP;
                near += abs(e[REG_WX] - regs(hero)[REG_WX]) <= REACH && abs(e[REG_GY] - 176) <= DEPTH;
                int x = e[REG_WX] - view;
                bool edge = x < BODY || x > VIEW - BODY;
                cut += edge && (e[REG_STATE] == S_WINDUP || still[i] > STILL);
                for (int j = 0; j < i; j++) {
                    const int16_t* o = regs(men[j]);
                    stacked += still[i] > STILL && still[j] > STILL && o[REG_STATE] == S_FREE &&
                               abs(o[REG_WX] - e[REG_WX]) < 12 && abs(o[REG_GY] - e[REG_GY]) < 6;
                }
            }
            most = std::max(most, near);
        }
        EXPECT_GT(winding, 0) << "they came at him";
        EXPECT_LE(most, 2) << "men in striking range at once";
        EXPECT_EQ(cut, 0) << "ticks a man waited or struck cut by the view's edge";
        EXPECT_EQ(stacked, 0) << "ticks two waiting men stood on one spot";
    }
}

// A man's blow on the hero: a spark on him (no bigger than his own blows'),
// and the whole fight held still longer than for a jab of his own, so that
// his hurt reads at once.
TEST_F(Fights, ABlowOnTheHeroSparksOnHimAndHoldsTheFight)
{
    constexpr int SPR_HIT_1 = 131, SPR_HIT_2 = 132, JAB_STOP = 4;
    for (uint32_t seed = 1; seed <= 3; seed++) {
        SCOPED_TRACE(seed);
        int man = face_off(E_BRAWLER, seed), hero = the_hero();
        regs(man)[REG_WAIT] = 0;
        int energy = amc_globals[GLOBAL_ENERGY];
        step_until([&] { return amc_globals[GLOBAL_ENERGY] != energy; }, 400);
        ASSERT_LT(amc_globals[GLOBAL_ENERGY], energy) << "the man struck";
        EXPECT_GT(amc_globals[GLOBAL_FREEZE], JAB_STOP) << "held longer than a jab";
        EXPECT_TRUE(count_actors([&](int s) {
            return actor_table.slots[s].program == PROGRAM_FX &&
                   (regs(s)[0] == SPR_HIT_1 || regs(s)[0] == SPR_HIT_2) &&
                   abs(regs(s)[1] - regs(hero)[REG_WX]) < 8;  // its place, as spawned
        })) << "a spark on the hero";
    }
}

// In the first fight, a hero who stands idle past two seconds draws a man
// in at once, their rests cut short; one who keeps moving is left to the
// men's own time.
TEST_F(Fights, AHeroStandingIdleDrawsTheNextManInAtOnce)
{
    constexpr int REST = 400, IDLE = 144;
    for (bool idle : {true, false}) {
        SCOPED_TRACE(idle ? "idle" : "moving");
        begin_street(1, 1);
        step_for(300, CTRL_RIGHT);
        ASSERT_GT(amc_globals[GLOBAL_FOES], 0) << "in the fight";
        // every man, and each who comes later, rests long once he has started
        // and again whenever he gives his turn back
        int seen[64] = {}, token[64] = {};
        int t = 0;
        for (; t < REST - 60 && !men_in(S_WINDUP); t++) {
            for (int s = actor_next(0), k = 0; s && k < 63; s = actor_next(s), k++) {
                if (regs(s)[REG_CLASS] != C_ENEMY)
                    continue;
                if (++seen[s & 63] == 2 || (token[s & 63] && !regs(s)[REG_TOKEN]))
                    regs(s)[REG_WAIT] = REST;
                token[s & 63] = regs(s)[REG_TOKEN];
            }
            int ctl = t % 24 < 2 ? CTRL_UP : t % 24 >= 12 && t % 24 < 14 ? CTRL_DOWN : 0;
            step(idle ? 0 : ctl);
        }
        if (idle)
            EXPECT_LT(t, IDLE + 60) << "a man came soon after two seconds";
        else
            EXPECT_EQ(t, REST - 60) << "they kept their rests";
    }
}

// At every skill, five men waiting round a hero who walks up and down
// spread out in depth: never three of them in one lane.
TEST_F(Fights, TheMenWaitingSpreadInDepthAtEverySkill)
{
    for (int skill : {3, 5, 7}) {
        SCOPED_TRACE(skill);
        begin_street(2, 2, ARCADE, skill);
        int hero = the_hero(), scroll = amc_globals[GLOBAL_SCROLL_MAP], men[5];
        for (int i = 0; i < 5; i++)
            men[i] = spawn_man(E_BRAWLER, scroll + (i % 2 ? 40 : 260) + 8 * i, 170);
        int filed = 0;
        for (int t = 0; t < 600; t++) {
            for (int m : men)
                regs(m)[REG_WAIT] = 200;
            step(t % 60 < 10 ? CTRL_UP : t % 60 >= 30 && t % 60 < 40 ? CTRL_DOWN : 0);
            if (t < 300 || regs(hero)[REG_STATE] != S_FREE)
                continue;  // once they have found their places
            std::vector<int> lane;
            for (int m : men)
                if (regs(m)[REG_STATE] == S_FREE)
                    lane.push_back(regs(m)[REG_GY]);
            std::sort(lane.begin(), lane.end());
            for (size_t i = 0; i + 2 < lane.size(); i++)
                if (lane[i + 2] - lane[i] <= 4) {
                    filed++;
                    break;
                }
        }
        EXPECT_EQ(filed, 0) << "ticks three waited in one lane";
    }
}

// A chain mashed at one man of a pair: with the other at the hero's back
// the chain's second jab is blocked and answered, and the hero loses
// energy; with the other stepped away the same chain takes the man down
// or dazes him at no cost. EASY still lets a pair be mashed.
TEST_F(Fights, AMashedChainIsBlocked)
{
    struct Case {
        int skill, behind;  // the second man this far behind the hero, 0 far off
        int every;          // punch pressed every so many ticks
        bool costs;
        bool stepping = false;  // the man steps in to strike (holds his turn)
    } cases[] = {{5, 30, 10, true},
                 {5, 0, 10, true},
                 {5, 0, 20, false},
                 {4, 30, 10, false},
                 {5, 0, 10, true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "skill " << c.skill << ", behind " << c.behind
                                        << ", every " << c.every << ", stepping " << c.stepping);
        int other = 0, man = face_off(E_BRAWLER, 1, 145, &other, ARCADE, c.skill);
        int hero = the_hero(), energy = amc_globals[GLOBAL_ENERGY];
        if (c.stepping) {  // his turn taken, as the turn-taking gives it
            regs(man)[3] = 1;  // his register 3: the plan of the turn he holds
            amc_globals[GLOBAL_ATTACKERS]++;
        }
        regs(man)[REG_WX] = 145;
        if (c.behind)
            regs(other)[REG_WX] = (int16_t)(regs(hero)[REG_WX] - c.behind);
        bool beaten = false;  // by the chain, before any answer
        for (int t = 0; t < 80 && !beaten && amc_globals[GLOBAL_ENERGY] == energy; t++) {
            regs(man)[REG_WAIT] = 200;  // neither strikes but as a block's answer
            regs(other)[REG_WAIT] = 200;
            if (regs(man)[REG_STATE] == S_FREE) {  // each blow in reach
                regs(man)[REG_WX] = 145;
                regs(hero)[REG_WX] = 120;
            }
            step(t % c.every < 4 ? CTRL_PUNCH : 0);
            beaten = regs(man)[REG_STATE] == S_DOWN || regs(man)[REG_STATE] == S_DAZED;
        }
        EXPECT_EQ(amc_globals[GLOBAL_ENERGY] < energy, c.costs) << "the hero was answered";
        EXPECT_EQ(beaten, !c.costs) << "the chain took him down or dazed him";
    }
}

// A brawler at the hero's back grabs him after his wind-up. Held, the hero
// takes the blow of the man in front; pressing a way back and forth shakes
// the grabber off before it comes. On the first street the grab waits till
// it is taught.
TEST_F(Fights, AManBehindGrabsTheHeroForTheOneInFront)
{
    for (int shake : {0, 1, -1}) {  // -1: standing, the grab untaught
        SCOPED_TRACE(shake);
        int other = 0, man = face_off(E_BRAWLER, 1, 145, &other);
        int hero = the_hero();
        regs(hero)[REG_FACING] = 0;
        regs(other)[REG_WX] = (int16_t)(regs(hero)[REG_WX] - 40);
        if (shake < 0) {
            teach(TAUGHT_GUARD);
            for (int t = 0; t < 300; t++) {
                regs(man)[REG_WAIT] = 200;
                regs(other)[REG_WAIT] = 0;
                step();
                ASSERT_NE(regs(hero)[REG_STATE], S_HELD) << "grabbed untaught";
            }
            continue;
        }
        int held_at = -1, freed_at = -1, energy = amc_globals[GLOBAL_ENERGY], hurt = 0;
        for (int t = 0; t < 300 && freed_at < 0; t++) {
            if (held_at < 0) {
                regs(man)[REG_WAIT] = 200;
                regs(other)[REG_WAIT] = 0;
            }
            int ctl = 0;
            if (shake && held_at >= 0 && t - held_at < 16)
                ctl = (t - held_at) / 4 % 2 ? CTRL_LEFT : CTRL_RIGHT;
            step(ctl);
            int state = regs(hero)[REG_STATE];
            if (held_at < 0 && state == S_HELD) {
                held_at = t;
                energy = amc_globals[GLOBAL_ENERGY];
                int behind = regs(hero)[REG_WX] - regs(other)[REG_WX];
                EXPECT_TRUE(behind > 0 && behind <= 24) << "held from just behind, not from afar";
            } else if (held_at >= 0 && state != S_HELD) {
                freed_at = t;
            }
            hurt |= held_at >= 0 && amc_globals[GLOBAL_ENERGY] < energy;
        }
        ASSERT_GE(held_at, 0) << "the man behind grabbed him";
        ASSERT_GE(freed_at, 0) << "never a lock";
        EXPECT_EQ(hurt != 0, !shake) << "the man in front struck, unless shaken off first";
        if (shake) {
            EXPECT_LE(freed_at - held_at, 16);
        }
    }
}

// A dazed man stays dazed long enough for a hero who waits a moment, then
// walks into him from where the cross left him, from either side and with
// the locked view's edge at the hero's back; held, he
// stays held a second with no key pressed, and a kick throws him. Two knees
// keep the hold and a kick after them still throws.
TEST_F(Fights, ADazedManWalkedIntoIsHeldAndThrownFromEitherSide)
{
    for (int knees : {0, 2})
        for (int from : {0, 1, 2}) {
            bool left = from != 1, edge = from == 2;
            SCOPED_TRACE(testing::Message() << (left ? "from the left" : "from the right")
                                            << (edge ? " at the fight's edge, " : ", ") << knees
                                            << " knees");
            int man = daze_facing(left, edge), hero = the_hero();
            ASSERT_EQ(regs(man)[REG_STATE], S_DAZED);
            int gap = std::abs(regs(man)[REG_WX] - regs(hero)[REG_WX]);
            EXPECT_GE(gap, 24) << "the cross leaves him a step off";
            step_for(36);  // half a second to see the stars
            step_until([&] { return amc_globals[GLOBAL_HELD] == man; }, 30,
                       left ? CTRL_RIGHT : CTRL_LEFT);
            ASSERT_EQ(amc_globals[GLOBAL_HELD], man) << "walked into, he is held";
            step_for(72);
            ASSERT_EQ(regs(man)[REG_STATE], S_HELD) << "a second on, still held";
            for (int k = 0; k < knees; k++) {
                press_for(CTRL_PUNCH, 10, man, S_HELD);
                ASSERT_EQ(amc_globals[GLOBAL_HELD], man) << "still held after knee " << k + 1;
            }
            EXPECT_TRUE(press_for(CTRL_KICK, 20, man, S_THROWN)) << "one kick throws him";
            EXPECT_EQ(regs(hero)[REG_FACING] != 0, !left) << "thrown the way he faced";
        }
}

// From the third street on a brawler covers up against a lone jab now and
// then, and a knife man now and then feints his wind-up; on the first
// street neither does. (The street is the director's global.)
TEST_F(Fights, LaterStreetsMenCoverUpAndFeint)
{
    constexpr int FEINT = 7;
    for (int street : {1, 3}) {
        SCOPED_TRACE(street);
        int covered = 0, feints = 0;
        for (uint32_t seed = 1; seed <= 8; seed++) {
            int man = face_off(E_BRAWLER, seed);
            amc_globals[GLOBAL_STREET] = (int16_t)street;
            bool reeled = false;
            for (int t = 0; t < 30; t++) {
                step_held(man, t < 7 ? CTRL_PUNCH : 0);
                reeled |= regs(man)[REG_STATE] == S_HURT;
            }
            covered += !reeled;
            man = face_off(E_KNIFER, seed);
            amc_globals[GLOBAL_STREET] = (int16_t)street;
            for (int t = 0, was = 0; t < 900; t++) {
                amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
                step();
                int now = regs(man)[REG_TOKEN] == FEINT;
                feints += now && !was;
                was = now;
            }
        }
        if (street == 1) {
            EXPECT_EQ(covered, 0);
            EXPECT_EQ(feints, 0);
        } else {
            EXPECT_GT(covered, 0);
            EXPECT_LT(covered, 8) << "a lone jab still lands as often as not";
            EXPECT_GT(feints, 0);
        }
    }
}

// A dazed man wobbles still at first; in the last half second of his daze
// he shakes his head (his picture turns back and forth) under stars that
// flicker, and then he is on his feet.
TEST_F(Fights, ADazeEndingIsTold)
{
    int man = daze_facing(true, false);
    ASSERT_EQ(regs(man)[REG_STATE], S_DAZED);
    std::vector<int> turns;  // ticks into the daze at which his picture turned
    int t = 0, was = regs(man)[REG_FRAME] & MIRRORED, last_blink = -1;
    for (; regs(man)[REG_STATE] == S_DAZED && t < 200; t++) {
        step_held(man);
        if ((regs(man)[REG_FRAME] & MIRRORED) != was && regs(man)[REG_STATE] == S_DAZED)
            turns.push_back(t);
        was = regs(man)[REG_FRAME] & MIRRORED;
        for (int s = actor_next(0); s; s = actor_next(s))
            if (s != man && regs(s)[REG_CLASS] == 0 && regs(s)[6] == man && regs(s)[REG_BLINK])
                last_blink = t;
    }
    ASSERT_LT(t, 200) << "the daze ends";
    ASSERT_GE(turns.size(), 4u) << "he shakes his head";
    EXPECT_GE(turns.front(), t - 48) << "not before the daze's last moments";
    EXPECT_GE(turns.back(), t - 8) << "up to its end";
    EXPECT_GE(last_blink, t - 4) << "the stars flicker to the end";
}

// A man the hero felled never lies under the hero's feet: a jump kick at a
// man a step off carries the hero past where the man falls, and the man
// slides on; against the view's edge, where he cannot, he slides out of the
// hero's lane.
TEST_F(Fights, AFelledManDoesNotLieUnderTheHero)
{
    for (bool edge : {false, true}) {
        SCOPED_TRACE(edge ? "at the view's edge" : "in the open");
        int man = face_off(E_BRAWLER, 1), hero = the_hero();
        if (edge) {
            int right = amc_globals[GLOBAL_SCROLL_MAP] + VIEW;
            regs(hero)[REG_WX] = (int16_t)(right - 110);
            regs(man)[REG_WX] = (int16_t)(right - 84);
        }
        bool fell = false, under = false;
        for (int t = 0; t < 90; t++) {
            if (!fell)
                regs(man)[REG_WAIT] = 200;
            step(t < 4 ? CTRL_PUNCH | CTRL_KICK : 0);
            fell |= regs(man)[REG_STATE] == S_DOWN;
            int dx = std::abs(regs(man)[REG_WX] - regs(hero)[REG_WX]);
            int dy = std::abs(regs(man)[REG_GY] - regs(hero)[REG_GY]);
            if (t >= 60)  // landed and settled
                under |= dx < 26 && dy < 8;
        }
        EXPECT_TRUE(fell);
        EXPECT_FALSE(under);
    }
}

// A boxer's guard that stopped the last jab answers the next one it stops
// with a blow that knocks the hero down, from NORMAL; below it the answer
// stays a jab.
TEST_F(Fights, ASecondBlockInARowIsAnsweredWithAKnockdown)
{
    for (int skill : {3, 5}) {
        SCOPED_TRACE(skill);
        int downed = 0;
        for (uint32_t seed = 1; seed <= 8; seed++) {
            int man = face_off(E_BOXER, seed, 145, nullptr, ARCADE, skill),
                hero = the_hero();
            bool down = false;
            for (int t = 0; t < 240 && !down; t++) {
                regs(man)[REG_WAIT] = 200;
                if (regs(man)[REG_STATE] == S_FREE) {  // each jab in reach
                    regs(man)[REG_WX] = 145;
                    regs(hero)[REG_WX] = 120;
                }
                amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
                step(t % 40 < 4 ? CTRL_PUNCH : 0);
                down = regs(hero)[REG_STATE] == S_DOWN;
            }
            downed += down;
        }
        if (skill < 5)
            EXPECT_EQ(downed, 0);
        else
            EXPECT_GT(downed, 0);
    }
}

// A newcomer's NORMAL against HARD. A hero jabbing the man before him, a
// second at his back: up to NORMAL the one at his back holds off while the
// hero trades, and once he does wind up a second sign pulses behind the
// hero's head; HARD's man comes in on the trade. A hero felled rises to a
// moment longer of mercy before the next wind-up. A dazed man is still
// there to be grabbed after a long look.
TEST_F(Fights, UpToNormalTheHerosBackIsSparedAndHisFallForgiven)
{
    constexpr int SPR_ICON_LEFT = 310, SPR_ICON_RIGHT = 311;  // the back warning's arrows
    for (int skill : {5, 6}) {
        SCOPED_TRACE(skill);
        int behind = 0, front = face_off(E_BRAWLER, 1, 145, &behind, ARCADE, skill);
        int hero = the_hero(), traded_into = 0, back_wound = 0, signed_back = 0;
        bool was_back = false, signed_this = false;
        place(behind, 70);
        for (int t = 0; t < 1200; t++) {
            const bool trading = t < 600;
            regs(front)[REG_HEALTH] = regs(behind)[REG_HEALTH] = 40;
            if (!trading)  // then only the man at his back comes
                regs(front)[REG_WAIT] = 200;
            if (t == 600) {  // a blow takes the front man's turn; the hero faces
                regs(front)[REG_DMG] = 1;  // him, the other man at his back
                regs(front)[REG_FORCE] = 1;
                regs(front)[REG_KNOCK] = 1;
                regs(hero)[REG_FACING] = 0;
                place(behind, regs(hero)[REG_WX] - 50);
            }
            amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
            step(trading && t % 16 < 4 ? CTRL_PUNCH : 0);
            const int16_t* f = regs(front);
            const int away = regs(hero)[REG_FACING] ? -1 : 1;  // the way he looks
            bool back = regs(behind)[REG_STATE] == S_WINDUP &&
                        (regs(hero)[REG_WX] - regs(behind)[REG_WX]) * away > 0;
            traded_into += back && (f[REG_STATE] == S_HURT || f[REG_STATE] == S_DAZED);
            // wind-ups at his back, and those marked there: an arrow at his
            // waist pointing back, on his body rather than the man's
            back_wound += back && !was_back;
            signed_back += was_back && !back && signed_this;
            signed_this = back && ((was_back && signed_this) || count_actors([&](int s) {
                               const int16_t* r = regs(s);
                               int dx = (regs(hero)[REG_X] - r[REG_X] - 5) * away;  // its middle
                               int rise = regs(hero)[REG_Y] - r[REG_Y];
                               return r[REG_CLASS] == 0 && dx > 4 && dx < 24 && rise > 20 &&
                                      rise < 45 &&
                                      (r[REG_FRAME] & 0x7FFF) == (away < 0 ? SPR_ICON_RIGHT
                                                                           : SPR_ICON_LEFT);
                           }) > 0);
            was_back = back;
        }
        if (skill == 5) {
            EXPECT_EQ(traded_into, 0) << "struck from behind while trading in front";
            ASSERT_GT(back_wound, 2) << "the man at his back came in the end";
            EXPECT_GE(signed_back + 1, back_wound) << "his wind-up is called at the hero's back";
        } else {
            EXPECT_GT(traded_into, 0) << "HARD's man at his back comes in on the trade";
        }

        // Felled: the ticks from his rise to the next wind-up on him.
        regs(hero)[REG_DMG] = 5;
        regs(hero)[REG_KNOCK] = -1;
        regs(hero)[REG_FORCE] = 2;  // heavy
        step_until([&] { return regs(hero)[REG_STATE] == S_DOWN; }, 10);
        step_until([&] { return regs(hero)[REG_STATE] != S_DOWN; }, 300);
        int shown = 0;
        int mercy = step_until([&] {
            shown += regs(hero)[REG_BLINK] != 0;
            return men_in(S_WINDUP) > 0;
        }, 400);
        if (skill == 5) {
            EXPECT_GE(mercy, 110) << "no wind-up for a second and a half";
            EXPECT_GT(shown, 20) << "his shimmer shows the mercy";
        } else {
            EXPECT_LT(mercy, 110) << "HARD gives the usual moment";
        }
    }
    int man = daze_facing(true, false);
    step_for(130);  // two seconds' look before walking in
    step_until([&] { return amc_globals[GLOBAL_HELD] == man; }, 30, CTRL_RIGHT);
    EXPECT_EQ(amc_globals[GLOBAL_HELD], man) << "still dazed, he is held";
}

// Up to NORMAL a hero who holds a man and knees him is trading blows in
// front: the man at his back is not given his turn until the hold ends. At
// HARD he takes it on the hold.
TEST_F(Fights, UpToNormalTheHerosBackIsSparedWhileHeKneesAHold)
{
    for (int skill : {5, 6}) {
        SCOPED_TRACE(skill);
        int man = daze_facing(true, false), hero = the_hero();
        step_for(20);
        step_until([&] { return amc_globals[GLOBAL_HELD] == man; }, 30, CTRL_RIGHT);
        ASSERT_EQ(amc_globals[GLOBAL_HELD], man);
        amc_globals[GLOBAL_SKILL] = (int16_t)skill;
        int behind = spawn_man(E_BRAWLER, regs(hero)[REG_WX] - 44);
        int came = 0, held_for = 0;
        for (int t = 0; t < 240 && amc_globals[GLOBAL_HELD] == man; t++, held_for++) {
            regs(man)[REG_HEALTH] = 60;  // the knees do not end it
            regs(behind)[REG_WAIT] = 0;  // his turn is due
            step(t % 40 < 7 ? CTRL_PUNCH : 0);
            came += regs(behind)[REG_WX] < regs(hero)[REG_WX] && regs(behind)[REG_TOKEN] != 0 &&
                    amc_globals[GLOBAL_HELD] == man;
        }
        ASSERT_GT(held_for, 60) << "the hold ended too soon to tell";
        if (skill == 5)
            EXPECT_EQ(came, 0) << "struck from behind while kneeing his hold";
        else
            EXPECT_GT(came, 0) << "HARD's man at his back comes in on the hold";
    }
}

// A man left at the hero's back as he walks the view on (a running fight,
// a walk's men) comes round to his front rather than trail at the view's
// edge and catch his back unseen; a hero who stops to fight has him at his
// back as before.
TEST_F(Fights, AManLeftBehindAsTheViewMovesOnComesRoundInFront)
{
    begin_street(1, 1);
    step_for(5);
    for (int s = actor_next(0), n = 0; s && n < 63; s = actor_next(s), n++)
        if (regs(s)[REG_CLASS] == C_ENEMY)
            regs(s)[REG_WX] = 3000;  // the street's own men kept away
    int hero = the_hero();
    place(hero, amc_globals[GLOBAL_SCROLL_MAP] + 130);
    int man = spawn_man(E_BRAWLER, regs(hero)[REG_WX] - 60);
    int ahead = -1, windups = 0;
    for (int t = 0; t < 400; t++) {
        amc_globals[GLOBAL_LOCK] = 3000;
        amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
        step(CTRL_RIGHT);
        if (ahead < 0 && regs(man)[REG_WX] > regs(hero)[REG_WX] + 20)
            ahead = t;
        windups += regs(man)[REG_STATE] == S_WINDUP && regs(man)[REG_WX] < regs(hero)[REG_WX];
    }
    EXPECT_GE(ahead, 0) << "he trailed behind";
    EXPECT_EQ(windups, 0);
}

// Over a busy fight each thing shown keeps its own place: what the hero's
// blows earn never lies on a man's "!", a boss's card goes before his first
// blow, and a boss's flashes stay smaller than half of him and brief.
TEST_F(Fights, SignsOverTheFightStandApart)
{
    constexpr int SPR_TELL = 129, SPR_POP_COUNTER = 137, SPR_POP_100 = 300, SPR_DIGIT_3 = 317;
    constexpr int SPR_BOSSNAME_1 = 289, SPR_FLASH = 336, SPR_BURST = 337, PROGRAM_BANNER = 7;
    constexpr int FX_DRAWN = 64, BAND = 16;
    auto box_of = [](int s, int* l, int* r, int* top, int* bot) {
        const int16_t* g = regs(s);
        int f = g[REG_FRAME] & 0x7FFF, x = g[REG_X];
        *bot = g[REG_Y];
        if (f == SPR_TELL) {
            *l = x - 13, *r = x + 13, *top = *bot - 30;
        } else if (f == SPR_DIGIT_3) {  // placed by its bottom left corner
            *l = x, *r = x + 12, *top = *bot - 14;
        } else {
            *l = x - 16, *r = x + 16, *top = *bot - 12;
        }
    };

    // A man close in front winds up as the hero's chain pays out over his head.
    int man = face_off(E_BRAWLER, 1, 140), hero = the_hero();
    ASSERT_LT(step_until([&] { return regs(man)[REG_STATE] == S_WINDUP; }, 400), 400);
    int tell = 0;
    count_actors([&](int s) { return regs(s)[0] == SPR_TELL && (tell = s); });
    ASSERT_NE(tell, 0);
    std::vector<int> pops;
    for (int pic : {SPR_DIGIT_3, SPR_POP_100, SPR_POP_COUNTER}) {
        int s = actor_spawn(PROGRAM_FX);
        int16_t* r = regs(s);
        r[0] = (int16_t)pic, r[1] = regs(hero)[REG_WX], r[2] = regs(hero)[REG_GY], r[3] = 30;
        r[4] = (int16_t)(pic == SPR_DIGIT_3 ? 70 : pic == SPR_POP_100 ? 86 : 100);
        r[5] = 4 | FX_DRAWN;
        pops.push_back(s);
    }
    for (int t = 0; t < 6 && regs(man)[REG_STATE] == S_WINDUP; t++) {
        regs(man)[REG_WAIT] = 200;
        step();
        int tl, tr, tt, tb;
        box_of(tell, &tl, &tr, &tt, &tb);
        for (int p : pops) {
            SCOPED_TRACE(regs(p)[0]);
            int l, r, top, bot;
            box_of(p, &l, &r, &top, &bot);
            EXPECT_FALSE(r > tl && l < tr && bot > tt && top < tb) << "a popup on the sign at " << t;
        }
    }

    // A boss's card shows while he walks in, and is gone as he winds up.
    begin_street(1, 1);
    int boss = spawn_man(E_BOSS + 1, regs(the_hero())[REG_WX] + 220);
    int card = actor_spawn(PROGRAM_BANNER);
    regs(card)[0] = SPR_BOSSNAME_1, regs(card)[1] = 160, regs(card)[2] = 72, regs(card)[3] = 300;
    regs(card)[4] = BAND;
    int shown = 0, over_blows = 0;
    for (int t = 0; t < 400 && regs(boss)[REG_STATE] != S_DEAD; t++) {
        amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
        step();
        bool up = actor_table.slots[card].program == PROGRAM_BANNER && regs(card)[0] == SPR_BOSSNAME_1;
        shown += up;
        over_blows += up && regs(boss)[REG_STATE] != S_FREE;
    }
    EXPECT_GT(shown, 10) << "seen as he walks in";
    EXPECT_EQ(over_blows, 0) << "the card over his fight";

    // Each boss fights an idle hero a while: his flashes are glints and
    // sparks, never the big bursts that hid who hit whom.
    for (int street = 1; street <= 5; street++) {
        SCOPED_TRACE(street);
        boss = lone_boss(street, 0);
        place(boss, regs(the_hero())[REG_WX] + 60);
        int big = 0, specials = 0;
        for (int t = 0; t < 1500; t++) {
            amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
            step();
            specials += regs(boss)[REG_STATE] == S_SPECIAL;
            big += count_actors([&](int s) {
                int f = regs(s)[REG_FRAME] & 0x7FFF;
                return actor_table.slots[s].program == PROGRAM_FX && (f == SPR_FLASH || f == SPR_BURST);
            });
        }
        EXPECT_GT(specials, 0) << "he made his special";
        EXPECT_EQ(big, 0) << "a flash bigger than half of him";
    }
}


// Popups over a busy fight stand apart: COUNTER!, a finished chain's pay,
// the chain's count and a bounty rising from the hero's spot all come up
// within a few ticks, and none is ever drawn over another.
TEST_F(Fights, PopupsNeverLieOverOneAnother)
{
    constexpr int SPR_POP_COUNTER = 137, SPR_POP_100 = 300, SPR_POP_500 = 302, SPR_DIGIT_0 = 314;
    constexpr int FX_DRAWN = 64;
    auto box_of = [](int s, int* l, int* r, int* top, int* bot) {
        const int16_t* g = regs(s);
        int f = g[REG_FRAME] & 0x7FFF, x = g[REG_X];
        *bot = g[REG_Y];
        if (f >= SPR_DIGIT_0 && f <= SPR_DIGIT_0 + 9)  // placed by its bottom left corner
            *l = x, *r = x + 12, *top = *bot - 14;
        else
            *l = x - 16, *r = x + 16, *top = *bot - 12;
    };
    face_off(E_BRAWLER, 1, 250);
    int hero = the_hero();
    struct Pop { int pic, height, flags, at; };
    const Pop shown[] = {{SPR_POP_COUNTER, 100, 4 | FX_DRAWN, 0}, {SPR_POP_500, 96, 1, 1},
                         {SPR_POP_100, 86, 4 | FX_DRAWN, 3}, {SPR_DIGIT_0 + 3, 70, 4 | FX_DRAWN, 3},
                         {SPR_POP_100, 86, 4 | FX_DRAWN, 5}};
    std::vector<int> pops;
    int overlaps = 0;
    for (int t = 0; t < 40; t++) {
        for (const Pop& p : shown) {
            if (p.at != t)
                continue;
            int s = actor_spawn(PROGRAM_FX);
            int16_t* r = regs(s);
            r[0] = (int16_t)p.pic, r[1] = regs(hero)[REG_WX], r[2] = regs(hero)[REG_GY];
            r[3] = 30, r[4] = (int16_t)p.height, r[5] = (int16_t)p.flags;
            pops.push_back(s);
        }
        step();
        for (size_t i = 0; i < pops.size(); i++)
            for (size_t j = i + 1; j < pops.size(); j++) {
                int a = pops[i], b = pops[j];
                if (actor_table.slots[a].program != PROGRAM_FX ||
                    actor_table.slots[b].program != PROGRAM_FX || !regs(a)[REG_FRAME] ||
                    !regs(b)[REG_FRAME])
                    continue;
                int al, ar, at, ab, bl, br, bt, bb;
                box_of(a, &al, &ar, &at, &ab);
                box_of(b, &bl, &br, &bt, &bb);
                overlaps += ar > bl && al < br && ab > bt && at < bb;
            }
    }
    EXPECT_EQ(overlaps, 0);
}

// A hero given a new life is met fairly: jabs at thin air as he rises keep
// his safety, and once a blow of his has ended it, for the life's first
// seconds a man on his spot steps off it before winding up, and no man
// chains a second blow, grabs or slams him.
TEST_F(Fights, ANewLifesFirstSecondsAreFair)
{
    constexpr int F_LIGHT = 1, F_HOLD = 6;
    for (int kind : {E_BRUTE, E_HEAVY, E_BRAWLER}) {
        SCOPED_TRACE(kind);
        int man = face_off(kind, 1), hero = the_hero();
        amc_globals[GLOBAL_LIVES] = 2;
        amc_globals[GLOBAL_ENERGY] = 1;
        regs(hero)[REG_DMG] = 5;
        regs(hero)[REG_KNOCK] = -1;
        regs(hero)[REG_FORCE] = 2;
        ASSERT_LT(step_until([&] { return amc_globals[GLOBAL_LIVES] == 1; }, 1500), 1500);
        ASSERT_LT(step_until([&] { return regs(hero)[REG_STATE] == S_FREE; }, 200), 200);
        for (int t = 0; t < 40; t++)  // jabs at thin air as he rises
            step(t % 10 < 4 ? CTRL_PUNCH : 0);
        EXPECT_GE(regs(hero)[4], 128) << "a whiff ended his safety";
        regs(hero)[4] = 0;  // as a jab that lands ends it
        // the man on his spot, another at his back, both with their turn due
        place(man, regs(hero)[REG_WX] + 6, regs(hero)[REG_GY]);
        int behind = kind == E_BRAWLER ? spawn_man(E_BRAWLER, regs(hero)[REG_WX] - 40) : 0;
        int first_windup_at = -1, strongest = 0;
        for (int t = 0; t < 180 && regs(hero)[REG_STATE] != S_DOWN; t++) {
            amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
            regs(man)[REG_WAIT] = 0;
            if (behind)
                regs(behind)[REG_WAIT] = 0;
            step();
            if (first_windup_at < 0 && regs(man)[REG_STATE] == S_WINDUP)
                first_windup_at = std::abs(regs(man)[REG_WX] - regs(hero)[REG_WX]);
            if (regs(hero)[REG_DMG])
                strongest = std::max(strongest, regs(hero)[REG_FORCE] & 15);
            if (regs(hero)[REG_STATE] == S_HELD)
                strongest = std::max(strongest, (int)F_HOLD);
        }
        if (first_windup_at >= 0) {
            EXPECT_GE(first_windup_at, 20) << "he wound up on the hero's spot";
        }
        EXPECT_LE(strongest, F_LIGHT) << "a chain, grab or slam on a hero just back";
    }
}

// The first street's first men teach the sign: a hero mashing punch lands
// two blows of a row, then meets a guard, and its answers, at every blow
// until he pauses or strikes into a wind-up's last ticks; once the lesson
// has moved on (HARD, or its guard taught), a mashed row is blocked once.
TEST_F(Fights, TheFirstFightsBlockAMashUntilAPauseOrASign)
{
    constexpr int SPR_THUG_BLOCK = 86;
    enum How { MASHED, PAUSED, TIMED, TAUGHT };
    for (How how : {MASHED, PAUSED, TIMED, TAUGHT}) {
        SCOPED_TRACE(how);
        int man = face_off(E_BRAWLER, 1, 145), hero = the_hero();
        teach(how == TAUGHT ? TAUGHT_GUARD : TAUGHT_PLAIN);
        if (how == TIMED) {  // his wind-up, struck in its last ticks
            regs(man)[REG_WAIT] = 0;
            ASSERT_LT(step_until([&] { return regs(man)[REG_STATE] == S_WINDUP; }, 400), 400);
            ASSERT_LT(step_until([&] { return regs(man)[24] <= 18; }, 120), 120);
        }
        int landed = 0, answered = 0, health = regs(man)[REG_HEALTH], pose = 0;
        for (int t = 0; t < 220 && regs(man)[REG_STATE] != S_DOWN; t++) {
            if (how != TIMED || t > 0)
                regs(man)[REG_WAIT] = 200;  // he strikes only as a block's answer
            if (regs(man)[REG_STATE] == S_FREE || regs(man)[REG_STATE] == S_WINDUP) {
                place(man, 145, regs(hero)[REG_GY]);
                place(hero, 120);
            }
            int energy = amc_globals[GLOBAL_ENERGY];
            bool pressing = how == PAUSED ? t % 70 < 4 : t % 10 < 4;
            step(pressing ? CTRL_PUNCH : 0);
            // a blocked blow takes a little too: a blow that lands is one he reels from
            int now = regs(man)[REG_FRAME] & 0x7FFF;
            landed += regs(man)[REG_HEALTH] < health && now != SPR_THUG_BLOCK && now != pose;
            health = std::min<int>(health, regs(man)[REG_HEALTH]);
            pose = now;
            answered += amc_globals[GLOBAL_ENERGY] < energy;
            amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
            if (regs(hero)[REG_STATE] == S_DOWN) {
                if (how == MASHED)
                    break;  // felled: a pause of his own, and a new row after it
                step_until([&] { return regs(hero)[REG_STATE] == S_FREE; }, 300);
            }
        }
        switch (how) {
        case MASHED:
            EXPECT_EQ(landed, 2) << "only two blows of the mash land";
            EXPECT_GE(answered, 2) << "each further blow is blocked and answered";
            break;
        case PAUSED:
        case TIMED:
            EXPECT_GE(landed, 3);
            EXPECT_EQ(answered, 0);
            break;
        case TAUGHT:
            EXPECT_GE(landed, 3) << "blocked once, then the row starts again";
            EXPECT_GE(answered, 1);
            break;
        }
    }
}

// The first street's knife man opens with his lunge: he sinks for it long
// enough to be read, its plate names it, and it runs his lane: a hero who
// stays there is felled, one who steps out of it is passed by, and the
// knife man who missed is left open a moment, his row of blows earned.
TEST_F(Fights, TheFirstKnifeMansLungeIsToldAndAStepOutOfHisLaneDodgesIt)
{
    constexpr int PROGRAM_HINTS = 19, SPR_HINT_KNIFE = 349, LUNGE = 2, RECOVERING = 8192;
    constexpr int BAND_KEY = 2001;
    for (bool step_out : {false, true}) {
        SCOPED_TRACE(step_out);
        int man = face_off(E_KNIFER, 1, 230), hero = the_hero();
        regs(man)[REG_WAIT] = 0;
        ASSERT_LT(step_until([&] { return regs(man)[REG_TOKEN] == LUNGE && regs(man)[REG_STATE] == S_WINDUP; },
                             600),
                  600);
        int sunk = 0, named = 0, wx = regs(man)[REG_WX];
        while (sunk < 200 && regs(man)[REG_WX] == wx && regs(hero)[REG_STATE] != S_DOWN) {
            // the band over the fight cleared (its GO sign waits for a walk that never comes)
            for (int s = actor_next(0), k = 0; s && k < 63; s = actor_next(s), k++)
                if (regs(s)[REG_SORT_KEY] == BAND_KEY)
                    actor_remove(s);
            named |= count_actors([&](int s) {
                return actor_table.slots[s].program == PROGRAM_HINTS && regs(s)[REG_FRAME] == SPR_HINT_KNIFE;
            });
            // half-way through his wind-up, the careful hero steps down out of his lane
            step(step_out && sunk > 20 && sunk < 36 ? CTRL_DOWN : 0);
            sunk++;
        }
        EXPECT_GE(sunk, 50) << "his lunge is told long enough to be read";
        EXPECT_TRUE(named) << "its plate names it";
        bool felled = false, open = false;
        for (int t = 0; t < 120; t++) {
            step();
            felled |= regs(hero)[REG_STATE] == S_DOWN;
            open |= regs(man)[REG_STATE] == S_FREE && (regs(man)[4] & RECOVERING) && t > 20;
        }
        EXPECT_EQ(felled, !step_out);
        if (step_out) {
            EXPECT_TRUE(open) << "a missed lunge leaves him open";
        }
    }
}

}  // namespace
