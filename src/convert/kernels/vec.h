// The kernels' one register vocabulary: V128 (SSE2) and, in AVX2 and AVX-512 files, V256 and V512 name the
// same operations with the same static members, so that a kernel written once over a width W compiles for
// every instruction set, and a kernel of one instruction set loads and stores the same way.
//
// A wider register works as independent 16-byte lanes, as the pack and unpack instructions do; the
// members named ...Ordered, lanesOrdered... and storeLanes put lane-wise results back in memory
// order. "Low" is the first half of a register in memory order. Masks given to select have every
// byte 0x00 or 0xFF.
//
// Kernel files are compiled for different instruction sets: everything here has internal linkage.
#pragma once

#include <cstddef>
#include <cstdint>
// GCC 12's AVX-512 intrinsics start from self-initialised "undefined" registers, which its own
// -Wuninitialized reports in sanitizer builds: the warning is silenced for those headers alone.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <immintrin.h>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace vyr::convert::kernels {
namespace {

struct V128 {
    using V = __m128i;
    static constexpr size_t kBytes = 16;

    static V load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static V loadLow(const uint8_t* p) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)); }
    static V load4(const uint8_t* p) { return _mm_loadu_si32(p); } // four bytes into the first 32-bit lane
    // kBytes / 2 bytes or words zero-extended to twice their width.
    static V loadWidened8(const uint8_t* p) { return _mm_unpacklo_epi8(loadLow(p), zero()); }
    static V loadWidened16(const uint8_t* p) { return _mm_unpacklo_epi16(loadLow(p), zero()); }
    // Streaming stores need the alignment streamable() checks; store.h chooses them.
    template <bool Stream>
    static void store(uint8_t* p, V v)
    {
        if constexpr (Stream)
            _mm_stream_si128(reinterpret_cast<__m128i*>(p), v);
        else
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
    }
    static void storeLow(uint8_t* p, V v) { _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v); }
    // a holds the first half of every lane's result, b the second.
    static V lanesOrderedLow(V a, V) { return a; }
    static V lanesOrderedHigh(V, V b) { return b; }
    template <bool Stream>
    static void storeLanes(uint8_t* p, V a, V b)
    {
        store<Stream>(p, lanesOrderedLow(a, b));
        store<Stream>(p + kBytes, lanesOrderedHigh(a, b));
    }

    static V zero() { return _mm_setzero_si128(); }
    static V set16(int16_t x) { return _mm_set1_epi16(x); }
    static V set32(int32_t x) { return _mm_set1_epi32(x); }
    static V pair16(int16_t lo, int16_t hi)
    {
        return set32(int32_t(uint32_t(uint16_t(hi)) << 16 | uint16_t(lo)));
    }
    static V pair32(int32_t lo, int32_t hi)
    {
        return _mm_set1_epi64x(int64_t(uint64_t(uint32_t(hi)) << 32 | uint32_t(lo)));
    }

    static V and_(V a, V b) { return _mm_and_si128(a, b); }
    static V or_(V a, V b) { return _mm_or_si128(a, b); }
    static V xor_(V a, V b) { return _mm_xor_si128(a, b); }
    static V select(V mask, V ifSet, V ifClear)
    {
        return or_(and_(mask, ifSet), _mm_andnot_si128(mask, ifClear));
    }
    static V add16(V a, V b) { return _mm_add_epi16(a, b); }
    static V sub16(V a, V b) { return _mm_sub_epi16(a, b); }
    static V add32(V a, V b) { return _mm_add_epi32(a, b); }
    static V sub32(V a, V b) { return _mm_sub_epi32(a, b); }
    static V max16(V a, V b) { return _mm_max_epi16(a, b); }
    static V min16(V a, V b) { return _mm_min_epi16(a, b); }
    static V eq16(V a, V b) { return _mm_cmpeq_epi16(a, b); }
    static V gt16(V a, V b) { return _mm_cmpgt_epi16(a, b); }
    static V mullo16(V a, V b) { return _mm_mullo_epi16(a, b); }
    static V mulhi16(V a, V b) { return _mm_mulhi_epi16(a, b); }
    static V mulhiu16(V a, V b) { return _mm_mulhi_epu16(a, b); }
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
    static V eq32(V a, V b) { return _mm_cmpeq_epi32(a, b); }
    // One bit per 32-bit lane, the lane's top bit, lane 0 in bit 0.
    static unsigned lanes32(V mask) { return unsigned(_mm_movemask_ps(_mm_castsi128_ps(mask))); }

    // 32-bit lanes as single-precision numbers, rounded to nearest: conversions and arithmetic.
    static V toFloat(V a) { return f(_mm_cvtepi32_ps(a)); }
    static V truncToInt(V a) { return _mm_cvttps_epi32(ps(a)); } // toward zero
    static V addF(V a, V b) { return f(_mm_add_ps(ps(a), ps(b))); }
    static V subF(V a, V b) { return f(_mm_sub_ps(ps(a), ps(b))); }
    static V mulF(V a, V b) { return f(_mm_mul_ps(ps(a), ps(b))); }
    static V divF(V a, V b) { return f(_mm_div_ps(ps(a), ps(b))); }
    static V minF(V a, V b) { return f(_mm_min_ps(ps(a), ps(b))); }
    static V maxF(V a, V b) { return f(_mm_max_ps(ps(a), ps(b))); }
    static V setF(float x) { return f(_mm_set1_ps(x)); }
    // Each lane times k, the exact product truncated toward zero (through double precision, which
    // holds the product of two floats exactly); the integer as a float.
    static V truncProduct(V a, float k)
    {
        const __m128d by = _mm_set1_pd(k);
        const __m128i low = _mm_cvttpd_epi32(_mm_mul_pd(_mm_cvtps_pd(ps(a)), by));
        const __m128i high = _mm_cvttpd_epi32(_mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(ps(a), ps(a))), by));
        return toFloat(_mm_unpacklo_epi64(low, high));
    }
    static __m128 ps(V a) { return _mm_castsi128_ps(a); }
    static V f(__m128 a) { return _mm_castps_si128(a); }
    static V sll16(V a, __m128i count) { return _mm_sll_epi16(a, count); }
    static V sra16(V a, __m128i count) { return _mm_sra_epi16(a, count); }
    static V srl32(V a, __m128i count) { return _mm_srl_epi32(a, count); }
    static V sll32(V a, __m128i count) { return _mm_sll_epi32(a, count); }
    template <int N>
    static V srli64(V a)
    {
        return _mm_srli_epi64(a, N);
    }
    static V adds16(V a, V b) { return _mm_adds_epi16(a, b); }

    static V packs32(V a, V b) { return _mm_packs_epi32(a, b); }
    static V packus16(V a, V b) { return _mm_packus_epi16(a, b); }
    // a's results, then b's, in memory order.
    static V packs32Ordered(V a, V b) { return packs32(a, b); }
    static V packus16Ordered(V a, V b) { return packus16(a, b); }
    // The even 32-bit lanes of a, then those of b, in memory order.
    static V even32Ordered(V a, V b)
    {
        return _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b), 0x88));
    }
    // The 32-bit lanes of a, b, c and d, saturated to signed 16 bits and then to unsigned 8.
    static V bytesOf32Ordered(V a, V b, V c, V d) { return packus16(packs32(a, b), packs32(c, d)); }
    static V unpacklo8(V a, V b) { return _mm_unpacklo_epi8(a, b); }
    static V unpackhi8(V a, V b) { return _mm_unpackhi_epi8(a, b); }
    static V unpacklo16(V a, V b) { return _mm_unpacklo_epi16(a, b); }
    static V unpackhi16(V a, V b) { return _mm_unpackhi_epi16(a, b); }
    static V unpacklo32(V a, V b) { return _mm_unpacklo_epi32(a, b); }
    static V unpackhi32(V a, V b) { return _mm_unpackhi_epi32(a, b); }
    // The same word pattern in both 8-byte halves of every lane.
    template <int Imm>
    static V shuffle16(V a)
    {
        return _mm_shufflehi_epi16(_mm_shufflelo_epi16(a, Imm), Imm);
    }
#if defined(__SSSE3__)
    // Byte i of every lane takes byte idx[i] & 15 of the same lane, or 0 where idx[i] has bit 7 set.
    static V shuffle8(V a, V idx) { return _mm_shuffle_epi8(a, idx); }
    // Unsigned bytes of a times the signed bytes of b, each pair of products added to a word (saturated).
    static V maddubs16(V a, V b) { return _mm_maddubs_epi16(a, b); }
#endif
};

#if defined(__AVX2__)
struct V256 {
    using V = __m256i;
    static constexpr size_t kBytes = 32;

    static V load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    static V loadLow(const uint8_t* p) { return _mm256_castsi128_si256(V128::load(p)); }
    static V load4(const uint8_t* p) { return _mm256_castsi128_si256(V128::load4(p)); }
    static V loadWidened8(const uint8_t* p) { return _mm256_cvtepu8_epi16(V128::load(p)); }
    static V loadWidened16(const uint8_t* p) { return _mm256_cvtepu16_epi32(V128::load(p)); }
    template <bool Stream>
    static void store(uint8_t* p, V v)
    {
        if constexpr (Stream) { // 16-byte streaming stores need no more alignment than streamable() checks
            V128::store<true>(p, _mm256_castsi256_si128(v));
            V128::store<true>(p + 16, _mm256_extracti128_si256(v, 1));
        } else {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
        }
    }
    static void storeLow(uint8_t* p, V v) { V128::store<false>(p, _mm256_castsi256_si128(v)); }
    static V lanesOrderedLow(V a, V b) { return _mm256_permute2x128_si256(a, b, 0x20); }
    static V lanesOrderedHigh(V a, V b) { return _mm256_permute2x128_si256(a, b, 0x31); }
    template <bool Stream>
    static void storeLanes(uint8_t* p, V a, V b)
    {
        store<Stream>(p, lanesOrderedLow(a, b));
        store<Stream>(p + kBytes, lanesOrderedHigh(a, b));
    }

    static V zero() { return _mm256_setzero_si256(); }
    static V set16(int16_t x) { return _mm256_set1_epi16(x); }
    static V set32(int32_t x) { return _mm256_set1_epi32(x); }
    static V pair16(int16_t lo, int16_t hi)
    {
        return set32(int32_t(uint32_t(uint16_t(hi)) << 16 | uint16_t(lo)));
    }
    static V pair32(int32_t lo, int32_t hi)
    {
        return _mm256_set1_epi64x(int64_t(uint64_t(uint32_t(hi)) << 32 | uint32_t(lo)));
    }

    static V and_(V a, V b) { return _mm256_and_si256(a, b); }
    static V or_(V a, V b) { return _mm256_or_si256(a, b); }
    static V xor_(V a, V b) { return _mm256_xor_si256(a, b); }
    static V select(V mask, V ifSet, V ifClear) { return _mm256_blendv_epi8(ifClear, ifSet, mask); }
    static V add16(V a, V b) { return _mm256_add_epi16(a, b); }
    static V sub16(V a, V b) { return _mm256_sub_epi16(a, b); }
    static V add32(V a, V b) { return _mm256_add_epi32(a, b); }
    static V sub32(V a, V b) { return _mm256_sub_epi32(a, b); }
    static V max16(V a, V b) { return _mm256_max_epi16(a, b); }
    static V min16(V a, V b) { return _mm256_min_epi16(a, b); }
    static V eq16(V a, V b) { return _mm256_cmpeq_epi16(a, b); }
    static V gt16(V a, V b) { return _mm256_cmpgt_epi16(a, b); }
    static V mullo16(V a, V b) { return _mm256_mullo_epi16(a, b); }
    static V mulhi16(V a, V b) { return _mm256_mulhi_epi16(a, b); }
    static V mulhiu16(V a, V b) { return _mm256_mulhi_epu16(a, b); }
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
    static V eq32(V a, V b) { return _mm256_cmpeq_epi32(a, b); }
    static unsigned lanes32(V mask) { return unsigned(_mm256_movemask_ps(_mm256_castsi256_ps(mask))); }

    static V toFloat(V a) { return f(_mm256_cvtepi32_ps(a)); }
    static V truncToInt(V a) { return _mm256_cvttps_epi32(ps(a)); }
    static V addF(V a, V b) { return f(_mm256_add_ps(ps(a), ps(b))); }
    static V subF(V a, V b) { return f(_mm256_sub_ps(ps(a), ps(b))); }
    static V mulF(V a, V b) { return f(_mm256_mul_ps(ps(a), ps(b))); }
    static V divF(V a, V b) { return f(_mm256_div_ps(ps(a), ps(b))); }
    static V minF(V a, V b) { return f(_mm256_min_ps(ps(a), ps(b))); }
    static V maxF(V a, V b) { return f(_mm256_max_ps(ps(a), ps(b))); }
    static V setF(float x) { return f(_mm256_set1_ps(x)); }
    static V truncProduct(V a, float k)
    {
        const __m256d by = _mm256_set1_pd(k);
        const __m128 low =
            _mm256_cvtpd_ps(_mm256_round_pd(_mm256_mul_pd(_mm256_cvtps_pd(_mm256_castps256_ps128(ps(a))), by),
                                            _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC));
        const __m128 high = _mm256_cvtpd_ps(
            _mm256_round_pd(_mm256_mul_pd(_mm256_cvtps_pd(_mm256_extractf128_ps(ps(a), 1)), by),
                            _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC));
        return f(_mm256_insertf128_ps(_mm256_castps128_ps256(low), high, 1));
    }
    static __m256 ps(V a) { return _mm256_castsi256_ps(a); }
    static V f(__m256 a) { return _mm256_castps_si256(a); }
    static V sll16(V a, __m128i count) { return _mm256_sll_epi16(a, count); }
    static V sra16(V a, __m128i count) { return _mm256_sra_epi16(a, count); }
    static V srl32(V a, __m128i count) { return _mm256_srl_epi32(a, count); }
    static V sll32(V a, __m128i count) { return _mm256_sll_epi32(a, count); }
    template <int N>
    static V srli64(V a)
    {
        return _mm256_srli_epi64(a, N);
    }
    static V adds16(V a, V b) { return _mm256_adds_epi16(a, b); }

    static V packs32(V a, V b) { return _mm256_packs_epi32(a, b); }
    static V packus16(V a, V b) { return _mm256_packus_epi16(a, b); }
    static V packs32Ordered(V a, V b) { return _mm256_permute4x64_epi64(packs32(a, b), 0xD8); }
    static V packus16Ordered(V a, V b) { return _mm256_permute4x64_epi64(packus16(a, b), 0xD8); }
    static V even32Ordered(V a, V b)
    {
        const __m256 even = _mm256_shuffle_ps(_mm256_castsi256_ps(a), _mm256_castsi256_ps(b), 0x88);
        return _mm256_permute4x64_epi64(_mm256_castps_si256(even), 0xD8);
    }
    // The two packs leave the 4-byte groups in the order 0, 2, 4, 6, 1, 3, 5, 7.
    static V bytesOf32Ordered(V a, V b, V c, V d)
    {
        return _mm256_permutevar8x32_epi32(packus16(packs32(a, b), packs32(c, d)),
                                           _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
    }
    static V unpacklo8(V a, V b) { return _mm256_unpacklo_epi8(a, b); }
    static V unpackhi8(V a, V b) { return _mm256_unpackhi_epi8(a, b); }
    static V unpacklo16(V a, V b) { return _mm256_unpacklo_epi16(a, b); }
    static V unpackhi16(V a, V b) { return _mm256_unpackhi_epi16(a, b); }
    static V unpacklo32(V a, V b) { return _mm256_unpacklo_epi32(a, b); }
    static V unpackhi32(V a, V b) { return _mm256_unpackhi_epi32(a, b); }
    template <int Imm>
    static V shuffle16(V a)
    {
        return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(a, Imm), Imm);
    }
    static V shuffle8(V a, V idx) { return _mm256_shuffle_epi8(a, idx); }
    static V maddubs16(V a, V b) { return _mm256_maddubs_epi16(a, b); }
};
#endif

#if defined(__AVX512BW__)
// Four 16-byte lanes; masks from comparisons come back as vectors, as in the narrower widths.
struct V512 {
    using V = __m512i;
    static constexpr size_t kBytes = 64;

    static V load(const uint8_t* p) { return _mm512_loadu_si512(p); }
    static V loadLow(const uint8_t* p) { return _mm512_castsi256_si512(V256::load(p)); }
    static V load4(const uint8_t* p) { return _mm512_castsi128_si512(V128::load4(p)); }
    static V loadWidened8(const uint8_t* p) { return _mm512_cvtepu8_epi16(V256::load(p)); }
    static V loadWidened16(const uint8_t* p) { return _mm512_cvtepu16_epi32(V256::load(p)); }
    template <bool Stream>
    static void store(uint8_t* p, V v)
    {
        if constexpr (Stream) {
            // One store where the line allows (a frame's lines usually are 64-byte aligned), else 16-byte
            // pieces, which need no more alignment than streamable() checks.
            if ((reinterpret_cast<uintptr_t>(p) & 63) == 0) {
                _mm512_stream_si512(reinterpret_cast<__m512i*>(p), v);
                return;
            }
            V128::store<true>(p, _mm512_castsi512_si128(v));
            V128::store<true>(p + 16, _mm512_extracti32x4_epi32(v, 1));
            V128::store<true>(p + 32, _mm512_extracti32x4_epi32(v, 2));
            V128::store<true>(p + 48, _mm512_extracti32x4_epi32(v, 3));
        } else {
            _mm512_storeu_si512(p, v);
        }
    }
    static void storeLow(uint8_t* p, V v) { V256::store<false>(p, _mm512_castsi512_si256(v)); }
    // Lane i of a, then lane i of b, for lanes 0 and 1 (low) and 2 and 3 (high).
    static V lanesOrderedLow(V a, V b)
    {
        return _mm512_permutex2var_epi64(a, _mm512_setr_epi64(0, 1, 8, 9, 2, 3, 10, 11), b);
    }
    static V lanesOrderedHigh(V a, V b)
    {
        return _mm512_permutex2var_epi64(a, _mm512_setr_epi64(4, 5, 12, 13, 6, 7, 14, 15), b);
    }
    template <bool Stream>
    static void storeLanes(uint8_t* p, V a, V b)
    {
        store<Stream>(p, lanesOrderedLow(a, b));
        store<Stream>(p + kBytes, lanesOrderedHigh(a, b));
    }

    static V zero() { return _mm512_setzero_si512(); }
    static V set16(int16_t x) { return _mm512_set1_epi16(x); }
    static V set32(int32_t x) { return _mm512_set1_epi32(x); }
    static V pair16(int16_t lo, int16_t hi)
    {
        return set32(int32_t(uint32_t(uint16_t(hi)) << 16 | uint16_t(lo)));
    }
    static V pair32(int32_t lo, int32_t hi)
    {
        return _mm512_set1_epi64(int64_t(uint64_t(uint32_t(hi)) << 32 | uint32_t(lo)));
    }

    static V and_(V a, V b) { return _mm512_and_si512(a, b); }
    static V or_(V a, V b) { return _mm512_or_si512(a, b); }
    static V xor_(V a, V b) { return _mm512_xor_si512(a, b); }
    static V select(V mask, V ifSet, V ifClear)
    {
        return _mm512_mask_blend_epi8(_mm512_movepi8_mask(mask), ifClear, ifSet);
    }
    static V add16(V a, V b) { return _mm512_add_epi16(a, b); }
    static V sub16(V a, V b) { return _mm512_sub_epi16(a, b); }
    static V add32(V a, V b) { return _mm512_add_epi32(a, b); }
    static V sub32(V a, V b) { return _mm512_sub_epi32(a, b); }
    static V max16(V a, V b) { return _mm512_max_epi16(a, b); }
    static V min16(V a, V b) { return _mm512_min_epi16(a, b); }
    static V eq16(V a, V b) { return _mm512_movm_epi16(_mm512_cmpeq_epi16_mask(a, b)); }
    static V gt16(V a, V b) { return _mm512_movm_epi16(_mm512_cmpgt_epi16_mask(a, b)); }
    static V mullo16(V a, V b) { return _mm512_mullo_epi16(a, b); }
    static V mulhi16(V a, V b) { return _mm512_mulhi_epi16(a, b); }
    static V mulhiu16(V a, V b) { return _mm512_mulhi_epu16(a, b); }
    static V madd16(V a, V b) { return _mm512_madd_epi16(a, b); }
    template <int N>
    static V slli16(V a)
    {
        return _mm512_slli_epi16(a, N);
    }
    template <int N>
    static V srli16(V a)
    {
        return _mm512_srli_epi16(a, N);
    }
    template <int N>
    static V srai16(V a)
    {
        return _mm512_srai_epi16(a, N);
    }
    template <int N>
    static V slli32(V a)
    {
        return _mm512_slli_epi32(a, N);
    }
    template <int N>
    static V srli32(V a)
    {
        return _mm512_srli_epi32(a, N);
    }
    template <int N>
    static V srai32(V a)
    {
        return _mm512_srai_epi32(a, N);
    }
    static V srl16(V a, __m128i count) { return _mm512_srl_epi16(a, count); }
    static V eq32(V a, V b) { return _mm512_maskz_mov_epi32(_mm512_cmpeq_epi32_mask(a, b), set32(-1)); }
    static unsigned lanes32(V mask) { return _mm512_cmplt_epi32_mask(mask, zero()); }

    static V toFloat(V a) { return f(_mm512_cvtepi32_ps(a)); }
    static V truncToInt(V a) { return _mm512_cvttps_epi32(ps(a)); }
    static V addF(V a, V b) { return f(_mm512_add_ps(ps(a), ps(b))); }
    static V subF(V a, V b) { return f(_mm512_sub_ps(ps(a), ps(b))); }
    static V mulF(V a, V b) { return f(_mm512_mul_ps(ps(a), ps(b))); }
    static V divF(V a, V b) { return f(_mm512_div_ps(ps(a), ps(b))); }
    static V minF(V a, V b) { return f(_mm512_min_ps(ps(a), ps(b))); }
    static V maxF(V a, V b) { return f(_mm512_max_ps(ps(a), ps(b))); }
    static V setF(float x) { return f(_mm512_set1_ps(x)); }
    // The product rounded toward zero keeps its integer part: integers are floats.
    static V truncProduct(V a, float k)
    {
        const __m512 toZero =
            _mm512_mul_round_ps(ps(a), _mm512_set1_ps(k), _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
        return f(_mm512_roundscale_ps(toZero, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC));
    }
    static __m512 ps(V a) { return _mm512_castsi512_ps(a); }
    static V f(__m512 a) { return _mm512_castps_si512(a); }
    static V sll16(V a, __m128i count) { return _mm512_sll_epi16(a, count); }
    static V sra16(V a, __m128i count) { return _mm512_sra_epi16(a, count); }
    static V srl32(V a, __m128i count) { return _mm512_srl_epi32(a, count); }
    static V sll32(V a, __m128i count) { return _mm512_sll_epi32(a, count); }
    template <int N>
    static V srli64(V a)
    {
        return _mm512_srli_epi64(a, N);
    }
    static V adds16(V a, V b) { return _mm512_adds_epi16(a, b); }

    static V packs32(V a, V b) { return _mm512_packs_epi32(a, b); }
    static V packus16(V a, V b) { return _mm512_packus_epi16(a, b); }
    // The packs leave 8-byte groups a0 b0 a1 b1 a2 b2 a3 b3 (one group per lane and source).
    static V packs32Ordered(V a, V b)
    {
        return _mm512_permutexvar_epi64(_mm512_setr_epi64(0, 2, 4, 6, 1, 3, 5, 7), packs32(a, b));
    }
    static V packus16Ordered(V a, V b)
    {
        return _mm512_permutexvar_epi64(_mm512_setr_epi64(0, 2, 4, 6, 1, 3, 5, 7), packus16(a, b));
    }
    static V even32Ordered(V a, V b)
    {
        return _mm512_permutex2var_epi32(
            a, _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30), b);
    }
    // The two packs leave lane i as the 4-byte groups a_i b_i c_i d_i.
    static V bytesOf32Ordered(V a, V b, V c, V d)
    {
        return _mm512_permutexvar_epi32(
            _mm512_setr_epi32(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15),
            packus16(packs32(a, b), packs32(c, d)));
    }
    static V unpacklo8(V a, V b) { return _mm512_unpacklo_epi8(a, b); }
    static V unpackhi8(V a, V b) { return _mm512_unpackhi_epi8(a, b); }
    static V unpacklo16(V a, V b) { return _mm512_unpacklo_epi16(a, b); }
    static V unpackhi16(V a, V b) { return _mm512_unpackhi_epi16(a, b); }
    static V unpacklo32(V a, V b) { return _mm512_unpacklo_epi32(a, b); }
    static V unpackhi32(V a, V b) { return _mm512_unpackhi_epi32(a, b); }
    template <int Imm>
    static V shuffle16(V a)
    {
        return _mm512_shufflehi_epi16(_mm512_shufflelo_epi16(a, Imm), Imm);
    }
    static V shuffle8(V a, V idx) { return _mm512_shuffle_epi8(a, idx); }
    static V maddubs16(V a, V b) { return _mm512_maddubs_epi16(a, b); }
};
#endif

// ---- Written once over the widths ----------------------------------------------------------------

// A register the compiler cannot see into: a product by it stays one multiply, where GCC turns a
// product by a constant into a chain of shifts and adds (shifts are the scarcer ports here); a load
// stays one load, where GCC would repeat it (across cache lines) in every instruction that uses it.
template <class V>
inline V opaque(V v)
{
    asm("" : "+x"(v));
    return v;
}

// Eight pixels per lane from words of blue, green and red, clamped by the unsigned packs, to bytes
// B, G, R, 0: pixels 0-3 of each lane in `first`, 4-7 in `second`.
template <class W>
inline void bgrxFromWords(typename W::V b, typename W::V g, typename W::V r, typename W::V& first,
                          typename W::V& second)
{
    const typename W::V br = W::packus16(b, r);
    const typename W::V g0 = W::packus16(g, W::zero());
    const typename W::V bg = W::unpacklo8(br, g0);
    const typename W::V r0 = W::unpackhi8(br, g0);
    first = W::unpacklo16(bg, r0);
    second = W::unpackhi16(bg, r0);
}

} // namespace
} // namespace vyr::convert::kernels
