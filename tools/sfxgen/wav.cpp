// Reading sounds of every common kind through libsndfile (WAV of any
// encoding, ADPCM included, FLAC, Ogg, AIFF), resampled with libsoxr, and
// writing the game's own kind.
#include "tools/sfxgen/wav.h"

#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/diag.h"
#include "fileio/byteorder.h"
#include "fileio/fileio.h"

namespace {

const double kPi = 3.14159265358979;
// A dropped-in music piece or a long recording is a mistake as an effect.
const double kMaxSeconds = 60;
// Room for a minute of many channels at a high rate, and no more.
const long kMaxFileBytes = 256L << 20;

// libsndfile reads the file from memory: the bytes were taken through the
// bounded reader, which never waits on a FIFO nor reads without end.
struct Memory {
    const unsigned char* p;
    sf_count_t size, at;
};

sf_count_t mem_length(void* user) { return static_cast<Memory*>(user)->size; }
sf_count_t mem_seek(sf_count_t offset, int whence, void* user)
{
    Memory* m = static_cast<Memory*>(user);
    sf_count_t to = whence == SEEK_SET   ? offset
                    : whence == SEEK_CUR ? m->at + offset
                                         : m->size + offset;
    m->at = std::clamp<sf_count_t>(to, 0, m->size);
    return m->at;
}
sf_count_t mem_read(void* out, sf_count_t n, void* user)
{
    Memory* m = static_cast<Memory*>(user);
    sf_count_t k = std::min(n, m->size - m->at);
    if (k > 0)
        std::memcpy(out, m->p + m->at, (size_t)k);
    m->at += std::max<sf_count_t>(k, 0);
    return std::max<sf_count_t>(k, 0);
}
sf_count_t mem_write(const void*, sf_count_t, void*) { return 0; }
sf_count_t mem_tell(void* user) { return static_cast<Memory*>(user)->at; }

// To kEffectRate; the game's own rate passes untouched.
bool resample(std::vector<double>& samples, long rate, std::string& error)
{
    if (rate == kEffectRate)
        return true;
    size_t out_len = (size_t)std::llround((double)samples.size() * kEffectRate / rate);
    std::vector<double> out(out_len);
    size_t done = 0;
    soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
    soxr_quality_spec_t q = soxr_quality_spec(SOXR_HQ, 0);
    soxr_error_t e = soxr_oneshot((double)rate, kEffectRate, 1, samples.data(), samples.size(),
                                  nullptr, out.data(), out.size(), &done, &io, &q, nullptr);
    if (e) {
        error = std::string("cannot be resampled: ") + e;
        return false;
    }
    out.resize(done);
    samples.swap(out);
    return true;
}

}  // namespace

bool read_sound_file(const std::string& path, std::vector<double>& out, std::string& error)
{
    out.clear();
    char* bytes = nullptr;
    long size = 0;
    const char* why = "";
    if (file_read_all(path.c_str(), kMaxFileBytes, &bytes, &size, &why) != FILE_OK) {
        error = std::string("cannot read: ") + why;
        return false;
    }
    Memory m{reinterpret_cast<unsigned char*>(bytes), size, 0};
    SF_VIRTUAL_IO io{mem_length, mem_seek, mem_read, mem_write, mem_tell};
    SF_INFO info{};
    SNDFILE* sf = sf_open_virtual(&io, SFM_READ, &info, &m);
    if (!sf) {
        error = std::string("not a sound file this can read (WAV, FLAC, Ogg, AIFF): ") +
                sf_strerror(nullptr);
        std::free(bytes);
        return false;
    }
    bool ok = false;
    char text[120];
    if (info.channels < 1 || info.channels > 16 || info.samplerate < 1000 ||
        info.samplerate > 384000) {
        std::snprintf(text, sizeof text, "%d channels at %d Hz: not a sound this can read",
                      info.channels, info.samplerate);
        error = text;
    } else if (info.frames <= 0) {
        error = "holds no sound";
    } else if (info.frames > kMaxSeconds * info.samplerate) {
        std::snprintf(text, sizeof text, "lasts %.0f s; an effect lasts at most %.0f s",
                      (double)info.frames / info.samplerate, kMaxSeconds);
        error = text;
    } else {
        // Integer samples come scaled to -1..1 by their full scale, so a
        // 16-bit sample is exactly what it was divided by 32768.
        std::vector<double> frames((size_t)info.frames * info.channels);
        sf_count_t got = sf_readf_double(sf, frames.data(), info.frames);
        if (got <= 0) {
            error = "holds no sound";
        } else {
            out.resize((size_t)got);
            for (size_t i = 0; i < out.size(); ++i) {
                double sum = 0;
                for (int ch = 0; ch < info.channels; ++ch) {
                    double v = frames[i * info.channels + ch];
                    sum += std::isfinite(v) ? std::clamp(v, -1.0, 1.0) : 0.0;
                }
                out[i] = sum / info.channels;
            }
            ok = resample(out, info.samplerate, error);
        }
    }
    sf_close(sf);
    std::free(bytes);
    if (!ok)
        out.clear();
    return ok;
}

bool write_pcm16(const std::string& path, const std::vector<int16_t>& pcm)
{
    std::vector<unsigned char> out;
    // Little-endian, as WAV is, whatever the machine is.
    auto u32 = [&](uint32_t v) {
        uint8_t le[4];
        put_le32(le, v);
        out.insert(out.end(), le, le + 4);
    };
    auto u16 = [&](unsigned v) {
        uint8_t le[2];
        put_le16(le, (uint16_t)v);
        out.insert(out.end(), le, le + 2);
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
    return file_write_all(path.c_str(), out.data(), out.size());
}

bool convert_sound(const std::string& in, const std::string& out)
{
    std::vector<double> b;
    std::string error;
    if (!read_sound_file(in, b, error)) {
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
