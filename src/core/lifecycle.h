#pragma once

#include "VyrUtility.h"

namespace vyr::core {

// The per-process initialisation step of the entry point; nothing to do in this library.
VyrBool VyrUtilInitInstance();

// The attach step before the counter moves: false (after the start-up message at level 1) when
// the initialisation step fails, and the process must then not be counted.
bool startProcess();

} // namespace vyr::core
