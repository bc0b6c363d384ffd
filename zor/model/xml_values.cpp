#include "zor/model/xml_values.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "zor/QXML/QXMLDocument.h"
#include "zor/io/line_writer.h"
#include "zor/io/messages.h"
#include "zor/model/prefetch.h"

namespace ZOR_RAM {

namespace {

// The child's text, or null when the child is absent or its text is empty.
const TQXMLString* ChildText(const TQXMLNode* element, std::string_view name) {
  const TQXMLNode* child = FindChild(element, name);
  return child && !child->Text.empty() ? &child->Text : nullptr;
}

[[noreturn]] void ThrowNotInteger(std::string_view text) {
  throw std::runtime_error("'" + std::string(text) + "' is not a valid integer value");
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsHexDigit(char c) { return HexDigitValue(c) >= 0; }

// White space as the C library's isspace sees it in the "C" locale.
bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The low 8 bits of a token scanned with the C format "%x": leading white
// space, an optional sign, an optional "0x" prefix, hexadecimal digits. The
// unsigned conversion wraps, so a negative or overflowing value keeps its
// low bits; a token without digits gives 0.
uint8_t HexTokenLowByte(std::string_view token) {
  size_t i = 0;
  while (i < token.size() && IsCSpace(token[i])) ++i;
  bool negative = false;
  if (i < token.size() && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';
  if (i + 2 < token.size() && token[i] == '0' && (token[i + 1] == 'x' || token[i + 1] == 'X') &&
      IsHexDigit(token[i + 2]))
    i += 2;
  unsigned value = 0;
  for (; i < token.size() && IsHexDigit(token[i]); ++i)
    value = (value * 16 + static_cast<unsigned>(HexDigitValue(token[i]))) & 0xFF;
  if (negative) value = (0x100 - value) & 0xFF;
  return static_cast<uint8_t>(value);
}

}  // namespace

TQXMLNode* FindChild(const TQXMLNode* element, std::string_view name) {
  int index = element->Find(name);
  return index >= 0 ? element->GetItem(index) : nullptr;
}

void PrefetchChildren(const TQXMLNode* element) {
  if (!element) return;
  const int count = element->GetCount();
  for (int i = 0; i < count; ++i) PrefetchLine(&element->Items->Get(i)->LocalName);
}

std::string ReadText(const TQXMLNode* element, std::string_view name) {
  const TQXMLString* text = ChildText(element, name);
  return text ? UnescapeText(*text) : std::string();
}

int64_t TextToInt(std::string_view text) {
  const char* first = text.data();
  const char* last = first + text.size();
  int64_t value = 0;
  if (first == last || (*first != '-' && !IsDigit(*first))) ThrowNotInteger(text);
  auto [ptr, ec] = std::from_chars(first, last, value, 10);
  if (ec != std::errc() || ptr != last) ThrowNotInteger(text);
  return value;
}

int32_t HexTextToInt(std::string_view digits) {
  const char* first = digits.data();
  const char* last = first + digits.size();
  if (first == last || *first == '-' || *first == '+') ThrowNotInteger("0x" + std::string(digits));
  // Leading zeros do not count; the value must fit in 32 bits and wraps into
  // a signed number.
  const char* significant = first;
  while (significant + 1 < last && *significant == '0') ++significant;
  uint32_t value = 0;
  auto [ptr, ec] = std::from_chars(significant, last, value, 16);
  if (ec != std::errc() || ptr != last) ThrowNotInteger("0x" + std::string(digits));
  return static_cast<int32_t>(value);
}

int64_t ReadInt(const TQXMLNode* element, std::string_view name) {
  const TQXMLString* text = ChildText(element, name);
  return text ? TextToInt(*text) : 0;
}

int32_t ReadHex(const TQXMLNode* element, std::string_view name) {
  const TQXMLString* text = ChildText(element, name);
  return text ? HexTextToInt(*text) : 0;
}

double ReadFloat(const TQXMLNode* element, std::string_view name) {
  const TQXMLString* text = ChildText(element, name);
  if (!text) return 0;
  // A C "%g" scan: blanks, one optional sign, then a decimal or hexadecimal
  // number, an infinity or a NaN.
  const char* first = text->data();
  const char* last = first + text->size();
  while (first != last && IsCSpace(*first)) ++first;
  bool negative = false;
  if (first != last && (*first == '+' || *first == '-')) negative = *first++ == '-';
  if (first == last || *first == '+' || *first == '-') return 0;
  std::chars_format format = std::chars_format::general;
  if (last - first >= 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X')) {
    if (last - first == 2 || !(IsHexDigit(first[2]) || first[2] == '.')) return 0;  // reads as "0"
    first += 2;
    format = std::chars_format::hex;
  }
  float value = 0;
  auto [ptr, ec] = std::from_chars(first, last, value, format);
  if (ec == std::errc::result_out_of_range) {
    // Out of single range: what a C scan gives (infinity or a tiny value).
    double wide = 0;
    std::from_chars(first, last, wide, format);
    value = static_cast<float>(wide);
  } else if (ec != std::errc()) {
    return 0;
  }
  return static_cast<double>(negative ? -value : value);
}

void ReadHexBytes(const TQXMLNode* element, std::string_view name, uint8_t* buffer, int size) {
  if (size <= 0) return;
  std::memset(buffer, 0, static_cast<size_t>(size));
  const TQXMLString* text = ChildText(element, name);
  if (!text) return;
  std::string_view rest = *text;
  int stored = 0;
  while (stored < size) {
    size_t blank = rest.find(' ');
    buffer[stored++] = HexTokenLowByte(rest.substr(0, blank));
    if (blank == std::string_view::npos) break;
    rest.remove_prefix(blank + 1);
  }
}

namespace {

// The characters EscapeText replaces: " & < > and every byte from 128 on.
struct TextEscapeTable {
  bool Needs[256] = {};
  constexpr TextEscapeTable() {
    Needs[static_cast<unsigned char>('"')] = Needs[static_cast<unsigned char>('&')] = true;
    Needs[static_cast<unsigned char>('<')] = Needs[static_cast<unsigned char>('>')] = true;
    for (int c = 128; c < 256; ++c) Needs[c] = true;
  }
};
constexpr TextEscapeTable kTextEscape;

// Copies text to out. Most texts of a save (names, numbers, identifiers) are
// short; they are copied with two overlapping fixed-size moves instead of a
// library call.
char* AppendLiteral(char* out, std::string_view text) {
  const char* in = text.data();
  const size_t n = text.size();
  if (n >= 8 && n <= 16) {
    uint64_t head, tail;
    std::memcpy(&head, in, 8);
    std::memcpy(&tail, in + n - 8, 8);
    std::memcpy(out, &head, 8);
    std::memcpy(out + n - 8, &tail, 8);
  } else if (n >= 4 && n < 8) {
    uint32_t head, tail;
    std::memcpy(&head, in, 4);
    std::memcpy(&tail, in + n - 4, 4);
    std::memcpy(out, &head, 4);
    std::memcpy(out + n - 4, &tail, 4);
  } else if (n < 4) {
    for (size_t i = 0; i < n; ++i) out[i] = in[i];
  } else {
    std::memcpy(out, in, n);
  }
  return out + n;
}

// The escaped forms are written at out, which has room for kMaxEscape
// characters per character of text; each returns the end of what it wrote.
constexpr size_t kMaxEscape = 6;  // "&quot;", "&#255;"

// Whether one of the eight bytes of word equals c (exact: a borrow only
// carries past a byte that is zero).
constexpr uint64_t kByteOnes = 0x0101010101010101ull;
constexpr uint64_t kByteHighs = 0x8080808080808080ull;
inline uint64_t HasByte(uint64_t word, unsigned char c) {
  const uint64_t x = word ^ (kByteOnes * c);
  return (x - kByteOnes) & ~x & kByteHighs;
}

// Copies the leading run of text that needs no escape, eight bytes at a time
// while such blocks last, and drops it from text. needs(word) tells whether a
// block holds a byte that does.
template <class Needs>
char* CopyPlainBlocks(char* out, std::string_view& text, Needs needs) {
  size_t i = 0;
  for (; text.size() - i >= 8; i += 8) {
    uint64_t word;
    std::memcpy(&word, text.data() + i, 8);
    if (needs(word)) break;
    std::memcpy(out + i, &word, 8);
  }
  text.remove_prefix(i);
  return out + i;
}

char* EscapeTextTo(char* out, std::string_view text) {
  out = CopyPlainBlocks(out, text, [](uint64_t word) {
    return ((word & kByteHighs) | HasByte(word, '"') | HasByte(word, '&') | HasByte(word, '<') |
            HasByte(word, '>')) != 0;
  });
  for (char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (!kTextEscape.Needs[c]) {
      *out++ = ch;
    } else if (c >= 128) {
      out[0] = '&';
      out[1] = '#';
      out[2] = static_cast<char>('0' + c / 100);
      out[3] = static_cast<char>('0' + c / 10 % 10);
      out[4] = static_cast<char>('0' + c % 10);
      out[5] = ';';
      out += 6;
    } else if (c == '"') {
      out = AppendLiteral(out, "&quot;");
    } else if (c == '&') {
      out = AppendLiteral(out, "&amp;");
    } else if (c == '<') {
      out = AppendLiteral(out, "&lt;");
    } else {
      out = AppendLiteral(out, "&gt;");
    }
  }
  return out;
}

char* EscapeMarkupTo(char* out, std::string_view text) {
  out = CopyPlainBlocks(out, text, [](uint64_t word) {
    return (HasByte(word, '&') | HasByte(word, '<') | HasByte(word, '>')) != 0;
  });
  for (char c : text) {
    if (c == '&') out = AppendLiteral(out, "&amp;");
    else if (c == '<') out = AppendLiteral(out, "&lt;");
    else if (c == '>') out = AppendLiteral(out, "&gt;");
    else *out++ = c;
  }
  return out;
}

char* ByteToHexTo(char* out, int value) {
  static const char kDigits[] = "0123456789ABCDEF";
  out[0] = kDigits[(value >> 4) & 0xF];
  out[1] = kDigits[value & 0xF];
  return out + 2;
}

// Room for three characters per byte.
char* BytesToHexTo(char* out, const uint8_t* bytes, int count) {
  for (int i = 0; i < count; ++i) {
    if (i) *out++ = ' ';
    out = ByteToHexTo(out, bytes[i]);
  }
  return out;
}

// Room for kMaxReal characters.
constexpr size_t kMaxReal = 32;
char* FormatRealTo(char* out, double value) {
  // Whole numbers of up to 15 digits print as the integer (the common case,
  // and much cheaper than the general conversion); -0 keeps its sign.
  if (value > -1e15 && value < 1e15 && value == static_cast<double>(static_cast<int64_t>(value))) {
    if (value == 0 && std::signbit(value)) return AppendLiteral(out, "-0");
    return std::to_chars(out, out + kMaxReal, static_cast<int64_t>(value)).ptr;
  }
  auto [ptr, ec] = std::to_chars(out, out + kMaxReal, value, std::chars_format::general, 15);
  if (ec != std::errc()) return AppendLiteral(out, "0");
  return ptr;
}

// A string of at most maxSize characters made by write(out) -> end.
template <class Write>
std::string MakeString(size_t maxSize, Write write) {
  std::string out(maxSize, '\0');
  out.resize(static_cast<size_t>(write(out.data()) - out.data()));
  return out;
}

}  // namespace

std::string EscapeText(std::string_view text) {
  return MakeString(text.size() * kMaxEscape, [&](char* out) { return EscapeTextTo(out, text); });
}

std::string EscapeMarkup(std::string_view text) {
  return MakeString(text.size() * kMaxEscape, [&](char* out) { return EscapeMarkupTo(out, text); });
}

void ReplaceAll(std::string& text, std::string_view pattern, std::string_view replacement) {
  if (pattern.empty()) return;
  // Searching again from the start after each replacement finds nothing
  // before the last replacement that was not there already, except an
  // occurrence overlapping it; so resuming a pattern's length back suffices.
  size_t from = 0;
  for (;;) {
    size_t at = text.find(pattern, from);
    if (at == std::string::npos) return;
    text.replace(at, pattern.size(), replacement);
    from = at >= pattern.size() - 1 ? at - (pattern.size() - 1) : 0;
  }
}

std::string UnescapeText(std::string_view text) {
  std::string out(text);
  if (out.find('&') == std::string::npos) return out;
  ReplaceAll(out, "&quot;", "\"");
  ReplaceAll(out, "&amp;", "&");
  ReplaceAll(out, "&lt;", "<");
  ReplaceAll(out, "&gt;", ">");
  std::string result;
  result.reserve(out.size());
  for (size_t i = 0; i < out.size();) {
    if (out[i] == '&' && i + 5 < out.size() && out[i + 1] == '#' && IsDigit(out[i + 2]) &&
        IsDigit(out[i + 3]) && IsDigit(out[i + 4]) && out[i + 5] == ';') {
      int code = (out[i + 2] - '0') * 100 + (out[i + 3] - '0') * 10 + (out[i + 4] - '0');
      // A zero byte ends the text (as a zero-terminated text would): kept, it
      // would be saved raw and make the file unreadable.
      if ((code & 0xFF) == 0) break;
      result += static_cast<char>(code & 0xFF);
      i += 6;
    } else {
      result += out[i++];
    }
  }
  return result;
}

std::string ByteToHex(int value) {
  return MakeString(2, [&](char* out) { return ByteToHexTo(out, value); });
}

std::string BytesToHex(const uint8_t* bytes, int count) {
  if (count <= 0) return std::string();
  return MakeString(static_cast<size_t>(count) * 3, [&](char* out) { return BytesToHexTo(out, bytes, count); });
}

std::string FormatReal(double value) {
  return MakeString(kMaxReal, [&](char* out) { return FormatRealTo(out, value); });
}

bool ReadList(const TQXMLNode* container, std::string_view itemName,
              const std::function<bool(TQXMLNode*)>& readItem) {
  if (!container) return false;
  const int count = container->GetCount();
  for (int i = 0; i < count; ++i) {
    TQXMLNode* child = container->GetItem(i);
    if (!child->Prefix.empty() || child->LocalName != itemName) {
      zor::ReportError(std::string(itemName) + " expected but " + child->GetIdent() + " found.");
      return true;
    }
    if (readItem(child)) return true;
  }
  return false;
}

bool ReadListIn(const TQXMLNode* element, std::string_view containerName, std::string_view itemName,
                const std::function<bool(TQXMLNode*)>& readItem) {
  return ReadList(FindChild(element, containerName), itemName, readItem);
}

bool ReadTextList(const TQXMLNode* element, std::string_view containerName, std::string_view itemName,
                  std::vector<std::string>& values, bool asParsed) {
  values.clear();
  return ReadListIn(element, containerName, itemName, [&](TQXMLNode* child) {
    values.push_back(asParsed ? std::string(child->Text) : UnescapeText(child->Text));
    return false;
  });
}

namespace {

// Writes the line "<name>value</name>" straight into the save buffer;
// writeValue(out) puts the value, at most maxValue characters, at out and
// returns its end.
template <class WriteValue>
bool WriteFieldLine(std::string_view name, size_t maxValue, WriteValue writeValue) {
  char* out = zor::BeginLine(name.size() * 2 + 5 + maxValue);
  if (!out) return false;
  *out++ = '<';
  out = AppendLiteral(out, name);
  *out++ = '>';
  out = writeValue(out);
  *out++ = '<';
  *out++ = '/';
  out = AppendLiteral(out, name);
  *out++ = '>';
  zor::EndLine(out);
  return false;
}

bool WriteLiteralField(std::string_view name, std::string_view value) {
  return WriteFieldLine(name, value.size(), [&](char* out) { return AppendLiteral(out, value); });
}

}  // namespace

bool WriteTextField(std::string_view name, std::string_view value) {
  return WriteFieldLine(name, value.size() * kMaxEscape, [&](char* out) { return EscapeTextTo(out, value); });
}
bool WriteStoredField(std::string_view name, std::string_view value) {
  return WriteFieldLine(name, value.size() * kMaxEscape, [&](char* out) { return EscapeMarkupTo(out, value); });
}
bool WriteIntField(std::string_view name, int64_t value) {
  constexpr size_t kMaxInt = 20;  // "-9223372036854775808"
  return WriteFieldLine(name, kMaxInt, [&](char* out) { return std::to_chars(out, out + kMaxInt, value).ptr; });
}
bool WriteBoolField(std::string_view name, bool value) { return WriteLiteralField(name, value ? "1" : "0"); }
bool WriteRealField(std::string_view name, double value) {
  return WriteFieldLine(name, kMaxReal, [&](char* out) { return FormatRealTo(out, value); });
}
bool WriteHexField(std::string_view name, int value) {
  return WriteFieldLine(name, 2, [&](char* out) { return ByteToHexTo(out, value); });
}
bool WriteHexBytesField(std::string_view name, const uint8_t* bytes, int count) {
  const size_t maxValue = count > 0 ? static_cast<size_t>(count) * 3 : 0;
  return WriteFieldLine(name, maxValue, [&](char* out) { return BytesToHexTo(out, bytes, count); });
}
bool WriteTextList(std::string_view containerName, std::string_view itemName, const std::vector<std::string>& values) {
  if (WriteTag(containerName)) return true;
  for (const std::string& value : values)
    if (WriteStoredField(itemName, value)) return true;
  return WriteTag(containerName, /*closing=*/true);
}

bool WriteTag(std::string_view name, bool closing) {
  char* out = zor::BeginLine(name.size() + 3);
  if (!out) return false;
  *out++ = '<';
  if (closing) *out++ = '/';
  out = AppendLiteral(out, name);
  *out++ = '>';
  zor::EndLine(out);
  return false;
}

}  // namespace ZOR_RAM
