// The hero's back kick, jump kick, whirlwind and dash, and how far off his
// line his blows and grabs meet a man, on the game's own scripts.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "game_fixture.h"

namespace {

using namespace scene;
using Moves = ScriptsTest;

struct Men {
    int hero, behind, ahead;
    int16_t behind_wx, ahead_wx;
};

// Keeps each man where he stands, waiting, until he has been hit.
void hold_still(const Men& m, int16_t behind_hp, int16_t ahead_hp)
{
    for (auto [s, wx, hp] : {std::tuple{m.behind, m.behind_wx, behind_hp}, {m.ahead, m.ahead_wx, ahead_hp}})
        if (regs(s)[REG_HEALTH] == hp) {
            place(s, wx);
            regs(s)[REG_WAIT] = 200;
        }
}

// The hero at 120 facing right, a brawler `behind` px behind him and one
// `ahead` px in front, in his lane, once his safety has run out.
Men line_up(int behind, int ahead)
{
    begin_street(1, 1);
    Men m{the_hero(), spawn_man(E_BRAWLER, 120 - behind), spawn_man(E_BRAWLER, 120 + ahead),
          (int16_t)(120 - behind), (int16_t)(120 + ahead)};
    for (int t = 0; t < 150; t++) {
        place(m.hero, 120);
        hold_still(m, regs(m.behind)[REG_HEALTH], regs(m.ahead)[REG_HEALTH]);
        step(t < 140 ? CTRL_RIGHT : 0);
    }
    return m;
}

struct Outcome {
    bool behind_down = false, ahead_hit = false, jumped = false, turned = false;
    int16_t behind_wx = 0;
};

// Plays `controls` for its ticks (then nothing), the men held till hit.
Outcome play(const Men& m, const std::vector<uint16_t>& controls, int ticks = 60)
{
    Outcome o;
    int16_t hp[2] = {regs(m.behind)[REG_HEALTH], regs(m.ahead)[REG_HEALTH]};
    for (int t = 0; t < ticks; t++) {
        hold_still(m, hp[0], hp[1]);
        step(t < (int)controls.size() ? controls[t] : 0);
        o.behind_down |= regs(m.behind)[REG_STATE] == S_DOWN;
        o.jumped |= regs(m.hero)[REG_Z] > 0;
    }
    o.ahead_hit = regs(m.ahead)[REG_HEALTH] < hp[1];
    o.turned = regs(m.hero)[REG_FACING] != 0;
    o.behind_wx = regs(m.behind)[REG_WX];
    return o;
}

constexpr uint16_t BACK = CTRL_LEFT, BOTH = CTRL_PUNCH | CTRL_KICK;

TEST_F(Moves, TheBackKickFellsTheManBehindAndSparesTheOneInFront)
{
    // held with the buttons, or pressed a moment before them (which turned him)
    const std::vector<uint16_t> with = {BACK | BOTH, BACK | BOTH, BACK | BOTH};
    const std::vector<uint16_t> before = {BACK, BACK, BACK, BACK | BOTH, BACK | BOTH};
    // "at once" by hand: the three keys up to four ticks apart, punch first
    // or the way behind last
    const std::vector<uint16_t> punch_first = {BACK | CTRL_PUNCH, BACK | CTRL_PUNCH, BACK | CTRL_PUNCH,
                                               BACK | CTRL_PUNCH, BACK | BOTH};
    const std::vector<uint16_t> way_last = {BOTH, BOTH, BOTH, BACK | BOTH, BACK | BOTH};
    const std::vector<uint16_t>* ways[] = {&with, &before, &punch_first, &way_last};
    for (int k = 0; k < 4; k++) {
        const auto* controls = ways[k];
        SCOPED_TRACE(k);
        Men m = line_up(24, 26);
        Outcome o = play(m, *controls);
        EXPECT_TRUE(o.behind_down);
        EXPECT_LT(o.behind_wx, m.behind_wx) << "knocked away from him";
        EXPECT_FALSE(o.ahead_hit);
        EXPECT_FALSE(o.turned) << "he still faces the man in front";
        EXPECT_FALSE(o.jumped);
    }
    // a man out of its reach behind him is not touched
    Men m = line_up(50, 60);
    EXPECT_FALSE(play(m, with).behind_down);
}

TEST_F(Moves, PunchAndKickStayTheJumpKickAndTheWhirlwind)
{
    // the way behind held long enough has turned him: a jump kick that way
    std::vector<uint16_t> turned(20, BACK);
    turned.insert(turned.end(), 3, BACK | BOTH);
    Men m = line_up(60, 60);
    Outcome o = play(m, turned, 70);
    EXPECT_TRUE(o.jumped);
    EXPECT_TRUE(o.turned);
    EXPECT_TRUE(o.behind_down) << "from a step away the jump kick fells him";

    // nothing held: the jump kick ahead
    m = line_up(40, 40);
    o = play(m, {BOTH, BOTH, BOTH}, 70);
    EXPECT_TRUE(o.jumped);
    EXPECT_TRUE(o.ahead_hit);
    EXPECT_FALSE(o.turned);

    // nobody in reach in front, a man close behind: it turns to him and
    // fells him, rather than kicking thin air with its back to him
    m = line_up(30, 150);
    o = play(m, {BOTH, BOTH, BOTH}, 70);
    EXPECT_TRUE(o.jumped);
    EXPECT_TRUE(o.turned);
    EXPECT_TRUE(o.behind_down);
    EXPECT_FALSE(o.ahead_hit);

    // up wins over the way behind: the whirlwind, a star spent
    m = line_up(24, 26);
    amc_globals[GLOBAL_STARS] = 1;
    o = play(m, {CTRL_UP | BACK | BOTH, CTRL_UP | BACK | BOTH}, 70);
    EXPECT_EQ(amc_globals[GLOBAL_STARS], 0);
    EXPECT_TRUE(o.behind_down);
    EXPECT_TRUE(o.ahead_hit);
}

TEST_F(Moves, TheDashKnocksDownTheFirstManAndStopsAtHim)
{
    // the hero at 120, a man 100 ahead of him (the other one as far
    // behind, out of the way); forward tapped twice, then punch on the run
    Men m = line_up(100, 100);
    std::vector<uint16_t> dash = {CTRL_RIGHT, CTRL_RIGHT, 0, 0, CTRL_RIGHT};
    dash.insert(dash.end(), 12, CTRL_RIGHT);
    dash.push_back(CTRL_RIGHT | CTRL_PUNCH);
    int16_t start = regs(m.hero)[REG_WX];
    int hp = regs(m.ahead)[REG_HEALTH];
    play(m, dash, 40);
    EXPECT_GT(regs(m.hero)[REG_WX] - start, 17 * 2 * 2) << "the run outpaces a walk";
    EXPECT_LT(regs(m.ahead)[REG_HEALTH], hp);
    EXPECT_EQ(regs(m.ahead)[REG_STATE], S_DOWN);
    EXPECT_LT(regs(m.hero)[REG_WX], regs(m.ahead)[REG_WX]) << "he stops at him, not past";

    // forward held from the start only walks: no run, no dash
    m = line_up(100, 100);
    std::vector<uint16_t> walk(17, CTRL_RIGHT);
    walk.push_back(CTRL_RIGHT | CTRL_PUNCH);
    start = regs(m.hero)[REG_WX];
    play(m, walk, 40);
    EXPECT_LE(regs(m.hero)[REG_WX] - start, 17 * 2 + 6);
    EXPECT_NE(regs(m.ahead)[REG_STATE], S_DOWN);
}

// A man `ahead` px in front of the hero (behind him when negative) and `off`
// px off his line in depth, kept there waiting; `controls` played for their
// ticks, then nothing, with `item` in hand. True when the man was hurt;
// `moved` = how far the hero's depth changed, toward the man's side when
// positive.
bool blow_at(int ahead, int off, const std::vector<uint16_t>& controls, int* moved = nullptr, int item = 0)
{
    int man = face_off(E_BRAWLER, 1, 120 + ahead), hero = the_hero();
    amc_globals[GLOBAL_ITEM] = (int16_t)item;
    amc_globals[GLOBAL_ITEM_COUNT] = 5;
    const int16_t wx = regs(man)[REG_WX], gy = (int16_t)(regs(hero)[REG_GY] + off);
    const int16_t hp = regs(man)[REG_HEALTH], hero_gy = regs(hero)[REG_GY];
    for (int t = 0; t < 40 && regs(man)[REG_HEALTH] == hp; t++) {
        place(man, wx, gy);
        step_held(man, t < (int)controls.size() ? controls[t] : 0);
    }
    if (moved)
        *moved = (regs(hero)[REG_GY] - hero_gy) * (off < 0 ? -1 : 1);
    return regs(man)[REG_HEALTH] < hp;
}

TEST_F(Moves, BlowsMeetAManALittleOffTheLine)
{
    const std::vector<uint16_t> jab(5, CTRL_PUNCH), kick(5, CTRL_KICK);
    const std::vector<uint16_t> back_kick(3, BACK | BOTH);
    for (int off : {14, -14, 16}) {
        SCOPED_TRACE(off);
        int moved = 0;
        EXPECT_TRUE(blow_at(25, off, jab, &moved)) << "the jab lands";
        EXPECT_GT(moved, 0) << "he steps toward the man's line for it";
        EXPECT_LE(moved, off < 0 ? -off : off) << "never past it";
        EXPECT_TRUE(blow_at(25, off, kick));
        EXPECT_TRUE(blow_at(25, off, jab, nullptr, IT_PIPE)) << "and a swing";
        EXPECT_TRUE(blow_at(-24, off, back_kick)) << "and the heel behind him";
    }
    // a man on another lane is out of it, and the hero stays on his own
    for (int off : {20, -22}) {
        int moved = 0;
        EXPECT_FALSE(blow_at(25, off, jab, &moved)) << off;
        EXPECT_EQ(moved, 0) << off;
    }
    // a way held in depth away from the man wins: the player steps out of
    // a lane on purpose
    EXPECT_FALSE(blow_at(25, 14, std::vector<uint16_t>(5, CTRL_PUNCH | CTRL_UP)));
    EXPECT_FALSE(blow_at(25, -14, std::vector<uint16_t>(5, CTRL_PUNCH | CTRL_DOWN)));

    // with a man on the line as well the jab lands on him as it always
    // did, the hero not drawn aside to the other
    int man = face_off(E_BRAWLER, 1, 145), hero = the_hero();
    const int16_t gy = regs(hero)[REG_GY], hp = regs(man)[REG_HEALTH];
    int other = spawn_man(E_BRAWLER, 140, gy + 14);
    for (int t = 0; t < 12; t++) {
        place(man, 145, gy);
        place(other, 140, gy + 14);
        regs(other)[REG_WAIT] = 200;
        step_held(man, t < 5 ? CTRL_PUNCH : 0);
    }
    EXPECT_LT(regs(man)[REG_HEALTH], hp);
    EXPECT_EQ(regs(hero)[REG_GY], gy);

    // a chain's next jab, its man knocked out of reach, stays on his line
    // rather than draw the hero to the other man
    place(man, regs(hero)[REG_WX] + 60, gy);
    for (int t = 0; t < 12; t++) {
        place(other, regs(hero)[REG_WX] + 20, gy + 14);
        regs(other)[REG_WAIT] = 200;
        step_held(man, t < 5 ? CTRL_PUNCH : 0);
    }
    EXPECT_EQ(regs(hero)[REG_GY], gy);
}

// A dazed man (jab and cross) moved `off` px off the hero's line, then
// walked into; true when he is held.
bool grab_at(int off)
{
    int man = face_off(E_BRAWLER, 1), hero = the_hero();
    for (int t = 0; t < 40; t++) {
        teach(TAUGHT_GRAB);
        step_held(man, t % 20 < 7 ? CTRL_PUNCH : 0);
    }
    step_until([&] { return regs(man)[REG_STATE] == S_DAZED; }, 30);
    EXPECT_EQ(regs(man)[REG_STATE], S_DAZED);
    const int16_t hero_gy = regs(hero)[REG_GY], man_gy = (int16_t)(hero_gy + off);
    regs(man)[REG_GY] = man_gy;
    step_until([&] { return amc_globals[GLOBAL_HELD] == man; }, 30, CTRL_RIGHT);
    if (amc_globals[GLOBAL_HELD] != man)
        return false;
    step();
    EXPECT_EQ(regs(man)[REG_GY], hero_gy) << "pulled onto the hero's line, the hero kept on his";
    EXPECT_EQ(regs(hero)[REG_GY], hero_gy);
    return true;
}

TEST_F(Moves, AGrabTakesADazedManALittleOffTheLine)
{
    EXPECT_TRUE(grab_at(14));
    EXPECT_TRUE(grab_at(-15));
    EXPECT_FALSE(grab_at(22)) << "one on another lane is walked past";
}

}  // namespace
