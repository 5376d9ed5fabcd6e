#include "VyrLog.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#else
#include <pthread.h>
#endif

namespace {

// Statically initialised locks: the library may be called before any constructor has run.
#if defined(_WIN32)
SRWLOCK g_lock = SRWLOCK_INIT;
void lock() { AcquireSRWLockExclusive(&g_lock); }
void unlock() { ReleaseSRWLockExclusive(&g_lock); }
#else
pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;
void lock() { pthread_mutex_lock(&g_lock); }
void unlock() { pthread_mutex_unlock(&g_lock); }
// Held across fork(), so that a child never inherits it held by a thread that is not there.
__attribute__((constructor)) void holdAcrossFork() { pthread_atfork(lock, unlock, unlock); }
#endif

VyrLogHandler g_handler = nullptr;
void* g_user = nullptr;
bool g_sinkChosen = false;
FILE* g_file = nullptr;

FILE* defaultSink()
{
    if (!g_sinkChosen) {
        g_sinkChosen = true;
        const char* path = std::getenv("VYRLOG_FILE");
        if (path && *path)
            g_file = std::fopen(path, "a");
    }
    return g_file ? g_file : stderr;
}

} // namespace

extern "C" VYRLOG_API void VYRLOG_CDECL VyrLogPutLog(int32_t level, const char* file, int32_t line,
                                                     const char* text)
{
    if (!file)
        file = "";
    if (!text)
        text = "";
    lock();
    if (g_handler) {
        g_handler(g_user, level, file, line, text);
    } else {
        FILE* out = defaultSink();
        size_t len = std::strlen(text);
        const char* eol = (len && text[len - 1] == '\n') ? "" : "\n";
        std::fprintf(out, "VyrLog[%d] %s(%d): %s%s", static_cast<int>(level), file, static_cast<int>(line),
                     text, eol);
        std::fflush(out);
    }
    unlock();
}

extern "C" VYRLOG_API void VYRLOG_CDECL VyrLogSetHandler(VyrLogHandler handler, void* user)
{
    lock();
    g_handler = handler;
    g_user = user;
    unlock();
}
