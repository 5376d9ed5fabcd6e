#include "convert/kernels/lab_body.h"

VYR_LAB_KERNELS(Avx2, V256, NewtonRoot<V256>, PlainLabSteps<V256>)
