// Inside VyrFrame: the format catalogue, the conversion table and what converts a band of lines.
#pragma once

#include <cstddef>
#include <cstdint>

#include "VyrFrame.h"

namespace vyr::frame {

constexpr uint32_t kFormatCount = 36; // VYR_FRAME_MONO1 .. VYR_FRAME_BAYER12PACKED

// nullptr for a value that names no format.
const VyrFrameFormatInfo* formatInfo(uint32_t format);
bool sameNameIgnoringCase(const char* a, const char* b);

// One image as the line functions see it: line y of plane k.
struct Planes {
    uint8_t* at[4];
    ptrdiff_t pitch;
    uint8_t* line(unsigned k, uint32_t y) const { return at[k] + ptrdiff_t(y) * pitch; }
};

struct ConversionRow;

// A conversion of one frame, checked and ready: what every band needs.
struct Work {
    const ConversionRow* row;
    Planes src, dst;
    uint32_t width, height;
    uint32_t unusedBits;
    uint32_t phase; // Bayer: the phase of line 0, 0..3 (pattern - 1)
    uint32_t blueFirst;
    bool malvar;
};

// Converts lines first..end-1. scratch holds the row's scratchBytes(width) bytes of this thread.
using LinesFunction = void (*)(const Work& work, uint32_t first, uint32_t end, uint8_t* scratch);

struct ConversionRow {
    VyrFrameConversion info;
    LinesFunction lines;
    size_t (*scratchBytes)(uint32_t width); // nullptr: none
    const ConversionRow* unpacked;          // packed sources: the conversion from the unpacked samples
};

uint32_t conversionCount();
const ConversionRow* conversionAt(uint32_t index);
const ConversionRow* findConversion(uint32_t from, uint32_t to);

// The smallest frame the conversion handles with these options.
void minimumSize(const ConversionRow& row, bool malvar, uint32_t& width, uint32_t& height);

} // namespace vyr::frame
