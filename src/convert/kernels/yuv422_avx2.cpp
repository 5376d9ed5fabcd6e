#include "convert/kernels/yuv422_kernels.h"
#include "convert/kernels/yuv422_steps.h"

VYR_YUV422_KERNELS(Avx2, V256)
