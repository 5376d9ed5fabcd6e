// The demo's test scene, rendered at 16 bits per channel so deep formats can be fed from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vyr::tool {

struct Scene {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint16_t> rgb16; // R, G, B per pixel, lines packed

    const uint16_t* line(uint32_t y) const { return rgb16.data() + size_t(3) * width * y; }
};

// Top to bottom: a smooth grey ramp, a 16-step grey ramp, eight colour bars, then a zone plate
// beside smooth colour gradients.
Scene renderScene(uint32_t width, uint32_t height);

// Rounds to the nearest 8-bit level.
inline uint8_t to8Bit(uint16_t value)
{
    return static_cast<uint8_t>((uint32_t(value) * 255 + 32767) / 65535);
}

// BT.601 luma weights, in 16.16 fixed point so the weights sum to exactly one.
inline uint16_t luminance(uint16_t r, uint16_t g, uint16_t b)
{
    return static_cast<uint16_t>((19595ull * r + 38470ull * g + 7471ull * b + 32768) >> 16);
}

} // namespace vyr::tool
