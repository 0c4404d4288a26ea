// nwd-modrender: plays a module through the game's module library into a
// WAV file and prints what a mix engineer checks: the length before the song
// loops, the peak and loudness, and how many samples would clip.
#include <dumb.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void usage(FILE* f)
{
    std::fprintf(f,
                 "usage: nwd-modrender [--seconds S] MODULE [OUTPUT.wav]\n"
                 "  renders S seconds (default: the song's length, loop excluded) at\n"
                 "  22050 Hz stereo and prints length, peak, RMS and clipped samples\n");
}

bool write_wav(const char* path, const std::vector<int16_t>& pcm, int rate)
{
    std::string tmp = std::string(path) + ".tmp";
    FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f)
        return false;
    uint32_t data = (uint32_t)pcm.size() * 2;
    uint32_t hdr[] = {0x46464952,     36 + data,          0x45564157, 0x20746d66, 16,  0x00020001,
                      (uint32_t)rate, (uint32_t)rate * 4, 0x00100004, 0x61746164, data};
    bool ok =
        std::fwrite(hdr, 4, 11, f) == 11 && std::fwrite(pcm.data(), 2, pcm.size(), f) == pcm.size();
    ok = std::fclose(f) == 0 && ok;
    return ok && std::rename(tmp.c_str(), path) == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    double seconds = 0;
    std::vector<const char*> pos;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help")) {
            usage(stdout);
            return 0;
        } else if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) {
            seconds = std::atof(argv[++i]);
        } else if (argv[i][0] == '-') {
            usage(stderr);
            return 2;
        } else {
            pos.push_back(argv[i]);
        }
    }
    if (pos.empty() || pos.size() > 2) {
        usage(stderr);
        return 2;
    }
    dumb_register_stdfiles();
    // The game's loader order.
    DUH* d = dumb_load_it(pos[0]);
    if (!d)
        d = dumb_load_xm(pos[0]);
    if (!d)
        d = dumb_load_s3m(pos[0]);
    if (!d)
        d = dumb_load_mod(pos[0]);
    if (!d) {
        std::fprintf(stderr, "%s:0: not a module the game can play\n", pos[0]);
        return 1;
    }
    const int rate = 22050;
    double length = duh_get_length(d) / 65536.0;
    if (seconds <= 0)
        seconds = length;
    DUH_SIGRENDERER* r = duh_start_sigrenderer(d, 0, 2, 0);
    long total = (long)(seconds * rate), done = 0, clipped = 0;
    sample_t** buf = allocate_sample_buffer(2, 4096);
    std::vector<int16_t> pcm;
    double peak = 0, sum = 0;
    while (done < total) {
        long n = std::min(4096L, total - done);
        std::fill(buf[0], buf[0] + 2 * n, 0);
        long got = duh_sigrenderer_generate_samples(r, 1.0f, 65536.0f / rate, n, buf);
        if (got <= 0)
            break;
        for (long i = 0; i < 2 * got; ++i) {
            double v = buf[0][i] / 8388608.0;
            peak = std::max(peak, std::fabs(v));
            sum += v * v;
            clipped += std::fabs(v) > 1.0;
            pcm.push_back((int16_t)std::lround(std::clamp(v, -1.0, 32767.0 / 32768) * 32768));
        }
        done += got;
    }
    destroy_sample_buffer(buf);
    duh_end_sigrenderer(r);
    unload_duh(d);
    double rms = std::sqrt(sum / std::max<size_t>(1, pcm.size()));
    std::printf("%s: length %.1f s, peak %.1f dBFS, RMS %.1f dBFS, %ld clipped samples\n", pos[0],
                length, 20 * std::log10(std::max(peak, 1e-9)), 20 * std::log10(std::max(rms, 1e-9)),
                clipped);
    if (pos.size() == 2 && !write_wav(pos[1], pcm, rate)) {
        std::fprintf(stderr, "%s: cannot write\n", pos[1]);
        return 1;
    }
    return 0;
}
