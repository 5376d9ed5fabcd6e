// Open file description (OFD) locks on single bytes. The kernel drops them when the description's
// last descriptor closes, however its process ends, which makes them reference counts that a
// killed process cannot leave wrong.
#pragma once

#include <sys/types.h>

namespace vyr::os::ofd {

// Takes (F_RDLCK, F_WRLCK) or drops (F_UNLCK) a lock on one byte; wait blocks until it is granted.
bool lock(int fd, short type, off_t byte, bool wait);

// True when another open description holds any lock on the byte (also when it cannot tell, so
// that a live holder is never taken for gone).
bool heldElsewhere(int fd, off_t byte);

// Drops every lock of the description, then closes the descriptor. Closing alone would not do
// while a child forked meanwhile holds a copy of the descriptor: the description lives on in it.
void unlockAndClose(int fd);

} // namespace vyr::os::ofd
