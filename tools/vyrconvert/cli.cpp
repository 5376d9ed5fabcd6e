#include "cli.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "demo.h"
#include "error.h"
#include "frame.h"
#include "output_file.h"
#include "png_io.h"
#include "registry.h"

namespace vyr::tool {
namespace {

constexpr uint32_t kMaxDimension = 1u << 20;
constexpr unsigned kMaxThreads = 256;
constexpr uint32_t kMaxUnusedBits = 24; // of any conversion; each checks its own range
constexpr const char* kDefaultRawSource = "MONO8";
constexpr const char* kDefaultDestination = "RGB8888";

struct Options {
    bool help = false;
    bool list = false;
    bool version = false;
    bool demo = false;
    std::optional<std::string> from;
    std::optional<std::string> to;
    std::optional<uint32_t> width;
    std::optional<uint32_t> height;
    std::optional<uint32_t> unusedBits;
    std::optional<uint32_t> pattern;
    std::optional<Demosaic> method;
    bool blueFirst = false;
    unsigned threads = 1;
    std::vector<std::string> files;
};

uint32_t parsePattern(const std::string& option, const std::string& text)
{
    const uint32_t pattern = VyrFrameFindPattern(text.c_str());
    if (pattern != VYR_FRAME_PATTERN_NONE)
        return pattern - VYR_FRAME_PATTERN_GBRG;
    throw UsageError(option + " '" + text + "' is not GBRG, BGGR, RGGB or GRBG");
}

Demosaic parseMethod(const std::string& option, const std::string& text)
{
    switch (VyrFrameFindMethod(text.c_str())) {
    case VYR_FRAME_METHOD_2X2: return Demosaic::TwoByTwo;
    case VYR_FRAME_METHOD_MALVAR: return Demosaic::Malvar;
    }
    throw UsageError(option + " '" + text + "' is not 2x2 or malvar");
}

uint32_t parseNumber(const std::string& option, const std::string& text, uint32_t min, uint32_t max)
{
    const std::string range = "a whole number from " + std::to_string(min) + " to " + std::to_string(max);
    bool digitsOnly = !text.empty() && text.size() <= 10;
    for (char c : text)
        digitsOnly = digitsOnly && c >= '0' && c <= '9';
    const unsigned long long value = digitsOnly ? std::strtoull(text.c_str(), nullptr, 10) : 0;
    if (!digitsOnly || value < min || value > max)
        throw UsageError(option + " '" + text + "' is not " + range);
    return uint32_t(value);
}

Options parseOptions(const std::vector<std::string>& args)
{
    Options options;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            options.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        std::optional<std::string> inlineValue;
        if (equals != std::string::npos)
            inlineValue = arg.substr(equals + 1);
        auto value = [&]() -> std::string {
            if (inlineValue)
                return *inlineValue;
            if (i + 1 >= args.size())
                throw UsageError(name + " needs a value");
            return args[++i];
        };
        auto flag = [&](bool& target) {
            if (inlineValue)
                throw UsageError(name + " takes no value");
            target = true;
        };

        if (name == "-h" || name == "--help")
            flag(options.help);
        else if (name == "--list")
            flag(options.list);
        else if (name == "--version")
            flag(options.version);
        else if (name == "--demo")
            flag(options.demo);
        else if (name == "--from")
            options.from = value();
        else if (name == "--to")
            options.to = value();
        else if (name == "--width")
            options.width = parseNumber(name, value(), 1, kMaxDimension);
        else if (name == "--height")
            options.height = parseNumber(name, value(), 1, kMaxDimension);
        else if (name == "--threads")
            options.threads = parseNumber(name, value(), 1, kMaxThreads);
        else if (name == "--unused-bits")
            options.unusedBits = parseNumber(name, value(), 0, kMaxUnusedBits);
        else if (name == "--pattern")
            options.pattern = parsePattern(name, value());
        else if (name == "--method")
            options.method = parseMethod(name, value());
        else if (name == "--blue-first")
            flag(options.blueFirst);
        else
            throw UsageError("unknown option '" + name + "'");
    }
    return options;
}

void printHelp()
{
    std::printf("Usage: vyrconvert [options] INPUT OUTPUT\n"
                "       vyrconvert [--demo [--threads N]]\n"
                "       vyrconvert --list | --help | --version\n"
                "\n"
                "Converts one frame with the VyrUtility line converters through VyrFrame, one converter\n"
                "call per line (Bayer sources: per output line, from the sensor lines around it).\n"
                "\n"
                "INPUT   a raw frame, which needs --width and --height; only its first WIDTH x HEIGHT\n"
                "        pixels are read and any bytes after them are ignored. A name ending in .png\n"
                "        (any case) is read as a PNG instead. PNG sources: %s\n"
                "        (1, 2 and 4-bit grey are widened to 8 bits).\n"
                "OUTPUT  the converted pixels, raw, in the --to format. A name ending in .png (any case)\n"
                "        gets an 8-bit RGB PNG of them instead (blue, green, red bytes reordered; a fourth\n"
                "        byte dropped), or a 16-bit grey or RGB PNG for the grey, RGB and planar\n"
                "        formats of more than 8 bits a sample, their significant bits moved to the top.\n"
                "        A regular OUTPUT is written beside it as .OUTPUT.vyrconvert-XXXXXX (six random\n"
                "        characters) and renamed to OUTPUT only when complete. A failed run removes that\n"
                "        file, and so do SIGHUP, SIGINT, SIGQUIT and SIGTERM; a run ended otherwise\n"
                "        (SIGKILL, a crash) leaves it behind. A symbolic link is followed to the file it\n"
                "        names. Any other OUTPUT (a device, a named pipe) is written in place, and a\n"
                "        failed run can leave it partly written.\n"
                "Frames are refused, before memory is taken for them, when one frame (read or\n"
                "converted) would need more than a quarter of the machine's memory, and when the input\n"
                "is too small to hold the frame it claims.\n"
                "\n"
                "Options:\n"
                "  --from FORMAT     source format. Default: %s for raw input; for PNG input the\n"
                "                    format its pixel layout loads as.\n"
                "  --to FORMAT       destination format. Default: %s.\n"
                "  --width W         frame width in pixels, 1 to %u. Needed for raw input; for PNG\n"
                "                    input it must match the PNG if given.\n"
                "  --height H        frame height in lines, likewise.\n"
                "  --threads N       split the lines into N bands converted in parallel, 1 to %u.\n"
                "                    Default: 1. Also applies to --demo.\n"
                "  --unused-bits N   unused high-order bits per sample, for conversions that take them:\n"
                "                    the samples of the deeper side hold that many fewer bits (a 16-bit\n"
                "                    PNG source is shifted down to them). From 0 up to the difference in\n"
                "                    bits between the two sides (8 for MONO16 to MONO8; --list gives each\n"
                "                    conversion's range). Default: 0.\n"
                "  --pattern P       Bayer sources: the colours of the frame's top-left 2x2 cell, GBRG,\n"
                "                    BGGR, RGGB or GRBG (first line, then second). Required for them.\n"
                "  --method M        Bayer sources: 2x2 or malvar. Default: malvar.\n"
                "                    2x2: each pixel from the 2x2 cell at its top-left corner; output\n"
                "                    line y takes sensor lines y and y+1, the last line takes the line\n"
                "                    above it as its second line, and the last column is built from\n"
                "                    the cell to its left. Frames of at least 2x2 pixels.\n"
                "                    malvar: each pixel from the 5x5 neighbourhood centred on it;\n"
                "                    columns beyond the edges are mirrored about the edge column and\n"
                "                    missing lines about the output line y (line y+d stands for the\n"
                "                    missing y-d at the top, y-d for the missing y+d at the bottom; in\n"
                "                    frames too short for that, mirrored about the last line). Frames\n"
                "                    of at least 4x2 pixels.\n"
                "  --blue-first      Bicolor frames: pixel 0 of every line carries blue and the odd\n"
                "                    pixels red (default: red first).\n"
                "  --demo            render a built-in 1280x720 test scene, convert it with every\n"
                "                    conversion, write PNGs to ./vyrconvert-demo/ and print the\n"
                "                    throughput of each (conversions with options: pattern RGGB,\n"
                "                    malvar, red first) and, where the library converts back, the\n"
                "                    PSNR of the round trip. HSV and LAB results also get a grey PNG\n"
                "                    of each of their H, S, V and L planes. Before that, mosaic the\n"
                "                    scene in every pattern, demosaic it both ways and print the PSNR\n"
                "                    against the scene. Running with no arguments does the same.\n"
                "  --list            list the formats and conversions.\n"
                "  -h, --help        show this help.\n"
                "  --version         show the version.\n"
                "Options may also be written --option=VALUE; '--' ends the options. A conversion takes only\n"
                "the options --list names for it.\n"
                "\n"
                "Formats (names are case-insensitive): %s\n"
                "\n"
                "Exit status: 0 on success; 2 on any error, reported as one line on standard error,\n"
                "with no OUTPUT file written (a device or pipe written in place may have taken part\n"
                "of it).\n",
                pngSourceList().c_str(), kDefaultRawSource, kDefaultDestination, kMaxDimension, kMaxThreads,
                formatNameList().c_str());
}

// ", takes --a, --b" for the options a conversion takes beyond the frame.
std::string takenOptions(const Conversion& conversion)
{
    std::string taken;
    auto add = [&taken](bool takes, const std::string& option) {
        if (takes)
            taken += (taken.empty() ? ", takes " : ", ") + option;
    };
    add(conversion.usesUnusedBits(), "--unused-bits 0 to " + std::to_string(maxUnusedBits(conversion)));
    add(conversion.takes(VYR_FRAME_TAKES_PATTERN), "--pattern");
    add(conversion.takes(VYR_FRAME_TAKES_METHOD), "--method");
    add(conversion.takes(VYR_FRAME_TAKES_BLUE_FIRST), "--blue-first");
    return taken;
}

void printList()
{
    std::printf("formats:\n");
    for (const Format* format : allFormats())
        std::printf("  %-12s %s\n", format->name, format->summary);
    std::printf("conversions:\n");
    for (const Conversion& conversion : allConversions()) {
        const char* note = conversion.frame->note;
        std::printf("  %-24s %s -> %s%s%s%s\n", conversion.name().c_str(), conversion.from->name,
                    conversion.to->name, takenOptions(conversion).c_str(), note ? "; " : "",
                    note ? note : "");
    }
}

// The options of the command line that the conversion takes, in its ranges, and none that it does not.
FrameOptions frameOptions(const Conversion& conversion, const Options& options)
{
    if (options.unusedBits && !conversion.usesUnusedBits())
        throw UsageError(conversion.name() + " takes no --unused-bits");
    if (options.unusedBits > maxUnusedBits(conversion)) {
        throw UsageError(conversion.name() + " takes --unused-bits 0 to " +
                         std::to_string(maxUnusedBits(conversion)));
    }
    auto refuse = [&](bool given, uint32_t option, const char* name) {
        if (given && !conversion.takes(option))
            throw UsageError(conversion.name() + " takes no " + name);
    };
    refuse(options.pattern.has_value(), VYR_FRAME_TAKES_PATTERN, "--pattern");
    refuse(options.method.has_value(), VYR_FRAME_TAKES_METHOD, "--method");
    refuse(options.blueFirst, VYR_FRAME_TAKES_BLUE_FIRST, "--blue-first");
    if (conversion.takes(VYR_FRAME_TAKES_PATTERN) && !options.pattern)
        throw UsageError(conversion.name() + " needs --pattern (GBRG, BGGR, RGGB or GRBG)");

    FrameOptions frame;
    frame.unusedBits = options.unusedBits.value_or(0);
    frame.phase = options.pattern.value_or(frame.phase);
    frame.method = options.method.value_or(frame.method);
    frame.blueFirst = options.blueFirst;
    frame.threads = options.threads;
    return frame;
}

const Format& requireFormat(const std::string& name, const char* option)
{
    const Format* format = findFormat(name);
    if (!format)
        throw ToolError(std::string(option) + ": unknown format '" + name + "' (known: " + formatNameList() +
                        ")");
    return *format;
}

const Conversion& requireConversion(const Format& from, const Format& to)
{
    const Conversion* conversion = findConversion(from, to);
    if (conversion)
        return *conversion;
    std::string targets;
    for (const Conversion& candidate : allConversions()) {
        if (candidate.from == &from)
            targets += (targets.empty() ? "" : ", ") + std::string(candidate.to->name);
    }
    throw ToolError(std::string("no conversion from ") + from.name + " to " + to.name + " (" + from.name +
                    (targets.empty() ? " converts to nothing" : " converts to " + targets) + ")");
}

void checkPngDimension(const char* option, const std::optional<uint32_t>& given, uint32_t actual)
{
    if (given && *given != actual) {
        throw ToolError(std::string(option) + " " + std::to_string(*given) + " does not match the PNG's " +
                        std::to_string(actual));
    }
}

// Everything the header decides is checked before the pixels are read.
Frame loadPngSource(const std::string& path, const Format* requestedSource, const Format& destination,
                    const Options& options)
{
    const Format* source = nullptr;
    const PngImage image = readPng(path, [&](const PngImage& header) {
        source = requestedSource ? requestedSource : formatForPng(header.layout);
        if (!source || !(source->pngSource == header.layout)) {
            std::string wanted;
            for (const Format* format : allFormats()) {
                if (requestedSource ? format == requestedSource
                                    : format->pngSource.channels != PngChannels::None)
                    wanted += (wanted.empty() ? "" : " or ") + std::string(format->name);
            }
            throw ToolError("input '" + path + "' (" + describe(header.layout) + " PNG) is not a " + wanted +
                            " source; PNG sources: " + pngSourceList());
        }
        checkPngDimension("--width", options.width, header.width);
        checkPngDimension("--height", options.height, header.height);
        frameOptions(requireConversion(*source, destination), options);
        checkFrameSize(*source, header.width, header.height);
        checkFrameSize(destination, header.width, header.height);
        if (!fileCanHold(header)) {
            throw ToolError("input '" + path + "': " + frameNeeds(*source, header.width, header.height) +
                            ", more than a PNG of " + std::to_string(header.fileBytes) + " bytes holds");
        }
    });
    return frameFromPng(image, *source);
}

int convertFile(const Options& options)
{
    if (options.files.size() < 2)
        throw UsageError(options.files.empty() ? "missing INPUT and OUTPUT" : "missing OUTPUT");
    if (options.files.size() > 2)
        throw UsageError("unexpected argument '" + options.files[2] + "'");
    const std::string& inputPath = options.files[0];
    const std::string& outputPath = options.files[1];

    const Format* requestedSource = options.from ? &requireFormat(*options.from, "--from") : nullptr;
    const Format& destination = requireFormat(options.to.value_or(kDefaultDestination), "--to");

    // What the command line alone decides is checked before any file is opened.
    const bool pngSource = hasPngExtension(inputPath);
    const Format& rawSource = requestedSource ? *requestedSource : requireFormat(kDefaultRawSource, "--from");
    if (!pngSource) {
        if (!options.width || !options.height)
            throw UsageError("raw input '" + inputPath + "' needs --width and --height");
        frameOptions(requireConversion(rawSource, destination), options);
        checkFrameSize(rawSource, *options.width, *options.height);
        checkFrameSize(destination, *options.width, *options.height);
    }
    // Before the input is read: an output that cannot be written is found before a long read.
    OutputFile output(outputPath);
    Frame source = pngSource ? loadPngSource(inputPath, requestedSource, destination, options)
                             : readRawFrame(inputPath, rawSource, *options.width, *options.height);

    const Conversion& conversion = requireConversion(*source.format, destination);
    const FrameOptions conversionOptions = frameOptions(conversion, options);
    // The unused bits describe the source only as the deeper side.
    source.options = conversionOptions;
    if (!sourceIsDeeper(conversion))
        source.options.unusedBits = 0;
    else if (pngSource)
        dropUnusedBits(source, conversionOptions.unusedBits); // PNG samples are full depth

    Frame converted = makeFrame(destination, source.width, source.height);
    convertFrame(conversion, source, converted, conversionOptions);
    if (hasPngExtension(outputPath))
        writePngFrame(converted, output);
    else
        writeRawFrame(converted, output);
    output.commit();
    return kExitSuccess;
}

} // namespace

int run(int argc, char** argv)
{
    const Options options = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (options.help) {
        printHelp();
        return kExitSuccess;
    }
    if (options.version) {
        std::printf("vyrconvert %s\n", VYR_VERSION);
        return kExitSuccess;
    }
    if (options.list) {
        printList();
        return kExitSuccess;
    }
    if (options.demo || argc == 1) {
        if (!options.files.empty() || options.from || options.to || options.width || options.height ||
            options.unusedBits || options.pattern || options.method || options.blueFirst)
            throw UsageError("--demo takes no options but --threads");
        return runDemo(options.threads);
    }
    return convertFile(options);
}

} // namespace vyr::tool
