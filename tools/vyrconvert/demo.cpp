#include "demo.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <map>

#include "error.h"
#include "frame.h"
#include "output_file.h"
#include "png_io.h"
#include "registry.h"
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
                                 unsigned threadCount)
{
    std::vector<double> seconds;
    for (int run = 0; run < kTimedRuns; ++run) {
        const auto start = std::chrono::steady_clock::now();
        convertFrame(conversion, source, destination, 0, threadCount);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        seconds.push_back(elapsed.count());
    }
    std::nth_element(seconds.begin(), seconds.begin() + kTimedRuns / 2, seconds.end());
    return seconds[kTimedRuns / 2];
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
    std::printf("vyrconvert demo: %ux%u scene written to %s; %u thread%s, median of %d runs\n\n",
                scene.width, scene.height, scenePath.c_str(), threadCount, threadCount == 1 ? "" : "s",
                kTimedRuns);

    Table table({"conversion", "output", "Mpix/s"});
    std::map<const Format*, Frame> sources; // each source format is made from the scene once
    for (const Conversion& conversion : allConversions()) {
        const std::string name = conversion.name();
        if (!conversion.from->lineFromScene) {
            table.addRow({name, "-", "-"});
            continue;
        }
        auto source = sources.find(conversion.from);
        if (source == sources.end())
            source = sources.emplace(conversion.from, frameFromScene(*conversion.from, scene)).first;
        Frame destination = makeFrame(*conversion.to, scene.width, scene.height);
        const double seconds = medianSecondsOfWholeFrame(conversion, source->second, destination, threadCount);

        const std::string outputPath = kDirectory + "/" + name + ".png";
        OutputFile output(outputPath);
        writePngFrame(destination, output);
        output.commit();
        table.addRow({name, outputPath, megapixelsPerSecond(scene.width, scene.height, seconds)});
        for (const GreyPlane& plane : conversion.to->demoPlanes) {
            const std::string planePath = kDirectory + "/" + name + "." + plane.name + ".png";
            writePlanePng(destination, plane, planePath);
            table.addRow({name + ":" + plane.name, planePath, "-"});
        }
    }
    table.print(stdout);
    return kExitSuccess;
}

} // namespace vyr::tool
