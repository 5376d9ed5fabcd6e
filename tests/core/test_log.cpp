// LogPrintf's 255-character cut, the bounded string helpers and the in-process lifecycle pieces.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "VyrUtility.h"
#include "core/lifecycle.h"
#include "core/log.h"
#include "core/strings.h"
#include "log_capture.h"

namespace vyr::test {

using namespace core;
namespace {

class Logging : public LogCapture {};

// Each line at level 0 with its file and line; the text cut at 255 characters, inside an argument too.
TEST_F(Logging, LinesCarryLevelFileAndLineAndAreCutAt255Characters)
{
    const std::string exact(255, 'e'), longer = std::string(250, 'a') + std::string(50, 'b');
    LogPrintf("VyrUtilAllocSharedBuffer => Unable to create file mapping (lastError= %#08lx)",
              kFileSharedBuffer, 321, 2ul);
    LogPrintf("%s", kFileAdjustProc, 1, exact.c_str());
    LogPrintf("%s", kFileAdjustProc, 2, longer.c_str());
    LogPrintf("%s%d", kFileAdjustProc, 3, std::string(253, 'x').c_str(), 12345);
    const auto got = lines();
    ASSERT_EQ(4u, got.size());
    EXPECT_EQ(0, got[0].level);
    EXPECT_EQ("..\\..\\OS\\Windows\\sharedBuffer", got[0].file);
    EXPECT_EQ(321, got[0].line);
    const std::vector<std::string> want = {
        "VyrUtilAllocSharedBuffer => Unable to create file mapping (lastError= 0x000002)", exact,
        longer.substr(0, 255), std::string(253, 'x') + "12"};
    EXPECT_EQ(want, texts());
}

TEST_F(Logging, StartUpStepSucceedsSilently)
{
    EXPECT_EQ(1, VyrUtilInitInstance());
    EXPECT_TRUE(startProcess());
    EXPECT_TRUE(lines().empty());
}

// Both keep capacity - 1 characters and a terminator; a capacity of 0 or past 2^31 - 1 is refused.
TEST(BoundedStrings, CopyAndFormatCutAndTerminate)
{
    char buf[8];
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(kStringTruncated, boundedCopy(buf, 5, "GenuineIntel"));
    EXPECT_EQ(std::string("Genu\0#", 6), std::string(buf, 6));
    EXPECT_EQ(kStringInvalidCapacity, boundedCopy(buf, 0, "abc"));
    EXPECT_EQ('G', buf[0]); // nothing written
    EXPECT_EQ(kStringInvalidCapacity, boundedCopy(buf, 0x80000000u, "abc"));
    EXPECT_EQ('\0', buf[0]); // a terminator only

    char name[260];
    const std::string base(258, 'n');
    EXPECT_EQ(kStringTruncated, boundedFormat(name, sizeof name, "%s_LOCK", base.c_str()));
    EXPECT_EQ(base + "_", std::string(name));
    EXPECT_EQ(kStringOk, boundedFormat(name, sizeof name, "%s_LOCK", "frame"));
    EXPECT_STREQ("frame_LOCK", name);
}

} // namespace
} // namespace vyr::test
