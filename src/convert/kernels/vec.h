// One vocabulary over 16-byte (SSE2) and, in AVX2 files, 32-byte registers, so that a kernel's
// arithmetic is written once and compiled per instruction set. A 32-byte register works as two
// independent 16-byte lanes (as the AVX2 pack and unpack instructions do); storeLanes puts the
// results of a lane-wise computation back in memory order.
//
// Kernel files are compiled for different instruction sets: everything here has internal linkage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <immintrin.h>

#include "convert/kernels/store.h"

namespace vyr::convert::kernels {
namespace {

struct V128 {
    using V = __m128i;
    static constexpr size_t kBytes = 16;

    static V load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    template <bool Stream>
    static void store(uint8_t* p, V v)
    {
        store16<Stream>(p, v);
    }
    // a holds the first half of every lane's result, b the second.
    template <bool Stream>
    static void storeLanes(uint8_t* p, V a, V b)
    {
        store16<Stream>(p, a);
        store16<Stream>(p + 16, b);
    }

    static V zero() { return _mm_setzero_si128(); }
    static V set16(int16_t x) { return _mm_set1_epi16(x); }
    static V set32(int32_t x) { return _mm_set1_epi32(x); }
    static V pair16(int16_t lo, int16_t hi)
    {
        return _mm_set1_epi32(int32_t(uint32_t(uint16_t(hi)) << 16 | uint16_t(lo)));
    }

    static V and_(V a, V b) { return _mm_and_si128(a, b); }
    static V or_(V a, V b) { return _mm_or_si128(a, b); }
    static V xor_(V a, V b) { return _mm_xor_si128(a, b); }
    static V add16(V a, V b) { return _mm_add_epi16(a, b); }
    static V sub16(V a, V b) { return _mm_sub_epi16(a, b); }
    static V add32(V a, V b) { return _mm_add_epi32(a, b); }
    static V mulhi16(V a, V b) { return _mm_mulhi_epi16(a, b); }
    static V madd16(V a, V b) { return _mm_madd_epi16(a, b); }
    template <int N>
    static V slli16(V a)
    {
        return _mm_slli_epi16(a, N);
    }
    template <int N>
    static V srli16(V a)
    {
        return _mm_srli_epi16(a, N);
    }
    template <int N>
    static V srai16(V a)
    {
        return _mm_srai_epi16(a, N);
    }
    template <int N>
    static V slli32(V a)
    {
        return _mm_slli_epi32(a, N);
    }
    template <int N>
    static V srli32(V a)
    {
        return _mm_srli_epi32(a, N);
    }
    template <int N>
    static V srai32(V a)
    {
        return _mm_srai_epi32(a, N);
    }
    static V srl16(V a, __m128i count) { return _mm_srl_epi16(a, count); }
    static V packs32(V a, V b) { return _mm_packs_epi32(a, b); }
    static V packus16(V a, V b) { return _mm_packus_epi16(a, b); }
    // a's bytes, then b's, in memory order.
    static V packus16Ordered(V a, V b) { return _mm_packus_epi16(a, b); }
    static V unpacklo8(V a, V b) { return _mm_unpacklo_epi8(a, b); }
    static V unpackhi8(V a, V b) { return _mm_unpackhi_epi8(a, b); }
    static V unpacklo16(V a, V b) { return _mm_unpacklo_epi16(a, b); }
    static V unpackhi16(V a, V b) { return _mm_unpackhi_epi16(a, b); }
    // The same word pattern in both 8-byte halves of every lane.
    template <int Imm>
    static V shuffle16(V a)
    {
        return _mm_shufflehi_epi16(_mm_shufflelo_epi16(a, Imm), Imm);
    }
};

#if defined(__AVX2__)
struct V256 {
    using V = __m256i;
    static constexpr size_t kBytes = 32;

    static V load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    template <bool Stream>
    static void store(uint8_t* p, V v)
    {
        // 16-byte streaming stores need only the alignment the 16-byte head rules give.
        store16<Stream>(p, _mm256_castsi256_si128(v));
        store16<Stream>(p + 16, _mm256_extracti128_si256(v, 1));
    }
    template <bool Stream>
    static void storeLanes(uint8_t* p, V a, V b)
    {
        store<Stream>(p, _mm256_permute2x128_si256(a, b, 0x20));
        store<Stream>(p + 32, _mm256_permute2x128_si256(a, b, 0x31));
    }

    static V zero() { return _mm256_setzero_si256(); }
    static V set16(int16_t x) { return _mm256_set1_epi16(x); }
    static V set32(int32_t x) { return _mm256_set1_epi32(x); }
    static V pair16(int16_t lo, int16_t hi)
    {
        return _mm256_set1_epi32(int32_t(uint32_t(uint16_t(hi)) << 16 | uint16_t(lo)));
    }

    static V and_(V a, V b) { return _mm256_and_si256(a, b); }
    static V or_(V a, V b) { return _mm256_or_si256(a, b); }
    static V xor_(V a, V b) { return _mm256_xor_si256(a, b); }
    static V add16(V a, V b) { return _mm256_add_epi16(a, b); }
    static V sub16(V a, V b) { return _mm256_sub_epi16(a, b); }
    static V add32(V a, V b) { return _mm256_add_epi32(a, b); }
    static V mulhi16(V a, V b) { return _mm256_mulhi_epi16(a, b); }
    static V madd16(V a, V b) { return _mm256_madd_epi16(a, b); }
    template <int N>
    static V slli16(V a)
    {
        return _mm256_slli_epi16(a, N);
    }
    template <int N>
    static V srli16(V a)
    {
        return _mm256_srli_epi16(a, N);
    }
    template <int N>
    static V srai16(V a)
    {
        return _mm256_srai_epi16(a, N);
    }
    template <int N>
    static V slli32(V a)
    {
        return _mm256_slli_epi32(a, N);
    }
    template <int N>
    static V srli32(V a)
    {
        return _mm256_srli_epi32(a, N);
    }
    template <int N>
    static V srai32(V a)
    {
        return _mm256_srai_epi32(a, N);
    }
    static V srl16(V a, __m128i count) { return _mm256_srl_epi16(a, count); }
    static V packs32(V a, V b) { return _mm256_packs_epi32(a, b); }
    static V packus16(V a, V b) { return _mm256_packus_epi16(a, b); }
    static V packus16Ordered(V a, V b) { return _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8); }
    static V unpacklo8(V a, V b) { return _mm256_unpacklo_epi8(a, b); }
    static V unpackhi8(V a, V b) { return _mm256_unpackhi_epi8(a, b); }
    static V unpacklo16(V a, V b) { return _mm256_unpacklo_epi16(a, b); }
    static V unpackhi16(V a, V b) { return _mm256_unpackhi_epi16(a, b); }
    template <int Imm>
    static V shuffle16(V a)
    {
        return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(a, Imm), Imm);
    }
};
#endif

} // namespace
} // namespace vyr::convert::kernels
