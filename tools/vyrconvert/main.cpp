#include <cstdio>
#include <exception>
#include <string>

#include "cli.h"
#include "error.h"

namespace {

// Exactly one line: control characters in file names must not break it.
void reportError(std::string message)
{
    for (char& c : message) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    }
    std::fflush(stdout);
    std::fprintf(stderr, "vyrconvert: %s\n", message.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    using namespace vyr::tool;
    try {
        return run(argc, argv);
    } catch (const UsageError& error) {
        reportError(std::string(error.what()) + " (see --help)");
    } catch (const std::exception& error) {
        reportError(error.what());
    } catch (...) {
        reportError("unexpected internal error");
    }
    return kExitFailure;
}
