#include "bench_support.h"
#include "convert/planar.h"

namespace {

using namespace vyr::convert;

// Merge and split as line converters: the three planes one after another in one buffer.
template <const Paths<MergeFn>& Table, unsigned Variant>
void mergeLine(const uint8_t* planes, uint8_t* dst, uint32_t n, uint32_t)
{
    const MergeFn fn = Variant == kIsaCount ? Table.scalar : Table.vector[Variant];
    fn(planes, planes + n, planes + 2 * size_t(n), dst, n);
}

template <const Paths<SplitFn>& Table, unsigned Variant>
void splitLine(const uint8_t* src, uint8_t* planes, uint32_t n, uint32_t)
{
    const SplitFn fn = Variant == kIsaCount ? Table.scalar : Table.vector[Variant];
    fn(src, planes, planes + n, planes + 2 * size_t(n), n);
}

template <unsigned Variant>
void registerMergeSplit(const char* isa)
{
    if (Variant != kIsaCount && (Variant > processorIsa() || !kMergeMono8ToRgb8888.vector[Variant]))
        return;
    vyr::bench::registerLineBench(
        {std::string("MergeMONO8toRGB8888/") + isa, mergeLine<kMergeMono8ToRgb8888, Variant>, 3, 4});
    vyr::bench::registerLineBench(
        {std::string("SplitRGB8888toMONO8/") + isa, splitLine<kSplitRgb8888ToMono8, Variant>, 4, 3});
}

const bool registered = [] {
    registerMergeSplit<kSse2>("sse2");
    registerMergeSplit<kIsaCount>("scalar");
    return true;
}();

} // namespace
