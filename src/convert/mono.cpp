#include "convert/mono.h"

#include "convert/kernels/mono_kernels.h"
#include "convert/kernels/runner.h"
#include "convert/kernels/simd.h"

#if defined(VYR_X86_KERNELS)
#define VYR_X86_VARIANT(fn) fn
#else
#define VYR_X86_VARIANT(fn) nullptr
#endif

namespace vyr::convert {
namespace {

// ---- MONO8 to RGB8888: every byte of the pixel is the grey value -----------------------------

inline void mono8ToRgb8888Pixels(const uint8_t* src, uint8_t* dst, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        const uint8_t v = src[i];
        dst[4 * i + 0] = v;
        dst[4 * i + 1] = v;
        dst[4 * i + 2] = v;
        dst[4 * i + 3] = v;
    }
}

void mono8ToRgb8888Scalar(const uint8_t* src, uint8_t* dst, uint32_t n, uint32_t)
{
    mono8ToRgb8888Pixels(src, dst, n);
}

template <kernels::Kernel K>
void mono8ToRgb8888Vector(const uint8_t* src, uint8_t* dst, uint32_t n, uint32_t)
{
    kernels::runBlocks<16, 1, 4>(src, dst, n, kernels::headTo8(dst), K);
}

// ---- MONO8 to RGB888: the three bytes of the pixel are the grey value -------------------------

inline void mono8ToRgb888Pixels(const uint8_t* src, uint8_t* dst, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        const uint8_t v = src[i];
        dst[3 * i + 0] = v;
        dst[3 * i + 1] = v;
        dst[3 * i + 2] = v;
    }
}

void mono8ToRgb888Scalar(const uint8_t* src, uint8_t* dst, uint32_t n, uint32_t)
{
    mono8ToRgb888Pixels(src, dst, n);
}

template <kernels::Kernel K>
void mono8ToRgb888Vector(const uint8_t* src, uint8_t* dst, uint32_t n, uint32_t)
{
    kernels::runBlocks<8, 1, 3>(src, dst, n, kernels::headTo8(dst), K);
}

} // namespace

const Paths kMono8ToRgb8888 = {
    mono8ToRgb8888Scalar,
    {mono8ToRgb8888Vector<mono8ToRgb8888Pixels>,
     VYR_X86_VARIANT(mono8ToRgb8888Vector<kernels::mono8ToRgb8888Sse2>), nullptr,
     VYR_X86_VARIANT(mono8ToRgb8888Vector<kernels::mono8ToRgb8888Avx2>)}};

const Paths kMono8ToRgb888 = {
    mono8ToRgb888Scalar,
    {mono8ToRgb888Vector<mono8ToRgb888Pixels>,
     VYR_X86_VARIANT(mono8ToRgb888Vector<kernels::mono8ToRgb888Sse2>),
     VYR_X86_VARIANT(mono8ToRgb888Vector<kernels::mono8ToRgb888Ssse3>),
     VYR_X86_VARIANT(mono8ToRgb888Vector<kernels::mono8ToRgb888Avx2>)}};

} // namespace vyr::convert

extern "C" {

VYR_API uint32_t VYR_CALL VyrUtilConvertMONO8toRGB8888(const void* src, void* dst, uint32_t count,
                                                       uint32_t unusedBits)
{
    return vyr::convert::dispatch(vyr::convert::kMono8ToRgb8888, src, dst, count, unusedBits);
}

VYR_API uint32_t VYR_CALL VyrUtilConvertMONO8toRGB888(const void* src, void* dst, uint32_t count,
                                                      uint32_t unusedBits)
{
    return vyr::convert::dispatch(vyr::convert::kMono8ToRgb888, src, dst, count, unusedBits);
}

} // extern "C"
