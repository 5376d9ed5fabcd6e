// Packed RGB converters: channel moves by shifts alone, and the 16-bit luminances.
#include <gtest/gtest.h>

#include "convert/packed_rgb.h"
#include "rgb_harness.h"

namespace vyr::test {
namespace {

namespace cv = convert;

// ---- Independent references, one pixel each, written from the rules -------------------------------

// Blue, green, red of a pixel, as the rules name them.
struct Bgr {
    uint32_t b, g, r;
};

void putBytes(uint8_t* d, const Bgr& c)
{
    d[0] = uint8_t(c.b);
    d[1] = uint8_t(c.g);
    d[2] = uint8_t(c.r);
}

Bgr fields101010(const uint8_t* s)
{
    const uint32_t w = le32(s);
    return {w & 0x3FF, (w >> 10) & 0x3FF, (w >> 20) & 0x3FF};
}
Bgr words(const uint8_t* s) { return {le16(s), le16(s + 2), le16(s + 4)}; }
uint32_t pack101010(const Bgr& c) { return c.r << 20 | c.g << 10 | c.b; }

void rgb888ToRgb8888(const uint8_t* s, uint8_t* d, uint32_t) { putBytes(d, {s[0], s[1], s[2]}); }
void rgbr888ToRgb8888(const uint8_t* s, uint8_t* d, uint32_t) { putBytes(d, {s[2], s[1], s[0]}); }
// The vector rule writes the fourth byte as 0.
void rgb888ToRgb8888Vector(const uint8_t* s, uint8_t* d, uint32_t) { setLe32(d, le(s, 3)); }
void rgbr888ToRgb8888Vector(const uint8_t* s, uint8_t* d, uint32_t) { setLe32(d, s[0] << 16 | s[1] << 8 | s[2]); }
void rgbr888ToRgb888(const uint8_t* s, uint8_t* d, uint32_t) { putBytes(d, {s[2], s[1], s[0]}); }
void rgb8888ToRgb888(const uint8_t* s, uint8_t* d, uint32_t) { putBytes(d, {s[0], s[1], s[2]}); }

void rgb888ToRgb5551(const uint8_t* s, uint8_t* d, uint32_t)
{
    setLe16(d, (s[2] >> 3) << 10 | (s[1] >> 3) << 5 | (s[0] >> 3));
}

void rgb888ToRgb565(const uint8_t* s, uint8_t* d, uint32_t a)
{
    setLe16(d, (s[2] >> (3 - a)) << 11 | (s[1] >> (2 - a)) << 5 | (s[0] >> (3 - a)));
}

void rgb5551ToRgb888(const uint8_t* s, uint8_t* d, uint32_t a)
{
    const uint32_t w = le16(s);
    putBytes(d, {(w & 31) << (3 - a), ((w >> 5) & 31) << (3 - a), ((w >> 10) & 31) << (3 - a)});
}

void rgb565ToRgb888(const uint8_t* s, uint8_t* d, uint32_t a)
{
    const uint32_t w = le16(s);
    putBytes(d, {(w & 31) << (3 - a), ((w >> 5) & 63) << (2 - a), (w >> 11) << (3 - a)});
}

void rgb101010ToRgb8888(const uint8_t* s, uint8_t* d, uint32_t a)
{
    const uint32_t w = le32(s);
    putBytes(d, {(w >> (2 - a)) & 255, (w >> (12 - a)) & 255, (w >> (22 - a)) & 255});
    d[3] = 0;
}

void rgb101010ToRgb888(const uint8_t* s, uint8_t* d, uint32_t a)
{
    const Bgr c = fields101010(s);
    putBytes(d, {c.b >> (2 - a), c.g >> (2 - a), c.r >> (2 - a)});
}

void rgb101010ToRgb161616(const uint8_t* s, uint8_t* d, uint32_t a)
{
    const Bgr c = fields101010(s);
    setLe16(d, c.b << (6 - a));
    setLe16(d + 2, c.g << (6 - a));
    setLe16(d + 4, c.r << (6 - a));
}

void rgb101010ToRgb16161616(const uint8_t* s, uint8_t* d, uint32_t a)
{
    rgb101010ToRgb161616(s, d, a);
    setLe16(d + 6, 0);
}

// The mask form of the rule.
void rgb161616ToRgb101010(const uint8_t* s, uint8_t* d, uint32_t a)
{
    const uint32_t m = 0xFFC0u >> a;
    const Bgr c = words(s);
    setLe32(d, pack101010({(c.b & m) >> (6 - a), (c.g & m) >> (6 - a), (c.r & m) >> (6 - a)}));
}

// The shift-then-mask form.
void rgb16161616ToRgb101010(const uint8_t* s, uint8_t* d, uint32_t a)
{
    const Bgr c = words(s);
    setLe32(d, pack101010({(c.b >> (6 - a)) & 0x3FF, (c.g >> (6 - a)) & 0x3FF, (c.r >> (6 - a)) & 0x3FF}));
}

void rgb161616ToRgb888(const uint8_t* s, uint8_t* d, uint32_t a)
{
    const Bgr c = words(s);
    putBytes(d, {c.b >> (8 - a), c.g >> (8 - a), c.r >> (8 - a)});
}

void rgb161616ToRgb8888(const uint8_t* s, uint8_t* d, uint32_t a)
{
    rgb161616ToRgb888(s, d, a);
    d[3] = 0;
}

void rgb16161616ToRgb8888(const uint8_t* s, uint8_t* d, uint32_t a)
{
    rgb161616ToRgb888(s, d, a);
    d[3] = uint8_t(le16(s + 6) >> (8 - a));
}

uint32_t luma16(const Bgr& c) { return (1868 * c.b + 9617 * c.g + 4899 * c.r) >> 14; }
void rgb16161616ToMono16(const uint8_t* s, uint8_t* d, uint32_t) { setLe16(d, luma16(words(s))); }
void rgb101010ToMono16(const uint8_t* s, uint8_t* d, uint32_t a) { setLe16(d, luma16(fields101010(s)) << (6 - a)); }

template <PixelRule R, size_t S, size_t D>
constexpr LineFn ref = everyPixel<R, S, D>;

const LineCase kCases[] = {
    {"RGB888toRGB8888", VyrUtilConvertRGB888toRGB8888, cv::kRgb888ToRgb8888.scalar, &cv::kRgb888ToRgb8888,
     ref<rgb888ToRgb8888, 3, 4>, ref<rgb888ToRgb8888Vector, 3, 4>, 3, 4, 1, 0, true},
    {"RGBR888toRGB8888", VyrUtilConvertRGBR888toRGB8888, cv::kRgbr888ToRgb8888.scalar, &cv::kRgbr888ToRgb8888,
     ref<rgbr888ToRgb8888, 3, 4>, ref<rgbr888ToRgb8888Vector, 3, 4>, 3, 4, 1, 0, true},
    {"RGBR888toRGB888", VyrUtilConvertRGBR888toRGB888, cv::kRgbr888ToRgb888.scalar, &cv::kRgbr888ToRgb888,
     ref<rgbr888ToRgb888, 3, 3>, nullptr, 3, 3, 1, 0, true},
    {"RGB8888toRGB888", VyrUtilConvertRGB8888toRGB888, cv::kRgb8888ToRgb888, nullptr, ref<rgb8888ToRgb888, 4, 3>,
     nullptr, 4, 3, 1, 0, true},
    {"RGB888toRGB5551", VyrUtilConvertRGB888toRGB5551, cv::kRgb888ToRgb5551, nullptr, ref<rgb888ToRgb5551, 3, 2>,
     nullptr, 3, 2, 1, 0, true},
    {"RGB888toRGB565", VyrUtilConvertRGB888toRGB565, cv::kRgb888ToRgb565, nullptr, ref<rgb888ToRgb565, 3, 2>,
     nullptr, 3, 2, 1, 2},
    {"RGB5551toRGB888", VyrUtilConvertRGB5551toRGB888, cv::kRgb5551ToRgb888, nullptr, ref<rgb5551ToRgb888, 2, 3>,
     nullptr, 2, 3, 2, 3},
    {"RGB565toRGB888", VyrUtilConvertRGB565toRGB888, cv::kRgb565ToRgb888, nullptr, ref<rgb565ToRgb888, 2, 3>,
     nullptr, 2, 3, 2, 2},
    {"RGB101010toRGB8888", VyrUtilConvertRGB101010toRGB8888, cv::kRgb101010ToRgb8888.scalar,
     &cv::kRgb101010ToRgb8888, ref<rgb101010ToRgb8888, 4, 4>, nullptr, 4, 4, 4, 2, false, true},
    {"RGB101010toRGB888", VyrUtilConvertRGB101010toRGB888, cv::kRgb101010ToRgb888, nullptr,
     ref<rgb101010ToRgb888, 4, 3>, nullptr, 4, 3, 4, 2},
    {"RGB101010toRGB161616", VyrUtilConvertRGB101010toRGB161616, cv::kRgb101010ToRgb161616, nullptr,
     ref<rgb101010ToRgb161616, 4, 6>, nullptr, 4, 6, 4, 6},
    {"RGB101010toRGB16161616", VyrUtilConvertRGB101010toRGB16161616, cv::kRgb101010ToRgb16161616, nullptr,
     ref<rgb101010ToRgb16161616, 4, 8>, nullptr, 4, 8, 4, 6},
    {"RGB161616toRGB101010", VyrUtilConvertRGB161616toRGB101010, cv::kRgb161616ToRgb101010, nullptr,
     ref<rgb161616ToRgb101010, 6, 4>, nullptr, 6, 4, 2, 6},
    {"RGB16161616toRGB101010", VyrUtilConvertRGB16161616toRGB101010, cv::kRgb16161616ToRgb101010, nullptr,
     ref<rgb16161616ToRgb101010, 8, 4>, nullptr, 8, 4, 2, 6},
    {"RGB161616toRGB8888", VyrUtilConvertRGB161616toRGB8888, cv::kRgb161616ToRgb8888, nullptr,
     ref<rgb161616ToRgb8888, 6, 4>, nullptr, 6, 4, 2, 8},
    {"RGB161616toRGB888", VyrUtilConvertRGB161616toRGB888, cv::kRgb161616ToRgb888, nullptr,
     ref<rgb161616ToRgb888, 6, 3>, nullptr, 6, 3, 2, 8},
    {"RGB16161616toRGB8888", VyrUtilConvertRGB16161616toRGB8888, cv::kRgb16161616ToRgb8888, nullptr,
     ref<rgb16161616ToRgb8888, 8, 4>, nullptr, 8, 4, 2, 8},
    {"RGB16161616toRGB888", VyrUtilConvertRGB16161616toRGB888, cv::kRgb16161616ToRgb888, nullptr,
     ref<rgb161616ToRgb888, 8, 3>, nullptr, 8, 3, 2, 8},
    {"RGB16161616toMONO16", VyrUtilConvertRGB16161616toMONO16, cv::kRgb16161616ToMono16, nullptr,
     ref<rgb16161616ToMono16, 8, 2>, nullptr, 8, 2, 2, 0, true},
    {"RGB101010toMONO16", VyrUtilConvertRGB101010toMONO16, cv::kRgb101010ToMono16, nullptr,
     ref<rgb101010ToMono16, 4, 2>, nullptr, 4, 2, 4, 6},
};

INSTANTIATE_TEST_SUITE_P(PackedRgb, LineConverter, ::testing::ValuesIn(kCases), caseName);
INSTANTIATE_TEST_SUITE_P(PackedRgb, VectorLineConverter, ::testing::ValuesIn(withVectorPaths(kCases)), caseName);

// ---- Telling values -----------------------------------------------------------------------------------

std::vector<uint8_t> bytesOfWords(std::initializer_list<uint32_t> words, size_t bytesPerWord)
{
    std::vector<uint8_t> out(words.size() * bytesPerWord);
    size_t i = 0;
    for (uint32_t w : words)
        setLe(&out[bytesPerWord * i++], bytesPerWord, w);
    return out;
}

// The colour bytes agree; the scalar path keeps the destination's fourth byte, the vector path
// writes 0 there, head and tail included.
TEST(PackedRgbFourthByte, ScalarPathKeepsItAndVectorPathZeroesIt)
{
    const std::vector<uint8_t> src = randomBytes(3 * 21, 3);
    for (const cv::Paths* paths : {&cv::kRgb888ToRgb8888, &cv::kRgbr888ToRgb8888}) {
        std::vector<uint8_t> scalar(4 * 21, 0xAA);
        paths->scalar(src.data(), scalar.data(), 21, 0);
        for (auto [isa, path] : runnableVariants(*paths)) {
            for (size_t offset = 0; offset < 8; ++offset) {
                GuardedBuffer dst(4 * 21, {Flush::Front, offset});
                std::fill(dst.data(), dst.data() + 4 * 21, 0xAA);
                path(src.data(), dst.data(), 21, 0);
                for (size_t i = 0; i < 21; ++i) {
                    EXPECT_EQ(0xAA, scalar[4 * i + 3]);
                    EXPECT_EQ(0, dst.data()[4 * i + 3]) << cv::isaName(isa) << " pixel " << i;
                    for (size_t b = 0; b < 3; ++b)
                        EXPECT_EQ(scalar[4 * i + b], dst.data()[4 * i + b]) << cv::isaName(isa) << " pixel " << i;
                }
            }
        }
    }
}

TEST(PackedRgbValues, SwapsAndWhite)
{
    for (LineFn path : {cv::kRgbr888ToRgb888.scalar, cv::kRgbr888ToRgb888.vector()})
        EXPECT_TRUE(converts(path, 0, {1, 2, 3}, 3, {3, 2, 1}));
    EXPECT_TRUE(converts(cv::kRgb888ToRgb5551, 0, {0xFF, 0xFF, 0xFF}, 3, bytesOfWords({0x7FFF}, 2)));
    EXPECT_TRUE(converts(cv::kRgb888ToRgb5551, 2, {0xFF, 0xFF, 0xFF}, 3, bytesOfWords({0x7FFF}, 2)))
        << "unusedBits are ignored";
    EXPECT_TRUE(converts(cv::kRgb888ToRgb565, 0, {0xFF, 0xFF, 0xFF, 0x08, 0x04, 0x00}, 3,
                         bytesOfWords({0xFFFF, 0x0021}, 2)));
    EXPECT_TRUE(converts(cv::kRgb888ToRgb565, 1, {0x80, 0x00, 0x00}, 3, bytesOfWords({0x0020}, 2)))
        << "7-bit blue 0x80 spills into green";
}

TEST(PackedRgbValues, NarrowFieldsWidenWithoutBitReplication)
{
    EXPECT_TRUE(converts(cv::kRgb5551ToRgb888, 0, bytesOfWords({0x7FFF}, 2), 2, {0xF8, 0xF8, 0xF8}));
    EXPECT_TRUE(converts(cv::kRgb5551ToRgb888, 3, bytesOfWords({0x7FFF}, 2), 2, {0x1F, 0x1F, 0x1F}));
    EXPECT_TRUE(converts(cv::kRgb5551ToRgb888, 0, bytesOfWords({0x8000}, 2), 2, {0, 0, 0})) << "bit 15 ignored";
    EXPECT_TRUE(converts(cv::kRgb565ToRgb888, 0, bytesOfWords({0xFFFF}, 2), 2, {0xF8, 0xFC, 0xF8}));
}

TEST(PackedRgbValues, TenBitFields)
{
    for (LineFn path : {cv::kRgb101010ToRgb8888.scalar, cv::kRgb101010ToRgb8888.vector()}) {
        EXPECT_TRUE(converts(path, 0, bytesOfWords({0x3FFFFFFF, 0xC0000000, 0x20080200}, 4), 4,
                             bytesOfWords({0x00FFFFFF, 0, 0x00808080}, 4)));
    }
    EXPECT_TRUE(converts(cv::kRgb161616ToRgb101010, 0, bytesOfWords({0xFFFF, 0x0000, 0x8000}, 2), 6,
                         bytesOfWords({0x200003FF}, 4)));
    EXPECT_TRUE(converts(cv::kRgb101010ToRgb161616, 6, bytesOfWords({0x3FFFFFFF}, 4), 4,
                         bytesOfWords({0x3FF, 0x3FF, 0x3FF}, 2)));
}

TEST(PackedRgbValues, LuminanceOfWhiteIsFullScale)
{
    EXPECT_TRUE(converts(cv::kRgb16161616ToMono16, 0, bytesOfWords({0xFFFF, 0xFFFF, 0xFFFF, 0x1234}, 2), 8,
                         bytesOfWords({0xFFFF}, 2)));
    EXPECT_TRUE(converts(cv::kRgb101010ToMono16, 0, bytesOfWords({0x3FFFFFFF}, 4), 4, bytesOfWords({0xFFC0}, 2)));
    EXPECT_TRUE(converts(cv::kRgb101010ToMono16, 6, bytesOfWords({0x3FFFFFFF}, 4), 4, bytesOfWords({0x03FF}, 2)));
}

} // namespace
} // namespace vyr::test
