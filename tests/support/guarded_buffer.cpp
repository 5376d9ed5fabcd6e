#include "guarded_buffer.h"

#include <algorithm>
#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace vyr::test {
namespace {

uint8_t canary(size_t offset) { return static_cast<uint8_t>(0xA5 ^ (offset * 29)); }

#if defined(_WIN32)
size_t pageSize()
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
}
uint8_t* reserve(size_t bytes)
{
    return static_cast<uint8_t*>(VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
}
enum Access { kNone = PAGE_NOACCESS, kRead = PAGE_READONLY, kReadWrite = PAGE_READWRITE };
void protect(uint8_t* p, size_t bytes, Access access)
{
    DWORD old;
    VirtualProtect(p, bytes, access, &old);
}
void release(uint8_t* p, size_t) { VirtualFree(p, 0, MEM_RELEASE); }
#else
size_t pageSize() { return static_cast<size_t>(sysconf(_SC_PAGESIZE)); }
uint8_t* reserve(size_t bytes)
{
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? nullptr : static_cast<uint8_t*>(p);
}
enum Access { kNone = PROT_NONE, kRead = PROT_READ, kReadWrite = PROT_READ | PROT_WRITE };
void protect(uint8_t* p, size_t n, Access access) { mprotect(p, n, access); }
void release(uint8_t* p, size_t bytes) { munmap(p, bytes); }
#endif

} // namespace

GuardedBuffer::GuardedBuffer(size_t size, Placement placement, size_t room) : size_(size)
{
    page_ = pageSize();
    accessible_ = std::max<size_t>(1, (size + std::max(placement.gap, room) + page_ - 1) / page_) * page_;
    uint8_t* all = reserve(accessible_ + 2 * page_);
    if (!all)
        std::abort();
    protect(all, page_, kNone);
    protect(all + page_ + accessible_, page_, kNone);
    base_ = all + page_;
    place(placement);
}

void GuardedBuffer::place(Placement placement)
{
    protect(base_, accessible_, kReadWrite);
    for (size_t i = 0; i < accessible_; ++i)
        base_[i] = canary(i);
    payload_ =
        base_ + (placement.flush == Flush::Front ? placement.gap : accessible_ - placement.gap - size_);
}

GuardedBuffer::~GuardedBuffer() { release(base_ - page_, accessible_ + 2 * page_); }

void GuardedBuffer::makeReadOnly() { protect(base_, accessible_, kRead); }

bool GuardedBuffer::surroundingsIntact() const
{
    for (size_t i = 0; i < accessible_; ++i) {
        if ((base_ + i < payload_ || base_ + i >= payload_ + size_) && base_[i] != canary(i))
            return false;
    }
    return true;
}

} // namespace vyr::test
