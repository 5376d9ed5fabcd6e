// Bayer Malvar demosaic: one output line from five sensor lines with gradient-corrected estimates.
#pragma once

#include "convert/bayer.h"

namespace vyr::convert {

// The arguments of the exports: src[0..4] are the lines two above to two below the output line,
// the output pointers gathered in one OutputLine. One rule; its kernels give the same bytes.
using MalvarFn = uint32_t (*)(const uint8_t* const* src, const OutputLine& out, uint32_t width,
                              uint32_t phase, int32_t rowBorder, uint32_t border);
using MalvarPaths = Paths<MalvarFn>;

// Results of the border handling's refusals.
constexpr uint32_t kMalvarBadRowBorder = 1;
constexpr uint32_t kMalvarTooNarrow = 2;

extern const MalvarPaths kBayer8MalvarToRgb8888;
extern const MalvarPaths kBayer8MalvarToPlanar;
extern const MalvarPaths kBayer15MalvarToPlanar;

} // namespace vyr::convert
