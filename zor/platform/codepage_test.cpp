#include <gtest/gtest.h>

#include "zor/platform/codepage.h"

using namespace zor;

TEST(CodePage, EveryByteRoundTrips) {
  for (int b = 0; b < 256; ++b) {
    SCOPED_TRACE(b);
    char16_t unit = CodePageByteToWide(static_cast<unsigned char>(b));
    EXPECT_EQ(static_cast<unsigned char>(WideToCodePageByte(unit)), b);
  }
}

TEST(CodePage, KnownMappings) {
  EXPECT_EQ(CodePageByteToWide(0x80), 0x20AC);
  EXPECT_EQ(CodePageByteToWide(0x81), 0x0081);
  EXPECT_EQ(CodePageByteToWide(0x9F), 0x0178);
  EXPECT_EQ(CodePageByteToWide(0xE9), 0x00E9);
  EXPECT_EQ(WideToCodePageByte(0x0152), '\x8C');
  EXPECT_EQ(WideToCodePageByte(0x4E00), '?');
  EXPECT_EQ(WideToCodePageByte(0xD800), '?');
  EXPECT_EQ(WideToCodePage(CodePageToWide(std::string("a\0\x80\xFF", 4))), std::string("a\0\x80\xFF", 4));
}

TEST(CodePage, CaseFolding) {
  EXPECT_TRUE(CodePageEqualsNoCase("Name\xC9", "nAME\xE9"));
  EXPECT_TRUE(CodePageEqualsNoCase("\x8A", "\x9A"));
  EXPECT_FALSE(CodePageEqualsNoCase("a", "b"));
  EXPECT_FALSE(CodePageEqualsNoCase("a", "ab"));
  EXPECT_EQ(CodePageToLower('\xD7'), '\xD7');
}
