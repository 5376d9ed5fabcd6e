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
/* A cell of 4 bytes holds two pixels and the U and V they share: UYVY U Y0 V Y1, YUY2 Y0 U Y1 V,
 * YVYU Y0 V Y1 U. Y is full range, U and V are centred on 128; B = Y + 1.7790 (U - 128),
 * G = Y - 0.3455 (U - 128) - 0.7169 (V - 128), R = Y + 1.4075 (V - 128) in 14-bit fixed point,
 * truncated and clamped to 0..255. YUV is 4:4:4, bytes V U Y X. unusedBits is ignored.
 * Odd counts: the last pixel's cell is incomplete, so converters to RGB and YUV convert count - 1
 * pixels and leave the last destination pixel as it was; to MONO8 every pixel is converted. None
 * reads or writes beyond count pixels. "X kept" leaves the fourth destination byte as it was; "X
 * 0 with MMX" writes 0 there when VyrUtilIsMMX is true and keeps it otherwise.                  */

/* Lumas only. */
VYR_API uint32_t VYR_CALL VyrUtilConvertUYVYtoMONO8(const void* src, void* dst, uint32_t count,
                                                    uint32_t unusedBits);
/* X 0 with MMX. */
VYR_API uint32_t VYR_CALL VyrUtilConvertUYVYtoRGB8888(const void* src, void* dst, uint32_t count,
                                                      uint32_t unusedBits);
/* Bytes B G R. */
VYR_API uint32_t VYR_CALL VyrUtilConvertUYVYtoRGB888(const void* src, void* dst, uint32_t count,
                                                     uint32_t unusedBits);
/* The cell's U and V repeated for both pixels; X kept. */
VYR_API uint32_t VYR_CALL VyrUtilConvertUYVYtoYUV(const void* src, void* dst, uint32_t count,
                                                  uint32_t unusedBits);
/* Lumas only. */
VYR_API uint32_t VYR_CALL VyrUtilConvertYUY2toMONO8(const void* src, void* dst, uint32_t count,
                                                    uint32_t unusedBits);
/* X 0 with MMX. */
VYR_API uint32_t VYR_CALL VyrUtilConvertYUY2toRGB8888(const void* src, void* dst, uint32_t count,
                                                      uint32_t unusedBits);
/* Bytes B G R. */
VYR_API uint32_t VYR_CALL VyrUtilConvertYUY2toRGB888(const void* src, void* dst, uint32_t count,
                                                     uint32_t unusedBits);
/* The cell's U and V repeated for both pixels; X 0 with MMX. */
VYR_API uint32_t VYR_CALL VyrUtilConvertYUY2toYUV(const void* src, void* dst, uint32_t count,
                                                  uint32_t unusedBits);
/* X kept. */
VYR_API uint32_t VYR_CALL VyrUtilConvertYVYUtoRGB8888(const void* src, void* dst, uint32_t count,
                                                      uint32_t unusedBits);
/* Bytes B G R. */
VYR_API uint32_t VYR_CALL VyrUtilConvertYVYUtoRGB888(const void* src, void* dst, uint32_t count,
                                                     uint32_t unusedBits);
/* The cell's U and V repeated for both pixels; X kept. */
VYR_API uint32_t VYR_CALL VyrUtilConvertYVYUtoYUV(const void* src, void* dst, uint32_t count,
                                                  uint32_t unusedBits);

/* ---- RGB and MONO to YUV ---------------------------------------------------------------------- */
/* Y = (306 R + 601 G + 117 B) / 1024, cu = (512 B - 339 G - 173 R) / 1024 and
 * cv = (512 R - 429 G - 83 B) / 1024, each rounded down; U = 128 + cu * 229 / 255 and
 * V = 128 + cv * 229 / 255, truncated towards zero. A 4:2:2 cell takes U and V from its first
 * pixel alone. RGB888 source bytes B G R, RGB8888 B G R X (X ignored). Odd counts: the last
 * pixel fills the first half of a cell (U Y0, Y0 U or Y0 V), so exactly count pixels are read and
 * 2 * count bytes written. unusedBits is ignored unless noted.                                   */

/* Cells U Y0 V Y1. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB888toUYVY(const void* src, void* dst, uint32_t count,
                                                     uint32_t unusedBits);
/* Cells Y0 U Y1 V. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB888toYUY2(const void* src, void* dst, uint32_t count,
                                                     uint32_t unusedBits);
/* Cells Y0 V Y1 U. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB888toYVYU(const void* src, void* dst, uint32_t count,
                                                     uint32_t unusedBits);
/* Cells U Y0 V Y1. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB8888toUYVY(const void* src, void* dst, uint32_t count,
                                                      uint32_t unusedBits);
/* Cells Y0 U Y1 V. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB8888toYUY2(const void* src, void* dst, uint32_t count,
                                                      uint32_t unusedBits);
/* Bytes V U Y 0 per pixel. With MMX U and V are 128 + (c * 29426 >> 15), c being cu or cv: one
 * lower wherever c is negative. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB8888toYUV(const void* src, void* dst, uint32_t count,
                                                     uint32_t unusedBits);
/* Grey p becomes p, 128; exactly count pixels. */
VYR_API uint32_t VYR_CALL VyrUtilConvertMONO8toYUY2(const void* src, void* dst, uint32_t count,
                                                    uint32_t unusedBits);
/* Y = the low byte of p >> (8 - unusedBits), U = V = 128; unusedBits 0..8, above 8 every Y is 0.
 * An odd count converts count - 1 pixels and leaves the last destination pixel alone. */
VYR_API uint32_t VYR_CALL VyrUtilConvertMONO16toYUY2(const void* src, void* dst, uint32_t count,
                                                     uint32_t unusedBits);

/* ---- Y411, IYU2 and YUV 4:4:4 ------------------------------------------------------------------ */
/* Y411 units of 6 bytes, U Y0 Y1 V Y2 Y3, hold four pixels that share U and V; a run of count
 * pixels is count * 3 / 2 bytes (rounded up). IYU2 is U Y V, YUV is V U Y X (X ignored when read).
 * RGB follows the equations of the 4:2:2 converters. unusedBits is ignored. Y411 counts that are
 * not a multiple of 4: converters to RGB and YUV convert the whole units only and leave the last
 * count % 4 destination pixels as they were; to MONO8 every pixel is converted. None reads or
 * writes beyond count pixels.                                                                   */

/* Lumas of every pixel, reading only the run's bytes. */
VYR_API uint32_t VYR_CALL VyrUtilConvertY411toMONO8(const void* src, void* dst, uint32_t count,
                                                    uint32_t unusedBits);
/* X 0 where the processor has MMX and SSE, kept otherwise. */
VYR_API uint32_t VYR_CALL VyrUtilConvertY411toRGB8888(const void* src, void* dst, uint32_t count,
                                                      uint32_t unusedBits);
/* Bytes B G R. */
VYR_API uint32_t VYR_CALL VyrUtilConvertY411toRGB888(const void* src, void* dst, uint32_t count,
                                                     uint32_t unusedBits);
/* The unit's U and V repeated for its four pixels; X kept. */
VYR_API uint32_t VYR_CALL VyrUtilConvertY411toYUV(const void* src, void* dst, uint32_t count,
                                                  uint32_t unusedBits);
/* Lumas only. */
VYR_API uint32_t VYR_CALL VyrUtilConvertIYU2toMONO8(const void* src, void* dst, uint32_t count,
                                                    uint32_t unusedBits);
/* X kept. */
VYR_API uint32_t VYR_CALL VyrUtilConvertIYU2toRGB8888(const void* src, void* dst, uint32_t count,
                                                      uint32_t unusedBits);
/* Bytes B G R. */
VYR_API uint32_t VYR_CALL VyrUtilConvertIYU2toRGB888(const void* src, void* dst, uint32_t count,
                                                     uint32_t unusedBits);
/* X kept. */
VYR_API uint32_t VYR_CALL VyrUtilConvertIYU2toYUV(const void* src, void* dst, uint32_t count,
                                                  uint32_t unusedBits);
/* Lumas only. */
VYR_API uint32_t VYR_CALL VyrUtilConvertYUVtoMONO8(const void* src, void* dst, uint32_t count,
                                                   uint32_t unusedBits);
/* X 0 with MMX. */
VYR_API uint32_t VYR_CALL VyrUtilConvertYUVtoRGB8888(const void* src, void* dst, uint32_t count,
                                                     uint32_t unusedBits);

/* ---- HSI, HSV and LAB ------------------------------------------------------------------------- */

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
