// An application of the installed SDK in C++: merges three planes into RGB8888 pixels, and receives
// the library's diagnostics through its own VyrLog handler.
#include <VyrLog.h>
#include <VyrUtility.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<std::string> logged;

void keepLine(void*, int32_t, const char*, int32_t, const char* text) { logged.emplace_back(text); }

} // namespace

int main()
{
    constexpr uint32_t width = 45;
    std::vector<uint8_t> red(width), green(width), blue(width);
    for (uint32_t x = 0; x < width; ++x) {
        red[x] = uint8_t(x * 5);
        green[x] = uint8_t(255 - x);
        blue[x] = uint8_t(x * x);
    }
    std::vector<uint32_t> pixels(width);
    VyrUtilMergeMONO8toRGB8888(red.data(), green.data(), blue.data(), pixels.data(), width);
    int errors = 0;
    for (uint32_t x = 0; x < width; ++x) {
        const uint32_t expected = uint32_t(red[x]) << 16 | uint32_t(green[x]) << 8 | blue[x];
        if (pixels[x] != expected) {
            std::fprintf(stderr, "consumer: pixel %u is %#x, not %#x\n", x, pixels[x], expected);
            ++errors;
        }
    }

    VyrLogSetHandler(keepLine, nullptr);
    const uint32_t opened = VyrUtilOpenSharedBuffer("Consumer.Frame", nullptr);
    VyrLogSetHandler(nullptr, nullptr);
    const std::vector<std::string> expectedLog = {
        "VyrUtilOpenSharedBuffer => Invalid argument (ppSharedObject == NULL)"};
    if (opened != 0 || logged != expectedLog) {
        std::fprintf(stderr, "consumer: opening without an out pointer gave %u and %zu log lines\n", opened,
                     logged.size());
        ++errors;
    }
    if (errors)
        return 1;
    std::printf("consumer (C++): %u pixels merged; the library's log reached the application\n", width);
    return 0;
}
