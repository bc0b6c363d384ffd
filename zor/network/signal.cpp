#include "zor/network/signal.h"

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <unordered_set>
#include <vector>

#include "zor/QXML/QXMLDocument.h"
#include "zor/check/check_driver.h"
#include "zor/check/findings.h"
#include "zor/check/name_table.h"
#include "zor/model/enums.h"
#include "zor/model/ram.h"
#include "zor/model/xml_values.h"

namespace ZOR_RAM {

namespace {

// Whether some placement of a frame places a signal of this name. The placed
// signals of the database list are marked by index once per check run, which
// answers for every signal that is placed itself; the names of all placed
// signals are gathered only when one that is not asks.
bool IsMappedToFrame(TSignal& signal) {
  static const char kKey = 0;
  TZOR_RAM& ram = *signal.Ram;
  struct Placed {
    std::vector<bool> Listed;  // by index in ram.Signals
    mutable std::unique_ptr<TNameTable<bool>> Names;
  };
  auto forEachPlaced = [&ram](auto&& fn) {
    for (TNetFrame* frame : ram.NetFrames)
      if (frame)
        for (TNetSig* netSig : frame->NetSigs)
          if (netSig && netSig->Signal) fn(*netSig->Signal);
  };
  const Placed& placed = ram.CheckRunValue<Placed>(&kKey, [&] {
    Placed result{std::vector<bool>(static_cast<size_t>(ram.Signals.Count())), nullptr};
    forEachPlaced([&](TSignal& placedSignal) {
      if (int index = placedSignal.IndexIn(ram.Signals); index >= 0) result.Listed[static_cast<size_t>(index)] = true;
    });
    return result;
  });
  const int index = signal.IndexIn(ram.Signals);
  if (index >= 0 && static_cast<size_t>(index) < placed.Listed.size() && placed.Listed[static_cast<size_t>(index)])
    return true;
  if (!placed.Names) {
    placed.Names = std::make_unique<TNameTable<bool>>();
    forEachPlaced([&](TSignal& placedSignal) { placed.Names->Insert(placedSignal.Name); });
  }
  return placed.Names->Find(signal.Name) != nullptr;
}

// Raw values compared as the encoding type says: as signed or as unsigned
// 64-bit numbers. Flipping the sign bit maps signed order onto unsigned order.
uint64_t OrderKey(int64_t value, bool isSigned) {
  uint64_t bits = static_cast<uint64_t>(value);
  return isSigned ? bits ^ (uint64_t{1} << 63) : bits;
}

std::string RawText(int64_t value, bool isSigned) {
  return isSigned ? std::to_string(value) : std::to_string(static_cast<uint64_t>(value));
}

// Whether two encodes of the type overlap: each one's lower bound is not
// above the other's upper bound. Sorted by lower bound, an encode overlaps an
// earlier one exactly when its lower bound is not above the largest upper
// bound before it, provided its own interval is not reversed (upper bound
// below lower bound); reversed intervals are compared with all others (only
// earlier ones can overlap them).
bool EncodesOverlap(const TEncType& type) {
  struct Interval {
    uint64_t Lo, Hi;
  };
  std::vector<Interval> intervals;
  intervals.reserve(static_cast<size_t>(type.Encodes.Count()));
  for (TEncode* encode : type.Encodes) {
    if (!encode) continue;
    const int64_t hi = encode->Type == kEncodePhysical ? encode->Max : encode->Min;
    intervals.push_back({OrderKey(encode->Min, type.Signed), OrderKey(hi, type.Signed)});
  }
  if (intervals.size() < 2) return false;
  std::sort(intervals.begin(), intervals.end(), [](const Interval& a, const Interval& b) { return a.Lo < b.Lo; });
  uint64_t maxHi = intervals[0].Hi;
  for (size_t i = 1; i < intervals.size(); ++i) {
    const Interval& cur = intervals[i];
    if (cur.Hi >= cur.Lo) {
      if (cur.Lo <= maxHi) return true;
    } else {
      for (size_t j = 0; j < intervals.size(); ++j)
        if (j != i && cur.Lo <= intervals[j].Hi && intervals[j].Lo <= cur.Hi) return true;
    }
    maxHi = std::max(maxHi, cur.Hi);
  }
  return false;
}

}  // namespace

bool IsReservedDiagSignalName(const std::string& name) {
  static constexpr std::array<const char*, 16> kNames = {
      "MasterReqB0", "MasterReqB1", "MasterReqB2", "MasterReqB3", "MasterReqB4", "MasterReqB5",
      "MasterReqB6", "MasterReqB7", "SlaveRespB0", "SlaveRespB1", "SlaveRespB2", "SlaveRespB3",
      "SlaveRespB4", "SlaveRespB5", "SlaveRespB6", "SlaveRespB7"};
  if (name.size() != 11) return false;
  for (const char* reserved : kNames)
    if (SameTextAscii(name, reserved)) return true;
  return false;
}

// ---------------------------------------------------------------------------
// TSignal

// Counted in Signals; a signal not found there counts in UnUsedSignals.
const std::string& TSignal::GetId() {
  if (Id.empty() && Ram && IndexIn(Ram->Signals) < 0) return DefaultIdIn("UnUsedSignal", &Ram->UnUsedSignals);
  return DefaultId("Signal");
}

bool TSignal::WriteXml(bool withElement) {
  if (withElement && WriteTag("Signal")) return true;
  if (TItemData::WriteXml(false)) return true;
  if (WriteTextField("Name", Name) || WriteIntField("Size", Size) ||
      WriteTextField("SignalType", SignalTypeToText(SignalType)) ||
      WriteTextField("InfoType", InfoTypeToText(InfoType)) || WriteTextField("GenType", GenTypeToText(GenType)) ||
      WriteIntField("InitValue", InitValue))
    return true;
  if (Ram && Ram->IsVersion2()) {
    if (WriteRealField("Factor", Factor) || WriteRealField("Offset", Offset) || WriteIntField("Minimum", Minimum) ||
        WriteIntField("Maximum", Maximum) || WriteStoredField("Unit", Unit) ||
        WriteStoredField("Multiplexer", Multiplexer))
      return true;
  }
  if (EncType && WriteTextField("EncType", EncType->GetId())) return true;
  return withElement && WriteTag("Signal", /*closing=*/true);
}

bool TSignal::ReadXml(TQXMLNode* element) {
  if (ReadBase(element)) return true;
  Name = ReadText(element, "Name");
  Size = static_cast<int32_t>(ReadInt(element, "Size"));
  SignalType = SignalTypeFromText(ReadText(element, "SignalType"));
  InfoType = InfoTypeFromText(ReadText(element, "InfoType"));
  GenType = GenTypeFromText(ReadText(element, "GenType"));
  InitValue = ReadInt(element, "InitValue");
  if (Ram && Ram->IsVersion2()) {
    Factor = static_cast<float>(ReadFloat(element, "Factor"));
    Offset = static_cast<float>(ReadFloat(element, "Offset"));
    Minimum = ReadInt(element, "Minimum");
    Maximum = ReadInt(element, "Maximum");
    Unit = ReadText(element, "Unit");
    Multiplexer = ReadText(element, "Multiplexer");
  }
  return false;
}

void TSignal::ResolveLinks() {
  TItemData::ResolveLinks();
  if (EncType || !SourceNode || !Ram) return;
  if (!FindChild(SourceNode, "EncType")) return;
  EncType = Ram->EncTypes.FindById(ReadText(SourceNode, "EncType"));
}

bool TSignal::Check(uint64_t flags) {
  bool err = false;
  const char* name = Name.c_str();
  if (flags & kCheckAll) {
    CheckBase(&err, flags);
    if (SignalType < 0 || SignalType >= kSignalTypeCount) ReportFinding(&err, 3, name, "Signal");
    if (InfoType < 0 || InfoType >= kInfoTypeCount) ReportFinding(&err, 147, name);
    if (GenType < 0 || GenType >= kGenTypeCount) ReportFinding(&err, 148, name);
  }
  CheckNameUnique(&err, this, Name, flags, "Signal");
  CheckNameForm(&err, Name, flags, "Signal");

  // The size findings are made whatever the flags.
  switch (SignalType) {
    case kSignalSigned:
      if (Size < 1 || Size > 64) ReportFinding(&err, 16, name, "Signed Signal", static_cast<int>(Size));
      break;
    case kSignalUnsigned:
      if (Size < 0 || Size > 64) ReportFinding(&err, 16, name, "Unsigned Signal", static_cast<int>(Size));
      break;
    case kSignalBoolean:
      if (Size != 1) ReportFinding(&err, 16, name, "Boolean Signal", static_cast<int>(Size));
      break;
    case kSignalBytes:
      if (Size % 8 != 0) ReportFinding(&err, 16, name, "Byte Signal", static_cast<int>(Size));
      break;
    default:
      break;
  }
  if (Size == 0) ReportFinding(&err, 17, name);

  if (flags & kCheckAll) {
    if (EncType && EncType->Size != Size) ReportFinding(&err, 149, name);
    // The initial value must fit the size; a negative number and its raw
    // two's complement pattern are both accepted for a signed signal. A size
    // below 0 (or below 1 when signed) has no range to test against.
    if (Size < 64) {
      const uint64_t raw = static_cast<uint64_t>(InitValue);
      if (SignalType != kSignalSigned) {
        if (Size >= 0) {
          const uint64_t mask = (uint64_t{1} << Size) - 1;
          if ((raw & mask) != raw) ReportFinding(&err, 150, name);
        }
      } else if (Size >= 1) {
        uint64_t bits = raw;
        if ((bits >> (Size - 1)) & 1) bits |= ~((uint64_t{1} << Size) - 1);
        const int64_t value = static_cast<int64_t>(bits);
        const int64_t limit = int64_t{1} << (Size - 1);
        if (value < -limit || value > limit - 1) ReportFinding(&err, 150, name);
      }
    }
    if (HasLinDiagNetwork && IsReservedDiagSignalName(Name)) ReportFinding(&err, 151, name);
  }

  if (Ram && !IsMappedToFrame(*this)) ReportFinding(&err, 152, name);
  return err;
}

bool TSignal::IsNameUsed(const std::string& name) {
  if (!Ram) return false;
  int count = Ram->CountNames(Ram->Signals, name);
  if (Name == name && HomeList() == &Ram->Signals) --count;  // this signal itself
  return count > 0;
}

std::string TSignal::GetDisplayName() {
  if (DisplayNameCache.empty()) DisplayNameCache = Name;
  return DisplayNameCache;
}

std::string TSignal::GetName() { return Name; }

// ---------------------------------------------------------------------------
// TEncType

TEncType::~TEncType() {
  for (TEncode* encode : Encodes)
    if (encode && encode->EncType == this) encode->EncType = nullptr;
  if (Ram && !Ram->IsBeingDestroyed()) {
    for (TSignal* signal : Ram->Signals)
      if (signal && signal->EncType == this) signal->EncType = nullptr;
    for (TSignal* signal : Ram->UnUsedSignals)
      if (signal && signal->EncType == this) signal->EncType = nullptr;
    for (TEnvInt* variable : Ram->EnvInts)
      if (variable && variable->EncType == this) variable->EncType = nullptr;
  }
}

const std::string& TEncType::GetId() { return DefaultId("EncType"); }

bool TEncType::WriteXml(bool withElement) {
  if (withElement && WriteTag("EncType")) return true;
  if (TItemData::WriteXml(false)) return true;
  if (WriteTextField("Name", Name) || WriteIntField("Size", Size) || WriteBoolField("Signed", Signed)) return true;
  if (WriteTag("Encodes")) return true;
  for (TEncode* encode : Encodes)
    if (encode && encode->WriteXml(/*withElement=*/true)) return true;
  if (WriteTag("Encodes", /*closing=*/true)) return true;
  return withElement && WriteTag("EncType", /*closing=*/true);
}

bool TEncType::ReadXml(TQXMLNode* element) {
  if (ReadBase(element)) return true;
  Name = ReadText(element, "Name");
  Size = static_cast<int32_t>(ReadInt(element, "Size"));
  Signed = ReadInt(element, "Signed") != 0;
  while (Encodes.Count() > 0) {
    TEncode* encode = Encodes.Last();
    Encodes.Delete(Encodes.Count() - 1);
    if (encode && encode->EncType == this) encode->EncType = nullptr;
    delete encode;  // leaves the database's Encodes list
  }
  if (!Ram) return true;  // encodes can only be created in a database
  return ReadListIn(element, "Encodes", "Encode", [&](TQXMLNode* child) {
    TEncode* encode = Ram->NewItem(Ram->Encodes);
    Encodes.Add(encode);
    encode->EncType = this;
    return encode->ReadXml(child);
  });
}

void TEncType::ResolveLinks() {
  TItemData::ResolveLinks();
  for (TEncode* encode : Encodes)
    if (encode) encode->ResolveLinks();
}

bool TEncType::Check(uint64_t flags) {
  bool err = false;
  const char* name = Name.c_str();
  if (flags & kCheckAll) CheckBase(&err, flags);
  CheckNameUnique(&err, this, Name, flags, "Encoding Type");
  CheckNameForm(&err, Name, flags, "Encoding Type");
  if (!(flags & kCheckAll)) return err;
  if (Size == 0) ReportFinding(&err, 16, name, "Encoding Type", 0);
  if (Size > 64) ReportFinding(&err, 153, name);
  if (EncodesOverlap(*this)) ReportFinding(&err, 154, name);
  return err;
}

bool TEncType::IsNameUsed(const std::string& name) {
  if (!Ram) return false;
  int count = Ram->CountNames(Ram->EncTypes, name);
  if (Name == name && HomeList() == &Ram->EncTypes) --count;
  return count > 0;
}

std::string TEncType::GetDisplayName() {
  if (DisplayNameCache.empty()) DisplayNameCache = Name;
  return DisplayNameCache;
}

std::string TEncType::GetName() { return Name; }

// ---------------------------------------------------------------------------
// TEncode

TEncode::~TEncode() {
  if (EncType) EncType->Encodes.Remove(this);
}

const std::string& TEncode::GetId() { return DefaultId("Encode"); }

bool TEncode::WriteXml(bool withElement) {
  if (withElement && WriteTag("Encode")) return true;
  if (TItemData::WriteXml(false)) return true;
  if (WriteTextField("Type", EncodeTypeToText(Type)) || WriteIntField("Min", Min) || WriteIntField("Max", Max) ||
      WriteRealField("Offset", Offset) || WriteRealField("Scale", Scale) || WriteTextField("Interpr", Interpr))
    return true;
  return withElement && WriteTag("Encode", /*closing=*/true);
}

bool TEncode::ReadXml(TQXMLNode* element) {
  if (ReadBase(element)) return true;
  Type = EncodeTypeFromText(ReadText(element, "Type"));
  Min = ReadInt(element, "Min");
  Max = ReadInt(element, "Max");
  Offset = static_cast<float>(ReadFloat(element, "Offset"));
  Scale = static_cast<float>(ReadFloat(element, "Scale"));
  Interpr = ReadText(element, "Interpr");
  return false;
}

bool TEncode::Check(uint64_t flags) {
  bool err = false;
  if (!(flags & kCheckAll)) return err;
  CheckBase(&err, flags);
  // An encode's display name is the empty text.
  if (Type < 0 || Type >= kEncodeTypeCount) ReportFinding(&err, 3, "", "Encode");
  if (!EncType) {
    ReportFinding(&err, 155, "");
    return err;
  }
  const bool isSigned = EncType->Signed;
  const int n = EncType->Size;
  const char* typeName = EncType->Name.c_str();
  const char* interpr = Interpr.c_str();
  const std::string minText = RawText(Min, isSigned), maxText = RawText(Max, isSigned);
  const bool isRange = Type == kEncodePhysical;
  // The allowed range needs a size of 1 to 64 bits; other sizes are the
  // type's own finding.
  if (n >= 1 && n <= 64) {
    int64_t lowest, highest;
    if (isSigned) {
      lowest = n == 64 ? std::numeric_limits<int64_t>::min() : -(int64_t{1} << (n - 1));
      highest = n == 64 ? std::numeric_limits<int64_t>::max() : (int64_t{1} << (n - 1)) - 1;
    } else {
      lowest = 0;
      highest = static_cast<int64_t>(n == 64 ? ~uint64_t{0} : (uint64_t{1} << n) - 1);
    }
    const uint64_t lo = OrderKey(lowest, isSigned), hi = OrderKey(highest, isSigned);
    const std::string lowText = RawText(lowest, isSigned), highText = RawText(highest, isSigned);
    auto bound = [&](const char* which, int64_t value, const std::string& text) {
      const uint64_t key = OrderKey(value, isSigned);
      if (key < lo)
        ReportFinding(&err, 156, typeName, interpr, which, "lower", text.c_str(), "&lt;", lowText.c_str());
      else if (key > hi)
        ReportFinding(&err, 156, typeName, interpr, which, "higher", text.c_str(), "&gt;", highText.c_str());
    };
    bound("Min", Min, minText);
    if (isRange) bound("Max", Max, maxText);
  }
  if (isRange) {
    if (OrderKey(Min, isSigned) > OrderKey(Max, isSigned))
      ReportFinding(&err, 157, typeName, interpr, minText.c_str(), ">=", maxText.c_str());
    if (Scale == 0) ReportFinding(&err, 158, interpr, typeName);
  }
  return err;
}

std::string TEncode::GetName() { return Interpr; }

// ---------------------------------------------------------------------------
// Removal

void RemoveSignal(TSignal* signal) {
  if (!signal) return;
  if (TZOR_RAM* ram = signal->Ram) {
    // Each removal below may take further items out of the lists it walks,
    // so every index is clamped to the current count before use.
    for (int i = ram->NetSigs.Count() - 1; i >= 0; --i) {
      i = std::min(i, ram->NetSigs.Count() - 1);
      if (i < 0) break;
      TNetSig* netSig = ram->NetSigs[i];
      if (netSig && netSig->Signal == signal) RemoveNetSig(netSig);
    }
    for (int i = ram->Gateways.Count() - 1; i >= 0; --i) {
      i = std::min(i, ram->Gateways.Count() - 1);
      if (i < 0) break;
      TGateway* gateway = ram->Gateways[i];
      if (gateway && gateway->Signal == signal) RemoveGateway(gateway);
    }
    for (int i = ram->PubSigs.Count() - 1; i >= 0; --i) {
      i = std::min(i, ram->PubSigs.Count() - 1);
      if (i < 0) break;
      TPubSig* pubSig = ram->PubSigs[i];
      if (pubSig && pubSig->Signal == signal) RemovePubSig(pubSig);
    }
    for (int i = ram->SubSigs.Count() - 1; i >= 0; --i) {
      i = std::min(i, ram->SubSigs.Count() - 1);
      if (i < 0) break;
      TSubSig* subSig = ram->SubSigs[i];
      if (subSig && subSig->Signal == signal) RemoveSubSig(subSig);
    }
  }
  delete signal;
}

void RemoveReservedDiagSignals(TZOR_RAM& ram) {
  bool hasDiagNetwork = false;
  for (TNetwork* network : ram.Networks)
    if (network && network->Type >= kNetTypeLIN12 && network->Type <= kNetTypeLIN20) {
      hasDiagNetwork = true;
      break;
    }
  if (!hasDiagNetwork) return;
  for (int i = ram.Signals.Count() - 1; i >= 0; --i) {
    i = std::min(i, ram.Signals.Count() - 1);
    if (i < 0) break;
    TSignal* signal = ram.Signals[i];
    if (signal && IsReservedDiagSignalName(signal->Name)) RemoveSignal(signal);
  }
}

}  // namespace ZOR_RAM
