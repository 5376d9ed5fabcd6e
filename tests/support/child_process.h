// Child processes: ChildProcess runs this binary in a mode registered with VYR_CHILD_MAIN and talks
// to it line by line over its standard input and output.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace vyr::test {

using ChildMain = int (*)();

struct ChildRegistration {
    ChildRegistration(const char* name, ChildMain main);
};

#define VYR_CHILD_MAIN(name)                                                                                 \
    static int name##ChildMain();                                                                            \
    static const ::vyr::test::ChildRegistration name##ChildRegistration(#name, name##ChildMain);             \
    static int name##ChildMain()

// Called first in main: runs the child mode the command line asks for, if any.
bool runChildIfAsked(int argc, char** argv, int& exitCode);

// For child modes: the next command line from the parent (nullopt at end of input), and a reply.
std::optional<std::string> nextCommand();
void reply(const std::string& line);
// Answers each command "<answer(command)>|<line>|..." with the library's log lines since the last
// answer, up to the end of input; then 0, for the child's exit code.
int serveLogged(const std::function<std::string(const std::string&)>& answer);
// "VyrTest.<pid>.<what>": a name of system objects that parallel runs never share.
std::string uniqueName(const std::string& what);

class ChildProcess {
public:
    explicit ChildProcess(const std::string& mode);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool send(const std::string& line);
    // The next line the child writes, or nullopt after timeoutMs or at its end of output.
    std::optional<std::string> readLine(int timeoutMs = 20000);
    std::optional<std::string> request(const std::string& line, int timeoutMs = 20000);
    // Ends the child at once (SIGKILL, TerminateProcess).
    void kill();
    // Waits for the end: the exit code, or 128 + the signal that ended it.
    int wait();

private:
    long readSome(char* buffer, size_t size, int timeoutMs); // bytes; 0 at the end; -1 on timeout
    bool reap(int timeoutMs);                                // -1: without limit
    void closeInput();

    bool started_ = false;
    bool reaped_ = false;
    int status_ = -1;
    std::string pending_;
    intptr_t process_ = -1, toChild_ = -1, fromChild_ = -1; // pid and descriptors, or handles
};

} // namespace vyr::test
