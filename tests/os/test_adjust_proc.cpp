// Privilege, working set and system questions on a fake platform: each step's message, exactly, and
// the token closed on every path that opened it; the exports' null and unknown arguments.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "OS/adjust_proc.h"
#include "VyrUtility.h"
#include "buffer_rules.h"

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
Answers g;
int g_opened, g_closed, g_versionCalls;
Lines g_calls; // "<token>/<id>:<enable>" for each apply step, "set <min> <max>" for the working set

class AdjustProc : public BufferRules {
protected:
    AdjustProc() : BufferRules("..\\..\\OS\\Windows\\adjustProc") {}
    void SetUp() override
    {
        BufferRules::SetUp();
        g = Answers();
        g_opened = g_closed = g_versionCalls = 0;
        g_calls.clear();
        p_.openProcessToken = [](os::Handle* token) {
            g_opened += g.open == 1;
            *token = 42;
            return g.open;
        };
        // The identifier is the name's length, so the apply step shows which name it got.
        p_.lookupPrivilege = [](const char* name, uint64_t* id) {
            *id = std::string(name).size();
            return g.lookup;
        };
        p_.adjustPrivilege = [](os::Handle token, uint64_t id, bool enable, uint32_t* lastError) {
            g_calls.push_back(std::to_string(token) + "/" + std::to_string(id) + (enable ? ":1" : ":0"));
            *lastError = g.adjustError;
            return g.adjust;
        };
        p_.closeToken = [](os::Handle token) { g_closed += token == 42; };
        p_.setWorkingSet = [](size_t minimum, size_t maximum, uint32_t* lastError) {
            g_calls.push_back("set " + std::to_string(minimum) + " " + std::to_string(maximum));
            *lastError = g.workingSetError;
            return g.workingSet;
        };
        p_.windowsVersion = [](uint32_t* major, uint32_t* minor) {
            ++g_versionCalls;
            *major = g.major;
            *minor = g.minor;
            return g.versionOk;
        };
    }
    void TearDown() override
    {
        EXPECT_EQ(g_opened, g_closed) << "a token was left open";
        BufferRules::TearDown(); // every line looked at, each of level 0 from this file
    }
};

const std::string kPrefix = "VyrUtilAdjustProcessPrivilege => ";

TEST_F(AdjustProc, EachStepAndItsMessage)
{
    const char* lock = "SeLockMemoryPrivilege"; // 21 characters
    const std::string policy = " \"SeDebugPrivilege\" privilege, please check the local policy";
    // The answers of the open, lookup and apply steps, the apply step's error, the name, enable, the
    // result, the apply step's call (or none) and the message after the prefix (or none).
    const std::tuple<int32_t, int32_t, int32_t, uint32_t, const char*, uint32_t, uint32_t, const char*,
                     std::string>
        cases[] = {
            {1, 1, 1, 0, lock, 1, 1, "42/21:1", ""},
            {1, 1, 1, 0, lock, 0x100, 1, "42/21:1", ""}, // any nonzero enables
            {0, 1, 1, 0, lock, 1, 0, nullptr, "Cannot open process token"},
            {2, 1, 1, 0, lock, 1, 0, nullptr, "Cannot open process token"}, // only exactly 1 succeeds
            {1, 0, 1, 0, lock, 1, 0, nullptr, "Cannot get privilege value for SeLockMemoryPrivilege"},
            {1, 1, 0, 6, lock, 1, 0, "42/21:1", "Cannot adjust token privileges, error 6"},
            // Applied, but the account does not hold the privilege.
            {1, 1, 1, 1300, "SeDebugPrivilege", 1, 0, "42/16:1", "Cannot enable" + policy},
            {1, 1, 1, 1300, "SeDebugPrivilege", 0, 0, "42/16:0", "Cannot disable" + policy},
        };
    for (const auto& [open, lookup, adjust, adjustError, name, enable, result, call, message] : cases) {
        g = {open, lookup, adjust, 1, adjustError};
        g_calls.clear();
        EXPECT_EQ(result, os::adjust_proc::adjustPrivilege(p_, name, enable)) << name;
        EXPECT_EQ(call ? Lines({call}) : Lines(), g_calls);
        EXPECT_EQ(message.empty() ? Lines() : Lines({kPrefix + message}), logged());
    }
}

TEST_F(AdjustProc, WorkingSetAfterTheQuotaPrivilege)
{
    g.workingSet = 7; // the platform's own success value comes back
    EXPECT_EQ(7u, os::adjust_proc::adjustWorkingSet(p_, 4096, 0xFFFFFFFFu));
    g.workingSet = 0;
    g.workingSetError = 0x5A;
    EXPECT_EQ(0u, os::adjust_proc::adjustWorkingSet(p_, 8192, 4096));
    EXPECT_EQ(Lines({"42/24:1", "set 4096 4294967295", "42/24:1", "set 8192 4096"}), g_calls);
    EXPECT_EQ(Lines({"VyrUtilAdjustWorkingSet => Cannot change size of working set (lastError: 0x5a "
                     "min: 8192 max: 4096 )"}),
              logged());
}

TEST_F(AdjustProc, WindowsVersionIsReadOnceAndCompared)
{
    // Whether the version is read, its major and minor numbers, the answer.
    const std::tuple<bool, uint32_t, uint32_t, uint32_t> cases[] = {
        {true, 6, 1, 0}, {true, 6, 2, 1}, {true, 6, 3, 1},  {true, 10, 0, 1},
        {true, 5, 9, 0}, {true, 7, 0, 1}, {false, 10, 0, 0}};
    for (const auto& [ok, major, minor, want] : cases) {
        os::adjust_proc::VersionRecord record;
        g = {1, 1, 1, 1, 0, 0, ok, major, minor};
        g_versionCalls = 0;
        EXPECT_EQ(want, os::adjust_proc::isWindows8AndGreater(p_, record)) << major << "." << minor;
        g.major = want ? 5 : 10; // a second reading would flip the answer
        EXPECT_EQ(want, os::adjust_proc::isWindows8AndGreater(p_, record)) << major << "." << minor;
        EXPECT_EQ(1, g_versionCalls);
    }
}

// The real answers against the system's own reports, read another way.
TEST_F(AdjustProc, RealSystemQuestions)
{
#if defined(_WIN32)
    // The true version (the library's query may report 6.2 for newer systems: the same answer).
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
}

TEST_F(AdjustProc, NullOrUnknownArgumentsOfTheExports)
{
    // What is called, the call, the message after the prefix (or none).
    const std::tuple<const char*, uint32_t (*)(), const char*> cases[] = {
        {"AllocPerfCounter(null)", [] { return VyrUtilAllocPerfCounter(nullptr); }, nullptr},
        {"FreePerfCounter(null)", [] { return VyrUtilFreePerfCounter(nullptr); }, nullptr},
        {"AdjustProcessPrivilege(null)", [] { return VyrUtilAdjustProcessPrivilege(nullptr, 1); },
         "Cannot get privilege value for (null)"},
        {"AdjustProcessPrivilege(unknown)",
         [] { return VyrUtilAdjustProcessPrivilege("SeNoSuchPrivilege", 0); },
         "Cannot get privilege value for SeNoSuchPrivilege"},
    };
    for (const auto& [what, call, message] : cases) {
        EXPECT_EQ(0u, call()) << what;
        EXPECT_EQ(message ? Lines({kPrefix + message}) : Lines(), logged()) << what;
    }
}

} // namespace
} // namespace vyr::test
