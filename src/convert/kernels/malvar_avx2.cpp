#include "convert/kernels/malvar_lanes.h"

VYR_MALVAR_KERNELS(Avx2, V256)
