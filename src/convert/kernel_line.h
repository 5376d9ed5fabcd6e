// A kernel that converts any number of pixels (kernels/passes.h), as a path of the 16-byte line frame.
#pragma once

#include <cstdint>

#include "convert/kernels/runner.h"

namespace vyr::convert {

template <kernels::Kernel K>
void kernelLine(const uint8_t* src, uint8_t* dst, uint32_t n, uint32_t)
{
    K(src, dst, n);
}

} // namespace vyr::convert
