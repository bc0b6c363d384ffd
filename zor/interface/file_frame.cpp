#include "zor/interface/file_frame.h"

#include <exception>
#include <memory>

#include "zor/QXML/QXMLDocument.h"
#include "zor/QXML/qxml_scanner.h"
#include "zor/env/env.h"
#include "zor/io/line_writer.h"
#include "zor/io/messages.h"
#include "zor/model/children.h"
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

// Reads every child of the section element as an item of class T.
template <class T>
bool LoadSection(TQXMLNode* root, TZOR_RAM& ram, TZORList<T>& list, const Section& section,
                 void (*afterItems)(TZOR_RAM&) = nullptr) {
  TQXMLNode* element = FindChild(root, section.Name);
  if (!element) {
    zor::ReportError(std::string(section.Name) + " section not found in XML file.");
    return true;
  }
  const int n = element->GetCount();
  for (int i = 0; i < n; ++i) {
    TQXMLNode* child = element->GetItem(i);
    if (!child->Prefix.empty() || child->LocalName != section.ItemName) {
      zor::ReportError(std::string(section.WrongChild) + " section not found in XML file.");
      return true;
    }
    T* item = ram.NewItem(list);
    if (item->ReadXml(child)) return true;
    zor::ReportProgress(i * 100 / n, section.LoadText);
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
    for (int i = 0; i < list.Count(); ++i)
      if (TItemData* item = list.Get(i)) item->SourceNode = nullptr;
  });
}

}  // namespace

bool IsSupportedVersion(const std::string& version) {
  for (const char* v : kSupportedFileVersions)
    if (SameTextAscii(version, v)) return true;
  return false;
}

TZOR_RAM* LoadDatabase(const std::string& fileName) {
  auto ram = std::make_unique<TZOR_RAM>();
  if (LoadFile(fileName, ram.get())) return nullptr;
  ram->Update();
  return ram.release();
}

namespace {
thread_local int64_t t_loadStopOffset = -1;
}  // namespace

int64_t LastLoadStopOffset() { return t_loadStopOffset; }

bool LoadFile(const std::string& fileName, TZOR_RAM* ram) {
  t_loadStopOffset = -1;
  QXMLSetLastStopOffset(-1);
  if (!ram) return true;
  auto document = std::make_unique<TQXMLDocument>(nullptr);
  document->AutoValidate = true;
  document->OnPercent = [](TQXMLDocument*, int percent) {
    zor::ReportProgress(percent, "Parsing XML file ...");
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
    if (document->LoadFromFileReadOnly(fileName)) return true;
    TQXMLNode* root = document->GetRoot();
    failed = CheckHeader(root, ram) || LoadSections(root, ram);
  } catch (const std::exception& e) {
    t_loadStopOffset = QXMLLastStopOffset();
    zor::ReportError(e.what());
    failed = true;
  }
  ForgetSourceNodes(*ram);
  if (!failed) ram->FileName = fileName;
  // The lists grew while reading; they hold what was read from now on.
  ram->ForEachList([](TList& list) { list.Compact(); });
  return failed;
}

bool CheckHeader(TQXMLNode* root, TZOR_RAM* ram) {
  if (!ram) return true;
  if (!root) {
    zor::ReportError("XML root not found.\nThis is not a Kelvo Config File.");
    return true;
  }
  TQXMLNode* info = FindChild(root, "ZORInfo");
  if (!info) return true;
  if (root->GetIdent() != "Measurement_Config_File" && root->GetIdent() != "KELVO_Config_File")
    return true;
  TQXMLNode* version = FindChild(info, "Version");
  if (!version) {
    zor::ReportError("Version information not found.");
    return true;
  }
  ram->Version = version->Text;
  if (!IsSupportedVersion(ram->Version)) {
    zor::ReportError("ZOR '" + ram->Version + "' version is not supported.");
    return true;
  }
  TQXMLNode* description = FindChild(info, "Description");
  ram->Description = description ? description->Text : std::string();
  return false;
}

bool LoadSections(TQXMLNode* root, TZOR_RAM* ram) {
  if (!ram) return true;
  TZOR_RAM& db = *ram;
  // The host gets control back only at the end: look-up indexes may live
  // until then.
  const TZOR_RAM::CallScope call(db);
  if (LoadSection(root, db, db.EncTypes, kEncTypes) || LoadSection(root, db, db.Signals, kSignals) ||
      LoadSection(root, db, db.Networks, kNetworks) || LoadSection(root, db, db.Nodes, kNodes))
    return true;
  if (db.IsVersion2() && LoadSection(root, db, db.EnvGroups, kEnvGroups, &LinkEnvGroups)) return true;
  if (LoadSection(root, db, db.MOSTFBlocks, kMOSTFBlocks)) return true;

  // Resolution pass: each item resolves its own nested items; gateways and
  // subscribed signals are walked in full because their links cross nodes.
  ResolveChildren(db.EncTypes);
  ResolveChildren(db.Signals);
  ResolveChildren(db.Networks);
  ResolveChildren(db.Nodes);
  ResolveChildren(db.MOSTFBlocks);
  ResolveChildren(db.Gateways);
  ResolveChildren(db.SubSigs);
  return false;
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
