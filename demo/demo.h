// Demos: the start settings, the seed and every tick's Controls word of one
// game, run-length encoded. The image in memory is the file's bytes.
//
// Layout (little-endian): 0 mode, 2 level, 4 skill, 6 reserved (written 0),
// 8 seed, 12 frames, 16 last run index (in 16-bit words from offset 20),
// then 4-byte runs: count (1..32767), Controls word.
//
// Display-free: the simulator links this without Allegro.
#pragma once

#include <cstddef>
#include <cstdint>

enum : uint32_t {
    DEMO_HEADER_SIZE = 20,
    DEMO_RUN_MAX = 32767,              // frames in one run
    DEMO_DEFAULT_BUFFER_SIZE = 65000,  // bytes allocated for a recording
};

// DemoState::state flags
enum : uint8_t {
    DEMO_PLAYING = 0x01,
    DEMO_RECORDING = 0x02,
    DEMO_ENDED = 0x04,      // playback has run out
    DEMO_TRUNCATED = 0x08,  // recording stopped: buffer full
};

// One allocation: this record followed by `size` bytes that `bytes` points to.
// `size` is the buffer of a recording or the length of a loaded file; it is
// always at least DEMO_HEADER_SIZE.
struct DemoImage {
    uint8_t* bytes;
    uint32_t size;
};

// The header's fields decoded.
struct DemoHeader {
    int16_t mode;
    int16_t level;
    int16_t skill;
    uint32_t seed;
    uint32_t frames;
    uint32_t last_run;  // index in words of the last run's first word
};

// Where playback stands in the active demo.
struct DemoPosition {
    uint32_t run;         // word index of the current run
    uint16_t run_played;  // frames played of the current run
    uint32_t played;      // frames played in all
};

// Allocates demos.buffer_size bytes and starts recording into them (state
// exactly DEMO_RECORDING). Null when the memory cannot be had.
DemoImage* demo_create(uint32_t seed, int16_t skill, int16_t level, int16_t mode);

// Stores one tick's controls: 0 stored, 1 buffer full (then DEMO_TRUNCATED
// is set and recording stops).
int demo_record(uint16_t controls);

// Makes `image` the active demo from its first frame; state exactly
// DEMO_PLAYING.
void demo_play_start(DemoImage* image);

// The next tick's controls; 0 once the demo has run out (DEMO_ENDED set).
// Never reads beyond the image's bytes.
uint16_t demo_play_next();

// Writes the header and every run to `path` (fileio: through a temporary
// file renamed into place, or straight to a device). 0 on success, 1 on failure. Clears DEMO_RECORDING.
int demo_save(const DemoImage* image, const char* path);

// The whole file as a new image; null when it cannot be opened or read, is
// not a regular file, is shorter than the header or longer than
// DEMO_MAX_FILE.
DemoImage* demo_load(const char* path);
constexpr long DEMO_MAX_FILE = 256L << 20;

// An image holding a copy of `len` bytes, as demo_load would give for a file
// of those bytes.
DemoImage* demo_from_bytes(const void* data, size_t len);

// Frees an image (null is ignored). Any reference the demo globals hold to
// it is dropped, so nothing is left dangling.
void demo_free(DemoImage* image);

DemoHeader demo_header(const DemoImage* image);

// Bytes that demo_save writes: header and every run whole, never more than
// the image holds.
uint32_t demo_length(const DemoImage* image);

// Test hook for checking replays against recordings and the simulator. When
// the environment variable NWD_DEMO_TRACE names a file, the game writes to it
// one line at the start of each game, "game level=<l> mode=<m> skill=<s>
// seed=<seed> sound=<on|off>", one per world tick, "tick <n> <world_hash()
// in 16 hex digits>", and one at its end, "end score=<score>
// outcome=<level loop result> ticks=<n>". Without the variable nothing is
// written.
// The game line ends with " programs=<16 hex digits>", the hash of the
// programs as loaded, once demo_note_programs has seen them, so that a
// replay checked against the trace can tell other programs from a fault.
void demo_trace_game(int16_t level, int16_t mode, int16_t skill, uint32_t seed, bool sound);
void demo_note_programs();  // right after amc_load succeeded
void demo_trace_tick(uint32_t tick);
void demo_trace_end(int16_t score, int outcome, uint32_t ticks);
