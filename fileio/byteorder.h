// Numbers in files, in the byte order the format fixes, whatever the
// machine's own: every format the game and its tools read or write goes
// through these, so that a big-endian machine makes and reads the same
// bytes. Header-only and standard C++ only, so the engine may use it too.
#pragma once

#include <cstdint>

constexpr uint16_t get_le16(const uint8_t* p) { return (uint16_t)(p[0] | p[1] << 8); }
constexpr uint32_t get_le32(const uint8_t* p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}
constexpr uint16_t get_be16(const uint8_t* p) { return (uint16_t)(p[0] << 8 | p[1]); }
constexpr uint32_t get_be32(const uint8_t* p)
{
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | (uint32_t)p[3];
}

// Each returns the byte after the ones it stored.
constexpr uint8_t* put_le16(uint8_t* p, uint16_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    return p + 2;
}
constexpr uint8_t* put_le32(uint8_t* p, uint32_t v)
{
    put_le16(p, (uint16_t)v);
    return put_le16(p + 2, (uint16_t)(v >> 16));
}
constexpr uint8_t* put_be32(uint8_t* p, uint32_t v)
{
    p[0] = (uint8_t)(v >> 24);
    p[1] = (uint8_t)(v >> 16);
    p[2] = (uint8_t)(v >> 8);
    p[3] = (uint8_t)v;
    return p + 4;
}
