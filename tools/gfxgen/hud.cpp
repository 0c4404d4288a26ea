// HUD pictures, item icons (drawn with the items, things.cpp), menu pictures, fonts and palettes
// (objects 0..25).
#include <cstdio>

#include "gfx/hud.h"
#include "gfx/objects.h"
#include "tools/gfxgen/cast.h"

namespace gg {

namespace {

const int kWhite[7] = {240, 240, 241, 241, 242, 242, 243};
const int kCream[7] = {240, 58, 58, 58, 100, 100, 61};
const int kLabel[7] = {74, 74, 73, 73, 72, 72, 72};
const int kGold[7] = {244, 244, 245, 245, 246, 246, 247};
const int kBlue[7] = {248, 248, 249, 249, 250, 250, 250};
const int kRed[7] = {251, 251, 252, 252, 252, 253, 253};
const int kGrey[7] = {242, 242, 243, 243, 53, 53, 53};
const int kFire[7] = {244, 245, 245, 246, 246, 247, 252};

void add(Out& o, int index, const char* type, const std::string& file, int xh = -1, int yh = -1)
{
    o.main.push_back({index, type, file, xh, yh});
}

void bevel_box(BITMAP* b, int x1, int y1, int x2, int y2, int fill)
{
    rectfill(b, x1, y1, x2, y2, fill);
    hline(b, x1, y1, x2, 69);
    vline(b, x1, y1, y2, 69);
    hline(b, x1, y2, x2, 73);
    vline(b, x2, y1, y2, 73);
}

void bevel_box(BITMAP* b, const HudBox& box, int fill)
{
    bevel_box(b, box.x1, box.y1, box.x2, box.y2, fill);
}

// The panel across the whole width, every value in a recessed box of its
// own, nothing touching the picture's edges (the HUD's layout, gfx/hud.h).
BITMAP* hud_background()
{
    BITMAP* b = create_bitmap_ex(8, 320, HUD_ROWS);
    // Brushed panel: alternate two metal tones so it does not look flat.
    for (int y = 0; y < HUD_ROWS; ++y)
        hline(b, 0, y, 319, y % 4 == 0 ? 71 : 70);
    hline(b, 0, 0, 319, 72);
    hline(b, 0, HUD_ROWS - 1, 319, 69);
    for (const HudLabel& l : HUD_LABELS)
        draw_text(b, l.text, l.x, l.y, kLabel, 69);
    for (const HudBox& box : {HUD_SCORE_BOX, HUD_MODE_BOX, HUD_STARS_BOX, HUD_TOP_BOX,
                              HUD_ENERGY_BOX, HUD_SECOND_BOX, HUD_LIVES_BOX, HUD_ITEM_BOX})
        bevel_box(b, box, 0);
    bevel_box(b, HUD_CLOCK_BOX, 66);
    return b;
}

// The game mode's name for the HUD's mode box, one 8-row label per mode,
// each in its own colour: gold arcade, blue survival, blood-red vampire.
BITMAP* mode_labels()
{
    BITMAP* b = create_bitmap_ex(8, HUD_MODE_W, 24);
    clear_to_color(b, 0);
    const char* names[3] = {"ARCADE", "SURVIVAL", "VAMPIRE"};
    const int* colours[3] = {kGold, kBlue, kRed};
    for (int m = 0; m < 3; ++m)
        draw_text(b, names[m], (HUD_MODE_W - text_width(names[m]) + 1) / 2, 8 * m, colours[m], -1);
    return b;
}

// The lit tip of a vampire's energy bar: pale blood, bright at the top.
BITMAP* drain_column()
{
    BITMAP* b = create_bitmap_ex(8, 1, 7);
    const int c[7] = {240, 251, 251, 252, 252, 253, 253};
    for (int y = 0; y < 7; ++y)
        putpixel(b, 0, y, c[y]);
    return b;
}

BITMAP* bar_column(int c0)
{
    BITMAP* b = create_bitmap_ex(8, 1, 7);
    const int shade[7] = {3, 2, 2, 1, 1, 0, 0};  // bright top edge, darker bottom
    for (int y = 0; y < 7; ++y)
        putpixel(b, 0, y, c0 + shade[y]);
    return b;
}

BITMAP* logo()
{
    BITMAP* b = create_bitmap_ex(8, 200, 56);
    clear_to_color(b, 0);
    const char* t = "NIGHTWARD";
    int w = text_width(t, 3) - 3, x = (200 - w) / 2, y = 10;
    const int body[7] = {240, 240, 241, 242, 242, 243, 243};
    const int none[7] = {1, 1, 1, 1, 1, 1, 1};
    // A dark outline keeps the letters readable over any flame colour.
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx)
            draw_text(b, t, x + dx, y + dy, none, -1, 3);
    draw_text(b, t, x, y, body, 254, 3);
    const char* sub = "STREET JUSTICE";
    int sx = (200 - text_width(sub) + 1) / 2;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            draw_text(b, sub, sx + dx, 38 + dy, none, -1);
    draw_text(b, sub, sx, 38, kGold, -1);
    return b;
}

BITMAP* slider()
{
    BITMAP* b = create_bitmap_ex(8, 56, 8);  // bar x 2..53 when drawn at 140 -> 142..193
    clear_to_color(b, 0);
    rect(b, 0, 0, 55, 7, 72);
    rect(b, 1, 1, 54, 6, 69);
    for (int x = 2; x <= 53; ++x)
        vline(b, x, 2, 5, 176 + (x - 2) * 29 / 51);
    return b;
}

BITMAP* labelled(int w, const char* s)
{
    BITMAP* b = create_bitmap_ex(8, w, 14);
    clear_to_color(b, 0);
    rect(b, 0, 0, w - 1, 13, 243);
    rect(b, 1, 1, w - 2, 12, 254);
    draw_text(b, s, (w - text_width(s) + 1) / 2, 3, kWhite, 254);
    return b;
}

BITMAP* pause_pic()
{
    BITMAP* b = create_bitmap_ex(8, 48, 17);
    clear_to_color(b, 62);
    rect(b, 0, 0, 47, 16, 65);
    rect(b, 1, 1, 46, 15, 63);
    draw_text(b, "PAUSE", 10, 5, kGold, 1);
    return b;
}

}  // namespace

// Pictures kept past this call for other producers (the sprite range holds
// the overlay icons and the pause picture).
BITMAP* overlay_icon(int index)
{
    switch (index) {
    case 308: return art("arrow_up");
    case 309: return art("arrow_down");
    case 310: return art("arrow_left");
    case 311: return art("arrow_right");
    case 312: return labelled(48, "PUNCH");
    case 313: return labelled(40, "KICK");
    default: return pause_pic();
    }
}

void make_hud(Out& o)
{
    struct {
        int index;
        const char* file;
        BITMAP* b;
    } list[] = {
        {0, "000_hud.pcx", hud_background()},
        {1, "001_bar_energy.pcx", bar_column(83)},
        {2, "002_bar_second.pcx", bar_column(87)},
        {3, "003_life.pcx", art("life")},
        {HUD_MODE_LABELS, "004_mode_labels.pcx", mode_labels()},
        {HUD_DRAIN_COLUMN, "005_bar_drain.pcx", drain_column()},
        {6, "006_logo.pcx", logo()},
        {7, "007_slider.pcx", slider()},
        {8, "008_item_bat.pcx", hud_item(3)},
        {9, "009_gauge.pcx", nullptr},
        {10, "010_item_knuckles.pcx", hud_item(4)},
        {11, "011_item_power.pcx", hud_item(5)},
        {12, "012_item_power_lit.pcx", hud_item(6)},
        {13, "013_item_knife.pcx", hud_item(1)},
        {14, "014_item_vest.pcx", hud_item(9)},
        {15, "015_item_pipe.pcx", hud_item(2)},
    };
    for (auto& e : list) {
        if (!e.b) {
            e.b = create_bitmap_ex(8, 6, 2);
            hline(e.b, 0, 0, 5, 93);
            hline(e.b, 0, 1, 5, 91);
        }
        save(o, e.b, e.file);
        add(o, e.index, "BMP", e.file);
    }
}

void make_fonts(Out& o)
{
    struct {
        int index;
        const char* file;
        const int* rows;
        int shadow;
    } list[] = {
        {FONT_SMALL, "016_font_small.pcx", kCream, 254},
        {FONT_HEADING, "017_font_heading.pcx", kGold, 253},
        {FONT_CREDITS, "018_font_credits.pcx", kBlue, 254},
        {FONT_HIGHLIGHT, "019_font_highlight.pcx", kRed, 1},
        {FONT_VERSION, "020_font_version.pcx", kGrey, 254},
        {FONT_ITEM, "021_font_item.pcx", kWhite, 254},
        {FONT_SELECTED, "022_font_selected.pcx", kFire, 253},
    };
    BITMAP* b = create_bitmap_ex(8, 16 * 9 + 1, 6 * 9 + 1);
    for (auto& e : list) {
        font_sheet(b, e.rows, e.shadow);
        save(o, b, e.file);
        add(o, e.index, "FONT", e.file);
    }
    destroy_bitmap(b);
}

void make_palettes(Out& o)
{
    // The palette object is grabbed from a picture's palette.
    BITMAP* b = create_bitmap_ex(8, 16, 16);
    for (int i = 0; i < 256; ++i)
        putpixel(b, i % 16, i / 16, i);
    const char* names[3] = {"023_palette.pcx", "024_palette_spare.pcx", "025_palette_menu.pcx"};
    for (int k = 0; k < 3; ++k) {
        save(o, b, names[k], k == 2 ? menu_pal : game_pal);
        add(o, 23 + k, "PAL", names[k]);
    }
    destroy_bitmap(b);
}

}  // namespace gg
