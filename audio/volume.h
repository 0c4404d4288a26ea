// The one volume rule for effects and music: steps of 5 on 0..255 that land
// exactly on the ends instead of stopping short of them.
#pragma once

#include <cstdint>

constexpr uint8_t volume_raised(uint8_t v)
{
    return v == 255 ? v : v > 250 ? 255 : static_cast<uint8_t>(v + 5);
}
constexpr uint8_t volume_lowered(uint8_t v)
{
    return v == 0 ? v : v < 5 ? 0 : static_cast<uint8_t>(v - 5);
}
