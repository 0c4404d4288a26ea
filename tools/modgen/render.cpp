// nwd-modrender: plays a module through the game's module library into a
// WAV file and prints what a mix engineer checks: the length before the song
// loops, the peak and loudness, and how many samples would clip.
#include <aldumb.h>
#include <allegro.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "audio/music.h"
#include "engine/diag.h"
#include "fileio/byteorder.h"
#include "fileio/fileio.h"
#include "tools/common/cli.h"

namespace {

void usage(FILE* f)
{
    std::fprintf(f,
                 "usage: nwd-modrender [--seconds S] [--volume V] MODULE [OUTPUT.wav]\n"
                 "  renders S seconds (default: the song's length, loop excluded) at\n"
                 "  22050 Hz stereo and prints length, peak, RMS and clipped samples\n"
                 "  --volume  the game's music volume V (0..256, default 256: full scale);\n"
                 "            the game's default is 144, and it clips where this does\n"
                 "  -h, --help, --version\n");
}

// A WAV is little-endian whatever the machine is: header and samples are
// laid out byte by byte.
bool write_wav(const char* path, const std::vector<int16_t>& pcm, int rate, char* why,
               size_t why_size)
{
    uint32_t data = (uint32_t)pcm.size() * 2;
    std::vector<uint8_t> bytes(44 + data);
    uint8_t* p = bytes.data();
    std::memcpy(p, "RIFF", 4);
    put_le32(p + 4, 36 + data);
    std::memcpy(p + 8, "WAVEfmt ", 8);
    put_le32(p + 16, 16);
    put_le16(p + 20, 1);  // PCM
    put_le16(p + 22, 2);  // stereo
    put_le32(p + 24, (uint32_t)rate);
    put_le32(p + 28, (uint32_t)rate * 4);
    put_le16(p + 32, 4);
    put_le16(p + 34, 16);
    std::memcpy(p + 36, "data", 4);
    put_le32(p + 40, data);
    for (size_t i = 0; i < pcm.size(); ++i)
        put_le16(p + 44 + 2 * i, (uint16_t)pcm[i]);
    return file_write_all(path, bytes.data(), bytes.size(), why, why_size);
}

// The longest song measured or rendered: a damaged module can claim days.
constexpr double MAX_SECONDS = 3600;

int stop_rendering(void* looped)
{
    *static_cast<bool*>(looped) = true;
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    diag_set_program("nwd-modrender");
    double seconds = 0, volume = 1;
    int parsed = cli_parse(
        argc, argv, "nwd-modrender", "",
        {{"seconds", required_argument, nullptr, 's'}, {"volume", required_argument, nullptr, 'v'}},
        usage, [&](int c, const char* v) {
            char* end;
            if (c == 'v') {
                long n = std::strtol(v, &end, 10);
                if (*end || !*v || n < 0 || n > 256) {
                    diag("--volume needs a whole number from 0 to 256\n");
                    return 2;
                }
                volume = n / 256.0;
                return 0;
            }
            seconds = std::strtod(v, &end);
            // Not a number, infinite, or past any song: said, not rendered.
            if (*end || !(seconds > 0 && seconds <= MAX_SECONDS)) {
                diag(
                    "--seconds needs a number of seconds above 0 and at most "
                    "3600\n");
                return 2;
            }
            return 0;
        });
    if (parsed >= 0)
        return parsed;
    std::vector<const char*> pos(argv + optind, argv + argc);
    if (pos.empty() || pos.size() > 2) {
        usage(stderr);
        return 2;
    }
    // Read and tried as the game does: whole, bounded, and through the
    // probe that a damaged module cannot hang or crash.
    char* bytes;
    long size = 0;
    const char* why = "";
    if (file_read_all(pos[0], MUSIC_MAX_FILE, &bytes, &size, &why) != FILE_OK) {
        diag("%s: cannot read: %s\n", pos[0], why);
        return 1;
    }
    DUH* d = size > 0 ? music_load_module_bytes(bytes, size) : nullptr;
    if (!d) {
        diag("%s: not a module the game can play\n", pos[0]);
        return 1;
    }
    const int rate = 22050;
    // The length is where the song first loops (or stops), found by
    // playing it, up to an hour; the quick readers do not measure it.
    bool looped = false;
    DUH_SIGRENDERER* r = duh_start_sigrenderer(d, 0, 2, 0);
    if (DUMB_IT_SIGRENDERER* it = duh_get_it_sigrenderer(r)) {
        dumb_it_set_loop_callback(it, stop_rendering, &looped);
        dumb_it_set_xm_speed_zero_callback(it, stop_rendering, &looped);
    }
    bool measure = seconds <= 0;
    long total = (long)((measure ? MAX_SECONDS : seconds) * rate), done = 0, clipped = 0;
    sample_t** buf = allocate_sample_buffer(2, 4096);
    std::vector<int16_t> pcm;
    double peak = 0, sum = 0;
    while (done < total && !(measure && looped)) {
        long n = std::min(4096L, total - done);
        std::fill(buf[0], buf[0] + 2 * n, 0);
        long got = duh_sigrenderer_generate_samples(r, (float)volume, 65536.0f / rate, n, buf);
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
    double length = measure ? (double)done / rate : seconds;
    std::free(bytes);
    destroy_sample_buffer(buf);
    duh_end_sigrenderer(r);
    unload_duh(d);
    double rms = std::sqrt(sum / std::max<size_t>(1, pcm.size()));
    std::printf("%s: length %.1f s, peak %.1f dBFS, RMS %.1f dBFS, %ld clipped samples\n", pos[0],
                length, 20 * std::log10(std::max(peak, 1e-9)), 20 * std::log10(std::max(rms, 1e-9)),
                clipped);
    char wrote[160] = "";
    if (pos.size() == 2 && !write_wav(pos[1], pcm, rate, wrote, sizeof wrote)) {
        diag("%s: cannot write: %s\n", pos[1], wrote);
        return 1;
    }
    return 0;
}
