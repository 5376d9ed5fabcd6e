// GCC 12 takes the undefined registers inside its AVX-512 intrinsics for uninitialized ones (bug 105593).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include "convert/kernels/yuv_steps.h"

VYR_YUV_KERNELS(avx512, V512, VYR_YUV_ALL_JOBS(VYR_YUV_INSTANCE, avx512))
