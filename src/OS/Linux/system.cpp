#include <csetjmp>
#include <csignal>
#include <unistd.h>

#include "OS/os.h"

#if defined(__i386__) || defined(__x86_64__)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif

namespace vyr::os {
namespace {

#if defined(__i386__) || defined(__x86_64__)
thread_local sigjmp_buf* t_trial = nullptr;

void onIllegalInstruction(int) { siglongjmp(*t_trial, 1); }

volatile float g_operandPs = 1.0f;
volatile double g_operandPd = 1.0;

__attribute__((target("sse"), noinline)) void executeXorps()
{
    __m128 a = _mm_set_ss(g_operandPs);
    __m128 b = _mm_set_ss(g_operandPs + 1.0f);
    g_operandPs = _mm_cvtss_f32(_mm_xor_ps(a, b));
}

__attribute__((target("sse2"), noinline)) void executeXorpd()
{
    __m128d a = _mm_set_sd(g_operandPd);
    __m128d b = _mm_set_sd(g_operandPd + 1.0);
    g_operandPd = _mm_cvtsd_f64(_mm_xor_pd(a, b));
}

// Runs the instruction with a SIGILL handler in place; a fault jumps back and reports false.
bool trial(void (*instruction)())
{
    struct sigaction handler = {}, previous = {};
    handler.sa_handler = onIllegalInstruction;
    sigemptyset(&handler.sa_mask);
    sigjmp_buf jump;
    t_trial = &jump;
    if (sigaction(SIGILL, &handler, &previous) != 0)
        return false;
    volatile bool ok = false;
    if (sigsetjmp(jump, 1) == 0) {
        instruction();
        ok = true;
    }
    sigaction(SIGILL, &previous, nullptr);
    t_trial = nullptr;
    return ok;
}
#endif

} // namespace

bool trySseInstruction()
{
#if defined(__i386__) || defined(__x86_64__)
    return trial(executeXorps);
#else
    return false;
#endif
}

bool trySse2Instruction()
{
#if defined(__i386__) || defined(__x86_64__)
    return trial(executeXorpd);
#else
    return false;
#endif
}

uint32_t processorCount()
{
    long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 ? static_cast<uint32_t>(n) : 1;
}

} // namespace vyr::os
