// vyrconvert on an input it did not make: a raw or PNG frame read with any combination of options,
// converted and written out as raw or PNG. The run goes through the tool's own command line, so
// every check it makes is on the way; its refusals (ToolError) are answers, anything else a bug.
//
// Input: seven bytes that make the command line (byte 0 which options are given and PNG input or
// output, bytes 1-5 the formats, unused bits and size, byte 6 pattern, method, threads and whether
// --to is left out), then the input file. Choices past the known ones are names nothing has.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli.h"
#include "error.h"
#include "frame.h"
#include "registry.h"

namespace {

using namespace vyr::tool;

constexpr size_t kCommandBytes = 7;
constexpr const char* kUnknownNames[] = {"", "NOPE"};

// A directory of the fuzzer's own: the input file under both names, and outputs that are links to
// /dev/null, so nothing is kept and the raw and PNG writers both run.
std::string gScratch;

std::string scratchPath(const char* name) { return gScratch + "/" + name; }

void removeScratch()
{
    for (const char* name : {"in.raw", "in.png", "out.raw", "out.png"})
        unlink(scratchPath(name).c_str());
    rmdir(gScratch.c_str());
}

void writeInput(const std::string& path, const uint8_t* data, size_t size)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || write(fd, data, size) != ssize_t(size))
        std::abort(); // the harness cannot work without its file
    close(fd);
}

std::string formatName(uint8_t pick)
{
    const std::vector<const Format*>& formats = allFormats();
    const size_t choices = formats.size() + std::size(kUnknownNames);
    const size_t i = pick % choices;
    return i < formats.size() ? formats[i]->name : kUnknownNames[i - formats.size()];
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // In memory where there is a tmpfs: a file rewritten on disk thousands of times a second would
    // set the pace.
    gScratch = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    gScratch += "/vyrconvert-fuzz-XXXXXX";
    if (!mkdtemp(gScratch.data()))
        std::abort();
    for (const char* name : {"out.raw", "out.png"}) {
        if (symlink("/dev/null", scratchPath(name).c_str()) != 0)
            std::abort();
    }
    std::atexit(removeScratch);
    // Small frames keep every run fast; the limit's own check is on the way all the same.
    setFrameByteLimit(uint64_t(1) << 20);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < kCommandBytes)
        return 0;
    const uint8_t flags = data[0], extras = data[6];
    const bool pngInput = flags & 1;
    std::vector<std::string> args = {"vyrconvert"};
    auto add = [&args](std::initializer_list<std::string> words) { args.insert(args.end(), words); };
    if (flags & 4)
        add({"--from", formatName(data[1])});
    if (!(extras & 128))
        add({"--to", formatName(data[2])});
    if (flags & 8)
        add({"--unused-bits", std::to_string(data[3] % 33)});
    if (!pngInput || (flags & 128))
        add({"--width", std::to_string(data[4] + 1), "--height", std::to_string(data[5] + 1)});
    if (flags & 16)
        add({"--pattern", (extras & 7) < 4 ? patternName(extras & 7) : "RGBG"});
    if (flags & 32)
        add({"--method", extras & 16 ? "3x3" : extras & 8 ? "malvar" : "2x2"});
    if (flags & 64)
        add({"--blue-first"});
    add({"--threads", std::to_string(1 + (extras >> 5 & 3))});

    const std::string input = scratchPath(pngInput ? "in.png" : "in.raw");
    writeInput(input, data + kCommandBytes, size - kCommandBytes);
    add({input, scratchPath(flags & 2 ? "out.png" : "out.raw")});

    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    try {
        run(int(args.size()), argv.data());
    } catch (const ToolError&) {
        // a refusal with its one line: what the tool owes a bad input
    }
    return 0;
}
