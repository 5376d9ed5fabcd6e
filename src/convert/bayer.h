// What the Bayer converters (2x2 and Malvar) share: the sample widths, the two output shapes and
// the line shape their paths take.
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/line.h"

namespace vyr::convert {

// An output line: the RGB8888 pixels in at[0], or the red, green and blue planes in at[0..2].
struct OutputLine {
    uint8_t* at[3];
};

inline OutputLine planes(void* red, void* green, void* blue)
{
    return {{static_cast<uint8_t*>(red), static_cast<uint8_t*>(green), static_cast<uint8_t*>(blue)}};
}

// Sample widths of the Bayer lines and planes: little-endian samples of Bytes bytes up to Max, at any
// alignment.
template <uint32_t Bytes, int32_t Max>
struct BayerSamples {
    static constexpr size_t kBytes = Bytes;
    static constexpr int32_t kMax = Max;
    static uint32_t load(const uint8_t* line, ptrdiff_t x) { return fmt::loadLe<Bytes>(line + Bytes * x); }
    static void store(uint8_t* line, size_t x, uint32_t v) { fmt::storeLe<Bytes>(line + Bytes * x, v); }
};
using Bayer8 = BayerSamples<1, 255>;
using Bayer15 = BayerSamples<2, 32767>;

// RGB8888 output; the 2x2 converters write the fourth byte as 0, the Malvar converters leave it.
template <fmt::Fourth X>
struct PackedOut {
    static void put(const OutputLine& out, size_t x, uint32_t r, uint32_t g, uint32_t b)
    {
        fmt::BlueFirst<1, 4, X>::write(out.at[0] + 4 * x, {b, g, r, 0});
    }
};

// Three independent planes, red, green, blue, with samples of S.
template <class S>
struct PlanarOut {
    static void put(const OutputLine& out, size_t x, uint32_t r, uint32_t g, uint32_t b)
    {
        S::store(out.at[0], x, r);
        S::store(out.at[1], x, g);
        S::store(out.at[2], x, b);
    }
};

// Where the colours of the 2x2 cell at column x lie, by its phase (0 GBRG, 1 BGGR, 2 RGGB, 3 GRBG):
// the line (0 first, 1 second) and column (0 the cell's first, 1 its second) of red and of blue,
// and the line whose sample at the cell's first column is green.
struct CellLayout {
    uint8_t redLine, redColumn, blueLine, blueColumn, greenLineAtFirst;
};

constexpr CellLayout kCellLayouts[4] = {
    {1, 0, 0, 1, 0}, // G B / R G
    {1, 1, 0, 0, 1}, // B G / G R
    {0, 0, 1, 1, 1}, // R G / G B
    {0, 1, 1, 0, 0}, // G R / B G
};

} // namespace vyr::convert
