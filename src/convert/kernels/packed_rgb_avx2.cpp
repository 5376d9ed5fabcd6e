#include "convert/kernels/packed_rgb_kernels.h"
#include "convert/kernels/packed_rgb_steps.h"

#define VYR_PACKED_RGB_AT(K) VYR_UNITS(unitsAvx2, K)
VYR_PACKED_RGB_ANY_WIDTH(VYR_PACKED_RGB_AT)
