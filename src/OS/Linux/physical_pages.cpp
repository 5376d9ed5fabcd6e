// Locked physical pages: pages of a memfd pool of this process, locked in memory, named by the frame
// numbers that /proc/self/pagemap reports (it shows them only to a process with CAP_SYS_ADMIN; a
// process without it is refused pages rather than handed numbers that name nothing). Each
// allocation is a chunk, a run of the pool mapped and locked at a home address for as long as any
// of its pages is allocated; a freed page goes back to the system at once (a hole is punched in
// the pool). A page is mapped anywhere by mapping the pool at its offset.
//
// The kernel may still migrate a locked page (vm.compact_unevictable_allowed); the frame numbers
// are those the pages had when they were allocated.
//
// Pages go only where the kernel's map shows a reservation or pages mapped there before (see
// reservedForPages): any other range is refused, so that nothing of the caller's is ever mapped over.
#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "OS/Linux/proc_lines.h"
#include "OS/Linux/services.h"
#include "OS/buffer_services.h"
#include "OS/process_lock.h"

namespace vyr::os::buffers {
namespace {

using linux_services::eachLine;

struct Page {
    FrameNumber frame;
    size_t index; // in its chunk
    bool live;
};

struct Chunk {
    Chunk* next;
    uint8_t* home;
    size_t pages;
    uint64_t first; // pool page of the chunk's page 0
    size_t live;
    Page* byFrame; // sorted by frame number
};

ProcessLock g_lock;
int g_pool = -1;
uint64_t g_poolPages = 0; // pages the pool file spans
Chunk* g_chunks = nullptr;

size_t page() { return size_t(sysconf(_SC_PAGESIZE)); }

constexpr uint64_t kPresent = 1ull << 63;
constexpr uint64_t kFrameMask = (1ull << 55) - 1;

struct Found {
    Chunk* chunk;
    Page* page;
};

Found find(FrameNumber frame)
{
    for (Chunk* c = g_chunks; c; c = c->next) {
        Page* end = c->byFrame + c->pages;
        Page* p = std::lower_bound(c->byFrame, end, frame,
                                   [](const Page& a, FrameNumber f) { return a.frame < f; });
        if (p != end && p->frame == frame && p->live)
            return {c, p};
    }
    return {nullptr, nullptr};
}

uint64_t poolPage(const Found& f) { return f.chunk->first + f.page->index; }

// Shrinks the pool file to the pages below first (nothing above them is allocated).
void truncatePool(uint64_t first)
{
    g_poolPages = first;
    if (ftruncate64(g_pool, off64_t(first * page())) != 0) {
        // Shrinking an unsealed memfd does not fail; were it to, the pool would only stay larger.
    }
}

// Locks as many leading pages of the range as the system allows.
size_t lockLeading(uint8_t* home, size_t pages, int* error)
{
    const size_t p = page();
    if (mlock(home, pages * p) == 0)
        return pages;
    *error = errno;
    size_t locked = 0;
    while (locked < pages && mlock(home + locked * p, p) == 0)
        ++locked;
    return locked;
}

// Frame numbers of the home pages, in their order; 0 when pagemap does not show them.
int readFrames(const uint8_t* home, size_t pages, Page* out)
{
    const int fd = open("/proc/self/pagemap", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const uint64_t firstEntry = uint64_t(uintptr_t(home) / page());
    int error = 0;
    uint64_t entries[512];
    for (size_t done = 0; done < pages && !error;) {
        const size_t n = std::min<size_t>(pages - done, 512);
        const ssize_t got = pread64(fd, entries, n * 8, off64_t((firstEntry + done) * 8));
        if (got != ssize_t(n * 8)) {
            error = got < 0 ? errno : EIO;
            break;
        }
        for (size_t i = 0; i < n; ++i, ++done) {
            const uint64_t frame = entries[i] & kFrameMask;
            if (!(entries[i] & kPresent) || frame == 0) {
                error = EPERM;
                break;
            }
            if (frame > uint64_t(UINTPTR_MAX)) {
                error = EOVERFLOW;
                break;
            }
            out[done] = {FrameNumber(frame), done, true};
        }
    }
    close(fd);
    return error;
}

// Whether [start, start + bytes) is mapped throughout, each mapping in it a reservation (private,
// anonymous and inaccessible: what reservePhysicalRange makes, and what a caller reserves with
// mmap(PROT_NONE)) or pages of the pool mapped there before. Anything else is memory of the caller's
// or of someone else's, which must not go. The caller holds g_lock.
bool reservedForPages(const uint8_t* start, size_t bytes)
{
    struct stat pool = {};
    if (g_pool >= 0)
        fstat(g_pool, &pool);
    uintptr_t covered = uintptr_t(start);
    const uintptr_t end = covered + bytes;
    bool fits = true;
    eachLine("/proc/self/maps", [&](const char* line) {
        uintptr_t low, high;
        char access[5];
        unsigned major, minor;
        uint64_t inode;
        if (std::sscanf(line, "%" SCNxPTR "-%" SCNxPTR " %4s %*s %x:%x %" SCNu64, &low, &high, access, &major,
                        &minor, &inode) != 6)
            return fits = false;
        if (high <= covered)
            return true;
        const bool reservation = std::strcmp(access, "---p") == 0 && inode == 0;
        const bool poolPages = g_pool >= 0 && std::strcmp(access, "rw-s") == 0 && inode == pool.st_ino &&
                               major == major(pool.st_dev) && minor == minor(pool.st_dev);
        fits = low <= covered && (reservation || poolPages);
        covered = high;
        return fits && covered < end;
    });
    return fits && covered >= end;
}

// Puts a mapping made elsewhere (at from, by the kernel's choice) in the place of the range, in one
// step: unmapping first would open a gap for another thread's mapping to land in. The caller has
// seen that the range holds nothing but a reservation or pool pages (reservedForPages).
bool moveOnto(void* from, uint8_t* to, size_t bytes)
{
    if (from == MAP_FAILED)
        return false;
    if (mremap(from, bytes, bytes, MREMAP_MAYMOVE | MREMAP_FIXED, to) == MAP_FAILED) {
        const int error = errno;
        munmap(from, bytes);
        errno = error;
        return false;
    }
    return true;
}

bool reserveAgain(uint8_t* start, size_t bytes)
{
    return moveOnto(mmap(nullptr, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0),
                    start, bytes);
}

int32_t allocateLocked(uintptr_t* count, FrameNumber* frames, uint32_t* lastError)
{
    const size_t p = page();
    if (*count == 0)
        return 1;
    // Bounded before locking: locking beyond free memory would end with the OOM killer.
    const size_t n = std::min<size_t>(*count, linux_services::lockablePages());
    if (n == 0 || n > SIZE_MAX / p / 2) {
        *lastError = ENOMEM;
        return 0;
    }
    if (g_pool < 0 && (g_pool = memfd_create("VyrUtility user pages", MFD_CLOEXEC)) < 0) {
        *lastError = uint32_t(errno);
        return 0;
    }
    const uint64_t first = g_poolPages;
    if (ftruncate64(g_pool, off64_t((first + n) * p)) != 0) {
        *lastError = uint32_t(errno);
        truncatePool(first);
        return 0;
    }
    // Present before they are locked: a sanitizer's mlock does nothing, and the frames must show.
    void* mapped =
        mmap64(nullptr, n * p, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, g_pool, off64_t(first * p));
    if (mapped == MAP_FAILED) {
        *lastError = uint32_t(errno);
        truncatePool(first);
        return 0;
    }
    auto* home = static_cast<uint8_t*>(mapped);
    int lockError = 0;
    const size_t granted = lockLeading(home, n, &lockError);
    Page* pages = nullptr;
    Chunk* chunk = nullptr;
    int error = lockError;
    if (granted != 0) {
        pages = static_cast<Page*>(std::malloc(granted * sizeof(Page)));
        chunk = static_cast<Chunk*>(std::malloc(sizeof(Chunk)));
        error = pages && chunk ? readFrames(home, granted, pages) : ENOMEM;
    }
    if (granted == 0 || error != 0) {
        munmap(home, n * p);
        truncatePool(first); // its pages go back to the system
        std::free(pages);
        std::free(chunk);
        *lastError = uint32_t(error);
        return 0;
    }
    if (granted < n)
        munmap(home + granted * p, (n - granted) * p);
    for (size_t i = 0; i < granted; ++i)
        frames[i] = pages[i].frame;
    std::sort(pages, pages + granted, [](const Page& a, const Page& b) { return a.frame < b.frame; });
    *chunk = {g_chunks, home, granted, first, granted, pages};
    g_chunks = chunk;
    truncatePool(first + granted);
    *count = granted;
    return 1;
}

// Punches the page out of the pool; a chunk left empty gives up its home mapping.
void freePage(const Found& f)
{
    const size_t p = page();
    fallocate64(g_pool, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, off64_t(poolPage(f) * p), off64_t(p));
    f.page->live = false;
    if (--f.chunk->live != 0)
        return;
    Chunk** link = &g_chunks;
    while (*link != f.chunk)
        link = &(*link)->next;
    *link = f.chunk->next;
    munmap(f.chunk->home, f.chunk->pages * p);
    if (f.chunk->first + f.chunk->pages == g_poolPages)
        truncatePool(f.chunk->first);
    std::free(f.chunk->byFrame);
    std::free(f.chunk);
}

int32_t freeLocked(uintptr_t* count, const FrameNumber* frames, uint32_t* lastError)
{
    for (uintptr_t i = 0; i < *count; ++i) {
        const Found f = find(frames[i]);
        if (!f.chunk) {
            *count = i;
            *lastError = EINVAL;
            return 0;
        }
        freePage(f);
    }
    return 1;
}

int32_t mapLocked(uint8_t* address, uintptr_t count, const FrameNumber* frames, uint32_t* lastError)
{
    const size_t p = page();
    for (uintptr_t i = 0; frames && i < count; ++i) {
        if (!find(frames[i]).chunk) {
            *lastError = EINVAL;
            return 0;
        }
    }
    if (count == 0)
        return 1;
    if (!reservedForPages(address, count * p)) {
        *lastError = EINVAL;
        return 0;
    }
    if (!frames) {
        if (!reserveAgain(address, count * p)) {
            *lastError = uint32_t(errno);
            return 0;
        }
        return 1;
    }
    // Runs of consecutive pool pages go in one mapping, present at once as the pages are.
    for (uintptr_t i = 0; i < count;) {
        const uint64_t start = poolPage(find(frames[i]));
        uintptr_t run = 1;
        while (i + run < count && poolPage(find(frames[i + run])) == start + run)
            ++run;
        void* pages = mmap64(nullptr, run * p, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, g_pool,
                             off64_t(start * p));
        if (!moveOnto(pages, address + i * p, run * p)) {
            *lastError = uint32_t(errno);
            reserveAgain(address, i * p); // what this call mapped
            return 0;
        }
        i += run;
    }
    return 1;
}

} // namespace

bool physicalPagesAvailable() { return true; }

int32_t allocatePhysicalPages(uintptr_t* count, FrameNumber* frames, uint32_t* lastError)
{
    Holding hold(g_lock);
    return allocateLocked(count, frames, lastError);
}

int32_t freePhysicalPages(uintptr_t* count, FrameNumber* frames, uint32_t* lastError)
{
    Holding hold(g_lock);
    return freeLocked(count, frames, lastError);
}

int32_t mapPhysicalPages(void* address, uintptr_t count, const FrameNumber* frames, uint32_t* lastError)
{
    auto* start = static_cast<uint8_t*>(address);
    if (uintptr_t(start) % page() != 0 || count > SIZE_MAX / page()) {
        *lastError = EINVAL;
        return 0;
    }
    Holding hold(g_lock);
    return mapLocked(start, count, frames, lastError);
}

void* reservePhysicalRange(size_t bytes, uint32_t* lastError)
{
    void* p = mmap(nullptr, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) {
        *lastError = uint32_t(errno);
        return nullptr;
    }
    return p;
}

int32_t releasePhysicalRange(void* address, size_t bytes, uint32_t* lastError)
{
    Holding hold(g_lock);
    if (!reservedForPages(static_cast<uint8_t*>(address), bytes)) {
        *lastError = EINVAL;
        return 0;
    }
    if (munmap(address, bytes) != 0) {
        *lastError = uint32_t(errno);
        return 0;
    }
    return 1;
}

} // namespace vyr::os::buffers
