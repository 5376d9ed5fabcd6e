// The fast copy on each of its paths: the source's bytes at every size and offset, nothing outside.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "VyrUtility.h"
#include "bytes.h"
#include "copy/memcpy.h"
#include "guarded_buffer.h"

namespace vyr::test {
namespace {

void viaExport(const copy::Moves&, uint8_t* dst, const uint8_t* src, uint32_t size, bool alignOnSrc)
{
    if (VyrUtilMemcpy(dst, src, size, alignOnSrc ? 0x301u : 0x100u) != dst) // only the low byte counts
        ADD_FAILURE() << "result is not dst";
}

struct NamedPath {
    const char* name;
    copy::Path path;
    VyrBool(VYR_CALL* runs)(); // null: every processor
};
const NamedPath kPaths[] = {{"scalar", copy::scalarPath, nullptr},
                            {"export", viaExport, nullptr},
                            {"mmx", copy::mmxPath, VyrUtilIsMMX},
                            {"sse", copy::ssePath, VyrUtilIsSSE}};

// Each path and the export; a path the processor cannot run is skipped by name.
class FastCopy : public ::testing::TestWithParam<NamedPath> {
protected:
    void SetUp() override
    {
        if (GetParam().runs && !GetParam().runs())
            GTEST_SKIP() << GetParam().name << ": not run by this processor";
    }
};
INSTANTIATE_TEST_SUITE_P(Paths, FastCopy, ::testing::ValuesIn(kPaths),
                         [](const auto& info) { return std::string(info.param.name); });

// Runs sit flush against the source's and destination's leading guards (front) or end less than 32
// bytes before their trailing guards (back), at the given offsets modulo 32.
TEST_P(FastCopy, CopiesEverySizeAtEveryOffsetPair)
{
    constexpr size_t kBytes = 8192;
    const std::vector<uint8_t> canary = randomBytes(kBytes, 2);
    GuardedBuffer src(kBytes, {Flush::Front, 0}), dst(kBytes, {Flush::Front, 0});
    fillRandom(src.data(), kBytes, 1);
    src.makeReadOnly();
    std::memcpy(dst.data(), canary.data(), kBytes);
    for (size_t size = 0; size <= 300; ++size)
        for (size_t srcOff = 0; srcOff < 32; ++srcOff)
            for (size_t dstOff = 0; dstOff < 32; ++dstOff)
                for (int variant = 0; variant < 4; ++variant) { // alignOnSrc, back
                    const auto place = [&](size_t at) {
                        return variant & 2 ? ((kBytes - size - at) & ~size_t(31)) + at : at;
                    };
                    const size_t s = place(srcOff), d = place(dstOff);
                    GetParam().path(copy::processorMoves(), dst.data() + d, src.data() + s, uint32_t(size),
                                    variant & 1);
                    const bool same = std::memcmp(dst.data() + d, src.data() + s, size) == 0;
                    std::memcpy(dst.data() + d, canary.data() + d, size);
                    const size_t lo = d < 32 ? 0 : d - 32, n = std::min(kBytes, d + size + 32) - lo;
                    ASSERT_TRUE(same && std::memcmp(dst.data() + lo, canary.data() + lo, n) == 0)
                        << (same ? "wrote outside" : "wrong bytes") << ", size " << size << ", offsets "
                        << srcOff << "/" << dstOff << ", variant " << variant;
                }
    EXPECT_EQ(0, std::memcmp(dst.data(), canary.data(), kBytes)) << "wrote far outside";
}

// Offsets 3/19 stream after the head; 0/4 never can.
TEST_P(FastCopy, LargeCopies)
{
    for (size_t size : {size_t(1) << 20, size_t(64) << 20}) {
        const std::vector<uint8_t> source = randomBytes(size + 3, uint32_t(size >> 16));
        for (auto [srcOff, dstOff] : {std::pair<size_t, size_t>(3, 19), {0, 4}}) {
            GuardedBuffer src(size, {Flush::Back, (32 - srcOff) % 32});
            GuardedBuffer dst(size, {Flush::Back, (32 - dstOff) % 32});
            std::memcpy(src.data(), source.data() + srcOff, size);
            src.makeReadOnly();
            for (bool onSrc : {false, true}) {
                GetParam().path(copy::processorMoves(), dst.data(), src.data(), uint32_t(size), onSrc);
                EXPECT_TRUE(std::memcmp(source.data() + srcOff, dst.data(), size) == 0 &&
                            dst.surroundingsIntact())
                    << "size " << size << ", offsets " << srcOff << "/" << dstOff;
                std::memset(dst.data(), 0x5A, size);
            }
        }
    }
}

} // namespace
} // namespace vyr::test
