// Tonal instruments are additive: each voice is a harmonic series whose
// partials pass a time-varying resonant low-pass (and vowel formants), so
// the sound stays band-limited and can sweep like an analogue filter. Every
// voice completes a whole number of cycles in the loop, which makes the loop
// seamless even for detuned ensembles; the part before the loop carries the
// attack (filter sweep, decay, noise transients). Drums are one-shots made of
// glides, filtered noise and struck modes.
#include "tools/modgen/synth.h"

#include <algorithm>
#include <cmath>

namespace mg {
namespace {

const double kPi = 3.14159265358979;
// Every sample is made as loud as 16 bits hold (a drum as loud as its hit,
// see oneshot): the music's level is set afterwards by the module's
// volumes, and any headroom here is level lost.
const double kFullScale = 32767;

// Tonal samples are rounded by a gentle saturation, a little warmth that
// takes the spikes off detuned voices and bright attacks, then played as loud
// as their held part was: the mix's peaks stand less over its body.
const double kToneDrive = 2;

uint32_t rng = 1;
double noise()
{
    rng ^= rng << 13;
    rng ^= rng >> 17;
    rng ^= rng << 5;
    return (double)(rng & 0xFFFF) / 32768.0 - 1.0;
}

using Buf = std::vector<double>;

enum Wave { SAW, SQUARE, TRI, SINE, ORGAN, EP };

struct Tonal {
    Wave wave = SAW;
    double base = 261.63;  // Hz the sample is made at
    double rate = 22050;
    double loop_sec = 0.5;  // loop length
    double head_sec = 0.2;  // attack part before the loop
    int voices = 1;
    double detune = 0;  // cycles per loop between neighbouring voices
    double sub = 0;     // a sine an octave down
    double cut0 = 8000, cut1 = 8000, cut_time = 0.1, q = 0.7;  // cutoff glide, resonance
    double track = 0;       // cutoff follows pitch: cutoff *= (f / base)^track... (fixed at base)
    double amp_end = 1;     // amplitude reached by the end of the head
    double amp_time = 0.1;  // time constant of that decay
    double formant[3] = {0, 0, 0};
    double tilt = 0;  // extra roll-off per harmonic, the partials' own decay
    double noise_amt = 0, noise_cut = 3000, noise_time = 0.02;  // attack breath or thump
    double fm_index0 = 0, fm_index1 = 0, fm_time = 0.3;         // electric piano
    double upper = 12;  // semitones above `base` kept free of aliasing
    double body = 0;    // the fundamental raised by this much: a bass's weight
};

double partial_amp(Wave w, int n)
{
    switch (w) {
    case SAW: return 1.0 / n;
    case SQUARE: return n % 2 ? 1.0 / n : 0;
    case TRI: return n % 2 ? 1.0 / (n * n) * ((n / 2) % 2 ? -1 : 1) : 0;
    case SINE: return n == 1 ? 1 : 0;
    case ORGAN:
        return n == 1   ? 1
               : n == 2 ? 0.7
               : n == 3 ? 0.45
               : n == 4 ? 0.35
               : n == 6 ? 0.2
               : n == 8 ? 0.15
                        : 0;
    case EP: return 0;
    }
    return 0;
}

// Resonant two-pole low-pass magnitude at f for cutoff fc.
double lp(double f, double fc, double q)
{
    double r = f / fc;
    return 1.0 / std::sqrt((1 - r * r) * (1 - r * r) + (r / q) * (r / q));
}

double formant_gain(const double* fm, double f)
{
    if (!fm[0])
        return 1;
    double g = 0.15;
    for (int k = 0; k < 3; ++k) {
        double bw = 80 + fm[k] * 0.08, d = (f - fm[k]) / bw;
        g += (k == 0 ? 1.0 : k == 1 ? 0.7 : 0.35) / (1 + d * d);
    }
    return g;
}

// Bessel J_n(x) by its series: the partials of a 1:1 FM pair.
double bessel(int n, double x)
{
    double sum = 0, term = 1;
    for (int k = 1; k <= n; ++k)
        term *= x / 2 / k;
    for (int m = 0; m < 30; ++m) {
        sum += term;
        term *= -(x / 2) * (x / 2) / ((m + 1) * (m + 1 + n));
    }
    return sum;
}

Patch render(const Tonal& t)
{
    Patch p;
    int L = (int)std::lround(t.loop_sec * t.rate), A = (int)std::lround(t.head_sec * t.rate);
    int k0 = (int)std::lround(t.base * L / t.rate);
    if (t.sub > 0 && k0 % 2)
        ++k0;  // the sub-octave needs whole cycles too
    double f0 = k0 * t.rate / L, nyq = t.rate * 0.47 / std::pow(2.0, t.upper / 12);
    Buf out(A + L, 0.0);
    const int kBlock = 32;
    std::vector<double> gains;
    for (int v = 0; v < t.voices; ++v) {
        double kv = k0 + (v - (t.voices - 1) / 2.0) * t.detune;
        if (t.voices % 2 == 0)
            kv = k0 + (v - t.voices / 2 + (v >= t.voices / 2)) * t.detune;
        kv = std::round(kv);
        double fv = kv * t.rate / L, vgain = t.voices > 1 ? (v == t.voices / 2 ? 1.0 : 0.75) : 1.0;
        int nmax = std::max(1, (int)(nyq / fv));
        for (int n = 1; n <= nmax; ++n) {
            double fn = fv * n;
            double base_amp = t.wave == EP ? 1 : partial_amp(t.wave, n);
            double extra = n == 1 ? t.body : 0;
            if (base_amp == 0)
                continue;
            // A lone voice's partials in sine phase make the wave's own shape;
            // all in cosine phase they summed to a pulse that set the mix's
            // peaks. Drawn for every partial, so the noise that follows stays.
            double r = noise();
            double w = 2 * kPi * fn / t.rate, ph = t.voices > 1 ? r * kPi : -kPi / 2;
            double c = std::cos(w), s = std::sin(w), x = std::cos(ph), y = std::sin(ph);
            double fg = formant_gain(t.formant, fn) * vgain;
            double g0 = 0;
            for (int i = 0; i < A + L; ++i) {
                if (i % kBlock == 0) {
                    double tt = std::min(i, A) / t.rate;
                    double fc = (t.cut1 + (t.cut0 - t.cut1) * std::exp(-tt / t.cut_time));
                    double amp = base_amp;
                    if (t.wave == EP) {
                        double idx =
                            t.fm_index1 + (t.fm_index0 - t.fm_index1) * std::exp(-tt / t.fm_time);
                        amp = std::fabs(bessel(n - 1, idx)) +
                              (n >= 2 ? std::fabs(bessel(n + 1, idx)) * 0.5 : 0);
                    }
                    double decay = t.tilt > 0 ? std::exp(-tt * t.tilt * (n - 1)) : 1;
                    g0 = (amp + extra) * lp(fn, fc, t.q) * fg * decay;
                }
                out[i] += x * g0;
                double nx = x * c - y * s;
                y = x * s + y * c;
                x = nx;
            }
        }
    }
    if (t.sub > 0) {
        double w = 2 * kPi * f0 / 2 / t.rate;
        for (int i = 0; i < A + L; ++i)
            out[i] += std::sin(w * i) * t.sub;
    }
    // Decay over the head; the loop holds the level reached.
    for (int i = 0; i < A + L; ++i) {
        double tt = std::min(i, A) / t.rate;
        out[i] *= t.amp_end + (1 - t.amp_end) * std::exp(-tt / t.amp_time);
    }
    if (t.noise_amt > 0) {
        double y = 0, c = 1 - std::exp(-2 * kPi * t.noise_cut / t.rate);
        for (int i = 0; i < A; ++i) {
            double tt = i / t.rate;
            y += c * (noise() - y);
            out[i] +=
                y * t.noise_amt * std::exp(-tt / t.noise_time) * std::min(1.0, (A - i) / 200.0);
        }
    }
    for (int i = 0; i < std::min(A + L, 24); ++i)
        out[i] *= i / 24.0;  // no click at the start
    // Rounded like the drums (see kToneDrive), at the loop's loudness.
    double peak = 1e-9, held = 1e-12;
    for (double v : out)
        peak = std::max(peak, std::fabs(v));
    for (int i = A; i < A + L; ++i)
        held += out[i] * out[i] / (peak * peak);
    double driven = 1e-12;
    for (int i = 0; i < A + L; ++i) {
        out[i] = std::tanh(kToneDrive * out[i] / peak) / std::tanh(kToneDrive);
        if (i >= A)
            driven += out[i] * out[i];
    }
    double gain = std::min(1.0, std::sqrt(held / driven));
    p.data.resize(out.size());
    for (size_t i = 0; i < out.size(); ++i)
        p.data[i] = (int16_t)std::lround(out[i] * gain * kFullScale);
    p.loop_start = A;
    p.loop_len = L;
    p.rate = t.rate;
    p.pitch = f0;
    return p;
}

// The loudest 30 ms of a sound: how loud a hit is heard.
double short_rms(const Buf& b)
{
    const size_t w = 660;
    double e = 0, top = 0;
    for (size_t i = 0; i < b.size(); ++i) {
        e += b[i] * b[i];
        if (i >= w)
            e -= b[i - w] * b[i - w];
        top = std::max(top, e);
    }
    return std::sqrt(top / w);
}

void normalise(Buf& b)
{
    double peak = 1e-9;
    for (double v : b)
        peak = std::max(peak, std::fabs(v));
    for (double& v : b)
        v /= peak;
}

// Drums are driven into a soft clip and then played as loud as before: the
// hit keeps its loudness with a lower peak, which lets the whole song be
// louder under the same ceiling.
const double kDrumDrive = 3;

// One-shot drums, made at the output rate and played at C4.
Patch oneshot(const Buf& in)
{
    Patch p;
    Buf b = in;
    normalise(b);
    double loud = short_rms(b);
    for (double& v : b)
        v = std::tanh(kDrumDrive * v);
    normalise(b);
    double gain = std::min(1.0, loud / std::max(1e-9, short_rms(b)));
    p.data.resize(b.size());
    for (size_t i = 0; i < b.size(); ++i)
        p.data[i] = (int16_t)std::lround(b[i] * gain * kFullScale);
    p.rate = 22050;
    p.pitch = 261.63;
    p.hold = false;
    p.release = 0;
    return p;
}

const double R = 22050;

Buf glide(double sec, double f0, double f1, double speed, double decay)
{
    Buf b((size_t)(sec * R));
    double ph = 0;
    for (size_t i = 0; i < b.size(); ++i) {
        double t = i / R;
        ph += 2 * kPi * (f1 + (f0 - f1) * std::exp(-t * speed)) / R;
        b[i] = std::sin(ph) * std::exp(-t * decay);
    }
    return b;
}

// Noise through a band-pass (centre, width) with an attack and decay rate.
Buf band(double sec, double fc, double bw, double attack, double decay)
{
    Buf b((size_t)(sec * R));
    double r = std::exp(-kPi * bw / R), a1 = 2 * r * std::cos(2 * kPi * fc / R), a2 = -r * r,
           y1 = 0, y2 = 0;
    for (size_t i = 0; i < b.size(); ++i) {
        double t = i / R, y = (1 - r) * noise() + a1 * y1 + a2 * y2;
        y2 = y1;
        y1 = y;
        double env = t < attack ? t / attack : std::exp(-(t - attack) * decay);
        b[i] = y * env * 4;
    }
    return b;
}

// High-passed noise: the sizzle of hats and cymbals.
Buf sizzle(double sec, double decay, double cut)
{
    Buf b((size_t)(sec * R));
    double y = 0, c = 1 - std::exp(-2 * kPi * cut / R);
    for (size_t i = 0; i < b.size(); ++i) {
        double n = noise();
        y += c * (n - y);
        b[i] = (n - y) * std::exp(-i / R * decay);
    }
    return b;
}

// Square partials at inharmonic ratios: the metallic core of a cymbal.
Buf metal(double sec, double f, double decay)
{
    const double ratios[6] = {1, 1.342, 1.2312, 1.6532, 1.9523, 2.1523};
    Buf b((size_t)(sec * R));
    for (double r : ratios) {
        double ph = 0;
        for (size_t i = 0; i < b.size(); ++i) {
            ph += f * r / R;
            b[i] += (std::fmod(ph, 1.0) < 0.5 ? 1 : -1) * std::exp(-i / R * decay) / 6;
        }
    }
    double y = 0, c = 1 - std::exp(-2 * kPi * 6000 / R);
    for (double& v : b) {
        y += c * (v - y);
        v -= y;
    }
    return b;
}

void add(Buf& b, const Buf& s, double g, double at = 0)
{
    size_t o = (size_t)(at * R);
    if (b.size() < o + s.size())
        b.resize(o + s.size());
    for (size_t i = 0; i < s.size(); ++i)
        b[o + i] += s[i] * g;
}

void saturate(Buf& b, double amount)
{
    double peak = 1e-9;
    for (double v : b)
        peak = std::max(peak, std::fabs(v));
    for (double& v : b)
        v = std::tanh(amount * v / peak);
}

bool drum(const std::string& n, Buf& b)
{
    if (n == "kick") {  // punchy electronic kick: beater, a falling body, a short tail
        add(b, glide(0.35, 340, 54, 30, 10), 1.0);
        add(b, band(0.012, 3200, 3000, 0.0003, 280), 0.35);
        add(b, band(0.03, 1100, 900, 0.0003, 120), 0.2);
        saturate(b, 2.2);
    } else if (n == "softkick") {  // round, short, for brushed kits
        add(b, glide(0.3, 150, 55, 30, 11), 1.0);
        add(b, band(0.02, 900, 800, 0.001, 150), 0.15);
    } else if (n == "snare") {  // two drumhead modes, the wires, a crack
        add(b, glide(0.15, 260, 185, 40, 25), 0.7);
        add(b, glide(0.1, 340, 330, 1, 35), 0.3);
        add(b, band(0.3, 4500, 5000, 0.001, 16), 1.0);
        add(b, band(0.08, 1800, 1500, 0.001, 40), 0.5);
        add(b, band(0.006, 6000, 4000, 0.0002, 500), 0.3);
        saturate(b, 1.6);
    } else if (n == "clap") {
        for (int k = 0; k < 3; ++k)
            add(b, band(0.02, 1300, 900, 0.0005, 160), 0.8, 0.011 * k);
        add(b, band(0.35, 1250, 900, 0.0005, 11), 1.0, 0.033);
    } else if (n == "hat") {
        add(b, sizzle(0.07, 65, 7500), 1.0);
        add(b, metal(0.07, 410, 70), 0.6);
    } else if (n == "ohat") {
        add(b, sizzle(0.45, 7, 6500), 1.0);
        add(b, metal(0.45, 410, 7), 0.5);
    } else if (n == "ride") {  // a jazz ride: a bell ping on a washy sizzle
        add(b, metal(1.4, 520, 2.5), 0.7);
        add(b, sizzle(1.4, 3.5, 5000), 0.35);
        add(b, glide(0.6, 2900, 2900, 1, 6), 0.12);
    } else if (n == "crash") {
        add(b, sizzle(2.0, 1.8, 3500), 1.0);
        add(b, metal(2.0, 300, 2.2), 0.6);
    } else if (n == "rim") {
        add(b, glide(0.05, 1700, 1600, 1, 70), 0.8);
        add(b, band(0.03, 3000, 2000, 0.0005, 120), 0.5);
    } else if (n == "brush") {  // a brush swept on the snare
        add(b, band(0.28, 3500, 5000, 0.07, 12), 1.0);
    } else if (n == "brushtap") {
        add(b, band(0.15, 3000, 4000, 0.002, 25), 1.0);
        add(b, glide(0.08, 220, 180, 20, 40), 0.3);
    } else if (n == "shaker") {
        add(b, band(0.09, 7000, 4000, 0.02, 40), 1.0);
    } else if (n == "tom") {
        add(b, glide(0.5, 200, 95, 12, 7), 1.0);
        add(b, band(0.03, 2000, 2000, 0.001, 100), 0.2);
    } else if (n == "snap") {  // finger snap
        add(b, band(0.06, 2200, 1400, 0.0005, 70), 1.0);
        add(b, band(0.02, 5000, 3000, 0.0005, 200), 0.4);
    } else if (n == "kick808") {  // a long tuned sub kick for half-time and breaks
        add(b, glide(0.7, 180, 52, 22, 5), 1.0);
        add(b, band(0.01, 2500, 2500, 0.0003, 300), 0.3);
        saturate(b, 1.6);
    } else if (n == "breakkick") {  // a dry acoustic-style kick, for breakbeats
        add(b, glide(0.25, 160, 62, 35, 14), 1.0);
        add(b, band(0.04, 700, 600, 0.0003, 70), 0.35);
        add(b, band(0.01, 3500, 3000, 0.0003, 300), 0.25);
        saturate(b, 1.8);
    } else if (n == "breaksnare") {  // a fat snare in a room
        add(b, glide(0.2, 220, 170, 30, 18), 0.8);
        add(b, band(0.45, 3800, 4500, 0.001, 9), 1.0);
        add(b, band(0.12, 1400, 1200, 0.001, 28), 0.6);
        saturate(b, 2.0);
        Buf room = b;
        for (size_t i = 0; i < room.size(); ++i)  // a few early reflections
            for (double d : {0.011, 0.019, 0.029})
                if (i + (size_t)(d * R) < b.size())
                    b[i + (size_t)(d * R)] += room[i] * 0.25;
    } else if (n == "cowbell") {  // two detuned squares through a band
        Buf c((size_t)(0.3 * R));
        double p1 = 0, p2 = 0;
        for (size_t i = 0; i < c.size(); ++i) {
            p1 += 540 / R, p2 += 800 / R;
            double t = i / R,
                   v = (std::fmod(p1, 1.0) < 0.5 ? 1 : -1) + (std::fmod(p2, 1.0) < 0.5 ? 1 : -1);
            c[i] = v * (t < 0.01 ? 1.0 : std::exp(-(t - 0.01) * 14)) * 0.4;
        }
        double y1 = 0, y2 = 0, rr = std::exp(-kPi * 900 / R),
               a1 = 2 * rr * std::cos(2 * kPi * 800 / R);
        for (double& v : c) {
            double y = (1 - rr) * v + a1 * y1 - rr * rr * y2;
            y2 = y1, y1 = y, v = y * 4;
        }
        add(b, c, 1.0);
    } else if (n == "tamb") {  // tambourine: jingles shaken, bright and short
        for (int k = 0; k < 3; ++k)
            add(b, band(0.12, 7500 + 900 * k, 3000, 0.003, 30), 0.6, 0.004 * k);
        add(b, metal(0.1, 1700, 35), 0.3);
    } else if (n == "zap") {  // an electro laser: a fast falling sine
        add(b, glide(0.18, 2400, 180, 25, 16), 1.0);
    } else if (n == "anvil") {  // scrap metal struck: inharmonic ringing, for the junkyard
        const double f[5] = {587, 1219, 1873, 2629, 3517};
        Buf m((size_t)(0.6 * R));
        for (int k = 0; k < 5; ++k)
            for (size_t i = 0; i < m.size(); ++i)
                m[i] += std::sin(2 * kPi * f[k] * i / R + k) * std::exp(-i / R * (7 + 4 * k)) /
                        (1 + 0.3 * k);
        add(b, m, 0.7);
        add(b, band(0.02, 3000, 3000, 0.0003, 200), 0.5);
        add(b, glide(0.1, 240, 120, 30, 30), 0.4);
        saturate(b, 1.4);
    } else if (n == "boom") {  // a sub drop under a boss's entry
        add(b, glide(1.6, 90, 30, 3, 2.2), 1.0);
        add(b, band(0.6, 400, 600, 0.002, 6), 0.4);
        saturate(b, 1.5);
    } else if (n == "riser") {  // noise swelling into the next section
        Buf r((size_t)(2.0 * R));
        double y1 = 0, y2 = 0;
        for (size_t i = 0; i < r.size(); ++i) {
            double t = i / R, fc = 400 * std::pow(20.0, t / 2.0),
                   rr = std::exp(-kPi * fc * 0.4 / R);
            double y = (1 - rr) * noise() + 2 * rr * std::cos(2 * kPi * fc / R) * y1 - rr * rr * y2;
            y2 = y1;
            y1 = y;
            r[i] = y * (t / 2.0) * (t / 2.0) * std::min(1.0, (2.0 - t) * 40);
        }
        add(b, r, 1.0);
    } else {
        return false;
    }
    for (size_t i = 0; i < std::min<size_t>(b.size(), 400); ++i)
        b[b.size() - 1 - i] *= i / 400.0;
    return true;
}

bool tonal(const std::string& n, Tonal& t, Patch& p)
{
    // Envelope defaults: a held note at full level, a short release.
    if (n == "acid") {
        t.base = 65.41, t.q = 5, t.cut0 = 2600, t.cut1 = 380, t.cut_time = 0.09;
        t.amp_end = 0.6, t.amp_time = 0.25, t.head_sec = 0.45, t.loop_sec = 0.25, t.upper = 24;
        p.release = 0.08, p.volume = 46;
    } else if (n == "synthbass") {
        t.base = 65.41, t.voices = 2, t.detune = 1, t.sub = 0.3, t.q = 1.4, t.cut0 = 2000,
        t.cut1 = 520;
        t.cut_time = 0.12, t.amp_end = 0.75, t.amp_time = 0.3, t.head_sec = 0.4, t.loop_sec = 0.5,
        t.upper = 24, t.body = 1.0;
        p.release = 0.08, p.volume = 50;
    } else if (n == "subbass") {
        t.wave = TRI, t.base = 65.41, t.cut0 = 400, t.cut1 = 400, t.noise_amt = 0.15,
        t.noise_cut = 1200;
        t.noise_time = 0.01, t.head_sec = 0.1, t.loop_sec = 0.25, t.upper = 24;
        p.release = 0.1, p.volume = 54;
    } else if (n == "reese") {
        t.base = 65.41, t.voices = 3, t.detune = 2, t.q = 1.0, t.cut0 = 1200, t.cut1 = 800,
        t.cut_time = 0.2;
        t.head_sec = 0.2, t.loop_sec = 1.0, t.upper = 24, t.body = 0.8;
        p.release = 0.1, p.volume = 44;
    } else if (n == "upright") {  // plucked double bass
        t.base = 65.41, t.q = 0.8, t.cut0 = 1400, t.cut1 = 450, t.cut_time = 0.1, t.tilt = 0.9;
        t.amp_end = 0.35, t.amp_time = 0.25, t.noise_amt = 0.35, t.noise_cut = 600,
        t.noise_time = 0.015;
        t.head_sec = 0.6, t.loop_sec = 0.25, t.upper = 24, t.body = 0.8;
        p.decay = 1.6, p.sustain = 0.0, p.release = 0.12, p.volume = 56;
    } else if (n == "softbass") {  // round electric bass, fingers
        t.wave = SAW, t.base = 65.41, t.q = 0.7, t.cut0 = 900, t.cut1 = 380, t.cut_time = 0.15;
        t.amp_end = 0.7, t.amp_time = 0.3, t.head_sec = 0.5, t.loop_sec = 0.25, t.upper = 24;
        t.body = 1.0;
        p.decay = 2.5, p.sustain = 0.3, p.release = 0.1, p.volume = 52;
    } else if (n == "fmbass") {  // a plucked, growling bass: an FM pair closing fast
        t.wave = EP, t.base = 65.41, t.fm_index0 = 4.5, t.fm_index1 = 1.6, t.fm_time = 0.07;
        t.cut0 = 3200, t.cut1 = 1400, t.cut_time = 0.1, t.q = 0.9;
        t.head_sec = 0.5, t.loop_sec = 0.25, t.upper = 24;
        t.body = 1.6;
        p.decay = 1.0, p.sustain = 0.45, p.release = 0.08, p.volume = 50;
    } else if (n == "guitar") {  // an overdriven synth guitar: detuned saws in a cabinet
        t.base = 130.81, t.voices = 2, t.detune = 2, t.q = 1.3, t.cut0 = 4500, t.cut1 = 2600,
        t.cut_time = 0.15;
        t.formant[0] = 700, t.formant[1] = 1600, t.formant[2] = 3000, t.noise_amt = 0.15,
        t.noise_cut = 4000, t.noise_time = 0.01;
        t.head_sec = 0.3, t.loop_sec = 0.5, t.upper = 19;
        p.release = 0.1, p.volume = 38, p.vib_depth = 3, p.vib_rate = 12, p.vib_sweep = 100;
    } else if (n == "supersaw") {
        t.base = 523.25, t.voices = 7, t.detune = 2, t.q = 0.8, t.cut0 = 5000, t.cut1 = 3600,
        t.cut_time = 0.2;
        t.head_sec = 0.2, t.loop_sec = 0.8, t.rate = 32000;
        p.release = 0.25, p.volume = 40, p.vib_depth = 3, p.vib_rate = 12, p.vib_sweep = 40;
    } else if (n == "square") {  // a hollow chiptune-like lead
        t.wave = SQUARE, t.base = 523.25, t.voices = 2, t.detune = 1, t.cut0 = 5000, t.cut1 = 3500;
        t.head_sec = 0.15, t.loop_sec = 0.6, t.rate = 32000;
        p.release = 0.15, p.volume = 36, p.vib_depth = 4, p.vib_rate = 14, p.vib_sweep = 60;
    } else if (n == "pluck") {
        t.base = 261.63, t.voices = 2, t.detune = 1, t.q = 1.6, t.cut0 = 5000, t.cut1 = 500,
        t.cut_time = 0.07;
        t.amp_end = 0.25, t.amp_time = 0.18, t.head_sec = 0.5, t.loop_sec = 0.4;
        p.decay = 0.8, p.sustain = 0, p.release = 0.15, p.volume = 40;
    } else if (n == "stab") {  // a chord stab, bright and short
        t.base = 261.63, t.voices = 5, t.detune = 2, t.q = 1.2, t.cut0 = 6000, t.cut1 = 1500,
        t.cut_time = 0.12;
        t.amp_end = 0.4, t.amp_time = 0.2, t.head_sec = 0.4, t.loop_sec = 0.6;
        p.decay = 0.6, p.sustain = 0.2, p.release = 0.1, p.volume = 34;
    } else if (n == "brass") {
        t.base = 261.63, t.voices = 3, t.detune = 1, t.q = 0.9, t.cut0 = 600, t.cut1 = 3000,
        t.cut_time = 0.06;
        t.head_sec = 0.25, t.loop_sec = 0.6;
        p.attack = 0.02, p.release = 0.15, p.volume = 40, p.vib_depth = 3, p.vib_rate = 10,
        p.vib_sweep = 80;
    } else if (n == "sax") {  // a breathy reed, for smoky melodies
        t.base = 261.63, t.q = 0.7, t.cut0 = 2600, t.cut1 = 2000, t.formant[0] = 550,
        t.formant[1] = 1500;
        t.upper = 24;
        t.formant[2] = 2600, t.noise_amt = 0.2, t.noise_cut = 2500, t.noise_time = 0.05;
        t.head_sec = 0.2, t.loop_sec = 0.5;
        p.attack = 0.04, p.release = 0.2, p.volume = 42, p.vib_depth = 5, p.vib_rate = 9,
        p.vib_sweep = 120;
    } else if (n == "flute") {
        t.wave = TRI, t.base = 523.25, t.cut0 = 4000, t.cut1 = 4000, t.noise_amt = 0.3,
        t.noise_cut = 3500;
        t.noise_time = 0.06, t.head_sec = 0.2, t.loop_sec = 0.5, t.rate = 32000;
        p.attack = 0.05, p.release = 0.25, p.volume = 42, p.vib_depth = 4, p.vib_rate = 8,
        p.vib_sweep = 100;
    } else if (n == "epiano") {  // tines: a 1:1 FM pair losing its bite
        t.wave = EP, t.base = 261.63, t.fm_index0 = 2.2, t.fm_index1 = 0.5, t.fm_time = 0.25;
        t.cut0 = 9000, t.cut1 = 9000, t.head_sec = 0.6, t.loop_sec = 0.25;
        p.decay = 3.0, p.sustain = 0.0, p.release = 0.25, p.volume = 44;
    } else if (n == "piano") {
        t.base = 261.63, t.q = 0.6, t.cut0 = 5000, t.cut1 = 1400, t.cut_time = 0.3, t.tilt = 1.2;
        t.noise_amt = 0.12, t.noise_cut = 2500, t.noise_time = 0.01, t.amp_end = 0.5,
        t.amp_time = 0.25;
        t.head_sec = 0.8, t.loop_sec = 0.25;
        p.decay = 3.5, p.sustain = 0.0, p.release = 0.3, p.volume = 46;
    } else if (n == "vibes") {
        t.wave = ORGAN, t.base = 523.25, t.cut0 = 2000, t.cut1 = 700, t.cut_time = 0.08, t.q = 0.6;
        t.amp_end = 0.6, t.amp_time = 0.2, t.head_sec = 0.4, t.loop_sec = 0.5, t.rate = 32000;
        p.decay = 2.5, p.sustain = 0.0, p.release = 0.4, p.volume = 40;
    } else if (n == "organ") {
        t.wave = ORGAN, t.base = 261.63, t.voices = 2, t.detune = 1, t.cut0 = 5000, t.cut1 = 5000;
        t.head_sec = 0.05, t.loop_sec = 1.0;
        p.release = 0.1, p.volume = 34;
    } else if (n == "pad") {
        t.base = 261.63, t.voices = 5, t.detune = 1, t.q = 0.9, t.cut0 = 1800, t.cut1 = 1800;
        t.head_sec = 0.05, t.loop_sec = 1.0;
        p.attack = 0.5, p.release = 1.0, p.volume = 30;
    } else if (n == "warmpad") {
        t.wave = TRI, t.base = 261.63, t.voices = 5, t.detune = 1, t.cut0 = 1200, t.cut1 = 1200;
        t.head_sec = 0.05, t.loop_sec = 1.0;
        p.attack = 0.9, p.release = 1.5, p.volume = 34;
    } else if (n == "strings") {
        t.base = 261.63, t.voices = 7, t.detune = 1, t.q = 0.7, t.cut0 = 3000, t.cut1 = 3000;
        t.formant[0] = 400, t.formant[1] = 1100, t.formant[2] = 3000, t.head_sec = 0.05,
        t.loop_sec = 1.0;
        p.attack = 0.3, p.release = 0.6, p.volume = 30, p.vib_depth = 2, p.vib_rate = 10,
        p.vib_sweep = 150;
    } else if (n == "choir") {
        t.base = 261.63, t.voices = 5, t.detune = 1, t.cut0 = 3500, t.cut1 = 3500;
        t.formant[0] = 750, t.formant[1] = 1150, t.formant[2] = 2700, t.head_sec = 0.05,
        t.loop_sec = 1.0;
        p.attack = 0.4, p.release = 0.9, p.volume = 30, p.vib_depth = 2, p.vib_rate = 8,
        p.vib_sweep = 200;
    } else if (n == "glass") {  // a soft sine pad with an octave shimmer
        t.wave = ORGAN, t.base = 523.25, t.voices = 3, t.detune = 1, t.cut0 = 1500, t.cut1 = 1500;
        t.head_sec = 0.05, t.loop_sec = 1.0, t.rate = 32000;
        p.attack = 0.6, p.release = 1.5, p.volume = 30;
    } else {
        return false;
    }
    return true;
}

}  // namespace

const char* preset_names()
{
    return "acid synthbass subbass reese upright softbass supersaw square pluck stab brass sax "
           "flute "
           "epiano piano vibes organ pad warmpad strings choir glass kick softkick snare clap hat "
           "ohat "
           "ride crash rim brush brushtap shaker tom snap boom riser kick808 breakkick breaksnare "
           "cowbell tamb zap anvil fmbass guitar";
}

bool make_patch(const std::string& preset, const PatchKnobs& k, Patch& out)
{
    rng = 1;  // the same preset always sounds the same
    Tonal t;
    Patch env;
    Buf b;
    if (drum(preset, b)) {
        out = oneshot(b);
    } else if (tonal(preset, t, env)) {
        t.cut0 *= k.bright;
        t.cut1 *= k.bright;
        out = render(t);
        out.attack = env.attack, out.decay = env.decay, out.sustain = env.sustain,
        out.release = env.release;
        out.volume = env.volume, out.vib_depth = env.vib_depth, out.vib_rate = env.vib_rate;
        out.vib_sweep = env.vib_sweep;
    } else {
        return false;
    }
    if (k.attack >= 0)
        out.attack = k.attack;
    if (k.decay >= 0)
        out.decay = k.decay;
    if (k.sustain >= 0)
        out.sustain = k.sustain;
    if (k.release >= 0)
        out.release = k.release;
    if (k.volume >= 0)
        out.volume = k.volume;
    if (k.pan >= 0)
        out.pan = k.pan;
    if (k.vib >= 0)
        out.vib_depth = k.vib;
    return true;
}

}  // namespace mg
