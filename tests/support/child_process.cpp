#include "child_process.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <iostream>
#include <map>
#include <utility>
#include <vector>

#include "VyrLog.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace vyr::test {
namespace {

std::map<std::string, ChildMain>& registry()
{
    static std::map<std::string, ChildMain> modes;
    return modes;
}

constexpr const char* kChildFlag = "--vyr-child";
std::vector<std::string> g_childLog;

void VYRLOG_CDECL collect(void*, int32_t, const char*, int32_t, const char* s) { g_childLog.push_back(s); }

} // namespace

ChildRegistration::ChildRegistration(const char* name, ChildMain main) { registry()[name] = main; }

bool runChildIfAsked(int argc, char** argv, int& exitCode)
{
    if (argc != 3 || std::strcmp(argv[1], kChildFlag) != 0)
        return false;
    auto it = registry().find(argv[2]);
    exitCode = it == registry().end() ? 99 : it->second();
    return true;
}

std::optional<std::string> nextCommand()
{
    std::string line;
    return std::getline(std::cin, line) ? std::optional<std::string>(line) : std::nullopt;
}

void reply(const std::string& line) { std::cout << line << std::endl; }

int serveLogged(const std::function<std::string(const std::string&)>& answer)
{
    VyrLogSetHandler(collect, nullptr);
    while (auto command = nextCommand()) {
        std::string result = answer(*command);
        for (const std::string& line : std::exchange(g_childLog, {}))
            result += "|" + line;
        reply(result);
    }
    return 0;
}

std::string uniqueName(const std::string& what)
{
#if defined(_WIN32)
    const unsigned long pid = GetCurrentProcessId();
#else
    const long pid = getpid();
#endif
    return "VyrTest." + std::to_string(pid) + "." + what;
}

std::optional<std::string> ChildProcess::request(const std::string& line, int timeoutMs)
{
    return send(line) ? readLine(timeoutMs) : std::nullopt;
}

std::optional<std::string> ChildProcess::readLine(int timeoutMs)
{
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + milliseconds(timeoutMs);
    size_t eol;
    while ((eol = pending_.find('\n')) == std::string::npos) {
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
        char buffer[512];
        const long got = left > 0 ? readSome(buffer, sizeof buffer, int(left)) : -1;
        if (got <= 0)
            return std::nullopt;
        pending_.append(buffer, size_t(got));
    }
    std::string line = pending_.substr(0, eol > 0 && pending_[eol - 1] == '\r' ? eol - 1 : eol);
    pending_.erase(0, eol + 1);
    return line;
}

ChildProcess::~ChildProcess()
{
    if (!started_)
        return;
    closeInput(); // a child in its command loop leaves cleanly; one that does not is ended
    if (!reap(2000))
        kill();
    wait();
#if defined(_WIN32)
    CloseHandle(reinterpret_cast<HANDLE>(fromChild_));
    CloseHandle(reinterpret_cast<HANDLE>(process_));
#else
    close(int(fromChild_));
#endif
}

int ChildProcess::wait()
{
    closeInput();
    if (started_ && !reaped_)
        reap(-1);
    return status_;
}

#if defined(_WIN32)

static HANDLE handle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }

ChildProcess::ChildProcess(const std::string& mode)
{
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE childIn = nullptr, parentOut = nullptr, parentIn = nullptr, childOut = nullptr;
    if (!CreatePipe(&childIn, &parentOut, &sa, 0) || !CreatePipe(&parentIn, &childOut, &sa, 0))
        return;
    SetHandleInformation(parentOut, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(parentIn, HANDLE_FLAG_INHERIT, 0);
    char path[MAX_PATH];
    std::string cmd = "\"" + std::string(path, GetModuleFileNameA(nullptr, path, MAX_PATH)) + "\" " +
                      kChildFlag + " " + mode;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = childIn;
    si.hStdOutput = childOut;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi;
    started_ = CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    CloseHandle(childIn);
    CloseHandle(childOut);
    if (!started_) {
        CloseHandle(parentOut);
        CloseHandle(parentIn);
        return;
    }
    CloseHandle(pi.hThread);
    process_ = reinterpret_cast<intptr_t>(pi.hProcess);
    toChild_ = reinterpret_cast<intptr_t>(parentOut);
    fromChild_ = reinterpret_cast<intptr_t>(parentIn);
}

bool ChildProcess::send(const std::string& line)
{
    const std::string data = line + "\n";
    DWORD written = 0;
    return toChild_ != -1 &&
           WriteFile(handle(toChild_), data.data(), DWORD(data.size()), &written, nullptr) &&
           written == data.size();
}

long ChildProcess::readSome(char* buffer, size_t size, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    DWORD avail = 0, got = 0;
    while (PeekNamedPipe(handle(fromChild_), nullptr, 0, nullptr, &avail, nullptr) && avail == 0) {
        if (std::chrono::steady_clock::now() > deadline)
            return -1;
        Sleep(1);
    }
    const DWORD want = DWORD(std::min<size_t>(avail, size));
    return avail != 0 && ReadFile(handle(fromChild_), buffer, want, &got, nullptr) ? long(got) : 0;
}

bool ChildProcess::reap(int timeoutMs)
{
    if (WaitForSingleObject(handle(process_), timeoutMs < 0 ? INFINITE : DWORD(timeoutMs)) != WAIT_OBJECT_0)
        return false;
    DWORD code = 0;
    GetExitCodeProcess(handle(process_), &code);
    status_ = int(code);
    return reaped_ = true;
}

void ChildProcess::closeInput()
{
    if (toChild_ != -1)
        CloseHandle(handle(toChild_));
    toChild_ = -1;
}

void ChildProcess::kill()
{
    if (started_ && !reaped_)
        TerminateProcess(handle(process_), 137);
}

#else

ChildProcess::ChildProcess(const std::string& mode)
{
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string self(path, size_t(std::max<ssize_t>(n, 0))), flag = kChildFlag, name = mode;
    char* argv[] = {self.data(), flag.data(), name.data(), nullptr};
    pid_t pid = -1;
    started_ = posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    if (!started_) {
        close(in[1]);
        close(out[0]);
        return;
    }
    process_ = pid;
    toChild_ = in[1];
    fromChild_ = out[0];
    signal(SIGPIPE, SIG_IGN); // a child that died must show as a failed send, not end the test
}

bool ChildProcess::send(const std::string& line)
{
    const std::string data = line + "\n";
    return toChild_ >= 0 && write(int(toChild_), data.data(), data.size()) == ssize_t(data.size());
}

long ChildProcess::readSome(char* buffer, size_t size, int timeoutMs)
{
    pollfd p = {int(fromChild_), POLLIN, 0};
    int ready;
    while ((ready = poll(&p, 1, timeoutMs)) < 0 && errno == EINTR) {
    }
    return ready <= 0 ? -1 : long(read(int(fromChild_), buffer, size));
}

bool ChildProcess::reap(int timeoutMs)
{
    int status = 0;
    for (int waited = 0;; waited += 10) {
        const pid_t r = waitpid(pid_t(process_), &status, timeoutMs < 0 ? 0 : WNOHANG);
        if (r == pid_t(process_))
            break;
        if ((r < 0 && errno != EINTR) || (timeoutMs >= 0 && waited >= timeoutMs))
            return false;
        if (r == 0)
            usleep(10000);
    }
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return reaped_ = true;
}

void ChildProcess::closeInput()
{
    if (toChild_ >= 0)
        close(int(toChild_));
    toChild_ = -1;
}

void ChildProcess::kill()
{
    if (started_ && !reaped_)
        ::kill(pid_t(process_), SIGKILL);
}

#endif

} // namespace vyr::test
