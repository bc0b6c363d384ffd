// Warnings and errors of the description-file readers and writers, with the
// file, line and column they concern.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "zor/zor.h"

namespace ZOR_RAM::interop {

// A place in a source text; line and column count from 1 (0: unknown).
struct SourcePos {
  int Line = 0;
  int Column = 0;
};

struct Diagnostic {
  enum class Severity { Warning, Error };
  Severity Level = Severity::Warning;
  std::string File;
  SourcePos Pos;
  std::string Text;  // code page text, without the position or the severity

  // "file:line:col: warning: text" (the position parts that are known).
  ZOR_API std::string Format() const;
};

// Thrown by a reader at the first syntax error; the import then adds nothing.
class ZOR_API SyntaxError : public std::runtime_error {
 public:
  explicit SyntaxError(Diagnostic where);
  const Diagnostic& Where() const { return Where_; }

 private:
  Diagnostic Where_;
};

// What one import or export reported, in the order reported.
class ZOR_API DiagnosticLog {
 public:
  void Warn(const std::string& file, SourcePos pos, std::string text);
  void Error(const std::string& file, SourcePos pos, std::string text);
  void Add(Diagnostic diagnostic);

  const std::vector<Diagnostic>& Items() const { return Items_; }
  bool HasErrors() const;
  int WarningCount() const;

 private:
  std::vector<Diagnostic> Items_;
};

}  // namespace ZOR_RAM::interop
