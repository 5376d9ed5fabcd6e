// Packed camera samples to 16-bit words. Two layouts:
//  - "p" (MONO10P, MONO12P and the Bayer twins): samples back to back, each sample's least significant
//    bit first, so sample i occupies bits i * bits .. i * bits + bits - 1 of the line read as one
//    little-endian number.
//  - "Packed" (MONO12PACKED, BAYER12PACKED): 3 bytes for 2 samples; byte 0 holds bits 11..4 of the
//    first, byte 2 bits 11..4 of the second, byte 1 their bits 3..0 (the first's in its low nibble).
// The vector paths give the scalar path's words and read no byte past the line.
#include "unpack.h"

#include <cstring>

#include "VyrFrame.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VYR_UNPACK_X86 1
#endif

namespace vyr::frame {
namespace {

// ---- Scalar ------------------------------------------------------------------------------------

void put(uint8_t* dst, uint32_t i, unsigned sample)
{
    const uint16_t word = uint16_t(sample);
    std::memcpy(dst + 2 * size_t(i), &word, 2);
}

// A sample of 10 or 12 bits starts at most 6 bits into its first byte, so it lies in two bytes.
template <unsigned Bits>
void lsbScalar(const uint8_t* src, uint8_t* dst, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i) {
        const size_t bit = size_t(i) * Bits;
        const unsigned word = src[bit / 8] | unsigned(src[bit / 8 + 1]) << 8;
        put(dst, i, (word >> (bit % 8)) & ((1u << Bits) - 1));
    }
}

void gigeScalar(const uint8_t* src, uint8_t* dst, uint32_t count)
{
    uint32_t i = 0;
    for (; i + 2 <= count; i += 2, src += 3) {
        put(dst, i, src[0] << 4 | (src[1] & 0x0F));
        put(dst, i + 1, src[2] << 4 | src[1] >> 4);
    }
    if (i < count) // an odd count ends with the first sample of a pair, in bytes 0 and 1
        put(dst, i, src[0] << 4 | (src[1] & 0x0F));
}

#ifdef VYR_UNPACK_X86
// ---- SSSE3 and AVX2 ------------------------------------------------------------------------------
// Each 128-bit lane makes 8 samples from the 10 or 12 bytes that hold them: a byte shuffle puts the
// two bytes of each sample in its word, then per word either
//   (word * multiplier) >> 6           ("p", 10 bits: the multiplier 2^(6 - start bit) aligns it)
//   (word >> 4 & highMask) | (word & lowMask)   (12 bits, both layouts)
struct Kernel {
    int8_t shuffle[16];
    uint16_t a[8]; // multipliers, or highMask
    uint16_t b[8]; // lowMask (12 bits)
};

// Sample j of a lane starts at bit 10 j: byte 10 j / 8, bit 10 j % 8.
constexpr Kernel kLsb10 = {
    {0, 1, 1, 2, 2, 3, 3, 4, 5, 6, 6, 7, 7, 8, 8, 9}, {64, 16, 4, 1, 64, 16, 4, 1}, {}};
// Even samples: bytes 3p, 3p+1, low 12 bits; odd samples: bytes 3p+1, 3p+2, shifted down 4.
constexpr Kernel kLsb12 = {{0, 1, 1, 2, 3, 4, 4, 5, 6, 7, 7, 8, 9, 10, 10, 11},
                           {0, 0xFFFF, 0, 0xFFFF, 0, 0xFFFF, 0, 0xFFFF},
                           {0x0FFF, 0, 0x0FFF, 0, 0x0FFF, 0, 0x0FFF, 0}};
// Even samples: word byte 0 << 8 | byte 1, giving (byte 0 << 4) | low nibble of byte 1;
// odd samples: byte 2 << 8 | byte 1, shifted down 4.
constexpr Kernel kGige12 = {{1, 0, 1, 2, 4, 3, 4, 5, 7, 6, 7, 8, 10, 9, 10, 11},
                            {0x0FF0, 0xFFFF, 0x0FF0, 0xFFFF, 0x0FF0, 0xFFFF, 0x0FF0, 0xFFFF},
                            {0x000F, 0, 0x000F, 0, 0x000F, 0, 0x000F, 0}};

#define VYR_LOAD128(p) _mm_loadu_si128(reinterpret_cast<const __m128i*>(p))

// 8 samples a step; the 16-byte load reaches 16 - laneBytes bytes beyond them, which 8 samples more
// than a step keep inside the line.
template <const Kernel& K, unsigned Bits, UnpackFunction Tail>
__attribute__((target("ssse3"))) void ssse3(const uint8_t* src, uint8_t* dst, uint32_t count)
{
    constexpr unsigned laneBytes = 8 * Bits / 8;
    const __m128i shuffle = VYR_LOAD128(K.shuffle), a = VYR_LOAD128(K.a), b = VYR_LOAD128(K.b);
    uint32_t i = 0;
    for (; i + 16 <= count; i += 8, src += laneBytes) {
        const __m128i words = _mm_shuffle_epi8(VYR_LOAD128(src), shuffle);
        const __m128i samples =
            Bits == 10 ? _mm_srli_epi16(_mm_mullo_epi16(words, a), 6)
                       : _mm_or_si128(_mm_and_si128(_mm_srli_epi16(words, 4), a), _mm_and_si128(words, b));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 2 * size_t(i)), samples);
    }
    Tail(src, dst + 2 * size_t(i), count - i);
}

// 16 samples a step, one lane each 8; the second lane's load reaches as far beyond its samples.
template <const Kernel& K, unsigned Bits, UnpackFunction Tail>
__attribute__((target("avx2"))) void avx2(const uint8_t* src, uint8_t* dst, uint32_t count)
{
    constexpr unsigned laneBytes = 8 * Bits / 8;
    const __m256i shuffle = _mm256_broadcastsi128_si256(VYR_LOAD128(K.shuffle));
    const __m256i a = _mm256_broadcastsi128_si256(VYR_LOAD128(K.a));
    const __m256i b = _mm256_broadcastsi128_si256(VYR_LOAD128(K.b));
    uint32_t i = 0;
    for (; i + 24 <= count; i += 16, src += 2 * laneBytes) {
        const __m256i bytes = _mm256_inserti128_si256(_mm256_castsi128_si256(VYR_LOAD128(src)),
                                                      VYR_LOAD128(src + laneBytes), 1);
        const __m256i words = _mm256_shuffle_epi8(bytes, shuffle);
        const __m256i samples = Bits == 10 ? _mm256_srli_epi16(_mm256_mullo_epi16(words, a), 6)
                                           : _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi16(words, 4), a),
                                                             _mm256_and_si256(words, b));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 2 * size_t(i)), samples);
    }
    Tail(src, dst + 2 * size_t(i), count - i);
}

bool hasSsse3()
{
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}

bool hasAvx2()
{
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

struct Packed {
    uint32_t format, unpacked;
    UnpackPath paths[3];
    size_t pathCount;
};

#ifdef VYR_UNPACK_X86
#define VYR_UNPACK_PATHS(bits, kernel, scalar)                                                               \
    {{"scalar", scalar, true},                                                                               \
     {"ssse3", ssse3<kernel, bits, scalar>, false},                                                          \
     {"avx2", avx2<kernel, bits, scalar>, false}},                                                           \
        3
#else
#define VYR_UNPACK_PATHS(bits, kernel, scalar) {{"scalar", scalar, true}}, 1
#endif

Packed* packedTable()
{
    static Packed table[] = {
        {VYR_FRAME_MONO10P, VYR_FRAME_MONO16, VYR_UNPACK_PATHS(10, kLsb10, lsbScalar<10>)},
        {VYR_FRAME_MONO12P, VYR_FRAME_MONO16, VYR_UNPACK_PATHS(12, kLsb12, lsbScalar<12>)},
        {VYR_FRAME_MONO12PACKED, VYR_FRAME_MONO16, VYR_UNPACK_PATHS(12, kGige12, gigeScalar)},
        {VYR_FRAME_BAYER10P, VYR_FRAME_BAYER15, VYR_UNPACK_PATHS(10, kLsb10, lsbScalar<10>)},
        {VYR_FRAME_BAYER12P, VYR_FRAME_BAYER15, VYR_UNPACK_PATHS(12, kLsb12, lsbScalar<12>)},
        {VYR_FRAME_BAYER12PACKED, VYR_FRAME_BAYER15, VYR_UNPACK_PATHS(12, kGige12, gigeScalar)},
    };
    return table;
}

const Packed* findPacked(uint32_t format)
{
    if (format < VYR_FRAME_MONO10P || format > VYR_FRAME_BAYER12PACKED)
        return nullptr;
    static const Packed* table = [] {
        Packed* t = packedTable();
#ifdef VYR_UNPACK_X86
        for (uint32_t k = 0; k <= VYR_FRAME_BAYER12PACKED - VYR_FRAME_MONO10P; ++k) {
            t[k].paths[1].runs = hasSsse3();
            t[k].paths[2].runs = hasAvx2();
        }
#endif
        return t;
    }();
    return &table[format - VYR_FRAME_MONO10P];
}

} // namespace

UnpackFunction unpacker(uint32_t format)
{
    const Packed* packed = findPacked(format);
    if (!packed)
        return nullptr;
    for (size_t k = packed->pathCount; k-- > 0;) {
        if (packed->paths[k].runs)
            return packed->paths[k].unpack;
    }
    return nullptr;
}

size_t unpackPaths(uint32_t format, const UnpackPath*& paths)
{
    const Packed* packed = findPacked(format);
    paths = packed ? packed->paths : nullptr;
    return packed ? packed->pathCount : 0;
}

uint32_t unpackedFormat(uint32_t format)
{
    const Packed* packed = findPacked(format);
    return packed ? packed->unpacked : 0;
}

} // namespace vyr::frame
