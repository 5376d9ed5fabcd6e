// CPU identification: the field rules on injected CPUID words (a private cache, never the
// machine-wide one), the reader's order and trial, and the real answers of this machine.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "VyrUtility.h"
#include "core/cpu.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace vyr::test {
namespace {

using cpu::Machine;

// A processor made of chosen words.
struct FakeProcessor {
    bool hasCpuid = true;
    uint32_t leaf0[4] = {};
    uint32_t leaf1[4] = {};
    uint32_t ext0[4] = {};
    uint32_t ext1[4] = {};
    bool sseRuns = true;
    bool sse2Runs = true;
    int cpuidCalls = 0;
    int trials = 0;
    const uint32_t* cache = nullptr;
    uint32_t featureSeenAtTrial = 0xFFFFFFFF;
};
FakeProcessor g_fake;

bool fakeCpuid(uint32_t leaf, uint32_t regs[4])
{
    ++g_fake.cpuidCalls;
    const uint32_t* src = leaf == 0 ? g_fake.leaf0 : leaf == 1 ? g_fake.leaf1
                        : leaf == 0x80000000u ? g_fake.ext0 : g_fake.ext1;
    std::memcpy(regs, src, 16);
    return g_fake.hasCpuid;
}

bool fakeTrySse()
{
    ++g_fake.trials;
    if (g_fake.cache)
        g_fake.featureSeenAtTrial = g_fake.cache[cpu::kFeature];
    return g_fake.sseRuns;
}

bool fakeTrySse2()
{
    ++g_fake.trials;
    return g_fake.sse2Runs;
}

const cpu::Ops kFakeOps = {fakeCpuid, fakeTrySse, fakeTrySse2};

void setVendor(const char (&name)[13])
{
    g_fake.leaf0[0] = 1; // maximum standard leaf
    std::memcpy(&g_fake.leaf0[1], name, 4);     // EBX
    std::memcpy(&g_fake.leaf0[3], name + 4, 4); // EDX
    std::memcpy(&g_fake.leaf0[2], name + 8, 4); // ECX
}

class InjectedCpu : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_fake = FakeProcessor();
        g_fake.cache = cache;
        setVendor("GenuineIntel");
    }
    // signature (EAX), processor (EBX), feature (EDX) of leaf 1
    Machine machine(uint32_t signature, uint32_t processor, uint32_t feature)
    {
        g_fake.leaf1[0] = signature;
        g_fake.leaf1[1] = processor;
        g_fake.leaf1[3] = feature;
        return Machine(cache, kFakeOps);
    }
    uint32_t cache[kCpuCacheWords] = {};
};

constexpr uint32_t kFeatures = cpu::kBitMmx | cpu::kBitSse | cpu::kBitSse2 | cpu::kBitHtt | 1u;

TEST_F(InjectedCpu, WordsAndFieldsComeFromLeafOne)
{
    Machine m = machine(0x00000F29, 0x11100803, kFeatures);
    EXPECT_EQ(0x00000F29u, m.cpuFamily()); // the whole signature, stepping and model included
    EXPECT_EQ(0x11100803u, m.cpuInfo());
    EXPECT_EQ(kFeatures, m.cpuType());
    EXPECT_EQ(0x03u, m.brandId());
    EXPECT_EQ(8u, m.clFlushSize()); // a 64-byte line, in units of 8 bytes
    EXPECT_EQ(0x11u, m.apicId());
    EXPECT_TRUE(m.isMMX());
    EXPECT_TRUE(m.isGenuineIntel());
    EXPECT_FALSE(m.isAuthenticAMD());
}

TEST_F(InjectedCpu, HyperThreadingNeedsPentium4IntelAndTheFlag)
{
    const uint32_t sixteenLogical = 0x00100800;
    // Family 6, extended family 0: not a Pentium 4, so one logical processor whatever EBX says.
    Machine family6 = machine(0x000006F2, sixteenLogical, kFeatures);
    EXPECT_FALSE(family6.isPentium4OrLater());
    EXPECT_FALSE(family6.isHTSupported());
    EXPECT_EQ(1u, family6.logicalProcessorsPerProcessor());

    std::fill(std::begin(cache), std::end(cache), 0u);
    Machine family15 = machine(0x00000F29, sixteenLogical, kFeatures);
    EXPECT_TRUE(family15.isPentium4OrLater());
    EXPECT_TRUE(family15.isHTSupported());
    EXPECT_EQ(16u, family15.logicalProcessorsPerProcessor());

    std::fill(std::begin(cache), std::end(cache), 0u);
    Machine extended = machine(0x00A00F11 & ~0xF00u, sixteenLogical, kFeatures & ~cpu::kBitHtt);
    EXPECT_TRUE(extended.isPentium4OrLater()); // extended family nonzero
    EXPECT_FALSE(extended.isHTSupported());    // no hyper-threading flag
    EXPECT_EQ(1u, extended.logicalProcessorsPerProcessor());

    std::fill(std::begin(cache), std::end(cache), 0u);
    setVendor("AuthenticAMD");
    Machine amd = machine(0x00000F29, sixteenLogical, kFeatures);
    EXPECT_TRUE(amd.isAuthenticAMD());
    EXPECT_FALSE(amd.isHTSupported()); // only GenuineIntel counts
    EXPECT_EQ(1u, amd.logicalProcessorsPerProcessor());
}

TEST_F(InjectedCpu, VendorBuffersOfElevenTwelveAndThirteen)
{
    Machine m = machine(0x00000F29, 0, kFeatures);
    uint8_t id[14];
    std::memset(id, '#', sizeof id);
    EXPECT_FALSE(m.vendorId(id, 11));
    EXPECT_EQ('#', id[0]);
    EXPECT_TRUE(m.vendorId(id, 12));
    EXPECT_EQ(0, std::memcmp(id, "GenuineIntel", 12));
    EXPECT_EQ('#', id[12]); // no terminator
    EXPECT_TRUE(m.vendorId(id, 13));
    EXPECT_EQ('#', id[12]);

    char name[16];
    std::memset(name, '#', sizeof name);
    EXPECT_FALSE(m.vendorString(name, 11));
    EXPECT_FALSE(m.vendorString(name, 12));
    EXPECT_EQ('#', name[0]);
    EXPECT_TRUE(m.vendorString(name, 13));
    EXPECT_STREQ("GenuineIntel", name);
    EXPECT_EQ('#', name[13]);
}

TEST_F(InjectedCpu, SseRefusedBySystemIsNotReported)
{
    g_fake.sseRuns = false;
    g_fake.sse2Runs = false;
    Machine m = machine(0x00000F29, 0, kFeatures);
    EXPECT_NE(0u, m.cpuType() & cpu::kBitSse);
    EXPECT_FALSE(m.isOsSupportSSE());
    EXPECT_FALSE(m.isSSE());
    EXPECT_FALSE(m.isOsSupportSSE2());
    EXPECT_FALSE(m.isSSE2());

    std::fill(std::begin(cache), std::end(cache), 0u);
    g_fake.sseRuns = true;
    g_fake.sse2Runs = true;
    Machine ok = machine(0x00000F29, 0, kFeatures);
    EXPECT_TRUE(ok.isSSE());
    EXPECT_TRUE(ok.isSSE2());
}

TEST_F(InjectedCpu, TrialsRunOnlyForReportedFeaturesAndBeforeTheFilledMark)
{
    cache[cpu::kOsSse] = 1; // left from elsewhere: a clear feature bit must not rewrite it
    Machine noSse = machine(0x00000F29, 0, cpu::kBitMmx);
    EXPECT_TRUE(noSse.isMMX());
    EXPECT_EQ(0, g_fake.trials);
    EXPECT_EQ(1u, cache[cpu::kOsSse]);
    EXPECT_FALSE(noSse.isSSE());

    std::fill(std::begin(cache), std::end(cache), 0u);
    Machine m = machine(0x00000F29, 0, kFeatures);
    EXPECT_TRUE(m.isSSE());
    EXPECT_EQ(2, g_fake.trials);
    EXPECT_EQ(0u, g_fake.featureSeenAtTrial); // the feature word is published last
}

TEST_F(InjectedCpu, FilledCacheReadsOnceAndAZeroFeatureWordReadsEveryTime)
{
    Machine m = machine(0x00000F29, 0, kFeatures);
    m.cpuType();
    const int afterFirst = g_fake.cpuidCalls;
    m.cpuFamily();
    m.isMMX();
    m.vendorId(nullptr, 0);
    EXPECT_EQ(afterFirst, g_fake.cpuidCalls);

    std::fill(std::begin(cache), std::end(cache), 0u);
    Machine zero = machine(0x00000F29, 0, 0);
    g_fake.cpuidCalls = 0;
    zero.cpuType();
    zero.cpuInfo();
    zero.brandId();
    EXPECT_EQ(6, g_fake.cpuidCalls); // leaves 0 and 1 on each of the three queries
}

TEST_F(InjectedCpu, NoCpuidReadsEveryWordAsZero)
{
    g_fake.hasCpuid = false;
    Machine m = machine(0x00000F29, 0x00100800, kFeatures);
    EXPECT_EQ(0u, m.cpuType());
    EXPECT_EQ(0u, m.cpuFamily());
    EXPECT_EQ(0u, m.cpuInfo());
    EXPECT_FALSE(m.isMMX());
    EXPECT_FALSE(m.isSSE());
    EXPECT_FALSE(m.isGenuineIntel());
    EXPECT_FALSE(m.isPentium4OrLater());
    EXPECT_EQ(1u, m.logicalProcessorsPerProcessor());
    uint8_t id[12];
    EXPECT_TRUE(m.vendorId(id, 12));
    EXPECT_EQ(std::string(12, '\0'), std::string(reinterpret_cast<char*>(id), 12));
    char name[13] = "xxxxxxxxxxxx";
    EXPECT_TRUE(m.vendorString(name, 13));
    EXPECT_STREQ("", name);
}

TEST_F(InjectedCpu, MaximumLeafZeroKeepsTheZeros)
{
    g_fake.leaf0[0] = 0;
    Machine m = machine(0x00000F29, 0x00100800, kFeatures);
    EXPECT_EQ(0u, m.cpuType());
    EXPECT_FALSE(m.isGenuineIntel());
}

TEST_F(InjectedCpu, ThreeDNowFromExtendedLeaf)
{
    Machine m = machine(0x00000F29, 0, kFeatures);
    g_fake.ext0[0] = 0x80000000u; // no leaf 0x80000001
    g_fake.ext1[3] = 3u << 30;
    EXPECT_FALSE(m.is3DNow());
    EXPECT_FALSE(m.isE3DNow());
    g_fake.ext0[0] = 0x80000008u;
    g_fake.ext1[3] = 1u << 30; // extended without plain 3DNow! is not reported
    EXPECT_FALSE(m.is3DNow());
    EXPECT_FALSE(m.isE3DNow());
    g_fake.ext1[3] = 1u << 31;
    EXPECT_TRUE(m.is3DNow());
    EXPECT_FALSE(m.isE3DNow());
    g_fake.ext1[3] = 3u << 30;
    EXPECT_TRUE(m.isE3DNow());
}

// ---- the real processor, through the exports ---------------------------------------------------

struct ProcCpuInfo {
    std::string vendor;
    std::string modelName;
    unsigned family = 0, model = 0, stepping = 0, clflush = 0, processors = 0;
    std::set<std::string> flags;
    std::set<unsigned> apicIds;
};

bool readProcCpuInfo(ProcCpuInfo& info)
{
    std::ifstream in("/proc/cpuinfo");
    if (!in)
        return false;
    std::string line;
    while (std::getline(in, line)) {
        size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::string key = line.substr(0, line.find_last_not_of(" \t", colon - 1) + 1);
        std::string value = colon + 2 <= line.size() ? line.substr(colon + 2) : "";
        if (key == "processor")
            ++info.processors;
        else if (key == "vendor_id")
            info.vendor = value;
        else if (key == "model name")
            info.modelName = value;
        else if (key == "cpu family")
            info.family = std::stoul(value);
        else if (key == "model")
            info.model = std::stoul(value);
        else if (key == "stepping")
            info.stepping = std::stoul(value);
        else if (key == "clflush size")
            info.clflush = std::stoul(value);
        else if (key == "initial apicid")
            info.apicIds.insert(std::stoul(value));
        else if (key == "flags" && info.flags.empty()) {
            std::istringstream words(value);
            for (std::string w; words >> w;)
                info.flags.insert(w);
        }
    }
    return info.processors > 0;
}

// The processor's brand string, read here directly so that an emulated CPUID can be told apart.
std::string brandString()
{
#if defined(__i386__) || defined(__x86_64__)
    uint32_t regs[12];
    for (uint32_t i = 0; i < 3; ++i)
        __cpuid(0x80000002u + i, regs[4 * i], regs[4 * i + 1], regs[4 * i + 2], regs[4 * i + 3]);
    std::string s(reinterpret_cast<const char*>(regs), sizeof regs);
    s = s.c_str();
    size_t first = s.find_first_not_of(' ');
    return first == std::string::npos ? "" : s.substr(first, s.find_last_not_of(' ') - first + 1);
#else
    return "";
#endif
}

TEST(RealCpu, AnswersAgreeWithProcCpuInfo)
{
    ProcCpuInfo info;
    if (!readProcCpuInfo(info))
        GTEST_SKIP() << "no /proc/cpuinfo on this system";
    if (brandString() != info.modelName)
        GTEST_SKIP() << "CPUID is emulated here: \"" << brandString() << "\" against \"" << info.modelName << "\"";
    char vendor[13];
    ASSERT_TRUE(VyrUtilGetCpuVendorString(vendor, sizeof vendor));
    EXPECT_EQ(info.vendor, vendor);

    const uint32_t sig = VyrUtilGetCpuFamily();
    const unsigned baseFamily = (sig >> 8) & 0xF;
    const unsigned family = baseFamily + (baseFamily == 15 ? (sig >> 20) & 0xFF : 0);
    const unsigned model =
        ((sig >> 4) & 0xF) + ((baseFamily == 6 || baseFamily == 15) ? ((sig >> 16) & 0xF) << 4 : 0);
    EXPECT_EQ(info.family, family);
    EXPECT_EQ(info.model, model);
    EXPECT_EQ(info.stepping, sig & 0xF);
    if (info.clflush) {
        EXPECT_EQ(info.clflush / 8, VyrUtilGetCpuCLFlushSize());
    }
    if (!info.apicIds.empty()) {
        EXPECT_EQ(1u, info.apicIds.count(VyrUtilGetCpuApicId()));
    }
    EXPECT_EQ(info.processors, VyrUtilGetProcessorCount());

    const uint32_t feature = VyrUtilGetCpuType();
    EXPECT_EQ(info.flags.count("mmx") == 1, VyrUtilIsMMX() == 1);
    EXPECT_EQ(info.flags.count("sse") == 1, VyrUtilIsSSE() == 1);
    EXPECT_EQ(info.flags.count("sse2") == 1, VyrUtilIsSSE2() == 1);
    EXPECT_EQ(info.flags.count("ht") == 1, (feature >> 28 & 1) == 1);
    EXPECT_EQ(info.flags.count("3dnow") == 1, VyrUtilIs3DNow() == 1);
    EXPECT_EQ(info.flags.count("3dnowext") == 1 && info.flags.count("3dnow") == 1,
              VyrUtilIsE3DNow() == 1);
    EXPECT_EQ(info.vendor == "GenuineIntel", VyrUtilIsGenuineIntel() == 1);
    EXPECT_EQ(info.vendor == "AuthenticAMD", VyrUtilIsAuthenticAMD() == 1);
}

TEST(RealCpu, BooleansAreOneOrZeroAndCompositesAgree)
{
    for (VyrBool b : {VyrUtilIsMMX(), VyrUtilIsSSE(), VyrUtilIsSSE2(), VyrUtilIsOsSupportSSE(),
                      VyrUtilIsOsSupportSSE2(), VyrUtilIsPentium4OrLater(), VyrUtilIsHTSupported(),
                      VyrUtilIsGenuineIntel(), VyrUtilIsAuthenticAMD(), VyrUtilIs3DNow(), VyrUtilIsE3DNow()})
        EXPECT_TRUE(b == 0 || b == 1);
    const uint32_t feature = VyrUtilGetCpuType();
    EXPECT_EQ(((feature >> 25) & 1) && VyrUtilIsOsSupportSSE(), VyrUtilIsSSE() == 1);
    EXPECT_EQ(((feature >> 26) & 1) && VyrUtilIsOsSupportSSE2(), VyrUtilIsSSE2() == 1);
    const uint32_t expectLogical = VyrUtilIsHTSupported() ? (VyrUtilGetCpuInfo() >> 16) & 0xFF : 1;
    EXPECT_EQ(expectLogical, VyrUtilGetLogicalProcessorsPerProcessor());
#if defined(__x86_64__) || defined(_M_X64)
    EXPECT_TRUE(VyrUtilIsMMX()); // every x86-64 processor has MMX, SSE and SSE2
    EXPECT_TRUE(VyrUtilIsSSE2());
#endif
}

} // namespace
} // namespace vyr::test
