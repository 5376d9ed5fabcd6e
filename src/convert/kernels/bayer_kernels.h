// Bayer 2x2 vector kernels. Seen from the cells, a Bayer line holds its colour (red or blue) at
// even columns and green at odd ones, or green at even columns and its colour at odd ones. Over a
// run starting at an even column x0, with x counted from x0:
//   even sites  out[x] = s[x + (x & 1)]     the colour of a line that holds it at even columns
//   odd sites   out[x] = s[x | 1]           the colour of a line that holds it at odd columns
//   green       out[x] = avg(gEven[x + (x & 1)], gOdd[x | 1]), avg(a, b) = (a + b + 1) >> 1
// Each reads columns x0 .. x0 + pixels of its lines and nothing else. The 15-bit kernels give
// results above 32767 as 32767.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vyr::convert::kernels {

using BayerSitesKernel = void (*)(const uint8_t* s, uint8_t* out, size_t pixels);
using BayerGreenKernel = void (*)(const uint8_t* gEven, const uint8_t* gOdd, uint8_t* out, size_t pixels);
// RGB8888 from a line with its colour at even columns (a) and one with green there (b): red is the
// even-site colour of a when aIsRed, else that of b; the fourth byte is 0.
using BayerCellsKernel = void (*)(const uint8_t* a, const uint8_t* b, uint8_t* dst, size_t pixels,
                                  bool aIsRed);

// pixels a nonzero multiple of 4
void bayer8CellsToRgb8888Sse2(const uint8_t* a, const uint8_t* b, uint8_t* dst, size_t pixels, bool aIsRed);
// pixels a nonzero multiple of 16
void bayer8EvenSitesSse2(const uint8_t* s, uint8_t* out, size_t pixels);
void bayer8OddSitesSse2(const uint8_t* s, uint8_t* out, size_t pixels);
void bayer8GreenSse2(const uint8_t* gEven, const uint8_t* gOdd, uint8_t* out, size_t pixels);
// pixels a nonzero multiple of 8
void bayer15EvenSitesSse2(const uint8_t* s, uint8_t* out, size_t pixels);
void bayer15OddSitesSse2(const uint8_t* s, uint8_t* out, size_t pixels);
void bayer15GreenSse2(const uint8_t* gEven, const uint8_t* gOdd, uint8_t* out, size_t pixels);

// ---- Whole runs, either rule, either mode (AVX-512) --------------------------------------------------

// Green of a run: the mean of both greens, or the first line's green, which is the colour line's (at
// odd columns) or the green line's (at even columns).
enum class BayerGreen : uint8_t { Mean, OfColourLine, OfGreenLine };

// A run of cells from an even column: `colour` is the line whose samples at the run's even columns are
// red (redAtEven) or blue, `green` the other one, both from the run's first column. limit15: 15-bit
// results above 32767 become 32767, as the vector rule has them.
struct BayerRun {
    const uint8_t* colour;
    const uint8_t* green;
    bool redAtEven;
    BayerGreen greenFrom;
    bool limit15;
};

// Any number of pixels; they read columns 0 .. pixels of both lines and nothing else.
void bayer8ToRgb8888Avx512(const BayerRun& run, uint8_t* dst, size_t pixels);
void bayer8ToPlanarAvx512(const BayerRun& run, uint8_t* red, uint8_t* green, uint8_t* blue, size_t pixels);
void bayer15ToPlanarAvx512(const BayerRun& run, uint8_t* red, uint8_t* green, uint8_t* blue, size_t pixels);

} // namespace vyr::convert::kernels
