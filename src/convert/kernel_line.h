// A kernel that converts any number of pixels (kernels/passes.h), as a path of the 16-byte line frame.
#pragma once

#include <cstdint>

#include "convert/kernels/runner.h"
#include "convert/kernels/simd.h"

namespace vyr::convert {

template <kernels::Kernel K>
void kernelLine(const uint8_t* src, uint8_t* dst, uint32_t n, uint32_t)
{
    K(src, dst, n);
}

} // namespace vyr::convert

// The kernels Stem##Sse2, Stem##Avx2 and Stem##Avx512 of one rule as the entries of a converter's table (in
// namespace vyr::convert).
#define VYR_KERNEL_LINES(Stem)                                                                               \
    {                                                                                                        \
        nullptr, VYR_KERNEL(kernelLine<kernels::Stem##Sse2>), nullptr,                                       \
            VYR_KERNEL(kernelLine<kernels::Stem##Avx2>), VYR_KERNEL(kernelLine<kernels::Stem##Avx512>)       \
    }
