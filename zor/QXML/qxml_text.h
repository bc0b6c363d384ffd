// Character escaping and the conversions between code page text, UTF-16 and
// UTF-8 used by the XML reader and writer.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "zor/zor.h"

// Replaces the five markup characters by their entity references.
ZOR_API std::string EncodeEntities(std::string_view text);

// Translates &quot; &apos; &amp; &lt; &gt; and three-digit decimal references
// (&#NNN;). A three-character reference that is not decimal (&#x41;) is
// dropped; everything else, other named references included, is copied.
// A decimal value above 255 becomes the code page character of that UTF-16
// unit ('?' when there is none); the value 0 is kept as written so that a
// reference can never cut a text short.
ZOR_API std::string DecodeEntities(std::string_view text);

ZOR_API std::u16string WideFromAnsi(std::string_view text);
// UTF-8 to UTF-16 through Utf8ToUtf16; nullopt when the conversion fails.
// The text ends at its first zero byte.
ZOR_API std::optional<std::u16string> WideFromUtf8(std::string_view text);
// UTF-16 to UTF-8 through Utf16ToUtf8; nullopt when the conversion fails.
ZOR_API std::optional<std::string> Utf8FromWide(std::u16string_view text);

// Converts UTF-8 bytes to UTF-16 units. srcLen -1 means up to and including
// the terminating zero byte. With dstCount 0 returns the number of units
// needed. Returns -1 for a null source or a null destination with non-zero
// count, -2 for a negative count or a destination that is too small.
// Invalid bytes are reported through Utf8Warn and skipped; a four-byte
// sequence becomes '?'. A sequence cut short by the end of the text (or by
// a zero byte) is treated as an invalid lead byte.
ZOR_API int Utf8ToUtf16(char16_t* dst, int dstCount, const char* src, int srcLen);

// Converts UTF-16 units to UTF-8 bytes (one to three bytes a unit; halves of
// surrogate pairs are encoded on their own after a warning). srcCount -1 means
// up to and including the terminating zero. With dstSize 0 returns the size
// needed. Returns 0 for a null source, -1 for a null destination with
// non-zero size, -2 for a negative size or a destination that is too small.
ZOR_API int Utf16ToUtf8(char* dst, int dstSize, const char16_t* src, int srcCount);

// Writes one diagnostic of the UTF-8 conversion (printf format) to standard
// error, or to the handler installed by SetUtf8WarnHandler.
ZOR_API void Utf8Warn(const char* format, ...) __attribute__((format(printf, 1, 2)));
using Utf8WarnHandler = void (*)(const char* line);
// nullptr restores standard error. Returns the previous handler.
ZOR_API Utf8WarnHandler SetUtf8WarnHandler(Utf8WarnHandler handler);

// UTF-8 token text to code page text, as the reader stores it: UTF-8 is
// decoded to UTF-16 (with the diagnostics above) and mapped to the code page;
// the result ends at the first zero unit. ASCII text is returned unchanged.
ZOR_API std::string CodePageFromUtf8(std::string_view text);
// Code page text to UTF-8, as the writer emits it.
ZOR_API std::string Utf8FromCodePage(std::string_view text);
