// What the sensor-pattern converters (Bayer and Bicolor) share: sample access on lines of any
// alignment, and paths for converters whose arguments differ from the line frame's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "convert/kernels/simd.h"
#include "convert/line.h"

// SIMD kernels exist only in builds for x86 processors.
#if defined(VYR_X86_KERNELS)
#define VYR_X86_ONLY(kernelPath) kernelPath
#else
#define VYR_X86_ONLY(kernelPath) nullptr
#endif

namespace vyr::convert {

// 16-bit little-endian words at any address: callers' lines need not be 2-byte aligned.
inline uint32_t loadWord(const uint8_t* p)
{
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

inline void storeWord(uint8_t* p, uint32_t v)
{
    const uint16_t w = static_cast<uint16_t>(v);
    std::memcpy(p, &w, 2);
}

// The scalar path and the vector rule through each kernel, as Paths, for any function type.
template <class Fn>
struct PathsOf {
    Fn scalar;
    Fn variants[kIsaCount];

    Fn vector() const
    {
        for (unsigned i = processorIsa(); i > kPlain; --i) {
            if (variants[i])
                return variants[i];
        }
        return variants[kPlain];
    }
};

} // namespace vyr::convert
