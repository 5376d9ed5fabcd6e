#include "OS/Linux/ofd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace vyr::os::ofd {
namespace {

struct flock oneByte(short type, off_t byte)
{
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = byte;
    fl.l_len = 1;
    return fl;
}

} // namespace

bool lock(int fd, short type, off_t byte, bool wait)
{
    struct flock fl = oneByte(type, byte);
    while (fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl) != 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

bool heldElsewhere(int fd, off_t byte)
{
    struct flock fl = oneByte(F_WRLCK, byte);
    if (fcntl(fd, F_OFD_GETLK, &fl) != 0)
        return true;
    return fl.l_type != F_UNLCK;
}

void unlockAndClose(int fd)
{
    struct flock fl = oneByte(F_UNLCK, 0);
    fl.l_len = 0; // to the end of the file, and beyond
    fcntl(fd, F_OFD_SETLK, &fl);
    close(fd);
}

} // namespace vyr::os::ofd
