#include <windows.h>

#include <cstring>
#include <process.h>

#include "OS/buffer_services.h"

namespace vyr::os {
namespace {

// Casts a looked-up procedure to its type (through the generic function type, which GCC allows).
template <class Fn>
Fn procedure(const char* module, const char* name)
{
    const HMODULE handle = GetModuleHandleA(module);
    return handle ? reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(handle, name)))
                  : nullptr;
}

HANDLE asHandle(Handle h) { return reinterpret_cast<HANDLE>(h); }

void* heapAlloc(size_t bytes) { return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes); }
void heapFree(void* block) { HeapFree(GetProcessHeap(), 0, block); }

uint64_t counter()
{
    LARGE_INTEGER value;
    QueryPerformanceCounter(&value);
    return uint64_t(value.QuadPart);
}

uint64_t counterFrequency()
{
    LARGE_INTEGER value;
    QueryPerformanceFrequency(&value);
    return uint64_t(value.QuadPart);
}

// ---- CPU times --------------------------------------------------------------------------------

using QuerySystemInformation = LONG(WINAPI*)(ULONG infoClass, void* buffer, ULONG length, ULONG* returned);
QuerySystemInformation g_query = nullptr; // looked up once, then kept

// The basic information record holds pointer-sized fields before the processor count.
constexpr ULONG kBasicBytes = sizeof(void*) == 4 ? 44 : 64;
constexpr size_t kProcessorsAt = sizeof(void*) == 4 ? 40 : 56;

bool systemTimesAvailable()
{
    if (!g_query)
        g_query = procedure<QuerySystemInformation>("ntdll", "NtQuerySystemInformation");
    return g_query != nullptr;
}

bool systemTimes(SystemTimes* out)
{
    alignas(8) uint8_t basic[kBasicBytes], timeOfDay[32], performance[312];
    if (g_query(0, basic, sizeof basic, nullptr) != 0 ||
        g_query(3, timeOfDay, sizeof timeOfDay, nullptr) != 0 ||
        g_query(2, performance, sizeof performance, nullptr) != 0)
        return false;
    out->processors = basic[kProcessorsAt];
    std::memcpy(&out->now, timeOfDay + 8, 8);
    std::memcpy(&out->idle, performance, 8);
    return true;
}

// ---- Privileges and working set ---------------------------------------------------------------

int32_t openProcessToken(Handle* token)
{
    HANDLE h = nullptr;
    const BOOL ok = OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &h);
    if (ok)
        *token = reinterpret_cast<Handle>(h);
    return ok;
}

int32_t lookupPrivilege(const char* name, uint64_t* id)
{
    LUID luid;
    const BOOL ok = LookupPrivilegeValueA(nullptr, name, &luid);
    if (ok)
        *id = uint64_t(uint32_t(luid.HighPart)) << 32 | luid.LowPart;
    return ok;
}

int32_t adjustPrivilege(Handle token, uint64_t id, bool enable, uint32_t* lastError)
{
    TOKEN_PRIVILEGES list;
    list.PrivilegeCount = 1;
    list.Privileges[0].Luid.LowPart = DWORD(id);
    list.Privileges[0].Luid.HighPart = LONG(id >> 32);
    list.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
    const BOOL ok = AdjustTokenPrivileges(asHandle(token), FALSE, &list, 0, nullptr, nullptr);
    *lastError = GetLastError();
    return ok;
}

void closeToken(Handle token) { CloseHandle(asHandle(token)); }

int32_t setWorkingSet(size_t minimum, size_t maximum, uint32_t* lastError)
{
    const BOOL ok = SetProcessWorkingSetSize(GetCurrentProcess(), minimum, maximum);
    *lastError = ok ? 0 : GetLastError();
    return ok;
}

// ---- System questions ---------------------------------------------------------------------------

uint32_t is64BitKernel()
{
    using IsWow64Process = BOOL(WINAPI*)(HANDLE, BOOL*);
    const auto isWow64 = procedure<IsWow64Process>("kernel32", "IsWow64Process");
    BOOL wow64 = FALSE;
    if (!isWow64 || !isWow64(GetCurrentProcess(), &wow64))
        return 0;
    return uint32_t(wow64);
}

bool windowsVersion(uint32_t* major, uint32_t* minor)
{
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info; // 148
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExA(&info))
        return false;
#pragma GCC diagnostic pop
    *major = info.dwMajorVersion;
    *minor = info.dwMinorVersion;
    return true;
}

// ---- Thread and event ---------------------------------------------------------------------------

Handle createEvent() { return reinterpret_cast<Handle>(CreateEventA(nullptr, TRUE, FALSE, nullptr)); }
void setEvent(Handle event) { SetEvent(asHandle(event)); }
bool waitEvent(Handle event, uint32_t ms)
{
    return WaitForSingleObject(asHandle(event), ms) == WAIT_OBJECT_0;
}
void closeEvent(Handle event) { CloseHandle(asHandle(event)); }

struct ThreadStart {
    ThreadMain main;
    void* arg;
};

unsigned __stdcall threadEntry(void* p)
{
    const ThreadStart start = *static_cast<ThreadStart*>(p);
    HeapFree(GetProcessHeap(), 0, p);
    start.main(start.arg);
    return 0;
}

Handle startThread(ThreadMain main, void* arg)
{
    auto* start = static_cast<ThreadStart*>(HeapAlloc(GetProcessHeap(), 0, sizeof(ThreadStart)));
    if (!start)
        return 0;
    *start = {main, arg};
    const uintptr_t thread = _beginthreadex(nullptr, 0, threadEntry, start, 0, nullptr);
    if (!thread)
        HeapFree(GetProcessHeap(), 0, start);
    return thread;
}

void joinThread(Handle thread)
{
    WaitForSingleObject(asHandle(thread), INFINITE);
    CloseHandle(asHandle(thread));
}

uint32_t processId() { return GetCurrentProcessId(); }

bool heapRelease(void* block) { return HeapFree(GetProcessHeap(), 0, block) != 0; }

uint32_t pageSize()
{
    SYSTEM_INFO info;
    ZeroMemory(&info, sizeof info);
    GetSystemInfo(&info);
    return info.dwPageSize;
}

const Platform kWindows = {
    heapAlloc,
    heapFree,
    counter,
    counterFrequency,
    systemTimesAvailable,
    systemTimes,
    openProcessToken,
    lookupPrivilege,
    adjustPrivilege,
    closeToken,
    setWorkingSet,
    is64BitKernel,
    windowsVersion,
    createEvent,
    setEvent,
    waitEvent,
    closeEvent,
    startThread,
    joinThread,
    processId, // the same for the life of a process: Windows has no fork
    heapRelease,
    pageSize,
    VYR_BUFFER_SERVICES,
};

} // namespace

const Platform& platform() { return kWindows; }

} // namespace vyr::os
