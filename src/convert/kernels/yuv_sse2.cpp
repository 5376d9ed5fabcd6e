#include "convert/kernels/yuv_steps.h"

VYR_YUV_KERNELS(sse2, V128, VYR_YUV_SSE2_JOBS(VYR_YUV_INSTANCE, sse2))
