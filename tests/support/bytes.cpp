#include "bytes.h"

#include <algorithm>
#include <cstdio>
#include <string>

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
    const size_t i = std::mismatch(expected, expected + n, actual).first - expected;
    if (i == n)
        return ::testing::AssertionSuccess();
    const size_t from = i >= 6 ? i - 6 : 0, to = std::min(i + 7, n);
    std::string exp, act;
    char hex[8];
    for (size_t j = from; j < to; ++j) {
        std::snprintf(hex, sizeof hex, j == i ? "[%02X]" : " %02X ", expected[j]);
        exp += hex;
        std::snprintf(hex, sizeof hex, j == i ? "[%02X]" : " %02X ", actual[j]);
        act += hex;
    }
    return ::testing::AssertionFailure() << "first difference at byte " << i << " of " << n << " (from byte "
                                         << from << ")\n  expected:" << exp << "\n  actual:  " << act;
}

} // namespace vyr::test
