// The command line: parsing, --help, --list and the single-frame conversion.
#pragma once

namespace vyr::tool {

// Returns the exit code; failures throw ToolError.
int run(int argc, char** argv);

} // namespace vyr::tool
