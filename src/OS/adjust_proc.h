// Privilege and working-set adjustment of the calling process, and two questions about the system.
#pragma once

#include <atomic>
#include <cstdint>

#include "OS/os.h"

namespace vyr::os::adjust_proc {

uint32_t adjustPrivilege(const os::Platform& platform, const char* name, uint32_t enable);
uint32_t adjustWorkingSet(const os::Platform& platform, uint32_t minimum, uint32_t maximum);
uint32_t is64BitKernel(const os::Platform& platform);

// The version as first read in the process, whether or not that read succeeded.
struct VersionRecord {
    std::atomic<bool> filled{false};
    std::atomic<uint32_t> major{0};
    std::atomic<uint32_t> minor{0};
};

uint32_t isWindows8AndGreater(const os::Platform& platform, VersionRecord& record);

} // namespace vyr::os::adjust_proc
