// The platform layer: the only code that knows which operating system it runs on. Each half
// (OS/Linux, OS/Windows) implements these in the vocabulary the services above need.
#pragma once

#include <cstdint>

#include "core/shared.h"

namespace vyr::os {

// Execute one SSE (xorps) or SSE2 (xorpd) instruction; false when the system refuses it.
bool trySseInstruction();
bool trySse2Instruction();

// Processors the system reports (logical processors of the machine).
uint32_t processorCount();

} // namespace vyr::os
