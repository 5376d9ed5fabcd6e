// The tool's own sample arithmetic, checked directly where the command line cannot reach every value.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "samples.h"

namespace vyr::test {
namespace {

// (16 - unusedBits) significant bits drawn as 8: the nearest of 255 steps, values above the depth at
// its top, and black when no bit is significant.
TEST(Samples, SignificantBitsTo8BitAtEveryDepth)
{
    for (uint32_t unused = 0; unused <= 24; ++unused) {
        const double maximum = unused < 16 ? double(0xFFFFu >> unused) : 0;
        for (uint32_t v : {0u, 1u, 2u, 127u, 128u, 255u, 256u, 1023u, 1024u, 0x7FFFu, 0x8000u, 0xFFFFu}) {
            const double level = maximum == 0 ? 0 : std::min(double(v), maximum) * 255 / maximum;
            EXPECT_EQ(std::lround(level), tool::significantTo8Bit(v, unused)) << v << ", unused " << unused;
        }
    }
}

} // namespace
} // namespace vyr::test
