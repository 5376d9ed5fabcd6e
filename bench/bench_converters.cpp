// Every converter of the library, by export signature.
#include "VyrUtility.h"
#include "bench_support.h"
#include "convert/bayer2x2.h"
#include "convert/bicolor.h"
#include "convert/hsi.h"
#include "convert/hsv.h"
#include "convert/lab.h"
#include "convert/malvar.h"
#include "convert/mono.h"
#include "convert/packed_rgb.h"
#include "convert/planar.h"
#include "convert/yuv422.h"
#include "convert/yuv444.h"
#include "convert/yuv_encode.h"

namespace vyr::bench {
namespace {

using namespace convert;

// The export and every path of its table, each given the arguments Args(image, line) makes.
template <class Fn, class Call>
Converter converter(const char* name, const Paths<Fn>& table, bool vectorRule, Shape shape, Call call)
{
    Converter c{name, shape, pickedName(table, vectorRule), nullptr, {}};
    for (const auto& [path, fn] : runnablePaths(table))
        c.paths.emplace_back(
            path, [call, fn = fn](const Image& s, const Image& d, uint32_t y) { call(fn, s, d, y); });
    return c;
}

using LineExport = uint32_t(VYR_CALL*)(const void*, void*, uint32_t, uint32_t);

// 16-byte line exports; vectorWhen is the converter's condition besides MMX.
Converter line(const char* name, LineExport exported, const LinePaths& table, double src, double dst,
               bool vectorWhen = true)
{
    Converter c = converter(name, table, table.hasVectorRule() && VyrUtilIsMMX() && vectorWhen, {src, dst},
                            [](LineFn fn, const Image& s, const Image& d, uint32_t y) {
                                fn(s.line(0, y), d.line(0, y), s.width, 0);
                            });
    c.exported = [exported](const Image& s, const Image& d, uint32_t y) {
        exported(s.line(0, y), d.line(0, y), s.width, 0);
    };
    return c;
}

using BicolorExport4 = uint32_t(VYR_CALL*)(const void*, void*, uint32_t, uint32_t);
using BicolorExport5 = uint32_t(VYR_CALL*)(const void*, void*, uint32_t, uint32_t, uint32_t);

Converter bicolor(const char* name, const BicolorPaths& table, double src, double dst, LineJob exported)
{
    Converter c = converter(name, table, false, {src, dst},
                            [](BicolorFn fn, const Image& s, const Image& d, uint32_t y) {
                                fn(s.line(0, y), d.line(0, y), s.width, 0, 0);
                            });
    c.exported = std::move(exported);
    return c;
}

Converter bicolor(const char* name, BicolorExport4 exported, const BicolorPaths& table, double src,
                  double dst)
{
    return bicolor(name, table, src, dst, [exported](const Image& s, const Image& d, uint32_t y) {
        exported(s.line(0, y), d.line(0, y), s.width, 0);
    });
}

Converter bicolor(const char* name, BicolorExport5 exported, const BicolorPaths& table, double src,
                  double dst)
{
    return bicolor(name, table, src, dst, [exported](const Image& s, const Image& d, uint32_t y) {
        exported(s.line(0, y), d.line(0, y), s.width, 0, 0);
    });
}

// Planar sources: planes width x height samples apart; line y of plane 0 is the source pointer.
using PlanesExport = uint32_t(VYR_CALL*)(const void*, void*, uint32_t, uint32_t, uint32_t, uint32_t,
                                         uint32_t);

Converter fromPlanes(const char* name, PlanesExport exported, const Paths<PlanesFn>& table, double src,
                     int planes)
{
    Converter c = converter(name, table, false, {src, 4, planes, 1},
                            [](PlanesFn fn, const Image& s, const Image& d, uint32_t y) {
                                fn(s.line(0, y), d.line(0, y), size_t(s.width) * s.height, s.width, 0);
                            });
    c.exported = [exported](const Image& s, const Image& d, uint32_t y) {
        exported(s.line(0, y), d.line(0, y), 0, 0, s.width, s.height, s.width);
    };
    return c;
}

// The sensor lines around line y, repeated at the frame's edges; the phase of an RGGB frame.
const uint8_t* sensorLine(const Image& s, int64_t y)
{
    return s.line(0, uint32_t(y < 0 ? 0 : y >= int64_t(s.height) ? s.height - 1 : y));
}
uint32_t rggbPhase(uint32_t y) { return 2 ^ ((y & 1) << 1); }

OutputLine outputLine(const Image& d, uint32_t y) { return {{d.line(0, y), d.line(1, y), d.line(2, y)}}; }

Converter bayer2x2(const char* name, const Bayer2x2Paths& table, Shape shape)
{
    auto call = [](Bayer2x2Fn fn, const Image& s, const Image& d, uint32_t y) {
        fn(sensorLine(s, y), sensorLine(s, y + 1), outputLine(d, y), s.width, rggbPhase(y), 0, 1);
    };
    return converter(name, table, VyrUtilIsMMX(), shape, call);
}

Converter malvar(const char* name, const MalvarPaths& table, Shape shape)
{
    auto call = [](MalvarFn fn, const Image& s, const Image& d, uint32_t y) {
        const uint8_t* lines[5];
        for (int k = 0; k < 5; ++k)
            lines[k] = sensorLine(s, int64_t(y) + k - 2);
        fn(lines, outputLine(d, y), s.width, rggbPhase(y), 0, 1);
    };
    return converter(name, table, false, shape, call);
}

#define LINE(name, table, src, dst, ...) line(#name, VyrUtil##name, table, src, dst, ##__VA_ARGS__)
#define BICOLOR(name, table, src, dst) bicolor(#name, VyrUtil##name, table, src, dst)

const bool registered = [] {
    std::vector<Converter> all = {
        LINE(ConvertMONO8toRGB8888, kMono8ToRgb8888, 1, 4),
        LINE(ConvertMONO8toRGB888, kMono8ToRgb888, 1, 3),
        LINE(ConvertMONO16toMONO8, kMono16ToMono8, 2, 1),
        LINE(ConvertMONO32toMONO8, kMono32ToMono8, 4, 1),
        LINE(ConvertMONO8toMONO16, kMono8ToMono16, 1, 2),
        LINE(ConvertMONO8toINT8, kMono8ToInt8, 1, 1),
        LINE(ConvertINT8toMONO8, kInt8ToMono8, 1, 1),
        LINE(ConvertMONO8toINT16, kMono8ToInt16, 1, 2),
        LINE(ConvertINT16toMONO8, kInt16ToMono8, 2, 1),
        LINE(ConvertMONO16toRGB5551, kMono16ToRgb5551, 2, 2),
        LINE(ConvertMONO16toRGB565, kMono16ToRgb565, 2, 2),
        LINE(ConvertMONO16toRGB8888, kMono16ToRgb8888, 2, 4),
        LINE(ConvertMONO16toRGB888, kMono16ToRgb888, 2, 3),
        LINE(ConvertMONO8toRGB5551, kMono8ToRgb5551, 1, 2),
        LINE(ConvertMONO8toRGB565, kMono8ToRgb565, 1, 2),
        LINE(ConvertRGB888toMONO8, kRgb888ToMono8, 3, 1),
        LINE(ConvertRGB8888toMONO8, kRgb8888ToMono8, 4, 1),
        LINE(ConvertRGB888toRGB8888, kRgb888ToRgb8888, 3, 4),
        LINE(ConvertRGBR888toRGB8888, kRgbr888ToRgb8888, 3, 4),
        LINE(ConvertRGBR888toRGB888, kRgbr888ToRgb888, 3, 3),
        LINE(ConvertRGB8888toRGB888, kRgb8888ToRgb888, 4, 3),
        LINE(ConvertRGB888toRGB5551, kRgb888ToRgb5551, 3, 2),
        LINE(ConvertRGB888toRGB565, kRgb888ToRgb565, 3, 2),
        LINE(ConvertRGB5551toRGB888, kRgb5551ToRgb888, 2, 3),
        LINE(ConvertRGB565toRGB888, kRgb565ToRgb888, 2, 3),
        LINE(ConvertRGB101010toRGB8888, kRgb101010ToRgb8888, 4, 4),
        LINE(ConvertRGB101010toRGB888, kRgb101010ToRgb888, 4, 3),
        LINE(ConvertRGB101010toRGB161616, kRgb101010ToRgb161616, 4, 6),
        LINE(ConvertRGB101010toRGB16161616, kRgb101010ToRgb16161616, 4, 8),
        LINE(ConvertRGB161616toRGB101010, kRgb161616ToRgb101010, 6, 4),
        LINE(ConvertRGB16161616toRGB101010, kRgb16161616ToRgb101010, 8, 4),
        LINE(ConvertRGB161616toRGB8888, kRgb161616ToRgb8888, 6, 4),
        LINE(ConvertRGB161616toRGB888, kRgb161616ToRgb888, 6, 3),
        LINE(ConvertRGB16161616toRGB8888, kRgb16161616ToRgb8888, 8, 4),
        LINE(ConvertRGB16161616toRGB888, kRgb16161616ToRgb888, 8, 3),
        LINE(ConvertRGB16161616toMONO16, kRgb16161616ToMono16, 8, 2),
        LINE(ConvertRGB101010toMONO16, kRgb101010ToMono16, 4, 2),
        LINE(ConvertRGB888toRGBP8, kRgb888ToRgbp8, 3, 3),
        LINE(ConvertRGB8888toRGBAP8, kRgb8888ToRgbap8, 4, 4),
        LINE(ConvertRGB101010toRGBP16, kRgb101010ToRgbp16, 4, 6),
        LINE(ConvertRGB161616toRGBP16, kRgb161616ToRgbp16, 6, 6),
        fromPlanes("ConvertRGBP8toRGB8888", VyrUtilConvertRGBP8toRGB8888, kRgbp8ToRgb8888, 3, 3),
        fromPlanes("ConvertRGBAP8toRGB8888", VyrUtilConvertRGBAP8toRGB8888, kRgbap8ToRgb8888, 4, 4),
        LINE(ReverseMONO1, kReverseMono1, 0.125, 0.125),

        LINE(ConvertUYVYtoMONO8, kUyvyToMono8, 2, 1),
        LINE(ConvertUYVYtoRGB8888, kUyvyToRgb8888, 2, 4),
        LINE(ConvertUYVYtoRGB888, kUyvyToRgb888, 2, 3),
        LINE(ConvertUYVYtoYUV, kUyvyToYuv, 2, 4),
        LINE(ConvertYUY2toMONO8, kYuy2ToMono8, 2, 1),
        LINE(ConvertYUY2toRGB8888, kYuy2ToRgb8888, 2, 4),
        LINE(ConvertYUY2toRGB888, kYuy2ToRgb888, 2, 3),
        LINE(ConvertYUY2toYUV, kYuy2ToYuv, 2, 4),
        LINE(ConvertYVYUtoRGB8888, kYvyuToRgb8888, 2, 4),
        LINE(ConvertYVYUtoRGB888, kYvyuToRgb888, 2, 3),
        LINE(ConvertYVYUtoYUV, kYvyuToYuv, 2, 4),
        LINE(ConvertRGB888toUYVY, kRgb888ToUyvy, 3, 2),
        LINE(ConvertRGB888toYUY2, kRgb888ToYuy2, 3, 2),
        LINE(ConvertRGB888toYVYU, kRgb888ToYvyu, 3, 2),
        LINE(ConvertRGB8888toUYVY, kRgb8888ToUyvy, 4, 2),
        LINE(ConvertRGB8888toYUY2, kRgb8888ToYuy2, 4, 2),
        LINE(ConvertRGB8888toYUV, kRgb8888ToYuv, 4, 4),
        LINE(ConvertMONO8toYUY2, kMono8ToYuy2, 1, 2),
        LINE(ConvertMONO16toYUY2, kMono16ToYuy2, 2, 2),
        LINE(ConvertY411toMONO8, kY411ToMono8, 1.5, 1),
        LINE(ConvertY411toRGB8888, kY411ToRgb8888, 1.5, 4, VyrUtilIsSSE()),
        LINE(ConvertY411toRGB888, kY411ToRgb888, 1.5, 3),
        LINE(ConvertY411toYUV, kY411ToYuv, 1.5, 4),
        LINE(ConvertIYU2toMONO8, kIyu2ToMono8, 3, 1),
        LINE(ConvertIYU2toRGB8888, kIyu2ToRgb8888, 3, 4),
        LINE(ConvertIYU2toRGB888, kIyu2ToRgb888, 3, 3),
        LINE(ConvertIYU2toYUV, kIyu2ToYuv, 3, 4),
        LINE(ConvertYUVtoMONO8, kYuvToMono8, 4, 1),
        LINE(ConvertYUVtoRGB8888, kYuvToRgb8888, 4, 4),

        LINE(ConvertRGB8888toHSV, kRgb8888ToHsv, 4, 4),
        LINE(ConvertHSVtoRGB8888, kHsvToRgb8888, 4, 4),
        LINE(ConvertHSVtoMONO8, kHsvToMono8, 4, 1),
        LINE(ConvertRGB8888toHSI, kRgb8888ToHsi, 4, 4),
        LINE(ConvertHSItoRGB8888, kHsiToRgb8888, 4, 4),
        LINE(ConvertRGB8888toLAB, kRgb8888ToLab, 4, 4),
        LINE(ConvertLABtoRGB8888, kLabToRgb8888, 4, 4),
        LINE(ConvertLABtoMONO8, kLabToMono8, 4, 1),

        BICOLOR(ConvertBicolor88toRGB8888, kBicolor88ToRgb8888, 2, 4),
        BICOLOR(ConvertBicolor88toRGB888, kBicolor88ToRgb888, 2, 3),
        BICOLOR(ConvertBicolor88toRGBR888, kBicolor88ToRgbr888, 2, 3),
        BICOLOR(ConvertBicolor88toRGB161616, kBicolor88ToRgb161616, 2, 6),
        BICOLOR(ConvertBicolor88toRGB16161616, kBicolor88ToRgb16161616, 2, 8),
        BICOLOR(ConvertBicolor1616toRGB8888, kBicolor1616ToRgb8888, 4, 4),
        BICOLOR(ConvertBicolor1616toRGB888, kBicolor1616ToRgb888, 4, 3),
        BICOLOR(ConvertBicolor1616toRGBR888, kBicolor1616ToRgbr888, 4, 3),
        BICOLOR(ConvertBicolor1616toRGB161616, kBicolor1616ToRgb161616, 4, 6),
        BICOLOR(ConvertBicolor1616toRGB16161616, kBicolor1616ToRgb16161616, 4, 8),
        BICOLOR(ConvertRGB888toBicolor88, kRgb888ToBicolor88, 3, 2),
        BICOLOR(ConvertRGB8888toBicolor88, kRgb8888ToBicolor88, 4, 2),
        BICOLOR(ConvertRGBR888toBicolor88, kRgbr888ToBicolor88, 3, 2),
        BICOLOR(ConvertRGB888toBicolor1616, kRgb888ToBicolor1616, 3, 4),
        BICOLOR(ConvertRGB8888toBicolor1616, kRgb8888ToBicolor1616, 4, 4),
        BICOLOR(ConvertRGBR888toBicolor1616, kRgbr888ToBicolor1616, 3, 4),
        BICOLOR(ConvertRGB161616toBicolor1616, kRgb161616ToBicolor1616, 6, 4),
        BICOLOR(ConvertRGB16161616toBicolor1616, kRgb16161616ToBicolor1616, 8, 4),
        BICOLOR(ConvertBicolor88toBicolor1616, kBicolor88ToBicolor1616, 2, 4),
        bicolor("ConvertBicolor88toBicolor88", kBicolor88ToBicolor88, 2, 2,
                [](const Image& s, const Image& d, uint32_t y) {
                    VyrUtilConvertBicolor88toBicolor88(s.line(0, y), d.line(0, y), s.width);
                }),
        BICOLOR(ConvertBicolor1616toBicolor1616, kBicolor1616ToBicolor1616, 4, 4),
    };

    Converter p16 = fromPlanes("ConvertRGBP16toRGB8888", nullptr, kRgbp16ToRgb8888, 6, 3);
    p16.exported = [](const Image& s, const Image& d, uint32_t y) {
        VyrUtilConvertRGBP16toRGB8888(s.line(0, y), d.line(0, y), 0, 0, s.width, s.height, s.width, 0);
    };
    all.push_back(p16);

    Converter merge = converter("MergeMONO8toRGB8888", kMergeMono8ToRgb8888, VyrUtilIsMMX(), {3, 4, 3, 1},
                                [](MergeFn fn, const Image& s, const Image& d, uint32_t y) {
                                    fn(s.line(0, y), s.line(1, y), s.line(2, y), d.line(0, y), s.width);
                                });
    merge.exported = [](const Image& s, const Image& d, uint32_t y) {
        VyrUtilMergeMONO8toRGB8888(s.line(0, y), s.line(1, y), s.line(2, y), d.line(0, y), s.width);
    };
    all.push_back(merge);
    Converter split = converter("SplitRGB8888toMONO8", kSplitRgb8888ToMono8, VyrUtilIsMMX(), {4, 3, 1, 3},
                                [](SplitFn fn, const Image& s, const Image& d, uint32_t y) {
                                    fn(s.line(0, y), d.line(0, y), d.line(1, y), d.line(2, y), s.width);
                                });
    split.exported = [](const Image& s, const Image& d, uint32_t y) {
        VyrUtilSplitRGB8888toMONO8(s.line(0, y), d.line(0, y), d.line(1, y), d.line(2, y), s.width);
    };
    all.push_back(split);

    Converter b8 = bayer2x2("ConvertBayer8_2x2toRGB8888", kBayer8_2x2ToRgb8888, {1, 4});
    b8.exported = [](const Image& s, const Image& d, uint32_t y) {
        VyrUtilConvertBayer8_2x2toRGB8888(sensorLine(s, y), sensorLine(s, y + 1), d.line(0, y), s.width,
                                          rggbPhase(y), 0, 1);
    };
    Converter b8p = bayer2x2("ConvertBayer8_2x2toPlanarRGB", kBayer8_2x2ToPlanar, {1, 3, 1, 3});
    b8p.exported = [](const Image& s, const Image& d, uint32_t y) {
        VyrUtilConvertBayer8_2x2toPlanarRGB(sensorLine(s, y), sensorLine(s, y + 1), d.line(0, y),
                                            d.line(1, y), d.line(2, y), s.width, rggbPhase(y), 0, 1);
    };
    Converter b15p = bayer2x2("ConvertBayer15_2x2toPlanarRGB", kBayer15_2x2ToPlanar, {2, 6, 1, 3});
    b15p.exported = [](const Image& s, const Image& d, uint32_t y) {
        VyrUtilConvertBayer15_2x2toPlanarRGB(sensorLine(s, y), sensorLine(s, y + 1), d.line(0, y),
                                             d.line(1, y), d.line(2, y), s.width, rggbPhase(y), 0, 1);
    };
    Converter m8 = malvar("ConvertBayer8_MalvartoRGB8888", kBayer8MalvarToRgb8888, {1, 4});
    m8.exported = [](const Image& s, const Image& d, uint32_t y) {
        VyrUtilConvertBayer8_MalvartoRGB8888(sensorLine(s, int64_t(y) - 2), sensorLine(s, int64_t(y) - 1),
                                             sensorLine(s, y), sensorLine(s, y + 1), sensorLine(s, y + 2),
                                             d.line(0, y), s.width, rggbPhase(y), 0, 1);
    };
    Converter m8p = malvar("ConvertBayer8_MalvartoPlanarRGB", kBayer8MalvarToPlanar, {1, 3, 1, 3});
    m8p.exported = [](const Image& s, const Image& d, uint32_t y) {
        VyrUtilConvertBayer8_MalvartoPlanarRGB(sensorLine(s, int64_t(y) - 2), sensorLine(s, int64_t(y) - 1),
                                               sensorLine(s, y), sensorLine(s, y + 1), sensorLine(s, y + 2),
                                               d.line(0, y), d.line(1, y), d.line(2, y), s.width,
                                               rggbPhase(y), 0, 1);
    };
    Converter m15p = malvar("ConvertBayer15_MalvartoPlanarRGB", kBayer15MalvarToPlanar, {2, 6, 1, 3});
    m15p.exported = [](const Image& s, const Image& d, uint32_t y) {
        VyrUtilConvertBayer15_MalvartoPlanarRGB(sensorLine(s, int64_t(y) - 2), sensorLine(s, int64_t(y) - 1),
                                                sensorLine(s, y), sensorLine(s, y + 1), sensorLine(s, y + 2),
                                                d.line(0, y), d.line(1, y), d.line(2, y), s.width,
                                                rggbPhase(y), 0, 1);
    };
    for (Converter* c : {&b8, &b8p, &b15p, &m8, &m8p, &m15p})
        all.push_back(*c);

    for (const Converter& c : all)
        registerConverter(c);
    return true;
}();

} // namespace
} // namespace vyr::bench
