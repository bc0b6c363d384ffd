#include "zor/QXML/qxml_node.h"

#include "zor/platform/codepage.h"

std::string QXMLIdentComp(std::string_view prefix, std::string_view local) {
  std::string out;
  if (!prefix.empty()) {
    out.reserve(prefix.size() + 1 + local.size());
    out.append(prefix);
    out += ':';
  }
  out.append(local);
  return out;
}

TQXMLNode::~TQXMLNode() {
  Clear();
  Detach();
}

void TQXMLNode::Detach() {
  if (Parent && Parent->Items) {
    // Children are mostly destroyed from the back: try there first.
    TCList<TQXMLNode>& siblings = *Parent->Items;
    const int last = siblings.GetCount() - 1;
    if (last >= 0 && siblings.Get(last) == this)
      siblings.Delete(last);
    else
      siblings.Remove(this);
  }
  Parent = nullptr;
}

void TQXMLNode::ClearAttribs() {
  for (int i = 0; i < Attribs.GetCount(); ++i) delete Attribs.Get(i);
  Attribs.Clear();
  AttribList.clear();
}

// Destroys the subtree without recursion, deepest last child first: every
// node is destroyed while still attached to its parent, after its own
// children, so its destructor finds nothing left to clear.
void TQXMLNode::Clear() {
  ClearAttribs();
  CommentsBefore.clear();
  CommentsAfter.clear();
  if (!Items) return;
  TQXMLNode* node = this;
  for (;;) {
    if (const int n = node->GetCount(); n > 0) {
      node = node->Items->Get(n - 1);
      continue;
    }
    if (node == this) break;
    TQXMLNode* parent = node->Parent;
    delete node;  // detaches itself
    node = parent;
  }
  TCList<TQXMLNode>::Destroy(Items);
  Items = nullptr;
}

TCList<TQXMLNode>* TQXMLNode::ChildList() {
  if (!Items) Items = new TCList<TQXMLNode>;
  return Items;
}

TQXMLNode* TQXMLNode::GetItem(int index) const { return Items ? Items->Get(index) : nullptr; }

int TQXMLNode::GetCount() const { return Items ? Items->GetCount() : 0; }

TQXMLNode* TQXMLNode::Add() {
  auto* node = new TQXMLNode;
  AddItem(node);
  return node;
}

TQXMLNode* TQXMLNode::Add(std::string_view ident) {
  TQXMLNode* node = Add();
  node->SetIdent(ident);
  return node;
}

bool TQXMLNode::IsSelfOrAncestor(const TQXMLNode* node) const {
  // A node without children can only be an ancestor of itself.
  if (node == this) return true;
  if (node->GetCount() == 0) return false;
  for (const TQXMLNode* n = this; n; n = n->Parent)
    if (n == node) return true;
  return false;
}

void TQXMLNode::AddItem(TQXMLNode* node) { InsertItem(GetCount(), node); }

TQXMLNode* TQXMLNode::InsertItem(int index, TQXMLNode* node) {
  if (!node || IsSelfOrAncestor(node) || index < 0 || index > GetCount()) return node;
  // The old entry goes by position, so that moving a child to an earlier
  // place in the same parent removes the old entry, not the new one.
  TQXMLNode* oldParent = node->Parent;
  int oldIndex = oldParent ? oldParent->Items->IndexOf(node) : -1;
  ChildList()->Insert(index, node);
  if (oldParent) {
    if (oldParent == this && oldIndex >= index) ++oldIndex;
    oldParent->Items->Delete(oldIndex);
  }
  node->Parent = this;
  return node;
}

void TQXMLNode::SetParent(TQXMLNode* parent) {
  if (parent && parent->IsSelfOrAncestor(this)) return;  // would make a cycle
  Detach();
  Parent = parent;
  if (parent) {
    parent->ChildList()->Add(this);
  }
}

void TQXMLNode::SetIdent(std::string_view ident) {
  size_t colon = ident.find(':');
  if (colon == std::string_view::npos) {
    Prefix.clear();
    LocalName = ident;
  } else {
    Prefix = ident.substr(0, colon);
    LocalName = ident.substr(colon + 1);
  }
}

std::string TQXMLNode::GetIdent() const { return QXMLIdentComp(Prefix, LocalName); }

int TQXMLNode::Find(std::string_view prefix, std::string_view local) const {
  const int n = GetCount();
  for (int i = 0; i < n; ++i) {
    const TQXMLNode* child = Items->Get(i);
    if (child->LocalName == local && child->Prefix == prefix) return i;
  }
  return -1;
}

int TQXMLNode::Find(std::string_view ident) const {
  size_t colon = ident.find(':');
  if (colon == std::string_view::npos) return Find(std::string_view(), ident);
  return Find(ident.substr(0, colon), ident.substr(colon + 1));
}

TQXMLNode* TQXMLNode::FindItem(std::string_view prefix, std::string_view local) const {
  return GetItem(Find(prefix, local));
}

TQXMLNode* TQXMLNode::FindItem(std::string_view ident) const { return GetItem(Find(ident)); }

TQXMLNode* TQXMLNode::Root() {
  TQXMLNode* node = this;
  while (node->Parent) node = node->Parent;
  return node;
}

TQXMLNode* TQXMLNode::Root(std::string_view ident) {
  TQXMLNode* root = Root();
  root->SetIdent(ident);
  return root;
}

int TQXMLNode::IndexOf(const TQXMLNode* node) const { return Items ? Items->IndexOf(node) : -1; }

void TQXMLNode::SetAttrib(std::string_view prefix, std::string_view local, std::string_view value) {
  for (int i = 0; i < Attribs.GetCount(); ++i) {
    TQXMLAttribElement* a = Attribs.Get(i);
    if (a->LocalName == local && a->Prefix == prefix) {
      a->Value = value;
      return;
    }
  }
  Attribs.Add(new TQXMLAttribElement{std::string(prefix), std::string(local), std::string(value)});
}

std::string TQXMLNode::GetAttrib(std::string_view prefix, std::string_view local) const {
  for (int i = 0; i < Attribs.GetCount(); ++i) {
    const TQXMLAttribElement* a = Attribs.Get(i);
    if (a->LocalName == local && (prefix.empty() || a->Prefix == prefix)) return a->Value;
  }
  return std::string();
}

namespace {

// Index of the line whose name (text before its first '=') equals name
// without regard to case; -1 when none.
int IndexOfName(const std::vector<std::string>& lines, std::string_view name) {
  for (size_t i = 0; i < lines.size(); ++i) {
    size_t eq = lines[i].find('=');
    if (eq != std::string::npos && zor::CodePageEqualsNoCase(std::string_view(lines[i]).substr(0, eq), name))
      return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

const std::vector<std::string>& TQXMLNode::GetAttribList() const {
  std::vector<std::string> lines;
  for (int i = 0; i < Attribs.GetCount(); ++i) {
    const TQXMLAttribElement* a = Attribs.Get(i);
    std::string name = QXMLIdentComp(a->Prefix, a->LocalName);
    int at = IndexOfName(lines, name);
    if (a->Value.empty()) {
      if (at >= 0) lines.erase(lines.begin() + at);
    } else if (at >= 0) {
      std::string& line = lines[static_cast<size_t>(at)];
      line.resize(line.find('=') + 1);
      line += a->Value;
    } else {
      lines.push_back(name + "=" + a->Value);
    }
  }
  AttribList = lines;
  return AttribList.Get();
}

void TQXMLNode::SetAttribsText(std::string_view text) {
  ClearAttribs();
  std::vector<std::string_view> pieces;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] >= 1 && text[i] <= 32) ++i;
    size_t start = i;
    while (i < text.size() && !(text[i] >= 1 && text[i] <= 32)) ++i;
    if (i > start) pieces.push_back(text.substr(start, i - start));
  }
  for (std::string_view piece : pieces) {
    size_t eq = piece.find('=');
    std::string_view name = eq == std::string_view::npos ? std::string_view() : piece.substr(0, eq);
    std::string_view value;
    for (std::string_view other : pieces) {
      size_t oeq = other.find('=');
      if (oeq != std::string_view::npos && zor::CodePageEqualsNoCase(other.substr(0, oeq), name)) {
        value = other.substr(oeq + 1);
        break;
      }
    }
    const size_t colon = name.find(':');
    if (colon == std::string_view::npos)
      SetAttrib(std::string_view(), name, value);
    else
      SetAttrib(name.substr(0, colon), name.substr(colon + 1), value);
  }
  AttribList.clear();
  for (std::string_view piece : pieces) AttribList.emplace_back(piece);
}

std::string TQXMLNode::GetAttribsText() const {
  std::string out;
  for (const std::string& line : GetAttribList()) {
    if (!out.empty()) out += ' ';
    out += line;
  }
  return out;
}

