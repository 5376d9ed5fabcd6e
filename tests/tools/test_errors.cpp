// Failures vyrconvert reports: exit code 2, one line on stderr naming the problem, nothing on stdout
// and nothing written (no output, no temporary, and an existing output untouched).
#include <gtest/gtest.h>

#include "bytes.h"
#include "tool_support.h"

namespace vyr::test {
namespace {

struct ErrorCase {
    const char* args;                // given --width 7 --height 5 unless they name --height or --demo
    const char* named;               // what the message must name
    const char* directory = nullptr; // made before the run
};

// The scratch directory holds in.raw (a 7x5 MONO8 frame), bad.png (not a PNG) and out.raw.
const ErrorCase kCases[] = {
    {"--from FOO in.raw out.raw", "'FOO'"},
    {"--to BAR in.raw out.raw", "'BAR'"},
    {"--from rgb565 --to MONO8 in.raw out.raw", "no conversion from RGB565 to MONO8"},
    {"--from Bayer8 in.raw out.raw", "needs --pattern"},
    {"--from Bayer8 --pattern RGGB --method 3x3 in.raw out.raw", "'3x3'"},
    {"--pattern RGGB in.raw out.raw", "takes no --pattern"},
    {"--width 7 --height 6 in.raw out.raw", "too short"},
    {"--height 5 in.raw out.raw", "--width"},
    {"--width 7x --height 5 in.raw out.raw", "--width '7x'"},
    {"no-such.raw out.raw", "no-such.raw"},
    {"bad.png out.raw", "not a PNG"},
    {"in.raw missing-dir/out.raw", "missing-dir/out.raw"},
    {"in.raw missing-dir/out.png", "missing-dir/out.png"},
    {"in.raw out-dir.raw", "out-dir.raw", "out-dir.raw"},
    {"in.raw", "missing OUTPUT"},
    {"--frobnicate in.raw out.raw", "--frobnicate"},
    {"--threads 0 in.raw out.raw", "--threads '0'"},
    {"--demo --pattern RGGB", "--demo"},
};

TEST(ToolFailure, ExitsWithTwoAndOneLineAndWritesNothing)
{
    const Bytes old = {'o', 'l', 'd'};
    for (const ErrorCase& c : kCases) {
        ScratchDirectory dir;
        writeFile(dir.path() / "in.raw", randomBytes(7 * 5, 31));
        writeFile(dir.path() / "bad.png", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g', '\n'});
        writeFile(dir.path() / "out.raw", old);
        if (c.directory)
            fs::create_directory(dir.path() / c.directory);
        std::string args = c.args;
        if (args.find("--height") == std::string::npos && args.find("--demo") == std::string::npos)
            args += " --width 7 --height 5";
        const std::set<std::string> before = listTree(dir.path());
        EXPECT_TRUE(failedWithOneLine(runTool(args, dir.path()), c.named)) << args;
        EXPECT_EQ(before, listTree(dir.path())) << args << ": an output or temporary was left";
        EXPECT_EQ(old, readFile(dir.path() / "out.raw")) << args;
    }
}

} // namespace
} // namespace vyr::test
