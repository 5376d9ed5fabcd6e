#include "convert/kernels/avx512_first.h"

#include "convert/kernels/malvar_lanes.h"
#include "convert/kernels/passes.h"
#include "convert/kernels/pixels512.h"

// The AVX-512 Malvar kernels take the pixels of a pass apart by the parity of their column: the pixels at
// even offsets all have the phase of the first column, those at odd offsets the other one, so each half
// computes only the two estimates its sites need, where a register of mixed columns would compute four.
// A lane twice the size of a sample holds two neighbouring samples: the low one is the sample at an even
// offset from where the register was loaded, the high one at the odd offset after it. So 16-bit lanes
// for 8-bit samples (every sum and numerator lies within -3060..7140), 32-bit lanes for 15-bit ones.

namespace vyr::convert::kernels {
namespace {

// Where packs leave the results of the even and the odd pixels, per byte (8-bit) or word of the order.
template <size_t SampleBytes>
struct Order {
    alignas(64) uint8_t bytes[64];
};

template <size_t SampleBytes>
constexpr Order<SampleBytes> makeOrder()
{
    // Per 16-byte lane the packs leave the even pixels' results of 8 / SampleBytes lanes, then the odd ones'.
    constexpr int perLane = 8 / int(SampleBytes), pixels = 64 / int(SampleBytes);
    Order<SampleBytes> at{};
    for (int p = 0; p < pixels; ++p) {
        const int k = p / 2, source = 2 * perLane * (k / perLane) + perLane * (p & 1) + k % perLane;
        at.bytes[SampleBytes * p] = uint8_t(source);
    }
    return at;
}

template <size_t SampleBytes>
constexpr Order<SampleBytes> kOrder = makeOrder<SampleBytes>();

// A register of samples as MalvarLanes::pack leaves them (even pixels, odd pixels), in column order.
template <size_t SampleBytes>
inline __m512i ordered(__m512i packed, __m512i order)
{
    if constexpr (SampleBytes == 1)
        return _mm512_permutexvar_epi8(order, packed);
    else
        return _mm512_permutexvar_epi16(order, packed);
}

// The centre sample and the neighbourhood sums of the pixels of one parity.
struct Sums {
    __m512i c, h1, h2, v1, v2, d;
};

template <size_t SampleBytes>
struct Pass {
    using L = MalvarLanes<V512, SampleBytes>;
    static constexpr size_t kPixels = 2 * L::kPixels; // the lanes of a register, of each parity

    // Sample column 2k + d of a line in lane k, from a load at an even (Odd: odd) offset: the lines next
    // to the centre are read from column -1 on, the others from -2 or 0.
    template <bool Odd = false>
    static __m512i sample(const uint8_t* line, size_t x, int d)
    {
        const int at = d - ((d + Odd) & 1);
        const __m512i v = _mm512_loadu_si512(line + (ptrdiff_t(x) + at) * ptrdiff_t(SampleBytes));
        return d == at ? L::low(v) : L::high(v);
    }

    // Sums for the pixels at offsets 2k + parity, each sample taken apart first: sums of two bytes need
    // the 16-bit lanes, of two words the 32-bit ones.
    static Sums sums(const MalvarLines& l, size_t x, int parity)
    {
        auto centre = [&](int d) { return sample(l.centre, x, d + parity); };
        auto next = [&](int d) {
            return L::add(sample<true>(l.north, x, d + parity), sample<true>(l.south, x, d + parity));
        };
        return {centre(0),
                L::add(centre(-1), centre(1)),
                L::add(centre(-2), centre(2)),
                next(0),
                L::add(sample(l.top, x, parity), sample(l.bottom, x, parity)),
                L::add(next(-1), next(1))};
    }

    struct Colours {
        __m512i red, green, blue;
    };

    // The colours of the pixels of one parity, whose phase is Phase. The numerators over 16 are
    // regrouped so that shared terms are formed once; an arithmetic shift divides.
    template <uint32_t Phase>
    static Colours colours(const Sums& s)
    {
        if constexpr (Phase == 0 || Phase == 3) { // green site: left and right blue (0) or red (3)
            // 10c + 8h1 - 2h2 - 2d + v2 = 2(q + 4h1 - h2) + v2 and 10c + 8v1 - 2v2 - 2d + h2 =
            // 2(q + 4v1 - v2) + h2, with q = 5c - d
            const __m512i q = L::sub(L::add(L::template slli<2>(s.c), s.c), s.d);
            const __m512i lr = L::add(L::sub(L::template slli<2>(s.h1), s.h2), q);
            const __m512i ud = L::add(L::sub(L::template slli<2>(s.v1), s.v2), q);
            const __m512i leftRight = L::template srai<4>(L::add(L::add(lr, lr), s.v2));
            const __m512i upDown = L::template srai<4>(L::add(L::add(ud, ud), s.h2));
            return Phase == 0 ? Colours{upDown, s.c, leftRight} : Colours{leftRight, s.c, upDown};
        } else {
            // 8c + 4(h1 + v1) - 2(h2 + v2) = 2(2y - x) with y = 2c + h1 + v1, x = h2 + v2, so over 8;
            // 12c + 4d - 3x = 4z + x with z = 3c + d - x
            const __m512i x = L::add(s.h2, s.v2), c2 = L::add(s.c, s.c);
            const __m512i y = L::add(L::add(c2, s.h1), s.v1);
            const __m512i green = L::template srai<3>(L::sub(L::add(y, y), x));
            const __m512i z = L::sub(L::add(L::add(c2, s.c), s.d), x);
            const __m512i other = L::template srai<4>(L::add(L::template slli<2>(z), x));
            return Phase == 1 ? Colours{other, green, s.c} : Colours{s.c, green, other};
        }
    }

    // Red, green and blue of the pass, each as the packs leave the pixels of both parities: per 16-byte
    // lane the even pixels' results, then the odd ones', limited to the output range.
    template <uint32_t Phase>
    static Colours packed(const MalvarLines& l, size_t x)
    {
        const Colours e = colours<Phase>(sums(l, x, 0)), o = colours<Phase ^ 1>(sums(l, x, 1));
        return {L::pack(e.red, o.red), L::pack(e.green, o.green), L::pack(e.blue, o.blue)};
    }

    // The same in column order.
    template <uint32_t Phase>
    static Colours convert(const MalvarLines& l, size_t x)
    {
        const Colours c = packed<Phase>(l, x);
        const __m512i order = _mm512_load_si512(kOrder<SampleBytes>.bytes);
        return {ordered<SampleBytes>(c.red, order), ordered<SampleBytes>(c.green, order),
                ordered<SampleBytes>(c.blue, order)};
    }
};

// Every line fetches ahead (fetchAhead): a frame converted line by line comes from beyond the caches, and
// in cache the prefetches cost little. The line new to this call is the bottom one; the destinations are
// fetched as many pixels ahead.

template <size_t SampleBytes>
struct PlanarRun {
    template <uint32_t Phase>
    struct At {
        static void run(const MalvarLines& l, uint8_t* red, uint8_t* green, uint8_t* blue, size_t x0,
                        size_t pixels)
        {
            using P = Pass<SampleBytes>;
            for (size_t x = x0; x < x0 + pixels; x += P::kPixels) {
                const uint8_t* const ahead[] = {l.bottom, red, green, blue};
                for (const uint8_t* line : ahead)
                    fetchAhead<64>(line + SampleBytes * x);
                const typename P::Colours c = P::template convert<Phase>(l, x);
                _mm512_storeu_si512(red + SampleBytes * x, c.red);
                _mm512_storeu_si512(green + SampleBytes * x, c.green);
                _mm512_storeu_si512(blue + SampleBytes * x, c.blue);
            }
        }
    };
};

// RGB8888 keeping the fourth bytes: masked stores leave them unread and unwritten. The pixel permutes
// take the samples in the order the packs leave them.
template <uint32_t Phase>
struct PackedRun {
    static void run(const MalvarLines& l, uint8_t* dst, size_t x0, size_t pixels)
    {
        using P = Pass<1>;
        for (size_t x = x0; x < x0 + pixels; x += P::kPixels) {
            fetchAhead<64>(l.bottom + x);
            fetchAhead<256>(dst + 4 * x + 3 * kAheadBytes); // 4 kAheadBytes ahead: as many pixels
            const P::Colours c = P::packed<Phase>(l, x);
            __m512i quads[4];
            bgrxQuads(c.blue, c.green, c.red, quads, kPackedQuadIndices);
            for (int k = 0; k < 4; ++k)
                _mm512_mask_storeu_epi8(dst + 4 * x + 64 * k, kFirstThreeBytes, quads[k]);
        }
    }
};

} // namespace

void malvar8ToRgb8888Avx512(const MalvarLines& l, uint8_t* dst, size_t x0, size_t pixels, uint32_t phase)
{
    withMalvarPhase<PackedRun>(phase, l, dst, x0, pixels);
}

void malvar8ToPlanarAvx512(const MalvarLines& l, uint8_t* red, uint8_t* green, uint8_t* blue, size_t x0,
                           size_t pixels, uint32_t phase)
{
    withMalvarPhase<PlanarRun<1>::At>(phase, l, red, green, blue, x0, pixels);
}

void malvar15ToPlanarAvx512(const MalvarLines& l, uint8_t* red, uint8_t* green, uint8_t* blue, size_t x0,
                            size_t pixels, uint32_t phase)
{
    withMalvarPhase<PlanarRun<2>::At>(phase, l, red, green, blue, x0, pixels);
}

} // namespace vyr::convert::kernels
