#include "zor/QXML/qxml_background_load.h"

#include <system_error>

#include "zor/QXML/qxml_node.h"
#include "zor/QXML/qxml_scanner.h"

#if defined(__i386__) || defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

// Tells the processor that this is a wait loop.
inline void Pause() {
#if defined(__i386__) || defined(__x86_64__)
  _mm_pause();
#endif
}

}  // namespace

TQXMLBackgroundLoad::TQXMLBackgroundLoad(TQXMLDocument& document, std::string fileName)
    : document_(document),
      fileName_(std::move(fileName)),
      onPercent_(std::move(document.OnPercent)),
      first_(std::make_unique<Chunk>()),
      writeChunk_(first_.get()),
      readChunk_(first_.get()) {
  document_.OnPercent = [this](TQXMLDocument*, int percent) { Append(nullptr, kPercent, percent); };
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    Run();
  }
}

TQXMLBackgroundLoad::~TQXMLBackgroundLoad() {
  if (!finished_) stop_ = true;
  Join();
  // The chunks after the first, iteratively.
  for (Chunk* chunk = first_->Next; chunk;) {
    Chunk* next = chunk->Next;
    delete chunk;
    chunk = next;
  }
}

void TQXMLBackgroundLoad::Join() {
  if (thread_.joinable()) thread_.join();
  if (!finished_) {
    finished_ = true;
    document_.OnPercent = std::move(onPercent_);
  }
}

// ---------------------------------------------------------------------------
// Parsing thread

void TQXMLBackgroundLoad::Run() {
  try {
    failed_ = document_.LoadFromFileReadOnly(fileName_, this);
  } catch (...) {
    error_ = std::current_exception();
  }
  stopOffset_ = QXMLLastStopOffset();
  published_.store(written_);
  done_ = true;
  WakeReader();
}

void TQXMLBackgroundLoad::Opened(TQXMLNode* element, int depth) {
  if (stop_) throw QXMLException("Break.");
  if (depth == 1) Append(element, kOuterOpened);
}

void TQXMLBackgroundLoad::Closed(TQXMLNode* element, int depth) {
  if (stop_) throw QXMLException("Break.");
  Append(element, depth == 1 ? kOuterClosed : kChildClosed);
}

void TQXMLBackgroundLoad::Append(TQXMLNode* node, Kind what, int32_t percent) {
  size_t at = written_ % kChunk;
  if (at == 0 && written_ > 0) {
    // The link is read only after the count that covers the new chunk.
    writeChunk_->Next = new Chunk;
    writeChunk_ = writeChunk_->Next;
  }
  writeChunk_->Events[at] = Event{node, what, percent};
  ++written_;
  // Each hand-over costs the reader's copy of the count's line, so events go
  // over in batches, or at once when the reader has run out of them.
  if (written_ - published_.load(std::memory_order_relaxed) < kBatch && what == kChildClosed &&
      !hungry_.load(std::memory_order_relaxed))
    return;
  published_.store(written_);
  WakeReader();
}

void TQXMLBackgroundLoad::WakeReader() {
  // published_ and done_ are stored before blocked_ is read, and the reader
  // stores blocked_ before it reads them: one side sees the other.
  if (!blocked_.load()) return;
  const std::lock_guard<std::mutex> lock(mutex_);
  changed_.notify_one();
}

// ---------------------------------------------------------------------------
// Caller's thread

void TQXMLBackgroundLoad::Advance(bool wait) {
  size_t published = published_.load(std::memory_order_acquire);
  // The parser's next region of fresh pages is mapped here, in time the
  // reader mostly has to spare, rather than on the parser's thread.
  if (!done_.load(std::memory_order_relaxed)) {
    stock_.Fill();
    published = published_.load(std::memory_order_acquire);
  }
  if (wait && published == read_ && !done_.load()) {
    // The reader is usually close behind the parser: a short spin finds the
    // next events without two system calls.
    hungry_.store(true, std::memory_order_relaxed);
    for (int spin = 0; spin < 20000 && published == read_ && !done_.load(std::memory_order_acquire); ++spin) {
      Pause();
      published = published_.load(std::memory_order_acquire);
    }
    if (published == read_ && !done_.load()) {
      std::unique_lock<std::mutex> lock(mutex_);
      blocked_ = true;
      changed_.wait(lock, [&] { return published_.load() != read_ || done_.load(); });
      blocked_ = false;
      published = published_.load(std::memory_order_acquire);
    }
    hungry_.store(false, std::memory_order_relaxed);
  }
  for (; read_ < published; ++read_) {
    const size_t at = read_ % kChunk;
    if (at == 0 && read_ > 0) readChunk_ = readChunk_->Next;
    const Event& event = readChunk_->Events[at];
    switch (event.What) {
      case kOuterOpened:
        outer_.push_back(OuterElement{event.Node, false, {}});
        break;
      case kOuterClosed:
        outer_.back().Closed = true;
        break;
      case kChildClosed:
        outer_.back().Children.push_back(event.Node);
        break;
      case kPercent:
        if (onPercent_) onPercent_(&document_, event.Percent);
        break;
    }
  }
}

TQXMLNode* TQXMLBackgroundLoad::Outer(std::string_view name, bool whole) {
  Advance(false);
  for (size_t i = 0;;) {
    for (; i < outer_.size(); ++i) {
      const TQXMLNode* node = outer_[i].Node;
      if (node->Prefix.empty() && node->LocalName == name) break;
    }
    if (i < outer_.size() && (!whole || outer_[i].Closed)) return outer_[i].Node;
    if (done_ && published_ == read_) return nullptr;
    Advance(true);
  }
}

TQXMLNode* TQXMLBackgroundLoad::Child(const TQXMLNode* outer, int index) {
  Advance(false);
  if (lastOuter_ >= outer_.size() || outer_[lastOuter_].Node != outer) {
    lastOuter_ = 0;
    while (lastOuter_ < outer_.size() && outer_[lastOuter_].Node != outer) ++lastOuter_;
    if (lastOuter_ == outer_.size()) return nullptr;
  }
  const size_t at = static_cast<size_t>(index);
  for (;;) {
    // outer_ may grow while this waits; the entry is found again by number.
    const OuterElement& entry = outer_[lastOuter_];
    if (at < entry.Children.size()) return entry.Children[at];
    if (entry.Closed || (done_ && published_ == read_)) return nullptr;
    Advance(true);
  }
}

bool TQXMLBackgroundLoad::Finish() {
  while (!done_ || published_ != read_) Advance(true);
  Join();
  QXMLSetLastStopOffset(stopOffset_);
  if (error_) std::rethrow_exception(error_);
  return failed_;
}
