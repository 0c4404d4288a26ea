#include "datafile/datcheck.h"

#include "fileio/byteorder.h"
#include "fileio/fileio.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t PACKED_MAGIC = datcheck_type('s', 'l', 'h', '!');
constexpr uint32_t PLAIN_MAGIC = datcheck_type('s', 'l', 'h', '.');
constexpr uint32_t DATAFILE_MAGIC = datcheck_type('A', 'L', 'L', '.');
constexpr uint32_t PROPERTY = datcheck_type('p', 'r', 'o', 'p');
constexpr uint32_t NAME = datcheck_type('N', 'A', 'M', 'E');
constexpr uint32_t COMPILED = datcheck_type('C', 'M', 'P', ' ');
constexpr uint32_t COMPILED_X = datcheck_type('X', 'C', 'M', 'P');

// Object header: a type and two sizes. Property header: magic, type, size.
constexpr size_t OBJECT_HEADER = 12;
constexpr int MAX_DEPTH = 16;
constexpr size_t PATH_SIZE = 256;
// Expanded bytes for the whole walk, so nested compressed chunks cannot
// multiply their way past any memory.
constexpr size_t EXPAND_BUDGET = 256u << 20;
// The most one compressed byte can stand for: 18 bytes from 2, plus flags.
constexpr size_t MAX_EXPANSION = 9;

struct Span {
    const uint8_t* p;
    size_t size;
};

struct Walk {
    DatVisitor visit;
    void* user;
    int objects;
    size_t budget;
    char message[200];
};

bool fail(Walk& w, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
bool fail(Walk& w, const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(w.message, sizeof w.message, fmt, ap);
    va_end(ap);
    return false;
}

uint32_t be32(const uint8_t* p) { return get_be32(p); }
int be16s(const uint8_t* p) { return (int16_t)get_be16(p); }
uint32_t le32(const uint8_t* p) { return get_le32(p); }

// The password's mark on the first four bytes: its letters folded into a
// word, four to a round.
uint32_t magic_key(const char* password)
{
    if (!password || !password[0])
        return 0;
    uint32_t key = 0x2A;
    for (size_t i = 0; password[i]; i++)
        key ^= (uint32_t)(uint8_t)password[i] << (8 * (i % 4));
    return key;
}

// The library's compression: a 4096-byte ring whose first 4078 bytes start
// zeroed, written from 4078 on; eight tokens per flags byte, literal bytes
// and (place, length) pairs. The library never clears the ring's last 18
// bytes, so a pair that reads one of them before it is written gives
// whatever the previous file left there: such data are refused.
enum Expanded { EXPANDED, TOO_LONG, READS_UNSET };
constexpr unsigned RING_START = 4078;

Expanded expand(Span in, size_t limit, std::vector<uint8_t>& out)
{
    uint8_t ring[4096] = {};
    unsigned r = RING_START;
    size_t i = 0;
    out.clear();
    while (i < in.size) {
        unsigned flags = in.p[i++];
        for (int bit = 0; bit < 8 && i < in.size; bit++) {
            if (flags & 1u << bit) {
                if (out.size() >= limit)
                    return TOO_LONG;
                uint8_t c = in.p[i++];
                out.push_back(c);
                ring[r] = c;
                r = (r + 1) & 4095;
                continue;
            }
            if (i + 1 >= in.size)
                return EXPANDED;  // a pair cut in half ends the stream, as it does for the library
            unsigned at = in.p[i] | (in.p[i + 1] & 0xF0u) << 4;
            unsigned n = (in.p[i + 1] & 0x0Fu) + 3;
            i += 2;
            if (out.size() + n > limit)
                return TOO_LONG;
            for (unsigned k = 0; k < n; k++) {
                unsigned q = (at + k) & 4095;
                if (q >= RING_START && q - RING_START >= out.size())
                    return READS_UNSET;
                uint8_t c = ring[q];
                out.push_back(c);
                ring[r] = c;
                r = (r + 1) & 4095;
            }
        }
    }
    return EXPANDED;
}

bool walk_datafile(Walk& w, Span body, int depth, const char* path);

// parent/name into PATH_SIZE bytes; a long path is cut, as it only names
// the object in messages and listings.
void join_path(char* out, const char* parent, const char* name)
{
    size_t n = 0;
    auto add = [&](const char* s) {
        while (*s && n < PATH_SIZE - 1)
            out[n++] = *s++;
    };
    add(parent);
    if (parent[0])
        add("/");
    add(name);
    out[n] = 0;
}

// How a run-length sprite of one colour depth is stored: per line, counts
// of drawn (positive) or skipped (negative) pixels, the drawn pixels after
// their count, and an end-of-line mark; little-endian as in memory. In
// memory every count, pixel and mark of the deeper colours takes 4 bytes.
struct RleLayout {
    int count_bytes, pixel_bytes, memory_unit;
    uint32_t end_mark;
};

bool rle_layout(int bits, RleLayout& out)
{
    switch (bits) {
    case 8: out = {1, 1, 1, 0}; return true;
    case 15:
    case 16: out = {2, 2, 2, 0xF81F}; return true;
    case 24:
    case 32: out = {4, 3, 4, 0xFF00FF}; return true;
    default: return false;
    }
}

// True when `height` lines of at most `width` pixels each lie in `d` and
// take exactly `memory` bytes once loaded.
bool rle_fits(Span d, int width, int height, const RleLayout& l, uint64_t memory)
{
    size_t at = 0;
    uint64_t in_memory = 0;
    for (int line = 0; line < height; line++) {
        long drawn = 0;
        for (;;) {
            if (d.size - at < (size_t)l.count_bytes)
                return false;
            uint32_t raw = l.count_bytes == 1   ? d.p[at]
                           : l.count_bytes == 2 ? get_le16(d.p + at)
                                                : le32(d.p + at);
            at += l.count_bytes;
            in_memory += l.memory_unit;
            if (raw == l.end_mark)
                break;
            long count = l.count_bytes == 1   ? (int8_t)raw
                         : l.count_bytes == 2 ? (int16_t)raw
                                              : (int32_t)raw;
            if (count == 0 || count > width || count < -width)
                return false;
            drawn += count < 0 ? -count : count;
            if (drawn > width)
                return false;
            if (count > 0) {
                if ((size_t)count > (d.size - at) / l.pixel_bytes)
                    return false;
                at += (size_t)count * l.pixel_bytes;
                in_memory += (uint64_t)count * l.memory_unit;
            }
        }
    }
    return in_memory == memory;
}

// Bytes a pixel takes in a stored bitmap of that colour depth, 0 for none.
int pixel_bytes(int bits)
{
    switch (bits) {
    case 8: return 1;
    case 15:
    case 16: return 2;
    case 24:
    case 32: return 3;
    case -32: return 4;
    default: return 0;
    }
}

bool check_picture(Walk& w, uint32_t type, Span d, const char* what)
{
    if (d.size < 6)
        return fail(w, "%s: picture header cut short", what);
    int bits = be16s(d.p), width = be16s(d.p + 2), height = be16s(d.p + 4);
    if (!pixel_bytes(bits))
        return fail(w, "%s: no colour depth %d", what, bits);
    if (width <= 0 || height <= 0)
        return fail(w, "%s: picture of %d x %d", what, width, height);
    if (type != DATCHECK_RLE) {
        uint64_t need = (uint64_t)width * height * pixel_bytes(bits);
        if (d.size - 6 < need)
            return fail(w, "%s: %d x %d picture needs %llu bytes, has %zu", what, width, height,
                        (unsigned long long)need, d.size - 6);
        return true;
    }
    if (d.size < 10)
        return fail(w, "%s: sprite header cut short", what);
    uint32_t size = be32(d.p + 6);  // what the lines take in memory
    RleLayout layout;
    if (!rle_layout(bits, layout))
        return fail(w, "%s: no %d-bit sprites", what, bits);
    if (!rle_fits({d.p + 10, d.size - 10}, width, height, layout, size))
        return fail(w, "%s: sprite lines do not fit %d x %d", what, width, height);
    return true;
}

bool check_font(Walk& w, Span d, const char* what)
{
    if (d.size < 2)
        return fail(w, "%s: font header cut short", what);
    int kind = be16s(d.p);
    size_t at = 2;
    // Old fixed fonts: 95 glyphs of 8 or 16 rows of 8 bits.
    if (kind == 8 || kind == 16) {
        if (d.size - at < 95u * kind)
            return fail(w, "%s: fixed font cut short", what);
        return true;
    }
    // A glyph's pixels: bits for mono ranges, else bytes as in a stored
    // bitmap of the range's depth.
    auto glyphs = [&](uint64_t count, int depth) {
        for (uint64_t g = 0; g < count; g++) {
            if (d.size - at < 4)
                return false;
            int gw = be16s(d.p + at), gh = be16s(d.p + at + 2);
            at += 4;
            if (gw < 0 || gh < 0)
                return false;
            uint64_t bytes =
                depth == 1 ? (uint64_t)(gw + 7) / 8 * gh : (uint64_t)gw * gh * pixel_bytes(depth);
            if (d.size - at < bytes)
                return false;
            at += bytes;
        }
        return true;
    };
    if (kind == -1) {
        if (!glyphs(95, 8))
            return fail(w, "%s: proportional font cut short", what);
        return true;
    }
    if (kind != 0)
        return fail(w, "%s: no font kind %d", what, kind);
    if (d.size - at < 2)
        return fail(w, "%s: font ranges cut short", what);
    int ranges = be16s(d.p + at);
    at += 2;
    if (ranges <= 0)
        return fail(w, "%s: font of %d ranges", what, ranges);
    bool first_mono = false;
    for (int r = 0; r < ranges; r++) {
        if (d.size - at < 9)
            return fail(w, "%s: range %d cut short", what, r);
        // The library knows these depth marks and no others: a range it
        // cannot read fails the whole datafile's load, and that failure
        // frees the object table twice.
        int depth = d.p[at];
        if (depth == 255)
            depth = 1;
        else if (depth == 0)
            depth = 8;
        else if (depth != 1 && !pixel_bytes(depth))
            return fail(w, "%s: range %d of depth %d", what, r, d.p[at]);
        // The library keeps one kind of glyph a font, the first range's, and
        // frees the others' glyphs as if they were of that kind.
        if (r == 0)
            first_mono = depth == 1;
        else if ((depth == 1) != first_mono)
            return fail(w, "%s: range %d mixes mono and colour glyphs", what, r);
        uint32_t first = be32(d.p + at + 1), last = be32(d.p + at + 5);
        at += 9;
        // Each glyph takes at least its 4-byte size, which bounds the count.
        if (last < first || last - first >= (d.size - at) / 4 + 1)
            return fail(w, "%s: range %d holds characters %u..%u", what, r, first, last);
        if (!glyphs((uint64_t)last - first + 1, depth))
            return fail(w, "%s: glyphs of range %d cut short", what, r);
    }
    return true;
}

bool check_sample(Walk& w, Span d, const char* what)
{
    if (d.size < 8)
        return fail(w, "%s: sample header cut short", what);
    int bits = be16s(d.p);
    uint32_t length = be32(d.p + 4);
    if (bits != 8 && bits != 16 && bits != -8 && bits != -16)
        return fail(w, "%s: no %d-bit samples", what, bits);
    uint64_t need = (uint64_t)length * (bits < 0 ? -bits : bits) / 8 * (bits < 0 ? 2 : 1);
    if (d.size - 8 < need)
        return fail(w, "%s: sample needs %llu bytes, has %zu", what, (unsigned long long)need,
                    d.size - 8);
    return true;
}

bool check_midi(Walk& w, Span d, const char* what)
{
    size_t at = 2;
    for (int t = 0; t < 32; t++) {
        if (d.size < at + 4)
            return fail(w, "%s: music track %d cut short", what, t);
        uint32_t length = be32(d.p + at);
        at += 4;
        if (length > d.size - at)
            return fail(w, "%s: music track %d of %u bytes, has %zu", what, t, length, d.size - at);
        at += length;
    }
    return true;
}

bool check_contents(Walk& w, uint32_t type, Span d, int depth, const char* path)
{
    switch (type) {
    case DATCHECK_NESTED: return walk_datafile(w, d, depth + 1, path);
    case DATCHECK_BITMAP:
    case DATCHECK_RLE:
    case COMPILED:
    case COMPILED_X: return check_picture(w, type, d, path);
    case DATCHECK_FONT: return check_font(w, d, path);
    case DATCHECK_SAMPLE: return check_sample(w, d, path);
    case DATCHECK_MIDI: return check_midi(w, d, path);
    case DATCHECK_PALETTE:
        if (d.size < 1024)
            return fail(w, "%s: palette of %zu bytes", path, d.size);
        return true;
    default: return true;  // raw bytes: any content will do
    }
}

// Objects of one datafile, after its magic: a count, then each object's
// properties, type and chunk.
bool walk_datafile(Walk& w, Span body, int depth, const char* path)
{
    if (depth > MAX_DEPTH)
        return fail(w, "%s: datafiles nested more than %d deep", path, MAX_DEPTH);
    if (body.size < 4)
        return fail(w, "%s: object count cut short", path[0] ? path : "datafile");
    uint32_t count = be32(body.p);
    size_t at = 4;
    if (count > (body.size - at) / OBJECT_HEADER)
        return fail(w, "%s: %u objects cannot fit in %zu bytes", path[0] ? path : "datafile", count,
                    body.size - at);
    for (uint32_t i = 0; i < count; i++) {
        char name[PATH_SIZE] = "";
        char here[PATH_SIZE];
        uint32_t type;
        for (;;) {
            if (body.size - at < 4)
                return fail(w, "%s: object %u cut short", path[0] ? path : "datafile", i);
            type = be32(body.p + at);
            at += 4;
            // The library marks its type table's free rows with all ones and
            // would call their empty loader.
            if (type == 0xFFFFFFFFu)
                return fail(w, "%s: object %u has the reserved type -1",
                            path[0] ? path : "datafile", i);
            if (type != PROPERTY)
                break;
            if (body.size - at < 8)
                return fail(w, "%s: property of object %u cut short", path[0] ? path : "datafile",
                            i);
            uint32_t ptype = be32(body.p + at), psize = be32(body.p + at + 4);
            at += 8;
            if (psize > body.size - at)
                return fail(w, "%s: property of object %u runs %u bytes past its end",
                            path[0] ? path : "datafile", i, (unsigned)(psize - (body.size - at)));
            if (ptype == NAME) {
                size_t n = psize < PATH_SIZE - 1 ? psize : PATH_SIZE - 1;
                memcpy(name, body.p + at, n);
                name[n] = 0;
            }
            at += psize;
        }
        join_path(here, path, name[0] ? name : "?");
        if (body.size - at < 8)
            return fail(w, "%s: sizes cut short", here);
        uint32_t stored = be32(body.p + at);
        int32_t expanded = (int32_t)be32(body.p + at + 4);
        at += 8;
        if (stored > body.size - at)
            return fail(w, "%s: %u bytes stored, %zu left", here, stored, body.size - at);
        Span data{body.p + at, stored};
        at += stored;
        std::vector<uint8_t> unpacked;
        if (expanded < 0) {
            size_t size = (size_t) - (int64_t)expanded;
            if (size > w.budget || size > MAX_EXPANSION * stored + 18)
                return fail(w, "%s: %u bytes cannot expand to %zu", here, stored, size);
            if (expand(data, size, unpacked) != EXPANDED || unpacked.size() != size)
                return fail(w, "%s: compressed data do not expand to %zu bytes", here, size);
            w.budget -= size;
            data = {unpacked.data(), unpacked.size()};
        } else if ((uint32_t)expanded != stored) {
            return fail(w, "%s: sizes %u and %d disagree", here, stored, expanded);
        }
        if (!check_contents(w, type, data, depth, here))
            return false;
        w.objects++;
        if (w.visit)
            w.visit({name, here, type, (uint32_t)data.size, (int)i, depth}, w.user);
    }
    return true;
}

int finish(Walk& w, int result, DatCheckReport* report)
{
    if (report) {
        report->objects = w.objects;
        snprintf(report->message, sizeof report->message, "%s", result ? w.message : "");
    }
    return result;
}

}  // namespace

int datcheck_bytes(const uint8_t* bytes, size_t size, const char* password, DatVisitor visit,
                   void* user, DatCheckReport* report)
{
    Walk w{visit, user, 0, EXPAND_BUDGET, ""};
    if (size < 4) {
        fail(w, "too short for a datafile");
        return finish(w, DATCHECK_DAMAGED, report);
    }
    uint32_t magic = be32(bytes) ^ magic_key(password);
    if (magic != PACKED_MAGIC && magic != PLAIN_MAGIC) {
        fail(w, "not a datafile, or another password");
        return finish(w, DATCHECK_DAMAGED, report);
    }
    // The password runs over every byte from the start of the file on.
    std::vector<uint8_t> plain(bytes + 4, bytes + size);
    size_t key_length = password ? strlen(password) : 0;
    if (key_length)
        for (size_t i = 0; i < plain.size(); i++)
            plain[i] ^= (uint8_t)password[(i + 4) % key_length];
    std::vector<uint8_t> whole;
    Span body{plain.data(), plain.size()};
    if (magic == PACKED_MAGIC) {
        size_t limit = MAX_EXPANSION * plain.size() + 18;
        if (expand(body, limit < w.budget ? limit : w.budget, whole) != EXPANDED) {
            fail(w, "compressed data do not expand");
            return finish(w, DATCHECK_DAMAGED, report);
        }
        w.budget -= whole.size();
        body = {whole.data(), whole.size()};
    }
    if (body.size < 4 || be32(body.p) != DATAFILE_MAGIC) {
        fail(w, "not a datafile, or another password");
        return finish(w, DATCHECK_DAMAGED, report);
    }
    bool ok = walk_datafile(w, {body.p + 4, body.size - 4}, 0, "");
    return finish(w, ok ? DATCHECK_OK : DATCHECK_DAMAGED, report);
}

int datcheck_file(const char* path, const char* password, DatVisitor visit, void* user,
                  DatCheckReport* report)
{
    Walk w{visit, user, 0, 0, ""};
    FILE* f;
    long size = 0;
    const char* why = "";
    // A FIFO or a device in its place is refused, never waited on.
    int r = file_open_read(path, (long)DATCHECK_MAX_FILE, &f, &size, &why);
    if (r == FILE_MISSING) {
        fail(w, "cannot be opened");
        return finish(w, DATCHECK_NO_FILE, report);
    }
    if (r != FILE_OK) {
        fail(w, "%s", why);
        return finish(w, DATCHECK_DAMAGED, report);
    }
    std::vector<uint8_t> bytes((size_t)size);
    bool read = fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
    fclose(f);
    if (!read) {
        fail(w, "cannot be read");
        return finish(w, DATCHECK_NO_FILE, report);
    }
    return datcheck_bytes(bytes.data(), bytes.size(), password, visit, user, report);
}
