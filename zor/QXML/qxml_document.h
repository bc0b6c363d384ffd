// XML document of the ZOR XML library: the root node, the declaration and
// DOCTYPE texts, the reading and writing options and the load and save entry
// points.
#pragma once

#include <functional>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <string_view>

#include "zor/QXML/qxml_node.h"

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
  static std::string IdentComp(std::string_view prefix, std::string_view local) { return QXMLIdentComp(prefix, local); }

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
