#include "registry.h"

#include <cctype>
#include <cstring>

namespace vyr::tool {
namespace {

std::vector<const Format*>& formatList()
{
    static std::vector<const Format*> formats;
    return formats;
}

std::vector<Conversion>& conversionList()
{
    static std::vector<Conversion> conversions;
    return conversions;
}

} // namespace

Registration::Registration(std::initializer_list<const Format*> formats,
                           std::initializer_list<Conversion> conversions)
{
    formatList().insert(formatList().end(), formats.begin(), formats.end());
    conversionList().insert(conversionList().end(), conversions.begin(), conversions.end());
}

const std::vector<const Format*>& allFormats() { return formatList(); }

const std::vector<Conversion>& allConversions() { return conversionList(); }

std::string Conversion::name() const { return std::string(from->name) + "to" + to->name; }

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
