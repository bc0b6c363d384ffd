#include "tools/zor/xml_outline.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <map>

namespace zorcli {

namespace {

constexpr size_t kMaxDepth = 1000;

bool IsNameChar(char c) {
  return c != '>' && c != '/' && c != '=' && c != ' ' && c != '\t' && c != '\r' && c != '\n';
}

// Appends raw to out with the predefined entities and character references
// decoded; others stay as written.
void AppendDecoded(std::string& out, std::string_view raw) {
  size_t i = 0;
  while (i < raw.size()) {
    const size_t amp = raw.find('&', i);
    out.append(raw.substr(i, amp == std::string_view::npos ? std::string_view::npos : amp - i));
    if (amp == std::string_view::npos) return;
    i = amp;
    size_t semi = raw.find(';', i);
    if (semi == std::string_view::npos || semi - i > 10) {
      out += raw[i++];
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
    if (done) {
      i = semi + 1;
    } else {
      out += raw[i++];
    }
  }
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
  // open[k] is the element open at depth k (open[0] the document); its
  // children gather in pending[k], reused from element to element, and move
  // into a list of their exact number when it closes.
  std::vector<OutlineNode*> open;
  std::vector<std::vector<OutlineNode>> pending(1);
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
    const size_t depth = open.size() - 1;
    OutlineNode* parent = open.back();
    std::vector<OutlineNode>& siblings = pending[depth];
    if (parent != &document && siblings.empty()) AppendDecoded(parent->Text, chars);
    if (tag.starts_with("<![CDATA[")) {
      if (parent != &document) parent->Text += tag.substr(9, tag.size() - 12);
      continue;
    }
    if (tag.starts_with("<!") || tag.starts_with("<?")) continue;
    if (tag.starts_with("</")) {
      std::string_view name = tag.substr(2, tag.size() - 3);
      while (!name.empty() && !IsNameChar(name.back())) name.remove_suffix(1);
      if (open.size() < 2 || parent->Name != name) return false;
      parent->Children.reserve(siblings.size());
      std::move(siblings.begin(), siblings.end(), std::back_inserter(parent->Children));
      siblings.clear();
      open.pop_back();
      continue;
    }
    size_t n = 1;
    while (n < tag.size() && IsNameChar(tag[n])) ++n;
    if (n == 1 || open.size() > kMaxDepth) return false;
    if (parent == &document && !siblings.empty()) return false;
    siblings.push_back({std::string(tag.substr(1, n - 1)), {}, tagLine, {}});
    if (!tag.ends_with("/>")) {
      open.push_back(&siblings.back());
      if (pending.size() <= open.size() - 1) pending.emplace_back();
    }
  }
  if (open.size() != 1 || pending[0].size() != 1) return false;
  root = std::move(pending[0].front());
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
