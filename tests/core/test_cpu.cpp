// CPU identification: the field rules on injected CPUID words (in a private cache), and the real answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <csignal>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "VyrUtility.h"
#include "core/cpu.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace vyr::test {

using core::kCpuCacheWords;
using core::Machine;
namespace {

// A processor made of chosen words: EAX, EBX, ECX, EDX of each leaf.
struct FakeProcessor {
    bool hasCpuid = true, sseRuns = true, sse2Runs = true;
    std::map<uint32_t, std::array<uint32_t, 4>> leaves;
    int cpuidCalls = 0, trials = 0;
    uint32_t featureSeenAtTrial = 0xFFFFFFFF;
};
FakeProcessor g_fake;
uint32_t g_cache[kCpuCacheWords];

bool fakeCpuid(uint32_t leaf, uint32_t regs[4])
{
    ++g_fake.cpuidCalls;
    std::memcpy(regs, g_fake.leaves[leaf].data(), 16);
    return g_fake.hasCpuid;
}
bool trial(bool runs)
{
    ++g_fake.trials;
    g_fake.featureSeenAtTrial = g_cache[core::kFeature];
    return runs;
}
const core::Ops kFakeOps = {fakeCpuid, [] { return trial(g_fake.sseRuns); },
                            [] { return trial(g_fake.sse2Runs); }};

// Leaf 0: the maximum standard leaf and the name in EBX, EDX, ECX.
void setVendor(const char* name)
{
    auto& leaf = g_fake.leaves[0];
    leaf[0] = 1;
    std::memcpy(&leaf[1], name, 4);
    std::memcpy(&leaf[3], name + 4, 4);
    std::memcpy(&leaf[2], name + 8, 4);
}

constexpr uint32_t kFeatures = core::kBitMmx | core::kBitSse | core::kBitSse2 | core::kBitHtt | 1u;

class InjectedCpu : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_fake = FakeProcessor();
        setVendor("GenuineIntel");
    }
    // An empty cache over leaf 1 of signature (EAX), processor (EBX) and feature (EDX); no call counted.
    static Machine machine(uint32_t signature, uint32_t processor = 0, uint32_t feature = kFeatures)
    {
        std::fill(std::begin(g_cache), std::end(g_cache), 0u);
        g_fake.trials = g_fake.cpuidCalls = 0;
        g_fake.leaves[1] = {signature, processor, 0, feature};
        return Machine(g_cache, kFakeOps);
    }
};

TEST_F(InjectedCpu, HyperThreadingNeedsPentium4IntelAndTheFlag)
{
    // The vendor, signature and feature words, and the answers: Pentium 4 or later, hyper-threading.
    const std::tuple<const char*, uint32_t, uint32_t, bool, bool> rows[] = {
        {"GenuineIntel", 0x000006F2, kFeatures, false, false},                 // family 6
        {"GenuineIntel", 0x00000F29, kFeatures, true, true},                   // family 15
        {"GenuineIntel", 0x00A00011, kFeatures & ~core::kBitHtt, true, false}, // extended family, no flag
        {"AuthenticAMD", 0x00000F29, kFeatures, true, false},                  // only GenuineIntel counts
    };
    for (const auto& [vendor, signature, feature, pentium4, ht] : rows) {
        setVendor(vendor);
        Machine m = machine(signature, 0x00100800, feature); // EBX says 16 logical processors
        SCOPED_TRACE(std::string(vendor) + ", signature " + std::to_string(signature));
        EXPECT_EQ(pentium4, m.isPentium4OrLater());
        EXPECT_EQ(ht, m.isHTSupported());
        EXPECT_EQ(ht ? 16u : 1u, m.logicalProcessorsPerProcessor());
    }
}

// SSE/SSE2 count when reported and their trial runs; trials only for reported features, before the feature
// word (the filled mark) is published; a filled cache is read once, a zero one on every query.
TEST_F(InjectedCpu, TrialsAndTheFilledMark)
{
    for (unsigned runs = 0; runs < 4; ++runs) {
        g_fake.sseRuns = runs & 1;
        g_fake.sse2Runs = runs & 2;
        Machine m = machine(0x00000F29);
        EXPECT_EQ(kFeatures, m.cpuType());
        EXPECT_EQ(0u, g_fake.featureSeenAtTrial);
        EXPECT_EQ(g_fake.sseRuns, m.isOsSupportSSE()) << runs;
        EXPECT_EQ(g_fake.sseRuns, m.isSSE()) << runs;
        EXPECT_EQ(g_fake.sse2Runs, m.isOsSupportSSE2()) << runs;
        EXPECT_EQ(g_fake.sse2Runs, m.isSSE2()) << runs;
        EXPECT_EQ(2, g_fake.trials); // a filled cache is read once
    }

    Machine noSse = machine(0x00000F29, 0, core::kBitMmx);
    g_cache[core::kOsSse] = 1; // left from elsewhere: a clear feature bit must not rewrite it
    EXPECT_TRUE(noSse.isMMX());
    EXPECT_EQ(0, g_fake.trials);
    EXPECT_EQ(1u, g_cache[core::kOsSse]);
    EXPECT_FALSE(noSse.isSSE());

    Machine sseOnly = machine(0x00000F29, 0, core::kBitMmx | core::kBitSse); // no trial for SSE2
    g_cache[core::kOsSse2] = 1; // as above: without its feature bit the flag alone says nothing
    EXPECT_TRUE(sseOnly.isSSE());
    EXPECT_FALSE(sseOnly.isSSE2());
    EXPECT_EQ(1, g_fake.trials);

    Machine zero = machine(0x00000F29, 0, 0);
    zero.cpuType();
    zero.cpuInfo();
    EXPECT_EQ(4, g_fake.cpuidCalls); // leaves 0 and 1 on each query
}

// Leaf 1's words and their fields, read only with CPUID and a maximum leaf of at least 1: without
// them every word reads as zero.
TEST_F(InjectedCpu, WordsAndFieldsComeFromLeafOne)
{
    for (int reach = 0; reach < 3; ++reach) { // no CPUID, maximum leaf 0, leaf 1
        g_fake.hasCpuid = reach > 0;
        g_fake.leaves[0][0] = reach == 1 ? 0 : 1;
        Machine m = machine(0x00000F29, 0x11100803, kFeatures);
        const uint32_t read = reach == 2 ? ~0u : 0u;
        SCOPED_TRACE(reach);
        EXPECT_EQ(0x00000F29u & read, m.cpuFamily()); // the whole signature, stepping and model included
        EXPECT_EQ(0x11100803u & read, m.cpuInfo());
        EXPECT_EQ(kFeatures & read, m.cpuType());
        EXPECT_EQ(0x03u & read, m.brandId());
        EXPECT_EQ(8u & read, m.clFlushSize()); // a 64-byte line, in units of 8 bytes
        EXPECT_EQ(0x11u & read, m.apicId());
        EXPECT_EQ(read != 0, m.isMMX());
        EXPECT_EQ(read != 0, m.isGenuineIntel());
        EXPECT_FALSE(m.isAuthenticAMD());
        EXPECT_EQ(read ? 16u : 1u, m.logicalProcessorsPerProcessor());
        // The identifier takes 12 bytes and no terminator, the string 13; a refusal writes nothing.
        const std::string vendor = read ? "GenuineIntel" : std::string(12, '\0');
        for (uint32_t size : {11u, 12u, 13u}) {
            std::string id(16, '#'), name(16, '#');
            EXPECT_EQ(size >= 12, m.vendorId(reinterpret_cast<uint8_t*>(&id[0]), size)) << size;
            EXPECT_EQ(size >= 12 ? vendor + "####" : std::string(16, '#'), id) << size;
            EXPECT_EQ(size == 13, m.vendorString(&name[0], size)) << size;
            EXPECT_EQ(size == 13 ? vendor.c_str() : std::string(16, '#'), size == 13 ? name.c_str() : name);
            EXPECT_EQ("###", name.substr(13)) << size;
        }
    }
}

// 3DNow! is EDX bit 31 of leaf 0x80000001, extended 3DNow! bit 30 and only with plain 3DNow!.
TEST_F(InjectedCpu, ThreeDNowFromTheExtendedLeaf)
{
    // The highest extended leaf, EDX of leaf 0x80000001, and the answers: 3DNow!, extended 3DNow!.
    const std::tuple<uint32_t, uint32_t, bool, bool> rows[] = {
        {0x80000000u, 3u << 30, false, false}, // no leaf 0x80000001
        {0x80000008u, 1u << 30, false, false},
        {0x80000008u, 1u << 31, true, false},
        {0x80000008u, 3u << 30, true, true}};
    Machine m = machine(0x00000F29);
    for (const auto& [maxExtended, edx, plain, extended] : rows) {
        g_fake.leaves[0x80000000u] = {maxExtended};
        g_fake.leaves[0x80000001u] = {0, 0, 0, edx};
        EXPECT_EQ(std::pair(plain, extended), std::pair(m.is3DNow(), m.isE3DNow())) << std::hex << edx;
    }
}

// The first processor's entries of /proc/cpuinfo, every processor's initial APIC id, their number.
std::map<std::string, std::string> procCpuInfo(unsigned& processors)
{
    std::map<std::string, std::string> fields;
    std::ifstream in("/proc/cpuinfo");
    processors = 0;
    for (std::string line; std::getline(in, line);) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        const std::string key = line.substr(0, line.find_last_not_of(" \t", colon - 1) + 1);
        if (key == "processor")
            ++processors;
        if (key == "initial apicid")
            fields[key] += line.substr(colon + 1) + " ";
        else if (processors == 1)
            fields[key] = colon + 2 <= line.size() ? line.substr(colon + 2) : "";
    }
    return fields;
}

// The processor's brand string, read here directly so that an emulated CPUID can be told apart.
std::string brandString()
{
    uint32_t regs[13] = {};
#if defined(__i386__) || defined(__x86_64__)
    for (uint32_t i = 0; i < 3; ++i)
        __cpuid(0x80000002u + i, regs[4 * i], regs[4 * i + 1], regs[4 * i + 2], regs[4 * i + 3]);
#endif
    std::string s(reinterpret_cast<const char*>(regs));
    const size_t first = s.find_first_not_of(' ');
    return first == std::string::npos ? "" : s.substr(first, s.find_last_not_of(' ') - first + 1);
}

TEST(RealCpu, AnswersAgreeWithProcCpuInfo)
{
    unsigned processors = 0;
    auto info = procCpuInfo(processors);
    if (processors == 0)
        GTEST_SKIP() << "no /proc/cpuinfo on this system";
    if (brandString() != info["model name"])
        GTEST_SKIP() << "CPUID is emulated here: " << brandString() << " against " << info["model name"];
    char vendor[13];
    ASSERT_TRUE(VyrUtilGetCpuVendorString(vendor, sizeof vendor));
    EXPECT_EQ(info["vendor_id"], vendor);
    EXPECT_EQ(info["vendor_id"] == "GenuineIntel", VyrUtilIsGenuineIntel() == 1);
    EXPECT_EQ(info["vendor_id"] == "AuthenticAMD", VyrUtilIsAuthenticAMD() == 1);

    const uint32_t sig = VyrUtilGetCpuFamily();
    const unsigned baseFamily = (sig >> 8) & 0xF;
    const unsigned extendedModel = (baseFamily == 6 || baseFamily == 15) ? ((sig >> 16) & 0xF) << 4 : 0;
    EXPECT_EQ(info["cpu family"], std::to_string(baseFamily + (baseFamily == 15 ? (sig >> 20) & 0xFF : 0)));
    EXPECT_EQ(info["model"], std::to_string(((sig >> 4) & 0xF) + extendedModel));
    EXPECT_EQ(info["stepping"], std::to_string(sig & 0xF));
    if (!info["clflush size"].empty()) {
        EXPECT_EQ(info["clflush size"], std::to_string(8 * VyrUtilGetCpuCLFlushSize()));
    }
    if (!info["initial apicid"].empty()) {
        const std::string apicId = " " + std::to_string(VyrUtilGetCpuApicId()) + " ";
        EXPECT_NE(std::string::npos, info["initial apicid"].find(apicId)) << info["initial apicid"];
    }
    EXPECT_EQ(processors, VyrUtilGetProcessorCount());

    const std::string flags = " " + info["flags"] + " ";
    auto has = [&](const std::string& flag) { return flags.find(" " + flag + " ") != std::string::npos; };
    EXPECT_EQ(has("mmx"), VyrUtilIsMMX() == 1);
    EXPECT_EQ(has("sse"), VyrUtilIsSSE() == 1);
    EXPECT_EQ(has("sse2"), VyrUtilIsSSE2() == 1);
    EXPECT_EQ(has("ht"), (VyrUtilGetCpuType() >> 28 & 1) == 1);
    EXPECT_EQ(has("3dnow"), VyrUtilIs3DNow() == 1);
    EXPECT_EQ(has("3dnowext") && has("3dnow"), VyrUtilIsE3DNow() == 1);
}

#if !defined(_WIN32)
void applicationHandler(int) {}

// First queries in many threads at once (each over a cache of its own, so each runs the reader) never
// put another SIGILL handler in the application's place, not even for a moment, and agree.
TEST(RealCpu, FirstQueriesLeaveTheApplicationsSignalHandlerAlone)
{
    struct sigaction application = {}, saved = {}, now = {};
    application.sa_handler = applicationHandler;
    sigemptyset(&application.sa_mask);
    ASSERT_EQ(0, sigaction(SIGILL, &application, &saved));
    std::atomic<bool> done{false};
    std::atomic<int> replaced{0}, disagreed{0};
    std::thread watcher([&] {
        for (struct sigaction seen; !done;) {
            sigaction(SIGILL, nullptr, &seen);
            replaced += seen.sa_handler != applicationHandler;
        }
    });
    const bool sse = VyrUtilIsSSE(), sse2 = VyrUtilIsSSE2();
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 300; ++i) {
                uint32_t cache[kCpuCacheWords] = {};
                const Machine m(cache, core::processorOps());
                disagreed += m.isSSE() != sse || m.isSSE2() != sse2;
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    done = true;
    watcher.join();
    ASSERT_EQ(0, sigaction(SIGILL, &saved, &now));
    EXPECT_EQ(applicationHandler, now.sa_handler);
    EXPECT_EQ(0, replaced.load()) << "samples that saw another handler";
    EXPECT_EQ(0, disagreed.load());
#if defined(__x86_64__)
    EXPECT_TRUE(sse && sse2); // every x86-64 system runs both
#endif
}
#endif

} // namespace
} // namespace vyr::test
