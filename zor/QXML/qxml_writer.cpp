#include "zor/QXML/qxml_writer.h"

#include <cstring>
#include <ostream>
#include <vector>

#include "zor/QXML/qxml_node.h"
#include "zor/QXML/qxml_text.h"

TQXMLWriter::TQXMLWriter(std::ostream& stream, const TQXMLOptions& options, const TQXMLNode* root)
    : stream_(stream), options_(options), root_(root), buffer_(new char[kBufferSize]) {}

TQXMLWriter::~TQXMLWriter() = default;

void TQXMLWriter::WriteRaw(std::string_view text) {
  while (!text.empty()) {
    if (fill_ == kBufferSize) Flush();
    size_t n = std::min(text.size(), static_cast<size_t>(kBufferSize - fill_));
    std::memcpy(buffer_.get() + fill_, text.data(), n);
    fill_ += static_cast<int>(n);
    text.remove_prefix(n);
  }
}

void TQXMLWriter::Flush() {
  if (fill_ > 0) stream_.write(buffer_.get(), fill_);
  fill_ = 0;
  if (!stream_) throw std::runtime_error("XML write error: the stream refused the data.");
}

void TQXMLWriter::WriteText(std::string_view text) {
  if (options_.Encoding == QXMLEncUTF8)
    WriteRaw(Utf8FromCodePage(text));
  else
    WriteRaw(text);
}

void TQXMLWriter::WriteIndent(int level) {
  for (int i = 0; i < level; ++i) WriteRaw(options_.IndentStr);
}

void TQXMLWriter::WriteHeader() {
  WriteRaw("<?xml");
  WriteText(" " + options_.GetVersionText());
  std::string encoding = options_.GetEncodingText();
  if (!encoding.empty()) WriteText(" " + encoding);
  WriteRaw("?>");
  if (!options_.DocType.empty()) {
    if (options_.AutoIndent) WriteRaw("\r\n");
    WriteText("<!DOCTYPE " + options_.DocType + ">");
  }
  Flush();
}

void TQXMLWriter::WriteBody() {
  WriteNode(root_, 0);
  WriteRaw("\r\n");
  Flush();
}

void TQXMLWriter::WriteComments(const TQXMLNode* node, bool before, int level) {
  const bool indent = options_.AutoIndent;
  for (const std::string& comment : before ? node->CommentsBefore : node->CommentsAfter) {
    if (indent && !before) WriteRaw("\r\n");
    if (indent) WriteIndent(level);
    WriteText("<!--" + comment + "-->");
    if (indent && before) WriteRaw("\r\n");
  }
}

void TQXMLWriter::WriteStartTag(const TQXMLNode* node, int level) {
  if (options_.AutoIndent) WriteIndent(level);
  WriteRaw("<");
  if (!node->Prefix.empty()) WriteText(node->Prefix + ":");
  WriteText(node->LocalName);
  if (!options_.AutoValidate) {
    std::string attribs = node->GetAttribsText();
    if (!attribs.empty()) WriteText(" " + attribs);
    return;
  }
  for (const std::string& line : node->GetAttribList()) {
    size_t eq = line.find('=');
    if (eq == std::string::npos || eq + 1 == line.size()) {
      WriteText(" " + line);
      continue;
    }
    std::string_view value = std::string_view(line).substr(eq + 1);
    const char quote = value[0] == '"' ? '"' : '\'';
    WriteText(" " + line.substr(0, eq + 1) + quote + EncodeEntities(value) + quote);
  }
}

void TQXMLWriter::WriteEndTag(const TQXMLNode* node) {
  WriteRaw("</");
  if (!node->Prefix.empty()) WriteText(node->Prefix + ":");
  WriteText(node->LocalName);
  WriteRaw(">");
}

void TQXMLWriter::FinishElement(const TQXMLNode* node, int level) {
  if (node->GetCount() > 0 && options_.AutoIndent) {
    WriteRaw("\r\n");
    WriteIndent(level);
  }
  WriteEndTag(node);
  WriteComments(node, /*before=*/false, level);
}

// Walks the tree with an explicit stack so that nesting depth cannot exhaust
// the call stack.
void TQXMLWriter::WriteNode(const TQXMLNode* node, int level) {
  struct Frame {
    const TQXMLNode* node;
    int next;  // index of the next child to write
  };
  std::vector<Frame> stack;
  const int base = level;
  for (;;) {
    // Open node.
    if (options_.AutoIndent) WriteRaw("\r\n");
    WriteComments(node, /*before=*/true, level);
    WriteStartTag(node, level);
    if (node->Text.empty() && node->GetCount() == 0) {
      WriteRaw("/>");
      // Comments that follow an empty element are kept as well.
      WriteComments(node, /*before=*/false, level);
    } else {
      WriteRaw(">");
      if (!node->Text.empty()) WriteText(options_.AutoValidate ? EncodeEntities(node->Text) : node->Text);
      if (node->GetCount() > 0) {
        stack.push_back({node, 0});
      } else {
        FinishElement(node, level);
      }
    }
    // Find the next node to open, closing finished elements on the way.
    node = nullptr;
    while (!stack.empty()) {
      Frame& top = stack.back();
      if (top.next < top.node->GetCount()) {
        node = top.node->GetItem(top.next++);
        break;
      }
      const TQXMLNode* done = top.node;
      stack.pop_back();
      FinishElement(done, base + static_cast<int>(stack.size()));
    }
    if (!node) return;
    level = base + static_cast<int>(stack.size());
  }
}
