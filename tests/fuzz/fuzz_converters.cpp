// Every converter of the library on arguments it did not choose. Each run takes one converter, its
// count, the places of its buffers (flush against a guard page, front or back, or a few bytes off)
// and its own arguments from the input, and holds every kernel the processor runs to the plain C++
// path of its rule: fast[isa] to scalar, vector[isa] to vector[kPlain], byte for byte and in what
// they return. The export runs too, on the same buffers: it stays inside them and gives the bytes
// of one of its rules. A difference, or a byte written outside a destination, aborts after one line
// naming the converter, the path, the count and the first differing byte; a read past a source
// that lies flush against a guard faults there.
//
// Input: a header of kHeaderBytes bytes, then the source bytes (repeated as long as needed).
//   0      the converter, modulo their number: line converters, Bicolor, Bayer 2x2, Malvar, planar
//          sources, merge, split (in the order of the tables below)
//   1-2    count (pixels; bits for MONO1): of a little-endian word w, (w & 0x1FFF) % (kMaxCount + 1)
//          shifted right by bits 13-14, so that short runs, all head and tail, come often; with bit
//          15 rounded down to a multiple of 32, whole blocks of every kernel and no tail
//   3, 4   where the sources and the destinations lie: bit 7 flush against the back guard, else the
//          front; bits 0-5 the bytes between the run and that guard
//   5-8    A: unusedBits (taken modulo the converter's range of valid values, see byte 13), the
//          Bicolor shift, the Bayer phase
//   9-12   B: the Bicolor flag, the Malvar row border
//   13     bit 0: A as unusedBits as it is, out of range too (the export alone runs then: the rules
//          promise no bytes there); bit 1 Bayer noInterpolation; bit 2 the Bayer border; bit 3 the
//          Malvar row border as B is, else -(B % 3); bits 4-5 the planar sources' height - 1;
//          bits 4-6 the merge sources and split destinations left out (null), red first
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "VyrUtility.h"
#include "convert/bayer2x2.h"
#include "convert/bicolor.h"
#include "convert/hsi.h"
#include "convert/hsv.h"
#include "convert/lab.h"
#include "convert/malvar.h"
#include "convert/mono.h"
#include "convert/packed_rgb.h"
#include "convert/planar.h"
#include "convert/yuv422.h"
#include "convert/yuv444.h"
#include "convert/yuv_encode.h"
#include "export_shapes.h"
#include "guarded_buffer.h"

namespace {

using namespace vyr::convert;
using namespace vyr::test;
namespace convert = vyr::convert;

constexpr size_t kHeaderBytes = 14;
// Past the kernels' streaming-store threshold, thousands of runs a second.
constexpr uint32_t kMaxCount = 4096;

struct Input {
    uint32_t count, a, b;
    uint8_t options;
    Placement src, dst;
    const uint8_t* bytes; // the source bytes
    size_t size;
};

Placement placement(uint8_t byte) { return {byte & 128 ? Flush::Back : Flush::Front, size_t(byte & 63)}; }

// ---- Runs and their comparison ---------------------------------------------------------------------

struct Where {
    const char* converter;
    const char* path;
    Isa isa;
    uint32_t count;
};

[[noreturn]] void fail(const Where& w, const std::string& what)
{
    std::fprintf(stderr, "%s, %s path at %s, count %u: %s\n", w.converter, w.path, isaName(w.isa), w.count,
                 what.c_str());
    std::fflush(stderr);
    std::abort();
}

// What a path returned and the bytes of every destination, one after another.
struct Outcome {
    uint32_t result;
    std::vector<uint8_t> bytes;
};

std::string difference(const Outcome& want, const Outcome& got)
{
    if (want.result != got.result)
        return "returned " + std::to_string(got.result) + ", the rule " + std::to_string(want.result);
    size_t i = 0;
    while (want.bytes[i] == got.bytes[i])
        ++i;
    char text[80];
    std::snprintf(text, sizeof text, "destination byte %zu is 0x%02x, the rule's 0x%02x", i, got.bytes[i],
                  want.bytes[i]);
    return text;
}

bool same(const Outcome& a, const Outcome& b) { return a.result == b.result && a.bytes == b.bytes; }

// The harness's own byte loops: kept out of the coverage tracing, which would cost more than the
// converters under test.
#define VYR_UNTRACED __attribute__((no_sanitize("coverage")))

// Source bytes from the input, each repeat xored with its own value so that a long run holds every
// byte value; 15-bit samples (two bytes) keep within 15 bits.
VYR_UNTRACED void fillSource(uint8_t* p, size_t n, const Input& in, size_t& next, bool fifteenBits)
{
    for (size_t i = 0; i < n && in.size; ++i, ++next)
        p[i] = uint8_t(in.bytes[next % in.size] ^ (next / in.size * 0x9D)) &
               (fifteenBits && i % 2 ? 0x7F : 0xFF);
}

VYR_UNTRACED void fillDestination(uint8_t* p, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        p[i] = uint8_t(0x5A + 13 * i);
}

// The buffers of one run: sources filled from the input and read-only, destinations that every path
// finds holding the same bytes.
class Buffers {
public:
    explicit Buffers(const Input& in) : in_(in) {}

    const uint8_t* source(size_t bytes, bool fifteenBits = false)
    {
        GuardedBuffer& g = *sources_.emplace_back(std::make_unique<GuardedBuffer>(bytes, in_.src));
        fillSource(g.data(), bytes, in_, next_, fifteenBits);
        g.makeReadOnly();
        return g.data();
    }

    uint8_t* destination(size_t bytes)
    {
        return destinations_.emplace_back(std::make_unique<GuardedBuffer>(bytes, in_.dst))->data();
    }

    // One path (or the export) on destinations reset to the same bytes: what it returned and wrote.
    template <class Call>
    Outcome run(const Where& where, Call call)
    {
        for (auto& d : destinations_) {
            d->place(in_.dst); // the same place, its surroundings written anew
            fillDestination(d->data(), d->size());
        }
        Outcome out{call(), {}};
        for (auto& d : destinations_) {
            if (!d->surroundingsIntact())
                fail(where, "wrote outside its destination");
            out.bytes.insert(out.bytes.end(), d->data(), d->data() + d->size());
        }
        return out;
    }

private:
    const Input& in_;
    std::vector<std::unique_ptr<GuardedBuffer>> sources_, destinations_;
    size_t next_ = 0;
};

// Every path of a table the processor runs, against the plain path of its rule; `exported` (the
// export's outcome on the same buffers, if it has the same arguments) must be one rule's.
template <class Fn, class Invoke>
void checkPaths(const char* name, const Paths<Fn>& paths, Buffers& b, uint32_t count, Invoke invoke,
                const std::optional<Outcome>& exported, bool vectorRule = true)
{
    auto run = [&](const char* kind, unsigned isa, Fn fn) {
        return b.run({name, kind, Isa(isa), count}, [&] { return invoke(fn); });
    };
    const Outcome scalar = run("scalar", kPlain, paths.scalar);
    std::optional<Outcome> vector;
    if (vectorRule && paths.hasVectorRule())
        vector = run("vector", kPlain, paths.vector[kPlain]);
    for (unsigned isa = kPlain + 1; isa <= processorIsa(); ++isa) {
        if (paths.fast[isa]) {
            const Outcome got = run("fast", isa, paths.fast[isa]);
            if (!same(scalar, got))
                fail({name, "fast", Isa(isa), count}, difference(scalar, got));
        }
        if (vector && paths.vector[isa]) {
            const Outcome got = run("vector", isa, paths.vector[isa]);
            if (!same(*vector, got))
                fail({name, "vector", Isa(isa), count}, difference(*vector, got));
        }
    }
    if (exported && !same(scalar, *exported) && !(vector && same(*vector, *exported)))
        fail({name, "export", kPlain, count},
             "neither rule's outcome; the scalar rule's: " + difference(scalar, *exported));
}

// ---- Line converters -------------------------------------------------------------------------------

struct LineConverter {
    const char* name;
    ExportedLine exported;
    const LinePaths* paths;
    Run src, dst;
    uint32_t maxUnusedBits = kAnyUnusedBits;
    bool vectorOnlyWithout = false; // the vector rule only with unusedBits 0: its kernels take no other
};

// Planar destinations are `count` samples apart in one buffer; YUV 4:2:2 and 4:1:1 sources come in
// units of 2 and 4 pixels.
const LineConverter kLines[] = {
    {CONVERTER(MONO8toRGB8888, kMono8ToRgb8888), {1}, {4}},
    {CONVERTER(MONO8toRGB888, kMono8ToRgb888), {1}, {3}},
    {CONVERTER(MONO16toMONO8, kMono16ToMono8), {2}, {1}, 8},
    {CONVERTER(MONO8toRGB5551, kMono8ToRgb5551), {1}, {2}, 3, true},
    {CONVERTER(MONO8toRGB565, kMono8ToRgb565), {1}, {2}, 2, true},
    {CONVERTER(RGB8888toMONO8, kRgb8888ToMono8), {4}, {1}},
    {CONVERTER(MONO32toMONO8, kMono32ToMono8), {4}, {1}, 24},
    {CONVERTER(MONO8toMONO16, kMono8ToMono16), {1}, {2}, 8},
    {CONVERTER(MONO8toINT8, kMono8ToInt8), {1}, {1}},
    {CONVERTER(INT8toMONO8, kInt8ToMono8), {1}, {1}},
    {CONVERTER(MONO8toINT16, kMono8ToInt16), {1}, {2}, 8},
    {CONVERTER(INT16toMONO8, kInt16ToMono8), {2}, {1}, 8},
    {CONVERTER(MONO16toRGB5551, kMono16ToRgb5551), {2}, {2}, 11},
    {CONVERTER(MONO16toRGB565, kMono16ToRgb565), {2}, {2}, 10},
    {CONVERTER(MONO16toRGB8888, kMono16ToRgb8888), {2}, {4}, 8},
    {CONVERTER(MONO16toRGB888, kMono16ToRgb888), {2}, {3}, 8},
    {CONVERTER(RGB888toMONO8, kRgb888ToMono8), {3}, {1}},
    {CONVERTER(RGB888toRGB8888, kRgb888ToRgb8888), {3}, {4}},
    {CONVERTER(RGBR888toRGB8888, kRgbr888ToRgb8888), {3}, {4}},
    {CONVERTER(RGBR888toRGB888, kRgbr888ToRgb888), {3}, {3}},
    {CONVERTER(RGB101010toRGB8888, kRgb101010ToRgb8888), {4}, {4}, 2, true},
    {CONVERTER(RGB8888toRGB888, kRgb8888ToRgb888), {4}, {3}},
    {CONVERTER(RGB888toRGB5551, kRgb888ToRgb5551), {3}, {2}},
    {CONVERTER(RGB888toRGB565, kRgb888ToRgb565), {3}, {2}, 2},
    {CONVERTER(RGB5551toRGB888, kRgb5551ToRgb888), {2}, {3}, 3},
    {CONVERTER(RGB565toRGB888, kRgb565ToRgb888), {2}, {3}, 2},
    {CONVERTER(RGB101010toRGB888, kRgb101010ToRgb888), {4}, {3}, 2},
    {CONVERTER(RGB101010toRGB161616, kRgb101010ToRgb161616), {4}, {6}, 6},
    {CONVERTER(RGB101010toRGB16161616, kRgb101010ToRgb16161616), {4}, {8}, 6},
    {CONVERTER(RGB161616toRGB101010, kRgb161616ToRgb101010), {6}, {4}, 6},
    {CONVERTER(RGB16161616toRGB101010, kRgb16161616ToRgb101010), {8}, {4}, 6},
    {CONVERTER(RGB161616toRGB8888, kRgb161616ToRgb8888), {6}, {4}, 8},
    {CONVERTER(RGB161616toRGB888, kRgb161616ToRgb888), {6}, {3}, 8},
    {CONVERTER(RGB16161616toRGB8888, kRgb16161616ToRgb8888), {8}, {4}, 8},
    {CONVERTER(RGB16161616toRGB888, kRgb16161616ToRgb888), {8}, {3}, 8},
    {CONVERTER(RGB16161616toMONO16, kRgb16161616ToMono16), {8}, {2}},
    {CONVERTER(RGB101010toMONO16, kRgb101010ToMono16), {4}, {2}, 6},
    {CONVERTER(RGB888toRGBP8, kRgb888ToRgbp8), {3}, {3}},
    {CONVERTER(RGB8888toRGBAP8, kRgb8888ToRgbap8), {4}, {4}},
    {CONVERTER(RGB101010toRGBP16, kRgb101010ToRgbp16), {4}, {6}, 6},
    {CONVERTER(RGB161616toRGBP16, kRgb161616ToRgbp16), {6}, {6}},
    {"ReverseMONO1", VyrUtilReverseMONO1, &kReverseMono1, {1, 8}, {1, 8}},
    {CONVERTER(UYVYtoMONO8, kUyvyToMono8), {4, 2}, {1}},
    {CONVERTER(UYVYtoRGB8888, kUyvyToRgb8888), {4, 2}, {4}},
    {CONVERTER(UYVYtoRGB888, kUyvyToRgb888), {4, 2}, {3}},
    {CONVERTER(UYVYtoYUV, kUyvyToYuv), {4, 2}, {4}},
    {CONVERTER(YUY2toMONO8, kYuy2ToMono8), {4, 2}, {1}},
    {CONVERTER(YUY2toRGB8888, kYuy2ToRgb8888), {4, 2}, {4}},
    {CONVERTER(YUY2toRGB888, kYuy2ToRgb888), {4, 2}, {3}},
    {CONVERTER(YUY2toYUV, kYuy2ToYuv), {4, 2}, {4}},
    {CONVERTER(YVYUtoRGB8888, kYvyuToRgb8888), {4, 2}, {4}},
    {CONVERTER(YVYUtoRGB888, kYvyuToRgb888), {4, 2}, {3}},
    {CONVERTER(YVYUtoYUV, kYvyuToYuv), {4, 2}, {4}},
    {CONVERTER(Y411toMONO8, kY411ToMono8), {6, 4}, {1}},
    {CONVERTER(Y411toRGB8888, kY411ToRgb8888), {6, 4}, {4}},
    {CONVERTER(Y411toRGB888, kY411ToRgb888), {6, 4}, {3}},
    {CONVERTER(Y411toYUV, kY411ToYuv), {6, 4}, {4}},
    {CONVERTER(IYU2toMONO8, kIyu2ToMono8), {3}, {1}},
    {CONVERTER(IYU2toRGB8888, kIyu2ToRgb8888), {3}, {4}},
    {CONVERTER(IYU2toRGB888, kIyu2ToRgb888), {3}, {3}},
    {CONVERTER(IYU2toYUV, kIyu2ToYuv), {3}, {4}},
    {CONVERTER(YUVtoMONO8, kYuvToMono8), {4}, {1}},
    {CONVERTER(YUVtoRGB8888, kYuvToRgb8888), {4}, {4}},
    {CONVERTER(RGB888toUYVY, kRgb888ToUyvy), {3}, {2}},
    {CONVERTER(RGB888toYUY2, kRgb888ToYuy2), {3}, {2}},
    {CONVERTER(RGB888toYVYU, kRgb888ToYvyu), {3}, {2}},
    {CONVERTER(RGB8888toUYVY, kRgb8888ToUyvy), {4}, {2}},
    {CONVERTER(RGB8888toYUY2, kRgb8888ToYuy2), {4}, {2}},
    {CONVERTER(RGB8888toYUV, kRgb8888ToYuv), {4}, {4}},
    {CONVERTER(MONO8toYUY2, kMono8ToYuy2), {1}, {2}},
    {CONVERTER(MONO16toYUY2, kMono16ToYuy2), {2}, {2}, 16},
    {CONVERTER(RGB8888toHSV, kRgb8888ToHsv), {4}, {4}},
    {CONVERTER(HSVtoRGB8888, kHsvToRgb8888), {4}, {4}},
    {CONVERTER(HSVtoMONO8, kHsvToMono8), {4}, {1}},
    {CONVERTER(RGB8888toHSI, kRgb8888ToHsi), {4}, {4}},
    {CONVERTER(HSItoRGB8888, kHsiToRgb8888), {4}, {4}},
    {CONVERTER(RGB8888toLAB, kRgb8888ToLab), {4}, {4}},
    {CONVERTER(LABtoRGB8888, kLabToRgb8888), {4}, {4}},
    {CONVERTER(LABtoMONO8, kLabToMono8), {4}, {1}},
};

void checkLine(const LineConverter& c, const Input& in)
{
    Buffers b(in);
    const uint8_t* src = b.source(c.src.of(in.count));
    uint8_t* dst = b.destination(c.dst.of(in.count));
    const bool asGiven = in.options & 1 || c.maxUnusedBits == kAnyUnusedBits;
    const uint32_t a = asGiven ? in.a : in.a % (c.maxUnusedBits + 1);
    const Outcome exported =
        b.run({c.name, "export", kPlain, in.count}, [&] { return c.exported(src, dst, in.count, a); });
    if (exported.result != 0)
        fail({c.name, "export", kPlain, in.count}, "returned " + std::to_string(exported.result));
    if (a <= c.maxUnusedBits) {
        checkPaths(
            c.name, *c.paths, b, in.count, [&](LineFn fn) { return fn(src, dst, in.count, a), 0u; }, exported,
            !c.vectorOnlyWithout || a == 0);
    }
}

// ---- Bicolor ---------------------------------------------------------------------------------------

const BicolorConverter kBicolors[] = {
    BICOLOR(Bicolor88toRGB8888, kBicolor88ToRgb8888, 4, 2, 4),
    BICOLOR(Bicolor88toRGB888, kBicolor88ToRgb888, 4, 2, 3),
    BICOLOR(Bicolor88toRGBR888, kBicolor88ToRgbr888, 4, 2, 3),
    BICOLOR(Bicolor88toRGB161616, kBicolor88ToRgb161616, 4, 2, 6),
    BICOLOR(Bicolor88toRGB16161616, kBicolor88ToRgb16161616, 4, 2, 8),
    BICOLOR(Bicolor1616toRGB8888, kBicolor1616ToRgb8888, 5, 4, 4),
    BICOLOR(Bicolor1616toRGB888, kBicolor1616ToRgb888, 5, 4, 3),
    BICOLOR(Bicolor1616toRGBR888, kBicolor1616ToRgbr888, 5, 4, 3),
    BICOLOR(Bicolor1616toRGB161616, kBicolor1616ToRgb161616, 5, 4, 6),
    BICOLOR(Bicolor1616toRGB16161616, kBicolor1616ToRgb16161616, 5, 4, 8),
    BICOLOR(RGB888toBicolor88, kRgb888ToBicolor88, 4, 3, 2),
    BICOLOR(RGB8888toBicolor88, kRgb8888ToBicolor88, 4, 4, 2),
    BICOLOR(RGBR888toBicolor88, kRgbr888ToBicolor88, 4, 3, 2),
    BICOLOR(RGB888toBicolor1616, kRgb888ToBicolor1616, 4, 3, 4),
    BICOLOR(RGB8888toBicolor1616, kRgb8888ToBicolor1616, 4, 4, 4),
    BICOLOR(RGBR888toBicolor1616, kRgbr888ToBicolor1616, 4, 3, 4),
    BICOLOR(RGB161616toBicolor1616, kRgb161616ToBicolor1616, 5, 6, 4),
    BICOLOR(RGB16161616toBicolor1616, kRgb16161616ToBicolor1616, 5, 8, 4),
    BICOLOR(Bicolor88toBicolor88, kBicolor88ToBicolor88, 3, 2, 2),
    BICOLOR(Bicolor88toBicolor1616, kBicolor88ToBicolor1616, 4, 2, 4),
    BICOLOR(Bicolor1616toBicolor1616, kBicolor1616ToBicolor1616, 5, 4, 4),
};

// Every shift and flag: the rules take the shift modulo 32 and any flag but 0 as set. The exports
// hand some flags on changed, so theirs are not held to a rule here. Exports without a shift hand on
// 0, and so do the paths here: a kernel need not shift samples its converter never shifts.
void checkBicolor(const BicolorConverter& c, const Input& in)
{
    Buffers b(in);
    const uint8_t* src = b.source(size_t(in.count) * c.srcBytes);
    uint8_t* dst = b.destination(size_t(in.count) * c.dstBytes);
    const Outcome exported = b.run({c.name, "export", kPlain, in.count},
                                   [&] { return c.exported(src, dst, in.count, in.a, in.b); });
    if (exported.result != 0)
        fail({c.name, "export", kPlain, in.count}, "returned " + std::to_string(exported.result));
    checkPaths(
        c.name, *c.paths, b, in.count,
        [&, shift = c.args == 5 ? in.a : 0](BicolorFn fn) { return fn(src, dst, in.count, shift, in.b), 0u; },
        std::nullopt);
}

// ---- Bayer -------------------------------------------------------------------------------------------

template <class C>
OutputLine outputsOf(const C& c, Buffers& b, uint32_t width)
{
    OutputLine out{};
    for (uint32_t k = 0; k < c.layout.outputs; ++k)
        out.at[k] = b.destination(c.layout.outputBytes(width));
    return out;
}

// Two lines of columns 0..width, or 0..width-1 with the right border; 15-bit samples within 15 bits.
void check2x2(const BayerConverter<Bayer2x2Fn, Bayer2x2Export>& c, const Input& in)
{
    const uint32_t width = in.count, phase = in.a, copy = in.options & 2, border = in.options & 4;
    Buffers b(in);
    const size_t lineBytes = size_t(width + (border ? 0 : 1)) * c.layout.sampleBytes;
    const uint8_t* s0 = b.source(lineBytes, c.layout.sampleBytes == 2);
    const uint8_t* s1 = b.source(lineBytes, c.layout.sampleBytes == 2);
    const OutputLine out = outputsOf(c, b, width);
    const Outcome exported = b.run({c.name, "export", kPlain, width},
                                   [&] { return c.exported(s0, s1, out, width, phase, copy, border); });
    checkPaths(
        c.name, *c.paths, b, width,
        [&](Bayer2x2Fn fn) { return fn(s0, s1, out, width, phase, copy, border), 0u; }, exported);
}

// Without border the lines two above to two below, of columns 0..w-1, -1..w, -2..w+1, -1..w, 0..w-1;
// with it columns 0..w-1 of the lines the row border does not replace; on a refusal no line at all.
void checkMalvar(const BayerConverter<MalvarFn, MalvarExport>& c, const Input& in)
{
    const uint32_t width = in.count, phase = in.a, border = in.options & 4;
    const int32_t rowBorder = in.options & 8 ? int32_t(in.b) : -int32_t(in.b % 3);
    const bool accepted = !border || (width >= 4 && rowBorder <= 0 && rowBorder >= -2);
    const int64_t w = width;
    struct Columns {
        int64_t first, count;
    } reads[5] = {};
    for (int i = 0; i < 5 && accepted; ++i) {
        const int64_t margin = border ? 0 : 2 - (i < 2 ? 2 - i : i - 2);
        const bool replaced = border && ((i == 0 && rowBorder < 0) || (i == 1 && rowBorder == -2));
        reads[i] = {-margin, replaced ? 0 : w + 2 * margin};
    }
    Buffers b(in);
    const uint8_t* lines[5];
    for (int i = 0; i < 5; ++i) {
        const size_t sb = c.layout.sampleBytes;
        lines[i] = reads[i].count
                       ? b.source(size_t(reads[i].count) * sb, sb == 2) - reads[i].first * ptrdiff_t(sb)
                       : nullptr;
    }
    const OutputLine out = outputsOf(c, b, width);
    const Outcome exported = b.run({c.name, "export", kPlain, width},
                                   [&] { return c.exported(lines, out, width, phase, rowBorder, border); });
    checkPaths(
        c.name, *c.paths, b, width,
        [&](MalvarFn fn) { return fn(lines, out, width, phase, rowBorder, border); }, exported);
}

// ---- Planar sources, merge and split -----------------------------------------------------------------

// Planes of width x height samples, the first `count` of each gathered.
void checkPlanes(const PlanesConverter& c, const Input& in)
{
    const uint32_t height = 1 + (in.options >> 4 & 3);
    const uint32_t a = in.options & 1 ? in.a : in.a % (c.maxUnusedBits + 1);
    const size_t plane = size_t(in.count) * height;
    Buffers b(in);
    const uint8_t* src = b.source(c.planes * plane * c.sampleBytes);
    uint8_t* dst = b.destination(size_t(in.count) * 4);
    const Outcome exported = b.run({c.name, "export", kPlain, in.count},
                                   [&] { return c.exported(src, dst, 0, 0, in.count, height, in.count, a); });
    if (a <= c.maxUnusedBits) {
        checkPaths(
            c.name, *c.paths, b, in.count, [&](PlanesFn fn) { return fn(src, dst, plane, in.count, a), 0u; },
            exported);
    }
}

constexpr size_t kConverters = std::size(kLines) + std::size(kBicolors) + std::size(kBayer2x2s) +
                               std::size(kMalvars) + std::size(kPlaneSources) + 2;

// A plane left out (null) where its bit of options bits 4-6 is set.
bool present(const Input& in, int plane) { return !(in.options >> (4 + plane) & 1); }

void checkMerge(const Input& in)
{
    Buffers b(in);
    const uint8_t* planes[3];
    for (int k = 0; k < 3; ++k)
        planes[k] = present(in, k) ? b.source(in.count) : nullptr;
    uint8_t* dst = b.destination(size_t(in.count) * 4);
    const char* name = "MergeMONO8toRGB8888";
    const Outcome exported = b.run({name, "export", kPlain, in.count}, [&] {
        return VyrUtilMergeMONO8toRGB8888(planes[0], planes[1], planes[2], dst, in.count);
    });
    checkPaths(
        name, kMergeMono8ToRgb8888, b, in.count,
        [&](MergeFn fn) { return fn(planes[0], planes[1], planes[2], dst, in.count), 0u; }, exported);
}

void checkSplit(const Input& in)
{
    Buffers b(in);
    const uint8_t* src = b.source(size_t(in.count) * 4);
    uint8_t* planes[3];
    for (int k = 0; k < 3; ++k)
        planes[k] = present(in, k) ? b.destination(in.count) : nullptr;
    const char* name = "SplitRGB8888toMONO8";
    const Outcome exported = b.run({name, "export", kPlain, in.count}, [&] {
        return VyrUtilSplitRGB8888toMONO8(src, planes[0], planes[1], planes[2], in.count);
    });
    checkPaths(
        name, kSplitRgb8888ToMono8, b, in.count,
        [&](SplitFn fn) { return fn(src, planes[0], planes[1], planes[2], in.count), 0u; }, exported);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < kHeaderBytes)
        return 0;
    const uint32_t w = loadLe(data + 1, 2);
    const uint32_t count = (w & 0x1FFF) % (kMaxCount + 1) >> (w >> 13 & 3);
    const Input in{w & 0x8000 ? count / 32 * 32 : count,
                   loadLe(data + 5, 4),
                   loadLe(data + 9, 4),
                   data[13],
                   placement(data[3]),
                   placement(data[4]),
                   data + kHeaderBytes,
                   size - kHeaderBytes};
    size_t i = data[0] % kConverters;
    if (i < std::size(kLines))
        return checkLine(kLines[i], in), 0;
    i -= std::size(kLines);
    if (i < std::size(kBicolors))
        return checkBicolor(kBicolors[i], in), 0;
    i -= std::size(kBicolors);
    if (i < std::size(kBayer2x2s))
        return check2x2(kBayer2x2s[i], in), 0;
    i -= std::size(kBayer2x2s);
    if (i < std::size(kMalvars))
        return checkMalvar(kMalvars[i], in), 0;
    i -= std::size(kMalvars);
    if (i < std::size(kPlaneSources))
        return checkPlanes(kPlaneSources[i], in), 0;
    i -= std::size(kPlaneSources);
    return (i == 0 ? checkMerge(in) : checkSplit(in)), 0;
}
