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
// Calls the progress sink, if one is set, with text. Walks report every item,
// so the text goes to the sink as it is, without a copy.
void ReportProgress(int percent, const char* text);

}  // namespace zor
