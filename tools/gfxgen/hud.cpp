// HUD pictures, item icons, menu pictures, fonts and palettes (objects 0..25).
#include <cstdio>

#include "tools/gfxgen/gfxgen.h"

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

void add(Out& o, int index, const char* type, const std::string& file, int xh = -1,
         int yh = -1) {
  o.main.push_back({index, type, file, xh, yh});
}

void bevel_box(BITMAP* b, int x1, int y1, int x2, int y2, int fill) {
  rectfill(b, x1, y1, x2, y2, fill);
  hline(b, x1, y1, x2, 69);
  vline(b, x1, y1, y2, 69);
  hline(b, x1, y2, x2, 73);
  vline(b, x2, y1, y2, 73);
}

BITMAP* hud_background() {
  BITMAP* b = create_bitmap_ex(8, 320, 32);
  // Brushed panel: alternate two metal tones so it does not look flat.
  for (int y = 0; y < 32; ++y) hline(b, 0, y, 279, y % 4 == 0 ? 71 : 70);
  hline(b, 0, 0, 279, 72);
  hline(b, 0, 31, 279, 69);
  rectfill(b, 280, 0, 319, 31, 0);  // stars, lives and item box
  draw_text(b, "SCORE", 4, 0, kLabel, 69);
  bevel_box(b, 46, 0, 97, 8, 0);
  draw_text(b, "HI", 208, 0, kLabel, 69);
  bevel_box(b, 222, 0, 273, 8, 0);
  draw_text(b, "LIFE", 4, 11, kLabel, 69);
  bevel_box(b, 40, 9, 243, 19, 0);
  draw_text(b, "ENEMY", 4, 23, kLabel, 69);
  bevel_box(b, 40, 21, 243, 31, 0);
  draw_text(b, "TIME", 251, 12, kLabel, 69);
  bevel_box(b, 247, 20, 279, 31, 66);
  return b;
}

BITMAP* bar_column(int c0) {
  BITMAP* b = create_bitmap_ex(8, 1, 7);
  const int shade[7] = {3, 2, 2, 1, 1, 0, 0};  // bright top edge, darker bottom
  for (int y = 0; y < 7; ++y) putpixel(b, 0, y, c0 + shade[y]);
  return b;
}

BITMAP* icon() {
  BITMAP* b = create_bitmap_ex(8, 30, 16);
  clear_to_color(b, 0);
  return b;
}

BITMAP* knife() {
  BITMAP* b = icon();
  for (int i = 0; i < 16; ++i) {  // blade, tapering to the point
    int h = 4 - i / 5;
    vline(b, 13 + i, 6, 6 + h, i % 3 ? 105 : 106);
    putpixel(b, 13 + i, 6, 106);
  }
  rectfill(b, 11, 4, 12, 11, 104);  // guard
  rectfill(b, 2, 6, 10, 9, 108);    // handle
  hline(b, 2, 6, 10, 109);
  hline(b, 2, 9, 10, 107);
  for (int x = 3; x < 10; x += 3) vline(b, x, 6, 9, 107);
  return b;
}

BITMAP* spray() {
  BITMAP* b = icon();  // x 21..26 stays free for the gauge
  rectfill(b, 6, 4, 15, 15, 217);
  vline(b, 6, 4, 15, 216);
  vline(b, 7, 4, 15, 218);
  rectfill(b, 6, 8, 15, 11, 106);
  rectfill(b, 8, 1, 13, 3, 105);
  rectfill(b, 10, 0, 11, 0, 104);
  putpixel(b, 4, 1, 113);
  putpixel(b, 2, 0, 113);
  putpixel(b, 3, 3, 113);
  return b;
}

BITMAP* bat() {
  BITMAP* b = icon();
  for (int x = 2; x < 28; ++x) {
    int y = 13 - x * 10 / 28;
    int r = x < 10 ? 1 : x < 18 ? 2 : 3;  // thin grip, thick barrel
    circlefill(b, x, y, r - 1 > 0 ? r - 1 : 0, 108);
    putpixel(b, x, y - r + 1, 109);
  }
  rectfill(b, 1, 12, 3, 14, 107);
  return b;
}

BITMAP* knuckles() {
  BITMAP* b = icon();
  rectfill(b, 5, 10, 24, 13, 104);
  hline(b, 5, 10, 24, 106);
  for (int k = 0; k < 4; ++k) {
    circle(b, 8 + k * 5, 6, 3, 105);
    circle(b, 8 + k * 5, 6, 2, 106);
  }
  return b;
}

BITMAP* bomb(bool lit) {
  BITMAP* b = icon();  // the count is printed at x 16..24, y 8..15
  circlefill(b, 7, 9, 6, 1);
  circlefill(b, 7, 9, 5, 2);
  circlefill(b, 5, 7, 1, 11);
  rectfill(b, 6, 1, 9, 3, 104);
  line(b, 9, 1, 13, 0, lit ? 113 : 108);
  if (lit) {
    circlefill(b, 14, 1, 1, 112);
    putpixel(b, 16, 0, 114);
    putpixel(b, 16, 3, 114);
    putpixel(b, 12, 3, 114);
  }
  return b;
}

BITMAP* medkit() {
  BITMAP* b = icon();
  rectfill(b, 6, 3, 23, 15, 54);
  rect(b, 6, 3, 23, 15, 45);
  rectfill(b, 11, 1, 18, 2, 45);
  rectfill(b, 13, 5, 16, 13, 217);
  rectfill(b, 10, 8, 19, 10, 217);
  return b;
}

BITMAP* small(int c) {
  BITMAP* b = create_bitmap_ex(8, 8, 8);
  clear_to_color(b, 0);
  rect(b, 0, 0, 7, 7, c);
  return b;
}

BITMAP* logo() {
  BITMAP* b = create_bitmap_ex(8, 200, 56);
  clear_to_color(b, 0);
  const char* t = "NIGHTWARD";
  int w = text_width(t, 3) - 3, x = (200 - w) / 2, y = 10;
  const int body[7] = {240, 240, 241, 242, 242, 243, 243};
  const int none[7] = {1, 1, 1, 1, 1, 1, 1};
  // A dark outline keeps the letters readable over any flame colour.
  for (int dy = -2; dy <= 2; ++dy)
    for (int dx = -2; dx <= 2; ++dx) draw_text(b, t, x + dx, y + dy, none, -1, 3);
  draw_text(b, t, x, y, body, 254, 3);
  const char* sub = "STREET JUSTICE";
  int sx = (200 - text_width(sub) + 1) / 2;
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx) draw_text(b, sub, sx + dx, 38 + dy, none, -1);
  draw_text(b, sub, sx, 38, kGold, -1);
  return b;
}

BITMAP* slider() {
  BITMAP* b = create_bitmap_ex(8, 56, 8);  // bar x 2..53 when drawn at 140 -> 142..193
  clear_to_color(b, 0);
  rect(b, 0, 0, 55, 7, 72);
  rect(b, 1, 1, 54, 6, 69);
  for (int x = 2; x <= 53; ++x) vline(b, x, 2, 5, 176 + (x - 2) * 29 / 51);
  return b;
}

BITMAP* labelled(int w, const char* s) {
  BITMAP* b = create_bitmap_ex(8, w, 14);
  clear_to_color(b, 0);
  rect(b, 0, 0, w - 1, 13, 243);
  rect(b, 1, 1, w - 2, 12, 254);
  draw_text(b, s, (w - text_width(s) + 1) / 2, 3, kWhite, 254);
  return b;
}

BITMAP* pause_pic() {
  BITMAP* b = create_bitmap_ex(8, 48, 17);
  clear_to_color(b, 62);
  rect(b, 0, 0, 47, 16, 65);
  rect(b, 1, 1, 46, 15, 63);
  draw_text(b, "PAUSE", 10, 5, kGold, 1);
  return b;
}

}  // namespace

BITMAP* item_icon(int k) {
  switch (k) {
    case 0: return knife();
    case 1: return spray();
    case 2: return bat();
    case 3: return knuckles();
    case 4: return bomb(false);
    case 5: return bomb(true);
    default: return medkit();
  }
}

// Pictures kept past this call for other producers (the sprite range holds
// the overlay icons and the pause picture).
BITMAP* overlay_icon(int index) {
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

void make_hud(Out& o) {
  struct {
    int index;
    const char* file;
    BITMAP* b;
  } list[] = {
      {0, "000_hud.pcx", hud_background()},
      {1, "001_bar_energy.pcx", bar_column(83)},
      {2, "002_bar_second.pcx", bar_column(87)},
      {3, "003_life.pcx", art("life")},
      {4, "004_spare.pcx", small(53)},
      {5, "005_spare.pcx", small(53)},
      {6, "006_logo.pcx", logo()},
      {7, "007_slider.pcx", slider()},
      {8, "008_item_bat.pcx", bat()},
      {9, "009_gauge.pcx", nullptr},
      {10, "010_item_knuckles.pcx", knuckles()},
      {11, "011_item_bomb.pcx", bomb(false)},
      {12, "012_item_bomb_lit.pcx", bomb(true)},
      {13, "013_item_knife.pcx", knife()},
      {14, "014_item_medkit.pcx", medkit()},
      {15, "015_item_spray.pcx", spray()},
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

void make_fonts(Out& o) {
  struct {
    int index;
    const char* file;
    const int* rows;
    int shadow;
  } list[] = {
      {16, "016_font_small.pcx", kCream, 254},   {17, "017_font_heading.pcx", kGold, 253},
      {18, "018_font_credits.pcx", kBlue, 254},  {19, "019_font_highlight.pcx", kRed, 1},
      {20, "020_font_version.pcx", kGrey, 254},  {21, "021_font_item.pcx", kWhite, 254},
      {22, "022_font_selected.pcx", kFire, 253},
  };
  BITMAP* b = create_bitmap_ex(8, 16 * 9 + 1, 6 * 9 + 1);
  for (auto& e : list) {
    font_sheet(b, e.rows, e.shadow);
    save(o, b, e.file);
    add(o, e.index, "FONT", e.file);
  }
  destroy_bitmap(b);
}

void make_palettes(Out& o) {
  // The palette object is grabbed from a picture's palette.
  BITMAP* b = create_bitmap_ex(8, 16, 16);
  for (int i = 0; i < 256; ++i) putpixel(b, i % 16, i / 16, i);
  const char* names[3] = {"023_palette.pcx", "024_palette_spare.pcx", "025_palette_menu.pcx"};
  for (int k = 0; k < 3; ++k) {
    save(o, b, names[k], k == 2 ? menu_pal : game_pal);
    add(o, 23 + k, "PAL", names[k]);
  }
  destroy_bitmap(b);
}

}  // namespace gg
