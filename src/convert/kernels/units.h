// The loop of the unit kernels (unit_kernels.h) and their instantiation in the kernel files.
//
// A tag's code is Steps<K, W>: constructed once per call from the kernel's argument, it converts one
// unit of W::kBytes pixels at pixel i of the streams. The primary template runs a byte route (route.h);
// other tags specialize it in their family's steps header.
//
// Kernel files are compiled for different instruction sets: everything here has internal linkage,
// but for the instantiations of unitsSse2 ... unitsAvx512, each made in one kernel file only.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>

#include "convert/kernels/passes.h"
#include "convert/kernels/route.h"
#include "convert/kernels/store.h"
#include "convert/kernels/unit_kernels.h"
#include "convert/kernels/vec.h"

namespace vyr::convert::kernels {
namespace {

// Whether a route over units of P bytes costs less from its input registers, each loaded once, than
// from windows of memory, each loaded for itself (with VBMI, where a permute takes two windows: planes
// gathered or spread load a window per plane and register otherwise).
template <class Map, int P>
constexpr bool routeFromRegisters()
{
    if (P != 64)
        return false;
    const RoutePlan<P>& memory = Planned<Map, P, false>::kPlan;
    const RoutePlan<P>& registers = Planned<Map, P, true>::kPlan;
    int memoryCost = 0, registerCost = 0;
    for (int p = 0; p < memory.pieces; ++p)
        memoryCost += memory.piece[p].windows + (memory.piece[p].windows + 1) / 2;
    for (int p = 0; p < registers.pieces; ++p)
        registerCost += (registers.piece[p].windows + 1) / 2;
    for (int bytes : Map::kIn)
        registerCost += bytes;
    return registerCost < memoryCost;
}

// The route of a unit from its input registers, each loaded once (a null stream reads as zeros where
// Nulls), to memory (a null stream is skipped where Nulls).
template <class Map, class W, bool Stream, bool Nulls>
inline void routeUnitFromRegisters(const uint8_t* const* in, uint8_t* const* out, size_t i)
{
    constexpr size_t streams = std::size(Map::kIn);
    constexpr int most = *std::max_element(std::begin(Map::kIn), std::end(Map::kIn));
    typename W::V reg[streams][most > 0 ? most : 1];
    for (size_t s = 0; s < streams; ++s) {
        for (int k = 0; k < Map::kIn[s]; ++k)
            reg[s][k] = Nulls && !in[s] ? W::zero() : W::load(in[s] + i * Map::kIn[s] + k * W::kBytes);
    }
    using Plan = Planned<Map, int(W::kBytes), true>;
    staticFor<Plan::kPlan.pieces>([&](auto p) {
        constexpr const auto& pc = Plan::kPlan.piece[p];
        if (Nulls && !out[pc.stream])
            return;
        const auto v = Permutes<int(W::kBytes)>::template piece<Plan, p>(
            [&](int s, int offset) { return reg[s][offset / int(W::kBytes)]; });
        Permutes<int(W::kBytes)>::template store<Plan, p, Stream>(
            out[pc.stream] + i * Map::kOut[pc.stream] + pc.offset, v);
    });
}

// A route of the unit at pixel i into registers (out[k]: register k of its single output stream), from
// its input registers, each loaded once, where that costs less than windows of memory.
template <class Map, class W>
inline void routeUnitToRegisters(const uint8_t* const* in, size_t i, typename W::V* out)
{
    if constexpr (routeFromRegisters<Map, int(W::kBytes)>()) {
        static_assert(std::size(Map::kIn) == 1, "one input stream");
        typename W::V reg[Map::kIn[0]];
        for (int k = 0; k < Map::kIn[0]; ++k)
            reg[k] = W::load(in[0] + i * Map::kIn[0] + k * W::kBytes);
        const typename W::V* streams[1] = {reg};
        routeBetweenRegisters<Map, W>(streams, out);
    } else {
        routeToRegisters<Map, W>(in, i, out);
    }
}

template <class K, class W>
struct Steps {
    explicit Steps(uint32_t) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        if constexpr (routeFromRegisters<K, int(W::kBytes)>())
            routeUnitFromRegisters<K, W, Stream, K::kNullStreams>(in, out, i);
        else
            routeUnit<K, W, Stream, K::kNullStreams, K::kNullStreams>(in, out, i);
    }
};

// Register k of stream s in the unit at pixel i, and back.
template <class K, class W>
inline typename W::V loadUnit(const uint8_t* const* in, size_t s, size_t i, size_t k)
{
    return W::load(in[s] + i * K::kIn[s] + k * W::kBytes);
}
template <class K, class W, bool Stream>
inline void storeUnit(uint8_t* const* out, size_t s, size_t i, size_t k, typename W::V v)
{
    W::template store<Stream>(out[s] + i * K::kOut[s] + k * W::kBytes, v);
}

// f(k, register k) for each register of input stream 0 in the unit at pixel i, in memory order.
template <class K, class W, class F>
inline void eachInput(const uint8_t* const* in, size_t i, F f)
{
    for (size_t k = 0; k < size_t(K::kIn[0]); ++k)
        f(k, loadUnit<K, W>(in, 0, i, k));
}

// A shift count of (Fixed - unusedBits) for the shifts by register.
template <int Fixed>
inline __m128i shiftBy(uint32_t unusedBits)
{
    return _mm_cvtsi32_si128(int(Fixed - unusedBits));
}

// The 16-bit factor whose product's high half is a word shifted right by 1 to 15 (0 from 16 on).
inline int16_t sampleScale(uint32_t shift) { return int16_t(shift < 16 ? 0x10000 >> shift : 0); }

// Indices putting pixels in order after multishifts gathered R registers of 8 x Group pixels each,
// register k's pixels Group j to Group j + Group - 1 into elements Group k on of 8-byte group j (a
// permute of elements T).
template <class T, int R, int Group>
struct GroupedOrder {
    alignas(64) T index[8 * Group * R];
};
template <class T, int R, int Group>
constexpr GroupedOrder<T, R, Group> groupedOrder()
{
    GroupedOrder<T, R, Group> t{};
    for (int p = 0; p < 8 * Group * R; ++p)
        t.index[p] = T(p % (8 * Group) / Group * Group * R + p / (8 * Group) * Group + p % Group);
    return t;
}

// A route from packed pixels of In bytes to words of channels, one channel after the other (two
// registers each): the words of channel c take byte Pick[c] of each pixel.
template <int In, int... Pick>
struct ChannelWords {
    static constexpr int kIn[1] = {In}, kOut[1] = {2 * int(sizeof...(Pick))};
    static constexpr From from(int, int byte, int unit)
    {
        constexpr int pick[] = {Pick...};
        return byte % 2 ? zeroByte() : From{0, byte % (2 * unit) / 2 * In + pick[byte / (2 * unit)]};
    }
};

template <size_t N>
constexpr int sumOf(const int (&bytes)[N])
{
    int n = 0;
    for (int b : bytes)
        n += b;
    return n;
}

// The steps inlined whole, and the stream pointers held apart from the memory the stores write. On runs
// as long as a frame's line, the loads of a kernel that reads more than it writes leave the hardware
// prefetcher behind: its inputs are fetched a page ahead (RGB8888 to MONO8 and RGB888, MONO16 to MONO8
// on a frame 1.17-1.27 times as fast; in the cache the fetches cost 10-15%).
template <class K, class W>
struct UnitLoop {
    template <bool Stream>
    [[gnu::flatten]] static void run(const uint8_t* const* in, uint8_t* const* out, size_t pixels,
                                     uint32_t arg)
    {
        const Steps<K, W> steps(arg);
        const uint8_t* from[std::size(K::kIn)];
        uint8_t* to[std::size(K::kOut)];
        std::copy(in, in + std::size(K::kIn), from);
        std::copy(out, out + std::size(K::kOut), to);
        const bool fetch = sumOf(K::kIn) > sumOf(K::kOut) && pixels >= kStreamingPixels;
        for (size_t i = 0; i < pixels; i += W::kBytes) {
            if (fetch) {
                staticFor<int(std::size(K::kIn))>([&](auto s) {
                    fetchAhead<W::kBytes * K::kIn[s], kPageAhead, true>(from[s] + i * K::kIn[s]);
                });
            }
            steps.template unit<Stream>(from, to, i);
        }
    }
};

// Streaming stores where every output stream allows them; the first decides with the whole size, read
// or written, or with the run's length (LongRunsStream).
template <class K, class W>
inline void runUnits(const uint8_t* const* in, uint8_t* const* out, size_t pixels, uint32_t arg)
{
    size_t bytes = 0;
    const size_t read = pixels * size_t(sumOf(K::kIn));
    bool aligned = true;
    const uint8_t* first = nullptr;
    for (size_t s = 0; s < std::size(K::kOut); ++s) {
        if (!out[s])
            continue;
        bytes += pixels * K::kOut[s];
        aligned = aligned && (reinterpret_cast<uintptr_t>(out[s]) & 15) == 0;
        first = first ? first : out[s];
    }
    if (aligned && first)
        withStores<UnitLoop<K, W>>(first, lineBytes<K, true>(std::max(bytes, read), pixels), in, out, pixels,
                                   arg);
    else
        UnitLoop<K, W>::template run<false>(in, out, pixels, arg);
}

// How a kernel runs its units: runUnits, unless its family's steps header specializes this (to make
// the choices of the argument once a call, for one).
template <class K, class W>
struct Runner {
    static void run(const uint8_t* const* in, uint8_t* const* out, size_t pixels, uint32_t arg)
    {
        runUnits<K, W>(in, out, pixels, arg);
    }
};

} // namespace

// Kernels that shuffle run with SSSE3 and AVX-512 only; the others at every width.
template <class K>
void unitsSse2(const uint8_t* const* in, uint8_t* const* out, size_t pixels, uint32_t arg)
{
    static_assert(!K::kShuffles, "shuffles need SSSE3");
    Runner<K, V128>::run(in, out, pixels, arg);
}
#if defined(__SSSE3__)
template <class K>
void unitsSsse3(const uint8_t* const* in, uint8_t* const* out, size_t pixels, uint32_t arg)
{
    static_assert(K::kShuffles, "a kernel at every width runs SSE2 on SSSE3 processors");
    Runner<K, V128>::run(in, out, pixels, arg);
}
#endif
#if defined(__AVX2__)
template <class K>
void unitsAvx2(const uint8_t* const* in, uint8_t* const* out, size_t pixels, uint32_t arg)
{
    static_assert(!K::kShuffles, "shuffles across 32 bytes need AVX-512");
    Runner<K, V256>::run(in, out, pixels, arg);
}
#endif
#if defined(__AVX512VBMI__)
template <class K>
void unitsAvx512(const uint8_t* const* in, uint8_t* const* out, size_t pixels, uint32_t arg)
{
    Runner<K, V512>::run(in, out, pixels, arg);
}
#endif

} // namespace vyr::convert::kernels

// Instantiates the kernel of tag K in a kernel file: VYR_UNITS(unitsSse2, K).
#define VYR_UNITS(kernel, K)                                                                                 \
    template void vyr::convert::kernels::kernel<vyr::convert::kernels::K>(                                   \
        const uint8_t* const*, uint8_t* const*, size_t, uint32_t);
