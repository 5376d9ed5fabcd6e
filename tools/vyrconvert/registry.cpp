#include "registry.h"

#include <cctype>
#include <cstring>

#include "scene.h"

namespace vyr::tool {
namespace {

template <size_t BytesPerPixel>
size_t fixedBytesPerLine(uint32_t width)
{
    return BytesPerPixel * width;
}

// ---- MONO8: one grey byte per pixel ------------------------------------------------------------

void mono8ToRgb8(const uint8_t* line, uint32_t width, uint8_t* rgb)
{
    for (uint32_t x = 0; x < width; ++x)
        rgb[3 * x] = rgb[3 * x + 1] = rgb[3 * x + 2] = line[x];
}

void mono8FromScene(const uint16_t* scene, uint32_t width, uint8_t* line)
{
    for (uint32_t x = 0; x < width; ++x)
        line[x] = to8Bit(luminance(scene[3 * x], scene[3 * x + 1], scene[3 * x + 2]));
}

void mono8FromPng(const uint8_t* pngRow, uint32_t width, uint8_t* line)
{
    std::memcpy(line, pngRow, width);
}

const Format kMono8 = {"MONO8", "8-bit grey, 1 byte per pixel", fixedBytesPerLine<1>, mono8ToRgb8,
                       mono8FromScene, {PngChannels::Grey, 8}, mono8FromPng};

// ---- RGB888 and RGB8888: bytes blue, green, red (and a fourth byte) -----------------------------

template <size_t BytesPerPixel>
void bgrToRgb8(const uint8_t* line, uint32_t width, uint8_t* rgb)
{
    for (uint32_t x = 0; x < width; ++x) {
        const uint8_t* pixel = line + BytesPerPixel * x;
        rgb[3 * x + 0] = pixel[2];
        rgb[3 * x + 1] = pixel[1];
        rgb[3 * x + 2] = pixel[0];
    }
}

template <size_t BytesPerPixel>
void bgrFromScene(const uint16_t* scene, uint32_t width, uint8_t* line)
{
    for (uint32_t x = 0; x < width; ++x) {
        uint8_t* pixel = line + BytesPerPixel * x;
        pixel[0] = to8Bit(scene[3 * x + 2]);
        pixel[1] = to8Bit(scene[3 * x + 1]);
        pixel[2] = to8Bit(scene[3 * x + 0]);
        if constexpr (BytesPerPixel == 4)
            pixel[3] = 0xFF; // opaque, should the fourth byte be read as alpha
    }
}

const Format kRgb8888 = {"RGB8888", "8-bit blue, green, red and a fourth byte, 4 bytes per pixel",
                         fixedBytesPerLine<4>, bgrToRgb8<4>, bgrFromScene<4>, {}, nullptr};
const Format kRgb888 = {"RGB888", "8-bit blue, green, red, 3 bytes per pixel", fixedBytesPerLine<3>,
                        bgrToRgb8<3>, bgrFromScene<3>, {}, nullptr};

} // namespace

const std::vector<const Format*>& allFormats()
{
    static const std::vector<const Format*> formats = {&kMono8, &kRgb8888, &kRgb888};
    return formats;
}

const std::vector<Conversion>& allConversions()
{
    static const std::vector<Conversion> conversions = {
        {&kMono8, &kRgb8888, VyrUtilConvertMONO8toRGB8888, false},
        {&kMono8, &kRgb888, VyrUtilConvertMONO8toRGB888, false},
    };
    return conversions;
}

std::string Conversion::name() const
{
    return std::string(from->name) + "to" + to->name;
}

bool operator==(const PngLayout& a, const PngLayout& b)
{
    return a.channels == b.channels && a.bitDepth == b.bitDepth;
}

std::string describe(const PngLayout& layout)
{
    const char* channels = "unknown";
    switch (layout.channels) {
    case PngChannels::None: return "no PNG";
    case PngChannels::Grey: channels = "grey"; break;
    case PngChannels::GreyAlpha: channels = "grey+alpha"; break;
    case PngChannels::Rgb: channels = "RGB"; break;
    case PngChannels::Rgba: channels = "RGBA"; break;
    }
    return std::to_string(layout.bitDepth) + "-bit " + channels;
}

bool sameNameIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

const Format* findFormat(std::string_view name)
{
    for (const Format* format : allFormats()) {
        if (sameNameIgnoringCase(name, format->name))
            return format;
    }
    return nullptr;
}

const Conversion* findConversion(const Format& from, const Format& to)
{
    for (const Conversion& conversion : allConversions()) {
        if (conversion.from == &from && conversion.to == &to)
            return &conversion;
    }
    return nullptr;
}

const Format* formatForPng(const PngLayout& layout)
{
    if (layout.channels == PngChannels::None)
        return nullptr;
    for (const Format* format : allFormats()) {
        if (format->pngSource == layout)
            return format;
    }
    return nullptr;
}

std::string formatNameList()
{
    std::string names;
    for (const Format* format : allFormats())
        names += (names.empty() ? "" : ", ") + std::string(format->name);
    return names;
}

std::string pngSourceList()
{
    std::string list;
    for (const Format* format : allFormats()) {
        if (format->pngSource.channels != PngChannels::None)
            list += (list.empty() ? "" : ", ") + describe(format->pngSource) + " as " + format->name;
    }
    return list;
}

} // namespace vyr::tool
