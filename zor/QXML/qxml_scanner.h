// Scanner of the XML library: turns the reader's bytes into tokens with a
// five-state scanner (longest match wins, earlier rule on ties); token texts
// are handed out as code page text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "zor/QXML/qxml_reader.h"
#include "zor/QXML/qxml_types.h"

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

  // encoding is read at every token: UTF-8 token texts are converted.
  TQXMLlex(TQXMLReader& reader, const QXMLEncoding& encoding);

  // Next token code. Raises the reading errors through the document.
  int Next();
  // In content: a whole element without attributes whose text holds no markup
  // or references, "<name>text</name>" after optional white space, read in
  // one step. True when the input there is such an element, plain ASCII and
  // already read in; the tokens it stands for would give the same name and
  // text. False leaves the position as it was.
  bool NextLeaf(std::string_view& name, std::string_view& text);
  // Text of the last text-carrying token, in the code page; valid until the
  // next call of Next.
  std::string_view Text() const { return text_; }
  State GetState() const { return state_; }
  // Input bytes before the scan position (a UTF-8 byte-order mark not counted).
  uint64_t Offset() const { return consumed_ + pos_; }
  // Off: every token goes through the general scanner (tests compare both).
  void SetFastPath(bool on) { fastPath_ = on; }

 private:
  struct Match {
    enum Kind : uint8_t { Token, Skip, Error, End } kind = Error;
    int token = 0;
    size_t length = 0;
    const char* textBegin = nullptr;
    const char* textEnd = nullptr;
    bool switches = false;
    State next = State::Tag;
  };
  struct Opening;

  int NextCommon();
  // The general scanner and its rules.
  Match Scan(const char* p) const;
  Opening ScanOpening(const char* p) const;
  Match ScanTag(const char* p) const;
  Match ScanBody(const char* p, const Opening& o, const char* bodyEnd, int token, const char* close) const;
  const char* CommentEnd(const char* p) const;
  const char* InstructionEnd(const char* p) const;
  const char* DocTypeEnd(const char* p) const;
  static Match FromOpening(const Opening& o);
  static Match Token(int code, const char* begin, const char* end, size_t length);
  static Match Skip(size_t length);
  static Match Switch(Match m, State next);
  Match NoMatch(const char* p) const;
  // Character-level matching; each marks hitEnd_ when it looked at the end.
  void Stop(const char* q) const {
    if (q >= buffer_.data() + end_) hitEnd_ = true;
  }
  const char* SkipWs(const char* q) const;
  bool Lit(const char* q, const char* s) const;
  const char* ScanName(const char* q) const;
  size_t MatchRef(const char* q) const;
  const char* ScanText(const char* q, uint16_t cls) const;
  bool Refill();
  // Points text_ at the token text, converted to the code page when needed.
  void SetText(const char* begin, const char* end);
  [[noreturn]] void Fail(const std::string& what) const;

  TQXMLReader& reader_;
  const QXMLEncoding& encoding_;
  std::string buffer_;  // input read so far, followed by zero padding
  size_t end_ = 0;      // number of input bytes in buffer_
  size_t pos_ = 0;      // scan position
  uint64_t consumed_ = 0;  // input bytes dropped from the front of buffer_
  bool eof_ = false;
  State state_ = State::Tag;
  std::string_view text_;
  std::string converted_;
  mutable bool hitEnd_ = false;
  bool fastPath_ = true;
};

// Input offset where the last read on this thread stopped on an error; -1
// when it did not stop on one.
int64_t QXMLLastStopOffset();
void QXMLSetLastStopOffset(int64_t offset);
