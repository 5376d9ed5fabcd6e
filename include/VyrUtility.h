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

/* HSV pixels are the bytes V, S, H, 0: value (largest channel), saturation, and hue on a 255-step
 * circle (red 0, green 85, blue 170). With MMX the integer path runs; it may give one more or
 * one less than the double-precision path in S and H (reds towards yellow, and greys, come out
 * one lower in H: pure red and every grey give H = 255 instead of 0). The fourth byte is 0.
 * unusedBits is ignored by every HSI, HSV and LAB converter. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB8888toHSV(const void* src, void* dst, uint32_t count,
                                                     uint32_t unusedBits);
/* HSV to B, G, R, 0. S = 0 gives the grey V; the integer path may differ by one per channel. */
VYR_API uint32_t VYR_CALL VyrUtilConvertHSVtoRGB8888(const void* src, void* dst, uint32_t count,
                                                     uint32_t unusedBits);
/* The V byte of each HSV pixel. */
VYR_API uint32_t VYR_CALL VyrUtilConvertHSVtoMONO8(const void* src, void* dst, uint32_t count,
                                                   uint32_t unusedBits);

/* HSI pixels are the bytes I, S, H, 0: intensity (the mean of R, G, B) with the saturation and hue
 * of HSV. The integer path may give I one lower than the double-precision path (it rounds the
 * mean down), and S and H differ as for HSV. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB8888toHSI(const void* src, void* dst, uint32_t count,
                                                     uint32_t unusedBits);
/* HSI to B, G, R, 0, reading I as the largest channel (a colour returns brighter than it went in).
 * S = 0 gives the grey of level I, black for I = 0 (not white). No integer path. */
VYR_API uint32_t VYR_CALL VyrUtilConvertHSItoRGB8888(const void* src, void* dst, uint32_t count,
                                                     uint32_t unusedBits);

/* LAB pixels are the bytes b, a, L, 0: L* scaled to 0..255 and a*, b* offset by 128, from the RGB
 * bytes taken as linear light with no reference white (white is L 254, a 120, b 123). Computed in
 * double precision with the C runtime's pow; no integer path. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB8888toLAB(const void* src, void* dst, uint32_t count,
                                                     uint32_t unusedBits);
/* LAB to B, G, R, 0 in single precision; a round trip loses a few units per channel. */
VYR_API uint32_t VYR_CALL VyrUtilConvertLABtoRGB8888(const void* src, void* dst, uint32_t count,
                                                     uint32_t unusedBits);
/* The L byte of each LAB pixel. */
VYR_API uint32_t VYR_CALL VyrUtilConvertLABtoMONO8(const void* src, void* dst, uint32_t count,
                                                   uint32_t unusedBits);

/* ---- Bayer demosaicing ------------------------------------------------------------------------ */

/* ---- Bicolor ---------------------------------------------------------------------------------- */

/* ---- Performance counters --------------------------------------------------------------------- */

/* ---- CPU usage monitor ------------------------------------------------------------------------ */

/* ---- Process privilege, working set and OS queries -------------------------------------------- */

/* ---- Shared buffers --------------------------------------------------------------------------- */

/* ---- User physical-page buffers --------------------------------------------------------------- */

#ifdef __cplusplus
}
#endif

#endif /* VYRUTILITY_H */
