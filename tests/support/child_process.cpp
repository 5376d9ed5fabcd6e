#include "child_process.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>

#if defined(_WIN32)
#include <windows.h>
#else
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

} // namespace

ChildRegistration::ChildRegistration(const char* name, ChildMain main) { registry()[name] = main; }

bool runChildIfAsked(int argc, char** argv, int& exitCode)
{
    if (argc < 3 || std::strcmp(argv[1], kChildFlag) != 0)
        return false;
    auto it = registry().find(argv[2]);
    if (it == registry().end()) {
        std::fprintf(stderr, "unknown child mode %s\n", argv[2]);
        exitCode = 99;
        return true;
    }
    std::vector<std::string> args(argv + 3, argv + argc);
    exitCode = it->second(args);
    return true;
}

std::optional<std::string> nextCommand()
{
    std::string line;
    if (!std::getline(std::cin, line))
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

void reply(const std::string& line) { std::cout << line << std::endl; }

std::optional<std::string> ChildProcess::request(const std::string& line, int timeoutMs)
{
    if (!send(line))
        return std::nullopt;
    return readLine(timeoutMs);
}

#if defined(_WIN32)

std::string selfExecutable()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, n);
}

ChildProcess::ChildProcess(const std::string& mode, const std::vector<std::string>& args)
{
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE childIn = nullptr, parentOut = nullptr, parentIn = nullptr, childOut = nullptr;
    if (!CreatePipe(&childIn, &parentOut, &sa, 0) || !CreatePipe(&parentIn, &childOut, &sa, 0))
        return;
    SetHandleInformation(parentOut, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(parentIn, HANDLE_FLAG_INHERIT, 0);
    std::string cmd = "\"" + selfExecutable() + "\" " + kChildFlag + " " + mode;
    for (const std::string& a : args)
        cmd += " \"" + a + "\"";
    STARTUPINFOA si;
    ZeroMemory(&si, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = childIn;
    si.hStdOutput = childOut;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi;
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back('\0');
    BOOL ok = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    CloseHandle(childIn);
    CloseHandle(childOut);
    if (!ok) {
        CloseHandle(parentOut);
        CloseHandle(parentIn);
        return;
    }
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
    toChild_ = parentOut;
    fromChild_ = parentIn;
    started_ = true;
}

ChildProcess::~ChildProcess()
{
    if (!started_)
        return;
    if (!reaped_) {
        // End of input first, so a child in its command loop can leave cleanly; then the hard way.
        CloseHandle(static_cast<HANDLE>(toChild_));
        toChild_ = INVALID_HANDLE_VALUE;
        if (WaitForSingleObject(static_cast<HANDLE>(process_), 2000) != WAIT_OBJECT_0)
            kill();
        wait();
    }
    if (toChild_ != INVALID_HANDLE_VALUE)
        CloseHandle(static_cast<HANDLE>(toChild_));
    CloseHandle(static_cast<HANDLE>(fromChild_));
    CloseHandle(static_cast<HANDLE>(process_));
}

bool ChildProcess::send(const std::string& line)
{
    std::string data = line + "\n";
    DWORD written = 0;
    return started_ && WriteFile(static_cast<HANDLE>(toChild_), data.data(),
                                 static_cast<DWORD>(data.size()), &written, nullptr) &&
           written == data.size();
}

std::optional<std::string> ChildProcess::readLine(int timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        size_t eol = pending_.find('\n');
        if (eol != std::string::npos) {
            std::string line = pending_.substr(0, eol);
            pending_.erase(0, eol + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            return line;
        }
        DWORD avail = 0;
        if (!PeekNamedPipe(static_cast<HANDLE>(fromChild_), nullptr, 0, nullptr, &avail, nullptr))
            return std::nullopt;
        if (avail == 0) {
            if (std::chrono::steady_clock::now() > deadline)
                return std::nullopt;
            Sleep(1);
            continue;
        }
        char buf[512];
        DWORD got = 0;
        if (!ReadFile(static_cast<HANDLE>(fromChild_), buf, avail < sizeof buf ? avail : sizeof buf, &got,
                      nullptr) ||
            got == 0)
            return std::nullopt;
        pending_.append(buf, got);
    }
}

void ChildProcess::kill()
{
    if (started_ && !reaped_)
        TerminateProcess(static_cast<HANDLE>(process_), 137);
}

int ChildProcess::wait()
{
    if (!started_)
        return -1;
    if (!reaped_) {
        if (toChild_ != INVALID_HANDLE_VALUE) {
            CloseHandle(static_cast<HANDLE>(toChild_));
            toChild_ = INVALID_HANDLE_VALUE;
        }
        WaitForSingleObject(static_cast<HANDLE>(process_), INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(static_cast<HANDLE>(process_), &code);
        status_ = static_cast<int>(code);
        reaped_ = true;
    }
    return status_;
}

#else

std::string selfExecutable()
{
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

ChildProcess::ChildProcess(const std::string& mode, const std::vector<std::string>& args)
{
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0)
        return;
    if (pipe2(out, O_CLOEXEC) != 0) {
        close(in[0]);
        close(in[1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::string exe = selfExecutable();
    std::vector<std::string> argvStore = {exe, kChildFlag, mode};
    argvStore.insert(argvStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : argvStore)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    if (rc != 0) {
        close(in[1]);
        close(out[0]);
        return;
    }
    pid_ = pid;
    toChild_ = in[1];
    fromChild_ = out[0];
    started_ = true;
    signal(SIGPIPE, SIG_IGN); // a child that died must show as a failed send, not end the test
}

ChildProcess::~ChildProcess()
{
    if (!started_)
        return;
    if (!reaped_) {
        // End of input first, so a child in its command loop can leave cleanly; then the hard way.
        if (toChild_ >= 0) {
            close(toChild_);
            toChild_ = -1;
        }
        for (int i = 0; i < 200 && !reaped_; ++i) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                reaped_ = true;
            } else {
                usleep(10000);
            }
        }
        kill();
        wait();
    }
    if (toChild_ >= 0)
        close(toChild_);
    close(fromChild_);
}

bool ChildProcess::send(const std::string& line)
{
    if (!started_ || toChild_ < 0)
        return false;
    std::string data = line + "\n";
    return write(toChild_, data.data(), data.size()) == static_cast<ssize_t>(data.size());
}

std::optional<std::string> ChildProcess::readLine(int timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        size_t eol = pending_.find('\n');
        if (eol != std::string::npos) {
            std::string line = pending_.substr(0, eol);
            pending_.erase(0, eol + 1);
            return line;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0)
            return std::nullopt;
        pollfd p = {fromChild_, POLLIN, 0};
        int r = poll(&p, 1, static_cast<int>(left));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return std::nullopt;
        char buf[512];
        ssize_t got = read(fromChild_, buf, sizeof buf);
        if (got <= 0)
            return std::nullopt;
        pending_.append(buf, static_cast<size_t>(got));
    }
}

void ChildProcess::kill()
{
    if (started_ && !reaped_)
        ::kill(pid_, SIGKILL);
}

int ChildProcess::wait()
{
    if (!started_)
        return -1;
    if (!reaped_) {
        if (toChild_ >= 0) {
            close(toChild_); // end of input lets a child in its command loop finish
            toChild_ = -1;
        }
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        reaped_ = true;
    }
    return status_;
}

#endif

} // namespace vyr::test
