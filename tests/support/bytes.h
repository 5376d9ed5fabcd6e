// Seeded fills and byte comparisons that say where two runs first differ.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vyr::test {

// Deterministic pseudo-random bytes (the same seed gives the same bytes on every platform).
void fillRandom(uint8_t* p, size_t n, uint32_t seed);
std::vector<uint8_t> randomBytes(size_t n, uint32_t seed);

// Equal, or a failure naming the first differing byte.
::testing::AssertionResult sameBytes(const uint8_t* expected, const uint8_t* actual, size_t n);

} // namespace vyr::test
