#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>
#include <vector>

#include "error.h"
#include "registry.h"

namespace vyr::tool {
namespace {

// mkstemp creates 0600 files; outputs get the permissions a plain create would give them.
mode_t defaultFileMode()
{
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

} // namespace

bool hasPngExtension(const std::string& path)
{
    return path.size() >= 4 && sameNameIgnoringCase(std::string_view(path).substr(path.size() - 4), ".png");
}

OutputFile::OutputFile(std::string path) : path_(std::move(path))
{
    const size_t slash = path_.rfind('/');
    const std::string directory = slash == std::string::npos ? "" : path_.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path_ : path_.substr(slash + 1);
    std::string pattern = directory + "." + base + ".vyrconvert-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = mkstemp(buffer.data());
    if (fd < 0)
        throw ToolError("cannot write '" + path_ + "': " + systemErrorText(errno));
    temporaryPath_ = buffer.data();
    fchmod(fd, defaultFileMode());
    stream_ = fdopen(fd, "wb");
    if (!stream_) {
        const int error = errno;
        close(fd);
        unlink(temporaryPath_.c_str());
        throw ToolError("cannot write '" + path_ + "': " + systemErrorText(error));
    }
}

OutputFile::~OutputFile()
{
    if (stream_)
        std::fclose(stream_);
    if (!temporaryPath_.empty())
        unlink(temporaryPath_.c_str());
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
    if (std::rename(temporaryPath_.c_str(), path_.c_str()) != 0)
        fail(systemErrorText(errno));
    temporaryPath_.clear();
}

} // namespace vyr::tool
