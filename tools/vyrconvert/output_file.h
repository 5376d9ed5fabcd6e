// An output written to a temporary file beside its final name and renamed into place only when
// complete, so a failed run never leaves a partial file under that name.
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
    // Flushes, closes and renames the temporary to the final name.
    void commit();
    [[noreturn]] void fail(const std::string& what) const;

private:
    std::string path_;
    std::string temporaryPath_;
    std::FILE* stream_ = nullptr;
};

bool hasPngExtension(const std::string& path);

} // namespace vyr::tool
