// In-memory XML tree and document of the ZOR XML library.
//
// Texts are 8-bit strings in the system code page (Windows-1252). A document
// owns its root node; a node owns its children and its attribute records.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#define QXML_API __attribute__((visibility("default")))

// Small growable list of pointers. Growth and shrinking follow fixed steps:
// appending to a full list grows the capacity by the current capacity
// clamped to 4..1024; a removal that leaves at least 1024 unused slots
// shrinks the array by exactly 1024 slots (or to nothing).
template <class T>
class TCList {
 public:
  TCList() = default;
  TCList(const TCList&) = delete;
  TCList& operator=(const TCList&) = delete;
  ~TCList() { std::free(List); }

  int GetCount() const { return Count; }
  int GetCapacity() const { return Capacity; }
  T* Get(int index) const { return index >= 0 && index < Count ? List[index] : nullptr; }

  void Add(T* item) { Insert(Count, item); }

  // Places item at index (0..count). Returns false when index is out of range.
  bool Insert(int index, T* item) {
    if (index < 0 || index > Count) return false;
    if (Count == Capacity) {
      int step = Capacity < 4 ? 4 : (Capacity > 1024 ? 1024 : Capacity);
      Reallocate(Capacity + step);
    }
    for (int i = Count; i > index; --i) List[i] = List[i - 1];
    List[index] = item;
    ++Count;
    return true;
  }

  void Delete(int index) {
    if (index < 0 || index >= Count) return;
    for (int i = index; i + 1 < Count; ++i) List[i] = List[i + 1];
    --Count;
    int smaller = Capacity - 1024 < 0 ? 0 : Capacity - 1024;
    if (smaller >= Count && smaller != Capacity) Reallocate(smaller);
  }

  // Linear search by identity from the front; -1 when absent.
  int IndexOf(const T* item) const {
    for (int i = 0; i < Count; ++i)
      if (List[i] == item) return i;
    return -1;
  }

  bool Remove(const T* item) {
    int i = IndexOf(item);
    if (i < 0) return false;
    Delete(i);
    return true;
  }

  // Forgets every entry and releases the array; never deletes the items.
  void Clear() {
    std::free(List);
    List = nullptr;
    Count = Capacity = 0;
  }

  // Removes the last entry without searching or shrinking.
  T* PopBack() { return Count > 0 ? List[--Count] : nullptr; }

  bool OwnsItems = false;  // kept for layout compatibility; never set here

 private:
  void Reallocate(int capacity) {
    if (capacity == 0) {
      std::free(List);
      List = nullptr;
    } else {
      void* p = std::realloc(static_cast<void*>(List), sizeof(T*) * static_cast<size_t>(capacity));
      if (!p) throw std::bad_alloc();
      List = static_cast<T**>(p);
    }
    Capacity = capacity;
  }

  T** List = nullptr;
  int32_t Count = 0;
  int32_t Capacity = 0;
};

struct QXML_API TQXMLAttribElement {
  std::string Prefix;
  std::string LocalName;
  std::string Value;
};

// One element: identifier, character data, attributes, surrounding comments
// and child elements. Destroying a node destroys its subtree and detaches it
// from its parent.
class QXML_API TQXMLNode {
 public:
  TQXMLNode() = default;
  TQXMLNode(const TQXMLNode&) = delete;
  TQXMLNode& operator=(const TQXMLNode&) = delete;
  virtual ~TQXMLNode();

  // Nodes come from 64 KiB slabs that are released when their last node is
  // destroyed: building and freeing large trees costs no general-purpose
  // allocation per node.
  static void* operator new(size_t size);
  static void operator delete(void* p) noexcept;

  // Removes attributes, comments and children; identifier and Text stay.
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

  std::string Prefix;
  std::string LocalName;
  std::string Text;
  TQXMLNode* Parent = nullptr;
  TCList<TQXMLNode>* Items = nullptr;  // null until the first child is added; points into the node
  std::vector<std::string> CommentsBefore;
  std::vector<std::string> CommentsAfter;
  TCList<TQXMLAttribElement> Attribs;
  mutable std::vector<std::string> AttribList;

 private:
  void Detach();
  bool IsSelfOrAncestor(const TQXMLNode* node) const;
  TCList<TQXMLNode>* ChildList();

  TCList<TQXMLNode> children_;  // storage behind Items
};

enum QXMLEncoding { QXMLEncPlain = 0, QXMLEncUTF8 = 1, QXMLEncAuto = 2 };

// Declaration names indexed by QXMLEncoding.
QXML_API extern const char* const EncodingTexts[3];

// The library's own exception; used to end a path search early ("Break.").
// Reading errors are plain std::runtime_error (see RaiseException).
class QXML_API QXMLException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class QXML_API TQXMLDocument {
 public:
  using PercentEvent = std::function<void(TQXMLDocument* sender, int percent)>;
  using ErrorEvent = std::function<void(TQXMLDocument* sender, const char* errMsg, bool& ignoreError)>;

  // owner is accepted for interface compatibility; it is not used.
  explicit TQXMLDocument(void* owner = nullptr);
  TQXMLDocument(const TQXMLDocument&) = delete;
  TQXMLDocument& operator=(const TQXMLDocument&) = delete;
  virtual ~TQXMLDocument();

  static void IdentDecomp(std::string_view ident, std::string& prefix, std::string& local);
  static std::string IdentComp(std::string_view prefix, std::string_view local);

  void SetIndentStr(const char* indent) { IndentStr = indent ? indent : ""; }
  std::string GetEncodingText() const;
  std::string GetVersionText() const;
  void SetRootName(std::string_view name);
  bool IsEmpty() const;
  void Clear();

  TQXMLNode* GetRoot() const { return root_; }
  void* GetOwner() const { return owner_; }

  // Reads the stream into the tree. Returns true on FAILURE (the document was
  // not accepted); reading errors throw std::runtime_error.
  bool LoadFromStream(std::istream& stream);
  bool LoadFromFile(const std::string& fileName);
  void SaveToStream(std::ostream& stream);
  void SaveToFile(const std::string& fileName);
  // Searches for the element named by path (names separated by ';' or blanks,
  // double quotes keep blanks) and loads it as the root. Returns true when found.
  bool FindNodeInStream(std::istream& stream, const std::string& path, bool loadSubtree);
  bool FindNodeInFile(const std::string& fileName, const std::string& path, bool loadSubtree);

  [[noreturn]] static void RaiseException(const std::string& message);

  bool AutoIndent = true;
  bool AutoValidate = true;
  std::string IndentStr = "\t";
  std::string Version = "1.0";
  QXMLEncoding Encoding = QXMLEncAuto;
  std::string DocType;
  std::string RootName = "Root";
  PercentEvent OnPercent;
  ErrorEvent OnError;  // never raised by the library

 private:
  bool Run(std::istream& stream, const std::string* path, bool loadSubtree);

  void* owner_;
  TQXMLNode* root_;
};
