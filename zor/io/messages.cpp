#include "zor/io/messages.h"

#include <cstdarg>
#include <cstdio>

namespace zor {
namespace {
Sinks g_sinks;
}  // namespace

Sinks GetSinks() { return g_sinks; }
void SetSinks(const Sinks& sinks) { g_sinks = sinks; }

void ReportError(const std::string& text) {
  if (g_sinks.Error) g_sinks.Error(text.c_str());
}

void ReportWarning(const std::string& text) {
  if (g_sinks.Warning) g_sinks.Warning(text.c_str());
}

void ReportProgress(int percent, const char* format, ...) {
  if (!g_sinks.Progress) return;
  char buffer[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  g_sinks.Progress(percent, buffer);
}

}  // namespace zor
