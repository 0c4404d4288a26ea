#include "gfx/hud.h"

#include <allegro.h>

#include <climits>
#include <cstdarg>
#include <cstdio>

#include "audio/music.h"
#include "engine/actor.h"
#include "engine/amc_vm.h"
#include "game/session.h"
#include "gfx/display.h"
#include "gfx/objects.h"
#include "input/demo.h"
#include "input/input.h"
#include "shell/options.h"

namespace {

enum {
    OBJ_BACKGROUND = 0,
    OBJ_ENERGY_COLUMN = 1,
    OBJ_SECOND_COLUMN = 2,
    OBJ_LIFE = 3,
    OBJ_GAUGE_SEGMENT = 9,
    OBJ_TIMED_BLINK = 12,
};
constexpr int HUD_ROWS = 32;
constexpr int STATS_ROWS = 48;
constexpr int BAR_X = 42;
constexpr int LIVES_X = 288;
constexpr int STARS_X = 280;
constexpr int ITEM_X = 288, ITEM_Y = 16, ITEM_W = 30, ITEM_H = 16;
constexpr int CLOCK_BACK = 66;
constexpr int TICKS_PER_SECOND = 72;
constexpr int CLOCK_MAX = 300;
// Past these, further units would land outside the picture: stop counting
// there so a huge value costs no more than a full bar.
constexpr int BAR_MAX = PICTURE_W - BAR_X;
constexpr int LIVES_MAX = (PICTURE_W - LIVES_X) / 8;
constexpr int STARS_MAX = PICTURE_H / 8;
constexpr int GAUGE_MAX = 15;
constexpr int FORGOTTEN = INT_MIN;

// The item's icon object by item number; -1 where the box is left alone.
constexpr int item_icon[10] = {-1, 13, 15, 8, 10, 11, -1, -1, -1, 14};

struct HudShown {
    int energy, second;
    int score, top;
    int lives, stars;
    int item, count, clock;
};
HudShown shown = {0, 0, -1, 0, 0, 0, 0, 0, 0};

int clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

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
            blit(column, b, 0, 0, BAR_X + length, y, 1, 7);
        length++;
        changed = true;
    }
    if (length > value) {
        rectfill(b, BAR_X + value, y, BAR_X - 1 + length, y + 6, 0);
        length = value;
        changed = true;
    }
    return changed;
}

void draw_gauge(BITMAP* b, const MainObjects& o, int count)
{
    copy(b, o.bitmap(15), ITEM_X, ITEM_Y, ITEM_W, ITEM_H);
    int n = clamp(count, 0, GAUGE_MAX);
    for (int k = 0; k < n; k++)
        copy(b, o.bitmap(OBJ_GAUGE_SEGMENT), 309, 28 - 2 * k, 6, 2);
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
             int score, int top_score, int lives, int stars)
{
    MainObjects o = main_objects();
    FONT* numbers = o.font(FONT_ITEM);
    bool changed = false;

    energy = clamp(energy, 0, BAR_MAX);
    second_bar = clamp(second_bar, 0, BAR_MAX);
    lives = clamp(lives, 0, LIVES_MAX);
    stars = clamp(stars, 0, STARS_MAX);
    int top = score > top_score ? score : top_score;
    int clock = clamp(timer / TICKS_PER_SECOND, 0, CLOCK_MAX);

    if (force) {
        copy(b, o.bitmap(OBJ_BACKGROUND), 0, 0, PICTURE_W, HUD_ROWS);
        shown = {0, 0, -1, -1, 0, 0, FORGOTTEN, FORGOTTEN, FORGOTTEN};
        changed = true;
    }

    changed |= update_bar(b, o.bitmap(OBJ_ENERGY_COLUMN), 11, energy, shown.energy);
    changed |= update_bar(b, o.bitmap(OBJ_SECOND_COLUMN), 23, second_bar, shown.second);

    for (; shown.lives < lives; shown.lives++, changed = true)
        copy(b, o.bitmap(OBJ_LIFE), LIVES_X + 8 * shown.lives, 0, 8, 16);
    if (shown.lives > lives) {
        rectfill(b, LIVES_X + 8 * lives, 0, LIVES_X - 1 + 8 * shown.lives, 16, 0);
        shown.lives = lives;
        changed = true;
    }

    FONT* star_font = o.font(FONT_SELECTED);
    for (; shown.stars < stars; shown.stars++, changed = true)
        if (star_font)
            textout_ex(b, star_font, "*", STARS_X, 8 * shown.stars, -1, -1);
    if (shown.stars > stars) {
        rectfill(b, STARS_X, 8 * stars, STARS_X + 7, 8 * shown.stars - 1, 0);
        shown.stars = stars;
        changed = true;
    }

    if (item != shown.item) {
        if (item == 0)
            rectfill(b, ITEM_X, ITEM_Y, ITEM_X + 30, ITEM_Y + 15, 0);
        else if (item == IT_PIPE)
            draw_gauge(b, o, item_count);
        else if (item >= 0 && item < 10 && item_icon[item] >= 0)
            copy(b, o.bitmap(item_icon[item]), ITEM_X, ITEM_Y, ITEM_W, ITEM_H);
        if (item == IT_POWER)
            print(b, numbers, 304, 24, -1, "%d", item_count / TICKS_PER_SECOND);
        shown.item = item;
        // The timed item remembers seconds, as its own update compares them.
        shown.count = item == IT_POWER ? item_count / TICKS_PER_SECOND : item_count;
        changed = true;
    } else if (item == IT_PIPE && item_count != shown.count) {
        draw_gauge(b, o, item_count);
        shown.count = item_count;
        changed = true;
    } else if (item == IT_POWER && (item_count / TICKS_PER_SECOND != shown.count ||
                                    item_count <= TICKS_PER_SECOND - 1)) {
        rectfill(b, 304, 24, 312, 32, CLOCK_BACK);
        // The last second blinks between the two icons every 2 ticks.
        bool blink = item_count <= TICKS_PER_SECOND && !(item_count & 2);
        copy(b, o.bitmap(blink ? OBJ_TIMED_BLINK : item_icon[IT_POWER]), ITEM_X, ITEM_Y, ITEM_W,
             ITEM_H);
        print(b, numbers, 304, 24, -1, "%d", item_count / TICKS_PER_SECOND);
        shown.count = item_count / TICKS_PER_SECOND;
        changed = true;
    }

    if (clock != shown.clock) {
        rectfill(b, 249, 22, 281, 30, CLOCK_BACK);
        print(b, numbers, 249, 22, -1, "%1d:%2.2d", clock / 60, clock % 60);
        shown.clock = clock;
        changed = true;
    }
    if (score != shown.score) {
        print(b, numbers, 48, 0, 0, "%5d0", score);
        shown.score = score;
        changed = true;
    }
    if (top != shown.top) {
        print(b, numbers, 224, 0, 0, "%5d0", top);
        shown.top = top;
        changed = true;
    }
    return changed ? 1 : 0;
}

void draw_hud_now(int force)
{
    if (!back_buffer)
        return;
    const int16_t* g = amc_globals;
    // Scores are unsigned tens of points; the script variable holds the bits.
    int drawn =
        draw_hud(back_buffer, force, g[GLOBAL_ENERGY], actor_table.slots[SLOT_BAR].regs[REG_HEALTH],
                 g[GLOBAL_ITEM], g[GLOBAL_ITEM_COUNT], g[GLOBAL_TIMER], (uint16_t)g[GLOBAL_SCORE],
                 current_game.top_score, g[GLOBAL_LIVES], g[GLOBAL_STARS]);
    if (drawn || force)
        mark_dirty(0, HUD_ROWS - 1);
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

void draw_statistics(BITMAP* b, uint16_t controls)
{
    StatsLine s{0, 0, 0, launch.fps, (unsigned)music_get_volume()};
    if (active_demo) {
        DemoHeader h = demo_header(active_demo);
        s.played = demo_position.played;
        s.total = h.frames;
        s.skill = (uint16_t)h.skill;
    }
    draw_statistics_values(b, controls, s);
}
