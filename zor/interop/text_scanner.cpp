#include "zor/interop/text_scanner.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "zor/platform/codepage.h"

namespace ZOR_RAM::interop {

namespace {

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsLetter(unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }
// Bytes above 127 are code page letters in names.
bool IsIdentStart(unsigned char c) { return c == '_' || IsLetter(c) || c >= 0x80; }
bool IsIdentChar(unsigned char c) { return IsIdentStart(c) || IsDigit(c); }
bool IsHexDigit(unsigned char c) { return IsDigit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f'); }

// Length of the valid UTF-8 sequence at s (1..4), or 0.
int Utf8Length(std::string_view s, size_t i, char32_t* cp) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char c = b(i);
  int n;
  char32_t v;
  if (c < 0x80) { *cp = c; return 1; }
  if (c >= 0xC2 && c <= 0xDF) { n = 2; v = c & 0x1F; }
  else if (c >= 0xE0 && c <= 0xEF) { n = 3; v = c & 0x0F; }
  else if (c >= 0xF0 && c <= 0xF4) { n = 4; v = c & 0x07; }
  else return 0;
  if (i + n > s.size()) return 0;
  for (int k = 1; k < n; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    v = (v << 6) | (b(i + k) & 0x3F);
  }
  if ((n == 3 && v < 0x800) || (n == 4 && (v < 0x10000 || v > 0x10FFFF)) || (v >= 0xD800 && v <= 0xDFFF))
    return 0;
  *cp = v;
  return n;
}

}  // namespace

std::string DecodeSourceText(std::string_view bytes, bool* wasUtf8) {
  bool bom = bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF";
  if (bom) bytes.remove_prefix(3);
  // Without a byte-order mark, UTF-8 is assumed only when the bytes are valid
  // UTF-8 and Windows-1252 holds every character they spell: otherwise the
  // bytes are kept as they are, so that nothing is lost (and a file written
  // from such texts reads back the same).
  bool high = false, valid = true, representable = true;
  char32_t cp;
  for (size_t i = 0; i < bytes.size();) {
    int n = Utf8Length(bytes, i, &cp);
    if (n == 0) { valid = false; break; }
    high |= n > 1;
    if (n > 1 && (cp > 0xFFFF || zor::WideToCodePageByte(static_cast<char16_t>(cp)) == '?')) representable = false;
    i += static_cast<size_t>(n);
  }
  bool utf8 = bom || (valid && high && representable);
  if (wasUtf8) *wasUtf8 = utf8;
  if (!utf8 || !high) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    int n = Utf8Length(bytes, i, &cp);
    if (n == 0) {  // only with a byte-order mark before invalid bytes
      out += '?';
      ++i;
      continue;
    }
    out += cp < 0x80 ? static_cast<char>(cp)
                     : cp > 0xFFFF ? '?' : zor::WideToCodePageByte(static_cast<char16_t>(cp));
    i += static_cast<size_t>(n);
  }
  return out;
}

std::string DescribeToken(const Token& token) {
  switch (token.Kind) {
    case TokenKind::End: return "end of file";
    case TokenKind::Identifier: return "'" + std::string(token.Text) + "'";
    case TokenKind::Number: return "number " + std::string(token.Text);
    case TokenKind::String: return "a quoted string";
    case TokenKind::Punct: {
      unsigned char c = static_cast<unsigned char>(token.Text[0]);
      if (c < 0x20 || c == 0x7F) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "byte 0x%02X", c);
        return buf;
      }
      return "'" + std::string(token.Text) + "'";
    }
  }
  return "?";
}

TextScanner::TextScanner(std::string fileName, std::string_view text, ScannerOptions options)
    : FileName_(std::move(fileName)), Text_(text), Options_(options) {}

void TextScanner::Advance() {
  char c = Text_[Offset_++];
  if (c == '\n' || (c == '\r' && (Offset_ >= Text_.size() || Text_[Offset_] != '\n'))) {
    ++Pos_.Line;
    Pos_.Column = 1;
    LineHasToken_ = false;
  } else if (c != '\r') {
    ++Pos_.Column;
  }
}

void TextScanner::SkipSpace() {
  while (Offset_ < Text_.size()) {
    char c = Text_[Offset_];
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
      Advance();
    } else if (Options_.SlashComments && c == '/' && Offset_ + 1 < Text_.size() && Text_[Offset_ + 1] == '/') {
      while (Offset_ < Text_.size() && Text_[Offset_] != '\n' && Text_[Offset_] != '\r') Advance();
    } else if (Options_.SlashComments && c == '/' && Offset_ + 1 < Text_.size() && Text_[Offset_ + 1] == '*') {
      SourcePos start = Pos_;
      Advance();
      Advance();
      for (;;) {
        if (Offset_ >= Text_.size()) FailAt(start, "comment is not closed with */");
        if (Text_[Offset_] == '*' && Offset_ + 1 < Text_.size() && Text_[Offset_ + 1] == '/') {
          Advance();
          Advance();
          break;
        }
        Advance();
      }
    } else {
      break;
    }
  }
}

Token TextScanner::Scan() {
  SkipSpace();
  Token t;
  t.Pos = Pos_;
  t.FirstOnLine = !LineHasToken_;
  if (Offset_ >= Text_.size()) return t;
  LineHasToken_ = true;
  size_t start = Offset_;
  unsigned char c = static_cast<unsigned char>(Text_[Offset_]);
  if (c == '"') {
    Advance();
    size_t body = Offset_;
    for (;;) {
      if (Offset_ >= Text_.size()) FailAt(t.Pos, "string is not closed with '\"'");
      char d = Text_[Offset_];
      if (d == '\\' && Offset_ + 1 < Text_.size()) {
        Advance();
        Advance();
      } else if (d == '"') {
        break;
      } else {
        Advance();
      }
    }
    t.Kind = TokenKind::String;
    t.Text = Text_.substr(body, Offset_ - body);
    Advance();  // closing quote
    LineHasToken_ = true;  // a string over several lines ends on this one: what follows is not first
    return t;
  }
  if (IsDigit(c) || (c == '.' && Offset_ + 1 < Text_.size() && IsDigit(static_cast<unsigned char>(Text_[Offset_ + 1])))) {
    t.Kind = TokenKind::Number;
    if (c == '0' && Offset_ + 2 < Text_.size() && (Text_[Offset_ + 1] | 0x20) == 'x' &&
        IsHexDigit(static_cast<unsigned char>(Text_[Offset_ + 2]))) {
      Advance();
      Advance();
      while (Offset_ < Text_.size() && IsHexDigit(static_cast<unsigned char>(Text_[Offset_]))) Advance();
    } else {
      while (Offset_ < Text_.size() && IsDigit(static_cast<unsigned char>(Text_[Offset_]))) Advance();
      if (Offset_ < Text_.size() && Text_[Offset_] == '.') {
        Advance();
        while (Offset_ < Text_.size() && IsDigit(static_cast<unsigned char>(Text_[Offset_]))) Advance();
      }
      if (Offset_ < Text_.size() && (Text_[Offset_] | 0x20) == 'e') {
        size_t k = Offset_ + 1;
        if (k < Text_.size() && (Text_[k] == '+' || Text_[k] == '-')) ++k;
        if (k < Text_.size() && IsDigit(static_cast<unsigned char>(Text_[k]))) {
          while (Offset_ < k) Advance();
          while (Offset_ < Text_.size() && IsDigit(static_cast<unsigned char>(Text_[Offset_]))) Advance();
        }
      }
    }
    t.Text = Text_.substr(start, Offset_ - start);
    return t;
  }
  if (IsIdentStart(c)) {
    t.Kind = TokenKind::Identifier;
    while (Offset_ < Text_.size() && IsIdentChar(static_cast<unsigned char>(Text_[Offset_]))) Advance();
    t.Text = Text_.substr(start, Offset_ - start);
    return t;
  }
  t.Kind = TokenKind::Punct;
  Advance();
  t.Text = Text_.substr(start, 1);
  return t;
}

const Token& TextScanner::Peek() {
  if (!HavePeek_) {
    Peek_ = Scan();
    HavePeek_ = true;
  }
  return Peek_;
}

Token TextScanner::Next() {
  Token t = Peek();
  HavePeek_ = false;
  LastLine_ = t.Pos.Line;
  return t;
}

bool TextScanner::Accept(char punct) {
  if (!Peek().Is(punct)) return false;
  Next();
  return true;
}

bool TextScanner::AcceptWord(std::string_view word) {
  if (!Peek().IsWord(word)) return false;
  Next();
  return true;
}

Token TextScanner::Expect(char punct) {
  if (!Peek().Is(punct)) Fail(Peek(), std::string("'") + punct + "'");
  return Next();
}

Token TextScanner::ExpectWord(std::string_view word) {
  if (!Peek().IsWord(word)) Fail(Peek(), "'" + std::string(word) + "'");
  return Next();
}

Token TextScanner::ExpectIdentifier(std::string_view what) {
  if (Peek().Kind != TokenKind::Identifier) Fail(Peek(), what);
  return Next();
}

Token TextScanner::ExpectString(std::string_view what) {
  if (Peek().Kind != TokenKind::String) Fail(Peek(), what);
  return Next();
}

bool TextScanner::NumberValue(std::string_view text, double* value) {
  if (text.size() > 2 && text[0] == '0' && (text[1] | 0x20) == 'x') {
    uint64_t v = 0;
    auto r = std::from_chars(text.data() + 2, text.data() + text.size(), v, 16);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return false;
    *value = static_cast<double>(v);
    return true;
  }
  // strtod needs a terminated text and follows the locale; from_chars does neither.
  auto r = std::from_chars(text.data(), text.data() + text.size(), *value);
  return r.ec == std::errc() && r.ptr == text.data() + text.size() && std::isfinite(*value);
}

double TextScanner::ExpectNumber(std::string_view what, Token* where) {
  Token first = Peek();
  bool negative = false;
  if (first.Is('-') || first.Is('+')) {
    negative = first.Is('-');
    Next();
  }
  if (Peek().Kind != TokenKind::Number) Fail(Peek(), what);
  Token num = Next();
  double v = 0;
  if (!NumberValue(num.Text, &v)) FailAt(num.Pos, "number " + std::string(num.Text) + " is out of range");
  if (where) *where = first;
  return negative ? -v : v;
}

int64_t TextScanner::ExpectInteger(std::string_view what, int64_t min, int64_t max, Token* where) {
  Token at;
  Token num = Peek();
  double v = ExpectNumber(what, &at);
  if (where) *where = at;
  if (v != std::floor(v)) Fail(num, what);
  // 2^63 compares equal to INT64_MAX as a double but does not convert.
  if (!(v >= static_cast<double>(min) && v <= static_cast<double>(max)) || v >= 9223372036854775808.0)
    FailAt(at.Pos, "value " + std::string(num.Text) + " is out of range (" + std::to_string(min) + " to " +
                       std::to_string(max) + ")");
  return static_cast<int64_t>(v);
}

std::string TextScanner::StringValue(const Token& token) {
  std::string s;
  s.reserve(token.Text.size());
  for (size_t i = 0; i < token.Text.size(); ++i) {
    char c = token.Text[i];
    if (c == '\\' && i + 1 < token.Text.size() && (token.Text[i + 1] == '"' || token.Text[i + 1] == '\\')) c = token.Text[++i];
    s += c;
  }
  return s;
}

void TextScanner::SkipPast(char punct) {
  while (!AtEnd()) {
    if (Next().Is(punct)) return;
  }
}

void TextScanner::SkipLine() {
  // A peeked token that starts a later line stays; otherwise everything up to
  // the end of the last consumed token's line goes.
  if (HavePeek_ && (Peek_.Kind == TokenKind::End || Peek_.Pos.Line > LastLine_)) return;
  HavePeek_ = false;
  while (Offset_ < Text_.size() && Pos_.Line <= LastLine_) Advance();
}

void TextScanner::Fail(const Token& at, std::string_view expected) const {
  FailAt(at.Pos, "expected " + std::string(expected) + ", found " + DescribeToken(at));
}

void TextScanner::FailAt(SourcePos pos, std::string text) const {
  throw SyntaxError({Diagnostic::Severity::Error, FileName_, pos, std::move(text)});
}

}  // namespace ZOR_RAM::interop
