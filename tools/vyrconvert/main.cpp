#include <cstdio>
#include <exception>
#include <new>
#include <string>

#include "cli.h"
#include "error.h"
#include "output_file.h"

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
    handleSignals();
    try {
        return run(argc, argv);
    } catch (const UsageError& error) {
        reportError(std::string(error.what()) + " (see --help)");
    } catch (const ToolError& error) {
        reportError(error.what());
    } catch (const std::bad_alloc&) {
        reportError("out of memory");
    } catch (const std::exception& error) {
        reportError(std::string("unexpected internal error: ") + error.what());
    } catch (...) {
        reportError("unexpected internal error");
    }
    return kExitFailure;
}
