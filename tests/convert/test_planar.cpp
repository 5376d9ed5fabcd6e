// Planar RGB: packed lines into planes and back, merge and split with null planes, MONO1 bit reversal.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>

#include "bytes.h"
#include "convert/planar.h"
#include "export_shapes.h"
#include "guarded_buffer.h"
#include "line_harness.h"

namespace vyr::test {
namespace {

namespace cv = convert;

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

void reverseReference(const uint8_t* s, uint8_t* d, uint32_t count, uint32_t)
{
    for (uint32_t j = 0; j < (uint64_t(count) + 7) / 8; ++j) {
        d[j] = 0;
        for (int bit = 0; bit < 8; ++bit)
            d[j] |= ((s[j] >> bit) & 1) << (7 - bit);
    }
}

// MONO1 bit reversal: a part byte is mirrored whole, its unused bits along.
const LineCase kCases[] = {
    {CONVERTER(RGB888toRGBP8, kRgb888ToRgbp8), {spread<byteAt, 1, 3, 3>, {3}, {3}}},
    {CONVERTER(RGB8888toRGBAP8, kRgb8888ToRgbap8), {spread<byteAt, 1, 4, 4>, {4}, {4}}},
    {CONVERTER(RGB101010toRGBP16, kRgb101010ToRgbp16), {spread<field101010, 2, 3, 4>, {4}, {6}}, 4, 6},
    {CONVERTER(RGB161616toRGBP16, kRgb161616ToRgbp16), {spread<wordAt, 2, 3, 6>, {6}, {6}}, 2},
    {"ReverseMONO1", VyrUtilReverseMONO1, &cv::kReverseMono1, {reverseReference, {1, 8}, {1, 8}}},
};

// RGB888 pixels and MONO1 bytes: every value.
VYR_LINE_FAMILY(Planar, kCases, atEveryIsaOfSmallSources(kCases), {}, kCountsThroughUnits);

// (count + 7) / 8 in 32-bit arithmetic: the largest counts wrap to no bytes at all.
TEST(ReverseMono1, CountsThatWrapWriteNothing)
{
    GuardedBuffer none(0, {Flush::Front, 0});
    for (uint32_t count : {0u, 0xFFFFFFF9u, 0xFFFFFFFFu}) {
        EXPECT_EQ(0u, VyrUtilReverseMONO1(none.data(), none.data(), count, 0));
        EXPECT_TRUE(none.surroundingsIntact()) << count;
    }
}

class PlanarSource : public IsaTest<PlanesConverter> {};
INSTANTIATE_TEST_SUITE_P(Planar, PlanarSource, atEveryIsa(kPlaneSources), IsaCaseName());

// Blue, green, red (and fourth) from the first `n` samples of planes red, green, blue (and fourth) of
// `planeBytes` bytes each, the fourth byte 0 without a fourth plane.
Path gathered(const PlanesConverter& c, uint32_t height, uint32_t a)
{
    return [&c, height, a](const uint8_t* s, uint8_t* d, uint32_t n, uint32_t) {
        const size_t planeBytes = size_t(height) * n * c.sampleBytes;
        for (size_t i = 0; i < n; ++i) {
            d[4 * i + 3] = 0;
            for (size_t k = 0; k < c.planes; ++k) {
                const uint32_t v = loadLe(s + k * planeBytes + i * c.sampleBytes, c.sampleBytes);
                d[4 * i + (k < 3 ? 2 - k : 3)] = uint8_t(v >> (c.sampleBytes - 1) * (8 - a));
            }
        }
    };
}

// The planes `count` or 3 x `count` samples apart (width x height, either way round).
TEST_P(PlanarSource, GathersTheFirstCountSamplesOfEveryPlane)
{
    std::vector<NamedPath<cv::PlanesFn>> paths = pathsAt(*c().paths, isa());
    for (uint32_t a = 0; a <= c().maxUnusedBits; ++a) {
        for (uint32_t height : {1u, 3u}) {
            const LineShape shape{
                {c().planes * height * c().sampleBytes}, {4}, a, mixedSamples(c().sampleBytes)};
            const Path reference = gathered(c(), height, a);
            const auto exported = [&](const uint8_t* s, uint8_t* d, uint32_t n, uint32_t) {
                // width and height either way round; the reserved arguments are not read
                EXPECT_EQ(0u,
                          c().exported(s, d, 0xDEADBEEF, 1234, n % 2 ? height : n, n % 2 ? n : height, n, a));
            };
            for (const auto& p : paths) {
                const Path path = [&](const uint8_t* s, uint8_t* d, uint32_t n, uint32_t) {
                    p.fn(s, d, size_t(n) * height, n, a);
                };
                EXPECT_TRUE(
                    matchesReference(shape, path, reference, countsUpTo(kCountsThroughUnits, {257, 4099})))
                    << p.name << ", unusedBits " << a << ", height " << height;
            }
            if (isa() == cv::kPlain) {
                EXPECT_TRUE(matchesReference(shape, exported, reference, countsUpTo(8, {257})))
                    << "export, unusedBits " << a << ", height " << height;
            }
        }
    }
}

// Input n of a sweep as pixel i of three planes red, green, blue of `count` bytes: red n >> 16, green
// n >> 8, blue n.
void putColourPlanes(uint8_t* src, uint32_t count, uint32_t i, uint32_t n)
{
    for (uint32_t k = 0; k < 3; ++k)
        src[k * count + i] = uint8_t(n >> 8 * (2 - k));
}

// Three planes of bytes, by the planar source and by merge (the planes of one buffer): every colour.
class PlanarSourceEveryColour : public IsaTest<PlanesConverter> {};
INSTANTIATE_TEST_SUITE_P(Planar, PlanarSourceEveryColour,
                         atEveryIsa(kPlaneSources,
                                    [](auto& c, Isa i) {
                                        return c.planes == 3 && c.sampleBytes == 1 &&
                                               (hasPathAt(*c.paths, i) ||
                                                hasPathAt(cv::kMergeMono8ToRgb8888, i));
                                    }),
                         IsaCaseName());
TEST_P(PlanarSourceEveryColour, OnEveryPath)
{
    std::vector<std::pair<std::string, Path>> paths;
    for (const auto& p : pathsAt(*c().paths, isa()))
        paths.emplace_back(
            p.name, [fn = p.fn](const uint8_t* s, uint8_t* d, uint32_t n, uint32_t) { fn(s, d, n, n, 0); });
    for (const auto& merge : pathsAt(cv::kMergeMono8ToRgb8888, isa())) {
        paths.emplace_back("merge " + merge.name,
                           [fn = merge.fn](const uint8_t* s, uint8_t* d, uint32_t n, uint32_t) {
                               fn(s, s + n, s + 2 * size_t(n), d, n);
                           });
    }
    EXPECT_TRUE(sweepPaths(1u << 24, {3}, {4}, putColourPlanes, gathered(c(), 1, 0), paths, 0));
}

// Three guarded planes, red first, each at its own placement; null where not given (bit k: plane k).
struct GuardedPlanes {
    std::array<std::unique_ptr<GuardedBuffer>, 3> buffers;

    GuardedPlanes(uint32_t count, unsigned given, size_t placement)
    {
        for (size_t k = 0; k < 3; ++k) {
            const size_t gap = (5 * placement + 3 * k) % 64;
            if ((given >> k) & 1)
                buffers[k] = std::make_unique<GuardedBuffer>(count, Placement{Flush((gap + k) % 2), gap});
        }
    }
    uint8_t* operator[](size_t k) { return buffers[k] ? buffers[k]->data() : nullptr; }
    bool intact() const
    {
        const auto intact = [](const auto& b) { return !b || b->surroundingsIntact(); };
        return std::all_of(buffers.begin(), buffers.end(), intact);
    }
};

void mergeExport(const uint8_t* r, const uint8_t* g, const uint8_t* b, uint8_t* dst, uint32_t count)
{
    EXPECT_EQ(0u, VyrUtilMergeMONO8toRGB8888(r, g, b, dst, count));
}
void splitExport(const uint8_t* src, uint8_t* r, uint8_t* g, uint8_t* b, uint32_t count)
{
    EXPECT_EQ(0u, VyrUtilSplitRGB8888toMONO8(src, r, g, b, count));
}

struct MergeAndSplit {
    const char* name;
};
const MergeAndSplit kMergeAndSplit[] = {{"MONO8andRGB8888"}};
bool mergeOrSplitAt(const MergeAndSplit&, Isa isa)
{
    return hasPathAt(cv::kMergeMono8ToRgb8888, isa) || hasPathAt(cv::kSplitRgb8888ToMono8, isa);
}

class MergeSplit : public IsaTest<MergeAndSplit> {};
INSTANTIATE_TEST_SUITE_P(Planar, MergeSplit, atEveryIsa(kMergeAndSplit, mergeOrSplitAt), IsaCaseName());

// Every path (and at plain the export) for every set of given planes: a null plane merges as 0, split
// skips it. The exports take the vector rule only with all three planes: it gives the same bytes.
TEST_P(MergeSplit, EveryPathEveryCountPlacementAndNullPlane)
{
    auto merges = pathsAt(cv::kMergeMono8ToRgb8888, isa());
    auto splits = pathsAt(cv::kSplitRgb8888ToMono8, isa());
    if (isa() == cv::kPlain) {
        merges.push_back({"export", mergeExport, false});
        splits.push_back({"export", splitExport, false});
    }
    for (unsigned given = 0; given < 8; ++given) {
        for (uint32_t count : given == 7 ? countsUpTo(kCountsThroughUnits) : countsUpTo(20, {1000})) {
            const size_t placements = count > kCountsThroughUnits || count % 16 == 1 ? 68 : 20;
            for (size_t placement = 0; placement < placements; ++placement) {
                SCOPED_TRACE("planes given " + std::to_string(given) + ", count " + std::to_string(count) +
                             ", placement " + std::to_string(placement));
                const auto packed = randomBytes(4 * size_t(count), count * 16 + uint32_t(placement));
                std::vector<uint8_t> merged(packed.size());
                GuardedPlanes planes(count, given, placement);
                GuardedBuffer run(packed.size(), placement < 4 ? Placement{Flush::Back, placement}
                                                               : Placement{Flush::Front, placement - 4});
                for (size_t k = 0; k < 3; ++k) {
                    for (size_t i = 0; planes[k] && i < count; ++i)
                        planes[k][i] = merged[4 * i + 2 - k] = packed[4 * i + 2 - k];
                }
                for (const auto& merge : merges) {
                    std::fill(run.data(), run.data() + run.size(), 0xCC);
                    merge.fn(planes[0], planes[1], planes[2], run.data(), count);
                    ASSERT_TRUE(run.surroundingsIntact()) << merge.name;
                    ASSERT_TRUE(sameBytes(merged.data(), run.data(), merged.size())) << merge.name;
                }
                std::copy(packed.begin(), packed.end(), run.data());
                run.makeReadOnly();
                for (const auto& split : splits) {
                    for (size_t k = 0; k < 3; ++k)
                        std::fill(planes[k], planes[k] + (planes[k] ? count : 0), 0x5A);
                    split.fn(run.data(), planes[0], planes[1], planes[2], count);
                    ASSERT_TRUE(planes.intact()) << split.name;
                    for (size_t k = 0; k < 3; ++k) {
                        for (size_t i = 0; planes[k] && i < count; ++i)
                            ASSERT_EQ(packed[4 * i + 2 - k], planes[k][i]) << split.name << ", plane " << k;
                    }
                }
            }
        }
    }
}

} // namespace
} // namespace vyr::test
