// The process-wide message sinks and the routines every part of the library
// reports through. Sinks are set by _Init; a null sink drops its messages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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
// Reports to the progress sink even under a capture: for reports that come
// before everything a capture holds. What the sink reports in turn, from the
// host's handler, is not held either.
void ReportProgressPastCapture(int percent, const char* text);
// Reports done * 100 / *total; under a capture, *total is read at the flush,
// so the total may become known after the report.
void ReportProgressOf(int done, const int* total, const char* text);

// While a capture lives on a thread, what that thread reports is kept in it,
// in order, instead of going to the sinks. Flush hands it on; a capture that
// ends unflushed drops it. Captures nest.
class MessageCapture {
 public:
  MessageCapture();
  MessageCapture(const MessageCapture&) = delete;
  MessageCapture& operator=(const MessageCapture&) = delete;
  ~MessageCapture();

  // Hands what was kept to the sinks, in order, and stops keeping.
  void Flush();
  // Stops keeping on the thread that made the capture; what was kept waits
  // for a Flush, which may come from another thread.
  void Stop() { Release(); }

 private:
  friend void ReportError(const std::string& text);
  friend void ReportWarning(const std::string& text);
  friend void ReportProgress(int percent, const char* text);
  friend void ReportProgressOf(int done, const int* total, const char* text);
  enum Kind { kError, kWarning, kProgress };
  struct Entry {
    Kind What;
    int Percent;         // or the count done, when Total is set
    const int* Total;    // null: Percent is the percentage
    std::string Text;
  };
  // Keeps a report in this thread's capture, if one is held; true when kept.
  static bool Hold(Entry entry);
  void Release();

  std::vector<Entry> entries_;
  MessageCapture* previous_;
  bool active_ = true;
};

}  // namespace zor
