// Sprites: people drawn from pose angles, the van, item and effect sprites,
// and the pictures that live in the sprite range (overlay icons, ending, pause).
#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/diag.h"
#include "tools/gfxgen/gfxgen.h"

namespace gg {

BITMAP* overlay_icon(int index);
BITMAP* item_icon(int index);

namespace {

struct Pose {
  std::string set, name;
  float tilt, dx, lean, nS, nE, fS, fE, nH, nK, fH, fK;
};
std::vector<Pose> poses;

// Colours of one character: dark, mid, light of each part.
struct Look {
  int skin[3], hair[3], top[3], shirt[3], legs[3], boots[2], hands[2], band[2];
  bool long_hair, skirt;
  float scale;
};

const int kOutline = 127;  // never recoloured, so every scheme keeps its outline

const Look hero = {{28, 29, 30}, {31, 32, 33}, {21, 22, 23}, {17, 16, 15},
                   {18, 19, 20}, {26, 27},     {29, 30},     {24, 25},
                   false,        false,        1.0f};
const Look thug = {{116, 117, 118}, {123, 124, 125}, {78, 75, 76}, {46, 47, 48},
                   {38, 41, 41},    {10, 10},        {13, 14},     {50, 51},
                   false,           false,           1.04f};
const Look girl = {{28, 29, 30}, {101, 102, 103}, {98, 97, 96}, {97, 96, 96},
                   {98, 97, 96}, {217, 218},      {29, 30},     {0, 0},
                   true,         true,            0.92f};

struct V {
  float x, y;
};
V dir(float deg) {
  float r = deg * 3.14159265f / 180.0f;
  return {std::sin(r), std::cos(r)};
}
V at(V p, float deg, float len) {
  V d = dir(deg);
  return {p.x + d.x * len, p.y + d.y * len};
}

void capsule(BITMAP* b, V a, V c, float r, int col) {
  float dx = c.x - a.x, dy = c.y - a.y;
  int n = (int)(std::sqrt(dx * dx + dy * dy) * 2) + 1;
  for (int i = 0; i <= n; ++i) {
    float t = (float)i / n;
    int x = (int)std::lround(a.x + dx * t), y = (int)std::lround(a.y + dy * t);
    if (r < 1.0f)
      putpixel(b, x, y, col);
    else
      circlefill(b, x, y, (int)r, col);
  }
}

// A limb: thick segment in the part colour with a lighter line along its top.
void limb(BITMAP* b, V a, V c, float r, int col, int light) {
  capsule(b, a, c, r, col);
  if (light >= 0 && r >= 1.5f) capsule(b, {a.x - 0.6f, a.y - 0.8f}, {c.x - 0.6f, c.y - 0.8f}, 0, light);
}

void quad(BITMAP* b, V a, V c, float wa, float wc, float deg, int col) {
  V n = dir(deg + 90);
  int pts[8] = {(int)std::lround(a.x + n.x * wa), (int)std::lround(a.y + n.y * wa),
                (int)std::lround(a.x - n.x * wa), (int)std::lround(a.y - n.y * wa),
                (int)std::lround(c.x - n.x * wc), (int)std::lround(c.y - n.y * wc),
                (int)std::lround(c.x + n.x * wc), (int)std::lround(c.y + n.y * wc)};
  polygon(b, 4, pts, col);
}

struct Drawn {
  BITMAP* b;
  int hx, hy;
};

// Outline every shape, then crop to the painted area; the hot spot is the hip
// column at the lowest painted row (the feet).
Drawn finish(BITMAP* canvas, int hipx) {
  BITMAP* o = create_bitmap_ex(8, canvas->w, canvas->h);
  blit(canvas, o, 0, 0, 0, 0, canvas->w, canvas->h);
  for (int y = 1; y < canvas->h - 1; ++y)
    for (int x = 1; x < canvas->w - 1; ++x)
      if (!getpixel(canvas, x, y) &&
          (getpixel(canvas, x - 1, y) || getpixel(canvas, x + 1, y) ||
           getpixel(canvas, x, y - 1) || getpixel(canvas, x, y + 1)))
        putpixel(o, x, y, kOutline);
  int x0 = o->w, y0 = o->h, x1 = -1, y1 = -1;
  for (int y = 0; y < o->h; ++y)
    for (int x = 0; x < o->w; ++x)
      if (getpixel(o, x, y)) {
        if (x < x0) x0 = x;
        if (x > x1) x1 = x;
        if (y < y0) y0 = y;
        if (y > y1) y1 = y;
      }
  if (x1 < 0) x0 = y0 = x1 = y1 = 0;
  BITMAP* b = create_bitmap_ex(8, x1 - x0 + 1, y1 - y0 + 1);
  blit(o, b, x0, y0, 0, 0, b->w, b->h);
  destroy_bitmap(o);
  return {b, hipx - x0, b->h - 1};
}

void draw_figure(BITMAP* c, const Look& L, const Pose& p, V hip) {
  float s = L.scale;
  float torso = 16 * s, upper = 10 * s, fore = 9 * s, thigh = 12 * s, shin = 12 * s;
  hip.x += p.dx;
  float tl = p.tilt;
  V shoulder = at(hip, 180 - p.lean - tl, torso);
  V neck = at(shoulder, 180 - p.lean - tl, 2.5f * s);
  V head = at(neck, 180 - p.lean - tl, 4.0f * s);

  auto leg = [&](float h, float k, bool near) {
    const int* col = L.legs;
    V knee = at(hip, h + tl, thigh), ankle = at(knee, h + k + tl, shin);
    V toe = at(ankle, h + k + tl + 90, 5 * s);
    int main = near ? col[1] : col[0];
    if (L.skirt) {
      // bare legs under the skirt
      limb(c, knee, ankle, 1.5f * s, near ? L.skin[1] : L.skin[0], -1);
      limb(c, hip, knee, 2.0f * s, near ? L.skin[1] : L.skin[0], -1);
    } else {
      limb(c, hip, knee, 2.6f * s, main, near ? col[2] : -1);
      limb(c, knee, ankle, 2.2f * s, main, near ? col[2] : -1);
    }
    capsule(c, ankle, toe, 1.6f * s, near ? L.boots[1] : L.boots[0]);
  };
  auto arm = [&](float sa, float e, bool near) {
    V elbow = at(shoulder, sa + tl, upper), hand = at(elbow, sa + e + tl, fore);
    int main = near ? L.top[1] : L.top[0];
    limb(c, shoulder, elbow, 2.1f * s, main, near ? L.top[2] : -1);
    limb(c, elbow, hand, 1.8f * s, L.skirt ? (near ? L.skin[1] : L.skin[0]) : main,
         near ? L.top[2] : -1);
    circlefill(c, (int)std::lround(hand.x), (int)std::lround(hand.y), (int)(2.2f * s),
               near ? L.hands[1] : L.hands[0]);
  };

  if (L.long_hair) {  // hair falls behind the shoulders
    V tip = at(head, 180 - tl + 180, 9 * s);
    capsule(c, {head.x - 2, head.y}, {tip.x - 2, tip.y}, 3.2f * s, L.hair[0]);
  }
  arm(p.fS, p.fE, false);
  leg(p.fH, p.fK, false);
  // Torso: jacket, with the shirt showing down the front.
  quad(c, hip, shoulder, 4.2f * s, 5.5f * s, 180 - p.lean - tl, L.top[1]);
  V front_h = at(hip, 90 - tl, 2.0f * s), front_s = at(shoulder, 90 - p.lean - tl, 2.5f * s);
  capsule(c, front_h, front_s, 1.2f * s, L.shirt[1]);
  if (L.skirt) {
    V k1 = at(hip, p.nH + tl, 8 * s), k2 = at(hip, p.fH + tl, 8 * s);
    int pts[6] = {(int)std::lround(hip.x - 4 * s), (int)std::lround(hip.y - 2),
                  (int)std::lround(std::min(k1.x, k2.x) - 3 * s), (int)std::lround(std::max(k1.y, k2.y)),
                  (int)std::lround(std::max(k1.x, k2.x) + 3 * s), (int)std::lround(std::max(k1.y, k2.y))};
    polygon(c, 3, pts, L.legs[2]);
  } else {
    capsule(c, at(hip, 270 - tl, 3.5f * s), at(hip, 90 - tl, 3.5f * s), 0.8f, 40);
  }
  leg(p.nH, p.nK, true);
  // Head: hair over the crown and the back, the face turned forward with an
  // eye, a brow line of hair and a nose pixel so the facing reads at 1:1.
  int hr = (int)(4.4f * s + 0.5f);
  auto px = [&](V v, int col) { putpixel(c, (int)std::lround(v.x), (int)std::lround(v.y), col); };
  auto disc = [&](V v, float r, int col) {
    circlefill(c, (int)std::lround(v.x), (int)std::lround(v.y), (int)(r + 0.5f), col);
  };
  disc(head, (float)hr, L.skin[1]);
  disc(at(head, 200 - tl, 1.6f * s), 3.6f * s, L.hair[1]);
  disc(at(head, 80 - tl, 1.4f * s), 2.6f * s, L.skin[1]);
  px(at(head, 160 - tl, 3.6f * s), L.hair[2]);
  px(at(head, 102 - tl, 2.4f * s), kOutline);                      // eye
  px(at(head, 92 - tl, 4.6f * s), L.skin[1]);                       // nose
  px(at(head, 60 - tl, 3.0f * s), L.skin[0]);                       // jaw shadow
  px(at(head, 75 - tl, 2.8f * s), L.skin[2]);                       // cheek
  if (L.band[0]) {
    V b1 = at(head, 235 - tl, 4.0f * s), b2 = at(head, 128 - tl, 4.2f * s);  // above the eye
    capsule(c, b1, b2, 0.6f, L.band[1]);
    px(at(b1, 270 - tl + 30, 1.5f), L.band[0]);                     // knot tail
  }
  arm(p.nS, p.nE, true);
}

Drawn figure(const Look& L, const Pose& p) {
  BITMAP* c = create_bitmap_ex(8, 128, 128);
  clear_to_color(c, 0);
  draw_figure(c, L, p, {64, 72});
  Drawn d = finish(c, 64);
  destroy_bitmap(c);
  return d;
}

const Pose* find(const char* set, const char* name) {
  for (auto& p : poses)
    if (p.set == set && p.name == name) return &p;
  return nullptr;
}

Drawn van(int frame) {
  BITMAP* c = create_bitmap_ex(8, 128, 64);
  clear_to_color(c, 0);
  int x0 = 10, y0 = 8, w = 100;
  rectfill(c, x0, y0 + 6, x0 + w, y0 + 40, 213);                // box body
  rectfill(c, x0 + 70, y0 + 14, x0 + w + 10, y0 + 40, 213);     // cab
  rectfill(c, x0 + 2, y0 + 4, x0 + 68, y0 + 8, 215);            // roof
  hline(c, x0, y0 + 41, x0 + w + 10, 211);
  rectfill(c, x0, y0 + 26, x0 + w + 10, y0 + 30, 217);          // stripe
  hline(c, x0, y0 + 26, x0 + w + 10, 218);
  rectfill(c, x0 + 76, y0 + 16, x0 + w + 6, y0 + 24, 221);      // windscreen
  line(c, x0 + 78, y0 + 16, x0 + 84, y0 + 24, 223);
  rectfill(c, x0 + w + 8, y0 + 32, x0 + w + 10, y0 + 35, 219);  // headlight
  rectfill(c, x0 - 1, y0 + 32, x0, y0 + 35, 218);               // tail light
  if (frame == 2) {  // rear doors open
    rectfill(c, x0 + 2, y0 + 10, x0 + 20, y0 + 38, 1);
    rectfill(c, x0 - 8, y0 + 8, x0 - 1, y0 + 38, 212);
  } else {
    vline(c, x0 + 20, y0 + 8, y0 + 40, 211);
    vline(c, x0 + 50, y0 + 8, y0 + 40, 211);
  }
  for (int k = 0; k < 2; ++k) {
    int wx = x0 + (k ? 88 : 22), wy = y0 + 42;
    circlefill(c, wx, wy, 8, 1);
    circlefill(c, wx, wy, 4, 104);
    for (int sp = 0; sp < 3; ++sp) {  // spokes turn between frames
      float a = (sp * 60 + frame * 30) * 3.14159265f / 180;
      line(c, wx - (int)(4 * std::cos(a)), wy - (int)(4 * std::sin(a)),
           wx + (int)(4 * std::cos(a)), wy + (int)(4 * std::sin(a)), 106);
    }
  }
  Drawn d = finish(c, x0 + 55);
  destroy_bitmap(c);
  return d;
}

Drawn spark(int frame) {
  BITMAP* c = create_bitmap_ex(8, 32, 32);
  clear_to_color(c, 0);
  int r = frame ? 10 : 7;
  for (int k = 0; k < 8; ++k) {
    float a = (k * 45 + frame * 22) * 3.14159265f / 180;
    float len = k % 2 ? r * 0.6f : r;
    line(c, 16, 16, 16 + (int)(len * std::cos(a)), 16 + (int)(len * std::sin(a)), 113);
  }
  circlefill(c, 16, 16, frame ? 3 : 2, 112);
  BITMAP* b = create_bitmap_ex(8, 2 * r + 1, 2 * r + 1);
  blit(c, b, 16 - r, 16 - r, 0, 0, b->w, b->h);
  destroy_bitmap(c);
  return {b, r, 2 * r};
}

Drawn ending() {
  // The hero and the girl together, ready for the ending screen (at 133,132).
  BITMAP* c = create_bitmap_ex(8, 128, 128);
  clear_to_color(c, 0);
  Pose h = *find("fighter", "STAND");
  h.nS = 70;
  h.nE = 40;
  h.lean = 6;
  draw_figure(c, hero, h, {52, 80});
  BITMAP* g = create_bitmap_ex(8, 128, 128);
  clear_to_color(g, 0);
  Pose gp = *find("girl", "STAND");
  gp.nS = 60;
  gp.nE = 60;
  draw_figure(g, girl, gp, {60, 82});
  draw_sprite_h_flip(c, g, 4, 0);
  destroy_bitmap(g);
  // a small heart above them
  circlefill(c, 59, 32, 2, 252);
  circlefill(c, 63, 32, 2, 252);
  int tri[6] = {56, 33, 66, 33, 61, 38};
  polygon(c, 3, tri, 252);
  Drawn d = finish(c, 60);
  destroy_bitmap(c);
  return d;
}

struct Slot {
  int index;
  std::string name;
  Drawn d;
};

}  // namespace

bool load_poses(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "r");
  if (!f) {
    diag("%s:0: cannot open\n", path.c_str());
    return false;
  }
  char buf[256];
  int ln = 0;
  while (std::fgets(buf, sizeof buf, f)) {
    ++ln;
    if (std::strncmp(buf, "pose ", 5)) continue;
    char set[32], name[32];
    Pose p;
    if (std::sscanf(buf, "pose %31s %31s %f %f %f %f %f %f %f %f %f %f %f", set, name, &p.tilt,
                    &p.dx, &p.lean, &p.nS, &p.nE, &p.fS, &p.fE, &p.nH, &p.nK, &p.fH,
                    &p.fK) != 13) {
      diag("%s:%d: a pose needs a set, a name and 11 numbers\n", path.c_str(), ln);
      std::fclose(f);
      return false;
    }
    p.set = set;
    p.name = name;
    poses.push_back(p);
  }
  std::fclose(f);
  return true;
}

void make_sprites(Out& o) {
  std::vector<Slot> slots;
  // Each cast member owns a fixed block of indices, so adding a pose to one
  // never renumbers the others.
  int next = 27, block_end = 27;
  auto block = [&](int first, int size) {
    next = first;
    block_end = first + size;
  };
  auto put = [&](const std::string& name, Drawn d) {
    if (next >= block_end) {
      diag("sprites: block full, %s not added\n", name.c_str());
      destroy_bitmap(d.b);
      return;
    }
    slots.push_back({next++, name, d});
  };
  block(27, 32);
  for (auto& p : poses)
    if (p.set == "fighter") put("HERO_" + p.name, figure(hero, p));
  block(59, 32);
  for (auto& p : poses)
    if (p.set == "fighter") put("THUG_" + p.name, figure(thug, p));
  block(91, 16);
  for (auto& p : poses)
    if (p.set == "girl") put("GIRL_" + p.name, figure(girl, p));
  block(107, 8);
  put("VAN_1", van(0));
  put("VAN_2", van(1));
  put("VAN_OPEN", van(2));
  block(115, 16);
  const char* items[] = {"KNIFE", "SPRAY", "BAT", "KNUCKLES", "BOMB", "BOMB_LIT", "MEDKIT"};
  for (int k = 0; k < 7; ++k) {
    BITMAP* ic = item_icon(k);
    BITMAP* c = create_bitmap_ex(8, ic->w + 4, ic->h + 4);
    clear_to_color(c, 0);
    blit(ic, c, 0, 0, 2, 2, ic->w, ic->h);
    Drawn d = finish(c, 0);
    d.hx = d.b->w / 2;  // items rest on the ground, centred on their position
    put(std::string("ITEM_") + items[k], d);
    destroy_bitmap(c);
  }
  block(131, 8);
  put("HIT_1", spark(0));
  put("HIT_2", spark(1));
  for (int i = 308; i <= 313; ++i) {
    const char* n[] = {"ICON_UP", "ICON_DOWN", "ICON_LEFT", "ICON_RIGHT", "ICON_PUNCH", "ICON_KICK"};
    slots.push_back({i, n[i - 308], {overlay_icon(i), -1, -1}});
  }
  slots.push_back({345, "ENDING", ending()});
  slots.back().d.hx = slots.back().d.hy = -1;  // drawn at a fixed place, no hot spot
  slots.push_back({368, "PAUSE", {overlay_icon(368), -1, -1}});

  // Every index up to 557 holds a bitmap; unused ones are a small marked box.
  std::vector<const Slot*> by_index(558, nullptr);
  for (auto& s : slots) by_index[s.index] = &s;
  BITMAP* spare = create_bitmap_ex(8, 8, 8);
  clear_to_color(spare, 0);
  rect(spare, 0, 0, 7, 7, 110);
  for (int i = 26; i <= 557; ++i) {
    char file[64];
    const Slot* s = by_index[i];
    if (!s) {
      std::snprintf(file, sizeof file, "%03d_spare.pcx", i);
      save(o, spare, file);
      o.main.push_back({i, "BMP", file, i == 26 ? -1 : 4, i == 26 ? -1 : 7});
      continue;
    }
    std::string lower = s->name;
    for (auto& ch : lower) ch = (char)std::tolower((unsigned char)ch);
    std::snprintf(file, sizeof file, "%03d_%s.pcx", i, lower.c_str());
    save(o, s->d.b, file);
    o.main.push_back({i, "BMP", file, s->d.hx, s->d.hy});
    o.names.push_back({"SPR_" + s->name, i});
  }
}

}  // namespace gg
