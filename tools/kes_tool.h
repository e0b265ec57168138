// The `kes` command-line tool's picture commands, kept apart from main() so they can be tested:
// `kes format PICTURE VALUE`, `kes deformat PICTURE TEXT`, `kes picture PICTURE`, `--help`.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include <kestrel/pic_desc.h>

namespace kes::tools {

// Exit statuses of the tool.
inline constexpr int kToolOk = 0;
inline constexpr int kToolFailed = 1;  // an invalid picture or value
inline constexpr int kToolUsage = 2;   // a command line the tool does not understand

// Runs the tool on its arguments (without the program name); writes the normal output to `out`
// and messages to `err`, and returns the exit status.
int run_kes_tool(std::span<const std::string_view> args, std::string& out, std::string& err);

}  // namespace kes::tools
