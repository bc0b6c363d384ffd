#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/support.h"
#include "zor/QXML/QXMLDocument.h"
#include "zor/QXML/qxml_text.h"

namespace {

std::string Save(TQXMLDocument& doc) {
  std::ostringstream out;
  doc.SaveToStream(out);
  return out.str();
}

using zortest::WarnCapture;

}  // namespace

TEST(QXMLWriter, RootWithOneEmptyChild) {
  TQXMLDocument doc(nullptr);
  doc.SetRootName("r");
  doc.GetRoot()->Add("c");
  EXPECT_EQ(Save(doc), "<?xml version=\"1.0\"?>\r\n<r>\r\n\t<c/>\r\n</r>\r\n");
  doc.AutoIndent = false;
  doc.DocType = "r SYSTEM \"r.dtd\"";
  EXPECT_EQ(Save(doc), "<?xml version=\"1.0\"?><!DOCTYPE r SYSTEM \"r.dtd\"><r><c/></r>\r\n");
}

TEST(QXMLWriter, IndentationCommentsAndText) {
  TQXMLDocument doc(nullptr);
  doc.SetIndentStr("  ");
  doc.DocType = "r";
  TQXMLNode* r = doc.GetRoot();
  r->SetIdent("p:r");
  r->CommentsBefore = {"top"};
  TQXMLNode* a = r->Add("a");
  a->Text = "x<y & 'z'";
  a->CommentsAfter = {"after a"};
  TQXMLNode* b = r->Add("b");
  b->Add("c")->CommentsBefore = {"c1", "c2"};
  b->CommentsAfter = {"after b"};
  TQXMLNode* e = r->Add("e");
  e->CommentsAfter = {"after empty"};
  EXPECT_EQ(Save(doc),
            "<?xml version=\"1.0\"?>\r\n<!DOCTYPE r>\r\n"
            "<!--top-->\r\n<p:r>\r\n"
            "  <a>x&lt;y &amp; &apos;z&apos;</a>\r\n  <!--after a-->\r\n"
            "  <b>\r\n    <!--c1-->\r\n    <!--c2-->\r\n    <c/>\r\n  </b>\r\n  <!--after b-->\r\n"
            "  <e/>\r\n  <!--after empty-->\r\n"
            "</p:r>\r\n");
  doc.AutoValidate = false;
  a->Text = "raw&amp;";
  EXPECT_NE(Save(doc).find("<a>raw&amp;</a>"), std::string::npos);
}

TEST(QXMLWriter, AttributeQuoting) {
  TQXMLDocument doc(nullptr);
  TQXMLNode* r = doc.GetRoot();
  r->SetAttrib("", "a", "a\"b");
  r->SetAttrib("", "q", "\"quoted\"");
  r->SetAttrib("x", "n", "1<2");
  r->SetAttrib("", "empty", "");
  EXPECT_EQ(Save(doc),
            "<?xml version=\"1.0\"?>\r\n<Root a='a&quot;b' q=\"&quot;quoted&quot;\" x:n='1&lt;2'/>\r\n");
  doc.AutoValidate = false;
  r->ClearAttribs();
  r->SetAttrib("", "k", "'as read'");
  EXPECT_EQ(Save(doc), "<?xml version=\"1.0\"?>\r\n<Root k='as read'/>\r\n");
}

TEST(QXMLWriter, Utf8Output) {
  TQXMLDocument doc(nullptr);
  doc.Encoding = QXMLEncUTF8;
  doc.GetRoot()->Text = "caf\xE9 \x80";
  doc.GetRoot()->SetAttrib("", "k", "\xE9");
  EXPECT_EQ(Save(doc),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Root k='\xC3\xA9'>caf\xC3\xA9 \xE2\x82\xAC</Root>\r\n");
  doc.Encoding = QXMLEncAuto;
  EXPECT_EQ(Save(doc), "<?xml version=\"1.0\"?>\r\n<Root k='\xE9'>caf\xE9 \x80</Root>\r\n");
}

TEST(QXMLWriter, RoundTripIsStable) {
  TQXMLDocument doc(nullptr);
  ASSERT_FALSE(doc.LoadFromFile(ZOR_SOURCE_DIR "/zor/QXML/testdata/sample.xml"));
  std::string first = Save(doc);
  TQXMLDocument again(nullptr);
  std::istringstream in(first);
  ASSERT_FALSE(again.LoadFromStream(in));
  EXPECT_EQ(Save(again), first);
}

TEST(QXMLWriter, LargeOutputCrossesBufferBoundary) {
  TQXMLDocument doc(nullptr);
  for (int i = 0; i < 50000; ++i) doc.GetRoot()->Add("item")->Text = std::to_string(i);
  std::string out = Save(doc);
  EXPECT_GT(out.size(), 327680u * 2);
  TQXMLDocument again(nullptr);
  std::istringstream in(out);
  ASSERT_FALSE(again.LoadFromStream(in));
  ASSERT_EQ(again.GetRoot()->GetCount(), 50000);
  EXPECT_EQ(again.GetRoot()->GetItem(49999)->Text, "49999");
}

TEST(QXMLWriter, DeepTreeIsWrittenWithoutRecursion) {
  TQXMLDocument doc(nullptr);
  doc.AutoIndent = false;
  TQXMLNode* n = doc.GetRoot();
  for (int i = 0; i < 100000; ++i) n = n->Add("a");
  std::string out = Save(doc);
  EXPECT_EQ(out.size(), 21 + 6 + 7 + 99999 * 3 + 4 + 99999 * 4 + 2);
}

TEST(QXMLWriter, FailedStreamThrows) {
  TQXMLDocument doc(nullptr);
  std::ostringstream out;
  out.setstate(std::ios::badbit);
  EXPECT_THROW(doc.SaveToStream(out), std::runtime_error);
  EXPECT_THROW(doc.SaveToFile("/nonexistent-dir/x.xml"), std::runtime_error);
}

TEST(QXMLText, Entities) {
  EXPECT_EQ(EncodeEntities("a\"b'c&d<e>f\xE9"), "a&quot;b&apos;c&amp;d&lt;e&gt;f\xE9");
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"&#065;", "A"},         {"&#65;", "&#65;"},     {"&#x41;", ""},         {"&nbsp;", "&nbsp;"},
      {"&AMP;", "&AMP;"},      {"&amp;lt;", "&lt;"},   {"&#233;", "\xE9"},     {"a&", "a&"},
      {"&#000;x", "&#000;x"},  {"&#338;", "\x8C"},     {"&#999;", "?"},        {"&#12;3", "&#12;3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(DecodeEntities(c.in), c.out);
  }
}

TEST(QXMLText, Utf8ToUtf16) {
  WarnCapture warnings;
  char16_t out[16];
  EXPECT_EQ(Utf8ToUtf16(out, 16, "\xF0\x9F\x98\x80" "A", 5), 2);
  EXPECT_EQ(out[0], u'?');
  EXPECT_EQ(out[1], u'A');
  EXPECT_EQ(warnings.Lines(), std::vector<std::string>{"got surrogate pair; ignoring\n"});

  EXPECT_EQ(Utf8ToUtf16(nullptr, 0, "a\xC3\xA9\xE2\x82\xAC", -1), 4);  // with the terminator
  EXPECT_EQ(Utf8ToUtf16(out, 16, "a\xC3\xA9\xE2\x82\xAC", -1), 4);
  EXPECT_EQ(out[1], 0xE9);
  EXPECT_EQ(out[2], 0x20AC);
  EXPECT_EQ(out[3], 0);
  EXPECT_EQ(Utf8ToUtf16(out, 2, "abc", 3), -2);
  EXPECT_EQ(Utf8ToUtf16(out, -1, "abc", 3), -2);
  EXPECT_EQ(Utf8ToUtf16(nullptr, 3, "abc", 3), -1);
  EXPECT_EQ(Utf8ToUtf16(out, 3, nullptr, 3), -1);

  warnings.Lines().clear();
  EXPECT_EQ(Utf8ToUtf16(out, 16, "a\x80z", 3), 2);
  EXPECT_EQ(warnings.Lines(), std::vector<std::string>{"invalid byte value 0x80 in UTF-8 sequence, ignoring it!\n"});
  warnings.Lines().clear();
  EXPECT_EQ(Utf8ToUtf16(nullptr, 0, "\xF8", -1), 1);
  EXPECT_EQ(warnings.Lines(), (std::vector<std::string>{"invalid first byte value 0xF8 in UTF-8 sequence!\n",
                                                        "invalid byte 0xF8 in UTF-8 sequence, skipping it!\n"}));
  // A sequence cut short by the terminator never reads past it.
  const char cut[] = {'a', '\xE2', '\x82', '\0', 'X', 'X'};
  EXPECT_EQ(Utf8ToUtf16(out, 16, cut, -1), 2);
  EXPECT_EQ(out[0], u'a');
  EXPECT_EQ(out[1], 0);
  EXPECT_EQ(Utf8ToUtf16(out, 16, "a\xC3", 2), 1);
}

TEST(QXMLText, Utf16ToUtf8) {
  WarnCapture warnings;
  const char16_t text[] = {u'A', 0xE9, 0x20AC, 0};
  char out[16];
  EXPECT_EQ(Utf16ToUtf8(nullptr, 0, text, -1), 7);
  EXPECT_EQ(Utf16ToUtf8(out, 7, text, -1), 7);
  EXPECT_EQ(std::string(out), "A\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ(Utf16ToUtf8(out, 6, text, -1), -2);
  EXPECT_EQ(Utf16ToUtf8(out, -1, text, 3), -2);
  EXPECT_EQ(Utf16ToUtf8(nullptr, 4, text, 3), -1);
  EXPECT_EQ(Utf16ToUtf8(out, 4, nullptr, 3), 0);
  const char16_t half[] = {0xD800};
  EXPECT_EQ(Utf16ToUtf8(out, 16, half, 1), 3);
  EXPECT_EQ(std::string(out, 3), "\xED\xA0\x80");
  EXPECT_EQ(warnings.Lines(), std::vector<std::string>{"encountered part of a surrogate pair : ignoring\n"});
}

TEST(QXMLText, WideConversions) {
  EXPECT_EQ(WideFromAnsi("a\xE9\x80"), (std::u16string{u'a', 0xE9, 0x20AC}));
  EXPECT_EQ(WideFromUtf8("a\xC3\xA9"), (std::u16string{u'a', 0xE9}));
  EXPECT_EQ(Utf8FromWide(std::u16string{u'a', 0xE9}), "a\xC3\xA9");
  EXPECT_EQ(CodePageFromUtf8("\xE2\x82\xAC\xE4\xB8\x80"), "\x80?");
  EXPECT_EQ(Utf8FromCodePage("\x80"), "\xE2\x82\xAC");
}
