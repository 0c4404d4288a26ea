// The bosses, on the game's own scripts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "game_fixture.h"

namespace {

using namespace scene;
using Bosses = ScriptsTest;

// Actors of `program` of `kind`, or with kind -1 the men standing (no boss).
int count(int program, int kind)
{
    return count_actors([&](int s) {
        return actor_table.slots[s].program == program &&
               (kind < 0 ? regs(s)[REG_CLASS] == C_ENEMY : regs(s)[REG_KIND] == kind);
    });
}

int16_t* boss_of(int street, uint32_t seed = 1, int skill = 5)
{
    return regs(lone_boss(street, 220, seed, skill));
}

// ... or with them.
int16_t* boss_and_company(int street)
{
    begin_street(street, 1, ARCADE, 5);
    int16_t* b = regs(spawn_man(E_BOSS + street, amc_globals[GLOBAL_SCROLL_MAP] + 220));
    amc_globals[GLOBAL_FOES] = 1;  // counted as the street counts him
    return b;
}

struct Rage {
    int brought = 0;      // street 3: kickers, else hazards of the street's kind
    int longest_run = 0;  // ticks in a row the boss ran 4 pixels or more
    int roar = 0;         // ticks from his rage he stood on the spot out of reach
    int x_after = -1;     // his place in the view once he stood free again after it
};

// Street `street`'s boss, once braced for nothing, takes a light blow that
// leaves him just below a third of his health; then 1500 ticks are watched.
Rage enrage(int street, uint32_t seed)
{
    int16_t* b = boss_of(street, seed);
    const int program = street == 3 ? PROGRAM_ENEMY : PROGRAM_HAZARD;
    const int kind = street == 1 ? H_BOTTLE : street == 2 ? H_CAR : street == 3 ? E_KICKER : H_FORKLIFT;
    int before = 0, run = 0, last_wx = 0, raged_at = 0;
    Rage r;
    for (int t = 0; t < raged_at + 1500 && t < 3000; t++) {
        amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;  // the hero lasts
        if (!raged_at && t > 120 && b[REG_STATE] != S_SPECIAL && b[REG_DMG] == 0) {
            before = count(program, kind);
            b[REG_HEALTH] = (int16_t)(b[REG_MAX_HEALTH] / 3 + 1);
            b[REG_DMG] = 2;
            b[REG_FORCE] = 1;  // F_LIGHT
        }
        step();
        if (!raged_at && (b[REG_TRAITS] & M_RAGE)) {
            raged_at = t;
            r.brought = count(program, kind) - before;
        }
        run = std::abs(b[REG_WX] - last_wx) >= 4 && b[REG_Z] == 0 ? run + 1 : 0;  // not a leap
        r.longest_run = std::max(r.longest_run, raged_at ? run : 0);
        if (raged_at && r.roar == t - raged_at && b[REG_STATE] == S_THROWN && b[REG_WX] == last_wx)
            r.roar++;
        if (raged_at && r.x_after < 0 && t > raged_at + r.roar + 1 && b[REG_STATE] == S_FREE)
            r.x_after = b[REG_WX] - amc_globals[GLOBAL_SCROLL_MAP];
        last_wx = b[REG_WX];
    }
    EXPECT_TRUE(raged_at) << "street " << street;
    return r;
}

// In the last fight Rosalie kicks the spent hero his supper, once.
TEST_F(Bosses, RosalieFeedsASpentHeroOnce)
{
    const int16_t at = boss_of(LAST_STREET)[1];  // where he was spawned
    int girl = actor_spawn(4);
    regs(girl)[0] = at;
    regs(girl)[1] = 150;
    int fed = 0;
    for (int t = 0; t < 600; t++) {
        amc_globals[GLOBAL_ENERGY] = t < 100 ? 200 : 30;
        int before = count(PROGRAM_PICKUP, 7);  // IT_BURGER
        step();
        fed += count(PROGRAM_PICKUP, 7) > before;
        if (t == 99) {
            EXPECT_EQ(fed, 0) << "a hero with his energy is left to fight";
        }
    }
    EXPECT_EQ(fed, 1);
}

constexpr int SIGNATURE = 8;  // a boss's plan: his own attack

struct Signature {
    bool made = false;       // he made his own attack
    bool hero_down = false;  // ... and it threw the hero down
    bool open = false;       // ... and he stood open after it
    int ticks = 0;           // ... how long it lasted
    int turns = 0;           // ... how often he ran the other way (BUTCH)
};

// The one answer to each boss's own attack: out of BUTCH's lane, over
// RUST's sweep, out of VIPER's shadow once it stops, out of DOZER's lane,
// back out of KING's reach.
int answer(int street, const int16_t* b, const int16_t* h)
{
    switch (street) {
    case 1:
    case 4: return CTRL_UP;
    case 2: return b[REG_HITS] == 20 ? CTRL_PUNCH | CTRL_KICK : 0;
    case 3: return b[REG_Z] > 0 && b[REG_HITS] > 0 ? CTRL_DOWN : 0;
    default: return h[REG_WX] > b[REG_WX] ? CTRL_RIGHT : CTRL_LEFT;
    }
}

// In a rage RUST's second sweep and VIPER's sweep after her drop come too
// soon for another jump: once the first part is past, walk out of reach.
int answer_in_rage(int street, const int16_t* b, const int16_t* h, bool& first_past)
{
    if (street == 2 || street == 3) {
        first_past |= street == 2 ? h[REG_Z] > 0 : b[REG_Z] > 0 && b[REG_HITS] <= 0;
        if (first_past && (street == 3 || h[REG_Z] == 0))
            return h[REG_WX] > b[REG_WX] ? CTRL_RIGHT : CTRL_LEFT;
    }
    return answer(street, b, h);
}

// Street `street`'s boss (in a rage if `rage`) comes at a hero who waits
// for him, then makes his first attack; the hero answers it or stands.
Signature first_attack(int street, bool answered, bool rage = false)
{
    int16_t* b = boss_of(street);
    const int hero = the_hero();
    regs(hero)[REG_WX] = (int16_t)(amc_globals[GLOBAL_SCROLL_MAP] + 150);  // room to back off
    regs(hero)[REG_GY] = 176;
    Signature sig;
    bool first_past = false;
    int last_wx = 0, way = 0;
    for (int t = 0; t < 1500; t++) {
        amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;  // the hero lasts
        if (rage && b[REG_TRAITS])  // his temper only, once his row set his speed
            b[REG_TRAITS] |= M_RAGE;
        // his plan is 4 once it met the hero
        const bool on = (b[REG_TOKEN] == SIGNATURE || (sig.made && b[REG_TOKEN] == 4)) &&
                        b[REG_STATE] == S_SPECIAL;
        if (sig.made && !on) {
            sig.open = b[REG_STATE] == S_HURT;
            break;
        }
        sig.made |= on;
        sig.ticks += on;
        int ctl = 0;
        if (on && answered)
            ctl = rage ? answer_in_rage(street, b, regs(hero), first_past) : answer(street, b, regs(hero));
        step((uint16_t)ctl);
        sig.hero_down |= on && regs(hero)[REG_STATE] == S_DOWN;
        const int d = b[REG_WX] - last_wx, now = d >= 4 ? 1 : d <= -4 ? -1 : 0;
        if (on && now && way && now != way)
            sig.turns++;
        way = on && now ? now : way;
        last_wx = b[REG_WX];
    }
    return sig;
}

// Street `street`'s boss, a little worn (three quarters of his health),
// watched fighting a hero who stands: whether he used his ground (a run
// across the view in his lane, or the street's hazard called on the hero)
// while not yet in a rage.
bool uses_his_ground_early(int street, uint32_t seed)
{
    int16_t* b = boss_of(street, seed);
    const int hazard = street == 2 ? H_CAR : street == 4 ? H_STEAM : H_FORKLIFT;
    const bool runs = street == 1 || street == 3;
    const int before = count(PROGRAM_HAZARD, hazard);
    int run = 0, last_wx = 0;
    for (int t = 0; t < 1500; t++) {
        amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;  // the hero lasts
        if (t == 1)
            b[REG_HEALTH] = (int16_t)(b[REG_MAX_HEALTH] * 3 / 4);
        step();
        if (b[REG_TRAITS] & M_RAGE)
            return false;
        run = std::abs(b[REG_WX] - last_wx) >= 6 && b[REG_STATE] == S_SPECIAL ? run + 1 : 0;
        last_wx = b[REG_WX];
        if (runs ? run >= 20 : count(PROGRAM_HAZARD, hazard) > before)
            return true;
    }
    return false;
}

// Each boss opens with his own attack, which throws down a hero who stands
// and lets one who answers it go by, leaving him open; a little worn, he
// uses his ground long before his rage; in a rage he brings on a change of
// his own, and his attack goes on past where it ends when he is calm (BUTCH
// bounces back up his lane, RUST sweeps again, VIPER sweeps from her drop,
// DOZER's ground rings twice, KING feints first) and still has its answer.
TEST_F(Bosses, EachBossHasHisOwnAttackGroundAndRage)
{
    for (int street = 1; street <= LAST_STREET; street++) {
        SCOPED_TRACE(street);
        Signature answered[2];
        for (bool rage : {false, true}) {
            SCOPED_TRACE(rage ? "in a rage" : "calm");
            const Signature stood = first_attack(street, false, rage);
            const Signature& a = answered[rage] = first_attack(street, true, rage);
            ASSERT_TRUE(stood.made && a.made) << "his first attack is his own";
            EXPECT_TRUE(stood.hero_down) << "it throws down a hero who stands";
            EXPECT_FALSE(a.hero_down) << "its answer lets it go by";
            EXPECT_TRUE(a.open) << "... and leaves him open";
        }
        EXPECT_GE(answered[1].ticks, answered[0].ticks + 12) << "calm " << answered[0].ticks;
        if (street == 1) {
            EXPECT_EQ(answered[0].turns, 0);
            EXPECT_GE(answered[1].turns, 1) << "BUTCH runs back up his lane";
        }
        EXPECT_TRUE(uses_his_ground_early(street, 1));
        if (street == 4) {
            // his rampage is a plan among others: one of a few seeds shows it
            int run = 0;
            for (uint32_t seed = 1; seed <= 4 && run < 24; seed++)
                run = std::max(run, enrage(4, seed).longest_run);
            EXPECT_GE(run, 24) << "DOZER runs the width of the view";
        } else {
            EXPECT_EQ(enrage(street, 1).brought, 1)
                << "one of VIPER's gang drops in; the street's set piece turns on the hero";
        }
    }
}

// A rage is a phase of its own: the blow that brings it on is shrugged
// off, he stands and roars, then fights on from the view's middle.
TEST_F(Bosses, HisRageBeginsWithARoar)
{
    for (int street = 1; street <= LAST_STREET; street++) {
        SCOPED_TRACE(street);
        const Rage r = enrage(street, 2);
        EXPECT_GE(r.roar, 48);
        EXPECT_GE(r.x_after, 100);
        EXPECT_LE(r.x_after, VIEW - 100);
    }
}

struct Away {
    int x = 0;            // his place in the view once he landed
    int gap = 0;          // ... so far from the hero
    bool out = false;     // he left the view on the way
    int highest = 0;      // ... how high he went
};

// Street `street`'s boss, free to be hit, is set against the view's right
// edge (or, `pinned` false, at its middle) with the hero at `hero_x`
// before him and takes the blow of a chain he shrugs off.
Away shrugs_off(int street, int hero_x, bool pinned = true)
{
    int16_t* b = boss_of(street);
    const int16_t view = amc_globals[GLOBAL_SCROLL_MAP];
    int16_t* h = regs(the_hero());
    Away a;
    int shrugged_at = 0;
    for (int t = 0; t < 3000 && (!shrugged_at || t < shrugged_at + 150); t++) {
        amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;  // the hero lasts
        amc_globals[GLOBAL_LOCK] = amc_globals[GLOBAL_STREET_END] = view;  // the view stands, as in his fight
        if (!shrugged_at && t > 120 && b[REG_STATE] == S_FREE && b[REG_DMG] == 0 && b[REG_Z] == 0) {
            shrugged_at = t;
            b[REG_WX] = (int16_t)(view + (pinned ? VIEW - 56 : VIEW / 2));
            h[REG_WX] = (int16_t)(view + hero_x);
            h[REG_GY] = b[REG_GY];
            b[REG_HITS] = 2;  // two in a row before this one
            b[REG_DMG] = 2;
            b[REG_FORCE] = 1;  // F_LIGHT
        }
        step();
        const int x = b[REG_WX] - view;
        a.out |= shrugged_at && (x < 0 || x > VIEW);
        a.highest = std::max<int>(a.highest, shrugged_at ? b[REG_Z] : 0);
        if (shrugged_at && t > shrugged_at + 50 && b[REG_Z] == 0 && !a.gap) {
            a.x = x;
            a.gap = std::abs(b[REG_WX] - h[REG_WX]);
        }
    }
    EXPECT_TRUE(shrugged_at);
    return a;
}

// Chained against the view's edge, a boss does not trade blows there: he
// shrugs the chain off and leaps to the middle, beside a hero who stands
// there rather than onto him; at the middle already, he stands his ground.
TEST_F(Bosses, ABossPinnedAtTheEdgeLeapsToTheMiddle)
{
    for (int street = 1; street <= LAST_STREET; street++) {
        SCOPED_TRACE(street);
        for (int hero_x : {VIEW - 96, VIEW / 2 + 10, VIEW / 2 - 30}) {
            SCOPED_TRACE(hero_x);
            const Away a = shrugs_off(street, hero_x);
            EXPECT_FALSE(a.out);
            EXPECT_GE(a.x, 100);
            EXPECT_LE(a.x, VIEW - 100);
            EXPECT_GE(a.gap, 40) << "not on top of the hero";
        }
        EXPECT_EQ(shrugs_off(street, VIEW / 2 - 40, false).highest, 0);
    }
}

struct Duel {
    int max_health = 0;
    int first_add_at = -1;  // the boss's health in 24ths when the first of his men came
    int men = 0;            // men who came in all
};

// Street `street`'s boss, at `skill`, fights a hero who stands and lasts,
// worn down a twenty-fourth of his health at a time (each with a light blow,
// which may bring on his rage) until a twenty-fourth is left. His street's
// hazard may strike him too, but not past the next twenty-fourth: the
// shares, not the hazard, are what is measured.
Duel worn_down(int street, int skill)
{
    int16_t* b = boss_of(street, 1, skill);
    // the hero kept where the street starts, short of its first fight: no
    // man comes but the boss's
    const int16_t at = amc_globals[GLOBAL_SCROLL_MAP];
    Duel d;
    int before = count(PROGRAM_ENEMY, -1), share = 24;
    for (int t = 0; t < 24 * 160; t++) {
        amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;  // the hero lasts
        int16_t* h = regs(the_hero());
        h[REG_WX] = std::min<int16_t>(h[REG_WX], (int16_t)(at + 100));
        if (d.max_health && b[REG_STATE] != S_DEAD)
            b[REG_HEALTH] = std::max<int16_t>(b[REG_HEALTH], (int16_t)(d.max_health * (share - 1) / 24 + 1));
        d.max_health = std::max<int>(d.max_health, b[REG_MAX_HEALTH]);  // set on his first turn
        if (t > 0 && t % 160 == 0 && share > 1) {
            b[REG_HEALTH] = (int16_t)(d.max_health * --share / 24 + 1);
            b[REG_DMG] = 1;
            b[REG_FORCE] = 1;  // F_LIGHT
        }
        step();
        const int now = count(PROGRAM_ENEMY, -1);
        if (now > before) {
            d.men += now - before;
            if (d.first_add_at < 0)
                d.first_add_at = share;  // a block may give a blow back: not his health
        }
        before = now;
    }
    return d;
}

// A boss fight opens as a duel: no man of his comes while the boss has more
// than a third of his health (from HARD on, half), and then they all come.
TEST_F(Bosses, ABossFightsAloneUntilWornDown)
{
    for (int skill : {5, 6}) {
        for (int street = 1; street <= LAST_STREET; street++) {
            SCOPED_TRACE(::testing::Message() << "street " << street << " skill " << skill);
            const Duel d = worn_down(street, skill);
            ASSERT_GT(d.max_health, 0);
            EXPECT_GT(d.first_add_at, 0) << "his men come before he falls";
            EXPECT_LE(d.first_add_at, skill > 5 ? 12 : 8) << "no add before the duel's end";
            // the hero fells none: as many come as may stand beside him,
            // one up to NORMAL, two from HARD (KING's later calls wait)
            EXPECT_EQ(d.men, skill > 5 ? 2 : 1);
        }
    }
}

constexpr int HUGGING = 9;  // BUTCH's plan while he holds the hero in his bear hug

struct Hug {
    int told = 0;         // ticks he stood winding up before he took hold
    int held = 0;         // ticks the hero was held
    int lost = 0;         // the hero's energy it cost
    bool thrown = false;  // ... and he was flung down at its end
    bool open = false;    // BUTCH stood open after it
};

// Street `street`'s boss, a little worn (his first attack spent), on seeds
// 1 to 6 in turn, until `tick(b, h, t)`, which steps, says it has seen all.
template <class F>
bool worn_boss(int street, F&& tick)
{
    for (uint32_t seed = 1; seed <= 6; seed++) {
        int16_t* b = boss_of(street, seed);
        for (int t = 0; t < 6000; t++) {
            if (t == 1)
                b[REG_HEALTH] = (int16_t)(b[REG_MAX_HEALTH] - 1);
            if (tick(b, regs(the_hero()), t))
                return true;
        }
    }
    return false;
}

// BUTCH fights a hero who stands in his lane until a bear hug takes him;
// held, the hero shakes (Left and Right in turn, as a hand keeps up) or
// stands.
Hug bear_hug(bool shakes)
{
    Hug hug;
    int windup = 0, hugged_at = -1;
    EXPECT_TRUE(worn_boss(1, [&](int16_t* b, const int16_t* h, int t) {
        if (t == 0)
            windup = 0, hugged_at = -1;
        if (hugged_at < 0)
            amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;  // the hero lasts to it
        const bool shaking = shakes && h[REG_STATE] == S_HELD;
        step((uint16_t)(shaking ? (t / 6) % 2 ? CTRL_LEFT : CTRL_RIGHT : 0));
        if (hugged_at < 0) {
            windup = b[REG_STATE] == S_WINDUP || b[REG_STATE] == S_SPECIAL ? windup + 1 : 0;
            if (b[REG_TOKEN] == HUGGING)
                hugged_at = t, hug.told = windup;
            return false;
        }
        hug.held += h[REG_STATE] == S_HELD;
        hug.thrown |= h[REG_STATE] == S_DOWN;
        if (b[REG_TOKEN] == HUGGING || b[REG_STATE] == S_WINDUP || t <= hugged_at + 2)
            return false;
        for (int i = 0; i < 30; i++) {
            step();
            hug.open |= b[REG_STATE] == S_HURT;
            hug.thrown |= h[REG_STATE] == S_DOWN;
        }
        hug.lost = FULL_ENERGY - amc_globals[GLOBAL_ENERGY];
        return true;
    })) << "no bear hug in six fights";
    return hug;
}

// BUTCH's bear hug comes with a long tell of its own, drains a hero who
// only stands in it each second until he is flung down, and lets one who
// shakes go at once, BUTCH left open.
TEST_F(Bosses, ButchsBearHugIsToldDrainsAndIsShakenOff)
{
    const Hug stood = bear_hug(false), shaken = bear_hug(true);
    EXPECT_GE(stood.told, 36) << "longer than his throw's wind-up";
    EXPECT_GE(stood.held, 3 * 72);
    EXPECT_GE(stood.lost, 4 * shaken.lost) << "a squeeze each second, and the fall";
    EXPECT_TRUE(stood.thrown);
    EXPECT_LE(shaken.held, 40);
    EXPECT_LE(shaken.lost, 8);
    EXPECT_FALSE(shaken.thrown);
    EXPECT_TRUE(shaken.open);
}

struct Dash {
    int told = 0;          // ticks he stood sighting along the pipe, the run not begun
    int run = 0;           // how far he ran
    bool hero_down = false;
    bool open = false;     // KING stood open after it
};

// KING fights a hero who stands in his lane until he draws back for his
// dash (his run-up, plan 2); once KING stands sighting, the hero steps out
// of the lane toward the room there, or stands.
Dash pipe_dash(bool steps_out)
{
    Dash d;
    int last_wx = 0, from = 0, way = 0;
    bool on = false;
    EXPECT_TRUE(worn_boss(5, [&](int16_t* b, const int16_t* h, int t) {
        if (t == 0)
            last_wx = b[REG_WX], from = way = 0, on = false;
        amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
        const bool dash = b[REG_TOKEN] == 2 && b[REG_STATE] == S_SPECIAL;
        if (on && !dash) {
            d.open = b[REG_STATE] == S_HURT;
            return true;
        }
        if (dash && b[REG_WX] == last_wx && !d.run)  // standing still, sighting
            d.told++, from = b[REG_WX];
        if (!d.told)
            way = h[REG_GY] < (GROUND_TOP + GROUND_BOTTOM) / 2 ? CTRL_DOWN : CTRL_UP;
        on |= dash;
        last_wx = b[REG_WX];
        step((uint16_t)(steps_out && d.told ? way : 0));
        if (d.told && dash)
            d.run = std::max(d.run, std::abs(b[REG_WX] - from));
        d.hero_down |= dash && h[REG_STATE] == S_DOWN;
        return false;
    })) << "no dash in six fights";
    return d;
}

// KING's dash is told long, crosses the view, fells a hero who stands in
// his lane, misses one who steps out of it and leaves him open.
TEST_F(Bosses, KingsDashIsToldCrossesTheViewAndIsSteppedOutOf)
{
    const Dash stood = pipe_dash(false), stepped = pipe_dash(true);
    EXPECT_GE(stood.told, 30);
    EXPECT_TRUE(stood.hero_down);
    EXPECT_FALSE(stepped.hero_down);
    EXPECT_GE(stepped.run, VIEW / 2) << "edge to edge";
    EXPECT_TRUE(stepped.open);
}

struct Edges {
    int hero_right = 0;            // the hero's farthest x from the view's left
    int boss_out = 0;              // ticks the boss's body crossed an edge
    int lying_out = 0;             // ... or his body on the ground did
};

// Street `street`'s boss fought at the street's end by a hero who holds
// right and jabs: the view stands still at the end, as in the game.
Edges press_right(int street, uint32_t seed)
{
    begin_street(street, seed);
    // the street's end, short of its first fight: the director waits there
    amc_globals[GLOBAL_SCROLL_MAP] = 60;
    const int hero = the_hero(), boss = spawn_man(E_BOSS + street, 60 + 200);
    Edges e;
    for (int t = 0; t < 2400; t++) {
        amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;  // the hero lasts
        amc_globals[GLOBAL_LOCK] = amc_globals[GLOBAL_STREET_END] = 60;
        step((uint16_t)(CTRL_RIGHT | (t % 16 < 2 ? CTRL_PUNCH : 0)));
        const int16_t* b = regs(boss);
        if (b[REG_STATE] == S_DEAD)
            break;
        const int x = b[REG_WX] - 60, half = b[REG_STATE] == S_DOWN ? 32 : 16;
        e.hero_right = std::max(e.hero_right, regs(hero)[REG_WX] - 60);
        if (b[REG_WX] && (x - half < 0 || x + half > VIEW))  // once his script has placed him
            (b[REG_STATE] == S_DOWN ? e.lying_out : e.boss_out)++;
    }
    return e;
}

TEST_F(Bosses, ABossFightIsFoughtInsideTheView)
{
    for (int street = 1; street <= LAST_STREET; street++) {
        SCOPED_TRACE(street);
        const Edges e = press_right(street, (uint32_t)street);
        // room for a man beside him at arm's length, and for the boss (a
        // landed punch may carry him a step on)
        EXPECT_LE(e.hero_right, VIEW - 60);
        EXPECT_EQ(e.boss_out, 0);
        EXPECT_EQ(e.lying_out, 0) << "knocked down half out of view";
    }
}

// The men (not bosses) on their feet or down, but not beaten.
int men_standing()
{
    return count_actors([](int s) { return regs(s)[REG_CLASS] == C_ENEMY && regs(s)[REG_STATE] != S_DEAD; });
}

// Every man of the fight standing is felled with one heavy blow.
void fell_the_men()
{
    for (int s = actor_next(0), k = 0; s && k < 63; s = actor_next(s), k++) {
        int16_t* m = regs(s);
        if (actor_table.slots[s].program == PROGRAM_ENEMY && m[REG_CLASS] == C_ENEMY && m[REG_STATE] != S_DEAD) {
            m[REG_HEALTH] = 1;
            m[REG_DMG] = 20;
            m[REG_FORCE] = 2;  // F_HEAVY
        }
    }
}

// RUST opens inside his gang: he whistles his men in, one at a time, and
// stands back in the yard's back lane, out of the fray, while they fight;
// once the last is down he comes for the hero.
TEST_F(Bosses, RustStandsBackWhileHisGangFights)
{
    int16_t* b = boss_and_company(2);
    int most_men = 0, came = 0, before = 0, in_fray = 0, came_at = -1;
    const int felled_at = 900, again_at = 1300;
    for (int t = 0; t < 2400 && came_at < 0; t++) {
        amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;  // the hero lasts
        if (t == felled_at || t == again_at)
            fell_the_men();
        step();
        const int men = men_standing();
        most_men = std::max(most_men, men);
        came += std::max(0, count(PROGRAM_ENEMY, -1) - before);
        before = count(PROGRAM_ENEMY, -1);
        const bool back = b[REG_GY] <= GROUND_TOP + 10 && b[REG_WX] - amc_globals[GLOBAL_SCROLL_MAP] > VIEW / 2;
        if (t > 300 && t < again_at)
            in_fray += !back;
        if (t > again_at && men == 0 && !back)
            came_at = t;
    }
    EXPECT_EQ(most_men, 1) << "his men come one at a time";
    EXPECT_EQ(came, 2) << "a blade, then a thrower";
    EXPECT_EQ(in_fray, 0) << "he stays back while they stand";
    EXPECT_GT(came_at, again_at) << "he wades in once they are down";
    EXPECT_LT(came_at, again_at + 600);
}

// However a boss fight at NORMAL goes, no more than one of his men stands
// beside him (VIPER's sister is no man of hers): each street's boss, with
// whoever comes with him, is worn down a twenty-fourth at a time to his
// last, the men felled now and then so that the next may come.
TEST_F(Bosses, ABossFightAtNormalHasOneManBesideHim)
{
    for (int street = 1; street <= LAST_STREET; street++) {
        SCOPED_TRACE(street);
        boss_and_company(street);
        int most = 0, came = 0, before = 0;
        for (int t = 1; t < 24 * 120; t++) {
            amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;  // the hero lasts
            if (t % 120 == 0)
                for (int s = actor_next(0), k = 0; s && k < 63; s = actor_next(s), k++) {
                    int16_t* r = regs(s);
                    if (r[REG_CLASS] == C_BOSS && r[REG_STATE] != S_DEAD && r[REG_HEALTH] > r[REG_MAX_HEALTH] / 24) {
                        r[REG_HEALTH] = (int16_t)std::max(1, r[REG_HEALTH] - r[REG_MAX_HEALTH] / 24);
                        r[REG_DMG] = 1;
                        r[REG_FORCE] = 1;  // F_LIGHT
                    }
                }
            if (t % 700 == 0)
                fell_the_men();
            step();
            most = std::max(most, men_standing());
            came += std::max(0, count(PROGRAM_ENEMY, -1) - before);
            before = count(PROGRAM_ENEMY, -1);
        }
        EXPECT_GE(came, 1) << "his men come";
        EXPECT_LE(most, 1);
    }
}

// VIPER fights with her sister: they take turns by the fight's clock, one
// standing back while the other attacks, so both attack but never at once;
// beating one enrages the other, who is then the street's boss.
TEST_F(Bosses, VipersSistersTakeTurnsAndTheLastRages)
{
    int16_t* b = boss_and_company(3);
    int sister = 0, at_once = 0;
    bool attacked[2] = {false, false};
    auto striking = [](const int16_t* v) { return v[REG_STATE] == S_WINDUP || v[REG_STATE] == S_SPECIAL; };
    for (int t = 0; t < 3600; t++) {
        amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;  // the hero lasts
        amc_globals[GLOBAL_TIMER] = (int16_t)(20000 - t);
        step();
        for (int s = actor_next(0), k = 0; s && k < 63; s = actor_next(s), k++)
            if (actor_table.slots[s].program == PROGRAM_ENEMY && regs(s)[REG_KIND] == E_BOSS + 3 && regs(s) != b)
                sister = s;
        if (!sister)
            continue;
        const int16_t* c = regs(sister);
        attacked[0] |= striking(b);
        attacked[1] |= striking(c);
        at_once += striking(b) && striking(c);
    }
    ASSERT_TRUE(sister) << "her sister comes";
    EXPECT_NE(regs(sister)[REG_LIGHT], b[REG_LIGHT]) << "told apart by her colours";
    EXPECT_TRUE(attacked[0] && attacked[1]) << "both take their turns";
    EXPECT_LE(at_once, 24) << "one at a time, but for a blow finishing as the turn passes";

    bool beaten = false;  // (her slot is free for another once she has gone)
    for (int t = 0; t < 400; t++) {
        amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
        if (!beaten && b[REG_HEALTH] > 0 && b[REG_DMG] == 0) {  // until a blow takes (not mid-leap)
            b[REG_HEALTH] = 1;
            b[REG_DMG] = 20;
            b[REG_FORCE] = 2;  // F_HEAVY
        }
        step();
        beaten |= b[REG_STATE] == S_DEAD;
    }
    EXPECT_TRUE(beaten);
    EXPECT_EQ(amc_globals[GLOBAL_BOSS], sister) << "the street is won on the last one";
    EXPECT_TRUE(regs(sister)[REG_TRAITS] & M_RAGE) << "beating one enrages the other";
}

// The sister who rests keeps clear of the other and strikes at nothing: with
// VIPER held on the right rest spot and the hero crouching where the left
// one is too near him, her sister never comes to stand on VIPER.
TEST_F(Bosses, VipersRestingSisterKeepsClearAndStill)
{
    int16_t* b = boss_and_company(3);
    const int hero = the_hero();
    int sister = 0, on_one_spot = 0, rested = 0, struck_resting = 0;
    for (int t = 0; t < 3600; t++) {
        amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
        amc_globals[GLOBAL_TIMER] = (int16_t)(20000 - t);
        const int left = amc_globals[GLOBAL_SCROLL_MAP];
        if (t > 200) {
            place(hero, left + 120, 176);
            place(amc_globals[GLOBAL_BOSS], left + VIEW - 60, GROUND_TOP + 6);
            b[REG_WAIT] = 200;
        }
        step(t % 40 < 30 ? CTRL_DOWN : 0);  // crouching, up now and then
        for (int s = actor_next(0), k = 0; s && k < 63; s = actor_next(s), k++)
            if (actor_table.slots[s].program == PROGRAM_ENEMY && regs(s)[REG_KIND] == E_BOSS + 3 && regs(s) != b)
                sister = s;
        if (!sister || t < 300)
            continue;
        const int16_t* c = regs(sister);
        const bool resting = c[REG_GY] <= GROUND_TOP + 8 && std::abs(c[REG_WX] - regs(hero)[REG_WX]) > 40;
        rested += resting;
        struck_resting += resting && (c[REG_STATE] == S_WINDUP || c[REG_STATE] == S_SPECIAL);
        if (std::abs(b[REG_WX] - c[REG_WX]) < 16 && std::abs(b[REG_GY] - c[REG_GY]) < 8)
            on_one_spot++;
    }
    ASSERT_TRUE(sister);
    EXPECT_GT(rested, 300) << "she takes her rests";
    EXPECT_EQ(struck_resting, 0);
    EXPECT_LE(on_one_spot, 8) << "two standing as one";
}

// DOZER fights in phases: with the pipe he tore up he strikes from beyond a
// jab's reach; a swing that misses leaves him open, and knocked down then he
// lets go of it, to lie for the hero to take; he gets up to use his fists.
TEST_F(Bosses, DozerLosesHisPipeWhenFlooredOutOfAMissedSwing)
{
    int16_t* b = boss_of(4);
    const int hero = the_hero();
    const int16_t* h = regs(hero);
    b[REG_HEALTH] = (int16_t)(b[REG_MAX_HEALTH] - 10);  // touched: not his opening quake
    auto windup_reach = [&] {
        step_until([&] { return b[REG_STATE] == S_WINDUP && b[REG_TOKEN] == 1; }, 1500);
        EXPECT_EQ(b[REG_STATE], S_WINDUP);
        return std::abs(b[REG_WX] - h[REG_WX]);
    };
    amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
    EXPECT_GE(windup_reach(), 36) << "the pipe's length";
    const int away = b[REG_WX] < h[REG_WX] ? 70 : -70;
    place(hero, b[REG_WX] + away, b[REG_GY]);  // stepped out of it
    EXPECT_LT(step_until([&] { return b[REG_STATE] == S_HURT; }, 200), 200) << "open after a miss";
    EXPECT_EQ(count(PROGRAM_PICKUP, IT_PIPE), 0);
    b[REG_DMG] = 10;
    b[REG_FORCE] = 2;  // F_HEAVY
    EXPECT_LT(step_until([&] { return b[REG_STATE] == S_DOWN; }, 60), 60);
    step_for(30);
    EXPECT_EQ(count(PROGRAM_PICKUP, IT_PIPE), 1) << "it lies by him";
    amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
    step_until([&] { return b[REG_STATE] == S_FREE; }, 300);
    EXPECT_LT(windup_reach(), 36) << "his fists";
}

// The last street's fight with the street's men taken away: KING is felled
// each time he stands, with a heavy blow on his last breath. His bar runs
// out once and he gets up to a short second one; when that runs out he is
// beaten: the blow holds the fight still, he flies high, lands, bounces and
// lies, his men run, and STAGE CLEAR waits until he has lain a while.
TEST_F(Bosses, KingRisesOnceAndHisFallHoldsStageClearBack)
{
    constexpr int REG_DROP = 4, KING_RISEN = 0x8000, BOSS_BEATEN = 0x4000;
    begin_street(LAST_STREET, 1);
    int rose = 0, second_bar = 0, fell_at = -1, lay_at = -1, clear_at = -1;
    int highest = 0, landings = 0, hit_stop = 0, men = 0, man = 0;
    bool was_down = false, in_air = false;
    for (int t = 0; t < 30000 && clear_at < 0; t++) {
        amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
        const int b = amc_globals[GLOBAL_BOSS];
        for (int s = actor_next(0); s != 0;) {
            const int next = actor_next(s);
            if (s != man && regs(s)[REG_CLASS] == C_ENEMY && actor_table.slots[s].program == PROGRAM_ENEMY)
                actor_remove(s);
            s = next;
        }
        if (b == 0 && amc_globals[GLOBAL_STAGE] != ST_CLEAR)
            amc_globals[GLOBAL_FOES] = 0;
        int16_t* r = b ? regs(b) : nullptr;
        if (r && r[REG_CLASS] == C_BOSS && fell_at < 0) {
            if (rose && man == 0) {  // one of his men stands by for his second bar
                man = spawn_man(E_BRAWLER, r[REG_WX] + 90);
                amc_globals[GLOBAL_FOES]++;
            }
            if (man)
                regs(man)[REG_WAIT] = 200;
            const bool down = r[REG_STATE] == S_DOWN || r[REG_STATE] == S_THROWN;
            if (was_down && !down && r[REG_DROP] & KING_RISEN && r[REG_HEALTH] > 1)
                rose++, second_bar = r[REG_HEALTH];
            was_down = down;
            if (!down && r[REG_STATE] != S_DEAD && r[REG_DMG] == 0 && t % 8 == 0)
                r[REG_HEALTH] = 1, r[REG_DMG] = 10, r[REG_FORCE] = 2, r[REG_KNOCK] = 1;  // F_HEAVY
        }
        step(b ? 0 : CTRL_RIGHT);  // on to him
        r = b ? regs(b) : nullptr;
        if (r && fell_at < 0 && r[REG_DROP] & BOSS_BEATEN)
            fell_at = t, hit_stop = amc_globals[GLOBAL_FREEZE];
        if (fell_at >= 0 && lay_at < 0) {
            highest = std::max<int>(highest, r[REG_Z]);
            landings += in_air && r[REG_Z] == 0;
            in_air = r[REG_Z] > 0;
            if (r[REG_STATE] == S_DEAD)
                lay_at = t;
            if (man && actor_table.slots[man].program == PROGRAM_ENEMY && regs(man)[REG_CLASS] == 0)
                men++;  // he turned tail
        }
        if (amc_globals[GLOBAL_STAGE] == ST_CLEAR)
            clear_at = t;
    }
    EXPECT_EQ(rose, 1);
    EXPECT_GT(second_bar, 1);
    ASSERT_GE(fell_at, 0) << "never beaten";
    ASSERT_GE(lay_at, 0);
    ASSERT_GE(clear_at, 0);
    EXPECT_GE(hit_stop, 20) << "the last blow holds the fight still";
    EXPECT_GE(highest, 40) << "a long fall";
    EXPECT_EQ(landings, 2) << "a bounce";
    EXPECT_GT(men, 0) << "his man runs";
    EXPECT_GE(clear_at - lay_at, 72) << "STAGE CLEAR came before he lay a second";
    EXPECT_LE(clear_at - fell_at, 3 * 72 + 20) << "the end drags";

    // The rescue with the hero standing just in front of KING's body: she
    // comes into his lane, and the body does not lie across their hug.
    constexpr int PROGRAM_FIGURE = 11, PROGRAM_GIRL = 4;
    int body = 0, girl = 0;
    for (int s = actor_next(0); s; s = actor_next(s)) {
        body = actor_table.slots[s].program == PROGRAM_FIGURE ? s : body;
        girl = actor_table.slots[s].program == PROGRAM_GIRL ? s : girl;
    }
    ASSERT_TRUE(body && girl);
    int16_t* h = regs(the_hero());
    h[REG_WX] = (int16_t)(regs(body)[REG_X] + amc_globals[GLOBAL_SCROLL_MAP] + 10);
    h[REG_GY] = (int16_t)(regs(body)[REG_GY] + 20);
    int hugged_at = -1;
    for (int t = 0; t < 3000 && hugged_at < 0; t++) {
        step();
        if (regs(girl)[REG_STATE] == 2)
            hugged_at = t;
    }
    ASSERT_GE(hugged_at, 0) << "she never reached him";
    EXPECT_LE(std::abs(regs(girl)[REG_GY] - h[REG_GY]), 1) << "a hug across two lanes";
    EXPECT_TRUE(actor_table.slots[body].program != PROGRAM_FIGURE || regs(body)[REG_FRAME] == 0)
        << "KING lies across the hug";
}

// BUTCH beaten flies high and is down for good within two seconds; the
// first of VIPER's sisters to fall falls as any man does: hers fights on.
TEST_F(Bosses, OnlyTheLastBossFallsLong)
{
    for (int street : {1, 3}) {
        SCOPED_TRACE(street);
        const int b = lone_boss(street);
        step_for(120);
        int16_t* r = regs(b);
        r[REG_HEALTH] = 1, r[REG_DMG] = 10, r[REG_FORCE] = 2, r[REG_KNOCK] = 1;
        int highest = 0;
        const int ticks = step_until([&] {
            highest = std::max<int>(highest, r[REG_Z]);
            return r[REG_STATE] == S_DEAD;
        }, 400);
        if (street == 1)
            EXPECT_GE(highest, 40);
        else
            EXPECT_LT(highest, 40) << "her sister fights on";
        EXPECT_LT(ticks, street == 1 ? 150 : 60);
    }
}

}  // namespace
