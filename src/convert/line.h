// What every line converter shares: its paths, reachable on their own from tests and benchmarks,
// and the dispatch that sends a whole run through one of them.
#pragma once

#include <cstdint>

#include "VyrUtility.h"

namespace vyr::convert {

using LineFn = void (*)(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t unusedBits);

// Instruction sets of the vector kernels, narrowest first.
enum Isa : unsigned { kPlain, kSse2, kSsse3, kAvx2, kIsaCount };

const char* isaName(Isa isa);

// The widest instruction set this process runs, from the library's own CPUID reading (once).
Isa processorIsa();

struct Paths {
    LineFn scalar; // the plain rule, pixel by pixel
    LineFn
        variants[kIsaCount]; // the vector rule through each kernel; kPlain is plain C++, others may be null

    // The vector rule through the widest kernel the processor runs.
    LineFn vector() const
    {
        for (unsigned i = processorIsa(); i > kPlain; --i) {
            if (variants[i])
                return variants[i];
        }
        return variants[kPlain];
    }
};

// Asks for MMX once per call; the vector path also needs the converter's own condition.
inline uint32_t dispatch(const Paths& paths, const void* src, void* dst, uint32_t count, uint32_t unusedBits,
                         bool vectorCondition = true)
{
    if (count == 0)
        return 0;
    LineFn fn = (VyrUtilIsMMX() && vectorCondition) ? paths.vector() : paths.scalar;
    fn(static_cast<const uint8_t*>(src), static_cast<uint8_t*>(dst), count, unusedBits);
    return 0;
}

} // namespace vyr::convert
