// Floating-point rules stated in double or single precision give the same bytes on every build.
//
// x87 arithmetic (32-bit x86 builds that do not compute in SSE2) keeps 64-bit mantissas in its
// registers and rounds to the declared type only where the compiler happens to store a value, so
// one expression can give another double than on SSE2. While a DoubleRounding lives, the x87
// rounds every result to a 53-bit mantissa as double arithmetic does; single-precision results
// are rounded one operation at a time with roundToFloat (a result rounded first to 53 or 64 bits,
// then to 24, is still the correctly rounded float). Elsewhere both cost nothing.
#pragma once

#include <cmath>

#if (defined(__i386__) || defined(_M_IX86)) && !defined(__SSE2_MATH__)
#define VYR_X87_MATH 1
#endif

namespace vyr::convert {

#if defined(VYR_X87_MATH)

class DoubleRounding {
public:
    DoubleRounding();
    ~DoubleRounding();
    DoubleRounding(const DoubleRounding&) = delete;
    DoubleRounding& operator=(const DoubleRounding&) = delete;

    // The C runtime's pow, in the caller's x87 mode: its x87 code was written for that mode.
    double pow(double x, double y) const;

private:
    unsigned short callerControl_;
};

inline float roundToFloat(float x)
{
    volatile float stored = x;
    return stored;
}

#else

class DoubleRounding {
public:
    DoubleRounding() {}
    ~DoubleRounding() {}
    DoubleRounding(const DoubleRounding&) = delete;
    DoubleRounding& operator=(const DoubleRounding&) = delete;

    double pow(double x, double y) const { return std::pow(x, y); }
};

inline float roundToFloat(float x) { return x; }

#endif

} // namespace vyr::convert
