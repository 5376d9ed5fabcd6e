// The platform layer: the only code that knows which operating system it runs on. Each half
// (OS/Linux, OS/Windows) implements these in the vocabulary the services above need.
//
// The services in src/OS (rules, argument checks, messages) call the platform through a Platform
// table, so that a test can hand them a table with some entries replaced. Calls that stand for a
// platform service return that service's result (1 for success where it is a BOOL) and, where a
// caller reports it, the platform's last-error value read right after the call.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/shared.h"

namespace vyr::os {

// Whether the system saves and enables the SSE (SSE2) register state, so that such instructions run
// rather than fault; told by the system itself, without executing one.
bool systemRunsSse();
bool systemRunsSse2();

// Processors the system reports (logical processors of the machine).
uint32_t processorCount();

// A platform object (token, event, thread); 0 is none.
using Handle = uintptr_t;

// One sample of the machine's CPU times.
struct SystemTimes {
    uint64_t idle;       // idle time summed over all processors
    uint64_t now;        // the current time, in the unit of idle
    uint32_t processors; // processors whose idle time is summed
};

using ThreadMain = void (*)(void* arg);

// Security attributes that give every user full access to a named object, in storage of the
// caller's that the platform fills.
struct SharingAttributes {
    alignas(8) unsigned char storage[96];
};

// How a wait on a named lock ended. Abandoned: the previous owner ended without releasing it, and
// the waiter now owns it.
enum class LockWait { Acquired, Abandoned, TimedOut, Failed };

// A physical page frame number, as wide as the platform's.
using FrameNumber = uintptr_t;

struct Platform {
    // Process heap: zeroed blocks (null when refused).
    void* (*heapAlloc)(size_t bytes);
    void (*heapFree)(void* block);

    // High-resolution counter: its value in ticks and its ticks per second.
    uint64_t (*counter)();
    uint64_t (*counterFrequency)();

    // CPU times: whether the platform offers them (looked up once), and one sample; false when a
    // query fails.
    bool (*systemTimesAvailable)();
    bool (*systemTimes)(SystemTimes* out);

    // The calling process's access token, opened to adjust privileges.
    int32_t (*openProcessToken)(Handle* token);
    // The identifier of a privilege name; null names are never passed.
    int32_t (*lookupPrivilege)(const char* name, uint64_t* id);
    // Enables or disables one privilege. The result is the apply step's; a privilege the process may
    // not hold leaves the result 1 and a nonzero *lastError.
    int32_t (*adjustPrivilege)(Handle token, uint64_t id, bool enable, uint32_t* lastError);
    void (*closeToken)(Handle token);

    // Minimum and maximum working-set sizes of the process: nonzero on success.
    int32_t (*setWorkingSet)(size_t minimum, size_t maximum, uint32_t* lastError);

    // Nonzero when this 32-bit process runs on a 64-bit kernel.
    uint32_t (*is64BitKernel)();
    // The Windows version (false where there is none, or the query fails).
    bool (*windowsVersion)(uint32_t* major, uint32_t* minor);

    // A manual-reset, unnamed event, not signalled (0 when it cannot be made).
    Handle (*createEvent)();
    void (*setEvent)(Handle event);
    // Waits at most ms milliseconds (0xFFFFFFFF: without limit); true when the event is signalled.
    bool (*waitEvent)(Handle event, uint32_t ms);
    void (*closeEvent)(Handle event);
    // Starts main(arg) on a new thread at once (0 when it cannot be started).
    Handle (*startThread)(ThreadMain main, void* arg);
    // Waits for the thread to end and releases it.
    void (*joinThread)(Handle thread);
    // The calling process's identifier (a forked child's differs from its parent's).
    uint32_t (*processId)();

    // Releases a heap block; false when the heap refuses it.
    bool (*heapRelease)(void* block);
    // The system page size in bytes.
    uint32_t (*pageSize)();

    // Named memory and named locks. Names are never null. The objects live while any process holds
    // a handle (or, for memory, a view) of them.
    bool (*prepareSharing)(SharingAttributes* sharing);
    // Creates named memory of size bytes, or opens it (with its own size) when the name exists.
    int32_t (*createMapping)(const char* name, uint64_t size, const SharingAttributes* sharing,
                             Handle* mapping, bool* existed, uint32_t* lastError);
    int32_t (*openMapping)(const char* name, Handle* mapping, uint32_t* lastError);
    // A read/write view of length bytes at offset (length 0: to the end); null on failure.
    void* (*mapView)(Handle mapping, uint64_t offset, size_t length, uint32_t* lastError);
    int32_t (*unmapView)(void* view, uint32_t* lastError);
    void (*closeMapping)(Handle mapping);
    // Creates the named lock or opens it when the name exists; the caller does not hold it after.
    int32_t (*createLock)(const char* name, const SharingAttributes* sharing, Handle* lock,
                          uint32_t* lastError);
    int32_t (*openLock)(const char* name, Handle* lock, uint32_t* lastError);
    // Waits at most ms milliseconds (0xFFFFFFFF: without limit). The lock is owned by the calling
    // thread and may be taken again by it; each take needs its own release.
    LockWait (*waitLock)(Handle lock, uint32_t ms);
    void (*releaseLock)(Handle lock);
    void (*closeLock)(Handle lock);

    // Locked physical pages: whether the platform offers them (looked up once), allocation of
    // *count pages (updated to the number granted) with their frame numbers, their release by frame
    // number (*count updated to the number freed), and their mapping at page-aligned addresses of a
    // range reserved for them (null frames unmap, leaving the range reserved).
    bool (*physicalPagesAvailable)();
    int32_t (*allocatePhysicalPages)(uintptr_t* count, FrameNumber* frames, uint32_t* lastError);
    int32_t (*freePhysicalPages)(uintptr_t* count, FrameNumber* frames, uint32_t* lastError);
    int32_t (*mapPhysicalPages)(void* address, uintptr_t count, const FrameNumber* frames,
                                uint32_t* lastError);
    // Reserves bytes of address space for physical pages (null on failure) and releases a
    // reservation by its start and size.
    void* (*reservePhysicalRange)(size_t bytes, uint32_t* lastError);
    int32_t (*releasePhysicalRange)(void* address, size_t bytes, uint32_t* lastError);
};

// The platform this build runs on.
const Platform& platform();

} // namespace vyr::os
