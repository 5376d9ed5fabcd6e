#include "convert/kernels/yuv_steps.h"

VYR_YUV_KERNELS(ssse3, V128, VYR_YUV_ALL_JOBS(VYR_YUV_INSTANCE, ssse3))
