#include "frame.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <new>

#include "error.h"
#include "output_file.h"
#include "png_io.h"
#include "scene.h"

namespace vyr::tool {
namespace {

class InputDescriptor {
public:
    explicit InputDescriptor(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~InputDescriptor()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    InputDescriptor(const InputDescriptor&) = delete;
    InputDescriptor& operator=(const InputDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Reads up to size bytes; fewer only at the end of the file.
size_t readUpTo(int fd, uint8_t* data, size_t size, const std::string& path)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t got = read(fd, data + done, size - done);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw ToolError("cannot read '" + path + "': " + systemErrorText(errno));
        }
        done += size_t(got);
    }
    return done;
}

} // namespace

namespace {

// Grown by this much at a time from inputs whose size is not known beforehand.
constexpr size_t kReadChunk = size_t(1) << 20;

std::atomic<uint64_t> gFrameByteLimit{0}; // 0 until asked for or set

uint64_t quarterOfMemory()
{
    const long pages = sysconf(_SC_PHYS_PAGES), pageBytes = sysconf(_SC_PAGE_SIZE);
    const uint64_t memory = pages > 0 && pageBytes > 0 ? uint64_t(pages) * uint64_t(pageBytes) : 1ull << 32;
    return std::min<uint64_t>(memory / 4, SIZE_MAX / 4);
}

// The frame's shape, no bytes yet.
Frame frameShape(const Format& format, uint32_t width, uint32_t height)
{
    checkFrameSize(format, width, height);
    Frame frame;
    frame.format = &format;
    frame.width = width;
    frame.height = height;
    frame.bytesPerLine = format.bytesPerLine(width);
    return frame;
}

// Resizes the frame's bytes, or says what the frame needed.
void resizeBytes(Frame& frame, size_t size)
{
    try {
        frame.bytes.resize(size);
    } catch (const std::bad_alloc&) {
        throw ToolError(frameNeeds(*frame.format, frame.width, frame.height) + ", more than memory allows");
    }
}

} // namespace

uint64_t frameByteLimit()
{
    if (gFrameByteLimit == 0)
        gFrameByteLimit = quarterOfMemory();
    return gFrameByteLimit;
}

void setFrameByteLimit(uint64_t bytes) { gFrameByteLimit = bytes; }

uint64_t frameBytes(const Format& format, uint32_t width, uint32_t height)
{
    return uint64_t(format.bytesPerLine(width)) * height;
}

std::string frameNeeds(const Format& format, uint32_t width, uint32_t height)
{
    return "frame of " + std::to_string(width) + " x " + std::to_string(height) + " " + format.name +
           " needs " + std::to_string(frameBytes(format, width, height)) + " bytes";
}

void checkFrameSize(const Format& format, uint32_t width, uint32_t height)
{
    if (frameBytes(format, width, height) > frameByteLimit()) {
        const bool quarter = frameByteLimit() == quarterOfMemory();
        throw ToolError(frameNeeds(format, width, height) + ", more than the limit of " +
                        std::to_string(frameByteLimit()) + " bytes" +
                        (quarter ? ", a quarter of this machine's memory" : ""));
    }
}

Frame makeFrame(const Format& format, uint32_t width, uint32_t height)
{
    Frame frame = frameShape(format, width, height);
    resizeBytes(frame, frame.bytesPerLine * height);
    return frame;
}

uint8_t* Frame::planeLine(uint32_t k, uint32_t y)
{
    return const_cast<uint8_t*>(static_cast<const Frame*>(this)->planeLine(k, y));
}

const uint8_t* Frame::planeLine(uint32_t k, uint32_t y) const
{
    const size_t planeBytesPerLine = bytesPerLine / format->planes();
    return bytes.data() + planeBytesPerLine * (size_t(height) * k + y);
}

void Frame::copyLineOut(uint32_t y, uint8_t* out) const
{
    const size_t planeBytesPerLine = bytesPerLine / format->planes();
    for (uint32_t k = 0; k < format->planes(); ++k)
        std::copy_n(planeLine(k, y), planeBytesPerLine, out + planeBytesPerLine * k);
}

void Frame::copyLineIn(uint32_t y, const uint8_t* in)
{
    const size_t planeBytesPerLine = bytesPerLine / format->planes();
    for (uint32_t k = 0; k < format->planes(); ++k)
        std::copy_n(in + planeBytesPerLine * k, planeBytesPerLine, planeLine(k, y));
}

Frame frameFromScene(const Format& format, const Scene& scene, const FrameOptions& options)
{
    Frame frame = makeFrame(format, scene.width, scene.height);
    frame.options = options;
    std::vector<uint8_t> line(frame.bytesPerLine);
    for (uint32_t y = 0; y < frame.height; ++y) {
        if (format.lineFromSceneWith)
            format.lineFromSceneWith(scene.line(y), frame.width, y, options, line.data());
        else
            format.lineFromScene(scene.line(y), frame.width, line.data());
        frame.copyLineIn(y, line.data());
    }
    dropUnusedBits(frame, options.unusedBits);
    return frame;
}

void dropUnusedBits(Frame& frame, uint32_t unusedBits)
{
    frame.options.unusedBits = unusedBits;
    if (unusedBits == 0 || !frame.format->dropUnusedBits)
        return;
    std::vector<uint8_t> line(frame.bytesPerLine);
    for (uint32_t y = 0; y < frame.height; ++y) {
        frame.copyLineOut(y, line.data());
        frame.format->dropUnusedBits(line.data(), frame.width, unusedBits);
        frame.copyLineIn(y, line.data());
    }
}

bool sourceIsDeeper(const Conversion& conversion)
{
    return conversion.from->sampleBits() > conversion.to->sampleBits();
}

uint32_t maxUnusedBits(const Conversion& conversion) { return conversion.frame->maxUnusedBits; }

Frame readRawFrame(const std::string& path, const Format& format, uint32_t width, uint32_t height)
{
    Frame frame = frameShape(format, width, height);
    const size_t needed = frame.bytesPerLine * height;
    InputDescriptor input(path);
    if (input.get() < 0)
        throw ToolError("cannot open input '" + path + "': " + systemErrorText(errno));
    struct stat status = {};
    const bool regular = fstat(input.get(), &status) == 0 && S_ISREG(status.st_mode);
    if (!regular && S_ISDIR(status.st_mode))
        throw ToolError("cannot read input '" + path + "': it is a directory");
    const auto tooShort = [&](uint64_t has) {
        return ToolError("input '" + path + "' is too short: " + frameNeeds(format, width, height) +
                         ", more than its " + std::to_string(has));
    };
    if (regular && uint64_t(status.st_size) < needed)
        throw tooShort(uint64_t(status.st_size));

    size_t got = 0;
    while (got < needed) {
        resizeBytes(frame, regular ? needed : std::min(needed, got + kReadChunk));
        got += readUpTo(input.get(), frame.bytes.data() + got, frame.bytes.size() - got, path);
        if (got < frame.bytes.size())
            throw tooShort(got);
    }
    return frame;
}

void writeRawFrame(const Frame& frame, OutputFile& output)
{
    output.write(frame.bytes.data(), frame.bytes.size());
}

void lineToRgb8(const Frame& frame, uint32_t y, uint8_t* rgb)
{
    std::vector<uint8_t> line(frame.bytesPerLine);
    frame.copyLineOut(y, line.data());
    if (frame.format->lineToRgb8With)
        frame.format->lineToRgb8With(line.data(), frame.width, y, frame.options, rgb);
    else
        frame.format->lineToRgb8(line.data(), frame.width, rgb);
}

void writePngFrame(const Frame& frame, OutputFile& output)
{
    const Format& format = *frame.format;
    if (format.lineToPng16) {
        const uint32_t unusedBits = frame.options.unusedBits;
        const unsigned significant =
            std::min(16u, format.sampleBits() - std::min(unusedBits, format.sampleBits()));
        std::vector<uint8_t> line(frame.bytesPerLine);
        writeDeepPng(output, frame.width, frame.height, format.pngOutput, significant,
                     [&](uint32_t y, uint8_t* row) {
                         frame.copyLineOut(y, line.data());
                         format.lineToPng16(line.data(), frame.width, unusedBits, row);
                     });
        return;
    }
    writeRgbPng(output, frame.width, frame.height,
                [&frame](uint32_t y, uint8_t* rgb) { lineToRgb8(frame, y, rgb); });
}

namespace {

VyrFrameImage frameImage(const Frame& frame)
{
    VyrFrameImage image = {frame.format->frameFormat().format,
                           frame.width,
                           frame.height,
                           ptrdiff_t(frame.bytesPerLine / frame.format->planes()),
                           {}};
    for (uint32_t k = 0; k < frame.format->planes(); ++k)
        image.planes[k] = const_cast<uint8_t*>(frame.planeLine(k, 0));
    return image;
}

// The unused bits of the converted samples: those the conversion was given, 0 where it narrowed
// them, and the difference where it put narrower samples unscaled into wider words (8-bit samples
// in 16-bit words, a 15-bit mosaic's in 16-bit planes).
uint32_t convertedUnusedBits(const Conversion& conversion, uint32_t unusedBits)
{
    const unsigned from = conversion.from->sampleBits(), to = conversion.to->sampleBits();
    if (!conversion.usesUnusedBits())
        return from < to ? to - from : 0;
    return sourceIsDeeper(conversion) ? 0 : unusedBits;
}

} // namespace

void convertFrame(const Conversion& conversion, const Frame& source, Frame& destination,
                  const FrameOptions& options)
{
    destination.options = options;
    destination.options.unusedBits = convertedUnusedBits(conversion, options.unusedBits);
    const VyrFrameImage src = frameImage(source), dst = frameImage(destination);
    VyrFrameOptions frameOptions = {};
    frameOptions.unusedBits = conversion.usesUnusedBits() ? options.unusedBits : 0;
    if (conversion.takes(VYR_FRAME_TAKES_PATTERN))
        frameOptions.pattern = VYR_FRAME_PATTERN_GBRG + options.phase;
    if (conversion.takes(VYR_FRAME_TAKES_METHOD))
        frameOptions.method =
            options.method == Demosaic::Malvar ? VYR_FRAME_METHOD_MALVAR : VYR_FRAME_METHOD_2X2;
    if (conversion.takes(VYR_FRAME_TAKES_BLUE_FIRST))
        frameOptions.blueFirst = options.blueFirst;
    frameOptions.threads = options.threads;
    if (VyrFrameConvert(&src, &dst, &frameOptions) != VYR_FRAME_OK)
        throw ToolError(VyrFrameLastMessage());
}

} // namespace vyr::tool
