// File helpers standing in for the original platform's file services.
#pragma once

#include <memory>
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
  class Flusher;

  void Fail(const char* what);  // what, the file name and the system's reason
  void Refuse(const std::string& why);
  void Discard();

  std::string FileName;
  std::string Error;  // empty while nothing failed
  size_t Written = 0;  // bytes in the temporary file
#ifdef _WIN32
  std::wstring Target;  // the system path of the final target, links followed
  std::wstring TempName;
  void* File = nullptr;  // the temporary file's handle
  bool TargetExists = false;
#else
  std::string Target;  // the file that FileName finally names, links followed
  std::string TempName;
  int Fd = -1;
  // Flushes what is written while more is being written (large files only).
  std::unique_ptr<Flusher> Flush;
#endif
};

}  // namespace zor
