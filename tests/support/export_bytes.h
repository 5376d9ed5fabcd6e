// The stdcall argument size of a function type, counted as 32-bit Windows does: pointers take 4
// bytes, every argument a whole number of 4-byte stack words.
#pragma once

#include <type_traits>

#include "VyrUtility.h"

namespace vyr::test {

template <class T>
constexpr unsigned stackSlotBytes()
{
    if constexpr (std::is_pointer_v<T>)
        return 4;
    else
        return (sizeof(T) + 3) / 4 * 4;
}

template <class R, class... A>
constexpr unsigned stackBytes(R(VYR_CALL*)(A...))
{
    return (0u + ... + stackSlotBytes<A>());
}

} // namespace vyr::test
