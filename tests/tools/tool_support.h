// Runs the built vyrconvert in a scratch directory, and writes and reads PNG files with libpng.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
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
    std::string out;
    std::string err;
};

// Runs vyrconvert in dir with args (words without shell syntax) as its arguments.
ToolRun runTool(const std::string& args, const fs::path& dir);
// Runs it and returns the file named by the last argument; fails the test unless it succeeds silently.
std::vector<uint8_t> converted(const std::string& args, const fs::path& dir);

void writeFile(const fs::path& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> readFile(const fs::path& path);
// Every entry below root, relative to it (directories too).
std::set<std::string> listTree(const fs::path& root);

// Exit code 2, nothing on stdout and exactly one line on stderr, containing fragment.
::testing::AssertionResult failedWithOneLine(const ToolRun& run, const std::string& fragment);

// Each byte repeated n times: grey as RGB8888 or RGB888 pixels.
std::vector<uint8_t> repeated(const std::vector<uint8_t>& bytes, size_t n);

// A grey or RGB PNG without alpha or palette, its samples as the file holds them.
struct Png {
    uint32_t width = 0, height = 0;
    bool rgb = false;
    int bitDepth = 8; // 1, 2 and 4 write only
    std::vector<uint16_t> samples;
    bool interlaced = false;
    unsigned significantBits = 0; // of the sBIT chunk, read only; 0 without one

    // An 8-bit picture as R, G, B bytes a pixel (a grey sample three times).
    std::vector<uint8_t> rgbBytes() const;
};

bool writePng(const fs::path& path, const Png& png);
// 8- and 16-bit grey and RGB files only.
std::optional<Png> readPng(const fs::path& path);

} // namespace vyr::test
