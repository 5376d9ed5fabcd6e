// The Bicolor unit kernels written once over the register vocabulary of vec.h and the byte routes of
// route.h.
#pragma once

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
// width, and is shifted right by one and by the shift at once.
template <int Sample, int Out, int Samples, bool RedFirst, class W>
struct Steps<tag::Interpolate<Sample, Out, Samples, RedFirst>, W> {
    BicolorArg arg;
    __m128i meanShift;
    // A shift of 1 to 15 as the high half of a product (off the shuffle ports), 16 and more as a
    // product by 0, none as no product.
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
// Bicolor1616 to 3-byte RGB at AVX-512: an 8-bit output leaves the high byte of each pixel's own
// (shifted) sample unused, so the mean goes there and every output register is one permute of two
// registers. A rotation brings the bits of the neighbours' sum from the shift + 1 up to bits 8-15 (the
// sum has 17 bits: for shifts of 16 and more the outputs are all 0).
template <bool RedFirst, bool BlueFirst>
struct MeanInOwnHighByte {
    static constexpr int kIn[1] = {4}, kOut[1] = {3};
    static constexpr From from(int, int byte, int)
    {
        const int p = byte / 3, k = byte % 3;
        const int channel = RedFirst ? 2 - k : k; // 0 blue, 1 green, 2 red
        if (channel == 1)
            return {0, 4 * p + 2};
        const bool carriesRed = (p % 2 == 0) != BlueFirst;
        return {0, 4 * p + ((channel == 2) == carriesRed ? 0 : 1)};
    }
};

template <bool RedFirst>
struct Steps<tag::Interpolate<2, 1, 3, RedFirst>, V512> {
    bool flag, scaled;
    __m512i scale, rotation, meanByte;
    explicit Steps(uint32_t a)
    {
        const uint32_t s = a & 31;
        flag = (a >> 5) & 1;
        scaled = s != 0;
        scale = V512::set16(sampleScale(s));
        rotation = V512::set32(int32_t((s - 7) & 31));
        meanByte = V512::set32(s < 16 ? 0xFF00 : 0);
    }
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        const Neighbours<2, V512> n(in[0] + i * 4);
        __m512i v[4];
        for (int k = 0; k < 4; ++k) {
            const __m512i own = scaled ? _mm512_mulhi_epu16(n.here[k], scale) : n.here[k];
            const __m512i mean = _mm512_rorv_epi32(_mm512_add_epi32(n.before[k], n.after[k]), rotation);
            v[k] = _mm512_ternarylogic_epi32(own, mean, meanByte, 0xD8); // meanByte ? mean : own
        }
        const __m512i* streams[1] = {v};
        if (flag)
            routeToMemory<MeanInOwnHighByte<RedFirst, true>, V512, Stream>(streams, out, i);
        else
            routeToMemory<MeanInOwnHighByte<RedFirst, false>, V512, Stream>(streams, out, i);
    }
};
#endif

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
