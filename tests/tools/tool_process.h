// Runs the built vyrconvert as a child process in a scratch directory and captures what it says.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace vyr::test {

namespace fs = std::filesystem;

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

// Runs vyrconvert with these arguments, workingDirectory as its current directory.
ToolRun runTool(const std::vector<std::string>& args, const fs::path& workingDirectory);

void writeFile(const fs::path& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> readFile(const fs::path& path);
// Every entry below root, relative to it (directories too).
std::set<std::string> listTree(const fs::path& root);

// Exit code 2 and exactly one line on stderr containing fragment.
::testing::AssertionResult failedWithOneLine(const ToolRun& run, const std::string& fragment);

// Grey test pixels holding both extremes and a seeded spread between them.
std::vector<uint8_t> greyFrame(uint32_t width, uint32_t height, uint32_t seed);
// MONO8 to RGB8888 and RGB888: every byte of a pixel is its grey value.
std::vector<uint8_t> greyRepeated(const std::vector<uint8_t>& grey, size_t bytesPerPixel);

} // namespace vyr::test
