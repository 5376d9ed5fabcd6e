// Buffers of locked physical pages: allocation, the scatter-gather list, the 4 GB test and the
// replacement of high pages, and mapping page ranges; the rules, checks and messages over the
// platform layer.
#pragma once

#include <cstdint>

#include "OS/os.h"
#include "VyrUtility.h"

struct UserBuffer {
    vyr::os::FrameNumber* pfnArray; // room for the pages asked for; the first numberOfPages are valid
    uint32_t numberOfPages;
    uint64_t bufSize; // as returned to the caller
};

struct UserBufferMap {
    void* address; // start of the range the pages are mapped into
    uint32_t numberOfPages;
    uint64_t bufMapSize;
    uint32_t callerRange; // 1: the caller's range, left reserved; 0: the library's, released on unmap
};

namespace vyr::os::user_buffer {

// Frame numbers from here on name pages at or above 4 GB.
constexpr os::FrameNumber kFirstFrameAbove4G = 0x100000;
constexpr uint32_t kMinimumSparePages = 8192;

uint32_t allocate(const os::Platform& platform, uint64_t* bufSize, UserBuffer** out);
uint32_t release(const os::Platform& platform, UserBuffer* buffer);
uint32_t pages(const os::Platform& platform, UserBuffer* buffer, UserBufferSgEntry* entries,
               uint32_t capacity);
uint32_t allBelow4G(UserBuffer* buffer);
uint32_t replaceAbove4G(const os::Platform& platform, UserBuffer* buffer);
void* map(const os::Platform& platform, UserBuffer* buffer, uint64_t offset, uint64_t size, void* address,
          UserBufferMap** out);
uint32_t unmap(const os::Platform& platform, UserBufferMap* map);

} // namespace vyr::os::user_buffer
