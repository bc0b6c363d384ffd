// A read-only load on a second thread, so that the caller can read the outer
// elements of a document while the parser is still building the rest.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "zor/QXML/qxml_document.h"

// Loads a file into a document as LoadFromFileReadOnly does, on a thread of
// its own. The caller's thread gets the document's OnPercent events, in
// order, while it is in one of the functions below. Until Finish has
// returned, the caller may only read the elements these functions gave, and
// must not touch the document otherwise.
class ZOR_API TQXMLBackgroundLoad : private TQXMLLoadObserver {
 public:
  // Starts the load. When no thread can be started, loads before returning.
  TQXMLBackgroundLoad(TQXMLDocument& document, std::string fileName);
  TQXMLBackgroundLoad(const TQXMLBackgroundLoad&) = delete;
  TQXMLBackgroundLoad& operator=(const TQXMLBackgroundLoad&) = delete;
  // Ends the load early when Finish was not called, and waits for it.
  ~TQXMLBackgroundLoad() override;

  // The first child of the root element named name, without prefix, once it
  // has opened (whole: once it has closed); null when the load ends without.
  TQXMLNode* Outer(std::string_view name, bool whole);
  // Child index of outer, a child of the root, once that child has closed;
  // null when outer closes, or the load ends, with no more children.
  TQXMLNode* Child(const TQXMLNode* outer, int index);
  // Waits for the end of the load and returns what LoadFromFileReadOnly
  // returned (true: failed), or throws again what it threw. QXMLLastStopOffset
  // on this thread then tells where the parse stopped.
  bool Finish();

 private:
  // What the parsing thread tells, in order, through a log that only it
  // writes and only the caller's thread reads: entries are written before
  // the count that covers them is published, and never move.
  enum Kind : int32_t { kOuterOpened, kOuterClosed, kChildClosed, kPercent };
  struct Event {
    TQXMLNode* Node;
    Kind What;
    int32_t Percent;
  };
  static constexpr size_t kChunk = 4096;
  struct Chunk {
    Event Events[kChunk];
    Chunk* Next = nullptr;
  };

  // What the caller's thread has read of the log.
  struct OuterElement {
    TQXMLNode* Node;
    bool Closed = false;
    std::vector<TQXMLNode*> Children;
  };

  // Parsing thread.
  void Run();
  void Opened(TQXMLNode* element, int depth) override;
  void Closed(TQXMLNode* element, int depth) override;
  qxml_pages::RegionStock* Stock() override { return &stock_; }
  void Append(TQXMLNode* node, Kind what, int32_t percent = 0);
  void WakeReader();

  // Caller's thread: reads what the log has gained, handing percent events
  // to the document's handler; waits first when it has gained nothing.
  void Advance(bool wait);
  void Join();

  TQXMLDocument& document_;
  std::string fileName_;
  TQXMLDocument::PercentEvent onPercent_;  // the caller's handler

  static constexpr size_t kBatch = 16;
  std::unique_ptr<Chunk> first_;
  // The parser writes these; the reader reads them.
  alignas(64) std::atomic<size_t> published_{0};  // events the reader may read
  std::atomic<bool> done_{false};                 // the parse has ended
  // The reader writes these, seldom; the parser reads them.
  alignas(64) std::atomic<bool> hungry_{false};   // the reader has read every event
  std::atomic<bool> blocked_{false};              // the reader sleeps on changed_
  alignas(64) std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
  qxml_pages::RegionStock stock_;  // kept filled by the caller's thread
  // Written by the parsing thread before done_ is set.
  bool failed_ = true;
  std::exception_ptr error_;
  int64_t stopOffset_ = -1;
  size_t written_ = 0;  // parsing thread's count of events
  Chunk* writeChunk_;

  // Caller's thread.
  size_t read_ = 0;
  Chunk* readChunk_;
  std::vector<OuterElement> outer_;
  size_t lastOuter_ = 0;  // where Child found its outer element last
  bool finished_ = false;

  std::thread thread_;  // last: starts once the fields above are ready
};
