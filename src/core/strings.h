// Truncating, always-terminating string copy and format into fixed buffers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vyr::core {

constexpr uint32_t kStringOk = 0;
constexpr uint32_t kStringTruncated = 0x8007007A;
constexpr uint32_t kStringInvalidCapacity = 0x80070057;
constexpr size_t kStringMaxCapacity = 0x7FFFFFFF;

// Copies at most capacity - 1 characters and a terminator. A capacity of 0 writes nothing; one
// above kStringMaxCapacity only terminates the buffer at its first character.
uint32_t boundedCopy(char* dst, size_t capacity, const char* src);

uint32_t boundedFormat(char* dst, size_t capacity, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

} // namespace vyr::core
