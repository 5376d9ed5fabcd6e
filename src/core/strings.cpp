#include "core/strings.h"

#include <cstdarg>
#include <cstdio>

namespace vyr::core {

uint32_t boundedCopy(char* dst, size_t capacity, const char* src)
{
    if (capacity == 0 || capacity > kStringMaxCapacity) {
        if (capacity != 0)
            dst[0] = '\0';
        return kStringInvalidCapacity;
    }
    size_t i = 0;
    for (; i + 1 < capacity && src[i] != '\0'; ++i)
        dst[i] = src[i];
    dst[i] = '\0';
    return src[i] == '\0' ? kStringOk : kStringTruncated;
}

uint32_t boundedFormat(char* dst, size_t capacity, const char* format, ...)
{
    if (capacity == 0 || capacity > kStringMaxCapacity) {
        if (capacity != 0)
            dst[0] = '\0';
        return kStringInvalidCapacity;
    }
    va_list args;
    va_start(args, format);
    int needed = std::vsnprintf(dst, capacity, format, args);
    va_end(args);
    if (needed < 0) {
        dst[0] = '\0';
        return kStringInvalidCapacity;
    }
    return static_cast<size_t>(needed) < capacity ? kStringOk : kStringTruncated;
}

} // namespace vyr::core
