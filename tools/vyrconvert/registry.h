// The formats the tool shows and reads, and the conversions VyrFrame offers between them. Each family
// registers its formats from a file of its own (family_<name>.cpp): a new format of VyrFrame is one
// Format constant in a Registration; its conversions come from VyrFrame's list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "VyrFrame.h"
#include "VyrUtility.h"

namespace vyr::tool {

// How a decoded PNG holds its pixels (palettes and 1/2/4-bit grey are widened before this).
enum class PngChannels { None, Grey, GreyAlpha, Rgb, Rgba };

struct PngLayout {
    PngChannels channels = PngChannels::None;
    int bitDepth = 0; // 8 or 16; 16-bit samples stay big-endian as PNG stores them
};

struct Frame;

enum class Demosaic { TwoByTwo, Malvar };

// The Bayer pattern of a phase (0 GBRG .. 3 GRBG): the colours of a 2x2 cell, first line then second.
inline const char* patternName(uint32_t phase) { return VyrFramePatternName(VYR_FRAME_PATTERN_GBRG + phase); }

// What a frame's pixels mean beyond their format, and the choices of conversions that need more
// than the pixels: the Bayer pattern and method, the Bicolor colour order.
struct FrameOptions {
    uint32_t unusedBits = 0;            // high-order bits of each sample that hold no data
    uint32_t phase = 2;                 // Bayer colours of the top-left 2x2 cell: patternName(phase)
    Demosaic method = Demosaic::Malvar; // Bayer demosaicing
    bool blueFirst = false;             // Bicolor: pixel 0 of every line carries blue, not red
    unsigned threads = 1;
};

bool operator==(const PngLayout& a, const PngLayout& b);
std::string describe(const PngLayout& layout); // "8-bit grey"

// One byte of each pixel of a format, shown on its own as a grey picture.
struct GreyPlane {
    const char* name;   // "H"
    size_t byteInPixel; // which byte of the pixel
    size_t bytesPerPixel;
};

struct Format {
    const char* name;    // as VyrFrame names it
    const char* summary; // one line for --help and --list
    // Writes width pixels as 8-bit R,G,B triples (for PNG output). Every format has it or
    // lineToRgb8With.
    void (*lineToRgb8)(const uint8_t* line, uint32_t width, uint8_t* rgb);
    // Builds a line of this format from a scene line of 16-bit R,G,B triples (demo sources), at full
    // depth. Formats without it or lineFromSceneWith are not shown in the demo.
    void (*lineFromScene)(const uint16_t* sceneRgb16, uint32_t width, uint8_t* line);
    // PNGs decoding to this layout load as this format (None: not loadable from PNG).
    PngLayout pngSource;
    void (*lineFromPng)(const uint8_t* pngRow, uint32_t width, uint8_t* line);

    // ---- Deep and planar formats; the defaults keep a format as above.
    // PNG output in this layout (16-bit grey or RGB) through lineToPng16 instead of 8-bit RGB through
    // lineToRgb8: big-endian samples with the significant bits moved to the top.
    PngLayout pngOutput = {};
    void (*lineToPng16)(const uint8_t* line, uint32_t width, uint32_t unusedBits, uint8_t* pngRow) = nullptr;
    // Moves full-depth samples (of a PNG or the demo scene) down to their significant bits.
    void (*dropUnusedBits)(uint8_t* line, uint32_t width, uint32_t unusedBits) = nullptr;

    // ---- In place of lineFromScene and lineToRgb8, for formats whose lines depend on their position
    // or the frame's options (Bayer mosaics, Bicolor colour order, significant bits).
    void (*lineFromSceneWith)(const uint16_t* sceneRgb16, uint32_t width, uint32_t y,
                              const FrameOptions& options, uint8_t* line) = nullptr;
    void (*lineToRgb8With)(const uint8_t* line, uint32_t width, uint32_t y, const FrameOptions& options,
                           uint8_t* rgb) = nullptr;

    // Planes the demo also writes as grey PNGs, beside the converted frame.
    std::vector<GreyPlane> demoPlanes = {};

    // ---- From VyrFrame.
    const VyrFrameFormatInfo& frameFormat() const;
    // Planar formats: the frame is this many planes one after another (red, green, blue first), each
    // of width x height samples; a line as the line functions see it (bytesPerLine) is that line's
    // samples of every plane in turn. A packed format is one plane.
    unsigned planes() const { return frameFormat().planes; }
    size_t bytesPerLine(uint32_t width) const
    {
        return VyrFrameLineBytes(frameFormat().format, width) * planes();
    }
    // Bits of a sample's container: with --unused-bits, the deeper side of a conversion (the one with
    // more) holds that many fewer significant bits, right-aligned.
    unsigned sampleBits() const { return frameFormat().sampleBits; }
};

using LineConverter = uint32_t(VYR_CALL*)(const void* src, void* dst, uint32_t count, uint32_t unusedBits);

// A conversion VyrFrame offers between two formats of the tool.
struct Conversion {
    const Format* from;
    const Format* to;
    const VyrFrameConversion* frame; // its name, the options it takes, its range of unused bits, a note

    bool takes(uint32_t option) const { return frame->options & option; } // VYR_FRAME_TAKES_*
    bool usesUnusedBits() const { return takes(VYR_FRAME_TAKES_UNUSED_BITS); }
    std::string name() const { return frame->name; } // as in the library: MONO8toRGB8888
};

// A file-scope Registration adds a family's formats at start-up.
struct Registration {
    explicit Registration(std::initializer_list<const Format*> formats);
};

// Formats in registration order (files in link order); conversions in VyrFrame's order, those
// between formats the tool has.
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
