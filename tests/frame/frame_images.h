// Images for VyrFrame tests: every plane in guarded memory, lines a pitch apart (negative: bottom-up),
// the payload flush against a guard page and the bytes around it checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "VyrFrame.h"
#include "guarded_buffer.h"

namespace vyr::test {

enum class PlaneLayout {
    Apart,   // a buffer for each plane
    Together // one buffer, the planes one after another at one distance
};

class TestImage {
public:
    // Filled with seeded random bytes (samples of 16-bit formats kept below their bit 15 where the
    // format says so).
    TestImage(uint32_t format, uint32_t width, uint32_t height, ptrdiff_t pitch, Flush flush, uint32_t seed,
              PlaneLayout layout = PlaneLayout::Apart);

    VyrFrameImage image() const;
    uint32_t width() const { return width_; }
    uint32_t height() const { return height_; }
    size_t lineBytes() const { return lineBytes_; }
    unsigned planes() const { return info_->planes; }
    uint8_t* line(unsigned plane, uint32_t y) const { return first_[plane] + ptrdiff_t(y) * pitch_; }

    // Every byte of every buffer (lines and the gaps between them).
    std::vector<uint8_t> bytes() const;
    // No byte around a buffer was written.
    bool intact() const;

private:
    const VyrFrameFormatInfo* info_;
    uint32_t width_, height_;
    ptrdiff_t pitch_;
    size_t lineBytes_;
    std::vector<std::unique_ptr<GuardedBuffer>> buffers_;
    uint8_t* first_[4] = {}; // line 0 of each plane
};

// A line's pitch: the line rounded up to 8 bytes and `extra` bytes more.
ptrdiff_t pitchFor(uint32_t format, uint32_t width, size_t extra);

std::string describe(const VyrFrameConversion& conversion, const VyrFrameOptions& options);

// Packed camera formats: the format their samples unpack to (0 for others), and a line's samples read
// bit by bit as the packing defines them.
uint32_t unpackedFormatOf(uint32_t format);
std::vector<uint16_t> unpackReference(uint32_t format, const uint8_t* line, uint32_t width);

} // namespace vyr::test
