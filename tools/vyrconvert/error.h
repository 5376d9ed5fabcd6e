// Failures the tool reports: main prints the message as one line on stderr and exits with 2.
#pragma once

#include <cstring>
#include <stdexcept>
#include <string>

namespace vyr::tool {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 2;

class ToolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A command line the tool cannot act on; main points the user at --help.
class UsageError : public ToolError {
public:
    using ToolError::ToolError;
};

// The text of errno, for messages that name the file and what went wrong with it.
inline std::string systemErrorText(int errorNumber) { return std::strerror(errorNumber); }

} // namespace vyr::tool
