// Named buffers shared between processes, with their named lock: the rules, argument checks and
// messages, over the platform layer.
#pragma once

#include <cstdint>

#include "OS/os.h"
#include "VyrUtility.h"

// The buffer object: one per allocate or open call.
struct SharedBuffer {
    vyr::os::Handle hMapping;
    uint32_t created; // 1 when the allocate call created the memory
    vyr::os::Handle hLock;
    uint64_t bufSize; // as asked for by allocate; 0 for an opened buffer (no bound test)
};

// One mapped view; view is its page-aligned base, which is what gets unmapped.
struct SharedBufferMap {
    void* view;
};

namespace vyr::os::shared_buffer {

constexpr size_t kLockNameCapacity = 260;

uint32_t allocate(const os::Platform& platform, uint64_t bufSize, const char* name, SharedBuffer** out);
uint32_t open(const os::Platform& platform, const char* name, SharedBuffer** out);
uint32_t release(const os::Platform& platform, SharedBuffer* buffer);
uint32_t hasCreated(SharedBuffer* buffer);
uint32_t lock(const os::Platform& platform, SharedBuffer* buffer, uint32_t timeout);
uint32_t unlock(const os::Platform& platform, SharedBuffer* buffer);
void* map(const os::Platform& platform, SharedBuffer* buffer, uint64_t offset, uint64_t size,
          SharedBufferMap** out);
uint32_t unmap(const os::Platform& platform, SharedBufferMap* map);

} // namespace vyr::os::shared_buffer
