#include "tools/zor/xml_outline.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(XmlOutline, ParsesOrRefuses) {
  struct Case {
    const char* Text;
    bool Ok;
  };
  const Case cases[] = {
      {"<?xml version=\"1.0\"?>\r\n<r>\r\n<a>x &amp; y</a>\r\n<!-- <b> -->\r\n<c/>\r\n</r>\r\n", true},
      {"<r><a></r>", false},
      {"<r></r><s></s>", false},
      {"<r><a>", false},
      {"text only", false},
      {"<r><!-- unterminated </r>", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Text);
    zorcli::OutlineNode root;
    EXPECT_EQ(zorcli::ParseOutline(c.Text, root), c.Ok);
  }
  zorcli::OutlineNode root;
  ASSERT_TRUE(zorcli::ParseOutline(cases[0].Text, root));
  ASSERT_EQ(root.Children.size(), 2u);
  EXPECT_EQ(root.Children[0].Text, "x & y");
  EXPECT_EQ(root.Children[0].Line, 3);
  EXPECT_EQ(root.Children[1].Name, "c");
}

TEST(XmlOutline, UnmatchedElementsCountSiblingsByName) {
  zorcli::OutlineNode a, b;
  ASSERT_TRUE(zorcli::ParseOutline("<r><s><x/></s><t/><s><y/></s></r>", a));
  ASSERT_TRUE(zorcli::ParseOutline("<r><s><x/><z/></s></r>", b));
  auto lost = zorcli::UnmatchedElements(a, b);
  ASSERT_EQ(lost.size(), 2u);
  EXPECT_EQ(lost[0].Node->Name, "t");
  EXPECT_EQ(lost[1].Node->Name, "s");
  EXPECT_EQ(lost[1].Ordinal, 2);
  EXPECT_TRUE(zorcli::UnmatchedElements(b, b).empty());
}

// Texts whose outlines match exactly when, and only when, SameElements says so.
TEST(XmlOutline, SameElementsIgnoresWhatLiesBetweenTags) {
  struct Case {
    const char* A;
    const char* B;
    bool Same;
  };
  const Case cases[] = {
      {"<r>\r\n<a>x</a>\r\n</r>\r\n", "<r>\n<a>x</a>\n</r>\n", true},
      {"<r><a/></r>", "<r><a></a></r>", true},
      {"<r><a k=\"1\">x</a><!-- <b/> --></r>", "<?xml version=\"1.0\"?><r><a>y</a></r>", true},
      {"<r><a/><b/></r>", "<r><b/><a/></r>", false},
      {"<r><a/><a/></r>", "<r><a/></r>", false},
      {"<r><a><b/></a></r>", "<r><a/><b/></r>", false},
      {"<r><a/></r>", "<r><a/></r><!-- open", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.A) + " | " + c.B);
    EXPECT_EQ(zorcli::SameElements(c.A, c.B), c.Same);
    EXPECT_EQ(zorcli::SameElements(c.B, c.A), c.Same);
  }
}

TEST(XmlOutline, EncodingHints) {
  EXPECT_TRUE(zorcli::HoldsUtf8("T\xC3\xBCr"));
  EXPECT_TRUE(zorcli::HoldsUtf8("\xE2\x82\xAC \xF0\x9F\x98\x80"));
  EXPECT_FALSE(zorcli::HoldsUtf8("plain"));
  EXPECT_FALSE(zorcli::HoldsUtf8("T\xFCr"));
  EXPECT_FALSE(zorcli::HoldsUtf8("\xC3"));        // cut short
  EXPECT_FALSE(zorcli::HoldsUtf8("\xC0\xAF"));    // overlong
  EXPECT_TRUE(zorcli::DeclaresEncoding("<?xml version=\"1.0\" encoding=\"UTF-8\"?><r/>"));
  EXPECT_TRUE(zorcli::DeclaresEncoding("\xEF\xBB\xBF<r/>"));
  EXPECT_FALSE(zorcli::DeclaresEncoding("<?xml version=\"1.0\"?><r encoding=\"x\"/>"));
  EXPECT_FALSE(zorcli::DeclaresEncoding("<r/>"));
}

}  // namespace
