// Unit kernels: a kernel converts whole units of pixels, as many pixels as a register of its
// instruction set has bytes (16, 32 or 64), from input streams to output streams (a packed line is one
// stream, every plane another). A kernel is named by a tag; its code lives in the kernel files of its
// family, one instantiation of unitsSse2 ... unitsAvx512 per tag and instruction set.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vyr::convert::kernels {

// Tags (in namespace tag) say what their kernel reads and writes:
//   kIn[s], kOut[s]  bytes per pixel of input and output stream s (in templates with their bounds
//                    written out: clang reads no element of an array of unknown bound as a constant)
//   kShuffles        whether bytes move across the register (SSSE3 and AVX-512 kernels), or the
//                    kernel runs at every width (SSE2, AVX2 and AVX-512)
//   kNullStreams     whether a null stream reads as zeros and is not written
//   kLongRunsStream  (where present) false where the kernel's runs of kStreamingPixels (simd.h) or more
//                    keep plain stores unless their bytes alone call for streaming ones (store.h)
struct AnyWidth {
    static constexpr bool kShuffles = false, kNullStreams = false;
};
struct Shuffles {
    static constexpr bool kShuffles = true, kNullStreams = false;
};

// Byte routes (route.h) are tags with one more member, from(outStream, byte, unitPixels): where that
// byte of a unit comes from, an input stream's byte, zeroByte() or keptByte() (the destination's).
struct From {
    int stream, byte;
};
constexpr int kZeroStream = -1, kKeptStream = -2;
constexpr From zeroByte() { return {kZeroStream, 0}; }
constexpr From keptByte() { return {kKeptStream, 0}; }

// A byte route repeating every Period pixels with one stream each way: byte r of a period's output is
// byte Pick[r] of the period's input, or 0 (kZero), or the destination's own (kKept).
constexpr int kZero = -1, kKept = -2;
template <int Period, int In, int Out, int... Pick>
struct PeriodRoute : Shuffles {
    static_assert(sizeof...(Pick) == Period * Out, "a pick for every output byte of a period");
    static constexpr int kIn[1] = {In}, kOut[1] = {Out};
    static constexpr From from(int, int byte, int)
    {
        constexpr int pick[] = {Pick...};
        const int r = pick[byte % (Period * Out)];
        return r == kZero   ? zeroByte()
               : r == kKept ? keptByte()
                            : From{0, byte / (Period * Out) * Period * In + r};
    }
};
template <int In, int Out, int... Pick>
using PixelRoute = PeriodRoute<1, In, Out, Pick...>;

using UnitKernel = void (*)(const uint8_t* const* in, uint8_t* const* out, size_t pixels, uint32_t arg);

// K's kernel over `pixels`, a multiple of the unit unless its tag says otherwise. `arg` is the
// converter's unusedBits, or what a family packs there.
template <class K>
void unitsSse2(const uint8_t* const* in, uint8_t* const* out, size_t pixels, uint32_t arg);
template <class K>
void unitsSsse3(const uint8_t* const* in, uint8_t* const* out, size_t pixels, uint32_t arg);
template <class K>
void unitsAvx2(const uint8_t* const* in, uint8_t* const* out, size_t pixels, uint32_t arg);
template <class K>
void unitsAvx512(const uint8_t* const* in, uint8_t* const* out, size_t pixels, uint32_t arg);

// The rest of a run after its whole units goes through one unit on the stack (64-byte aligned, a
// multiple of 64 bytes a stream): at AVX-512 its bytes move by masked loads and stores of whole
// registers, so that the kernel's loads from the block take at once what whole stores wrote (a copy
// of odd size leaves narrower stores, which a wider load waits for until they reach the cache).
// `block` gets the first `bytes` from `from`, zeros after them; `to` gets the first `bytes` of `block`.
void intoUnitBlock(uint8_t* block, size_t blockBytes, const uint8_t* from, size_t bytes);
void fromUnitBlock(uint8_t* to, const uint8_t* block, size_t bytes);

} // namespace vyr::convert::kernels
