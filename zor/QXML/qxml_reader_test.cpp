#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support.h"
#include "zor/QXML/QXMLDocument.h"
#include "zor/QXML/qxml_parser.h"
#include "zor/QXML/qxml_reader.h"
#include "zor/QXML/qxml_text.h"

namespace {

const std::string kData = ZOR_SOURCE_DIR "/zor/QXML/testdata/";

// Loads text; returns the exception message, or "" when the load returned.
std::string Load(TQXMLDocument& doc, const std::string& text, bool* failed = nullptr) {
  std::istringstream in(text);
  try {
    bool f = doc.LoadFromStream(in);
    if (failed) *failed = f;
    return "";
  } catch (const std::runtime_error& e) {
    return e.what();
  }
}

std::string ErrorOf(const std::string& text) {
  TQXMLDocument doc(nullptr);
  return Load(doc, text);
}

using zortest::ReadFile;

using zortest::WarnCapture;

}  // namespace

TEST(QXMLReader, ErrorMessages) {
  struct Case {
    const char* name;
    std::string text;
    const char* message;
  } cases[] = {
      {"second root", "<r/><x/>", "XML error: parse error"},
      {"comment after root", "<r/>\r\n<!-- c -->\r\n", "XML error: parse error"},
      {"empty input", "", "XML error: parse error"},
      {"only a declaration", "<?xml version=\"1.0\"?>", "XML error: parse error"},
      {"bare ampersand", "<r>a & b</r>", "XML error: Invalid string '&'"},
      {"unfinished reference", "<r>a &amp b</r>", "XML error: Invalid string '&'"},
      {"ampersand in value", "<r k=\"x&y\"/>", "XML error: Invalid string '\"'"},
      {"unclosed value", "<r k='x/>", "XML error: Invalid string '''"},
      {"bad tag character", "<r #/>", "XML error: Invalid string '#'"},
      {"two colons", "<a:b:c/>", "XML error: Invalid string ':'"},
      {"less-than alone", "<r>< </r>", "XML error: Invalid string '<'"},
      {"zero byte", std::string("<r>a\0b</r>", 10), "XML error: Invalid string '\\0'"},
      {"data after comment", "<r><!--c-->text</r>", "XML error: parse error"},
      {"mismatch", "<a></b>", "start tag <a> and Close tag </b> does not match."},
      {"prefixed mismatch", "<p:a></a>", "start tag <p:a> and Close tag </a> does not match."},
      {"end tag without name", "<a></>", "start tag <a> and Close tag </> does not match."},
      {"value without name", "<r ='x'/>", "XML error: parse error"},
      {"equals without value", "<r k=/>", "XML error: parse error"},
      {"end-tag opener wins a tie in a comment", "<!-- </--><r/>", "XML error: parse error"},
      {"unterminated comment", "<!-- x <r/>", "XML error: parse error"},
      {"unterminated element", "<r><x>", "XML error: parse error"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ErrorOf(c.text), c.message);
  }
}

TEST(QXMLReader, WhiteSpaceBeforeTagsIsSwallowed) {
  TQXMLDocument doc(nullptr);
  ASSERT_EQ(Load(doc, "<a>\r\n  <b/>\n   </a>"), "");
  TQXMLNode* a = doc.GetRoot();
  EXPECT_EQ(a->LocalName, "a");
  ASSERT_EQ(a->GetCount(), 1);
  EXPECT_EQ(a->GetItem(0)->LocalName, "b");
  EXPECT_EQ(a->Text, "");
  EXPECT_EQ(a->GetItem(0)->Text, "");

  ASSERT_EQ(Load(doc, "<a> x <b/>y  </a>"), "");
  EXPECT_EQ(doc.GetRoot()->Text, "y  ");  // last chunk only, white space kept
  ASSERT_EQ(Load(doc, "<a>x<b/>  </a>"), "");
  EXPECT_EQ(doc.GetRoot()->Text, "x");
}

// Past the count where the reader indexes attributes, a repeated name still
// replaces the value of the first record and new names append.
TEST(QXMLReader, ManyAttributesKeepSetAttribOrder) {
  std::string text = "<e";
  for (int i = 0; i < 200; ++i) text += " a" + std::to_string(i % 50) + "='" + std::to_string(i) + "'";
  text += " p:a3='x' a4='y'/>";
  TQXMLDocument doc(nullptr);
  ASSERT_EQ(Load(doc, text), "");
  const TQXMLNode* e = doc.GetRoot();
  ASSERT_EQ(e->Attribs.GetCount(), 51);
  EXPECT_EQ(e->Attribs.Get(3)->Value, "153");
  EXPECT_EQ(e->Attribs.Get(4)->Value, "y");
  EXPECT_EQ(e->Attribs.Get(50)->Prefix, "p");
  EXPECT_EQ(e->GetAttrib("p", "a3"), "x");
}

TEST(QXMLReader, TagsWithSpacesAndAttributes) {
  TQXMLDocument doc(nullptr);
  ASSERT_EQ(Load(doc, "< p:a  k = 'v1' m=\"w\" flag k2='&lt;&#065;' / >"), "");
  TQXMLNode* a = doc.GetRoot();
  EXPECT_EQ(a->GetIdent(), "p:a");
  EXPECT_EQ(a->GetAttrib("", "k"), "v1");
  EXPECT_EQ(a->GetAttrib("", "m"), "w");
  EXPECT_EQ(a->GetAttrib("", "k2"), "<A");
  EXPECT_EQ(a->Attribs.GetCount(), 4);
  EXPECT_EQ(a->Attribs.Get(2)->LocalName, "flag");
  EXPECT_EQ(a->Attribs.Get(2)->Value, "");

  ASSERT_EQ(Load(doc, "<a k='1' k='2' x:k=\"&quot;q&quot;\"></ a >"), "");
  EXPECT_EQ(doc.GetRoot()->GetAttrib("", "k"), "2");
  EXPECT_EQ(doc.GetRoot()->GetAttrib("x", "k"), "\"q\"");
}

TEST(QXMLReader, ReferencesInContent) {
  TQXMLDocument doc(nullptr);
  ASSERT_EQ(Load(doc, "<a>&lt;&gt;&amp;&quot;&apos;&#065;&#x41;&#65;&foo;&#1234;</a>"), "");
  EXPECT_EQ(doc.GetRoot()->Text, "<>&\"'A&#65;&foo;&#1234;");
}

TEST(QXMLReader, WithoutAutoValidateTextStaysRaw) {
  TQXMLDocument doc(nullptr);
  doc.AutoValidate = false;
  ASSERT_EQ(Load(doc, "<a k='v&amp;' m=\"x\">&lt;<!--&lt;--><b/></a>"), "");
  EXPECT_EQ(doc.GetRoot()->Text, "&lt;");
  EXPECT_EQ(doc.GetRoot()->GetAttrib("", "k"), "'v&amp;'");
  EXPECT_EQ(doc.GetRoot()->GetAttrib("", "m"), "\"x\"");
  EXPECT_EQ(doc.GetRoot()->GetItem(0)->CommentsBefore, std::vector<std::string>{"&lt;"});
}

TEST(QXMLReader, Comments) {
  TQXMLDocument doc(nullptr);
  ASSERT_EQ(Load(doc, "<!--a--b--><!--x--->y--><!--&lt;<b>-->\n<r><!--c1--><x/><!--c2--><!--c3--></r>"), "");
  TQXMLNode* r = doc.GetRoot();
  EXPECT_EQ(r->CommentsBefore, (std::vector<std::string>{"a--b", "x--->y", "<<b>"}));
  ASSERT_EQ(r->GetCount(), 1);
  EXPECT_EQ(r->GetItem(0)->CommentsBefore, std::vector<std::string>{"c1"});
  EXPECT_EQ(r->GetItem(0)->CommentsAfter, (std::vector<std::string>{"c2", "c3"}));

  // A comment before the end tag of an element without children is dropped.
  ASSERT_EQ(Load(doc, "<r><!--gone--></r>"), "");
  EXPECT_TRUE(doc.GetRoot()->CommentsBefore.empty());
}

TEST(QXMLReader, InstructionsAndDocType) {
  TQXMLDocument doc(nullptr);
  ASSERT_EQ(Load(doc, "<?xml version=\"1.0\"?>\n<!DOCTYPE r SYSTEM \"r.dtd\">\n<r>x<?pi a?b?><!DOCTYPE  inner></r>"),
            "");
  EXPECT_EQ(doc.DocType, "inner");
  EXPECT_EQ(doc.GetRoot()->Text, "x");
  EXPECT_EQ(doc.Encoding, QXMLEncAuto);
}

TEST(QXMLReader, EndOfInputIsTrimmedAfterLastTag) {
  TQXMLDocument doc(nullptr);
  bool failed = true;
  ASSERT_EQ(Load(doc, "<r>x</r>\r\n\r\n  stray text", &failed), "");
  EXPECT_FALSE(failed);
  EXPECT_EQ(doc.GetRoot()->Text, "x");
}

TEST(QXMLReader, ByteOrderMarkSelectsUtf8) {
  TQXMLDocument doc(nullptr);
  EXPECT_FALSE(doc.LoadFromFile(kData + "utf8_bom.xml"));
  EXPECT_EQ(doc.Encoding, QXMLEncUTF8);
  EXPECT_EQ(doc.GetRoot()->Text, "caf\xE9 \x80");
}

TEST(QXMLReader, DeclarationSwitchesEncoding) {
  const std::string body = "<r>caf\xC3\xA9</r>";
  struct Case {
    const char* declaration;
    QXMLEncoding before;
    QXMLEncoding after;
    const char* text;
  } cases[] = {
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>", QXMLEncAuto, QXMLEncUTF8, "caf\xE9"},
      {"<?xml version=\"1.0\" encoding=\"utf-8\"?>", QXMLEncAuto, QXMLEncPlain, "caf\xC3\xA9"},
      {"<?xml version=\"1.0\"?>", QXMLEncAuto, QXMLEncAuto, "caf\xC3\xA9"},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>", QXMLEncPlain, QXMLEncPlain, "caf\xC3\xA9"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.declaration);
    TQXMLDocument doc(nullptr);
    doc.Encoding = c.before;
    ASSERT_EQ(Load(doc, std::string(c.declaration) + body), "");
    EXPECT_EQ(doc.Encoding, c.after);
    EXPECT_EQ(doc.GetRoot()->Text, c.text);
  }
}

TEST(QXMLReader, Utf8ConversionOfTokens) {
  WarnCapture warnings;
  TQXMLDocument doc(nullptr);
  doc.Encoding = QXMLEncUTF8;
  ASSERT_EQ(Load(doc, "<r\xC3\xA9 k='\xE2\x82\xAC'>\xF0\x9F\x98\x80|\xFF|\xE4\xB8\x80</r\xC3\xA9>"), "");
  EXPECT_EQ(doc.GetRoot()->LocalName, "r\xE9");
  EXPECT_EQ(doc.GetRoot()->GetAttrib("", "k"), "\x80");
  EXPECT_EQ(doc.GetRoot()->Text, "?||?");  // emoji, invalid byte dropped, no code page character
  EXPECT_FALSE(warnings.Lines().empty());
}

TEST(QXMLReader, ProgressInStepsOfFive) {
  struct Case {
    size_t size;
    std::vector<int> expected;
  } cases[] = {
      {20, {100}},
      {4 * 327680, {25, 50, 75, 100}},
      {3 * 327680, {100}},  // 33 and 67 are not multiples of five
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    std::string text = "<r>";
    while (text.size() + 40 < c.size) text += "<a>0123456789</a>";
    text += std::string(c.size - 4 - text.size(), 'x');
    text += "</r>";
    ASSERT_EQ(text.size(), c.size);
    TQXMLDocument doc(nullptr);
    std::vector<int> seen;
    doc.OnPercent = [&](TQXMLDocument* sender, int percent) {
      EXPECT_EQ(sender, &doc);
      seen.push_back(percent);
    };
    ASSERT_EQ(Load(doc, text), "");
    EXPECT_EQ(seen, c.expected);
  }
}

TEST(QXMLReader, TokenLongerThanScannerBufferFails) {
  EXPECT_EQ(ErrorOf("<r>" + std::string(700000, 'x') + "</r>"), "XML error: fatal error - scanner input buffer overflow");
  TQXMLDocument doc(nullptr);
  ASSERT_EQ(Load(doc, "<r>" + std::string(600000, 'x') + "</r>"), "");
  EXPECT_EQ(doc.GetRoot()->Text.size(), 600000u);
}

// Tags, names and values that straddle the point where the scanner reads
// its next chunk are read as if the input had come in one piece.
TEST(QXMLReader, TokensAcrossChunkBoundaries) {
  const std::string tail = "\r\n  <p:ab k='v' n=\"w\">t</p:ab>< abc\tx=\"1\"/>\n  < /r>";
  for (size_t shift = 0; shift < tail.size() + 8; ++shift) {
    SCOPED_TRACE(shift);
    const std::string head = "<r><f>";
    const size_t filler = static_cast<size_t>(TQXMLReader::kChunkSize) - head.size() - 4 - shift + 8;
    std::string text = head + std::string(filler, 'x') + "</f>" + tail;
    TQXMLDocument doc(nullptr);
    ASSERT_EQ(Load(doc, text), "");
    TQXMLNode* r = doc.GetRoot();
    ASSERT_EQ(r->GetCount(), 3);
    EXPECT_EQ(r->GetItem(0)->Text.size(), filler);
    TQXMLNode* ab = r->GetItem(1);
    EXPECT_EQ(ab->Prefix, "p");
    EXPECT_EQ(ab->LocalName, "ab");
    EXPECT_EQ(ab->Text, "t");
    EXPECT_EQ(ab->GetAttrib("", "k"), "v");
    EXPECT_EQ(ab->GetAttrib("", "n"), "w");
    EXPECT_EQ(r->GetItem(2)->LocalName, "abc");
    EXPECT_EQ(r->GetItem(2)->GetAttrib("", "x"), "1");
  }
}

TEST(QXMLReader, DeepNestingFailsCleanly) {
  auto nested = [](int depth) {
    std::string s;
    for (int i = 0; i < depth; ++i) s += "<a>";
    for (int i = 0; i < depth; ++i) s += "</a>";
    return s;
  };
  TQXMLDocument doc(nullptr);
  ASSERT_EQ(Load(doc, nested(1999)), "");
  EXPECT_EQ(ErrorOf(nested(2100)), "XML error: parser stack overflow");
  EXPECT_EQ(ErrorOf(nested(200000)), "XML error: parser stack overflow");
}

TEST(QXMLReader, EveryTruncatedPrefixFailsCleanly) {
  const std::string text = ReadFile(kData + "sample.xml");
  const size_t complete = text.rfind('>') + 1;
  for (size_t n = 0; n < text.size(); ++n) {
    TQXMLDocument doc(nullptr);
    bool failed = false;
    std::string error = Load(doc, text.substr(0, n), &failed);
    if (n < complete) {
      EXPECT_TRUE(failed || !error.empty()) << "prefix " << n;
    } else {
      EXPECT_EQ(error, "") << "prefix " << n;
    }
  }
}

TEST(QXMLReader, SampleFileTree) {
  TQXMLDocument doc(nullptr);
  doc.AutoValidate = true;
  ASSERT_FALSE(doc.LoadFromFile(kData + "sample.xml"));
  TQXMLNode* root = doc.GetRoot();
  EXPECT_EQ(root->LocalName, "Measurement_Config_File");
  EXPECT_EQ(root->CommentsBefore, std::vector<std::string>{" Generated for the reader tests "});
  TQXMLNode* info = root->FindItem("ZORInfo");
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->FindItem("Version")->Text, "2.000");
  EXPECT_EQ(info->FindItem("Description")->Text, "Caf\xE9 & more");
  TQXMLNode* networks = root->FindItem("Networks");
  ASSERT_EQ(networks->GetCount(), 2);
  TQXMLNode* can = networks->GetItem(0);
  EXPECT_EQ(can->CommentsBefore, std::vector<std::string>{" first network "});
  EXPECT_EQ(can->GetAttrib("", "speed"), "500000");
  EXPECT_EQ(can->FindItem("ZORId")->Text, "Network0");
  EXPECT_EQ(can->Find("Frames"), 2);
  EXPECT_EQ(networks->GetItem(1)->FindItem("Name")->Text, "Door <LIN>");
}

// A read-only load gives the tree an ordinary load gives, and lets go of it on
// a reload, a failed load and destruction; what the host makes in its progress
// handler meanwhile stays the host's.
TEST(QXMLReader, ReadOnlyLoadGivesTheSameTree) {
  const auto saved = [](TQXMLDocument& doc) {
    std::ostringstream out;
    doc.SaveToStream(out);
    return out.str();
  };
  TQXMLDocument plain(nullptr);
  ASSERT_FALSE(plain.LoadFromFile(kData + "sample.xml"));
  std::unique_ptr<TQXMLNode> kept;
  {
    TQXMLDocument doc(nullptr);
    doc.OnPercent = [&](TQXMLDocument*, int) {
      kept = std::make_unique<TQXMLNode>();
      kept->Text.AssignPaged("made by the host's handler");
    };
    for (int load = 0; load < 2; ++load) {
      ASSERT_FALSE(doc.LoadFromFileReadOnly(kData + "sample.xml"));
      EXPECT_EQ(saved(doc), saved(plain));
    }
    EXPECT_THROW(doc.LoadFromFileReadOnly(kData + "two_roots.xml"), std::runtime_error);
    ASSERT_FALSE(doc.LoadFromFileReadOnly(kData + "sample.xml"));
    doc.Clear();
    EXPECT_EQ(doc.GetRoot()->LocalName, "Root");
    EXPECT_EQ(doc.GetRoot()->GetCount(), 0);
  }
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->Text, "made by the host's handler");
}

namespace {

void Dump(const TQXMLNode& node, std::string& out) {
  out += "<" + node.GetIdent() + " " + node.GetAttribsText() + ">" + std::string(node.Text) + "|";
  for (const std::string& c : node.CommentsBefore) out += "{" + c + "}";
  for (const std::string& c : node.CommentsAfter) out += "[" + c + "]";
  for (int i = 0; i < node.GetCount(); ++i) Dump(*node.GetItem(i), out);
  out += "/";
}

// The tree, or the error and where reading stopped, that parsing text gives.
std::string Parsed(const std::string& text, bool fastPath) {
  std::istringstream in(text);
  TQXMLReader reader(in, nullptr);
  TQXMLOptions options;
  auto root = std::make_unique<TQXMLNode>();
  TQXMLsynt parser(reader, options, root.get(), true);
  parser.SetFastPath(fastPath);
  std::string out;
  try {
    parser.Parse();
  } catch (const std::runtime_error& e) {
    out = std::string(e.what()) + " at " + std::to_string(parser.StopOffset()) + ": ";
  }
  Dump(*root, out);
  return out;
}

}  // namespace

// Whole elements read in one step give the tree and errors the tokens give,
// on every prefix of inputs that mix such elements with everything else.
TEST(QXMLReader, LeafElementsMatchTheGeneralParser) {
  zortest::ExpectSameOnEveryPrefix(
      {"<r>\n<a>x</a>\n<b></b> <c>x&amp;y</c><d> y</d><e>z</e ><f>1</ff><g>\xC3\xA9</g><h:i>1</h:i>"
       "<j k=\"1\">t</j><l>t</l><!--c--><m>t</m></r>",
       "<r><a>x</b><c>y</c></r>"},
      Parsed);
}

TEST(QXMLReader, SecondRootInFileRaises) {
  TQXMLDocument doc(nullptr);
  try {
    doc.LoadFromFile(kData + "two_roots.xml");
    FAIL() << "no exception";
  } catch (const QXMLException&) {
    FAIL() << "wrong exception class";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "XML error: parse error");
  }
  EXPECT_THROW(doc.LoadFromFile(kData + "does_not_exist.xml"), std::runtime_error);
}

TEST(QXMLPathSearch, LoadsFoundElement) {
  const std::string text = "<r><q/><x k='1'>data<y a='2'>inner</y><z/></x><x k='second'/></r>";
  struct Case {
    const char* path;
    bool loadSubtree;
    bool found;
    const char* rootName;
    int children;
    const char* k;
    const char* text;
  } cases[] = {
      {"x", true, true, "x", 2, "1", "data"},
      {"x", false, true, "x", 0, "1", "data"},
      {"r;y", true, true, "y", 0, "", "inner"},
      {" r  y ", false, true, "y", 0, "", "inner"},
      {"\"x\";z", true, true, "z", 0, "", ""},
      {"y;x", true, true, "x", 0, "second", ""},  // nesting plays no part
      {"zz", true, false, "Root", 0, "", ""},
      {"r;zz", true, false, "Root", 0, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    TQXMLDocument doc(nullptr);
    std::istringstream in(text);
    EXPECT_EQ(doc.FindNodeInStream(in, c.path, c.loadSubtree), c.found);
    TQXMLNode* root = doc.GetRoot();
    EXPECT_EQ(root->LocalName, c.rootName);
    EXPECT_EQ(root->GetCount(), c.children);
    EXPECT_EQ(root->GetAttrib("", "k"), c.k);
    EXPECT_EQ(root->Text, c.text);
  }
}

TEST(QXMLPathSearch, DescendantsDoNotTouchFoundElement) {
  TQXMLDocument doc(nullptr);
  std::istringstream in("<r><x k='1'><y k='2'><w/>deep</y></x></r>");
  EXPECT_TRUE(doc.FindNodeInStream(in, "x", /*loadSubtree=*/false));
  EXPECT_EQ(doc.GetRoot()->GetAttrib("", "k"), "1");
  EXPECT_EQ(doc.GetRoot()->Text, "");
  EXPECT_EQ(doc.GetRoot()->GetCount(), 0);
}

TEST(QXMLPathSearch, SubtreeIsLoadedWithChildren) {
  TQXMLDocument doc(nullptr);
  std::istringstream in("<r><x k='v'><y/></x></r>");
  EXPECT_TRUE(doc.FindNodeInStream(in, "x", /*loadSubtree=*/true));
  TQXMLNode* x = doc.GetRoot();
  EXPECT_EQ(x->LocalName, "x");
  EXPECT_EQ(x->GetAttrib("", "k"), "v");
  ASSERT_EQ(x->GetCount(), 1);
  EXPECT_EQ(x->GetItem(0)->LocalName, "y");
}

TEST(QXMLPathSearch, EmptyPathLoadsEverything) {
  TQXMLDocument doc(nullptr);
  EXPECT_FALSE(doc.FindNodeInFile(kData + "sample.xml", "", true));
  EXPECT_EQ(doc.GetRoot()->LocalName, "Measurement_Config_File");
  EXPECT_EQ(doc.GetRoot()->GetCount(), 2);
  EXPECT_TRUE(doc.FindNodeInFile(kData + "sample.xml", "Networks Network ZORId", false));
  EXPECT_EQ(doc.GetRoot()->Text, "Network0");
}

TEST(QXMLDocument, Defaults) {
  TQXMLDocument doc(nullptr);
  EXPECT_TRUE(doc.IsEmpty());
  EXPECT_EQ(doc.GetRoot()->LocalName, "Root");
  EXPECT_EQ(doc.GetVersionText(), "version=\"1.0\"");
  EXPECT_EQ(doc.GetEncodingText(), "");
  doc.Encoding = QXMLEncPlain;
  EXPECT_EQ(doc.GetEncodingText(), "encoding=\"gb2312\"");
  doc.Encoding = QXMLEncUTF8;
  EXPECT_EQ(doc.GetEncodingText(), "encoding=\"UTF-8\"");
  doc.Version = "";
  EXPECT_EQ(doc.GetVersionText(), "version=\"\"");
}

TEST(QXMLDocument, ClearKeepsPrefixAndText) {
  TQXMLDocument doc(nullptr);
  ASSERT_EQ(Load(doc, "<p:r k='1'>keep<c/></p:r>"), "");
  doc.SetRootName("n");
  EXPECT_EQ(doc.GetRoot()->GetIdent(), "p:n");
  doc.Clear();
  EXPECT_EQ(doc.GetRoot()->GetIdent(), "p:n");
  EXPECT_EQ(doc.GetRoot()->Text, "keep");
  EXPECT_TRUE(doc.IsEmpty());
  EXPECT_EQ(doc.GetRoot()->Attribs.GetCount(), 0);
}
