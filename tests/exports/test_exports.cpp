// The header, the list and the shared library's dynamic symbols name exactly the same exports.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace vyr::test {
namespace {

std::set<std::string> headerNames()
{
    std::ifstream in(VYR_HEADER_PATH);
    std::stringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    std::set<std::string> names;
    // Every declaration starts a line with "VYR_API <result> VYR_CALL <name>(".
    const std::string marker = "VYR_CALL";
    for (size_t at = s.find("VYR_API "); at != std::string::npos; at = s.find("VYR_API ", at + 1)) {
        size_t call = s.find(marker, at);
        if ((at > 0 && s[at - 1] != '\n') || call == std::string::npos || s.find(';', at) < call)
            continue;
        size_t begin = s.find_first_not_of(" \t\n", call + marker.size());
        size_t end = s.find_first_of(" \t\n(", begin);
        names.insert(s.substr(begin, end - begin));
    }
    return names;
}

std::set<std::string> listNames()
{
    std::ifstream in(VYR_EXPORTS_LIST_PATH);
    std::set<std::string> names;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string name, bytes;
        if (!(words >> name) || name[0] == '#')
            continue;
        names.insert(name);
    }
    return names;
}

std::set<std::string> dynamicSymbols()
{
    std::set<std::string> names;
    std::string cmd = std::string("nm -D --defined-only '") + VYR_SHARED_LIBRARY_PATH + "'";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p)
        return names;
    char line[512];
    while (std::fgets(line, sizeof line, p)) {
        std::istringstream words(line);
        std::string address, type, name;
        if (words >> address >> type >> name)
            names.insert(name);
    }
    pclose(p);
    return names;
}

std::string difference(const std::set<std::string>& a, const std::set<std::string>& b)
{
    std::string out;
    for (const std::string& n : a)
        if (!b.count(n))
            out += " " + n;
    return out.empty() ? " (none)" : out;
}

TEST(Exports, HeaderListAndLibraryAgree)
{
    const auto header = headerNames();
    const auto list = listNames();
    const auto library = dynamicSymbols();
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list, header) << "only in exports.list:" << difference(list, header)
                            << "\nonly in the header:" << difference(header, list);
    EXPECT_EQ(list, library) << "only in exports.list:" << difference(list, library)
                             << "\nonly in the library:" << difference(library, list);
}

} // namespace
} // namespace vyr::test
