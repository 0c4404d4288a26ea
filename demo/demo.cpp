#include "demo/demo.h"

#include "demo/state.h"
#include "engine/amc.h"
#include "engine/world_hash.h"
#include "fileio/byteorder.h"
#include "fileio/fileio.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

DemoState demos;

// Fields are read and written byte by byte so that the image is the file on
// any host.
static uint16_t get16(const uint8_t* p) { return get_le16(p); }
static uint32_t get32(const uint8_t* p) { return get_le32(p); }
static void put16(uint8_t* p, uint16_t v) { put_le16(p, v); }
static void put32(uint8_t* p, uint32_t v) { put_le32(p, v); }

enum {
    OFF_MODE = 0,
    OFF_LEVEL = 2,
    OFF_SKILL = 4,
    OFF_RESERVED = 6,
    OFF_SEED = 8,
    OFF_FRAMES = 12,
    OFF_LAST_RUN = 16
};

// Byte offset of the run whose first word has index `run`.
static uint64_t run_offset(uint32_t run) { return DEMO_HEADER_SIZE + 2 * (uint64_t)run; }

static DemoImage* demo_alloc(uint32_t size)
{
    if (size < DEMO_HEADER_SIZE || size > UINT32_MAX - sizeof(DemoImage))
        return nullptr;
    void* mem = calloc(1, sizeof(DemoImage) + size);
    if (!mem)
        return nullptr;
    DemoImage* d = (DemoImage*)mem;
    d->bytes = (uint8_t*)mem + sizeof(DemoImage);
    d->size = size;
    return d;
}

DemoImage* demo_create(uint32_t seed, int16_t skill, int16_t level, int16_t mode)
{
    // A buffer must hold the header and the first run whatever -maxdemo said.
    uint32_t size =
        demos.buffer_size < DEMO_HEADER_SIZE + 4 ? DEMO_HEADER_SIZE + 4 : demos.buffer_size;
    DemoImage* d = demo_alloc(size);
    if (!d)
        return nullptr;
    put16(d->bytes + OFF_MODE, (uint16_t)mode);
    put16(d->bytes + OFF_LEVEL, (uint16_t)level);
    put16(d->bytes + OFF_SKILL, (uint16_t)skill);
    put16(d->bytes + OFF_RESERVED, 0);
    put32(d->bytes + OFF_SEED, seed);
    put32(d->bytes + OFF_FRAMES, 0);
    put32(d->bytes + OFF_LAST_RUN, 0);
    demos.active = d;
    demos.state = DEMO_RECORDING;
    demos.position = {};
    return d;
}

int demo_record(uint16_t controls)
{
    DemoImage* d = demos.active;
    if (!d || !(demos.state & DEMO_RECORDING))
        return 1;
    uint8_t* b = d->bytes;
    uint32_t frames = get32(b + OFF_FRAMES);
    uint32_t last = get32(b + OFF_LAST_RUN);
    if (frames == 0) {
        put16(b + DEMO_HEADER_SIZE, 1);
        put16(b + DEMO_HEADER_SIZE + 2, controls);
        put32(b + OFF_FRAMES, 1);
        return 0;
    }
    if (frames == UINT32_MAX)
        goto full;
    {
        uint8_t* run = b + run_offset(last);
        uint16_t count = get16(run);
        if (get16(run + 2) == controls && count != DEMO_RUN_MAX) {
            put16(run, (uint16_t)(count + 1));
            put32(b + OFF_FRAMES, frames + 1);
            return 0;
        }
        // The budget charges 8 bytes a run (4 x index + 26); the second test
        // only matters for buffers too small for that rule to protect.
        uint64_t next = run_offset(last + 2);
        if (4 * (uint64_t)last + 26 > d->size || next + 4 > d->size)
            goto full;
        put16(b + next, 1);
        put16(b + next + 2, controls);
        put32(b + OFF_LAST_RUN, last + 2);
        put32(b + OFF_FRAMES, frames + 1);
        return 0;
    }
full:
    demos.state = (uint8_t)((demos.state | DEMO_TRUNCATED) & ~DEMO_RECORDING);
    return 1;
}

void demo_play_start(DemoImage* image)
{
    demos.active = image;
    demos.position = {};
    demos.state = DEMO_PLAYING;
}

uint16_t demo_play_next()
{
    if (demos.state & DEMO_ENDED)
        return 0;
    const DemoImage* d = demos.active;
    if (!d || demos.position.played >= get32(d->bytes + OFF_FRAMES)) {
        demos.state |= DEMO_ENDED;
        return 0;
    }
    DemoPosition& p = demos.position;
    // A run whose count word is cut off by the end of the image does not
    // exist; one whose controls word is cut off plays controls 0. Runs of
    // count 0 hold no frames and are passed over.
    for (;;) {
        uint64_t off = run_offset(p.run);
        if (off + 2 > d->size) {
            demos.state |= DEMO_ENDED;
            return 0;
        }
        if (p.run_played < get16(d->bytes + off))
            break;
        if (p.run > UINT32_MAX - 2) {
            demos.state |= DEMO_ENDED;
            return 0;
        }
        p.run += 2;
        p.run_played = 0;
    }
    uint64_t off = run_offset(p.run);
    p.run_played++;
    p.played++;
    return off + 4 <= d->size ? get16(d->bytes + off + 2) : 0;
}

uint32_t demo_length(const DemoImage* image)
{
    if (!image)
        return 0;
    uint64_t len = run_offset(get32(image->bytes + OFF_LAST_RUN)) + 4;
    return len < image->size ? (uint32_t)len : image->size;
}

int demo_save(const DemoImage* image, const char* path)
{
    if (!image || !path || !*path)
        return 1;
    uint32_t len = demo_length(image);
    if (!file_write_all(path, image->bytes, len))
        return 1;
    demos.state &= (uint8_t)~DEMO_RECORDING;
    return 0;
}

DemoImage* demo_from_bytes(const void* data, size_t len)
{
    if (len < DEMO_HEADER_SIZE || len > UINT32_MAX)
        return nullptr;
    DemoImage* d = demo_alloc((uint32_t)len);
    if (d)
        memcpy(d->bytes, data, len);
    return d;
}

DemoImage* demo_load(const char* path)
{
    FILE* f;
    long len = 0;
    if (file_open_read(path, DEMO_MAX_FILE, &f, &len) != FILE_OK)
        return nullptr;
    DemoImage* d = nullptr;
    if (len >= (long)DEMO_HEADER_SIZE) {
        d = demo_alloc((uint32_t)len);
        // A short read (a file shrinking under us) is a failure.
        if (d && fread(d->bytes, 1, d->size, f) != d->size) {
            free(d);
            d = nullptr;
        }
    }
    fclose(f);
    return d;
}

void demo_free(DemoImage* image)
{
    if (!image)
        return;
    if (demos.active == image) {
        demos.active = nullptr;
        demos.state &= (uint8_t) ~(DEMO_PLAYING | DEMO_RECORDING);
    }
    if (demos.last_game == image)
        demos.last_game = nullptr;
    for (DemoImage*& b : demos.builtin)
        if (b == image)
            b = nullptr;
    free(image);
}

DemoHeader demo_header(const DemoImage* image)
{
    DemoHeader h{};
    if (!image)
        return h;
    const uint8_t* b = image->bytes;
    h.mode = (int16_t)get16(b + OFF_MODE);
    h.level = (int16_t)get16(b + OFF_LEVEL);
    h.skill = (int16_t)get16(b + OFF_SKILL);
    h.seed = get32(b + OFF_SEED);
    h.frames = get32(b + OFF_FRAMES);
    h.last_run = get32(b + OFF_LAST_RUN);
    return h;
}

// Opened on first use; stays open (and line buffered) for the run.
static FILE* trace_file()
{
    if (!demos.trace_tried) {
        demos.trace_tried = true;
        const char* path = getenv("NWD_DEMO_TRACE");
        // Never waits on a FIFO that nobody reads.
        if (path && *path && (demos.trace = file_open_stream(path)))
            setvbuf(demos.trace, nullptr, _IOLBF, 0);
    }
    return demos.trace;
}

void demo_note_programs()
{
    demos.programs_hash = world_programs_hash(program_table, program_count);
    demos.programs_noted = true;
}

void demo_trace_game(int16_t level, int16_t mode, int16_t skill, uint32_t seed, bool sound)
{
    FILE* f = trace_file();
    if (!f)
        return;
    fprintf(f, "game level=%d mode=%d skill=%d seed=%u sound=%s", level, mode, skill, seed,
            sound ? "on" : "off");
    if (demos.programs_noted)
        fprintf(f, " programs=%016llx", (unsigned long long)demos.programs_hash);
    fprintf(f, "\n");
}

void demo_trace_tick(uint32_t tick)
{
    if (FILE* f = trace_file())
        fprintf(f, "tick %u %016llx\n", tick, (unsigned long long)world_hash());
}

void demo_trace_end(int16_t score, int outcome, uint32_t ticks)
{
    if (FILE* f = trace_file())
        fprintf(f, "end score=%d outcome=%d ticks=%u\n", score, outcome, ticks);
}

void demos_state_reset()
{
    if (demos.last_game)
        demo_free(demos.last_game);
    for (DemoImage*& b : demos.builtin)
        demo_free(b);  // clears the slot; the last game may have been one
    demos.active = nullptr;
    demos.state = 0;
    demos.position = {};
    demos.buffer_size = DEMO_DEFAULT_BUFFER_SIZE;
    demos.programs_hash = 0;
    demos.programs_noted = false;
}
