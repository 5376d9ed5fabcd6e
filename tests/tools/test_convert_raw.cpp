// vyrconvert on raw frames: the converted bytes, format names, defaults and thread splitting.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "bytes.h"
#include "tool_process.h"

namespace vyr::test {
namespace {

struct RgbTarget {
    const char* name;
    size_t bytesPerPixel;
};

void PrintTo(const RgbTarget& target, std::ostream* os)
{
    *os << target.name;
}

class RawConversion : public ::testing::TestWithParam<RgbTarget> {
protected:
    ScratchDirectory dir;
};

TEST_P(RawConversion, Mono8FrameBecomesTheExpectedBytes)
{
    const RgbTarget target = GetParam();
    const std::vector<uint8_t> grey = greyFrame(7, 5, 11);
    writeFile(dir.path() / "in.raw", grey);

    const ToolRun run = runTool({"--from", "MONO8", "--to", target.name, "--width", "7", "--height", "5",
                                 "in.raw", "out.raw"},
                                dir.path());
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ("", run.err);
    const std::vector<uint8_t> expected = greyRepeated(grey, target.bytesPerPixel);
    const std::vector<uint8_t> actual = readFile(dir.path() / "out.raw");
    ASSERT_EQ(expected.size(), actual.size());
    EXPECT_TRUE(sameBytes(expected.data(), actual.data(), expected.size()));
    EXPECT_EQ((std::set<std::string>{"in.raw", "out.raw"}), listTree(dir.path())) << "a temporary is left";
}

TEST_P(RawConversion, FormatNamesIgnoreCaseAndOptionsTakeInlineValues)
{
    const RgbTarget target = GetParam();
    const std::vector<uint8_t> grey = greyFrame(4, 3, 12);
    writeFile(dir.path() / "in.raw", grey);
    std::string lowerName = target.name;
    for (char& c : lowerName)
        c = char(std::tolower(static_cast<unsigned char>(c)));

    const ToolRun run = runTool({"--from=mono8", "--to=" + lowerName, "--width=4", "--height=3", "in.raw", "out.raw"},
                                dir.path());
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ(greyRepeated(grey, target.bytesPerPixel), readFile(dir.path() / "out.raw"));
}

// Lines split unevenly between bands, and more threads than lines, must still cover every line once.
TEST_P(RawConversion, EveryThreadCountGivesTheSameBytes)
{
    const RgbTarget target = GetParam();
    const std::vector<uint8_t> grey = greyFrame(64, 37, 13);
    writeFile(dir.path() / "in.raw", grey);
    const std::vector<uint8_t> expected = greyRepeated(grey, target.bytesPerPixel);

    const ToolRun single = runTool({"--to", target.name, "--width", "64", "--height", "37", "in.raw", "one.raw"},
                                   dir.path());
    ASSERT_EQ(0, single.exitCode) << single.err;
    const std::vector<uint8_t> singleBytes = readFile(dir.path() / "one.raw");
    EXPECT_EQ(expected, singleBytes);
    for (const char* threads : {"2", "3", "64"}) {
        const ToolRun run = runTool({"--threads", threads, "--to", target.name, "--width", "64", "--height", "37",
                                     "in.raw", "many.raw"},
                                    dir.path());
        ASSERT_EQ(0, run.exitCode) << run.err;
        const std::vector<uint8_t> bytes = readFile(dir.path() / "many.raw");
        ASSERT_EQ(singleBytes.size(), bytes.size()) << threads << " threads";
        EXPECT_TRUE(sameBytes(singleBytes.data(), bytes.data(), bytes.size())) << threads << " threads";
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, RawConversion,
                         ::testing::Values(RgbTarget{"RGB8888", 4}, RgbTarget{"RGB888", 3}),
                         [](const auto& info) { return std::string(info.param.name); });

class RawInput : public ::testing::Test {
protected:
    ScratchDirectory dir;
};

TEST_F(RawInput, DefaultsToMono8ToRgb8888)
{
    const std::vector<uint8_t> grey = greyFrame(5, 2, 14);
    writeFile(dir.path() / "in.raw", grey);
    const ToolRun run = runTool({"--width", "5", "--height", "2", "in.raw", "out.raw"}, dir.path());
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ(greyRepeated(grey, 4), readFile(dir.path() / "out.raw"));
}

TEST_F(RawInput, BytesAfterTheFrameAreIgnored)
{
    std::vector<uint8_t> file = greyFrame(3, 2, 15);
    const std::vector<uint8_t> grey = file;
    file.insert(file.end(), {1, 2, 3, 4, 5});
    writeFile(dir.path() / "in.raw", file);
    const ToolRun run = runTool({"--to", "RGB888", "--width", "3", "--height", "2", "in.raw", "out.raw"}, dir.path());
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ(greyRepeated(grey, 3), readFile(dir.path() / "out.raw"));
}

TEST_F(RawInput, ReplacesAnExistingOutputOnSuccessAndKeepsItOnFailure)
{
    const std::vector<uint8_t> grey = greyFrame(3, 3, 16);
    writeFile(dir.path() / "in.raw", grey);
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    writeFile(dir.path() / "out.raw", old);

    const ToolRun tooShort = runTool({"--width", "3", "--height", "4", "in.raw", "out.raw"}, dir.path());
    EXPECT_TRUE(failedWithOneLine(tooShort, "in.raw"));
    EXPECT_EQ(old, readFile(dir.path() / "out.raw"));

    const ToolRun run = runTool({"--width", "3", "--height", "3", "in.raw", "out.raw"}, dir.path());
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ(greyRepeated(grey, 4), readFile(dir.path() / "out.raw"));
    EXPECT_EQ((std::set<std::string>{"in.raw", "out.raw"}), listTree(dir.path()));
}

// The temporary is private while written; the output it becomes must not stay so.
TEST_F(RawInput, OutputGetsThePermissionsOfAPlainCreate)
{
    writeFile(dir.path() / "in.raw", greyFrame(2, 2, 17));
    const mode_t mask = umask(022);
    const ToolRun run = runTool({"--width", "2", "--height", "2", "in.raw", "out.raw"}, dir.path());
    umask(mask);
    ASSERT_EQ(0, run.exitCode) << run.err;
    struct stat status {};
    ASSERT_EQ(0, stat((dir.path() / "out.raw").c_str(), &status));
    EXPECT_EQ(0644u, status.st_mode & 0777u);
}

} // namespace
} // namespace vyr::test
