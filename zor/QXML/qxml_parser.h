// Parser and semantic actions of the XML library.
//
// TQXMLsynt recognises: any number of instructions, DOCTYPEs and comments,
// one root element and nothing after it; inside content, character data,
// instructions, DOCTYPEs, comments and elements in any order. It keeps an
// explicit stack (no recursion per nesting level) limited to kMaxStack
// entries. TQXMLSemantics builds the node tree and performs the path search.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zor/QXML/qxml_scanner.h"
#include "zor/QXML/qxml_text_field.h"
#include "zor/QXML/qxml_types.h"

class TQXMLNode;

class TQXMLSemantics {
 public:
  // Builds the tree under node; the prologue and DOCTYPE go to options.
  TQXMLSemantics(TQXMLOptions& options, TQXMLNode* node, bool loadSubtree);

  // Splits path at ';' and white space; "..." keeps both ("" inside stands
  // for one quote). An empty path loads the whole document.
  void SetPath(std::string_view path);
  // Collects in owners every node that is given attributes, comments or a
  // heap child list (a node may appear more than once).
  void CollectHeapOwners(std::vector<TQXMLNode*>* owners) { heapOwners_ = owners; }
  // For a tree in an arena that is only read: an element's child list is
  // made once, when it closes, in the arena (whole loads only).
  void MakeFixedLists() { fixedLists_ = true; }
  // Tells observer of the root's children and grandchildren as they open and
  // close (whole loads only).
  void SetObserver(TQXMLLoadObserver* observer) { observer_ = observer; }
  int PathCount() const { return static_cast<int>(path_.size()); }
  // Whether every element is loaded (no path search).
  bool LoadsAll() const { return path_.empty(); }
  int MatchedCount() const { return matched_; }
  TQXMLNode* FoundNode() const { return found_; }

  void Prologue(std::string_view text);
  void DocType(std::string_view text);
  void Comment(std::string_view text, std::vector<std::string>& pending);
  void Start(std::string_view name, std::vector<std::string>& pending);
  // withReferences false: the text is known to hold no '&'.
  void ContentData(std::string_view text, bool withReferences = true);
  void Attrib(std::string_view name);
  void Attrib(std::string_view name, std::string_view value);
  void End(std::string_view name, std::vector<std::string>& pending);
  void End(std::vector<std::string>& pending);

 private:
  bool Searching() const { return !path_.empty() && found_ == nullptr; }
  // Below a found element whose subtree is not loaded.
  bool Skipping() const { return skipDepth_ > 0; }
  void CloseCurrent(std::vector<std::string>& pending);
  std::vector<TQXMLNode*>& OpenChildren(int depth);
  // Stores an element name; long names are shared between the elements of a load.
  void StoreName(TQXMLString& field, std::string_view name);
  void StoreAttrib(std::string_view prefix, std::string_view local, std::string_view value);
  // The slot of attribute (prefix, local) of the current element in
  // attribSlots_, or the free slot where it would go.
  size_t AttribSlot(std::string_view prefix, std::string_view local, uint64_t hash) const;
  // Indexes the current element's attributes in a table for count of them.
  void IndexAttribs(size_t count);

  static constexpr size_t kMaxNames = 4096;
  static constexpr int kIndexAttribsFrom = 16;

  bool firstElement_ = true;
  TQXMLNode* current_;
  int depth_ = 0;  // of current_ below the root element
  bool fixedLists_ = false;
  // With fixed lists: the children so far of the open element at each depth.
  std::vector<std::vector<TQXMLNode*>> openChildren_;
  TQXMLLoadObserver* observer_ = nullptr;
  std::vector<TQXMLNode*>* heapOwners_ = nullptr;
  TQXMLOptions& options_;
  bool loadSubtree_;
  std::vector<std::string> path_;
  int32_t matched_ = 0;
  TQXMLNode* found_ = nullptr;
  int skipDepth_ = 0;
  // The long element names of this load, open-addressed by NameHash; grows at
  // a load of one half.
  struct NameSlot {
    uint64_t Hash = 0;
    TQXMLString Text;  // empty: free
  };
  std::vector<NameSlot> names_;
  size_t nameCount_ = 0;
  // An open-addressed index of the attributes of one element with many of
  // them: each slot holds the high half of the name's hash and the number + 1
  // of the first attribute of that name (0: free). It compares the names in
  // the attributes themselves and grows at a load of one half.
  struct AttribSlotEntry {
    uint32_t Tag;
    uint32_t Number;
  };
  const TQXMLNode* attribNode_ = nullptr;  // node that attribSlots_ describes
  std::vector<AttribSlotEntry> attribSlots_;
};

class TQXMLsynt {
 public:
  // The stack starts with room for 200 entries and may double up to this.
  static constexpr int kMaxStack = 10000;

  TQXMLsynt(TQXMLReader& reader, TQXMLOptions& options, TQXMLNode* node, bool loadSubtree);
  ~TQXMLsynt();

  // 0 when the document was accepted. Errors are raised as exceptions.
  int Parse();
  // Off: every token goes through the general scanner (tests compare both).
  void SetFastPath(bool on) { lex_.SetFastPath(on); }
  // Input offset of the scanner: where reading stopped after an error.
  uint64_t StopOffset() const { return lex_.Offset(); }
  TQXMLSemantics& Semantics() { return semantics_; }

 private:
  [[noreturn]] void Error(const char* message);
  // Fails when the parse needs more than kMaxStack stack entries.
  void Need(int entries);

  TQXMLlex lex_;
  TQXMLSemantics semantics_;
  std::vector<std::string> pending_;  // comments since the last start or end tag
  std::string name_;                  // attribute or end-tag name being parsed
};
