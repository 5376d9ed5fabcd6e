// VyrUtilMemcpy's three paths, reachable on their own from tests and benchmarks.
//
// A path is a head, a body and a tail made of four kinds of moves. The moves come from a table so
// that a test can record which bytes each kind moved and check the structure, not only the bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vyr::copy {

struct Moves {
    void (*bytes)(uint8_t* dst, const uint8_t* src, size_t n);  // one byte at a time, front to back
    void (*words)(uint8_t* dst, const uint8_t* src, size_t n);  // n a multiple of 4: 32-bit words
    void (*pairs)(uint8_t* dst, const uint8_t* src, size_t n);  // n a multiple of 16: two 8-byte moves each
    void (*stream)(uint8_t* dst, const uint8_t* src, size_t n); // n a multiple of 32, both 16-byte aligned:
                                                                // aligned loads, streaming stores
};

// The moves of this processor's kernels.
const Moves& processorMoves();

using Path = void (*)(const Moves& moves, uint8_t* dst, const uint8_t* src, uint32_t size, bool alignOnSrc);

// Heads align to 4 bytes, words in the body, bytes in the tail.
void scalarPath(const Moves& moves, uint8_t* dst, const uint8_t* src, uint32_t size, bool alignOnSrc);
// Heads align to 16 bytes (on the source whenever both pointers are 8-byte aligned and the source is
// not 16-byte aligned), pairs in the body, the scalar path over the tail.
void mmxPath(const Moves& moves, uint8_t* dst, const uint8_t* src, uint32_t size, bool alignOnSrc);
// Heads align to 16 bytes, streaming 32-byte blocks when both pointers are then aligned (otherwise
// the MMX path over the body), the scalar path over the tail.
void ssePath(const Moves& moves, uint8_t* dst, const uint8_t* src, uint32_t size, bool alignOnSrc);

} // namespace vyr::copy
