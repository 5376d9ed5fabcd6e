/*
 * VyrUtility: pixel conversion and acquisition utilities for machine-vision software.
 *
 * Plain C (C99 and C++). Every function is an independent entry point; the library keeps no
 * per-caller context. Converters take a caller-owned source run and a caller-owned destination run,
 * check nothing, never allocate and return 0.
 */
#ifndef VYRUTILITY_H
#define VYRUTILITY_H

#include <stdint.h>

#if defined(_WIN32)
#  if defined(VYR_BUILDING) || defined(VYR_STATIC)
#    define VYR_API
#  else
#    define VYR_API __declspec(dllimport)
#  endif
#  if defined(_M_IX86) || defined(__i386__)
#    define VYR_CALL __stdcall
#  else
#    define VYR_CALL
#  endif
#else
#  if defined(VYR_BUILDING)
#    define VYR_API __attribute__((visibility("default")))
#  else
#    define VYR_API
#  endif
#  define VYR_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* One-byte boolean: 1 true, 0 false. Test only this byte. */
typedef uint8_t VyrBool;

/* ---- Library lifecycle --------------------------------------------------------------------- */

/* The per-process FPGA emulation flag (starts at 0; the value set is kept unchanged). */
VYR_API int32_t VYR_CALL VyrUtilGetFpgaEmuEnabled(void);
VYR_API void VYR_CALL VyrUtilSetFpgaEmuEnabled(int32_t value);

/* ---- CPU identification (answers come from a machine-wide cache filled on first use) ------- */

VYR_API uint32_t VYR_CALL VyrUtilGetCpuType(void);   /* EDX of CPUID leaf 1 */
VYR_API uint32_t VYR_CALL VyrUtilGetCpuFamily(void); /* EAX of CPUID leaf 1 (whole signature) */
VYR_API uint32_t VYR_CALL VyrUtilGetCpuInfo(void);   /* EBX of CPUID leaf 1 */
VYR_API uint32_t VYR_CALL VyrUtilGetCpuBrandId(void);
VYR_API uint32_t VYR_CALL VyrUtilGetCpuCLFlushSize(void); /* in units of 8 bytes */
VYR_API uint32_t VYR_CALL VyrUtilGetCpuApicId(void);
VYR_API uint32_t VYR_CALL VyrUtilGetLogicalProcessorsPerProcessor(void);
VYR_API uint32_t VYR_CALL VyrUtilGetProcessorCount(void);
/* Copies the 12 vendor bytes (no terminator); size < 12 returns 0 and writes nothing. */
VYR_API VyrBool VYR_CALL VyrUtilGetCpuVendorId(uint8_t* buffer, uint32_t size);
/* Copies the vendor name and a terminator; size <= 12 returns 0 and writes nothing. */
VYR_API VyrBool VYR_CALL VyrUtilGetCpuVendorString(char* buffer, uint32_t size);
VYR_API VyrBool VYR_CALL VyrUtilIsGenuineIntel(void);
VYR_API VyrBool VYR_CALL VyrUtilIsAuthenticAMD(void);
VYR_API VyrBool VYR_CALL VyrUtilIsMMX(void);
VYR_API VyrBool VYR_CALL VyrUtilIsSSE(void);
VYR_API VyrBool VYR_CALL VyrUtilIsSSE2(void);
VYR_API VyrBool VYR_CALL VyrUtilIsOsSupportSSE(void);
VYR_API VyrBool VYR_CALL VyrUtilIsOsSupportSSE2(void);
VYR_API VyrBool VYR_CALL VyrUtilIsPentium4OrLater(void);
VYR_API VyrBool VYR_CALL VyrUtilIsHTSupported(void);
VYR_API VyrBool VYR_CALL VyrUtilIs3DNow(void);
VYR_API VyrBool VYR_CALL VyrUtilIsE3DNow(void);

/* ---- Fast memory copy ---------------------------------------------------------------------- */

/* Copies size bytes and returns dst. The runs must not overlap. Heads are measured on src when the
 * low byte of alignOnSrc is nonzero, else on dst; large aligned copies bypass the caches. */
VYR_API void* VYR_CALL VyrUtilMemcpy(void* dst, const void* src, uint32_t size, uint32_t alignOnSrc);

/* ---- Line converters ------------------------------------------------------------------------
 * uint32_t VyrUtilConvert<SRC>to<DST>(src, dst, count, unusedBits)
 *   count       pixels to convert; 0 touches nothing
 *   unusedBits  unused high-order bits per sample of the deeper side (ignored where noted)
 * Source and destination runs must not overlap.                                                */

/* ---- Monochrome and integer ---------------------------------------------------------------- */

/* Grey v becomes the word v * 0x01010101 (the fourth byte is v too). unusedBits ignored. */
VYR_API uint32_t VYR_CALL VyrUtilConvertMONO8toRGB8888(const void* src, void* dst, uint32_t count,
                                                       uint32_t unusedBits);
/* Grey v becomes the bytes v v v. unusedBits ignored. */
VYR_API uint32_t VYR_CALL VyrUtilConvertMONO8toRGB888(const void* src, void* dst, uint32_t count,
                                                      uint32_t unusedBits);

/* ---- Packed RGB ------------------------------------------------------------------------------ */

/* ---- Planar RGB, merge, split and bit reversal ------------------------------------------------ */

/* ---- Packed 4:2:2 YUV to RGB and MONO ------------------------------------------------------- */

/* ---- RGB and MONO to YUV ---------------------------------------------------------------------- */

/* ---- Y411, IYU2 and YUV 4:4:4 ------------------------------------------------------------------ */

/* ---- HSI, HSV and LAB ------------------------------------------------------------------------- */

/* ---- Bayer demosaicing ------------------------------------------------------------------------ */

/* ---- Bicolor ---------------------------------------------------------------------------------- */

/* ---- Performance counters --------------------------------------------------------------------- */

/* A caller-owned counter, released with VyrUtilFreePerfCounter. */
typedef struct PerfCounter PerfCounter;

/* 1 with a new, reset counter stored through counter; 0 (nothing written) when there is no memory
 * or counter is null. */
VYR_API uint32_t VYR_CALL VyrUtilAllocPerfCounter(PerfCounter** counter);
/* 1 after releasing the counter; 0 for a null counter. */
VYR_API uint32_t VYR_CALL VyrUtilFreePerfCounter(PerfCounter* counter);
/* Restarts the interval; always 1. */
VYR_API uint32_t VYR_CALL VyrUtilResetPerfCounter(PerfCounter* counter);
/* Seconds since the last reset; a nonzero reset restarts the interval at the same reading. */
VYR_API double VYR_CALL VyrUtilComputeTimePerfCounter(PerfCounter* counter, uint32_t reset);
/* The platform counter's own time (not since the reset) in seconds, milliseconds, microseconds. */
VYR_API double VYR_CALL VyrUtilGetTimePerfCounter(PerfCounter* counter);
VYR_API double VYR_CALL VyrUtilGetTimeMilliPerfCounter(PerfCounter* counter);
VYR_API double VYR_CALL VyrUtilGetTimeMicroPerfCounter(PerfCounter* counter);

/* ---- CPU usage monitor ------------------------------------------------------------------------ */

/* Starts the process's monitor thread, sampling every period milliseconds and averaging the long-term
 * value over ltSamples periods (0 counts as 1). Starting a running monitor restarts it with the new
 * values. A period in which the system time has not advanced leaves the statistics as they were.
 * 1 when it runs, 0 when it cannot start. Statistics carry over from one run to the next. */
VYR_API uint32_t VYR_CALL VyrUtilEnterCpuUsage(uint32_t period, uint32_t ltSamples);
/* Stops the monitor and waits for its thread; always 1. */
VYR_API uint32_t VYR_CALL VyrUtilLeaveCpuUsage(void);
/* Machine-wide usage in percent (a fully busy machine reads 100.5): the last period, the smallest
 * and largest seen (100.0 and 0.0 before any), and the long-term average (0.0 before any). */
VYR_API double VYR_CALL VyrUtilGetAvgCpuUsage(void);
VYR_API double VYR_CALL VyrUtilGetMinCpuUsage(void);
VYR_API double VYR_CALL VyrUtilGetMaxCpuUsage(void);
VYR_API double VYR_CALL VyrUtilGetLtAvgCpuUsage(void);

/* ---- Process privilege, working set and OS queries -------------------------------------------- */

/* Enables (enable nonzero) or disables a privilege by its Windows name, e.g. "SeLockMemoryPrivilege";
 * 1 when it is now in that state, else 0 and a log line. On Linux the names stand for capabilities
 * (SeLockMemoryPrivilege CAP_IPC_LOCK, SeIncreaseQuotaPrivilege CAP_SYS_RESOURCE, ...) of the calling
 * thread: enabling raises a permitted one into the effective set, disabling lowers it. */
VYR_API uint32_t VYR_CALL VyrUtilAdjustProcessPrivilege(const char* name, uint32_t enable);
/* Enables SeIncreaseQuotaPrivilege, then sets the working-set sizes in bytes; nonzero on success.
 * On Linux the sizes become the soft and hard limits of locked memory (RLIMIT_MEMLOCK). */
VYR_API uint32_t VYR_CALL VyrUtilAdjustProcessWorkingSet(uint32_t minimum, uint32_t maximum);
/* Nonzero when this 32-bit process runs on a 64-bit kernel; 0 in a 64-bit process. */
VYR_API uint32_t VYR_CALL VyrUtilIs64BitKernel(void);
/* 1 on Windows 8 (version 6.2) or later; 0 on older Windows and on Linux. */
VYR_API uint32_t VYR_CALL VyrUtilIsWindows8AndGreater(void);

/* ---- Shared buffers --------------------------------------------------------------------------- */

/* ---- User physical-page buffers --------------------------------------------------------------- */

#ifdef __cplusplus
}
#endif

#endif /* VYRUTILITY_H */
