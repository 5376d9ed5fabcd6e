// Privileges and the working set on the real system: on Linux against the kernel's own reports, in a
// child that drops capabilities; on Windows (and wine) each result with exactly its messages.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "OS/os.h"
#include "VyrUtility.h"
#include "child_process.h"
#include "log_capture.h"

#if !defined(_WIN32)
#include <fstream>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#endif

namespace vyr::test {
namespace {

using Lines = std::vector<std::string>;

std::string policy(const char* verb, const std::string& name)
{
    return "VyrUtilAdjustProcessPrivilege => Cannot " + std::string(verb) + " \"" + name +
           "\" privilege, please check the local policy";
}
const std::string kLockPolicy = policy("enable", "SeLockMemoryPrivilege");
const std::string kQuotaPolicy = policy("enable", "SeIncreaseQuotaPrivilege");

using RealSystem = LogCapture;

#if defined(_WIN32)

// Whatever the account holds: 1 and silence, or 0 and the policy message.
TEST_F(RealSystem, EachPrivilegeResultComesWithItsMessage)
{
    for (const char* name :
         {"SeLockMemoryPrivilege", "SeIncreaseQuotaPrivilege", "SeChangeNotifyPrivilege"}) {
        for (uint32_t enable : {1u, 0u}) {
            const size_t before = texts().size();
            const bool held = VyrUtilAdjustProcessPrivilege(name, enable) == 1;
            const Lines all = texts();
            EXPECT_EQ(held ? Lines() : Lines({policy(enable ? "enable" : "disable", name)}),
                      Lines(all.begin() + std::ptrdiff_t(before), all.end()));
        }
    }
    EXPECT_EQ(1u, VyrUtilAdjustProcessPrivilege("SeChangeNotifyPrivilege", 1)); // every account, enabled
    const bool quota = VyrUtilAdjustProcessPrivilege("SeIncreaseQuotaPrivilege", 1) == 1;
    EXPECT_EQ(quota, VyrUtilAdjustProcessWorkingSet(16u << 20, 64u << 20) != 0);
}

#else

bool has(const std::string& set, int capability) // in a capability set of /proc/self/status
{
    std::ifstream in("/proc/self/status");
    std::string word;
    while (in >> word) {
        if (word == set + ":" && in >> word)
            return (std::stoull(word, nullptr, 16) >> capability) & 1;
    }
    return false;
}

bool dropCapability(int capability) // from the permitted and effective sets
{
    __user_cap_header_struct header = {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    data[capability / 32].permitted &= ~(1u << (capability % 32));
    data[capability / 32].effective &= ~(1u << (capability % 32));
    return syscall(SYS_capset, &header, data) == 0;
}

// Answers "<result>|<log line>|..." for each command.
VYR_CHILD_MAIN(system)
{
    collectChildLog();
    while (auto command = nextCommand()) {
        std::istringstream in(*command);
        std::string verb, name;
        uint64_t a = 0, b = 0;
        in >> verb >> a;
        std::string out;
        if (verb == "drop") {
            out = dropCapability(int(a)) ? "1" : "0";
        } else if (verb == "adjust") { // adjust <enable> <name>
            in >> name;
            out = std::to_string(VyrUtilAdjustProcessPrivilege(name.c_str(), uint32_t(a)));
        } else if (verb == "effective") {
            out = has("CapEff", int(a)) ? "1" : "0";
        } else if (verb == "workingset" && in >> b) {
            out = std::to_string(VyrUtilAdjustProcessWorkingSet(uint32_t(a), uint32_t(b)));
        } else if (verb == "setlimit" && in >> b) { // the platform's step alone
            uint32_t error = 0;
            out = std::to_string(os::platform().setWorkingSet(a, b, &error));
            out += " " + std::to_string(error);
        } else if (verb == "limit") {
            rlimit limit;
            getrlimit(RLIMIT_MEMLOCK, &limit);
            out = std::to_string(limit.rlim_cur) + " " + std::to_string(limit.rlim_max);
        }
        replyLogged(out);
    }
    return 0;
}

TEST_F(RealSystem, CapabilitiesHeldAndDroppedInAChild)
{
    ChildProcess child("system");
    const auto ask = [&](const std::string& command) { return child.request(command).value_or("none"); };
    const std::string lock = std::to_string(CAP_IPC_LOCK), resource = std::to_string(CAP_SYS_RESOURCE);
    if (has("CapPrm", CAP_IPC_LOCK)) {
        EXPECT_EQ("1", ask("adjust 0 SeLockMemoryPrivilege"));
        EXPECT_EQ("0", ask("effective " + lock));
        EXPECT_EQ("1", ask("adjust 1 selockmemoryprivilege")); // names ignore case
        EXPECT_EQ("1", ask("effective " + lock));
    }
    ASSERT_EQ("1", ask("drop " + lock));
    EXPECT_EQ("0|" + kLockPolicy, ask("adjust 1 SeLockMemoryPrivilege"));
    EXPECT_EQ("0", ask("effective " + lock));
    EXPECT_EQ("1", ask("adjust 0 SeLockMemoryPrivilege")); // disabling what is not held
    ASSERT_EQ("1", ask("drop " + resource));
    const std::string before = ask("limit");
    EXPECT_EQ("0|" + kQuotaPolicy, ask("workingset 8192 16384"));
    EXPECT_EQ(before, ask("limit")); // not tried
    // The sizes become the locked-memory limits; within the hard limit no capability is needed.
    const std::string lower = "4096" + before.substr(before.find(' '));
    EXPECT_EQ("1 0", ask("setlimit " + lower));
    EXPECT_EQ(lower, ask("limit"));
    EXPECT_EQ("0 22", ask("setlimit 8192 4096")); // EINVAL: minimum above maximum
}

#endif

} // namespace
} // namespace vyr::test
