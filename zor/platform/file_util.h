// File helpers standing in for the original platform's file services.
#pragma once

#include <string>
#include <string_view>

namespace zor {

bool FileExists(const std::string& fileName);

// Reads the whole file into *data. On failure, *error gets the reason.
bool ReadWholeFile(const std::string& fileName, std::string* data, std::string* error);

// Writes data to a temporary file beside the target and renames it over the
// target only when the whole write succeeded, so an existing file is either
// replaced whole or left untouched. Symbolic links are followed: the file they
// finally point to is replaced and the links stay. Only a regular file is
// replaced: a directory, device, pipe or socket, a read-only file and a file
// with several hard links are refused and left as they are. The old file's
// mode is kept. On failure, *error gets the reason.
bool WriteFileAtomically(const std::string& fileName, std::string_view data, std::string* error);

}  // namespace zor
