// Reading WAV files of every common kind (PCM of 8 to 32 bits, floating
// point, A-law and mu-law, any number of channels and any rate) and writing
// the game's own kind.
#include "tools/sfxgen/wav.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/diag.h"

namespace {

const double kPi = 3.14159265358979;
// A dropped-in music piece or a long recording is a mistake as an effect.
const double kMaxSeconds = 60;

uint32_t le(const unsigned char* p, int n)
{
    uint32_t v = 0;
    for (int k = n - 1; k >= 0; --k)
        v = v << 8 | p[k];
    return v;
}

double mulaw(unsigned char u)
{
    u = ~u;
    int t = ((u & 0x0F) << 3) + 0x84;
    t <<= (u & 0x70) >> 4;
    return ((u & 0x80) ? 0x84 - t : t - 0x84) / 32768.0;
}

double alaw(unsigned char a)
{
    a ^= 0x55;
    int t = (a & 0x0F) << 4, seg = (a & 0x70) >> 4;
    t = seg ? (t + 0x108) << (seg - 1) : t + 8;
    return ((a & 0x80) ? t : -t) / 32768.0;
}

// Windowed sinc, low-passed below the lower of the two rates' Nyquist.
std::vector<double> resample(const std::vector<double>& in, int rate)
{
    if (rate == kEffectRate)
        return in;
    double step = (double)rate / kEffectRate, fc = std::min(1.0, 1.0 / step);
    int half = (int)std::ceil(8 / fc);
    std::vector<double> out((size_t)(in.size() / step));
    for (size_t n = 0; n < out.size(); ++n) {
        double x = n * step, sum = 0;
        long centre = (long)x;
        for (long k = centre - half + 1; k <= centre + half; ++k) {
            if (k < 0 || k >= (long)in.size())
                continue;
            double d = x - k, w = d / half;
            if (w <= -1 || w >= 1)
                continue;
            double sinc = d == 0 ? 1 : std::sin(kPi * fc * d) / (kPi * fc * d);
            sum +=
                in[k] * fc * sinc * (0.42 + 0.5 * std::cos(kPi * w) + 0.08 * std::cos(2 * kPi * w));
        }
        out[n] = sum;
    }
    return out;
}

}  // namespace

bool read_wav_file(const std::string& path, std::vector<double>& out, std::string& error)
{
    out.clear();
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = "cannot open";
        return false;
    }
    std::vector<unsigned char> d;
    unsigned char buf[65536];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0 && d.size() < (256u << 20);)
        d.insert(d.end(), buf, buf + n);
    std::fclose(f);
    if (d.size() < 12 || std::memcmp(d.data(), "RIFF", 4) || std::memcmp(d.data() + 8, "WAVE", 4)) {
        error = "not a WAV file (no RIFF WAVE header)";
        return false;
    }
    int format = -1, channels = 0, bits = 0, align = 0;
    long rate = 0;
    const unsigned char* data = nullptr;
    size_t data_size = 0;
    for (size_t at = 12; at + 8 <= d.size();) {
        size_t n = std::min<size_t>(le(&d[at + 4], 4), d.size() - at - 8);
        const unsigned char* c = &d[at + 8];
        if (!std::memcmp(&d[at], "fmt ", 4) && n >= 16) {
            format = (int)le(c, 2);
            channels = (int)le(c + 2, 2);
            rate = (long)le(c + 4, 4);
            align = (int)le(c + 12, 2);
            bits = (int)le(c + 14, 2);
            if (format == 0xFFFE && n >= 26)
                format = (int)le(c + 24, 2);  // the sub-format's tag
        } else if (!std::memcmp(&d[at], "data", 4) && !data) {
            data = c;  // a chunk cut short by the end of the file keeps what is there
            data_size = n;
        }
        at += 8 + n + (n & 1);
    }
    if (format < 0 || !data) {
        error = format < 0 ? "no format chunk" : "no data chunk";
        return false;
    }
    bool pcm = format == 1 && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
    bool flt = format == 3 && (bits == 32 || bits == 64);
    bool law = (format == 6 || format == 7) && bits == 8;
    if (!pcm && !flt && !law) {
        char text[120];
        std::snprintf(
            text, sizeof text,
            "format %d with %d bits a sample cannot be read: save it as PCM (8, 16, 24 or 32 bits) "
            "or floating point",
            format, bits);
        error = text;
        return false;
    }
    if (channels < 1 || channels > 16 || rate < 1000 || rate > 384000 ||
        align != channels * bits / 8) {
        char text[120];
        std::snprintf(text, sizeof text,
                      "%d channels at %ld Hz, %d bytes a frame: not a sound this can read",
                      channels, rate, align);
        error = text;
        return false;
    }
    size_t frames = data_size / align;
    if (frames == 0) {
        error = "holds no sound";
        return false;
    }
    if (frames > kMaxSeconds * rate) {
        char text[80];
        std::snprintf(text, sizeof text, "lasts %.0f s; an effect lasts at most %.0f s",
                      (double)frames / rate, kMaxSeconds);
        error = text;
        return false;
    }
    std::vector<double> mono(frames);
    int bytes = bits / 8;
    for (size_t i = 0; i < frames; ++i) {
        double sum = 0;
        for (int ch = 0; ch < channels; ++ch) {
            const unsigned char* s = data + i * align + ch * bytes;
            double v;
            if (format == 7)
                v = mulaw(*s);
            else if (format == 6)
                v = alaw(*s);
            else if (flt && bits == 32) {
                float x;
                uint32_t u = le(s, 4);
                std::memcpy(&x, &u, 4);
                v = x;
            } else if (flt) {
                double x;
                uint64_t u = (uint64_t)le(s + 4, 4) << 32 | le(s, 4);
                std::memcpy(&x, &u, 8);
                v = x;
            } else if (bits == 8) {
                v = (*s - 128) / 128.0;
            } else {
                // Sign-extend from the sample's top bit.
                int64_t x = le(s, bytes);
                if (x >> (bits - 1))
                    x -= (int64_t)1 << bits;
                v = (double)x / ((int64_t)1 << (bits - 1));
            }
            sum += std::isfinite(v) ? std::clamp(v, -1.0, 1.0) : 0.0;
        }
        mono[i] = sum / channels;
    }
    out = resample(mono, (int)rate);
    return true;
}

bool write_pcm16(const std::string& path, const std::vector<int16_t>& pcm)
{
    std::vector<unsigned char> out;
    auto u32 = [&](uint32_t v) {
        for (int k = 0; k < 4; ++k)
            out.push_back((unsigned char)(v >> (8 * k)));
    };
    auto u16 = [&](unsigned v) {
        out.push_back((unsigned char)v);
        out.push_back((unsigned char)(v >> 8));
    };
    auto tag = [&](const char* t) { out.insert(out.end(), t, t + 4); };
    uint32_t data = (uint32_t)pcm.size() * 2;
    tag("RIFF");
    u32(36 + data);
    tag("WAVE");
    tag("fmt ");
    u32(16);
    u16(1);
    u16(1);
    u32(kEffectRate);
    u32(kEffectRate * 2);
    u16(2);
    u16(16);
    tag("data");
    u32(data);
    for (int16_t s : pcm)
        u16((uint16_t)s);
    std::string tmp = path + ".tmp";
    FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok)
        std::remove(tmp.c_str());
    return ok && std::rename(tmp.c_str(), path.c_str()) == 0;
}

bool convert_wav(const std::string& in, const std::string& out)
{
    std::vector<double> b;
    std::string error;
    if (!read_wav_file(in, b, error)) {
        diag("%s: %s\n", in.c_str(), error.c_str());
        return false;
    }
    // The modder's own loudness is kept; only what would clip is held at full scale.
    std::vector<int16_t> pcm(b.size());
    for (size_t i = 0; i < b.size(); ++i)
        pcm[i] = (int16_t)std::clamp(std::lround(b[i] * 32768), -32768L, 32767L);
    if (!write_pcm16(out, pcm)) {
        diag("%s: cannot write\n", out.c_str());
        return false;
    }
    return true;
}

namespace {

// A biquad in direct form I, coefficients normalised by a0.
struct Biquad {
    double b0, b1, b2, a1, a2, x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    double step(double x)
    {
        double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1, x1 = x, y2 = y1, y1 = y;
        return y;
    }
};
Biquad biquad(double b0, double b1, double b2, double a0, double a1, double a2)
{
    return {b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0};
}

}  // namespace

// How loud an effect sounds, in dB: the ear's weighting of frequencies (a
// gentle rise above 1.5 kHz, little below 40 Hz) and the loudest 100 ms of
// it, so that a short blow and a held alarm compare as a player hears them.
double sfx_loudness(const std::vector<double>& b)
{
    const double A = std::pow(10.0, 4.0 / 40), shelf = 2 * kPi * 1681.97 / kEffectRate;
    const double sa = std::sin(shelf) / 2 * std::sqrt((A + 1 / A) * (1 / 0.7072 - 1) + 2);
    const double c = std::cos(shelf), r = 2 * std::sqrt(A) * sa;
    Biquad high = biquad(A * ((A + 1) + (A - 1) * c + r), -2 * A * ((A - 1) + (A + 1) * c),
                         A * ((A + 1) + (A - 1) * c - r), (A + 1) - (A - 1) * c + r,
                         2 * ((A - 1) - (A + 1) * c), (A + 1) - (A - 1) * c - r);
    const double low = 2 * kPi * 38.13 / kEffectRate, la = std::sin(low) / (2 * 0.5003);
    const double lc = std::cos(low);
    Biquad cut = biquad((1 + lc) / 2, -(1 + lc), (1 + lc) / 2, 1 + la, -2 * lc, 1 - la);
    const size_t window = (size_t)(0.1 * kEffectRate);
    std::vector<double> sq(b.size());
    for (size_t i = 0; i < b.size(); ++i) {
        double v = cut.step(high.step(b[i]));
        sq[i] = v * v;
    }
    // A sound shorter than the window is heard over the whole window.
    double sum = 0, best = 0;
    for (size_t i = 0; i < sq.size(); ++i) {
        sum += sq[i];
        if (i >= window)
            sum -= sq[i - window];
        best = std::max(best, sum);
    }
    return 10 * std::log10(std::max(best / window, 1e-12));
}
