// Privileges and the working set on the real system. On Linux the capability sets the kernel reports
// in /proc/self/status are the reference; a child that has dropped a capability shows the messages
// of a process without the privilege. On Windows (and wine) the account decides which privileges it
// holds: each result must come with exactly the message that belongs to it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "OS/os.h"
#include "VyrLog.h"
#include "VyrUtility.h"
#include "child_process.h"
#include "log_capture.h"

#if !defined(_WIN32)
#include <fstream>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace vyr::test {
namespace {

const std::string kPrefix = "VyrUtilAdjustProcessPrivilege => ";

std::string policyMessage(const char* verb, const std::string& name)
{
    return kPrefix + "Cannot " + verb + " \"" + name + "\" privilege, please check the local policy";
}

class Privilege : public LogCapture {};

TEST_F(Privilege, UnknownAndNullNamesAreRefused)
{
    EXPECT_EQ(0u, VyrUtilAdjustProcessPrivilege("SeNoSuchPrivilege", 1));
    EXPECT_EQ(0u, VyrUtilAdjustProcessPrivilege(nullptr, 0));
    EXPECT_EQ(std::vector<std::string>({kPrefix + "Cannot get privilege value for SeNoSuchPrivilege",
                                        kPrefix + "Cannot get privilege value for (null)"}),
              texts());
}

#if defined(_WIN32)

// Whatever the account holds: 1 and silence, or 0 and the policy message.
TEST_F(Privilege, EachResultComesWithItsMessage)
{
    for (const char* name : {"SeLockMemoryPrivilege", "SeIncreaseQuotaPrivilege", "SeChangeNotifyPrivilege"}) {
        for (uint32_t enable : {1u, 0u}) {
            const size_t before = texts().size();
            const uint32_t result = VyrUtilAdjustProcessPrivilege(name, enable);
            const auto all = texts();
            const std::vector<std::string> logged(all.begin() + before, all.end());
            if (result == 1)
                EXPECT_TRUE(logged.empty()) << name;
            else
                EXPECT_EQ(std::vector<std::string>({policyMessage(enable ? "enable" : "disable", name)}), logged);
        }
    }
    // Every account holds this one, enabled.
    EXPECT_EQ(1u, VyrUtilAdjustProcessPrivilege("SeChangeNotifyPrivilege", 1));
}

TEST_F(Privilege, WorkingSetFollowsTheQuotaPrivilege)
{
    const uint32_t quota = VyrUtilAdjustProcessPrivilege("SeIncreaseQuotaPrivilege", 1);
    const size_t before = texts().size();
    const uint32_t result = VyrUtilAdjustProcessWorkingSet(16u << 20, 64u << 20);
    if (!quota) {
        EXPECT_EQ(0u, result);
        EXPECT_EQ(policyMessage("enable", "SeIncreaseQuotaPrivilege"), texts().back());
    } else {
        EXPECT_NE(0u, result);
        EXPECT_EQ(before, texts().size());
    }
}

#else

// One capability set of this process, as the kernel reports it.
uint64_t capabilities(const char* set)
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == std::string(set) + ":") {
            std::string hex;
            status >> hex;
            return std::strtoull(hex.c_str(), nullptr, 16);
        }
    }
    return 0;
}

bool has(const char* set, int capability) { return (capabilities(set) >> capability) & 1; }

// Removes a capability from this process's permitted and effective sets.
bool dropCapability(int capability)
{
    __user_cap_header_struct header = {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    data[capability / 32].permitted &= ~(1u << (capability % 32));
    data[capability / 32].effective &= ~(1u << (capability % 32));
    return syscall(SYS_capset, &header, data) == 0;
}

std::vector<std::string> g_childLines;
void collect(void*, int32_t, const char*, int32_t, const char* text) { g_childLines.push_back(text); }

// Answers "<result>|<log line>|..." for each command, so the parent sees results and messages.
VYR_CHILD_MAIN(privilege)
{
    VyrLogSetHandler(collect, nullptr);
    while (auto command = nextCommand()) {
        std::istringstream in(*command);
        std::string verb, name;
        size_t a = 0, b = 0;
        in >> verb;
        g_childLines.clear();
        std::string out;
        if (verb == "drop") {
            in >> a;
            out = dropCapability(int(a)) ? "1" : "0";
        } else if (verb == "adjust") {
            in >> name >> a;
            out = std::to_string(VyrUtilAdjustProcessPrivilege(name.c_str(), uint32_t(a)));
        } else if (verb == "workingset") {
            in >> a >> b;
            out = std::to_string(VyrUtilAdjustProcessWorkingSet(uint32_t(a), uint32_t(b)));
        } else if (verb == "setlimit") { // the platform's step alone
            in >> a >> b;
            uint32_t error = 0;
            const int32_t result = os::platform().setWorkingSet(a, b, &error);
            out = std::to_string(result) + " " + std::to_string(error);
        } else if (verb == "limit") {
            rlimit limit;
            getrlimit(RLIMIT_MEMLOCK, &limit);
            out = std::to_string(limit.rlim_cur) + " " + std::to_string(limit.rlim_max);
        } else if (verb == "effective") {
            in >> a;
            out = has("CapEff", int(a)) ? "1" : "0";
        }
        for (const std::string& line : g_childLines)
            out += "|" + line;
        reply(out);
    }
    return 0;
}

TEST_F(Privilege, LockMemoryFollowsThePermittedCapability)
{
    const bool wasEffective = has("CapEff", CAP_IPC_LOCK);
    const char* name = "SeLockMemoryPrivilege";
    if (has("CapPrm", CAP_IPC_LOCK)) {
        EXPECT_EQ(1u, VyrUtilAdjustProcessPrivilege(name, 0));
        EXPECT_FALSE(has("CapEff", CAP_IPC_LOCK));
        EXPECT_EQ(1u, VyrUtilAdjustProcessPrivilege("selockmemoryprivilege", 1)); // names ignore case
        EXPECT_TRUE(has("CapEff", CAP_IPC_LOCK));
        EXPECT_TRUE(texts().empty());
    } else {
        EXPECT_EQ(0u, VyrUtilAdjustProcessPrivilege(name, 1));
        EXPECT_EQ(std::vector<std::string>({policyMessage("enable", name)}), texts());
    }
    VyrUtilAdjustProcessPrivilege(name, wasEffective);
}

TEST_F(Privilege, ChildWithoutTheCapabilityGetsThePolicyMessage)
{
    ChildProcess child("privilege");
    ASSERT_EQ("1", child.request("drop " + std::to_string(CAP_IPC_LOCK)).value_or("none"));
    EXPECT_EQ("0|" + policyMessage("enable", "SeLockMemoryPrivilege"),
              child.request("adjust SeLockMemoryPrivilege 1").value_or("none"));
    EXPECT_EQ("0", child.request("effective " + std::to_string(CAP_IPC_LOCK)).value_or("none"));
    // Disabling what is not held leaves it in the asked state.
    EXPECT_EQ("1", child.request("adjust SeLockMemoryPrivilege 0").value_or("none"));
}

TEST_F(Privilege, WorkingSetNeedsTheResourceCapability)
{
    ChildProcess child("privilege");
    const std::string before = child.request("limit").value_or("none");
    if (!has("CapPrm", CAP_SYS_RESOURCE)) {
        EXPECT_EQ("0|" + policyMessage("enable", "SeIncreaseQuotaPrivilege"),
                  child.request("workingset 1048576 2097152").value_or("none"));
        EXPECT_EQ(before, child.request("limit").value_or("none")); // not tried
    } else {
        EXPECT_EQ("1", child.request("workingset 1048576 2097152").value_or("none"));
        EXPECT_EQ("1048576 2097152", child.request("limit").value_or("none"));
        EXPECT_EQ("0|VyrUtilAdjustWorkingSet => Cannot change size of working set (lastError: 0x16 min: 8192 "
                  "max: 4096 )",
                  child.request("workingset 8192 4096").value_or("none"));
    }
    ASSERT_EQ("1", child.request("drop " + std::to_string(CAP_SYS_RESOURCE)).value_or("none"));
    EXPECT_EQ("0|" + policyMessage("enable", "SeIncreaseQuotaPrivilege"),
              child.request("workingset 1048576 2097152").value_or("none"));
}

TEST_F(Privilege, LockLimitWithinTheHardLimitNeedsNoCapability)
{
    ChildProcess child("privilege");
    ASSERT_EQ("1", child.request("drop " + std::to_string(CAP_SYS_RESOURCE)).value_or("none"));
    std::istringstream limit(child.request("limit").value_or("0 0"));
    unsigned long long soft = 0, hard = 0;
    limit >> soft >> hard;
    const unsigned long long lower = std::min<unsigned long long>(hard, 1u << 20) / 2;
    EXPECT_EQ("1 0", child.request("setlimit " + std::to_string(lower) + " " + std::to_string(hard)).value_or(""));
    EXPECT_EQ(std::to_string(lower) + " " + std::to_string(hard), child.request("limit").value_or("none"));
    EXPECT_EQ("0 22", child.request("setlimit 8192 4096").value_or("")); // EINVAL: minimum above maximum
}

#endif

} // namespace
} // namespace vyr::test
