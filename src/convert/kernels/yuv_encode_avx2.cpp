#include "convert/kernels/yuv_encode_kernels.h"
#include "convert/kernels/yuv_encode_steps.h"

VYR_YUV_ENCODE_KERNELS(Avx2, V256)
