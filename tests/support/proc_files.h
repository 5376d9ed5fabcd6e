// What /proc tells about this process and the machine (Linux).
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <string>
#include <thread>

namespace vyr::test {

// The entries of a directory whose names start with prefix: /proc/self/task holds one a thread,
// /proc/self/fd one a descriptor.
inline size_t entriesOf(const char* directory, const char* prefix = "")
{
    size_t n = 0;
    if (DIR* dir = opendir(directory)) {
        while (const dirent* e = readdir(dir))
            n += e->d_name[0] != '.' && std::strncmp(e->d_name, prefix, std::strlen(prefix)) == 0;
        closedir(dir);
    }
    return n;
}

// The count once it has held for 50 ms (or after a second): a thread joined just before still shows
// for a while under an emulator.
inline size_t steadyCount(const char* directory)
{
    size_t n = entriesOf(directory);
    for (int i = 0, same = 0; i < 100 && same < 5; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const size_t m = entriesOf(directory);
        same = m == n ? same + 1 : 0;
        n = m;
    }
    return n;
}

// The number after `name` in a file of "Name: value" lines (/proc/self/status, /proc/meminfo), 0 if
// there is none.
inline uint64_t procValue(const char* path, const std::string& name, int base = 10)
{
    std::ifstream in(path);
    for (std::string word; in >> word;) {
        if (word == name && in >> word)
            return std::strtoull(word.c_str(), nullptr, base);
    }
    return 0;
}

} // namespace vyr::test
