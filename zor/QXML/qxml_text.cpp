#include "zor/QXML/qxml_text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "zor/QXML/qxml_text_field.h"
#include "zor/platform/codepage.h"

namespace {

Utf8WarnHandler g_warnHandler = nullptr;

// Length of the sequence a byte leads, by its high four bits; 0 when the
// byte cannot lead a sequence.
int LeadLength(unsigned char b) {
  static constexpr int kByHighBits[16] = {1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 2, 2, 3, 4};
  if (b > 0xF7) return 0;
  return kByHighBits[b >> 4];
}

// True when the n-byte sequence at i fits before len and holds no zero byte.
bool SequenceComplete(const unsigned char* s, size_t i, int n, size_t len) {
  if (i + static_cast<size_t>(n) > len) return false;
  for (int k = 1; k < n; ++k)
    if (s[i + k] == 0) return false;
  return true;
}

bool IsAscii(std::string_view text) {
  for (unsigned char c : text)
    if (c >= 0x80) return false;
  return true;
}

}  // namespace

std::string EncodeEntities(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 16);
  for (char c : text) {
    switch (c) {
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c; break;
    }
  }
  return out;
}

std::string DecodeEntities(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    char c = text[i];
    if (c != '&') {
      out += c;
      ++i;
      continue;
    }
    std::string_view rest = text.substr(i);
    static constexpr struct { std::string_view ref; char ch; } kNamed[] = {
        {"&quot;", '"'}, {"&apos;", '\''}, {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}};
    bool done = false;
    for (const auto& e : kNamed) {
      if (rest.substr(0, e.ref.size()) == e.ref) {
        out += e.ch;
        i += e.ref.size();
        done = true;
        break;
      }
    }
    if (done) continue;
    if (rest.size() >= 6 && rest[1] == '#' && rest[5] == ';') {
      bool digits = true;
      int value = 0;
      for (int k = 2; k < 5; ++k) {
        if (rest[k] < '0' || rest[k] > '9') digits = false;
        else value = value * 10 + (rest[k] - '0');
      }
      if (!digits) {
        i += 6;  // not a decimal reference: dropped
        continue;
      }
      if (value != 0) {
        out += value < 256 ? static_cast<char>(value)
                           : zor::WideToCodePageByte(static_cast<char16_t>(value));
        i += 6;
        continue;
      }
    }
    out += '&';
    ++i;
  }
  return out;
}

void Utf8Warn(const char* format, ...) {
  char line[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (g_warnHandler) {
    // The host's handler allocates nothing from an arena a load installed.
    const qxml_pages::Arena::Scope none(nullptr);
    g_warnHandler(line);
  } else {
    std::fputs(line, stderr);
  }
}

Utf8WarnHandler SetUtf8WarnHandler(Utf8WarnHandler handler) {
  Utf8WarnHandler old = g_warnHandler;
  g_warnHandler = handler;
  return old;
}

int Utf8ToUtf16(char16_t* dst, int dstCount, const char* src, int srcLen) {
  if (!src || (!dst && dstCount != 0)) return -1;
  if (dstCount < 0) return -2;
  if (srcLen < -1) return -1;
  const auto* s = reinterpret_cast<const unsigned char*>(src);
  size_t len;
  if (srcLen == -1) {
    // Measure up to and including the terminating zero, never past it.
    size_t i = 0;
    for (;;) {
      unsigned char b = s[i];
      if (b == 0) {
        ++i;
        break;
      }
      int n = LeadLength(b);
      if (n == 0) {
        Utf8Warn("invalid first byte value 0x%02X in UTF-8 sequence!\n", b);
        ++i;
        continue;
      }
      int k = 1;
      while (k < n && s[i + k] != 0) ++k;
      i += k;
    }
    len = i;
  } else {
    len = static_cast<size_t>(srcLen);
  }

  if (dstCount == 0) {
    int needed = 0;
    for (size_t i = 0; i < len;) {
      unsigned char b = s[i];
      int n = LeadLength(b);
      if (n == 0 || !SequenceComplete(s, i, n, len)) {
        Utf8Warn("invalid byte 0x%02X in UTF-8 sequence, skipping it!\n", b);
        ++i;
        continue;
      }
      needed += n == 4 ? 2 : 1;
      i += n;
    }
    return needed;
  }

  int written = 0;
  for (size_t i = 0; i < len;) {
    unsigned char b = s[i];
    int n = LeadLength(b);
    if (n == 0 || !SequenceComplete(s, i, n, len)) {
      Utf8Warn("invalid byte value 0x%02X in UTF-8 sequence, ignoring it!\n", b);
      ++i;
      continue;
    }
    char16_t unit;
    switch (n) {
      case 1: unit = b; break;
      case 2: unit = static_cast<char16_t>(((b & 0x1F) << 6) | (s[i + 1] & 0x3F)); break;
      case 3:
        unit = static_cast<char16_t>(((b & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F));
        break;
      default:
        Utf8Warn("got surrogate pair; ignoring\n");
        unit = u'?';
        break;
    }
    if (written >= dstCount) return -2;
    dst[written++] = unit;
    i += n;
  }
  return written;
}

int Utf16ToUtf8(char* dst, int dstSize, const char16_t* src, int srcCount) {
  if (!src) return 0;
  if (!dst && dstSize != 0) return -1;
  if (dstSize < 0) return -2;
  if (srcCount < -1) return -1;
  size_t count;
  if (srcCount == -1) {
    count = 0;
    while (src[count] != 0) ++count;
    ++count;
  } else {
    count = static_cast<size_t>(srcCount);
  }
  int out = 0;
  for (size_t i = 0; i < count; ++i) {
    char16_t u = src[i];
    int n = u < 0x80 ? 1 : (u < 0x800 ? 2 : 3);
    if (u >= 0xD800 && u <= 0xDFFF) Utf8Warn("encountered part of a surrogate pair : ignoring\n");
    if (dstSize != 0) {
      if (out + n > dstSize) return -2;
      if (n == 1) {
        dst[out] = static_cast<char>(u);
      } else if (n == 2) {
        dst[out] = static_cast<char>(0xC0 | (u >> 6));
        dst[out + 1] = static_cast<char>(0x80 | (u & 0x3F));
      } else {
        dst[out] = static_cast<char>(0xE0 | (u >> 12));
        dst[out + 1] = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        dst[out + 2] = static_cast<char>(0x80 | (u & 0x3F));
      }
    }
    out += n;
  }
  return out;
}

std::u16string WideFromAnsi(std::string_view text) { return zor::CodePageToWide(text); }

std::optional<std::u16string> WideFromUtf8(std::string_view text) {
  std::string zeroTerminated(text.substr(0, text.find('\0')));
  int needed = Utf8ToUtf16(nullptr, 0, zeroTerminated.c_str(), -1);
  if (needed < 0) return std::nullopt;
  std::u16string out(static_cast<size_t>(needed), u'\0');
  int written = Utf8ToUtf16(out.data(), needed, zeroTerminated.c_str(), -1);
  if (written < 0) return std::nullopt;
  out.resize(static_cast<size_t>(written));
  size_t zero = out.find(u'\0');
  if (zero != std::u16string::npos) out.resize(zero);
  return out;
}

std::optional<std::string> Utf8FromWide(std::u16string_view text) {
  int needed = Utf16ToUtf8(nullptr, 0, text.data(), static_cast<int>(text.size()));
  if (needed < 0) return std::nullopt;
  std::string out(static_cast<size_t>(needed), '\0');
  if (needed == 0) return out;
  int written = Utf16ToUtf8(out.data(), needed, text.data(), static_cast<int>(text.size()));
  if (written < 0) return std::nullopt;
  out.resize(static_cast<size_t>(written));
  return out;
}

std::string CodePageFromUtf8(std::string_view text) {
  if (IsAscii(text)) return std::string(text.substr(0, text.find('\0')));
  std::optional<std::u16string> wide = WideFromUtf8(text);
  if (!wide) return std::string();
  return zor::WideToCodePage(*wide);
}

std::string Utf8FromCodePage(std::string_view text) {
  if (IsAscii(text)) return std::string(text);
  std::optional<std::string> utf8 = Utf8FromWide(WideFromAnsi(text));
  return utf8 ? *utf8 : std::string();
}
