// Where the tool writes. A regular OUTPUT (or a new one) is written to a temporary file beside it
// and renamed into place only when complete, so a failed run never leaves a partial file under that
// name; symbolic links are followed to the file they name. Anything else (a device, a named pipe)
// is written in place.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace vyr::tool {

class OutputFile {
public:
    explicit OutputFile(std::string path); // throws ToolError when the location is not writable
    ~OutputFile();                         // removes the temporary unless committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    const std::string& path() const { return path_; }
    std::FILE* stream() { return stream_; }
    void write(const void* data, size_t size);
    // Flushes and closes, and renames the temporary to the final name.
    void commit();
    [[noreturn]] void fail(const std::string& what) const;

private:
    void removeTemporary();

    std::string path_;
    std::string targetPath_;    // path_ with its symbolic links followed
    std::string temporaryPath_; // empty when written in place
    std::FILE* stream_ = nullptr;
};

// For the whole process: SIGHUP, SIGINT, SIGQUIT and SIGTERM remove the temporary before they end
// it; SIGXFSZ and SIGPIPE no longer end it, so a write past the file size limit or into a closed
// pipe fails like any other write.
void handleSignals();

bool hasPngExtension(const std::string& path);

} // namespace vyr::tool
