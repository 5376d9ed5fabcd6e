// Every Y, U, V triple through every YUV-to-RGB converter, on every path.
#include <gtest/gtest.h>

#include <cstring>

#include "convert/yuv422.h"
#include "convert/yuv444.h"
#include "yuv_support.h"

namespace vyr::test {
namespace {

using convert::Paths;

// How a converter's source packs pixels that share one U and V, and where its output pixels lie.
struct Decoder {
    const char* name;
    const Paths* paths;
    uint32_t pixelsPerUnit;
    size_t unitBytes;
    void (*pack)(const uint8_t* y, uint8_t u, uint8_t v, uint8_t* unit);
    size_t dstBytesPerPixel;
};

void packUyvy(const uint8_t* y, uint8_t u, uint8_t v, uint8_t* c)
{
    const uint8_t cell[4] = {u, y[0], v, y[1]};
    std::memcpy(c, cell, 4);
}
void packYuy2(const uint8_t* y, uint8_t u, uint8_t v, uint8_t* c)
{
    const uint8_t cell[4] = {y[0], u, y[1], v};
    std::memcpy(c, cell, 4);
}
void packYvyu(const uint8_t* y, uint8_t u, uint8_t v, uint8_t* c)
{
    const uint8_t cell[4] = {y[0], v, y[1], u};
    std::memcpy(c, cell, 4);
}

void packY411(const uint8_t* y, uint8_t u, uint8_t v, uint8_t* c)
{
    const uint8_t unit[6] = {u, y[0], y[1], v, y[2], y[3]};
    std::memcpy(c, unit, 6);
}
void packIyu2(const uint8_t* y, uint8_t u, uint8_t v, uint8_t* c)
{
    const uint8_t pixel[3] = {u, y[0], v};
    std::memcpy(c, pixel, 3);
}
void packYuv(const uint8_t* y, uint8_t u, uint8_t v, uint8_t* c)
{
    const uint8_t pixel[4] = {v, u, y[0], uint8_t(y[0] ^ u)};
    std::memcpy(c, pixel, 4);
}

const Decoder kDecoders[] = {
    {"UYVYtoRGB8888", &convert::kUyvyToRgb8888, 2, 4, packUyvy, 4},
    {"UYVYtoRGB888", &convert::kUyvyToRgb888, 2, 4, packUyvy, 3},
    {"YUY2toRGB8888", &convert::kYuy2ToRgb8888, 2, 4, packYuy2, 4},
    {"YUY2toRGB888", &convert::kYuy2ToRgb888, 2, 4, packYuy2, 3},
    {"YVYUtoRGB8888", &convert::kYvyuToRgb8888, 2, 4, packYvyu, 4},
    {"YVYUtoRGB888", &convert::kYvyuToRgb888, 2, 4, packYvyu, 3},
    {"Y411toRGB8888", &convert::kY411ToRgb8888, 4, 6, packY411, 4},
    {"Y411toRGB888", &convert::kY411ToRgb888, 4, 6, packY411, 3},
    {"IYU2toRGB8888", &convert::kIyu2ToRgb8888, 1, 3, packIyu2, 4},
    {"IYU2toRGB888", &convert::kIyu2ToRgb888, 1, 3, packIyu2, 3},
    {"YUVtoRGB8888", &convert::kYuvToRgb8888, 1, 4, packYuv, 4},
};

// One job per U: every V that the stride keeps (all of them natively), each with all 256 lumas in
// an order rotated per V, so every luma meets every position within a register.
::testing::AssertionResult checkAllLumasAndVs(uint8_t u)
{
    std::vector<uint8_t> vs;
    for (unsigned v = u % kExhaustiveStride; v < 256; v += kExhaustiveStride)
        vs.push_back(uint8_t(v));
    const uint32_t count = uint32_t(256 * vs.size());
    std::vector<uint8_t> lumas(count);
    std::vector<RefBgr> expected(count);
    for (size_t k = 0; k < vs.size(); ++k) {
        for (unsigned j = 0; j < 256; ++j) {
            const uint8_t y = uint8_t(j + 37 * vs[k]);
            lumas[256 * k + j] = y;
            expected[256 * k + j] = refYuvToBgr(y, u, vs[k]);
        }
    }
    for (const Decoder& d : kDecoders) {
        std::vector<uint8_t> src(count / d.pixelsPerUnit * d.unitBytes);
        for (uint32_t i = 0; i < count; i += d.pixelsPerUnit)
            d.pack(&lumas[i], u, vs[i / 256], &src[i / d.pixelsPerUnit * d.unitBytes]);
        std::vector<std::pair<const char*, LineFn>> paths = {{"scalar", d.paths->scalar}};
        for (auto [isa, path] : runnableVariants(*d.paths))
            paths.emplace_back(convert::isaName(isa), path);
        std::vector<uint8_t> dst(count * d.dstBytesPerPixel);
        for (auto [pathName, path] : paths) {
            path(src.data(), dst.data(), count, 0);
            for (uint32_t i = 0; i < count; ++i) {
                const uint8_t* p = &dst[i * d.dstBytesPerPixel];
                const RefBgr& e = expected[i];
                if (p[0] != e.b || p[1] != e.g || p[2] != e.r) {
                    return ::testing::AssertionFailure()
                           << d.name << " " << pathName << ": Y " << int(lumas[i]) << " U " << int(u) << " V "
                           << int(vs[i / 256]) << " gives B G R " << int(p[0]) << " " << int(p[1]) << " "
                           << int(p[2]) << ", the equations " << int(e.b) << " " << int(e.g) << " "
                           << int(e.r);
                }
            }
        }
    }
    return ::testing::AssertionSuccess();
}

TEST(YuvToRgbEquations, EveryTripleOnEveryPathOfEveryConverter)
{
    EXPECT_TRUE(inParallel(256, [](unsigned u) { return checkAllLumasAndVs(uint8_t(u)); }));
}

} // namespace
} // namespace vyr::test
