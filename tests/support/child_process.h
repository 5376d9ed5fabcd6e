// Child processes for cross-process tests. A test binary registers child modes with
// VYR_CHILD_MAIN; a test starts one with ChildProcess, which runs the same binary in that mode and
// talks to it line by line over its standard input and output.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vyr::test {

using ChildMain = int (*)(const std::vector<std::string>& args);

struct ChildRegistration {
    ChildRegistration(const char* name, ChildMain main);
};

#define VYR_CHILD_MAIN(name)                                                                   \
    static int name##ChildMain(const std::vector<std::string>& args);                         \
    static const ::vyr::test::ChildRegistration name##ChildRegistration(#name, name##ChildMain); \
    static int name##ChildMain([[maybe_unused]] const std::vector<std::string>& args)

// Called first in main: runs the child mode the command line asks for, if any.
bool runChildIfAsked(int argc, char** argv, int& exitCode);

// For child modes: the next command line from the parent (nullopt at end of input), and a reply.
std::optional<std::string> nextCommand();
void reply(const std::string& line);

class ChildProcess {
public:
    explicit ChildProcess(const std::string& mode, const std::vector<std::string>& args = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return started_; }
    bool send(const std::string& line);
    // The next line the child writes, or nullopt after timeoutMs or at its end of output.
    std::optional<std::string> readLine(int timeoutMs = 20000);
    std::optional<std::string> request(const std::string& line, int timeoutMs = 20000);
    // Ends the child at once (SIGKILL, TerminateProcess).
    void kill();
    // Waits for the end: the exit code, or 128 + the signal that ended it.
    int wait();

private:
    bool started_ = false;
    bool reaped_ = false;
    int status_ = -1;
    std::string pending_;
#if defined(_WIN32)
    void* process_ = nullptr;
    void* toChild_ = nullptr;
    void* fromChild_ = nullptr;
#else
    int pid_ = -1;
    int toChild_ = -1;
    int fromChild_ = -1;
#endif
};

std::string selfExecutable();

} // namespace vyr::test
