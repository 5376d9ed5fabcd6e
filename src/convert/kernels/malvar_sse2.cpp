#include "convert/kernels/malvar_lanes.h"

VYR_MALVAR_KERNELS(Sse2, V128)
