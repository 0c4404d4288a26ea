// nwd-modgen: writes a 4-channel tracker module (MOD, "M.K.") from a text
// score. Instruments are synthesised here; the score names notes per row.
//
// Score lines:
//   title TEXT                 song title (up to 20 characters)
//   speed N / tempo N          ticks per row, beats per minute
//   pattern NAME               starts a 64-row pattern
//   CH TOKENS...               channel 1..3 of the current pattern:
//                              INSTR:NOTE[/ROWS] plays, ./ROWS rests,
//                              ^ silences; NOTE is like C2, F#1, Bb3
//   drums STEPS                channel 4: k kick, s snare, h hat, . rest
//   order NAME NAME ...        pattern order of the song
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "engine/diag.h"
#include "tools/common/cli.h"

namespace {

struct Cell {
  int sample = 0, period = 0, effect = 0, param = 0;
};
struct Pattern {
  Cell rows[64][4];
  int filled[4] = {0, 0, 0, 0};
};

struct Sample {
  const char* name;
  std::vector<int8_t> data;
  int loop_start = 0, loop_len = 0, volume = 64;
};

// Periods of octaves 1..3, C to B (the format's standard tuning).
const int kPeriods[36] = {856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,
                          428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226,
                          214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113};

uint32_t seed = 99;
double noise() {
  seed = seed * 1664525u + 1013904223u;
  return (double)(seed >> 8) / 8388608.0 - 1.0;
}

int8_t s8(double v) { return (int8_t)std::lround(std::max(-1.0, std::min(1.0, v)) * 120); }

// Instruments: 1 lead (pulse), 2 bass (saw, an octave down), 3 soft (triangle),
// 4 kick, 5 snare, 6 hat.
std::vector<Sample> instruments() {
  std::vector<Sample> v(6);
  v[0].name = "lead";
  for (int i = 0; i < 32; ++i) v[0].data.push_back(s8(i < 10 ? 0.6 : -0.6));
  v[1].name = "bass";
  for (int i = 0; i < 64; ++i) v[1].data.push_back(s8(0.9 - 1.8 * i / 64.0));
  v[2].name = "soft";
  for (int i = 0; i < 32; ++i) v[2].data.push_back(s8(i < 16 ? -0.8 + 1.6 * i / 16 : 0.8 - 1.6 * (i - 16) / 16));
  for (int k = 0; k < 3; ++k) {
    v[k].loop_start = 0;
    v[k].loop_len = (int)v[k].data.size();
  }
  v[0].volume = 40;
  v[2].volume = 36;
  v[3].name = "kick";
  double ph = 0;
  for (int i = 0; i < 2400; ++i) {
    double t = i / 2400.0;
    ph += 2 * M_PI * (150 - 110 * t) / 8363;
    v[3].data.push_back(s8(std::sin(ph) * std::exp(-3 * t)));
  }
  v[4].name = "snare";
  for (int i = 0; i < 2400; ++i) {
    double t = i / 2400.0;
    v[4].data.push_back(s8((noise() * 0.7 + 0.3 * std::sin(i * 0.13)) * std::exp(-5 * t)));
  }
  v[5].name = "hat";
  double prev = 0;
  for (int i = 0; i < 700; ++i) {
    double n = noise(), hp = n - prev;  // a crude high-pass keeps it bright
    prev = n;
    v[5].data.push_back(s8(hp * 0.5 * std::exp(-6.0 * i / 700)));
  }
  v[5].volume = 30;
  return v;
}

int note_period(const char* s) {
  static const int base[7] = {9, 11, 0, 2, 4, 5, 7};  // A..G
  if (*s < 'A' || *s > 'G') return 0;
  int n = base[*s - 'A'];
  ++s;
  if (*s == '#') ++n, ++s;
  else if (*s == 'b') --n, ++s;
  if (*s < '1' || *s > '3' || s[1]) return 0;
  n += (*s - '1') * 12;
  return n >= 0 && n < 36 ? kPeriods[n] : 0;
}

struct Song {
  std::string title = "nightward";
  int speed = 6, tempo = 125;
  std::map<std::string, int> names;
  std::vector<Pattern> pats;
  std::vector<int> order;
};

bool parse(const char* path, Song& song) {
  FILE* f = std::fopen(path, "r");
  if (!f) {
    diag("%s:0: cannot open\n", path);
    return false;
  }
  const char* instr = "LBS";  // lead, bass, soft as written in the score
  char buf[1024];
  int ln = 0;
  bool ok = true;
  Pattern* cur = nullptr;
  auto fail = [&](const char* msg) {
    diag("%s:%d: %s\n", path, ln, msg);
    ok = false;
  };
  while (ok && std::fgets(buf, sizeof buf, f)) {
    ++ln;
    // '#' starts a comment only after a blank, so sharps like F#2 survive.
    for (char* p = buf; *p; ++p)
      if (*p == '#' && (p == buf || *(p - 1) == ' ' || *(p - 1) == '\t')) {
        *p = 0;
        break;
      }
    char* tok = std::strtok(buf, " \t\r\n");
    if (!tok) continue;
    std::string key = tok;
    if (key == "title") {
      char* rest = std::strtok(nullptr, "\r\n");
      song.title = rest ? rest : "";
    } else if (key == "speed" || key == "tempo") {
      char* v = std::strtok(nullptr, " \t\r\n");
      int n = v ? std::atoi(v) : 0;
      if (key == "speed" ? (n < 1 || n > 31) : (n < 32 || n > 255)) fail("value out of range");
      (key == "speed" ? song.speed : song.tempo) = n;
    } else if (key == "pattern") {
      char* v = std::strtok(nullptr, " \t\r\n");
      if (!v || song.names.count(v) || song.pats.size() >= 64) {
        fail("pattern needs a new name (at most 64 patterns)");
        break;
      }
      song.names[v] = (int)song.pats.size();
      song.pats.emplace_back();
      cur = &song.pats.back();
    } else if (key == "order") {
      while (char* v = std::strtok(nullptr, " \t\r\n")) {
        if (!song.names.count(v)) {
          fail("order names an unknown pattern");
          break;
        }
        song.order.push_back(song.names[v]);
      }
    } else if (key == "drums") {
      if (!cur) {
        fail("drums outside a pattern");
        break;
      }
      while (char* v = std::strtok(nullptr, " \t\r\n"))
        for (; *v && ok; ++v) {
          int& row = cur->filled[3];
          if (row >= 64) {
            fail("more than 64 rows");
            break;
          }
          const char* kinds = "ksh";
          if (const char* p = *v == '.' ? nullptr : std::strchr(kinds, *v)) {
            cur->rows[row][3] = {4 + (int)(p - kinds), 428, 0, 0};
          } else if (*v != '.') {
            fail("drum steps are k, s, h or .");
          }
          ++row;
        }
    } else if (key.size() == 1 && key[0] >= '1' && key[0] <= '3') {
      if (!cur) {
        fail("notes outside a pattern");
        break;
      }
      int ch = key[0] - '1';
      while (ok) {
        char* v = std::strtok(nullptr, " \t\r\n");
        if (!v) break;
        int rows = 1;
        if (char* sl = std::strchr(v, '/')) {
          rows = std::atoi(sl + 1);
          *sl = 0;
        }
        int& row = cur->filled[ch];
        if (rows < 1 || row + rows > 64) {
          fail("more than 64 rows");
          break;
        }
        Cell& c = cur->rows[row][ch];
        if (!std::strcmp(v, "^")) {
          c.effect = 0xC;  // volume 0
        } else if (std::strcmp(v, ".")) {
          const char* colon = std::strchr(v, ':');
          const char* which = colon && colon == v + 1 ? std::strchr(instr, v[0]) : nullptr;
          int per = colon ? note_period(colon + 1) : 0;
          if (!which || !per) {
            fail("notes are L:, B: or S: followed by a note such as C2, F#1 or Bb3");
            break;
          }
          c.sample = 1 + (int)(which - instr);
          c.period = per;
          // A held note fades (volume slide down) like a plucked or struck
          // string instead of droning at full volume.
          static const int fade[3] = {1, 1, 2};
          for (int k = 1; k < rows; ++k) cur->rows[row + k][ch] = {0, 0, 0xA, fade[c.sample - 1]};
        }
        row += rows;
      }
    } else {
      fail("unknown keyword");
    }
  }
  std::fclose(f);
  if (ok && song.order.empty()) {
    diag("%s:%d: the song has no order\n", path, ln);
    ok = false;
  }
  return ok;
}

// Speed and tempo are set by two F effects in the first row the song plays,
// in channels whose effect column is free there.
bool place_timing(Song& song) {
  Cell* row = song.pats[song.order[0]].rows[0];
  int values[2] = {song.speed, song.tempo}, placed = 0;
  for (int ch = 3; ch >= 0 && placed < 2; --ch)
    if (!row[ch].effect) {
      row[ch].effect = 0xF;
      row[ch].param = values[placed++];
    }
  return placed == 2;
}

bool write_mod(const char* path, const Song& song) {
  std::vector<Sample> ins = instruments();
  std::vector<uint8_t> out;
  auto text = [&](const std::string& s, size_t n) {
    for (size_t i = 0; i < n; ++i) out.push_back(i < s.size() ? (uint8_t)s[i] : 0);
  };
  auto be16 = [&](int v) {
    out.push_back((uint8_t)(v >> 8));
    out.push_back((uint8_t)v);
  };
  text(song.title, 20);
  for (int i = 0; i < 31; ++i) {
    const Sample* s = i < (int)ins.size() ? &ins[i] : nullptr;
    text(s ? s->name : "", 22);
    be16(s ? (int)s->data.size() / 2 : 0);
    out.push_back(0);  // finetune
    out.push_back(s ? (uint8_t)s->volume : 0);
    be16(s ? s->loop_start / 2 : 0);
    be16(s && s->loop_len ? s->loop_len / 2 : 1);
  }
  out.push_back((uint8_t)song.order.size());
  out.push_back(0);  // restart at the first position: the song loops
  int max_pat = 0;
  for (int i = 0; i < 128; ++i) {
    int p = i < (int)song.order.size() ? song.order[i] : 0;
    out.push_back((uint8_t)p);
    max_pat = std::max(max_pat, p);
  }
  text("M.K.", 4);
  for (int p = 0; p <= max_pat; ++p)
    for (int r = 0; r < 64; ++r)
      for (int ch = 0; ch < 4; ++ch) {
        Cell c = song.pats[p].rows[r][ch];
        out.push_back((uint8_t)((c.sample & 0xF0) | ((c.period >> 8) & 0x0F)));
        out.push_back((uint8_t)(c.period & 0xFF));
        out.push_back((uint8_t)(((c.sample & 0x0F) << 4) | (c.effect & 0x0F)));
        out.push_back((uint8_t)c.param);
      }
  for (auto& s : ins)
    for (int8_t v : s.data) out.push_back((uint8_t)v);
  std::string tmp = std::string(path) + ".tmp";
  FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
  ok = (std::fclose(f) == 0) && ok;
  return ok && std::rename(tmp.c_str(), path) == 0;
}

void usage(FILE* f) { std::fprintf(f, "usage: nwd-modgen SCORE OUTPUT.mod\n       nwd-modgen -h | --help | --version\n"); }

}  // namespace

int main(int argc, char** argv) {
  int r = cli_parse(argc, argv, "nwd-modgen", "", {}, usage, [](int, const char*) { return 0; });
  if (r >= 0) return r;
  argv += optind - 1;
  if (argc - optind != 2) {
    usage(stderr);
    return 2;
  }
  Song song;
  if (!parse(argv[1], song)) return 1;
  if (!place_timing(song)) {
    diag("%s:0: the first row needs two channels without effects for speed and tempo\n", argv[1]);
    return 1;
  }
  if (!write_mod(argv[2], song)) {
    diag("%s: cannot write\n", argv[2]);
    return 1;
  }
  return 0;
}
