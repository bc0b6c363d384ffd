// File helpers standing in for the original platform's file services.
#pragma once

#include <string>
#include <string_view>

namespace zor {

bool FileExists(const std::string& fileName);

// Reads the whole file into *data. On failure, *error gets the reason.
bool ReadWholeFile(const std::string& fileName, std::string* data, std::string* error);

// Writes data to a temporary file beside fileName and renames it over
// fileName only when the whole write succeeded, so an existing file is either
// replaced whole or left untouched. On failure, *error gets the reason.
bool WriteFileAtomically(const std::string& fileName, std::string_view data, std::string* error);

}  // namespace zor
