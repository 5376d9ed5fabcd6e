#include "bytes.h"

#include <algorithm>

namespace vyr::test {

void fillRandom(uint8_t* p, size_t n, uint32_t seed)
{
    uint64_t x = 0x9E3779B97F4A7C15ull ^ (uint64_t(seed) * 0xBF58476D1CE4E5B9ull);
    for (size_t i = 0; i < n; ++i) {
        uint64_t z = x += 0x9E3779B97F4A7C15ull; // splitmix64, one byte per step
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        p[i] = static_cast<uint8_t>((z ^ (z >> 31)) >> 24);
    }
}

std::vector<uint8_t> randomBytes(size_t n, uint32_t seed)
{
    std::vector<uint8_t> v(n);
    fillRandom(v.data(), n, seed);
    return v;
}

::testing::AssertionResult sameBytes(const uint8_t* expected, const uint8_t* actual, size_t n)
{
    const size_t i = size_t(std::mismatch(expected, expected + n, actual).first - expected);
    if (i == n)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "byte " << i << " of " << n << " is " << int(actual[i]) << ", expected " << int(expected[i]);
}

} // namespace vyr::test
