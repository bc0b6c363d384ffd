#include "zor/QXML/QXMLDocument.h"

#include <atomic>
#include <cstdint>
#include <fstream>
#include <new>
#include <istream>
#include <ostream>

#include "zor/QXML/QXMLlex.h"
#include "zor/QXML/QXMLsemantics.h"
#include "zor/QXML/qxml_writer.h"
#include "zor/platform/codepage.h"

const char* const EncodingTexts[3] = {"gb2312", "UTF-8", ""};

// ---------------------------------------------------------------------------
// Node slabs

namespace {

constexpr size_t kSlabSize = 64 * 1024;

// The count holds one reference per live node plus one for the thread that
// still hands out nodes from the slab; whoever drops the last one frees it.
struct alignas(16) SlabHeader {
  std::atomic<int> refs{1};
};

void Unref(SlabHeader* slab) {
  if (slab->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    slab->~SlabHeader();
    std::free(slab);
  }
}

struct SlabCursor {
  SlabHeader* slab = nullptr;
  size_t used = 0;
  void Retire() {
    if (slab) Unref(slab);
    slab = nullptr;
  }
  ~SlabCursor() { Retire(); }
};

thread_local SlabCursor t_cursor;

SlabHeader* NewSlab(size_t bytes) {
  void* p = std::aligned_alloc(kSlabSize, bytes);
  if (!p) throw std::bad_alloc();
  return new (p) SlabHeader;
}

}  // namespace

void* TQXMLNode::operator new(size_t size) {
  size = (size + 15) & ~size_t{15};
  const size_t header = sizeof(SlabHeader);
  if (header + size > kSlabSize) {
    // Oversized derived class: a slab of its own, referenced by the node only.
    SlabHeader* slab = NewSlab((header + size + kSlabSize - 1) / kSlabSize * kSlabSize);
    return reinterpret_cast<char*>(slab) + header;
  }
  SlabCursor& c = t_cursor;
  if (!c.slab || c.used + size > kSlabSize) {
    c.Retire();
    c.slab = NewSlab(kSlabSize);
    c.used = header;
  }
  void* p = reinterpret_cast<char*>(c.slab) + c.used;
  c.used += size;
  c.slab->refs.fetch_add(1, std::memory_order_relaxed);
  return p;
}

void TQXMLNode::operator delete(void* p) noexcept {
  if (!p) return;
  Unref(reinterpret_cast<SlabHeader*>(reinterpret_cast<uintptr_t>(p) & ~(uintptr_t{kSlabSize} - 1)));
}

// ---------------------------------------------------------------------------
// TQXMLNode

TQXMLNode::~TQXMLNode() {
  Clear();
  Detach();
}

void TQXMLNode::Detach() {
  if (Parent && Parent->Items) Parent->Items->Remove(this);
  Parent = nullptr;
}

void TQXMLNode::ClearAttribs() {
  for (int i = 0; i < Attribs.GetCount(); ++i) delete Attribs.Get(i);
  Attribs.Clear();
  AttribList.clear();
}

// Destroys the subtree without recursion: children are detached and their
// own children queued before each node is deleted, so depth costs no stack.
void TQXMLNode::Clear() {
  ClearAttribs();
  CommentsBefore.clear();
  CommentsAfter.clear();
  if (!Items) return;
  std::vector<TQXMLNode*> doomed;
  auto takeChildren = [&doomed](TQXMLNode* node) {
    while (TQXMLNode* child = node->Items->PopBack()) {
      child->Parent = nullptr;
      doomed.push_back(child);
    }
    node->Items->Clear();
    node->Items = nullptr;
  };
  takeChildren(this);
  while (!doomed.empty()) {
    TQXMLNode* node = doomed.back();
    doomed.pop_back();
    if (node->Items) takeChildren(node);
    delete node;
  }
}

TCList<TQXMLNode>* TQXMLNode::ChildList() {
  if (!Items) Items = &children_;
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

void TQXMLNode::SetIdent(std::string_view ident) { TQXMLDocument::IdentDecomp(ident, Prefix, LocalName); }

std::string TQXMLNode::GetIdent() const { return TQXMLDocument::IdentComp(Prefix, LocalName); }

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
    if (eq != std::string::npos && zor::platform::CodePageEqualsNoCase(std::string_view(lines[i]).substr(0, eq), name))
      return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

const std::vector<std::string>& TQXMLNode::GetAttribList() const {
  AttribList.clear();
  for (int i = 0; i < Attribs.GetCount(); ++i) {
    const TQXMLAttribElement* a = Attribs.Get(i);
    std::string name = TQXMLDocument::IdentComp(a->Prefix, a->LocalName);
    int at = IndexOfName(AttribList, name);
    if (a->Value.empty()) {
      if (at >= 0) AttribList.erase(AttribList.begin() + at);
    } else if (at >= 0) {
      std::string& line = AttribList[static_cast<size_t>(at)];
      line.resize(line.find('=') + 1);
      line += a->Value;
    } else {
      AttribList.push_back(name + "=" + a->Value);
    }
  }
  return AttribList;
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
      if (oeq != std::string_view::npos && zor::platform::CodePageEqualsNoCase(other.substr(0, oeq), name)) {
        value = other.substr(oeq + 1);
        break;
      }
    }
    std::string prefix, local;
    TQXMLDocument::IdentDecomp(name, prefix, local);
    SetAttrib(prefix, local, value);
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

// ---------------------------------------------------------------------------
// TQXMLDocument

TQXMLDocument::TQXMLDocument(void* owner) : owner_(owner), root_(new TQXMLNode) { root_->LocalName = "Root"; }

TQXMLDocument::~TQXMLDocument() {
  Clear();
  delete root_;
}

void TQXMLDocument::IdentDecomp(std::string_view ident, std::string& prefix, std::string& local) {
  size_t colon = ident.find(':');
  if (colon == std::string_view::npos) {
    prefix.clear();
    local.assign(ident.data(), ident.size());
  } else {
    prefix.assign(ident.data(), colon);
    local.assign(ident.data() + colon + 1, ident.size() - colon - 1);
  }
}

std::string TQXMLDocument::IdentComp(std::string_view prefix, std::string_view local) {
  std::string out;
  if (!prefix.empty()) {
    out.reserve(prefix.size() + 1 + local.size());
    out.append(prefix);
    out += ':';
  }
  out.append(local);
  return out;
}

std::string TQXMLDocument::GetEncodingText() const {
  if (Encoding == QXMLEncAuto) return std::string();
  return std::string("encoding=\"") + EncodingTexts[Encoding] + "\"";
}

std::string TQXMLDocument::GetVersionText() const { return "version=\"" + Version + "\""; }

void TQXMLDocument::SetRootName(std::string_view name) {
  RootName = name;
  root_->LocalName = RootName;
}

bool TQXMLDocument::IsEmpty() const { return root_->GetCount() == 0; }

void TQXMLDocument::Clear() {
  root_->Clear();
  root_->LocalName = RootName;
}

void TQXMLDocument::RaiseException(const std::string& message) { throw std::runtime_error(message); }

bool TQXMLDocument::Run(std::istream& stream, const std::string* path, bool loadSubtree) {
  TQXMLReader reader(stream, *this);
  TQXMLsynt parser(reader, root_, loadSubtree);
  if (path) parser.Semantics().SetPath(*path);
  Clear();
  int result = 1;
  QXMLSetLastStopOffset(-1);
  try {
    result = parser.Parse();
  } catch (const QXMLException&) {
    result = 1;
  } catch (...) {
    QXMLSetLastStopOffset(static_cast<int64_t>(parser.StopOffset()));
    throw;
  }
  if (path) return parser.Semantics().PathCount() == parser.Semantics().MatchedCount();
  return result != 0;
}

bool TQXMLDocument::LoadFromStream(std::istream& stream) { return Run(stream, nullptr, /*loadSubtree=*/true); }

bool TQXMLDocument::FindNodeInStream(std::istream& stream, const std::string& path, bool loadSubtree) {
  return Run(stream, &path, loadSubtree);
}

namespace {

std::ifstream OpenForReading(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::in | std::ios::binary);
  if (!in) throw std::runtime_error("Cannot open file " + fileName + ".");
  return in;
}

}  // namespace

bool TQXMLDocument::LoadFromFile(const std::string& fileName) {
  std::ifstream in = OpenForReading(fileName);
  return LoadFromStream(in);
}

bool TQXMLDocument::FindNodeInFile(const std::string& fileName, const std::string& path, bool loadSubtree) {
  std::ifstream in = OpenForReading(fileName);
  return FindNodeInStream(in, path, loadSubtree);
}

void TQXMLDocument::SaveToStream(std::ostream& stream) {
  TQXMLWriter writer(stream, *this);
  writer.WriteHeader();
  writer.WriteBody();
}

void TQXMLDocument::SaveToFile(const std::string& fileName) {
  std::ofstream out(fileName, std::ios::out | std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("Cannot create file " + fileName + ".");
  SaveToStream(out);
  out.close();
  if (!out) throw std::runtime_error("Cannot write file " + fileName + ".");
}
