#include "zor/platform/codepage.h"

#include <array>

namespace zor {
namespace {

// Bytes 0x80..0x9F; everything else maps to the unit of the same value.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98
};

constexpr std::array<char, 256> MakeLowerTable() {
  std::array<char, 256> t{};
  for (int i = 0; i < 256; ++i) t[i] = static_cast<char>(i);
  for (int i = 'A'; i <= 'Z'; ++i) t[i] = static_cast<char>(i + 32);
  for (int i = 0xC0; i <= 0xDE; ++i)
    if (i != 0xD7) t[i] = static_cast<char>(i + 32);
  t[0x8A] = static_cast<char>(0x9A);
  t[0x8C] = static_cast<char>(0x9C);
  t[0x8E] = static_cast<char>(0x9E);
  t[0x9F] = static_cast<char>(0xFF);
  return t;
}
constexpr std::array<char, 256> kLower = MakeLowerTable();

}  // namespace

char16_t CodePageByteToWide(unsigned char byte) {
  if (byte >= 0x80 && byte < 0xA0) return kHighControls[byte - 0x80];
  return byte;
}

char WideToCodePageByte(char16_t unit) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return static_cast<char>(unit);
  for (int i = 0; i < 32; ++i)
    if (kHighControls[i] == unit) return static_cast<char>(0x80 + i);
  return '?';
}

std::u16string CodePageToWide(std::string_view text) {
  std::u16string out(text.size(), u'\0');
  for (size_t i = 0; i < text.size(); ++i)
    out[i] = CodePageByteToWide(static_cast<unsigned char>(text[i]));
  return out;
}

std::string WideToCodePage(std::u16string_view text) {
  std::string out(text.size(), '\0');
  for (size_t i = 0; i < text.size(); ++i) out[i] = WideToCodePageByte(text[i]);
  return out;
}

char CodePageToLower(char c) { return kLower[static_cast<unsigned char>(c)]; }

bool CodePageEqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (kLower[static_cast<unsigned char>(a[i])] != kLower[static_cast<unsigned char>(b[i])])
      return false;
  return true;
}

}  // namespace zor
