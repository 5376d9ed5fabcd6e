// Packed camera samples: every unpacking path against hand-made bytes and against reading the line
// bit by bit, with the line flush against a guard page so that a read past its last byte faults.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "bytes.h"
#include "frame_images.h"
#include "guarded_buffer.h"
#include "unpack.h"

namespace vyr::test {
namespace {

const uint32_t kPackedFormats[] = {VYR_FRAME_MONO10P,  VYR_FRAME_MONO12P,  VYR_FRAME_MONO12PACKED,
                                   VYR_FRAME_BAYER10P, VYR_FRAME_BAYER12P, VYR_FRAME_BAYER12PACKED};

// The samples of a line through one path, read from a guarded copy of the line's bytes.
std::vector<uint16_t> unpackGuarded(frame::UnpackFunction unpack, const std::vector<uint8_t>& line,
                                    uint32_t width, bool& intact)
{
    GuardedBuffer src(line.size(), {Flush::Back, 0});
    std::memcpy(src.data(), line.data(), line.size());
    src.makeReadOnly();
    GuardedBuffer dst(2 * size_t(width), {Flush::Back, 0});
    unpack(src.data(), dst.data(), width);
    std::vector<uint16_t> samples(width);
    std::memcpy(samples.data(), dst.data(), 2 * size_t(width));
    intact = dst.surroundingsIntact();
    return samples;
}

class UnpackPaths : public testing::TestWithParam<const char*> {
protected:
    // The path of this test's name for the format; skips the test when the processor lacks it.
    frame::UnpackFunction path(uint32_t format)
    {
        const frame::UnpackPath* paths = nullptr;
        const size_t count = frame::unpackPaths(format, paths);
        for (size_t k = 0; k < count; ++k) {
            if (std::strcmp(paths[k].name, GetParam()) == 0)
                return paths[k].runs ? paths[k].unpack : nullptr;
        }
        return nullptr;
    }
};

struct Vector {
    uint32_t format;
    std::vector<uint8_t> bytes;
    std::vector<uint16_t> samples;
    const char* what;
};

// Written out by hand from the bit layouts.
const Vector kVectors[] = {
    {VYR_FRAME_MONO10P,
     {0x01, 0xFC, 0x5F, 0x95, 0xAA},
     {0x001, 0x3FF, 0x155, 0x2AA},
     "a group of 4 in 5 bytes"},
    {VYR_FRAME_MONO10P, {0xFF, 0x03, 0xF0, 0x3F, 0x00, 0x01, 0x02}, {0x3FF, 0, 0x3FF, 0, 0x201}, "width 5"},
    {VYR_FRAME_MONO10P, {0xFF, 0x02}, {0x2FF}, "width 1"},
    {VYR_FRAME_MONO12P, {0xBC, 0x3A, 0x12, 0xED, 0x0F}, {0xABC, 0x123, 0xFED}, "width 3"},
    {VYR_FRAME_MONO12P, {0x34, 0x02}, {0x234}, "width 1"},
    {VYR_FRAME_MONO12PACKED, {0xAB, 0x3C, 0x12, 0xFE, 0x0D}, {0xABC, 0x123, 0xFED}, "width 3"},
    {VYR_FRAME_MONO12PACKED, {0x23, 0x04}, {0x234}, "width 1"},
    // The low nibbles are the middle byte's: 0x0F there gives the first sample 0xF, the second 0.
    {VYR_FRAME_MONO12PACKED, {0x00, 0x0F, 0x00}, {0x00F, 0x000}, "low nibbles"},
    {VYR_FRAME_MONO12P, {0x00, 0x0F, 0x00}, {0xF00, 0x000}, "high nibble of the first"},
};

uint32_t bayerTwin(uint32_t mono)
{
    return mono == VYR_FRAME_MONO10P   ? VYR_FRAME_BAYER10P
           : mono == VYR_FRAME_MONO12P ? VYR_FRAME_BAYER12P
                                       : VYR_FRAME_BAYER12PACKED;
}

// The reading bit by bit that the paths are checked against gives the hand-made samples.
TEST(Unpack, ReadingBitByBitGivesTheHandMadeSamples)
{
    for (const Vector& v : kVectors) {
        for (uint32_t format : {v.format, bayerTwin(v.format)}) {
            const uint32_t width = uint32_t(v.samples.size());
            ASSERT_EQ(v.bytes.size(), VyrFrameLineBytes(format, width)) << v.what;
            EXPECT_EQ(v.samples, unpackReference(format, v.bytes.data(), width))
                << VyrFrameGetFormat(format)->name << ", " << v.what;
        }
    }
}

// Random lines of every width to 100 and of 4099; the hand-made bytes, and their whole groups repeated
// into a line long enough for the vector paths.
TEST_P(UnpackPaths, LinesEqualReadingBitByBit)
{
    for (uint32_t format : kPackedFormats) {
        const frame::UnpackFunction unpack = path(format);
        if (!unpack)
            GTEST_SKIP() << GetParam() << " does not run on this processor";
        std::vector<std::pair<std::vector<uint8_t>, uint32_t>> lines; // bytes, width
        for (uint32_t width = 1; width <= 4099; width = width == 100 ? 4099 : width + 1)
            lines.push_back({randomBytes(VyrFrameLineBytes(format, width), width * 7 + format), width});
        for (const Vector& v : kVectors) {
            const uint32_t width = uint32_t(v.samples.size());
            if (format != v.format && format != bayerTwin(v.format))
                continue;
            lines.push_back({v.bytes, width});
            if (width % (format == VYR_FRAME_MONO10P || format == VYR_FRAME_BAYER10P ? 4 : 2) != 0)
                continue;
            std::vector<uint8_t> bytes;
            for (int r = 0; r < 40; ++r)
                bytes.insert(bytes.end(), v.bytes.begin(), v.bytes.end());
            lines.push_back({bytes, 40 * width});
        }
        for (const auto& [line, width] : lines) {
            bool intact = false;
            ASSERT_EQ(unpackReference(format, line.data(), width), unpackGuarded(unpack, line, width, intact))
                << VyrFrameGetFormat(format)->name << " width " << width;
            ASSERT_TRUE(intact);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, UnpackPaths, testing::Values("scalar", "ssse3", "avx2"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param);
                         });

TEST(Unpack, OnlyPackedFormatsHaveUnpackers)
{
    for (uint32_t format = 1; format <= VyrFrameFormatCount(); ++format) {
        const bool packed = unpackedFormatOf(format) != 0;
        EXPECT_EQ(packed, frame::unpacker(format) != nullptr) << format;
        EXPECT_EQ(unpackedFormatOf(format), frame::unpackedFormat(format)) << format;
    }
}

} // namespace
} // namespace vyr::test
