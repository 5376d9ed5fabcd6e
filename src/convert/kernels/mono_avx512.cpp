#include "convert/kernels/mono_kernels.h"
#include "convert/kernels/mono_steps.h"

#define VYR_MONO_AT(K) VYR_UNITS(unitsAvx512, K)
VYR_MONO_ANY_WIDTH(VYR_MONO_AT)
VYR_MONO_SHUFFLES(VYR_MONO_AT)
