// How a kernel chooses its stores: streaming ones for large destinations, plain ones elsewhere. A
// kernel loop is a class with a static member template run<Stream> that writes through
// W::store<Stream> (vec.h); withStores runs it with the stores its destination allows. Every width
// streams in 16-byte pieces, so one alignment rule serves them all.
//
// Kernel files are compiled for different instruction sets: everything here has internal linkage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <xmmintrin.h>

#include "convert/kernels/simd.h"

namespace vyr::convert::kernels {
namespace {

// Streaming pays only for lines of frames beyond the caches (`bytes`: the larger of the line's source
// and destination), and needs 16-byte alignment.
inline bool streamable(const uint8_t* dst, size_t bytes)
{
    return bytes >= kStreamingBytes && (reinterpret_cast<uintptr_t>(dst) & 15) == 0;
}

// Whether runs of kStreamingPixels or more of kernel K stream whatever their bytes: K::kLongRunsStream
// where present, else Default (the unit kernels, which move bytes with little arithmetic, take true).
template <class K, bool Default, class = void>
struct LongRunsStream : std::bool_constant<Default> {
};
template <class K, bool Default>
struct LongRunsStream<K, Default, std::void_t<decltype(K::kLongRunsStream)>>
    : std::bool_constant<K::kLongRunsStream> {
};

// What streamable() takes for a run of `pixels` moving `bytes` on its larger side: a long run of a
// kernel K whose long runs stream counts as a line beyond the caches.
template <class K, bool Default>
inline size_t lineBytes(size_t bytes, size_t pixels)
{
    return LongRunsStream<K, Default>::value && pixels >= kStreamingPixels ? kStreamingBytes : bytes;
}

// Loop::run<Stream>(args...) for a loop writing from dst, `bytes` as streamable takes them; the fence
// orders its streaming stores before whatever the caller writes next.
template <class Loop, class... Args>
inline void withStores(const uint8_t* dst, size_t bytes, const Args&... args)
{
    if (streamable(dst, bytes)) {
        Loop::template run<true>(args...);
        _mm_sfence();
    } else {
        Loop::template run<false>(args...);
    }
}

} // namespace
} // namespace vyr::convert::kernels
