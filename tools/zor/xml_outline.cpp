#include "tools/zor/xml_outline.h"

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <iterator>
#include <map>
#include <unordered_set>

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

// Steps through the markup of a text: each Next finds the next tag (an
// element tag, comment, CDATA section, processing instruction or
// declaration) and the characters before it. Next is false at the end of the
// markup, and also on a tag that is never closed (Broken then).
struct TagScanner {
  std::string_view Text;
  size_t Pos = 0;
  bool Broken = false;

  bool Next(std::string_view& chars, std::string_view& tag) {
    const size_t lt = Text.find('<', Pos);
    if (lt == std::string_view::npos) return false;
    chars = Text.substr(Pos, lt - Pos);
    const char* close = ">";
    if (Text.substr(lt, 4) == "<!--") close = "-->";
    else if (Text.substr(lt, 9) == "<![CDATA[") close = "]]>";
    else if (Text.substr(lt, 2) == "<?") close = "?>";
    size_t end = Text.find(close, lt);
    if (end == std::string_view::npos) {
      Broken = true;
      return false;
    }
    end += std::string_view(close).size();
    tag = Text.substr(lt, end - lt);
    Pos = end;
    return true;
  }
};

// What a tag of TagScanner is.
enum class TagKind { Start, Empty, End, CData, Other };  // Other: comment, declaration, instruction

TagKind KindOf(std::string_view tag) {
  if (tag.starts_with("<![CDATA[")) return TagKind::CData;
  if (tag.starts_with("<!") || tag.starts_with("<?")) return TagKind::Other;
  if (tag.starts_with("</")) return TagKind::End;
  return tag.ends_with("/>") ? TagKind::Empty : TagKind::Start;
}

// The element name of a start or empty-element tag ("<a x='1'>", "<a/>").
std::string_view OpenedName(std::string_view tag) {
  size_t n = 1;
  while (n < tag.size() && IsNameChar(tag[n])) ++n;
  return tag.substr(1, n - 1);
}
// The element name of an end tag ("</a >").
std::string_view ClosedName(std::string_view tag) {
  std::string_view name = tag.substr(2, tag.size() - 3);
  while (!name.empty() && !IsNameChar(name.back())) name.remove_suffix(1);
  return name;
}

// The next element start or end of a scanner, skipping the other markup: an
// empty-element tag is a start followed by an end. False at the end.
struct ElementEvents {
  explicit ElementEvents(std::string_view text) : Scanner{text} {}

  TagScanner Scanner;
  std::string_view PendingEnd;  // the end of an empty-element tag, still to come
  bool HasPendingEnd = false;

  bool Next(bool& start, std::string_view& name) {
    if (HasPendingEnd) {
      HasPendingEnd = false;
      start = false;
      name = PendingEnd;
      return true;
    }
    std::string_view chars, tag;
    while (Scanner.Next(chars, tag)) {
      const TagKind kind = KindOf(tag);
      if (kind == TagKind::CData || kind == TagKind::Other) continue;
      start = kind != TagKind::End;
      name = start ? OpenedName(tag) : ClosedName(tag);
      if (kind == TagKind::Empty) {
        PendingEnd = name;
        HasPendingEnd = true;
      }
      return true;
    }
    return false;
  }
};

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

std::string_view InternedName(std::string_view name) {
  static std::deque<std::string> stored;
  static std::unordered_set<std::string_view> names;
  if (auto found = names.find(name); found != names.end()) return *found;
  return *names.insert(stored.emplace_back(name)).first;
}

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
  TagScanner scanner{text};
  std::string_view chars, tag;
  while (scanner.Next(chars, tag)) {
    line += static_cast<int>(std::count(chars.begin(), chars.end(), '\n'));
    const int tagLine = line;
    line += static_cast<int>(std::count(tag.begin(), tag.end(), '\n'));
    const size_t depth = open.size() - 1;
    OutlineNode* parent = open.back();
    std::vector<OutlineNode>& siblings = pending[depth];
    if (parent != &document && siblings.empty()) AppendDecoded(parent->Text, chars);
    const TagKind kind = KindOf(tag);
    if (kind == TagKind::CData) {
      if (parent != &document) parent->Text += tag.substr(9, tag.size() - 12);
      continue;
    }
    if (kind == TagKind::Other) continue;
    if (kind == TagKind::End) {
      if (open.size() < 2 || parent->Name != ClosedName(tag)) return false;
      parent->Children.reserve(siblings.size());
      std::move(siblings.begin(), siblings.end(), std::back_inserter(parent->Children));
      siblings.clear();
      open.pop_back();
      continue;
    }
    const std::string_view name = OpenedName(tag);
    if (name.empty() || open.size() > kMaxDepth) return false;
    if (parent == &document && !siblings.empty()) return false;
    siblings.push_back({InternedName(name), {}, tagLine, {}});
    if (kind == TagKind::Start) {
      open.push_back(&siblings.back());
      if (pending.size() <= open.size() - 1) pending.emplace_back();
    }
  }
  if (scanner.Broken) return false;
  if (open.size() != 1 || pending[0].size() != 1) return false;
  root = std::move(pending[0].front());
  return true;
}

bool SameElements(std::string_view a, std::string_view b) {
  ElementEvents left(a), right(b);
  bool startA = false, startB = false;
  std::string_view nameA, nameB;
  for (;;) {
    const bool moreA = left.Next(startA, nameA), moreB = right.Next(startB, nameB);
    if (moreA != moreB) return false;
    if (!moreA) return !left.Scanner.Broken && !right.Scanner.Broken;
    if (startA != startB || nameA != nameB) return false;
  }
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
