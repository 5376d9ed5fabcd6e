// Named memory and named locks as POSIX shared-memory objects, open to every user (mode 0666
// whatever the umask). A name stands as it is, except that '/' and '%' become "%2F" and "%25", so
// every name has its own object and the mapping can be undone.
//
// A name lives as long as a handle of it, as Windows keeps a name while a handle is open (a view
// keeps its memory, not the name). The count follows OFD locks (see ofd.h): every handle holds a
// read lock on the byte of its kind (memory or lock); the gate byte serialises opening and the last
// close. The last closer, who finds no other holder under the gate, removes the name; a process
// that exits with handles open does the same for them. An object that nobody holds was left by a
// process that was killed: it counts as gone and is removed by whoever finds it. A forked child's
// copies of the handles never remove a name (the parent's descriptions are the same).
//
// The lock object holds a robust, recursive, process-shared mutex: the owner is the locking
// thread, and a waiter after an owner that died gets it (made consistent) as abandoned.
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <limits>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include "OS/Linux/ofd.h"
#include "OS/buffer_services.h"
#include "OS/process_lock.h"

namespace vyr::os::buffers {
namespace {

constexpr off_t kGateByte = 0;
enum Kind : off_t { kMemory = 1, kLock = 2 }; // the byte each holder of that kind read-locks

// '/' and up to NAME_MAX characters, and the terminator.
constexpr size_t kNameCapacity = NAME_MAX + 2;

// The lock object. The magic word tells a lock of this architecture (the mutex layout differs
// between 32- and 64-bit processes) from anything else of that name.
struct LockObject {
    uint32_t magic;
    pthread_mutex_t mutex;
};
constexpr uint32_t kLockMagic = 0x4B434C00u | uint32_t(sizeof(void*));

struct Object {
    int fd;
    LockObject* lock;          // the lock's mapping
    std::atomic<int32_t> held; // takes through this handle not yet released
    Object* next;              // in the list of this process's named handles
    bool inherited;            // a forked child's copy
    char name[kNameCapacity];  // empty for unnamed memory
};

ProcessLock g_namedLock;
Object* g_named = nullptr;
pthread_once_t g_forkHandler = PTHREAD_ONCE_INIT;

void markInherited()
{
    for (Object* o = g_named; o; o = o->next)
        o->inherited = true;
}

Object* object(Handle h) { return reinterpret_cast<Object*>(h); }

// How long an object that nobody holds and that has no size yet is taken for one whose creator is
// between creating it and reaching the gate, before it counts as left over.
constexpr int kCreatorWaits = 2000;
constexpr useconds_t kCreatorWaitMicroseconds = 1000;

bool posixName(const char* name, char (&out)[kNameCapacity], uint32_t* lastError)
{
    static const char kHex[] = "0123456789ABCDEF";
    size_t n = 0;
    out[n++] = '/';
    for (const char* p = name; *p; ++p) {
        const bool escaped = *p == '/' || *p == '%';
        if (n + (escaped ? 3 : 1) > NAME_MAX + 1) {
            *lastError = ENAMETOOLONG;
            return false;
        }
        if (escaped) {
            out[n++] = '%';
            out[n++] = kHex[uint8_t(*p) >> 4];
            out[n++] = kHex[uint8_t(*p) & 15];
        } else {
            out[n++] = *p;
        }
    }
    out[n] = '\0';
    return true;
}

bool fail(uint32_t* lastError, int error)
{
    *lastError = uint32_t(error);
    return false;
}

// Opens (or, with create, creates) the object and takes its kind's reference. On success the gate
// is still held, so the caller sets up or checks the contents before anyone else sees them, then
// lets go of the gate; *fresh tells whether this call created it.
bool openUnderGate(const char* posixName, Kind kind, bool create, int* fdOut, bool* fresh,
                   uint32_t* lastError)
{
    int creatorWaits = 0;
    for (int attempt = 0; attempt < 64;) {
        int fd = -1;
        *fresh = false;
        if (create) {
            fd = shm_open(posixName, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0)
                *fresh = true;
            else if (errno != EEXIST)
                return fail(lastError, errno);
        }
        if (fd < 0) {
            fd = shm_open(posixName, O_RDWR | O_CLOEXEC, 0);
            if (fd < 0) {
                if (errno == ENOENT && create) {
                    ++attempt; // removed since: create it
                    continue;
                }
                return fail(lastError, errno);
            }
        }
        struct stat64 st;
        if (!ofd::lock(fd, F_WRLCK, kGateByte, true) || fstat64(fd, &st) != 0) {
            const int error = errno;
            if (*fresh)
                shm_unlink(posixName);
            ofd::unlockAndClose(fd);
            return fail(lastError, error);
        }
        if (st.st_nlink == 0) { // removed while we waited at the gate
            ofd::unlockAndClose(fd);
            ++attempt;
            continue;
        }
        if (*fresh) {
            fchmod(fd, 0666);
            ofd::lock(fd, F_RDLCK, kind, false);
            *fdOut = fd;
            return true;
        }
        if (!ofd::heldElsewhere(fd, kMemory) && !ofd::heldElsewhere(fd, kLock)) {
            if (st.st_size == 0 && creatorWaits < kCreatorWaits) {
                ofd::unlockAndClose(fd);
                ++creatorWaits;
                usleep(kCreatorWaitMicroseconds);
                continue;
            }
            shm_unlink(posixName); // left over: the name is free
            ofd::unlockAndClose(fd);
            if (!create)
                return fail(lastError, ENOENT);
            ++attempt;
            continue;
        }
        if (ofd::heldElsewhere(fd, kind == kMemory ? kLock : kMemory)) {
            ofd::unlockAndClose(fd); // the name belongs to an object of the other kind
            return fail(lastError, EEXIST);
        }
        ofd::lock(fd, F_RDLCK, kind, false);
        *fdOut = fd;
        return true;
    }
    return fail(lastError, EAGAIN);
}

Object* newObject(int fd, const char* posixName)
{
    auto* o = static_cast<Object*>(std::calloc(1, sizeof(Object)));
    if (!o)
        return nullptr;
    o->fd = fd;
    o->held.store(0);
    std::strcpy(o->name, posixName);
    if (posixName[0]) {
        pthread_once(&g_forkHandler, [] { pthread_atfork(nullptr, nullptr, markInherited); });
        Holding hold(g_namedLock);
        o->next = g_named;
        g_named = o;
    }
    return o;
}

// Removes the name when no other description holds the object. This handle's reference goes
// first, under the gate: a lock's mapping can outlive the handle (see release), and its description
// would otherwise keep the name.
void removeIfLast(const Object* o)
{
    ofd::lock(o->fd, F_WRLCK, kGateByte, true);
    ofd::lock(o->fd, F_UNLCK, o->lock ? kLock : kMemory, false);
    struct stat64 st;
    if (!ofd::heldElsewhere(o->fd, kMemory) && !ofd::heldElsewhere(o->fd, kLock) &&
        fstat64(o->fd, &st) == 0 && st.st_nlink > 0)
        shm_unlink(o->name);
    ofd::lock(o->fd, F_UNLCK, kGateByte, false);
}

__attribute__((destructor)) void removeNamesAtExit()
{
    Holding hold(g_namedLock);
    for (Object* o = g_named; o; o = o->next) {
        if (!o->inherited)
            removeIfLast(o);
    }
}

// Closes the handle; the last in any process removes the name.
void release(Object* o)
{
    if (o->name[0]) {
        {
            Holding hold(g_namedLock);
            Object** link = &g_named;
            while (*link != o)
                link = &(*link)->next;
            *link = o->next;
        }
        if (!o->inherited)
            removeIfLast(o);
    }
    // A lock still held by a thread of this process stays on that thread's robust list, which the
    // kernel reads when the thread ends: its page must stay mapped.
    if (o->lock && o->held.load() == 0)
        munmap(o->lock, sizeof(LockObject));
    close(o->fd); // its locks went above: an inherited copy's belong to the parent
    std::free(o);
}

// Finishes an open: lets others through the gate, or undoes it when the object cannot be used.
int32_t finish(Object* o, int fd, bool fresh, const char* posixName, Handle* out, uint32_t* lastError,
               int error)
{
    if (!o && !error)
        error = ENOMEM;
    if (error) {
        if (fresh)
            shm_unlink(posixName);
        ofd::unlockAndClose(fd);
        std::free(o);
        *lastError = uint32_t(error);
        return 0;
    }
    ofd::lock(fd, F_UNLCK, kGateByte, false);
    *out = reinterpret_cast<Handle>(o);
    return 1;
}

// ---- Memory -------------------------------------------------------------------------------------

// 0 when the system can back size bytes of new memory: no more than memory and swap together and,
// for a named object, than the shared-memory file system has free. Otherwise the error: a size
// beyond them is refused now, as Windows refuses what it cannot commit, rather than failing later
// when a view is made or touched.
int unbackable(uint64_t size, bool named)
{
    // Whole units of memory or blocks: a part of one takes one.
    const auto units = [size](uint64_t unit) { return size / unit + (size % unit != 0); };
    struct sysinfo system;
    if (sysinfo(&system) == 0 && system.mem_unit != 0 &&
        units(system.mem_unit) > uint64_t(system.totalram) + uint64_t(system.totalswap))
        return ENOMEM;
    struct statvfs fs;
    if (named && statvfs("/dev/shm", &fs) == 0 && fs.f_frsize != 0 &&
        units(fs.f_frsize) > uint64_t(fs.f_bavail))
        return ENOSPC;
    return 0;
}

int32_t openMemory(const char* name, bool create, uint64_t size, Handle* mapping, bool* existed,
                   uint32_t* lastError)
{
    char posix[kNameCapacity];
    if (!posixName(name, posix, lastError))
        return 0;
    int fd = -1;
    bool fresh = false;
    if (!openUnderGate(posix, kMemory, create, &fd, &fresh, lastError))
        return 0;
    int error = fresh ? unbackable(size, true) : 0;
    if (fresh && !error && ftruncate64(fd, off64_t(size)) != 0)
        error = errno;
    if (existed)
        *existed = !fresh;
    return finish(error ? nullptr : newObject(fd, posix), fd, fresh, posix, mapping, lastError, error);
}

// The views of this process, for their lengths.
struct View {
    View* next;
    uint8_t* base;
    size_t length;
};
ProcessLock g_viewsLock;
View* g_views = nullptr;

// ---- Lock ---------------------------------------------------------------------------------------

int initialise(LockObject* lock)
{
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED);
    pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    const int error = pthread_mutex_init(&lock->mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
    if (error == 0)
        __atomic_store_n(&lock->magic, kLockMagic, __ATOMIC_RELEASE);
    return error;
}

int32_t openLockObject(const char* name, bool create, Handle* out, uint32_t* lastError)
{
    char posix[kNameCapacity];
    if (!posixName(name, posix, lastError))
        return 0;
    int fd = -1;
    bool fresh = false;
    if (!openUnderGate(posix, kLock, create, &fd, &fresh, lastError))
        return 0;
    int error = 0;
    struct stat64 st;
    void* p = MAP_FAILED;
    if (fresh && ftruncate64(fd, sizeof(LockObject)) != 0)
        error = errno;
    else if (fstat64(fd, &st) != 0)
        error = errno;
    else if (size_t(st.st_size) < sizeof(LockObject))
        error = EINVAL;
    else if ((p = mmap(nullptr, sizeof(LockObject), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0)) == MAP_FAILED)
        error = errno;
    auto* lock = static_cast<LockObject*>(p);
    if (!error && fresh)
        error = initialise(lock);
    else if (!error && __atomic_load_n(&lock->magic, __ATOMIC_ACQUIRE) != kLockMagic)
        error = EINVAL;
    Object* o = error ? nullptr : newObject(fd, posix);
    if (o)
        o->lock = lock;
    else if (p != MAP_FAILED)
        munmap(p, sizeof(LockObject));
    return finish(o, fd, fresh, posix, out, lastError, error);
}

} // namespace

// The objects' mode (0666) gives every user full access; there is nothing to prepare.
bool prepareSharing(SharingAttributes*) { return true; }

int32_t createMapping(const char* name, uint64_t size, const SharingAttributes*, Handle* mapping,
                      bool* existed, uint32_t* lastError)
{
    if (size == 0 || size > uint64_t(std::numeric_limits<off64_t>::max())) {
        *lastError = EINVAL;
        return 0;
    }
    if (name[0] != '\0')
        return openMemory(name, true, size, mapping, existed, lastError);
    // No name: memory of this process alone, as an unnamed mapping.
    if (const int error = unbackable(size, false)) {
        *lastError = uint32_t(error);
        return 0;
    }
    const int fd = memfd_create("VyrUtility shared buffer", MFD_CLOEXEC);
    if (fd < 0 || ftruncate64(fd, off64_t(size)) != 0) {
        *lastError = uint32_t(errno);
        if (fd >= 0)
            close(fd);
        return 0;
    }
    Object* o = newObject(fd, "");
    if (!o) {
        close(fd);
        *lastError = ENOMEM;
        return 0;
    }
    *existed = false;
    *mapping = reinterpret_cast<Handle>(o);
    return 1;
}

int32_t openMapping(const char* name, Handle* mapping, uint32_t* lastError)
{
    return openMemory(name, false, 0, mapping, nullptr, lastError);
}

void* mapView(Handle mapping, uint64_t offset, size_t length, uint32_t* lastError)
{
    Object* o = object(mapping);
    struct stat64 st;
    if (fstat64(o->fd, &st) != 0) {
        *lastError = uint32_t(errno);
        return nullptr;
    }
    const uint64_t size = uint64_t(st.st_size);
    // Bytes past the object's end would fault when touched: such a view is refused.
    if (offset >= size || (length != 0 && length > size - offset)) {
        *lastError = ENXIO;
        return nullptr;
    }
    if (length == 0) {
        if (size - offset > SIZE_MAX) {
            *lastError = ENOMEM;
            return nullptr;
        }
        length = size_t(size - offset);
    }
    auto* view = static_cast<View*>(std::malloc(sizeof(View)));
    if (!view) {
        *lastError = ENOMEM;
        return nullptr;
    }
    // A named object's view maps a description of its own: a mapping keeps its description, and so
    // that description's reference lock, after the handle closes, and a view must not hold the name.
    int fd = o->fd;
    if (o->name[0]) {
        char path[32];
        std::snprintf(path, sizeof path, "/proc/self/fd/%d", o->fd);
        fd = open(path, O_RDWR | O_CLOEXEC);
    }
    void* p = fd < 0 ? MAP_FAILED
                     : mmap64(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, off64_t(offset));
    const int error = errno;
    if (fd >= 0 && fd != o->fd)
        close(fd);
    if (p == MAP_FAILED) {
        *lastError = uint32_t(error);
        std::free(view);
        return nullptr;
    }
    *view = {nullptr, static_cast<uint8_t*>(p), length};
    {
        Holding hold(g_viewsLock);
        view->next = g_views;
        g_views = view;
    }
    return p;
}

int32_t unmapView(void* base, uint32_t* lastError)
{
    View* view;
    {
        Holding hold(g_viewsLock);
        View** link = &g_views;
        while (*link && (*link)->base != base)
            link = &(*link)->next;
        view = *link;
        if (view)
            *link = view->next;
    }
    if (!view) {
        *lastError = EINVAL; // not the start of a view
        return 0;
    }
    munmap(view->base, view->length);
    std::free(view);
    return 1;
}

void closeMapping(Handle mapping) { release(object(mapping)); }

int32_t createLock(const char* name, const SharingAttributes*, Handle* lock, uint32_t* lastError)
{
    return openLockObject(name, true, lock, lastError);
}

int32_t openLock(const char* name, Handle* lock, uint32_t* lastError)
{
    return openLockObject(name, false, lock, lastError);
}

LockWait waitLock(Handle lock, uint32_t ms)
{
    Object* o = object(lock);
    pthread_mutex_t* mutex = &o->lock->mutex;
    int result;
    if (ms == 0) {
        result = pthread_mutex_trylock(mutex);
    } else if (ms == 0xFFFFFFFFu) {
        result = pthread_mutex_lock(mutex);
    } else {
        timespec deadline;
        clock_gettime(CLOCK_MONOTONIC, &deadline);
        deadline.tv_sec += time_t(ms / 1000);
        deadline.tv_nsec += long(ms % 1000) * 1000000L;
        if (deadline.tv_nsec >= 1000000000L) {
            deadline.tv_sec += 1;
            deadline.tv_nsec -= 1000000000L;
        }
        result = pthread_mutex_clocklock(mutex, CLOCK_MONOTONIC, &deadline);
    }
    if (result == EOWNERDEAD) {
        pthread_mutex_consistent(mutex);
        o->held.fetch_add(1);
        return LockWait::Abandoned;
    }
    if (result == 0) {
        o->held.fetch_add(1);
        return LockWait::Acquired;
    }
    return result == ETIMEDOUT || result == EBUSY ? LockWait::TimedOut : LockWait::Failed;
}

void releaseLock(Handle lock)
{
    Object* o = object(lock);
    if (pthread_mutex_unlock(&o->lock->mutex) == 0)
        o->held.fetch_sub(1);
}

void closeLock(Handle lock) { release(object(lock)); }

} // namespace vyr::os::buffers
