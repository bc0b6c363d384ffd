#include "zor/model/xml_values.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "tests/support.h"
#include "zor/QXML/QXMLDocument.h"

using namespace ZOR_RAM;

namespace {

// An element with one child per (name, text) pair, texts stored as given.
struct Element {
  TQXMLNode Node;
  Element(std::initializer_list<std::pair<const char*, const char*>> children) {
    for (auto [name, text] : children) Node.Add(name)->Text = text;
  }
};

// Texts as a file holds them: the parser decodes the entities once, the
// reader once more.
TEST(ReadText, UnescapesWhatTheParserLeft) {
  auto doc = zortest::ParseXml(
      "<R><A>&lt;a&gt; &amp;quot;</A><B>&amp;#233;</B><C>&amp;#12;</C><D>&amp;amp;amp;</D>"
      "<E>&amp;amp;lt;</E><F></F></R>");
  ASSERT_TRUE(doc);
  const TQXMLNode* e = doc->GetRoot();
  EXPECT_EQ(ReadText(e, "A"), "<a> \"");
  EXPECT_EQ(ReadText(e, "B"), "\xE9");
  EXPECT_EQ(ReadText(e, "C"), "&#12;");
  EXPECT_EQ(ReadText(e, "D"), "&");
  EXPECT_EQ(ReadText(e, "E"), "<");
  EXPECT_EQ(ReadText(e, "F"), "");
  EXPECT_EQ(ReadText(e, "Missing"), "");
}

TEST(ReadInt, DecimalWithSignElseTheConversionMessage) {
  Element e({{"Ok", "42"}, {"Neg", "-1"}, {"Big", "9000000000"}, {"Bad", "12a"}, {"Hex", "0x10"},
             {"Blank", " 1"}, {"Empty", ""}});
  EXPECT_EQ(ReadInt(&e.Node, "Ok"), 42);
  EXPECT_EQ(ReadInt(&e.Node, "Neg"), -1);
  EXPECT_EQ(ReadInt(&e.Node, "Big"), 9000000000LL);
  EXPECT_EQ(ReadInt(&e.Node, "Empty"), 0);
  EXPECT_EQ(ReadInt(&e.Node, "Missing"), 0);
  for (const char* name : {"Bad", "Hex", "Blank"}) {
    SCOPED_TRACE(name);
    try {
      ReadInt(&e.Node, name);
      ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& ex) {
      EXPECT_EQ(ex.what(), "'" + FindChild(&e.Node, name)->Text + "' is not a valid integer value");
    }
  }
}

TEST(ReadHex, DigitsWithoutPrefix) {
  Element e({{"A", "1F"}, {"B", ""}, {"C", "G1"}, {"D", "ffffffff"}, {"E", "000000000000001f"},
             {"F", "100000000"}});
  EXPECT_EQ(ReadHex(&e.Node, "A"), 31);
  EXPECT_EQ(ReadHex(&e.Node, "B"), 0);
  EXPECT_EQ(ReadHex(&e.Node, "D"), -1);
  EXPECT_EQ(ReadHex(&e.Node, "E"), 31);  // leading zeros do not count as digits
  for (auto [name, message] : {std::pair{"C", "'0xG1' is not a valid integer value"},
                               std::pair{"F", "'0x100000000' is not a valid integer value"}}) {
    SCOPED_TRACE(name);
    try {
      ReadHex(&e.Node, name);
      ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& ex) {
      EXPECT_STREQ(ex.what(), message);
    }
  }
}

TEST(ReadFloat, SinglePrecisionAndLeadingNumber) {
  Element e({{"A", "0.1"}, {"B", "abc"}, {"C", "2.5xyz"}, {"D", "-3"}, {"E", "+-5"}, {"F", " +0x1p3"}});
  EXPECT_EQ(ReadFloat(&e.Node, "A"), static_cast<double>(0.1f));
  EXPECT_EQ(FormatReal(ReadFloat(&e.Node, "A")), "0.100000001490116");
  EXPECT_EQ(ReadFloat(&e.Node, "B"), 0.0);
  EXPECT_EQ(ReadFloat(&e.Node, "C"), 2.5);
  EXPECT_EQ(ReadFloat(&e.Node, "D"), -3.0);
  EXPECT_EQ(ReadFloat(&e.Node, "E"), 0.0);  // one sign only, as a C scan reads it
  EXPECT_EQ(ReadFloat(&e.Node, "F"), 8.0);
  EXPECT_EQ(ReadFloat(&e.Node, "Missing"), 0.0);
}

TEST(ReadHexBytes, Tokens) {
  struct Case {
    const char* text;
    uint8_t expected[4];
  } cases[] = {
      {"01 2 ff", {0x01, 0x02, 0xFF, 0x00}},
      {"01  02", {0x01, 0x00, 0x02, 0x00}},
      {"1 2 3 4 5", {1, 2, 3, 4}},
      {"zz 1FF", {0x00, 0xFF, 0, 0}},
      {"-1 +0x2 123456789AB 0x", {0xFF, 0x02, 0xAB, 0x00}},  // signed and overflowing keep low bits
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Element e({{"X", c.text}});
    uint8_t buffer[5] = {9, 9, 9, 9, 0x77};
    ReadHexBytes(&e.Node, "X", buffer, 4);
    EXPECT_EQ(0, std::memcmp(buffer, c.expected, 4));
    EXPECT_EQ(buffer[4], 0x77);  // never beyond n
  }
  Element none({});
  uint8_t buffer[2] = {5, 5};
  ReadHexBytes(&none.Node, "X", buffer, 2);
  EXPECT_EQ(buffer[0] | buffer[1], 0);
}

TEST(Escape, TextAndMarkup) {
  EXPECT_EQ(EscapeText("\xE9"), "&#233;");
  EXPECT_EQ(EscapeText("a\"b&c<d>e'f\x01"), "a&quot;b&amp;c&lt;d&gt;e'f\x01");
  EXPECT_EQ(EscapeMarkup("a\"b&c<d>\xE9"), "a\"b&amp;c&lt;d&gt;\xE9");
  // Texts that themselves look like entities do not survive (the reader
  // decodes repeatedly); everything else does.
  for (const char* text : {"plain", "\xE9t\xE9", "a & b", "<x>\"", "&#12"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(UnescapeText(EscapeText(text)), text);
  }
}

// Plain runs are copied eight bytes at a time: every character that needs an
// escape is found wherever it falls in or after such a block.
TEST(Escape, FindsEveryEscapeAroundBlocks) {
  const struct {
    char c;
    const char* text;    // EscapeText
    const char* markup;  // EscapeMarkup
  } kCases[] = {{'"', "&quot;", "\""}, {'&', "&amp;", "&amp;"}, {'<', "&lt;", "&lt;"},
                {'>', "&gt;", "&gt;"}, {'\x80', "&#128;", "\x80"}, {'\xFF', "&#255;", "\xFF"}};
  for (const auto& escape : kCases)
    for (size_t at = 0; at < 19; ++at) {
      SCOPED_TRACE(testing::Message() << int(static_cast<unsigned char>(escape.c)) << " at " << at);
      std::string text(19, 'a');
      text[at] = escape.c;
      const std::string before(at, 'a'), after(18 - at, 'a');
      EXPECT_EQ(EscapeText(text), before + escape.text + after);
      EXPECT_EQ(EscapeMarkup(text), before + escape.markup + after);
    }
}

TEST(ReplaceAll, ReplacementsCanFormNewOccurrences) {
  std::string s = "&amp;amp;amp;";
  ReplaceAll(s, "&amp;", "&");
  EXPECT_EQ(s, "&");
  s = "aaa";
  ReplaceAll(s, "a", "b");
  EXPECT_EQ(s, "bbb");
  s = "xx";
  ReplaceAll(s, "", "y");
  EXPECT_EQ(s, "xx");
}

TEST(Hex, Writers) {
  EXPECT_EQ(ByteToHex(10), "0A");
  EXPECT_EQ(ByteToHex(0x1FF), "FF");
  const uint8_t bytes[] = {1, 10, 255};
  EXPECT_EQ(BytesToHex(bytes, 3), "01 0A FF");
  EXPECT_EQ(BytesToHex(bytes, 0), "");
}

TEST(FormatReal, GeneralForm) {
  EXPECT_EQ(FormatReal(1), "1");
  EXPECT_EQ(FormatReal(0.5), "0.5");
  EXPECT_EQ(FormatReal(2.5), "2.5");
  EXPECT_EQ(FormatReal(1e-05), "1e-05");
  EXPECT_EQ(FormatReal(123456789012345678.0), "1.23456789012346e+17");
  // Whole numbers take a shorter path; every form must still be printf's.
  for (double value : {0.0, -0.0, -1.0, 42.0, 1e14, 999999999999999.0, -999999999999999.0, 1e15, -1e15,
                       1234567890123456.0, 1e300, -2.5e-7, 0.1, 3.4028234663852886e38, 1.0 / 3}) {
    char expected[64];
    std::snprintf(expected, sizeof expected, "%.15g", value);
    SCOPED_TRACE(expected);
    EXPECT_EQ(FormatReal(value), expected);
  }
}

TEST(ReadList, ExpectedButFound) {
  zortest::MessageCapture messages;
  Element container({{"Node", ""}, {"Frame", ""}, {"Node", ""}});
  int read = 0;
  EXPECT_TRUE(ReadList(&container.Node, "Node", [&](TQXMLNode*) {
    ++read;
    return false;
  }));
  EXPECT_EQ(read, 1);
  ASSERT_EQ(messages.Errors.size(), 1u);
  EXPECT_EQ(messages.Errors[0], "Node expected but Frame found.");
  EXPECT_FALSE(ReadList(nullptr, "Node", [](TQXMLNode*) { return true; }));
  Element parent({{"Other", ""}});
  EXPECT_FALSE(ReadListIn(&parent.Node, "Nodes", "Node", [](TQXMLNode*) { return true; }));
}

TEST(ReadList, ItemFailureStopsAtOnce) {
  Element container({{"Node", ""}, {"Node", ""}});
  int read = 0;
  EXPECT_TRUE(ReadList(&container.Node, "Node", [&](TQXMLNode*) { return ++read == 1; }));
  EXPECT_EQ(read, 1);
}

TEST(FieldWriters, LineForms) {
  std::string text = zortest::CaptureLines([] {
    WriteTextField("T", "a<\xE9");
    WriteStoredField("S", "a<\xE9");
    WriteIntField("I", -5);
    WriteBoolField("B", true);
    WriteRealField("R", 0.5);
    WriteHexField("H", 10);
    const uint8_t bytes[] = {1, 2};
    WriteHexBytesField("X", bytes, 2);
    WriteTag("E");
    WriteTag("E", true);
  });
  EXPECT_EQ(text, zortest::Lines({"<T>a&lt;&#233;</T>", "<S>a&lt;\xE9</S>", "<I>-5</I>", "<B>1</B>", "<R>0.5</R>",
                                  "<H>0A</H>", "<X>01 02</X>", "<E></E>"}));
}

TEST(FieldWriters, ValuesOfEveryLength) {
  // Names and values of 0 to 40 characters, the lengths the copy treats apart.
  const std::string text(40, 'x');
  for (size_t n = 0; n <= text.size(); ++n) {
    SCOPED_TRACE(n);
    std::string name = "N" + text.substr(0, n);
    std::string line = "<" + name + ">" + text.substr(0, n) + "</" + name + ">";
    EXPECT_EQ(zortest::CaptureLines([&] { WriteStoredField(name, text.substr(0, n)); }),
              zortest::Lines({line.c_str()}));
  }
  EXPECT_EQ(zortest::CaptureLines([] { WriteIntField("I", INT64_MIN); }),
            zortest::Lines({"<I>-9223372036854775808</I>"}));
  EXPECT_EQ(zortest::CaptureLines([] { WriteTextField("T", "\xFF\x80\"\"&&"); }),
            zortest::Lines({"<T>&#255;&#128;&quot;&quot;&amp;&amp;</T>"}));
}

}  // namespace
