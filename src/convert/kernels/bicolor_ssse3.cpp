#include "convert/kernels/bicolor_kernels.h"
#include "convert/kernels/bicolor_steps.h"

#define VYR_BICOLOR_AT(K) VYR_UNITS(unitsSsse3, K)
VYR_BICOLOR_SHUFFLES(VYR_BICOLOR_AT)
