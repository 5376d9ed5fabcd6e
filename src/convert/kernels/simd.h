// Which SIMD kernels this build has.
#pragma once

#include <cstddef>

#if defined(__x86_64__) || defined(__i386__)
#define VYR_X86_KERNELS 1
#endif

// A path through a SIMD kernel, or null where the build has none (other processors than x86).
#if defined(VYR_X86_KERNELS)
#define VYR_KERNEL(...) __VA_ARGS__
#else
#define VYR_KERNEL(...) nullptr
#endif

namespace vyr::convert::kernels {

// A line whose source or destination holds at least this many bytes is written with streaming
// stores, which keep a frame that does not fit the caches from evicting the caller's working data and
// save reading each destination line before writing it. A line of 4096 pixels of four bytes, read or
// written, is converted this way, as part of a frame that no cache holds (4096-pixel lines of four
// bytes to fewer measured 10-40% faster streamed than not); a 1920-pixel line of up to eight bytes,
// likely to be read back at once, stays in the cache.
constexpr size_t kStreamingBytes = size_t(16) << 10;
// The unit kernels (units.h), and the YUV steps that say so, also stream runs of at least this many
// pixels whatever their bytes: a line that wide comes from a frame of 12 megapixels or more, beyond the
// caches at one byte a pixel. On a 4096 x 3000 frame their lines of 1-3 bytes measured up to 70% faster
// streamed; at 2048 x 1536, which the last-level cache holds, streaming was slower.
constexpr size_t kStreamingPixels = 4096;

} // namespace vyr::convert::kernels
