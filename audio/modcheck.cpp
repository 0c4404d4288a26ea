#include "audio/modcheck.h"

#include "fileio/byteorder.h"

#include <cstring>

namespace {

struct Bytes {
    const uint8_t* p;
    size_t size;
    bool has(size_t at, size_t n) const { return at <= size && n <= size - at; }
    unsigned u8(size_t at) const { return has(at, 1) ? p[at] : 0; }
    unsigned le16(size_t at) const { return has(at, 2) ? get_le16(p + at) : 0; }
    uint32_t le32(size_t at) const { return has(at, 4) ? get_le32(p + at) : 0; }
    unsigned be16(size_t at) const { return has(at, 2) ? get_be16(p + at) : 0; }
    bool is(size_t at, const char* magic) const
    {
        size_t n = std::strlen(magic);
        return has(at, n) && std::memcmp(p + at, magic, n) == 0;
    }
};

ModuleKind refuse(const char** why, const char* reason)
{
    if (why)
        *why = reason;
    return MODULE_NONE;
}

// Impulse Tracker: the offset tables after the orders, each part's header
// within the file, every pattern's packed data too.
ModuleKind check_it(const Bytes& b, const char** why)
{
    const size_t orders = b.le16(32), instruments = b.le16(34), samples = b.le16(36),
                 patterns = b.le16(38);
    if (orders > 256 || instruments > 99 || samples > 99 || patterns > 200)
        return refuse(why, "more orders, instruments, samples or patterns than a module has");
    const size_t table = 0xC0 + orders;
    if (!b.has(table, 4 * (instruments + samples + patterns)))
        return refuse(why, "its offset tables are cut short");
    for (size_t i = 0; i < instruments; i++)
        if (!b.has(b.le32(table + 4 * i), 554))
            return refuse(why, "an instrument lies beyond the end");
    for (size_t i = 0; i < samples; i++) {
        uint32_t at = b.le32(table + 4 * (instruments + i));
        if (!b.has(at, 0x50) || !b.is(at, "IMPS"))
            return refuse(why, "a sample header lies beyond the end");
        if ((b.u8(at + 0x12) & 1) && b.le32(at + 0x48) > b.size)
            return refuse(why, "a sample's data starts beyond the end");
    }
    for (size_t i = 0; i < patterns; i++) {
        uint32_t at = b.le32(table + 4 * (instruments + samples + i));
        if (at == 0)
            continue;  // an empty pattern
        if (!b.has(at, 8) || !b.has(at + 8, b.le16(at)))
            return refuse(why, "a pattern lies beyond the end");
        unsigned rows = b.le16(at + 2);
        if (rows < 1 || rows > 256)
            return refuse(why, "a pattern of no rows or too many");
    }
    return MODULE_IT;
}

// FastTracker 2: a chain of headers, each saying its own size.
ModuleKind check_xm(const Bytes& b, const char** why)
{
    const uint32_t header = b.le32(60);
    const unsigned channels = b.le16(68), patterns = b.le16(70), instruments = b.le16(72);
    if (header < 20 || !b.has(60, header))
        return refuse(why, "its header is cut short");
    if (channels < 1 || channels > 64 || patterns > 256 || instruments > 128)
        return refuse(why, "more channels, patterns or instruments than a module has");
    size_t at = 60 + (size_t)header;
    for (unsigned i = 0; i < patterns; i++) {
        uint32_t len = b.le32(at);
        unsigned rows = b.le16(at + 5), packed = b.le16(at + 7);
        if (len < 9 || !b.has(at, len) || !b.has(at + len, packed))
            return refuse(why, "a pattern lies beyond the end");
        if (rows < 1 || rows > 256)
            return refuse(why, "a pattern of no rows or too many");
        at += len + packed;
    }
    for (unsigned i = 0; i < instruments; i++) {
        uint32_t len = b.le32(at);
        unsigned count = b.le16(at + 27);
        if (len < 29 || !b.has(at, len) || count > 16)
            return refuse(why, "an instrument lies beyond the end");
        if (count == 0) {
            at += len;
            continue;
        }
        uint32_t sample_header = b.le32(at + 29);
        if (sample_header < 40 || sample_header > 1024)
            return refuse(why, "an instrument's sample headers have no sensible size");
        at += len;
        uint64_t data = 0;
        for (unsigned s = 0; s < count; s++, at += sample_header) {
            if (!b.has(at, sample_header))
                return refuse(why, "a sample header lies beyond the end");
            data += b.le32(at);
        }
        // The last module's samples may be cut; the next part must be there.
        if (i + 1 < instruments && data > b.size - at)
            return refuse(why, "an instrument's samples run beyond the end");
        at += (size_t)(data < b.size - at ? data : b.size - at);
    }
    return MODULE_XM;
}

// Scream Tracker 3: parapointers in 16-byte paragraphs.
ModuleKind check_s3m(const Bytes& b, const char** why)
{
    const size_t orders = b.le16(32), instruments = b.le16(34), patterns = b.le16(36);
    if (orders > 256 || instruments > 99 || patterns > 256)
        return refuse(why, "more orders, instruments or patterns than a module has");
    const size_t table = 0x60 + orders;
    if (!b.has(table, 2 * (instruments + patterns)))
        return refuse(why, "its pointer tables are cut short");
    for (size_t i = 0; i < instruments; i++) {
        size_t at = (size_t)b.le16(table + 2 * i) * 16;
        if (!b.has(at, 0x50))
            return refuse(why, "an instrument lies beyond the end");
        size_t data = ((size_t)b.u8(at + 13) << 16 | b.le16(at + 14)) * 16;
        if (b.u8(at) == 1 && b.le32(at + 16) && data > b.size)
            return refuse(why, "a sample's data starts beyond the end");
    }
    for (size_t i = 0; i < patterns; i++) {
        size_t at = (size_t)b.le16(table + 2 * (instruments + i)) * 16;
        if (at && (!b.has(at, 2) || !b.has(at, b.le16(at))))
            return refuse(why, "a pattern lies beyond the end");
    }
    return MODULE_S3M;
}

// ProTracker and its kin: fixed tables, then the patterns, then the samples.
ModuleKind check_mod(const Bytes& b, const char** why)
{
    unsigned channels = 0;
    static const char* const FOUR[] = {"M.K.", "M!K!", "M&K!", "FLT4", "4CHN", "N.T."};
    for (const char* m : FOUR)
        if (b.is(1080, m))
            channels = 4;
    if (b.is(1080, "FLT8"))
        channels = 8;
    if (b.has(1080, 4) && b.u8(1080) >= '1' && b.u8(1080) <= '9' && b.is(1081, "CHN"))
        channels = b.u8(1080) - '0';
    if (b.has(1080, 4) && b.u8(1080) >= '1' && b.u8(1080) <= '3' && b.u8(1081) >= '0' &&
        b.u8(1081) <= '9' && b.is(1082, "CH"))
        channels = (b.u8(1080) - '0') * 10 + b.u8(1081) - '0';
    // Without a signature, the old 15-sample layout.
    const bool old = channels == 0;
    const size_t samples = old ? 15 : 31, songpos = 20 + 30 * samples;
    if (old)
        channels = 4;
    if (channels < 1 || channels > 32)
        return refuse(why, "no sensible count of channels");
    const size_t header = songpos + 2 + 128 + (old ? 0 : 4);
    if (!b.has(0, header))
        return refuse(why, "its header is cut short");
    unsigned length = b.u8(songpos);
    if (length < 1 || length > 128)
        return refuse(why, "an order list of no entries or too many");
    unsigned patterns = 0;
    for (unsigned i = 0; i < 128; i++)
        if (b.u8(songpos + 2 + i) + 1u > patterns && (i < length || b.u8(songpos + 2 + i) < 64))
            patterns = b.u8(songpos + 2 + i) + 1;
    if (patterns > 128)
        return refuse(why, "more patterns than a module has");
    if (!b.has(header, (size_t)patterns * 64 * channels * 4))
        return refuse(why, "its patterns run beyond the end");
    return MODULE_MOD;
}

}  // namespace

ModuleKind module_check(const uint8_t* data, size_t size, const char** why)
{
    Bytes b{data, data ? size : 0};
    // The order in which the game's readers are tried.
    if (b.is(0, "IMPM"))
        return check_it(b, why);
    if (b.is(0, "Extended Module: "))
        return check_xm(b, why);
    if (b.is(44, "SCRM"))
        return check_s3m(b, why);
    return check_mod(b, why);
}
