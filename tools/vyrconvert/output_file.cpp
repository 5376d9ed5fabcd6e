#include "output_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "error.h"
#include "registry.h"

namespace vyr::tool {
namespace {

constexpr int kTerminationSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};

// The temporary a termination signal removes: one output is open at a time.
char gTemporary[PATH_MAX];
volatile sig_atomic_t gHaveTemporary = 0;

void removeTemporaryAndEnd(int signal)
{
    if (gHaveTemporary)
        unlink(gTemporary);
    // The handler was reset to the default action on entry: the signal, pending until the handler
    // returns, ends the process as it would have without the handler.
    raise(signal);
}

// Keeps the termination signals waiting while the temporary and what the handler knows of it change.
class TerminationSignalsHeld {
public:
    TerminationSignalsHeld()
    {
        sigset_t held;
        sigemptyset(&held);
        for (int signal : kTerminationSignals)
            sigaddset(&held, signal);
        pthread_sigmask(SIG_BLOCK, &held, &previous_);
    }
    ~TerminationSignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    TerminationSignalsHeld(const TerminationSignalsHeld&) = delete;
    TerminationSignalsHeld& operator=(const TerminationSignalsHeld&) = delete;

private:
    sigset_t previous_;
};

// mkstemp creates 0600 files; outputs get the permissions a plain create would give them.
mode_t defaultFileMode()
{
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

std::string directoryOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// The file that path names once its symbolic links are followed; the last link may name a file
// that does not exist yet, which is then created where it points, as a shell redirection would.
std::string followLinks(const std::string& path)
{
    std::string current = path;
    for (int hop = 0; hop < 40; ++hop) { // the kernel's own limit
        struct stat status;
        if (lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
            return current;
        std::vector<char> target(size_t(status.st_size) + 2);
        const ssize_t length = readlink(current.c_str(), target.data(), target.size() - 1);
        if (length < 0)
            return current; // the write reports why
        const std::string link(target.data(), size_t(length));
        current = link[0] == '/' ? link : directoryOf(current) + link;
    }
    throw ToolError("cannot write '" + path + "': " + systemErrorText(ELOOP));
}

} // namespace

void handleSignals()
{
    struct sigaction action = {};
    action.sa_handler = removeTemporaryAndEnd;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int signal : kTerminationSignals)
        sigaction(signal, &action, nullptr);
    signal(SIGXFSZ, SIG_IGN);
    signal(SIGPIPE, SIG_IGN);
}

bool hasPngExtension(const std::string& path)
{
    return path.size() >= 4 && sameNameIgnoringCase(std::string_view(path).substr(path.size() - 4), ".png");
}

OutputFile::OutputFile(std::string path) : path_(std::move(path))
{
    struct stat status;
    if (stat(path_.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        if (S_ISDIR(status.st_mode))
            fail(systemErrorText(EISDIR));
        const int fd = open(path_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (fd < 0)
            fail(systemErrorText(errno));
        stream_ = fdopen(fd, "wb");
        if (!stream_) {
            const int error = errno;
            close(fd);
            fail(systemErrorText(error));
        }
        return;
    }

    const std::string target = followLinks(path_);
    const size_t slash = target.rfind('/');
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    const std::string pattern = directoryOf(target) + "." + base + ".vyrconvert-XXXXXX";
    if (pattern.size() >= sizeof gTemporary)
        fail(systemErrorText(ENAMETOOLONG));
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    int fd;
    {
        TerminationSignalsHeld held;
        fd = mkstemp(buffer.data());
        if (fd < 0)
            fail(systemErrorText(errno));
        std::memcpy(gTemporary, buffer.data(), buffer.size());
        gHaveTemporary = 1;
    }
    temporaryPath_ = buffer.data();
    targetPath_ = target;
    fchmod(fd, defaultFileMode());
    stream_ = fdopen(fd, "wb");
    if (!stream_) {
        const int error = errno;
        close(fd);
        removeTemporary(); // no destructor runs for a constructor that throws
        fail(systemErrorText(error));
    }
}

OutputFile::~OutputFile()
{
    if (stream_)
        std::fclose(stream_);
    removeTemporary();
}

void OutputFile::removeTemporary()
{
    if (temporaryPath_.empty())
        return;
    TerminationSignalsHeld held;
    unlink(temporaryPath_.c_str());
    temporaryPath_.clear();
    gHaveTemporary = 0;
}

void OutputFile::fail(const std::string& what) const
{
    throw ToolError("cannot write '" + path_ + "': " + what);
}

void OutputFile::write(const void* data, size_t size)
{
    if (std::fwrite(data, 1, size, stream_) != size)
        fail(systemErrorText(errno));
}

void OutputFile::commit()
{
    std::FILE* stream = stream_;
    stream_ = nullptr;
    const bool flushed = std::fflush(stream) == 0;
    const int flushError = errno;
    const bool closed = std::fclose(stream) == 0;
    if (!flushed || !closed)
        fail(systemErrorText(flushed ? errno : flushError));
    if (temporaryPath_.empty())
        return;
    TerminationSignalsHeld held;
    if (std::rename(temporaryPath_.c_str(), targetPath_.c_str()) != 0)
        fail(systemErrorText(errno));
    temporaryPath_.clear();
    gHaveTemporary = 0;
}

} // namespace vyr::tool
