#include "registry.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace vyr::tool {
namespace {

std::vector<const Format*>& formatList()
{
    static std::vector<const Format*> formats;
    return formats;
}

} // namespace

Registration::Registration(std::initializer_list<const Format*> formats)
{
    formatList().insert(formatList().end(), formats.begin(), formats.end());
}

const VyrFrameFormatInfo& Format::frameFormat() const
{
    const VyrFrameFormatInfo* info = VyrFrameFindFormat(name);
    if (!info)
        std::abort(); // a format of the tool that VyrFrame does not know: a bug of the tool
    return *info;
}

const std::vector<const Format*>& allFormats() { return formatList(); }

// Asked for after start-up, when every family has registered its formats.
const std::vector<Conversion>& allConversions()
{
    static const std::vector<Conversion> conversions = [] {
        std::vector<Conversion> list;
        for (uint32_t i = 0; i < VyrFrameConversionCount(); ++i) {
            const VyrFrameConversion* conversion = VyrFrameConversionAt(i);
            const Format* from = findFormat(VyrFrameGetFormat(conversion->from)->name);
            const Format* to = findFormat(VyrFrameGetFormat(conversion->to)->name);
            if (from && to)
                list.push_back({from, to, conversion});
        }
        return list;
    }();
    return conversions;
}

bool operator==(const PngLayout& a, const PngLayout& b)
{
    return a.channels == b.channels && a.bitDepth == b.bitDepth;
}

std::string describe(const PngLayout& layout)
{
    const char* channels = "unknown";
    switch (layout.channels) {
    case PngChannels::None: return "no PNG";
    case PngChannels::Grey: channels = "grey"; break;
    case PngChannels::GreyAlpha: channels = "grey+alpha"; break;
    case PngChannels::Rgb: channels = "RGB"; break;
    case PngChannels::Rgba: channels = "RGBA"; break;
    }
    return std::to_string(layout.bitDepth) + "-bit " + channels;
}

bool sameNameIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

const Format* findFormat(std::string_view name)
{
    for (const Format* format : allFormats()) {
        if (sameNameIgnoringCase(name, format->name))
            return format;
    }
    return nullptr;
}

const Conversion* findConversion(const Format& from, const Format& to)
{
    for (const Conversion& conversion : allConversions()) {
        if (conversion.from == &from && conversion.to == &to)
            return &conversion;
    }
    return nullptr;
}

const Format* formatForPng(const PngLayout& layout)
{
    if (layout.channels == PngChannels::None)
        return nullptr;
    for (const Format* format : allFormats()) {
        if (format->pngSource == layout)
            return format;
    }
    return nullptr;
}

std::string formatNameList()
{
    std::string names;
    for (const Format* format : allFormats())
        names += (names.empty() ? "" : ", ") + std::string(format->name);
    return names;
}

std::string pngSourceList()
{
    std::string list;
    for (const Format* format : allFormats()) {
        if (format->pngSource.channels != PngChannels::None)
            list += (list.empty() ? "" : ", ") + describe(format->pngSource) + " as " + format->name;
    }
    return list;
}

} // namespace vyr::tool
