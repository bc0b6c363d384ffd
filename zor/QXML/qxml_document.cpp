#include "zor/QXML/qxml_document.h"

#include <fstream>
#include <istream>
#include <ostream>

#include "zor/QXML/qxml_parser.h"
#include "zor/QXML/qxml_scanner.h"
#include "zor/QXML/qxml_reader.h"
#include "zor/QXML/qxml_writer.h"
#include "zor/platform/file_name.h"

TQXMLDocument::TQXMLDocument(void* owner) : owner_(owner), root_(new TQXMLNode) { root_->LocalName = "Root"; }

TQXMLDocument::~TQXMLDocument() {
  Clear();
  delete root_;
}

void TQXMLDocument::IdentDecomp(std::string_view ident, std::string& prefix, std::string& local) {
  size_t colon = ident.find(':');
  if (colon == std::string_view::npos) {
    prefix.clear();
    local.assign(ident.data(), ident.size());
  } else {
    prefix.assign(ident.data(), colon);
    local.assign(ident.data() + colon + 1, ident.size() - colon - 1);
  }
}

void TQXMLDocument::SetRootName(std::string_view name) {
  RootName = name;
  root_->LocalName = RootName;
}

bool TQXMLDocument::IsEmpty() const { return root_->GetCount() == 0; }

void TQXMLDocument::Clear() {
  if (arena_) ReleaseReadOnlyTree();
  root_->Clear();
  root_->LocalName = RootName;
}

void TQXMLDocument::ReleaseReadOnlyTree() {
  // The nodes, their texts and their child lists are the arena's; only
  // attributes and comments are on the heap, and the parse noted the nodes
  // that hold them. Freed newest first, the heap blocks merge as they go
  // instead of leaving many small free blocks behind that slow the heap down.
  for (auto it = heapOwners_.rbegin(); it != heapOwners_.rend(); ++it) {
    TQXMLNode* node = *it;
    node->ClearAttribs();
    node->CommentsBefore.clear();
    node->CommentsAfter.clear();
  }
  heapOwners_.clear();
  heapOwners_.shrink_to_fit();
  // The root itself is not the arena's, but its texts and child list may be.
  root_->Items = nullptr;
  root_->Prefix.assign(root_->Prefix.view());
  root_->LocalName.assign(root_->LocalName.view());
  root_->Text.assign(root_->Text.view());
  arena_.reset();
}

void TQXMLDocument::RaiseException(const std::string& message) { throw std::runtime_error(message); }

bool TQXMLDocument::Run(std::istream& stream, const std::string* path, bool loadSubtree, bool readOnly,
                        TQXMLLoadObserver* observer) {
  TQXMLReader reader(stream, [this](int percent) {
    // The host's handler allocates nothing from the arena.
    const qxml_pages::Arena::Scope none(nullptr);
    if (OnPercent) OnPercent(this, percent);
  });
  if (reader.Utf8Bom()) Encoding = QXMLEncUTF8;
  TQXMLsynt parser(reader, *this, root_, loadSubtree);
  if (path) parser.Semantics().SetPath(*path);
  parser.Semantics().SetObserver(observer);
  Clear();
  if (readOnly) {
    arena_ = std::make_unique<qxml_pages::Arena>();
    if (observer) arena_->SetStock(observer->Stock());
    parser.Semantics().CollectHeapOwners(&heapOwners_);
    parser.Semantics().MakeFixedLists();
  }
  const qxml_pages::Arena::Scope scope(arena_.get());
  int result = 1;
  QXMLSetLastStopOffset(-1);
  // The stock may go once the parse has ended.
  struct StockUntilEnd {
    qxml_pages::Arena* arena;
    ~StockUntilEnd() {
      if (arena) arena->SetStock(nullptr);
    }
  } stockUntilEnd{arena_.get()};
  try {
    result = parser.Parse();
  } catch (const QXMLException&) {
    result = 1;
  } catch (...) {
    QXMLSetLastStopOffset(static_cast<int64_t>(parser.StopOffset()));
    throw;
  }
  if (path) return parser.Semantics().PathCount() == parser.Semantics().MatchedCount();
  return result != 0;
}

bool TQXMLDocument::LoadFromStream(std::istream& stream) { return Run(stream, nullptr, /*loadSubtree=*/true); }

bool TQXMLDocument::FindNodeInStream(std::istream& stream, const std::string& path, bool loadSubtree) {
  return Run(stream, &path, loadSubtree);
}

namespace {

std::ifstream OpenForReading(const std::string& fileName) {
  std::ifstream in(zor::NativePath(fileName), std::ios::in | std::ios::binary);
  if (!in) throw std::runtime_error("Cannot open file " + fileName + ".");
  return in;
}

}  // namespace

bool TQXMLDocument::LoadFromFile(const std::string& fileName) {
  std::ifstream in = OpenForReading(fileName);
  return LoadFromStream(in);
}

bool TQXMLDocument::LoadFromFileReadOnly(const std::string& fileName, TQXMLLoadObserver* observer) {
  std::ifstream in = OpenForReading(fileName);
  return Run(in, nullptr, /*loadSubtree=*/true, /*readOnly=*/true, observer);
}

bool TQXMLDocument::FindNodeInFile(const std::string& fileName, const std::string& path, bool loadSubtree) {
  std::ifstream in = OpenForReading(fileName);
  return FindNodeInStream(in, path, loadSubtree);
}

void TQXMLDocument::SaveToStream(std::ostream& stream) {
  TQXMLWriter writer(stream, *this, root_);
  writer.WriteHeader();
  writer.WriteBody();
}

void TQXMLDocument::SaveToFile(const std::string& fileName) {
  std::ofstream out(zor::NativePath(fileName), std::ios::out | std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("Cannot create file " + fileName + ".");
  SaveToStream(out);
  out.close();
  if (!out) throw std::runtime_error("Cannot write file " + fileName + ".");
}
