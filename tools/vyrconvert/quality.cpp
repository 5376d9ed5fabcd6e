#include "quality.h"

#include <cmath>
#include <limits>
#include <vector>

namespace vyr::tool {

double psnr(const Frame& a, const Frame& b)
{
    std::vector<uint8_t> rgbA(size_t(3) * a.width), rgbB(size_t(3) * a.width);
    double squares = 0;
    for (uint32_t y = 0; y < a.height; ++y) {
        lineToRgb8(a, y, rgbA.data());
        lineToRgb8(b, y, rgbB.data());
        for (size_t i = 0; i < rgbA.size(); ++i) {
            const double d = double(rgbA[i]) - double(rgbB[i]);
            squares += d * d;
        }
    }
    if (squares == 0)
        return std::numeric_limits<double>::infinity();
    const double meanSquare = squares / (3.0 * a.width * a.height);
    return 10 * std::log10(255.0 * 255.0 / meanSquare);
}

} // namespace vyr::tool
