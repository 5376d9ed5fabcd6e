#include "convert/kernels/bicolor_kernels.h"
#include "convert/kernels/bicolor_steps.h"

#define VYR_BICOLOR_AT(K) VYR_UNITS(unitsAvx512, K)
VYR_BICOLOR_ANY_WIDTH(VYR_BICOLOR_AT)
VYR_BICOLOR_SHUFFLES(VYR_BICOLOR_AT)
