#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include "OS/Linux/services.h"
#include "OS/buffer_services.h"

namespace vyr::os {
namespace {

void* heapAlloc(size_t bytes) { return std::calloc(1, bytes); }
void heapFree(void* block) { std::free(block); }

uint64_t monotonicNanoseconds()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000000000u + uint64_t(ts.tv_nsec);
}

uint64_t counterFrequency() { return 1000000000u; }

bool systemTimesAvailable() { return true; }

uint32_t is64BitKernel()
{
    if (sizeof(void*) != 4)
        return 0; // a 64-bit process is no guest of a 32-bit subsystem
    utsname u;
    return uname(&u) == 0 && std::strstr(u.machine, "64") != nullptr;
}

bool windowsVersion(uint32_t*, uint32_t*) { return false; }

// An eventfd that is written once and never read stays readable: a manual-reset event.
Handle createEvent()
{
    const int fd = eventfd(0, EFD_CLOEXEC);
    return fd < 0 ? 0 : Handle(fd) + 1;
}

int eventFd(Handle event) { return static_cast<int>(event - 1); }

void setEvent(Handle event)
{
    const uint64_t one = 1;
    while (write(eventFd(event), &one, sizeof one) < 0 && errno == EINTR) {
    }
}

bool waitEvent(Handle event, uint32_t ms)
{
    const bool forever = ms == 0xFFFFFFFFu;
    const uint64_t deadline = monotonicNanoseconds() + uint64_t(ms) * 1000000u;
    for (;;) {
        int timeout = -1;
        if (!forever) {
            const uint64_t now = monotonicNanoseconds();
            const uint64_t left = now >= deadline ? 0 : (deadline - now + 999999u) / 1000000u;
            timeout = left > uint64_t(INT_MAX) ? INT_MAX : static_cast<int>(left);
        }
        pollfd p = {eventFd(event), POLLIN, 0};
        const int r = poll(&p, 1, timeout);
        if (r > 0)
            return true;
        if (r < 0 && errno != EINTR)
            return false;
        if (r == 0 && monotonicNanoseconds() >= deadline)
            return false;
    }
}

void closeEvent(Handle event) { close(eventFd(event)); }

struct ThreadStart {
    ThreadMain main;
    void* arg;
};

void* threadEntry(void* p)
{
    const ThreadStart start = *static_cast<ThreadStart*>(p);
    std::free(p);
    start.main(start.arg);
    return nullptr;
}

static_assert(sizeof(pthread_t) <= sizeof(Handle), "a thread fits a handle");

Handle startThread(ThreadMain main, void* arg)
{
    auto* start = static_cast<ThreadStart*>(std::malloc(sizeof(ThreadStart)));
    if (!start)
        return 0;
    *start = {main, arg};
    pthread_t thread;
    if (pthread_create(&thread, nullptr, threadEntry, start) != 0) {
        std::free(start);
        return 0;
    }
    return Handle(thread);
}

void joinThread(Handle thread) { pthread_join(pthread_t(thread), nullptr); }

uint32_t processId() { return uint32_t(getpid()); }

bool heapRelease(void* block)
{
    std::free(block);
    return true;
}

uint32_t pageSize() { return uint32_t(sysconf(_SC_PAGESIZE)); }

const Platform kLinux = {
    heapAlloc,
    heapFree,
    monotonicNanoseconds,
    counterFrequency,
    systemTimesAvailable,
    linux_services::systemTimes,
    linux_services::openProcessToken,
    linux_services::lookupPrivilege,
    linux_services::adjustPrivilege,
    linux_services::closeToken,
    linux_services::setWorkingSet,
    is64BitKernel,
    windowsVersion,
    createEvent,
    setEvent,
    waitEvent,
    closeEvent,
    startThread,
    joinThread,
    processId,
    heapRelease,
    pageSize,
    VYR_BUFFER_SERVICES,
};

} // namespace

const Platform& platform() { return kLinux; }

} // namespace vyr::os
