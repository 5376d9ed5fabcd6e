// Collects every VyrLogPutLog line while a test runs.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace vyr::test {

using Lines = std::vector<std::string>;

struct LogLine {
    int32_t level;
    std::string file;
    int32_t line;
    std::string text;
};

class LogCapture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::vector<LogLine> lines() const;
    Lines texts() const; // the texts alone, in order
    Lines logged();      // the texts since the last look

private:
    static void collect(void* self, int32_t level, const char* file, int32_t line, const char* text);
    mutable std::mutex mutex_;
    std::vector<LogLine> lines_;
    size_t seen_ = 0;
};

} // namespace vyr::test
