// Privilege, working set and system questions on a platform whose answers the test chooses: each
// step's message, exactly, and the token closed on every path that opened it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "OS/adjustProc.h"
#include "VyrUtility.h"
#include "log_capture.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/utsname.h>
#endif

namespace vyr::test {
namespace {

struct Answers {
    int32_t open = 1, lookup = 1, adjust = 1, workingSet = 1;
    uint32_t adjustError = 0, workingSetError = 0;
    bool versionOk = true;
    uint32_t major = 0, minor = 0;
};
Answers g_answers;
int g_opened, g_closed, g_workingSetCalls, g_versionCalls;
std::vector<std::string> g_adjusted; // "<id>:<enable>" for each apply step
size_t g_minimum, g_maximum;

class AdjustProc : public LogCapture {
protected:
    void SetUp() override
    {
        LogCapture::SetUp();
        g_answers = Answers();
        g_opened = g_closed = g_workingSetCalls = g_versionCalls = 0;
        g_adjusted.clear();
        p_ = os::platform();
        p_.openProcessToken = [](os::Handle* token) {
            g_opened += g_answers.open == 1;
            *token = 42;
            return g_answers.open;
        };
        // The identifier is the name's length, so the apply step shows which name it got.
        p_.lookupPrivilege = [](const char* name, uint64_t* id) {
            *id = std::string(name).size();
            return g_answers.lookup;
        };
        p_.adjustPrivilege = [](os::Handle token, uint64_t id, bool enable, uint32_t* lastError) {
            g_adjusted.push_back(std::to_string(token) + "/" + std::to_string(id) + (enable ? ":1" : ":0"));
            *lastError = g_answers.adjustError;
            return g_answers.adjust;
        };
        p_.closeToken = [](os::Handle token) { g_closed += token == 42; };
        p_.setWorkingSet = [](size_t minimum, size_t maximum, uint32_t* lastError) {
            ++g_workingSetCalls;
            g_minimum = minimum;
            g_maximum = maximum;
            *lastError = g_answers.workingSetError;
            return g_answers.workingSet;
        };
        p_.windowsVersion = [](uint32_t* major, uint32_t* minor) {
            ++g_versionCalls;
            *major = g_answers.major;
            *minor = g_answers.minor;
            return g_answers.versionOk;
        };
    }
    void TearDown() override
    {
        EXPECT_EQ(g_opened, g_closed) << "a token was left open";
        LogCapture::TearDown();
    }
    // The one line logged, with the adjustProc file at level 0.
    std::string onlyLine()
    {
        const auto got = lines();
        if (got.size() != 1)
            return "(" + std::to_string(got.size()) + " lines)";
        EXPECT_EQ(0, got[0].level);
        EXPECT_EQ("..\\..\\OS\\Windows\\adjustProc", got[0].file);
        EXPECT_GT(got[0].line, 0);
        return got[0].text;
    }
    os::Platform p_;
};

const std::string kPrefix = "VyrUtilAdjustProcessPrivilege => ";

TEST_F(AdjustProc, EnablingAndDisablingAHeldPrivilegeSucceedSilently)
{
    EXPECT_EQ(1u, proc::adjustPrivilege(p_, "SeLockMemoryPrivilege", 1));
    EXPECT_EQ(1u, proc::adjustPrivilege(p_, "SeLockMemoryPrivilege", 0));
    EXPECT_EQ(1u, proc::adjustPrivilege(p_, "SeLockMemoryPrivilege", 0x100)); // any nonzero enables
    EXPECT_EQ(std::vector<std::string>({"42/21:1", "42/21:0", "42/21:1"}), g_adjusted);
    EXPECT_TRUE(lines().empty());
}

TEST_F(AdjustProc, TokenThatCannotBeOpened)
{
    for (int32_t result : {0, 2}) { // only exactly 1 is success
        g_answers.open = result;
        EXPECT_EQ(0u, proc::adjustPrivilege(p_, "SeLockMemoryPrivilege", 1));
    }
    EXPECT_EQ(std::vector<std::string>(2, kPrefix + "Cannot open process token"), texts());
    EXPECT_TRUE(g_adjusted.empty());
}

TEST_F(AdjustProc, UnknownAndNullNames)
{
    g_answers.lookup = 0;
    EXPECT_EQ(0u, proc::adjustPrivilege(p_, "SeNoSuchPrivilege", 1));
    g_answers.lookup = 1;
    EXPECT_EQ(0u, proc::adjustPrivilege(p_, nullptr, 1));
    EXPECT_EQ(std::vector<std::string>({kPrefix + "Cannot get privilege value for SeNoSuchPrivilege",
                                        kPrefix + "Cannot get privilege value for (null)"}),
              texts());
    EXPECT_TRUE(g_adjusted.empty());
    EXPECT_EQ(2, g_closed);
}

TEST_F(AdjustProc, ApplyStepFailures)
{
    g_answers.adjust = 0;
    g_answers.adjustError = 6;
    EXPECT_EQ(0u, proc::adjustPrivilege(p_, "SeDebugPrivilege", 1));
    // Applied, but the account does not hold the privilege.
    g_answers.adjust = 1;
    g_answers.adjustError = 1300;
    EXPECT_EQ(0u, proc::adjustPrivilege(p_, "SeLockMemoryPrivilege", 1));
    EXPECT_EQ(0u, proc::adjustPrivilege(p_, "SeLockMemoryPrivilege", 0));
    EXPECT_EQ(std::vector<std::string>(
                  {kPrefix + "Cannot adjust token privileges, error 6",
                   kPrefix + "Cannot enable \"SeLockMemoryPrivilege\" privilege, please check the local policy",
                   kPrefix + "Cannot disable \"SeLockMemoryPrivilege\" privilege, please check the local policy"}),
              texts());
    EXPECT_EQ(3, g_closed);
}

TEST_F(AdjustProc, WorkingSetNeedsTheQuotaPrivilegeFirst)
{
    g_answers.adjustError = 1300;
    EXPECT_EQ(0u, proc::adjustWorkingSet(p_, 1 << 20, 2 << 20));
    EXPECT_EQ(0, g_workingSetCalls);
    EXPECT_EQ(kPrefix + "Cannot enable \"SeIncreaseQuotaPrivilege\" privilege, please check the local policy",
              onlyLine());
}

TEST_F(AdjustProc, WorkingSetResults)
{
    g_answers.workingSet = 7; // the platform's own success value comes back
    EXPECT_EQ(7u, proc::adjustWorkingSet(p_, 4096, 0xFFFFFFFFu));
    EXPECT_EQ(4096u, g_minimum);
    EXPECT_EQ(0xFFFFFFFFu, g_maximum);
    EXPECT_EQ(std::vector<std::string>({"42/24:1"}), g_adjusted); // strlen("SeIncreaseQuotaPrivilege")
    EXPECT_TRUE(lines().empty());

    g_answers.workingSet = 0;
    g_answers.workingSetError = 0x5A;
    EXPECT_EQ(0u, proc::adjustWorkingSet(p_, 8192, 4096));
    EXPECT_EQ("VyrUtilAdjustWorkingSet => Cannot change size of working set (lastError: 0x5a min: 8192 max: 4096 )",
              onlyLine());
}

TEST_F(AdjustProc, WindowsVersionIsReadOnceAndCompared)
{
    struct Case {
        bool ok;
        uint32_t major, minor, want;
    };
    const Case cases[] = {{true, 6, 1, 0}, {true, 6, 2, 1}, {true, 6, 3, 1}, {true, 10, 0, 1},
                          {true, 5, 9, 0}, {true, 7, 0, 1}, {false, 10, 0, 0}};
    for (const Case& c : cases) {
        proc::VersionRecord record;
        g_answers.versionOk = c.ok;
        g_answers.major = c.major;
        g_answers.minor = c.minor;
        g_versionCalls = 0;
        EXPECT_EQ(c.want, proc::isWindows8AndGreater(p_, record)) << c.major << "." << c.minor;
        g_answers.major = c.want ? 5 : 10; // a second reading would flip the answer
        EXPECT_EQ(c.want, proc::isWindows8AndGreater(p_, record)) << c.major << "." << c.minor;
        EXPECT_EQ(1, g_versionCalls);
    }
    EXPECT_TRUE(lines().empty());
}

// The real answers against the system's own reports, read another way.
TEST_F(AdjustProc, RealSystemQuestions)
{
#if defined(_WIN32)
    // The true version; the version query the library uses reports at most 6.2 to programs that do
    // not declare newer systems, which does not change the answer.
    using GetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    const auto rtlGetVersion = reinterpret_cast<GetVersionFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll"), "RtlGetVersion")));
    ASSERT_NE(nullptr, rtlGetVersion);
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_EQ(0, rtlGetVersion(&info));
    const bool eight = info.dwMajorVersion > 6 || (info.dwMajorVersion == 6 && info.dwMinorVersion >= 2);
    EXPECT_EQ(eight ? 1u : 0u, VyrUtilIsWindows8AndGreater());
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    EXPECT_EQ(wow64 ? 1u : 0u, VyrUtilIs64BitKernel() ? 1u : 0u);
#else
    EXPECT_EQ(0u, VyrUtilIsWindows8AndGreater());
    utsname u;
    ASSERT_EQ(0, uname(&u));
    const bool kernel64 = std::string(u.machine).find("64") != std::string::npos;
    EXPECT_EQ(sizeof(void*) == 4 && kernel64 ? 1u : 0u, VyrUtilIs64BitKernel());
#endif
    EXPECT_TRUE(lines().empty());
}

} // namespace
} // namespace vyr::test
