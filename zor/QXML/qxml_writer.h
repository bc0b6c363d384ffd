// Writer of the XML library: declaration, DOCTYPE and the node tree, with
// optional indentation, entity escaping and UTF-8 output.
#pragma once

#include <iosfwd>
#include <memory>
#include <string_view>

#include "zor/QXML/qxml_types.h"

class TQXMLNode;

class TQXMLWriter {
 public:
  static constexpr int kBufferSize = 327680;

  // Does not own the stream. Write failures throw std::runtime_error.
  TQXMLWriter(std::ostream& stream, const TQXMLOptions& options, const TQXMLNode* root);
  ~TQXMLWriter();

  void WriteHeader();
  void WriteBody();

  void WriteRaw(std::string_view text);
  void Flush();
  // Writes code page text, converted to UTF-8 when the document says so.
  void WriteText(std::string_view text);
  void WriteIndent(int level);

 private:
  void WriteNode(const TQXMLNode* node, int level);
  void WriteComments(const TQXMLNode* node, bool before, int level);
  void WriteStartTag(const TQXMLNode* node, int level);
  void WriteEndTag(const TQXMLNode* node);
  // Closes an element opened by WriteStartTag whose children were written.
  void FinishElement(const TQXMLNode* node, int level);

  std::ostream& stream_;
  const TQXMLOptions& options_;
  const TQXMLNode* root_;
  std::unique_ptr<char[]> buffer_;
  int fill_ = 0;
};
