#include "frame.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <thread>

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

struct Band {
    uint32_t firstLine;
    uint32_t endLine;
};

// ---- Planar frames: line functions see a line's samples of every plane, plane after plane -------

size_t planeSampleBytes(const Frame& frame)
{
    return frame.bytesPerLine / (size_t(frame.format->planes) * frame.width);
}

// Calls use(line) with line y as the format's line functions see it; gathered from the planes
// before (gather) and scattered back after (scatter).
template <class Use>
void withLine(const Frame& frame, uint32_t y, bool gather, bool scatter, std::vector<uint8_t>& scratch, Use&& use)
{
    if (frame.format->planes == 0) {
        use(const_cast<uint8_t*>(frame.line(y)));
        return;
    }
    const size_t run = planeSampleBytes(frame) * frame.width, plane = run * frame.height;
    scratch.resize(frame.bytesPerLine);
    uint8_t* bytes = const_cast<uint8_t*>(frame.bytes.data());
    for (size_t k = 0; gather && k < frame.format->planes; ++k)
        std::copy_n(bytes + k * plane + run * y, run, scratch.data() + k * run);
    use(scratch.data());
    for (size_t k = 0; scatter && k < frame.format->planes; ++k)
        std::copy_n(scratch.data() + k * run, run, bytes + k * plane + run * y);
}

} // namespace

Frame makeFrame(const Format& format, uint32_t width, uint32_t height)
{
    Frame frame;
    frame.format = &format;
    frame.width = width;
    frame.height = height;
    frame.bytesPerLine = format.bytesPerLine(width);
    // 32-bit builds: width x height x bytes per pixel can exceed the address space.
    if (height != 0 && frame.bytesPerLine > SIZE_MAX / height) {
        throw ToolError("a " + std::to_string(width) + "x" + std::to_string(height) + " " + format.name +
                        " frame is too large for memory");
    }
    frame.bytes.resize(frame.bytesPerLine * height);
    return frame;
}

Frame frameFromScene(const Format& format, const Scene& scene)
{
    Frame frame = makeFrame(format, scene.width, scene.height);
    std::vector<uint8_t> scratch;
    for (uint32_t y = 0; y < frame.height; ++y) {
        withLine(frame, y, false, true, scratch,
                 [&](uint8_t* line) { format.lineFromScene(scene.line(y), frame.width, line); });
    }
    return frame;
}

void dropUnusedBits(Frame& frame, uint32_t unusedBits)
{
    frame.unusedBits = unusedBits;
    if (unusedBits == 0 || !frame.format->dropUnusedBits)
        return;
    std::vector<uint8_t> scratch;
    for (uint32_t y = 0; y < frame.height; ++y) {
        withLine(frame, y, true, true, scratch,
                 [&](uint8_t* line) { frame.format->dropUnusedBits(line, frame.width, unusedBits); });
    }
}

bool sourceIsDeeper(const Conversion& conversion)
{
    return conversion.from->sampleBits > conversion.to->sampleBits;
}

Frame readRawFrame(const std::string& path, const Format& format, uint32_t width, uint32_t height)
{
    InputDescriptor input(path);
    if (input.get() < 0)
        throw ToolError("cannot open input '" + path + "': " + systemErrorText(errno));
    struct stat status;
    if (fstat(input.get(), &status) == 0 && S_ISDIR(status.st_mode))
        throw ToolError("cannot read input '" + path + "': it is a directory");

    Frame frame = makeFrame(format, width, height);
    const size_t got = readUpTo(input.get(), frame.bytes.data(), frame.bytes.size(), path);
    if (got < frame.bytes.size()) {
        throw ToolError("input '" + path + "' is too short: " + std::to_string(got) + " bytes, a " +
                        std::to_string(width) + "x" + std::to_string(height) + " " + format.name +
                        " frame needs " + std::to_string(frame.bytes.size()));
    }
    return frame;
}

void writeRawFrame(const Frame& frame, OutputFile& output)
{
    output.write(frame.bytes.data(), frame.bytes.size());
}

void writePngFrame(const Frame& frame, OutputFile& output)
{
    const Format& format = *frame.format;
    std::vector<uint8_t> scratch;
    if (format.lineToPng16) {
        const unsigned significant = std::min(16u, format.sampleBits - std::min(frame.unusedBits, format.sampleBits));
        writeDeepPng(output, frame.width, frame.height, format.pngOutput, significant,
                     [&](uint32_t y, uint8_t* row) {
                         withLine(frame, y, true, false, scratch, [&](uint8_t* line) {
                             format.lineToPng16(line, frame.width, frame.unusedBits, row);
                         });
                     });
        return;
    }
    writeRgbPng(output, frame.width, frame.height, [&](uint32_t y, uint8_t* rgb) {
        withLine(frame, y, true, false, scratch, [&](uint8_t* line) { format.lineToRgb8(line, frame.width, rgb); });
    });
}

void convertFrame(const Conversion& conversion, const Frame& source, Frame& destination,
                  uint32_t unusedBits, unsigned threadCount)
{
    std::atomic<uint32_t> failedResult{0};
    // Into planes `count` samples apart: the whole frame is one run, one call.
    const bool wholeFrame = destination.format->planes != 0;
    if (wholeFrame && uint64_t(source.width) * source.height > UINT32_MAX)
        throw ToolError(std::string("a frame of more than 2^32 - 1 pixels cannot be converted to ") +
                        destination.format->name);
    // From planes: one call per line, the planes width x height samples apart.
    const size_t planarRun = source.format->planes ? planeSampleBytes(source) * source.width : 0;
    auto convertBand = [&](Band band) {
        for (uint32_t y = band.firstLine; y < band.endLine; ++y) {
            const uint32_t result =
                wholeFrame ? conversion.convert(source.bytes.data(), destination.bytes.data(),
                                                source.width * source.height, unusedBits)
                : conversion.fromPlanes
                    ? conversion.fromPlanes(source.bytes.data() + planarRun * y, destination.line(y), source.width,
                                            source.height, source.width, unusedBits)
                    : conversion.convert(source.line(y), destination.line(y), source.width, unusedBits);
            if (result != 0)
                failedResult = result;
        }
    };

    const uint32_t bands = wholeFrame ? 1u : std::max(1u, std::min<uint32_t>(threadCount, source.height));
    if (bands == 1) {
        convertBand({0, wholeFrame ? 1u : source.height});
    } else {
        std::vector<std::thread> workers;
        workers.reserve(bands);
        try {
            for (uint32_t i = 0; i < bands; ++i) {
                const Band band{uint32_t(uint64_t(source.height) * i / bands),
                                uint32_t(uint64_t(source.height) * (i + 1) / bands)};
                workers.emplace_back(convertBand, band);
            }
        } catch (...) {
            for (std::thread& worker : workers)
                worker.join();
            throw;
        }
        for (std::thread& worker : workers)
            worker.join();
    }
    if (failedResult != 0) {
        throw ToolError("the library converter " + conversion.name() + " returned " +
                        std::to_string(failedResult.load()));
    }
}

} // namespace vyr::tool
