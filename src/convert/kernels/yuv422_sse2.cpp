#include "convert/kernels/yuv422_kernels.h"
#include "convert/kernels/yuv422_steps.h"

VYR_YUV422_KERNELS(Sse2, V128)
