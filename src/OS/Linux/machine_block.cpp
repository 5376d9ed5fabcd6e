#include "OS/Linux/machine_block.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "OS/Linux/ofd.h"
#include "core/lifecycle.h"

namespace vyr::os {

using core::kFreshShared;
using core::startProcess;
namespace {

using block::Layout;

core::Shared g_private = core::kFreshShared; // used whenever no machine-wide block is mapped
core::Shared* g_shared = &g_private;

int g_fd = -1;
Layout* g_map = nullptr;
int g_slot = -1;

void takeBackDeadCounts(Layout* b, int fd)
{
    uint32_t high = b->slotHigh < block::kSlots ? b->slotHigh : block::kSlots;
    for (uint32_t i = 0; i < high; ++i) {
        if (b->slotCounted[i] && !ofd::heldElsewhere(fd, block::kSlotBase + i)) {
            b->slotCounted[i] = 0;
            __atomic_sub_fetch(&b->shared.attach, 1, __ATOMIC_SEQ_CST);
        }
    }
}

void attach()
{
    for (int attempt = 0; attempt < 64; ++attempt) {
        int fd = shm_open(block::kName, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0)
            return;
        fchmod(fd, 0666); // every user shares the block, whatever the umask; fails harmlessly if not ours
        if (!ofd::lock(fd, F_WRLCK, block::kGateByte, true)) {
            ofd::unlockAndClose(fd);
            return;
        }
        struct stat st;
        if (fstat(fd, &st) != 0) {
            ofd::unlockAndClose(fd);
            return;
        }
        if (st.st_nlink == 0) {
            // The last process removed this object while we waited at the gate: open the new one.
            ofd::unlockAndClose(fd);
            continue;
        }
        if (static_cast<size_t>(st.st_size) < block::kObjectSize && ftruncate(fd, block::kObjectSize) != 0) {
            ofd::unlockAndClose(fd);
            return;
        }
        void* p = mmap(nullptr, block::kObjectSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (p == MAP_FAILED) {
            ofd::unlockAndClose(fd);
            return;
        }
        auto* b = static_cast<Layout*>(p);
        if (!ofd::heldElsewhere(fd, block::kAttachedByte)) {
            // Nobody is attached: whatever the object holds is left from processes that died.
            std::memset(b, 0, sizeof *b);
            b->shared = kFreshShared;
        } else {
            takeBackDeadCounts(b, fd);
        }
        ofd::lock(fd, F_RDLCK, block::kAttachedByte, false);
        for (uint32_t i = 0; i < block::kSlots; ++i) {
            if (b->slotCounted[i] || !ofd::lock(fd, F_WRLCK, block::kSlotBase + i, false))
                continue;
            b->slotCounted[i] = 1;
            if (b->slotHigh < i + 1)
                b->slotHigh = i + 1;
            g_slot = static_cast<int>(i);
            break;
        }
        __atomic_add_fetch(&b->shared.attach, 1, __ATOMIC_SEQ_CST);
        ofd::lock(fd, F_UNLCK, block::kGateByte, false);
        g_fd = fd;
        g_map = b;
        __atomic_store_n(&g_shared, &b->shared, __ATOMIC_RELEASE);
        return;
    }
}

void detach()
{
    if (g_fd < 0)
        return;
    int fd = g_fd;
    Layout* b = g_map;
    ofd::lock(fd, F_WRLCK, block::kGateByte, true);
    __atomic_store_n(&g_shared, &g_private, __ATOMIC_RELEASE);
    if (g_slot >= 0) {
        b->slotCounted[g_slot] = 0;
        ofd::lock(fd, F_UNLCK, block::kSlotBase + g_slot, false);
    }
    __atomic_sub_fetch(&b->shared.attach, 1, __ATOMIC_SEQ_CST);
    ofd::lock(fd, F_UNLCK, block::kAttachedByte, false);
    takeBackDeadCounts(b, fd);
    if (!ofd::heldElsewhere(fd, block::kAttachedByte))
        shm_unlink(block::kName);
    munmap(b, block::kObjectSize);
    ofd::unlockAndClose(fd);
    g_fd = -1;
    g_map = nullptr;
    g_slot = -1;
}

// A forked child is a process of its own with the library loaded. Its inherited descriptor shares
// the parent's locks, so it lets go of it and attaches with a description of its own.
void attachForkedChild()
{
    if (g_fd < 0)
        return;
    __atomic_store_n(&g_shared, &g_private, __ATOMIC_RELEASE);
    munmap(g_map, block::kObjectSize);
    close(g_fd);
    g_fd = -1;
    g_map = nullptr;
    g_slot = -1;
    attach();
}

__attribute__((constructor(101))) void onLoad()
{
    if (!startProcess())
        return;
    attach();
    pthread_atfork(nullptr, nullptr, attachForkedChild);
}

__attribute__((destructor(101))) void onUnload() { detach(); }

} // namespace

core::Shared* machineShared() { return __atomic_load_n(&g_shared, __ATOMIC_ACQUIRE); }

} // namespace vyr::os
