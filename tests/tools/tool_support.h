// Runs the built vyrconvert in a scratch directory, and writes and reads PNG files with libpng.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vyr::test {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// A fresh directory under the system temporary directory, removed with everything in it.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

struct ToolRun {
    int exitCode = -1; // or 128 + the signal that ended it
    std::string out, err;
};

// Runs vyrconvert in dir with args (shell words) as its arguments, after the shell commands of setup
// ("ulimit -v 262144; "). Given ready, sends it `signal` as soon as ready() holds (polled, for at
// most 20 s).
ToolRun runTool(const std::string& args, const fs::path& dir, const std::string& setup = "",
                const std::function<bool()>& ready = {}, int signal = 0);
// Runs it and returns the file named by the last argument; fails the test unless it succeeds silently.
Bytes converted(const std::string& args, const fs::path& dir);

void writeFile(const fs::path& path, const Bytes& bytes);
Bytes readFile(const fs::path& path);
// Every entry below root, relative to it (directories too).
std::set<std::string> listTree(const fs::path& root);

// Exit code 2, nothing on stdout and exactly one line on stderr, containing fragment.
::testing::AssertionResult failedWithOneLine(const ToolRun& run, const std::string& fragment);

// Each byte repeated n times: grey as RGB8888 or RGB888 pixels.
Bytes repeated(const Bytes& bytes, size_t n);

bool writeGreyPng(const fs::path& path, uint32_t width, uint32_t height, const Bytes& grey);

struct Png {
    uint32_t width = 0, height = 0;
    bool colour = false; // or grey
    Bytes rgb;           // 8-bit R, G, B a pixel
};
std::optional<Png> readPng(const fs::path& path);

} // namespace vyr::test
