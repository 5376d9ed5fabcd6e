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

// Execute one SSE (xorps) or SSE2 (xorpd) instruction; false when the system refuses it.
bool trySseInstruction();
bool trySse2Instruction();

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
};

// The platform this build runs on.
const Platform& platform();

} // namespace vyr::os
