// The header, the list and the shared library's dynamic symbols name exactly the same exports.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>

namespace vyr::test {
namespace {

std::string fileText(const char* path)
{
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Every declaration starts a line with "VYR_API <result> VYR_CALL <name>(".
std::set<std::string> headerNames()
{
    const std::string s = fileText(VYR_HEADER_PATH), marker = "VYR_CALL";
    std::set<std::string> names;
    for (size_t at = s.find("VYR_API "); at != std::string::npos; at = s.find("VYR_API ", at + 1)) {
        const size_t call = s.find(marker, at);
        if ((at > 0 && s[at - 1] != '\n') || call == std::string::npos || s.find(';', at) < call)
            continue;
        const size_t begin = s.find_first_not_of(" \t\n", call + marker.size());
        names.insert(s.substr(begin, s.find_first_of(" \t\n(", begin) - begin));
    }
    return names;
}

// The first word of every line but comments.
std::set<std::string> listNames()
{
    std::istringstream in(fileText(VYR_EXPORTS_LIST_PATH));
    std::set<std::string> names;
    for (std::string line, name; std::getline(in, line);) {
        if (std::istringstream(line) >> name && name[0] != '#')
            names.insert(name);
    }
    return names;
}

std::set<std::string> dynamicSymbols()
{
    std::set<std::string> names;
    FILE* p = popen("nm -D --defined-only --format=just-symbols '" VYR_SHARED_LIBRARY_PATH "'", "r");
    char name[512];
    while (p && std::fscanf(p, "%511s", name) == 1)
        names.insert(name);
    if (p)
        pclose(p);
    return names;
}

std::string difference(const std::set<std::string>& a, const std::set<std::string>& b)
{
    std::string out;
    for (const std::string& n : a)
        out += b.count(n) ? "" : " " + n;
    return out.empty() ? " (none)" : out;
}

TEST(Exports, HeaderListAndLibraryAgree)
{
    const auto header = headerNames(), list = listNames(), library = dynamicSymbols();
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list, header) << "only in exports.list:" << difference(list, header)
                            << "\nonly in the header:" << difference(header, list);
    EXPECT_EQ(list, library) << "only in exports.list:" << difference(list, library)
                             << "\nonly in the library:" << difference(library, list);
}

} // namespace
} // namespace vyr::test
