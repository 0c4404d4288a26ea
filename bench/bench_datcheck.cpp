// The structure check that runs before the main datafile is loaded and at
// every level start, on a datafile shaped like the main one: 558 named
// 8-bit pictures, unpacked, under the game's password.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "datafile/datcheck.h"
#include "nwd_datafile_key.h"

namespace {

// The password over the file as the library puts it there: its letters
// folded into the magic, then one letter a byte from the start on.
void encrypt(std::vector<uint8_t>& b)
{
    uint32_t key = 0x2A;
    for (size_t i = 0; DATAFILE_PASSWORD[i]; i++)
        key ^= uint32_t(uint8_t(DATAFILE_PASSWORD[i])) << (8 * (i % 4));
    for (int i = 0; i < 4; i++)
        b[i] ^= uint8_t(key >> (24 - 8 * i));
    for (size_t i = 4; i < b.size(); i++)
        b[i] ^= uint8_t(DATAFILE_PASSWORD[i % (sizeof DATAFILE_PASSWORD - 1)]);
}

std::vector<uint8_t> main_shaped_datafile(int side)
{
    std::vector<uint8_t> b{'s', 'l', 'h', '.', 'A', 'L', 'L', '.'};
    auto u32 = [&](uint32_t v) {
        for (int s = 24; s >= 0; s -= 8)
            b.push_back(uint8_t(v >> s));
    };
    auto text = [&](const char* t) {
        for (; *t; t++)
            b.push_back(uint8_t(*t));
    };
    u32(558);
    for (int i = 0; i < 558; i++) {
        std::string name = "sprite" + std::to_string(i) + ".pcx";
        text("propNAME");
        u32(uint32_t(name.size()));
        text(name.c_str());
        text("BMP ");
        uint32_t size = 6 + uint32_t(side * side);
        u32(size);
        u32(size);
        b.insert(b.end(), {0, 8, 0, uint8_t(side), 0, uint8_t(side)});
        b.resize(b.size() + size_t(side * side), uint8_t(i));
    }
    encrypt(b);
    return b;
}

void BM_DatcheckMainShaped(benchmark::State& state)
{
    std::vector<uint8_t> file = main_shaped_datafile(int(state.range(0)));
    if (datcheck_bytes(file.data(), file.size(), DATAFILE_PASSWORD, nullptr, nullptr, nullptr) != 0)
        state.SkipWithError("the datafile made here does not pass");
    for (auto _ : state)
        benchmark::DoNotOptimize(
            datcheck_bytes(file.data(), file.size(), DATAFILE_PASSWORD, nullptr, nullptr, nullptr));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}
BENCHMARK(BM_DatcheckMainShaped)->Arg(20)->Arg(64)->Unit(benchmark::kMillisecond);

}  // namespace
