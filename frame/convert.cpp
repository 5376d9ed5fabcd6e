// VyrFrameConvert: every argument checked before the first byte is written, then the frame in bands.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>

#include "frame.h"
#include "pool.h"

namespace vyr::frame {
namespace {

thread_local char tMessage[320];

int32_t fail(int32_t result, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::vsnprintf(tMessage, sizeof tMessage, format, args);
    va_end(args);
    return result;
}

// Bands a frame is split into: several a thread, so that a thread slowed by others on the machine
// leaves its share to the rest.
constexpr uint32_t kBandsPerThread = 4;

// The bytes an image's plane spans, from the first byte of its lowest line to the last byte of its
// highest; false when that does not fit the address space.
struct Span {
    uintptr_t first, end;
};

// |pitch|, also for the most negative one.
uintptr_t magnitude(ptrdiff_t pitch) { return pitch < 0 ? uintptr_t(-(pitch + 1)) + 1 : uintptr_t(pitch); }

bool planeSpan(const uint8_t* base, ptrdiff_t pitch, uint32_t height, size_t lineBytes, Span& span)
{
    const uintptr_t start = reinterpret_cast<uintptr_t>(base);
    const uintptr_t lines = height - 1;
    if (lines != 0 && magnitude(pitch) > UINTPTR_MAX / lines)
        return false;
    const uintptr_t reach = magnitude(pitch) * lines; // from line 0 to the farthest line
    span.first = pitch < 0 ? start - reach : start;
    const uintptr_t last = pitch < 0 ? start : start + reach; // the farthest line's first byte
    span.end = last + lineBytes;
    return (pitch < 0 ? reach <= start : reach <= UINTPTR_MAX - start) && lineBytes <= UINTPTR_MAX - last;
}

bool overlap(const Span& a, const Span& b) { return a.first < b.end && b.first < a.end; }

const char* side(bool source) { return source ? "source" : "destination"; }

// The image's format, size, planes and pitch; fills its spans.
int32_t checkImage(const VyrFrameImage& image, bool source, const VyrFrameFormatInfo*& format, Span spans[4])
{
    format = formatInfo(image.format);
    if (!format)
        return fail(VYR_FRAME_ERROR_FORMAT, "the %s format %u is no format", side(source), image.format);
    if (image.width == 0 || image.height == 0) {
        return fail(VYR_FRAME_ERROR_EMPTY, "the %s image is %u x %u pixels: it has no pixels", side(source),
                    image.width, image.height);
    }
    for (uint32_t k = 0; k < format->planes; ++k) {
        if (!image.planes[k]) {
            return fail(VYR_FRAME_ERROR_NULL, "plane %u of the %s image (%s) is null", k, side(source),
                        format->name);
        }
    }
    const size_t lineBytes = VyrFrameLineBytes(image.format, image.width);
    if (magnitude(image.pitch) < lineBytes) {
        return fail(VYR_FRAME_ERROR_PITCH,
                    "the %s pitch %td is smaller than a line of %u %s pixels (%zu bytes)", side(source),
                    image.pitch, image.width, format->name, lineBytes);
    }
    for (uint32_t k = 0; k < format->planes; ++k) {
        if (!planeSpan(static_cast<const uint8_t*>(image.planes[k]), image.pitch, image.height, lineBytes,
                       spans[k])) {
            return fail(VYR_FRAME_ERROR_TOO_LARGE, "plane %u of the %s image does not fit the address space",
                        k, side(source));
        }
    }
    return VYR_FRAME_OK;
}

// An option given to a conversion that does not take it, or out of its range.
int32_t checkOption(const ConversionRow& row, uint32_t takes, const char* option, uint32_t value,
                    uint32_t max)
{
    if (value != 0 && !(row.info.options & takes))
        return fail(VYR_FRAME_ERROR_OPTION, "%s takes no %s (it is %u)", row.info.name, option, value);
    if (value > max)
        return fail(VYR_FRAME_ERROR_OPTION_VALUE, "%s takes %s 0 to %u, not %u", row.info.name, option, max,
                    value);
    return VYR_FRAME_OK;
}

int32_t checkOptions(const ConversionRow& row, const VyrFrameOptions& options)
{
    int32_t result = VYR_FRAME_OK;
    if ((result = checkOption(row, VYR_FRAME_TAKES_UNUSED_BITS, "unused bits", options.unusedBits,
                              row.info.maxUnusedBits)) ||
        (result =
             checkOption(row, VYR_FRAME_TAKES_PATTERN, "pattern", options.pattern, VYR_FRAME_PATTERN_GRBG)) ||
        (result =
             checkOption(row, VYR_FRAME_TAKES_METHOD, "method", options.method, VYR_FRAME_METHOD_MALVAR)) ||
        (result = checkOption(row, VYR_FRAME_TAKES_BLUE_FIRST, "blue first", options.blueFirst, 1)))
        return result;
    if (options.threads > VYR_FRAME_MAX_THREADS) {
        return fail(VYR_FRAME_ERROR_OPTION_VALUE, "threads are 0 (one per processor) to %u, not %u",
                    VYR_FRAME_MAX_THREADS, options.threads);
    }
    if ((row.info.options & VYR_FRAME_TAKES_PATTERN) && options.pattern == VYR_FRAME_PATTERN_NONE)
        return fail(VYR_FRAME_ERROR_OPTION_MISSING, "%s needs a Bayer pattern (GBRG, BGGR, RGGB or GRBG)",
                    row.info.name);
    return VYR_FRAME_OK;
}

struct Bands {
    const ConversionRow* row;
    Work work;
    uint32_t count;
    uint8_t* scratch;
    size_t scratchBytes;
};

void convertBand(void* context, uint32_t band, unsigned slot)
{
    const Bands& bands = *static_cast<const Bands*>(context);
    const uint32_t height = bands.work.height;
    const uint32_t first = uint32_t(uint64_t(height) * band / bands.count);
    const uint32_t end = uint32_t(uint64_t(height) * (band + 1) / bands.count);
    bands.row->lines(bands.work, first, end,
                     bands.scratch ? bands.scratch + bands.scratchBytes * slot : nullptr);
}

Planes planesOf(const VyrFrameImage& image)
{
    Planes planes = {{}, image.pitch};
    for (unsigned k = 0; k < 4; ++k)
        planes.at[k] = static_cast<uint8_t*>(image.planes[k]);
    return planes;
}

int32_t convert(const VyrFrameImage* src, const VyrFrameImage* dst, const VyrFrameOptions* given)
{
    if (!src || !dst)
        return fail(VYR_FRAME_ERROR_NULL, "the %s image is null", side(!src));
    const VyrFrameOptions options = given ? *given : VyrFrameOptions{};
    const VyrFrameFormatInfo* from = nullptr;
    const VyrFrameFormatInfo* to = nullptr;
    Span srcSpans[4], dstSpans[4];
    int32_t result = VYR_FRAME_OK;
    if ((result = checkImage(*src, true, from, srcSpans)) || (result = checkImage(*dst, false, to, dstSpans)))
        return result;
    if (src->width != dst->width || src->height != dst->height) {
        return fail(VYR_FRAME_ERROR_SIZE_MISMATCH, "the source is %u x %u pixels, the destination %u x %u",
                    src->width, src->height, dst->width, dst->height);
    }
    const ConversionRow* row = findConversion(src->format, dst->format);
    if (!row)
        return fail(VYR_FRAME_ERROR_CONVERSION, "no conversion from %s to %s", from->name, to->name);
    if ((result = checkOptions(*row, options)))
        return result;
    const bool malvar = options.method != VYR_FRAME_METHOD_2X2;
    uint32_t minWidth = 1, minHeight = 1;
    minimumSize(*row, malvar, minWidth, minHeight);
    if (src->width < minWidth || src->height < minHeight) {
        return fail(VYR_FRAME_ERROR_TOO_SMALL,
                    "%s by the %s method needs at least %u x %u pixels, not %u x %u", row->info.name,
                    malvar ? "Malvar" : "2x2", minWidth, minHeight, src->width, src->height);
    }
    for (uint32_t k = 0; k < to->planes; ++k) {
        for (uint32_t j = 0; j < from->planes; ++j) {
            if (overlap(dstSpans[k], srcSpans[j]))
                return fail(VYR_FRAME_ERROR_OVERLAP, "destination plane %u overlaps source plane %u", k, j);
        }
        for (uint32_t j = 0; j < k; ++j) {
            if (overlap(dstSpans[k], dstSpans[j]))
                return fail(VYR_FRAME_ERROR_OVERLAP, "destination planes %u and %u overlap", j, k);
        }
    }

    const uint32_t threads = options.threads == 0 ? VyrFrameProcessorCount() : options.threads;
    Bands bands = {row,
                   {row, planesOf(*src), planesOf(*dst), src->width, src->height,
                    row->info.options & VYR_FRAME_TAKES_UNUSED_BITS ? options.unusedBits : 0,
                    options.pattern == VYR_FRAME_PATTERN_NONE ? 0 : options.pattern - VYR_FRAME_PATTERN_GBRG,
                    options.blueFirst, malvar},
                   threads <= 1 ? 1 : std::min(src->height, threads * kBandsPerThread),
                   nullptr,
                   row->scratchBytes ? row->scratchBytes(src->width) : 0};
    const unsigned slots = std::min(threads, bands.count);
    std::unique_ptr<uint8_t[]> scratch;
    if (bands.scratchBytes) {
        scratch.reset(new (std::nothrow) uint8_t[bands.scratchBytes * slots]);
        if (!scratch) {
            return fail(VYR_FRAME_ERROR_RESOURCE, "no memory for %u line buffers of %zu bytes", slots,
                        bands.scratchBytes);
        }
        bands.scratch = scratch.get();
    }
    runBands(threads, bands.count, convertBand, &bands);
    tMessage[0] = '\0';
    return VYR_FRAME_OK;
}

// A camera buffer is a source image of its name's format; the name also gives the options that
// describe the samples.
int32_t convertCamera(const char* name, const void* data, ptrdiff_t pitch, const VyrFrameImage* dst,
                      const VyrFrameOptions* given)
{
    const VyrFrameCameraFormat* camera = VyrFrameFindCameraFormat(name);
    if (!camera)
        return fail(VYR_FRAME_ERROR_FORMAT, "no camera format is named \"%.64s\"", name ? name : "(null)");
    if (!dst)
        return fail(VYR_FRAME_ERROR_NULL, "the destination image is null");
    VyrFrameOptions options = given ? *given : VyrFrameOptions{};
    if (options.unusedBits != 0 || options.pattern != VYR_FRAME_PATTERN_NONE) {
        return fail(VYR_FRAME_ERROR_OPTION, "the camera format %s sets the unused bits and the Bayer pattern",
                    camera->name);
    }
    const ConversionRow* row = findConversion(camera->format, dst->format);
    if (row && (row->info.options & VYR_FRAME_TAKES_UNUSED_BITS))
        options.unusedBits = camera->unusedBits;
    if (row && (row->info.options & VYR_FRAME_TAKES_PATTERN))
        options.pattern = camera->pattern;
    const VyrFrameImage src = {camera->format, dst->width, dst->height, pitch, {const_cast<void*>(data)}};
    return convert(&src, dst, &options);
}

} // namespace
} // namespace vyr::frame

extern "C" {

int32_t VyrFrameConvertCamera(const char* name, const void* data, ptrdiff_t pitch, const VyrFrameImage* dst,
                              const VyrFrameOptions* options)
{
    return vyr::frame::convertCamera(name, data, pitch, dst, options);
}

int32_t VyrFrameConvert(const VyrFrameImage* src, const VyrFrameImage* dst, const VyrFrameOptions* options)
{
    return vyr::frame::convert(src, dst, options);
}

const char* VyrFrameLastMessage(void) { return vyr::frame::tMessage; }

const char* VyrFrameResultName(int32_t result)
{
    static const char* const kNames[] = {"VYR_FRAME_OK",
                                         "VYR_FRAME_ERROR_NULL",
                                         "VYR_FRAME_ERROR_EMPTY",
                                         "VYR_FRAME_ERROR_SIZE_MISMATCH",
                                         "VYR_FRAME_ERROR_PITCH",
                                         "VYR_FRAME_ERROR_FORMAT",
                                         "VYR_FRAME_ERROR_CONVERSION",
                                         "VYR_FRAME_ERROR_OPTION",
                                         "VYR_FRAME_ERROR_OPTION_VALUE",
                                         "VYR_FRAME_ERROR_OPTION_MISSING",
                                         "VYR_FRAME_ERROR_OVERLAP",
                                         "VYR_FRAME_ERROR_TOO_SMALL",
                                         "VYR_FRAME_ERROR_TOO_LARGE",
                                         "VYR_FRAME_ERROR_RESOURCE"};
    const int32_t count = int32_t(sizeof kNames / sizeof kNames[0]);
    return result <= 0 && -result < count ? kNames[-result] : nullptr;
}

} // extern "C"
