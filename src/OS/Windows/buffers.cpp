#include <windows.h>

#include <atomic>

#include "OS/buffer_services.h"

namespace vyr::os::buffers {
namespace {

HANDLE asHandle(Handle h) { return reinterpret_cast<HANDLE>(h); }
Handle asOurs(HANDLE h) { return reinterpret_cast<Handle>(h); }

// The security attributes and their descriptor, side by side in the caller's storage.
struct Sharing {
    SECURITY_ATTRIBUTES attributes;
    SECURITY_DESCRIPTOR descriptor;
};
static_assert(sizeof(Sharing) <= sizeof(SharingAttributes::storage), "the records fit the storage");

SECURITY_ATTRIBUTES* attributes(const SharingAttributes* sharing)
{
    return &reinterpret_cast<Sharing*>(const_cast<unsigned char*>(sharing->storage))->attributes;
}

template <class Fn>
Fn procedure(const char* module, const char* name)
{
    const HMODULE handle = GetModuleHandleA(module);
    return handle ? reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(handle, name)))
                  : nullptr;
}

using AllocateFn = BOOL(WINAPI*)(HANDLE, PULONG_PTR, PULONG_PTR);
using FreeFn = AllocateFn;
using MapFn = BOOL(WINAPI*)(PVOID, ULONG_PTR, PULONG_PTR);

// Looked up once per process; threads racing on the first look-up store the same addresses.
std::atomic<bool> g_lookedUp{false};
std::atomic<AllocateFn> g_allocate{nullptr};
std::atomic<FreeFn> g_free{nullptr};
std::atomic<MapFn> g_map{nullptr};

// Opens an existing named object with full access, not inheritable.
int32_t openNamed(HANDLE(WINAPI* open)(DWORD, BOOL, LPCSTR), DWORD access, const char* name, Handle* out,
                  uint32_t* lastError)
{
    const HANDLE h = open(access, FALSE, name);
    if (!h) {
        *lastError = GetLastError();
        return 0;
    }
    *out = asOurs(h);
    return 1;
}

} // namespace

// A revision-1 descriptor with a present, null DACL: every user gets full access.
bool prepareSharing(SharingAttributes* sharing)
{
    auto* s = reinterpret_cast<Sharing*>(sharing->storage);
    if (!InitializeSecurityDescriptor(&s->descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&s->descriptor, TRUE, nullptr, FALSE))
        return false;
    s->attributes.nLength = sizeof s->attributes;
    s->attributes.lpSecurityDescriptor = &s->descriptor;
    s->attributes.bInheritHandle = FALSE;
    return true;
}

int32_t createMapping(const char* name, uint64_t size, const SharingAttributes* sharing, Handle* mapping,
                      bool* existed, uint32_t* lastError)
{
    const HANDLE h = CreateFileMappingA(INVALID_HANDLE_VALUE, attributes(sharing), PAGE_READWRITE,
                                        DWORD(size >> 32), DWORD(size), name);
    *lastError = GetLastError();
    if (!h)
        return 0;
    *existed = *lastError == ERROR_ALREADY_EXISTS;
    *mapping = asOurs(h);
    return 1;
}

int32_t openMapping(const char* name, Handle* mapping, uint32_t* lastError)
{
    return openNamed(OpenFileMappingA, FILE_MAP_ALL_ACCESS, name, mapping, lastError);
}

void* mapView(Handle mapping, uint64_t offset, size_t length, uint32_t* lastError)
{
    void* view = MapViewOfFile(asHandle(mapping), FILE_MAP_WRITE, DWORD(offset >> 32), DWORD(offset), length);
    if (!view)
        *lastError = GetLastError();
    return view;
}

int32_t unmapView(void* view, uint32_t* lastError)
{
    if (!UnmapViewOfFile(view)) {
        *lastError = GetLastError();
        return 0;
    }
    return 1;
}

void closeMapping(Handle mapping) { CloseHandle(asHandle(mapping)); }

// Asks for ownership: a mutex this call creates is then held, and is let go of at once.
int32_t createLock(const char* name, const SharingAttributes* sharing, Handle* lock, uint32_t* lastError)
{
    const HANDLE h = CreateMutexA(attributes(sharing), TRUE, name);
    *lastError = GetLastError();
    if (!h)
        return 0;
    if (*lastError != ERROR_ALREADY_EXISTS)
        ReleaseMutex(h);
    *lock = asOurs(h);
    return 1;
}

int32_t openLock(const char* name, Handle* lock, uint32_t* lastError)
{
    return openNamed(OpenMutexA, MUTEX_ALL_ACCESS, name, lock, lastError);
}

LockWait waitLock(Handle lock, uint32_t ms)
{
    switch (WaitForSingleObject(asHandle(lock), ms)) {
    case WAIT_OBJECT_0: return LockWait::Acquired;
    case WAIT_ABANDONED: return LockWait::Abandoned;
    case WAIT_TIMEOUT: return LockWait::TimedOut;
    default: return LockWait::Failed;
    }
}

void releaseLock(Handle lock) { ReleaseMutex(asHandle(lock)); }
void closeLock(Handle lock) { CloseHandle(asHandle(lock)); }

bool physicalPagesAvailable()
{
    if (!g_lookedUp.load(std::memory_order_acquire)) {
        g_allocate.store(procedure<AllocateFn>("kernel32", "AllocateUserPhysicalPages"));
        g_free.store(procedure<FreeFn>("kernel32", "FreeUserPhysicalPages"));
        g_map.store(procedure<MapFn>("kernel32", "MapUserPhysicalPages"));
        g_lookedUp.store(true, std::memory_order_release);
    }
    return g_allocate.load() && g_free.load() && g_map.load();
}

static_assert(sizeof(FrameNumber) == sizeof(ULONG_PTR), "frame numbers are the platform's");

namespace {
// Allocation and release share a signature: the count in and out, and the frame numbers.
int32_t pageCall(AllocateFn call, uintptr_t* count, FrameNumber* frames, uint32_t* lastError)
{
    ULONG_PTR n = *count;
    const BOOL ok = call(GetCurrentProcess(), &n, reinterpret_cast<PULONG_PTR>(frames));
    *lastError = ok ? 0 : GetLastError();
    *count = n;
    return ok;
}
} // namespace

int32_t allocatePhysicalPages(uintptr_t* count, FrameNumber* frames, uint32_t* lastError)
{
    return pageCall(g_allocate.load(), count, frames, lastError);
}

int32_t freePhysicalPages(uintptr_t* count, FrameNumber* frames, uint32_t* lastError)
{
    return pageCall(g_free.load(), count, frames, lastError);
}

int32_t mapPhysicalPages(void* address, uintptr_t count, const FrameNumber* frames, uint32_t* lastError)
{
    const BOOL ok =
        g_map.load()(address, count, reinterpret_cast<PULONG_PTR>(const_cast<FrameNumber*>(frames)));
    *lastError = ok ? 0 : GetLastError();
    return ok;
}

void* reservePhysicalRange(size_t bytes, uint32_t* lastError)
{
    void* p = VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_PHYSICAL, PAGE_READWRITE);
    if (!p)
        *lastError = GetLastError();
    return p;
}

int32_t releasePhysicalRange(void* address, size_t, uint32_t* lastError)
{
    const BOOL ok = VirtualFree(address, 0, MEM_RELEASE);
    *lastError = ok ? 0 : GetLastError();
    return ok;
}

} // namespace vyr::os::buffers
