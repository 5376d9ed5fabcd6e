#include "guarded_buffer.h"

#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace vyr::test {
namespace {

uint8_t canary(size_t offset) { return static_cast<uint8_t>(0xA5 ^ (offset * 29)); }

size_t pageSize()
{
#if defined(_WIN32)
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
#else
    return static_cast<size_t>(sysconf(_SC_PAGESIZE));
#endif
}

uint8_t* reserve(size_t bytes)
{
#if defined(_WIN32)
    void* p = VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    return static_cast<uint8_t*>(p);
#else
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? nullptr : static_cast<uint8_t*>(p);
#endif
}

void protect(uint8_t* p, size_t bytes, bool readable, bool writable)
{
#if defined(_WIN32)
    DWORD old;
    DWORD mode = writable ? PAGE_READWRITE : readable ? PAGE_READONLY : PAGE_NOACCESS;
    VirtualProtect(p, bytes, mode, &old);
#else
    mprotect(p, bytes, (readable ? PROT_READ : 0) | (writable ? PROT_WRITE : 0));
#endif
}

void release(uint8_t* p, size_t bytes)
{
#if defined(_WIN32)
    (void)bytes;
    VirtualFree(p, 0, MEM_RELEASE);
#else
    munmap(p, bytes);
#endif
}

} // namespace

GuardedBuffer::GuardedBuffer(size_t size, Placement placement) : size_(size)
{
    page_ = pageSize();
    accessible_ = (size + placement.gap + page_ - 1) / page_ * page_;
    if (accessible_ == 0)
        accessible_ = page_;
    uint8_t* all = reserve(accessible_ + 2 * page_);
    if (!all)
        std::abort();
    protect(all, page_, false, false);
    protect(all + page_ + accessible_, page_, false, false);
    base_ = all + page_;
    for (size_t i = 0; i < accessible_; ++i)
        base_[i] = canary(i);
    payload_ = placement.flush == Flush::Front ? base_ + placement.gap
                                               : base_ + accessible_ - placement.gap - size;
}

GuardedBuffer::~GuardedBuffer() { release(base_ - page_, accessible_ + 2 * page_); }

void GuardedBuffer::makeReadOnly() { protect(base_, accessible_, true, false); }

bool GuardedBuffer::surroundingsIntact() const
{
    for (size_t i = 0; i < accessible_; ++i) {
        const uint8_t* p = base_ + i;
        if (p >= payload_ && p < payload_ + size_)
            continue;
        if (*p != canary(i))
            return false;
    }
    return true;
}

} // namespace vyr::test
