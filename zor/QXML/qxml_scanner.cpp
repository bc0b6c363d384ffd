#include "zor/QXML/qxml_scanner.h"

#include <array>
#include <cstring>
#include <stdexcept>

#include "zor/QXML/qxml_text.h"

// ---------------------------------------------------------------------------
// Scanner

namespace {

enum CharClass : uint16_t {
  kWs = 1 << 0,         // space, tab, CR, LF
  kNameStart = 1 << 1,  // letter, '_', 0x80..0xFF
  kNameChar = 1 << 2,   // name start, digit, '-', '.'
  kText = 1 << 3,       // content: anything but '<', '&', NUL
  kDqText = 1 << 4,     // double-quoted value: anything but '"', '&', NUL
  kSqText = 1 << 5,     // single-quoted value: anything but '\'', '&', NUL
  kLetter = 1 << 6,     // ASCII letter
  kDigit = 1 << 7,
  kHex = 1 << 8,
  kDocText = 1 << 9,    // DOCTYPE body: anything but '>' and NUL
};

constexpr std::array<uint16_t, 256> MakeClassTable() {
  std::array<uint16_t, 256> t{};
  for (int c = 0; c < 256; ++c) {
    uint16_t v = 0;
    bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    bool digit = c >= '0' && c <= '9';
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') v |= kWs;
    if (letter || c == '_' || c >= 0x80) v |= kNameStart | kNameChar;
    if (digit || c == '-' || c == '.') v |= kNameChar;
    if (c != '<' && c != '&' && c != 0) v |= kText;
    if (c != '"' && c != '&' && c != 0) v |= kDqText;
    if (c != '\'' && c != '&' && c != 0) v |= kSqText;
    if (letter) v |= kLetter;
    if (digit) v |= kDigit | kHex;
    if ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')) v |= kHex;
    if (c != '>' && c != 0) v |= kDocText;
    t[c] = v;
  }
  return t;
}
constexpr std::array<uint16_t, 256> kClass = MakeClassTable();

inline bool Is(const char* p, uint16_t cls) { return kClass[static_cast<unsigned char>(*p)] & cls; }

// The end of the colon-free part of the name that starts at q.
inline const char* NameRun(const char* q) {
  ++q;
  while (Is(q, kNameChar)) ++q;
  return q;
}

}  // namespace


TQXMLlex::TQXMLlex(TQXMLReader& reader, const QXMLEncoding& encoding) : reader_(reader), encoding_(encoding) {
  buffer_.assign(16, '\0');
}

void TQXMLlex::Fail(const std::string& what) const { throw std::runtime_error("XML error: " + what); }

namespace {
thread_local int64_t t_lastStopOffset = -1;
}  // namespace

int64_t QXMLLastStopOffset() { return t_lastStopOffset; }
void QXMLSetLastStopOffset(int64_t offset) { t_lastStopOffset = offset; }

bool TQXMLlex::Refill() {
  // Keep only the token in progress; the rest has been consumed.
  const size_t residual = end_ - pos_;
  if (pos_ > 0) std::memmove(buffer_.data(), buffer_.data() + pos_, residual);
  buffer_.resize(residual);
  end_ = residual;
  consumed_ += pos_;
  pos_ = 0;
  // The scanner buffer holds kBufferSize bytes, two of them for end markers.
  const long room = static_cast<long>(kBufferSize) - static_cast<long>(residual) - 2;
  if (room <= 0) Fail("fatal error - scanner input buffer overflow");
  const int want = room < TQXMLReader::kChunkSize ? static_cast<int>(room) : TQXMLReader::kChunkSize;
  const int got = reader_.ReadChunk(buffer_, want);
  end_ = buffer_.size();
  buffer_.append(16, '\0');
  if (got <= 0) eof_ = true;
  return got > 0;
}

// ---------------------------------------------------------------------------
// Character-level matching. Every loop stops at a NUL at the latest: the
// padding after the input is NUL. A helper that looks at the input's end
// marks hitEnd_, since more input might change the match; Next then reads on
// and scans again.

const char* TQXMLlex::SkipWs(const char* q) const {
  while (Is(q, kWs)) ++q;
  Stop(q);
  return q;
}

bool TQXMLlex::Lit(const char* q, const char* s) const {
  for (; *s; ++q, ++s) {
    if (*q != *s) {
      Stop(q);
      return false;
    }
  }
  return true;
}

const char* TQXMLlex::ScanName(const char* q) const {  // q at a name start
  q = NameRun(q);
  if (*q == ':') {
    if (Is(q + 1, kNameStart)) {
      q += 2;
      while (Is(q, kNameChar)) ++q;
    }
    Stop(q + 1);
  }
  Stop(q);
  return q;
}

size_t TQXMLlex::MatchRef(const char* q) const {  // q at '&'
  const char* r = q + 1;
  const char* first;
  if (*r == '#') {
    ++r;
    const uint16_t cls = *r == 'x' ? kHex : kDigit;
    if (*r == 'x') ++r;
    first = r;
    while (Is(r, cls)) ++r;
  } else {
    first = r;
    while (Is(r, kLetter)) ++r;
  }
  if (r == first || *r != ';') {
    Stop(r);
    return 0;
  }
  return static_cast<size_t>(r + 1 - q);
}

const char* TQXMLlex::ScanText(const char* q, uint16_t cls) const {  // runs of cls or complete references
  for (;;) {
    while (Is(q, cls)) ++q;
    if (*q == '&') {
      if (size_t n = MatchRef(q)) {
        q += n;
        continue;
      }
    }
    Stop(q);
    return q;
  }
}

// ---------------------------------------------------------------------------
// The general scanner: one rule set per state, longest match wins, the
// earlier rule on ties.

namespace {
// A tag opening (white space, '<', ...), which applies in every state.
enum class Open : uint8_t { None, StartTag, EndTag, DocType, Instruction, Comment };
}  // namespace

struct TQXMLlex::Opening {
  Open kind = Open::None;
  size_t length = 0;
  const char* nameBegin = nullptr;
  const char* nameEnd = nullptr;
};

TQXMLlex::Opening TQXMLlex::ScanOpening(const char* p) const {
  Opening o;
  const char* q = SkipWs(p);
  if (*q != '<') return o;
  ++q;
  if (*q == '!') {
    if (Lit(q + 1, "--")) {
      o.kind = Open::Comment;
      q += 3;
    } else if (Lit(q + 1, "DOCTYPE")) {
      o.kind = Open::DocType;
      q = SkipWs(q + 8);
    }
  } else if (*q == '?') {
    o.kind = Open::Instruction;
    q = SkipWs(q + 1);
  } else {
    q = SkipWs(q);
    if (*q == '/') {
      o.kind = Open::EndTag;
      ++q;
    } else if (Is(q, kNameStart)) {
      o.kind = Open::StartTag;
      o.nameBegin = q;
      q = o.nameEnd = ScanName(q);
    }
  }
  if (o.kind != Open::None) o.length = static_cast<size_t>(q - p);
  return o;
}

TQXMLlex::Match TQXMLlex::Token(int code, const char* begin, const char* end, size_t length) {
  Match m;
  m.kind = Match::Token;
  m.token = code;
  m.textBegin = begin;
  m.textEnd = end;
  m.length = length;
  return m;
}

TQXMLlex::Match TQXMLlex::Skip(size_t length) {
  Match m;
  m.kind = Match::Skip;
  m.length = length;
  return m;
}

TQXMLlex::Match TQXMLlex::Switch(Match m, State next) {
  m.switches = true;
  m.next = next;
  return m;
}

TQXMLlex::Match TQXMLlex::NoMatch(const char* p) const {
  Match m;
  if (p >= buffer_.data() + end_) {
    m.kind = Match::End;
  } else {
    m.kind = Match::Error;
    m.length = 1;
  }
  return m;
}

TQXMLlex::Match TQXMLlex::FromOpening(const Opening& o) {
  switch (o.kind) {
    case Open::StartTag: return Switch(Token(kTokStartTag, o.nameBegin, o.nameEnd, o.length), State::Tag);
    case Open::EndTag: return Switch(Token(kTokEndTag, nullptr, nullptr, o.length), State::Tag);
    case Open::DocType: return Switch(Skip(o.length), State::DocType);
    case Open::Instruction: return Switch(Skip(o.length), State::Instruction);
    case Open::Comment: return Switch(Skip(o.length), State::Comment);
    case Open::None: break;
  }
  return Match();
}

TQXMLlex::Match TQXMLlex::ScanTag(const char* p) const {
  const char* q = SkipWs(p);
  if (q > p) return Skip(static_cast<size_t>(q - p));
  switch (*p) {
    case '/': return Token(kTokSlash, nullptr, nullptr, 1);
    case '=': return Token(kTokEquals, nullptr, nullptr, 1);
    case '>': return Switch(Token(kTokClose, nullptr, nullptr, 1), State::Content);
    case '"':
    case '\'': {
      const char* e = ScanText(p + 1, *p == '"' ? kDqText : kSqText);
      if (*e != *p) return NoMatch(p);
      return Token(kTokValue, p, e + 1, static_cast<size_t>(e + 1 - p));
    }
    default:
      if (!Is(p, kNameStart)) return NoMatch(p);
      const char* e = ScanName(p);
      return Token(kTokName, p, e, static_cast<size_t>(e - p));
  }
}

// Comment, instruction and DOCTYPE bodies: the text up to bodyEnd, unless a
// tag opening at least as long wins; an empty body means the closing text.
TQXMLlex::Match TQXMLlex::ScanBody(const char* p, const Opening& o, const char* bodyEnd, int token,
                                   const char* close) const {
  const size_t body = static_cast<size_t>(bodyEnd - p);
  if (o.length > 0 && o.length >= body) return FromOpening(o);
  if (body > 0) return Token(token, p, bodyEnd, body);
  if (Lit(p, close)) return Switch(Skip(std::strlen(close)), State::Tag);
  return NoMatch(p);
}

const char* TQXMLlex::CommentEnd(const char* p) const {
  // The body runs up to a "-->" that follows a character other than '-'.
  const char* q = p;
  for (;;) {
    while (*q != '-' && *q != 0) ++q;
    if (*q == 0) {
      Stop(q);
      return q;
    }
    if (q[1] == '-' && q[2] == '>' && (q == p || q[-1] != '-')) return q;
    Stop(q + 2);
    ++q;
  }
}

const char* TQXMLlex::InstructionEnd(const char* p) const {
  const char* q = p;
  for (;;) {
    while (*q != '?' && *q != 0) ++q;
    if (*q == 0) {
      Stop(q);
      return q;
    }
    if (q[1] == '>') return q;
    Stop(q + 1);
    ++q;
  }
}

const char* TQXMLlex::DocTypeEnd(const char* p) const {
  const char* q = p;
  while (Is(q, kDocText)) ++q;
  Stop(q);
  return q;
}

TQXMLlex::Match TQXMLlex::Scan(const char* p) const {
  const Opening o = *p == '<' || Is(p, kWs) ? ScanOpening(p) : Opening();
  switch (state_) {
    case State::Tag:
      return o.length > 0 ? FromOpening(o) : ScanTag(p);
    case State::Content: {
      if (o.length > 0) return FromOpening(o);  // always longer than the data before the '<'
      const char* e = ScanText(p, kText);
      return e > p ? Token(kTokData, p, e, static_cast<size_t>(e - p)) : NoMatch(p);
    }
    case State::Comment: return ScanBody(p, o, CommentEnd(p), kTokComment, "-->");
    case State::Instruction: return ScanBody(p, o, InstructionEnd(p), kTokInstruction, "?>");
    case State::DocType: return ScanBody(p, o, DocTypeEnd(p), kTokDocType, ">");
  }
  return NoMatch(p);
}

// ---------------------------------------------------------------------------
// Tokens

void TQXMLlex::SetText(const char* begin, const char* end) {
  text_ = std::string_view(begin, static_cast<size_t>(end - begin));
  if (encoding_ != QXMLEncUTF8) return;
  for (unsigned char c : text_) {
    if (c >= 0x80) {
      converted_ = CodePageFromUtf8(text_);
      text_ = converted_;
      return;
    }
  }
}

// The commonest tokens, matched directly: a tag's '>' and attribute names,
// start- and end-tag openings, and data up to the next '<'. Gives exactly
// what Scan gives for them, or -1 to leave the token (and anything near the
// end of the input) to Scan.
inline int TQXMLlex::NextCommon() {
  const char* p = buffer_.data() + pos_;
  const char* const end = buffer_.data() + end_;
  if (state_ == State::Tag) {
    if (*p == '>') {
      ++pos_;
      state_ = State::Content;
      text_ = std::string_view();
      return kTokClose;
    }
    if (Is(p, kNameStart)) {
      const char* q = NameRun(p);
      if (*q != ':' && q < end) {
        pos_ = static_cast<size_t>(q - buffer_.data());
        SetText(p, q);
        return kTokName;
      }
    }
  }
  if (state_ == State::Tag || state_ == State::Content) {
    // Optional white space, '<', optional white space, then '/' or a
    // name without a colon: an end-tag or start-tag opening.
    const char* q = p;
    while (Is(q, kWs)) ++q;
    if (*q == '<' && q < end && q[1] != '!' && q[1] != '?') {
      const char* r = q + 1;
      while (Is(r, kWs)) ++r;
      if (r < end) {
        if (*r == '/') {
          pos_ = static_cast<size_t>(r + 1 - buffer_.data());
          state_ = State::Tag;
          text_ = std::string_view();
          return kTokEndTag;
        }
        if (Is(r, kNameStart)) {
          const char* e = NameRun(r);
          if (*e != ':' && e < end) {
            pos_ = static_cast<size_t>(e - buffer_.data());
            state_ = State::Tag;
            SetText(r, e);
            return kTokStartTag;
          }
        }
      }
    }
  }
  if (state_ == State::Content && Is(p, kText) && !Is(p, kWs)) {
    const char* q = p + 1;
    while (Is(q, kText)) ++q;
    if (*q == '<' && q < end) {
      pos_ = static_cast<size_t>(q - buffer_.data());
      SetText(p, q);
      return kTokData;
    }
  }
  return -1;
}

bool TQXMLlex::NextLeaf(std::string_view& name, std::string_view& text) {
  if (!fastPath_ || state_ != State::Content) return false;
  const char* const end = buffer_.data() + end_;
  const char* q = buffer_.data() + pos_;
  while (Is(q, kWs)) ++q;
  if (*q != '<' || !Is(q + 1, kNameStart)) return false;
  const char* nameBegin = q + 1;
  const char* nameEnd = NameRun(nameBegin);
  if (*nameEnd != '>') return false;
  for (const char* c = nameBegin; c < nameEnd; ++c)
    if (static_cast<unsigned char>(*c) >= 0x80) return false;
  // Text that starts with white space, or holds references or bytes that a
  // conversion may change, takes the general way.
  const char* textBegin = nameEnd + 1;
  if (Is(textBegin, kWs)) return false;
  const char* textEnd = textBegin;
  while (*textEnd != '<' && *textEnd != '&' && *textEnd != 0 && static_cast<unsigned char>(*textEnd) < 0x80)
    ++textEnd;
  const size_t length = static_cast<size_t>(nameEnd - nameBegin);
  const char* close = textEnd + 2 + length;  // the end tag's '>'
  if (*textEnd != '<' || textEnd[1] != '/' || close >= end ||
      std::memcmp(textEnd + 2, nameBegin, length) != 0 || *close != '>')
    return false;
  name = std::string_view(nameBegin, length);
  text = std::string_view(textBegin, static_cast<size_t>(textEnd - textBegin));
  text_ = std::string_view();
  pos_ = static_cast<size_t>(close + 1 - buffer_.data());
  return true;
}

int TQXMLlex::Next() {
  if (fastPath_) {
    const int token = NextCommon();
    if (token >= 0) return token;
  }
  for (;;) {
    hitEnd_ = false;
    const char* p = buffer_.data() + pos_;
    Match m = Scan(p);
    if (hitEnd_ && !eof_) {
      Refill();
      continue;
    }
    switch (m.kind) {
      case Match::End:
        text_ = std::string_view();
        return kTokEnd;
      case Match::Error: {
        char c = *p;
        Fail(c == 0 ? std::string("Invalid string '\\0'") : std::string("Invalid string '") + c + "'");
      }
      case Match::Skip:
        pos_ += m.length;
        if (m.switches) state_ = m.next;
        continue;
      case Match::Token:
        pos_ += m.length;
        if (m.switches) state_ = m.next;
        if (m.textBegin)
          SetText(m.textBegin, m.textEnd);
        else
          text_ = std::string_view();
        return m.token;
    }
  }
}
