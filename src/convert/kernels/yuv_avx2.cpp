#include "convert/kernels/yuv_steps.h"

VYR_YUV_KERNELS(avx2, V256,
                VYR_YUV_SSE2_JOBS(VYR_YUV_INSTANCE, avx2) VYR_YUV_SSSE3_JOBS(VYR_YUV_INSTANCE, avx2))
