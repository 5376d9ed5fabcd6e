#include "demo.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>

#include "error.h"
#include "family_bayer.h"
#include "frame.h"
#include "output_file.h"
#include "png_io.h"
#include "quality.h"
#include "registry.h"
#include "rgb_formats.h"
#include "scene.h"
#include "table.h"

namespace vyr::tool {
namespace {

constexpr uint32_t kSceneWidth = 1280;
constexpr uint32_t kSceneHeight = 720;
constexpr int kTimedRuns = 9;
const std::string kDirectory = "vyrconvert-demo";

void createDirectory(const std::string& path)
{
    if (mkdir(path.c_str(), 0777) == 0)
        return;
    const int error = errno;
    struct stat existing;
    if (error == EEXIST && stat(path.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode))
        return;
    throw ToolError("cannot create directory '" + path + "': " + systemErrorText(error));
}

void writeScenePng(const Scene& scene, const std::string& path)
{
    OutputFile output(path);
    writeRgbPng(output, scene.width, scene.height, [&scene](uint32_t y, uint8_t* rgb) {
        const uint16_t* line = scene.line(y);
        for (size_t i = 0; i < size_t(3) * scene.width; ++i)
            rgb[i] = to8Bit(line[i]);
    });
    output.commit();
}

void writePlanePng(const Frame& frame, const GreyPlane& plane, const std::string& path)
{
    OutputFile output(path);
    writeGreyPng(output, frame.width, frame.height, [&](uint32_t y, uint8_t* grey) {
        const uint8_t* line = frame.line(y);
        for (uint32_t x = 0; x < frame.width; ++x)
            grey[x] = line[plane.bytesPerPixel * x + plane.byteInPixel];
    });
    output.commit();
}

// The median of several runs, so one descheduled run does not skew the figure.
double medianSecondsOfWholeFrame(const Conversion& conversion, const Frame& source, Frame& destination,
                                 const FrameOptions& options)
{
    std::vector<double> seconds;
    for (int run = 0; run < kTimedRuns; ++run) {
        const auto start = std::chrono::steady_clock::now();
        convertFrame(conversion, source, destination, options);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        seconds.push_back(elapsed.count());
    }
    std::nth_element(seconds.begin(), seconds.begin() + kTimedRuns / 2, seconds.end());
    return seconds[kTimedRuns / 2];
}

// Through the conversion and its reverse, where the library has one, against the source. The reverse
// takes the same options but for the unused bits: those of its deeper side, the frame it reads or the
// source it rebuilds.
std::string roundTripPsnr(const Conversion& conversion, const Frame& source, const Frame& destination,
                          const FrameOptions& options)
{
    const Conversion* back = findConversion(*conversion.to, *conversion.from);
    if (!back)
        return "-";
    FrameOptions backOptions = options;
    backOptions.unusedBits = !back->usesUnusedBits() ? 0
                             : sourceIsDeeper(*back) ? destination.options.unusedBits
                                                     : source.options.unusedBits;
    Frame returned = makeFrame(*conversion.from, source.width, source.height);
    convertFrame(*back, destination, returned, backOptions);
    const double db = psnr(source, returned);
    if (std::isinf(db))
        return "lossless";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", db);
    return text;
}

// MONO16 sources run as 10-bit samples, as a camera of that depth gives them.
uint32_t demoUnusedBits(const Conversion& conversion)
{
    return conversion.from == &kMono16 && conversion.usesUnusedBits() ? 6 : 0;
}

std::string megapixelsPerSecond(uint32_t width, uint32_t height, double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", double(width) * height / 1e6 / std::max(seconds, 1e-9));
    return text;
}

} // namespace

int runDemo(unsigned threadCount)
{
    createDirectory(kDirectory);
    const Scene scene = renderScene(kSceneWidth, kSceneHeight);
    const std::string scenePath = kDirectory + "/scene.png";
    writeScenePng(scene, scenePath);
    std::printf("vyrconvert demo: %ux%u scene written to %s; %u thread%s, median of %d runs\n", scene.width,
                scene.height, scenePath.c_str(), threadCount, threadCount == 1 ? "" : "s", kTimedRuns);
    for (const Conversion& conversion : allConversions()) {
        if (demoUnusedBits(conversion)) {
            std::printf("%s runs with --unused-bits %u: its %s source holds %u-bit samples\n",
                        conversion.name().c_str(), demoUnusedBits(conversion), conversion.from->name,
                        conversion.from->sampleBits() - demoUnusedBits(conversion));
        }
    }
    std::printf("\n");
    printDemosaicQuality(scene, threadCount, stdout);
    std::printf("\n");

    Table table({"conversion", "output", "Mpix/s", "round-trip PSNR dB"});
    // Each source format is made from the scene once for each number of unused bits it is shown with.
    std::map<std::pair<const Format*, uint32_t>, Frame> sources;
    for (const Conversion& conversion : allConversions()) {
        const std::string name = conversion.name();
        if (!conversion.from->lineFromScene && !conversion.from->lineFromSceneWith) {
            table.addRow({name, "-", "-", "-"});
            continue;
        }
        // Conversions that take options run with the defaults: Bayer pattern RGGB, Malvar, red first.
        FrameOptions options;
        options.threads = threadCount;
        options.unusedBits = demoUnusedBits(conversion);
        FrameOptions sourceOptions = options;
        if (!sourceIsDeeper(conversion))
            sourceOptions.unusedBits = 0;
        auto source = sources.find({conversion.from, sourceOptions.unusedBits});
        if (source == sources.end()) {
            source = sources
                         .emplace(std::pair(conversion.from, sourceOptions.unusedBits),
                                  frameFromScene(*conversion.from, scene, sourceOptions))
                         .first;
        }
        Frame destination = makeFrame(*conversion.to, scene.width, scene.height);
        const double seconds = medianSecondsOfWholeFrame(conversion, source->second, destination, options);

        const std::string outputPath = kDirectory + "/" + name + ".png";
        OutputFile output(outputPath);
        writePngFrame(destination, output);
        output.commit();
        table.addRow({name, outputPath, megapixelsPerSecond(scene.width, scene.height, seconds),
                      roundTripPsnr(conversion, source->second, destination, options)});
        for (const GreyPlane& plane : conversion.to->demoPlanes) {
            const std::string planePath = kDirectory + "/" + name + "." + plane.name + ".png";
            writePlanePng(destination, plane, planePath);
            table.addRow({name + ":" + plane.name, planePath, "-", "-"});
        }
    }
    table.print(stdout);
    return kExitSuccess;
}

} // namespace vyr::tool
