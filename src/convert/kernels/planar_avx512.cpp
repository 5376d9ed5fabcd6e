#include "convert/kernels/planar_kernels.h"
#include "convert/kernels/planar_steps.h"

#define VYR_PLANAR_AT(K) VYR_UNITS(unitsAvx512, K)
VYR_PLANAR_SHUFFLES(VYR_PLANAR_AT)
