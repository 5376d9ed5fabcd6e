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

} // namespace vyr::convert::kernels
