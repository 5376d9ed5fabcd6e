#include "frame_images.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "bytes.h"

namespace vyr::test {

TestImage::TestImage(uint32_t format, uint32_t width, uint32_t height, ptrdiff_t pitch, Flush flush,
                     uint32_t seed, PlaneLayout layout)
    : info_(VyrFrameGetFormat(format)), width_(width), height_(height), pitch_(pitch),
      lineBytes_(VyrFrameLineBytes(format, width))
{
    if (!info_)
        std::abort();
    const size_t magnitude = size_t(pitch < 0 ? -pitch : pitch);
    const size_t planeBytes = magnitude * (height - 1) + lineBytes_;
    const unsigned count = layout == PlaneLayout::Together ? 1 : info_->planes;
    const size_t bufferBytes = layout == PlaneLayout::Together ? planeBytes * info_->planes : planeBytes;
    for (unsigned b = 0; b < count; ++b) {
        buffers_.push_back(std::make_unique<GuardedBuffer>(bufferBytes, Placement{flush, 0}));
        fillRandom(buffers_.back()->data(), bufferBytes, seed + b);
    }
    for (unsigned k = 0; k < info_->planes; ++k) {
        uint8_t* start =
            layout == PlaneLayout::Together ? buffers_[0]->data() + planeBytes * k : buffers_[k]->data();
        first_[k] = pitch < 0 ? start + magnitude * (height - 1) : start;
    }
    // Bayer15 sites hold 15 bits.
    for (unsigned k = 0; format == VYR_FRAME_BAYER15 && k < info_->planes; ++k) {
        for (uint32_t y = 0; y < height; ++y) {
            for (size_t i = 1; i < lineBytes_; i += 2)
                line(k, y)[i] &= 0x7F;
        }
    }
}

VyrFrameImage TestImage::image() const
{
    VyrFrameImage image = {info_->format, width_, height_, pitch_, {}};
    for (unsigned k = 0; k < info_->planes; ++k)
        image.planes[k] = first_[k];
    return image;
}

std::vector<uint8_t> TestImage::bytes() const
{
    std::vector<uint8_t> all;
    for (const auto& buffer : buffers_)
        all.insert(all.end(), buffer->data(), buffer->data() + buffer->size());
    return all;
}

bool TestImage::intact() const
{
    return std::all_of(buffers_.begin(), buffers_.end(),
                       [](const auto& b) { return b->surroundingsIntact(); });
}

ptrdiff_t pitchFor(uint32_t format, uint32_t width, size_t extra)
{
    return ptrdiff_t((VyrFrameLineBytes(format, width) + 7) / 8 * 8 + extra);
}

std::string describe(const VyrFrameConversion& conversion, const VyrFrameOptions& options)
{
    std::string text = conversion.name;
    text += " unusedBits " + std::to_string(options.unusedBits);
    if (options.pattern)
        text += std::string(" pattern ") + VyrFramePatternName(options.pattern);
    if (options.method)
        text += options.method == VYR_FRAME_METHOD_2X2 ? " 2x2" : " malvar";
    if (options.blueFirst)
        text += " blueFirst";
    return text + " threads " + std::to_string(options.threads);
}

uint32_t unpackedFormatOf(uint32_t format)
{
    switch (format) {
    case VYR_FRAME_MONO10P:
    case VYR_FRAME_MONO12P:
    case VYR_FRAME_MONO12PACKED: return VYR_FRAME_MONO16;
    case VYR_FRAME_BAYER10P:
    case VYR_FRAME_BAYER12P:
    case VYR_FRAME_BAYER12PACKED: return VYR_FRAME_BAYER15;
    default: return 0;
    }
}

std::vector<uint16_t> unpackReference(uint32_t format, const uint8_t* line, uint32_t width)
{
    std::vector<uint16_t> samples(width);
    const bool gigeVision = format == VYR_FRAME_MONO12PACKED || format == VYR_FRAME_BAYER12PACKED;
    const unsigned bits = format == VYR_FRAME_MONO10P || format == VYR_FRAME_BAYER10P ? 10 : 12;
    for (uint32_t i = 0; i < width; ++i) {
        if (gigeVision) {
            // Pairs of 3 bytes: the high 8 bits of each sample in bytes 0 and 2, the low 4 in byte 1
            // (the first sample's in its low nibble).
            const uint8_t* pair = line + 3 * size_t(i / 2);
            samples[i] =
                i % 2 == 0 ? uint16_t(pair[0] << 4 | (pair[1] & 0xF)) : uint16_t(pair[2] << 4 | pair[1] >> 4);
            continue;
        }
        // Bit b of sample i is bit i * bits + b of the line, counted from bit 0 of byte 0.
        for (unsigned b = 0; b < bits; ++b) {
            const size_t at = size_t(i) * bits + b;
            samples[i] = uint16_t(samples[i] | ((line[at / 8] >> (at % 8)) & 1) << b);
        }
    }
    return samples;
}

} // namespace vyr::test
