// Camera pixel format names: the table against what each name says of itself (the Bayer letters,
// the bits), the PFNC values against the formats' sizes, and conversions by name against
// VyrFrameConvert with the options the name stands for.
#include <gtest/gtest.h>

#include <string>

#include "frame_images.h"

namespace vyr::test {
namespace {

TEST(CameraFormats, NamesSayWhatTheTableHolds)
{
    ASSERT_GE(VyrFrameCameraFormatCount(), 40u);
    for (uint32_t i = 0; i < VyrFrameCameraFormatCount(); ++i) {
        const VyrFrameCameraFormat& c = *VyrFrameCameraFormatAt(i);
        const std::string name = c.name;
        SCOPED_TRACE(name);
        // Each finds this entry, so no two share a name or a code.
        EXPECT_EQ(&c, VyrFrameFindCameraFormat(c.name));
        EXPECT_EQ(&c, VyrFrameGetCameraFormat(c.code));
        const VyrFrameFormatInfo* info = VyrFrameGetFormat(c.format);
        ASSERT_NE(nullptr, info);
        // Bits 16..23 of a PFNC value are the bits a pixel occupies in the buffer.
        EXPECT_EQ((c.code >> 16) & 0xFF, VyrFrameLineBytes(c.format, 8)) << info->name;
        const bool bayer = name.rfind("Bayer", 0) == 0;
        if (bayer) {
            // BayerGR: G R on the first line, so B G on the second: GRBG.
            ASSERT_NE(nullptr, VyrFramePatternName(c.pattern));
            EXPECT_EQ(name.substr(5, 2), std::string(VyrFramePatternName(c.pattern)).substr(0, 2));
        } else {
            EXPECT_EQ(uint32_t(VYR_FRAME_PATTERN_NONE), c.pattern);
        }
        // The significant bits a name promises: the digits after "Mono", "Bayer..", "BGR".
        if (name.rfind("Mono", 0) == 0 || bayer || name.rfind("BGR1", 0) == 0)
            EXPECT_EQ(info->sampleBits - std::stoul(name.substr(name.find_first_of("0123456789"))),
                      c.unusedBits)
                << info->name;
        else
            EXPECT_EQ(0u, c.unusedBits);
    }
    EXPECT_EQ(nullptr, VyrFrameCameraFormatAt(VyrFrameCameraFormatCount()));
}

TEST(CameraFormats, ExamplesAndExactNames)
{
    struct Case {
        const char* name;
        uint32_t format, unusedBits, pattern;
    };
    for (const Case& c :
         {Case{"BayerGR12", VYR_FRAME_BAYER15, 3, VYR_FRAME_PATTERN_GRBG},
          Case{"BayerRG8", VYR_FRAME_BAYER8, 0, VYR_FRAME_PATTERN_RGGB},
          Case{"BayerBG12p", VYR_FRAME_BAYER12P, 3, VYR_FRAME_PATTERN_BGGR},
          Case{"BayerGB12Packed", VYR_FRAME_BAYER12PACKED, 3, VYR_FRAME_PATTERN_GBRG},
          Case{"Mono10p", VYR_FRAME_MONO10P, 6, 0}, Case{"Mono12Packed", VYR_FRAME_MONO12PACKED, 4, 0},
          Case{"Mono12", VYR_FRAME_MONO16, 4, 0}, Case{"RGB8", VYR_FRAME_RGBR888, 0, 0},
          Case{"BGR8", VYR_FRAME_RGB888, 0, 0}, Case{"BGRa8", VYR_FRAME_RGB8888, 0, 0},
          Case{"YUV422_8_UYVY", VYR_FRAME_UYVY, 0, 0}, Case{"YUV422_8", VYR_FRAME_YUY2, 0, 0}}) {
        const VyrFrameCameraFormat* f = VyrFrameFindCameraFormat(c.name);
        ASSERT_NE(nullptr, f) << c.name;
        EXPECT_EQ(c.format, f->format) << c.name;
        EXPECT_EQ(c.unusedBits, f->unusedBits) << c.name;
        EXPECT_EQ(c.pattern, f->pattern) << c.name;
    }
    EXPECT_EQ(0x01100010u, VyrFrameFindCameraFormat("BayerGR12")->code);
    EXPECT_EQ(0x010C0047u, VyrFrameFindCameraFormat("Mono12p")->code);
    EXPECT_EQ(0x010C0006u, VyrFrameFindCameraFormat("Mono12Packed")->code);
    for (const char* wrong : {"mono8", "MONO8", "BayerGr12", "Mono12P", "Mono8 ", "", "RGB8Packed"})
        EXPECT_EQ(nullptr, VyrFrameFindCameraFormat(wrong)) << wrong;
    EXPECT_EQ(nullptr, VyrFrameFindCameraFormat(nullptr));
    EXPECT_EQ(nullptr, VyrFrameGetCameraFormat(0));
}

// A conversion by camera name equals VyrFrameConvert of the same bytes as the name's format with
// the name's unused bits (where the conversion takes them) and pattern.
TEST(CameraFormats, ConvertByNameEqualsConvertWithTheNamesOptions)
{
    const uint32_t width = 19, height = 7;
    for (uint32_t i = 0; i < VyrFrameCameraFormatCount(); ++i) {
        const VyrFrameCameraFormat& c = *VyrFrameCameraFormatAt(i);
        for (uint32_t k = 0; k < VyrFrameConversionCount(); ++k) {
            const VyrFrameConversion& conversion = *VyrFrameConversionAt(k);
            if (conversion.from != c.format)
                continue;
            SCOPED_TRACE(std::string(c.name) + " to " + VyrFrameGetFormat(conversion.to)->name);
            const TestImage src(c.format, width, height, pitchFor(c.format, width, 8), Flush::Back, i + k);
            VyrFrameOptions o = {};
            o.unusedBits = conversion.options & VYR_FRAME_TAKES_UNUSED_BITS ? c.unusedBits : 0;
            o.pattern = conversion.options & VYR_FRAME_TAKES_PATTERN ? c.pattern : 0;
            o.threads = 2;
            const ptrdiff_t pitch = pitchFor(conversion.to, width, 0);
            TestImage expected(conversion.to, width, height, pitch, Flush::Back, 5);
            TestImage actual(conversion.to, width, height, pitch, Flush::Back, 5);
            const VyrFrameImage in = src.image(), want = expected.image(), got = actual.image();
            ASSERT_EQ(VYR_FRAME_OK, VyrFrameConvert(&in, &want, &o))
                << describe(conversion, o) << VyrFrameLastMessage();
            VyrFrameOptions byName = {};
            byName.threads = 2;
            ASSERT_EQ(VYR_FRAME_OK, VyrFrameConvertCamera(c.name, in.planes[0], in.pitch, &got, &byName))
                << VyrFrameLastMessage();
            EXPECT_EQ(expected.bytes(), actual.bytes());
        }
    }
}

TEST(CameraFormats, RefusalsLeaveTheDestinationAlone)
{
    const uint32_t width = 8, height = 4;
    const TestImage src(VYR_FRAME_BAYER15, width, height, pitchFor(VYR_FRAME_BAYER15, width, 0), Flush::Back,
                        1);
    TestImage dst(VYR_FRAME_RGB8888, width, height, pitchFor(VYR_FRAME_RGB8888, width, 0), Flush::Back, 2);
    const std::vector<uint8_t> before = dst.bytes();
    const VyrFrameImage in = src.image(), out = dst.image();
    EXPECT_EQ(VYR_FRAME_ERROR_FORMAT,
              VyrFrameConvertCamera("BayerGR13", in.planes[0], in.pitch, &out, nullptr));
    EXPECT_STREQ("no camera format is named \"BayerGR13\"", VyrFrameLastMessage());
    EXPECT_EQ(VYR_FRAME_ERROR_FORMAT, VyrFrameConvertCamera(nullptr, in.planes[0], in.pitch, &out, nullptr));
    VyrFrameOptions o = {};
    o.pattern = VYR_FRAME_PATTERN_RGGB;
    EXPECT_EQ(VYR_FRAME_ERROR_OPTION, VyrFrameConvertCamera("BayerGR12", in.planes[0], in.pitch, &out, &o));
    EXPECT_STREQ("the camera format BayerGR12 sets the unused bits and the Bayer pattern",
                 VyrFrameLastMessage());
    o = {};
    o.unusedBits = 1;
    EXPECT_EQ(VYR_FRAME_ERROR_OPTION, VyrFrameConvertCamera("Mono12", in.planes[0], in.pitch, &out, &o));
    EXPECT_EQ(VYR_FRAME_ERROR_CONVERSION,
              VyrFrameConvertCamera("BGRa8", in.planes[0], 4 * width, &out, nullptr));
    EXPECT_EQ(VYR_FRAME_ERROR_NULL, VyrFrameConvertCamera("BayerGR12", nullptr, in.pitch, &out, nullptr));
    EXPECT_EQ(VYR_FRAME_ERROR_NULL,
              VyrFrameConvertCamera("BayerGR12", in.planes[0], in.pitch, nullptr, nullptr));
    EXPECT_EQ(before, dst.bytes());
    EXPECT_TRUE(dst.intact());
}

} // namespace
} // namespace vyr::test
