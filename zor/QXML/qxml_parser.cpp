#include "zor/QXML/qxml_parser.h"

#include <cstring>

#include "zor/QXML/qxml_node.h"
#include "zor/QXML/qxml_text.h"

namespace {

bool IdentEquals(const TQXMLNode& node, std::string_view ident) {
  if (node.Prefix.empty()) return ident == node.LocalName;
  return ident.size() == node.Prefix.size() + 1 + node.LocalName.size() &&
         ident.substr(0, node.Prefix.size()) == node.Prefix && ident[node.Prefix.size()] == ':' &&
         ident.substr(node.Prefix.size() + 1) == node.LocalName;
}

bool IsBlank(char c) { return c > 0 && c <= ' '; }

}  // namespace

// ---------------------------------------------------------------------------
// Semantic actions

TQXMLSemantics::TQXMLSemantics(TQXMLOptions& options, TQXMLNode* node, bool loadSubtree)
    : current_(node), options_(options), loadSubtree_(loadSubtree) {}

void TQXMLSemantics::SetPath(std::string_view path) {
  path_.clear();
  size_t i = 0;
  const size_t n = path.size();
  while (i < n) {
    while (i < n && (IsBlank(path[i]) || path[i] == ';')) ++i;
    if (i >= n) break;
    std::string piece;
    if (path[i] == '"') {
      ++i;
      while (i < n) {
        if (path[i] == '"') {
          if (i + 1 < n && path[i + 1] == '"') {
            piece += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        piece += path[i++];
      }
    } else {
      while (i < n && !IsBlank(path[i]) && path[i] != ';' && path[i] != '"') piece += path[i++];
    }
    if (!piece.empty()) path_.push_back(std::move(piece));
  }
  matched_ = path_.empty() ? -1 : 0;
}

void TQXMLSemantics::Prologue(std::string_view text) {
  TQXMLOptions& doc = options_;
  if (doc.Encoding != QXMLEncAuto || text.find("encoding") == std::string_view::npos) return;
  doc.Encoding = text.find("encoding=\"UTF-8\"") != std::string_view::npos ? QXMLEncUTF8 : QXMLEncPlain;
}

void TQXMLSemantics::DocType(std::string_view text) { options_.DocType = text; }

void TQXMLSemantics::Comment(std::string_view text, std::vector<std::string>& pending) {
  if (options_.AutoValidate)
    pending.push_back(DecodeEntities(text));
  else
    pending.emplace_back(text);
}

void TQXMLSemantics::Start(std::string_view name, std::vector<std::string>& pending) {
  bool completes = false;
  if (Searching()) {
    if (matched_ < PathCount() && path_[static_cast<size_t>(matched_)] == name) ++matched_;
    if (matched_ != PathCount()) return;
    completes = true;
  }
  if (found_ != nullptr && !loadSubtree_) {
    // Descendant of a found element whose subtree is not wanted.
    ++skipDepth_;
    return;
  }
  if (!firstElement_) {
    if (fixedLists_) {
      auto* node = new TQXMLNode;
      node->Parent = current_;
      OpenChildren(depth_).push_back(node);
      current_ = node;
    } else {
      if (heapOwners_ && !current_->Items) heapOwners_->push_back(current_);
      current_ = current_->Add();
    }
    ++depth_;
  }
  firstElement_ = false;
  // The caller empties the pending list right after, so moving equals copying.
  if (!pending.empty()) {
    if (heapOwners_) heapOwners_->push_back(current_);
    current_->CommentsBefore.swap(pending);
  }
  const size_t colon = name.find(':');
  if (colon == std::string_view::npos) {
    current_->Prefix.clear();
    StoreName(current_->LocalName, name);
  } else {
    StoreName(current_->Prefix, name.substr(0, colon));
    StoreName(current_->LocalName, name.substr(colon + 1));
  }
  attribNode_ = nullptr;
  if (completes) found_ = current_;
  if (observer_ && depth_ >= 1 && depth_ <= 2) observer_->Opened(current_, depth_);
}

void TQXMLSemantics::ContentData(std::string_view text, bool withReferences) {
  if (Searching()) return;
  if (!Skipping()) {
    if (withReferences && options_.AutoValidate && text.find('&') != std::string_view::npos)
      current_->Text.AssignPaged(DecodeEntities(text));
    else
      current_->Text.AssignPaged(text);
  }
  if (found_ != nullptr && !loadSubtree_) throw QXMLException("Break.");
}

void TQXMLSemantics::Attrib(std::string_view name) { Attrib(name, std::string_view()); }

void TQXMLSemantics::Attrib(std::string_view name, std::string_view value) {
  if (Searching() || Skipping()) return;
  const size_t colon = name.find(':');
  const std::string_view prefix = colon == std::string_view::npos ? std::string_view() : name.substr(0, colon);
  const std::string_view local = colon == std::string_view::npos ? name : name.substr(colon + 1);
  if (options_.AutoValidate && value.find('&') == std::string_view::npos) {
    // Decoding would copy the text unchanged: only the quotes go.
    if (!value.empty() && (value[0] == '\'' || value[0] == '"'))
      value = value.size() >= 2 ? value.substr(1, value.size() - 2) : std::string_view();
    StoreAttrib(prefix, local, value);
  } else if (options_.AutoValidate) {
    std::string v = DecodeEntities(value);
    if (!v.empty() && (v[0] == '\'' || v[0] == '"')) v = v.size() >= 2 ? v.substr(1, v.size() - 2) : std::string();
    StoreAttrib(prefix, local, v);
  } else {
    StoreAttrib(prefix, local, value);
  }
}

namespace {

// A hash of a name of at least seven characters from its length and its
// first and last eight (or four) bytes: element names differ there.
uint64_t NameHash(std::string_view name) {
  uint64_t head;
  uint64_t tail;
  if (name.size() >= 8) {
    std::memcpy(&head, name.data(), 8);
    std::memcpy(&tail, name.data() + name.size() - 8, 8);
  } else {
    uint32_t h;
    uint32_t t;
    std::memcpy(&h, name.data(), 4);
    std::memcpy(&t, name.data() + name.size() - 4, 4);
    head = h;
    tail = t;
  }
  const uint64_t x = head * 0x9E3779B97F4A7C15ull ^ (tail + name.size()) * 0xC2B2AE3D27D4EB4Full;
  return x ^ (x >> 29);
}

}  // namespace

void TQXMLSemantics::StoreName(TQXMLString& field, std::string_view name) {
  // Short names live inside the field; longer ones share one block per name.
  if (name.size() <= 6 || nameCount_ >= kMaxNames) {
    field.AssignPaged(name);
    return;
  }
  if ((nameCount_ + 1) * 2 > names_.size()) {
    std::vector<NameSlot> larger(names_.empty() ? 64 : names_.size() * 2);
    for (NameSlot& slot : names_) {
      if (slot.Text.empty()) continue;
      size_t i = slot.Hash & (larger.size() - 1);
      while (!larger[i].Text.empty()) i = (i + 1) & (larger.size() - 1);
      larger[i] = std::move(slot);
    }
    names_.swap(larger);
  }
  const uint64_t hash = NameHash(name);
  const size_t mask = names_.size() - 1;
  size_t i = hash & mask;
  for (; !names_[i].Text.empty(); i = (i + 1) & mask) {
    if (names_[i].Hash == hash && names_[i].Text == name) {
      field = names_[i].Text;
      return;
    }
  }
  names_[i].Hash = hash;
  names_[i].Text.AssignPaged(name);
  ++nameCount_;
  field = names_[i].Text;
}

namespace {

uint64_t AttribHash(std::string_view prefix, std::string_view local) {
  const std::hash<std::string_view> hash;
  return static_cast<uint64_t>(hash(local)) * 0x9E3779B97F4A7C15ull ^ static_cast<uint64_t>(hash(prefix));
}

uint32_t AttribTag(uint64_t hash) { return static_cast<uint32_t>(hash >> 32); }

}  // namespace

size_t TQXMLSemantics::AttribSlot(std::string_view prefix, std::string_view local, uint64_t hash) const {
  const TCLazyList<TQXMLAttribElement>& attribs = current_->Attribs;
  const size_t mask = attribSlots_.size() - 1;
  for (size_t i = static_cast<size_t>(hash) & mask;; i = (i + 1) & mask) {
    const AttribSlotEntry& slot = attribSlots_[i];
    if (slot.Number == 0) return i;
    if (slot.Tag != AttribTag(hash)) continue;
    const TQXMLAttribElement* a = attribs.Get(static_cast<int>(slot.Number - 1));
    if (a->LocalName == local && a->Prefix == prefix) return i;
  }
}

void TQXMLSemantics::IndexAttribs(size_t count) {
  size_t size = 64;
  while (size < count * 2) size *= 2;
  attribSlots_.assign(size, AttribSlotEntry{0, 0});
  const TCLazyList<TQXMLAttribElement>& attribs = current_->Attribs;
  for (int n = 0; n < attribs.GetCount(); ++n) {
    const TQXMLAttribElement* a = attribs.Get(n);
    const uint64_t hash = AttribHash(a->Prefix, a->LocalName);
    AttribSlotEntry& slot = attribSlots_[AttribSlot(a->Prefix, a->LocalName, hash)];
    if (slot.Number == 0) slot = AttribSlotEntry{AttribTag(hash), static_cast<uint32_t>(n + 1)};  // the first wins
  }
  attribNode_ = current_;
}

void TQXMLSemantics::StoreAttrib(std::string_view prefix, std::string_view local, std::string_view value) {
  // Same result as SetAttrib; an index keeps elements with many attributes linear.
  TCLazyList<TQXMLAttribElement>& attribs = current_->Attribs;
  const int count = attribs.GetCount();
  if (heapOwners_ && count == 0) heapOwners_->push_back(current_);
  if (count < kIndexAttribsFrom) {
    current_->SetAttrib(prefix, local, value);
    return;
  }
  if (attribNode_ != current_) IndexAttribs(static_cast<size_t>(count) + 1);
  const uint64_t hash = AttribHash(prefix, local);
  size_t at = AttribSlot(prefix, local, hash);
  if (attribSlots_[at].Number != 0) {
    attribs.Get(static_cast<int>(attribSlots_[at].Number - 1))->Value = value;
    return;
  }
  if ((static_cast<size_t>(count) + 1) * 2 > attribSlots_.size()) {
    IndexAttribs(static_cast<size_t>(count) + 1);
    at = AttribSlot(prefix, local, hash);
  }
  attribs.Add(new TQXMLAttribElement{std::string(prefix), std::string(local), std::string(value)});
  attribSlots_[at] = AttribSlotEntry{AttribTag(hash), static_cast<uint32_t>(count + 1)};
}

void TQXMLSemantics::End(std::string_view name, std::vector<std::string>& pending) {
  if (Searching()) return;
  if (Skipping()) {
    --skipDepth_;
    return;
  }
  if (!IdentEquals(*current_, name)) {
    throw std::runtime_error("start tag <" + current_->GetIdent() + "> and Close tag </" +
                                  std::string(name) + "> does not match.");
  }
  CloseCurrent(pending);
}

void TQXMLSemantics::End(std::vector<std::string>& pending) {
  if (Searching()) return;
  if (Skipping()) {
    --skipDepth_;
    return;
  }
  CloseCurrent(pending);
}

std::vector<TQXMLNode*>& TQXMLSemantics::OpenChildren(int depth) {
  const size_t at = static_cast<size_t>(depth);
  if (openChildren_.size() <= at) openChildren_.resize(at + 1);
  return openChildren_[at];
}

void TQXMLSemantics::CloseCurrent(std::vector<std::string>& pending) {
  if (fixedLists_ && depth_ >= 0) {
    std::vector<TQXMLNode*>& children = OpenChildren(depth_);
    if (!children.empty()) {
      current_->Items = TCList<TQXMLNode>::MakeFixed(children.data(), static_cast<int>(children.size()),
                                                     qxml_pages::Allocate);
      children.clear();
    }
  }
  // Comments between the last child and the end tag follow that child.
  if (int count = current_->GetCount(); count > 0) {
    TQXMLNode* last = current_->GetItem(count - 1);
    if (heapOwners_ && !pending.empty()) heapOwners_->push_back(last);
    last->CommentsAfter = pending;
  }
  if (current_ == found_) throw QXMLException("Break.");
  if (observer_ && depth_ >= 1 && depth_ <= 2) observer_->Closed(current_, depth_);
  current_ = current_->Parent;
  --depth_;
}

// ---------------------------------------------------------------------------
// Parser

TQXMLsynt::TQXMLsynt(TQXMLReader& reader, TQXMLOptions& options, TQXMLNode* node, bool loadSubtree)
    : lex_(reader, options.Encoding), semantics_(options, node, loadSubtree) {}

TQXMLsynt::~TQXMLsynt() = default;

void TQXMLsynt::Error(const char* message) { throw std::runtime_error(std::string("XML error: ") + message); }

void TQXMLsynt::Need(int entries) {
  if (entries > kMaxStack) Error("parser stack overflow");
}

// The stack sizes passed to Need count what a table-driven automaton for the
// grammar keeps: two entries for the start, five per open element (tag, start
// action, attributes, '>', content) and up to six for the construct at hand.
int TQXMLsynt::Parse() {
  int tok = lex_.Next();
  for (;;) {
    Need(3);
    if (tok == kTokStartTag) break;
    switch (tok) {
      case kTokInstruction: semantics_.Prologue(lex_.Text()); break;
      case kTokDocType: semantics_.DocType(lex_.Text()); break;
      case kTokComment: semantics_.Comment(lex_.Text(), pending_); break;
      default: Error("parse error");
    }
    tok = lex_.Next();
  }

  int depth = 0;  // elements whose content is being read
  const bool loadsAll = semantics_.LoadsAll();
  for (;;) {
    // tok is a start tag.
    int base = 2 + 5 * depth;
    Need(base + 3);
    semantics_.Start(lex_.Text(), pending_);
    pending_.clear();
    tok = lex_.Next();
    while (tok == kTokName) {
      name_.assign(lex_.Text());
      tok = lex_.Next();
      if (tok == kTokEquals) {
        Need(base + 6);
        if (lex_.Next() != kTokValue) Error("parse error");
        semantics_.Attrib(name_, lex_.Text());
        tok = lex_.Next();
      } else {
        Need(base + 4);
        semantics_.Attrib(name_);
      }
    }
    if (tok == kTokSlash) {
      Need(base + 5);
      if (lex_.Next() != kTokClose) Error("parse error");
      semantics_.End(pending_);
      pending_.clear();
    } else if (tok == kTokClose) {
      Need(base + 5);
      ++depth;
    } else {
      Error("parse error");
    }

    // Content of the open elements, until a start tag or the root's end.
    for (;;) {
      if (depth == 0) {
        if (lex_.Next() != kTokEnd) Error("parse error");
        return 0;
      }
      // A leaf element in one step; its tokens would need at most eight
      // entries above the current ones.
      std::string_view leafName;
      std::string_view leafText;
      if (loadsAll && 2 + 5 * depth + 8 <= kMaxStack && lex_.NextLeaf(leafName, leafText)) {
        semantics_.Start(leafName, pending_);
        pending_.clear();
        if (!leafText.empty()) semantics_.ContentData(leafText, /*withReferences=*/false);
        semantics_.End(pending_);  // the end tag's name is the start tag's
        continue;
      }
      tok = lex_.Next();
      if (tok == kTokStartTag) break;
      base = 2 + 5 * depth;
      Need(base + 1);
      switch (tok) {
        case kTokData: semantics_.ContentData(lex_.Text()); break;
        case kTokInstruction: semantics_.Prologue(lex_.Text()); break;
        case kTokDocType: semantics_.DocType(lex_.Text()); break;
        case kTokComment: semantics_.Comment(lex_.Text(), pending_); break;
        case kTokEndTag:
          tok = lex_.Next();
          name_.clear();
          if (tok == kTokName) {
            Need(base + 2);
            name_.assign(lex_.Text());
            tok = lex_.Next();
          }
          if (tok != kTokClose) Error("parse error");
          Need(base + 3);
          semantics_.End(name_, pending_);
          pending_.clear();
          --depth;
          break;
        default: Error("parse error");
      }
    }
  }
}
