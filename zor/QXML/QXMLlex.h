// Reader and scanner of the XML library.
//
// TQXMLReader delivers the input in chunks: it detects a UTF-8 byte-order
// mark, drops everything after the last '>' of the input and reports
// progress. TQXMLlex turns the bytes into tokens with a five-state scanner
// (longest match wins, earlier rule on ties); token texts are handed out as
// code page text.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

class TQXMLDocument;

// Common base of the reader and the writer: the document and its stream.
class TQXMLIO {
 public:
  explicit TQXMLIO(TQXMLDocument& document) : document_(document) {}
  TQXMLDocument& Document() const { return document_; }

 protected:
  TQXMLDocument& document_;
};

class TQXMLReader : public TQXMLIO {
 public:
  static constexpr int kChunkSize = 327680;

  // A stream that cannot seek is read into memory first.
  TQXMLReader(std::istream& stream, TQXMLDocument& document);
  ~TQXMLReader();

  // Appends up to maxBytes to out; returns the number of bytes kept, 0 at the end.
  int ReadChunk(std::string& out, int maxBytes);

 private:
  std::istream* stream_;
  std::unique_ptr<std::istream> owned_;
  int64_t size_ = 0;
  int64_t position_ = 0;
};

// Token codes.
enum : int {
  kTokEnd = 0,
  kTokInstruction = 258,
  kTokComment = 259,
  kTokDocType = 260,
  kTokName = 261,
  kTokValue = 262,
  kTokData = 263,
  kTokStartTag = 264,
  kTokEndTag = 265,
  kTokSlash = 266,
  kTokClose = 267,
  kTokEquals = 268,
};

class TQXMLlex {
 public:
  enum class State : uint8_t { Tag, Content, Comment, Instruction, DocType };
  static constexpr size_t kBufferSize = 655360;

  explicit TQXMLlex(TQXMLReader& reader);

  // Next token code. Raises the reading errors through the document.
  int Next();
  // Text of the last text-carrying token, in the code page; valid until the
  // next call of Next.
  std::string_view Text() const { return text_; }
  State GetState() const { return state_; }
  // Input bytes before the scan position (a UTF-8 byte-order mark not counted).
  uint64_t Offset() const { return consumed_ + pos_; }

 private:
  struct Match;
  Match Scan(const char* p) const;
  bool Refill();
  // Points text_ at the token text, converted to the code page when needed.
  void SetText(const char* begin, const char* end);
  [[noreturn]] void Fail(const std::string& what) const;

  TQXMLReader& reader_;
  std::string buffer_;  // input read so far, followed by zero padding
  size_t end_ = 0;      // number of input bytes in buffer_
  size_t pos_ = 0;      // scan position
  uint64_t consumed_ = 0;  // input bytes dropped from the front of buffer_
  bool eof_ = false;
  State state_ = State::Tag;
  std::string_view text_;
  std::string converted_;
  mutable bool hitEnd_ = false;
};

// Input offset where the last read on this thread stopped on an error; -1
// when it did not stop on one.
int64_t QXMLLastStopOffset();
void QXMLSetLastStopOffset(int64_t offset);
