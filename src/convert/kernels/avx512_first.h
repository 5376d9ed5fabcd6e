// Included first by the AVX-512 kernel files: GCC 12 takes the undefined pass-through operands of its own
// AVX-512 intrinsics for uninitialised values (maybe so in optimised builds, surely so under the
// sanitizers).
#pragma once

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
