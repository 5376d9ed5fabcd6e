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
#if defined(VYR_BUILDING) || defined(VYR_STATIC)
#define VYR_API
#else
#define VYR_API __declspec(dllimport)
#endif
#if defined(_M_IX86) || defined(__i386__)
#define VYR_CALL __stdcall
#else
#define VYR_CALL
#endif
#else
#if defined(VYR_BUILDING)
#define VYR_API __attribute__((visibility("default")))
#else
#define VYR_API
#endif
#define VYR_CALL
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
/* v >> (8 - unusedBits), low 8 bits; unusedBits 0..8 (10-bit data: 6). No rounding. */
VYR_API uint32_t VYR_CALL VyrUtilConvertMONO16toMONO8(const void* src, void* dst, uint32_t count,
                                                      uint32_t unusedBits);
/* v >> (24 - unusedBits), low 8 bits; unusedBits 0..24. */
VYR_API uint32_t VYR_CALL VyrUtilConvertMONO32toMONO8(const void* src, void* dst, uint32_t count,
                                                      uint32_t unusedBits);
/* v << (8 - unusedBits), low 16 bits; unusedBits 0..8. */
VYR_API uint32_t VYR_CALL VyrUtilConvertMONO8toMONO16(const void* src, void* dst, uint32_t count,
                                                      uint32_t unusedBits);
/* Bit 7 inverted (INT8 v stands for MONO8 v + 128). unusedBits ignored. */
VYR_API uint32_t VYR_CALL VyrUtilConvertMONO8toINT8(const void* src, void* dst, uint32_t count,
                                                    uint32_t unusedBits);
/* Bit 7 inverted. unusedBits ignored. */
VYR_API uint32_t VYR_CALL VyrUtilConvertINT8toMONO8(const void* src, void* dst, uint32_t count,
                                                    uint32_t unusedBits);
/* (v << (8 - unusedBits)) + 0x8000, low 16 bits; the offset does not scale. unusedBits 0..8. */
VYR_API uint32_t VYR_CALL VyrUtilConvertMONO8toINT16(const void* src, void* dst, uint32_t count,
                                                     uint32_t unusedBits);
/* unusedBits 0: floor(v / 256) + 128. 1..8: v / 2^(8 - unusedBits) truncated toward zero, + 128,
 * clamped to 0..255 (samples beyond the declared depth saturate). */
VYR_API uint32_t VYR_CALL VyrUtilConvertINT16toMONO8(const void* src, void* dst, uint32_t count,
                                                     uint32_t unusedBits);
/* c = (v >> (11 - unusedBits)) & 31 in all three fields, bit 15 0; unusedBits 0..11. */
VYR_API uint32_t VYR_CALL VyrUtilConvertMONO16toRGB5551(const void* src, void* dst, uint32_t count,
                                                        uint32_t unusedBits);
/* g = (v >> (10 - unusedBits)) & 63, red and blue g >> 1; unusedBits 0..10. */
VYR_API uint32_t VYR_CALL VyrUtilConvertMONO16toRGB565(const void* src, void* dst, uint32_t count,
                                                       uint32_t unusedBits);
/* c = (v >> (8 - unusedBits)) & 255 in all four bytes; unusedBits 0..8. */
VYR_API uint32_t VYR_CALL VyrUtilConvertMONO16toRGB8888(const void* src, void* dst, uint32_t count,
                                                        uint32_t unusedBits);
/* c = (v >> (8 - unusedBits)) & 255 in all three bytes; unusedBits 0..8. */
VYR_API uint32_t VYR_CALL VyrUtilConvertMONO16toRGB888(const void* src, void* dst, uint32_t count,
                                                       uint32_t unusedBits);
/* c = v >> (3 - unusedBits), unmasked (wider values spill into the next field), in all three fields;
 * unusedBits 0..3. */
VYR_API uint32_t VYR_CALL VyrUtilConvertMONO8toRGB5551(const void* src, void* dst, uint32_t count,
                                                       uint32_t unusedBits);
/* Green v >> (2 - unusedBits), red and blue v >> (3 - unusedBits), unmasked; unusedBits 0..2. With
 * unusedBits 0 and MMX the lowest green bit is always 0 (green = (v >> 3) << 1). */
VYR_API uint32_t VYR_CALL VyrUtilConvertMONO8toRGB565(const void* src, void* dst, uint32_t count,
                                                      uint32_t unusedBits);
/* (117 B + 601 G + 306 R) >> 10, truncated. unusedBits ignored. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB888toMONO8(const void* src, void* dst, uint32_t count,
                                                      uint32_t unusedBits);
/* (117 B + 601 G + 306 R) >> 10; the fourth byte is not used. unusedBits ignored. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB8888toMONO8(const void* src, void* dst, uint32_t count,
                                                       uint32_t unusedBits);

/* ---- Packed RGB ------------------------------------------------------------------------------ */

/* Colour bytes copied. The fourth byte: left as the destination held it without MMX, 0 with MMX.
 * unusedBits ignored. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB888toRGB8888(const void* src, void* dst, uint32_t count,
                                                        uint32_t unusedBits);
/* Red-first bytes to blue, green, red. The fourth byte: unchanged without MMX, 0 with MMX.
 * unusedBits ignored. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGBR888toRGB8888(const void* src, void* dst, uint32_t count,
                                                         uint32_t unusedBits);
/* Bytes 0 and 2 of every pixel swapped. unusedBits ignored. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGBR888toRGB888(const void* src, void* dst, uint32_t count,
                                                        uint32_t unusedBits);
/* Colour bytes copied, the fourth byte dropped. unusedBits ignored. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB8888toRGB888(const void* src, void* dst, uint32_t count,
                                                        uint32_t unusedBits);
/* Top five bits of each byte; bit 15 is 0. unusedBits ignored. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB888toRGB5551(const void* src, void* dst, uint32_t count,
                                                        uint32_t unusedBits);
/* Channels >> (3 - unusedBits), green >> (2 - unusedBits), unmasked (wider values spill);
 * unusedBits 0..2. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB888toRGB565(const void* src, void* dst, uint32_t count,
                                                       uint32_t unusedBits);
/* Each field << (3 - unusedBits), low 8 bits, no bit replication; unusedBits 0..3. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB5551toRGB888(const void* src, void* dst, uint32_t count,
                                                        uint32_t unusedBits);
/* Red and blue << (3 - unusedBits), green << (2 - unusedBits), low 8 bits; unusedBits 0..2. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB565toRGB888(const void* src, void* dst, uint32_t count,
                                                       uint32_t unusedBits);
/* Each 10-bit field >> (2 - unusedBits), low 8 bits; fourth byte 0; unusedBits 0..2. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB101010toRGB8888(const void* src, void* dst, uint32_t count,
                                                           uint32_t unusedBits);
/* Each 10-bit field >> (2 - unusedBits), low 8 bits; unusedBits 0..2. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB101010toRGB888(const void* src, void* dst, uint32_t count,
                                                          uint32_t unusedBits);
/* Each 10-bit field << (6 - unusedBits), low 16 bits; unusedBits 0..6. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB101010toRGB161616(const void* src, void* dst, uint32_t count,
                                                             uint32_t unusedBits);
/* As RGB101010toRGB161616, and a fourth word of 0; unusedBits 0..6. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB101010toRGB16161616(const void* src, void* dst, uint32_t count,
                                                               uint32_t unusedBits);
/* Each field (channel >> (6 - unusedBits)) & 0x3FF; bits 30-31 0; unusedBits 0..6. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB161616toRGB101010(const void* src, void* dst, uint32_t count,
                                                             uint32_t unusedBits);
/* Each field (channel >> (6 - unusedBits)) & 0x3FF; the fourth word ignored; unusedBits 0..6. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB16161616toRGB101010(const void* src, void* dst, uint32_t count,
                                                               uint32_t unusedBits);
/* Each channel >> (8 - unusedBits), low 8 bits; fourth byte 0; unusedBits 0..8. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB161616toRGB8888(const void* src, void* dst, uint32_t count,
                                                           uint32_t unusedBits);
/* Each channel >> (8 - unusedBits), low 8 bits; unusedBits 0..8. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB161616toRGB888(const void* src, void* dst, uint32_t count,
                                                          uint32_t unusedBits);
/* All four words >> (8 - unusedBits), low 8 bits; unusedBits 0..8. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB16161616toRGB8888(const void* src, void* dst, uint32_t count,
                                                             uint32_t unusedBits);
/* Colour words >> (8 - unusedBits), low 8 bits; unusedBits 0..8. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB16161616toRGB888(const void* src, void* dst, uint32_t count,
                                                            uint32_t unusedBits);
/* (1868 B + 9617 G + 4899 R) >> 14; the fourth word and unusedBits ignored. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB16161616toMONO16(const void* src, void* dst, uint32_t count,
                                                            uint32_t unusedBits);
/* (1868 B + 9617 G + 4899 R) >> 14 on the 10-bit fields, then << (6 - unusedBits), low 16
 * bits; unusedBits 0..6. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB101010toMONO16(const void* src, void* dst, uint32_t count,
                                                          uint32_t unusedBits);

/* ---- Planar RGB, merge, split and bit reversal ------------------------------------------------ */

/* Planes red, green, blue of `count` bytes each, one after another in dst. unusedBits ignored. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB888toRGBP8(const void* src, void* dst, uint32_t count,
                                                      uint32_t unusedBits);
/* Planes fourth byte, red, green, blue of `count` bytes each (fourth first). unusedBits ignored. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB8888toRGBAP8(const void* src, void* dst, uint32_t count,
                                                        uint32_t unusedBits);
/* Planes red, green, blue of `count` words: each 10-bit field << (6 - unusedBits); unusedBits 0..6. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB101010toRGBP16(const void* src, void* dst, uint32_t count,
                                                          uint32_t unusedBits);
/* Planes red, green, blue of `count` words, copied. unusedBits ignored. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB161616toRGBP16(const void* src, void* dst, uint32_t count,
                                                          uint32_t unusedBits);
/* Planes red, green, blue, width * height bytes apart, to `count` RGB8888 pixels with a 0 fourth byte.
 * reserved1 and reserved2 are not read. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGBP8toRGB8888(const void* src, void* dst, uint32_t reserved1,
                                                       uint32_t reserved2, uint32_t width, uint32_t height,
                                                       uint32_t count);
/* Planes red, green, blue, fourth byte (fourth last), width * height bytes apart. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGBAP8toRGB8888(const void* src, void* dst, uint32_t reserved1,
                                                        uint32_t reserved2, uint32_t width, uint32_t height,
                                                        uint32_t count);
/* 16-bit planes red, green, blue, width * height words apart: each >> (8 - unusedBits), low 8 bits;
 * fourth byte 0; unusedBits 0..8. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGBP16toRGB8888(const void* src, void* dst, uint32_t reserved1,
                                                        uint32_t reserved2, uint32_t width, uint32_t height,
                                                        uint32_t count, uint32_t unusedBits);
/* Words red << 16 | green << 8 | blue, fourth byte 0; a null plane contributes 0. */
VYR_API uint32_t VYR_CALL VyrUtilMergeMONO8toRGB8888(const void* srcRed, const void* srcGreen,
                                                     const void* srcBlue, void* dst, uint32_t count);
/* Bytes 2, 1, 0 to the red, green, blue planes; a null plane is not written. */
VYR_API uint32_t VYR_CALL VyrUtilSplitRGB8888toMONO8(const void* src, void* dstRed, void* dstGreen,
                                                     void* dstBlue, uint32_t count);
/* Mirrors the bits of each of (count + 7) / 8 bytes (count in pixels, 32-bit arithmetic); the bits of
 * the last byte beyond count are mirrored too. unusedBits ignored. */
VYR_API uint32_t VYR_CALL VyrUtilReverseMONO1(const void* src, void* dst, uint32_t count,
                                              uint32_t unusedBits);

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
/* Bayer lines: Bayer8 one byte per site, Bayer15 one little-endian 16-bit word per site (0..32767).
 * phase names the colours of the 2x2 cell at column 0 of src0 (first line) and src1 (second line):
 * 0 GBRG, 1 BGGR, 2 RGGB, 3 GRBG; the next line pair takes phase ^ 2. Planar outputs are three
 * independent planes of width samples (bytes for Bayer8, 16-bit words for Bayer15). */

/* 2x2 demosaic: red and blue copied from the cell at each column, green their rounded mean
 * (noInterpolation nonzero: the first line's green). rightBorder zero reads column width of both
 * lines; nonzero reads only columns 0..width-1 and builds the last pixel from the cell to its
 * left (width 1 with rightBorder set writes nothing). Byte 3 of RGB8888 is written as 0. */
VYR_API uint32_t VYR_CALL VyrUtilConvertBayer8_2x2toRGB8888(const void* src0, const void* src1, void* dst,
                                                            uint32_t width, uint32_t phase,
                                                            uint32_t noInterpolation, uint32_t rightBorder);
/* As above into three 8-bit planes. */
VYR_API uint32_t VYR_CALL VyrUtilConvertBayer8_2x2toPlanarRGB(const void* src0, const void* src1,
                                                              void* dstRed, void* dstGreen, void* dstBlue,
                                                              uint32_t width, uint32_t phase,
                                                              uint32_t noInterpolation, uint32_t rightBorder);
/* As above into three 16-bit planes; with MMX the averaged run gives results above 32767 as 32767. */
VYR_API uint32_t VYR_CALL VyrUtilConvertBayer15_2x2toPlanarRGB(const void* src0, const void* src1,
                                                               void* dstRed, void* dstGreen, void* dstBlue,
                                                               uint32_t width, uint32_t phase,
                                                               uint32_t noInterpolation,
                                                               uint32_t rightBorder);

/* Malvar demosaic from five lines: src0, src1 two and one above the output line src2, src3 and src4
 * one and two below; phase is that of the cell at column 0 of src2 (second line src3). Results:
 * 0 done, 1 rowBorder not 0, -1 or -2, 2 width below 4 (both only with border set; nothing is
 * written then). border zero reads src2 columns -2..width+1, src1 and src3 -1..width, src0 and src4
 * 0..width-1, and ignores rowBorder. border nonzero reads columns 0..width-1, reflects columns
 * about the line's ends and, for rowBorder -1 (second image line), takes src4 for src0, for -2
 * (first image line) also src3 for src1: those lines are not read. The output must not alias any
 * input line. Byte 3 of RGB8888 is left unchanged. */
VYR_API uint32_t VYR_CALL VyrUtilConvertBayer8_MalvartoRGB8888(const void* src0, const void* src1,
                                                               const void* src2, const void* src3,
                                                               const void* src4, void* dst, uint32_t width,
                                                               uint32_t phase, int32_t rowBorder,
                                                               uint32_t border);
/* As above into three 8-bit planes. */
VYR_API uint32_t VYR_CALL VyrUtilConvertBayer8_MalvartoPlanarRGB(
    const void* src0, const void* src1, const void* src2, const void* src3, const void* src4, void* dstRed,
    void* dstGreen, void* dstBlue, uint32_t width, uint32_t phase, int32_t rowBorder, uint32_t border);
/* As above into three 16-bit planes of 0..32767. */
VYR_API uint32_t VYR_CALL VyrUtilConvertBayer15_MalvartoPlanarRGB(
    const void* src0, const void* src1, const void* src2, const void* src3, const void* src4, void* dstRed,
    void* dstGreen, void* dstBlue, uint32_t width, uint32_t phase, int32_t rowBorder, uint32_t border);

/* ---- Bicolor ---------------------------------------------------------------------------------- */

/* Bicolor88: per pixel a colour byte (red or blue) then a green byte; Bicolor1616 the same as
 * 16-bit little-endian words. The colour samples alternate along the run: red on pixels 0, 2, 4, ...
 * and blue on the odd pixels when blueFirst is 0, the other way round when it is nonzero; the
 * pattern restarts at every call. shift (where present) shifts every 16-bit sample a function
 * outputs right, taken modulo 32. Source and destination must not overlap. */

/* To RGB: each pixel's missing colour is the mean (rounded down) of its neighbours' samples, the
 * one neighbour's at the ends; a run of 1 gets 0, of 2 pixel 1 gets pixel 0's sample and pixel 0
 * gets 0. 16-bit outputs of Bicolor88 hold the byte unscaled; 8-bit outputs of Bicolor1616 keep
 * the low 8 bits of the shifted value (the mean is formed before the shift). The fourth byte or
 * word of RGB8888 and RGB16161616 is left unchanged. */
/* Bytes blue, green, red; byte 3 of each pixel left unchanged. */
VYR_API uint32_t VYR_CALL VyrUtilConvertBicolor88toRGB8888(const void* src, void* dst, uint32_t count,
                                                           uint32_t blueFirst);
/* Bytes blue, green, red. */
VYR_API uint32_t VYR_CALL VyrUtilConvertBicolor88toRGB888(const void* src, void* dst, uint32_t count,
                                                          uint32_t blueFirst);
/* Bytes red, green, blue. */
VYR_API uint32_t VYR_CALL VyrUtilConvertBicolor88toRGBR888(const void* src, void* dst, uint32_t count,
                                                           uint32_t blueFirst);
/* Words blue, green, red holding the byte values unscaled. */
VYR_API uint32_t VYR_CALL VyrUtilConvertBicolor88toRGB161616(const void* src, void* dst, uint32_t count,
                                                             uint32_t blueFirst);
/* As RGB161616; the fourth word of each pixel left unchanged. */
VYR_API uint32_t VYR_CALL VyrUtilConvertBicolor88toRGB16161616(const void* src, void* dst, uint32_t count,
                                                               uint32_t blueFirst);
/* Low 8 bits of each shifted value; byte 3 of each pixel left unchanged. */
VYR_API uint32_t VYR_CALL VyrUtilConvertBicolor1616toRGB8888(const void* src, void* dst, uint32_t count,
                                                             uint32_t shift, uint32_t blueFirst);
/* Low 8 bits of each shifted value: blue, green, red. */
VYR_API uint32_t VYR_CALL VyrUtilConvertBicolor1616toRGB888(const void* src, void* dst, uint32_t count,
                                                            uint32_t shift, uint32_t blueFirst);
/* Low 8 bits of each shifted value: red, green, blue. */
VYR_API uint32_t VYR_CALL VyrUtilConvertBicolor1616toRGBR888(const void* src, void* dst, uint32_t count,
                                                             uint32_t shift, uint32_t blueFirst);
/* Shifted words blue, green, red. */
VYR_API uint32_t VYR_CALL VyrUtilConvertBicolor1616toRGB161616(const void* src, void* dst, uint32_t count,
                                                               uint32_t shift, uint32_t blueFirst);
/* Shifted words; the fourth word of each pixel left unchanged. */
VYR_API uint32_t VYR_CALL VyrUtilConvertBicolor1616toRGB16161616(const void* src, void* dst, uint32_t count,
                                                                 uint32_t shift, uint32_t blueFirst);
/* From RGB: each pixel keeps its green and the colour the pattern gives it (the other colour is
 * dropped); bytes go into 16-bit words unscaled, 16-bit samples are shifted. The fourth byte or word
 * of a source pixel is ignored. */
/* Source bytes blue, green, red. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB888toBicolor88(const void* src, void* dst, uint32_t count,
                                                          uint32_t blueFirst);
/* Source bytes blue, green, red and an ignored fourth byte. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB8888toBicolor88(const void* src, void* dst, uint32_t count,
                                                           uint32_t blueFirst);
/* Source bytes red, green, blue. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGBR888toBicolor88(const void* src, void* dst, uint32_t count,
                                                           uint32_t blueFirst);
/* Source bytes blue, green, red; their values in words, unscaled. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB888toBicolor1616(const void* src, void* dst, uint32_t count,
                                                            uint32_t blueFirst);
/* As RGB888 with an ignored fourth byte. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB8888toBicolor1616(const void* src, void* dst, uint32_t count,
                                                             uint32_t blueFirst);
/* Source bytes red, green, blue; their values in words, unscaled. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGBR888toBicolor1616(const void* src, void* dst, uint32_t count,
                                                             uint32_t blueFirst);
/* Source words blue, green, red, each shifted. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB161616toBicolor1616(const void* src, void* dst, uint32_t count,
                                                               uint32_t shift, uint32_t blueFirst);
/* As RGB161616 with an ignored fourth word. */
VYR_API uint32_t VYR_CALL VyrUtilConvertRGB16161616toBicolor1616(const void* src, void* dst, uint32_t count,
                                                                 uint32_t shift, uint32_t blueFirst);
/* The two bytes of every pixel exchanged. */
VYR_API uint32_t VYR_CALL VyrUtilConvertBicolor88toBicolor88(const void* src, void* dst, uint32_t count);
/* Bytes into words unscaled; swapSamples nonzero exchanges the two samples of every pixel. */
VYR_API uint32_t VYR_CALL VyrUtilConvertBicolor88toBicolor1616(const void* src, void* dst, uint32_t count,
                                                               uint32_t swapSamples);
/* Every word shifted; keepOrder zero (the opposite sense to swapSamples) exchanges the two words. */
VYR_API uint32_t VYR_CALL VyrUtilConvertBicolor1616toBicolor1616(const void* src, void* dst, uint32_t count,
                                                                 uint32_t shift, uint32_t keepOrder);

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

/* A buffer that processes share by name, with a named lock ("<name>_LOCK"), and one mapped view of
 * it. Failures return 0 (null for the map) after a log line. On Linux both are POSIX shared-memory
 * objects of mode 0666 named after the buffer ('/' and '%' become "%2F" and "%25"). As on Windows, a
 * name lives while a handle of it is open in any process (a view keeps its memory, not the name); an
 * object of the name that no process holds counts as gone. The lock's layout is the architecture's:
 * 32- and 64-bit processes cannot share one. */
typedef struct SharedBuffer SharedBuffer;
typedef struct SharedBufferMap SharedBufferMap;

/* Creates bufSize bytes (zeroed) under the name, or opens the existing buffer with its own size. An
 * empty name gives memory of this process alone. */
VYR_API uint32_t VYR_CALL VyrUtilAllocSharedBuffer(uint64_t bufSize, const char* szBufObjectName,
                                                   SharedBuffer** ppBufferObj);
/* Opens a buffer that exists; its size is not known, so its views are not bound-checked here. */
VYR_API uint32_t VYR_CALL VyrUtilOpenSharedBuffer(const char* szBufObjectName, SharedBuffer** ppSharedObject);
/* Closes the handles (views stay usable until unmapped); 1, also for a null object. */
VYR_API uint32_t VYR_CALL VyrUtilFreeSharedBuffer(SharedBuffer* pBufObject);
/* 1 when this object's allocate call created the memory (so the caller initialises it). */
VYR_API uint32_t VYR_CALL VyrUtilHasCreatedSharedBuffer(SharedBuffer* pBufObject);
/* Takes the lock for the calling thread, waiting at most timeout ms (0xFFFFFFFF: for ever); a thread
 * may take it again, each take needing its own unlock. A lock whose owner ended without unlocking is
 * taken and reported as 1. */
VYR_API uint32_t VYR_CALL VyrUtilLockSharedBuffer(SharedBuffer* pBufObject, uint32_t timeout);
/* Releases one take by the calling thread; 1 whatever the release reports (0 for a null object). */
VYR_API uint32_t VYR_CALL VyrUtilUnlockSharedBuffer(SharedBuffer* pBufObject);
/* Maps bufMapSize bytes from bufOffset (0: to the end) and returns the byte at bufOffset. The view
 * starts at the page below bufOffset; Windows wants that at a multiple of its allocation granularity
 * (64 KB). A 64-bit process maps any length, a 32-bit one the low 32 bits of it. */
VYR_API void* VYR_CALL VyrUtilMapSharedBuffer(SharedBuffer* pBufObject, uint64_t bufOffset,
                                              uint64_t bufMapSize, SharedBufferMap** ppBufMapObject);
/* 1 after unmapping the view, also for a null object; 0 (object kept) when the view cannot be unmapped. */
VYR_API uint32_t VYR_CALL VyrUtilUnmapSharedBuffer(SharedBufferMap* pBufMapObject);

/* ---- User physical-page buffers --------------------------------------------------------------- */

/* A buffer of locked physical pages and a mapping of a range of it. Failures return 0 (null for the
 * maps) after log lines. On Linux the pages come from a locked memory pool of the process, named by
 * the frame numbers /proc/self/pagemap shows (which needs CAP_SYS_ADMIN; allocation also enables
 * SeLockMemoryPrivilege, that is CAP_IPC_LOCK). */
typedef struct UserBuffer UserBuffer;
typedef struct UserBufferMap UserBufferMap;

/* One page for a device: its physical address (frame number x page size, cut to 32 bits) and length. */
typedef struct UserBufferSgEntry {
    uint32_t physicalAddress;
    uint32_t length;
} UserBufferSgEntry;

/* Allocates *bufSize bytes of whole pages; when fewer pages are granted, *bufSize becomes what was
 * granted (else it stays as asked, not rounded up). */
VYR_API uint32_t VYR_CALL VyrUtilAllocUserBuffer(uint64_t* bufSize, UserBuffer** pBufObject);
/* Returns the pages; on failure the object stays for another try. */
VYR_API uint32_t VYR_CALL VyrUtilFreeUserBuffer(UserBuffer* pBufObject);
/* Writes one entry per page into sgList (room for nSgEntry; a null list has none); 0 at the first
 * page at or above 4 GB, with the entries before it written. */
VYR_API uint32_t VYR_CALL VyrUtilGetPagesUserBuffer(UserBuffer* pBufObject, UserBufferSgEntry* sgList,
                                                    uint32_t nSgEntry);
/* 1 when every page lies below 4 GB (frame number below 0x100000). */
VYR_API uint32_t VYR_CALL VyrUtilIsAllPagesBelow4GUserBuffer(UserBuffer* pBufObject);
/* Swaps pages at or above 4 GB for low pages of spare buffers (at least 8192 pages each, repeated
 * while high pages remain); 1 when all pages end below 4 GB. Do it before listing or mapping. */
VYR_API uint32_t VYR_CALL VyrUtilReplacePagesAbove4GUserBuffer(UserBuffer* pBufObject);
/* Maps the pages holding [bufOffset, bufOffset + bufMapSize) into a range the library reserves and
 * returns the byte at bufOffset. */
VYR_API void* VYR_CALL VyrUtilMapUserBuffer(UserBuffer* pBufObject, uint64_t bufOffset, uint64_t bufMapSize,
                                            UserBufferMap** ppBufMapObject);
/* The same into the caller's range at mapAddress when not null: page-aligned, reserved for physical
 * pages (Windows: VirtualAlloc MEM_RESERVE | MEM_PHYSICAL; Linux: mmap PROT_NONE, MAP_PRIVATE |
 * MAP_ANONYMOUS) and long enough; it stays reserved after the unmap. */
VYR_API void* VYR_CALL VyrUtilMapUserBufferEx(UserBuffer* pBufObject, uint64_t bufOffset, uint64_t bufMapSize,
                                              void* mapAddress, UserBufferMap** ppBufMapObject);
/* Unmaps and, for a range the library reserved, releases it; the result is that of the last step. */
VYR_API uint32_t VYR_CALL VyrUtilUnmapUserBuffer(UserBufferMap* pBufMapObject);

#ifdef __cplusplus
}
#endif

#endif /* VYRUTILITY_H */
