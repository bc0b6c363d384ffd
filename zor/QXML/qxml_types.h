// Types shared by the document, the reader and the writer of the XML library:
// the encoding, the reading and writing options and the library's exception.
#pragma once

#include <stdexcept>
#include <string>

#include "zor/QXML/qxml_text_field.h"

enum QXMLEncoding { QXMLEncPlain = 0, QXMLEncUTF8 = 1, QXMLEncAuto = 2 };

// Declaration names indexed by QXMLEncoding.
ZOR_API extern const char* const EncodingTexts[3];

// The library's own exception; used to end a path search early ("Break.").
// Reading errors are plain std::runtime_error.
class ZOR_API QXMLException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TQXMLNode;

// Told, on the parsing thread, of the outer elements of a whole load as the
// parser builds them: depth 1 is a child of the root element, depth 2 a child
// of one of those. Once an element has closed, its subtree no longer changes,
// but for the comments after its last child, which its parent's close adds.
class ZOR_API TQXMLLoadObserver {
 public:
  virtual ~TQXMLLoadObserver() = default;
  virtual void Opened(TQXMLNode* element, int depth) = 0;
  virtual void Closed(TQXMLNode* element, int depth) = 0;
  // Asked once, before a read-only load: regions that another thread maps
  // ahead for the tree's arena, or null.
  virtual qxml_pages::RegionStock* Stock() { return nullptr; }
};

// What steers reading and writing; the document carries these fields.
struct ZOR_API TQXMLOptions {
  std::string GetEncodingText() const;
  std::string GetVersionText() const;

  bool AutoIndent = true;
  bool AutoValidate = true;
  std::string IndentStr = "\t";
  std::string Version = "1.0";
  QXMLEncoding Encoding = QXMLEncAuto;
  std::string DocType;
};
