// Every failure vyrconvert reports: exit code 2, one line on stderr naming the problem, nothing on
// stdout and nothing written (no output and no temporary).
#include <gtest/gtest.h>
#include <unistd.h>

#include "bytes.h"
#include "tool_support.h"

namespace vyr::test {
namespace {

// What the directory holds before the run; every setup but None and InputDirectory has in.raw, a
// random frame large enough for every conversion at 7x5.
enum class Setup {
    None,
    Raw,
    InputDirectory,
    NotPng,
    TruncatedPng,
    ColourPng,
    GreyPng,
    OutputDirectory,
    ReadOnly
};

struct ErrorCase {
    Setup setup;
    const char* args;  // RO stands for a directory the tool may not write in
    const char* named; // what the message must name
};

const ErrorCase kCases[] = {
    // Formats, conversions and their options
    {Setup::Raw, "--from FOO in.raw out.raw", "'FOO'"},
    {Setup::Raw, "--to BAR in.raw out.raw", "'BAR'"},
    {Setup::Raw, "--from rgb565 --to MONO8 in.raw out.raw", "no conversion from RGB565 to MONO8"},
    {Setup::Raw, "--unused-bits 2 in.raw out.raw", "--unused-bits"},
    {Setup::Raw, "--from Bicolor1616 --unused-bits 9 in.raw out.raw", "0 to 8"},
    {Setup::Raw, "--from Bayer8 in.raw out.raw", "needs --pattern"},
    {Setup::Raw, "--from Bayer8 --pattern RGBG in.raw out.raw", "'RGBG'"},
    {Setup::Raw, "--from Bayer8 --pattern RGGB --method 3x3 in.raw out.raw", "'3x3'"},
    {Setup::Raw, "--pattern RGGB in.raw out.raw", "takes no --pattern"},
    {Setup::Raw, "--from Bicolor88 --method 2x2 in.raw out.raw", "takes no --method"},
    {Setup::Raw, "--from Bayer8 --pattern RGGB --blue-first in.raw out.raw", "takes no --blue-first"},
    {Setup::Raw, "--from Bayer8 --pattern RGGB --width 3 --height 5 in.raw out.raw", "4x2"},
    {Setup::Raw, "--from Bayer15 --to RGBP16 --pattern RGGB --method 2x2 --width 7 --height 1 in.raw out.raw",
     "2x2"},
    // Raw frame size
    {Setup::Raw, "--height 5 in.raw out.raw", "--width"},
    {Setup::Raw, "--width 7 in.raw out.raw", "--height"},
    {Setup::Raw, "--width 0 --height 5 in.raw out.raw", "--width '0'"},
    {Setup::Raw, "--width 7x --height 5 in.raw out.raw", "--width '7x'"},
    {Setup::Raw, "--width 7 --height -5 in.raw out.raw", "--height '-5'"},
    {Setup::Raw, "--width 99999999999 --height 5 in.raw out.raw", "--width '99999999999'"},
    {Setup::Raw, "--from RGB16161616 --to RGB888 --width 7 --height 6 in.raw out.raw", "too short"},
    // Inputs
    {Setup::None, "no-such.raw out.raw", "no-such.raw"},
    {Setup::InputDirectory, "in.raw out.raw", "in.raw"},
    {Setup::NotPng, "in.png out.raw", "not a PNG"},
    {Setup::TruncatedPng, "in.png out.raw", "cannot read PNG 'in.png'"},
    {Setup::ColourPng, "in.png out.raw", "(8-bit RGB PNG) is not a"},
    {Setup::GreyPng, "--width 10 in.png out.raw", "--width 10"},
    // Outputs
    {Setup::Raw, "in.raw missing-dir/out.raw", "missing-dir/out.raw"},
    {Setup::Raw, "in.raw missing-dir/out.png", "missing-dir/out.png"},
    {Setup::OutputDirectory, "in.raw out.raw", "out.raw"},
    {Setup::ReadOnly, "in.raw RO/vyrconvert-test-out.raw", "vyrconvert-test-out.raw"},
    // Usage
    {Setup::Raw, "in.raw", "missing OUTPUT"},
    {Setup::Raw, "in.raw out.raw extra", "'extra'"},
    {Setup::Raw, "--frobnicate in.raw out.raw", "--frobnicate"},
    {Setup::Raw, "--height 5 in.raw out.raw --width", "--width needs a value"},
    {Setup::Raw, "--threads 0 in.raw out.raw", "--threads '0'"},
    {Setup::Raw, "--demo in.raw out.raw", "--demo"},
    {Setup::None, "--demo --pattern RGGB", "--demo"},
};

// Writes what the setup asks for and returns the arguments, with the 7x5 frame size unless they
// give one or ask for the demo.
std::string prepare(const ErrorCase& c, const fs::path& dir)
{
    if (c.setup != Setup::None && c.setup != Setup::InputDirectory)
        writeFile(dir / "in.raw", randomBytes(7 * 5 * 6, 31));
    const bool rgb = c.setup == Setup::ColourPng;
    const Png png{3, 2, rgb, 8, std::vector<uint16_t>(rgb ? 18 : 6, 9)};
    std::string args = c.args;
    switch (c.setup) {
    case Setup::InputDirectory:
        fs::create_directory(dir / "in.raw");
        break;
    case Setup::NotPng:
        writeFile(dir / "in.png", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g', '\n'});
        break;
    case Setup::TruncatedPng:
        EXPECT_TRUE(writePng(dir / "in.png", png));
        fs::resize_file(dir / "in.png", fs::file_size(dir / "in.png") / 2);
        break;
    case Setup::ColourPng:
    case Setup::GreyPng:
        EXPECT_TRUE(writePng(dir / "in.png", png));
        break;
    case Setup::OutputDirectory:
        fs::create_directory(dir / "out.raw");
        break;
    case Setup::ReadOnly: // permission bits do not stop root, which cannot create files in /sys either
        if (geteuid() != 0) {
            fs::create_directory(dir / "ro");
            fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::owner_exec);
        }
        args.replace(args.find("RO"), 2, geteuid() == 0 ? "/sys" : "ro");
        break;
    default:
        break;
    }
    for (const char* given : {"--width", "--height", "--demo"})
        if (args.find(given) != std::string::npos)
            return args;
    return args + " --width 7 --height 5";
}

TEST(ToolFailure, ExitsWithTwoAndOneLineAndWritesNothing)
{
    for (const ErrorCase& c : kCases) {
        ScratchDirectory dir;
        const std::string args = prepare(c, dir.path());
        const std::set<std::string> before = listTree(dir.path());
        EXPECT_TRUE(failedWithOneLine(runTool(args, dir.path()), c.named)) << args;
        EXPECT_EQ(before, listTree(dir.path())) << args << ": an output or temporary was left";
    }
    EXPECT_FALSE(fs::exists("/sys/vyrconvert-test-out.raw"));
}

} // namespace
} // namespace vyr::test
