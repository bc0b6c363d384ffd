#include "zor/interface/file_frame.h"

#include <deque>
#include <exception>
#include <memory>
#include <system_error>
#include <thread>
#include <utility>

#include "zor/QXML/QXMLDocument.h"
#include "zor/QXML/qxml_background_load.h"
#include "zor/QXML/qxml_scanner.h"
#include "zor/env/env.h"
#include "zor/io/line_writer.h"
#include "zor/io/messages.h"
#include "zor/model/children.h"
#include "zor/model/parallel_resolve.h"
#include "zor/model/prefetch.h"
#include "zor/model/ram.h"
#include "zor/model/xml_values.h"
#include "zor/most/fblock.h"
#include "zor/network/network.h"
#include "zor/network/signal.h"
#include "zor/node/controller.h"
#include "zor/node/node.h"
#include "zor/platform/file_util.h"

namespace ZOR_RAM {

namespace {

// One top-level section: its element, its item element and its texts.
struct Section {
  const char* Name;         // "Signals"
  const char* ItemName;     // "Signal"
  const char* WrongChild;   // first word of the error for a foreign child
  const char* LoadText;     // "Loading Signals ..."
  const char* SaveText;     // "Saving Signals ..."
};

constexpr Section kEncTypes{"EncTypes", "EncType", "EncTypes", "Loading EncTypes ...", "Saving EncTypes ..."};
constexpr Section kSignals{"Signals", "Signal", "Signals", "Loading Signals ...", "Saving Signals ..."};
constexpr Section kNetworks{"Networks", "Network", "Networks", "Loading Networks ...", "Saving Networks ..."};
constexpr Section kNodes{"Nodes", "Node", "Nodes", "Loading Nodes ...", "Saving Nodes ..."};
constexpr Section kEnvGroups{"EnvGroups", "EnvGroup", "EnvGroup", "Loading EnvGroups ...", "Saving EnvGroups ..."};
constexpr Section kMOSTFBlocks{"MOSTFBlocks", "MOSTFBlock", "MOSTFBlocks", "Loading MOSTFBlocks ...",
                               "Saving MOSTFBlocks ..."};

// Where a load finds the children of the root element: in a parsed tree, or
// in one a background load is still building.
class TOuterElements {
 public:
  explicit TOuterElements(TQXMLNode* root) : root_(root) {}
  TOuterElements(TQXMLNode* root, TQXMLBackgroundLoad& load) : root_(root), load_(&load) {}

  TQXMLNode* Root() const { return root_; }
  // The first child of the root named name, once it has opened (whole: closed).
  TQXMLNode* Find(const char* name, bool whole) {
    return load_ ? load_->Outer(name, whole) : FindChild(root_, name);
  }
  // Child index of outer once it has closed; null past the last.
  TQXMLNode* Child(TQXMLNode* outer, int index) {
    if (load_) return load_->Child(outer, index);
    return index < outer->GetCount() ? outer->GetItem(index) : nullptr;
  }
  // Reports that items 0..index-1 of outer are read. While the tree is being
  // built, the count of outer's children is known only once the load ends:
  // the report is then held back (see ReadWhileParsing), and FillTotals gives it
  // the count before it goes out.
  void Progress(TQXMLNode* outer, int index, const char* text) {
    if (!load_) {
      zor::ReportProgress(index * 100 / outer->GetCount(), text);
      return;
    }
    if (totals_.empty() || totals_.back().first != outer) totals_.emplace_back(outer, 0);
    zor::ReportProgressOf(index, &totals_.back().second, text);
  }
  void FillTotals() {
    for (auto& [outer, total] : totals_) total = outer->GetCount();
  }

 private:
  TQXMLNode* root_;
  TQXMLBackgroundLoad* load_ = nullptr;
  std::deque<std::pair<TQXMLNode*, int>> totals_;  // stable addresses
};

// Reads every child of the section element as an item of class T.
template <class T>
bool LoadSection(TOuterElements& outer, TZOR_RAM& ram, TZORList<T>& list, const Section& section,
                 void (*afterItems)(TZOR_RAM&) = nullptr) {
  TQXMLNode* element = outer.Find(section.Name, /*whole=*/false);
  if (!element) {
    zor::ReportError(std::string(section.Name) + " section not found in XML file.");
    return true;
  }
  for (int i = 0;; ++i) {
    TQXMLNode* child = outer.Child(element, i);
    if (!child) break;
    if (!child->Prefix.empty() || child->LocalName != section.ItemName) {
      zor::ReportError(std::string(section.WrongChild) + " section not found in XML file.");
      return true;
    }
    T* item = ram.NewItem(list);
    if (item->ReadXml(child)) return true;
    outer.Progress(element, i, section.LoadText);
  }
  if (afterItems) afterItems(ram);
  zor::ReportProgress(0, "");
  return false;
}

template <class T>
bool SaveSection(TZORList<T>& list, const Section& section) {
  WriteTag(section.Name);
  const int n = list.Count();
  for (int i = 0; i < n; ++i) {
    // A host may have left a null entry in a list; there is nothing to write.
    if (list[i] && list[i]->WriteXml(true)) {
      zor::ReportProgress(0, "");
      return true;
    }
    zor::ReportProgress(i * 100 / n, section.SaveText);
  }
  WriteTag(section.Name, /*closing=*/true);
  zor::ReportProgress(0, "");
  return false;
}

// The loaded document is released after the resolution pass; no item may keep
// a pointer into it.
void ForgetSourceNodes(TZOR_RAM& ram) {
  ram.ForEachList([](TList& list) {
    const int count = list.Count();
    for (int i = 0; i < count; ++i) {
      // Little is done per item: the items far ahead are asked for.
      if (const TItemData* ahead = list.Get(i + kFarAhead)) PrefetchLine(&ahead->SourceNode);
      if (TItemData* item = list.Get(i)) item->SourceNode = nullptr;
    }
  });
}

}  // namespace

bool IsSupportedVersion(const std::string& version) {
  for (const char* v : kSupportedFileVersions)
    if (SameTextAscii(version, v)) return true;
  return false;
}

namespace {

// Frees a loaded document on a thread of its own while the caller goes on
// with work that no longer needs it; ends by waiting for it.
class TDocumentRelease {
 public:
  TDocumentRelease() = default;
  TDocumentRelease(const TDocumentRelease&) = delete;
  TDocumentRelease& operator=(const TDocumentRelease&) = delete;
  ~TDocumentRelease() {
    if (thread_.joinable()) thread_.join();
  }

  void Start(std::unique_ptr<TQXMLDocument> document) {
    try {
      thread_ = std::thread([document = std::move(document)]() mutable { document.reset(); });
    } catch (const std::system_error&) {
      // No thread to be had: the document went with the thread's function.
    }
  }

 private:
  std::thread thread_;
};

bool LoadFileInto(const std::string& fileName, TZOR_RAM* ram, TDocumentRelease* release);

}  // namespace

TZOR_RAM* LoadDatabase(const std::string& fileName) {
  auto ram = std::make_unique<TZOR_RAM>();
  // The database is new and dropped on failure: its items may be read while
  // the file is parsed, and the parsed document is freed during the update.
  TDocumentRelease release;
  if (LoadFileInto(fileName, ram.get(), &release)) return nullptr;
  ram->Update();
  return ram.release();
}

namespace {
thread_local int64_t t_loadStopOffset = -1;
}  // namespace

int64_t LastLoadStopOffset() { return t_loadStopOffset; }

namespace {

bool CheckHeaderIn(TOuterElements& outer, TZOR_RAM& ram) {
  TQXMLNode* info = outer.Find("ZORInfo", /*whole=*/true);
  if (!info) return true;
  const TQXMLNode* root = outer.Root();
  if (root->GetIdent() != "Measurement_Config_File" && root->GetIdent() != "KELVO_Config_File")
    return true;
  TQXMLNode* version = FindChild(info, "Version");
  if (!version) {
    zor::ReportError("Version information not found.");
    return true;
  }
  ram.Version = version->Text;
  if (!IsSupportedVersion(ram.Version)) {
    zor::ReportError("ZOR '" + ram.Version + "' version is not supported.");
    return true;
  }
  TQXMLNode* description = FindChild(info, "Description");
  ram.Description = description ? description->Text : std::string();
  return false;
}

// Below this many references a second thread costs more than it saves.
constexpr int kParallelReferences = 4096;

// The nodes hold most of the references of a file; they are resolved on two
// threads when the lists they look up in are indexed in full.
void ResolveNodes(TZOR_RAM& db) {
  if (db.Nodes.Count() < 2 || db.NetSigs.Count() + db.PubSigs.Count() + db.SubSigs.Count() < kParallelReferences) {
    ResolveChildren(db.Nodes);
    return;
  }
  TList* const homes[] = {&db.Networks, &db.Signals, &db.NetFrames, &db.FrameHolders, &db.NetSigs,
                          &db.IfcModes, &db.Ifcs,    &db.PubSigs,   &db.Gateways,     &db.MOSTFBlocks};
  ResolveChildrenInParallel(db.Nodes, homes);
}

bool LoadSectionsIn(TOuterElements& outer, TZOR_RAM& db) {
  // The host gets control back only at the end: look-up indexes may live
  // until then.
  const TZOR_RAM::CallScope call(db);
  if (LoadSection(outer, db, db.EncTypes, kEncTypes) || LoadSection(outer, db, db.Signals, kSignals)) return true;
  // Signals link only to encoding types, and the later sections link to
  // signals and networks: what can be done once these lists are complete is
  // done now, while a background parse still builds the later sections.
  ResolveChildren(db.EncTypes);
  ResolveChildren(db.Signals);
  if (LoadSection(outer, db, db.Networks, kNetworks)) return true;
  db.Signals.IndexIds();
  db.Networks.IndexIds();
  if (LoadSection(outer, db, db.Nodes, kNodes)) return true;
  if (db.IsVersion2() && LoadSection(outer, db, db.EnvGroups, kEnvGroups, &LinkEnvGroups)) return true;
  if (LoadSection(outer, db, db.MOSTFBlocks, kMOSTFBlocks)) return true;

  // Resolution pass: each item resolves its own nested items; gateways and
  // subscribed signals are walked in full because their links cross nodes.
  ResolveChildren(db.Networks);
  ResolveNodes(db);
  ResolveChildren(db.MOSTFBlocks);
  ResolveChildren(db.Gateways);
  ResolveChildren(db.SubSigs);
  return false;
}

// Reads the items while a second thread parses the file: each child of a
// section is read as soon as the parser has closed it. What the reading
// reports is held back until the parse has ended, so that the sinks get what
// a load in sequence gives, in the same order: the parse's progress, then the
// reading's reports, or, when the parse fails, only what the parse reports.
// Returns whether the parse failed; failed tells whether the reading did, and
// the reading's exception is thrown again once its reports are out.
bool ReadWhileParsing(TQXMLDocument& document, const std::string& fileName, TZOR_RAM& ram, bool& failed) {
  std::exception_ptr readError;
  TQXMLBackgroundLoad load(document, fileName);
  zor::MessageCapture held;
  TOuterElements outer(document.GetRoot(), load);
  try {
    failed = CheckHeaderIn(outer, ram) || LoadSectionsIn(outer, ram);
  } catch (...) {
    readError = std::current_exception();
    failed = true;
  }
  if (load.Finish()) return true;
  outer.FillTotals();
  held.Flush();
  if (readError) std::rethrow_exception(readError);
  return false;
}

// The load driver behind LoadFile and LoadDatabase. With release, the items
// are read while the file is parsed, which leaves the items read so far in
// ram when the parse fails, and release frees the document.
bool LoadFileInto(const std::string& fileName, TZOR_RAM* ram, TDocumentRelease* release) {
  t_loadStopOffset = -1;
  QXMLSetLastStopOffset(-1);
  if (!ram) return true;
  auto document = std::make_unique<TQXMLDocument>(nullptr);
  document->AutoValidate = true;
  document->OnPercent = [](TQXMLDocument*, int percent) {
    // While items are read alongside, their reports are held back; the
    // parse's progress comes before all of them.
    zor::ReportProgressPastCapture(percent, "Parsing XML file ...");
  };
  document->OnError = [](TQXMLDocument*, const char*, bool&) {
    zor::ReportError("The ZOR file's format is wrong.");
  };
  bool failed = true;
  try {
    if (!zor::FileExists(fileName)) {
      zor::ReportError("The file " + fileName + " does not exist,Can not load ZOR file!");
      return true;
    }
    if (release) {
      if (ReadWhileParsing(*document, fileName, *ram, failed)) {
        ForgetSourceNodes(*ram);
        return true;
      }
    } else {
      if (document->LoadFromFileReadOnly(fileName)) return true;
      TOuterElements outer(document->GetRoot());
      failed = CheckHeaderIn(outer, *ram) || LoadSectionsIn(outer, *ram);
    }
  } catch (const std::exception& e) {
    t_loadStopOffset = QXMLLastStopOffset();
    zor::ReportError(e.what());
    failed = true;
  }
  ForgetSourceNodes(*ram);
  if (!failed) ram->FileName = fileName;
  // The lists grew while reading; they hold what was read from now on.
  ram->ForEachList([](TList& list) { list.Compact(); });
  // Last: while the document's pages go back to the system, taking fresh
  // pages here waits for the system, and the compaction takes many.
  if (release) release->Start(std::move(document));
  return failed;
}

}  // namespace

bool LoadFile(const std::string& fileName, TZOR_RAM* ram) { return LoadFileInto(fileName, ram, nullptr); }

bool CheckHeader(TQXMLNode* root, TZOR_RAM* ram) {
  if (!ram) return true;
  if (!root) {
    zor::ReportError("XML root not found.\nThis is not a Kelvo Config File.");
    return true;
  }
  TOuterElements outer(root);
  return CheckHeaderIn(outer, *ram);
}

bool LoadSections(TQXMLNode* root, TZOR_RAM* ram) {
  if (!ram) return true;
  TOuterElements outer(root);
  return LoadSectionsIn(outer, *ram);
}

namespace {

// Writes the whole database through the save begun by begin (a file or a
// text); true on failure.
template <class Begin>
bool WriteDatabase(TZOR_RAM& ram, Begin&& begin) {
  // Reals are always written with '.', whatever the process locale.
  // Default identifiers are built as the writers ask for them.
  begin();
  // A save that fails or throws part way leaves no temporary file behind.
  struct AbandonUnlessEnded {
    ~AbandonUnlessEnded() { zor::AbandonSave(); }
  } abandon;
  zor::WriteLine("<?xml version=\"1.0\"?>");
  zor::WriteLine("<Measurement_Config_File>");
  zor::WriteLine("<ZORInfo>");
  WriteStoredField("Version", ram.Version);
  WriteStoredField("Description", ram.Description);
  zor::WriteLine("</ZORInfo>");
  if (SaveSection(ram.EncTypes, kEncTypes) || SaveSection(ram.Signals, kSignals) ||
      SaveSection(ram.Networks, kNetworks) || SaveSection(ram.Nodes, kNodes) ||
      (ram.IsVersion2() && SaveSection(ram.EnvGroups, kEnvGroups)) ||
      SaveSection(ram.MOSTFBlocks, kMOSTFBlocks))
    return true;
  zor::WriteLine("</Measurement_Config_File>");
  return zor::EndSave();
}

}  // namespace

bool SaveFile(TZOR_RAM& ram, const std::string& fileName) {
  return WriteDatabase(ram, [&] { zor::BeginSave(fileName); });
}

bool SaveToText(TZOR_RAM& ram, std::string& text) {
  return WriteDatabase(ram, [&] { zor::BeginSaveToText(&text); });
}

}  // namespace ZOR_RAM
