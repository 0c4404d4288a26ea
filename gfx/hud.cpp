#include "gfx/hud.h"

#include <allegro.h>

#include <climits>
#include <cstdarg>
#include <cstdio>

#include "gfx/display.h"
#include "gfx/objects.h"
#include "gfx/state.h"
#include "nwd_contract.h"  // CTRL_ bits of the overlay

namespace {

enum {
    OBJ_BACKGROUND = 0,
    OBJ_ENERGY_COLUMN = 1,
    OBJ_SECOND_COLUMN = 2,
    OBJ_LIFE = 3,
    OBJ_GAUGE_SEGMENT = 9,
    OBJ_TIMED_BLINK = 12,
};
constexpr int STATS_ROWS = 48;
constexpr int ITEM_W = 30, ITEM_H = 16;
constexpr int CLOCK_BACK = 66;
constexpr int TICKS_PER_SECOND = 72;
constexpr int CLOCK_MAX = 300;
// A vampire's energy drains while the clock runs: the bar's last columns
// then pulse, a quarter second lit, a quarter dark.
constexpr int DRAIN_TIP = 4;
constexpr int DRAIN_PULSE_TICKS = 18;
constexpr int CLOCK_STILL_FRAMES = HUD_CLOCK_STILL_FRAMES;
// What fits in the boxes: further units would paint over their neighbours,
// so a huge value costs no more than a full box.
constexpr int LIVES_MAX = (HUD_LIVES_BOX.x2 - HUD_LIVES_X + 1) / 8;
constexpr int STARS_MAX = (HUD_STARS_BOX.x2 - HUD_STARS_X) / 8;
constexpr int GAUGE_X = HUD_ITEM_X + 21, GAUGE_BOTTOM = HUD_ITEM_Y + 12;
constexpr int GAUGE_MAX = (GAUGE_BOTTOM - HUD_ITEM_Y) / 2 + 1;
constexpr int SECONDS_X = HUD_ITEM_X + 16, SECONDS_Y = HUD_ITEM_Y + 8;  // the timed item's count
constexpr int FORGOTTEN = HUD_FORGOTTEN;

// The item's icon object by item number; -1 where the box is left alone.
constexpr int item_icon[10] = {-1, 13, 15, 8, 10, 11, -1, -1, -1, 14};

int clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

void fill_inside(BITMAP* b, const HudBox& box, int colour)
{
    rectfill(b, box.x1 + 1, box.y1 + 1, box.x2 - 1, box.y2 - 1, colour);
}

// Copies at most w x h of a picture: an oversized one stays in its place
// instead of painting over its neighbours or the play area.
void copy(BITMAP* dst, BITMAP* src, int x, int y, int w, int h)
{
    if (src)
        blit(src, dst, 0, 0, x, y, src->w < w ? src->w : w, src->h < h ? src->h : h);
}

// One bar: grows by single columns, shrinks by one fill.
bool update_bar(BITMAP* b, BITMAP* column, int y, int value, int& length)
{
    bool changed = false;
    while (length < value) {
        if (column)
            blit(column, b, 0, 0, HUD_BAR_X + length, y, 1, 7);
        length++;
        changed = true;
    }
    if (length > value) {
        rectfill(b, HUD_BAR_X + value, y, HUD_BAR_X - 1 + length, y + 6, 0);
        length = value;
        changed = true;
    }
    return changed;
}

// The energy bar's last `lit` columns drawn from the drain column, and the
// ones lit before and still in the bar back to the plain column.
bool update_drain(BITMAP* b, const MainObjects& o, int lit)
{
    int from = gfx.hud_shown.energy - lit;
    if (lit == gfx.hud_shown.lit && from == gfx.hud_shown.lit_from)
        return false;
    auto columns = [&](BITMAP* c, int x1, int x2) {
        for (int x = x1; x < x2 && x < gfx.hud_shown.energy; x++)
            if (c)
                blit(c, b, 0, 0, HUD_BAR_X + x, HUD_ENERGY_Y, 1, 7);
    };
    columns(o.bitmap(OBJ_ENERGY_COLUMN), gfx.hud_shown.lit_from,
            gfx.hud_shown.lit_from + gfx.hud_shown.lit);
    columns(o.bitmap(HUD_DRAIN_COLUMN), from, gfx.hud_shown.energy);
    gfx.hud_shown.lit = lit;
    gfx.hud_shown.lit_from = from;
    return true;
}

void draw_gauge(BITMAP* b, const MainObjects& o, int count)
{
    copy(b, o.bitmap(15), HUD_ITEM_X, HUD_ITEM_Y, ITEM_W, ITEM_H);
    int n = clamp(count, 0, GAUGE_MAX);
    for (int k = 0; k < n; k++)
        copy(b, o.bitmap(OBJ_GAUGE_SEGMENT), GAUGE_X, GAUGE_BOTTOM - 2 * k, 6, 2);
}

// The library's own formatted output allocates on every call; format on the
// stack instead so a drawn frame allocates nothing.
void print(BITMAP* b, FONT* f, int x, int y, int bg, const char* fmt, ...)
    __attribute__((format(printf, 6, 7)));
void print(BITMAP* b, FONT* f, int x, int y, int bg, const char* fmt, ...)
{
    if (!f)
        return;
    char text[64];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    textout_ex(b, f, text, x, y, -1, bg);
}

}  // namespace

int draw_hud(BITMAP* b, int force, int energy, int second_bar, int item, int item_count, int timer,
             int score, int top_score, int lives, int stars, int mode)
{
    MainObjects o = main_objects();
    FONT* numbers = o.font(FONT_ITEM);
    bool changed = false;

    energy = clamp(energy, 0, HUD_BAR_MAX);
    second_bar = clamp(second_bar, 0, HUD_BAR_MAX);
    lives = clamp(lives, 0, LIVES_MAX);
    stars = clamp(stars, 0, STARS_MAX);
    int top = score > top_score ? score : top_score;
    int clock = clamp(timer / TICKS_PER_SECOND, 0, CLOCK_MAX);

    if (force) {
        copy(b, o.bitmap(OBJ_BACKGROUND), 0, 0, PICTURE_W, HUD_ROWS);
        gfx.hud_shown = {0,         0,         -1,        -1, 0, 0,     FORGOTTEN,
                         FORGOTTEN, FORGOTTEN, FORGOTTEN, 0,  0, timer, CLOCK_STILL_FRAMES};
        changed = true;
    }

    if (mode != gfx.hud_shown.mode) {
        fill_inside(b, HUD_MODE_BOX, 0);
        BITMAP* labels = o.bitmap(HUD_MODE_LABELS);
        if (labels && mode >= 1 && mode <= 3 && labels->h >= 8 * mode)
            blit(labels, b, 0, 8 * (mode - 1), HUD_MODE_X, HUD_TEXT_Y, HUD_MODE_W, 8);
        gfx.hud_shown.mode = mode;
        changed = true;
    }

    // The clock runs while a fight is on; so does a vampire's thirst.
    gfx.hud_shown.still =
        timer != gfx.hud_shown.timer ? 0 : clamp(gfx.hud_shown.still + 1, 0, CLOCK_STILL_FRAMES);
    gfx.hud_shown.timer = timer;
    bool draining = mode == VAMPIRE && gfx.hud_shown.still < CLOCK_STILL_FRAMES;
    int lit = draining && (timer / DRAIN_PULSE_TICKS) % 2 ? clamp(DRAIN_TIP, 0, energy) : 0;
    changed |= update_drain(b, o, 0);  // plain again before the bar moves
    changed |=
        update_bar(b, o.bitmap(OBJ_ENERGY_COLUMN), HUD_ENERGY_Y, energy, gfx.hud_shown.energy);
    changed |= update_drain(b, o, lit);
    changed |=
        update_bar(b, o.bitmap(OBJ_SECOND_COLUMN), HUD_SECOND_Y, second_bar, gfx.hud_shown.second);

    for (; gfx.hud_shown.lives < lives; gfx.hud_shown.lives++, changed = true)
        copy(b, o.bitmap(OBJ_LIFE), HUD_LIVES_X + 8 * gfx.hud_shown.lives, HUD_LIVES_Y, 8, 16);
    if (gfx.hud_shown.lives > lives) {
        rectfill(b, HUD_LIVES_X + 8 * lives, HUD_LIVES_Y, HUD_LIVES_X - 1 + 8 * gfx.hud_shown.lives,
                 HUD_LIVES_Y + 15, 0);
        gfx.hud_shown.lives = lives;
        changed = true;
    }

    FONT* star_font = o.font(FONT_SELECTED);
    for (; gfx.hud_shown.stars < stars; gfx.hud_shown.stars++, changed = true)
        if (star_font)
            textout_ex(b, star_font, "*", HUD_STARS_X + 8 * gfx.hud_shown.stars, HUD_TEXT_Y, -1,
                       -1);
    if (gfx.hud_shown.stars > stars) {
        rectfill(b, HUD_STARS_X + 1 + 8 * stars, HUD_TEXT_Y,
                 HUD_STARS_X - 1 + 8 * gfx.hud_shown.stars, HUD_TEXT_Y + 7, 0);
        gfx.hud_shown.stars = stars;
        changed = true;
    }

    if (item != gfx.hud_shown.item) {
        if (item == 0)
            fill_inside(b, HUD_ITEM_BOX, 0);
        else if (item == IT_PIPE)
            draw_gauge(b, o, item_count);
        else if (item >= 0 && item < 10 && item_icon[item] >= 0)
            copy(b, o.bitmap(item_icon[item]), HUD_ITEM_X, HUD_ITEM_Y, ITEM_W, ITEM_H);
        if (item == IT_POWER)
            print(b, numbers, SECONDS_X, SECONDS_Y, -1, "%d", item_count / TICKS_PER_SECOND);
        gfx.hud_shown.item = item;
        // The timed item remembers seconds, as its own update compares them.
        gfx.hud_shown.count = item == IT_POWER ? item_count / TICKS_PER_SECOND : item_count;
        changed = true;
    } else if (item == IT_PIPE && item_count != gfx.hud_shown.count) {
        draw_gauge(b, o, item_count);
        gfx.hud_shown.count = item_count;
        changed = true;
    } else if (item == IT_POWER && (item_count / TICKS_PER_SECOND != gfx.hud_shown.count ||
                                    item_count <= TICKS_PER_SECOND - 1)) {
        rectfill(b, SECONDS_X, SECONDS_Y, SECONDS_X + 8, SECONDS_Y + 7, 0);
        // The last second blinks between the two icons every 2 ticks.
        bool blink = item_count <= TICKS_PER_SECOND && !(item_count & 2);
        copy(b, o.bitmap(blink ? OBJ_TIMED_BLINK : item_icon[IT_POWER]), HUD_ITEM_X, HUD_ITEM_Y,
             ITEM_W, ITEM_H);
        print(b, numbers, SECONDS_X, SECONDS_Y, -1, "%d", item_count / TICKS_PER_SECOND);
        gfx.hud_shown.count = item_count / TICKS_PER_SECOND;
        changed = true;
    }

    if (clock != gfx.hud_shown.clock) {
        fill_inside(b, HUD_CLOCK_BOX, CLOCK_BACK);
        print(b, numbers, HUD_CLOCK_X, HUD_TEXT_Y, -1, "%1d:%2.2d", clock / 60, clock % 60);
        gfx.hud_shown.clock = clock;
        changed = true;
    }
    if (score != gfx.hud_shown.score) {
        print(b, numbers, HUD_SCORE_X, HUD_TEXT_Y, 0, "%5d0", score);
        gfx.hud_shown.score = score;
        changed = true;
    }
    if (top != gfx.hud_shown.top) {
        print(b, numbers, HUD_TOP_X, HUD_TEXT_Y, 0, "%5d0", top);
        gfx.hud_shown.top = top;
        changed = true;
    }
    return changed ? 1 : 0;
}

void draw_statistics_values(BITMAP* b, uint16_t controls, const StatsLine& s)
{
    struct Icon {
        uint16_t bit;
        int object, x, y, w, h;
    };
    static constexpr Icon icons[] = {
        {CTRL_UP, 308, 191, 7, 9, 11},    {CTRL_DOWN, 309, 191, 33, 9, 11},
        {CTRL_LEFT, 310, 177, 21, 11, 9}, {CTRL_RIGHT, 311, 203, 21, 11, 9},
        {CTRL_KICK, 313, 72, 18, 40, 14}, {CTRL_PUNCH, 312, 121, 18, 48, 14},
    };
    MainObjects o = main_objects();
    rectfill(b, 0, 0, PICTURE_W, STATS_ROWS - 1, 0);
    for (const Icon& i : icons)
        if (controls & i.bit)
            copy(b, o.bitmap(i.object), i.x, i.y, i.w, i.h);
    FONT* f = o.font(FONT_ITEM);
    unsigned long percent = s.total ? (uint32_t)(s.played * 100u) / s.total : 0;
    print(b, f, 0, 0, -1, "# %6lu/%lu (%3lu%%)", (unsigned long)s.played, (unsigned long)s.total,
          percent);
    print(b, f, 220, 0, -1, "FPS  %3u", s.fps);
    print(b, f, 220, 9, -1, "SKILL%3u", s.skill);
    print(b, f, 220, 18, -1, "MOD  %3u", s.volume);
    mark_dirty(0, STATS_ROWS - 1);
}

int draw_demo_tag(BITMAP* b, int play_top, uint32_t ticks)
{
    FONT* f = main_objects().font(FONT_HIGHLIGHT);
    if (!b || !f || ticks % DEMO_TAG_PERIOD >= (uint32_t)DEMO_TAG_SHOWN)
        return 0;
    static const char tag[] = "DEMO";
    // On a plate of its own: over lit windows and brick the letters alone
    // are lost.
    int x2 = PICTURE_W - 1 - DEMO_TAG_MARGIN, y1 = play_top + DEMO_TAG_MARGIN;
    int x1 = x2 + 1 - text_length(f, tag) - 2 * DEMO_TAG_PAD;
    int y2 = y1 - 1 + text_height(f) + 2 * DEMO_TAG_PAD;
    rectfill(b, x1, y1, x2, y2, 0);
    textout_ex(b, f, tag, x1 + DEMO_TAG_PAD, y1 + DEMO_TAG_PAD, -1, -1);
    mark_dirty(y1, y2);
    return 1;
}
