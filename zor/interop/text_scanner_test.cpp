#include "zor/interop/text_scanner.h"

#include <gtest/gtest.h>

#include "zor/interop/interop.h"

namespace ZOR_RAM::interop {
namespace {

std::string Tokens(std::string_view text) {
  TextScanner s("t.txt", text);
  std::string out;
  while (!s.AtEnd()) {
    Token t = s.Next();
    out += std::to_string(t.Pos.Line) + ":" + std::to_string(t.Pos.Column) + (t.FirstOnLine ? "^" : "") + "=" +
           std::string(t.Text) + " ";
  }
  return out;
}

TEST(TextScanner, TokensWithPositions) {
  struct Case {
    const char* text;
    const char* tokens;
  } cases[] = {
      {"SG_ S : 0|8@1+ (1,0)", "1:1^=SG_ 1:5=S 1:7=: 1:9=0 1:10=| 1:11=8 1:12=@ 1:13=1 1:14=+ 1:16=( 1:17=1 1:18=, 1:19=0 1:20=) "},
      {"a\r\n b\rc\n\"x\\\"y\"", "1:1^=a 2:2^=b 3:1^=c 4:1^=x\\\"y "},
      {"1E+010 0x1F .5 2.", "1:1^=1E+010 1:8=0x1F 1:13=.5 1:16=2. "},
      {"x // note\n/* a\n b */ y", "1:1^=x 3:7^=y "},
      {"m12M Vector__XXX", "1:1^=m12M 1:6=Vector__XXX "},
      // A string over two lines: what follows it on its last line is not first there.
      {"\"a\nb\" B\nC", "1:1^=a\nb 2:4=B 3:1^=C "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Tokens(c.text), c.tokens);
  }
}

TEST(TextScanner, NumbersAndErrorsNamePosition) {
  TextScanner s("f.dbc", "-12.5 +3 1e400 x");
  EXPECT_DOUBLE_EQ(s.ExpectNumber(), -12.5);
  EXPECT_EQ(s.ExpectInteger(), 3);
  try {
    s.ExpectNumber();
    FAIL();
  } catch (const SyntaxError& e) {
    EXPECT_STREQ(e.what(), "f.dbc:1:10: error: number 1e400 is out of range");
  }
  try {
    s.Expect(';');
    FAIL();
  } catch (const SyntaxError& e) {
    EXPECT_STREQ(e.what(), "f.dbc:1:16: error: expected ';', found 'x'");
  }
  for (const char* bad : {"\"open", "/* open"}) {
    SCOPED_TRACE(bad);
    TextScanner t("f", bad);
    EXPECT_THROW(t.Next(), SyntaxError);
  }
}

TEST(TextScanner, SkipLineKeepsTheNextLine) {
  TextScanner s("f", "A B C\nD E");
  s.Next();
  s.Peek();
  s.SkipLine();
  EXPECT_EQ(s.Next().Text, "D");
}

TEST(TextScanner, DecodesUtf8AndKeepsCodePageText) {
  bool utf8 = false;
  EXPECT_EQ(DecodeSourceText("T\xC3\xBCr \xE2\x82\xAC", &utf8), "T\xFCr \x80");
  EXPECT_TRUE(utf8);
  EXPECT_EQ(DecodeSourceText("T\xFCr", &utf8), "T\xFCr");
  EXPECT_FALSE(utf8);
  EXPECT_EQ(DecodeSourceText("\xEF\xBB\xBFplain", &utf8), "plain");
  EXPECT_TRUE(utf8);
  // Valid UTF-8 that spells a character the code page lacks stays as bytes,
  // unless a byte-order mark declares UTF-8.
  EXPECT_EQ(DecodeSourceText("N\xDD\xBB \xC3\xBC", &utf8), "N\xDD\xBB \xC3\xBC");
  EXPECT_FALSE(utf8);
  EXPECT_EQ(DecodeSourceText("\xEF\xBB\xBFN\xDD\xBB", &utf8), "N?");
  EXPECT_TRUE(utf8);
}

TEST(Interop, FormatFromNameAndContent) {
  EXPECT_EQ(FormatFromFileName("a/B.DBC"), Format::Dbc);
  EXPECT_EQ(FormatFromFileName("c.ldf"), Format::Ldf);
  EXPECT_EQ(FormatFromFileName("c.xml"), Format::Configuration);
  EXPECT_EQ(FormatFromContent("\n// x\nLIN_description_file;"), Format::Ldf);
  EXPECT_EQ(FormatFromContent("VERSION \"\""), Format::Dbc);
  EXPECT_EQ(FormatFromContent("  <?xml"), Format::Configuration);
  EXPECT_EQ(FormatFromContent("hello"), Format::Unknown);
}

}  // namespace
}  // namespace ZOR_RAM::interop
