// Every failure vyrconvert reports: exit code 2, one line on stderr naming the problem, nothing
// written (no output and no temporary) and nothing on stdout.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include "png_files.h"
#include "tool_process.h"

namespace vyr::test {
namespace {

using Args = std::vector<std::string>;

// A 7x5 MONO8 raw frame, and the size options that describe it.
Args withRawInput(const fs::path& dir, Args args)
{
    writeFile(dir / "in.raw", greyFrame(7, 5, 31));
    return args;
}

const Args kRawSize = {"--width", "7", "--height", "5"};

Args join(Args a, const Args& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

void writeGreyPng(const fs::path& path)
{
    ASSERT_TRUE(writePng(path, {9, 4, PNG_COLOR_TYPE_GRAY, 8, false, greyFrame(9, 4, 32)}));
}

struct ErrorCase {
    const char* name;
    Args (*prepare)(const fs::path& dir); // writes the inputs, returns the arguments
    const char* named;                    // what the message must name
};

const ErrorCase kCases[] = {
    // Formats and conversions
    {"UnknownSourceFormat",
     [](const fs::path& d) { return withRawInput(d, join({"--from", "FOO", "in.raw", "out.raw"}, kRawSize)); },
     "'FOO'"},
    {"UnknownDestinationFormat",
     [](const fs::path& d) { return withRawInput(d, join({"--to", "BAR", "in.raw", "out.raw"}, kRawSize)); },
     "'BAR'"},
    {"NoConversionBetweenKnownFormats",
     [](const fs::path& d) {
         return withRawInput(d, join({"--from", "rgb565", "--to", "MONO8", "in.raw", "out.raw"}, kRawSize));
     },
     "no conversion from RGB565 to MONO8"},
    {"UnusedBitsForAConversionWithoutThem",
     [](const fs::path& d) { return withRawInput(d, join({"--unused-bits", "2", "in.raw", "out.raw"}, kRawSize)); },
     "--unused-bits"},

    // Raw frame size
    {"MissingWidth", [](const fs::path& d) { return withRawInput(d, {"--height", "5", "in.raw", "out.raw"}); },
     "--width"},
    {"MissingHeight", [](const fs::path& d) { return withRawInput(d, {"--width", "7", "in.raw", "out.raw"}); },
     "--height"},
    {"ZeroWidth",
     [](const fs::path& d) { return withRawInput(d, {"--width", "0", "--height", "5", "in.raw", "out.raw"}); },
     "--width '0'"},
    {"WidthWithTrailingText",
     [](const fs::path& d) { return withRawInput(d, {"--width", "7x", "--height", "5", "in.raw", "out.raw"}); },
     "--width '7x'"},
    {"NegativeHeight",
     [](const fs::path& d) { return withRawInput(d, {"--width", "7", "--height", "-5", "in.raw", "out.raw"}); },
     "--height '-5'"},
    {"WidthBeyondAnyFrame",
     [](const fs::path& d) {
         return withRawInput(d, {"--width", "99999999999", "--height", "5", "in.raw", "out.raw"});
     },
     "--width '99999999999'"},
    {"RawFileShorterThanTheFrame",
     [](const fs::path& d) { return withRawInput(d, {"--width", "7", "--height", "6", "in.raw", "out.raw"}); },
     "too short"},

    // Inputs
    {"MissingInput", [](const fs::path&) { return join({"no-such.raw", "out.raw"}, kRawSize); }, "no-such.raw"},
    {"InputIsADirectory",
     [](const fs::path& d) {
         fs::create_directory(d / "in.raw");
         return join({"in.raw", "out.raw"}, kRawSize);
     },
     "in.raw"},
    {"FileNamedPngIsNotAPng",
     [](const fs::path& d) {
         writeFile(d / "in.png", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g', '\n'});
         return Args{"in.png", "out.raw"};
     },
     "not a PNG"},
    {"TruncatedPng",
     [](const fs::path& d) {
         writeGreyPng(d / "whole.png");
         std::vector<uint8_t> bytes = readFile(d / "whole.png");
         fs::remove(d / "whole.png");
         bytes.resize(bytes.size() / 2);
         writeFile(d / "in.png", bytes);
         return Args{"in.png", "out.raw"};
     },
     "cannot read PNG 'in.png'"},
    {"ColourPng",
     [](const fs::path& d) {
         EXPECT_TRUE(writePng(d / "in.png", {3, 2, PNG_COLOR_TYPE_RGB, 8, false, std::vector<uint8_t>(18, 9)}));
         return Args{"in.png", "out.raw"};
     },
     "(8-bit RGB PNG) is not a"},
    {"PngOfAnotherSizeThanGiven",
     [](const fs::path& d) {
         writeGreyPng(d / "in.png");
         return Args{"--width", "10", "in.png", "out.raw"};
     },
     "--width 10"},

    // Outputs
    {"OutputDirectoryMissing",
     [](const fs::path& d) { return withRawInput(d, join({"in.raw", "missing-dir/out.raw"}, kRawSize)); },
     "missing-dir/out.raw"},
    {"PngOutputDirectoryMissing",
     [](const fs::path& d) { return withRawInput(d, join({"in.raw", "missing-dir/out.png"}, kRawSize)); },
     "missing-dir/out.png"},
    {"OutputIsADirectory",
     [](const fs::path& d) {
         fs::create_directory(d / "out.raw");
         return withRawInput(d, join({"in.raw", "out.raw"}, kRawSize));
     },
     "out.raw"},
    // Permission bits do not stop root, which cannot create files in /sys either.
    {"ReadOnlyOutputLocation",
     [](const fs::path& d) {
         std::string output = "/sys/vyrconvert-test-out.raw";
         if (geteuid() != 0) {
             fs::create_directory(d / "ro");
             fs::permissions(d / "ro", fs::perms::owner_read | fs::perms::owner_exec);
             output = "ro/vyrconvert-test-out.raw";
         }
         return withRawInput(d, join({"in.raw", output}, kRawSize));
     },
     "vyrconvert-test-out.raw"},

    // Usage
    {"MissingOutput", [](const fs::path& d) { return withRawInput(d, join({"in.raw"}, kRawSize)); },
     "missing OUTPUT"},
    {"ExtraArgument",
     [](const fs::path& d) { return withRawInput(d, join({"in.raw", "out.raw", "extra"}, kRawSize)); },
     "'extra'"},
    {"UnknownOption",
     [](const fs::path& d) { return withRawInput(d, join({"--frobnicate", "in.raw", "out.raw"}, kRawSize)); },
     "--frobnicate"},
    {"OptionWithoutValue",
     [](const fs::path& d) { return withRawInput(d, {"--height", "5", "in.raw", "out.raw", "--width"}); },
     "--width needs a value"},
    {"ZeroThreads",
     [](const fs::path& d) { return withRawInput(d, join({"--threads", "0", "in.raw", "out.raw"}, kRawSize)); },
     "--threads '0'"},
    {"DemoWithFiles", [](const fs::path& d) { return withRawInput(d, {"--demo", "in.raw", "out.raw"}); },
     "--demo"},
};

void PrintTo(const ErrorCase& c, std::ostream* os)
{
    *os << c.name;
}

class ToolFailure : public ::testing::TestWithParam<ErrorCase> {
protected:
    ScratchDirectory dir;
};

TEST_P(ToolFailure, ExitsWithTwoAndOneLineAndWritesNothing)
{
    const ErrorCase& c = GetParam();
    const Args args = c.prepare(dir.path());
    const std::set<std::string> before = listTree(dir.path());

    const ToolRun run = runTool(args, dir.path());
    EXPECT_TRUE(failedWithOneLine(run, c.named));
    EXPECT_EQ("", run.out);
    EXPECT_EQ(before, listTree(dir.path())) << "an output or temporary was left";
    EXPECT_FALSE(fs::exists("/sys/vyrconvert-test-out.raw"));
}

INSTANTIATE_TEST_SUITE_P(Cases, ToolFailure, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace vyr::test
