// vyrgrab: frames from a GenICam camera through Aravis, converted by VyrFrame from the camera's pixel
// format name to a format of the library, written as PNG or raw files or only counted.
#include <arv.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "VyrFrame.h"
#include "error.h"
#include "output_file.h"
#include "png_io.h"

namespace vyr::grab {
namespace {

using tool::ToolError;
using tool::UsageError;

const char kUsage[] =
    "usage: vyrgrab [options]\n"
    "  --camera ID          the camera to open (default: the first one found)\n"
    "  --fake               offer Aravis's in-process fake camera (ID Fake_1) as a camera\n"
    "  --width N, --height N, --pixel-format NAME\n"
    "                       set the camera's region and GenICam pixel format before grabbing\n"
    "  --count N            frames to grab (default 10)\n"
    "  --to FORMAT          the format to convert to (default RGB8888)\n"
    "  --method 2x2|malvar  Bayer demosaicing (default malvar)\n"
    "  --threads N          conversion threads (default: one per processor)\n"
    "  --buffers N          frame buffers queued to the camera (default 8)\n"
    "  --out DIR            write frame-NNNNNN.png (MONO8, RGB888, RGBR888, RGB8888) or .raw files\n"
    "  --raw                write raw files whatever the format\n"
    "  --timeout MS         longest wait for a frame (default 2000)\n"
    "  --list               list the cameras and exit\n"
    "Without --out only statistics. Ctrl-C stops after the frame in hand and prints the summary.\n";

struct Options {
    std::string camera, pixelFormat, to = "RGB8888", out;
    bool fake = false, raw = false, list = false;
    long width = 0, height = 0;
    uint32_t count = 10, threads = 0, buffers = 8, method = VYR_FRAME_METHOD_DEFAULT;
    uint32_t timeoutMs = 2000;
};

long number(const std::string& option, const char* text, long min, long max)
{
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < min || value > max) {
        throw UsageError(option + " takes a number from " + std::to_string(min) + " to " +
                         std::to_string(max) + ", not \"" + text + "\"");
    }
    return value;
}

Options parse(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        }
        if (arg == "--fake" || arg == "--raw" || arg == "--list") {
            (arg == "--fake" ? o.fake : arg == "--raw" ? o.raw : o.list) = true;
            continue;
        }
        if (i + 1 >= argc)
            throw UsageError(arg.rfind("--", 0) == 0 ? arg + " needs a value"
                                                     : "unknown argument \"" + arg + "\"");
        const char* value = argv[++i];
        if (arg == "--camera")
            o.camera = value;
        else if (arg == "--pixel-format")
            o.pixelFormat = value;
        else if (arg == "--to")
            o.to = value;
        else if (arg == "--out")
            o.out = value;
        else if (arg == "--width")
            o.width = number(arg, value, 1, 1 << 20);
        else if (arg == "--height")
            o.height = number(arg, value, 1, 1 << 20);
        else if (arg == "--count")
            o.count = uint32_t(number(arg, value, 1, 100000000));
        else if (arg == "--threads")
            o.threads = uint32_t(number(arg, value, 1, VYR_FRAME_MAX_THREADS));
        else if (arg == "--buffers")
            o.buffers = uint32_t(number(arg, value, 2, 1024));
        else if (arg == "--timeout")
            o.timeoutMs = uint32_t(number(arg, value, 1, 3600000));
        else if (arg == "--method") {
            o.method = VyrFrameFindMethod(value);
            if (o.method == VYR_FRAME_METHOD_DEFAULT)
                throw UsageError(std::string("--method is 2x2 or malvar, not \"") + value + "\"");
        } else
            throw UsageError("unknown option \"" + arg + "\"");
    }
    return o;
}

// Aravis's errors as the tool's: one line with what was being done.
void check(GError* error, const std::string& doing)
{
    if (error) {
        const std::string text = doing + ": " + error->message;
        g_error_free(error);
        throw ToolError(text);
    }
}

template <class T>
struct Unref {
    void operator()(T* object) const { g_object_unref(object); }
};
template <class T>
using GPtr = std::unique_ptr<T, Unref<T>>;

volatile sig_atomic_t gStop = 0;
void stopOnInterrupt(int) { gStop = 1; }

double seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The file of one converted frame, complete under its name or not there at all.
void writeFrame(const Options& o, uint32_t index, const VyrFrameImage& image,
                const std::vector<uint8_t>& pixels)
{
    const uint32_t format = image.format;
    const bool png = !o.raw && (format == VYR_FRAME_MONO8 || format == VYR_FRAME_RGB888 ||
                                format == VYR_FRAME_RGBR888 || format == VYR_FRAME_RGB8888);
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%06" PRIu32 ".%s", index, png ? "png" : "raw");
    tool::OutputFile file(o.out + name);
    const uint8_t* data = pixels.data();
    const size_t pitch = size_t(image.pitch);
    if (!png) {
        file.write(data, pixels.size());
    } else if (format == VYR_FRAME_MONO8) {
        tool::writeGreyPng(file, image.width, image.height, [&](uint32_t y, uint8_t* grey) {
            std::memcpy(grey, data + y * pitch, image.width);
        });
    } else {
        const size_t step = format == VYR_FRAME_RGB8888 ? 4 : 3;
        const bool blueFirst = format != VYR_FRAME_RGBR888;
        tool::writeRgbPng(file, image.width, image.height, [&](uint32_t y, uint8_t* rgb) {
            const uint8_t* p = data + y * pitch;
            for (uint32_t x = 0; x < image.width; ++x, p += step, rgb += 3) {
                rgb[0] = blueFirst ? p[2] : p[0];
                rgb[1] = p[1];
                rgb[2] = blueFirst ? p[0] : p[2];
            }
        });
    }
    file.commit();
}

struct Statistics {
    uint32_t received = 0, incomplete = 0;
    double convertSeconds = 0;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};

uint64_t dropped(ArvStream* stream, const Statistics& s)
{
    guint64 completed = 0, failures = 0, underruns = 0;
    arv_stream_get_statistics(stream, &completed, &failures, &underruns);
    return failures + underruns + (failures == 0 ? s.incomplete : 0);
}

void progress(ArvStream* stream, const Statistics& s, bool last)
{
    const double elapsed = seconds(std::chrono::steady_clock::now() - s.start);
    std::fprintf(stderr,
                 "\r%" PRIu32 " frames received, %" PRIu64
                 " dropped, %.1f frames/s, convert %.2f ms/frame   %s",
                 s.received, dropped(stream, s), elapsed > 0 ? s.received / elapsed : 0.0,
                 s.received ? 1000 * s.convertSeconds / s.received : 0.0, last ? "\n" : "");
    std::fflush(stderr);
}

int run(const Options& o)
{
    const VyrFrameFormatInfo* to = VyrFrameFindFormat(o.to.c_str());
    if (!to)
        throw UsageError("--to: no format is named \"" + o.to + "\"");
    if (!o.out.empty()) {
        struct stat st;
        if (stat(o.out.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            throw ToolError("--out " + o.out + ": not a directory");
    }
    if (o.fake)
        arv_enable_interface("Fake");
    arv_update_device_list();
    if (o.list) {
        for (unsigned i = 0; i < arv_get_n_devices(); ++i)
            std::printf("%s\t%s %s\n", arv_get_device_id(i), arv_get_device_vendor(i),
                        arv_get_device_model(i));
        return tool::kExitSuccess;
    }
    if (o.camera.empty() && arv_get_n_devices() == 0)
        throw ToolError("no camera found (--fake offers Aravis's fake camera)");
    GError* error = nullptr;
    const std::string id = o.camera.empty() ? arv_get_device_id(0) : o.camera;
    GPtr<ArvCamera> camera(arv_camera_new(id.c_str(), &error));
    check(error, "opening camera " + id);
    if (!o.pixelFormat.empty()) {
        guint n = 0;
        const char** offered = arv_camera_dup_available_pixel_formats_as_strings(camera.get(), &n, &error);
        check(error, "reading the camera's pixel formats");
        std::string list;
        bool found = false;
        for (guint i = 0; i < n; ++i) {
            found = found || o.pixelFormat == offered[i];
            list += std::string(i ? ", " : "") + offered[i];
        }
        g_free(offered);
        if (!found)
            throw ToolError("the camera does not offer the pixel format " + o.pixelFormat + " (it offers " +
                            list + ")");
        arv_camera_set_pixel_format_from_string(camera.get(), o.pixelFormat.c_str(), &error);
        check(error, "setting the pixel format " + o.pixelFormat);
    }
    if (o.width || o.height) {
        gint x = 0, y = 0, width = 0, height = 0;
        arv_camera_get_region(camera.get(), &x, &y, &width, &height, &error);
        check(error, "reading the camera's region");
        arv_camera_set_region(camera.get(), x, y, o.width ? gint(o.width) : width,
                              o.height ? gint(o.height) : height, &error);
        check(error, "setting the region");
    }
    // The camera's pixel format must be one VyrFrame converts to --to.
    const uint32_t code = uint32_t(arv_camera_get_pixel_format(camera.get(), &error));
    check(error, "reading the pixel format");
    const VyrFrameCameraFormat* format = VyrFrameGetCameraFormat(code);
    if (!format) {
        char text[96];
        std::snprintf(text, sizeof text,
                      "the camera's pixel format 0x%08" PRIX32 " (%s) is not one VyrFrame reads", code,
                      arv_camera_get_pixel_format_as_string(camera.get(), nullptr));
        throw ToolError(text);
    }
    if (!VyrFrameFindConversion(format->format, to->format))
        throw ToolError(std::string("VyrFrame cannot convert ") + format->name + " to " + to->name);

    arv_camera_set_acquisition_mode(camera.get(), ARV_ACQUISITION_MODE_CONTINUOUS, &error);
    check(error, "setting continuous acquisition");
    const guint payload = arv_camera_get_payload(camera.get(), &error);
    check(error, "reading the payload size");
    GPtr<ArvStream> stream(arv_camera_create_stream(camera.get(), nullptr, nullptr, &error));
    check(error, "opening the stream");
    for (uint32_t i = 0; i < o.buffers; ++i)
        arv_stream_push_buffer(stream.get(), arv_buffer_new(payload, nullptr));

    tool::handleSignals();           // other termination signals remove a temporary file
    signal(SIGINT, stopOnInterrupt); // Ctrl-C ends the run after the frame in hand
    const bool tty = isatty(STDERR_FILENO);
    Statistics s;
    std::vector<uint8_t> pixels;
    VyrFrameOptions options = {};
    options.threads = o.threads;
    const bool bayer = format->pattern != VYR_FRAME_PATTERN_NONE;
    options.method = bayer ? o.method : 0;
    auto lastShown = s.start;
    arv_camera_start_acquisition(camera.get(), &error);
    check(error, "starting the acquisition");
    std::string failure;
    while (s.received < o.count && !gStop) {
        ArvBuffer* buffer = arv_stream_timeout_pop_buffer(stream.get(), guint64(o.timeoutMs) * 1000);
        if (!buffer) {
            if (gStop)
                break;
            failure = "no frame from the camera within " + std::to_string(o.timeoutMs) + " ms";
            break;
        }
        if (arv_buffer_get_status(buffer) != ARV_BUFFER_STATUS_SUCCESS) {
            ++s.incomplete;
            arv_stream_push_buffer(stream.get(), buffer);
            continue;
        }
        try {
            const uint32_t width = uint32_t(arv_buffer_get_image_width(buffer));
            const uint32_t height = uint32_t(arv_buffer_get_image_height(buffer));
            const VyrFrameCameraFormat* got =
                VyrFrameGetCameraFormat(arv_buffer_get_image_pixel_format(buffer));
            if (!got)
                throw ToolError("a frame came in a pixel format VyrFrame does not read");
            size_t size = 0;
            const void* data = arv_buffer_get_image_data(buffer, &size);
            gint xPadding = 0, yPadding = 0;
            arv_buffer_get_image_padding(buffer, &xPadding, &yPadding);
            const size_t line = VyrFrameLineBytes(got->format, width);
            const ptrdiff_t srcPitch = ptrdiff_t(line + size_t(xPadding > 0 ? xPadding : 0));
            if (width == 0 || height == 0 || size < size_t(srcPitch) * (height - 1) + line)
                throw ToolError("a frame of " + std::to_string(size) + " bytes is too short for its size");
            const ptrdiff_t dstPitch = ptrdiff_t(VyrFrameLineBytes(to->format, width));
            pixels.resize(size_t(dstPitch) * height * to->planes);
            VyrFrameImage image = {to->format, width, height, dstPitch, {}};
            for (uint32_t k = 0; k < to->planes; ++k)
                image.planes[k] = pixels.data() + size_t(dstPitch) * height * k;
            const auto before = std::chrono::steady_clock::now();
            if (VyrFrameConvertCamera(got->name, data, srcPitch, &image, &options) != VYR_FRAME_OK)
                throw ToolError(std::string("converting ") + got->name + ": " + VyrFrameLastMessage());
            s.convertSeconds += seconds(std::chrono::steady_clock::now() - before);
            ++s.received;
            if (!o.out.empty())
                writeFrame(o, s.received, image, pixels);
        } catch (...) {
            arv_stream_push_buffer(stream.get(), buffer);
            arv_camera_stop_acquisition(camera.get(), nullptr);
            throw;
        }
        arv_stream_push_buffer(stream.get(), buffer);
        const auto now = std::chrono::steady_clock::now();
        if (tty && seconds(now - lastShown) >= 0.1) {
            progress(stream.get(), s, false);
            lastShown = now;
        }
    }
    const double elapsed = seconds(std::chrono::steady_clock::now() - s.start);
    arv_camera_stop_acquisition(camera.get(), nullptr);
    if (tty)
        progress(stream.get(), s, true);
    std::printf("%" PRIu32 " frames of %s to %s, %" PRIu64
                " dropped, %.1f frames/s, conversion %.3f ms/frame%s\n",
                s.received, format->name, to->name, dropped(stream.get(), s),
                elapsed > 0 ? s.received / elapsed : 0.0,
                s.received ? 1000 * s.convertSeconds / s.received : 0.0, gStop ? " (interrupted)" : "");
    if (!failure.empty())
        throw ToolError(failure);
    return tool::kExitSuccess;
}

} // namespace
} // namespace vyr::grab

int main(int argc, char** argv)
{
    try {
        return vyr::grab::run(vyr::grab::parse(argc, argv));
    } catch (const vyr::tool::UsageError& e) {
        std::fprintf(stderr, "vyrgrab: %s (see vyrgrab --help)\n", e.what());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vyrgrab: %s\n", e.what());
    }
    return vyr::tool::kExitFailure;
}
