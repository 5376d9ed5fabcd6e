#include "core/log.h"

#include <cstdarg>
#include <cstdio>

#include "VyrLog.h"

namespace vyr::core {

void LogPrintf(const char* format, const char* file, int line, ...)
{
    char buffer[256];
    va_list args;
    va_start(args, line);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    buffer[255] = '\0';
    VyrLogPutLog(0, file, line, buffer);
}

} // namespace vyr::core
