// The director's bookkeeping of lives and score on the game's own scripts,
// at the edges a whole game rarely reaches.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "game_fixture.h"
#include "gfx/hud.h"

namespace {

using namespace scene;

constexpr int GLOBAL_HERO_DOWN = 3;  // the scripts' own: 1 while the hero lies beaten
constexpr int PROGRAM_BANNER = 7;    // words over the view
constexpr int PROGRAM_DIGIT = 9;     // one digit of a number the scripts show
constexpr int PROGRAM_HINTS = 19;    // the first street's hints
constexpr int PROGRAM_GIRL = 4;      // Rosalie
constexpr int PROGRAM_FIGURE = 11;       // someone of the story on foot
constexpr int SPR_THUG_STAND = 59, SPR_KICKER_STAND = 139, SPR_BOSS5_STAND = 497;
constexpr int P_LIE = 17;                // a fighter's pose lying on the ground, from its STAND
constexpr int SPR_HOLD_OUT = 298, SPR_THEY_RUN = 299;  // an ambush's sign and its end

class Director : public ScriptsTest {
protected:
    void start(int16_t score, int16_t lives)
    {
        actor_table_reset();
        WorldStart s = world_new_game(1, ARCADE, 5, 1);
        s.score = score, s.lives = lives;
        world_start_level(s);
        step();
    }
    // The first street in `mode`, the view pushed on to its first fight and
    // held there, its men taken away as they come, until the clock runs.
    static void first_fight(int16_t mode, int16_t skill = 5)
    {
        actor_table_reset();
        world_start_level(world_new_game(1, mode, skill, 1));
        for (int t = 0, was = -1; t < 600 && g(GLOBAL_TIMER) >= was; t++) {
            was = g(GLOBAL_TIMER);
            fight_step();
        }
    }
    // The street's men taken away, as if beaten at once.
    static void remove_enemies()
    {
        for (int s = actor_next(0); s != 0;) {
            int next = actor_next(s);
            if (actor_table.slots[s].regs[REG_CLASS] == C_ENEMY)
                actor_remove(s);
            s = next;
        }
    }
    static void beat_all()
    {
        remove_enemies();
        amc_globals[GLOBAL_FOES] = 0;
    }
    // A tick with the view at `scroll`, the hero lasting.
    static void step_at(int scroll)
    {
        amc_globals[GLOBAL_SCROLL_MAP] = (int16_t)scroll;
        amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
        step();
    }
    static void fight_step()
    {
        remove_enemies();
        if (g(GLOBAL_LOCK) > 0)
            amc_globals[GLOBAL_SCROLL_MAP] = g(GLOBAL_LOCK);
        step();
    }
    // The street walked to its boss's fight, the view held at each fight and
    // each man taken as he comes; `watch()` sees every tick first.
    template <class F>
    static void walk_to_boss(int street, int mode, F&& watch, int most = 30000)
    {
        begin_street(street, 1, mode);
        for (int t = 0; t < most && g(GLOBAL_BOSS) == 0; t++) {
            amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
            watch();
            fight_step();
            amc_globals[GLOBAL_FOES] = 0;
        }
    }
    static int16_t g(int i) { return amc_globals[i]; }
    // CONTINUE?'s own banners: its plate (drawn under its countdown) and
    // the "let go" line that comes and goes under it
    static int let_go_shown()
    {
        return count_actors([](int s) {
            return actor_table.slots[s].program == PROGRAM_BANNER && regs(s)[4] == 4;
        });
    }
};

// The score is a 16-bit word of tens of points, read unsigned: past 327,670
// points the next extra life must still come at the next 70,000.
TEST_F(Director, ExtraLivesGoOnPastTheSignedRange)
{
    for (int score : {6990, 34990, 62990}) {
        SCOPED_TRACE(score);
        start((int16_t)score, 2);
        amc_globals[GLOBAL_SCORE] = (int16_t)(score + 5);
        step();
        EXPECT_EQ(g(GLOBAL_LIVES), 2) << "no life before the mark";
        amc_globals[GLOBAL_SCORE] = (int16_t)(score + 10);
        step();
        EXPECT_EQ(g(GLOBAL_LIVES), 3) << "a life at the mark";
        actor_table_reset();
    }
}

// ARCADE's last life lost: CONTINUE? is asked, mashing on is no answer
// (and the screen says to let go, until a press would be heard), a punch
// after a pause goes on with lives and the score the player had.
TEST_F(Director, AContinueKeepsTheScore)
{
    start(12345, 0);
    amc_globals[GLOBAL_HERO_DOWN] = 1;
    step();
    ASSERT_EQ(g(GLOBAL_STAGE), ST_CONTINUE);
    for (int t = 0; t < 5; t++)
        step();
    EXPECT_EQ(let_go_shown(), 0) << "nothing to let go of";
    for (int t = 0; t < 200; t++)
        step(t % 10 == 0 ? CTRL_PUNCH : 0);
    EXPECT_EQ(g(GLOBAL_STAGE), ST_CONTINUE) << "mashing on is no answer";
    int shown = -1;  // the countdown digit's number (its register 3)
    for (int s = actor_next(0); s != 0; s = actor_next(s))
        if (actor_table.slots[s].program == PROGRAM_DIGIT && actor_table.slots[s].regs[4] != 0)
            shown = actor_table.slots[s].regs[3];
    EXPECT_TRUE(shown >= 0 && shown < 9) << "the count runs on under a masher: " << shown;
    EXPECT_EQ(let_go_shown(), 1) << "a masher is told why no press is heard";
    for (int t = 0; t < 60; t++)
        step();
    EXPECT_EQ(let_go_shown(), 0) << "gone once a press would be heard";
    step(CTRL_PUNCH);
    step();
    EXPECT_EQ(g(GLOBAL_STAGE), ST_FIGHT);
    EXPECT_GT(g(GLOBAL_LIVES), 0);
    EXPECT_EQ(g(GLOBAL_SCORE), 12345);
}

// CONTINUE? left to run out: the game is over and its countdown goes, even
// when the banner's end cut the pass short the tick the count went below 0,
// so the final score's digits are the only ones shown, and shown over the
// plate whatever slots they took (at one sort key, slot order decides).
TEST_F(Director, TheCountdownGoesWhenTheGameIsOver)
{
    start(1019, 0);
    amc_globals[GLOBAL_HERO_DOWN] = 1;
    int t = 0;
    for (; t < 3000 && g(GLOBAL_STAGE) != ST_OVER; t++)
        step();
    ASSERT_EQ(g(GLOBAL_STAGE), ST_OVER);
    for (int k = 0; k < 4; k++)
        step();
    int digits = 0, countdown = 0, plate = -1, lowest_digit = 1 << 16;
    for (int s = actor_next(0); s != 0; s = actor_next(s)) {
        const Actor& a = actor_table.slots[s];
        if (a.program == PROGRAM_DIGIT) {
            digits++;
            countdown += a.regs[4] != 0;
            lowest_digit = std::min(lowest_digit, (int)a.regs[REG_SORT_KEY]);
        }
        if (a.program == PROGRAM_BANNER && (plate == -1 || a.regs[REG_SORT_KEY] < plate))
            plate = a.regs[REG_SORT_KEY];  // the lowest of them: the plate
    }
    EXPECT_EQ(countdown, 0);
    EXPECT_EQ(digits, 6) << "the score's five places and its trailing zero";
    ASSERT_NE(plate, -1);
    EXPECT_LT(plate, lowest_digit) << "the plate is drawn under the score";
}

// The street opens with GO!, and its first fight's lock takes it down:
// GO! flashing over a fight's men told the player to walk on.
TEST_F(Director, AFightsLockTakesDownTheWayOn)
{
    start(0, 2);
    auto go_shown = [] {  // GO! alone alternates
        return count_actors([](int s) {
            return actor_table.slots[s].program == PROGRAM_BANNER && (regs(s)[4] & 2);
        });
    };
    ASSERT_TRUE(go_shown());
    for (int t = 0; t < 4; t++) {
        amc_globals[GLOBAL_SCROLL_MAP] = g(GLOBAL_LOCK);
        step();
    }
    ASSERT_GT(g(GLOBAL_LOCK), 0);
    EXPECT_FALSE(go_shown()) << "GO! over the fight";
}

// The first street's ambush (the brute's fight): a clock that a life lost
// does not set back, and that runs out with no TIME UP: the men still
// standing then run off the view and the clock stops at 0:00 (they stayed,
// on a new clock and with no word, and the player was lost). While it runs
// a sign under the clock, clear of the pause picture, says to hold out;
// "THEY RUN!" as it stops.
TEST_F(Director, AnAmbushIsOutlastedOnItsOwnClock)
{
    static constexpr int AMBUSH_LOCK = 1892, AMBUSH_SECONDS = 16;
    start(0, 2);
    auto shown = [](int pic) {
        return count_actors(
            [&](int s) { return actor_table.slots[s].program == PROGRAM_BANNER && regs(s)[0] == pic; });
    };
    auto fast_step = [](bool men_stay) {
        if (!men_stay)
            beat_all();
        step_at(std::min<int>(g(GLOBAL_LOCK), AMBUSH_LOCK));
    };
    int t = 0;
    while (t++ < 9000 && !(g(GLOBAL_LOCK) == AMBUSH_LOCK && g(GLOBAL_TIMER) == AMBUSH_SECONDS * 72 - 1))
        fast_step(false);
    ASSERT_LT(t, 9000) << "no ambush on the first street";
    EXPECT_EQ(shown(SPR_HOLD_OUT), 1) << "the ambush's clock is signed";

    amc_globals[GLOBAL_HERO_DOWN] = 1;
    fast_step(false);
    amc_globals[GLOBAL_HERO_DOWN] = 0;
    EXPECT_EQ(g(GLOBAL_LIVES), 1);
    EXPECT_LT(g(GLOBAL_TIMER), AMBUSH_SECONDS * 72) << "a new life keeps the ambush's clock";
    while (g(GLOBAL_TIMER) > 1)
        fast_step(g(GLOBAL_TIMER) < 10 * 72);
    ASSERT_GT(g(GLOBAL_FOES), 0) << "men stand as the clock runs out";
    EXPECT_EQ(shown(SPR_HOLD_OUT), 1) << "signed to its end";
    constexpr int PAUSE_BOTTOM = 40 + 17;  // the pause picture, at the clock's side (level_loop.cpp)
    for (int s = actor_next(0); s; s = actor_next(s))
        if (actor_table.slots[s].program == PROGRAM_BANNER && regs(s)[0] == SPR_HOLD_OUT) {
            EXPECT_GE(HUD_ROWS + regs(s)[REG_Y], PAUSE_BOTTOM) << "a paused ambush hides its sign";
        }
    for (t = 0; t < 10 && !shown(SPR_THEY_RUN); t++)
        fast_step(true);
    EXPECT_EQ(shown(SPR_THEY_RUN), 1) << "its end is told";
    fast_step(true);
    fast_step(true);
    EXPECT_EQ(shown(SPR_HOLD_OUT), 0) << "and the sign is taken down";
    int widest = 0;  // what runs off is drawn as a figure: by its `shadow`
    for (t = 0; t < 400 && g(GLOBAL_FOES) > 0; t++) {
        fast_step(true);
        for (int s = actor_next(0); s != 0; s = actor_next(s)) {
            const Actor& a = actor_table.slots[s];
            if (a.regs[REG_CLASS] == 0 && (a.regs[REG_FRAME] & 0x7FFF) != 0)
                widest = std::max(widest, (int)a.regs[REG_SHADOW]);
        }
    }
    EXPECT_LE(widest, 56) << "a shadow wider than any fighter's";
    EXPECT_EQ(g(GLOBAL_FOES), 0) << "the men left run off";
    EXPECT_EQ(count_actors([](int s) { return regs(s)[REG_CLASS] == C_ENEMY; }), 0) << "a man stayed";
    EXPECT_EQ(g(GLOBAL_TIMER), 0) << "the clock stops";
    EXPECT_EQ(g(GLOBAL_LIVES), 1) << "no TIME UP";
}

// A fight's clock is set once, as the fight starts: a later wave brings no
// time, its last ten seconds tick aloud, and the seconds left as it is won
// are banked for the street's time bonus. The first street's first fight:
// one man, then another once he is beaten.
TEST_F(Director, AFightsClockIsSetOnceAndWhatIsLeftIsBanked)
{
    constexpr int FULL = 180 * 72, LOW = 30 * 72;  // NORMAL's fight clock
    start(0, 2);
    auto at_lock = [] { step_at(200); };
    int t = 0;
    while (t++ < 3000 && g(GLOBAL_FOES) == 0)
        at_lock();
    ASSERT_EQ(g(GLOBAL_FOES), 1) << "the first man came";
    EXPECT_GE(g(GLOBAL_TIMER), FULL - 72) << "the fight starts on its full clock";
    amc_globals[GLOBAL_TIMER] = 10 * 72;
    static int ticks_heard;  // SFX_MENU_MOVE (29) is the clock's tick
    ticks_heard = 0;
    for (int k = 0; k < 144; k++) {
        amc_globals[GLOBAL_SCROLL_MAP] = 200;
        amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
        world_step(0, nullptr, [](int, int fx, int, void*) { ticks_heard += fx == 29; },
                   nullptr);
    }
    EXPECT_EQ(ticks_heard, 2) << "the last ten seconds tick aloud, one a second";

    amc_globals[GLOBAL_TIMER] = LOW;
    beat_all();
    for (t = 0; t < 600 && g(GLOBAL_FOES) == 0; t++)
        at_lock();
    ASSERT_EQ(g(GLOBAL_FOES), 1) << "the second wave came";
    EXPECT_LE(g(GLOBAL_TIMER), LOW) << "and brought no time";
    // A life lost: a low clock is topped up to a minute, a fuller one kept.
    for (int left : {LOW, 100 * 72}) {
        amc_globals[GLOBAL_TIMER] = (int16_t)left;
        amc_globals[GLOBAL_HERO_DOWN] = 1;
        at_lock();
        amc_globals[GLOBAL_HERO_DOWN] = 0;
        EXPECT_NEAR(g(GLOBAL_TIMER), std::max(left, 60 * 72), 2) << "a life lost is paid in time";
    }
    amc_globals[GLOBAL_TIMER] = LOW;

    beat_all();
    for (t = 0; t < 600 && g(GLOBAL_LOCK) == 160; t++)
        at_lock();
    EXPECT_NE(g(GLOBAL_LOCK), 160) << "the fight was won";
    EXPECT_NEAR(regs(1)[0], LOW / 72, 2) << "its seconds left are banked";
}

// The first street's running fight, after its second fight: the view is
// never stopped for it, its clock runs, and its men wait for the view to
// come to them, a pair at each stretch once the last pair is beaten.
TEST_F(Director, ARunningFightsMenComeAsTheViewMovesOn)
{
    constexpr int STREET_END = 168 * 16 - VIEW; // the first street's map is 168 tiles
    start(0, 2);
    for (int t = 0; t < 3000; t++) {  // the fights before it, won at once
        beat_all();
        step_at(519);
    }
    ASSERT_EQ(g(GLOBAL_LOCK), STREET_END) << "the view is free to move on";

    // a stretch's men wait while the view stands just short of it
    auto hold_then_reach = [&](int ticks, int short_of, int before, int after) {
        for (int t = 0; t < ticks; t++)
            step_at(short_of - 1);
        EXPECT_EQ(g(GLOBAL_FOES), before) << "no one comes before the view does";
        for (int t = 0; t < 4; t++)
            step_at(short_of);
        EXPECT_EQ(g(GLOBAL_FOES), after);
    };
    hold_then_reach(200, 520, 0, 2);
    EXPECT_EQ(g(GLOBAL_LOCK), 520 + VIEW / 2)
        << "the view runs on, but not past the men until they are met";
    int clock = g(GLOBAL_TIMER);
    for (int t = 0; t < 80; t++)
        step_at(520);
    EXPECT_LT(g(GLOBAL_TIMER), clock) << "and the fight's clock runs";
    hold_then_reach(100, 590, 2, 2);  // the next pair waits for the last to be beaten
    beat_all();
    for (int t = 0; t < 200 && g(GLOBAL_FOES) != 2; t++)
        step_at(590);
    EXPECT_EQ(g(GLOBAL_FOES), 2) << "then it comes";
    EXPECT_EQ(g(GLOBAL_LOCK), 590 + VIEW / 2) << "the next stretch lets it on";
}

// A vampire's thirst grows with the energy he holds: standing back, a full
// bar bleeds much faster than a low one, which still bleeds. He is paid for
// a man beaten on a low bar, by the energy he had before the kill fed him;
// on a full bar a man pays only his own worth.
TEST_F(Director, AVampireBleedsWithHisBarAndIsPaidOnALowOne)
{
    constexpr int SPR_TELL_MARK = 130;
    int lost[2] = {}, paid[2] = {}, rings = 0;
    for (int low : {0, 1}) {
        const int held = low ? 60 : FULL_ENERGY;
        first_fight(VAMPIRE);
        int clock = g(GLOBAL_TIMER);
        fight_step();
        ASSERT_LT(g(GLOBAL_TIMER), clock) << "the first fight's clock runs";
        amc_globals[GLOBAL_ENERGY] = (int16_t)held;
        for (int t = 0; t < 5 * 72; t++) {
            fight_step();
            rings += count_actors([](int s) {
                return actor_table.slots[s].program == PROGRAM_FX && regs(s)[0] == SPR_TELL_MARK &&
                       regs(s)[6] == 0;  // a man's own follows him
            });
        }
        lost[low] = held - g(GLOBAL_ENERGY);
        amc_globals[GLOBAL_FOES] = 2;
        amc_globals[GLOBAL_ENERGY] = low ? 40 : FULL_ENERGY;
        fight_step();
        const int before = g(GLOBAL_SCORE);
        amc_globals[GLOBAL_FOES] = 1;
        amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;  // the kill fed him
        fight_step();
        paid[low] = g(GLOBAL_SCORE) - before;
    }
    EXPECT_GT(lost[1], 0);
    EXPECT_GE(lost[0], 2 * lost[1]) << "full " << lost[0] << ", low " << lost[1];

    // a brute's long bar is fought by waiting for his opening, as a boss's:
    // the thirst is half as quick while one stands
    first_fight(VAMPIRE);
    amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
    for (int t = 0; t < 5 * 72; t++) {
        remove_enemies();
        const int brute = actor_spawn(PROGRAM_FX);  // stands for him this tick
        regs(brute)[3] = 2;
        regs(brute)[REG_CLASS] = C_ENEMY;
        regs(brute)[REG_KIND] = E_BRUTE;
        amc_globals[GLOBAL_SCROLL_MAP] = g(GLOBAL_LOCK);
        step();
    }
    const int by_brute = FULL_ENERGY - g(GLOBAL_ENERGY);
    EXPECT_GT(by_brute, 0);
    EXPECT_LE(by_brute * 3, lost[0] * 2) << "by a brute " << by_brute << ", alone " << lost[0];
    EXPECT_EQ(rings, 0) << "the thirst is seen on the bar, not as a wind-up's ring at his feet";
    EXPECT_EQ(paid[1], 50) << "500 points for a man beaten on a low bar";
    EXPECT_EQ(paid[0], 0);
}

// A survivor is paid for each man beaten by the streets he has lived
// through, two beaten in one tick paid twice, and sees it over his head;
// ARCADE pays a man only his own worth.
TEST_F(Director, ASurvivorsMenPayMoreTheFurtherHeGets)
{
    constexpr int SPR_POP_100 = 300, SPR_POP_1000 = 303;
    auto paid = [](int16_t mode, int16_t street, int pop) {
        actor_table_reset();
        world_start_level(world_new_game(street, mode, 5, 1));
        step();
        amc_globals[GLOBAL_FOES] = 3;
        step();
        const int before = g(GLOBAL_SCORE);
        amc_globals[GLOBAL_FOES] = 1;
        step();
        const int shown = count_actors([&](int s) {
            return actor_table.slots[s].program == PROGRAM_FX && regs(s)[0] == pop;
        });
        EXPECT_EQ(shown > 0, mode == SURVIVAL) << "street " << street;
        return g(GLOBAL_SCORE) - before;
    };
    EXPECT_EQ(paid(ARCADE, 1, SPR_POP_100), 0);
    EXPECT_EQ(paid(SURVIVAL, 1, SPR_POP_100), 2 * 10);
    EXPECT_EQ(paid(SURVIVAL, 5, SPR_POP_1000), 2 * 100);

    // 655,350 points is all the score holds: a pay past it stops there
    // instead of wrapping round to almost nothing
    actor_table_reset();
    WorldStart top = world_new_game(5, SURVIVAL, 5, 1);
    top.score = -56;  // 65,480 tens
    world_start_level(top);
    step();
    amc_globals[GLOBAL_FOES] = 3;
    step();
    amc_globals[GLOBAL_FOES] = 1;
    step();
    EXPECT_EQ((uint16_t)g(GLOBAL_SCORE), 65535);
}

// A survivor's food fills the bar only so far (past NORMAL further, at
// HARDEST all the way: it is not weakened as ARCADE's is), and
// takes nothing from a bar past it; in ARCADE a chicken fills it.
TEST_F(Director, ASurvivorsFoodFillsTheBarOnlySoFar)
{
    const struct {
        int mode, skill, held, fed;
    } cases[] = {{ARCADE, 5, 100, FULL_ENERGY}, {ARCADE, 5, 180, FULL_ENERGY}, {SURVIVAL, 5, 100, 160},
                 {SURVIVAL, 5, 180, 180},       {SURVIVAL, 6, 100, 185},
                 {SURVIVAL, 7, 100, FULL_ENERGY}};  // HARDEST's blows on one life: all of it
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", skill " << c.skill << ", held " << c.held);
        first_fight((int16_t)c.mode, (int16_t)c.skill);
        amc_globals[GLOBAL_ENERGY] = (int16_t)c.held;
        int s = actor_spawn(PROGRAM_PICKUP);
        regs(s)[0] = -1;  // handed over at once
        regs(s)[3] = IT_CHICKEN;
        step_for(2);
        EXPECT_EQ(g(GLOBAL_ENERGY), c.fed);
    }
}

// What shows over the street's top: banners and the first street's hint
// with a picture up. `first` gets them in the order they came: a banner's
// picture, or GO or HINT.
constexpr int GO = -1, HINT = -2;
int shown_over_street(std::vector<int>* first = nullptr)
{
    int n = 0;
    for (int s = actor_next(0); s != 0; s = actor_next(s)) {
        const Actor& a = actor_table.slots[s];
        if ((a.program != PROGRAM_BANNER && a.program != PROGRAM_HINTS) || a.regs[REG_FRAME] == 0)
            continue;
        n++;
        const int pic = a.program == PROGRAM_HINTS ? HINT : (a.regs[4] & 2) ? GO : a.regs[0];
        if (first && std::find(first->begin(), first->end(), pic) == first->end())
            first->push_back(pic);
    }
    return n;
}

// A street opens with one thing at a time: its name, the mode of a single
// life, GO!, and, once the hero walks into the first fight, its hint. Hints
// teach a player still learning the game: on the first street below HARD
// (skill 6), and at no skill on the streets after it.
TEST_F(Director, AStreetOpensWithOneBannerAtATime)
{
    struct Case {
        int street, mode, skill;
    } cases[] = {{1, ARCADE, 5},   {1, SURVIVAL, 5}, {1, VAMPIRE, 5},
                 {1, ARCADE, 3}, {1, ARCADE, 6},   {2, ARCADE, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "street " << c.street << ", mode " << c.mode
                                        << ", skill " << c.skill);
        begin_street(c.street, 1, c.mode, c.skill);
        std::vector<int> order;
        int most = 0;
        for (int t = 0; t < 20 * 72; t++) {
            amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
            step(t < 7 * 72 ? 0 : CTRL_RIGHT | (t % 12 == 0 ? CTRL_PUNCH : 0));
            most = std::max(most, shown_over_street(&order));
        }
        EXPECT_EQ(most, 1);
        const bool hinted = c.street == 1 && c.skill < 6;
        const size_t go = c.mode == ARCADE ? 1 : 2;
        ASSERT_GT(order.size(), go + hinted);
        EXPECT_GT(order[0], 0) << "the street's name first";
        EXPECT_EQ(order[go], GO) << "then GO!";
        EXPECT_EQ(std::count(order.begin(), order.end(), HINT), hinted ? 1 : 0);
        if (hinted) {
            EXPECT_EQ(order[go + 1], HINT) << "then the hint";
        }
    }
}

// KING falls and the last street is won: the scripts stage the rescue
// (Rosalie runs into the hero's arms, and the two stay together in view
// under a last banner: they had walked off, leaving it over an empty
// street) and then the game is won; a fresh press once it has started
// skips it. SURVIVAL's finale comes first: after KING the streets' bosses
// come back one at a time, each once and in their streets' order, a bite
// to eat between two, whatever a boss set striking gone before the next
// walks in; only the last one's fall wins the street.
TEST_F(Director, TheFinaleEndsInTheRescueAndTheGame)
{
    const struct {
        int mode;
        bool skip;
    } cases[] = {{ARCADE, false}, {ARCADE, true}, {SURVIVAL, false}};
    for (const auto& c : cases) {
        const bool skip = c.skip;
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << (skip ? ", skipped" : ""));
        actor_table_reset();
        world_start_level(world_new_game(LAST_STREET, (int16_t)c.mode, 5, 1));
        int fell = -1, hugged = -1, ended = -1, together = 0, rosa = 0;
        bool struck = false;
        // men in the story's figures (none: the street's men were taken
        // away, and none come once KING is down), and KING still lying
        int men_seen = 0, king_lies = 0;
        std::vector<int> met;  // the bosses' kinds, as each comes in
        int last_boss = 0, chickens = 0, met_by_clear = -1, hazards_left = -1;
        std::vector<bool> chicken(64, false);
        for (int t = 0; t < 90000 && ended < 0; t++) {
            amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
            // A picture that ends on its first turn ends that tick's pass: whoever
            // comes after it in the list, KING too, has his first turn a tick late.
            if (g(GLOBAL_BOSS) == 0 && fell < 0 && (c.mode == ARCADE || count_program(PROGRAM_FX) < 4)) {
                int fx = actor_spawn(PROGRAM_FX);
                if (fx > 0)
                    actor_table.slots[fx].regs[3] = 1;
            }
            for (int s = actor_next(0); s != 0;) {  // the street's men go as they come
                int next = actor_next(s);
                int16_t* r = actor_table.slots[s].regs;
                if (r[REG_CLASS] == C_ENEMY && actor_table.slots[s].program == PROGRAM_ENEMY)
                    actor_remove(s);
                else if (r[REG_CLASS] == C_BOSS && r[REG_STATE] != S_DEAD && r[REG_STATE] != S_DOWN &&
                         r[REG_DMG] == 0 && t % 8 == 0)
                    r[REG_HEALTH] = 1, r[REG_DMG] = 10, r[REG_FORCE] = 2, r[REG_KNOCK] = 1,  // F_HEAVY
                        struck = true;
                if (actor_table.slots[s].program == PROGRAM_GIRL)
                    rosa = s;
                s = next;
            }
            if (fell < 0 && g(GLOBAL_BOSS) == 0 && g(GLOBAL_STAGE) != ST_CLEAR)
                amc_globals[GLOBAL_FOES] = 0;
            int16_t controls = 0;
            if (fell < 0)
                controls = CTRL_RIGHT;
            else if (skip && hugged >= 0 && t == hugged + 100)
                controls = CTRL_PUNCH;
            step(controls);
            const int b = g(GLOBAL_BOSS);
            if (b && b != last_boss && regs(b)[REG_CLASS] == C_BOSS) {
                met.push_back(regs(b)[REG_KIND]);
                if (met.size() == 3)  // RUST's round: no hazard outlives BUTCH's
                    hazards_left = count_program(PROGRAM_HAZARD);
                if (met.size() == 2) {  // BUTCH's rage brings bottles, every 130 ticks
                    int16_t* r = regs(actor_spawn(PROGRAM_HAZARD));
                    r[0] = H_BOTTLE, r[1] = (int16_t)(g(GLOBAL_SCROLL_MAP) + VIEW / 2), r[3] = 500, r[4] = 130;
                }
            }
            last_boss = b;
            std::vector<bool> now(64, false);
            for (int s = actor_next(0), k = 0; s && k < 63; s = actor_next(s), k++)
                now[s] = actor_table.slots[s].program == PROGRAM_PICKUP && regs(s)[REG_KIND] == IT_CHICKEN;
            for (int s = 0; s < 64; s++)
                chickens += now[s] && !chicken[s];
            chicken = now;
            if (fell < 0 && g(GLOBAL_STAGE) == ST_CLEAR)
                fell = t, met_by_clear = (int)met.size();
            if (rosa && hugged < 0 && actor_table.slots[rosa].regs[REG_STATE] == 2)
                hugged = t;
            if (hugged >= 0) {
                for (int s = actor_next(0); s != 0; s = actor_next(s)) {
                    const Actor& a = actor_table.slots[s];
                    if (a.program != PROGRAM_FIGURE)
                        continue;
                    int pic = a.regs[REG_FRAME] & 0x7FFF;
                    if (pic == SPR_BOSS5_STAND + P_LIE) {
                        king_lies++;
                    } else if ((pic >= SPR_THUG_STAND && pic < SPR_THUG_STAND + 32) ||
                               (pic >= SPR_KICKER_STAND && pic < SPR_KICKER_STAND + 32)) {
                        men_seen++;
                    }
                }
                const int16_t *h = regs(the_hero()), *r = regs(rosa);
                const bool in_view = h[REG_X] > 16 && h[REG_X] < VIEW - 16 && r[REG_X] > 16 &&
                                     r[REG_X] < VIEW - 16 && std::abs(h[REG_WX] - r[REG_WX]) < 32;
                together += in_view && count_actors([](int s) {
                    return actor_table.slots[s].program == PROGRAM_BANNER && regs(s)[REG_FRAME] &&
                           regs(s)[3] == 0;
                }) > 0;
            }
            if (g(GLOBAL_EXIT_REQUEST) & EXIT)
                ended = t;
        }
        ASSERT_GE(ended, 0) << "the game never ended";
        EXPECT_EQ(g(GLOBAL_EXIT_REQUEST), EXIT | GAME_WON);
        std::vector<int> expected{E_BOSS + LAST_STREET};
        if (c.mode == SURVIVAL)
            for (int street = 1; street < LAST_STREET; street++)
                expected.push_back(E_BOSS + street);
        EXPECT_EQ(met, expected);
        EXPECT_EQ(met_by_clear, (int)expected.size()) << "the street won only after the last";
        EXPECT_EQ(chickens, c.mode == SURVIVAL ? LAST_STREET - 2 : 0);
        if (c.mode == SURVIVAL) {
            EXPECT_EQ(hazards_left, 0);
            continue;
        }
        EXPECT_TRUE(struck) << "the street was won before KING was fought";
        ASSERT_GE(hugged, fell) << "Rosalie never reached the hero";
        ASSERT_GE(ended, hugged);
        if (skip) {
            EXPECT_LE(ended, hugged + 102) << "a fresh press skips the scene";
        } else {
            EXPECT_GE(ended - hugged, 3 * 72) << "the scene lasts some seconds";
            EXPECT_LE(ended - fell, 40 * 72);
            EXPECT_GE(together, 3 * 72) << "the two together in view under a last banner";
            EXPECT_EQ(men_seen, 0) << "no man walks in once KING is down";
            // past their king, beaten on the ground, unless he lay where the
            // hug would cross him: then he is gone before it
            EXPECT_TRUE(king_lies == 0 || king_lies >= ended - hugged) << king_lies;
        }
    }
}

// The rules a street starts with must set the skills and modes plainly
// apart: EASIEST gentle, SURVIVAL's men quicker than ARCADE's at NORMAL.
TEST_F(Director, SkillsAndModesSetTheirRulesApart)
{
    constexpr int WINDUP = 16, PUNISH = 17, PACE = 22;  // the scripts' own globals
    struct Rules {
        int windup, punish, pace;
    };
    auto rules = [](int16_t mode, int16_t skill) {
        begin_street(2, 1, mode, skill);  // a street with no easing
        return Rules{g(WINDUP), g(PUNISH), g(PACE)};
    };
    const Rules easiest = rules(ARCADE, 3), normal = rules(ARCADE, 5);
    const Rules hardest = rules(ARCADE, 7), survival = rules(SURVIVAL, 5);
    EXPECT_LE(easiest.punish * 4, normal.punish * 3) << "EASIEST's blows a quarter weaker";
    EXPECT_GE(easiest.windup, normal.windup + 5) << "and read sooner";
    EXPECT_GE(easiest.pace, normal.pace + 12) << "and further apart";
    EXPECT_GT(hardest.punish, normal.punish);
    EXPECT_LT(hardest.pace, normal.pace);
    EXPECT_LT(survival.pace, normal.pace) << "a survivor is pressed harder";
    EXPECT_EQ(survival.punish, normal.punish * 7 / 8) << "but spared an eighth of each blow";
    const Rules vampire = rules(VAMPIRE, 5);
    EXPECT_EQ(g(GLOBAL_MAX_ATTACKERS), 1) << "a vampire's men come one at a time";
    EXPECT_LT(vampire.pace, normal.pace) << "but quicker";
}

// Below HARD the first street brings one idea a fight: plain men first,
// no boxer and none leaping in; then the guard (its boxer), the grab from
// behind, and men who leap with the ambush last. From HARD on its men know
// everything from the start.
TEST_F(Director, TheFirstStreetTeachesOneIdeaAFight)
{
    for (int skill : {5, 6}) {
        SCOPED_TRACE(skill);
        actor_table_reset();
        world_start_level(world_new_game(1, ARCADE, (int16_t)skill, 1));
        std::vector<int> lesson_at;  // the lesson as each fight's first man came
        int last_lock = -1, boxer_lesson = -1, leap_lesson = -1, age[64] = {};
        for (int t = 0; t < 40000 && g(GLOBAL_BOSS) == 0; t++) {
            amc_globals[GLOBAL_SCROLL_MAP] = g(GLOBAL_LOCK);
            amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
            step();
            const int lesson = actor_table.slots[1].regs[DIRECTOR_LESSON];
            for (int s = actor_next(0); s != 0;) {
                const int next = actor_next(s);
                const Actor& a = actor_table.slots[s];
                if (a.program == PROGRAM_ENEMY && a.regs[REG_CLASS] == C_ENEMY) {
                    if (age[s] == 0 && g(GLOBAL_LOCK) != last_lock) {
                        last_lock = g(GLOBAL_LOCK);
                        lesson_at.push_back(lesson);
                    }
                    if (a.regs[REG_KIND] == E_BOXER && boxer_lesson < 0)
                        boxer_lesson = lesson;
                    if (a.regs[REG_Z] > 40 && leap_lesson < 0)
                        leap_lesson = lesson;
                    if (++age[s] >= 4) {  // seen long enough to have leapt: beaten
                        actor_remove(s);
                        age[s] = 0;
                        amc_globals[GLOBAL_FOES] = (int16_t)std::max(0, g(GLOBAL_FOES) - 1);
                    }
                }
                s = next;
            }
        }
        ASSERT_NE(g(GLOBAL_BOSS), 0) << "the boss's fight was reached";
        if (skill >= 6) {
            for (int l : lesson_at)
                EXPECT_EQ(l, TAUGHT_ALL);
            continue;
        }
        ASSERT_GE(lesson_at.size(), 6u);
        EXPECT_EQ(lesson_at.front(), TAUGHT_PLAIN);
        EXPECT_TRUE(std::is_sorted(lesson_at.begin(), lesson_at.end())) << "it never forgets";
        EXPECT_EQ(lesson_at.back(), TAUGHT_ALL);
        EXPECT_EQ(std::count(lesson_at.begin(), lesson_at.end(), TAUGHT_PLAIN) >= 3, true)
            << "three plain fights first";
        EXPECT_EQ(boxer_lesson, TAUGHT_GUARD) << "the boxer brings the guard";
        EXPECT_EQ(leap_lesson, TAUGHT_ALL) << "men leap only once taught";
    }
}

}  // namespace

// The modes play the same course apart: a vampire's men come one after
// another, never a crowd; a survivor meets the blades of later streets on
// the first.
TEST_F(Director, TheModesMakeUpTheSameFightsApart)
{
    // the junkyard's first fights, one man beaten every two seconds
    auto most_standing = [](int16_t mode) {
        actor_table_reset();
        world_start_level(world_new_game(2, mode, 5, 1));
        int most = 0;
        for (int t = 0; t < 3000; t++) {
            amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
            if (g(GLOBAL_LOCK) > 0)
                amc_globals[GLOBAL_SCROLL_MAP] = g(GLOBAL_LOCK);
            for (int s = actor_next(0); s != 0 && t % 144 == 0; s = actor_next(s))
                if (actor_table.slots[s].regs[REG_CLASS] == C_ENEMY) {
                    actor_remove(s);
                    amc_globals[GLOBAL_FOES]--;
                    break;
                }
            step();
            most = std::max<int>(most, g(GLOBAL_FOES));
        }
        return most;
    };
    EXPECT_LE(most_standing(VAMPIRE), 2);
    EXPECT_GE(most_standing(ARCADE), 3);

    // the first street played through, its men taken as they come
    auto kinds = [](int16_t mode, int& light, int& later) {
        light = later = 0;
        auto seen = [](int s, std::initializer_list<int> of) {
            // each is seen once, after his first turn: fight_step takes him
            const Actor& a = actor_table.slots[s];
            return a.program == PROGRAM_ENEMY && a.resume_pc != 0 && a.regs[REG_CLASS] == C_ENEMY &&
                   std::find(of.begin(), of.end(), a.regs[REG_KIND]) != of.end();
        };
        walk_to_boss(1, mode, [&] {
            light += count_actors([&](int s) { return seen(s, {E_BRAWLER, E_BOXER}); });
            later += count_actors([&](int s) { return seen(s, {E_KNIFER, E_THROWER}); });
        }, 20000);
    };
    int arcade_light, arcade_later, survival_light, survival_later;
    kinds(ARCADE, arcade_light, arcade_later);
    kinds(SURVIVAL, survival_light, survival_later);
    ASSERT_GT(arcade_light, 10);
    EXPECT_GE(survival_later, arcade_later + 2) << "the later streets' blades come early";
}

// A fight reads: however many men its waves hold, no more than the skill's
// crowd stand at once (three below NORMAL, four at it, five from HARD; a
// survivor's waves one more up to NORMAL), the rest walking in as others
// fall, every one of them before the fight is won, and those kept waiting
// from either side in turn, not all from one.
TEST_F(Director, AFightsCrowdIsCappedAndEveryManComes)
{
    struct Case {
        int mode, street, skill, crowd, lock, men;  // the fight's lock and its men
    };
    auto is_man = [](int s) { return regs(s)[REG_CLASS] == C_ENEMY; };
    // the junkyard's first fight: two, then six and an extra from NORMAL;
    // the docks' second: two, four, then three and an extra
    for (Case c : {Case{ARCADE, 2, 4, 3, 40, 8}, Case{ARCADE, 2, 5, 4, 40, 9},
                   Case{ARCADE, 2, 6, 5, 40, 9}, Case{ARCADE, 5, 5, 4, 640, 10},
                   Case{SURVIVAL, 2, 5, 5, 40, 9}}) {
        SCOPED_TRACE(testing::Message()
                     << "mode " << c.mode << " street " << c.street << " skill " << c.skill);
        actor_table_reset();
        world_start_level(world_new_game((int16_t)c.street, (int16_t)c.mode, (int16_t)c.skill, 1));
        int most = 0, came = 0, waited = 0, last_side = -1, same_side = 0;
        bool fought = false;
        for (int t = 0; t < 12000; t++) {
            amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
            if (g(GLOBAL_LOCK) > 0)
                amc_globals[GLOBAL_SCROLL_MAP] = g(GLOBAL_LOCK);
            bool beaten = false;  // one man every two seconds
            for (int s = actor_next(0); s != 0 && t % 144 == 0; s = actor_next(s))
                if (is_man(s)) {
                    actor_remove(s);
                    amc_globals[GLOBAL_FOES]--;
                    beaten = true;
                    break;
                }
            bool there[64] = {};
            for (int s = actor_next(0); s != 0; s = actor_next(s))
                there[s] = is_man(s);
            int was = g(GLOBAL_FOES);
            step();
            most = std::max(most, count_actors(is_man));
            if (g(GLOBAL_LOCK) != c.lock) {
                if (fought)
                    break;  // won
                continue;
            }
            fought = true;
            came += std::max(0, g(GLOBAL_FOES) - was);
            if (!beaten || was + 1 < c.crowd)
                continue;
            // one kept waiting came in as a man fell: from which side?
            for (int s = actor_next(0); s != 0; s = actor_next(s)) {
                int wx = regs(s)[REG_WX], scroll = g(GLOBAL_SCROLL_MAP);
                if (!is_man(s) || there[s] || (wx >= scroll && wx < scroll + VIEW))
                    continue;  // (one who leapt in lands in view)
                const int side = wx >= scroll + VIEW;
                waited++, same_side += side == last_side, last_side = side;
            }
        }
        EXPECT_TRUE(fought && g(GLOBAL_LOCK) != c.lock) << "the fight was won";
        EXPECT_EQ(most, c.crowd);
        EXPECT_EQ(came, c.men) << "every man of its waves came";
        if (c.skill == 5) {
            EXPECT_GE(waited, 2);
            EXPECT_EQ(same_side, 0) << "those kept waiting come from either side in turn";
        }
    }
}

// Every street, walked through with its men taken as they come: on its
// first walks (at a walk's pace, the hero in a depth of no fixed lane) it
// hands him a pipe and lays a breakable with something inside in his lane,
// where he cannot walk past it; its view goes no further than its map, and
// its boss's fight is held at the view's end (a map or a course trimmed
// alone showed what lies past the map's end, or left the boss a walk away).
TEST_F(Director, EveryStreetHandsAPipeEarlyAndEndsWhereItsMapDoes)
{
    constexpr int PROGRAM_PROP = 5, INSIDE = 3;  // a breakable thing and what it holds
    constexpr int EARLY = 720, DEPTH = 180;      // the first fights' ground
    std::string levels = __FILE__;
    levels = levels.substr(0, levels.rfind("tests/")) + "data/levels/lev";
    for (int street = 1; street <= LAST_STREET; street++) {
        SCOPED_TRACE(street);
        std::ifstream map(levels + std::to_string(street) + ".txt");
        ASSERT_TRUE(map);
        int tiles = 0;
        for (std::string word; map >> word;)
            if (word == "size") {
                map >> tiles;
                break;
            }
        begin_street(street, 1);
        int pipe_at = -1, in_his_way = 0;
        for (int t = 0; t < 30000 && g(GLOBAL_BOSS) == 0; t++) {
            remove_enemies();
            amc_globals[GLOBAL_FOES] = 0;
            amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
            if (g(GLOBAL_SCROLL_MAP) >= EARLY) {
                fight_step();
                continue;
            }
            int16_t* hero = regs(g(GLOBAL_HERO));
            int16_t scroll = std::min<int16_t>(g(GLOBAL_LOCK), (int16_t)(g(GLOBAL_SCROLL_MAP) + 2));
            amc_globals[GLOBAL_SCROLL_MAP] = scroll;
            hero[REG_WX] = (int16_t)(scroll + 100), hero[REG_GY] = DEPTH;
            step();
            for (int s = actor_next(0), n = 0; s && n < 63; s = actor_next(s), n++) {
                const int16_t* a = regs(s);
                const int prog = actor_table.slots[s].program;
                if (pipe_at < 0 && ((prog == PROGRAM_PICKUP && a[REG_KIND] == IT_PIPE) ||
                                    (prog == PROGRAM_PROP && a[INSIDE] == IT_PIPE)))
                    pipe_at = a[REG_WX];
                in_his_way += prog == PROGRAM_PROP && a[INSIDE] && a[REG_GY] == DEPTH &&
                              a[REG_WX] - scroll < VIEW;
            }
        }
        EXPECT_GE(pipe_at, 0) << "no pipe on the street's first walks";
        EXPECT_GT(in_his_way, 0) << "nothing in the hero's lane";
        ASSERT_NE(g(GLOBAL_BOSS), 0) << "the boss's fight was reached";
        EXPECT_LE(g(GLOBAL_STREET_END) + VIEW, tiles * 16);
        EXPECT_EQ(g(GLOBAL_LOCK), g(GLOBAL_STREET_END));
    }
}

// The course's breakables and hazards stand in lanes spread over the whole
// depth the fighters walk: its back lane in the back third, its front lane in
// the front third, none off the ground (lanes bunched in the middle leave a
// deep street a strip to fight on).
TEST_F(Director, TheCoursesLanesSpreadOverTheWholeGround)
{
    constexpr int PROGRAM_PROP = 5, THIRD = (GROUND_BOTTOM - GROUND_TOP) / 3;
    int back = GROUND_BOTTOM, front = GROUND_TOP;
    for (int street = 1; street <= LAST_STREET; street++) {
        SCOPED_TRACE(street);
        begin_street(street, 1);
        std::vector<int> was(64, 0);
        for (int t = 0; t < 30000 && g(GLOBAL_BOSS) == 0; t++) {
            remove_enemies();
            amc_globals[GLOBAL_FOES] = 0;
            amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
            fight_step();
            for (int s = actor_next(0), n = 0; s && n < 63; s = actor_next(s), n++) {
                const int prog = actor_table.slots[s].program;
                const int16_t* a = regs(s);
                const int gy = prog == PROGRAM_PROP ? a[REG_GY] : prog == PROGRAM_HAZARD ? a[ARG_HAZARD_GY] : 0;
                if (gy && was[s] != prog) {  // as it is placed
                    EXPECT_GE(gy, GROUND_TOP);
                    EXPECT_LE(gy, GROUND_BOTTOM);
                    back = std::min(back, gy), front = std::max(front, gy);
                }
                was[s] = prog;
            }
        }
    }
    EXPECT_LE(back, GROUND_TOP + THIRD);
    EXPECT_GE(front, GROUND_BOTTOM - THIRD);
}

// The vents' running fight is beaten where it is fought: the next fight's
// lock does not take the view on while its men stand, and leave one behind
// the view's left edge, out of the hero's reach, with the fight unending.
TEST_F(Director, TheVentsRunningFightHoldsTheViewUntilItsMenAreBeaten)
{
    constexpr int LAST_REACH = 1290, NEXT_LOCK = 1480;
    begin_street(4, 1);
    int t = 0;
    for (; t < 30000 && g(GLOBAL_LOCK) != LAST_REACH + VIEW / 2; t++) {
        amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
        fight_step();
        amc_globals[GLOBAL_FOES] = 0;
    }
    ASSERT_EQ(g(GLOBAL_LOCK), LAST_REACH + VIEW / 2) << "the vents' last men never came";
    for (int n = 0; n < 600; n++) {  // its men stand (taken away, still counted)
        amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
        fight_step();
    }
    EXPECT_LT(g(GLOBAL_LOCK), NEXT_LOCK) << "the view moved on past standing men";
    for (int n = 0; n < 600 && g(GLOBAL_LOCK) < NEXT_LOCK; n++) {
        amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
        fight_step();
        amc_globals[GLOBAL_FOES] = 0;
    }
    EXPECT_EQ(g(GLOBAL_LOCK), NEXT_LOCK) << "beaten, they did not let the view on";
}

// The crowds of the last two streets are told apart: no wave brings two men
// of one look (a picture and the colours it shows: a boxer or a shield man
// is a brawler in colours of his own, a brute or a charger a heavy, a whip
// man a kicker, a bomber a thrower)
// at once. Each wave's men stand until its WAIT, or until one more waits
// for a place among them, then are beaten at once; the ambushes' comers,
// who come as their own mix, at once as they come.
TEST_F(Director, TheLastStreetsWavesBringNoTwoMenOfOneLook)
{
    constexpr int DIRECTOR_CMD = 3, CMD_FOE = 2, CMD_EXTRA = 3, CMD_WAIT = 4, CMD_BOSS = 9,
                  CMD_HOLD = 12;
    constexpr int CROWD = 4;  // NORMAL's men standing at once
    // the schemes each picture shows: one that recolours none of a
    // picture's colours leaves it as plain as scheme 0 (tools/gfxgen draws
    // the fighters, gfx/main_data.cpp swaps the colours)
    auto look = [](const int16_t* a) {
        static const int shown[][5] = {
            {0, 1, 2, 3, 4},  // brawler and boxer
            {0, 1, 0, 0, 0},  // kicker
            {0, 1, 0, 0, 4},  // knife man and thrower
            {0, 1, 2, 0, 4},  // heavy and brute
        };
        int kind = a[REG_KIND], light = a[REG_LIGHT] & 7;
        int family = kind == E_BOXER || kind == E_SHIELD ? E_BRAWLER
                   : kind == E_BRUTE || kind == E_CHARGER ? E_HEAVY
                   : kind == E_WHIP ? E_KICKER : kind == E_BOMBER ? E_THROWER : kind;
        int row = family == E_BRAWLER ? 0 : family == E_KICKER ? 1 : family == E_HEAVY ? 3 : 2;
        return family * 16 + shown[row][light > 4 ? 0 : light];
    };
    for (int street = 4; street <= LAST_STREET; street++) {
        begin_street(street, 1);
        int waves = 0;
        // up to the boss himself, the men of his fight too
        for (int t = 0; t < 40000; t++) {
            if (regs(1)[DIRECTOR_CMD] == CMD_BOSS)
                break;
            amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
            std::vector<int> seen;
            for (int s = actor_next(0), n = 0; s && n < 63; s = actor_next(s), n++)
                if (regs(s)[REG_CLASS] == C_ENEMY && regs(s)[REG_STATE] != S_DEAD) {
                    int l = look(regs(s));
                    EXPECT_EQ(std::count(seen.begin(), seen.end(), l), 0)
                        << "street " << street << " tick " << t << ": two of kind " << l / 16
                        << " in colours " << l % 16 ;
                    seen.push_back(l);
                }
            const int cmd = regs(1)[DIRECTOR_CMD];
            const bool held = (cmd == CMD_FOE || cmd == CMD_EXTRA) && g(GLOBAL_FOES) >= CROWD;
            if (cmd == CMD_WAIT || cmd == CMD_HOLD || held) {
                waves += cmd == CMD_WAIT && !seen.empty();
                beat_all();
            }
            if (g(GLOBAL_LOCK) > 0)
                amc_globals[GLOBAL_SCROLL_MAP] = g(GLOBAL_LOCK);
            step();
        }
        EXPECT_EQ(regs(1)[DIRECTOR_CMD], CMD_BOSS) << "street " << street << " never reached its boss";
        EXPECT_GE(waves, 12) << "street " << street;
    }
}

// A walk's men standing in the way (foes, with the view free to move on):
// no GO! points on over them, however long the hero stands; once they are
// beaten it is shown again to a hero who stands.
TEST_F(Director, GoIsHeldWhileAWalksMenStand)
{
    constexpr int GO_AGAIN = 4 * 72;
    auto go_shown = [] {  // GO! alone alternates
        return count_actors([](int s) {
            return actor_table.slots[s].program == PROGRAM_BANNER && (regs(s)[4] & 2);
        });
    };
    start(0, 2);
    step_until([&] { return g(GLOBAL_LOCK) > g(GLOBAL_SCROLL_MAP); }, 10);
    ASSERT_LT(g(GLOBAL_SCROLL_MAP), g(GLOBAL_LOCK)) << "not on a walk";
    for (int t = 0; t < 2 * GO_AGAIN; t++) {
        amc_globals[GLOBAL_FOES] = 1;
        amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
        step();
        ASSERT_EQ(go_shown(), 0) << "GO! over the men, tick " << t;
    }
    amc_globals[GLOBAL_FOES] = 0;
    int shown = step_until([&] { return go_shown() > 0; }, GO_AGAIN + 30);
    EXPECT_LT(shown, GO_AGAIN + 30) << "GO! never came back";
}

// The modes of one life and of a draining one are the hard ones, the
// draining one the cruellest: past NORMAL a vampire's thirst gains on his
// drink skill by skill, while a survivor's first street is spared the blows
// of his later ones (his food is ASurvivorsFoodFillsTheBarOnlySoFar's).
TEST_F(Director, PastNormalTheModesHardenTheRightWayUp)
{
    constexpr int PUNISH = 17;
    const int skills[] = {5, 7, 12};
    double thirst[3] = {};
    for (int k = 0; k < 3; k++) {
        SCOPED_TRACE(skills[k]);
        int man = face_off(E_BRAWLER, 1, 145, nullptr, VAMPIRE, skills[k]);
        regs(man)[REG_HEALTH] = 100;  // the blow's drink alone, no man beaten
        amc_globals[GLOBAL_ENERGY] = 100;
        int drunk = 0;
        for (int t = 0; t < 12; t++) {
            step_held(man, t == 0 ? CTRL_PUNCH : 0);
            drunk = std::max(drunk, g(GLOBAL_ENERGY) - 100);
        }
        ASSERT_GT(drunk, 0);
        first_fight(VAMPIRE, (int16_t)skills[k]);
        amc_globals[GLOBAL_ENERGY] = 96;
        for (int t = 0; t < 4 * 72; t++)
            fight_step();
        const int lost = 96 - g(GLOBAL_ENERGY);
        ASSERT_GT(lost, 0);
        thirst[k] = double(lost) / drunk;  // blows it takes to hold even
    }
    EXPECT_GT(thirst[1], thirst[0] * 1.3) << "HARDEST thirstier than NORMAL";
    EXPECT_GT(thirst[2], thirst[1] * 1.2) << "MASTER thirstier still";

    auto punish = [](int mode, int street, int skill) {
        begin_street(street, 1, mode, skill);
        return g(PUNISH);
    };
    EXPECT_EQ(punish(SURVIVAL, 1, 5), punish(ARCADE, 1, 5) * 7 / 8) << "an eighth spared up to NORMAL";
    EXPECT_EQ(punish(SURVIVAL, 1, 7), punish(ARCADE, 1, 7)) << "ARCADE's toll from street 1";
    EXPECT_GT(punish(SURVIVAL, 5, 7), punish(SURVIVAL, 1, 7)) << "but a climb to the last";
    EXPECT_GT(punish(SURVIVAL, 5, 7), punish(SURVIVAL, 5, 5));
}

constexpr int PROGRAM_TALLY = 8, GLOBAL_BONUS = 26, SPR_TIME_BONUS = 294;
constexpr int PROGRAM_GETAWAY = 15, TAKEN = 1;  // the first street's van, and her part in it
constexpr int M_FALL = 1, SPR_CRATE = 270;

// A street's bonus is counted up where it can be seen: the keys of the
// fight's last blows, held or mashed, do not count it all at once (its
// figure never showed, and the score jumped); a press once it has been seen
// rising does.
TEST_F(Director, AStreetsBonusIsSeenCountingUp)
{
    constexpr int BONUS = 1300;  // tens: a fight's clock left nearly full
    enum { KEYS_UP, HELD, MASHED, PRESSED_LATE };
    for (int way : {KEYS_UP, HELD, MASHED, PRESSED_LATE}) {
        SCOPED_TRACE(way);
        start(0, 2);
        const int score = g(GLOBAL_SCORE);
        int s = actor_spawn(PROGRAM_TALLY);
        regs(s)[0] = BONUS, regs(s)[1] = SPR_TIME_BONUS, regs(s)[2] = 172;
        int rising = 0, t = 0, full_at = -1;
        for (; t < 600 && g(GLOBAL_BONUS) >= 0; t++) {
            uint16_t c = way == HELD || (way == MASHED && t % 4 < 2) ? CTRL_PUNCH : 0;
            if (way == PRESSED_LATE && t == 100)
                c = CTRL_KICK;
            step(c);
            const int b = g(GLOBAL_BONUS);
            rising += b > 0 && b < BONUS && count_program(PROGRAM_DIGIT) > 0;
            if (b == BONUS && full_at < 0)
                full_at = t;
        }
        EXPECT_LT(g(GLOBAL_BONUS), 0) << "the tally never ended";
        EXPECT_EQ(g(GLOBAL_SCORE) - score, BONUS) << "every point counted, once";
        if (way == PRESSED_LATE) {
            EXPECT_EQ(full_at, 100) << "the press counts the rest at once";
        }
        EXPECT_GE(rising, way == KEYS_UP || way == HELD ? 60 : 30)
            << "the figure never seen rising";
    }
}

// A new game tells the story first, in which the van takes Rosalie: the
// first street after it must not show her standing there to be taken
// again. A player who skipped the story before that, or a street begun on
// its own (training, demos), still sees it there.
TEST_F(Director, TheFirstStreetDoesNotTakeRosalieTwice)
{
    auto taken_shown = [] {
        return count_actors([](int s) {
            const Actor& a = actor_table.slots[s];
            return (a.program == PROGRAM_GETAWAY && a.regs[0] == TAKEN) || a.program == PROGRAM_GIRL;
        });
    };
    enum { TOLD, SKIPPED, NO_STORY };
    for (int story : {TOLD, SKIPPED, NO_STORY}) {
        SCOPED_TRACE(story);
        actor_table_reset();
        WorldStart s = world_new_game(story == NO_STORY ? 1 : FIRST_INTERLUDE, ARCADE, 5, 1);
        world_start_level(s);
        if (story != NO_STORY) {
            for (int t = 0; t < 2000 && !(g(GLOBAL_EXIT_REQUEST) & EXIT); t++)
                step(story == SKIPPED && t == 100 ? CTRL_PUNCH : 0);
            ASSERT_TRUE(g(GLOBAL_EXIT_REQUEST) & EXIT) << "the story never ended";
            ASSERT_TRUE(world_end_level(s, g(GLOBAL_EXIT_REQUEST) & 0xff));
            ASSERT_EQ(s.level, 1);
            world_start_level(s);
        }
        int seen = 0;
        for (int t = 0; t < 300; t++) {
            step();
            seen += taken_shown() > 0;
        }
        EXPECT_EQ(seen > 0, story != TOLD);
        EXPECT_EQ(g(GLOBAL_ITEM), 0) << "nothing left in the hand";
        EXPECT_EQ(g(GLOBAL_ITEM_COUNT), 0);
    }
}

// The first street's falling crate teeters first on the fire escape's
// landing its map draws (y 80 on screen, between x 448 and 575), not in
// the sky over the hero.
TEST_F(Director, TheFallingCrateStartsOnTheFireEscape)
{
    begin_street(1, 1);
    int first_y = -1, first_wx = -1;
    for (int t = 0; t < 20000 && first_y < 0 && g(GLOBAL_BOSS) == 0; t++) {
        remove_enemies();
        amc_globals[GLOBAL_FOES] = 0;
        amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
        if (g(GLOBAL_SCROLL_MAP) < g(GLOBAL_LOCK))
            amc_globals[GLOBAL_SCROLL_MAP] = (int16_t)std::min(g(GLOBAL_SCROLL_MAP) + 1, (int)g(GLOBAL_LOCK));
        step();
        count_actors([&](int s) {
            const int16_t* r = regs(s);
            if (actor_table.slots[s].program == PROGRAM_MOMENT && r[REG_KIND] == M_FALL &&
                (r[REG_FRAME] & 0x7fff) == SPR_CRATE && first_y < 0)
                first_y = r[REG_Y], first_wx = r[REG_WX];
            return false;
        });
    }
    ASSERT_GE(first_y, 0) << "no crate fell on the walks";
    EXPECT_EQ(first_y, 64);  // the fire escape's lowest landing, as street 1 paints it
    EXPECT_GE(first_wx, 448);
    EXPECT_LE(first_wx, 575);
}


// Past NORMAL a survivor's one life is no easier a clear than ARCADE's: his
// men hit as hard, press as quickly and come as many on every street. A
// vampire's men harden by degrees from HARD through MASTER: no single step
// of the skill turns a run he wins into one he cannot.
TEST_F(Director, PastNormalNoModeIsKinderOrSteeperThanItsNeighbours)
{
    constexpr int PUNISH = 17, PACE = 22;
    struct Rules {
        int punish, pace, crowd;
    };
    auto rules = [](int16_t mode, int street, int16_t skill) {
        begin_street(street, 1, mode, skill);
        return Rules{amc_globals[PUNISH], amc_globals[PACE], amc_globals[GLOBAL_MAX_ATTACKERS]};
    };
    for (int16_t skill : {6, 7, 8, 12}) {
        for (int street : {1, 3, 5}) {
            SCOPED_TRACE(testing::Message() << "skill " << skill << ", street " << street);
            const Rules arcade = rules(ARCADE, street, skill), one = rules(SURVIVAL, street, skill);
            EXPECT_GE(one.punish, arcade.punish);
            EXPECT_LE(one.pace, arcade.pace);
            // ... but no more at once: a third man on top of ARCADE's blows
            // turned NORMAL's comfortable run into HARD's wall
            EXPECT_EQ(one.crowd, arcade.crowd);
        }
    }
    // What keeps the survivor's climb even is his bar: food as much as it
    // is worth at NORMAL and a breath between streets that grows with the
    // skill, so that each step past NORMAL costs him no more than the last.
    auto carried_on = [](int16_t skill) {
        actor_table_reset();
        WorldStart s = world_new_game(2, SURVIVAL, skill, 1);
        s.item_count = 1000 + 60;  // left 60 on the street before
        world_start_level(s);
        step();
        return (int)amc_globals[GLOBAL_ENERGY];
    };
    int breath = carried_on(5);
    EXPECT_EQ(breath, 60 + 70) << "NORMAL's breath";
    for (int16_t skill : {6, 7, 8}) {
        SCOPED_TRACE(skill);
        const int now = carried_on(skill);
        EXPECT_GT(now, breath);
        breath = now;
    }
    EXPECT_EQ(carried_on(12), breath) << "no more at MASTER than at its door";
    const int16_t steps[] = {6, 7, 8, 12};
    Rules was = rules(VAMPIRE, 2, 6);
    for (int k = 1; k < 4; k++) {
        SCOPED_TRACE(steps[k]);
        const Rules now = rules(VAMPIRE, 2, steps[k]);
        EXPECT_LE(now.pace, was.pace) << "harder, never softer";
        EXPECT_GE(now.pace * 5, was.pace * 4) << "but a fifth quicker at most";
        EXPECT_LE(now.punish * 8, was.punish * 9);
        was = now;
    }
}

// CONTINUE? counts down a number a second: players read its 0.8 s as a
// rush.
TEST_F(Director, ContinueCountsANumberASecond)
{
    start(100, 0);
    amc_globals[GLOBAL_HERO_DOWN] = 1;
    step();
    ASSERT_EQ(g(GLOBAL_STAGE), ST_CONTINUE);
    std::vector<int> changed;  // ticks at which the number went down
    for (int t = 0, was = g(GLOBAL_BONUS); t < 4 * 72 && g(GLOBAL_STAGE) == ST_CONTINUE; t++) {
        step();
        if (g(GLOBAL_BONUS) != was)
            changed.push_back(t), was = g(GLOBAL_BONUS);
    }
    ASSERT_GE(changed.size(), 3u);
    EXPECT_EQ(changed[1] - changed[0], 72);
    EXPECT_EQ(changed[2] - changed[1], 72);
}

// The first street's sign hint comes as the first man winds up near the
// hero, and that man holds his wind-up until it has been read; below HARD
// only, and only that once.
TEST_F(Director, TheSignsHintComesWithTheFirstWindUpAndHoldsIt)
{
    constexpr int SPR_HINT_GLINT = 353, PICTURE = 9;
    for (int skill : {5, 6}) {
        SCOPED_TRACE(skill);
        begin_street(1, 1, ARCADE, skill);
        int hints = 0;
        count_actors([&](int s) {
            return actor_table.slots[s].program == PROGRAM_HINTS ? (hints = s, true) : false;
        });
        std::vector<int> windups;  // each wind-up's length, in the order they ended
        int len[64] = {}, plate_late = -1;
        for (int t = 0; t < 60 * 72 && windups.size() < 3; t++) {
            amc_globals[GLOBAL_ENERGY] = FULL_ENERGY;
            step(g(GLOBAL_FOES) ? 0 : CTRL_RIGHT);  // he walks in, then only watches
            for (int s = actor_next(0); s != 0; s = actor_next(s)) {
                const int16_t* r = regs(s);
                if (actor_table.slots[s].program != PROGRAM_ENEMY)
                    continue;
                if (r[REG_STATE] == S_WINDUP) {
                    if (++len[s] == 2 && windups.empty() && plate_late < 0 && skill < 6)
                        plate_late = hints && regs(hints)[PICTURE] == SPR_HINT_GLINT ? 0 : 1;
                } else if (len[s]) {
                    windups.push_back(len[s]);
                    len[s] = 0;
                }
            }
        }
        ASSERT_GE(windups.size(), 3u);
        if (skill >= 6) {
            EXPECT_LT(windups[0], 100) << "no hint, no wait";
            continue;
        }
        EXPECT_EQ(plate_late, 0) << "the plate shows as the first wind-up starts";
        EXPECT_GE(windups[0], 108) << "the first man waits while it is read";
        EXPECT_LT(windups[1], 100) << "once only";
        EXPECT_LT(windups[2], 100);
    }
}
