#include "zor/QXML/QXMLlex.h"

#include <array>
#include <cstring>
#include <istream>
#include <sstream>

#include "zor/QXML/QXMLDocument.h"
#include "zor/QXML/qxml_text.h"

// ---------------------------------------------------------------------------
// Reader

TQXMLReader::TQXMLReader(std::istream& stream, TQXMLDocument& document)
    : TQXMLIO(document), stream_(&stream) {
  std::streamoff start = stream.tellg();
  bool seekable = start >= 0 && stream.seekg(0, std::ios::end);
  std::streamoff end = seekable ? static_cast<std::streamoff>(stream.tellg()) : -1;
  if (seekable && end >= start) {
    stream.seekg(start);
    position_ = start;
    size_ = end;
    return;
  }
  // No size to measure progress and the end against: read it all first.
  stream.clear();
  auto copy = std::make_unique<std::stringstream>(std::ios::in | std::ios::out | std::ios::binary);
  *copy << stream.rdbuf();
  copy->seekg(0);
  size_ = static_cast<int64_t>(copy->str().size());
  position_ = 0;
  owned_ = std::move(copy);
  stream_ = owned_.get();
}

TQXMLReader::~TQXMLReader() = default;

int TQXMLReader::ReadChunk(std::string& out, int maxBytes) {
  std::istream& in = *stream_;
  if (position_ == 0 && size_ > 3) {
    char bom[3] = {};
    in.read(bom, 3);
    if (in.gcount() == 3 && static_cast<unsigned char>(bom[0]) == 0xEF &&
        static_cast<unsigned char>(bom[1]) == 0xBB && static_cast<unsigned char>(bom[2]) == 0xBF) {
      document_.Encoding = QXMLEncUTF8;
      position_ = 3;
    } else {
      in.clear();
      in.seekg(0);
    }
  }
  int64_t want = size_ - position_;
  if (want > maxBytes) want = maxBytes;
  if (want <= 0) return 0;
  const size_t start = out.size();
  out.resize(start + static_cast<size_t>(want));
  in.read(out.data() + start, want);
  const int64_t got = in.gcount();
  if (got < want) {
    if (in.bad()) TQXMLDocument::RaiseException("XML error: YY_INPUT() in flex scanner failed");
    size_ = position_ + got;  // the stream ended early: this is the last chunk
  }
  position_ += got;
  size_t kept = static_cast<size_t>(got);
  if (position_ >= size_) {
    // Nothing after the last '>' of the input is ever scanned.
    while (kept > 0 && out[start + kept - 1] != '>') --kept;
  }
  out.resize(start + kept);
  if (got > 0 && document_.OnPercent && size_ > 0) {
    int percent = static_cast<int>((position_ * 200 + size_) / (size_ * 2));
    if (percent % 5 == 0) document_.OnPercent(&document_, percent);
  }
  return static_cast<int>(kept);
}

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

enum class Open : uint8_t { None, StartTag, EndTag, DocType, Instruction, Comment };

}  // namespace

struct TQXMLlex::Match {
  enum Kind : uint8_t { Token, Skip, Error, End } kind = Error;
  int token = 0;
  size_t length = 0;
  const char* textBegin = nullptr;
  const char* textEnd = nullptr;
  bool switches = false;
  State next = State::Tag;
};

TQXMLlex::TQXMLlex(TQXMLReader& reader) : reader_(reader) { buffer_.assign(16, '\0'); }

namespace {
thread_local int64_t t_lastStopOffset = -1;
}  // namespace

int64_t QXMLLastStopOffset() { return t_lastStopOffset; }
void QXMLSetLastStopOffset(int64_t offset) { t_lastStopOffset = offset; }

void TQXMLlex::Fail(const std::string& what) const { TQXMLDocument::RaiseException("XML error: " + what); }

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

TQXMLlex::Match TQXMLlex::Scan(const char* p) const {
  const char* const end = buffer_.data() + end_;
  // Every loop below stops at a NUL at the latest; the padding after the
  // input is NUL. Reaching the input's end means more input might change
  // the match, which the caller resolves by reading on.
  auto stop = [&](const char* q) {
    if (q >= end) hitEnd_ = true;
  };
  auto lit = [&](const char* q, const char* s) {
    for (; *s; ++q, ++s) {
      if (*q != *s) {
        stop(q);
        return false;
      }
    }
    return true;
  };
  auto skipWs = [&](const char* q) {
    while (Is(q, kWs)) ++q;
    stop(q);
    return q;
  };
  auto scanName = [&](const char* q) {  // q at a name start
    ++q;
    while (Is(q, kNameChar)) ++q;
    if (*q == ':') {
      if (Is(q + 1, kNameStart)) {
        q += 2;
        while (Is(q, kNameChar)) ++q;
      }
      stop(q + 1);
    }
    stop(q);
    return q;
  };
  auto matchRef = [&](const char* q) -> size_t {  // q at '&'
    const char* r = q + 1;
    if (*r == '#') {
      ++r;
      const char* digits;
      if (*r == 'x') {
        digits = ++r;
        while (Is(r, kHex)) ++r;
      } else {
        digits = r;
        while (Is(r, kDigit)) ++r;
      }
      if (r == digits) {
        stop(r);
        return 0;
      }
    } else {
      const char* letters = r;
      while (Is(r, kLetter)) ++r;
      if (r == letters) {
        stop(r);
        return 0;
      }
    }
    if (*r != ';') {
      stop(r);
      return 0;
    }
    return static_cast<size_t>(r + 1 - q);
  };
  // Runs of class cls or complete references.
  auto scanText = [&](const char* q, uint16_t cls) {
    for (;;) {
      while (Is(q, cls)) ++q;
      if (*q == '&') {
        size_t n = matchRef(q);
        if (n) {
          q += n;
          continue;
        }
      }
      stop(q);
      return q;
    }
  };

  Match m;
  const char* nameBegin = nullptr;
  const char* nameEnd = nullptr;
  // Tag openings (white space, '<', ...) apply in every state.
  Open open = Open::None;
  size_t openLen = 0;
  if (*p == '<' || Is(p, kWs)) {
    const char* q = skipWs(p);
    if (*q == '<') {
      ++q;
      if (*q == '!') {
        if (lit(q + 1, "--")) {
          open = Open::Comment;
          q += 3;
        } else if (lit(q + 1, "DOCTYPE")) {
          open = Open::DocType;
          q = skipWs(q + 8);
        }
      } else if (*q == '?') {
        open = Open::Instruction;
        q = skipWs(q + 1);
      } else {
        q = skipWs(q);
        if (*q == '/') {
          open = Open::EndTag;
          ++q;
        } else if (Is(q, kNameStart)) {
          open = Open::StartTag;
          nameBegin = q;
          q = nameEnd = scanName(q);
        }
      }
      if (open != Open::None) openLen = static_cast<size_t>(q - p);
    }
  }

  auto token = [&](int code, const char* b, const char* e, size_t len) {
    m.kind = Match::Token;
    m.token = code;
    m.textBegin = b;
    m.textEnd = e;
    m.length = len;
  };
  auto toState = [&](State s) {
    m.switches = true;
    m.next = s;
  };
  auto fromOpen = [&]() {
    switch (open) {
      case Open::StartTag:
        token(kTokStartTag, nameBegin, nameEnd, openLen);
        toState(State::Tag);
        break;
      case Open::EndTag:
        token(kTokEndTag, nullptr, nullptr, openLen);
        toState(State::Tag);
        break;
      case Open::DocType:
      case Open::Instruction:
      case Open::Comment:
        m.kind = Match::Skip;
        m.length = openLen;
        toState(open == Open::DocType ? State::DocType
                                      : open == Open::Instruction ? State::Instruction : State::Comment);
        break;
      case Open::None:
        break;
    }
  };
  auto noMatch = [&]() {
    if (p >= end) {
      m.kind = Match::End;
    } else {
      m.kind = Match::Error;
      m.length = 1;
    }
  };

  switch (state_) {
    case State::Tag: {
      if (openLen > 0) {
        fromOpen();
        break;
      }
      const char* q = skipWs(p);
      if (q > p) {
        m.kind = Match::Skip;
        m.length = static_cast<size_t>(q - p);
        break;
      }
      switch (*p) {
        case '/': token(kTokSlash, nullptr, nullptr, 1); break;
        case '=': token(kTokEquals, nullptr, nullptr, 1); break;
        case '>':
          token(kTokClose, nullptr, nullptr, 1);
          toState(State::Content);
          break;
        case '"':
        case '\'': {
          const char* e = scanText(p + 1, *p == '"' ? kDqText : kSqText);
          if (*e == *p)
            token(kTokValue, p, e + 1, static_cast<size_t>(e + 1 - p));
          else
            noMatch();
          break;
        }
        default:
          if (Is(p, kNameStart)) {
            const char* e = scanName(p);
            token(kTokName, p, e, static_cast<size_t>(e - p));
          } else {
            noMatch();
          }
          break;
      }
      break;
    }
    case State::Content: {
      if (openLen > 0) {  // always longer than the data before the '<'
        fromOpen();
        break;
      }
      const char* e = scanText(p, kText);
      if (e > p)
        token(kTokData, p, e, static_cast<size_t>(e - p));
      else
        noMatch();
      break;
    }
    case State::Comment: {
      // The body runs up to a "-->" that follows a character other than '-'.
      const char* q = p;
      for (;;) {
        while (*q != '-' && *q != 0) ++q;
        if (*q == 0) {
          stop(q);
          break;
        }
        if (q[1] == '-' && q[2] == '>' && (q == p || q[-1] != '-')) break;
        stop(q + 2);
        ++q;
      }
      size_t body = static_cast<size_t>(q - p);
      if (openLen > 0 && openLen >= body) {
        fromOpen();
      } else if (body > 0) {
        token(kTokComment, p, q, body);
      } else if (lit(p, "-->")) {
        m.kind = Match::Skip;
        m.length = 3;
        toState(State::Tag);
      } else {
        noMatch();
      }
      break;
    }
    case State::Instruction: {
      const char* q = p;
      for (;;) {
        while (*q != '?' && *q != 0) ++q;
        if (*q == 0) {
          stop(q);
          break;
        }
        if (q[1] == '>') break;
        stop(q + 1);
        ++q;
      }
      size_t body = static_cast<size_t>(q - p);
      if (openLen > 0 && openLen >= body) {
        fromOpen();
      } else if (body > 0) {
        token(kTokInstruction, p, q, body);
      } else if (lit(p, "?>")) {
        m.kind = Match::Skip;
        m.length = 2;
        toState(State::Tag);
      } else {
        noMatch();
      }
      break;
    }
    case State::DocType: {
      const char* q = p;
      while (Is(q, kDocText)) ++q;
      stop(q);
      size_t body = static_cast<size_t>(q - p);
      if (openLen > 0 && openLen >= body) {
        fromOpen();
      } else if (body > 0) {
        token(kTokDocType, p, q, body);
      } else if (*p == '>') {
        m.kind = Match::Skip;
        m.length = 1;
        toState(State::Tag);
      } else {
        noMatch();
      }
      break;
    }
  }
  return m;
}

void TQXMLlex::SetText(const char* begin, const char* end) {
  text_ = std::string_view(begin, static_cast<size_t>(end - begin));
  if (reader_.Document().Encoding != QXMLEncUTF8) return;
  for (unsigned char c : text_) {
    if (c >= 0x80) {
      converted_ = CodePageFromUtf8(text_);
      text_ = converted_;
      return;
    }
  }
}

int TQXMLlex::Next() {
  // Fast paths for the commonest tokens; they give exactly what Scan gives
  // and leave every other case (and anything near the end of the input) to it.
  {
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
        const char* q = p + 1;
        while (Is(q, kNameChar)) ++q;
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
            const char* e = r + 1;
            while (Is(e, kNameChar)) ++e;
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
