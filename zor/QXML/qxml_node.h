// Node tree of the XML library.
//
// Texts are 8-bit strings in the system code page (Windows-1252). A node owns
// its children and its attribute records. Every field is at most one pointer
// wide and lists exist only once used, so that trees of millions of elements
// stay small.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "zor/QXML/qxml_list.h"
#include "zor/QXML/qxml_text_field.h"

struct ZOR_API TQXMLAttribElement {
  std::string Prefix;
  std::string LocalName;
  std::string Value;
};

// One element: identifier, character data, attributes, surrounding comments
// and child elements. Destroying a node destroys its subtree and detaches it
// from its parent.
class ZOR_API TQXMLNode {
 public:
  TQXMLNode() = default;
  TQXMLNode(const TQXMLNode&) = delete;
  TQXMLNode& operator=(const TQXMLNode&) = delete;
  virtual ~TQXMLNode();

  // Nodes come from shared pages (see qxml_pages).
  static void* operator new(size_t size) { return qxml_pages::Allocate(size); }
  static void operator delete(void* p) noexcept { qxml_pages::Release(p); }

  // Removes attributes, comments and children (last to first, each still
  // attached while it is destroyed); identifier and Text stay.
  void Clear();
  void ClearAttribs();

  // Child at index, or nullptr when out of range.
  TQXMLNode* GetItem(int index) const;
  int GetCount() const;

  TQXMLNode* Add();
  TQXMLNode* Add(std::string_view ident);
  // Appends node as the last child, taking it away from its former parent.
  // Adding this node or one of its ancestors is refused (it would make a cycle).
  void AddItem(TQXMLNode* node);
  // Like AddItem at position index (0..count); out of range inserts nothing.
  TQXMLNode* InsertItem(int index, TQXMLNode* node);
  // Detaches from the current parent and appends to parent (if not null).
  void SetParent(TQXMLNode* parent);

  void SetIdent(std::string_view ident);
  std::string GetIdent() const;

  // Index of the first child with exactly this prefix and local name; -1 if none.
  int Find(std::string_view prefix, std::string_view local) const;
  int Find(std::string_view ident) const;
  TQXMLNode* FindItem(std::string_view prefix, std::string_view local) const;
  TQXMLNode* FindItem(std::string_view ident) const;

  // Topmost ancestor (this node when it has no parent).
  TQXMLNode* Root();
  TQXMLNode* Root(std::string_view ident);
  int IndexOf(const TQXMLNode* node) const;

  void SetAttrib(std::string_view prefix, std::string_view local, std::string_view value);
  // An empty prefix matches any prefix.
  std::string GetAttrib(std::string_view prefix, std::string_view local) const;
  // Lines name=value (names compared without case, empty values left out);
  // the list lives in AttribList until the next call or attribute change.
  const std::vector<std::string>& GetAttribList() const;
  // Replaces all attributes by the blank-separated name=value pieces of text.
  void SetAttribsText(std::string_view text);
  std::string GetAttribsText() const;

  TQXMLString Prefix;
  TQXMLString LocalName;
  TQXMLString Text;
  TQXMLNode* Parent = nullptr;
  TCList<TQXMLNode>* Items = nullptr;  // null until the first child is added
  TQXMLStrings CommentsBefore;
  TQXMLStrings CommentsAfter;
  TCLazyList<TQXMLAttribElement> Attribs;
  mutable TQXMLStrings AttribList;

 private:
  void Detach();
  bool IsSelfOrAncestor(const TQXMLNode* node) const;
  TCList<TQXMLNode>* ChildList();
};

// An identifier: prefix, ':' and local name, or the local name alone.
ZOR_API std::string QXMLIdentComp(std::string_view prefix, std::string_view local);
