// nwd-bot: plays Nightward with no display, from the story (or a given row)
// to the end of the game, deciding each tick's controls from the world the
// way a player reads the screen. Prints how every street went and can keep
// the game as a demo file that the game and nwd-sim replay.
#include "demo/state.h"
#include "engine/actor.h"
#include "engine/amc.h"
#include "engine/amc_vm.h"
#include "engine/world.h"
#include "nwd_contract.h"

#include "tools/common/cli.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Options {
    const char* amc = "AMC/GAME.AMC";
    int level = FIRST_INTERLUDE, mode = ARCADE, skill = 5;
    long seed = 1;
    const char* record = nullptr;
    long max_ticks = 72L * 60 * 90;
    long ticks = 0;   // stop, content, after this many (0: play to the end)
    int streets = 5;  // stop after this many streets have been played
    bool quiet = false;
    int verbose = 0;  // print the world every so many ticks
    int kicker = 0;   // KICKS_SPAMMED or KICKS_TIMED: nothing but jump kicks
};

// A player who knows one move: the jump kick, pressed every half second
// whatever happens, or only when the nearest enemy stands a jump away.
enum { KICKS_SPAMMED = 1, KICKS_TIMED = 2 };
int only_kicks = 0;
bool guards_up = true;  // men block a mashed row (not in SURVIVAL)

// A wind-up this far along (or nearer) is met by stepping in to strike;
// one from farther off is dodged. Thugs wind up from just beyond a punch.
constexpr int STEP_IN = 38;

int16_t* regs(int s) { return actor_table.slots[s & 63].regs; }

// A boss shrugs off the third blow in a row and knocks the hero down: two
// blows, then a pause as long as this, before the next two.
constexpr int BOSS_PAUSE = 80;
// His special goes on through blows: while he winds it up, stay this far off.
constexpr int SPECIAL_CLEAR = 120;

// DOZER's quake reaches every lane and further than one walks in its
// wind-up, the second of a rage further still: held still this long into a
// pose of his special, a jump is in the air when it lands. The first is
// walked out of where there is room: the landing after a jump is too slow
// for the second.
constexpr int QUAKE_JUMP = 10;
constexpr int QUAKE_REACH = 100, QUAKE_FAR = 150;
// DOZER's rampage in a rage misses a hero this far from his lane.
constexpr int RAMPAGE_CLEAR = 14;
constexpr int REG_TOKEN = 3;  // an enemy's plan for the attack it makes
// A boss's own attack is his plan 8; while he holds its last pose his
// `hits` counts the ticks to the blow.
constexpr int SIGNATURE = 8, REG_HITS = 6;
// Blows landing further apart than this are not a mashed row to a man; a
// row is his to answer unless begun on his sign or his recovery (a bit of
// his `drop`, his register 4).
constexpr int ROW_PAUSE = 20, REG_DROP = 4, RECOVERING = 8192;
// In the first street's first fights (the director's register 16 below 1) a
// row is earned only on the sign's last ticks (his register 24 holds
// those left) or his recovery, and a pause is longer: a careful player
// waits for the sign.
constexpr int REG_LESSON = 16, TAUGHT_GUARD = 1, REG_WINDUP_LEFT = 24, TIMED_LEFT = 20,
              LESSON_ROW_PAUSE = 50;
// RUST's low sweep takes the feet this far off: jumped this many ticks
// before it, the hero is at the top of his jump as it goes under.
constexpr int SWEEP_REACH = 84, SWEEP_JUMP = 20;

struct Bot {
    int tick = 0;
    int press_gap = 0;  // ticks since a button was last pressed
    int dodge = 0;      // ticks left of a step out of a wind-up's line
    int dodge_dir = 0;
    int stuck = 0;      // ticks spent going for things, none reached yet
    int skip = 0, skip_until = 0;  // a thing he could not reach, let be a while
    // The boss as seen last tick, and the ticks of the last two blows that
    // landed on him outside his opening (the stance after a missed special)
    int boss = 0, boss_hp = 0, boss_state = 0, boss_frame = 0;
    int boss_still = 0;  // ticks his picture has not changed, on the ground
    int boss_holds = 0;  // poses of his special held that long so far
    bool boss_open = false;
    int blow_at[2] = {-1000, -1000};
    // Punches thrown in a row on one man, and whether the row began on an
    // opening of his (his sign, his step in): a man only waiting blocks
    // the third of a row with no pause, so the bot pauses after two.
    int row_man = 0, row = 0;
    bool row_earned = false;
};

// Follows the boss (slot s, 0 when none is up): his openings, and the
// blows that landed on him.
void watch_boss(Bot& b, int s)
{
    if (s != b.boss) {
        b.boss = s;
        b.boss_open = false;
        b.boss_hp = s ? regs(s)[REG_HEALTH] : 0;
        b.boss_state = s ? regs(s)[REG_STATE] : 0;
        return;
    }
    if (!s)
        return;
    const int16_t* e = regs(s);
    int st = e[REG_STATE];
    if (b.boss_state == S_SPECIAL && st == S_HURT)
        b.boss_open = true;
    else if (st != S_HURT)
        b.boss_open = false;
    if (e[REG_HEALTH] < b.boss_hp && !b.boss_open && st != S_SPECIAL && b.boss_state != S_SPECIAL) {
        b.blow_at[0] = b.blow_at[1];
        b.blow_at[1] = b.tick;
    }
    if (e[REG_FRAME] != b.boss_frame || e[REG_Z] > 0 ||
        (st == S_SPECIAL) != (b.boss_state == S_SPECIAL))
        b.boss_still = 0;
    else
        b.boss_still++;
    if (st != S_SPECIAL)
        b.boss_holds = 0;
    else if (b.boss_still == QUAKE_JUMP)
        b.boss_holds++;
    b.boss_frame = e[REG_FRAME];
    b.boss_hp = e[REG_HEALTH];
    b.boss_state = st;
}

// Whether another blow now would be the boss's third in a row.
bool poise_spent(const Bot& b) { return !b.boss_open && b.tick - b.blow_at[0] < BOSS_PAUSE; }

bool hostile(int s)
{
    int16_t* r = regs(s);
    if (r[REG_CLASS] != C_ENEMY && r[REG_CLASS] != C_BOSS)
        return false;
    int st = r[REG_STATE];
    return st != S_DOWN && st != S_DEAD && st != S_THROWN && st != S_HELD;
}

// Steps toward (wx, gy): the direction bits.
uint16_t toward(const int16_t* h, int wx, int gy, int slack)
{
    uint16_t c = 0;
    if (wx > h[REG_WX] + slack)
        c |= CTRL_RIGHT;
    else if (wx < h[REG_WX] - slack)
        c |= CTRL_LEFT;
    if (gy > h[REG_GY] + 1 && h[REG_GY] < GROUND_BOTTOM)
        c |= CTRL_DOWN;
    else if (gy < h[REG_GY] - 1 && h[REG_GY] > GROUND_TOP)
        c |= CTRL_UP;
    return c;
}

// A button pressed only every few ticks, so that each press is a new one.
uint16_t press(Bot& b, uint16_t button, int gap)
{
    if (b.press_gap < gap)
        return 0;
    b.press_gap = 0;
    return button;
}

bool food(int kind) { return kind >= IT_APPLE && kind <= IT_CHICKEN; }

// How far into the view the hero reaches a thing on the ground: a view held
// at a fight keeps him further from its right edge than a dropped thing.
int reach_right()
{
    const int16_t* g = amc_globals;
    return (g[GLOBAL_SCROLL_MAP] >= g[GLOBAL_LOCK] ? VIEW - 64 : VIEW - 32) + 14;
}

// Whether something to eat lies in view, where he can reach it.
bool food_in_view(const int16_t* h)
{
    for (int s = actor_next(0), n = 0; s && n < 63; s = actor_next(s), n++) {
        const int16_t* a = regs(s);
        int sx = a[REG_WX] - amc_globals[GLOBAL_SCROLL_MAP];
        if (actor_table.slots[s].program == PROGRAM_PICKUP && a[REG_FRAME] != 0 &&
            food(a[REG_KIND]) && sx >= 0 && sx <= reach_right() && abs(a[REG_WX] - h[REG_WX]) < 200)
            return true;
    }
    return false;
}

// A hazard winding up with the hero in its way: the step out of it (0 when
// none threatens). Vehicles keep to their lane; the rest strike round a spot.
// A walk's moment strikes at its depth, whatever it is: out of that it is.
uint16_t out_of_harm(const int16_t* h)
{
    for (int s = actor_next(0), n = 0; s && n < 63; s = actor_next(s), n++) {
        const int16_t* a = regs(s);
        int program = actor_table.slots[s].program;
        if ((program != PROGRAM_HAZARD && program != PROGRAM_MOMENT) || a[REG_STATE] != S_WINDUP)
            continue;
        int dx = h[REG_WX] - a[REG_WX], dy = h[REG_GY] - a[REG_GY];
        if (abs(dy) > 12)
            continue;
        if (program == PROGRAM_MOMENT || a[REG_KIND] == H_TRAFFIC || a[REG_KIND] == H_FORKLIFT) {
            bool room_below = a[REG_GY] + 14 <= GROUND_BOTTOM;
            return (dy > 0 && room_below) || a[REG_GY] - 14 < GROUND_TOP ? CTRL_DOWN : CTRL_UP;
        }
        int reach = a[REG_KIND] == H_CAR ? 42 : 24;
        if (abs(dx) > reach)
            continue;
        // Away in depth, and along the street; with the view's edge at his
        // back that way, past it the other way (a magnet that followed him
        // into a corner drops on him otherwise).
        int sx = h[REG_WX] - amc_globals[GLOBAL_SCROLL_MAP];
        bool down = dy > 0 ? h[REG_GY] < GROUND_BOTTOM : h[REG_GY] <= GROUND_TOP;
        bool right = dx >= 0;
        if (right && sx >= VIEW - 50)
            right = false;
        else if (!right && sx <= 50)
            right = true;
        return (down ? CTRL_DOWN : CTRL_UP) | (right ? CTRL_RIGHT : CTRL_LEFT);
    }
    return 0;
}

uint16_t decide(Bot& b)
{
    b.tick++;
    b.press_gap++;
    // CONTINUE? is answered as a player would: punch, once it listens. A
    // tactic on trial (--spam, --timed-kicks) must win on its own lives.
    if (amc_globals[GLOBAL_STAGE] == ST_CONTINUE && !only_kicks)
        return press(b, CTRL_PUNCH, 72);
    int hs = amc_globals[GLOBAL_HERO];
    if (hs <= 0 || regs(hs)[REG_CLASS] != C_HERO || amc_globals[GLOBAL_STAGE] != ST_FIGHT)
        return 0;
    const int16_t* h = regs(hs);
    if (h[REG_STATE] == S_DOWN)
        return 0;
    // Grabbed from behind: shaken off by a way pressed back and forth, at
    // a pace a player's hand keeps up.
    if (h[REG_STATE] == S_HELD)
        return (b.tick / 6) % 2 ? CTRL_LEFT : CTRL_RIGHT;
    int facing_left = (uint16_t)h[REG_FACING] != 0;

    // Holding an enemy: two knees, then the throw.
    if (amc_globals[GLOBAL_HELD]) {
        static int knees = 0;
        if (b.press_gap >= 10) {
            b.press_gap = 0;
            if (knees++ < 2)
                return CTRL_PUNCH;
            knees = 0;
            return CTRL_KICK;
        }
        return 0;
    }

    if (uint16_t away = out_of_harm(h))
        return away;

    // The nearest standing enemy, and whether one is winding up at us.
    int best = 0, best_d = 1 << 30, near = 0, left_near = 0, right_near = 0;
    int threat = 0, boss = 0;
    for (int s = actor_next(0), n = 0; s && n < 63; s = actor_next(s), n++) {
        if (!hostile(s))
            continue;
        const int16_t* e = regs(s);
        if (e[REG_CLASS] == C_BOSS)
            boss = s;
        int dx = e[REG_WX] - h[REG_WX], dy = e[REG_GY] - h[REG_GY];
        int d = abs(dx) + 3 * abs(dy);
        if (d < best_d) {
            best_d = d;
            best = s;
        }
        if (abs(dx) < 60 && abs(dy) < 14) {
            near++;
            (dx < 0 ? left_near : right_near)++;
        }
        // a knife flies far, and a knife man lunges from afar (his plan 2);
        // a thrower's bottle (his plan 2) falls where we stand, in any lane
        bool runup = e[REG_TOKEN] == 2;
        int sight = e[REG_KIND] == E_THROWER || (e[REG_KIND] == E_KNIFER && runup) ? 140 : 70;
        bool lobbed = e[REG_KIND] == E_THROWER && runup;
        if (e[REG_STATE] == S_WINDUP && abs(dx) < sight && (abs(dy) < 12 || lobbed))
            threat = s;
    }

    watch_boss(b, boss);

    if (only_kicks) {
        if (!best)
            return toward(h, h[REG_WX] + 40, 176, 2);
        const int16_t* e = regs(best);
        int dx = e[REG_WX] - h[REG_WX], dy = e[REG_GY] - h[REG_GY];
        if ((dx < 0) != facing_left)
            return dx < 0 ? CTRL_LEFT : CTRL_RIGHT;
        if (only_kicks == KICKS_SPAMMED || (abs(dy) <= 4 && abs(dx) >= 24 && abs(dx) <= 56))
            return press(b, CTRL_PUNCH | CTRL_KICK, 36);
        int side = dx < 0 ? 1 : -1;  // a jump away, in its lane
        return toward(h, e[REG_WX] + side * 40, e[REG_GY], 2);
    }

    // A boss winding up his special is not stopped by blows: away from him
    // along the street (toward the open side near the view's edge) and out
    // of his lane, until it has gone by.
    if (boss && regs(boss)[REG_STATE] == S_SPECIAL) {
        const int16_t* e = regs(boss);
        int dx = h[REG_WX] - e[REG_WX], dy = h[REG_GY] - e[REG_GY];
        // DOZER's rampage (his plan 2, 4 once it met us) runs the view's
        // width in his lane: out of the lane, the side with room
        // his own attack: RUST's low sweep is jumped; VIPER's dive is
        // stepped out of in depth once her shadow stops (the side with
        // room); DOZER's shock runs along his lane, as his rampage does.
        // BUTCH's and KING's are walked out of, as a special is.
        if (e[REG_TOKEN] == SIGNATURE && e[REG_KIND] == E_BOSS + 2 && e[REG_HITS] == SWEEP_JUMP &&
            abs(dx) < SWEEP_REACH + 24 && abs(dy) < 24)
            return CTRL_PUNCH | CTRL_KICK;
        if (e[REG_TOKEN] == SIGNATURE && e[REG_KIND] == E_BOSS + 3 && e[REG_Z] > 0 && e[REG_HITS] > 0)
            return h[REG_GY] < (GROUND_TOP + GROUND_BOTTOM) / 2 ? CTRL_DOWN : CTRL_UP;
        // KING's dash (his plan 2) runs it as well.
        if ((e[REG_KIND] == E_BOSS + 4 &&
             (e[REG_TOKEN] == 2 || e[REG_TOKEN] == 4 || e[REG_TOKEN] == SIGNATURE)) ||
            (e[REG_KIND] == E_BOSS + 5 && e[REG_TOKEN] == 2)) {
            if (abs(dy) >= RAMPAGE_CLEAR)
                return 0;
            int below = e[REG_GY] + RAMPAGE_CLEAR, above = e[REG_GY] - RAMPAGE_CLEAR;
            bool down = below <= GROUND_BOTTOM && (above < GROUND_TOP || dy >= 0);
            return down ? CTRL_DOWN : CTRL_UP;
        }
        if (e[REG_KIND] == E_BOSS + 4 && b.boss_still == QUAKE_JUMP &&
            (abs(dx) < QUAKE_REACH || (b.boss_holds >= 2 && abs(dx) < QUAKE_FAR)))
            return CTRL_PUNCH | CTRL_KICK;
        // DOZER's second quake of a rage reaches far: out of it where the view has room
        int clear = e[REG_KIND] == E_BOSS + 4 ? QUAKE_FAR + 10 : SPECIAL_CLEAR;
        if (abs(dx) < clear) {
            int sx = h[REG_WX] - amc_globals[GLOBAL_SCROLL_MAP];
            bool right = dx >= 0 ? sx < VIEW - 70 : sx < 60;
            uint16_t c = right ? CTRL_RIGHT : CTRL_LEFT;
            bool down = dy > 0 ? h[REG_GY] < GROUND_BOTTOM : h[REG_GY] <= GROUND_TOP;
            if (abs(dy) < 20)
                c |= down ? CTRL_DOWN : CTRL_UP;
            return c;
        }
    }

    // The star's whirlwind when crowded.
    if (near >= 3 && amc_globals[GLOBAL_STARS] > 0)
        return press(b, CTRL_UP | CTRL_PUNCH | CTRL_KICK, 4);

    // A wind-up within a step of our reach is the one to hit first: step
    // in and strike before it lands.
    bool held_back = false;  // a boss's third blow in a row is not ours to throw
    if (threat) {
        const int16_t* t = regs(threat);
        held_back = threat == boss && poise_spent(b);
        if (abs(t[REG_WX] - h[REG_WX]) <= STEP_IN && abs(t[REG_GY] - h[REG_GY]) <= 6 && !held_back)
            best = threat;
    }
    // Caught between two: step out along the depth to have them on one side.
    // On to the right, unless the view's edge is at his back there: cornered.
    if (left_near && right_near && b.dodge == 0) {
        b.dodge = 18;
        int along = h[REG_WX] - amc_globals[GLOBAL_SCROLL_MAP] > VIEW - 80 ? CTRL_LEFT : CTRL_RIGHT;
        b.dodge_dir = (h[REG_GY] > (GROUND_TOP + GROUND_BOTTOM) / 2 ? CTRL_UP : CTRL_DOWN) | along;
    }

    if (!best || (amc_globals[GLOBAL_ENERGY] < 80 && food_in_view(h))) {
        // Nothing to fight (or food is what is needed): pick up what helps,
        // break things, walk on.
        int goal = 0, goal_d = 1 << 30;
        for (int s = actor_next(0), n = 0; s && n < 63; s = actor_next(s), n++) {
            const int16_t* a = regs(s);
            int want = 0;
            if (actor_table.slots[s].program == PROGRAM_PICKUP && a[REG_FRAME] != 0) {
                int kind = a[REG_KIND];
                bool held = kind <= IT_POWER || kind == IT_VEST;
                want = food(kind) ? amc_globals[GLOBAL_ENERGY] < 170
                       : held     ? amc_globals[GLOBAL_ITEM] == 0
                                  : 1;
            } else if (a[REG_CLASS] == C_PROP) {
                want = 1;
            }
            if (s == b.skip && b.tick < b.skip_until)
                want = 0;
            int sx = a[REG_WX] - amc_globals[GLOBAL_SCROLL_MAP];
            if (!want || sx < 24 || sx > VIEW - 24 || sx > reach_right())  // nor past them
                continue;
            int d = abs(a[REG_WX] - h[REG_WX]) + 3 * abs(a[REG_GY] - h[REG_GY]);
            if (d < goal_d) {
                goal_d = d;
                goal = s;
            }
        }
        // wedged between two things that stand in each other's way (he
        // turns from one to the other): let the one aimed at be a while
        b.stuck = goal ? b.stuck + 1 : 0;
        if (b.stuck > 360) {
            b.skip = goal, b.skip_until = b.tick + 360, b.stuck = 0;
            goal = 0;
        }
        if (goal) {
            const int16_t* a = regs(goal);
            if (a[REG_CLASS] == C_PROP) {
                int side = a[REG_WX] < h[REG_WX] ? 1 : -1;
                int dx = abs(a[REG_WX] - h[REG_WX]);
                if (dx >= 12 && dx <= 26 && abs(a[REG_GY] - h[REG_GY]) <= 4) {
                    if (facing_left != (a[REG_WX] < h[REG_WX]))
                        return a[REG_WX] < h[REG_WX] ? CTRL_LEFT : CTRL_RIGHT;
                    b.stuck = 0;
                    return press(b, CTRL_PUNCH, 8);
                }
                return toward(h, a[REG_WX] + side * 20, a[REG_GY], 2);
            }
            return toward(h, a[REG_WX], a[REG_GY], 2);
        }
        return toward(h, h[REG_WX] + 40, 176, 2);
    }

    const int16_t* e = regs(best);
    int dx = e[REG_WX] - h[REG_WX], dy = e[REG_GY] - h[REG_GY];
    bool facing_it = facing_left == (dx < 0);

    // A wind-up aimed at us from beyond our reach, or from just off our lane
    // where no jab meets it: step out of its line. Stay out of its line
    // until the blow has gone by.
    if (threat) {
        const int16_t* t = regs(threat);
        int tdx = abs(t[REG_WX] - h[REG_WX]);
        if (tdx > STEP_IN || abs(t[REG_GY] - h[REG_GY]) > 6 || held_back) {
            if (b.dodge == 0)
                b.dodge_dir = h[REG_GY] > (GROUND_TOP + GROUND_BOTTOM) / 2 ? CTRL_UP : CTRL_DOWN;
            b.dodge = 8;
        }
    }
    if (b.dodge > 0) {
        b.dodge--;
        return (uint16_t)b.dodge_dir;
    }

    // Surrounded: a jump kick clears one side.
    if (left_near && right_near && near >= 3 && abs(dx) < 40)
        return press(b, CTRL_PUNCH | CTRL_KICK, 6);

    // A shield man takes no blow from in front on the ground: jump-kick him
    // from a jump away, as the timed kicker does.
    if (e[REG_KIND] == E_SHIELD && e[REG_CLASS] == C_ENEMY && e[REG_STATE] != S_DAZED) {
        if (!facing_it)
            return dx < 0 ? CTRL_LEFT : CTRL_RIGHT;
        if (abs(dy) <= 4 && abs(dx) >= 20 && abs(dx) <= 50)
            return press(b, CTRL_PUNCH | CTRL_KICK, 30);
        int side = dx < 0 ? 1 : -1;
        return toward(h, e[REG_WX] + side * 36, e[REG_GY], 2);
    }

    int weapon = amc_globals[GLOBAL_ITEM];
    int reach = weapon >= IT_KNIFE && weapon <= IT_BAT ? 32 : 29;  // a jab lands to 33
    if (best == boss && poise_spent(b)) {
        // Out of his reach until the pause is over.
        int side = dx < 0 ? 1 : -1;
        return toward(h, e[REG_WX] + side * (reach + 24), e[REG_GY], 2);
    }
    if (abs(dy) <= 4 && abs(dx) >= 8 && abs(dx) <= reach + 2) {
        if (!facing_it)
            return dx < 0 ? CTRL_LEFT : CTRL_RIGHT;
        if (e[REG_STATE] == S_DAZED && amc_globals[GLOBAL_ITEM] == 0)
            return dx < 0 ? CTRL_LEFT : CTRL_RIGHT;  // walk into it: a grab
        bool lesson = regs(SLOT_DIRECTOR)[REG_LESSON] < TAUGHT_GUARD && guards_up;
        if (best != b.row_man || b.press_gap > (lesson ? LESSON_ROW_PAUSE : ROW_PAUSE))
            b.row_man = best, b.row = 0;
        bool timed = (e[REG_STATE] == S_WINDUP && e[REG_WINDUP_LEFT] <= TIMED_LEFT) ||
                     (e[REG_DROP] & RECOVERING);
        if (lesson && b.row == 0 && e[REG_CLASS] == C_ENEMY && e[REG_STATE] == S_WINDUP && !timed)
            return 0;  // the sign is up: strike into its last ticks
        if (b.row == 0)
            b.row_earned = lesson ? timed : e[REG_STATE] != S_FREE || (e[REG_DROP] & RECOVERING);
        if (guards_up && b.row >= 2 && !b.row_earned && e[REG_CLASS] == C_ENEMY)
            return 0;  // his guard is up: the pause
        uint16_t c = press(b, CTRL_PUNCH, 8);
        b.row += c != 0;
        return c;
    }
    if (abs(dy) <= 4 && abs(dx) < 8) {
        // too close: step back to striking distance
        return dx < 0 ? CTRL_RIGHT : CTRL_LEFT;
    }
    int side = dx < 0 ? 1 : -1;  // stay on our side of it
    return toward(h, e[REG_WX] + side * (reach - 4), e[REG_GY], 2);
}

// One line of what the bot sees, for following a game.
void show_world(long ticks, long total, uint16_t ctl)
{
    const int16_t* g = amc_globals;
    printf(
        "%6ld %7ld ctl=%02x scroll=%d lock=%d energy=%d lives=%d stars=%d score=%d foes=%d att=%d "
        "item=%d/%d timer=%d |",
        ticks, total, ctl, g[GLOBAL_SCROLL_MAP], g[GLOBAL_LOCK], g[GLOBAL_ENERGY], g[GLOBAL_LIVES],
        g[GLOBAL_STARS], g[GLOBAL_SCORE], g[GLOBAL_FOES], g[GLOBAL_ATTACKERS], g[GLOBAL_ITEM],
        g[GLOBAL_ITEM_COUNT], g[GLOBAL_TIMER] / 72);
    for (int s = actor_next(0), n = 0; s && n < 63; s = actor_next(s), n++) {
        const int16_t* r = regs(s);
        if (r[REG_CLASS] >= C_HERO && r[REG_CLASS] <= C_BOSS)
            printf(" %c%d:%d,%d st%d hp%d", r[REG_CLASS] == C_HERO ? 'H' : 'E', r[REG_KIND],
                   r[REG_WX], r[REG_GY], r[REG_STATE], r[REG_HEALTH]);
        else if (actor_table.slots[s].program == PROGRAM_HAZARD)
            printf(" Z%d:%d,%d st%d", r[REG_KIND], r[REG_WX], r[REG_GY], r[REG_STATE]);
        else if (actor_table.slots[s].program == PROGRAM_MOMENT && r[REG_STATE] == S_WINDUP)
            printf(" M%d:%d,%d", r[REG_KIND], r[REG_WX], r[REG_GY]);
    }
    printf("\n");
}

struct StreetLog {
    int street = 0;
    long ticks = 0;
    int score = 0, lives = 0, energy = 0, outcome = 0;
};

void usage(FILE* f)
{
    fprintf(f,
            "usage: nwd-bot [--amc PATH] [--level N] [--mode N] [--skill N] [--seed N]\n"
            "               [--streets N] [--max-ticks N] [--record FILE] [--quiet]\n"
            "\n"
            "Plays the game with no display from level row N (default 6, the story)\n"
            "until it is won or lost, and prints for every street the time it took,\n"
            "the score, the lives and the energy left.\n"
            "  --amc PATH      the programs (default AMC/GAME.AMC)\n"
            "  --level N       the level row to start at, 1..11 (default 6)\n"
            "  --mode N        1 ARCADE (default), 2 SURVIVAL, 3 VAMPIRE\n"
            "  --skill N       1..100 (default 5, NORMAL)\n"
            "  --seed N        the game's random seed (default 1)\n"
            "  --streets N     stop once N streets have been played (default 5)\n"
            "  --max-ticks N   give up after N ticks (default 90 minutes)\n"
            "  --ticks N       stop after N ticks, content (an attract demo)\n"
            "  --record FILE   keep the game as a demo file (watch it from the game\n"
            "                  folder with: nwd -play FILE -nostat)\n"
            "  --quiet         print only the last line\n"
            "  --verbose N     print what the bot sees every N ticks\n"
            "  --spam          play only jump kicks: turn to the nearest enemy and\n"
            "                  jump-kick every half second\n"
            "  --timed-kicks   play only jump kicks, each from a jump away\n"
            "  -h, --help      this text;  --version  the version\n");
}

bool number(const char* s, long lo, long hi, long* out)
{
    char* end;
    errno = 0;
    long v = strtol(s, &end, 10);
    if (errno || !*s || *end || v < lo || v > hi)
        return false;
    *out = v;
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    Options o;
    int r = cli_parse(argc, argv, "nwd-bot", "",
                      {{"amc", required_argument, nullptr, 'a'},
                       {"level", required_argument, nullptr, 'l'},
                       {"mode", required_argument, nullptr, 'm'},
                       {"skill", required_argument, nullptr, 's'},
                       {"seed", required_argument, nullptr, 'e'},
                       {"streets", required_argument, nullptr, 'n'},
                       {"max-ticks", required_argument, nullptr, 't'},
                       {"ticks", required_argument, nullptr, 'k'},
                       {"record", required_argument, nullptr, 'r'},
                       {"quiet", no_argument, nullptr, 'q'},
                       {"verbose", required_argument, nullptr, 'v'},
                       {"spam", no_argument, nullptr, 'j'},
                       {"timed-kicks", no_argument, nullptr, 'J'}},
                      usage, [&](int c, const char* arg) {
                          long v = 0;
                          bool ok = true;
                          switch (c) {
                          case 'a': o.amc = arg; break;
                          case 'l':
                              ok = number(arg, WORLD_FIRST_ROW, WORLD_LAST_ROW, &v);
                              o.level = (int)v;
                              break;
                          case 'm':
                              ok = number(arg, 1, 3, &v);
                              o.mode = (int)v;
                              break;
                          case 's':
                              ok = number(arg, 1, 100, &v);
                              o.skill = (int)v;
                              break;
                          case 'e':
                              ok = number(arg, 0, 0xFFFFFFFFL, &v);
                              o.seed = v;
                              break;
                          case 'n':
                              ok = number(arg, 1, 5, &v);
                              o.streets = (int)v;
                              break;
                          case 't':
                              ok = number(arg, 1, 100000000L, &v);
                              o.max_ticks = v;
                              break;
                          case 'k':
                              ok = number(arg, 1, 100000000L, &v);
                              o.ticks = v;
                              break;
                          case 'r': o.record = arg; break;
                          case 'q': o.quiet = true; break;
                          case 'j': o.kicker = KICKS_SPAMMED; break;
                          case 'J': o.kicker = KICKS_TIMED; break;
                          case 'v':
                              ok = number(arg, 1, 100000, &v);
                              o.verbose = (int)v;
                              break;
                          }
                          if (ok)
                              return 0;
                          fprintf(stderr, "nwd-bot: bad value '%s' (see nwd-bot --help)\n", arg);
                          return 2;
                      });
    if (r >= 0)
        return r;
    if (optind != argc) {
        fprintf(stderr, "nwd-bot: unexpected argument: %s\n", argv[optind]);
        usage(stderr);
        return 2;
    }
    only_kicks = o.kicker;
    guards_up = o.mode != SURVIVAL;
    errno = 0;
    if (int16_t r = amc_load(o.amc)) {
        if (r == AMC_ERR_OPEN && errno)
            fprintf(stderr, "nwd-bot: %s: %s: %s\n", o.amc, amc_load_reason(r), strerror(errno));
        else
            fprintf(stderr, "nwd-bot: %s: %s\n", o.amc, amc_load_reason(r));
        return 1;
    }

    DemoImage* demo = nullptr;
    if (o.record) {
        demos.buffer_size = 4u << 20;
        demo = demo_create((uint32_t)o.seed, (int16_t)o.skill, (int16_t)o.level, (int16_t)o.mode);
        if (!demo) {
            fprintf(stderr, "nwd-bot: no memory for the demo\n");
            return 1;
        }
    }

    // As the game starts one: the seed, an empty argument stack, the carried
    // values of a new game.
    actor_table_reset();
    WorldStart st =
        world_new_game((int16_t)o.level, (int16_t)o.mode, (int16_t)o.skill, (uint32_t)o.seed);
    Bot bot;
    StreetLog log[12];
    int logged = 0, streets = 0, continues = 0;
    long total = 0;
    int outcome = -1;
    while (world_row_playable(st.level)) {
        int level = st.level;
        world_start_level(st);
        long ticks = 0;
        int r = -1;
        for (;;) {
            uint16_t ctl = level <= LAST_STREET ? decide(bot) : 0;
            if (demo && (demos.state & DEMO_RECORDING))
                demo_record(ctl);
            bool asked = amc_globals[GLOBAL_STAGE] == ST_CONTINUE;
            world_step((int16_t)ctl, nullptr, [](int, int, int, void*) {}, nullptr);
            if (asked && amc_globals[GLOBAL_STAGE] == ST_FIGHT)
                continues++;
            ticks++;
            if (o.verbose && ticks % o.verbose == 0)
                show_world(ticks, total, ctl);
            total++;
            int16_t ex = amc_globals[GLOBAL_EXIT_REQUEST];
            if (ex & EXIT) {
                r = ex & 0xFF;
                break;
            }
            if (total >= o.max_ticks || (o.ticks && total >= o.ticks))
                break;
        }
        // the last blow may take the bar below empty; the HUD shows 0 then
        int energy = std::max<int>(0, amc_globals[GLOBAL_ENERGY]);
        world_end_level(st, r);  // the carried values into st, the next row r
        if (level <= LAST_STREET && logged < 12) {
            log[logged++] = {level, ticks, (uint16_t)st.score, st.lives, energy, r};
            streets++;
            if (!o.quiet)
                printf("street %d: %ld:%02ld score=%u0 lives=%d energy=%d -> %d\n", level,
                       ticks / 72 / 60, ticks / 72 % 60, (uint16_t)st.score, st.lives, energy, r);
        }
        outcome = r;
        if (r < 0 || streets >= o.streets || (o.ticks && total >= o.ticks))
            break;
    }
    const char* result = outcome >= GAME_WON ? "won"
                         : outcome == 0      ? "lost"
                         : outcome < 0       ? "stopped"
                                             : "ended";
    printf("%s: mode=%d skill=%d seed=%ld score=%u0 time=%ld:%02ld ticks=%ld continues=%d\n",
           result, o.mode, o.skill, o.seed, (uint16_t)st.score, total / 72 / 60, total / 72 % 60,
           total, continues);
    if (demo) {
        if (demo_save(demo, o.record)) {
            fprintf(stderr, "nwd-bot: %s: cannot write\n", o.record);
            return 1;
        }
    }
    if (o.ticks && total >= o.ticks)
        return 0;  // as long as asked: an attract demo
    return outcome >= GAME_WON || (streets >= o.streets && outcome > 0) ? 0 : 1;
}
