// Shared-buffer rules on a platform that records every call and fails where the test says.
#include <gtest/gtest.h>

#include "OS/shared_buffer.h"
#include "buffer_rules.h"

namespace vyr::test {
namespace {

struct Script {
    bool lock = true, mapping = true, view = true, unmap = true;
    uint32_t error = 0;
};
Script g;
uint8_t g_memory[4096];

int32_t opened(const std::string& call, os::Handle* h, os::Handle value, bool ok, uint32_t* e)
{
    record(call);
    *h = value;
    *e = g.error;
    return ok;
}

class SharedBufferRules : public BufferRules {
protected:
    SharedBufferRules() : BufferRules("..\\..\\OS\\Windows\\sharedBuffer") {}
    void SetUp() override
    {
        BufferRules::SetUp();
        g = Script();
        p_.prepareSharing = [](os::SharingAttributes*) { return true; };
        p_.createLock = [](const char* name, const os::SharingAttributes*, os::Handle* h, uint32_t* e) {
            return opened("createLock " + std::string(name), h, 7, g.lock, e);
        };
        p_.openLock = [](const char* name, os::Handle* h, uint32_t* e) {
            return opened("openLock " + std::string(name), h, 7, g.lock, e);
        };
        p_.createMapping = [](const char* name, uint64_t size, const os::SharingAttributes*, os::Handle* h,
                              bool* existed, uint32_t* e) {
            *existed = false;
            const std::string call = "createMapping " + std::string(name) + " " + std::to_string(size);
            return opened(call, h, 9, g.mapping, e);
        };
        p_.openMapping = [](const char* name, os::Handle* h, uint32_t* e) {
            return opened("openMapping " + std::string(name), h, 9, g.mapping, e);
        };
        p_.mapView = [](os::Handle h, uint64_t offset, size_t length, uint32_t* e) -> void* {
            record("mapView " + std::to_string(h) + " " + std::to_string(offset) + " " +
                   std::to_string(length));
            *e = g.error;
            return g.view ? g_memory : nullptr;
        };
        p_.unmapView = [](void* view, uint32_t* e) -> int32_t {
            record(std::string("unmapView ") + (view == g_memory ? "base" : "other"));
            *e = g.error;
            return g.unmap;
        };
        p_.closeMapping = [](os::Handle h) { record("closeMapping " + std::to_string(h)); };
        p_.closeLock = [](os::Handle h) { record("closeLock " + std::to_string(h)); };
    }
};

// Each step, the calls made up to it (with the undoing, or the release by free), and the message.
TEST_F(SharedBufferRules, AllocateAndOpenSteps)
{
    const std::string mapping = "Unable to create file mapping (lastError= ";
    const Lines made = {"createLock cam_LOCK", "createMapping cam 4886718345"},
                found = {"openLock cam_LOCK", "openMapping cam"}, closed = {"closeMapping 9", "closeLock 7"};
    const std::string sync = "Unable to create synchronization object (lastError: 0x5)";
    const Script noLock = {false, true, true, true, 5}, noMapping = {true, false, true, true, 0x5AF},
                 noMapping2 = {true, false, true, true, 2};
    // Opening or allocating, the script, a refused heap, the result, created, the calls, the message's end.
    const std::tuple<bool, Script, bool, uint32_t, uint32_t, Lines, std::string> cases[] = {
        {false, {}, false, 1, 1, made + closed, ""},
        {true, {}, false, 1, 0, found + closed, ""},
        {false, {}, true, 0, 0, {}, "Unable to allocate internal storage"},
        {false, noLock, false, 0, 0, {"createLock cam_LOCK"}, sync},
        {false, noMapping, false, 0, 0, made + Lines{"closeLock 7"}, mapping + "0x0005af)"},
        {true, noMapping2, false, 0, 0, found + Lines{"closeLock 7"}, mapping + "0x000002)"},
    };
    for (const auto& [open, script, heapRefused, result, created, want, message] : cases) {
        g = script;
        g_recorder.heapRefusedIn = heapRefused ? 0 : -1;
        SharedBuffer* out = nullptr;
        EXPECT_EQ(result, open ? os::shared_buffer::open(p_, "cam", &out)
                               : os::shared_buffer::allocate(p_, 0x123456789ull, "cam", &out));
        if (result) {
            EXPECT_EQ(created, os::shared_buffer::hasCreated(out));
            EXPECT_EQ(1u, os::shared_buffer::release(p_, out));
        }
        EXPECT_EQ(want, calls());
        const std::string prefix = open ? "VyrUtilOpenSharedBuffer => " : "VyrUtilAllocSharedBuffer => ";
        EXPECT_EQ(message.empty() ? Lines() : Lines({prefix + message}), logged());
    }
}

TEST_F(SharedBufferRules, NullArgumentsMapAndUnmap)
{
    SharedBuffer allocated = {9, 1, 7, 65536}, *out = nullptr;
    SharedBufferMap* map = nullptr;
    EXPECT_EQ(0u, os::shared_buffer::allocate(p_, 64, "n", nullptr));
    EXPECT_EQ(0u, os::shared_buffer::allocate(p_, 64, nullptr, &out));
    EXPECT_EQ(0u, os::shared_buffer::open(p_, "n", nullptr));
    EXPECT_EQ(0u, os::shared_buffer::open(p_, nullptr, &out));
    EXPECT_EQ(1u, os::shared_buffer::release(p_, nullptr));
    EXPECT_EQ(0u, os::shared_buffer::hasCreated(nullptr));
    EXPECT_EQ(0u, os::shared_buffer::lock(p_, nullptr, 0));
    EXPECT_EQ(0u, os::shared_buffer::unlock(p_, nullptr));
    EXPECT_EQ(nullptr, os::shared_buffer::map(p_, nullptr, 0, 0, &map));
    EXPECT_EQ(nullptr, os::shared_buffer::map(p_, &allocated, 0, 0, nullptr));
    EXPECT_EQ(1u, os::shared_buffer::unmap(p_, nullptr));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(nullptr, map);
    // The view starts at the offset's page.
    EXPECT_EQ(g_memory + 904, os::shared_buffer::map(p_, &allocated, 5000, 60536, &map));
    EXPECT_EQ(1u, os::shared_buffer::unmap(p_, map)); // the view's base goes back, not the pointer handed out
    EXPECT_EQ(nullptr, os::shared_buffer::map(p_, &allocated, 5000, 60537, &map));
    g_recorder.heapRefusedIn = 0;
    EXPECT_EQ(nullptr, os::shared_buffer::map(p_, &allocated, 0, 0, &map));
    g.view = false;
    g.error = 0x46C;
    EXPECT_EQ(nullptr, os::shared_buffer::map(p_, &allocated, 4096, 0, &map));
    g.view = true;
    ASSERT_NE(nullptr, os::shared_buffer::map(p_, &allocated, 4096, 0, &map));
    g.unmap = false;
    g.error = 0x1E7;
    EXPECT_EQ(0u, os::shared_buffer::unmap(p_, map)); // the object is kept for another try
    g.unmap = true;
    EXPECT_EQ(1u, os::shared_buffer::unmap(p_, map));
    EXPECT_EQ(Lines({"mapView 9 4096 61440", "unmapView base", "mapView 9 4096 0", "mapView 9 4096 0",
                     "unmapView base", "unmapView base"}),
              calls());
    const auto null = [](const char* call, const char* argument) {
        return "VyrUtil" + std::string(call) + " => Invalid argument (" + argument + " == NULL)";
    };
    EXPECT_EQ(Lines({null("AllocSharedBuffer", "ppBufferObj"), null("AllocSharedBuffer", "szBufObjectName"),
                     null("OpenSharedBuffer", "ppSharedObject"), null("OpenSharedBuffer", "szBufObjectName"),
                     null("FreeSharedBuffer", "pBufObject"), null("HasCreatedSharedBuffer", "pBufObject"),
                     null("LockSharedBuffer", "pBufObject"), null("UnlockSharedBuffer", "pBufObject"),
                     null("MapSharedBuffer", "pBufObject"), null("MapSharedBuffer", "ppBufMapObject"),
                     null("UnmapSharedBuffer", "pBufMapObject"),
                     "VyrUtilMapSharedBuffer => Invalid argument (bufOffset + bufMapSize > bufSize)",
                     "VyrUtilMapSharedBuffer => Unable to allocate internal storage",
                     "VyrUtilMapSharedBuffer => Unable to map view of file (0x00046c)\n",
                     "VyrUtilUnmapSharedBuffer => Unable to unmap view of file (lastError= 0x1e7)\n"}),
              logged());
}

} // namespace
} // namespace vyr::test
