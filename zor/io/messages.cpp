#include "zor/io/messages.h"

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

void ReportProgress(int percent, const char* text) {
  if (g_sinks.Progress) g_sinks.Progress(percent, text);
}

}  // namespace zor
