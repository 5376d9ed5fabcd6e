// Shared-buffer rules on a platform that records every call and fails where the test says: each
// step's message, exactly, what reaches the platform, and every acquisition released on each path.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "OS/sharedBuffer.h"
#include "log_capture.h"

namespace vyr::test {
namespace {

struct Script {
    bool heap = true, sharing = true, lock = true, mapping = true, view = true, unmapView = true;
    bool existed = false;
    uint32_t error = 0;
    os::LockWait wait = os::LockWait::Acquired;
};
Script g_script;
std::vector<std::string> g_calls;
int g_blocks; // heap blocks not yet released
std::string g_lastName;

void call(const std::string& what) { g_calls.push_back(what); }
uint8_t g_memory[4 * 4096];

class SharedBufferRules : public LogCapture {
protected:
    void SetUp() override
    {
        LogCapture::SetUp();
        g_script = Script();
        g_calls.clear();
        g_blocks = 0;
        p_ = os::platform();
        p_.heapAlloc = [](size_t n) -> void* {
            if (!g_script.heap)
                return nullptr;
            ++g_blocks;
            return os::platform().heapAlloc(n);
        };
        p_.heapFree = [](void* b) {
            --g_blocks;
            os::platform().heapFree(b);
        };
        p_.pageSize = []() -> uint32_t { return 4096; };
        p_.prepareSharing = [](os::SharingAttributes*) { return g_script.sharing; };
        p_.createLock = [](const char* name, const os::SharingAttributes*, os::Handle* h, uint32_t* e) -> int32_t {
            call("createLock " + std::string(name));
            g_lastName = name;
            *h = 7;
            *e = g_script.error;
            return g_script.lock;
        };
        p_.openLock = [](const char* name, os::Handle* h, uint32_t* e) -> int32_t {
            call("openLock " + std::string(name));
            *h = 7;
            *e = g_script.error;
            return g_script.lock;
        };
        p_.createMapping = [](const char* name, uint64_t size, const os::SharingAttributes*, os::Handle* h,
                              bool* existed, uint32_t* e) -> int32_t {
            call("createMapping " + std::string(name) + " " + std::to_string(size));
            *h = 9;
            *existed = g_script.existed;
            *e = g_script.error;
            return g_script.mapping;
        };
        p_.openMapping = [](const char* name, os::Handle* h, uint32_t* e) -> int32_t {
            call("openMapping " + std::string(name));
            *h = 9;
            *e = g_script.error;
            return g_script.mapping;
        };
        p_.mapView = [](os::Handle h, uint64_t offset, size_t length, uint32_t* e) -> void* {
            call("mapView " + std::to_string(h) + " " + std::to_string(offset) + " " + std::to_string(length));
            *e = g_script.error;
            return g_script.view ? g_memory : nullptr;
        };
        p_.unmapView = [](void* view, uint32_t* e) -> int32_t {
            call(std::string("unmapView ") + (view == g_memory ? "base" : "other"));
            *e = g_script.error;
            return g_script.unmapView;
        };
        p_.closeMapping = [](os::Handle h) { call("closeMapping " + std::to_string(h)); };
        p_.closeLock = [](os::Handle h) { call("closeLock " + std::to_string(h)); };
        p_.waitLock = [](os::Handle h, uint32_t ms) {
            call("waitLock " + std::to_string(h) + " " + std::to_string(ms));
            return g_script.wait;
        };
        p_.releaseLock = [](os::Handle h) { call("releaseLock " + std::to_string(h)); };
    }
    void TearDown() override
    {
        EXPECT_EQ(0, g_blocks) << "heap blocks left";
        LogCapture::TearDown();
    }
    // The lines logged since the last call, each checked for the file and level.
    std::vector<std::string> logged()
    {
        std::vector<std::string> out;
        const auto all = lines();
        for (size_t i = seen_; i < all.size(); ++i) {
            EXPECT_EQ("..\\..\\OS\\Windows\\sharedBuffer", all[i].file);
            EXPECT_EQ(0, all[i].level);
            out.push_back(all[i].text);
        }
        seen_ = all.size();
        return out;
    }
    std::vector<std::string> calls()
    {
        auto out = g_calls;
        g_calls.clear();
        return out;
    }
    using Lines = std::vector<std::string>;
    os::Platform p_;
    size_t seen_ = 0;
};

SharedBuffer* const kUntouched = reinterpret_cast<SharedBuffer*>(uintptr_t(0x5A5A5A5A));

TEST_F(SharedBufferRules, NullArguments)
{
    SharedBuffer* out = kUntouched;
    SharedBufferMap* map = nullptr;
    EXPECT_EQ(0u, shared::allocate(p_, 64, "n", nullptr));
    EXPECT_EQ(0u, shared::allocate(p_, 64, nullptr, &out));
    EXPECT_EQ(0u, shared::open(p_, "n", nullptr));
    EXPECT_EQ(0u, shared::open(p_, nullptr, &out));
    EXPECT_EQ(1u, shared::release(p_, nullptr));
    EXPECT_EQ(0u, shared::hasCreated(nullptr));
    EXPECT_EQ(0u, shared::lock(p_, nullptr, 0));
    EXPECT_EQ(0u, shared::unlock(p_, nullptr));
    EXPECT_EQ(nullptr, shared::map(p_, nullptr, 0, 0, &map));
    SharedBuffer buffer = {9, 1, 7, 64};
    EXPECT_EQ(nullptr, shared::map(p_, &buffer, 0, 0, nullptr));
    EXPECT_EQ(1u, shared::unmap(p_, nullptr));
    EXPECT_EQ(kUntouched, out);
    EXPECT_EQ(nullptr, map);
    EXPECT_EQ(Lines({"VyrUtilAllocSharedBuffer => Invalid argument (ppBufferObj == NULL)",
                     "VyrUtilAllocSharedBuffer => Invalid argument (szBufObjectName == NULL)",
                     "VyrUtilOpenSharedBuffer => Invalid argument (ppSharedObject == NULL)",
                     "VyrUtilOpenSharedBuffer => Invalid argument (szBufObjectName == NULL)",
                     "VyrUtilFreeSharedBuffer => Invalid argument (pBufObject == NULL)",
                     "VyrUtilHasCreatedSharedBuffer => Invalid argument (pBufObject == NULL)",
                     "VyrUtilLockSharedBuffer => Invalid argument (pBufObject == NULL)",
                     "VyrUtilUnlockSharedBuffer => Invalid argument (pBufObject == NULL)",
                     "VyrUtilMapSharedBuffer => Invalid argument (pBufObject == NULL)",
                     "VyrUtilMapSharedBuffer => Invalid argument (ppBufMapObject == NULL)",
                     "VyrUtilUnmapSharedBuffer => Invalid argument (pBufMapObject == NULL)"}),
              logged());
    EXPECT_TRUE(calls().empty());
}

TEST_F(SharedBufferRules, AllocateStepsAndTheirFailures)
{
    SharedBuffer* out = kUntouched;
    g_script.heap = false;
    EXPECT_EQ(0u, shared::allocate(p_, 64, "cam", &out));
    g_script.heap = true;
    g_script.sharing = false; // no message
    EXPECT_EQ(0u, shared::allocate(p_, 64, "cam", &out));
    EXPECT_EQ(Lines({"VyrUtilAllocSharedBuffer => Unable to allocate internal storage"}), logged());
    EXPECT_TRUE(calls().empty());
    g_script.sharing = true;
    g_script.lock = false;
    g_script.error = 5;
    EXPECT_EQ(0u, shared::allocate(p_, 64, "cam", &out));
    EXPECT_EQ(Lines({"createLock cam_LOCK"}), calls());
    g_script.lock = true;
    g_script.mapping = false;
    g_script.error = 0x5AF;
    EXPECT_EQ(0u, shared::allocate(p_, 0x123456789ull, "cam", &out));
    EXPECT_EQ(Lines({"createLock cam_LOCK", "createMapping cam 4886718345", "closeLock 7"}), calls());
    g_script.error = 0;
    EXPECT_EQ(0u, shared::allocate(p_, 64, "cam", &out));
    calls();
    EXPECT_EQ(Lines({"VyrUtilAllocSharedBuffer => Unable to create synchronization object (lastError: 0x5)",
                     "VyrUtilAllocSharedBuffer => Unable to create file mapping (lastError= 0x0005af)",
                     "VyrUtilAllocSharedBuffer => Unable to create file mapping (lastError= 00000000)"}),
              logged());
    EXPECT_EQ(kUntouched, out);

    g_script.mapping = true;
    for (bool existed : {false, true}) {
        g_script.existed = existed;
        ASSERT_EQ(1u, shared::allocate(p_, 64, "cam", &out));
        EXPECT_EQ(existed ? 0u : 1u, shared::hasCreated(out));
        EXPECT_EQ(64u, out->bufSize);
        EXPECT_EQ(1u, shared::release(p_, out));
        EXPECT_EQ(Lines({"createLock cam_LOCK", "createMapping cam 64", "closeMapping 9", "closeLock 7"}), calls());
    }
    EXPECT_TRUE(logged().empty());
}

// The lock name is formatted into 260 characters: the suffix goes first, then the name is cut.
TEST_F(SharedBufferRules, LongNamesCutTheLockName)
{
    for (size_t length : {250u, 254u, 255u, 300u}) {
        const std::string name(length, 'n');
        SharedBuffer* out = nullptr;
        ASSERT_EQ(1u, shared::allocate(p_, 64, name.c_str(), &out));
        EXPECT_EQ((name + "_LOCK").substr(0, 259), g_lastName) << length;
        shared::release(p_, out);
    }
}

TEST_F(SharedBufferRules, OpenStepsAndTheirFailures)
{
    SharedBuffer* out = kUntouched;
    g_script.heap = false;
    EXPECT_EQ(0u, shared::open(p_, "cam", &out));
    g_script.heap = true;
    g_script.lock = false;
    g_script.error = 2;
    EXPECT_EQ(0u, shared::open(p_, "cam", &out));
    EXPECT_EQ(Lines({"openLock cam_LOCK"}), calls());
    g_script.lock = true;
    g_script.mapping = false;
    EXPECT_EQ(0u, shared::open(p_, "cam", &out));
    EXPECT_EQ(Lines({"openLock cam_LOCK", "openMapping cam", "closeLock 7"}), calls());
    EXPECT_EQ(Lines({"VyrUtilOpenSharedBuffer => Unable to allocate internal storage",
                     "VyrUtilOpenSharedBuffer => Unable to create synchronization object (lastError: 0x2)",
                     "VyrUtilOpenSharedBuffer => Unable to create file mapping (lastError= 0x000002)"}),
              logged());
    EXPECT_EQ(kUntouched, out);
    g_script.mapping = true;
    ASSERT_EQ(1u, shared::open(p_, "cam", &out));
    EXPECT_EQ(0u, shared::hasCreated(out));
    EXPECT_EQ(0u, out->bufSize);
    shared::release(p_, out);
}

TEST_F(SharedBufferRules, MapSplitsTheOffsetAtThePage)
{
    SharedBuffer allocated = {9, 1, 7, 65536}, opened = {9, 0, 7, 0};
    SharedBufferMap* map = nullptr;
    struct Case {
        SharedBuffer* buffer;
        uint64_t offset, size;
        bool accepted;
        std::string view; // what the platform is asked for
    };
    const Case cases[] = {
        {&allocated, 4096, 61440, true, "mapView 9 4096 61440"},
        {&allocated, 4096, 61441, false, ""},
        {&allocated, 5000, 100, true, "mapView 9 4096 1004"},
        {&allocated, 0, 0, true, "mapView 9 0 0"},
        {&allocated, 65537, 0, false, ""},
        {&opened, 1ull << 40 | 4097, 1ull << 33, true,
         "mapView 9 1099511631872 " + std::to_string(size_t((1ull << 33) + 1))},
        {&opened, 8191, 0, true, "mapView 9 4096 0"},
    };
    for (const Case& c : cases) {
        uint8_t* p = static_cast<uint8_t*>(shared::map(p_, c.buffer, c.offset, c.size, &map));
        if (!c.accepted) {
            EXPECT_EQ(nullptr, p);
            EXPECT_EQ(Lines({"VyrUtilMapSharedBuffer => Invalid argument (bufOffset + bufMapSize > bufSize)"}),
                      logged());
            EXPECT_TRUE(calls().empty());
            continue;
        }
        EXPECT_EQ(g_memory + c.offset % 4096, p) << c.view;
        EXPECT_EQ(Lines({c.view}), calls());
        EXPECT_EQ(1u, shared::unmap(p_, map));
        EXPECT_EQ(Lines({"unmapView base"}), calls()); // the view base, not the pointer handed out
    }
    EXPECT_TRUE(logged().empty());
}

TEST_F(SharedBufferRules, MapAndUnmapFailures)
{
    SharedBuffer buffer = {9, 1, 7, 65536};
    SharedBufferMap* map = nullptr;
    g_script.heap = false;
    EXPECT_EQ(nullptr, shared::map(p_, &buffer, 0, 0, &map));
    g_script.heap = true;
    g_script.view = false;
    g_script.error = 0x46C;
    EXPECT_EQ(nullptr, shared::map(p_, &buffer, 4096, 0, &map));
    EXPECT_EQ(nullptr, map);
    g_script.view = true;
    ASSERT_NE(nullptr, shared::map(p_, &buffer, 4096, 0, &map));
    g_script.unmapView = false;
    g_script.error = 0x1E7;
    EXPECT_EQ(0u, shared::unmap(p_, map)); // the object is kept for another try
    g_script.unmapView = true;
    EXPECT_EQ(1u, shared::unmap(p_, map));
    EXPECT_EQ(Lines({"VyrUtilMapSharedBuffer => Unable to allocate internal storage",
                     "VyrUtilMapSharedBuffer => Unable to map view of file (0x00046c)\n",
                     "VyrUtilUnmapSharedBuffer => Unable to unmap view of file (lastError= 0x1e7)\n"}),
              logged());
}

TEST_F(SharedBufferRules, LockResultsAndHandles)
{
    SharedBuffer buffer = {9, 1, 7, 64};
    const std::pair<os::LockWait, uint32_t> waits[] = {{os::LockWait::Acquired, 1},
                                                       {os::LockWait::Abandoned, 1},
                                                       {os::LockWait::TimedOut, 0},
                                                       {os::LockWait::Failed, 0}};
    for (const auto& w : waits) {
        g_script.wait = w.first;
        EXPECT_EQ(w.second, shared::lock(p_, &buffer, 0xFFFFFFFFu));
    }
    EXPECT_EQ(1u, shared::unlock(p_, &buffer));
    Lines expected(4, "waitLock 7 4294967295");
    expected.push_back("releaseLock 7");
    EXPECT_EQ(expected, calls());
    // Free closes only the handles the object holds.
    auto* partial = static_cast<SharedBuffer*>(p_.heapAlloc(sizeof(SharedBuffer)));
    partial->hLock = 7;
    EXPECT_EQ(1u, shared::release(p_, partial));
    EXPECT_EQ(Lines({"closeLock 7"}), calls());
    EXPECT_TRUE(logged().empty());
}

} // namespace
} // namespace vyr::test
