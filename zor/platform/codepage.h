// System code page layer: the library keeps its texts as 8-bit Windows-1252.
// Conversions to and from UTF-16 are table-driven. The five bytes that
// Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the
// UTF-16 units of the same value, so every byte survives a round trip.
#pragma once

#include <string>
#include <string_view>

namespace zor {

// UTF-16 unit of one code page byte.
char16_t CodePageByteToWide(unsigned char byte);

// Code page byte of one UTF-16 unit; '?' when the code page has none.
char WideToCodePageByte(char16_t unit);

// Whole-text conversions. Nothing stops at a zero byte or unit.
std::u16string CodePageToWide(std::string_view text);
std::string WideToCodePage(std::u16string_view text);

// Lower-case form of a code page byte (ASCII and the accented letters).
char CodePageToLower(char c);

// Case-insensitive equality in the code page.
bool CodePageEqualsNoCase(std::string_view a, std::string_view b);

}  // namespace zor
