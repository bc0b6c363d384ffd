#include "zor/QXML/qxml_scanner.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>

#include "tests/support.h"

namespace {

// The token stream of text as "code:text" lines, ending with the error when
// the scan fails.
std::string Tokens(const std::string& text, bool fastPath) {
  std::istringstream in(text);
  TQXMLReader reader(in, nullptr);
  const QXMLEncoding encoding = QXMLEncPlain;
  TQXMLlex lex(reader, encoding);
  lex.SetFastPath(fastPath);
  std::string out;
  try {
    for (int token = lex.Next(); token != kTokEnd; token = lex.Next()) {
      out += std::to_string(token) + ":" + std::string(lex.Text()) + "\n";
    }
  } catch (const std::runtime_error& e) {
    out += e.what();
  }
  return out;
}

}  // namespace

TEST(QXMLScanner, TokensOfATag) {
  EXPECT_EQ(Tokens(" <a:b x='1'>t&amp;<!--c--></a:b>", true),
            "264:a:b\n261:x\n268:\n262:'1'\n267:\n263:t&amp;\n259:c\n265:\n261:a:b\n267:\n");
}

// The direct matching of the commonest tokens gives exactly what the general
// scanner gives, on every prefix of inputs that mix every kind of token.
TEST(QXMLScanner, CommonTokensMatchTheGeneralScanner) {
  zortest::ExpectSameOnEveryPrefix(
      {zortest::ReadFile(ZOR_SOURCE_DIR "/zor/QXML/testdata/sample.xml"),
       "<?xml version=\"1.0\"?>\r\n<!DOCTYPE r>\r\n<r a=\"&#x41;&lt;\" b='&#65;'>\r\n  <p:n>x y</p:n>< m\t/>\n"
       "  <!-- a -- b --->< /r>\n<?pi?>text",
       "<r>a&bad;<b>&#;</b>< !x><\x01>\"'=/ \t\r\n</r>"},
      Tokens);
}
