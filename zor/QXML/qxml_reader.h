// Reader of the XML library: delivers the input in chunks, detects a UTF-8
// byte-order mark, drops everything after the last '>' of the input and
// reports progress.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

class TQXMLReader {
 public:
  static constexpr int kChunkSize = 327680;
  using PercentEvent = std::function<void(int percent)>;

  // A stream that cannot seek is read into memory first. onPercent receives
  // the progress in steps of five.
  TQXMLReader(std::istream& stream, PercentEvent onPercent);
  ~TQXMLReader();

  // True when the input starts with a UTF-8 byte-order mark (it is skipped).
  bool Utf8Bom() const { return utf8Bom_; }
  // Appends up to maxBytes to out; returns the number of bytes kept, 0 at the end.
  int ReadChunk(std::string& out, int maxBytes);

 private:
  // Skips a UTF-8 byte-order mark at the very start of the input.
  void SkipBom();

  std::istream* stream_;
  std::unique_ptr<std::istream> owned_;
  PercentEvent onPercent_;
  int64_t size_ = 0;
  int64_t position_ = 0;
  bool utf8Bom_ = false;
};
