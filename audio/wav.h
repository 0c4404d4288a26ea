// The sound effects' WAV files, read whole within a bound and checked
// before the library reads them: its reader trusts the chunk sizes.
#pragma once

#include <cstddef>
#include <cstdint>

struct SAMPLE;

constexpr long WAV_MAX_FILE = 16L << 20;

// A RIFF/WAVE file of 8- or 16-bit PCM, mono or stereo, whose chunks lie
// within its `size` bytes, with its format before its samples. Else false
// with `why` (when given) telling what is wrong.
bool wav_check(const uint8_t* data, size_t size, const char** why = nullptr);

// The sample of a checked WAV held in memory; null when refused.
SAMPLE* wav_load_bytes(const uint8_t* data, size_t size);
// The same from a file: only a regular file of at most WAV_MAX_FILE bytes.
SAMPLE* wav_load(const char* path);
