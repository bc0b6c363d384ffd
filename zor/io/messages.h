// The process-wide message sinks and the routines every part of the library
// reports through. Sinks are set by _Init; a null sink drops its messages.
#pragma once

#include <cstdint>
#include <string>

#include "zor/zor.h"

namespace zor {

struct Sinks {
  ZorMessageSink Error = nullptr;
  ZorMessageSink Warning = nullptr;
  int32_t Reserved = 0;
  ZorProgressSink Progress = nullptr;
};

// The current sinks (a copy); SetSinks replaces all four.
Sinks GetSinks();
void SetSinks(const Sinks& sinks);

void ReportError(const std::string& text);
void ReportWarning(const std::string& text);
// Formats into a 512-byte buffer (longer texts are cut) and calls the progress
// sink; formats nothing when no progress sink is set.
void ReportProgress(int percent, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace zor
