// The formats, the Bayer patterns and methods, by value and by name.
#include <cctype>
#include <thread>

#include "frame.h"

namespace vyr::frame {
namespace {

// In the order of VyrFrameFormat: entry i is the format of value i + 1.
const VyrFrameFormatInfo kFormats[kFormatCount] = {
    {VYR_FRAME_MONO1, "MONO1", "1-bit grey, 8 pixels a byte", 1, 8, 1, 1, 1, 0},
    {VYR_FRAME_MONO8, "MONO8", "8-bit grey", 1, 1, 1, 1, 8, 0},
    {VYR_FRAME_MONO16, "MONO16", "16-bit grey, little-endian, right-aligned bits", 1, 1, 2, 2, 16, 0},
    {VYR_FRAME_MONO32, "MONO32", "32-bit grey, little-endian, right-aligned bits", 1, 1, 4, 4, 32, 0},
    {VYR_FRAME_INT8, "INT8", "signed 8-bit grey, v stands for MONO8 v + 128", 1, 1, 1, 1, 8, 1},
    {VYR_FRAME_INT16, "INT16", "signed 16-bit grey, right-aligned sign-extended bits", 1, 1, 2, 2, 16, 1},
    {VYR_FRAME_RGB5551, "RGB5551", "5-bit blue, green, red in a 16-bit word", 1, 1, 2, 2, 5, 0},
    {VYR_FRAME_RGB565, "RGB565", "5-bit blue, 6-bit green, 5-bit red in a 16-bit word", 1, 1, 2, 2, 6, 0},
    {VYR_FRAME_RGB888, "RGB888", "8-bit blue, green, red", 1, 1, 3, 1, 8, 0},
    {VYR_FRAME_RGBR888, "RGBR888", "8-bit red, green, blue", 1, 1, 3, 1, 8, 0},
    {VYR_FRAME_RGB8888, "RGB8888", "8-bit blue, green, red and a fourth byte", 1, 1, 4, 1, 8, 0},
    {VYR_FRAME_RGB101010, "RGB101010", "10-bit blue, green, red in a 32-bit word", 1, 1, 4, 4, 10, 0},
    {VYR_FRAME_RGB161616, "RGB161616", "16-bit blue, green, red, right-aligned bits", 1, 1, 6, 2, 16, 0},
    {VYR_FRAME_RGB16161616, "RGB16161616", "16-bit blue, green, red and a fourth word", 1, 1, 8, 2, 16, 0},
    {VYR_FRAME_RGBP8, "RGBP8", "8-bit planes red, green, blue", 3, 1, 1, 1, 8, 0},
    {VYR_FRAME_RGBP16, "RGBP16", "16-bit planes red, green, blue, right-aligned bits", 3, 1, 2, 2, 16, 0},
    {VYR_FRAME_RGBAP8, "RGBAP8", "8-bit planes red, green, blue, fourth", 4, 1, 1, 1, 8, 0},
    {VYR_FRAME_UYVY, "UYVY", "4:2:2 YUV, cells U Y0 V Y1 of two pixels", 1, 2, 4, 1, 8, 0},
    {VYR_FRAME_YUY2, "YUY2", "4:2:2 YUV, cells Y0 U Y1 V of two pixels", 1, 2, 4, 1, 8, 0},
    {VYR_FRAME_YVYU, "YVYU", "4:2:2 YUV, cells Y0 V Y1 U of two pixels", 1, 2, 4, 1, 8, 0},
    {VYR_FRAME_Y411, "Y411", "4:1:1 YUV, units U Y0 Y1 V Y2 Y3 of four pixels", 1, 4, 6, 1, 8, 0},
    {VYR_FRAME_IYU2, "IYU2", "4:4:4 YUV, bytes U Y V", 1, 1, 3, 1, 8, 0},
    {VYR_FRAME_YUV, "YUV", "4:4:4 YUV, bytes V U Y and a fourth byte", 1, 1, 4, 1, 8, 0},
    {VYR_FRAME_HSI, "HSI", "bytes intensity, saturation, hue, 0", 1, 1, 4, 1, 8, 0},
    {VYR_FRAME_HSV, "HSV", "bytes value, saturation, hue, 0", 1, 1, 4, 1, 8, 0},
    {VYR_FRAME_LAB, "LAB", "bytes b, a, L, 0", 1, 1, 4, 1, 8, 0},
    {VYR_FRAME_BAYER8, "Bayer8", "8-bit Bayer mosaic, a byte a site", 1, 1, 1, 1, 8, 0},
    {VYR_FRAME_BAYER15, "Bayer15", "15-bit Bayer mosaic, a 16-bit word a site", 1, 1, 2, 2, 15, 0},
    {VYR_FRAME_BICOLOR88, "Bicolor88", "8-bit colour (red or blue by turns) and green", 1, 1, 2, 1, 8, 0},
    {VYR_FRAME_BICOLOR1616, "Bicolor1616", "16-bit colour (red or blue by turns) and green", 1, 1, 4, 2, 16,
     0},
    // Packed camera samples: unused bits count down from the 16-bit word (Bayer: the 15-bit sample)
    // they unpack to.
    {VYR_FRAME_MONO10P, "MONO10p", "10-bit grey packed least significant bit first", 1, 4, 5, 2, 16, 0},
    {VYR_FRAME_MONO12P, "MONO12p", "12-bit grey packed least significant bit first", 1, 2, 3, 2, 16, 0},
    {VYR_FRAME_MONO12PACKED, "MONO12Packed", "12-bit grey, 2 pixels in 3 bytes, low nibbles in the middle", 1,
     2, 3, 2, 16, 0},
    {VYR_FRAME_BAYER10P, "Bayer10p", "10-bit Bayer mosaic packed least significant bit first", 1, 4, 5, 2, 15,
     0},
    {VYR_FRAME_BAYER12P, "Bayer12p", "12-bit Bayer mosaic packed least significant bit first", 1, 2, 3, 2, 15,
     0},
    {VYR_FRAME_BAYER12PACKED, "Bayer12Packed",
     "12-bit Bayer mosaic, 2 sites in 3 bytes, low nibbles in the middle", 1, 2, 3, 2, 15, 0},
};

const char* const kPatternNames[] = {"GBRG", "BGGR", "RGGB", "GRBG"}; // VYR_FRAME_PATTERN_GBRG ...

} // namespace

const VyrFrameFormatInfo* formatInfo(uint32_t format)
{
    return format >= 1 && format <= kFormatCount ? &kFormats[format - 1] : nullptr;
}

bool sameNameIgnoringCase(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b) {
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
            return false;
    }
    return *a == *b;
}

} // namespace vyr::frame

using namespace vyr::frame;

extern "C" {

uint32_t VyrFrameFormatCount(void) { return kFormatCount; }

const VyrFrameFormatInfo* VyrFrameFormatAt(uint32_t index) { return formatInfo(index + 1); }

const VyrFrameFormatInfo* VyrFrameGetFormat(uint32_t format) { return formatInfo(format); }

const VyrFrameFormatInfo* VyrFrameFindFormat(const char* name)
{
    for (uint32_t format = 1; name && format <= kFormatCount; ++format) {
        if (sameNameIgnoringCase(name, formatInfo(format)->name))
            return formatInfo(format);
    }
    return nullptr;
}

size_t VyrFrameLineBytes(uint32_t format, uint32_t width)
{
    const VyrFrameFormatInfo* info = formatInfo(format);
    if (!info)
        return 0;
    if (format >= VYR_FRAME_MONO10P) // bit-packed: up to the byte of the last pixel's last bit
        return (size_t(width) * info->bytesPerUnit + info->pixelsPerUnit - 1) / info->pixelsPerUnit;
    return (size_t(width) + info->pixelsPerUnit - 1) / info->pixelsPerUnit * info->bytesPerUnit;
}

uint32_t VyrFrameFindPattern(const char* name)
{
    for (uint32_t i = 0; name && i < 4; ++i) {
        if (sameNameIgnoringCase(name, kPatternNames[i]))
            return VYR_FRAME_PATTERN_GBRG + i;
    }
    return VYR_FRAME_PATTERN_NONE;
}

const char* VyrFramePatternName(uint32_t pattern)
{
    return pattern >= VYR_FRAME_PATTERN_GBRG && pattern <= VYR_FRAME_PATTERN_GRBG
               ? kPatternNames[pattern - VYR_FRAME_PATTERN_GBRG]
               : nullptr;
}

uint32_t VyrFrameFindMethod(const char* name)
{
    if (name && sameNameIgnoringCase(name, "2x2"))
        return VYR_FRAME_METHOD_2X2;
    if (name && sameNameIgnoringCase(name, "malvar"))
        return VYR_FRAME_METHOD_MALVAR;
    return VYR_FRAME_METHOD_DEFAULT;
}

uint32_t VyrFrameProcessorCount(void)
{
    const unsigned count = std::thread::hardware_concurrency();
    return count == 0 ? 1 : count > VYR_FRAME_MAX_THREADS ? VYR_FRAME_MAX_THREADS : count;
}

const char* VyrFrameVersion(void) { return VYR_FRAME_VERSION; }

} // extern "C"
