// Block moves of the fast copy, one file per instruction set.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vyr::copy {

// bytes a multiple of 32, both pointers 16-byte aligned: movaps loads and movntps stores, then a fence.
void copyStreamingSse(uint8_t* dst, const uint8_t* src, size_t bytes);
// bytes a multiple of 16, any alignment: 16-byte moves that write what two 8-byte moves write.
void copyPairsSse2(uint8_t* dst, const uint8_t* src, size_t bytes);

} // namespace vyr::copy
