/* VyrLog: the SDK's logging library. One line per call to a sink: stderr by default, the file
 * named by the environment variable VYRLOG_FILE when set, or a handler installed by the
 * application. Plain C, C calling convention. */
#ifndef VYRLOG_H
#define VYRLOG_H

#include <stdint.h>

#if defined(_WIN32)
#if defined(VYRLOG_BUILDING)
#define VYRLOG_API __declspec(dllexport)
#else
#define VYRLOG_API __declspec(dllimport)
#endif
#define VYRLOG_CDECL __cdecl
#else
#define VYRLOG_API __attribute__((visibility("default")))
#define VYRLOG_CDECL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Receives every line while installed; it runs under the library's lock and must not log. */
typedef void(VYRLOG_CDECL* VyrLogHandler)(void* user, int32_t level, const char* file, int32_t line,
                                          const char* text);

/* Accepts calls at any time from any thread, including while a loader runs an entry point. */
VYRLOG_API void VYRLOG_CDECL VyrLogPutLog(int32_t level, const char* file, int32_t line, const char* text);

/* Installs a handler (null restores the default sink). Returns once no call uses the old one. */
VYRLOG_API void VYRLOG_CDECL VyrLogSetHandler(VyrLogHandler handler, void* user);

#ifdef __cplusplus
}
#endif

#endif /* VYRLOG_H */
