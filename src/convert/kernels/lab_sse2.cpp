#include "convert/kernels/lab_body.h"

VYR_LAB_KERNELS(Sse2, V128, NewtonRoot<V128>, PlainLabSteps<V128>)
