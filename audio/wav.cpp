#include "audio/wav.h"

#include <allegro.h>

#include <cstdlib>
#include <cstring>

#include "fileio/byteorder.h"
#include "fileio/fileio.h"

namespace {

uint32_t le32(const uint8_t* p) { return get_le32(p); }
unsigned le16(const uint8_t* p) { return get_le16(p); }

bool refuse(const char** why, const char* reason)
{
    if (why)
        *why = reason;
    return false;
}

// The library reads from a packfile: one over the bytes in memory.
struct Memory {
    const uint8_t* p;
    long size, at;
};
int mem_close(void*) { return 0; }
int mem_getc(void* u)
{
    Memory* m = static_cast<Memory*>(u);
    return m->at < m->size ? m->p[m->at++] : EOF;
}
int mem_ungetc(int c, void* u)
{
    Memory* m = static_cast<Memory*>(u);
    return m->at > 0 ? (m->at--, c) : EOF;
}
long mem_read(void* out, long n, void* u)
{
    Memory* m = static_cast<Memory*>(u);
    long k = n < m->size - m->at ? n : m->size - m->at;
    if (k > 0)
        std::memcpy(out, m->p + m->at, (size_t)k);
    m->at += k > 0 ? k : 0;
    return k > 0 ? k : 0;
}
int mem_putc(int, void*) { return EOF; }
long mem_write(const void*, long, void*) { return 0; }
int mem_seek(void* u, int offset)
{
    Memory* m = static_cast<Memory*>(u);
    if (offset < 0 || offset > m->size - m->at)
        return -1;
    m->at += offset;
    return 0;
}
int mem_eof(void* u)
{
    Memory* m = static_cast<Memory*>(u);
    return m->at >= m->size;
}
int mem_error(void*) { return 0; }
const PACKFILE_VTABLE MEMORY_FILE = {mem_close, mem_getc, mem_ungetc, mem_read, mem_putc,
                                     mem_write, mem_seek, mem_eof,    mem_error};

}  // namespace

bool wav_check(const uint8_t* data, size_t size, const char** why)
{
    if (!data || size < 12 || std::memcmp(data, "RIFF", 4) != 0 ||
        std::memcmp(data + 8, "WAVE", 4) != 0)
        return refuse(why, "not a RIFF WAVE file");
    bool format = false, samples = false;
    unsigned frame = 0;  // bytes a sample takes in all its channels
    for (size_t at = 12; at < size;) {
        if (size - at < 8)
            return refuse(why, "a chunk header is cut short");
        uint32_t len = le32(data + at + 4);
        if (len > size - at - 8)
            return refuse(why, "a chunk runs beyond the end");
        const uint8_t* c = data + at + 8;
        if (std::memcmp(data + at, "fmt ", 4) == 0) {
            unsigned channels = len >= 16 ? le16(c + 2) : 0, bits = len >= 16 ? le16(c + 14) : 0;
            if (len < 16 || le16(c) != 1 || channels < 1 || channels > 2 ||
                (bits != 8 && bits != 16) || le32(c + 4) == 0)
                return refuse(why, "not 8- or 16-bit PCM in one or two channels");
            if (format)
                return refuse(why, "a second format");
            format = true;
            frame = channels * bits / 8;
        } else if (std::memcmp(data + at, "data", 4) == 0) {
            if (!format)
                return refuse(why, "samples before their format");
            // the library sizes the sample from this chunk alone: an empty
            // one, or one of a part sample, it does not read as written
            if (samples || len == 0 || len % frame != 0)
                return refuse(why, "samples not in one whole chunk");
            samples = true;
        }
        at += 8 + (size_t)len;
    }
    return samples ? true : refuse(why, "no samples");
}

SAMPLE* wav_load_bytes(const uint8_t* data, size_t size)
{
    if (!wav_check(data, size))
        return nullptr;
    Memory m{data, (long)size, 0};
    PACKFILE* f = pack_fopen_vtable(&MEMORY_FILE, &m);
    if (!f)
        return nullptr;
    SAMPLE* s = load_wav_pf(f);
    pack_fclose(f);
    return s;
}

SAMPLE* wav_load(const char* path)
{
    char* bytes;
    long size = 0;
    if (file_read_all(path, WAV_MAX_FILE, &bytes, &size) != FILE_OK)
        return nullptr;
    SAMPLE* s = wav_load_bytes(reinterpret_cast<uint8_t*>(bytes), (size_t)size);
    std::free(bytes);
    return s;
}
