// Where the samples of two Y411 units (U Y0 Y1 V Y2 Y3, twice) lie, for the byte-shuffle kernels.
#pragma once

#include <cstdint>

namespace vyr::convert::kernels {
namespace {

constexpr int kY411Lumas[8] = {1, 2, 4, 5, 7, 8, 10, 11};
constexpr int kY411Chromas[8] = {0, 3, 0, 3, 6, 9, 6, 9}; // each unit's U and V once per two-pixel cell

// 16 shuffle bytes that put the sample at byte at + offsets[i] in the high byte of 16-bit lane i
// and clear its low byte.
inline void highByteShuffle(int8_t* m, int at, const int (&offsets)[8])
{
    for (int i = 0; i < 8; ++i) {
        m[2 * i] = -1;
        m[2 * i + 1] = static_cast<int8_t>(at + offsets[i]);
    }
}

} // namespace
} // namespace vyr::convert::kernels
