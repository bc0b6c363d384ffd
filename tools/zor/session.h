// What one command run of the host shares with the library's C sinks:
// message capture, the progress bar, and the files a command reads and
// writes (with "-" for standard input and output).
#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "zor/zor.h"

namespace zorcli {

// A library text (Windows-1252) as UTF-8 for the terminal and JSON.
std::string ToUtf8(const std::string& codePageText);

// One message of the library's sinks, with the finding code when it was one.
struct Message {
  bool IsError = true;
  int Code = -1;  // -1: not a check finding
  std::string Text;
};

// Installs the sinks and the finding observer for one command and removes
// them when it ends. Messages are kept (not printed) while Collect is set.
class Session {
 public:
  Session(std::FILE* out, std::FILE* err, bool quiet);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  std::FILE* Out() const { return Out_; }
  std::FILE* Err() const { return Err_; }

  // "error: text" / "warning: text" on stderr; file (when not empty) and a
  // line and column (when above 0) lead as in "file:line:col: error: text".
  void Report(bool isError, const std::string& utf8Text, const std::string& file = {}, int line = 0,
              int column = 0);

  bool Collect = false;
  std::vector<Message> Messages;

  // Sink entry points.
  void OnMessage(bool isError, const char* text);
  void OnFinding(int code);
  void OnProgress(int percent, const char* text);
  void ClearProgress();

  // Forces the progress bar on or off (tests; the default follows isatty).
  void SetProgressBar(bool on) { ProgressBar_ = on; }

 private:
  std::FILE* Out_;
  std::FILE* Err_;
  bool ProgressBar_ = false;
  bool ProgressShown_ = false;
  std::chrono::steady_clock::time_point LastDraw_{};
  std::string LastSection_;
};

// Owns a database for the length of a command.
struct RamHolder {
  TZOR_RAM* Ram = nullptr;
  RamHolder() = default;
  explicit RamHolder(TZOR_RAM* ram) : Ram(ram) {}
  RamHolder(const RamHolder&) = delete;
  RamHolder& operator=(const RamHolder&) = delete;
  ~RamHolder() { _FreeRAM(Ram); }
};

// A temporary file removed when it goes out of scope.
class TempFile {
 public:
  explicit TempFile(const std::string& suffix = ".xml");
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::string& Path() const { return Path_; }
  bool Valid() const { return !Path_.empty(); }

 private:
  std::string Path_;
};

// Whole-file reads and writes; false on failure. "-" is stdin / the given stream.
bool ReadWholeFile(const std::string& path, std::string& bytes);
// The size of a regular file, or 0 (standard input, a pipe, a missing file).
size_t RegularFileSize(const std::string& path);
bool WriteWholeStream(std::FILE* stream, const std::string& bytes);

}  // namespace zorcli
