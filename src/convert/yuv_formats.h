// Where the samples of the packed YUV formats lie. Each format is a unit of kBytes bytes holding
// kPixels pixels that share one U and one V: byte offsets of the U, the V and each pixel's Y.
#pragma once

#include <cstddef>

namespace vyr::convert::yuv {

// Packed 4:2:2: cells of two pixels.
struct Uyvy {
    static constexpr size_t kBytes = 4, kPixels = 2, u = 0, v = 2, y[2] = {1, 3};
};
struct Yuy2 {
    static constexpr size_t kBytes = 4, kPixels = 2, u = 1, v = 3, y[2] = {0, 2};
};
struct Yvyu {
    static constexpr size_t kBytes = 4, kPixels = 2, u = 3, v = 1, y[2] = {0, 2};
};

// Y411 (4:1:1): U Y0 Y1 V Y2 Y3. IYU2: U Y V. YUV (4:4:4): V U Y X, X carrying no sample.
struct Y411 {
    static constexpr size_t kBytes = 6, kPixels = 4, u = 0, v = 3, y[4] = {1, 2, 4, 5};
};
struct Iyu2 {
    static constexpr size_t kBytes = 3, kPixels = 1, u = 0, v = 2, y[1] = {1};
};
struct Yuv444 {
    static constexpr size_t kBytes = 4, kPixels = 1, u = 1, v = 0, y[1] = {2};
};

} // namespace vyr::convert::yuv
