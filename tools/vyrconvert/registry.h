// The formats the tool knows and the library converters between them. Each family registers its
// own from a file of its own (family_<name>.cpp): a new format is one Format constant in a
// Registration, a new conversion one line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "VyrUtility.h"

namespace vyr::tool {

// How a decoded PNG holds its pixels (palettes and 1/2/4-bit grey are widened before this).
enum class PngChannels { None, Grey, GreyAlpha, Rgb, Rgba };

struct PngLayout {
    PngChannels channels = PngChannels::None;
    int bitDepth = 0; // 8 or 16; 16-bit samples stay big-endian as PNG stores them
};

bool operator==(const PngLayout& a, const PngLayout& b);
std::string describe(const PngLayout& layout); // "8-bit grey"

// One byte of each pixel of a format, shown on its own as a grey picture.
struct GreyPlane {
    const char* name;    // "H"
    size_t byteInPixel;  // which byte of the pixel
    size_t bytesPerPixel;
};

struct Format {
    const char* name;
    const char* summary; // one line for --help and --list
    size_t (*bytesPerLine)(uint32_t width);
    // Writes width pixels as 8-bit R,G,B triples (for PNG output). Every format has one.
    void (*lineToRgb8)(const uint8_t* line, uint32_t width, uint8_t* rgb);
    // Builds a line of this format from a scene line of 16-bit R,G,B triples (demo sources).
    void (*lineFromScene)(const uint16_t* sceneRgb16, uint32_t width, uint8_t* line);
    // PNGs decoding to this layout load as this format (None: not loadable from PNG).
    PngLayout pngSource;
    void (*lineFromPng)(const uint8_t* pngRow, uint32_t width, uint8_t* line);
    // Planes the demo also writes as grey PNGs, beside the converted frame.
    std::vector<GreyPlane> demoPlanes = {};
};

using LineConverter = uint32_t(VYR_CALL*)(const void* src, void* dst, uint32_t count, uint32_t unusedBits);

struct Conversion {
    const Format* from;
    const Format* to;
    LineConverter convert;
    bool usesUnusedBits;

    std::string name() const; // as in the library: MONO8toRGB8888
};

// A file-scope Registration adds a family's formats and conversions at start-up.
struct Registration {
    Registration(std::initializer_list<const Format*> formats, std::initializer_list<Conversion> conversions);
};

// In registration order (files in link order).
const std::vector<const Format*>& allFormats();
const std::vector<Conversion>& allConversions();

// Case-insensitive; nullptr when unknown.
const Format* findFormat(std::string_view name);
const Conversion* findConversion(const Format& from, const Format& to);
// The format a PNG of this layout loads as, or nullptr.
const Format* formatForPng(const PngLayout& layout);

std::string formatNameList(); // "MONO8, RGB8888, RGB888"
// "8-bit grey as MONO8" for every format loadable from PNG, comma-separated.
std::string pngSourceList();

bool sameNameIgnoringCase(std::string_view a, std::string_view b);

} // namespace vyr::tool
