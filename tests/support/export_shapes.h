// The exports of the Bicolor, Bayer and planar-source families in one shape a family, as their tables' paths
// take their arguments: what an export lacks is dropped, its output pointers come from one OutputLine.
// The Bayer and planar-source converters are listed here once, for the tests and the fuzzer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "VyrUtility.h"
#include "convert/bayer2x2.h"
#include "convert/bicolor.h"
#include "convert/malvar.h"
#include "convert/planar.h"

namespace vyr::test {

// A line export, its runs and their little-endian samples.
using ExportedLine = uint32_t(VYR_CALL*)(const void* src, void* dst, uint32_t count, uint32_t unusedBits);

// The bytes of a run: `bytes` for every `pixels` pixels, a part unit taking whole bytes.
struct Run {
    uint32_t bytes, pixels = 1;
    size_t of(uint32_t count) const { return (size_t(count) * bytes + pixels - 1) / pixels; }
};

inline uint32_t loadLe(const uint8_t* p, size_t bytes)
{
    uint32_t v = 0;
    for (size_t i = bytes; i-- > 0;)
        v = v << 8 | p[i];
    return v;
}

inline void storeLe(uint8_t* p, size_t bytes, uint32_t v)
{
    for (size_t i = 0; i < bytes; ++i, v >>= 8)
        p[i] = uint8_t(v);
}

constexpr uint32_t kAnyUnusedBits = ~0u; // ignored: any value gives the same pixels

// The name, export and table of a line converter in a case table.
#define CONVERTER(name, paths) #name, VyrUtilConvert##name, &convert::paths

// Bicolor exports without a shift or a flag leave it out.
using BicolorExport = uint32_t (*)(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t shift,
                                   uint32_t flag);
template <uint32_t(VYR_CALL* F)(const void*, void*, uint32_t)>
uint32_t bicolor3(const uint8_t* s, uint8_t* d, uint32_t n, uint32_t, uint32_t)
{
    return F(s, d, n);
}
template <uint32_t(VYR_CALL* F)(const void*, void*, uint32_t, uint32_t)>
uint32_t bicolor4(const uint8_t* s, uint8_t* d, uint32_t n, uint32_t, uint32_t flag)
{
    return F(s, d, n, flag);
}
template <uint32_t(VYR_CALL* F)(const void*, void*, uint32_t, uint32_t, uint32_t)>
uint32_t bicolor5(const uint8_t* s, uint8_t* d, uint32_t n, uint32_t shift, uint32_t flag)
{
    return F(s, d, n, shift, flag);
}

struct BicolorConverter {
    const char* name;
    const convert::BicolorPaths* paths;
    BicolorExport exported;
    uint32_t args; // of the export: 3 (no flag), 4 (a flag), 5 (a shift and a flag)
    uint32_t srcBytes, dstBytes;
};

#define BICOLOR(name, paths, args, srcBytes, dstBytes)                                                       \
    {                                                                                                        \
#name, &convert::paths, bicolor##args < VyrUtilConvert##name>, args, srcBytes, dstBytes              \
    }

// Bayer exports writing one RGB8888 line (packed) or three planes.
using Bayer2x2Export = uint32_t (*)(const uint8_t* src0, const uint8_t* src1, const convert::OutputLine& out,
                                    uint32_t width, uint32_t phase, uint32_t noInterpolation,
                                    uint32_t rightBorder);
using MalvarExport = uint32_t (*)(const uint8_t* const* src, const convert::OutputLine& out, uint32_t width,
                                  uint32_t phase, int32_t rowBorder, uint32_t border);

template <auto F>
uint32_t packed2x2(const uint8_t* s0, const uint8_t* s1, const convert::OutputLine& o, uint32_t w, uint32_t p,
                   uint32_t copy, uint32_t border)
{
    return F(s0, s1, o.at[0], w, p, copy, border);
}
template <auto F>
uint32_t planar2x2(const uint8_t* s0, const uint8_t* s1, const convert::OutputLine& o, uint32_t w, uint32_t p,
                   uint32_t copy, uint32_t border)
{
    return F(s0, s1, o.at[0], o.at[1], o.at[2], w, p, copy, border);
}
template <auto F>
uint32_t packedMalvar(const uint8_t* const* l, const convert::OutputLine& o, uint32_t w, uint32_t p,
                      int32_t rows, uint32_t border)
{
    return F(l[0], l[1], l[2], l[3], l[4], o.at[0], w, p, rows, border);
}
template <auto F>
uint32_t planarMalvar(const uint8_t* const* l, const convert::OutputLine& o, uint32_t w, uint32_t p,
                      int32_t rows, uint32_t border)
{
    return F(l[0], l[1], l[2], l[3], l[4], o.at[0], o.at[1], o.at[2], w, p, rows, border);
}

struct SensorLayout {
    size_t sampleBytes; // of the input lines and the planes: 1 or 2
    size_t outputs;     // 1 (an RGB8888 line) or 3 (red, green, blue planes)
    size_t outputBytes(uint32_t width) const { return width * (outputs == 1 ? 4 : sampleBytes); }
};

template <class Fn, class Export>
struct BayerConverter {
    const char* name;
    const convert::Paths<Fn>* paths;
    Export exported;
    SensorLayout layout;
    uint32_t block = 0; // 2x2: pixels of a block of the vector part
};

inline const BayerConverter<convert::Bayer2x2Fn, Bayer2x2Export> kBayer2x2s[] = {
    {"Bayer8_2x2toRGB8888",
     &convert::kBayer8_2x2ToRgb8888,
     packed2x2<VyrUtilConvertBayer8_2x2toRGB8888>,
     {1, 1},
     4},
    {"Bayer8_2x2toPlanarRGB",
     &convert::kBayer8_2x2ToPlanar,
     planar2x2<VyrUtilConvertBayer8_2x2toPlanarRGB>,
     {1, 3},
     16},
    {"Bayer15_2x2toPlanarRGB",
     &convert::kBayer15_2x2ToPlanar,
     planar2x2<VyrUtilConvertBayer15_2x2toPlanarRGB>,
     {2, 3},
     8},
};

inline const BayerConverter<convert::MalvarFn, MalvarExport> kMalvars[] = {
    {"Bayer8_MalvartoRGB8888",
     &convert::kBayer8MalvarToRgb8888,
     packedMalvar<VyrUtilConvertBayer8_MalvartoRGB8888>,
     {1, 1}},
    {"Bayer8_MalvartoPlanarRGB",
     &convert::kBayer8MalvarToPlanar,
     planarMalvar<VyrUtilConvertBayer8_MalvartoPlanarRGB>,
     {1, 3}},
    {"Bayer15_MalvartoPlanarRGB",
     &convert::kBayer15MalvarToPlanar,
     planarMalvar<VyrUtilConvertBayer15_MalvartoPlanarRGB>,
     {2, 3}},
};

// Planar sources: the reserved arguments, width, height, count and unusedBits (which the 8-bit exports lack).
using PlanesExport = uint32_t (*)(const uint8_t* src, uint8_t* dst, uint32_t reserved1, uint32_t reserved2,
                                  uint32_t width, uint32_t height, uint32_t count, uint32_t unusedBits);
template <auto F>
uint32_t planes8(const uint8_t* s, uint8_t* d, uint32_t r1, uint32_t r2, uint32_t w, uint32_t h, uint32_t n,
                 uint32_t)
{
    return F(s, d, r1, r2, w, h, n);
}
template <auto F>
uint32_t planes16(const uint8_t* s, uint8_t* d, uint32_t r1, uint32_t r2, uint32_t w, uint32_t h, uint32_t n,
                  uint32_t a)
{
    return F(s, d, r1, r2, w, h, n, a);
}

struct PlanesConverter {
    const char* name;
    const convert::Paths<convert::PlanesFn>* paths;
    PlanesExport exported;
    uint32_t sampleBytes, planes, maxUnusedBits;
};

inline const PlanesConverter kPlaneSources[] = {
    {"RGBP8toRGB8888", &convert::kRgbp8ToRgb8888, planes8<VyrUtilConvertRGBP8toRGB8888>, 1, 3, 0},
    {"RGBAP8toRGB8888", &convert::kRgbap8ToRgb8888, planes8<VyrUtilConvertRGBAP8toRGB8888>, 1, 4, 0},
    {"RGBP16toRGB8888", &convert::kRgbp16ToRgb8888, planes16<VyrUtilConvertRGBP16toRGB8888>, 2, 3, 8},
};

} // namespace vyr::test
