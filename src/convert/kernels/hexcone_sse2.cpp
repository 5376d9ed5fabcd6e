#include "convert/kernels/hexcone_body.h"

VYR_HEXCONE_KERNELS(Sse2, V128, HexconePasses<V128>)
