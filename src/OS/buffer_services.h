// The named-object and physical-page services of the platform half this build has (OS/Linux or
// OS/Windows), declared once for both and gathered into the table by each half's platform.cpp.
// Error codes are the half's own (errno values, Windows last-error values).
#pragma once

#include "OS/os.h"

namespace vyr::os::buffers {

// Named memory and named locks.
bool prepareSharing(SharingAttributes* sharing);
int32_t createMapping(const char* name, uint64_t size, const SharingAttributes* sharing, Handle* mapping,
                      bool* existed, uint32_t* lastError);
int32_t openMapping(const char* name, Handle* mapping, uint32_t* lastError);
void* mapView(Handle mapping, uint64_t offset, size_t length, uint32_t* lastError);
int32_t unmapView(void* view, uint32_t* lastError);
void closeMapping(Handle mapping);
int32_t createLock(const char* name, const SharingAttributes* sharing, Handle* lock, uint32_t* lastError);
int32_t openLock(const char* name, Handle* lock, uint32_t* lastError);
LockWait waitLock(Handle lock, uint32_t ms);
void releaseLock(Handle lock);
void closeLock(Handle lock);

// Locked physical pages.
bool physicalPagesAvailable();
int32_t allocatePhysicalPages(uintptr_t* count, FrameNumber* frames, uint32_t* lastError);
int32_t freePhysicalPages(uintptr_t* count, FrameNumber* frames, uint32_t* lastError);
int32_t mapPhysicalPages(void* address, uintptr_t count, const FrameNumber* frames, uint32_t* lastError);
void* reservePhysicalRange(size_t bytes, uint32_t* lastError);
int32_t releasePhysicalRange(void* address, size_t bytes, uint32_t* lastError);

} // namespace vyr::os::buffers

// The table's entries for these services, in the order of os.h.
#define VYR_BUFFER_SERVICES                                                                                  \
    buffers::prepareSharing, buffers::createMapping, buffers::openMapping, buffers::mapView,                 \
        buffers::unmapView, buffers::closeMapping, buffers::createLock, buffers::openLock,                   \
        buffers::waitLock, buffers::releaseLock, buffers::closeLock, buffers::physicalPagesAvailable,        \
        buffers::allocatePhysicalPages, buffers::freePhysicalPages, buffers::mapPhysicalPages,               \
        buffers::reservePhysicalRange, buffers::releasePhysicalRange
