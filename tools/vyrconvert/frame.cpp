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
    for (uint32_t y = 0; y < frame.height; ++y)
        format.lineFromScene(scene.line(y), frame.width, frame.line(y));
    return frame;
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
    writeRgbPng(output, frame.width, frame.height, [&frame](uint32_t y, uint8_t* rgb) {
        frame.format->lineToRgb8(frame.line(y), frame.width, rgb);
    });
}

void convertFrame(const Conversion& conversion, const Frame& source, Frame& destination,
                  uint32_t unusedBits, unsigned threadCount)
{
    std::atomic<uint32_t> failedResult{0};
    auto convertBand = [&](Band band) {
        for (uint32_t y = band.firstLine; y < band.endLine; ++y) {
            const uint32_t result = conversion.convert(source.line(y), destination.line(y), source.width, unusedBits);
            if (result != 0)
                failedResult = result;
        }
    };

    const uint32_t bands = std::max(1u, std::min<uint32_t>(threadCount, source.height));
    if (bands == 1) {
        convertBand({0, source.height});
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
