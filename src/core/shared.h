// The machine-wide block: one copy for every process that has the library loaded.
#pragma once

#include <cstdint>

namespace vyr::core {

constexpr unsigned kCpuCacheWords = 8;

struct Shared {
    int32_t attach;               // n - 1 with n processes attached; starts at -1
    uint32_t cpu[kCpuCacheWords]; // CPU identification cache, see core/cpu.h
};

constexpr Shared kFreshShared = {-1, {}};

} // namespace vyr::core

namespace vyr::os {
// The block this process uses. Valid at any time: before attaching (or when the platform cannot
// provide a machine-wide block) it is a private block with the fresh values.
core::Shared* machineShared();
} // namespace vyr::os
