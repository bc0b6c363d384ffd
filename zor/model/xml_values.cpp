#include "zor/model/xml_values.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "zor/QXML/QXMLDocument.h"
#include "zor/interface/line_writer.h"
#include "zor/interface/messages.h"

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

}  // namespace

TQXMLNode* FindChild(const TQXMLNode* element, std::string_view name) {
  int index = element->Find(name);
  return index >= 0 ? element->GetItem(index) : nullptr;
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
  uint32_t value = 0;
  // Up to eight digits; the value wraps into a signed 32-bit number.
  if (first == last || digits.size() > 8 || *first == '-' || *first == '+')
    ThrowNotInteger("0x" + std::string(digits));
  auto [ptr, ec] = std::from_chars(first, last, value, 16);
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
  const char* first = text->data();
  const char* last = first + text->size();
  while (first != last && (*first == ' ' || (*first >= '\t' && *first <= '\r'))) ++first;
  if (first != last && *first == '+') ++first;
  float value = 0;
  auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    // Out of single range: what a C scan gives (infinity or a tiny value).
    double wide = 0;
    std::from_chars(first, last, wide, std::chars_format::general);
    return static_cast<double>(static_cast<float>(wide));
  }
  if (ec != std::errc()) return 0;
  return static_cast<double>(value);
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
    std::string_view token = rest.substr(0, blank);
    unsigned int value = 0;
    size_t skip = 0;
    while (skip < token.size() && (token[skip] == '\t' || token[skip] == '\n' || token[skip] == '\r'))
      ++skip;
    const char* first = token.data() + skip;
    const char* last = token.data() + token.size();
    if (last - first >= 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X')) first += 2;
    std::from_chars(first, last, value, 16);  // a token that does not parse stores 0
    buffer[stored++] = static_cast<uint8_t>(value & 0xFF);
    if (blank == std::string_view::npos) break;
    rest.remove_prefix(blank + 1);
  }
}

std::string EscapeText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c >= 128) {
      char buf[8];
      int n = std::snprintf(buf, sizeof buf, "&#%u;", c);
      out.append(buf, static_cast<size_t>(n));
    } else if (c == '"') {
      out += "&quot;";
    } else if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else {
      out += ch;
    }
  }
  return out;
}

std::string EscapeMarkup(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else out += c;
  }
  return out;
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
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out(2, '0');
  out[0] = kDigits[(value >> 4) & 0xF];
  out[1] = kDigits[value & 0xF];
  return out;
}

std::string BytesToHex(const uint8_t* bytes, int count) {
  std::string out;
  if (count <= 0) return out;
  out.reserve(static_cast<size_t>(count) * 3);
  for (int i = 0; i < count; ++i) {
    if (i) out += ' ';
    out += ByteToHex(bytes[i]);
  }
  return out;
}

std::string FormatReal(double value) {
  char buf[64];
  auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
  if (ec != std::errc()) return "0";
  return std::string(buf, ptr);
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

namespace {
bool WriteFieldLine(std::string_view name, std::string_view value) {
  std::string line;
  line.reserve(name.size() * 2 + value.size() + 5);
  line += '<';
  line += name;
  line += '>';
  line += value;
  line += "</";
  line += name;
  line += '>';
  return WriteLine(line);
}
}  // namespace

bool WriteTextField(std::string_view name, std::string_view value) {
  return WriteFieldLine(name, EscapeText(value));
}
bool WriteStoredField(std::string_view name, std::string_view value) {
  return WriteFieldLine(name, EscapeMarkup(value));
}
bool WriteIntField(std::string_view name, int64_t value) {
  return WriteFieldLine(name, std::to_string(value));
}
bool WriteBoolField(std::string_view name, bool value) { return WriteFieldLine(name, value ? "1" : "0"); }
bool WriteRealField(std::string_view name, double value) {
  return WriteFieldLine(name, FormatReal(value));
}
bool WriteHexField(std::string_view name, int value) { return WriteFieldLine(name, ByteToHex(value)); }
bool WriteHexBytesField(std::string_view name, const uint8_t* bytes, int count) {
  return WriteFieldLine(name, BytesToHex(bytes, count));
}
bool WriteTag(std::string_view name, bool closing) {
  std::string line(closing ? "</" : "<");
  line += name;
  line += '>';
  return WriteLine(line);
}

}  // namespace ZOR_RAM
