// Level data: tile sheets drawn tile by tile, maps read from text, and the
// background pictures (city skyline, credits scenery).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>

#include "engine/diag.h"
#include "tools/gfxgen/gfxgen.h"

namespace gg {

namespace {

// Small fixed generator so every build draws the same pictures.
unsigned rng_state = 12345;
int rnd(int n) {
  rng_state = rng_state * 1103515245u + 12345u;
  return (int)((rng_state >> 16) % (unsigned)n);
}

const int T = 16;

void bricks(BITMAP* b, int x, int y, int dark, int mid, int mortar) {
  rectfill(b, x, y, x + T - 1, y + T - 1, mid);
  for (int r = 0; r < 4; ++r) {
    hline(b, x, y + r * 4 + 3, x + T - 1, mortar);
    int off = r % 2 ? 4 : 0;
    for (int k = off; k < T; k += 8) vline(b, x + k, y + r * 4, y + r * 4 + 2, mortar);
    for (int k = 0; k < 3; ++k) putpixel(b, x + rnd(T), y + r * 4 + rnd(3), dark);
  }
}

void window(BITMAP* b, int x, int y, bool lit, int frame) {
  rectfill(b, x + 2, y + 1, x + 13, y + 14, frame);
  if (lit) {
    for (int r = 0; r < 11; ++r) hline(b, x + 3, y + 2 + r, x + 12, 158 - r / 3);
  } else {
    rectfill(b, x + 3, y + 2, x + 12, y + 12, 129);
    line(b, x + 4, y + 10, x + 9, y + 3, 131);  // a reflection
  }
  vline(b, x + 7, y + 2, y + 12, frame);
  hline(b, x + 3, y + 7, x + 12, frame);
  hline(b, x + 1, y + 14, x + 14, 147);  // sill
}

void pole(BITMAP* b, int x, int y) {
  rectfill(b, x + 7, y, x + 9, y + T - 1, 2);
  vline(b, x + 7, y, y + T - 1, 11);
}

void pavement(BITMAP* b, int x, int y, int variant) {
  rectfill(b, x, y, x + T - 1, y + T - 1, 146 + variant % 2);
  hline(b, x, y + T - 1, x + T - 1, 144);
  vline(b, x + T - 1, y, y + T - 1, 144);
  hline(b, x, y, x + T - 2, 148);
  for (int k = 0; k < 6; ++k) putpixel(b, x + rnd(T - 1), y + 1 + rnd(T - 2), 145);
  if (variant == 2) line(b, x + 3, y + 2, x + 11, y + 12, 144);  // crack
}

// Street tiles by number; see data/levels/lev1.txt for where each is used.
void street_tile(BITMAP* b, int t, int x, int y) {
  switch (t) {
    case 1:  // sky
    case 2:  // sky with stars
      for (int r = 0; r < T; ++r) hline(b, x, y + r, x + T - 1, 128 + (y + r) / 16);
      if (t == 2) {
        putpixel(b, x + rnd(T), y + rnd(T), 7);
        putpixel(b, x + rnd(T), y + rnd(T), 5);
      }
      break;
    case 3:  // cornice on brick
      bricks(b, x, y, 137, 139, 136);
      rectfill(b, x, y, x + T - 1, y + 5, 149);
      hline(b, x, y, x + T - 1, 151);
      hline(b, x, y + 6, x + T - 1, 128);
      break;
    case 4: bricks(b, x, y, 137, 139, 136); break;
    case 5:
    case 6:
      bricks(b, x, y, 137, 139, 136);
      window(b, x, y, t == 5, 136);
      break;
    case 7:  // brick with drainpipe
      bricks(b, x, y, 137, 139, 136);
      rectfill(b, x + 12, y, x + 14, y + T - 1, 145);
      vline(b, x + 12, y, y + T - 1, 148);
      break;
    case 8: bricks(b, x, y, 136, 138, 128); break;  // ground floor, darker
    case 10:  // door top
    case 11:  // door bottom
      bricks(b, x, y, 136, 138, 128);
      rectfill(b, x + 2, y + (t == 10 ? 3 : 0), x + 13, y + T - 1, 108);
      rectfill(b, x + 3, y + (t == 10 ? 4 : 0), x + 12, y + T - 1, 107);
      if (t == 10) {
        rectfill(b, x + 5, y + 6, x + 10, y + 11, 155);  // lit pane
        hline(b, x + 2, y + 3, x + 13, 109);
      } else {
        putpixel(b, x + 11, y + 3, 60);  // handle
        hline(b, x, y + T - 1, x + T - 1, 149);
      }
      break;
    case 12:  // shop window top
    case 13:  // shop window bottom
      rectfill(b, x, y, x + T - 1, y + T - 1, 145);
      for (int r = 0; r < T; ++r)
        hline(b, x + 1, y + r, x + T - 2, t == 12 ? 157 - r / 4 : 153 - r / 8);
      if (t == 13) {
        rectfill(b, x, y + 12, x + T - 1, y + T - 1, 146);
        rectfill(b, x + 3, y + 6, x + 6, y + 11, 48);  // goods on display
        rectfill(b, x + 9, y + 4, x + 12, y + 11, 42);
      } else {
        hline(b, x, y, x + T - 1, 150);
      }
      break;
    case 14:  // shop sign band
      rectfill(b, x, y, x + T - 1, y + T - 1, 63);
      hline(b, x, y + 1, x + T - 1, 65);
      hline(b, x, y + 14, x + T - 1, 62);
      for (int k = 0; k < 3; ++k) rectfill(b, x + 2 + k * 5, y + 5, x + 4 + k * 5, y + 10, 245);
      break;
    case 15: pavement(b, x, y, 0); break;
    case 16: pavement(b, x, y, 1); break;
    case 17: pavement(b, x, y, 2); break;
    case 18:  // kerb and road
      rectfill(b, x, y, x + T - 1, y + 3, 149);
      hline(b, x, y, x + T - 1, 151);
      rectfill(b, x, y + 4, x + T - 1, y + 5, 144);
      rectfill(b, x, y + 6, x + T - 1, y + T - 1, 225);
      for (int k = 0; k < 5; ++k) putpixel(b, x + rnd(T), y + 7 + rnd(9), 227);
      break;
    case 20:  // lamp head over brick
      bricks(b, x, y, 137, 139, 136);
      circlefill(b, x + 8, y + 8, 7, 154);
      circlefill(b, x + 8, y + 8, 5, 157);
      rectfill(b, x + 3, y + 2, x + 13, y + 5, 2);
      rectfill(b, x + 5, y + 6, x + 11, y + 9, 60);
      vline(b, x + 8, y + 10, y + T - 1, 2);
      break;
    case 21: bricks(b, x, y, 137, 139, 136); pole(b, x, y); break;
    case 22: bricks(b, x, y, 136, 138, 128); pole(b, x, y); break;
    case 23: pavement(b, x, y, 0); pole(b, x, y); break;
    case 24:  // lamp base on pavement
      pavement(b, x, y, 1);
      pole(b, x, y);
      rectfill(b, x + 5, y + 10, x + 11, y + 14, 2);
      hline(b, x + 5, y + 10, x + 11, 11);
      break;
    case 25:  // pole against the sky
      for (int r = 0; r < T; ++r) hline(b, x, y + r, x + T - 1, 128 + (y + r) / 16);
      pole(b, x, y);
      break;
    case 26:  // dark alley
    case 27:  // alley with a fence
      rectfill(b, x, y, x + T - 1, y + T - 1, 128);
      for (int k = 0; k < 4; ++k) putpixel(b, x + rnd(T), y + rnd(T), 129);
      if (t == 27) {
        for (int k = 1; k < T; k += 4) vline(b, x + k, y + 2, y + T - 1, 131);
        hline(b, x, y + 4, x + T - 1, 132);
        hline(b, x, y + 12, x + T - 1, 132);
      }
      break;
    case 28:  // concrete wall
    case 29:  // concrete, lit window
    case 30:  // concrete, dark window
      rectfill(b, x, y, x + T - 1, y + T - 1, 147);
      vline(b, x, y, y + T - 1, 145);
      for (int k = 0; k < 4; ++k) putpixel(b, x + rnd(T), y + rnd(T), 146);
      if (t != 28) window(b, x, y, t == 29, 145);
      break;
    case 31:  // concrete roof edge
      rectfill(b, x, y, x + T - 1, y + T - 1, 147);
      rectfill(b, x, y, x + T - 1, y + 3, 150);
      hline(b, x, y + 4, x + T - 1, 144);
      break;
    default:  // unused numbers: a loud marker so a bad map shows at once
      rectfill(b, x, y, x + T - 1, y + T - 1, 110);
      break;
  }
  // Opaque tiles must never use colour 0: the scene does not clear behind them.
  for (int r = 0; r < T; ++r)
    for (int k = 0; k < T; ++k)
      if (getpixel(b, x + k, y + r) == 0) putpixel(b, x + k, y + r, 127);
}

// Van road tiles: 0 lets the skyline show, the rest is the motorway.
void van_tile(BITMAP* b, int t, int x, int y) {
  switch (t) {
    case 0: break;
    case 1:  // crash barrier over the skyline
      rectfill(b, x, y + 6, x + T - 1, y + 10, 104);
      hline(b, x, y + 6, x + T - 1, 106);
      rectfill(b, x + 6, y + 11, x + 8, y + T - 1, 2);
      break;
    case 2:  // verge
      rectfill(b, x, y, x + T - 1, y + T - 1, 224);
      hline(b, x, y, x + T - 1, 149);
      hline(b, x, y + 1, x + T - 1, 146);
      break;
    case 3:  // lane with a dashed line
    case 4:  // lane without
      rectfill(b, x, y, x + T - 1, y + T - 1, 226);
      for (int k = 0; k < 6; ++k) putpixel(b, x + rnd(T), y + rnd(T), 228);
      if (t == 3) rectfill(b, x + 2, y + 7, x + 9, y + 8, 9);
      break;
    case 5:  // hard shoulder edge line
      rectfill(b, x, y, x + T - 1, y + T - 1, 226);
      hline(b, x, y + 12, x + T - 1, 34);
      break;
    default:
      rectfill(b, x, y, x + T - 1, y + T - 1, 110);
  }
}

BITMAP* sheet(void (*draw)(BITMAP*, int, int, int), int count) {
  int rows = (count + 39) / 40;
  BITMAP* b = create_bitmap_ex(8, 640, rows * T);
  clear_to_color(b, 0);
  for (int t = 0; t < count; ++t) draw(b, t, (t % 40) * T, (t / 40) * T);
  return b;
}

// City at night, tiling every w pixels: a sky that glows toward the horizon,
// hazy far towers, darker near blocks with lit windows.
BITMAP* skyline(int w, int h, int ground) {
  BITMAP* b = create_bitmap_ex(8, w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int v = y * 7 * 4 / ground;  // ordered dither between the ramp's steps
      int step = v / 4 + (((x + y * 2) % 4) < v % 4 ? 1 : 0);
      putpixel(b, x, y, 128 + std::min(step, 7));
    }
  for (int k = 0; k < w / 5; ++k) putpixel(b, rnd(w), rnd(ground / 2), 4 + rnd(4));
  for (int layer = 0; layer < 2; ++layer) {
    int x = 0;
    while (x < w) {
      int bw = 8 + rnd(layer ? 20 : 14), top = ground - (layer ? 12 + rnd(34) : 30 + rnd(40));
      if (x + bw > w) bw = w - x;
      int col = layer ? 232 : 235;
      rectfill(b, x, top, x + bw - 1, h - 1, col);
      hline(b, x, top, x + bw - 1, col + 1);
      if (rnd(3) == 0) vline(b, x + bw / 2, top - 5, top, col + 1);  // antenna
      for (int wy = top + 3; wy < ground - 2; wy += 3)
        for (int wx = x + 2; wx < x + bw - 2; wx += 3)
          if (rnd(layer ? 3 : 5) == 0) putpixel(b, wx, wy, layer ? 155 + rnd(5) : 153 + rnd(3));
      x += bw + (layer ? 0 : rnd(6));
    }
  }
  rectfill(b, 0, ground, w - 1, h - 1, 232);
  return b;
}

BITMAP* credits_scenery() {
  const int w = 128, h = 208;
  BITMAP* b = create_bitmap_ex(8, w, h);
  for (int y = 0; y < 140; ++y)
    for (int x = 0; x < w; ++x) {
      int v = y * 5 * 4 / 140, step = v / 4 + (((x + y * 2) % 4) < v % 4 ? 1 : 0);
      putpixel(b, x, y, 128 + step);
    }
  for (int k = 0; k < 40; ++k) putpixel(b, rnd(w), rnd(138), 4 + rnd(5));
  // No moon: the picture repeats every 128 pixels across the screen.
  for (int k = 0; k < 6; ++k) {  // a few brighter stars with a glint
    int x = 4 + rnd(w - 8), y = 4 + rnd(100);
    putpixel(b, x, y, 9);
    putpixel(b, x - 1, y, 5);
    putpixel(b, x + 1, y, 5);
    putpixel(b, x, y - 1, 5);
    putpixel(b, x, y + 1, 5);
  }
  BITMAP* city = skyline(w, 47, 44);
  blit(city, b, 0, 0, 0, 140, w, 47);
  destroy_bitmap(city);
  for (int x = 0; x < w; x += 16) {  // near street: pavement and road
    pavement(b, x, 187, x / 16 % 3);
    rectfill(b, x, 203, x + 15, h - 1, 225);
  }
  for (int x = 0; x < w; x += 64) rectfill(b, x + 20, 205, x + 36, 206, 9);
  return b;
}

}  // namespace

// Map text: "tile C N" gives character C the tile number N; the map follows as
// `rows` lines of equal length, one character per cell.
bool load_map(const std::string& path, int rows, std::vector<unsigned short>& cells,
              std::vector<std::string>&) {
  std::ifstream in(path);
  if (!in) {
    diag("%s:0: cannot open\n", path.c_str());
    return false;
  }
  int key[256];
  for (int& k : key) k = -1;
  std::vector<std::string> grid;
  std::string line;
  int ln = 0;
  bool in_map = false;  // after "map" every line is a row, '#' included
  while (std::getline(in, line)) {
    ++ln;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    char c;
    int t;
    if (line.empty() || (!in_map && line[0] == '#')) continue;
    if (!in_map && std::sscanf(line.c_str(), "tile %c %d", &c, &t) == 2) {
      if (t < 0 || t > 65535) {
        diag("%s:%d: tile numbers are 0..65535\n", path.c_str(), ln);
        return false;
      }
      key[(unsigned char)c] = t;
      continue;
    }
    if (!in_map && line == "map") {
      in_map = true;
      continue;
    }
    if (!in_map) {
      diag("%s:%d: expected \"tile C N\" or \"map\"\n", path.c_str(), ln);
      return false;
    }
    for (char ch : line)
      if (key[(unsigned char)ch] < 0) {
        diag("%s:%d: character '%c' has no tile\n", path.c_str(), ln, ch);
        return false;
      }
    if (!grid.empty() && line.size() != grid[0].size()) {
      diag("%s:%d: row is %zu wide, expected %zu\n", path.c_str(), ln, line.size(),
           grid[0].size());
      return false;
    }
    grid.push_back(line);
  }
  if ((int)grid.size() != rows) {
    diag("%s:%d: %zu map rows, expected %d\n", path.c_str(), ln, grid.size(), rows);
    return false;
  }
  // The game counts cells in 16 bits.
  if (grid[0].size() * rows > 65535) {
    diag("%s:%d: %zu cells, at most 65535\n", path.c_str(), ln, grid[0].size() * rows);
    return false;
  }
  cells.clear();
  for (size_t col = 0; col < grid[0].size(); ++col)  // stored column by column
    for (int r = 0; r < rows; ++r) cells.push_back((unsigned short)key[(unsigned char)grid[r][col]]);
  return true;
}

namespace {

bool write_map(Out& o, const std::string& name, const std::vector<unsigned short>& cells) {
  std::string path = o.dir + "/" + name, tmp = path + ".tmp";
  FILE* f = std::fopen(tmp.c_str(), "wb");
  bool ok = f != nullptr;
  for (size_t i = 0; ok && i < cells.size(); ++i) {
    unsigned char le[2] = {(unsigned char)(cells[i] & 0xFF), (unsigned char)(cells[i] >> 8)};
    ok = std::fwrite(le, 1, 2, f) == 2;
  }
  if (f) ok = std::fclose(f) == 0 && ok;
  if (!ok || std::rename(tmp.c_str(), path.c_str()) != 0) {
    diag("%s: cannot write\n", path.c_str());
    std::remove(tmp.c_str());
    return false;
  }
  return true;
}

}  // namespace

bool make_levels(Out& o, const std::string& src) {
  std::vector<unsigned short> cells;
  std::vector<std::string> unused;
  if (!load_map(src + "/levels/van.txt", 7, cells, unused) || !write_map(o, "van.bin", cells))
    return false;
  o.levels.push_back({0, "DATA", "van.bin", -1, -1});
  BITMAP* b = sheet(van_tile, 6);
  save(o, b, "van.pcx");
  o.levels.push_back({0, "BMP", "van.pcx", -1, -1});
  destroy_bitmap(b);

  b = skyline(128, 112, 96);
  save(o, b, "dif2.pcx");
  o.levels.push_back({0, "BMP", "dif2.pcx", -1, -1});
  destroy_bitmap(b);

  if (!load_map(src + "/levels/lev1.txt", 13, cells, unused) || !write_map(o, "lev1.bin", cells))
    return false;
  o.levels.push_back({0, "DATA", "lev1.bin", -1, -1});
  b = sheet(street_tile, 32);
  save(o, b, "lev1.pcx");
  o.levels.push_back({0, "BMP", "lev1.pcx", -1, -1});
  destroy_bitmap(b);

  b = credits_scenery();
  save(o, b, "CREDITS.PCX");
  o.levels.push_back({0, "BMP", "CREDITS.PCX", -1, -1});
  destroy_bitmap(b);
  return true;
}

}  // namespace gg
