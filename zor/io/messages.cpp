#include "zor/io/messages.h"

namespace zor {
namespace {
Sinks g_sinks;
thread_local MessageCapture* t_capture = nullptr;
}  // namespace

bool MessageCapture::Hold(Entry entry) {
  if (MessageCapture* capture = t_capture) {
    capture->entries_.push_back(std::move(entry));
    return true;
  }
  return false;
}

Sinks GetSinks() { return g_sinks; }
void SetSinks(const Sinks& sinks) { g_sinks = sinks; }

void ReportError(const std::string& text) {
  if (MessageCapture::Hold({MessageCapture::kError, 0, nullptr, text})) return;
  if (g_sinks.Error) g_sinks.Error(text.c_str());
}

void ReportWarning(const std::string& text) {
  if (MessageCapture::Hold({MessageCapture::kWarning, 0, nullptr, text})) return;
  if (g_sinks.Warning) g_sinks.Warning(text.c_str());
}

void ReportProgress(int percent, const char* text) {
  if (!g_sinks.Progress) return;
  if (MessageCapture::Hold({MessageCapture::kProgress, percent, nullptr, text})) return;
  g_sinks.Progress(percent, text);
}

void ReportProgressPastCapture(int percent, const char* text) {
  if (!g_sinks.Progress) return;
  // What the host's handler reports in turn is not held either.
  struct Lift {
    MessageCapture* held = t_capture;
    Lift() { t_capture = nullptr; }
    ~Lift() { t_capture = held; }
  } lift;
  g_sinks.Progress(percent, text);
}

void ReportProgressOf(int done, const int* total, const char* text) {
  if (!g_sinks.Progress) return;
  if (MessageCapture::Hold({MessageCapture::kProgress, done, total, text})) return;
  g_sinks.Progress(*total > 0 ? done * 100 / *total : 0, text);
}

MessageCapture::MessageCapture() : previous_(t_capture) { t_capture = this; }

MessageCapture::~MessageCapture() { Release(); }

void MessageCapture::Release() {
  if (!active_) return;
  active_ = false;
  t_capture = previous_;
}

void MessageCapture::Flush() {
  Release();
  std::vector<Entry> entries;
  entries.swap(entries_);
  for (const Entry& entry : entries) {
    switch (entry.What) {
      case kError:
        ReportError(entry.Text);
        break;
      case kWarning:
        ReportWarning(entry.Text);
        break;
      case kProgress:
        if (entry.Total)
          ReportProgressOf(entry.Percent, entry.Total, entry.Text.c_str());
        else
          ReportProgress(entry.Percent, entry.Text.c_str());
        break;
    }
  }
}

}  // namespace zor
