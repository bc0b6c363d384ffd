// The subcommands of the zor host, callable from tests with their own streams.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace zorcli {

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFindings = 1;  // check: errors were found; diff: the files differ
inline constexpr int kExitUnusable = 2;  // the input could not be used, or the command refused
inline constexpr int kExitUsage = 64;    // bad command line

// Runs one command line (without the program name); returns the exit code.
int Run(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

// The JSON string literal of a Windows-1252 text (quotes included).
std::string JsonString(const std::string& text);

// "E138" / "W015": a finding's code with its severity letter; empty for
// codes outside the table.
std::string FindingTag(int code);
// A code from "E138", "W15", "138"; -1 when text names no finding.
int ParseFindingCode(const std::string& text);

}  // namespace zorcli
