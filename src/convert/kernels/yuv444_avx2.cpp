#include "convert/kernels/yuv444_kernels.h"
#include "convert/kernels/yuv444_steps.h"

namespace vyr::kernels
{

void yuvToRgb8888Avx2(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    yuvToRgb8888<V256>(src, dst, pixels);
}

} // namespace vyr::kernels
