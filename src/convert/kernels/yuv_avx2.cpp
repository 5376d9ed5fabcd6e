#include "convert/kernels/yuv_steps.h"

VYR_YUV_KERNELS(avx2, V256, VYR_YUV_ALL_JOBS(VYR_YUV_INSTANCE, avx2))
