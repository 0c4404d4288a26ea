// nwd-sfxgen: synthesises the game's sound effects as 16-bit mono WAV files.
// Each effect is built from a few simple voices: noise bursts, pitched thumps,
// and a small formant voice for the shouts.
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/diag.h"
#include "tools/common/cli.h"

namespace {

const int kRate = 22050;
const double kPi = 3.14159265358979;

using Buf = std::vector<double>;

uint32_t noise_state = 0x1234567;
double noise() {
  noise_state ^= noise_state << 13;
  noise_state ^= noise_state >> 17;
  noise_state ^= noise_state << 5;
  return (double)(noise_state & 0xFFFF) / 32768.0 - 1.0;
}

void mix(Buf& b, size_t at, const Buf& s, double gain = 1.0) {
  if (b.size() < at + s.size()) b.resize(at + s.size());
  for (size_t i = 0; i < s.size(); ++i) b[at + i] += s[i] * gain;
}

size_t len(double sec) { return (size_t)(sec * kRate); }

// A falling sine: the body of every impact.
Buf thump(double sec, double f0, double f1, double decay) {
  Buf b(len(sec));
  double ph = 0;
  for (size_t i = 0; i < b.size(); ++i) {
    double t = (double)i / b.size();
    ph += 2 * kPi * (f0 + (f1 - f0) * t) / kRate;
    b[i] = std::sin(ph) * std::exp(-decay * t);
  }
  return b;
}

// Noise through a one-pole low-pass whose cutoff (0..1) moves from c0 to c1.
Buf hiss(double sec, double c0, double c1, double attack, double decay) {
  Buf b(len(sec));
  double y = 0;
  for (size_t i = 0; i < b.size(); ++i) {
    double t = (double)i / b.size(), c = c0 + (c1 - c0) * t;
    y += c * (noise() - y);
    double env = t < attack ? t / attack : std::exp(-decay * (t - attack));
    b[i] = y * env * 2.0;
  }
  return b;
}

// Two-pole resonator, the building block of the vowel formants.
struct Reso {
  double a1, a2, g, y1 = 0, y2 = 0;
  Reso(double f, double bw) {
    double r = std::exp(-kPi * bw / kRate);
    a1 = 2 * r * std::cos(2 * kPi * f / kRate);
    a2 = -r * r;
    g = 1 - r;
  }
  double step(double x) {
    double y = g * x + a1 * y1 + a2 * y2;
    y2 = y1;
    y1 = y;
    return y;
  }
};

// A voiced syllable: a buzz from f0 to f1 through formants F1/F2, with an
// optional breathy onset ("h") or a closed one ("k").
Buf voice(double sec, double f0, double f1, double F1, double F2, double breath, char onset) {
  Buf b(len(sec));
  Reso r1(F1, 90), r2(F2, 120), r3(2600, 200);
  double ph = 0;
  for (size_t i = 0; i < b.size(); ++i) {
    double t = (double)i / b.size();
    ph += (f0 + (f1 - f0) * t) / kRate;
    ph -= std::floor(ph);
    double src = (1 - breath) * (2 * ph - 1) + breath * noise();
    if (onset == 'h' && t < 0.25) src = noise() * 0.8;
    if (onset == 'k' && t < 0.08) src = t < 0.03 ? noise() : 0;
    double y = r1.step(src) * 1.0 + r2.step(src) * 0.6 + r3.step(src) * 0.2;
    double env = std::min(1.0, t * 20) * std::min(1.0, (1 - t) * 6);
    b[i] = y * env * 4;
  }
  return b;
}

Buf make(const std::string& kind) {
  Buf b;
  if (kind == "hit") {
    mix(b, 0, thump(0.14, 160, 70, 6));
    mix(b, 0, hiss(0.08, 0.6, 0.1, 0.02, 8), 0.8);
  } else if (kind == "punch") {
    mix(b, 0, thump(0.12, 200, 55, 5));
    mix(b, 0, hiss(0.05, 0.9, 0.3, 0.01, 10), 0.9);
  } else if (kind == "heavyhit") {
    mix(b, 0, thump(0.28, 120, 40, 4));
    mix(b, 0, hiss(0.15, 0.5, 0.05, 0.02, 6), 0.9);
    mix(b, len(0.02), hiss(0.05, 1.0, 0.5, 0.01, 9), 0.5);
  } else if (kind == "swing") {
    Buf w = hiss(0.22, 0.05, 0.35, 0.6, 5);
    mix(b, 0, w, 1.2);
  } else if (kind == "hurt") {
    mix(b, 0, voice(0.28, 150, 105, 550, 950, 0.2, 'h'));
  } else if (kind == "thud") {
    mix(b, 0, thump(0.2, 90, 40, 5));
    mix(b, 0, hiss(0.2, 0.2, 0.02, 0.01, 6), 0.7);
    mix(b, len(0.18), thump(0.12, 80, 45, 6), 0.5);
  } else if (kind == "die") {
    mix(b, 0, voice(0.95, 320, 120, 750, 1150, 0.15, 0));
  } else if (kind == "bdie") {
    mix(b, 0, voice(0.8, 190, 70, 600, 900, 0.25, 'h'));
  } else if (kind == "laugh") {
    for (int k = 0; k < 4; ++k)
      mix(b, len(0.16 * k), voice(0.13, 170 - k * 8, 150 - k * 8, 700, 1200, 0.3, 'h'));
  } else if (kind == "pickup") {
    for (int k = 0; k < 3; ++k) {
      Buf n(len(0.06));
      for (size_t i = 0; i < n.size(); ++i)
        n[i] = (std::fmod(i * (880.0 * (1 + k * 0.5)) / kRate, 1.0) < 0.5 ? 0.5 : -0.5) *
               (1 - (double)i / n.size());
      mix(b, len(0.055 * k), n);
    }
  } else if (kind == "engine") {
    Buf e(len(1.3));
    double ph = 0;
    for (size_t i = 0; i < e.size(); ++i) {
      double t = (double)i / e.size(), f = 45 + 90 * std::sin(t * kPi * 0.8);
      ph += f / kRate;
      ph -= std::floor(ph);
      e[i] = ((2 * ph - 1) * 0.7 + noise() * 0.2) * std::min(1.0, t * 8) * (1 - t);
    }
    mix(b, 0, e);
  } else if (kind == "door") {
    Buf c(len(0.3));
    double ph = 0;
    for (size_t i = 0; i < c.size(); ++i) {
      double t = (double)i / c.size();
      ph += (260 + 40 * std::sin(t * 40)) / kRate;
      ph -= std::floor(ph);
      c[i] = (ph < 0.1 ? 0.6 : -0.05) * (0.3 + 0.7 * t);
    }
    mix(b, 0, c, 0.6);
    mix(b, len(0.3), thump(0.16, 110, 50, 5));
    mix(b, len(0.3), hiss(0.08, 0.7, 0.1, 0.01, 8), 0.6);
  } else if (kind == "comeon") {
    mix(b, 0, voice(0.2, 140, 150, 600, 1100, 0.1, 'k'));
    mix(b, len(0.22), voice(0.35, 170, 120, 650, 1000, 0.1, 0));
  }
  return b;
}

bool write_wav(const std::string& path, const Buf& b) {
  double peak = 1e-9;
  for (double v : b) peak = std::max(peak, std::fabs(v));
  std::vector<int16_t> pcm(b.size());
  for (size_t i = 0; i < b.size(); ++i) pcm[i] = (int16_t)std::lround(b[i] / peak * 26000);
  std::string tmp = path + ".tmp";
  FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f) return false;
  auto u32 = [&](uint32_t v) {
    unsigned char c[4] = {(unsigned char)v, (unsigned char)(v >> 8), (unsigned char)(v >> 16),
                          (unsigned char)(v >> 24)};
    std::fwrite(c, 1, 4, f);
  };
  auto u16 = [&](unsigned v) {
    unsigned char c[2] = {(unsigned char)v, (unsigned char)(v >> 8)};
    std::fwrite(c, 1, 2, f);
  };
  uint32_t data = (uint32_t)pcm.size() * 2;
  std::fwrite("RIFF", 1, 4, f);
  u32(36 + data);
  std::fwrite("WAVEfmt ", 1, 8, f);
  u32(16);
  u16(1);
  u16(1);
  u32(kRate);
  u32(kRate * 2);
  u16(2);
  u16(16);
  std::fwrite("data", 1, 4, f);
  u32(data);
  for (int16_t s : pcm) u16((uint16_t)s);
  if (std::fclose(f) != 0) return false;
  return std::rename(tmp.c_str(), path.c_str()) == 0;
}

// Speech through espeak-ng when the build found it; false means synthesise.
bool speak(const std::string& espeak, const std::string& text, const std::string& path) {
  if (espeak.empty()) return false;
  std::string tmp = path + ".tmp";
  pid_t pid = fork();
  if (pid == 0) {
    execl(espeak.c_str(), espeak.c_str(), "-v", "en+m3", "-s", "150", "-p", "35", "-w",
          tmp.c_str(), text.c_str(), (char*)nullptr);
    _exit(127);
  }
  int st = 0;
  if (pid < 0 || waitpid(pid, &st, 0) < 0 || !WIFEXITED(st) || WEXITSTATUS(st) != 0) {
    std::remove(tmp.c_str());
    return false;
  }
  return std::rename(tmp.c_str(), path.c_str()) == 0;
}

void usage(FILE* f) {
  std::fprintf(f,
               "usage: nwd-sfxgen [--espeak PATH] EFFECTS OUTDIR\n"
               "  EFFECTS  lines \"number file name sound\" (# starts a comment)\n"
               "  OUTDIR   folder that receives one WAV file per distinct file name\n"
               "  --espeak speech synthesiser used for the spoken effects\n"
               "  -h, --help, --version\n");
}

}  // namespace

int main(int argc, char** argv) {
  std::string espeak;
  int r = cli_parse(argc, argv, "nwd-sfxgen", "", {{"espeak", required_argument, nullptr, 'e'}}, usage,
                    [&](int, const char* v) { return espeak = v, 0; });
  if (r >= 0) return r;
  std::vector<const char*> pos(argv + optind, argv + argc);
  if (pos.size() != 2) {
    usage(stderr);
    return 2;
  }
  FILE* f = std::fopen(pos[0], "r");
  if (!f) {
    diag("%s:0: cannot open\n", pos[0]);
    return 1;
  }
  char buf[256];
  int ln = 0, rc = 0;
  while (std::fgets(buf, sizeof buf, f)) {
    ++ln;
    if (buf[0] == '#' || buf[0] == '\n') continue;
    int num;
    char file[64], name[64], kind[32];
    if (std::sscanf(buf, "%d %63s %63s %31s", &num, file, name, kind) != 4 || std::strchr(file, '/')) {
      diag("%s:%d: expected \"number file name sound\"\n", pos[0], ln);
      rc = 1;
      break;
    }
    std::string path = std::string(pos[1]) + "/" + file;
    if (!std::strcmp(kind, "comeon") && speak(espeak, "come on!", path)) continue;
    Buf b = make(kind);
    if (b.empty()) {
      diag("%s:%d: unknown sound \"%s\"\n", pos[0], ln, kind);
      rc = 1;
      break;
    }
    if (!write_wav(path, b)) {
      diag("%s: cannot write\n", path.c_str());
      rc = 1;
      break;
    }
  }
  std::fclose(f);
  return rc;
}
