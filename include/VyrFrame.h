/*
 * VyrFrame: whole images through the VyrUtility line converters.
 *
 * An image is a descriptor (format, width, height, line pitch, plane pointers); one call converts a
 * source image into a destination image of the same size, line by line with the VyrUtility export
 * that does the conversion, split into bands of lines over a pool of threads. The output bytes are
 * those of calling the export on every line in turn, whatever the number of threads.
 *
 * Plain C (C99 and C++), cdecl. Every function may be called from any thread at any time.
 */
#ifndef VYRFRAME_H
#define VYRFRAME_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#if defined(VYR_FRAME_BUILDING)
#define VYR_FRAME_API __declspec(dllexport)
#elif defined(VYR_FRAME_STATIC)
#define VYR_FRAME_API
#else
#define VYR_FRAME_API __declspec(dllimport)
#endif
#elif defined(VYR_FRAME_BUILDING)
#define VYR_FRAME_API __attribute__((visibility("default")))
#else
#define VYR_FRAME_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Formats -----------------------------------------------------------------------------------
 * The pixel formats of VyrUtility, named as in its export names. The values are fixed; formats added
 * later (camera formats and packed samples that a conversion unpacks first) take new values and
 * never change these. Names are found case-insensitively with VyrFrameFindFormat. */
typedef enum VyrFrameFormat {
    VYR_FRAME_FORMAT_NONE = 0,
    VYR_FRAME_MONO1 = 1, /* 8 pixels a byte (VyrUtilReverseMONO1 mirrors them) */
    VYR_FRAME_MONO8 = 2,
    VYR_FRAME_MONO16 = 3,
    VYR_FRAME_MONO32 = 4,
    VYR_FRAME_INT8 = 5,
    VYR_FRAME_INT16 = 6,
    VYR_FRAME_RGB5551 = 7,
    VYR_FRAME_RGB565 = 8,
    VYR_FRAME_RGB888 = 9,   /* bytes blue, green, red */
    VYR_FRAME_RGBR888 = 10, /* bytes red, green, blue */
    VYR_FRAME_RGB8888 = 11, /* bytes blue, green, red, fourth */
    VYR_FRAME_RGB101010 = 12,
    VYR_FRAME_RGB161616 = 13,
    VYR_FRAME_RGB16161616 = 14,
    VYR_FRAME_RGBP8 = 15,  /* planes red, green, blue */
    VYR_FRAME_RGBP16 = 16, /* planes red, green, blue */
    VYR_FRAME_RGBAP8 = 17, /* planes red, green, blue, fourth (RGB8888 to RGBAP8 writes the fourth first) */
    VYR_FRAME_UYVY = 18,   /* 4:2:2 cells of 4 bytes: lines hold whole cells */
    VYR_FRAME_YUY2 = 19,
    VYR_FRAME_YVYU = 20,
    VYR_FRAME_Y411 = 21, /* units of 6 bytes for 4 pixels: lines hold whole units */
    VYR_FRAME_IYU2 = 22,
    VYR_FRAME_YUV = 23, /* 4:4:4, bytes V, U, Y, fourth */
    VYR_FRAME_HSI = 24,
    VYR_FRAME_HSV = 25,
    VYR_FRAME_LAB = 26,
    VYR_FRAME_BAYER8 = 27,  /* one byte a site; the pattern is an option */
    VYR_FRAME_BAYER15 = 28, /* one 16-bit word a site, 0..32767 */
    VYR_FRAME_BICOLOR88 = 29,
    VYR_FRAME_BICOLOR1616 = 30,
    /* Camera samples packed tighter than whole bytes, unpacked to MONO16 or Bayer15 on the way into
     * the converters. A line takes ceil(width * bits / 8) bytes; each line starts on a byte. */
    VYR_FRAME_MONO10P = 31,      /* 10-bit grey, bits back to back, least significant first */
    VYR_FRAME_MONO12P = 32,      /* 12-bit grey, bits back to back, least significant first */
    VYR_FRAME_MONO12PACKED = 33, /* 12-bit grey, 3 bytes for 2 pixels: high byte, both low nibbles, high */
    VYR_FRAME_BAYER10P = 34,     /* as MONO10P, one sample a site */
    VYR_FRAME_BAYER12P = 35,     /* as MONO12P, one sample a site */
    VYR_FRAME_BAYER12PACKED = 36 /* as MONO12PACKED, one sample a site */
} VyrFrameFormat;

/* What a format's lines hold. A line of one plane of `width` pixels takes
 * ceil(width / pixelsPerUnit) * bytesPerUnit bytes (VyrFrameLineBytes), except the bit-packed camera
 * formats (MONO10P to BAYER12PACKED), whose lines end at the byte holding the last pixel's bits:
 * ceil(width * bytesPerUnit / pixelsPerUnit) bytes. */
typedef struct VyrFrameFormatInfo {
    uint32_t format;        /* VyrFrameFormat */
    const char* name;       /* "RGB8888" */
    const char* summary;    /* one line for lists and help texts */
    uint32_t planes;        /* 1 for packed formats */
    uint32_t pixelsPerUnit; /* pixels that share a unit of bytes: 8 for MONO1, 2 for 4:2:2, 4 for Y411 */
    uint32_t bytesPerUnit;  /* bytes of a unit in one plane */
    uint32_t elementBytes;  /* the word a sample is stored in: 1, 2 or 4 bytes */
    uint32_t sampleBits;    /* bits of a sample's container; unused bits count down from it */
    uint32_t isSigned;      /* 1 for INT8 and INT16 */
} VyrFrameFormatInfo;

VYR_FRAME_API uint32_t VyrFrameFormatCount(void);
/* The formats in a fixed order; NULL past the end. */
VYR_FRAME_API const VyrFrameFormatInfo* VyrFrameFormatAt(uint32_t index);
/* NULL for a value that names no format. */
VYR_FRAME_API const VyrFrameFormatInfo* VyrFrameGetFormat(uint32_t format);
/* By name, ignoring case; NULL when unknown. */
VYR_FRAME_API const VyrFrameFormatInfo* VyrFrameFindFormat(const char* name);
/* Bytes of one line of one plane; 0 for an unknown format. */
VYR_FRAME_API size_t VyrFrameLineBytes(uint32_t format, uint32_t width);

/* ---- Images ------------------------------------------------------------------------------------ */

/* An image in caller-owned memory. Line y of plane k starts at planes[k] + y * pitch; every plane has
 * the same pitch, which may be negative (bottom-up images) but is at least a line in size. Packed
 * formats use planes[0]; planar formats one pointer per plane in the format's plane order. Pointers
 * beyond the format's planes are not read. */
typedef struct VyrFrameImage {
    uint32_t format; /* VyrFrameFormat */
    uint32_t width;  /* pixels */
    uint32_t height; /* lines */
    ptrdiff_t pitch; /* bytes from the start of a line to the start of the next */
    void* planes[4];
} VyrFrameImage;

/* ---- Options ----------------------------------------------------------------------------------- */

/* Bayer patterns: the colours of the 2x2 cell at the image's top-left corner, first line then second. */
typedef enum VyrFramePattern {
    VYR_FRAME_PATTERN_NONE = 0,
    VYR_FRAME_PATTERN_GBRG = 1,
    VYR_FRAME_PATTERN_BGGR = 2,
    VYR_FRAME_PATTERN_RGGB = 3,
    VYR_FRAME_PATTERN_GRBG = 4
} VyrFramePattern;

/* Bayer demosaicing methods. */
typedef enum VyrFrameMethod {
    VYR_FRAME_METHOD_DEFAULT = 0, /* Malvar */
    VYR_FRAME_METHOD_2X2 = 1,
    VYR_FRAME_METHOD_MALVAR = 2
} VyrFrameMethod;

/* A conversion's choices. All zero (or a NULL pointer) is the default of every one. Each conversion
 * takes only the options VyrFrameConversion.options names; any other that is not zero is refused. */
typedef struct VyrFrameOptions {
    uint32_t unusedBits; /* unused high-order bits of each sample of the deeper side, 0..maxUnusedBits */
    uint32_t pattern;    /* VyrFramePattern; required by Bayer sources */
    uint32_t method;     /* VyrFrameMethod */
    uint32_t blueFirst;  /* Bicolor: 1 when pixel 0 of every line carries blue, 0 for red */
    uint32_t threads;    /* 0: one per processor; 1..VYR_FRAME_MAX_THREADS */
} VyrFrameOptions;

#define VYR_FRAME_MAX_THREADS 256u

/* Names: "GBRG", "BGGR", "RGGB", "GRBG"; "2x2", "malvar" (any case). NONE or DEFAULT when unknown. */
VYR_FRAME_API uint32_t VyrFrameFindPattern(const char* name);
VYR_FRAME_API const char* VyrFramePatternName(uint32_t pattern); /* NULL for NONE and unknown values */
VYR_FRAME_API uint32_t VyrFrameFindMethod(const char* name);
/* The threads that `threads` = 0 stands for. */
VYR_FRAME_API uint32_t VyrFrameProcessorCount(void);

/* ---- Conversions ------------------------------------------------------------------------------- */

/* Options a conversion takes (VyrFrameConversion.options). */
#define VYR_FRAME_TAKES_UNUSED_BITS 1u
#define VYR_FRAME_TAKES_PATTERN 2u
#define VYR_FRAME_TAKES_METHOD 4u
#define VYR_FRAME_TAKES_BLUE_FIRST 8u

typedef struct VyrFrameConversion {
    uint32_t from, to;      /* VyrFrameFormat */
    const char* name;       /* "MONO8toRGB8888", as the export (or "Bayer8toRGB8888" for its family) */
    uint32_t options;       /* VYR_FRAME_TAKES_* */
    uint32_t maxUnusedBits; /* 0 unless it takes unused bits */
    const char* note;       /* what a user should know beyond the names, or NULL */
} VyrFrameConversion;

VYR_FRAME_API uint32_t VyrFrameConversionCount(void);
/* Every conversion offered, in a fixed order; NULL past the end. */
VYR_FRAME_API const VyrFrameConversion* VyrFrameConversionAt(uint32_t index);
/* NULL when there is none between the two formats. */
VYR_FRAME_API const VyrFrameConversion* VyrFrameFindConversion(uint32_t from, uint32_t to);

/* ---- Converting --------------------------------------------------------------------------------
 * Bayer sources: every output line y is built by the export from the sensor lines around it, with
 * the pattern's phase for line y. 2x2: sensor lines y and y + 1; the last line takes the line above
 * it as its second line, and the last column is built from the cell to its left. Frames of at least
 * 2 x 2 pixels. Malvar: the 5 x 5 neighbourhood centred on each pixel; columns beyond the edges are
 * mirrored about the edge column, missing lines about the output line y (line y + d stands for the
 * missing y - d at the top, y - d for the missing y + d at the bottom; in frames too short for that,
 * mirrored about the last line). Frames of at least 4 x 2 pixels.
 * Planar destinations of the line exports (RGB888 to RGBP8 and the like) are converted a line at a
 * time into a buffer of the calling thread and copied to the planes; planar sources are read through
 * their plane pointers. Bicolor lines start the colour order afresh at pixel 0 of every line. */

typedef enum VyrFrameResult {
    VYR_FRAME_OK = 0,
    VYR_FRAME_ERROR_NULL = -1,           /* a null image, or a null plane pointer the format uses */
    VYR_FRAME_ERROR_EMPTY = -2,          /* width or height 0 */
    VYR_FRAME_ERROR_SIZE_MISMATCH = -3,  /* source and destination of different sizes */
    VYR_FRAME_ERROR_PITCH = -4,          /* a pitch smaller than a line */
    VYR_FRAME_ERROR_FORMAT = -5,         /* a format value that names no format */
    VYR_FRAME_ERROR_CONVERSION = -6,     /* no conversion between the two formats */
    VYR_FRAME_ERROR_OPTION = -7,         /* an option the conversion does not take */
    VYR_FRAME_ERROR_OPTION_VALUE = -8,   /* an option out of its range */
    VYR_FRAME_ERROR_OPTION_MISSING = -9, /* an option the conversion needs (the Bayer pattern) */
    VYR_FRAME_ERROR_OVERLAP = -10,       /* the destination's memory overlaps the source's or itself */
    VYR_FRAME_ERROR_TOO_SMALL = -11,     /* a frame smaller than the conversion handles */
    VYR_FRAME_ERROR_TOO_LARGE = -12,     /* an image that does not fit the address space */
    VYR_FRAME_ERROR_RESOURCE = -13       /* no memory for the conversion's line buffers */
} VyrFrameResult;

/* Converts src into dst (same width and height). Returns VYR_FRAME_OK or a VyrFrameResult error,
 * with the destination untouched. The memory spans of the destination's planes (first byte of the
 * first line to the last byte of the last) must not overlap each other or any source plane's. */
VYR_FRAME_API int32_t VyrFrameConvert(const VyrFrameImage* src, const VyrFrameImage* dst,
                                      const VyrFrameOptions* options);

/* The message of the calling thread's last VyrFrameConvert: why it failed, or "" after a success.
 * Valid until the thread's next call. */
VYR_FRAME_API const char* VyrFrameLastMessage(void);
/* "VYR_FRAME_ERROR_PITCH" for -4; NULL for a value that is no result. */
VYR_FRAME_API const char* VyrFrameResultName(int32_t result);

/* ---- Camera formats ----------------------------------------------------------------------------
 * GenICam cameras (GigE Vision, USB3 Vision) name their buffers by the pixel format naming convention
 * (PFNC): "Mono12p", "BayerGR12", "BGR8", "YUV422_8_UYVY". Each name stands for a format of this
 * library, the unused high-order bits of its samples and, for Bayer data, the pattern of the
 * top-left cell: "BayerGR12" is BAYER15 with 3 unused bits and the pattern GRBG, "RGB8" is RGBR888,
 * "BGR8" RGB888, "BGRa8" RGB8888, "YUV422_8_UYVY" UYVY, "YUV422_8" YUY2. */
typedef struct VyrFrameCameraFormat {
    const char* name;    /* exactly as PFNC spells it */
    uint32_t code;       /* the PFNC value the camera reports, 0x01100010 for "BayerGR12" */
    uint32_t format;     /* VyrFrameFormat of the buffer */
    uint32_t unusedBits; /* unused high-order bits of the format's samples */
    uint32_t pattern;    /* VyrFramePattern; NONE for all but Bayer data */
} VyrFrameCameraFormat;

VYR_FRAME_API uint32_t VyrFrameCameraFormatCount(void);
/* The camera formats in a fixed order; NULL past the end. */
VYR_FRAME_API const VyrFrameCameraFormat* VyrFrameCameraFormatAt(uint32_t index);
/* By name, matched exactly (case included); NULL when unknown. */
VYR_FRAME_API const VyrFrameCameraFormat* VyrFrameFindCameraFormat(const char* name);
/* By PFNC value; NULL when unknown. */
VYR_FRAME_API const VyrFrameCameraFormat* VyrFrameGetCameraFormat(uint32_t code);

/* Converts a camera buffer named by its PFNC name into dst, as VyrFrameConvert does with a source
 * image of the name's format, width and height of dst, lines `pitch` bytes apart from `data`. The name
 * gives the unused bits (where the conversion takes them) and the Bayer pattern: options that set
 * either are refused (VYR_FRAME_ERROR_OPTION). An unknown name gives VYR_FRAME_ERROR_FORMAT. */
VYR_FRAME_API int32_t VyrFrameConvertCamera(const char* name, const void* data, ptrdiff_t pitch,
                                            const VyrFrameImage* dst, const VyrFrameOptions* options);

/* The library's version, "0.2.0". */
VYR_FRAME_API const char* VyrFrameVersion(void);

#ifdef __cplusplus
}
#endif

#endif /* VYRFRAME_H */
