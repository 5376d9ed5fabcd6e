// Where vyrconvert writes: a regular OUTPUT is replaced whole through a temporary beside it, a
// symbolic link is followed, anything else (a named pipe, a device) is written in place, and the
// temporary never outlives a run that a signal ends or a file size limit stops. Failures: exit code
// 2, one line on stderr naming the problem, nothing on stdout and nothing written (no output, no
// temporary, and an existing output untouched).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <csignal>
#include <utility>

#include "bytes.h"
#include "tool_support.h"

namespace vyr::test {
namespace {

const std::string kFrame = "--width 7 --height 5 in.raw ";

TEST(Output, SymbolicLinksAreFollowedAndNamedPipesWrittenInPlace)
{
    ScratchDirectory dir;
    const fs::path& d = dir.path();
    const Bytes grey = randomBytes(35, 51);
    writeFile(d / "in.raw", grey);
    fs::create_directory(d / "sub");
    fs::create_symlink("sub/target.raw", d / "link.raw");
    fs::create_symlink("link.raw", d / "chain.raw");
    fs::create_symlink("sub/new.raw", d / "dangling.raw"); // created where it points, as by a shell
    for (const std::string link : {"link.raw", "chain.raw", "dangling.raw"}) {
        const fs::path target = d / (link == "dangling.raw" ? "sub/new.raw" : "sub/target.raw");
        if (link != "dangling.raw")
            writeFile(target, {'o', 'l', 'd'});
        EXPECT_EQ(repeated(grey, 4), converted(kFrame + link, d)) << link;
        EXPECT_TRUE(fs::is_symlink(d / link)) << link << " was replaced";
        EXPECT_EQ(repeated(grey, 4), readFile(target)) << link;
    }
    ASSERT_EQ(0, mkfifo((d / "out.fifo").c_str(), 0600));
    fs::create_symlink("out.fifo", d / "link.fifo");
    // A reader that does not wait, so the tool's open finds one; the frame fits in the pipe.
    const int reader = open((d / "out.fifo").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    for (const std::string output : {"out.fifo", "link.fifo"}) {
        const ToolRun run = runTool(kFrame + output, d);
        EXPECT_EQ(0, run.exitCode) << run.err;
        Bytes got(4096); // what the pipe holds now, read without waiting
        got.resize(size_t(std::max<ssize_t>(0, read(reader, got.data(), got.size()))));
        EXPECT_EQ(repeated(grey, 4), got) << output;
        EXPECT_TRUE(fs::is_fifo(fs::symlink_status(d / "out.fifo"))) << output;
    }
    close(reader);
    EXPECT_EQ((std::set<std::string>{"in.raw", "sub", "sub/target.raw", "sub/new.raw", "link.raw",
                                     "chain.raw", "dangling.raw", "out.fifo", "link.fifo"}),
              listTree(d))
        << "a temporary is left";
}

// The tool opens its temporary before it reads the input, so an input pipe that stays empty holds
// it there.
TEST(Output, TemporaryRemovedWhenASignalEndsTheRun)
{
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        ScratchDirectory dir;
        const fs::path& d = dir.path();
        writeFile(d / "out.raw", {'o', 'l', 'd'});
        ASSERT_EQ(0, mkfifo((d / "in.raw").c_str(), 0600));
        const int writer = open((d / "in.raw").c_str(), O_RDWR); // a writer that never writes
        ASSERT_GE(writer, 0);
        const auto temporaryExists = [&d] {
            return std::any_of(fs::directory_iterator(d), {}, [](const fs::directory_entry& entry) {
                return entry.path().filename().string().rfind(".out.raw.vyrconvert-", 0) == 0;
            });
        };
        const ToolRun run = runTool(kFrame + "out.raw", d, "", temporaryExists, signal);
        close(writer);
        EXPECT_EQ(128 + signal, run.exitCode) << strsignal(signal) << ": " << run.err;
        EXPECT_EQ((std::set<std::string>{"in.raw", "out.raw"}), listTree(d)) << strsignal(signal);
        EXPECT_EQ((Bytes{'o', 'l', 'd'}), readFile(d / "out.raw")) << strsignal(signal);
    }
}

// The arguments (given --width 7 --height 5 unless they name --height, --demo or a PNG) and what the
// message must name. The scratch directory holds in.raw (a 7x5 MONO8 frame), bad.png (not a PNG),
// huge.png and vast.png (grey PNGs that claim 20000 x 20000 and 100000 x 100000 pixels in 65 bytes),
// big.raw (a 64x64 MONO8 frame: 16 KiB as RGB8888, past the file size limit), out.raw and the
// directory out-dir.raw.
const std::pair<const char*, const char*> kCases[] = {
    {"--from FOO in.raw out.raw", "'FOO'"},
    {"--to BAR in.raw out.raw", "'BAR'"},
    {"--from '' in.raw out.raw", "--from: unknown format ''"},
    {"--to '' in.raw out.raw", "--to: unknown format ''"},
    {"--from MONO16 --to MONO8 --unused-bits 24 in.raw out.raw", "MONO16toMONO8 takes --unused-bits 0 to 8"},
    {"--from RGB565 --to RGB888 --unused-bits 3 in.raw out.raw", "RGB565toRGB888 takes --unused-bits 0 to 2"},
    {"--from Bicolor1616 --to RGB888 --unused-bits 9 in.raw out.raw", "takes --unused-bits 0 to 8"},
    {"--from rgb565 --to MONO8 in.raw out.raw", "no conversion from RGB565 to MONO8"},
    {"--from Bayer8 in.raw out.raw", "needs --pattern"},
    {"--from Bayer8 --pattern RGGB --method 3x3 in.raw out.raw", "'3x3'"},
    {"--pattern RGGB in.raw out.raw", "takes no --pattern"},
    {"--width 7 --height 6 in.raw out.raw",
     "too short: frame of 7 x 6 MONO8 needs 42 bytes, more than its 35"},
    // Claimed sizes are checked before anything is allocated for them.
    {"--width 20000 --height 20000 in.raw out.raw", "frame of 20000 x 20000 MONO8 needs 400000000 bytes"},
    {"--width 20000 --height 20000 /dev/null out.raw", "needs 400000000 bytes, more than its 0"},
    {"--width 1048576 --height 1048576 in.raw out.raw",
     "frame of 1048576 x 1048576 MONO8 needs 1099511627776 bytes, more than the limit of"},
    {"huge.png out.raw", "frame of 20000 x 20000 MONO8 needs 400000000 bytes, more than a PNG of 65 bytes"},
    {"vast.png out.raw", "frame of 100000 x 100000 MONO8 needs 10000000000 bytes, more than"},
    {"--height 5 in.raw out.raw", "--width"},
    {"--width 7x --height 5 in.raw out.raw", "--width '7x'"},
    {"no-such.raw out.raw", "no-such.raw"},
    {"bad.png out.raw", "not a PNG"},
    {"in.raw missing-dir/out.raw", "missing-dir/out.raw"},
    {"in.raw missing-dir/out.png", "missing-dir/out.png"},
    {"in.raw out-dir.raw", "out-dir.raw"},
    {"in.raw", "missing OUTPUT"},
    {"--frobnicate in.raw out.raw", "--frobnicate"},
    {"--threads 0 in.raw out.raw", "--threads '0'"},
    {"--demo --pattern RGGB", "--demo"},
    // Past the file size limit the write fails like any other: one line, no temporary, no signal.
    {"--width 64 --height 64 big.raw out.raw", "cannot write 'out.raw'"},
};

void appendBe32(Bytes& bytes, uint32_t word)
{
    bytes.insert(bytes.end(), {uint8_t(word >> 24), uint8_t(word >> 16), uint8_t(word >> 8), uint8_t(word)});
}

void appendChunk(Bytes& png, const char* type, const Bytes& data)
{
    Bytes chunk(type, type + 4);
    chunk.insert(chunk.end(), data.begin(), data.end());
    appendBe32(png, uint32_t(data.size()));
    png.insert(png.end(), chunk.begin(), chunk.end());
    appendBe32(png, uint32_t(crc32(0, chunk.data(), uInt(chunk.size()))));
}

// An 8-bit grey PNG that claims width x height pixels and holds none: a header, an empty
// compressed stream and the end.
Bytes pngClaiming(uint32_t width, uint32_t height)
{
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header;
    appendBe32(header, width);
    appendBe32(header, height);
    header.insert(header.end(), {8, 0, 0, 0, 0}); // depth 8, grey, deflate, no filter, no interlace
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", {0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01}); // zlib's stream of nothing
    appendChunk(png, "IEND", {});
    return png;
}

// Under a memory limit far below the sizes claimed above, none of them is allocated; the file size
// limit, 8 blocks of at most 1 KiB, holds one line of stderr.
TEST(ToolFailure, ExitsWithTwoAndOneLineAndWritesNothing)
{
    const Bytes old = {'o', 'l', 'd'};
    for (const auto& [given, named] : kCases) {
        ScratchDirectory dir;
        writeFile(dir.path() / "in.raw", randomBytes(7 * 5, 31));
        writeFile(dir.path() / "big.raw", randomBytes(64 * 64, 53));
        writeFile(dir.path() / "bad.png", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g', '\n'});
        writeFile(dir.path() / "huge.png", pngClaiming(20000, 20000));
        writeFile(dir.path() / "vast.png", pngClaiming(100000, 100000));
        writeFile(dir.path() / "out.raw", old);
        fs::create_directory(dir.path() / "out-dir.raw");
        std::string args = given;
        if (args.find("--height") == std::string::npos && args.find("--demo") == std::string::npos &&
            args.find(".png ") == std::string::npos)
            args += " --width 7 --height 5";
        const std::set<std::string> before = listTree(dir.path());
        EXPECT_TRUE(failedWithOneLine(runTool(args, dir.path(), "ulimit -v 262144; ulimit -f 8; "), named))
            << args;
        EXPECT_EQ(before, listTree(dir.path())) << args << ": an output or temporary was left";
        EXPECT_EQ(old, readFile(dir.path() / "out.raw")) << args;
    }
}

} // namespace
} // namespace vyr::test
