// Byte routes: whatever a kernel does by moving whole bytes (reordering, dropping and inserting zero
// bytes, keeping destination bytes, spreading into planes and gathering from them) written once as
// a map from every output byte of a unit of pixels to its input byte, and planned at compile time
// into 16-byte shuffles (SSSE3) or 64-byte permutes (AVX-512 VBMI).
//
// A map is a type with
//   kIn[s], kOut[s]        bytes per pixel of each input and output stream (planes count as streams)
//   from(s, byte, unit)    where byte `byte` of output stream s comes from, in a unit of `unit` pixels:
//                          From{input stream, byte}, zeroByte() or keptByte()
// A unit is as many pixels as a register has bytes, so every stream fills whole registers.
//
// Inputs are either memory (a window may be loaded at any byte of the unit) or registers (windows
// are the registers themselves). Each output register takes the fewest windows that hold its bytes:
// one shuffle per window with SSSE3, one permute per two windows with VBMI.
//
// Kernel files are compiled for different instruction sets: everything here has internal linkage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <immintrin.h>
#include <utility>

#include "convert/kernels/passes.h"
#include "convert/kernels/unit_kernels.h"
#include "convert/kernels/vec.h"

namespace vyr::convert::kernels {
namespace {

constexpr int kMaxPieces = 8;  // output registers of a unit
constexpr int kMaxWindows = 8; // input windows of one output register

// f(integral_constant<int, 0>) ... f(integral_constant<int, N - 1>): indices usable in constant expressions.
template <class F, int... I>
inline void staticFor(F&& f, std::integer_sequence<int, I...>)
{
    (f(std::integral_constant<int, I>{}), ...);
}
template <int N, class F>
inline void staticFor(F&& f)
{
    staticFor(f, std::make_integer_sequence<int, N>{});
}

struct RouteWindow {
    int stream, offset;
};

// One output register of P bytes: its windows and, per shuffle (SSSE3) or permute (VBMI), the byte
// selection and the bytes it provides.
template <int P>
struct RoutePiece {
    int stream, offset; // output stream and byte in the unit
    int windows;
    RouteWindow window[kMaxWindows];
    alignas(64) uint8_t select[kMaxWindows][P];
    uint64_t take[kMaxWindows];
    alignas(64) uint8_t keep[P]; // 0xFF where the destination keeps its byte
    uint64_t keepBits;
    bool anyKept, anyZero;
};

template <int P>
struct RoutePlan {
    int pieces;
    RoutePiece<P> piece[kMaxPieces];
};

template <class Map, int P, bool RegisterWindows>
constexpr RoutePlan<P> planRoute()
{
    constexpr int unit = P;
    constexpr int outStreams = int(sizeof(Map::kOut) / sizeof(Map::kOut[0]));
    RoutePlan<P> plan{};
    for (int s = 0; s < outStreams; ++s) {
        for (int offset = 0; offset < unit * Map::kOut[s]; offset += P) {
            RoutePiece<P>& pc = plan.piece[plan.pieces++];
            pc.stream = s;
            pc.offset = offset;
            From need[P] = {};
            int assigned[P] = {};
            for (int j = 0; j < P; ++j) {
                need[j] = Map::from(s, offset + j, unit);
                assigned[j] = -1;
                if (need[j].stream == kKeptStream) {
                    pc.keep[j] = 0xFF;
                    pc.keepBits |= uint64_t(1) << j;
                    pc.anyKept = true;
                }
                pc.anyZero = pc.anyZero || need[j].stream == kZeroStream;
            }
            // Windows: from the lowest input byte still needed of the first stream still needed.
            for (;;) {
                int first = -1;
                for (int j = 0; j < P && first < 0; ++j) {
                    if (need[j].stream >= 0 && assigned[j] < 0)
                        first = j;
                }
                if (first < 0)
                    break;
                const int st = need[first].stream;
                int low = need[first].byte;
                for (int j = 0; j < P; ++j) {
                    if (need[j].stream == st && assigned[j] < 0 && need[j].byte < low)
                        low = need[j].byte;
                }
                const int last = unit * Map::kIn[st] - P;
                const int start = RegisterWindows ? low / P * P : low < last ? low : last;
                const int w = pc.windows++;
                pc.window[w] = {st, start};
                for (int j = 0; j < P; ++j) {
                    if (need[j].stream == st && assigned[j] < 0 && need[j].byte >= start &&
                        need[j].byte < start + P)
                        assigned[j] = w;
                }
            }
            // 16 bytes: a shuffle per window (0x80 gives 0). 64 bytes: a permute per two windows,
            // indices 64 and up naming the second.
            for (int j = 0; j < P; ++j) {
                const int w = assigned[j];
                for (int k = 0; k < kMaxWindows; ++k)
                    pc.select[k][j] = P == 16 ? 0x80 : 0;
                if (w < 0)
                    continue;
                const int at = need[j].byte - pc.window[w].offset;
                const int op = P == 16 ? w : w / 2;
                pc.select[op][j] = uint8_t(P == 16 ? at : at + (w % 2) * 64);
                pc.take[op] |= uint64_t(1) << (j % 64);
            }
        }
    }
    return plan;
}

template <class Map, int P, bool RegisterWindows>
struct Planned {
    static constexpr RoutePlan<P> kPlan = planRoute<Map, P, RegisterWindows>();
};

// ---- SSSE3 -------------------------------------------------------------------------------------------

// The instructions of output registers of P bytes.
template <int P>
struct Permutes;

#if defined(__SSSE3__)
template <>
struct Permutes<16> {
    // One output register: the OR of one shuffle per window; window(stream, offset) gives its bytes.
    template <class Plan, int I, class Window>
    static __m128i piece(Window window)
    {
        __m128i acc = _mm_setzero_si128();
        staticFor<Plan::kPlan.piece[I].windows>([&](auto w) {
            constexpr const RoutePiece<16>& pc = Plan::kPlan.piece[I];
            constexpr RouteWindow at = pc.window[w];
            const __m128i v = _mm_shuffle_epi8(
                window(at.stream, at.offset), _mm_load_si128(reinterpret_cast<const __m128i*>(pc.select[w])));
            acc = w == 0 ? v : _mm_or_si128(acc, v);
        });
        return acc;
    }

    // Kept bytes come from the destination as it is.
    template <class Plan, int I, bool Stream>
    static void store(uint8_t* p, __m128i v)
    {
        constexpr const RoutePiece<16>& pc = Plan::kPlan.piece[I];
        if constexpr (pc.anyKept) {
            const __m128i keep = _mm_load_si128(reinterpret_cast<const __m128i*>(pc.keep));
            V128::store<false>(p, _mm_or_si128(v, _mm_and_si128(V128::load(p), keep)));
        } else {
            V128::store<Stream>(p, v);
        }
    }
};
#endif

// ---- AVX-512 VBMI ------------------------------------------------------------------------------------

#if defined(__AVX512VBMI__)
template <>
struct Permutes<64> {
    // A permute per two windows: the first zeroes what no window gives, the others merge.
    template <class Plan, int I, class Window>
    static __m512i piece(Window window)
    {
        __m512i acc = _mm512_setzero_si512();
        staticFor<(Plan::kPlan.piece[I].windows + 1) / 2>([&](auto op) {
            constexpr const RoutePiece<64>& pc = Plan::kPlan.piece[I];
            constexpr RouteWindow a = pc.window[2 * op];
            const __m512i index = _mm512_load_si512(pc.select[op]);
            const __m512i first = window(a.stream, a.offset);
            constexpr __mmask64 take = pc.take[op];
            if constexpr (2 * op + 1 < pc.windows) {
                constexpr RouteWindow b = pc.window[2 * op + 1];
                const __m512i second = window(b.stream, b.offset);
                if constexpr (op > 0)
                    acc = _mm512_mask_mov_epi8(acc, take, _mm512_permutex2var_epi8(first, index, second));
                else if constexpr (pc.anyZero)
                    acc = _mm512_maskz_permutex2var_epi8(take, first, index, second);
                else
                    acc = _mm512_permutex2var_epi8(first, index, second);
            } else {
                if constexpr (op > 0)
                    acc = _mm512_mask_permutexvar_epi8(acc, take, index, first);
                else if constexpr (pc.anyZero)
                    acc = _mm512_maskz_permutexvar_epi8(take, index, first);
                else
                    acc = _mm512_permutexvar_epi8(index, first);
            }
        });
        return acc;
    }

    // Kept bytes are not stored.
    template <class Plan, int I, bool Stream>
    static void store(uint8_t* p, __m512i v)
    {
        constexpr const RoutePiece<64>& pc = Plan::kPlan.piece[I];
        if constexpr (pc.anyKept)
            storeKeeping(p, ~__mmask64(pc.keepBits), v);
        else
            V512::store<Stream>(p, v);
    }
};
#endif

// ---- Routes over a unit --------------------------------------------------------------------------

// Every output register of Map, from windows of memory (in[s] at the unit's bytes; a null stream reads
// as zeros where NullIn) to memory (out[s]; a null stream is skipped where NullOut).
template <class Map, class W, bool Stream, bool NullIn = false, bool NullOut = false>
inline void routeUnit(const uint8_t* const* in, uint8_t* const* out, size_t i)
{
    using Plan = Planned<Map, int(W::kBytes), false>;
    staticFor<Plan::kPlan.pieces>([&](auto p) {
        constexpr const auto& pc = Plan::kPlan.piece[p];
        if (NullOut && !out[pc.stream])
            return;
        const auto v = Permutes<int(W::kBytes)>::template piece<Plan, p>([&](int s, int offset) {
            return NullIn && !in[s] ? W::zero() : W::load(in[s] + i * Map::kIn[s] + offset);
        });
        Permutes<int(W::kBytes)>::template store<Plan, p, Stream>(
            out[pc.stream] + i * Map::kOut[pc.stream] + pc.offset, v);
    });
}

// From registers (in[s][k]: register k of input stream s) to memory.
template <class Map, class W, bool Stream>
inline void routeToMemory(const typename W::V* const* in, uint8_t* const* out, size_t i)
{
    using Plan = Planned<Map, int(W::kBytes), true>;
    staticFor<Plan::kPlan.pieces>([&](auto p) {
        constexpr const auto& pc = Plan::kPlan.piece[p];
        const auto v = Permutes<int(W::kBytes)>::template piece<Plan, p>(
            [&](int s, int offset) { return in[s][offset / int(W::kBytes)]; });
        Permutes<int(W::kBytes)>::template store<Plan, p, Stream>(
            out[pc.stream] + i * Map::kOut[pc.stream] + pc.offset, v);
    });
}

// From memory to registers (out[k]: register k of the single output stream; nothing kept).
template <class Map, class W>
inline void routeToRegisters(const uint8_t* const* in, size_t i, typename W::V* out)
{
    using Plan = Planned<Map, int(W::kBytes), false>;
    staticFor<Plan::kPlan.pieces>([&](auto p) {
        constexpr const auto& pc = Plan::kPlan.piece[p];
        static_assert(!pc.anyKept && pc.stream == 0, "registers keep nothing");
        out[pc.offset / int(W::kBytes)] = Permutes<int(W::kBytes)>::template piece<Plan, p>(
            [&](int s, int offset) { return W::load(in[s] + i * Map::kIn[s] + offset); });
    });
}

// From registers (in[s][k]) to registers (out[k]: register k of the single output stream; nothing kept):
// each input register loaded once by the caller, where windows of memory would load bytes twice or
// across cache lines.
template <class Map, class W>
inline void routeBetweenRegisters(const typename W::V* const* in, typename W::V* out)
{
    using Plan = Planned<Map, int(W::kBytes), true>;
    staticFor<Plan::kPlan.pieces>([&](auto p) {
        constexpr const auto& pc = Plan::kPlan.piece[p];
        static_assert(!pc.anyKept && pc.stream == 0, "registers keep nothing");
        out[pc.offset / int(W::kBytes)] = Permutes<int(W::kBytes)>::template piece<Plan, p>(
            [&](int s, int offset) { return in[s][offset / int(W::kBytes)]; });
    });
}

} // namespace
} // namespace vyr::convert::kernels
