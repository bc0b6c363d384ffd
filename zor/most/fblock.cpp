#include "zor/most/fblock.h"

#include <algorithm>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "zor/QXML/QXMLDocument.h"
#include "zor/check/findings.h"
#include "zor/model/check_run_values.h"
#include "zor/model/children.h"
#include "zor/model/fields.h"
#include "zor/model/ram.h"
#include "zor/model/xml_values.h"
#include "zor/most/fkt_interface.h"
#include "zor/most/most_dispatch.h"
#include "zor/network/network.h"
#include "zor/node/node.h"

namespace ZOR_RAM {

namespace {

// The entries of list whose identifier equals self's, counted as listed (an
// item listed twice counts twice), less one when self is listed: the number
// of times an identifier test reports self. During a check run a long list's
// identifier counts and members are gathered once; outside one it is scanned.
template <class T, class IdOf>
int OtherEntriesWithId(TZOR_RAM& ram, const TZORList<T>& list, const T* self, IdOf idOf) {
  const int64_t id = idOf(self);
  if (!ram.InCheckRun() || list.Count() <= kScannedListLength) {
    int same = 0;
    bool listed = false;
    for (const T* item : list) {
      if (!item) continue;
      same += idOf(item) == id;
      listed |= item == self;
    }
    return listed ? same - 1 : same;
  }
  struct Index {
    std::unordered_map<int64_t, int> Counts;
    std::unordered_set<const T*> Members;
  };
  static const char kKey = 0;
  const Index& index = CheckRunValueOf<Index>(ram, &kKey, &list, [&idOf](const TZORList<T>* items) {
    Index built;
    for (const T* item : *items) {
      if (!item) continue;
      ++built.Counts[idOf(item)];
      built.Members.insert(item);
    }
    return built;
  });
  auto found = index.Counts.find(id);
  if (found == index.Counts.end()) return 0;
  return index.Members.count(self) ? found->second - 1 : found->second;
}

}  // namespace

// ---------------------------------------------------------------------------
// TMOSTFBlock

const std::string& TMOSTFBlock::GetId() { return DefaultId("MOSTFBlock"); }
std::string TMOSTFBlock::GetName() { return Name; }

constexpr TField kFBlockFields[] = {HexField<&TMOSTFBlock::FBlockID>("FBlockID"),
                                    TextField<&TMOSTFBlock::Name>("Name")};

bool TMOSTFBlock::WriteXml(bool withElement) {
  if (withElement && WriteTag("MOSTFBlock")) return true;
  if (TItemData::WriteXml(false) || WriteFields(*this, kFBlockFields) || WriteChildren("FktList", Fkts)) return true;
  return withElement && WriteTag("MOSTFBlock", true);
}

bool TMOSTFBlock::ReadXml(TQXMLNode* element) {
  return ReadBase(element) || ReadFields(*this, element, kFBlockFields) ||
         ReadChildren(*this, element, "FktList", "MOSTFkt", Fkts, &TZOR_RAM::MOSTFkts, &TMOSTFkt::FBlock);
}

void TMOSTFBlock::ResolveLinks() { ResolveChildren(Fkts); }

bool TMOSTFBlock::Check(uint64_t flags) {
  bool err = false;
  CheckNameUnique(&err, this, Name, flags, "MOST Function Block");
  if (flags & kCheckAll) {
    CheckBase(&err, flags);
    if (Ram) {
      const int same =
          OtherEntriesWithId(*Ram, Ram->MOSTFBlocks, this, [](const TMOSTFBlock* block) { return block->FBlockID; });
      for (int i = 0; i < same; ++i) ReportFinding<kIdNotUnique>(&err, Name.c_str(), "MOST Function Block");
    }
  }
  return err;
}

bool TMOSTFBlock::IsNameUsed(const std::string& name) {
  return Ram && OtherItemHasName(Ram, Ram->MOSTFBlocks, this, name);
}

std::string TMOSTFBlock::GetDisplayName() {
  if (DisplayNameCache.empty()) DisplayNameCache = Name;
  return DisplayNameCache;
}

void TMOSTFBlock::DetachChildren() {
  for (TMOSTFkt* fkt : Fkts)
    if (fkt && fkt->FBlock == this) fkt->FBlock = nullptr;
}

// ---------------------------------------------------------------------------
// TMOSTFBlockInstance

const std::string& TMOSTFBlockInstance::GetId() { return DefaultId("MOSTFBlockInstance"); }
std::string TMOSTFBlockInstance::GetName() { return FBlock ? FBlock->Name : std::string(); }

constexpr TField kFBlockInstanceFields[] = {
    HexField<&TMOSTFBlockInstance::InstID>("InstID"),
    EscapedRefField<&TMOSTFBlockInstance::FBlock, TEmptyRef::Searched, &TZOR_RAM::MOSTFBlocks>("FBlock")};

bool TMOSTFBlockInstance::WriteXml(bool withElement) {
  return WriteFieldsElement(*this, withElement, "MOSTFBlockInstance", kFBlockInstanceFields);
}
bool TMOSTFBlockInstance::ReadXml(TQXMLNode* element) {
  return ReadBase(element) || ReadFields(*this, element, kFBlockInstanceFields);
}
void TMOSTFBlockInstance::ResolveLinks() { ResolveFields(*this, kFBlockInstanceFields); }

bool TMOSTFBlockInstance::Check(uint64_t flags) {
  bool err = false;
  if (flags & kCheckUnique) {
    std::string text = GetDisplayName();
    if (IsNameUsed(text)) {
      std::string network = Ifc && Ifc->Network ? Ifc->Network->Name : std::string("Unknown");
      ReportFinding<kFBlockInstanceNotUnique>(&err, text.c_str(), network.c_str());
    }
  }
  return err;
}

namespace {

TNetwork* NetworkOf(const TMOSTFBlockInstance* instance) { return instance->Ifc ? instance->Ifc->Network : nullptr; }

// Walks the instances sharing one display text in list order, skipping self's
// entries: the first other instance on no network ends the walk with false,
// the first on a network of mine's name and type with true.
bool OtherOnSameNetwork(const std::vector<TMOSTFBlockInstance*>& entries, const TMOSTFBlockInstance* self,
                        const TNetwork* mine) {
  for (const TMOSTFBlockInstance* other : entries) {
    if (other == self) continue;
    const TNetwork* theirs = NetworkOf(other);
    if (!mine || !theirs) return false;
    if (mine->Name == theirs->Name && mine->Type == theirs->Type) return true;
  }
  return false;
}

// The instances that share one display text, in list order. During a check
// run a long group also keeps where the walk above would stop: the first
// entry on no network, and per network name and type the position of the
// first entry and of the first entry of another instance.
struct TInstanceGroup {
  static constexpr size_t kNone = static_cast<size_t>(-1);
  struct Firsts {
    size_t First = kNone, OfOther = kNone;
  };
  std::vector<TMOSTFBlockInstance*> Entries;
  size_t FirstDetached = kNone;
  std::map<std::pair<std::string, int32_t>, Firsts> ByNetwork;

  void Summarise() {
    for (size_t i = 0; i < Entries.size(); ++i) {
      const TNetwork* network = NetworkOf(Entries[i]);
      if (!network) {
        if (FirstDetached == kNone) FirstDetached = i;
        continue;
      }
      Firsts& firsts = ByNetwork[{network->Name, network->Type}];
      if (firsts.First == kNone)
        firsts.First = i;
      else if (firsts.OfOther == kNone && Entries[i] != Entries[firsts.First])
        firsts.OfOther = i;
    }
  }
  // The walk's answer from the summary; self's entries are never on no
  // network, since self has mine.
  bool OtherOnSameNetwork(const TMOSTFBlockInstance* self, const TNetwork* mine) const {
    auto found = ByNetwork.find({mine->Name, mine->Type});
    if (found == ByNetwork.end()) return false;
    const size_t match = Entries[found->second.First] != self ? found->second.First : found->second.OfOther;
    return match != kNone && (FirstDetached == kNone || match < FirstDetached);
  }
};

}  // namespace

bool TMOSTFBlockInstance::IsNameUsed(const std::string& name) {
  if (!Ram) return false;
  // The instances by display text, gathered once per check run: only
  // instances that share the text take part in the walk.
  static const char kKey = 0;
  using ByText = std::unordered_map<std::string, TInstanceGroup>;
  TZOR_RAM& ram = *Ram;
  const auto& byText = ram.CheckRunValue<ByText>(&kKey, [&ram] {
    ByText texts;
    for (TMOSTFBlockInstance* instance : ram.MOSTFBlockInstances)
      if (instance) texts[instance->GetDisplayName()].Entries.push_back(instance);
    if (ram.InCheckRun())
      for (auto& [text, group] : texts)
        if (group.Entries.size() > static_cast<size_t>(kScannedListLength)) group.Summarise();
    return texts;
  });
  auto found = byText.find(name);
  if (found == byText.end()) return false;
  const TInstanceGroup& group = found->second;
  const TNetwork* mine = NetworkOf(this);
  if (!mine || group.Entries.size() <= static_cast<size_t>(kScannedListLength) || !ram.InCheckRun())
    return OtherOnSameNetwork(group.Entries, this, mine);
  return group.OtherOnSameNetwork(this, mine);
}

std::string TMOSTFBlockInstance::GetDisplayName() {
  if (DisplayNameCache.empty() && FBlock) DisplayNameCache = FBlock->Name + "." + ByteToHex(InstID);
  return DisplayNameCache;
}

// ---------------------------------------------------------------------------
// TMOSTFkt

const std::string& TMOSTFkt::GetId() { return DefaultId("MOSTFkt"); }
std::string TMOSTFkt::GetName() { return Name; }

constexpr TField kFktFields[] = {IntField<&TMOSTFkt::FktID>("FktID"), TextField<&TMOSTFkt::Name>("Name"),
                                 HexField<&TMOSTFkt::Type>("Type"), IntField<&TMOSTFkt::ClassRef>("ClassRef")};

bool TMOSTFkt::WriteXml(bool withElement) {
  if (withElement && WriteTag("MOSTFkt")) return true;
  if (TItemData::WriteXml(false) || WriteFields(*this, kFktFields) || WriteChildren("ParamList", Params)) return true;
  return withElement && WriteTag("MOSTFkt", true);
}

bool TMOSTFkt::ReadXml(TQXMLNode* element) {
  return ReadBase(element) || ReadFields(*this, element, kFktFields) ||
         ReadChildren(*this, element, "ParamList", "MOSTFktParam", Params, &TZOR_RAM::MOSTFktParams,
                      &TMOSTFktParam::Fkt);
}

void TMOSTFkt::ResolveLinks() { ResolveChildren(Params); }

int TMOSTFkt::GetOPParams(int opType, std::string* names) const {
  std::vector<const TMOSTParamOPType*> found;
  for (TMOSTFktParam* param : Params) {
    if (!param) continue;
    for (TMOSTParamOPType* op : param->OPTypes)
      if (op && op->OPType == opType) found.push_back(op);
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const TMOSTParamOPType* a, const TMOSTParamOPType* b) { return a->ParamPos < b->ParamPos; });
  if (names) {
    names->clear();
    for (const TMOSTParamOPType* op : found) {
      if (!names->empty()) *names += ", ";
      if (op->Param) *names += op->Param->Name;
    }
  }
  return static_cast<int>(found.size());
}

bool TMOSTFkt::Check(uint64_t flags) {
  bool err = false;
  CheckNameUnique(&err, this, Name, flags, "MOST Function",
                  FBlock ? " in MOST Function Block " + FBlock->Name : std::string());
  if (!(flags & kCheckAll)) return err;
  CheckBase(&err, flags);
  if (!FBlock) ReportFinding<kFunctionNoFBlock>(&err, Name.c_str());

  if (Type > 1) {
    ReportFinding<kTypeInvalid>(&err, Name.c_str(), "MOST Function");
  } else {
    static constexpr int kForbidden0[] = {7, 8, 9, 10, 11, 13};
    static constexpr int kForbidden1[] = {3, 4};
    auto uses = [&](int code) { return GetOPParams(code) > 0; };
    bool forbidden = Type == 0 ? std::any_of(std::begin(kForbidden0), std::end(kForbidden0), uses)
                               : std::any_of(std::begin(kForbidden1), std::end(kForbidden1), uses);
    if (forbidden) ReportFinding<kFunctionOpTypeInvalid>(&err, Name.c_str());
  }

  if (!FBlock) return err;
  if (FktID > 0xFFF) ReportFinding<kFunctionIdInvalid>(&err, FBlock->Name.c_str(), Name.c_str());
  std::string kind = Name + " MOST Function";
  // Without a database the identifier test is not made.
  const int same =
      Ram ? OtherEntriesWithId(*Ram, FBlock->Fkts, this, [](const TMOSTFkt* fkt) { return fkt->FktID; }) : 0;
  for (int i = 0; i < same; ++i) ReportFinding<kIdNotUnique>(&err, FBlock->Name.c_str(), kind.c_str());

  bool hasPos = false, hasTag = false, hasPosY = false, hasTyped = false;
  for (TMOSTFktParam* param : Params) {
    if (!param) continue;
    hasPos |= param->Name == "Pos";
    hasTag |= param->Name == "Tag";
    hasPosY |= param->Name == "PosY";
    hasTyped |= param->TypeValue >= 10 && param->TypeValue <= 13;
  }
  if (hasTyped && !hasPos && !(hasTag && hasPosY))
    ReportFinding<kFunctionPosMissing>(&err, FBlock->Name.c_str(), Name.c_str());
  return err;
}

bool TMOSTFkt::IsNameUsed(const std::string& name) {
  return FBlock && OtherItemHasName(Ram, FBlock->Fkts, this, name);
}

std::string TMOSTFkt::GetDisplayName() {
  if (DisplayNameCache.empty()) DisplayNameCache = FBlock ? FBlock->Name + "." + Name : Name;
  return DisplayNameCache;
}

void TMOSTFkt::DetachChildren() {
  for (TMOSTFktParam* param : Params)
    if (param && param->Fkt == this) param->Fkt = nullptr;
}

// ---------------------------------------------------------------------------
// TMOSTFktParam

const std::string& TMOSTFktParam::GetId() { return DefaultId("MOSTFktParam"); }
std::string TMOSTFktParam::GetName() { return Name; }

constexpr TField kFktParamFields[] = {TextField<&TMOSTFktParam::Name>("Name"),
                                      IntField<&TMOSTFktParam::TypeValue>("TypeValue")};

bool TMOSTFktParam::WriteXml(bool withElement) {
  if (withElement && WriteTag("MOSTFktParam")) return true;
  if (TItemData::WriteXml(false) || WriteFields(*this, kFktParamFields)) return true;
  if (FktInterface) {
    if (WriteTag("FktInterface") || FktInterface->WriteXml(true) || WriteTag("FktInterface", true)) return true;
  }
  if (WriteChildren("ParamOPTypeList", OPTypes)) return true;
  return withElement && WriteTag("MOSTFktParam", true);
}

bool TMOSTFktParam::ReadXml(TQXMLNode* element) {
  if (ReadBase(element) || ReadFields(*this, element, kFktParamFields)) return true;
  if (TQXMLNode* node = FindFktInterface(FindChild(element, "FktInterface"))) {
    // A replaced interface stays in MOSTFktInterfaces; it no longer belongs here.
    if (FktInterface && FktInterface->Param == this) FktInterface->Param = nullptr;
    FktInterface = CreateFktInterface(this, Ram, node);
    if (FktInterface && FktInterface->ReadXml(node)) return true;
  }
  return ReadChildren(*this, element, "ParamOPTypeList", "MOSTParamOPType", OPTypes, &TZOR_RAM::MOSTParamOPTypes,
                      &TMOSTParamOPType::Param);
}

void TMOSTFktParam::ResolveLinks() {
  if (FktInterface) FktInterface->ResolveLinks();
  ResolveChildren(OPTypes);
}

bool TMOSTFktParam::Check(uint64_t flags) {
  bool err = false;
  if (flags & kCheckAll) {
    CheckBase(&err, flags);
    if (!Fkt && !StreamCase) ReportFinding<kParameterNoFunction>(&err, Name.c_str());
  }
  return err;
}

std::string TMOSTFktParam::GetDisplayName() {
  if (DisplayNameCache.empty())
    DisplayNameCache = Fkt && Fkt->FBlock ? Fkt->FBlock->Name + "." + Fkt->Name + "." + Name : Name;
  return DisplayNameCache;
}

void TMOSTFktParam::DetachChildren() {
  for (TMOSTParamOPType* op : OPTypes)
    if (op && op->Param == this) op->Param = nullptr;
  if (FktInterface && FktInterface->Param == this) FktInterface->Param = nullptr;
}

// ---------------------------------------------------------------------------
// TMOSTParamOPType

const std::string& TMOSTParamOPType::GetId() { return DefaultId("MOSTParamOPType"); }
std::string TMOSTParamOPType::GetName() { return Name; }

constexpr TField kParamOPTypeFields[] = {HexField<&TMOSTParamOPType::OPType>("OPType"),
                                         TextField<&TMOSTParamOPType::Name>("Name"),
                                         IntField<&TMOSTParamOPType::ParamPos>("ParamPos")};

bool TMOSTParamOPType::WriteXml(bool withElement) {
  return WriteFieldsElement(*this, withElement, "MOSTParamOPType", kParamOPTypeFields);
}
bool TMOSTParamOPType::ReadXml(TQXMLNode* element) {
  return ReadBase(element) || ReadFields(*this, element, kParamOPTypeFields);
}

bool TMOSTParamOPType::Check(uint64_t flags) {
  bool err = false;
  CheckBase(&err, flags);
  return err;
}

}  // namespace ZOR_RAM
