// nwd-sfxgen: synthesises the game's sound effects as 16-bit mono WAV files.
// Each effect is built from a few simple voices: pitched thumps, filtered
// noise, ringing metal and wood modes, square-wave blips, a small brass synth,
// and speech (through espeak-ng when the build found it, otherwise a formant
// voice) roughened and put in a room so it sits with the other sounds.
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/diag.h"
#include "tools/common/cli.h"
#include "tools/sfxgen/wav.h"

namespace {

const int kRate = 22050;
const double kPi = 3.14159265358979;

using Buf = std::vector<double>;

uint32_t noise_state = 0x1234567;
double noise()
{
    noise_state ^= noise_state << 13;
    noise_state ^= noise_state >> 17;
    noise_state ^= noise_state << 5;
    return (double)(noise_state & 0xFFFF) / 32768.0 - 1.0;
}

size_t len(double sec) { return (size_t)(sec * kRate); }

// A take of a sound (`punch:2` in the effects list): the same recipe struck
// a little differently, its body and crack retuned and its noise fresh, so a
// row of blows is not one sample heard again and again. Take 1 is the sound
// itself.
struct Take {
    double body, crack, sustain;
};
const Take kTakes[] = {{1.0, 1.0, 1.0},
                       {0.88, 1.2, 1.15},
                       {1.14, 0.84, 0.88},
                       {0.84, 0.94, 1.06},
                       {1.1, 1.25, 0.9}};
Take take = kTakes[0];

void mix(Buf& b, double at, const Buf& s, double gain = 1.0)
{
    size_t o = len(at);
    if (b.size() < o + s.size())
        b.resize(o + s.size());
    for (size_t i = 0; i < s.size(); ++i)
        b[o + i] += s[i] * gain;
}

// A sine gliding exponentially from f0 to f1: the body of every impact.
Buf thump(double sec, double f0, double f1, double decay)
{
    Buf b(len(sec));
    double ph = 0;
    for (size_t i = 0; i < b.size(); ++i) {
        double t = (double)i / b.size();
        ph += 2 * kPi * take.body * f0 * std::pow(f1 / f0, t) / kRate;
        b[i] = std::sin(ph) * std::exp(-decay / take.sustain * t) * std::min(1.0, i / 20.0);
    }
    return b;
}

// Noise through a one-pole low-pass whose cutoff (0..1) moves from c0 to c1.
Buf hiss(double sec, double c0, double c1, double attack, double decay)
{
    Buf b(len(sec));
    double y = 0;
    for (size_t i = 0; i < b.size(); ++i) {
        double t = (double)i / b.size(), c = std::min(1.0, (c0 + (c1 - c0) * t) * take.crack);
        y += c * (noise() - y);
        double env = t < attack ? t / attack : std::exp(-decay * (t - attack));
        b[i] = y * env * 2.0;
    }
    return b;
}

// Two-pole resonator: formants, band-passed noise and struck modes.
struct Reso {
    double a1 = 0, a2 = 0, g = 0, y1 = 0, y2 = 0;
    Reso(double f, double bw) { tune(f, bw); }
    void tune(double f, double bw)
    {
        double r = std::exp(-kPi * bw / kRate);
        a1 = 2 * r * std::cos(2 * kPi * std::min(f, kRate * 0.45) / kRate);
        a2 = -r * r;
        g = 1 - r;
    }
    double step(double x)
    {
        double y = g * x + a1 * y1 + a2 * y2;
        y2 = y1;
        y1 = y;
        return y;
    }
};

// Noise through a band-pass sweeping f0 -> f1 (exponentially), shaped by a
// rise-and-fall envelope peaking at `peak` (0..1 of the length).
Buf whoosh(double sec, double f0, double f1, double bw, double peak)
{
    Buf b(len(sec));
    Reso r(f0, bw);
    for (size_t i = 0; i < b.size(); ++i) {
        double t = (double)i / b.size();
        r.tune(f0 * std::pow(f1 / f0, t), bw);
        double env = t < peak ? std::pow(t / peak, 1.5) : std::pow((1 - t) / (1 - peak), 2.0);
        b[i] = r.step(noise()) * env * 6;
    }
    return b;
}

// Struck metal or wood: decaying partials at the given frequencies.
Buf modes(double sec, const std::vector<double>& freqs, double decay, double spread)
{
    Buf b(len(sec));
    for (size_t k = 0; k < freqs.size(); ++k) {
        double d = decay * (1 + spread * k), ph = noise() * kPi, amp = 1.0 / (1 + 0.35 * k);
        for (size_t i = 0; i < b.size(); ++i) {
            double t = (double)i / kRate;
            b[i] += std::sin(ph + 2 * kPi * freqs[k] * t) * amp * std::exp(-d * t);
        }
    }
    for (size_t i = 0; i < std::min<size_t>(b.size(), 30); ++i)
        b[i] *= i / 30.0;
    return b;
}

// Noise through a resonant band-pass with an instant attack and an
// exponential decay (`decay` per second): the crack of a blow, the slap of
// skin, the crunch of a body.
Buf burst(double sec, double fc, double bw, double decay)
{
    Buf b(len(sec));
    Reso r(fc * take.crack, bw * take.crack);
    for (size_t i = 0; i < b.size(); ++i)
        b[i] = r.step(noise()) * std::exp(-decay / take.sustain * i / kRate) * 6;
    for (size_t i = 0; i < std::min<size_t>(b.size(), 8); ++i)
        b[i] *= i / 8.0;  // a third of a millisecond: sharp, never a click
    return b;
}

// A band-limited-enough tone: 's' square, 'w' saw, 't' triangle, 'n' sine;
// pitch glides f0 -> f1, amplitude attacks then decays (`decay` per second).
Buf tone(char wave, double sec, double f0, double f1, double attack, double decay)
{
    Buf b(len(sec));
    double ph = 0;
    for (size_t i = 0; i < b.size(); ++i) {
        double t = (double)i / kRate, u = (double)i / b.size();
        ph += (f0 + (f1 - f0) * u) / kRate;
        ph -= std::floor(ph);
        double v = wave == 's'   ? (ph < 0.5 ? 1 : -1)
                   : wave == 'w' ? 2 * ph - 1
                   : wave == 't' ? 1 - 4 * std::fabs(ph - 0.5)
                                 : std::sin(2 * kPi * ph);
        double env = t < attack ? t / attack : std::exp(-decay * (t - attack));
        b[i] = v * env * std::min(1.0, (b.size() - i) / 60.0);
    }
    return b;
}

void lowpass(Buf& b, double cutoff)
{
    double c = 1 - std::exp(-2 * kPi * cutoff / kRate), y = 0;
    for (double& v : b)
        v = y += c * (v - y);
}

void highpass(Buf& b, double cutoff)
{
    double c = 1 - std::exp(-2 * kPi * cutoff / kRate), y = 0;
    for (double& v : b) {
        y += c * (v - y);
        v -= y;
    }
}

// Soft clipping: louder body, rounded peaks, the grit of a game sound.
void drive(Buf& b, double amount)
{
    double peak = 1e-9;
    for (double v : b)
        peak = std::max(peak, std::fabs(v));
    for (double& v : b)
        v = std::tanh(amount * v / peak) / std::tanh(amount);
}

// A small room: four combs into two all-passes (Schroeder), mixed in.
void reverb(Buf& b, double wet, double size)
{
    const int combs[4] = {1116, 1188, 1277, 1356}, aps[2] = {225, 556};
    b.resize(b.size() + len(0.5 * size + 0.1));
    Buf out(b.size(), 0.0);
    for (int c : combs) {
        size_t d = (size_t)(c * size * 0.5);
        Buf line(d, 0.0);
        double damp = 0;
        for (size_t i = 0; i < b.size(); ++i) {
            double y = line[i % d];
            damp = y * 0.6 + damp * 0.4;
            line[i % d] = b[i] + damp * 0.78;
            out[i] += y * 0.25;
        }
    }
    for (int a : aps) {
        size_t d = (size_t)(a * size * 0.5);
        Buf line(d, 0.0);
        for (size_t i = 0; i < out.size(); ++i) {
            double y = line[i % d], x = out[i];
            line[i % d] = x + y * 0.5;
            out[i] = y - x * 0.5;
        }
    }
    for (size_t i = 0; i < b.size(); ++i)
        b[i] += out[i] * wet;
}

// Plays `b` at `speed` times its rate (below 1: lower and longer).
Buf repitch(const Buf& b, double speed)
{
    Buf o((size_t)(b.size() / speed));
    for (size_t i = 0; i < o.size(); ++i) {
        double p = i * speed;
        size_t k = (size_t)p;
        double f = p - k, a = b[k], c = k + 1 < b.size() ? b[k + 1] : 0;
        o[i] = a + (c - a) * f;
    }
    return o;
}

// The end fades out over `sec`; silence at the end is cut first.
void tail(Buf& b, double sec)
{
    double peak = 1e-9;
    for (double v : b)
        peak = std::max(peak, std::fabs(v));
    while (!b.empty() && std::fabs(b.back()) < peak * 0.003)
        b.pop_back();
    size_t n = std::min(b.size(), len(sec));
    for (size_t i = 0; i < n; ++i)
        b[b.size() - n + i] *= 1 - (double)i / n;
}

// A voiced syllable from the formant synthesiser: a buzz from f0 to f1
// through formants F1/F2, with a breathy ("h") or closed ("k") onset.
Buf formant_voice(double sec, double f0, double f1, double F1, double F2, double breath, char onset)
{
    Buf b(len(sec));
    Reso r1(F1, 90), r2(F2, 120), r3(2600, 200);
    double ph = 0;
    for (size_t i = 0; i < b.size(); ++i) {
        double t = (double)i / b.size();
        ph += (f0 + (f1 - f0) * t) / kRate;
        ph -= std::floor(ph);
        double src = (1 - breath) * (2 * ph - 1) + breath * noise();
        if (onset == 'h' && t < 0.25)
            src = noise() * 0.8;
        if (onset == 'k' && t < 0.08)
            src = t < 0.03 ? noise() : 0;
        double y = r1.step(src) * 1.0 + r2.step(src) * 0.6 + r3.step(src) * 0.2;
        double env = std::min(1.0, t * 20) * std::min(1.0, (1 - t) * 6);
        b[i] = y * env * 4;
    }
    return b;
}

std::string espeak_path;

// Speech from espeak-ng (voice variant, words per minute, pitch 0..99);
// empty when it is not there or fails, and the caller synthesises instead.
Buf speak(const char* text, const char* voice, int wpm, int pitch)
{
    if (espeak_path.empty())
        return {};
    char tmp[] = "/tmp/nwd-sfxgen-XXXXXX";
    int fd = mkstemp(tmp);
    if (fd < 0)
        return {};
    close(fd);
    std::string v = std::string("en+") + voice, s = std::to_string(wpm), p = std::to_string(pitch);
    pid_t pid = fork();
    if (pid == 0) {
        execl(espeak_path.c_str(), espeak_path.c_str(), "-v", v.c_str(), "-s", s.c_str(), "-p",
              p.c_str(), "-w", tmp, text, (char*)nullptr);
        _exit(127);
    }
    int st = 0;
    Buf b;
    std::string unread;
    if (pid > 0 && waitpid(pid, &st, 0) >= 0 && WIFEXITED(st) && WEXITSTATUS(st) == 0)
        read_sound_file(tmp, b, unread);
    std::remove(tmp);
    // Leading and trailing silence would delay the sound against its blow.
    size_t a = 0;
    while (a < b.size() && std::fabs(b[a]) < 0.01)
        ++a;
    b.erase(b.begin(), b.begin() + a);
    while (!b.empty() && std::fabs(b.back()) < 0.003)
        b.pop_back();
    return b;
}

// A spoken line made a game sound: pitch, grit and room. `fallback` is
// synthesised when there is no speech synthesiser.
Buf shout(const char* text, const char* voice, int wpm, int pitch, double speed, double grit,
          double room, Buf fallback)
{
    Buf b = speak(text, voice, wpm, pitch);
    if (b.empty())
        b = std::move(fallback);
    else if (speed != 1.0)
        b = repitch(b, speed);
    highpass(b, 90);
    // The synthesiser's pulse buzzes in the top octaves: a throat is darker.
    lowpass(b, 4200);
    lowpass(b, 5500);
    // A throat, not a synthesiser: a slow irregular flutter of the level and
    // breath that follows the voice, the breath kept in the voice's own band.
    double env = 0, flutter = 0;
    Reso breath(1800, 2200);
    for (double& v : b) {
        env += 0.002 * (std::fabs(v) - env);
        flutter += 0.02 * (noise() - flutter);
        v = v * (1 + 0.35 * flutter * grit / 3) + breath.step(noise()) * env * 0.5;
    }
    // Driven hard, the pulse turned to fizz: only the loudest syllables are
    // rounded, and what the rounding adds above the voice is taken off again.
    if (grit > 0)
        drive(b, 1 + grit * 0.35);
    lowpass(b, 5000);
    // A second, slightly slower take a few milliseconds behind thickens the
    // voice the way a real one is never one clean pulse.
    Buf twin = repitch(b, 0.992);
    twin.resize(b.size());
    mix(b, 0.011, twin, 0.45);
    if (room > 0)
        reverb(b, room, 0.7);
    tail(b, 0.05);
    // Trimmed to the first sound, speech starts mid-wave: 3 ms keep it from clicking.
    for (size_t i = 0, n = std::min(b.size(), len(0.003)); i < n; ++i)
        b[i] *= (double)i / n;
    return b;
}

// A brassy synth note: detuned saws opening up, for the fanfare.
Buf brass(double sec, double f, double gain)
{
    Buf b(len(sec));
    double ph[3] = {0, 0.3, 0.6}, y1 = 0, y2 = 0;
    for (size_t i = 0; i < b.size(); ++i) {
        double t = (double)i / kRate, v = 0;
        double vib = 1 + 0.004 * std::sin(2 * kPi * 5.5 * t) * std::min(1.0, t * 3);
        for (int k = 0; k < 3; ++k) {
            ph[k] += f * vib * (1 + (k - 1) * 0.004) / kRate;
            ph[k] -= std::floor(ph[k]);
            v += 2 * ph[k] - 1;
        }
        double cut = 600 + 3400 * std::min(1.0, t / 0.06) * (0.6 + 0.4 * std::exp(-t * 3));
        double c = 1 - std::exp(-2 * kPi * cut / kRate);
        y1 += c * (v - y1);
        y2 += c * (y1 - y2);
        double env = std::min(1.0, t / 0.015) * std::min(1.0, (sec - t) / 0.08);
        b[i] = y2 * env * gain / 3;
    }
    return b;
}

Buf make(const std::string& kind)
{
    Buf b;
    if (kind == "hit") {  // a body blow: the slap of skin, the thump of a torso
        mix(b, 0, burst(0.06, 1900, 1400, 55), 1.2);
        mix(b, 0, burst(0.1, 520, 400, 30), 0.7);  // flesh
        mix(b, 0, thump(0.22, 125, 52, 4), 1.8);
        mix(b, 0, burst(0.006, 5200, 4000, 500), 0.35);  // first contact
        drive(b, 4.5);
        highpass(b, 45);  // weight without mud under the music's bass
        reverb(b, 0.06, 0.35);
        tail(b, 0.03);
    } else if (kind == "punch") {  // a fist: a leather crack, higher and shorter than the body blow
        mix(b, 0, burst(0.045, 2900, 2200, 80), 1.1);
        mix(b, 0, burst(0.07, 700, 500, 45), 0.7);
        mix(b, 0, thump(0.16, 165, 64, 5), 1.3);
        mix(b, 0, burst(0.004, 6500, 5000, 900), 0.4);
        drive(b, 5);
        highpass(b, 60);
        reverb(b, 0.05, 0.3);
        tail(b, 0.03);
    } else if (kind ==
               "heavyhit") {  // a knockdown blow: deep, crunchy, a crack of bone, a little room
        mix(b, 0, burst(0.07, 1500, 1200, 45), 0.9);
        mix(b, 0.004, burst(0.14, 380, 300, 22));  // crunch
        mix(b, 0, thump(0.4, 105, 42, 3.5), 2.2);
        mix(b, 0.01, thump(0.3, 75, 40, 5), 0.8);  // the floor it shakes
        mix(b, 0, burst(0.008, 4800, 4000, 400), 0.4);
        mix(b, 0.012, burst(0.02, 3200, 1800, 180), 0.45);
        mix(b, 0.027, burst(0.015, 2400, 1500, 220), 0.3);
        drive(b, 3.2);
        highpass(b, 38);
        reverb(b, 0.12, 0.7);
        tail(b, 0.08);
    } else if (kind == "swing") {  // a fist through the air: rising as it passes the ear, then gone
        Buf w(len(0.26));
        Reso r(500, 500), low(250, 300);
        for (size_t i = 0; i < w.size(); ++i) {
            double t = (double)i / w.size(),
                   f = (450 + 1500 * std::sin(kPi * std::min(1.0, t * 1.2))) * take.crack;
            r.tune(f, 350 + f * 0.5);
            low.tune(f * 0.45, 200);
            double env = std::pow(std::sin(kPi * std::pow(t, 0.8)), 2);
            w[i] = (r.step(noise()) * 6 + low.step(noise()) * 4) * env;
        }
        mix(b, 0, w);
        highpass(b, 120);
    } else if (kind == "hurt") {  // the hero's "ugh!"
        // Its takes are other grunts, a little higher or lower.
        const char* said = take.body < 1 ? "oh!" : take.body > 1 ? "agh!" : "uh!";
        b = shout(said, "m3", 170, 40, take.body, 2.0, 0.08,
                  formant_voice(0.28, 150 * take.body, 105, 550, 950, 0.2, 'h'));
    } else if (kind == "thud") {  // a body hitting the ground, the bounce, a slide to rest
        mix(b, 0, thump(0.28, 110, 38, 5));
        mix(b, 0, burst(0.12, 320, 300, 30), 0.7);            // the body's weight
        mix(b, 0.005, hiss(0.25, 0.25, 0.03, 0.01, 6), 0.6);  // dust and cloth
        // the bounce comes sooner off a heavier body: the takes differ in it
        mix(b, 0.17 * take.sustain, thump(0.16, 95, 42, 6), 0.5);
        mix(b, 0.17 * take.sustain, burst(0.08, 300, 300, 40), 0.35);
        mix(b, 0.3 * take.sustain, hiss(0.18, 0.3, 0.05, 0.05, 5), 0.3);
        drive(b, 2);
        highpass(b, 35);
        reverb(b, 0.08, 0.5);
    } else if (kind == "die") {  // the hero's falling scream
        b = shout("aaaaargh", "m3", 110, 60, 0.95, 2.0, 0.2,
                  formant_voice(0.95, 320, 120, 750, 1150, 0.15, 0));
    } else if (kind == "bdie") {  // a thug's last groan, lower and rougher
        b = shout("ooaargh", "m7", 120, 25, 0.8, 3.0, 0.15,
                  formant_voice(0.8, 190, 70, 600, 900, 0.25, 'h'));
    } else if (kind == "laugh") {  // a thug's sneer
        Buf fb;
        for (int k = 0; k < 4; ++k)
            mix(fb, 0.16 * k, formant_voice(0.13, 170 - k * 8, 150 - k * 8, 700, 1200, 0.3, 'h'));
        b = shout("ha ha ha ha", "m7", 190, 30, 0.9, 2.0, 0.12, fb);
    } else if (kind == "pickup") {  // a bright three-note bell
        const double f[3] = {1318.5, 1760, 2637};
        for (int k = 0; k < 3; ++k) {
            mix(b, 0.06 * k, tone('t', 0.12, f[k], f[k], 0.002, 22), 0.3);
            mix(b, 0.06 * k, tone('n', 0.4, f[k], f[k], 0.002, 8), 0.6);
            mix(b, 0.06 * k, tone('n', 0.25, f[k] * 3.01, f[k] * 3.01, 0.001, 20), 0.1);
        }
        lowpass(b, 8000);
        reverb(b, 0.12, 0.6);
    } else if (kind == "engine") {  // the van revving away
        Buf e(len(1.4));
        double ph = 0;
        for (size_t i = 0; i < e.size(); ++i) {
            double t = (double)i / e.size(), f = 38 + 70 * std::sin(t * kPi * 0.7) + 25 * t;
            ph += f / kRate;
            ph -= std::floor(ph);
            double fire = ph < 0.18 ? 1 - ph / 0.18 : 0;  // one cylinder firing per cycle
            e[i] =
                (fire * 1.2 + (2 * ph - 1) * 0.3 + noise() * 0.06) * std::min(1.0, t * 8) * (1 - t);
        }
        lowpass(e, 900);
        drive(e, 2.5);
        lowpass(e, 1500);  // the drive's grit stays in the exhaust's range
        lowpass(e, 2500);
        mix(b, 0, e);
    } else if (kind == "door") {  // a creak, then the slam
        Buf c(len(0.32));
        double ph = 0;
        Reso body(900, 300);
        for (size_t i = 0; i < c.size(); ++i) {
            double t = (double)i / c.size();
            ph += (45 + 25 * std::sin(t * 9)) / kRate;  // stick-slip pulses
            ph -= std::floor(ph);
            c[i] = body.step(ph < 0.08 ? 1.0 : 0.0) * (0.3 + 0.7 * t) * 6;
        }
        mix(b, 0, c, 0.5);
        mix(b, 0.32, thump(0.2, 120, 45, 5));
        mix(b, 0.32, modes(0.25, {180, 410, 720}, 14, 0.5), 0.5);
        mix(b, 0.32, hiss(0.08, 0.7, 0.1, 0.01, 8), 0.5);
        reverb(b, 0.15, 1.0);
    } else if (kind == "comeon") {
        Buf fb;
        mix(fb, 0, formant_voice(0.2, 140, 150, 600, 1100, 0.1, 'k'));
        mix(fb, 0.22, formant_voice(0.35, 170, 120, 650, 1000, 0.1, 0));
        b = shout("come on!", "m3", 150, 35, 0.97, 1.8, 0.1, fb);
    } else if (kind == "slash") {  // a fast blade: thin whoosh, the edge catching, a steel ring
        mix(b, 0, whoosh(0.15, 1600, 6500, 2000, 0.6));
        mix(b, 0.07, burst(0.012, 4000, 3000, 250), 0.6);
        mix(b, 0.07, modes(0.35, {2950, 4420, 6130, 8020}, 11, 0.4), 0.22);
        mix(b, 0.07, burst(0.06, 1200, 900, 60), 0.4);  // and cloth cut
        reverb(b, 0.1, 0.5);
    } else if (kind ==
               "clang") {  // a lead pipe striking: a tube's bending modes ringing over a thud
        mix(b, 0, thump(0.15, 170, 65, 7), 0.5);
        mix(b, 0, burst(0.01, 3500, 3000, 400), 0.6);
        mix(b, 0, modes(0.75, {690, 1902, 3729, 6164}, 6.5, 0.8), 0.65);
        mix(b, 0, modes(0.6, {697, 1914}, 7, 0.5), 0.3);  // a little off: the ring beats
        mix(b, 0, burst(0.06, 450, 400, 45), 0.5);        // what it hit
        drive(b, 3);
        reverb(b, 0.1, 0.6);
    } else if (kind == "bat") {  // hollow wood: a crack, the bat's body modes, the blow under them
        mix(b, 0, burst(0.006, 3000, 2500, 600), 0.7);
        mix(b, 0, modes(0.22, {380, 977, 1760}, 24, 0.5));
        mix(b, 0, thump(0.14, 200, 70, 8), 0.9);
        mix(b, 0, burst(0.07, 550, 400, 45), 0.6);
        drive(b, 2.4);
        reverb(b, 0.06, 0.4);
    } else if (kind == "break") {  // a crate or bin smashed: cracks, clatter, thump
        mix(b, 0, thump(0.3, 120, 40, 5));
        mix(b, 0, burst(0.012, 2600, 2400, 250), 0.8);  // the first split
        for (int k = 0; k < 7; ++k) {
            double at = 0.015 * k + 0.01 * (noise() + 1) + (k > 3 ? 0.08 : 0);
            mix(b, at, whoosh(0.05, 1500 + 500 * k, 700, 1500, 0.05), 0.7 - 0.06 * k);
            mix(b, at, modes(0.12, {300 + 90.0 * k, 720 + 130.0 * k}, 30, 0.3), 0.3);
        }
        mix(b, 0.12, modes(0.5, {870, 2320, 3650}, 9, 0.5), 0.25);  // a metal band rattling
        mix(b, 0, hiss(0.5, 0.5, 0.05, 0.01, 6), 0.5);
        drive(b, 2);
    } else if (kind == "eat") {  // two crunchy bites, then a healing chime
        for (int k = 0; k < 2; ++k) {
            Buf bite = whoosh(0.09, 1800, 900, 1400, 0.2);
            for (size_t i = 0; i < bite.size(); ++i)
                bite[i] *= 0.5 + 0.5 * (noise() > 0.2);
            mix(b, 0.13 * k, bite, 0.8);
            mix(b, 0.13 * k, thump(0.06, 180, 90, 8), 0.3);
        }
        const double f[4] = {1046.5, 1318.5, 1568, 2093};
        for (int k = 0; k < 4; ++k)
            mix(b, 0.3 + 0.07 * k, tone('n', 0.6, f[k], f[k], 0.003, 5), 0.35);
        reverb(b, 0.2, 1.2);
    } else if (kind == "power") {  // a rising sparkle
        for (int k = 0; k < 12; ++k) {
            double f = 700 * std::pow(2.0, k / 4.0);
            mix(b, 0.05 * k, tone('n', 0.35, f, f, 0.002, 10), 0.4);
            mix(b, 0.05 * k + 0.01, tone('n', 0.25, f * 2.01, f * 2.01, 0.002, 14), 0.15);
        }
        mix(b, 0, whoosh(0.7, 800, 6000, 2500, 0.8), 0.15);
        reverb(b, 0.25, 1.2);
    } else if (kind == "grab") {  // cloth rustle and an effort grunt
        Buf r = whoosh(0.22, 2500, 3500, 1500, 0.3);
        for (size_t i = 0; i < r.size(); ++i)
            r[i] *= 0.4 + 0.6 * std::fabs(std::sin(i * 0.004));
        mix(b, 0, r, 0.4);
        mix(b, 0, burst(0.05, 1100, 900, 60), 0.5);  // hands landing on a jacket
        mix(b, 0.05,
            shout("oomph", "m7", 200, 20, 0.85, 2.5, 0.05,
                  formant_voice(0.2, 120, 100, 450, 900, 0.4, 'h')),
            0.8);
    } else if (kind == "throw") {  // "hup!" and the whoosh of the body
        mix(b, 0,
            shout("hup!", "m1", 180, 30, 0.9, 2.0, 0.05,
                  formant_voice(0.18, 160, 130, 600, 1000, 0.2, 'h')));
        mix(b, 0.12, whoosh(0.35, 250, 1200, 400, 0.5), 0.8);
    } else if (kind == "grunt") {  // a thug hurt: deeper and rougher than the hero
        b = shout("oof!", "m7", 170, 15, 0.78, 3.5, 0.06,
                  formant_voice(0.22, 120, 85, 500, 850, 0.3, 'h'));
    } else if (kind == "boss") {  // a boss steps in: deep laugh over a rumble
        Buf fb;
        for (int k = 0; k < 4; ++k)
            mix(fb, 0.22 * k, formant_voice(0.18, 110 - k * 6, 95 - k * 6, 600, 1000, 0.3, 'h'));
        Buf v = shout("hah hah hah hah", "m7", 175, 10, 0.68, 3.0, 0.0, fb);
        mix(b, 0, thump(1.2, 55, 35, 2.5), 0.5);
        // The band's answer as he walks in: two low brass stabs falling a
        // semitone onto a diminished chord, the street's music cut off under it.
        for (double f : {98.0, 116.5, 138.6})
            mix(b, 0, brass(0.16, f * 1.0595, 0.55));
        for (double f : {98.0, 116.5, 138.6, 164.8})
            mix(b, 0.2, brass(0.7, f, 0.55));
        mix(b, 0.55, v);
        reverb(b, 0.35, 1.6);
        tail(b, 0.3);
    } else if (kind == "bossdie") {  // a long falling groan
        Buf fb = formant_voice(1.6, 180, 60, 650, 950, 0.25, 0);
        Buf v = shout("noooo", "m7", 100, 30, 0.75, 2.5, 0.0, fb);
        // The pitch sags as he goes down: slow the voice a little more towards its end.
        Buf s(v.size() * 13 / 10);
        for (size_t i = 0; i < s.size(); ++i) {
            double u = (double)i / s.size(), p = v.size() * (u - 0.23 * u * u) / 0.77;
            size_t k = std::min((size_t)p, v.size() - 1);
            s[i] = v[k];
        }
        mix(b, 0, s);
        mix(b, 0, thump(0.8, 70, 30, 3), 0.3);
        reverb(b, 0.35, 1.6);
        tail(b, 0.3);
    } else if (kind == "go") {  // the announcer's "GO!" on a brass stab
        Buf fb;                 // no speech synthesiser: two bright beeps
        for (int k = 0; k < 2; ++k)
            mix(fb, 0.16 * k, tone('s', 0.11, 1568, 1568, 0.002, 4), 0.5);
        Buf v = shout("go!", "m3", 140, 30, 0.82, 2.5, 0.0, fb);
        for (double f : {392.0, 587.3, 784.0})
            mix(b, 0, brass(0.3, f, 0.25));
        mix(b, 0, thump(0.3, 120, 50, 4), 0.5);
        mix(b, 0.02, v, 1.4);
        reverb(b, 0.3, 1.4);
        tail(b, 0.2);
    } else if (kind == "timeup") {  // "TIME UP!" and two blasts of the buzzer
        Buf fb;
        Buf v = shout("time up!", "m3", 150, 30, 0.84, 2.5, 0.0, fb);
        mix(b, 0, v, 1.3);
        double at = v.size() / (double)kRate + 0.05;
        for (int k = 0; k < 2; ++k) {
            Buf z;
            mix(z, 0, tone('w', 0.2, 140, 140, 0.005, 0.5), 0.5);
            mix(z, 0, tone('s', 0.2, 149, 149, 0.005, 0.5), 0.4);
            lowpass(z, 2500);
            mix(b, at + 0.26 * k, z, 0.6);
        }
        drive(b, 1.5);
        reverb(b, 0.2, 1.2);
        tail(b, 0.15);
    } else if (kind == "clear") {  // stage clear: a short brass fanfare
        // G4 G4 G4 C5 . E5 G5 ~ C6 held over a C major chord.
        const double n[][3] = {{392, 0.0, 0.11},   {392, 0.13, 0.11},   {392, 0.26, 0.11},
                               {523.3, 0.39, 0.3}, {659.3, 0.72, 0.14}, {784, 0.88, 0.14},
                               {1046.5, 1.04, 1.1}};
        for (auto& x : n)
            mix(b, x[1], brass(x[2], x[0], 1.0));
        for (double f : {261.6, 329.6, 392.0})
            mix(b, 1.04, brass(1.1, f, 0.5));
        for (double at : {0.0, 0.39, 1.04})
            mix(b, at, thump(0.4, 90, 60, 4), 0.5);
        // The announcer over the held chord; nothing without speech.
        mix(b, 1.0, shout("stage clear!", "m3", 160, 30, 0.86, 2.0, 0.0, Buf()), 1.2);
        reverb(b, 0.25, 1.0);
        tail(b, 0.2);
    } else if (kind == "whirl") {  // the whirlwind: a gust that rises and spins
        for (int k = 0; k < 4; ++k)
            mix(b, 0.09 * k, whoosh(0.34, 300 + 180 * k, 1400 + 500 * k, 600, 0.5), 0.8);
        mix(b, 0, thump(0.5, 90, 50, 3), 0.5);
        mix(b, 0.3, whoosh(0.4, 2200, 700, 1200, 0.2), 0.7);
        reverb(b, 0.2, 1.0);
    } else if (kind == "warn") {  // a hazard coming: three quick klaxon beeps
        for (int k = 0; k < 3; ++k) {
            mix(b, 0.14 * k, tone('s', 0.09, 880, 880, 0.003, 2), 0.35);
            mix(b, 0.14 * k, tone('s', 0.09, 1108, 1108, 0.003, 2), 0.25);
        }
        lowpass(b, 5000);
    } else if (kind == "crash") {  // a car dropped on the ground: a bang, metal, glass
        mix(b, 0, thump(0.5, 110, 35, 4));
        mix(b, 0, hiss(0.6, 0.8, 0.05, 0.005, 5), 0.7);
        mix(b, 0.01, modes(0.9, {210, 470, 1130, 1890, 2750}, 5, 0.4), 0.5);
        mix(b, 0.05, modes(0.4, {3900, 5200, 6600}, 14, 0.3), 0.2);
        drive(b, 3);
        reverb(b, 0.2, 1.0);
    } else if (kind == "horn") {  // a car's horn, two notes at once
        mix(b, 0, tone('s', 0.45, 392, 392, 0.01, 0.5), 0.35);
        mix(b, 0, tone('s', 0.45, 494, 494, 0.01, 0.5), 0.3);
        lowpass(b, 1800);
        drive(b, 1.5);
        tail(b, 0.02);            // the tone is cut, not decayed: it would click
    } else if (kind == "hiss") {  // steam from a vent
        mix(b, 0, hiss(0.8, 0.9, 0.6, 0.1, 3), 0.6);
        highpass(b, 1500);
        tail(b, 0.02);
    } else if (kind == "glass") {  // a bottle shattering
        mix(b, 0, thump(0.08, 400, 200, 8), 0.5);
        for (int k = 0; k < 6; ++k)
            mix(b, 0.012 * k, modes(0.25, {2800 + 700.0 * k, 4100 + 900.0 * k}, 22, 0.3), 0.35);
        mix(b, 0, hiss(0.25, 1.0, 0.5, 0.01, 7), 0.4);
    } else if (kind == "menumove") {  // a soft, short tick
        mix(b, 0, tone('t', 0.055, 1400, 1250, 0.001, 70), 0.5);
        mix(b, 0, tone('n', 0.03, 2800, 2800, 0.001, 120), 0.15);
    } else if (kind == "menuselect") {  // confirmed: two notes up
        mix(b, 0, tone('t', 0.1, 1046.5, 1046.5, 0.002, 14), 0.45);
        mix(b, 0.07, tone('t', 0.25, 1568, 1568, 0.002, 9), 0.45);
        mix(b, 0.07, tone('n', 0.25, 3136, 3136, 0.002, 12), 0.15);
        reverb(b, 0.1, 0.5);
    }
    return b;
}

// Every blow at full loudness lands about here; `level` (dB) sets an
// effect above or below the blows. The music may not peak higher without
// clipping at the options' loudest setting, so the blows stay dense instead
// of peaky: at -18, with only their tips bent, they stood some 8 dB over the
// music's median in play and a fight sounded quiet.
const double kBlowLoudness = -15.0;
// No effect peaks above a blow's own peak, more than its level raises it:
// a door's slam or a bite's crunch, loud for an instant, stood 5 dB and
// more over the blows although they sounded no louder. Denser blows landing
// together reach full scale sooner: 1.5 dB lower than before, and a louder
// effect's level raises its ceiling only half as much.
const double kPeakDb = -9.5;
// The limiter starts this far under the ceiling: a soft knee this wide
// squeezes a blow's body up to its crack without the fizz of a hard clip.
const double kKneeDb = 9.0;

std::vector<double> bent(const Buf& b, double gain, double ceiling)
{
    double knee = ceiling * std::pow(10.0, -kKneeDb / 20);
    std::vector<double> out(b.size());
    for (size_t i = 0; i < b.size(); ++i) {
        double v = b[i] * gain, a = std::fabs(v);
        if (a > knee)
            v = std::copysign(knee + (ceiling - knee) * std::tanh((a - knee) / (ceiling - knee)),
                              v);
        out[i] = v;
    }
    return out;
}

// Mixed by loudness, not by peak: an effect is scaled to the blows'
// loudness plus its level, its highest samples bent under the ceiling, and
// the gain found again until the bent sound has that loudness (bending takes
// more off a blow than off a held tone, which then stood over the blows).
// Normalised to one peak, a held tone (GO, TIME UP) sounded two or three
// times louder than a blow.
bool write_wav(const std::string& path, Buf b, double level)
{
    const double target = kBlowLoudness + level;
    const double first = std::pow(10.0, (target - sfx_loudness(b)) / 20);
    double ceiling = std::pow(10.0, (kPeakDb + std::max(0.0, level) / 2) / 20);
    double gain = first;
    std::vector<double> out = bent(b, gain, ceiling);
    for (int pass = 0; pass < 8; ++pass) {
        double miss = target - sfx_loudness(out);
        if (std::fabs(miss) < 0.05)
            break;
        gain = std::min(gain * std::pow(10.0, miss / 20), first * 4);  // at most 12 dB of drive
        out = bent(b, gain, ceiling);
    }
    // Driven harder, an instant attack (the door's slam) no longer starts at
    // silence and would click: half a millisecond of fade-in, not heard.
    const size_t fade = std::min(out.size(), (size_t)(kEffectRate / 2000));
    for (size_t i = 0; i < fade; ++i)
        out[i] *= double(i) / fade;
    std::vector<int16_t> pcm(out.size());
    for (size_t i = 0; i < out.size(); ++i)
        pcm[i] = (int16_t)std::lround(out[i] * 32767);
    return write_pcm16(path, pcm);
}

void usage(FILE* f)
{
    std::fprintf(f,
                 "usage: nwd-sfxgen [--espeak PATH] EFFECTS OUTDIR\n"
                 "       nwd-sfxgen --convert IN OUT.wav\n"
                 "  EFFECTS  lines \"number file name sound[:take] [level]\" (# starts a comment);\n"
                 "           take 2 to 5: the sound struck a little differently\n"
                 "           level: dB above (below) the loudness of a blow, 0 if none\n"
                 "  OUTDIR   folder that receives one WAV file per distinct file name\n"
                 "  --espeak speech synthesiser used for the spoken effects\n"
                 "  --convert  makes a sound of any common kind (WAV of any encoding, ADPCM\n"
                 "           too, FLAC, Ogg, AIFF; any channels and rate) a WAV, 16-bit mono\n"
                 "           at 22050 Hz\n"
                 "  -h, --help, --version\n");
}

}  // namespace

int main(int argc, char** argv)
{
    diag_set_program("nwd-sfxgen");
    bool convert = false;
    int r = cli_parse(
        argc, argv, "nwd-sfxgen", "",
        {{"espeak", required_argument, nullptr, 'e'}, {"convert", no_argument, nullptr, 'c'}},
        usage, [&](int c, const char* v) {
            if (c == 'c')
                convert = true;
            else
                espeak_path = v;
            return 0;
        });
    if (r >= 0)
        return r;
    std::vector<const char*> pos(argv + optind, argv + argc);
    if (pos.size() != 2) {
        usage(stderr);
        return 2;
    }
    if (convert)
        return convert_sound(pos[0], pos[1]) ? 0 : 1;
    FILE* f = std::fopen(pos[0], "r");
    if (!f) {
        diag("%s: cannot read: %s\n", pos[0], std::strerror(errno));
        return 1;
    }
    char buf[256];
    int ln = 0, rc = 0;
    std::vector<std::string> done;
    while (std::fgets(buf, sizeof buf, f)) {
        ++ln;
        if (buf[0] == '#' || buf[0] == '\n')
            continue;
        int num;
        char file[64], name[64], kind[32];
        double level = 0;
        int fields = std::sscanf(buf, "%d %63s %63s %31s %lf", &num, file, name, kind, &level);
        if (fields < 4 || std::strchr(file, '/') || level < -40 || level > 12) {
            diag("%s:%d: expected \"number file name sound [level]\"\n", pos[0], ln);
            rc = 1;
            break;
        }
        // "kind:N" is take N of the sound; each starts from its own noise,
        // the same whatever came before it.
        int n = 1;
        if (char* colon = std::strchr(kind, ':')) {
            n = std::atoi(colon + 1);
            *colon = 0;
        }
        if (n < 1 || n > (int)(sizeof kTakes / sizeof kTakes[0])) {
            diag("%s:%d: no take %d\n", pos[0], ln, n);
            rc = 1;
            break;
        }
        take = kTakes[n - 1];
        noise_state = 0x1234567 + (uint32_t)(n - 1) * 0x9E3779B9u;
        Buf b = make(kind);
        if (b.empty()) {
            diag("%s:%d: unknown sound \"%s\"\n", pos[0], ln, kind);
            rc = 1;
            break;
        }
        if (std::find(done.begin(), done.end(), file) != done.end())
            continue;
        done.push_back(file);
        std::string path = std::string(pos[1]) + "/" + file;
        if (!write_wav(path, b, level)) {
            diag("%s: cannot write\n", path.c_str());
            rc = 1;
            break;
        }
    }
    std::fclose(f);
    return rc;
}
