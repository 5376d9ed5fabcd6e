// Samples of raw frames (little-endian) and of 16-bit PNG rows (big-endian), for the formats of the
// grey, packed RGB and planar families.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "scene.h"

namespace vyr::tool {

inline uint32_t getLe16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
inline uint32_t getLe32(const uint8_t* p) { return getLe16(p) | getLe16(p + 2) << 16; }
inline void putLe16(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void putLe32(uint8_t* p, uint32_t v)
{
    putLe16(p, v);
    putLe16(p + 2, v >> 16);
}
inline uint32_t getBe16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }
inline void putBe16(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}

// A sample of (16 - unusedBits) significant bits, rounded to 8 bits (larger values count as the maximum;
// with no significant bit, every sample is 0).
inline uint8_t significantTo8Bit(uint32_t value, uint32_t unusedBits)
{
    if (unusedBits >= 16)
        return 0;
    const uint32_t maximum = 0xFFFFu >> unusedBits;
    return uint8_t((std::min(value, maximum) * 255 + maximum / 2) / maximum);
}

// The top `bits` bits of a 16-bit scene value.
inline uint32_t topBits(uint16_t v, unsigned bits) { return uint32_t(v) >> (16 - bits); }

// The scene's grey of pixel x.
inline uint16_t sceneGrey(const uint16_t* scene, uint32_t x)
{
    return luminance(scene[3 * x], scene[3 * x + 1], scene[3 * x + 2]);
}

// Every 16-bit little-endian sample of a line (`samples` of them) shifted right by `bits`.
inline void shiftSamples16(uint8_t* line, size_t samples, uint32_t bits)
{
    for (size_t i = 0; i < samples; ++i)
        putLe16(line + 2 * i, getLe16(line + 2 * i) >> bits);
}

// Big-endian 16-bit PNG samples to little-endian frame samples, in reverse order within each group
// of `group` (PNG's R,G,B to blue first), or in order (group 1).
inline void pngToLe16(const uint8_t* row, size_t samples, size_t group, uint8_t* line)
{
    for (size_t i = 0; i < samples; ++i)
        putLe16(line + 2 * (i / group * group + group - 1 - i % group), getBe16(row + 2 * i));
}

} // namespace vyr::tool
