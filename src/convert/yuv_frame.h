// What the YUV families share around their rules: the head rule of their vector paths and the
// call of a converter that has only the scalar path.
#pragma once

#include <cstdint>

#include "convert/kernels/simd.h"
#include "convert/line.h"

#if defined(VYR_X86_KERNELS)
#define VYR_YUV_KERNEL(fn) fn
#else
#define VYR_YUV_KERNEL(fn) nullptr
#endif

namespace vyr::convert {

// Units of unitBytes destination bytes up to the next 16-byte boundary (whole units only: with a
// destination that no whole unit aligns, the head is short and only speed suffers).
inline uint32_t headTo16(const void* dst, uint32_t unitBytes)
{
    return ((0u - static_cast<uint32_t>(reinterpret_cast<uintptr_t>(dst))) & 15u) / unitBytes;
}

// A converter whose only path is the scalar one.
constexpr Paths scalarPaths(LineFn scalar) { return {scalar, {nullptr, nullptr, nullptr, nullptr}}; }

inline uint32_t scalarOnly(const Paths& paths, const void* src, void* dst, uint32_t count,
                           uint32_t unusedBits)
{
    if (count != 0)
        paths.scalar(static_cast<const uint8_t*>(src), static_cast<uint8_t*>(dst), count, unusedBits);
    return 0;
}

} // namespace vyr::convert

// An export of the line frame that hands its run to `how` (dispatch or scalarOnly) with `paths`.
#define VYR_YUV_EXPORT(Name, how, paths)                                                                     \
    VYR_API uint32_t VYR_CALL VyrUtilConvert##Name(const void* src, void* dst, uint32_t count,               \
                                                   uint32_t unusedBits)                                      \
    {                                                                                                        \
        return vyr::convert::how(vyr::convert::paths, src, dst, count, unusedBits);                          \
    }
