#include "tools/zor/xml_outline.h"

#include <algorithm>
#include <cstdlib>
#include <map>

namespace zorcli {

namespace {

constexpr size_t kMaxDepth = 1000;

bool IsNameChar(char c) {
  return c != '>' && c != '/' && c != '=' && c != ' ' && c != '\t' && c != '\r' && c != '\n';
}

// Decodes the predefined entities and character references; others stay as written.
std::string DecodeText(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '&') {
      out += raw[i];
      continue;
    }
    size_t semi = raw.find(';', i);
    if (semi == std::string_view::npos || semi - i > 10) {
      out += raw[i];
      continue;
    }
    std::string_view name = raw.substr(i + 1, semi - i - 1);
    static const std::pair<std::string_view, char> kNamed[] = {
        {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
    bool done = false;
    for (const auto& [entity, c] : kNamed)
      if (name == entity) out += c, done = true;
    if (!done && name.size() > 1 && name[0] == '#') {
      bool hex = name[1] == 'x' || name[1] == 'X';
      long code = std::strtol(std::string(name.substr(hex ? 2 : 1)).c_str(), nullptr, hex ? 16 : 10);
      if (code > 0 && code < 256) out += static_cast<char>(code), done = true;
    }
    if (done) i = semi;
    else out += raw[i];
  }
  return out;
}

void CollectUnmatched(const OutlineNode& a, const OutlineNode& b, std::vector<Unmatched>& out) {
  std::map<std::string_view, std::vector<const OutlineNode*>> others;
  for (const OutlineNode& child : b.Children) others[child.Name].push_back(&child);
  std::map<std::string_view, size_t> seen;
  for (const OutlineNode& child : a.Children) {
    size_t ordinal = seen[child.Name]++;
    auto it = others.find(child.Name);
    if (it == others.end() || ordinal >= it->second.size())
      out.push_back({&child, &a, static_cast<int>(ordinal) + 1});
    else
      CollectUnmatched(child, *it->second[ordinal], out);
  }
}

}  // namespace

const OutlineNode* OutlineNode::Child(std::string_view name) const {
  for (const OutlineNode& child : Children)
    if (child.Name == name) return &child;
  return nullptr;
}

bool OutlineNode::HoldsItems() const {
  return std::any_of(Children.begin(), Children.end(),
                     [](const OutlineNode& child) { return child.IsItem() || child.HoldsItems(); });
}

bool ParseOutline(std::string_view text, OutlineNode& root) {
  std::vector<OutlineNode*> open;
  OutlineNode document;
  open.push_back(&document);
  int line = 1;
  auto advance = [&](size_t from, size_t to) {
    line += static_cast<int>(std::count(text.begin() + from, text.begin() + to, '\n'));
  };
  size_t i = 0;
  while (i < text.size()) {
    size_t lt = text.find('<', i);
    if (lt == std::string_view::npos) break;
    advance(i, lt);
    std::string_view chars = text.substr(i, lt - i);
    i = lt;
    const char* close = ">";
    if (text.substr(i, 4) == "<!--") close = "-->";
    else if (text.substr(i, 9) == "<![CDATA[") close = "]]>";
    else if (text.substr(i, 2) == "<?") close = "?>";
    size_t end = text.find(close, i);
    if (end == std::string_view::npos) return false;
    end += std::string_view(close).size();
    std::string_view tag = text.substr(i, end - i);
    int tagLine = line;
    advance(i, end);
    i = end;
    OutlineNode* parent = open.back();
    if (parent != &document && parent->Children.empty()) parent->Text += DecodeText(chars);
    if (tag.starts_with("<![CDATA[")) {
      if (parent != &document) parent->Text += std::string(tag.substr(9, tag.size() - 12));
      continue;
    }
    if (tag.starts_with("<!") || tag.starts_with("<?")) continue;
    if (tag.starts_with("</")) {
      std::string_view name = tag.substr(2, tag.size() - 3);
      while (!name.empty() && !IsNameChar(name.back())) name.remove_suffix(1);
      if (open.size() < 2 || open.back()->Name != name) return false;
      open.pop_back();
      continue;
    }
    size_t n = 1;
    while (n < tag.size() && IsNameChar(tag[n])) ++n;
    if (n == 1 || open.size() > kMaxDepth) return false;
    if (parent == &document && !document.Children.empty()) return false;
    parent->Children.push_back({std::string(tag.substr(1, n - 1)), {}, tagLine, {}});
    if (!tag.ends_with("/>")) open.push_back(&parent->Children.back());
  }
  if (open.size() != 1 || document.Children.size() != 1) return false;
  root = std::move(document.Children.front());
  return true;
}

std::vector<Unmatched> UnmatchedElements(const OutlineNode& original, const OutlineNode& other) {
  std::vector<Unmatched> out;
  if (original.Name != other.Name) return {{&original, nullptr, 1}};
  CollectUnmatched(original, other, out);
  return out;
}

bool DeclaresEncoding(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) return true;
  if (!text.starts_with("<?xml")) return false;
  size_t end = text.find("?>");
  return text.substr(0, end).find("encoding") != std::string_view::npos;
}

bool HoldsUtf8(std::string_view text) {
  bool high = false;
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    high = true;
    size_t length = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c <= 0xDF ? 2 : 0;
    if (c >= 0xF5 || length == 0 || i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    i += length;
  }
  return high;
}

}  // namespace zorcli
