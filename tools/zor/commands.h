// The subcommands of the zor host, callable from tests with their own streams.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace zorcli {

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFindings = 1;  // check: errors were found
inline constexpr int kExitUnusable = 2;  // bad arguments, or the input could not be used

// Runs one command line (without the program name); returns the exit code.
int Run(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

// The JSON string literal of a Windows-1252 text (quotes included).
std::string JsonString(const std::string& text);

}  // namespace zorcli
