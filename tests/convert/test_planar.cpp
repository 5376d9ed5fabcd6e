// Planar RGB: packed lines into planes and back, merge and split with separate (possibly null)
// planes, and the bit reversal of MONO1.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>

#include "bytes.h"
#include "convert/planar.h"
#include "guarded_buffer.h"
#include "line_harness.h"

namespace vyr::test {
namespace {

namespace cv = convert;

// ---- Planar destinations: one buffer of planes `count` samples apart --------------------------------

// Samples of a pixel, blue first: bytes, 16-bit words or 10-bit fields widened to 16 bits.
using Sample = uint32_t (*)(const uint8_t* pixel, size_t k, uint32_t unusedBits);
uint32_t byteAt(const uint8_t* s, size_t k, uint32_t) { return s[k]; }
uint32_t wordAt(const uint8_t* s, size_t k, uint32_t) { return loadLe(s + 2 * k, 2); }
uint32_t field101010(const uint8_t* s, size_t k, uint32_t a)
{
    return ((loadLe(s, 4) >> 10 * k) & 0x3FF) << (6 - a);
}

// Plane k of the destination takes the pixels' samples in reverse order: red (or the fourth) first.
template <Sample S, size_t SampleBytes, size_t Planes, size_t PixelBytes>
void spread(const uint8_t* s, uint8_t* d, uint32_t n, uint32_t a)
{
    for (uint32_t i = 0; i < n; ++i, s += PixelBytes) {
        for (size_t k = 0; k < Planes; ++k)
            storeLe(d + (k * n + i) * SampleBytes, SampleBytes, S(s, Planes - 1 - k, a));
    }
}

// The converter's name and its export.
#define CONVERTER(name) #name, VyrUtilConvert##name

const std::vector<LineCase> kCases = {
    {CONVERTER(RGB888toRGBP8), cv::kRgb888ToRgbp8, {spread<byteAt, 1, 3, 3>, 3, 3}, 1, kAnyUnusedBits},
    {CONVERTER(RGB8888toRGBAP8), cv::kRgb8888ToRgbap8, {spread<byteAt, 1, 4, 4>, 4, 4}, 1, kAnyUnusedBits},
    {CONVERTER(RGB101010toRGBP16), cv::kRgb101010ToRgbp16, {spread<field101010, 2, 3, 4>, 4, 6}, 4, 6},
    {CONVERTER(RGB161616toRGBP16), cv::kRgb161616ToRgbp16, {spread<wordAt, 2, 3, 6>, 6, 6}, 2,
     kAnyUnusedBits},
};

class Planar : public ::testing::TestWithParam<LineCase> {};
TEST_P(Planar, FollowsItsRule) { expectFollowsItsRules(GetParam()); }
INSTANTIATE_TEST_SUITE_P(Converters, Planar, ::testing::ValuesIn(kCases), caseName);

TEST(PlanarValues, PlanesComeInTheirOrder)
{
    expectTellingValues(kCases, {
        {"RGB888toRGBP8", 0, {1, 2, 3, 4, 5, 6}, {3, 6, 2, 5, 1, 4}},
        {"RGB8888toRGBAP8", 0, {1, 2, 3, 4}, {4, 3, 2, 1}},
        {"RGB101010toRGBP16", 6, {0xFF, 0x03, 0x00, 0x20}, {0x00, 0x02, 0x00, 0x00, 0xFF, 0x03}},
        {"RGB161616toRGBP16", 0, {1, 2, 3, 4, 5, 6}, {5, 6, 3, 4, 1, 2}},
    });
}

// ---- Planar sources: planes width x height samples apart ----------------------------------------------

using PlanesExport = uint32_t(VYR_CALL*)(const void* src, void* dst, uint32_t reserved1, uint32_t reserved2,
                                         uint32_t width, uint32_t height, uint32_t count, uint32_t unused);

// The 8-bit exports take no unusedBits.
template <uint32_t(VYR_CALL* Export)(const void*, void*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t)>
uint32_t VYR_CALL withoutUnusedBits(const void* s, void* d, uint32_t r1, uint32_t r2, uint32_t w, uint32_t h,
                                    uint32_t n, uint32_t)
{
    return Export(s, d, r1, r2, w, h, n);
}

struct PlanesCase {
    const char* name;
    PlanesExport exported;
    size_t sampleBytes, planes;
    uint32_t maxUnusedBits;
};

const PlanesCase kPlanesCases[] = {
    {"RGBP8toRGB8888", withoutUnusedBits<VyrUtilConvertRGBP8toRGB8888>, 1, 3, 0},
    {"RGBAP8toRGB8888", withoutUnusedBits<VyrUtilConvertRGBAP8toRGB8888>, 1, 4, 0},
    {"RGBP16toRGB8888", VyrUtilConvertRGBP16toRGB8888, 2, 3, 8},
};

// Blue, green, red, fourth of each pixel from planes red, green, blue (and fourth), `plane` apart.
std::vector<uint8_t> gathered(const PlanesCase& c, const std::vector<uint8_t>& src, size_t plane,
                              uint32_t count, uint32_t a, std::vector<uint8_t> dst)
{
    auto sample = [&](size_t k, size_t i) {
        const uint32_t v = loadLe(&src[(k * plane + i) * c.sampleBytes], c.sampleBytes);
        return uint8_t(c.sampleBytes == 2 ? v >> (8 - a) : v);
    };
    for (size_t i = 0; i < count; ++i) {
        for (size_t k = 0; k < 3; ++k)
            dst[4 * i + k] = sample(2 - k, i);
        dst[4 * i + 3] = c.planes == 4 ? sample(3, i) : 0;
    }
    return dst;
}

class PlanarSource : public ::testing::TestWithParam<PlanesCase> {};
INSTANTIATE_TEST_SUITE_P(Planar, PlanarSource, ::testing::ValuesIn(kPlanesCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Only the first `count` samples of each plane are read, from planes exactly as long as the buffer
// allows (the last plane flush against a guard), and only `count` pixels written. Width and height
// count only as their product; the reserved arguments are not read.
TEST_P(PlanarSource, GathersTheFirstCountSamplesOfEveryPlane)
{
    const PlanesCase& c = GetParam();
    for (uint32_t a = 0; a <= c.maxUnusedBits; ++a) {
        for (uint32_t count : countsUpTo(20, {257})) {
            for (uint32_t height : {1u, 2u}) { // planes count or 2 x (count + 2) samples apart
                const uint32_t width = height == 1 ? count : count + 2, plane = width * height;
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
                    const bool turned = gap % 2;
                    EXPECT_EQ(0u, c.exported(in.data(), out.data(), 0xDEADBEEF, 1234, turned ? height : width,
                                             turned ? width : height, count, a));
                    EXPECT_TRUE(out.surroundingsIntact()) << "count " << count;
                    EXPECT_TRUE(sameBytes(expected.data(), out.data(), expected.size()))
                        << "count " << count << ", plane " << plane << ", unusedBits " << a;
                }
            }
        }
    }
}

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

// Three guarded planes, each at its own placement; a null where a plane is not given.
struct GuardedPlanes {
    std::array<std::unique_ptr<GuardedBuffer>, 3> buffers;

    GuardedPlanes(uint32_t count, unsigned mask, size_t placement)
    {
        for (size_t k = 0; k < 3; ++k) {
            const size_t gap = (placement + 3 * k) % 8;
            const Flush flush = (gap + k) % 2 ? Flush::Back : Flush::Front;
            if (given(mask, k))
                buffers[k] = std::make_unique<GuardedBuffer>(count, Placement{flush, gap});
        }
    }
    uint8_t* operator[](size_t k) { return buffers[k] ? buffers[k]->data() : nullptr; }
    bool intact() const
    {
        const auto intact = [](const auto& b) { return !b || b->surroundingsIntact(); };
        return std::all_of(buffers.begin(), buffers.end(), intact);
    }
};

// The export, the scalar path and every vector path; up to a few blocks with all planes given, fewer
// counts with null planes, which every path runs by the scalar rule. Every plane and the packed run
// flush against a guard or at an offset 0..7.
template <class Fn, class Check>
void forEveryPathMaskCountAndPlacement(const cv::PathsOf<Fn>& paths, Fn exported, Check check)
{
    std::vector<std::pair<std::string, Fn>> all = {{"export", exported}, {"scalar", paths.scalar}};
    for (unsigned i = cv::kPlain; i <= cv::processorIsa(); ++i) {
        if (paths.variants[i])
            all.emplace_back(cv::isaName(cv::Isa(i)), paths.variants[i]);
    }
    for (auto [name, path] : all) {
        for (unsigned mask = 0; mask < 8; ++mask) {
            for (uint32_t count : mask == 7 ? countsUpTo(48, {255, 1000, 4099}) : countsUpTo(20, {1000})) {
                for (size_t placement = 0; placement < 16; ++placement) {
                    SCOPED_TRACE(name + ", planes given " + std::to_string(mask) + ", count " +
                                 std::to_string(count) + ", placement " + std::to_string(placement));
                    const Flush flush = placement < 8 ? Flush::Front : Flush::Back;
                    check(path, mask, count, Placement{flush, placement % 8});
                    if (::testing::Test::HasFatalFailure())
                        return;
                }
            }
        }
    }
}

void mergeExport(const uint8_t* r, const uint8_t* g, const uint8_t* b, uint8_t* dst, uint32_t count)
{
    EXPECT_EQ(0u, VyrUtilMergeMONO8toRGB8888(r, g, b, dst, count));
}
void splitExport(const uint8_t* src, uint8_t* r, uint8_t* g, uint8_t* b, uint32_t count)
{
    EXPECT_EQ(0u, VyrUtilSplitRGB8888toMONO8(src, r, g, b, count));
}

// Planes not given contribute 0.
TEST(Merge, EveryPathComposesTheWordsWithNullPlanesGivingZero)
{
    const auto check = [](cv::MergeFn path, unsigned mask, uint32_t count, Placement placement) {
        std::array<std::vector<uint8_t>, 3> planes;
        std::vector<uint8_t> expected(4 * size_t(count));
        GuardedPlanes src(count, mask, placement.gap);
        for (size_t k = 0; k < 3; ++k) {
            planes[k] = randomBytes(count, count * 3 + uint32_t(k));
            for (size_t i = 0; given(mask, k) && i < count; ++i)
                expected[4 * i + 2 - k] = planes[k][i];
            if (src[k])
                std::copy(planes[k].begin(), planes[k].end(), src[k]);
        }
        GuardedBuffer dst(4 * size_t(count), placement);
        std::fill(dst.data(), dst.data() + 4 * size_t(count), 0xCC);
        path(src[0], src[1], src[2], dst.data(), count);
        ASSERT_TRUE(dst.surroundingsIntact());
        ASSERT_TRUE(sameBytes(expected.data(), dst.data(), expected.size()));
    };
    forEveryPathMaskCountAndPlacement(cv::kMergeMono8ToRgb8888, &mergeExport, check);
}

// Planes not given are null pointers: a write to one would fault.
TEST(Split, EveryPathWritesOnlyTheGivenPlanes)
{
    const auto check = [](cv::SplitFn path, unsigned mask, uint32_t count, Placement placement) {
        const std::vector<uint8_t> src = randomBytes(4 * size_t(count), count);
        GuardedBuffer in(src.size(), placement);
        std::copy(src.begin(), src.end(), in.data());
        in.makeReadOnly();
        GuardedPlanes dst(count, mask, placement.gap + 1);
        path(in.data(), dst[0], dst[1], dst[2], count);
        ASSERT_TRUE(dst.intact());
        for (size_t k = 0; k < 3; ++k) {
            for (size_t i = 0; dst[k] && i < count; ++i)
                ASSERT_EQ(src[4 * i + 2 - k], dst[k][i]) << "plane " << k << ", pixel " << i;
        }
    };
    forEveryPathMaskCountAndPlacement(cv::kSplitRgb8888ToMono8, &splitExport, check);
}

// ---- Bit reversal ---------------------------------------------------------------------------------------

void reverseReference(const uint8_t* s, uint8_t* d, uint32_t count, uint32_t)
{
    for (uint32_t j = 0; j < (uint64_t(count) + 7) / 8; ++j) {
        d[j] = 0;
        for (int bit = 0; bit < 8; ++bit)
            d[j] |= ((s[j] >> bit) & 1) << (7 - bit);
    }
}

void reverseExport(const uint8_t* s, uint8_t* d, uint32_t count, uint32_t unusedBits)
{
    EXPECT_EQ(0u, VyrUtilReverseMONO1(s, d, count, unusedBits));
}

// A part byte is mirrored whole, its unused bits along.
TEST(ReverseMono1, MirrorsEveryWholeOrPartByte)
{
    const LineSpec shape{[](uint32_t count) { return (size_t(count) + 7) / 8; },
                         [](uint32_t count) { return (size_t(count) + 7) / 8; }};
    for (LineFn path : {cv::kReverseMono1, reverseExport})
        EXPECT_TRUE(matchesReference(shape, path, reverseReference, countsUpTo(40, {1000, 2047})));
    uint8_t two[2];
    const uint8_t nine[2] = {0x01, 0xF0};
    reverseExport(nine, two, 9, 0);
    EXPECT_EQ(0x80, two[0]);
    EXPECT_EQ(0x0F, two[1]);
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
