// The machine-wide block on Linux: a POSIX shared-memory object that every process with the
// library loaded maps. Its lifetime follows open file description (OFD) locks, which the kernel
// drops when a process ends in any way, SIGKILL included:
//   - the gate byte serialises attach and detach;
//   - every attached process holds a read lock on the attached byte, so a detaching process that
//     finds no other holder is the last one and removes the object, and an attaching process that
//     finds none starts from fresh values;
//   - every attached process also holds a write lock on a slot byte of its own and marks the slot
//     as counted in the block; a marked slot whose lock is gone belongs to a process that died
//     attached, and whoever attaches or detaches next takes its count back.
#pragma once

#include <cstdint>
#include <sys/types.h>

#include "core/shared.h"

namespace vyr::os::block {

// One block per architecture, as 32- and 64-bit Windows load separate DLLs with separate
// sections: a 32-bit process (perhaps under an emulator with its own CPUID) must not fill the
// CPU cache that 64-bit processes read.
#if defined(__x86_64__)
constexpr const char* kName = "/VyrUtility.Shared.x86_64";
#elif defined(__i386__)
constexpr const char* kName = "/VyrUtility.Shared.i386";
#else
constexpr const char* kName = "/VyrUtility.Shared";
#endif
constexpr size_t kObjectSize = 4096;
constexpr unsigned kSlots = 1024;

constexpr off_t kGateByte = 0;
constexpr off_t kAttachedByte = 1;
constexpr off_t kSlotBase = 4096; // slot i is locked at kSlotBase + i

struct Layout {
    core::Shared shared;         // counter and CPU cache
    uint32_t slotHigh;           // slots handed out since the block was fresh
    uint8_t slotCounted[kSlots]; // 1 while the slot's process is counted in shared.attach
};
static_assert(sizeof(Layout) <= kObjectSize, "layout fits the object");

} // namespace vyr::os::block
