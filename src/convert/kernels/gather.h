// Registers gathered byte by byte from a run of source bytes, planned at compile time.
//
// A map names, for each byte of what one 16-byte step gathers (Map::kOutStep bytes from Map::kSrcStep
// source bytes), the source byte it takes: Map::at(b) is an offset into the step's source, or -1 for
// a 0 byte. A step of a wider register covers several 16-byte steps, one after the other. Every load
// stays within the step's source, so a kernel reads nothing outside the blocks it is given.
//
// V128 and V256 gather each 16-byte lane from up to four 16-byte windows with the byte shuffle;
// V512 gathers a register from up to two 128-byte windows with the two-register byte permute.
//
// Kernel files are compiled for different instruction sets: everything here has internal linkage.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "convert/kernels/vec.h"

namespace vyr::convert::kernels {
namespace {

// Source offset of byte b of what a step of `wide` bytes (wide / 16 steps of 16) gathers.
template <class Map>
constexpr int sourceOf(size_t b)
{
    const int at = Map::at(b % Map::kOutStep);
    return at < 0 ? -1 : int(b / Map::kOutStep * Map::kSrcStep) + at;
}

// ---- 16-byte windows per lane (V128, V256) -------------------------------------------------------

constexpr size_t kMaxWindows = 4;

template <size_t Wide>
struct LanePlan {
    int windows;
    int offset[kMaxWindows][Wide / 16]; // of each lane's window
    int8_t shuffle[kMaxWindows][Wide];
};

template <class Map, size_t Wide>
constexpr LanePlan<Wide> lanePlan(size_t reg)
{
    constexpr size_t lanes = Wide / 16;
    const int last = int(lanes * Map::kSrcStep) - 16; // the last window that stays within the step
    LanePlan<Wide> p{};
    for (size_t w = 0; w < kMaxWindows; ++w) {
        for (size_t i = 0; i < Wide; ++i)
            p.shuffle[w][i] = -128;
    }
    for (size_t lane = 0; lane < lanes; ++lane) {
        bool done[16] = {};
        int windows = 0;
        for (;;) {
            int low = -1;
            for (size_t j = 0; j < 16; ++j) {
                const int at = sourceOf<Map>(reg * Wide + lane * 16 + j);
                if (at >= 0 && !done[j] && (low < 0 || at < low))
                    low = at;
            }
            if (low < 0)
                break;
            const int start = low < last ? low : last;
            for (size_t j = 0; j < 16; ++j) {
                const int at = sourceOf<Map>(reg * Wide + lane * 16 + j);
                if (at >= start && at < start + 16 && !done[j]) {
                    done[j] = true;
                    p.shuffle[windows][lane * 16 + j] = int8_t(at - start);
                }
            }
            p.offset[windows][lane] = start;
            ++windows;
        }
        p.windows = windows > p.windows ? windows : p.windows;
    }
    // A lane with fewer windows than another loads its first one again and takes nothing from it.
    for (size_t lane = 0; lane < lanes; ++lane) {
        for (int w = 1; w < p.windows; ++w) {
            bool used = false;
            for (size_t j = 0; j < 16; ++j)
                used = used || p.shuffle[w][lane * 16 + j] >= 0;
            if (!used)
                p.offset[w][lane] = p.offset[0][lane];
        }
    }
    return p;
}

template <class Map, size_t Wide, size_t... Regs>
constexpr std::array<LanePlan<Wide>, sizeof...(Regs)> lanePlans(std::index_sequence<Regs...>)
{
    return {lanePlan<Map, Wide>(Regs)...};
}

template <class Map, size_t Wide>
struct LanePlans {
    static constexpr size_t kRegs = Wide / 16 * Map::kOutStep / Wide;
    static_assert(kRegs * Wide == Wide / 16 * Map::kOutStep, "a step gathers whole registers");
    static constexpr std::array<LanePlan<Wide>, kRegs> kPlans =
        lanePlans<Map, Wide>(std::make_index_sequence<kRegs>());
    static_assert(kPlans[kRegs - 1].windows <= int(kMaxWindows), "at most four windows a lane");
};

template <class W>
struct LaneLoads;

template <>
struct LaneLoads<V128> {
    static __m128i at(const uint8_t* s, const int (&offset)[1]) { return V128::load(s + offset[0]); }
};

#if defined(__AVX2__)
template <>
struct LaneLoads<V256> {
    static __m256i at(const uint8_t* s, const int (&offset)[2])
    {
        if (offset[1] == offset[0] + 16)
            return V256::load(s + offset[0]);
        return _mm256_inserti128_si256(V256::loadLow(s + offset[0]), V128::load(s + offset[1]), 1);
    }
};
#endif

// Gathers of V128 and V256: up to four windows a lane, each shuffled and merged.
template <class W>
struct Gather {
    template <class Map, size_t Reg>
    static typename W::V reg(const uint8_t* s)
    {
        constexpr const LanePlan<W::kBytes>& p = LanePlans<Map, W::kBytes>::kPlans[Reg];
        static_assert(p.windows > 0, "a register takes at least one source byte");
        typename W::V v = W::shuffle8(LaneLoads<W>::at(s, p.offset[0]),
                                      W::load(reinterpret_cast<const uint8_t*>(p.shuffle[0])));
        for (int w = 1; w < p.windows; ++w) {
            v = W::or_(v, W::shuffle8(LaneLoads<W>::at(s, p.offset[w]),
                                      W::load(reinterpret_cast<const uint8_t*>(p.shuffle[w]))));
        }
        return v;
    }
};

#if defined(__AVX512VBMI__)
// ---- 128-byte windows (V512) ----------------------------------------------------------------------

struct WidePlan {
    int windows;
    int offset[2];
    uint64_t take[2];    // the register bytes each window gives
    uint64_t load[2][2]; // the bytes of each window's two 64-byte halves within the step
    int8_t index[2][64]; // into the window's 128 bytes
};

template <class Map>
constexpr WidePlan widePlan(size_t reg)
{
    const int bytes = int(4 * Map::kSrcStep);
    WidePlan p{};
    uint64_t done = 0;
    for (;;) {
        int low = -1;
        for (size_t j = 0; j < 64; ++j) {
            const int at = sourceOf<Map>(reg * 64 + j);
            if (at >= 0 && !(done >> j & 1) && (low < 0 || at < low))
                low = at;
        }
        if (low < 0)
            break;
        const int w = p.windows++;
        int high = low;
        for (size_t j = 0; j < 64; ++j) {
            const int at = sourceOf<Map>(reg * 64 + j);
            if (at >= low && at < low + 128 && !(done >> j & 1))
                high = at > high ? at : high;
        }
        // The window starts at a 64-byte boundary of the step where it still holds the same bytes: its
        // loads then cross no more cache lines than the source does, and end within the step unmasked.
        const int start = high < (low & ~63) + 128 ? low & ~63 : low;
        p.offset[w] = start;
        for (size_t j = 0; j < 64; ++j) {
            const int at = sourceOf<Map>(reg * 64 + j);
            if (at >= low && at < low + 128 && !(done >> j & 1)) {
                done |= uint64_t(1) << j;
                p.take[w] |= uint64_t(1) << j;
                p.index[w][j] = int8_t(at - start);
            }
        }
        // The second half only where the window reaches it.
        for (int half = 0; half < (high < start + 64 ? 1 : 2); ++half) {
            for (int j = 0; j < 64; ++j) {
                if (start + 64 * half + j < bytes)
                    p.load[w][half] |= uint64_t(1) << j;
            }
        }
    }
    return p;
}

template <class Map, size_t... Regs>
constexpr std::array<WidePlan, sizeof...(Regs)> widePlans(std::index_sequence<Regs...>)
{
    return {widePlan<Map>(Regs)...};
}

template <class Map>
struct WidePlans {
    static constexpr size_t kRegs = 4 * Map::kOutStep / 64;
    static_assert(kRegs * 64 == 4 * Map::kOutStep, "a step gathers whole registers");
    static constexpr std::array<WidePlan, kRegs> kPlans = widePlans<Map>(std::make_index_sequence<kRegs>());
    static_assert(kPlans[kRegs - 1].windows <= 2, "at most two windows a register");
};

template <>
struct Gather<V512> {
    // 64 bytes at p: those of `load` (all of them loaded plainly).
    template <uint64_t Load>
    static __m512i half(const uint8_t* p)
    {
        if constexpr (Load == ~uint64_t(0))
            return V512::load(p);
        else
            return _mm512_maskz_loadu_epi8(Load, p);
    }

    template <class Map, size_t Reg, int Window>
    static __m512i window(const uint8_t* s)
    {
        constexpr const WidePlan& p = WidePlans<Map>::kPlans[Reg];
        const __m512i index = V512::load(reinterpret_cast<const uint8_t*>(p.index[Window]));
        const __m512i low = half<p.load[Window][0]>(s + p.offset[Window]);
        if constexpr (p.load[Window][1] == 0) {
            return _mm512_maskz_permutexvar_epi8(p.take[Window], index, low);
        } else {
            const __m512i high = half<p.load[Window][1]>(s + p.offset[Window] + 64);
            return _mm512_maskz_permutex2var_epi8(p.take[Window], low, index, high);
        }
    }

    template <class Map, size_t Reg>
    static __m512i reg(const uint8_t* s)
    {
        if constexpr (WidePlans<Map>::kPlans[Reg].windows > 1)
            return V512::or_(window<Map, Reg, 0>(s), window<Map, Reg, 1>(s));
        else
            return window<Map, Reg, 0>(s);
    }
};
#endif

// Register `Reg` of a step of W gathered by Map from the step's source s.
template <class Map, class W, size_t Reg>
inline typename W::V gather(const uint8_t* s)
{
    return Gather<W>::template reg<Map, Reg>(s);
}

} // namespace
} // namespace vyr::convert::kernels
