#pragma once

namespace vyr::core {

constexpr const char* kFileVyrUtil = "..\\..\\OS\\Windows\\VyrUtil";
constexpr const char* kFileAdjustProc = "..\\..\\OS\\Windows\\adjustProc";
constexpr const char* kFileSharedBuffer = "..\\..\\OS\\Windows\\sharedBuffer";
constexpr const char* kFileUserBuffer = "..\\..\\OS\\Windows\\userBuffer";

// Formats at most 255 characters and hands the line to VyrLogPutLog at level 0.
void LogPrintf(const char* format, const char* file, int line, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 4)))
#endif
    ;

} // namespace vyr::core
