#include "log_capture.h"

#include "VyrLog.h"

namespace vyr::test {

void LogCapture::SetUp() { VyrLogSetHandler(&LogCapture::collect, this); }

void LogCapture::TearDown() { VyrLogSetHandler(nullptr, nullptr); }

void LogCapture::collect(void* self, int32_t level, const char* file, int32_t line, const char* text)
{
    auto* capture = static_cast<LogCapture*>(self);
    std::lock_guard<std::mutex> lock(capture->mutex_);
    capture->lines_.push_back({level, file, line, text});
}

std::vector<LogLine> LogCapture::lines() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
}

Lines LogCapture::texts() const
{
    Lines out;
    for (const LogLine& l : lines())
        out.push_back(l.text);
    return out;
}

Lines LogCapture::logged()
{
    const Lines all = texts();
    const Lines out(all.begin() + std::ptrdiff_t(seen_), all.end());
    seen_ = all.size();
    return out;
}

} // namespace vyr::test
