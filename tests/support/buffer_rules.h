// The rule tests' platform: a counting heap, recorded calls, each logged line's file checked.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "OS/os.h"
#include "log_capture.h"

namespace vyr::test {

struct Recorder {
    Lines calls;
    int blocks = 0;
    int heapRefusedIn = -1; // the heap refuses the allocation this many from now (0: the next)
    bool releaseRefused = false;
};
inline Recorder g_recorder;

inline void record(const std::string& call) { g_recorder.calls.push_back(call); }
template <typename T>
std::vector<T> operator+(std::vector<T> a, const std::vector<T>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class BufferRules : public LogCapture {
protected:
    explicit BufferRules(const char* file) : file_(file) {}
    void SetUp() override
    {
        LogCapture::SetUp();
        g_recorder = Recorder();
        p_ = os::platform();
        p_.heapAlloc = [](size_t n) -> void* {
            if (g_recorder.heapRefusedIn >= 0 && g_recorder.heapRefusedIn-- == 0)
                return nullptr;
            ++g_recorder.blocks;
            return os::platform().heapAlloc(n);
        };
        p_.heapFree = [](void* b) {
            --g_recorder.blocks;
            os::platform().heapFree(b);
        };
        p_.heapRelease = [](void* b) {
            if (g_recorder.releaseRefused)
                return false;
            --g_recorder.blocks;
            return os::platform().heapRelease(b);
        };
        p_.pageSize = []() -> uint32_t { return 4096; };
    }
    void TearDown() override
    {
        EXPECT_EQ(0, g_recorder.blocks) << "heap blocks left";
        EXPECT_EQ(Lines(), logged()) << "lines no check looked at";
        for (const LogLine& line : lines()) { // the privilege step's lines come from its own file
            const bool privilege = line.text.rfind("VyrUtilAdjustProcessPrivilege", 0) == 0;
            EXPECT_EQ(privilege ? "..\\..\\OS\\Windows\\adjustProc" : file_, line.file) << line.text;
            EXPECT_EQ(0, line.level) << line.text;
        }
        LogCapture::TearDown();
    }
    // The calls since the last look.
    Lines calls() { return std::exchange(g_recorder.calls, {}); }

    os::Platform p_;

private:
    std::string file_;
};

} // namespace vyr::test
