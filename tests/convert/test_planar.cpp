// Planar RGB: packed lines into planes and back, merge and split with separate (possibly null)
// planes, and the bit reversal of MONO1.
#include <gtest/gtest.h>

#include <array>

#include "convert/planar.h"
#include "rgb_harness.h"

namespace vyr::test {
namespace {

namespace cv = convert;

// ---- Planar destinations: one buffer of planes `count` samples apart --------------------------------

// Spreads one pixel's samples: sample k of `samples` goes to plane k at pixel index i.
template <size_t SampleBytes, size_t Planes>
void spread(uint8_t* dst, uint32_t count, uint32_t i, const std::array<uint32_t, Planes>& samples)
{
    for (size_t k = 0; k < Planes; ++k)
        setLe(dst + (k * count + i) * SampleBytes, SampleBytes, samples[k]);
}

void rgb888ToRgbp8(const uint8_t* s, uint8_t* d, uint32_t n, uint32_t)
{
    for (uint32_t i = 0; i < n; ++i, s += 3)
        spread<1, 3>(d, n, i, {s[2], s[1], s[0]});
}

void rgb8888ToRgbap8(const uint8_t* s, uint8_t* d, uint32_t n, uint32_t)
{
    for (uint32_t i = 0; i < n; ++i, s += 4)
        spread<1, 4>(d, n, i, {s[3], s[2], s[1], s[0]});
}

void rgb101010ToRgbp16(const uint8_t* s, uint8_t* d, uint32_t n, uint32_t a)
{
    for (uint32_t i = 0; i < n; ++i, s += 4) {
        const uint32_t w = le32(s);
        spread<2, 3>(d, n, i, {((w >> 20) & 0x3FF) << (6 - a), ((w >> 10) & 0x3FF) << (6 - a), (w & 0x3FF) << (6 - a)});
    }
}

void rgb161616ToRgbp16(const uint8_t* s, uint8_t* d, uint32_t n, uint32_t)
{
    for (uint32_t i = 0; i < n; ++i, s += 6)
        spread<2, 3>(d, n, i, {le16(s + 4), le16(s + 2), le16(s)});
}

const LineCase kCases[] = {
    {"RGB888toRGBP8", VyrUtilConvertRGB888toRGBP8, cv::kRgb888ToRgbp8, nullptr, rgb888ToRgbp8, nullptr, 3, 3, 1,
     0, true},
    {"RGB8888toRGBAP8", VyrUtilConvertRGB8888toRGBAP8, cv::kRgb8888ToRgbap8, nullptr, rgb8888ToRgbap8, nullptr, 4,
     4, 1, 0, true},
    {"RGB101010toRGBP16", VyrUtilConvertRGB101010toRGBP16, cv::kRgb101010ToRgbp16, nullptr, rgb101010ToRgbp16,
     nullptr, 4, 6, 4, 6},
    {"RGB161616toRGBP16", VyrUtilConvertRGB161616toRGBP16, cv::kRgb161616ToRgbp16, nullptr, rgb161616ToRgbp16,
     nullptr, 6, 6, 2, 0, true},
};

INSTANTIATE_TEST_SUITE_P(Planar, LineConverter, ::testing::ValuesIn(kCases), caseName);

TEST(PlanarValues, PlanesComeInTheirOrder)
{
    EXPECT_TRUE(converts(cv::kRgb888ToRgbp8, 0, {1, 2, 3, 4, 5, 6}, 3, {3, 6, 2, 5, 1, 4}));
    EXPECT_TRUE(converts(cv::kRgb8888ToRgbap8, 0, {1, 2, 3, 4}, 4, {4, 3, 2, 1}));
}

// ---- Planar sources: planes width x height samples apart ----------------------------------------------

struct PlanesCase {
    const char* name;
    cv::PlanesFn path;
    uint32_t(VYR_CALL* exported)(const void*, void*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t);
    size_t sampleBytes;
    size_t planes;
    uint32_t maxUnusedBits;
};

uint32_t VYR_CALL rgbp8(const void* s, void* d, uint32_t r1, uint32_t r2, uint32_t w, uint32_t h, uint32_t n, uint32_t)
{
    return VyrUtilConvertRGBP8toRGB8888(s, d, r1, r2, w, h, n);
}
uint32_t VYR_CALL rgbap8(const void* s, void* d, uint32_t r1, uint32_t r2, uint32_t w, uint32_t h, uint32_t n, uint32_t)
{
    return VyrUtilConvertRGBAP8toRGB8888(s, d, r1, r2, w, h, n);
}

// Blue, green, red, fourth of pixel i from planes red, green, blue (and fourth), P samples apart.
std::vector<uint8_t> gathered(const PlanesCase& c, const std::vector<uint8_t>& src, size_t plane, uint32_t count,
                              uint32_t a, std::vector<uint8_t> dst)
{
    auto sample = [&](size_t k, size_t i) {
        const uint32_t v = le(&src[(k * plane + i) * c.sampleBytes], c.sampleBytes);
        return uint8_t(c.sampleBytes == 2 ? v >> (8 - a) : v);
    };
    for (size_t i = 0; i < count; ++i) {
        dst[4 * i + 0] = sample(2, i);
        dst[4 * i + 1] = sample(1, i);
        dst[4 * i + 2] = sample(0, i);
        dst[4 * i + 3] = c.planes == 4 ? sample(3, i) : 0;
    }
    return dst;
}

class PlanarSource : public ::testing::TestWithParam<PlanesCase> {};

// Only the first `count` samples of each plane are read, from planes exactly as long as the buffer
// allows (the last plane flush against a guard), and only `count` pixels written.
TEST_P(PlanarSource, GathersTheFirstCountSamplesOfEveryPlane)
{
    const PlanesCase& c = GetParam();
    for (uint32_t a = 0; a <= c.maxUnusedBits; ++a) {
        for (uint32_t count : countsUpTo(20, {257})) {
            for (uint32_t spare : {0u, 3u}) {
                const size_t plane = count + spare;
                std::vector<uint8_t> src(c.planes * plane * c.sampleBytes);
                mixedSamples(c.sampleBytes)(src.data(), src.size(), count * 7 + a);
                const std::vector<uint8_t> before = randomBytes(4 * count, count);
                const std::vector<uint8_t> expected = gathered(c, src, plane, count, a, before);
                for (size_t gap = 0; gap < 8; ++gap) {
                    GuardedBuffer in(src.size(), {gap % 2 ? Flush::Back : Flush::Front, gap});
                    std::copy(src.begin(), src.end(), in.data());
                    in.makeReadOnly();
                    GuardedBuffer out(before.size(), {gap % 2 ? Flush::Front : Flush::Back, gap});
                    std::copy(before.begin(), before.end(), out.data());
                    c.path(in.data(), out.data(), plane, count, a);
                    EXPECT_TRUE(out.surroundingsIntact()) << "count " << count;
                    EXPECT_TRUE(sameBytes(expected.data(), out.data(), expected.size()))
                        << "count " << count << ", plane " << plane << ", unusedBits " << a;
                }
            }
        }
    }
}

// Width and height count only as their product; the reserved arguments are not read.
TEST_P(PlanarSource, ExportTakesThePlaneDistanceFromWidthTimesHeight)
{
    const PlanesCase& c = GetParam();
    const uint32_t count = 10, width = 4, height = 3; // planes 12 samples apart
    std::vector<uint8_t> src(c.planes * width * height * c.sampleBytes);
    mixedSamples(c.sampleBytes)(src.data(), src.size(), 9);
    const std::vector<uint8_t> expected = gathered(c, src, width * height, count, c.maxUnusedBits,
                                                   std::vector<uint8_t>(4 * count, 0xEE));
    const std::pair<uint32_t, uint32_t> shapes[] = {{width, height}, {height, width}, {width * height, 1}};
    for (auto [w, h] : shapes) {
        std::vector<uint8_t> dst(4 * count, 0xEE);
        EXPECT_EQ(0u, c.exported(src.data(), dst.data(), 0xDEADBEEF, 0x12345678, w, h, count, c.maxUnusedBits));
        EXPECT_EQ(expected, dst) << w << " x " << h;
    }
    GuardedBuffer none(0, {Flush::Front, 0});
    EXPECT_EQ(0u, c.exported(none.data(), none.data(), 0, 0, 7, 5, 0, 0));
    EXPECT_TRUE(none.surroundingsIntact());
}

const PlanesCase kPlanesCases[] = {
    {"RGBP8toRGB8888", cv::kRgbp8ToRgb8888, rgbp8, 1, 3, 0},
    {"RGBAP8toRGB8888", cv::kRgbap8ToRgb8888, rgbap8, 1, 4, 0},
    {"RGBP16toRGB8888", cv::kRgbp16ToRgb8888, VyrUtilConvertRGBP16toRGB8888, 2, 3, 8},
};

INSTANTIATE_TEST_SUITE_P(Planar, PlanarSource, ::testing::ValuesIn(kPlanesCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PlanarValues, FourthPlaneIsReadLastAndSixteenBitSamplesKeepTheirTopBits)
{
    std::vector<uint8_t> pixel(4);
    VyrUtilConvertRGBAP8toRGB8888(std::vector<uint8_t>{1, 2, 3, 4}.data(), pixel.data(), 0, 0, 1, 1, 1);
    EXPECT_EQ((std::vector<uint8_t>{3, 2, 1, 4}), pixel);
    const std::vector<uint8_t> planes16 = {0xFF, 0x0F, 0x00, 0x08, 0x10, 0x00}; // red, green, blue
    VyrUtilConvertRGBP16toRGB8888(planes16.data(), pixel.data(), 0, 0, 1, 1, 1, 4);
    EXPECT_EQ((std::vector<uint8_t>{0x01, 0x80, 0xFF, 0x00}), pixel);
}

// ---- Merge and split ------------------------------------------------------------------------------------

// Which planes are given: bit 0 red, bit 1 green, bit 2 blue.
bool given(unsigned mask, size_t plane) { return (mask >> plane) & 1; }

std::vector<uint8_t> merged(const std::array<std::vector<uint8_t>, 3>& planes, unsigned mask, uint32_t count)
{
    std::vector<uint8_t> dst(4 * size_t(count));
    for (size_t i = 0; i < count; ++i) {
        dst[4 * i + 0] = given(mask, 2) ? planes[2][i] : 0;
        dst[4 * i + 1] = given(mask, 1) ? planes[1][i] : 0;
        dst[4 * i + 2] = given(mask, 0) ? planes[0][i] : 0;
        dst[4 * i + 3] = 0;
    }
    return dst;
}

// Three guarded planes, each at its own placement; a null where a plane is not given.
struct GuardedPlanes {
    std::array<std::unique_ptr<GuardedBuffer>, 3> buffers;

    GuardedPlanes(uint32_t count, unsigned mask, size_t placement)
    {
        for (size_t k = 0; k < 3; ++k) {
            if (given(mask, k)) {
                const size_t gap = (placement + 3 * k) % 8;
                buffers[k] = std::make_unique<GuardedBuffer>(count, Placement{(gap + k) % 2 ? Flush::Back : Flush::Front, gap});
            }
        }
    }
    uint8_t* operator[](size_t k) { return buffers[k] ? buffers[k]->data() : nullptr; }
    bool intact() const
    {
        for (const auto& b : buffers) {
            if (b && !b->surroundingsIntact())
                return false;
        }
        return true;
    }
};

std::vector<unsigned> allMasks() { return {7, 0, 1, 2, 3, 4, 5, 6}; }

template <class Fn>
std::vector<std::pair<std::string, Fn>> mergeSplitPaths(const cv::PathsOf<Fn>& paths)
{
    std::vector<std::pair<std::string, Fn>> out = {{"scalar", paths.scalar}};
    for (unsigned i = cv::kPlain; i <= cv::processorIsa(); ++i) {
        if (paths.variants[i])
            out.emplace_back(std::string("vector ") + cv::isaName(cv::Isa(i)), paths.variants[i]);
    }
    return out;
}

// Counts up to a few blocks at every destination offset for all planes given; fewer counts for the
// null-plane cases, which every path runs by the scalar rule.
std::vector<uint32_t> mergeSplitCounts(unsigned mask)
{
    return mask == 7 ? countsUpTo(48, {255, 1000, 4099}) : countsUpTo(20, {1000});
}

TEST(Merge, EveryPathComposesTheWordsWithNullPlanesGivingZero)
{
    for (auto [name, path] : mergeSplitPaths(cv::kMergeMono8ToRgb8888)) {
        for (unsigned mask : allMasks()) {
            for (uint32_t count : mergeSplitCounts(mask)) {
                std::array<std::vector<uint8_t>, 3> planes;
                for (size_t k = 0; k < 3; ++k)
                    planes[k] = randomBytes(count, count * 3 + uint32_t(k));
                const std::vector<uint8_t> expected = merged(planes, mask, count);
                for (size_t placement = 0; placement < 8; ++placement) {
                    GuardedPlanes src(count, mask, placement);
                    for (size_t k = 0; k < 3; ++k) {
                        if (src[k])
                            std::copy(planes[k].begin(), planes[k].end(), src[k]);
                    }
                    for (Flush flush : {Flush::Front, Flush::Back}) {
                        GuardedBuffer dst(4 * size_t(count), {flush, placement});
                        std::fill(dst.data(), dst.data() + 4 * size_t(count), 0xCC);
                        path(src[0], src[1], src[2], dst.data(), count);
                        ASSERT_TRUE(dst.surroundingsIntact()) << name << ", mask " << mask << ", count " << count;
                        ASSERT_TRUE(sameBytes(expected.data(), dst.data(), expected.size()))
                            << name << ", planes given " << mask << ", count " << count << ", destination offset "
                            << (reinterpret_cast<uintptr_t>(dst.data()) & 7);
                    }
                }
            }
        }
    }
}

// Planes not given are null pointers: a write to one would fault.
TEST(Split, EveryPathWritesOnlyTheGivenPlanes)
{
    for (auto [name, path] : mergeSplitPaths(cv::kSplitRgb8888ToMono8)) {
        for (unsigned mask : allMasks()) {
            for (uint32_t count : mergeSplitCounts(mask)) {
                const std::vector<uint8_t> src = randomBytes(4 * size_t(count), count);
                for (size_t placement = 0; placement < 8; ++placement) {
                    for (Flush flush : {Flush::Front, Flush::Back}) {
                        GuardedBuffer in(src.size(), {flush, placement});
                        std::copy(src.begin(), src.end(), in.data());
                        in.makeReadOnly();
                        GuardedPlanes dst(count, mask, placement + 1);
                        path(in.data(), dst[0], dst[1], dst[2], count);
                        ASSERT_TRUE(dst.intact()) << name << ", mask " << mask << ", count " << count;
                        for (size_t k = 0; k < 3; ++k) {
                            for (size_t i = 0; dst[k] && i < count; ++i) {
                                ASSERT_EQ(src[4 * i + 2 - k], dst[k][i])
                                    << name << ", planes given " << mask << ", plane " << k << ", count " << count
                                    << ", pixel " << i << ", source offset "
                                    << (reinterpret_cast<uintptr_t>(in.data()) & 7);
                            }
                        }
                    }
                }
            }
        }
    }
}

TEST(MergeSplit, ExportsTakeTheVectorPathOnlyWithAllPlanesAndGiveTheRuleEitherWay)
{
    const uint8_t red[] = {0x11, 0x01}, green[] = {0x22, 0x02}, blue[] = {0x33, 0x03};
    uint32_t words[2] = {1, 2};
    EXPECT_EQ(0u, VyrUtilMergeMONO8toRGB8888(red, green, blue, words, 2));
    EXPECT_EQ(0x00112233u, words[0]);
    EXPECT_EQ(0x00010203u, words[1]);
    EXPECT_EQ(0u, VyrUtilMergeMONO8toRGB8888(red, nullptr, blue, words, 2));
    EXPECT_EQ(0x00110033u, words[0]);
    EXPECT_EQ(0u, VyrUtilMergeMONO8toRGB8888(nullptr, nullptr, nullptr, words, 1));
    EXPECT_EQ(0u, words[0]);
    EXPECT_EQ(0x00010003u, words[1]) << "only count words written";

    const uint32_t pixels[2] = {0xAA112233u, 0xBB445566u};
    uint8_t r[2] = {0, 0}, b[2] = {0, 0};
    EXPECT_EQ(0u, VyrUtilSplitRGB8888toMONO8(pixels, r, nullptr, b, 2));
    EXPECT_EQ(0x11, r[0]);
    EXPECT_EQ(0x44, r[1]);
    EXPECT_EQ(0x33, b[0]);
    EXPECT_EQ(0x66, b[1]);

    // Long enough for the vector middle; every plane at its own misalignment.
    const uint32_t n = 301;
    const std::vector<uint8_t> src = randomBytes(4 * n + 3, 8);
    std::vector<uint8_t> planes(3 * n + 5), back(4 * n + 1, 0x77);
    EXPECT_EQ(0u, VyrUtilSplitRGB8888toMONO8(src.data() + 3, planes.data(), planes.data() + n + 2,
                                            planes.data() + 2 * n + 5, n));
    EXPECT_EQ(0u, VyrUtilMergeMONO8toRGB8888(planes.data(), planes.data() + n + 2, planes.data() + 2 * n + 5,
                                            back.data() + 1, n));
    for (uint32_t i = 0; i < n; ++i) {
        EXPECT_EQ(le32(&src[3 + 4 * i]) & 0xFFFFFF, le32(&back[1 + 4 * i])) << "pixel " << i;
    }
}

// ---- Bit reversal ---------------------------------------------------------------------------------------

uint8_t mirrored(uint8_t v)
{
    uint8_t m = 0;
    for (int bit = 0; bit < 8; ++bit) {
        if (v & (1 << bit))
            m |= uint8_t(0x80 >> bit);
    }
    return m;
}

void reverseReference(const uint8_t* s, uint8_t* d, uint32_t count, uint32_t)
{
    for (uint32_t j = 0; j < (uint64_t(count) + 7) / 8; ++j)
        d[j] = mirrored(s[j]);
}

TEST(ReverseMono1, MirrorsEveryWholeOrPartByte)
{
    const LineSpec shape{[](uint32_t count) { return (size_t(count) + 7) / 8; },
                        [](uint32_t count) { return (size_t(count) + 7) / 8; }};
    EXPECT_TRUE(matchesReference(shape, cv::kReverseMono1, reverseReference, countsUpTo(40, {1000, 2047})));
    GuardedBuffer two(2, {Flush::Back, 0});
    const uint8_t nine[2] = {0x01, 0xF0};
    EXPECT_EQ(0u, VyrUtilReverseMONO1(nine, two.data(), 9, 0));
    EXPECT_EQ(0x80, two.data()[0]);
    EXPECT_EQ(0x0F, two.data()[1]) << "count 9 takes 2 bytes, the unused bits mirrored along";

    std::vector<uint8_t> all(256), out(256);
    for (int i = 0; i < 256; ++i)
        all[i] = uint8_t(i);
    EXPECT_EQ(0u, VyrUtilReverseMONO1(all.data(), out.data(), 256 * 8, 3));
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(mirrored(uint8_t(i)), out[i]) << i;
    EXPECT_EQ(0x80, out[1]);
    EXPECT_EQ(0xC0, out[3]);
}

// (count + 7) / 8 in 32-bit arithmetic: the largest counts wrap to no bytes at all.
TEST(ReverseMono1, CountsThatWrapWriteNothing)
{
    GuardedBuffer none(0, {Flush::Front, 0});
    for (uint32_t count : {0u, 0xFFFFFFF9u, 0xFFFFFFFFu}) {
        EXPECT_EQ(0u, VyrUtilReverseMONO1(none.data(), none.data(), count, 0));
        EXPECT_TRUE(none.surroundingsIntact()) << count;
    }
}

} // namespace
} // namespace vyr::test
