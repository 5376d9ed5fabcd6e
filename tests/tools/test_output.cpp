// Where vyrconvert writes: a regular OUTPUT is replaced whole through a temporary beside it, a
// symbolic link is followed, anything else (a named pipe, a device) is written in place, and the
// temporary never outlives a run that a signal ends or a file size limit stops.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include "bytes.h"
#include "tool_support.h"

namespace vyr::test {
namespace {

const std::string kFrame = "--width 7 --height 5 in.raw ";

bool isFifo(const fs::path& path)
{
    struct stat status = {};
    return lstat(path.c_str(), &status) == 0 && S_ISFIFO(status.st_mode);
}

// What the pipe holds now, read without waiting.
Bytes drain(int fd)
{
    Bytes bytes;
    uint8_t buffer[4096];
    for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;)
        bytes.insert(bytes.end(), buffer, buffer + got);
    return bytes;
}

TEST(Output, SymbolicLinksAreFollowedNotReplaced)
{
    ScratchDirectory dir;
    const fs::path& d = dir.path();
    const Bytes grey = randomBytes(35, 51);
    writeFile(d / "in.raw", grey);
    fs::create_directory(d / "sub");
    writeFile(d / "sub/target.raw", {'o', 'l', 'd'});
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
    EXPECT_EQ((std::set<std::string>{"in.raw", "sub", "sub/target.raw", "sub/new.raw", "link.raw",
                                     "chain.raw", "dangling.raw"}),
              listTree(d))
        << "a temporary is left";
}

TEST(Output, NamedPipeIsWrittenInPlace)
{
    ScratchDirectory dir;
    const fs::path& d = dir.path();
    const Bytes grey = randomBytes(35, 52);
    writeFile(d / "in.raw", grey);
    ASSERT_EQ(0, mkfifo((d / "out.fifo").c_str(), 0600));
    fs::create_symlink("out.fifo", d / "link.fifo");
    // A reader that does not wait, so the tool's open finds one; the frame fits in the pipe.
    const int reader = open((d / "out.fifo").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    for (const std::string output : {"out.fifo", "link.fifo"}) {
        const ToolRun run = runTool(kFrame + output, d);
        EXPECT_EQ(0, run.exitCode) << run.err;
        EXPECT_EQ(repeated(grey, 4), drain(reader)) << output;
        EXPECT_TRUE(isFifo(d / "out.fifo")) << output;
    }
    close(reader);
    EXPECT_EQ((std::set<std::string>{"in.raw", "out.fifo", "link.fifo"}), listTree(d));
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
            for (const auto& entry : fs::directory_iterator(d)) {
                if (entry.path().filename().string().rfind(".out.raw.vyrconvert-", 0) == 0)
                    return true;
            }
            return false;
        };
        const ToolRun run = runToolUntil(kFrame + "out.raw", d, temporaryExists, signal);
        close(writer);
        EXPECT_EQ(128 + signal, run.exitCode) << strsignal(signal) << ": " << run.err;
        EXPECT_EQ((std::set<std::string>{"in.raw", "out.raw"}), listTree(d)) << strsignal(signal);
        EXPECT_EQ((Bytes{'o', 'l', 'd'}), readFile(d / "out.raw")) << strsignal(signal);
    }
}

// Past the file size limit the write fails like any other: one line, no temporary, no signal.
TEST(Output, FileSizeLimitIsAnErrorOfTheWrite)
{
    ScratchDirectory dir;
    const fs::path& d = dir.path();
    writeFile(d / "in.raw", randomBytes(64 * 64, 53));
    writeFile(d / "out.raw", {'o', 'l', 'd'});
    // 8 blocks of at most 1 KiB: below the 16 KiB of output, above the one line of stderr.
    const ToolRun run = runTool("--width 64 --height 64 in.raw out.raw", d, "ulimit -f 8; ");
    EXPECT_TRUE(failedWithOneLine(run, "cannot write 'out.raw'"));
    EXPECT_EQ((std::set<std::string>{"in.raw", "out.raw"}), listTree(d));
    EXPECT_EQ((Bytes{'o', 'l', 'd'}), readFile(d / "out.raw"));
}

} // namespace
} // namespace vyr::test
