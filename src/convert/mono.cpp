#include "convert/mono.h"

#include "convert/kernels/mono_kernels.h"
#include "convert/unit_line.h"

namespace vyr::convert {
namespace {

using namespace fmt;
using kernels::headTo8;

// ---- Rules that are not a plain repack ------------------------------------------------------------

// The sign bit flips: INT8 v stands for MONO8 v + 128, and back.
struct FlipSign8 {
    using Source = Mono8;
    using Destination = Mono8;
    static void pixel(const uint8_t* s, uint8_t* d, uint32_t) { d[0] = uint8_t(s[0] ^ 0x80u); }
};

// The offset does not scale with the depth: it is added whatever unusedBits is.
struct Mono8ToInt16 {
    using Source = Mono8;
    using Destination = Mono16;
    static void pixel(const uint8_t* s, uint8_t* d, uint32_t a)
    {
        storeLe<2>(d, (uint32_t(s[0]) << ((8u - a) & 31u)) + 0x8000u);
    }
};

// Full depth: floor(v / 256) + 128, no clamping needed. Fewer bits: the quotient truncated toward
// zero, then clamped, so samples beyond the declared depth saturate.
struct Int16ToMono8 {
    using Source = Mono16;
    using Destination = Mono8;
    static void pixel(const uint8_t* s, uint8_t* d, uint32_t a)
    {
        const int32_t v = int16_t(uint16_t(loadLe<2>(s)));
        if (a == 0) {
            d[0] = uint8_t((v + 32768) >> 8);
            return;
        }
        const uint32_t shift = (8u - a) & 31u;
        const int32_t q = v >= 0 ? v >> shift : -((-v) >> shift);
        const int32_t m = q + 128;
        d[0] = uint8_t(m < 0 ? 0 : m > 255 ? 255 : m);
    }
};

// The vector rule of MONO8 to RGB565: fields cut from the byte doubled into a word, so the lowest
// green bit is always 0.
struct Mono8ToRgb565Doubled {
    using Source = Mono8;
    using Destination = Rgb565;
    static void pixel(const uint8_t* s, uint8_t* d, uint32_t)
    {
        const uint32_t w = s[0] * 0x0101u;
        storeLe<2>(d, (w & 0xF800u) | (w >> 11) | ((w >> 5) & 0x07C0u));
    }
};

using Mono8ToRgb8888 = Repack<Mono8, Rgb8888>;
using Mono8ToRgb888 = Repack<Mono8, Rgb888>;
using Mono16ToMono8 = Repack<Mono16, Mono8>;
using Mono8ToRgb5551 = Repack<Mono8, Rgb5551, Separate, Fields::Spill>;
using Mono8ToRgb565 = Repack<Mono8, Rgb565, Separate, Fields::Spill>;
using Rgb8888ToMono8 = Repack<Rgb8888, Mono8, Luma8>;

} // namespace

namespace tag = kernels::tag;

// Two rules with the same bytes: the vector rule's kernels serve the scalar rule too.
constexpr PerIsa<LineFn> kMono8ToRgb8888Kernels =
    withEntries(vectorBlocks<Mono8ToRgb8888, 16, headTo8, VYR_KERNEL(kernels::mono8ToRgb8888Sse2), nullptr,
                             VYR_KERNEL(kernels::mono8ToRgb8888Avx2)>(),
                unitPaths<line<Mono8ToRgb8888>, tag::Mono8ToRgb8888>(), kAvx512);
const LinePaths kMono8ToRgb8888 = {line<Mono8ToRgb8888>, kernelsOf(kMono8ToRgb8888Kernels),
                                   kMono8ToRgb8888Kernels};

constexpr PerIsa<LineFn> kMono8ToRgb888Kernels = withEntries(
    vectorBlocks<Mono8ToRgb888, 8, headTo8, VYR_KERNEL(kernels::mono8ToRgb888Sse2),
                 VYR_KERNEL(kernels::mono8ToRgb888Ssse3), VYR_KERNEL(kernels::mono8ToRgb888Avx2)>(),
    unitPaths<line<Mono8ToRgb888>, tag::Mono8ToRgb888>(), kAvx512);
const LinePaths kMono8ToRgb888 = {line<Mono8ToRgb888>, kernelsOf(kMono8ToRgb888Kernels),
                                  kMono8ToRgb888Kernels};

constexpr PerIsa<LineFn> kRgb8888ToMono8Kernels =
    withEntries(vectorBlocks<Rgb8888ToMono8, 8, headTo8, VYR_KERNEL(kernels::rgb8888ToMono8Sse2), nullptr,
                             VYR_KERNEL(kernels::rgb8888ToMono8Avx2)>(),
                unitPaths<line<Rgb8888ToMono8>, tag::Rgb8888ToMono8>(), kAvx512);
const LinePaths kRgb8888ToMono8 = {line<Rgb8888ToMono8>, kernelsOf(kRgb8888ToMono8Kernels),
                                   kRgb8888ToMono8Kernels};

// The scalar rule's kernels follow it for every valid unusedBits; the vector rule's SSE2 kernel is
// the older one of blocks of 16.
constexpr PerIsa<LineFn> kMono16ToMono8Units = unitPaths<line<Mono16ToMono8>, tag::Mono16ToMono8, 8>();
const LinePaths kMono16ToMono8 = {
    line<Mono16ToMono8>, kMono16ToMono8Units,
    withEntries(vectorBlocks<Mono16ToMono8, 16, headTo8, VYR_KERNEL(kernels::mono16ToMono8Sse2)>(),
                kMono16ToMono8Units, kAvx2, kAvx512)};

constexpr PerIsa<LineFn> kMono8ToRgb5551Units = unitPaths<line<Mono8ToRgb5551>, tag::Mono8ToRgb5551, 3>();
const LinePaths kMono8ToRgb5551 = {
    line<Mono8ToRgb5551>, kMono8ToRgb5551Units,
    withEntries(vectorBlocks<Mono8ToRgb5551, 16, headTo8, VYR_KERNEL(kernels::mono8ToRgb5551Sse2)>(),
                kMono8ToRgb5551Units, kAvx2, kAvx512)};

const LinePaths kMono8ToRgb565 = {
    line<Mono8ToRgb565>, unitPaths<line<Mono8ToRgb565>, tag::Mono8ToRgb565, 2>(),
    withEntries(vectorBlocks<Mono8ToRgb565Doubled, 8, headTo8, VYR_KERNEL(kernels::mono8ToRgb565Sse2)>(),
                unitPaths<line<Mono8ToRgb565Doubled>, tag::Mono8ToRgb565Doubled>(), kAvx2, kAvx512)};

const LinePaths kMono32ToMono8 = oneRule<Repack<Mono32, Mono8>, tag::Mono32ToMono8, 24>();
const LinePaths kMono8ToMono16 = oneRule<Repack<Mono8, Mono16>, tag::Mono8ToMono16, 8>();
const LinePaths kMono8ToInt8 = oneRule<FlipSign8, tag::FlipSign8>();
const LinePaths kInt8ToMono8 = oneRule<FlipSign8, tag::FlipSign8>();
const LinePaths kMono8ToInt16 = oneRule<Mono8ToInt16, tag::Mono8ToInt16, 8>();
const LinePaths kInt16ToMono8 = oneRule<Int16ToMono8, tag::Int16ToMono8, 8>();
const LinePaths kMono16ToRgb5551 = oneRule<Repack<Mono16, Rgb5551>, tag::Mono16ToRgb5551, 11>();
const LinePaths kMono16ToRgb565 = oneRule<Repack<Mono16, Rgb565>, tag::Mono16ToRgb565, 10>();
const LinePaths kMono16ToRgb8888 = oneRule<Repack<Mono16, Rgb8888>, tag::Mono16ToRgb8888, 8>();
const LinePaths kMono16ToRgb888 = oneRule<Repack<Mono16, Rgb888>, tag::Mono16ToRgb888, 8>();
const LinePaths kRgb888ToMono8 = oneRule<Repack<Rgb888, Mono8, Luma8>, tag::Rgb888ToMono8>();

} // namespace vyr::convert

extern "C" {

using namespace vyr::convert;

VYR_LINE_EXPORT(VyrUtilConvertMONO8toRGB8888, kMono8ToRgb8888)
VYR_LINE_EXPORT(VyrUtilConvertMONO8toRGB888, kMono8ToRgb888)
VYR_LINE_EXPORT(VyrUtilConvertMONO16toMONO8, kMono16ToMono8)
VYR_LINE_EXPORT(VyrUtilConvertMONO8toRGB5551, kMono8ToRgb5551, unusedBits == 0)
VYR_LINE_EXPORT(VyrUtilConvertMONO8toRGB565, kMono8ToRgb565, unusedBits == 0)
VYR_LINE_EXPORT(VyrUtilConvertRGB8888toMONO8, kRgb8888ToMono8)
VYR_LINE_EXPORT(VyrUtilConvertMONO32toMONO8, kMono32ToMono8)
VYR_LINE_EXPORT(VyrUtilConvertMONO8toMONO16, kMono8ToMono16)
VYR_LINE_EXPORT(VyrUtilConvertMONO8toINT8, kMono8ToInt8)
VYR_LINE_EXPORT(VyrUtilConvertINT8toMONO8, kInt8ToMono8)
VYR_LINE_EXPORT(VyrUtilConvertMONO8toINT16, kMono8ToInt16)
VYR_LINE_EXPORT(VyrUtilConvertINT16toMONO8, kInt16ToMono8)
VYR_LINE_EXPORT(VyrUtilConvertMONO16toRGB5551, kMono16ToRgb5551)
VYR_LINE_EXPORT(VyrUtilConvertMONO16toRGB565, kMono16ToRgb565)
VYR_LINE_EXPORT(VyrUtilConvertMONO16toRGB8888, kMono16ToRgb8888)
VYR_LINE_EXPORT(VyrUtilConvertMONO16toRGB888, kMono16ToRgb888)
VYR_LINE_EXPORT(VyrUtilConvertRGB888toMONO8, kRgb888ToMono8)

} // extern "C"
