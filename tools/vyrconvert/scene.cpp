#include "scene.h"

#include <algorithm>
#include <cmath>

namespace vyr::tool {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct Colour {
    double r, g, b; // 0..1
};

uint16_t toSample(double unit)
{
    return static_cast<uint16_t>(std::lround(std::clamp(unit, 0.0, 1.0) * 65535.0));
}

Colour hueColour(double hue) // hue in [0, 1): red, yellow, green, cyan, blue, magenta
{
    const double h = 6.0 * (hue - std::floor(hue));
    const double rising = h - std::floor(h);
    switch (static_cast<int>(h)) {
    case 0: return {1, rising, 0};
    case 1: return {1 - rising, 1, 0};
    case 2: return {0, 1, rising};
    case 3: return {0, 1 - rising, 1};
    case 4: return {rising, 0, 1};
    default: return {1, 0, 1 - rising};
    }
}

Colour mix(const Colour& a, const Colour& b, double t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// Positions normalised to the region, 0 at its first pixel and 1 at its last.
double fraction(uint32_t index, uint32_t size) { return size > 1 ? double(index) / double(size - 1) : 0.0; }

Colour smoothRamp(uint32_t x, uint32_t width)
{
    const double v = fraction(x, width);
    return {v, v, v};
}

Colour steppedRamp(uint32_t x, uint32_t width)
{
    constexpr uint32_t kSteps = 16;
    const double v = double(std::min(kSteps - 1, x * kSteps / width)) / (kSteps - 1);
    return {v, v, v};
}

Colour colourBar(uint32_t x, uint32_t width)
{
    static const Colour kBars[] = {{1, 1, 1}, {1, 1, 0}, {0, 1, 1}, {0, 1, 0},
                                   {1, 0, 1}, {1, 0, 0}, {0, 0, 1}, {0, 0, 0}};
    return kBars[std::min<uint32_t>(7, x * 8 / width)];
}

// Concentric rings whose frequency rises linearly with the radius and meets the Nyquist limit at the
// middle of each edge, so the corners show how a conversion aliases.
Colour zonePlate(uint32_t x, uint32_t y, uint32_t size)
{
    const double centre = (size - 1) / 2.0;
    const double radius = std::max(1.0, size / 2.0);
    const double dx = x - centre, dy = y - centre;
    const double v = 0.5 + 0.5 * std::cos(kPi / (2.0 * radius) * (dx * dx + dy * dy));
    return {v, v, v};
}

// Upper half: hue across, saturation falling to white downwards. Lower half: blends of four corners.
Colour gradients(uint32_t x, uint32_t y, uint32_t width, uint32_t height)
{
    const uint32_t upper = height / 2;
    const double u = fraction(x, width);
    if (y < upper)
        return mix(hueColour(u), {1, 1, 1}, fraction(y, upper));
    const double v = fraction(y - upper, height - upper);
    const Colour top = mix({1, 0, 0}, {0, 1, 0}, u);
    const Colour bottom = mix({0, 0, 1}, {1, 1, 0}, u);
    return mix(top, bottom, v);
}

} // namespace

Scene renderScene(uint32_t width, uint32_t height)
{
    Scene scene;
    scene.width = width;
    scene.height = height;
    scene.rgb16.resize(size_t(3) * width * height);

    const uint32_t smoothEnd = height / 6, steppedEnd = height / 3, barsEnd = height / 2;
    const uint32_t plateSize = std::min(width, height - barsEnd);
    for (uint32_t y = 0; y < height; ++y) {
        uint16_t* out = scene.rgb16.data() + size_t(3) * width * y;
        for (uint32_t x = 0; x < width; ++x) {
            Colour c;
            if (y < smoothEnd)
                c = smoothRamp(x, width);
            else if (y < steppedEnd)
                c = steppedRamp(x, width);
            else if (y < barsEnd)
                c = colourBar(x, width);
            else if (x < plateSize)
                c = zonePlate(x, y - barsEnd, plateSize);
            else
                c = gradients(x - plateSize, y - barsEnd, width - plateSize, height - barsEnd);
            out[3 * x + 0] = toSample(c.r);
            out[3 * x + 1] = toSample(c.g);
            out[3 * x + 2] = toSample(c.b);
        }
    }
    return scene;
}

} // namespace vyr::tool
