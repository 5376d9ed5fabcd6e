#include "OS/shared_buffer.h"

#include "core/log.h"
#include "core/strings.h"

namespace vyr::os::shared_buffer {

using core::boundedFormat;
using core::kFileSharedBuffer;
using core::LogPrintf;

uint32_t allocate(const os::Platform& platform, uint64_t bufSize, const char* name, SharedBuffer** out)
{
    if (!out) {
        LogPrintf("VyrUtilAllocSharedBuffer => Invalid argument (ppBufferObj == NULL)", kFileSharedBuffer,
                  __LINE__);
        return 0;
    }
    if (!name) {
        LogPrintf("VyrUtilAllocSharedBuffer => Invalid argument (szBufObjectName == NULL)", kFileSharedBuffer,
                  __LINE__);
        return 0;
    }
    auto* buffer = static_cast<SharedBuffer*>(platform.heapAlloc(sizeof(SharedBuffer)));
    if (!buffer) {
        LogPrintf("VyrUtilAllocSharedBuffer => Unable to allocate internal storage", kFileSharedBuffer,
                  __LINE__);
        return 0;
    }
    buffer->bufSize = bufSize;
    buffer->created = 1;
    os::SharingAttributes sharing;
    if (!platform.prepareSharing(&sharing)) {
        platform.heapFree(buffer);
        return 0;
    }
    char lockName[kLockNameCapacity];
    boundedFormat(lockName, sizeof lockName, "%s_LOCK", name);
    uint32_t error = 0;
    if (platform.createLock(lockName, &sharing, &buffer->hLock, &error) != 1) {
        LogPrintf("VyrUtilAllocSharedBuffer => Unable to create synchronization object (lastError: %#lx)",
                  kFileSharedBuffer, __LINE__, static_cast<unsigned long>(error));
        platform.heapFree(buffer);
        return 0;
    }
    bool existed = false;
    if (platform.createMapping(name, bufSize, &sharing, &buffer->hMapping, &existed, &error) != 1) {
        LogPrintf("VyrUtilAllocSharedBuffer => Unable to create file mapping (lastError= %#08lx)",
                  kFileSharedBuffer, __LINE__, static_cast<unsigned long>(error));
        platform.closeLock(buffer->hLock);
        platform.heapFree(buffer);
        return 0;
    }
    if (existed)
        buffer->created = 0;
    *out = buffer;
    return 1;
}

uint32_t open(const os::Platform& platform, const char* name, SharedBuffer** out)
{
    if (!out) {
        LogPrintf("VyrUtilOpenSharedBuffer => Invalid argument (ppSharedObject == NULL)", kFileSharedBuffer,
                  __LINE__);
        return 0;
    }
    if (!name) {
        LogPrintf("VyrUtilOpenSharedBuffer => Invalid argument (szBufObjectName == NULL)", kFileSharedBuffer,
                  __LINE__);
        return 0;
    }
    auto* buffer = static_cast<SharedBuffer*>(platform.heapAlloc(sizeof(SharedBuffer)));
    if (!buffer) {
        LogPrintf("VyrUtilOpenSharedBuffer => Unable to allocate internal storage", kFileSharedBuffer,
                  __LINE__);
        return 0;
    }
    char lockName[kLockNameCapacity];
    boundedFormat(lockName, sizeof lockName, "%s_LOCK", name);
    uint32_t error = 0;
    if (platform.openLock(lockName, &buffer->hLock, &error) != 1) {
        platform.heapFree(buffer);
        LogPrintf("VyrUtilOpenSharedBuffer => Unable to create synchronization object (lastError: %#lx)",
                  kFileSharedBuffer, __LINE__, static_cast<unsigned long>(error));
        return 0;
    }
    if (platform.openMapping(name, &buffer->hMapping, &error) != 1) {
        LogPrintf("VyrUtilOpenSharedBuffer => Unable to create file mapping (lastError= %#08lx)",
                  kFileSharedBuffer, __LINE__, static_cast<unsigned long>(error));
        platform.closeLock(buffer->hLock);
        platform.heapFree(buffer);
        return 0;
    }
    *out = buffer;
    return 1;
}

uint32_t release(const os::Platform& platform, SharedBuffer* buffer)
{
    if (!buffer) {
        LogPrintf("VyrUtilFreeSharedBuffer => Invalid argument (pBufObject == NULL)", kFileSharedBuffer,
                  __LINE__);
        return 1;
    }
    if (buffer->hMapping)
        platform.closeMapping(buffer->hMapping);
    if (buffer->hLock)
        platform.closeLock(buffer->hLock);
    platform.heapFree(buffer);
    return 1;
}

uint32_t hasCreated(SharedBuffer* buffer)
{
    if (!buffer) {
        LogPrintf("VyrUtilHasCreatedSharedBuffer => Invalid argument (pBufObject == NULL)", kFileSharedBuffer,
                  __LINE__);
        return 0;
    }
    return buffer->created;
}

// An abandoned lock is owned by the waiter now: it counts as taken, so the caller unlocks it.
uint32_t lock(const os::Platform& platform, SharedBuffer* buffer, uint32_t timeout)
{
    if (!buffer) {
        LogPrintf("VyrUtilLockSharedBuffer => Invalid argument (pBufObject == NULL)", kFileSharedBuffer,
                  __LINE__);
        return 0;
    }
    const os::LockWait wait = platform.waitLock(buffer->hLock, timeout);
    return wait == os::LockWait::Acquired || wait == os::LockWait::Abandoned ? 1 : 0;
}

uint32_t unlock(const os::Platform& platform, SharedBuffer* buffer)
{
    if (!buffer) {
        LogPrintf("VyrUtilUnlockSharedBuffer => Invalid argument (pBufObject == NULL)", kFileSharedBuffer,
                  __LINE__);
        return 0;
    }
    platform.releaseLock(buffer->hLock);
    return 1;
}

void* map(const os::Platform& platform, SharedBuffer* buffer, uint64_t offset, uint64_t size,
          SharedBufferMap** out)
{
    if (!buffer) {
        LogPrintf("VyrUtilMapSharedBuffer => Invalid argument (pBufObject == NULL)", kFileSharedBuffer,
                  __LINE__);
        return nullptr;
    }
    if (!out) {
        LogPrintf("VyrUtilMapSharedBuffer => Invalid argument (ppBufMapObject == NULL)", kFileSharedBuffer,
                  __LINE__);
        return nullptr;
    }
    if (buffer->bufSize != 0 && offset + size > buffer->bufSize) {
        LogPrintf("VyrUtilMapSharedBuffer => Invalid argument (bufOffset + bufMapSize > bufSize)",
                  kFileSharedBuffer, __LINE__);
        return nullptr;
    }
    auto* m = static_cast<SharedBufferMap*>(platform.heapAlloc(sizeof(SharedBufferMap)));
    if (!m) {
        LogPrintf("VyrUtilMapSharedBuffer => Unable to allocate internal storage", kFileSharedBuffer,
                  __LINE__);
        return nullptr;
    }
    const uint64_t inPage = offset % platform.pageSize();
    // 0 maps to the end of the memory. A 32-bit process keeps the low 32 bits of the length.
    const size_t length = size == 0 ? 0 : static_cast<size_t>(size + inPage);
    uint32_t error = 0;
    void* view = platform.mapView(buffer->hMapping, offset - inPage, length, &error);
    if (!view) {
        LogPrintf("VyrUtilMapSharedBuffer => Unable to map view of file (%#08lx)\n", kFileSharedBuffer,
                  __LINE__, static_cast<unsigned long>(error));
        platform.heapFree(m);
        return nullptr;
    }
    m->view = view;
    *out = m;
    return static_cast<uint8_t*>(view) + inPage;
}

uint32_t unmap(const os::Platform& platform, SharedBufferMap* map)
{
    if (!map) {
        LogPrintf("VyrUtilUnmapSharedBuffer => Invalid argument (pBufMapObject == NULL)", kFileSharedBuffer,
                  __LINE__);
        return 1;
    }
    uint32_t error = 0;
    if (platform.unmapView(map->view, &error) != 1) {
        LogPrintf("VyrUtilUnmapSharedBuffer => Unable to unmap view of file (lastError= %#x)\n",
                  kFileSharedBuffer, __LINE__, static_cast<unsigned>(error));
        return 0;
    }
    platform.heapFree(map);
    return 1;
}

} // namespace vyr::os::shared_buffer

extern "C" {

using vyr::os::platform;

VYR_API uint32_t VYR_CALL VyrUtilAllocSharedBuffer(uint64_t bufSize, const char* szBufObjectName,
                                                   SharedBuffer** ppBufferObj)
{
    return vyr::os::shared_buffer::allocate(platform(), bufSize, szBufObjectName, ppBufferObj);
}
VYR_API uint32_t VYR_CALL VyrUtilOpenSharedBuffer(const char* szBufObjectName, SharedBuffer** ppSharedObject)
{
    return vyr::os::shared_buffer::open(platform(), szBufObjectName, ppSharedObject);
}
VYR_API uint32_t VYR_CALL VyrUtilFreeSharedBuffer(SharedBuffer* pBufObject)
{
    return vyr::os::shared_buffer::release(platform(), pBufObject);
}
VYR_API uint32_t VYR_CALL VyrUtilHasCreatedSharedBuffer(SharedBuffer* pBufObject)
{
    return vyr::os::shared_buffer::hasCreated(pBufObject);
}
VYR_API uint32_t VYR_CALL VyrUtilLockSharedBuffer(SharedBuffer* pBufObject, uint32_t timeout)
{
    return vyr::os::shared_buffer::lock(platform(), pBufObject, timeout);
}
VYR_API uint32_t VYR_CALL VyrUtilUnlockSharedBuffer(SharedBuffer* pBufObject)
{
    return vyr::os::shared_buffer::unlock(platform(), pBufObject);
}
VYR_API void* VYR_CALL VyrUtilMapSharedBuffer(SharedBuffer* pBufObject, uint64_t bufOffset,
                                              uint64_t bufMapSize, SharedBufferMap** ppBufMapObject)
{
    return vyr::os::shared_buffer::map(platform(), pBufObject, bufOffset, bufMapSize, ppBufMapObject);
}
VYR_API uint32_t VYR_CALL VyrUtilUnmapSharedBuffer(SharedBufferMap* pBufMapObject)
{
    return vyr::os::shared_buffer::unmap(platform(), pBufMapObject);
}

} // extern "C"
