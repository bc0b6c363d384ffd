// File names as hosts pass them: 8-bit code page texts. The system's file
// calls get them in their own form: the bytes unchanged on POSIX systems,
// UTF-16 through the code page layer on Windows (so that names outside ASCII
// reach the wide calls intact).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zor {

std::filesystem::path NativePath(std::string_view codePageName);

// The code page text of a system path ('?' for characters the code page lacks).
std::string CodePageName(const std::filesystem::path& path);

}  // namespace zor
