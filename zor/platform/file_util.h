// File helpers standing in for the original platform's file services.
#pragma once

#include <string>
#include <string_view>

namespace zor {

bool FileExists(const std::string& fileName);

// Writes data to a temporary file beside fileName and renames it over
// fileName only when the whole write succeeded, so an existing file is either
// replaced whole or left untouched. On failure, *error gets the reason.
bool WriteFileAtomically(const std::string& fileName, std::string_view data, std::string* error);

// The streaming form of WriteFileAtomically, for data made piece by piece:
// the constructor creates the temporary file, Write appends to it (one write
// call per piece), Commit renames it over the target. A stream destroyed
// without a successful Commit removes its temporary file, so the target is
// untouched. After the first failure every step fails and keeps its reason.
class WriteFileAtomicallyStream {
 public:
  explicit WriteFileAtomicallyStream(const std::string& fileName);
  ~WriteFileAtomicallyStream();
  WriteFileAtomicallyStream(const WriteFileAtomicallyStream&) = delete;
  WriteFileAtomicallyStream& operator=(const WriteFileAtomicallyStream&) = delete;

  // False when this or an earlier step failed.
  bool Write(std::string_view data);
  // True when the target now holds everything written; otherwise *error gets
  // the reason of the first failure.
  bool Commit(std::string* error);

 private:
  void Fail(const char* what);
  void Discard();

  std::string FileName;
  std::string TempName;
  std::string Error;  // empty while nothing failed
  int Fd = -1;
  size_t Written = 0;  // bytes in the temporary file
};

}  // namespace zor
