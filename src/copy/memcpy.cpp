#include "copy/memcpy.h"

#include <cstring>

#include "VyrUtility.h"
#include "convert/kernels/simd.h"
#include "copy/memcpy_kernels.h"

namespace vyr::copy {
namespace {

void bytesLoop(uint8_t* dst, const uint8_t* src, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        dst[i] = src[i];
}

void wordsLoop(uint8_t* dst, const uint8_t* src, size_t n)
{
    for (size_t i = 0; i < n; i += 4) {
        uint32_t w;
        std::memcpy(&w, src + i, 4);
        std::memcpy(dst + i, &w, 4);
    }
}

// Two 8-byte moves per 16 bytes, for processors without SSE2.
void pairsPlain(uint8_t* dst, const uint8_t* src, size_t n)
{
    for (size_t i = 0; i < n; i += 8) {
        uint64_t w;
        std::memcpy(&w, src + i, 8);
        std::memcpy(dst + i, &w, 8);
    }
}

#if defined(VYR_X86_KERNELS)
Moves chooseMoves()
{
    // A 32-bit processor may have MMX or SSE without SSE2.
    return {bytesLoop, wordsLoop, VyrUtilIsSSE2() ? copyPairsSse2 : pairsPlain, copyStreamingSse};
}
#else
Moves chooseMoves() { return {bytesLoop, wordsLoop, pairsPlain, pairsPlain}; }
#endif

// Bytes from the alignment base up to the next multiple of k.
inline uint32_t head(const uint8_t* dst, const uint8_t* src, bool alignOnSrc, uint32_t k)
{
    const uintptr_t base = reinterpret_cast<uintptr_t>(alignOnSrc ? src : dst);
    return static_cast<uint32_t>((k - base % k) % k);
}

// Copies the head bytes one at a time; true when the head covers the whole run, which it then copies.
inline bool copyHead(const Moves& m, uint8_t* dst, const uint8_t* src, uint32_t size, uint32_t h)
{
    m.bytes(dst, src, h >= size ? size : h);
    return h >= size;
}

inline bool aligned(const uint8_t* p, uintptr_t k) { return reinterpret_cast<uintptr_t>(p) % k == 0; }

} // namespace

const Moves& processorMoves()
{
    static const Moves moves = chooseMoves();
    return moves;
}

void scalarPath(const Moves& m, uint8_t* dst, const uint8_t* src, uint32_t size, bool alignOnSrc)
{
    const uint32_t h = head(dst, src, alignOnSrc, 4);
    if (copyHead(m, dst, src, size, h))
        return;
    const uint32_t r = size - h;
    const uint32_t body = r & ~3u;
    m.words(dst + h, src + h, body);
    m.bytes(dst + h + body, src + h + body, r & 3u);
}

void mmxPath(const Moves& m, uint8_t* dst, const uint8_t* src, uint32_t size, bool alignOnSrc)
{
    // Both 8-byte aligned and the source not 16: a head measured on the source keeps both at 8.
    if (aligned(dst, 8) && aligned(src, 8) && !aligned(src, 16))
        alignOnSrc = true;
    const uint32_t h = head(dst, src, alignOnSrc, 16);
    if (copyHead(m, dst, src, size, h))
        return;
    const uint32_t r = size - h;
    const uint32_t body = r & ~15u;
    if (body > 0)
        m.pairs(dst + h, src + h, body);
    if (r & 15u)
        scalarPath(m, dst + h + body, src + h + body, r & 15u, alignOnSrc);
}

void ssePath(const Moves& m, uint8_t* dst, const uint8_t* src, uint32_t size, bool alignOnSrc)
{
    const uint32_t h = head(dst, src, alignOnSrc, 16);
    if (copyHead(m, dst, src, size, h))
        return;
    const uint32_t r = size - h;
    const uint32_t body = r & ~31u;
    if (body > 0) {
        if (aligned(dst + h, 16) && aligned(src + h, 16))
            m.stream(dst + h, src + h, body);
        else
            mmxPath(m, dst + h, src + h, body, alignOnSrc);
    }
    if (r & 31u)
        scalarPath(m, dst + h + body, src + h + body, r & 31u, alignOnSrc);
}

} // namespace vyr::copy

extern "C" {

VYR_API void* VYR_CALL VyrUtilMemcpy(void* dst, const void* src, uint32_t size, uint32_t alignOnSrc)
{
    using namespace vyr::copy;
    auto* d = static_cast<uint8_t*>(dst);
    auto* s = static_cast<const uint8_t*>(src);
    const bool onSrc = (alignOnSrc & 0xFFu) != 0; // only the low byte counts
    const Moves& m = processorMoves();
    if (VyrUtilIsSSE())
        ssePath(m, d, s, size, onSrc);
    else if (VyrUtilIsMMX())
        mmxPath(m, d, s, size, onSrc);
    else
        scalarPath(m, d, s, size, onSrc);
    return dst;
}

} // extern "C"
