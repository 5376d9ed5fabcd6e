// Camera samples packed tighter than whole bytes, unpacked to 16-bit words.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vyr::frame {

// Unpacks `count` samples of a line that starts at `src` (on a byte) into the little-endian 16-bit
// words at `dst` (any alignment). Reads only the line's ceil(count * bits / 8) bytes.
using UnpackFunction = void (*)(const uint8_t* src, uint8_t* dst, uint32_t count);

struct UnpackPath {
    const char* name; // "scalar", "avx2"
    UnpackFunction unpack;
    bool runs; // this processor runs it
};

// The fastest path this processor runs for a packed format; nullptr for any other format.
UnpackFunction unpacker(uint32_t format);
// Every path of a packed format, fastest last; 0 paths for any other format.
size_t unpackPaths(uint32_t format, const UnpackPath*& paths);
// The format a packed format's samples unpack to (MONO16 or BAYER15); 0 for any other format.
uint32_t unpackedFormat(uint32_t format);

} // namespace vyr::frame
