#include <gtest/gtest.h>

#include <thread>

#include "zor/QXML/QXMLDocument.h"

TEST(QXMLNode, EmptyNodeHasNoChildren) {
  TQXMLNode node;
  node.SetIdent("p:n");
  node.Text = "t";
  TQXMLNode other;
  EXPECT_EQ(node.GetCount(), 0);
  EXPECT_EQ(node.GetItem(0), nullptr);
  EXPECT_EQ(node.GetItem(-1), nullptr);
  EXPECT_EQ(node.IndexOf(&other), -1);
  EXPECT_EQ(node.Find("x"), -1);
  node.Clear();
  EXPECT_EQ(node.GetIdent(), "p:n");
  EXPECT_EQ(node.Text, "t");
}

TEST(QXMLNode, IdentifierSplitsAtFirstColon) {
  struct Case {
    const char* ident;
    const char* prefix;
    const char* local;
    const char* back;
  } cases[] = {
      {"a:b:c", "a", "b:c", "a:b:c"}, {":x", "", "x", "x"}, {"name", "", "name", "name"}, {"p:", "p", "", "p:"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ident);
    TQXMLNode node;
    node.SetIdent(c.ident);
    EXPECT_EQ(node.Prefix, c.prefix);
    EXPECT_EQ(node.LocalName, c.local);
    EXPECT_EQ(node.GetIdent(), c.back);
  }
}

TEST(QXMLNode, AddItemMovesNodes) {
  TQXMLNode a, b;
  TQXMLNode* x = a.Add("x");
  TQXMLNode* y = a.Add("y");
  a.AddItem(x);  // same parent: moves to the end
  ASSERT_EQ(a.GetCount(), 2);
  EXPECT_EQ(a.GetItem(0), y);
  EXPECT_EQ(a.GetItem(1), x);
  a.InsertItem(0, x);  // same parent, earlier place: moves to the front
  EXPECT_EQ(a.GetItem(0), x);
  EXPECT_EQ(a.GetItem(1), y);
  b.AddItem(y);  // other parent: taken away
  EXPECT_EQ(a.GetCount(), 1);
  EXPECT_EQ(b.GetCount(), 1);
  EXPECT_EQ(y->Parent, &b);
  EXPECT_EQ(b.InsertItem(0, x), x);
  EXPECT_EQ(b.IndexOf(x), 0);
  EXPECT_EQ(a.GetCount(), 0);
  TQXMLNode* z = a.Add("z");
  b.InsertItem(5, z);  // out of range: nothing happens
  EXPECT_EQ(z->Parent, &a);
  EXPECT_EQ(b.GetCount(), 2);
  z->SetParent(&b);
  EXPECT_EQ(b.IndexOf(z), 2);
  z->SetParent(nullptr);
  EXPECT_EQ(b.GetCount(), 2);
  EXPECT_EQ(z->Parent, nullptr);
  delete z;
}

TEST(QXMLNode, CyclesAreRefused) {
  TQXMLNode root;
  TQXMLNode* child = root.Add("c");
  TQXMLNode* grandchild = child->Add("g");
  grandchild->AddItem(&root);
  grandchild->AddItem(grandchild);
  child->SetParent(grandchild);
  EXPECT_EQ(root.Parent, nullptr);
  EXPECT_EQ(grandchild->GetCount(), 0);
  EXPECT_EQ(child->Parent, &root);
  EXPECT_EQ(grandchild->Root(), &root);
  EXPECT_EQ(grandchild->Root("top"), &root);
  EXPECT_EQ(root.LocalName, "top");
}

TEST(QXMLNode, DestroyingChildDetachesIt) {
  TQXMLNode root;
  TQXMLNode* a = root.Add("a");
  root.Add("b");
  a->Add("deep")->Add("deeper");
  delete a;
  ASSERT_EQ(root.GetCount(), 1);
  EXPECT_EQ(root.GetItem(0)->LocalName, "b");
  root.Clear();
  EXPECT_EQ(root.GetCount(), 0);
  EXPECT_EQ(root.Items, nullptr);
}

// A host's node class that records, while it is destroyed, where it stood.
struct RecordingNode : TQXMLNode {
  explicit RecordingNode(std::vector<std::string>* log) : log_(log) {}
  ~RecordingNode() override {
    log_->push_back(LocalName.str() + (Parent ? "@" + std::to_string(Parent->IndexOf(this)) : "-"));
  }
  std::vector<std::string>* log_;
};

TEST(QXMLNode, ClearDestroysChildrenLastToFirstWhileAttached) {
  std::vector<std::string> log;
  TQXMLNode root;
  for (const char* name : {"a", "b", "c"}) {
    auto* child = new RecordingNode(&log);
    child->SetIdent(name);
    root.AddItem(child);
  }
  auto* inner = new RecordingNode(&log);
  inner->SetIdent("b1");
  root.GetItem(1)->AddItem(inner);
  root.Clear();
  EXPECT_EQ(log, (std::vector<std::string>{"c@2", "b1@0", "b@1", "a@0"}));
  EXPECT_EQ(root.Items, nullptr);
}

TEST(QXMLNode, TextFieldsKeepTheirValueWhateverTheLength) {
  TQXMLNode node;
  for (std::string text : {std::string(), std::string("abcdef"), std::string("abcdefg"), std::string(70000, 'x'),
                           std::string("a\0b", 3)}) {
    SCOPED_TRACE(text.size());
    node.Text = text;
    EXPECT_EQ(node.Text, text);
    EXPECT_EQ(node.Text.size(), text.size());
    EXPECT_EQ(node.Text.c_str()[text.size()], '\0');
    TQXMLString copy = node.Text;
    node.Text += "+";
    EXPECT_EQ(copy, text);
    EXPECT_EQ(node.Text, text + "+");
    node.Text = node.Text.view().substr(1);  // assigning a part of itself
    EXPECT_EQ(node.Text, (text + "+").substr(1));
  }
}

TEST(QXMLNode, DeepTreeIsDestroyedWithoutRecursion) {
  auto* root = new TQXMLNode;
  TQXMLNode* n = root;
  for (int i = 0; i < 200000; ++i) n = n->Add("a");
  delete root;  // must not exhaust the call stack
}

TEST(QXMLNode, FindComparesExactly) {
  TQXMLNode root;
  root.Add("a");
  root.Add("p:a");
  root.Add("A");
  EXPECT_EQ(root.Find("a"), 0);
  EXPECT_EQ(root.Find("p:a"), 1);
  EXPECT_EQ(root.Find("p", "a"), 1);
  EXPECT_EQ(root.Find("A"), 2);
  EXPECT_EQ(root.Find("q:a"), -1);
  EXPECT_EQ(root.FindItem("p:a"), root.GetItem(1));
  EXPECT_EQ(root.FindItem("zz"), nullptr);
}

TEST(QXMLNode, Attributes) {
  TQXMLNode n;
  n.SetAttrib("p", "id", "1");
  n.SetAttrib("", "id", "2");
  n.SetAttrib("p", "id", "3");
  EXPECT_EQ(n.Attribs.GetCount(), 2);
  EXPECT_EQ(n.GetAttrib("", "id"), "3");  // empty prefix matches any
  EXPECT_EQ(n.GetAttrib("p", "id"), "3");
  EXPECT_EQ(n.GetAttrib("q", "id"), "");
  n.ClearAttribs();
  n.SetAttrib("", "id", "1");
  n.SetAttrib("", "ID", "2");
  n.SetAttrib("", "e", "");
  EXPECT_EQ(n.Attribs.GetCount(), 3);
  EXPECT_EQ(n.GetAttrib("", "e"), "");
  EXPECT_EQ(n.GetAttribList(), (std::vector<std::string>{"id=2"}));
  EXPECT_EQ(n.GetAttribsText(), "id=2");
}

TEST(QXMLNode, SetAttribsText) {
  TQXMLNode n;
  n.SetAttrib("", "old", "x");
  n.SetAttribsText("a=1  b=2\tc");
  ASSERT_EQ(n.Attribs.GetCount(), 3);
  EXPECT_EQ(n.GetAttrib("", "a"), "1");
  EXPECT_EQ(n.GetAttrib("", "b"), "2");
  EXPECT_EQ(n.Attribs.Get(2)->LocalName, "");
  EXPECT_EQ(n.Attribs.Get(2)->Value, "");
  EXPECT_EQ(n.GetAttrib("", "old"), "");
  n.SetAttribsText("p:k=v A=1 a=2");
  EXPECT_EQ(n.GetAttrib("p", "k"), "v");
  EXPECT_EQ(n.GetAttrib("", "a"), "1");  // value of the first piece of that name
  EXPECT_EQ(n.GetAttribsText(), "p:k=v A=1");
}

TEST(TCList, GrowthAndShrinkSteps) {
  TCList<int> list;
  int dummy[1];
  std::vector<int> capacities;
  for (int i = 0; i < 5; ++i) {
    list.Add(dummy);
    capacities.push_back(list.GetCapacity());
  }
  EXPECT_EQ(capacities, (std::vector<int>{4, 4, 4, 4, 8}));
  while (list.GetCapacity() < 2000) list.Add(dummy);
  EXPECT_EQ(list.GetCapacity(), 2048);  // 4 8 16 ... 1024 2048
  while (list.GetCount() < 2048) list.Add(dummy);
  list.Add(dummy);
  EXPECT_EQ(list.GetCapacity(), 3072);
  while (list.GetCount() > 2049) list.Delete(0);
  EXPECT_EQ(list.GetCapacity(), 3072);
  list.Delete(0);  // leaves 2048 = 3072 - 1024
  EXPECT_EQ(list.GetCapacity(), 2048);
  while (list.GetCount() > 1) list.Delete(list.GetCount() - 1);
  EXPECT_EQ(list.GetCapacity(), 1024);
  list.Delete(0);
  EXPECT_EQ(list.GetCapacity(), 0);
  EXPECT_EQ(list.Get(0), nullptr);
}

// The storage behind a long list grows and shrinks in doublings while the
// capacity keeps its fixed steps: the entries survive both ways.
TEST(TCList, EntriesSurviveStorageDoublings) {
  TCList<int> list;
  std::vector<int> values(9000);
  for (int& v : values) list.Add(&v);
  EXPECT_EQ(list.GetCapacity(), 9216);  // steps of 1024 past 1024
  for (int i = 0; i < 6000; ++i) list.Delete(list.GetCount() - 1);
  list.Insert(0, &values[8999]);
  ASSERT_EQ(list.GetCount(), 3001);
  EXPECT_EQ(list.Get(0), &values[8999]);
  for (int i = 0; i < 3000; ++i) ASSERT_EQ(list.Get(i + 1), &values[static_cast<size_t>(i)]);
}

// A list over a block it does not own leaves the block alone when changed,
// shrunk past 1024 free slots, cleared or ended (the sanitizers see a wrong free).
TEST(TCList, FixedListsMoveToTheirOwnStorageWhenChanged) {
  std::vector<int> values(3000);
  std::vector<int*> pointers;
  for (int& v : values) pointers.push_back(&v);
  std::vector<int*> block(3010);
  for (int change = 0; change < 4; ++change) {
    auto* list = TCList<int>::MakeFixed(pointers.data(), 3000, [&](size_t bytes) {
      EXPECT_LE(bytes, block.size() * sizeof(int*));
      return static_cast<void*>(block.data());
    });
    ASSERT_EQ(list->GetCount(), 3000);
    if (change == 0) list->Add(&values[0]);
    if (change == 1) {
      for (int i = 0; i < 1100; ++i) list->Delete(list->GetCount() - 1);
    }
    if (change == 2) list->Clear();
    if (change <= 1) {
      EXPECT_EQ(list->Get(2999 - 1100 * change), &values[2999 - 1100 * static_cast<size_t>(change)]);
    }
    TCList<int>::Destroy(list);
  }
}

TEST(TCList, InsertAndIndexOf) {
  TCList<int> list;
  int dummy[1];
  for (int i = 0; i < 1024; ++i) list.Add(dummy);
  EXPECT_EQ(list.GetCapacity(), 1024);
  list.Add(dummy);
  EXPECT_EQ(list.GetCapacity(), 2048);
  list.Insert(0, dummy);
  EXPECT_FALSE(list.Insert(-1, dummy));
  EXPECT_FALSE(list.Insert(list.GetCount() + 1, dummy));
  EXPECT_EQ(list.IndexOf(dummy), 0);
  int other;
  EXPECT_EQ(list.IndexOf(&other), -1);
}

namespace {
struct BigNode : TQXMLNode {
  char payload[100000] = {};
};
}  // namespace

TEST(QXMLNode, NodesOutliveTheirThreadAndMayBeLarge) {
  TQXMLNode root;
  std::thread([&root] {
    for (int i = 0; i < 1000; ++i) root.Add("a");
  }).join();
  EXPECT_EQ(root.GetCount(), 1000);
  root.AddItem(new BigNode);
  static_cast<BigNode*>(root.GetItem(1000))->payload[99999] = 'x';
  root.Clear();  // frees nodes of a finished thread's slabs; sanitizers check the rest
  EXPECT_EQ(root.GetCount(), 0);
}
