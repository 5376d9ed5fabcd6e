#include <gtest/gtest.h>

#include "line_harness.h"

#include <sstream>

#include "bytes.h"
#include "guarded_buffer.h"

namespace vyr::test {

std::vector<std::pair<convert::Isa, LineFn>> runnableVariants(const convert::Paths& paths)
{
    std::vector<std::pair<convert::Isa, LineFn>> out;
    for (unsigned i = convert::kPlain; i <= convert::processorIsa(); ++i) {
        if (paths.variants[i])
            out.emplace_back(convert::Isa(i), paths.variants[i]);
    }
    return out;
}

std::vector<uint32_t> countsUpTo(uint32_t upTo, std::vector<uint32_t> large)
{
    std::vector<uint32_t> counts;
    for (uint32_t c = 0; c <= upTo; ++c)
        counts.push_back(c);
    counts.insert(counts.end(), large.begin(), large.end());
    return counts;
}

namespace {

std::string describe(const Placement& p)
{
    std::ostringstream s;
    s << (p.flush == Flush::Front ? "front" : "back") << "+" << p.gap;
    return s.str();
}

} // namespace

::testing::AssertionResult matchesReference(const LineSpec& shape, LineFn path, LineFn reference,
                                            const std::vector<uint32_t>& counts)
{
    const Placement sources[] = {{Flush::Front, 0}, {Flush::Back, 0}, {Flush::Front, 3}};
    std::vector<Placement> destinations;
    for (size_t gap = 0; gap < 8; ++gap) {
        destinations.push_back({Flush::Front, gap});
        destinations.push_back({Flush::Back, gap});
    }
    for (uint32_t count : counts) {
        const size_t srcBytes = shape.srcBytes(count);
        const size_t dstBytes = shape.dstBytes(count);
        std::vector<uint8_t> source(srcBytes);
        if (shape.fillSource)
            shape.fillSource(source.data(), srcBytes, count);
        else
            fillRandom(source.data(), srcBytes, count);
        const std::vector<uint8_t> before = randomBytes(dstBytes, count ^ 0x5555u);
        std::vector<uint8_t> expected = before;
        if (count)
            reference(source.data(), expected.data(), count, shape.unusedBits);

        for (const Placement& sp : sources) {
            GuardedBuffer src(srcBytes, sp);
            if (srcBytes)
                std::copy(source.begin(), source.end(), src.data());
            src.makeReadOnly();
            for (const Placement& dp : destinations) {
                GuardedBuffer dst(dstBytes, dp);
                if (dstBytes)
                    std::copy(before.begin(), before.end(), dst.data());
                path(src.data(), dst.data(), count, shape.unusedBits);
                auto where = [&] {
                    std::ostringstream s;
                    s << "count " << count << ", source " << describe(sp) << ", destination "
                      << describe(dp) << " (address mod 8 = "
                      << (reinterpret_cast<uintptr_t>(dst.data()) & 7) << ")";
                    return s.str();
                };
                if (!dst.surroundingsIntact())
                    return ::testing::AssertionFailure() << "wrote outside the destination run at " << where();
                auto same = sameBytes(expected.data(), dst.data(), dstBytes);
                if (!same)
                    return ::testing::AssertionFailure() << where() << ": " << same.message();
            }
        }
    }
    return ::testing::AssertionSuccess();
}

} // namespace vyr::test
