// The Bicolor unit kernels written once over the register vocabulary of vec.h and the byte routes of
// route.h.
#pragma once

#include <type_traits>

#include "convert/kernels/bicolor_kernels.h"
#include "convert/kernels/units.h"

namespace vyr::convert::kernels {
namespace {

// The shift and flag of a kernel's argument.
struct BicolorArg {
    __m128i shift;
    bool flag;
    explicit BicolorArg(uint32_t arg) : shift(_mm_cvtsi32_si128(int(arg & 31))), flag((arg >> 5) & 1) {}
};

template <class RedFirst, class BlueFirst, bool Shift, class W>
struct Steps<tag::SelectColour<RedFirst, BlueFirst, Shift>, W> {
    BicolorArg arg;
    explicit Steps(uint32_t a) : arg(a) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        if constexpr (Shift) {
            using K = tag::SelectColour<RedFirst, BlueFirst, Shift>;
            typename W::V v[K::kIn[0]];
            eachInput<K, W>(in, i, [&](size_t k, typename W::V x) { v[k] = W::srl16(x, arg.shift); });
            const typename W::V* samples[1] = {v};
            if (arg.flag)
                routeToMemory<BlueFirst, W, Stream>(samples, out, i);
            else
                routeToMemory<RedFirst, W, Stream>(samples, out, i);
        } else if (arg.flag) {
            routeUnit<BlueFirst, W, Stream>(in, out, i);
        } else {
            routeUnit<RedFirst, W, Stream>(in, out, i);
        }
    }
};

// From the pixels (colour sample, green sample; shifted) and the missing colours (in a pixel's first
// sample, zero-extended to the pixel's bytes) to RGB: a pixel carrying red takes it from its own
// sample and blue from the missing one, a pixel carrying blue the other way round.
template <int Sample, int Out, int Samples, bool RedFirst, bool BlueFirst>
struct InterpolatedRoute {
    static constexpr int kIn[2] = {2 * Sample, 2 * Sample}, kOut[1] = {Out * Samples};
    static constexpr From from(int, int byte, int)
    {
        const int p = byte / (Out * Samples), k = byte % (Out * Samples) / Out, b = byte % Out;
        if (k == 3)
            return keptByte();
        if (b >= Sample)
            return zeroByte();
        const int channel = RedFirst ? 2 - k : k; // 0 blue, 1 green, 2 red
        const int at = p * 2 * Sample + b;
        if (channel == 1)
            return {0, at + Sample};
        const bool carriesRed = (p % 2 == 0) != BlueFirst;
        return {(channel == 2) == carriesRed ? 0 : 1, at};
    }
};

// Each register of the unit at pixel p, and the colour samples (zero-extended to the pixel) of the
// pixels one before and one after in the same places: loaded there at widths of 16 bytes. AVX-512 loads
// only the colour samples of the unit from the pixel before (masked loads) and aligns them (by 32-bit
// elements) to the pixels after, saving the loads that cross cache lines and the masking.
template <int Sample, class W>
struct Neighbours {
    static constexpr int kRegisters = 2 * Sample;
    typename W::V before[kRegisters], here[kRegisters], after[kRegisters];
    explicit Neighbours(const uint8_t* p)
    {
        constexpr int kPixel = 2 * Sample;
        const typename W::V colour = Sample == 1 ? W::set16(0xFF) : W::set32(0xFFFF);
        for (int k = 0; k < kRegisters; ++k) {
            before[k] = W::and_(W::load(p + k * W::kBytes - kPixel), colour);
            here[k] = W::load(p + k * W::kBytes);
            after[k] = W::and_(W::load(p + k * W::kBytes + kPixel), colour);
        }
    }
};
#if defined(__AVX512F__)
template <int Sample>
struct Neighbours<Sample, V512> {
    static constexpr int kRegisters = 2 * Sample;
    __m512i before[kRegisters], here[kRegisters], after[kRegisters];
    // The colour samples of the 64 bytes at p: the even samples.
    static __m512i colours(const uint8_t* p, __mmask64 only = ~__mmask64(0))
    {
        if constexpr (Sample == 1)
            return _mm512_maskz_loadu_epi8(0x5555555555555555 & only, p);
        else
            return _mm512_maskz_loadu_epi16(__mmask32(0x55555555 & only), p);
    }
    explicit Neighbours(const uint8_t* p)
    {
        const uint8_t* from = p - 2 * Sample;
        for (int k = 0; k < kRegisters; ++k) {
            before[k] = colours(from + k * 64);
            here[k] = V512::load(p + k * 64);
        }
        // The two pixels after the last register, and nothing past them: the second may end the line.
        const __m512i next = colours(from + kRegisters * 64, 0xF);
        for (int k = 0; k < kRegisters; ++k)
            after[k] = _mm512_alignr_epi32(k + 1 < kRegisters ? before[k + 1] : next, before[k], Sample);
    }
};
#endif

// The missing colour of each pixel the mean of its neighbours' samples; their sum fits the pixel's
// width, and is shifted right by one and by the shift at once. A shift of 1 to 15 is the high half of a
// product (off the shuffle ports), 16 and more a product by 0, none no product.
template <int Sample, int Out, int Samples, bool RedFirst, class W>
struct Steps<tag::Interpolate<Sample, Out, Samples, RedFirst>, W> {
    BicolorArg arg;
    __m128i meanShift;
    bool scaled;
    typename W::V scale;
    explicit Steps(uint32_t a)
        : arg(a), meanShift(_mm_cvtsi32_si128(int(a & 31) + 1)), scaled((a & 31) != 0),
          scale(W::set16(sampleScale(a & 31)))
    {
    }
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        constexpr int kPixel = 2 * Sample;
        const Neighbours<Sample, W> n(in[0] + i * kPixel);
        typename W::V v[kPixel], m[kPixel];
        for (int k = 0; k < kPixel; ++k) {
            if constexpr (Sample == 1) {
                m[k] = W::template srli16<1>(W::add16(n.before[k], n.after[k]));
                v[k] = n.here[k];
            } else {
                m[k] = W::srl32(W::add32(n.before[k], n.after[k]), meanShift);
                v[k] = scaled ? W::mulhiu16(n.here[k], scale) : n.here[k];
            }
        }
        const typename W::V* streams[2] = {v, m};
        if (arg.flag)
            routeToMemory<InterpolatedRoute<Sample, Out, Samples, RedFirst, true>, W, Stream>(streams, out,
                                                                                              i);
        else
            routeToMemory<InterpolatedRoute<Sample, Out, Samples, RedFirst, false>, W, Stream>(streams, out,
                                                                                               i);
    }
};

#if defined(__AVX512VBMI__)
// Bicolor1616 to 3-byte RGB at AVX-512, in steps of 63 pixels whose registers hold the pixel before each
// one. A lane's colour sample and that of the lane two further are then the neighbours of the lane's
// own pixel: their sum comes from one alignment a register. An 8-bit output leaves the high byte of each
// pixel's own (shifted) sample unused, so the mean goes there, one lane before its pixel's samples, and
// each output register is one permute of two registers; the third store leaves out the 64th pixel, which
// the next step writes. A rotation brings the bits of the sum from the shift + 1 up to bits 8-15 (the sum
// has 17 bits: for shifts of 16 and more the outputs are all 0). Where those bits lie below bit 16 (shifts
// up to 7) or do not count, the greens stay beside the colours in the sums (GreensStay), unmasked.
template <bool RedFirst, bool BlueFirst>
struct StepIndices {
    alignas(64) uint8_t at[3][64];
};
template <bool RedFirst, bool BlueFirst>
constexpr StepIndices<RedFirst, BlueFirst> stepIndices()
{
    StepIndices<RedFirst, BlueFirst> t{};
    for (int o = 0; o < 189; ++o) {
        const int p = o / 3, k = o % 3, channel = RedFirst ? 2 - k : k; // 0 blue, 1 green, 2 red
        const bool carriesRed = (p % 2 == 0) != BlueFirst;
        const int at = channel == 1                   ? 4 * (p + 1) + 2
                       : (channel == 2) == carriesRed ? 4 * (p + 1)
                                                      : 4 * p + 1;
        t.at[o / 64][o % 64] = uint8_t(at - o / 64 * 64); // from registers o / 64 and o / 64 + 1
    }
    return t;
}
template <bool RedFirst, bool BlueFirst>
constexpr StepIndices<RedFirst, BlueFirst> kStepIndices = stepIndices<RedFirst, BlueFirst>();

// Any number of pixels from 63 on: whole steps, then one more ending at the last pixel (a step at an odd
// pixel starts with the other colour). The argument's choices are made once a call: blue first (Flag),
// samples shifted (Scaled), greens left in (GreensStay); the loop has no branch. Streaming stores
// measured slower: the stores stay plain.
template <bool RedFirst, bool Flag, bool Scaled, bool GreensStay>
struct Steps63 {
    static constexpr size_t kStep = 63;
    __m512i scale, rotation, meanByte, index[2][3];

    explicit Steps63(uint32_t arg)
    {
        const uint32_t s = arg & 31;
        scale = V512::set16(sampleScale(s));
        rotation = V512::set32(int32_t((s - 7) & 31));
        meanByte = V512::set32(s < 16 ? 0xFF00 : 0);
        for (int r = 0; r < 3; ++r) {
            index[0][r] = _mm512_load_si512(kStepIndices<RedFirst, Flag>.at[r]);
            index[1][r] = _mm512_load_si512(kStepIndices<RedFirst, !Flag>.at[r]);
        }
    }
    // Pixels 0-62 from p, in the pattern of pixel `at` of the call.
    void step(const uint8_t* p, uint8_t* d, size_t at) const
    {
        __m512i c[5], v[4];
        for (int k = 0; k < 4; ++k) {
            const __m512i x = opaque(V512::load(p - 4 + 64 * k)); // one load (opaque), not one per use
            c[k] = GreensStay ? x : _mm512_and_si512(x, V512::set32(0xFFFF));
            v[k] = Scaled ? _mm512_mulhi_epu16(x, scale) : x;
        }
        c[4] = _mm512_maskz_loadu_epi16(GreensStay ? 0x3 : 0x1,
                                        p + 4 * kStep); // pixel 63, the line's last at most
        for (int k = 0; k < 4; ++k) {
            const __m512i sum = _mm512_add_epi32(c[k], _mm512_alignr_epi32(c[k + 1], c[k], 2));
            v[k] = _mm512_ternarylogic_epi32(v[k], _mm512_rorv_epi32(sum, rotation), meanByte, 0xD8);
        }
        const __m512i* const at3 = index[at % 2];
        V512::store<false>(d, _mm512_permutex2var_epi8(v[0], at3[0], v[1]));
        V512::store<false>(d + 64, _mm512_permutex2var_epi8(v[1], at3[1], v[2]));
        _mm512_mask_storeu_epi8(d + 128, ~__mmask64(0) >> 3, _mm512_permutex2var_epi8(v[2], at3[2], v[3]));
    }
    [[gnu::flatten]] static void run(const uint8_t* const* in, uint8_t* const* out, size_t pixels,
                                     uint32_t arg)
    {
        const Steps63 loop(arg);
        const uint8_t* const src = in[0];
        uint8_t* const dst = out[0];
        size_t i = 0;
        for (; i + 2 * kStep <= pixels; i += 2 * kStep) {
            loop.step(src + 4 * i, dst + 3 * i, 0);
            loop.step(src + 4 * (i + kStep), dst + 3 * (i + kStep), 1);
        }
        if (i + kStep <= pixels) {
            loop.step(src + 4 * i, dst + 3 * i, 0);
            i += kStep;
        }
        if (i < pixels)
            loop.step(src + 4 * (pixels - kStep), dst + 3 * (pixels - kStep), pixels - kStep);
    }
};
#endif

// The first pixel from 1 to Unit whose destination starts a line of Unit bytes (a register of the
// kernel's width), or Unit + 1 where none does: only the speed of the stores depends on it.
template <uint32_t Unit, int Bytes>
size_t alignedStart(const uint8_t* dst)
{
    constexpr uint32_t g = Bytes & -Bytes, period = Unit / g; // g: the largest power of 2 dividing Bytes
    constexpr uint32_t odd = uint32_t(Bytes) / g;
    uint32_t inverse = odd; // of odd modulo 2^32, by Newton's steps (each doubles the bits that hold)
    for (int k = 0; k < 5; ++k)
        inverse *= 2 - odd * inverse;
    const uint32_t to = uint32_t(0u - reinterpret_cast<uintptr_t>(dst)) & (Unit - 1);
    if (to % g)
        return Unit + 1;
    const uint32_t p = to / g * inverse & (period - 1);
    return p ? p : period;
}

// An interpolating kernel takes the pixels that have both neighbours, any number from one unit on. Its
// units: one at pixel 0, whole ones from the first pixel whose destination starts a register
// (alignedStart), and a last one ending at the last pixel, writing some bytes twice, the same both times
// (a unit at an odd pixel starts with the other colour). The 3-byte outputs' AVX-512 steps take any
// number from 63 on themselves (Interpolate::leastRun).
template <int Sample, int Out, int Samples, bool RedFirst, class W>
struct Runner<tag::Interpolate<Sample, Out, Samples, RedFirst>, W> {
    using K = tag::Interpolate<Sample, Out, Samples, RedFirst>;
    static constexpr size_t kUnit = W::kBytes, kIn = size_t(K::kIn[0]), kOut = size_t(K::kOut[0]);
    static void units(const uint8_t* const* in, uint8_t* const* out, size_t at, size_t n, uint32_t arg)
    {
        const uint8_t* const from[1] = {in[0] + at * kIn};
        uint8_t* const to[1] = {out[0] + at * kOut};
        runUnits<K, W>(from, to, n, at % 2 ? arg ^ 32 : arg);
    }
    static void covering(const uint8_t* const* in, uint8_t* const* out, size_t pixels, uint32_t arg)
    {
        units(in, out, 0, kUnit, arg);
        if (pixels == kUnit)
            return;
        const size_t at = std::min<size_t>(alignedStart<kUnit, int(kOut)>(out[0]), kUnit);
        const size_t end = at + (pixels - at) / kUnit * kUnit;
        if (end > at)
            units(in, out, at, end - at, arg);
        if (end < pixels)
            units(in, out, pixels - kUnit, kUnit, arg);
    }
#if defined(__AVX512VBMI__)
    // The greens may stay beside the colours where only bits 0-15 of the neighbours' sums count: the
    // mean's bits s + 1 to s + 8 lie below bit 16 for shifts up to 7, and none count from 16 on.
    template <bool Scaled, bool GreensStay>
    static void steps(bool flag, const uint8_t* const* in, uint8_t* const* out, size_t pixels, uint32_t arg)
    {
        if (flag)
            Steps63<RedFirst, true, Scaled, GreensStay>::run(in, out, pixels, arg);
        else
            Steps63<RedFirst, false, Scaled, GreensStay>::run(in, out, pixels, arg);
    }
#endif
    static void run(const uint8_t* const* in, uint8_t* const* out, size_t pixels, uint32_t arg)
    {
#if defined(__AVX512VBMI__)
        if constexpr (K::kSteps63 && std::is_same_v<W, V512>) {
            const uint32_t s = arg & 31;
            const bool flag = (arg >> 5) & 1;
            if (s == 0)
                return steps<false, true>(flag, in, out, pixels, arg);
            if (s < 8 || s >= 16)
                return steps<true, true>(flag, in, out, pixels, arg);
            return steps<true, false>(flag, in, out, pixels, arg);
        }
#endif
        covering(in, out, pixels, arg);
    }
};

// Both samples of a pixel exchanged: the bytes of every 16-bit word, or the words of every 32-bit one.
template <class W>
inline typename W::V exchangeBytes(typename W::V v)
{
    return W::or_(W::template slli16<8>(v), W::template srli16<8>(v));
}
template <class W>
inline typename W::V exchangeWords(typename W::V v)
{
    return W::or_(W::template slli32<16>(v), W::template srli32<16>(v));
}

template <int In, int Out, class W>
struct Steps<tag::Exchange<In, Out>, W> {
    BicolorArg arg;
    explicit Steps(uint32_t a) : arg(a) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        using K = tag::Exchange<In, Out>;
        for (size_t k = 0; k < 2 * Out; ++k) {
            if constexpr (In == 1 && Out == 1) {
                const typename W::V v = loadUnit<K, W>(in, 0, i, k);
                storeUnit<K, W, Stream>(out, 0, i, k, arg.flag ? exchangeBytes<W>(v) : v);
            } else {
                const typename W::V v = In == 1 ? W::loadWidened8(in[0] + 2 * i + k * W::kBytes / 2)
                                                : W::srl16(loadUnit<K, W>(in, 0, i, k), arg.shift);
                storeUnit<K, W, Stream>(out, 0, i, k, arg.flag ? exchangeWords<W>(v) : v);
            }
        }
    }
};

} // namespace
} // namespace vyr::convert::kernels
