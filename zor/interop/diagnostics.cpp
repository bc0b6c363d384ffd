#include "zor/interop/diagnostics.h"

#include <utility>

namespace ZOR_RAM::interop {

std::string Diagnostic::Format() const {
  std::string s = File;
  if (Pos.Line > 0) {
    s += ':' + std::to_string(Pos.Line);
    if (Pos.Column > 0) s += ':' + std::to_string(Pos.Column);
  }
  if (!s.empty()) s += ": ";
  s += Level == Severity::Error ? "error: " : "warning: ";
  s += Text;
  return s;
}

SyntaxError::SyntaxError(Diagnostic where) : std::runtime_error(where.Format()), Where_(std::move(where)) {}

void DiagnosticLog::Warn(const std::string& file, SourcePos pos, std::string text) {
  Items_.push_back({Diagnostic::Severity::Warning, file, pos, std::move(text)});
}

void DiagnosticLog::Error(const std::string& file, SourcePos pos, std::string text) {
  Items_.push_back({Diagnostic::Severity::Error, file, pos, std::move(text)});
}

void DiagnosticLog::Add(Diagnostic diagnostic) { Items_.push_back(std::move(diagnostic)); }

bool DiagnosticLog::HasErrors() const {
  for (const Diagnostic& d : Items_)
    if (d.Level == Diagnostic::Severity::Error) return true;
  return false;
}

int DiagnosticLog::WarningCount() const {
  int n = 0;
  for (const Diagnostic& d : Items_) n += d.Level == Diagnostic::Severity::Warning;
  return n;
}

}  // namespace ZOR_RAM::interop
