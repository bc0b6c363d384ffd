// A light element outline of a configuration file for the host's own
// comparisons (ignored elements, format losses, diff): element names, text
// and the line each element starts on. It is not the library's reader and
// never decides whether a file loads.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zorcli {

struct OutlineNode {
  // Element names repeat over and over in a configuration: each one is held
  // once for the life of the process (InternedName) and the nodes view it.
  std::string_view Name;
  std::string Text;  // character data of a leaf, entities decoded, in the file's bytes
  int Line = 0;
  std::vector<OutlineNode> Children;

  // The first child named name, or null.
  const OutlineNode* Child(std::string_view name) const;
  // Whether some element below this one is an item (has a ZORId child).
  bool HoldsItems() const;
  bool IsItem() const { return Child("ZORId") != nullptr; }
};

// The one stored copy of name, kept for the life of the process.
std::string_view InternedName(std::string_view name);

// The root element of text; false when the text is not well-formed enough
// to outline (unbalanced tags, no root).
bool ParseOutline(std::string_view text, OutlineNode& root);

// Whether a and b hold the same elements in the same places: the same
// starts and ends of elements, by name and in order, whatever lies between
// and inside the tags (text, line ends, attributes, comments). Then neither
// has an element the other lacks. False when either text ends in an unclosed tag.
bool SameElements(std::string_view a, std::string_view b);

// An element of `original` with no counterpart in `other`, with its parent.
// Children are matched by name and position among the siblings of that name
// (the n-th <Signals> of one file against the n-th of the other).
struct Unmatched {
  const OutlineNode* Node;
  const OutlineNode* Parent;
  int Ordinal;  // 1 for the first sibling of its name, 2 for the second, ...
};
std::vector<Unmatched> UnmatchedElements(const OutlineNode& original, const OutlineNode& other);

// Whether the XML declaration of text names an encoding (or the text starts
// with a UTF-8 byte-order mark).
bool DeclaresEncoding(std::string_view text);
// Whether text holds bytes above 127 and all of them form valid UTF-8.
bool HoldsUtf8(std::string_view text);

}  // namespace zorcli
