// Load and unload across processes: the machine-wide attach counter, its repair after SIGKILL and
// the per-process FPGA flag. This binary does not link the library; its children load it.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <optional>
#include <sys/mman.h>
#include <unistd.h>

#include "OS/Linux/machine_block.h"
#include "child_process.h"

namespace vyr::test {
namespace {

// A process that loads and unloads the library on command.
VYR_CHILD_MAIN(loader)
{
    void* library = nullptr;
    while (auto command = nextCommand()) {
        if (*command == "load") {
            library = dlopen(VYR_SHARED_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
            reply(library ? "ok" : std::string("error ") + dlerror());
        } else if (*command == "unload") {
            reply(library && dlclose(library) == 0 ? "ok" : "error");
            library = nullptr;
        } else if (command->rfind("fpga", 0) == 0) { // "fpga [value]": sets the flag if given, reads it
            auto set = reinterpret_cast<void (*)(int32_t)>(dlsym(library, "VyrUtilSetFpgaEmuEnabled"));
            auto get = reinterpret_cast<int32_t (*)()>(dlsym(library, "VyrUtilGetFpgaEmuEnabled"));
            if (set && command->size() > 5)
                set(int32_t(std::stol(command->substr(5))));
            reply(set && get ? std::to_string(get()) : "error");
        }
    }
    return 0;
}

// The counter as the block holds it, or nullopt when there is no block.
std::optional<int32_t> counter()
{
    const int fd = shm_open(os::block::kName, O_RDONLY, 0);
    void* p = fd < 0 ? MAP_FAILED : mmap(nullptr, os::block::kObjectSize, PROT_READ, MAP_SHARED, fd, 0);
    if (fd >= 0)
        close(fd);
    if (p == MAP_FAILED)
        return std::nullopt;
    const int32_t value =
        __atomic_load_n(&static_cast<const os::block::Layout*>(p)->shared.attach, __ATOMIC_SEQ_CST);
    munmap(p, os::block::kObjectSize);
    return value;
}

// Whether a live process holds the block (its attached byte is locked).
bool blockHeld()
{
    const int fd = shm_open(os::block::kName, O_RDONLY, 0);
    struct flock fl = {F_WRLCK, SEEK_SET, off_t(os::block::kAttachedByte), 1, 0};
    const bool held = fd >= 0 && (fcntl(fd, F_OFD_GETLK, &fl) != 0 || fl.l_type != F_UNLCK);
    if (fd >= 0)
        close(fd);
    return held;
}

// The counter holds the attached processes but the first; the first one out leaves the block to
// the others, the last one out removes it.
TEST(Lifecycle, CounterFlagAndKilledProcessesTakenBack)
{
    if (blockHeld())
        GTEST_SKIP() << "another process has the library loaded; these cases need the machine alone";
    ChildProcess a("loader"), b("loader"), c("loader");
    ASSERT_EQ("ok", a.request("load"));
    EXPECT_EQ(0, counter());
    ASSERT_EQ("ok", b.request("load"));
    ASSERT_EQ("ok", c.request("load"));
    EXPECT_EQ(2, counter());
    EXPECT_EQ("0", a.request("fpga"));
    EXPECT_EQ("5", a.request("fpga 5"));
    EXPECT_EQ("0", b.request("fpga")); // the flag is each process's own
    EXPECT_EQ("-3", b.request("fpga -3"));
    EXPECT_EQ("5", a.request("fpga"));
    ASSERT_EQ("ok", a.request("unload"));
    EXPECT_EQ(1, counter());
    b.kill();
    b.wait();
    ASSERT_EQ("ok", a.request("load"));
    EXPECT_EQ(1, counter()); // c and a: the killed process no longer counts
    ASSERT_EQ("ok", c.request("unload"));
    EXPECT_EQ(0, counter());
    a.kill(); // the last process dies attached: the stale block is renewed by the next one
    a.wait();
    ASSERT_EQ("ok", c.request("load"));
    EXPECT_EQ(0, counter());
    ASSERT_EQ("ok", c.request("unload"));
    EXPECT_EQ(std::nullopt, counter());
}

} // namespace
} // namespace vyr::test
