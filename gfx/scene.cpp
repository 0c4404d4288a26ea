#include "gfx/scene.h"

#include <allegro.h>

#include <cstdlib>
#include <cstring>

#include "engine/actor.h"
#include "engine/amc_vm.h"
#include "gfx/display.h"
#include "gfx/hud.h"
#include "gfx/level.h"
#include "gfx/main_data.h"
#include "gfx/objects.h"
#include "gfx/state.h"
#include "nwd_version.h"

namespace {

constexpr int FIRST_FRAME = 27;
constexpr int LAST_FRAME = 557;
constexpr uint16_t FRAME_MIRRORED = MIRRORED;
constexpr int MAP_COLUMNS = 21;  // 21 columns of 16 cover 320 at any sub-tile offset
constexpr unsigned FOREGROUND_FIRST_CELL = 1456;
constexpr int CREDITS_LINE_HEIGHT = 14;
constexpr uint32_t STORY_SKIP_TICK = 12;  // the director lets a fresh punch or kick skip from here

// clang-format off
constexpr CaptionLine captions_row6[] = {
    {8, "THE SKINHEADS HAVE TAKEN", 24, 64, 16},
    {0, "ROSALIE HOSTAGE", 15, 96, 32},
    {0, "TAKE THE LAW", 12, 112, 184},
    {0, "INTO YOUR OWN HANDS!", 20, 82, 200},
    {CAPTION_END_DELAY, "", 1, 0, 0},
};
constexpr CaptionLine captions_row7[] = {
    {0, "THE VAN IS CARRYING ROSALIE", 27, 48, 16},
    {0, "TO THEIR TURF ...", 17, 96, 32},
    {0, "....THE JUNKYARD ....", 21, 80, 184},
    {CAPTION_END_DELAY, "", 1, 0, 0},
};
constexpr CaptionLine captions_row8[] = {
    {0, "THE VAN IS HEADING", 18, 88, 16},
    {0, "FOR THE BRIDGE", 14, 104, 32},
    {0, "HER TIME IS RUNNING OUT !!!", 27, 56, 184},
    {CAPTION_END_DELAY, "", 1, 0, 0},
};
constexpr CaptionLine captions_row9[] = {
    {0, "YOU STILL HAVE NOT", 18, 88, 16},
    {0, "RESCUED HER ....", 16, 104, 32},
    {0, "THE SKINHEADS ARE", 17, 88, 184},
    {0, "HEADING DOWNTOWN ...", 20, 80, 200},
    {CAPTION_END_DELAY, "", 1, 0, 0},
};
constexpr CaptionLine captions_last[] = {
    {0, "NOW THEY ARE ON YOUR TURF...", 28, 48, 16},
    {0, "THIS IS YOUR LAST CHANCE", 24, 64, 208},
    {0, "TO SAVE ROSALIE!", 16, 96, 224},
    {CAPTION_END_DELAY, "", 1, 0, 0},
};
// clang-format on

const CaptionLine* caption_list(int level)
{
    switch (level) {
    case 6: return captions_row6;
    case 7: return captions_row7;
    case 8: return captions_row8;
    case 9: return captions_row9;
    default: return captions_last;
    }
}

// The row being drawn; hooks only run while a valid row is current.
const LevelDesc* current_row() { return level_desc(gfx.stage.level); }

// Offset into a strip repeating every `period` pixels. A negative scroll
// position wraps like a positive one instead of leaving the band's left
// edge unpainted.
int strip_offset(int v, int period)
{
    int r = v % period;
    return r < 0 ? r + period : r;
}

int16_t reg(int slot, int r) { return actor_table.slots[slot & 63].regs[r]; }

int compare_draw_entries(const void* a, const void* b)
{
    int sa = *(const int16_t*)a, sb = *(const int16_t*)b;
    int d = reg(sb, REG_SORT_KEY) - reg(sa, REG_SORT_KEY);
    return d != 0 ? d : sb - sa;
}

// Mirrored and recoloured: the library cannot do both at once, so the
// mirror image goes through the scratch bitmap. The target's clip is
// narrowed to the sprite so only its own pixels of the scratch are visited.
void draw_mirrored_lit(BITMAP* b, BITMAP* s, int x, int y, int light)
{
    BITMAP* sc = gfx.scratch_bitmap;
    if (!sc || !color_map) {
        draw_sprite_h_flip(b, s, x, y);
        return;
    }
    int w = s->w < sc->w ? s->w : sc->w;
    int h = s->h < sc->h ? s->h : sc->h;
    int cl = b->cl, ct = b->ct, cr = b->cr, cb = b->cb;
    int x1 = x > cl ? x : cl, y1 = y > ct ? y : ct;
    int x2 = x + w < cr ? x + w : cr, y2 = y + h < cb ? y + h : cb;
    if (x1 >= x2 || y1 >= y2)
        return;
    rectfill(sc, 0, 0, w - 1, h - 1, 0);
    draw_sprite_h_flip(sc, s, 0, 0);
    set_clip_rect(b, x1, y1, x2 - 1, y2 - 1);
    draw_lit_sprite(b, sc, x, y, light & 0xFF);
    set_clip_rect(b, cl, ct, cr - 1, cb - 1);
}

void draw_actor(BITMAP* b, BITMAP* s, const int16_t* r, int play_top)
{
    int y = r[REG_Y] - s->y_ofs + play_top;
    int light = r[REG_LIGHT];
    bool lit = light != 0 && color_map;
    if (!((uint16_t)r[REG_FRAME] & FRAME_MIRRORED)) {
        int x = r[REG_X] - s->x_ofs;
        if (lit)
            draw_lit_sprite(b, s, x, y, light & 0xFF);
        else
            draw_sprite(b, s, x, y);
    } else {
        int x = r[REG_X] + s->x_ofs - s->w;
        if (light != 0)
            draw_mirrored_lit(b, s, x, y, light);
        else
            draw_sprite_h_flip(b, s, x, y);
    }
}

// Half the width of the shadow under an actor drawn with picture s, 0 for
// none: for fighters and breakable things their picture's width (a body
// lying down casts a longer one), for other things their `shadow`; smaller
// the higher the actor is off the ground.
int shadow_half_width(const int16_t* r, const BITMAP* s)
{
    int w;
    if (r[REG_CLASS] >= C_HERO && r[REG_CLASS] <= C_PROP) {
        w = s->w + 2;
        w = w < 20 ? 20 : w > 56 ? 56 : w;
    } else if (r[REG_CLASS] == 0 && r[REG_SHADOW] > 0) {
        w = r[REG_SHADOW];
    } else {
        return 0;
    }
    int z = r[REG_Z] > 0 ? r[REG_Z] : 0;
    return w * 32 / (64 + z);
}

// Darkens an ellipse of half-axes (a, b) round (cx, cy), inside b's clip:
// once over the whole, once more over its middle, so its rim is soft.
void darken_ellipse(BITMAP* bmp, int cx, int cy, int a, int b)
{
    for (int pass = 0; pass < 2; pass++) {
        int pa = pass ? a * 2 / 3 : a, pb = pass ? (b * 2 + 2) / 3 : b;
        if (pa < 1 || pb < 1)
            return;
        for (int dy = -pb + 1; dy < pb; dy++) {
            int y = cy + dy;
            if (y < bmp->ct || y >= bmp->cb)
                continue;
            // the widest dx with (dx / pa)^2 + (dy / pb)^2 < 1
            int dx = pa;
            while (dx > 0 &&
                   (long)dx * dx * pb * pb + (long)dy * dy * pa * pa >= (long)pa * pa * pb * pb)
                dx--;
            int x1 = cx - dx > bmp->cl ? cx - dx : bmp->cl;
            int x2 = cx + dx < bmp->cr - 1 ? cx + dx : bmp->cr - 1;
            uint8_t* line = bmp->line[y];
            for (int x = x1; x <= x2; x++)
                line[x] = gfx.shade_table[line[x]];
        }
    }
}

// Every actor's shadow, before any actor is painted: no figure is ever
// darkened by another's shadow, and all stand on theirs.
void draw_shadows(BITMAP* b, const int16_t* list, int n, MainObjects objects, int play_top)
{
    for (int i = 0; i < n; i++) {
        const int16_t* r = actor_table.slots[list[i]].regs;
        const BITMAP* s = objects.bitmap((uint16_t)r[REG_FRAME] & 0x7FFF);
        int half = shadow_half_width(r, s);
        if (half > 0)
            darken_ellipse(b, r[REG_X], r[REG_GY] + play_top + 1, half, half / 3 + 1);
    }
}

// The layer of levels 2 and 3 that passes in front of the actors at 1.5
// times the map's speed.
void draw_foreground(BITMAP* b, int level, int s, int play_top)
{
    int rows, top;
    if (level == 2) {
        rows = 7;
        top = 96;
    } else if (level == 3) {
        rows = 6;
        top = 112;
    } else {
        return;
    }
    int t = (3 * s) / 2;
    unsigned first = (unsigned)(rows * ((3 * s) / 32) + (int)FOREGROUND_FIRST_CELL) & 0xFFFF;
    draw_tile_block(b, first, MAP_COLUMNS, rows, -(t - 16 * (t / 16)), play_top + top);
}

}  // namespace

void scene_use_palette(const RGB* pal)
{
    gfx.shade_table[0] = 0;
    for (int c = 1; c < PAL_SIZE; c++) {
        int r = pal[c].r * 45 / 100, g = pal[c].g * 45 / 100, bl = pal[c].b * 45 / 100;
        int best = c, best_d = 1 << 30;
        for (int k = 0; k < PAL_SIZE; k++) {
            int dr = pal[k].r - r, dg = pal[k].g - g, db = pal[k].b - bl;
            int d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
            if (d < best_d) {
                best_d = d;
                best = k;
            }
        }
        gfx.shade_table[c] = (uint8_t)best;
    }
}

void draw_map_cell(BITMAP* bmp, int x, int y, unsigned cell)
{
    if (cell >= gfx.level_map.length || !gfx.level_map.tiles)
        return;
    unsigned t = map_cell(gfx.level_map, cell);
    if ((int32_t)t <= gfx.level_map.max_tile && gfx.level_map.tiles[t])
        draw_rle_sprite(bmp, gfx.level_map.tiles[t], x, y);
}

void draw_tile_block(BITMAP* bmp, unsigned first_cell, int columns, int rows, int x, int y)
{
    if (rows <= 0 || columns <= 0)
        return;
    int size = gfx.level_map.tile_size;
    uint16_t n = (uint16_t)(columns * rows);
    for (uint16_t i = 0; i < n; i++)
        if (i < gfx.level_map.length)
            draw_map_cell(bmp, x + size * (i / rows), y + size * (i % rows),
                          (first_cell + i) & 0xFFFF);
}

int scene_draw_list(int frame_count, int16_t* out)
{
    MainObjects objects = main_objects();
    int n = 0;
    int s = actor_next(0);
    // A broken list never makes the walk run on: at most 63 actors exist.
    for (int guard = 0; s != 0 && guard < ACTOR_SLOTS - 1; guard++) {
        const int16_t* r = actor_table.slots[s].regs;
        int f = (uint16_t)r[REG_FRAME] & 0x7FFF;
        bool hint = r[REG_SORT_KEY] >= HINT_LAYER && gfx.stage.hide_hints;
        if (f >= FIRST_FRAME && f <= LAST_FRAME && (r[REG_BLINK] == 0 || (frame_count & 1)) &&
            objects.bitmap(f) && !hint)
            out[n++] = (int16_t)s;
        s = actor_next(s);
    }
    qsort(out, n, sizeof *out, compare_draw_entries);
    // Sorted front to back; painting goes back to front.
    for (int i = 0, j = n - 1; i < j; i++, j--) {
        int16_t t = out[i];
        out[i] = out[j];
        out[j] = t;
    }
    return n;
}

void scene_jolt(int ticks)
{
    if (ticks > gfx.stage.jolt)
        gfx.stage.jolt = ticks;
}

void scene_settle()
{
    if (gfx.stage.jolt > 0)
        gfx.stage.jolt--;
}

int jolt_offset(int jolt)
{
    if (jolt <= 0)
        return 0;
    int amplitude = jolt > 10 ? 3 : jolt > 4 ? 2 : 1;
    return (jolt / 2) % 2 ? amplitude : -amplitude;
}

int draw_scene(int frame_count)
{
    const LevelDesc* r = current_row();
    BITMAP* b = gfx.back_buffer;
    if (!r || !b)
        return 0;
    int bottom = r->play_top + r->tile_size * r->map_rows;
    set_clip_rect(b, 0, r->play_top, PICTURE_W - 1, bottom);

    if (r->backdrop_hook)
        r->backdrop_hook();

    int s = amc_globals[GLOBAL_SCROLL_MAP];
    if (r->map_name[0]) {
        int column = s / 16;
        draw_tile_block(b, (unsigned)(r->map_rows * column) & 0xFFFF, MAP_COLUMNS, r->map_rows,
                        -(s - 16 * column), r->play_top);
    }

    int16_t list[ACTOR_SLOTS];
    int n = scene_draw_list(frame_count, list);
    MainObjects objects = main_objects();
    auto paint = [&](int from, int to) {
        for (int i = from; i < to; i++)
            draw_actor(b, objects.bitmap((uint16_t)reg(list[i], REG_FRAME) & 0x7FFF),
                       actor_table.slots[list[i]].regs, r->play_top);
    };
    // The list rises by sort key: the overlay's actors are its tail.
    int overlay = n;
    while (overlay > 0 && reg(list[overlay - 1], REG_SORT_KEY) >= OVER_FOREGROUND)
        overlay--;
    draw_shadows(b, list, overlay, objects, r->play_top);
    paint(0, overlay);
    draw_foreground(b, gfx.stage.level, s, r->play_top);
    paint(overlay, n);
    // Shaken, the whole play area moves; the rows it leaves keep what they
    // showed, the sky or the kerb, which the eye does not catch in a jolt.
    if (int dy = jolt_offset(gfx.stage.jolt)) {
        int h = bottom - r->play_top + 1 - (dy < 0 ? -dy : dy);
        blit(b, b, 0, dy > 0 ? r->play_top : r->play_top - dy, 0,
             dy > 0 ? r->play_top + dy : r->play_top, PICTURE_W, h);
    }

    mark_dirty(r->play_top, bottom);
    set_clip_rect(b, 0, 0, PICTURE_W - 1, PICTURE_H - 1);
    return 1;
}

void draw_parallax_band()
{
    const LevelDesc* r = current_row();
    if (!r || !gfx.band_strip || !gfx.back_buffer || r->band_divisor == 0 || r->band_wrap <= 0)
        return;
    int sx = strip_offset((amc_globals[GLOBAL_SCROLL_MAP] * r->band_multiplier) / r->band_divisor,
                          r->band_wrap);
    blit(gfx.band_strip, gfx.back_buffer, sx, 0, 0, r->play_top, PICTURE_W, r->band_height);
}

void draw_van_band()
{
    const LevelDesc* r = current_row();
    if (!r || !gfx.band_strip || !gfx.back_buffer || r->band_wrap <= 0)
        return;
    int sx = strip_offset(amc_globals[GLOBAL_SCROLL_X], r->band_wrap);
    blit(gfx.band_strip, gfx.back_buffer, sx, 0, 0, r->play_top, PICTURE_W, r->band_height);
}

void draw_credits()
{
    BITMAP* b = gfx.back_buffer;
    if (!b)
        return;
    int t = amc_globals[GLOBAL_TIMER];
    if (gfx.band_strip) {
        blit(gfx.band_strip, b, strip_offset(t / 8, 128), 0, 0, 0, PICTURE_W, 140);
        blit(gfx.band_strip, b, strip_offset(2 * t, 128), 140, 0, 140, PICTURE_W, 47);
        blit(gfx.band_strip, b, strip_offset(3 * t, 128), 187, 0, 187, PICTURE_W, 53);
    }
    FONT* f = main_objects().font(FONT_CREDITS);
    if (f) {
        set_clip_rect(b, 0, 33, PICTURE_W - 1, 140);
        unsigned k = (unsigned)(t / 56);
        for (int y = -((t / 4) % CREDITS_LINE_HEIGHT); y <= 139 && k < CREDITS_LINES;
             y += CREDITS_LINE_HEIGHT, k++)
            textout_centre_ex(b, f, credits_text[k], 160, y, -1, -1);
    }
    set_clip_rect(b, 0, 0, PICTURE_W - 1, 187);
}

int caption_due(int level, uint32_t level_ticks, const CaptionLine** line, int* index)
{
    if (level_ticks % 5 != 0)
        return 0;
    long n = level_ticks / 5;
    const CaptionLine* c = caption_list(level);
    // The end record stops the walk however long the stage lasts.
    while (c->delay != CAPTION_END_DELAY && c->delay + c->length <= n) {
        n -= c->delay + c->length;
        c++;
    }
    long i = n - c->delay;
    if (i < 0 || i >= c->length || !c->text[i])
        return 0;
    *line = c;
    *index = (int)i;
    return 1;
}

void type_captions()
{
    const CaptionLine* c;
    int i;
    uint32_t tick = gfx.stage.ticks++;
    FONT* f = main_objects().font(FONT_SMALL);
    // Once the story may be skipped, the bottom row says how (no caption
    // uses it): players sat through it not knowing.
    if (gfx.back_buffer && f && tick == STORY_SKIP_TICK) {
        textout_right_ex(gfx.back_buffer, f, "PUNCH: SKIP", PICTURE_W - 8, 232, -1, -1);
        mark_dirty(232, 239);
    }
    if (!gfx.back_buffer || !caption_due(gfx.stage.level, tick, &c, &i))
        return;
    if (!f)
        return;
    const char letter[2] = {c->text[i], 0};
    textout_ex(gfx.back_buffer, f, letter, c->x + 8 * i, c->y, -1, -1);
    mark_dirty(c->y, c->y + 7);
}

// clang-format off
constexpr const char* credits_text[CREDITS_LINES] = {
    "", "", "", "", "", "", "", "", "", "", "",
    "NIGHTWARD",
    "A STREET FIGHTING GAME",
    ("VERSION " NWD_VERSION),
    "", "", "", "", "",
    "THE STREETS",
    "THE NEIGHBOURHOOD",
    "THE JUNKYARD",
    "THE BRIDGE",
    "DOWNTOWN",
    "GANG TURF",
    "", "", "", "", "",
    "THE GANG",
    "BRAWLERS  BOXERS",
    "KICKERS",
    "KNIFE MEN",
    "KNIFE THROWERS",
    "HEAVIES  BRUTES",
    "", "",
    "THE BOSSES",
    "BUTCH  RUST",
    "VIPER  DOZER",
    "KING",
    "", "",
    "WHO RUNS WHERE",
    "BUTCH",
    "THE NEIGHBOURHOOD",
    "RUST",
    "THE JUNKYARD",
    "VIPER",
    "THE BRIDGE",
    "DOZER",
    "DOWNTOWN",
    "KING",
    "GANG TURF",
    "", "",
    "AND HOW THEY FIGHT",
    "BUTCH'S BELLY BUMP",
    "RUST'S CHAIN AND LOW SWEEP",
    "VIPER'S DIVE KICK",
    "DOZER'S SHOCKWAVE",
    "KING'S PIPE AND SKEWER",
    "", "", "", "", "",
    "STARRING",
    "THE NIGHTWARD",
    "AND ROSALIE",
    "", "", "", "", "",
    "THE MUSIC, TECHNO AND CALM",
    "NIGHTWARD",
    "NEIGHBOURHOOD   JUNKYARD",
    "THE BRIDGE   DOWNTOWN",
    "HOME TURF   BOSS",
    "FREE   HALL OF FAME",
    "", "", "", "", "",
    "MADE BY",
    "THE NIGHTWARD TEAM",
    "WITH TOOLS OF ITS OWN",
    "", "", "", "", "",
    "NO CITIZENS WERE HARMED",
    "THE SKINHEADS WERE",
    "ANOTHER MATTER",
    "", "", "", "", "",
    "THE NIGHT IS OVER",
    "THE CITY SLEEPS",
    "", "", "", "", "",
    "THANKS FOR PLAYING",
    "THE NIGHTWARD RULES THE CITY",
    "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
};
// clang-format on
static_assert(credits_text[CREDITS_LINES - 1] != nullptr, "the credits need all 130 lines");
