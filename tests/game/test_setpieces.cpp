// The streets' set pieces (hazards, moments, hints, the van), on the game's own scripts.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/actor.h"
#include "engine/amc.h"
#include "engine/amc_vm.h"
#include "engine/world.h"
#include "game_fixture.h"
#include "nwd_contract.h"

namespace {

int16_t* regs(int s) { return actor_table.slots[s & 63].regs; }

constexpr int PROGRAM_PROP = 5;  // breakable things: r0 kind (2 a crate), r1 wx, r2 gy
constexpr int HAZARD_BLOW = 11;  // the hazard's register holding the force it deals

int find(int program)
{
    for (int s = actor_next(0), n = 0; s && n < 63; s = actor_next(s), n++)
        if (actor_table.slots[s].program == program)
            return s;
    return 0;
}

using Setpieces = ScriptsTest;

// The last street's forklift, moved to the view's middle to start soon, and
// the hero put out of its lane at the view's left: its registers.
int16_t* warehouse_forklift()
{
    begin_street(LAST_STREET, 1);
    int hazard = find(PROGRAM_HAZARD);
    if (hazard == 0)
        return nullptr;
    int16_t* h = regs(hazard);
    h[ARG_HAZARD_WX] = 160;
    h[ARG_HAZARD_FIRST] = 30;
    int16_t* hero = regs(amc_globals[GLOBAL_HERO]);
    hero[REG_WX] = 40;
    hero[REG_GY] = GROUND_BOTTOM;
    return h;
}

constexpr int SPR_HINT_BACK = 346, SPR_HINT_GRAB = 348, SPR_HINT_GLINT = 353;  // nightward.inc

// The first street's hints: their program and registers.
constexpr int PROGRAM_HINTS = 19, PROGRAM_BANNER = 7, SHOWN = 0, LEFT = 1, REST = 2, PICTURE = 9;

// The first street begun with a fight on; its hints' slot.
int hints_in_a_fight()
{
    begin_street(1, 1);
    amc_globals[GLOBAL_FOES] = 1;
    return find(PROGRAM_HINTS);
}
// The picture of the hint up within `ticks`, or 0.
int up_within(int hints, int ticks)
{
    for (int t = 0; t < ticks && regs(hints)[PICTURE] == 0; t++)
        step();
    return regs(hints)[PICTURE];
}
// The hints of bits `shown` shown already, none up: the next may come now.
void fresh(int hints, int shown)
{
    regs(hints)[SHOWN] = (int16_t)shown;
    regs(hints)[PICTURE] = regs(hints)[LEFT] = regs(hints)[REST] = 0;
}
// A man `dx` from the hero in his lane, played by an actor that keeps what
// it is told.
int stand_in(int dx, int state, bool facing_his_way = false)
{
    const int16_t* hero = regs(amc_globals[GLOBAL_HERO]);
    int m = actor_spawn(PROGRAM_BANNER);
    regs(m)[REG_CLASS] = C_ENEMY;
    regs(m)[REG_STATE] = (int16_t)state;
    regs(m)[REG_WX] = (int16_t)(hero[REG_WX] + dx);
    regs(m)[REG_GY] = hero[REG_GY];
    regs(m)[REG_FACING] = facing_his_way ? hero[REG_FACING] : (int16_t)(MIRRORED - hero[REG_FACING]);
    return m;
}

TEST_F(Setpieces, EveryStreetsHazardStrikesTheHeroAndWhatStandsByHim)
{
    for (int street = 1; street <= LAST_STREET; street++) {
        SCOPED_TRACE(street);
        begin_street(street, 1);
        int hazard = find(PROGRAM_HAZARD), hero = amc_globals[GLOBAL_HERO];
        ASSERT_NE(hazard, 0);
        // Placed at the street's start, before its first fight: no enemy
        // comes to muddle who hit whom. The hero stands in its way, at its
        // depth or, if it aims at him, his own.
        int16_t* h = regs(hazard);
        const int place = 120, depth = h[ARG_HAZARD_GY] ? h[ARG_HAZARD_GY] : 176;
        h[ARG_HAZARD_WX] = place;
        h[ARG_HAZARD_FIRST] = 100;  // after the hero's moment of safety
        regs(hero)[REG_WX] = place;
        regs(hero)[REG_GY] = (int16_t)depth;
        int16_t* crate = nullptr;
        bool hero_hit = false;
        for (int t = 0; t < 400; t++) {
            step();
            if (t == 0) {  // a crate beside him, spawned as the courses do
                int c = actor_spawn(PROGRAM_PROP);
                ASSERT_GT(c, 0);
                crate = regs(c);
                crate[0] = 2;
                crate[1] = (int16_t)(place + 8);
                crate[2] = (int16_t)depth;
            }
            // A blow is taken on the victim's next turn: the hazard's own
            // is the one with its force.
            int16_t* r = regs(hero);
            hero_hit |= r[REG_DMG] != 0 && r[REG_FORCE] == h[HAZARD_BLOW];
        }
        EXPECT_TRUE(hero_hit);
        EXPECT_TRUE(crate[REG_HEALTH] < 2 || crate[REG_CLASS] == 0) << "props are hit alike";
    }
}

// The warehouse's forklift shuttles down its own lane on the last street: it
// stands and warns for most of a second before it moves off, bowls over a
// man in its way (a thing to lure men into), passes a hero beside the lane,
// and at the far end turns round and comes back.
TEST_F(Setpieces, TheWarehouseForkliftWarnsThenBowlsOverMenInItsLaneAndComesBack)
{
    int16_t* h = warehouse_forklift();
    ASSERT_NE(h, nullptr);
    const int16_t lane = h[ARG_HAZARD_GY];
    ASSERT_GT(lane, GROUND_TOP);
    int man = actor_spawn(PROGRAM_ENEMY);
    ASSERT_GT(man, 0);
    int16_t* m = regs(man);
    m[ARG_ENEMY_KIND] = E_BRAWLER;
    m[ARG_ENEMY_WX] = 150;
    m[ARG_ENEMY_GY] = lane;
    int warned = -1, struck = -1, turned = -1;
    int16_t warned_at = 0, leftmost = 0x7fff, full = 0;
    const int16_t energy = amc_globals[GLOBAL_ENERGY];
    bool hurt = false;
    for (int t = 0; t < 900; t++) {
        if (t > 2)  // he keeps to the lane, out of the hero's reach
            m[REG_WX] = 150, m[REG_GY] = lane;
        step();
        if (warned < 0 && h[REG_STATE] == S_WINDUP)
            warned = t, warned_at = h[REG_WX];
        if (warned >= 0 && t < warned + 60) {
            EXPECT_EQ(h[REG_WX], warned_at) << "it moved off before it had warned";
        }
        if (t == 5)
            full = m[REG_HEALTH];
        // he takes the blow in the same tick it lands: the knockdown shows it
        if (struck < 0 && t > 5 && m[REG_STATE] == S_DOWN)
            struck = t, hurt = m[REG_HEALTH] < full;
        leftmost = std::min(leftmost, h[REG_WX]);
        if (turned < 0 && h[REG_WX] > leftmost + 100)
            turned = t;
    }
    ASSERT_GE(warned, 0) << "it never set off";
    ASSERT_GE(struck, 0) << "the man in its lane stayed on his feet";
    EXPECT_GE(struck - warned, 60) << "it struck before it had warned";
    EXPECT_TRUE(hurt);
    EXPECT_EQ(amc_globals[GLOBAL_ENERGY], energy) << "it struck the hero beside its lane";
    EXPECT_LT(leftmost, 40) << "it stopped short of the view's far end";
    EXPECT_GE(turned, 0) << "it did not come back";
}

// Each street's first moment on a walk: it holds off while a fight is on,
// then warns for most of a second before it strikes a hero who stood still,
// and spares, and pays, one who stepped out of its depth as it began.
TEST_F(Setpieces, EveryStreetsWalkHasAMomentThatSparesAHeroWhoStepsAside)
{
    constexpr int HOME = 1, BLOW = 6;  // the moment's place and its blow's force
    constexpr int SPR_TELL = 129, SPR_TELL_MARK = 130, SPR_ICON_DOWN = 309, SPR_CRATE = 270;
    for (int street = 1; street <= LAST_STREET; street++) {
        for (bool steps : {false, true}) {
            SCOPED_TRACE(street * 10 + steps);
            begin_street(street, 1);
            int moment = find(PROGRAM_MOMENT), hero = amc_globals[GLOBAL_HERO];
            ASSERT_NE(moment, 0);
            // Brought to the street's start, a walk before its first fight.
            regs(moment)[HOME] = amc_globals[GLOBAL_SCROLL_MAP];
            amc_globals[GLOBAL_FOES] = 1;
            scene::step_for(100);
            ASSERT_NE(regs(moment)[REG_STATE], S_WINDUP) << "it came in a fight";
            amc_globals[GLOBAL_FOES] = 0;
            const int score = amc_globals[GLOBAL_SCORE];
            int warned = -1, struck = -1, crate = 0, ringed = 0;
            for (int t = 0; t < 600 && actor_table.slots[moment].program == PROGRAM_MOMENT; t++) {
                step();
                int16_t *h = regs(hero), *m = regs(moment);
                if (warned < 0 && m[REG_STATE] == S_WINDUP) {
                    warned = t;
                    if (steps)
                        h[REG_GY] = (int16_t)(h[REG_GY] + (h[REG_GY] < 176 ? 20 : -20));
                }
                if (struck < 0 && h[REG_DMG] != 0 && h[REG_FORCE] == m[BLOW])
                    struck = t;
                // a crate coming down onto his spot: the spot is marked, as
                // his own shadow hides the crate's, and not with a wind-up's
                // "!" or ring, which ask for a blow
                auto shown = [](int pic) {
                    return scene::count_actors([pic](int s) {
                        return (actor_table.slots[s].regs[REG_FRAME] & 0x7FFF) == pic;
                    });
                };
                if (warned >= 0 && struck < 0 && (m[REG_FRAME] & 0x7FF) == SPR_CRATE) {
                    crate++;
                    ringed += shown(SPR_ICON_DOWN) > 0;
                    EXPECT_EQ(shown(SPR_TELL) + shown(SPR_TELL_MARK), 0) << "a man's sign on a crate";
                }
            }
            EXPECT_GE(ringed + 1, crate) << "a falling crate's spot unmarked (from its second tick)";
            ASSERT_GE(warned, 0) << "it never came";
            if (steps) {
                EXPECT_LT(struck, 0) << "a hero out of its way struck";
                EXPECT_GT(amc_globals[GLOBAL_SCORE], score) << "no pay for keeping out of its way";
            } else {
                ASSERT_GE(struck, 0) << "a hero in its way spared";
                EXPECT_GE(struck - warned, 50) << "too little warning";
            }
        }
    }
}

// Every street's first man comes within a screen and a half of its start:
// the hero who walks on from the plates meets him, not an empty street (the
// first street leaves its opening half a screen to play out).
TEST_F(Setpieces, EveryStreetsFirstManComesWithinAScreenOfItsStart)
{
    for (int street = 1; street <= LAST_STREET; street++) {
        SCOPED_TRACE(street);
        begin_street(street, 1);
        const int start = regs(amc_globals[GLOBAL_HERO])[REG_WX];
        int first = -1;
        for (int t = 0; t < 20 * 72 && first < 0; t++) {
            step(CTRL_RIGHT);
            if (int e = find(PROGRAM_ENEMY))
                first = regs(e)[REG_WX];
        }
        ASSERT_GE(first, 0) << "no one came";
        EXPECT_LE(first - start, VIEW + (street == 1 ? 160 : 80));
    }
}

// The broken edge over the water: a man knocked down over it is out with a
// splash and his item washes up within the hero's reach; the same blow a
// lane further back only knocks him down. A trash can the hero walks into
// knocks once each time he comes up to it.
TEST_F(Setpieces, TheEdgeTakesMenKnockedOverItAndACanKnocksWhenWalkedInto)
{
    constexpr int PROGRAM_EDGE = 23, PLACE = 150;
    constexpr int F_HEAVY = 2, SFX_THUD = 7;  // a knockdown; the knock of a walk into a can
    for (bool at_edge : {true, false}) {
        SCOPED_TRACE(at_edge);
        begin_street(1, 1);
        int edge = actor_spawn(PROGRAM_EDGE), man = actor_spawn(PROGRAM_ENEMY);
        ASSERT_GT(edge, 0);
        ASSERT_GT(man, 0);
        regs(edge)[0] = PLACE;
        int16_t* m = regs(man);
        m[ARG_ENEMY_KIND] = E_BRAWLER;
        m[ARG_ENEMY_WX] = PLACE + 60;
        m[ARG_ENEMY_GY] = (int16_t)(at_edge ? GROUND_BOTTOM - 2 : GROUND_BOTTOM - 30);
        m[4] = IT_APPLE;  // what he carries
        scene::step_for(10);
        m[REG_DMG] = 1;
        m[REG_KNOCK] = 1;
        m[REG_FORCE] = F_HEAVY;
        scene::step_for(40);
        if (!at_edge) {
            EXPECT_GT(m[REG_HEALTH], 0) << "knocked out away from the edge";
            continue;
        }
        EXPECT_EQ(m[REG_STATE], S_DEAD) << "he lay on over the water";
        int item = find(PROGRAM_PICKUP);
        ASSERT_NE(item, 0) << "his apple went down with him";
        EXPECT_LE(regs(item)[1], GROUND_BOTTOM) << "out of the hero's reach";
    }

    begin_street(1, 1);
    int16_t* hero = regs(amc_globals[GLOBAL_HERO]);
    int can = actor_spawn(PROGRAM_PROP);
    ASSERT_GT(can, 0);
    regs(can)[0] = 1;
    regs(can)[1] = (int16_t)(hero[REG_WX] + 40);
    regs(can)[2] = hero[REG_GY];
    const int16_t from = hero[REG_WX], depth = hero[REG_GY];
    int knocks = 0;
    for (int t = 0; t < 80; t++) {
        if (t == 40)  // back where he started, to walk into it again
            hero[REG_WX] = from, hero[REG_GY] = depth;
        regs(can)[REG_SOUND] = 0;
        step(t % 40 < 30 ? CTRL_RIGHT : 0);
        knocks += regs(can)[REG_SOUND] == SFX_THUD;
    }
    EXPECT_EQ(knocks, 2) << "once each time he walks into it";

    // with no hero on the street there is no one to walk into it
    actor_remove(amc_globals[GLOBAL_HERO]);
    amc_globals[GLOBAL_HERO] = 0;
    knocks = 0;
    for (int t = 0; t < 20; t++) {
        regs(can)[REG_SOUND] = 0;
        step(CTRL_RIGHT);
        knocks += regs(can)[REG_SOUND] == SFX_THUD;
    }
    EXPECT_EQ(knocks, 0) << "knocked with no hero";
}

// A pipe and a crate laid in the hero's lane (a depth past the ground's
// front) keep to his depth while out of sight and stay put once in view:
// he walks over the one, into the other.
TEST_F(Setpieces, ThingsLaidInTheHerosLaneMeetHimHeadOn)
{
    constexpr int CRATE = 2, HIS_LANE = 206, SFX_THUD = 7;  // the knock of a walk into it
    begin_street(2, 1);
    int16_t* hero = regs(amc_globals[GLOBAL_HERO]);
    const int scroll = amc_globals[GLOBAL_SCROLL_MAP], at = scroll + VIEW + 40;
    hero[REG_GY] = 160;
    int pipe = actor_spawn(PROGRAM_PICKUP), crate = actor_spawn(PROGRAM_PROP);
    ASSERT_GT(crate, 0);
    ASSERT_GT(pipe, 0);
    int16_t *c = regs(crate), *p = regs(pipe);
    p[0] = (int16_t)at, p[1] = HIS_LANE, p[3] = IT_PIPE;
    c[0] = CRATE, c[1] = (int16_t)(at + 50), c[2] = HIS_LANE;
    step();
    EXPECT_EQ(c[REG_GY], 160);
    EXPECT_EQ(p[REG_GY], 160);
    hero[REG_GY] = 190;  // he changes lanes before they come into view
    step();
    EXPECT_EQ(c[REG_GY], 190);
    EXPECT_EQ(p[REG_GY], 190);
    // brought into view, they stay in the lane he walked as they came
    amc_globals[GLOBAL_ITEM] = 0;
    hero[REG_WX] = (int16_t)(at - 60);
    amc_globals[GLOBAL_SCROLL_MAP] = (int16_t)(at - 200);
    step();
    hero[REG_GY] = 150;
    step();
    EXPECT_EQ(c[REG_GY], 190) << "it slid across the street in sight";
    EXPECT_EQ(p[REG_GY], 190);
    // walked on down that lane, he takes the pipe and knocks into the crate
    hero[REG_GY] = 190;
    int knocks = 0;
    for (int t = 0; t < 120; t++) {
        for (int e = find(PROGRAM_ENEMY); e; e = find(PROGRAM_ENEMY))
            actor_remove(e);  // the street's first men kept out of it
        amc_globals[GLOBAL_SCROLL_MAP] = (int16_t)(at - 200);
        c[REG_SOUND] = 0;
        step(CTRL_RIGHT);
        knocks += c[REG_SOUND] == SFX_THUD;
    }
    EXPECT_EQ(amc_globals[GLOBAL_ITEM], IT_PIPE) << "the pipe in his lane was not picked up";
    EXPECT_GE(knocks, 1) << "he walked past the crate without meeting it";
}

// The first fight beside the water, below HARD: signs along its lip warn of
// the drop once, when the fight starts, and not while the street is walked.
TEST_F(Setpieces, TheEdgeIsSignedOnceWhenAFightStartsBesideIt)
{
    constexpr int PROGRAM_EDGE = 23, PROGRAM_FX = 6, SPR_WARN = 356, PLACE = 150;
    auto signs = [] {
        int n = 0;
        for (int s = actor_next(0); s != 0; s = actor_next(s))
            n += actor_table.slots[s].program == PROGRAM_FX && regs(s)[REG_FRAME] == SPR_WARN;
        return n;
    };
    for (int skill : {5, 6}) {
        SCOPED_TRACE(skill);
        begin_street(1, 1, ARCADE, skill);
        int edge = actor_spawn(PROGRAM_EDGE);
        ASSERT_GT(edge, 0);
        regs(edge)[0] = PLACE;
        int most = 0, shows = 0;
        for (int t = 0; t < 700; t++) {
            amc_globals[GLOBAL_FOES] = t < 100 ? 0 : 1;
            const int before = signs();
            step();
            const int now = signs();
            if (t < 100) {
                ASSERT_EQ(now, 0) << "signs with no fight on";
            }
            shows += before == 0 && now > 0;
            most = std::max(most, now);
        }
        EXPECT_EQ(shows, skill < 6 ? 1 : 0);
        EXPECT_EQ(most, skill < 6 ? 3 : 0) << "along its length";
        EXPECT_EQ(signs(), 0) << "gone after a few seconds";
    }
}

// A hint stays its time while the hero does something else, and goes soon
// after he makes the move it names, once it has been up long enough to read.
TEST_F(Setpieces, AHintGoesOnceTheHeroMakesTheMoveItNames)
{
    const int hints = hints_in_a_fight();
    ASSERT_NE(hints, 0);
    scene::step_for(10);  // its start run
    const int first = SPR_HINT_BACK;
    // The jump kick's hint (the frame after the first), fresh; none to follow;
    // a man still there for it to fit.
    regs(hints)[SHOWN] = 0x3FF;
    regs(hints)[PICTURE] = (int16_t)(first + 1);
    regs(hints)[LEFT] = 6 * 72;
    for (int t = 0; t < 12 * 72 && regs(hints)[LEFT] >= 4 * 72; t++) {  // up 2 s, to be read
        step();
        // (hidden while a banner shows, as GO! does again and again)
        ASSERT_EQ(regs(hints)[PICTURE], first + 1) << "gone at tick " << t << " unasked";
    }
    int gone = -1;
    for (int t = 0; t < 4 * 72 && gone < 0; t++) {
        step(t < 3 ? CTRL_PUNCH | CTRL_KICK : 0);
        if (regs(hints)[PICTURE] == 0)
            gone = t;
    }
    EXPECT_GE(gone, 0) << "the jump kick made, its hint stayed";
}

// A hint shows only while it fits. The grab's goes as its man stops being
// dazed or is gone, the knife's as its man is beaten; a hint taken down
// unread may come again.
TEST_F(Setpieces, AHintThatNoLongerFitsIsTakenDown)
{
    constexpr int ABOUT = 13, GRAB = 4, KNIFE = 8;
    const int hints = hints_in_a_fight();
    ASSERT_NE(hints, 0);
    scene::step_for(8 * 72);  // the street's name and GO! gone
    const int first = SPR_HINT_BACK;
    auto offer = [&](int bit) { fresh(hints, 0x3FF & ~bit); };  // every other one shown
    for (bool leaves : {false, true}) {
        SCOPED_TRACE(leaves ? "beaten" : "recovers");
        int man = stand_in(30, S_DAZED);
        offer(GRAB);
        ASSERT_EQ(up_within(hints, 6 * 72), first + 2) << "the grab's hint, for the dazed man";
        EXPECT_EQ(regs(hints)[ABOUT], man);
        scene::step_for(72);
        EXPECT_EQ(regs(hints)[PICTURE], first + 2) << "it stays while he wobbles";
        if (leaves)
            actor_remove(man);
        else
            regs(man)[REG_STATE] = S_FREE;
        step();
        EXPECT_EQ(regs(hints)[PICTURE], 0) << "taken down at once";
        EXPECT_EQ(regs(hints)[SHOWN] & GRAB, 0) << "unread: it may come again";
        if (!leaves)
            actor_remove(man);
    }

    // a knife man sinking for his lunge: named while he stands, taken
    // down once he is beaten, read or not
    int knifer = stand_in(70, S_WINDUP);
    regs(knifer)[REG_KIND] = E_KNIFER;
    regs(knifer)[REG_HEALTH] = 30;
    regs(knifer)[3] = 2;  // his plan: the lunge
    offer(KNIFE);
    ASSERT_EQ(up_within(hints, 36), first + 3) << "named as he sinks for the lunge";
    EXPECT_EQ(regs(hints)[ABOUT], knifer);
    regs(knifer)[3] = 0;
    regs(knifer)[REG_STATE] = S_FREE;
    scene::step_for(12);
    EXPECT_EQ(regs(hints)[PICTURE], first + 3) << "it stays while he stands";
    regs(knifer)[REG_HEALTH] = 0;
    step();
    EXPECT_EQ(regs(hints)[PICTURE], 0) << "beaten: taken down";
}

// The first street teaches three ideas before the rest, each as the
// player meets it: the "!" first, and nothing before it (not even with men
// about); a man at his back only once the "!" is known; a dazed man's grab
// as he is dazed.
TEST_F(Setpieces, TheFirstStreetTeachesTheIdeasFirstEachWhenMet)
{
    constexpr int GLINT = 128;
    const int hints = hints_in_a_fight();
    ASSERT_NE(hints, 0);
    int ahead = stand_in(40, S_FREE), behind = stand_in(-30, S_FREE, true);
    fresh(hints, 0);
    EXPECT_EQ(up_within(hints, 8 * 72), 0) << "a hint before any idea was met";
    regs(ahead)[REG_STATE] = S_WINDUP;
    regs(ahead)[24] = 30;  // his wind-up's count (enemy.amcs: u), short of its flashing end
    EXPECT_EQ(up_within(hints, 6 * 72), SPR_HINT_GLINT) << "the first idea, as his sign shows";
    regs(ahead)[REG_STATE] = S_FREE;
    fresh(hints, GLINT);
    EXPECT_EQ(up_within(hints, 6 * 72), SPR_HINT_BACK) << "a man at his back, the \"!\" known";
    actor_remove(behind);

    // the grab is a moment's: it comes as a man is dazed, ideas or not
    int dazed = stand_in(30, S_DAZED);
    fresh(hints, 0);
    EXPECT_EQ(up_within(hints, 2), SPR_HINT_GRAB);
    actor_remove(dazed);
    actor_remove(ahead);
}

// The first street opens on Rosalie taken: she and the gang's van show in
// its first seconds, to a hero who walks straight on, and are gone before
// its first fight; the next street shows the van alone.
TEST_F(Setpieces, TheFirstStreetShowsRosalieTakenBeforeItsFirstFight)
{
    // frames of nightward.inc: Rosalie's 91..102, the van's 107..109
    auto shows = [](int from, int to) {
        for (int s = actor_next(0), n = 0; s && n < 63; s = actor_next(s), n++) {
            int f = regs(s)[REG_FRAME] & 0x7FFF;
            if (f >= from && f <= to)
                return true;
        }
        return false;
    };
    for (int street : {1, 2}) {
        SCOPED_TRACE(street);
        actor_table_reset();
        world_start_level(world_new_game((int16_t)street, ARCADE, 5, 1));
        int girl_seen = 0, van_seen = 0, girl_at_fight = 0, van_at_fight = 0, t = 0;
        for (; t < 30 * 72 && amc_globals[GLOBAL_FOES] == 0; t++) {
            step(CTRL_RIGHT);
            girl_at_fight = shows(91, 102);
            van_at_fight = shows(107, 109);
            girl_seen += girl_at_fight;
            van_seen += van_at_fight;
        }
        ASSERT_LT(t, 30 * 72) << "no fight came";
        EXPECT_FALSE(girl_at_fight || van_at_fight) << "still there as the fight began";
        EXPECT_GT(van_seen, 20);
        if (street == 1)
            EXPECT_GT(girl_seen, 72) << "too short to be seen";
        else
            EXPECT_EQ(girl_seen, 0) << "she is in the van by now";
    }
}

// On the three road stretches after the first the hero follows the van in
// a car, his head in its front pane: seen for a while, never driven into
// the van's back (open door and all), and gone after it before the end.
TEST_F(Setpieces, TheHeroFollowsTheVanOnEveryRoadAfterTheFirst)
{
    constexpr int VAN = 2, MOTORIST = 12, RIDER = 13, FOLLOW = 3;
    constexpr int VAN_BACK = 64, CAR_FRONT = 53;  // from their x, in pixels
    for (int road = FIRST_INTERLUDE + 1; road <= FIRST_INTERLUDE + 3; road++) {
        SCOPED_TRACE(road);
        actor_table_reset();
        world_start_level(world_new_game((int16_t)road, ARCADE, 5, 1));
        int seen = 0, closest = 999, last_x = -999;
        for (int t = 0; t < 600; t++) {
            step();
            int van = find(VAN), car = 0, rider = 0;
            for (int s = actor_next(0), n = 0; s && n < 63; s = actor_next(s), n++) {
                const Actor& a = actor_table.slots[s];
                if (a.program == MOTORIST && a.regs[0] == FOLLOW && a.regs[REG_FRAME])
                    car = s;
            }
            for (int s = actor_next(0), n = 0; car && s && n < 63; s = actor_next(s), n++)
                if (actor_table.slots[s].program == RIDER && regs(s)[0] == car)
                    rider = s;
            if (!car)
                continue;
            const int16_t* c = regs(car);
            last_x = c[REG_X];
            if (c[REG_X] > 0 && c[REG_X] < VIEW) {
                seen++;
                ASSERT_NE(rider, 0) << "an empty car";
                EXPECT_NEAR(regs(rider)[REG_X], c[REG_X] + 11, 12) << "not at the wheel";
                EXPECT_LT(regs(rider)[REG_SORT_KEY], c[REG_SORT_KEY]) << "drawn over the car";
            }
            if (van && regs(van)[REG_FRAME])
                closest = std::min(closest, (regs(van)[REG_X] - VAN_BACK) - (c[REG_X] + CAR_FRONT));
        }
        EXPECT_GT(seen, 2 * 72) << "too short to be seen";
        EXPECT_GE(closest, 0) << "into the van";
        EXPECT_GT(last_x, VIEW) << "left behind";
    }
}

// The men a street after the first sends on a walk: warned of at their
// spot, they come in view where the hero can reach them; a tough comes
// alone, stronger than his kind, in colours no other man of his kind wears
// on his street, with gold on him; and what made him strong is put back,
// so the men after him are as the skill makes them.
TEST_F(Setpieces, EachLaterStreetSendsItsOwnMenOnAWalk)
{
    constexpr int HOME = 1, M_CREW = 7, ENEMY_DROP = 4;  // the moment's place; an enemy's item
    constexpr int SPR_TELL = 129;
    for (int street = 2; street <= LAST_STREET; street++) {
        SCOPED_TRACE(street);
        begin_street(street, 1);
        step();  // the moments have read their kinds
        int crew = 0;
        for (int s = actor_next(0), n = 0; s && n < 63; s = actor_next(s), n++)
            if (actor_table.slots[s].program == PROGRAM_MOMENT && regs(s)[REG_KIND] == M_CREW)
                crew = s;
        ASSERT_NE(crew, 0);
        // the words of the fight before still up (street 2's ambush ends
        // under THEY RUN!): they go as the men come
        constexpr int SPR_THEY_RUN = 299, BAND = 16;
        int16_t* words = regs(actor_spawn(PROGRAM_BANNER));
        words[0] = SPR_THEY_RUN, words[1] = 160, words[2] = 72, words[3] = 600, words[4] = BAND;
        step();
        regs(crew)[HOME] = amc_globals[GLOBAL_SCROLL_MAP];

        int warned = -1, came = -1;
        std::vector<int> men;
        for (int t = 0; t < 300 && actor_table.slots[crew].program == PROGRAM_MOMENT; t++) {
            for (int s = actor_next(0), n = 0; warned < 0 && s && n < 63; s = actor_next(s), n++)
                if (actor_table.slots[s].program == PROGRAM_ENEMY)
                    actor_remove(s), n = 63;  // the first fight's men kept away
            if (warned < 0)
                amc_globals[GLOBAL_FOES] = 0;
            step();
            if (warned < 0 && scene::count_actors([](int s) {
                    return (actor_table.slots[s].regs[REG_FRAME] & 0x7FFF) == SPR_TELL;
                }))
                warned = t;
            if (came < 0 && find(PROGRAM_ENEMY)) {
                came = t;
                EXPECT_EQ(scene::count_actors([](int s) {
                              return actor_table.slots[s].program == PROGRAM_BANNER &&
                                     regs(s)[0] == SPR_THEY_RUN;
                          }), 0) << "THEY RUN! over the men coming";
            }
        }
        for (int s = actor_next(0), n = 0; s && n < 63; s = actor_next(s), n++)
            if (actor_table.slots[s].program == PROGRAM_ENEMY)
                men.push_back(s);
        ASSERT_GE(warned, 0) << "no warning";
        ASSERT_GE(came, 0) << "no one came";
        EXPECT_GE(came - warned, 50) << "too little warning";

        for (int s : men) {
            int x = regs(s)[REG_WX] - amc_globals[GLOBAL_SCROLL_MAP];
            EXPECT_TRUE(x > 0 && x < VIEW) << "out of view at " << x;
        }
        const bool tough_one = men.size() == 1;
        if (!tough_one)
            continue;
        // a man of his kind as the street's own come: weaker, and not in his colours
        int16_t* him = regs(men[0]);
        int plain = scene::spawn_man(him[REG_KIND], 200);
        step();
        EXPECT_GE(him[scene::REG_MAX_HEALTH], regs(plain)[scene::REG_MAX_HEALTH] * 3 / 2);
        EXPECT_EQ(him[ENEMY_DROP] & 15, IT_GOLD);
    }
}

// A drive strikes each fighter once in its pass, though he stays in its
// reach: a boss braced for his special takes blows without falling, and was
// struck on every tick the forklift took to go by him. Its next pass, on
// its way back, strikes him again.
TEST_F(Setpieces, ADriveStrikesAManWhoDoesNotFallOncePerPass)
{
    int16_t* h = warehouse_forklift();
    ASSERT_NE(h, nullptr);
    const int16_t lane = h[ARG_HAZARD_GY];
    int boss = scene::spawn_man(E_BOSS + LAST_STREET, 150, lane);
    int16_t* b = regs(boss);
    int16_t full = 0, after_first = -1, after_second = -1;
    int16_t leftmost = 0x7fff, rightmost = 0;
    for (int t = 0; t < 1500 && after_second < 0; t++) {
        if (t > 2)  // braced in the lane all along
            b[REG_WX] = 150, b[REG_GY] = lane, b[REG_STATE] = S_SPECIAL;
        world_step(0, nullptr, nullptr, nullptr);
        if (t == 3)
            full = b[REG_HEALTH];
        leftmost = std::min(leftmost, h[REG_WX]);
        if (after_first < 0 && h[REG_WX] > leftmost + 60)  // on its way back
            after_first = b[REG_HEALTH];
        if (after_first >= 0) {
            rightmost = std::max(rightmost, h[REG_WX]);
            if (h[REG_WX] < rightmost - 60)  // and off again
                after_second = b[REG_HEALTH];
        }
    }
    ASSERT_GE(after_second, 0) << "it did not come back";
    EXPECT_LT(after_first, full) << "the first pass missed him";
    EXPECT_GE(after_first, full - 16) << "struck more than once in one pass";
    EXPECT_LT(after_second, after_first) << "the pass back missed him";
    EXPECT_GE(after_second, after_first - 16);
}


// The men of the street's course that came, each as the view's place and
// the lock it stood at as he came; every man goes as he comes, and the hero
// walks on, until the view reaches `until`.
struct Came {
    int scroll, lock;
};
std::vector<Came> men_on_the_way(int street, int until)
{
    begin_street(street, 1);
    std::vector<Came> came;
    for (int t = 0; t < 20000 && amc_globals[GLOBAL_SCROLL_MAP] < until; t++) {
        amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
        for (int s = actor_next(0); s != 0;) {
            int next = actor_next(s);
            if (actor_table.slots[s].program == PROGRAM_ENEMY) {
                came.push_back({amc_globals[GLOBAL_SCROLL_MAP], amc_globals[GLOBAL_LOCK]});
                actor_remove(s);
                amc_globals[GLOBAL_FOES] = 0;
            }
            s = next;
        }
        step(CTRL_RIGHT);
    }
    return came;
}

// The junkyard's first walk is fought on the move: past its first fight,
// men come at the hero while the view is still free to run on, and a
// second lot further along than the first, before the next fight stops it.
TEST_F(Setpieces, TheJunkyardsFirstWalkIsFoughtOnTheMove)
{
    const int first_fight = 40, second_fight = 520;
    std::vector<Came> came = men_on_the_way(2, second_fight);
    int on_the_move = 0, first_at = -1, last_at = -1;
    for (const Came& c : came) {
        if (c.scroll <= first_fight || c.scroll >= second_fight)
            continue;
        EXPECT_GT(c.lock, c.scroll) << "the view stood still for them";
        on_the_move++;
        if (first_at < 0)
            first_at = c.scroll;
        last_at = c.scroll;
    }
    EXPECT_GE(on_the_move, 3);
    EXPECT_GE(last_at - first_at, 60) << "all at one spot, as a fight that stops";
}

// KING's fall ends the gang: a man still standing runs off by the nearer
// edge, a thing lying about blinks away, no one walks in over the rescue,
// and so nothing is left to vanish in one frame as the game ends.
TEST_F(Setpieces, KingsFallClearsTheStreetBeforeTheRescueEnds)
{
    constexpr int PROGRAM_FIGURE = 11, SPR_THUG_STAND = 59;
    begin_street(LAST_STREET, 1);
    int man = 0, apple = 0, fell = -1, ended = -1, walked_in = 0;
    int man_gone_x = 0, apple_gone = -1, apple_blinked = 0;
    bool ran = false;
    std::vector<bool> known(64, false), his(64, false);
    for (int t = 0; t < 60000 && ended < 0; t++) {
        amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
        const int16_t scroll = amc_globals[GLOBAL_SCROLL_MAP];
        const bool boss_here = amc_globals[scene::GLOBAL_BOSS] != 0;
        for (int s = actor_next(0); s != 0;) {
            int next = actor_next(s);
            int16_t* r = regs(s);
            if (fell < 0 && r[REG_CLASS] == C_ENEMY && s != man) {
                actor_remove(s);  // the course's men go as they come
            } else if (r[REG_CLASS] == C_BOSS && man && r[REG_STATE] != S_DEAD &&
                       r[REG_STATE] != S_DOWN && r[REG_DMG] == 0 && t % 8 == 0) {
                r[REG_HEALTH] = 1, r[REG_DMG] = 10, r[REG_FORCE] = 2, r[REG_KNOCK] = 1;
            }
            s = next;
        }
        if (fell < 0 && !boss_here)
            amc_globals[GLOBAL_FOES] = 0;
        if (boss_here && man == 0) {  // one of his men stands by, an apple lies about
            int hx = regs(scene::the_hero())[REG_WX];
            man = scene::spawn_man(E_BRAWLER, std::max<int>(hx - 70, scroll + 40));
            apple = actor_spawn(PROGRAM_PICKUP);
            int16_t* a = regs(apple);
            a[ARG_PICKUP_WX] = (int16_t)(scroll + 20), a[1] = 160, a[2] = 0, a[ARG_PICKUP_KIND] = IT_APPLE;
        }
        if (man && fell < 0) {
            regs(man)[REG_HEALTH] = 60;
            regs(man)[scene::REG_WAIT] = 200;
        }
        std::fill(known.begin(), known.end(), false);
        for (int s = actor_next(0), n = 0; s && n < 63; s = actor_next(s), n++)
            known[s] = true;
        for (int s = 0; s < 64; s++)  // a slot his figure left may be KING's lying one's next
            his[s] = his[s] && known[s];
        step(boss_here ? 0 : CTRL_RIGHT);
        // his men run from his last blow on (his `drop` has BOSS_BEATEN), before STAGE CLEAR
        const int b = amc_globals[scene::GLOBAL_BOSS];
        if (fell < 0 && (amc_globals[GLOBAL_STAGE] == ST_CLEAR || (b && regs(b)[4] & 0x4000)))
            fell = t;
        for (int s = actor_next(0), n = 0; fell >= 0 && s && n < 63; s = actor_next(s), n++) {
            const Actor& a = actor_table.slots[s];
            const int x = a.regs[REG_X];
            const bool man_like = a.program == PROGRAM_ENEMY ||
                                  (a.program == PROGRAM_FIGURE &&
                                   (a.regs[REG_FRAME] & 0x7FFF) < SPR_THUG_STAND + 32 * 8);
            if (!known[s] && man_like) {  // come from outside, or he turned tail where he stood
                if (x < 0 || x > VIEW)
                    walked_in++;
                else
                    his[s] = a.program == PROGRAM_FIGURE;
            }
            if (his[s] && a.program == PROGRAM_FIGURE)
                man_gone_x = x, ran = true;
        }
        if (apple && apple_gone < 0) {
            if (actor_table.slots[apple].program != PROGRAM_PICKUP)
                apple_gone = t;
            else if (fell >= 0)
                apple_blinked += regs(apple)[REG_BLINK] != 0;
        }
        if (amc_globals[GLOBAL_EXIT_REQUEST] & EXIT)
            ended = t;
    }
    ASSERT_GT(man, 0) << "KING never came";
    ASSERT_GE(fell, 0) << "KING never fell";
    ASSERT_GT(ended, fell);
    EXPECT_EQ(walked_in, 0) << "men walked in over the rescue";
    EXPECT_TRUE(ran) << "the man left standing did not run";
    EXPECT_TRUE(man_gone_x < 0 || man_gone_x > VIEW) << "he vanished in view, at " << man_gone_x;
    ASSERT_GE(apple_gone, 0) << "the apple lay on until the cut";
    EXPECT_GE(apple_blinked, 36) << "it went without blinking away";
}

}  // namespace
