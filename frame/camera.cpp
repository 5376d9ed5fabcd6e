// GenICam pixel format names (PFNC): which format of this library a camera buffer is, with the
// unused bits of its samples and the Bayer pattern of its top-left cell.
#include <cstring>

#include "frame.h"

namespace vyr::frame {
namespace {

constexpr uint32_t kGBRG = VYR_FRAME_PATTERN_GBRG, kBGGR = VYR_FRAME_PATTERN_BGGR,
                   kRGGB = VYR_FRAME_PATTERN_RGGB, kGRBG = VYR_FRAME_PATTERN_GRBG;

// 10- and 12-bit samples in 16-bit words leave 6 and 4 bits unused; in the 15-bit Bayer samples 5
// and 3.
const VyrFrameCameraFormat kCameraFormats[] = {
    {"Mono8", 0x01080001, VYR_FRAME_MONO8, 0, 0},
    {"Mono10", 0x01100003, VYR_FRAME_MONO16, 6, 0},
    {"Mono12", 0x01100005, VYR_FRAME_MONO16, 4, 0},
    {"Mono14", 0x01100025, VYR_FRAME_MONO16, 2, 0},
    {"Mono16", 0x01100007, VYR_FRAME_MONO16, 0, 0},
    {"Mono10p", 0x010A0046, VYR_FRAME_MONO10P, 6, 0},
    {"Mono12p", 0x010C0047, VYR_FRAME_MONO12P, 4, 0},
    {"Mono12Packed", 0x010C0006, VYR_FRAME_MONO12PACKED, 4, 0},

    {"BayerGR8", 0x01080008, VYR_FRAME_BAYER8, 0, kGRBG},
    {"BayerRG8", 0x01080009, VYR_FRAME_BAYER8, 0, kRGGB},
    {"BayerGB8", 0x0108000A, VYR_FRAME_BAYER8, 0, kGBRG},
    {"BayerBG8", 0x0108000B, VYR_FRAME_BAYER8, 0, kBGGR},
    {"BayerGR10", 0x0110000C, VYR_FRAME_BAYER15, 5, kGRBG},
    {"BayerRG10", 0x0110000D, VYR_FRAME_BAYER15, 5, kRGGB},
    {"BayerGB10", 0x0110000E, VYR_FRAME_BAYER15, 5, kGBRG},
    {"BayerBG10", 0x0110000F, VYR_FRAME_BAYER15, 5, kBGGR},
    {"BayerGR12", 0x01100010, VYR_FRAME_BAYER15, 3, kGRBG},
    {"BayerRG12", 0x01100011, VYR_FRAME_BAYER15, 3, kRGGB},
    {"BayerGB12", 0x01100012, VYR_FRAME_BAYER15, 3, kGBRG},
    {"BayerBG12", 0x01100013, VYR_FRAME_BAYER15, 3, kBGGR},
    {"BayerGR10p", 0x010A0056, VYR_FRAME_BAYER10P, 5, kGRBG},
    {"BayerRG10p", 0x010A0058, VYR_FRAME_BAYER10P, 5, kRGGB},
    {"BayerGB10p", 0x010A0054, VYR_FRAME_BAYER10P, 5, kGBRG},
    {"BayerBG10p", 0x010A0052, VYR_FRAME_BAYER10P, 5, kBGGR},
    {"BayerGR12p", 0x010C0057, VYR_FRAME_BAYER12P, 3, kGRBG},
    {"BayerRG12p", 0x010C0059, VYR_FRAME_BAYER12P, 3, kRGGB},
    {"BayerGB12p", 0x010C0055, VYR_FRAME_BAYER12P, 3, kGBRG},
    {"BayerBG12p", 0x010C0053, VYR_FRAME_BAYER12P, 3, kBGGR},
    {"BayerGR12Packed", 0x010C002A, VYR_FRAME_BAYER12PACKED, 3, kGRBG},
    {"BayerRG12Packed", 0x010C002B, VYR_FRAME_BAYER12PACKED, 3, kRGGB},
    {"BayerGB12Packed", 0x010C002C, VYR_FRAME_BAYER12PACKED, 3, kGBRG},
    {"BayerBG12Packed", 0x010C002D, VYR_FRAME_BAYER12PACKED, 3, kBGGR},

    {"RGB8", 0x02180014, VYR_FRAME_RGBR888, 0, 0},
    {"BGR8", 0x02180015, VYR_FRAME_RGB888, 0, 0},
    {"BGRa8", 0x02200017, VYR_FRAME_RGB8888, 0, 0},
    {"BGR10", 0x02300019, VYR_FRAME_RGB161616, 6, 0},
    {"BGR12", 0x0230001B, VYR_FRAME_RGB161616, 4, 0},

    {"YUV422_8_UYVY", 0x0210001F, VYR_FRAME_UYVY, 0, 0},
    {"YUV422_8", 0x02100032, VYR_FRAME_YUY2, 0, 0},
    {"YUV411_8_UYYVYY", 0x020C001E, VYR_FRAME_Y411, 0, 0},
    {"YUV8_UYV", 0x02180020, VYR_FRAME_IYU2, 0, 0},
};

constexpr uint32_t kCameraFormatCount = uint32_t(sizeof kCameraFormats / sizeof kCameraFormats[0]);

} // namespace
} // namespace vyr::frame

using namespace vyr::frame;

extern "C" {

uint32_t VyrFrameCameraFormatCount(void) { return kCameraFormatCount; }

const VyrFrameCameraFormat* VyrFrameCameraFormatAt(uint32_t index)
{
    return index < kCameraFormatCount ? &kCameraFormats[index] : nullptr;
}

const VyrFrameCameraFormat* VyrFrameFindCameraFormat(const char* name)
{
    for (uint32_t i = 0; name && i < kCameraFormatCount; ++i) {
        if (std::strcmp(name, kCameraFormats[i].name) == 0)
            return &kCameraFormats[i];
    }
    return nullptr;
}

const VyrFrameCameraFormat* VyrFrameGetCameraFormat(uint32_t code)
{
    for (const VyrFrameCameraFormat& format : kCameraFormats) {
        if (format.code == code)
            return &format;
    }
    return nullptr;
}

} // extern "C"
