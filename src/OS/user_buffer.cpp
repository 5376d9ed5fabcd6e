#include "OS/user_buffer.h"

#include <cstring>

#include "OS/adjust_proc.h"
#include "core/log.h"

namespace vyr::os::user_buffer {

using core::kFileUserBuffer;
using core::LogPrintf;
namespace {

bool below4G(os::FrameNumber frame) { return frame < kFirstFrameAbove4G; }

// What one level of the replacement holds while it works.
struct Replacement {
    uint64_t spareSize;
    UserBuffer* spare;
};

} // namespace

uint32_t allocate(const os::Platform& platform, uint64_t* bufSize, UserBuffer** out)
{
    if (!platform.physicalPagesAvailable()) {
        LogPrintf("VyrUtilAllocUserBuffer=> Not available", kFileUserBuffer, __LINE__);
        return 0;
    }
    if (!out) {
        LogPrintf("VyrUtilAllocUserBuffer=> Argument invalid ( pBufObject == NULL)", kFileUserBuffer,
                  __LINE__);
        return 0;
    }
    if (!bufSize) {
        LogPrintf("VyrUtilAllocUserBuffer=> Argument invalid ( bufSize == NULL)", kFileUserBuffer, __LINE__);
        return 0;
    }
    if (*bufSize == 0) {
        LogPrintf("VyrUtilAllocUserBuffer=> Argument invalid ( *bufSize == 0)", kFileUserBuffer, __LINE__);
        return 0;
    }
    auto* buffer = static_cast<UserBuffer*>(platform.heapAlloc(sizeof(UserBuffer)));
    if (!buffer) {
        LogPrintf("VyrUtilAllocUserBuffer=> Unable to allocate internal storage", kFileUserBuffer, __LINE__);
        return 0;
    }
    const uint32_t page = platform.pageSize();
    const auto asked = static_cast<uint32_t>((*bufSize + page - 1) / page);
    const uint64_t arrayBytes = uint64_t(asked) * sizeof(os::FrameNumber);
    buffer->pfnArray = arrayBytes > SIZE_MAX
                           ? nullptr
                           : static_cast<os::FrameNumber*>(platform.heapAlloc(size_t(arrayBytes)));
    if (!buffer->pfnArray) {
        LogPrintf("VyrUtilAllocUserBuffer => Cannot allocate the user PFN array ( %lu pages == %ld Bytes)",
                  kFileUserBuffer, __LINE__, static_cast<unsigned long>(asked),
                  static_cast<long>(arrayBytes));
        platform.heapFree(buffer);
        return 0;
    }
    if (!adjust_proc::adjustPrivilege(platform, "SeLockMemoryPrivilege", 1)) {
        platform.heapFree(buffer->pfnArray);
        platform.heapFree(buffer);
        return 0;
    }
    uintptr_t granted = asked;
    uint32_t error = 0;
    if (platform.allocatePhysicalPages(&granted, buffer->pfnArray, &error) != 1) {
        LogPrintf("VyrUtilAllocUserBuffer => Cannot allocate physical memory ( %lu pages ==> %lu MBytes)",
                  kFileUserBuffer, __LINE__, static_cast<unsigned long>(asked),
                  static_cast<unsigned long>(uint32_t(*bufSize >> 20)));
        LogPrintf("VyrUtilAllocUserBuffer => lastError: %#x", kFileUserBuffer, __LINE__,
                  static_cast<unsigned>(error));
        platform.heapFree(buffer->pfnArray);
        platform.heapFree(buffer);
        return 0;
    }
    if (granted < asked)
        *bufSize = uint64_t(granted) * page;
    buffer->numberOfPages = static_cast<uint32_t>(granted);
    buffer->bufSize = *bufSize;
    *out = buffer;
    return 1;
}

uint32_t release(const os::Platform& platform, UserBuffer* buffer)
{
    if (!buffer) {
        LogPrintf("VyrUtilFreeUserBuffer=> Argument invalid ( pBufObject == NULL)", kFileUserBuffer,
                  __LINE__);
        return 0;
    }
    if (buffer->numberOfPages != 0 && buffer->pfnArray) {
        uintptr_t freed = buffer->numberOfPages;
        uint32_t error = 0;
        if (platform.freePhysicalPages(&freed, buffer->pfnArray, &error) != 1) {
            LogPrintf("VyrUtilFreeUserBuffer=> Cannot free physical memory ( %lu pages)", kFileUserBuffer,
                      __LINE__, static_cast<unsigned long>(freed));
            // The pages freed (the leading ones) leave the buffer, so that another try frees the rest.
            const uint32_t left = freed < buffer->numberOfPages ? buffer->numberOfPages - uint32_t(freed) : 0;
            std::memmove(buffer->pfnArray, buffer->pfnArray + (buffer->numberOfPages - left),
                         left * sizeof(os::FrameNumber));
            buffer->numberOfPages = left;
            return 0;
        }
        buffer->numberOfPages = 0; // holds none now: another try after a heap refusal releases the rest
        if (!platform.heapRelease(buffer->pfnArray)) {
            LogPrintf("VyrUtilFreeUserBuffer=> Cannot free the user PFN array", kFileUserBuffer, __LINE__);
            return 0;
        }
    } else if (buffer->pfnArray) {
        platform.heapFree(buffer->pfnArray);
    }
    platform.heapFree(buffer);
    return 1;
}

// A null array holds no entries.
uint32_t pages(const os::Platform& platform, UserBuffer* buffer, UserBufferSgEntry* entries,
               uint32_t capacity)
{
    if (!buffer) {
        LogPrintf("VyrUtilGetSegUserBuffer=> Argument invalid ( pBufObject == NULL)", kFileUserBuffer,
                  __LINE__);
        return 0;
    }
    if (buffer->numberOfPages > (entries ? capacity : 0)) {
        LogPrintf("VyrUtilGetSegUserBuffer=> Argument invalid ( nSgEntry < numberOfPages)", kFileUserBuffer,
                  __LINE__);
        return 0;
    }
    const uint32_t page = platform.pageSize();
    for (uint32_t i = 0; i < buffer->numberOfPages; ++i) {
        if (!below4G(buffer->pfnArray[i])) {
            LogPrintf("VyrUtilGetPagesUserBuffer=> At least one page is above 4 GBytes", kFileUserBuffer,
                      __LINE__);
            return 0;
        }
        entries[i].physicalAddress = page * static_cast<uint32_t>(buffer->pfnArray[i]);
        entries[i].length = page;
    }
    return 1;
}

uint32_t allBelow4G(UserBuffer* buffer)
{
    if (!buffer) {
        LogPrintf("VyrUtilIsPagesBelow4GUserBuffer=> Argument invalid ( pBufObject == NULL)", kFileUserBuffer,
                  __LINE__);
        return 0;
    }
    for (uint32_t i = 0; i < buffer->numberOfPages; ++i) {
        if (!below4G(buffer->pfnArray[i]))
            return 0;
    }
    return 1;
}

uint32_t replaceAbove4G(const os::Platform& platform, UserBuffer* buffer)
{
    if (!buffer) {
        LogPrintf("VyrUtilReplacePagesAbove4GUserBuffer=> Argument invalid (pBufObject == NULL)",
                  kFileUserBuffer, __LINE__);
        return 0;
    }
    if (allBelow4G(buffer))
        return 1;
    auto* work = static_cast<Replacement*>(platform.heapAlloc(sizeof(Replacement)));
    if (!work) {
        LogPrintf("VyrUtilReplacePagesAbove4GUserBuffer=> Cannot allocate internal data structure",
                  kFileUserBuffer, __LINE__);
        return 0;
    }
    const uint32_t spares =
        buffer->numberOfPages > kMinimumSparePages ? buffer->numberOfPages : kMinimumSparePages;
    const uint64_t spareBytes = uint64_t(spares) * platform.pageSize();
    work->spareSize = spareBytes;
    if (!allocate(platform, &work->spareSize, &work->spare)) {
        platform.heapFree(work);
        return 0;
    }
    uint32_t result = 0;
    if (work->spareSize == spareBytes) {
        os::FrameNumber* target = buffer->pfnArray;
        os::FrameNumber* spare = work->spare->pfnArray;
        bool pending = false;
        uint32_t j = 0;
        for (uint32_t i = 0; i < buffer->numberOfPages; ++i) {
            if (below4G(target[i]))
                continue;
            pending = true;
            for (; j < spares; ++j) {
                if (below4G(spare[j])) {
                    const os::FrameNumber high = target[i];
                    target[i] = spare[j];
                    spare[j] = high;
                    pending = false;
                    break;
                }
            }
        }
        // The next level's spare buffer comes while this one is held, so it gets other pages.
        result = pending ? replaceAbove4G(platform, buffer) : 1;
    }
    release(platform, work->spare);
    platform.heapFree(work);
    return result;
}

void* map(const os::Platform& platform, UserBuffer* buffer, uint64_t offset, uint64_t size, void* address,
          UserBufferMap** out)
{
    if (!buffer) {
        LogPrintf("VyrUtilMapUserBufferEx=> Argument invalid ( pBufObject == NULL)", kFileUserBuffer,
                  __LINE__);
        return nullptr;
    }
    if (!out) {
        LogPrintf("VyrUtilMapUserBufferEx=> Argument invalid ( ppBufMapObject == NULL)", kFileUserBuffer,
                  __LINE__);
        return nullptr;
    }
    const uint32_t page = platform.pageSize();
    const uint64_t end = offset + size;
    // The page test only refuses a range of a buffer whose size counts more pages than it holds
    // (a size beyond 2^32 pages, whose page count was cut to 32 bits) or whose end wraps around.
    const bool pagesHeld = end >= offset && (end + page - 1) / page <= buffer->numberOfPages;
    if (end > buffer->bufSize || !pagesHeld) {
        LogPrintf("VyrUtilMapUserBufferEx=> Argument out of range ( bufOffset + bufMapSize > bufSize)",
                  kFileUserBuffer, __LINE__);
        return nullptr;
    }
    auto* m = static_cast<UserBufferMap*>(platform.heapAlloc(sizeof(UserBufferMap)));
    if (!m) {
        LogPrintf("VyrUtilMapUserBufferEx=> Unable to allocate internal storage", kFileUserBuffer, __LINE__);
        return nullptr;
    }
    const auto first = static_cast<uint32_t>(offset / page);
    const auto inPage = static_cast<uint32_t>(offset % page);
    m->numberOfPages = static_cast<uint32_t>((end + page - 1) / page - first);
    const uint64_t rangeBytes = uint64_t(m->numberOfPages) * page;
    uint32_t error = 0;
    if (!address) {
        m->address =
            rangeBytes > SIZE_MAX ? nullptr : platform.reservePhysicalRange(size_t(rangeBytes), &error);
        m->callerRange = 0;
    } else {
        m->address = address;
        m->callerRange = 1;
    }
    if (!m->address) {
        LogPrintf("VyrUtilMapUserBufferEx=> Cannot reserve virtual memory ( %lu KBytes)", kFileUserBuffer,
                  __LINE__, static_cast<unsigned long>(page / 1024 * m->numberOfPages));
        platform.heapFree(m);
        return nullptr;
    }
    if (platform.mapPhysicalPages(m->address, m->numberOfPages, buffer->pfnArray + first, &error) != 1) {
        LogPrintf("VyrUtilMapUserBufferEx=> Cannot map physical memory ( %lu pages)", kFileUserBuffer,
                  __LINE__, static_cast<unsigned long>(m->numberOfPages));
        LogPrintf("VyrUtilMapUserBufferEx=> lastError= %#x", kFileUserBuffer, __LINE__,
                  static_cast<unsigned>(error));
        if (!m->callerRange && platform.releasePhysicalRange(m->address, size_t(rangeBytes), &error) != 1)
            LogPrintf("VyrUtilMapUserBufferEx => Cannot free virtual memory ( %lu pages)", kFileUserBuffer,
                      __LINE__, static_cast<unsigned long>(m->numberOfPages));
        platform.heapFree(m);
        return nullptr;
    }
    m->bufMapSize = size;
    *out = m;
    return static_cast<uint8_t*>(m->address) + inPage;
}

uint32_t unmap(const os::Platform& platform, UserBufferMap* map)
{
    if (!map) {
        LogPrintf("VyrUtilUnmapUserBuffer=> Argument invalid ( pBufMapObject == NULL)", kFileUserBuffer,
                  __LINE__);
        return 0;
    }
    uint32_t error = 0;
    int32_t result = platform.mapPhysicalPages(map->address, map->numberOfPages, nullptr, &error);
    if (result != 1) {
        LogPrintf("VyrUtilUnmapUserBuffer => Cannot unmap physical memory ( %lu pages)", kFileUserBuffer,
                  __LINE__, static_cast<unsigned long>(map->numberOfPages));
        LogPrintf("VyrUtilUnmapUserBuffer => lastError= %#x", kFileUserBuffer, __LINE__,
                  static_cast<unsigned>(error));
    }
    if (!map->callerRange) {
        result = platform.releasePhysicalRange(
            map->address, size_t(uint64_t(map->numberOfPages) * platform.pageSize()), &error);
        if (result != 1)
            LogPrintf("VyrUtilUnmapUserBuffer => Cannot free virtual memory ( %lu pages)", kFileUserBuffer,
                      __LINE__, static_cast<unsigned long>(map->numberOfPages));
    }
    platform.heapFree(map);
    return static_cast<uint32_t>(result);
}

} // namespace vyr::os::user_buffer

extern "C" {

using vyr::os::platform;

VYR_API uint32_t VYR_CALL VyrUtilAllocUserBuffer(uint64_t* bufSize, UserBuffer** pBufObject)
{
    return vyr::os::user_buffer::allocate(platform(), bufSize, pBufObject);
}
VYR_API uint32_t VYR_CALL VyrUtilFreeUserBuffer(UserBuffer* pBufObject)
{
    return vyr::os::user_buffer::release(platform(), pBufObject);
}
VYR_API uint32_t VYR_CALL VyrUtilGetPagesUserBuffer(UserBuffer* pBufObject, UserBufferSgEntry* sgList,
                                                    uint32_t nSgEntry)
{
    return vyr::os::user_buffer::pages(platform(), pBufObject, sgList, nSgEntry);
}
VYR_API uint32_t VYR_CALL VyrUtilIsAllPagesBelow4GUserBuffer(UserBuffer* pBufObject)
{
    return vyr::os::user_buffer::allBelow4G(pBufObject);
}
VYR_API uint32_t VYR_CALL VyrUtilReplacePagesAbove4GUserBuffer(UserBuffer* pBufObject)
{
    return vyr::os::user_buffer::replaceAbove4G(platform(), pBufObject);
}
VYR_API void* VYR_CALL VyrUtilMapUserBuffer(UserBuffer* pBufObject, uint64_t bufOffset, uint64_t bufMapSize,
                                            UserBufferMap** ppBufMapObject)
{
    return vyr::os::user_buffer::map(platform(), pBufObject, bufOffset, bufMapSize, nullptr, ppBufMapObject);
}
VYR_API void* VYR_CALL VyrUtilMapUserBufferEx(UserBuffer* pBufObject, uint64_t bufOffset, uint64_t bufMapSize,
                                              void* mapAddress, UserBufferMap** ppBufMapObject)
{
    return vyr::os::user_buffer::map(platform(), pBufObject, bufOffset, bufMapSize, mapAddress,
                                     ppBufMapObject);
}
VYR_API uint32_t VYR_CALL VyrUtilUnmapUserBuffer(UserBufferMap* pBufMapObject)
{
    return vyr::os::user_buffer::unmap(platform(), pBufMapObject);
}

} // extern "C"
