#include "convert/kernels/hexcone_body.h"

VYR_HEXCONE_KERNELS(Avx2, V256, HexconePasses<V256>)
