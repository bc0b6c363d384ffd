// XML document of the ZOR XML library: the root node, the declaration and
// DOCTYPE texts, the reading and writing options and the load and save entry
// points.
#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zor/QXML/qxml_node.h"
#include "zor/QXML/qxml_types.h"

class ZOR_API TQXMLDocument : public TQXMLOptions {
 public:
  using PercentEvent = std::function<void(TQXMLDocument* sender, int percent)>;
  using ErrorEvent = std::function<void(TQXMLDocument* sender, const char* errMsg, bool& ignoreError)>;

  // owner is accepted for interface compatibility; it is not used.
  explicit TQXMLDocument(void* owner = nullptr);
  TQXMLDocument(const TQXMLDocument&) = delete;
  TQXMLDocument& operator=(const TQXMLDocument&) = delete;
  virtual ~TQXMLDocument();

  static void IdentDecomp(std::string_view ident, std::string& prefix, std::string& local);
  static std::string IdentComp(std::string_view prefix, std::string_view local) { return QXMLIdentComp(prefix, local); }

  void SetIndentStr(const char* indent) { IndentStr = indent ? indent : ""; }
  void SetRootName(std::string_view name);
  bool IsEmpty() const;
  void Clear();

  TQXMLNode* GetRoot() const { return root_; }
  void* GetOwner() const { return owner_; }

  // Reads the stream into the tree. Returns true on FAILURE (the document was
  // not accepted); reading errors throw std::runtime_error.
  bool LoadFromStream(std::istream& stream);
  bool LoadFromFile(const std::string& fileName);
  // As LoadFromFile, for a caller that only reads the tree: its nodes, texts
  // and child lists live in pages the document owns, which go all at once when
  // the document is cleared or destroyed. Nodes of such a tree must not be
  // changed, moved or kept past that. An observer is told of the outer
  // elements as they are built.
  bool LoadFromFileReadOnly(const std::string& fileName, TQXMLLoadObserver* observer = nullptr);
  void SaveToStream(std::ostream& stream);
  void SaveToFile(const std::string& fileName);
  // Searches for the element named by path (names separated by ';' or blanks,
  // double quotes keep blanks) and loads it as the root. Returns true when found.
  bool FindNodeInStream(std::istream& stream, const std::string& path, bool loadSubtree);
  bool FindNodeInFile(const std::string& fileName, const std::string& path, bool loadSubtree);

  [[noreturn]] static void RaiseException(const std::string& message);

  std::string RootName = "Root";
  PercentEvent OnPercent;
  ErrorEvent OnError;  // never raised by the library

 private:
  bool Run(std::istream& stream, const std::string* path, bool loadSubtree, bool readOnly = false,
           TQXMLLoadObserver* observer = nullptr);
  // Lets go of a read-only tree: what its nodes hold on the heap, then the arena.
  void ReleaseReadOnlyTree();

  void* owner_;
  TQXMLNode* root_;
  std::unique_ptr<qxml_pages::Arena> arena_;  // pages of a read-only tree
  std::vector<TQXMLNode*> heapOwners_;        // its nodes that hold heap memory
};
