// Which SIMD kernels this build has.
#pragma once

#include <cstddef>

#if defined(__x86_64__) || defined(__i386__)
#define VYR_X86_KERNELS 1
#endif

namespace vyr::convert::kernels {

// Destinations at least this large are written with streaming stores, which keep a frame that
// does not fit the caches from evicting the caller's working data (and save the line reads).
constexpr size_t kStreamingBytes = size_t(1) << 20;

} // namespace vyr::convert::kernels
