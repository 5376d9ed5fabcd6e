// Reading the kernel's text files (/proc) line by line, through a buffer on the stack.
#pragma once

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace vyr::os::linux_services {

// Hands each line of the file (without its newline) to take until take returns false or the file
// ends; a line longer than the buffer (the interrupt counts of /proc/stat) is skipped. False when
// the file cannot be read.
template <class Take>
bool eachLine(const char* path, Take take)
{
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buf[PATH_MAX + 256]; // a line of /proc/self/maps ends with a path
    size_t have = 0;
    bool more = true, skipping = false;
    ssize_t got;
    while (more && ((got = read(fd, buf + have, sizeof buf - 1 - have)) > 0 || (got < 0 && errno == EINTR))) {
        have += size_t(got > 0 ? got : 0);
        buf[have] = '\0';
        char* line = buf;
        for (char* eol; more && (eol = std::strchr(line, '\n')) != nullptr; line = eol + 1) {
            *eol = '\0';
            more = skipping || take(static_cast<const char*>(line));
            skipping = false;
        }
        have = size_t(buf + have - line);
        if (have == sizeof buf - 1) { // no end in sight: drop what there is of the line
            skipping = true;
            have = 0;
        }
        std::memmove(buf, line, have);
    }
    close(fd);
    return more ? got == 0 : true;
}

} // namespace vyr::os::linux_services
