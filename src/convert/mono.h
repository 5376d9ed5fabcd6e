// Grey (MONO) converters.
#pragma once

#include "convert/line.h"

namespace vyr::convert {

extern const Paths kMono8ToRgb8888;
extern const Paths kMono8ToRgb888;

} // namespace vyr::convert
