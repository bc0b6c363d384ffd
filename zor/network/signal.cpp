#include "zor/network/signal.h"

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "zor/QXML/QXMLDocument.h"
#include "zor/check/findings.h"
#include "zor/env/env.h"
#include "zor/model/check_run_values.h"
#include "zor/model/children.h"
#include "zor/model/enums.h"
#include "zor/model/fields.h"
#include "zor/model/name_table.h"
#include "zor/model/pointer_set.h"
#include "zor/model/prefetch.h"
#include "zor/model/ram.h"
#include "zor/model/xml_values.h"
#include "zor/network/frame.h"
#include "zor/network/lin_diag.h"
#include "zor/network/network.h"
#include "zor/node/controller.h"

namespace ZOR_RAM {

namespace {

// The placements of the database's frames, in order.
std::vector<const TNetSig*> FramePlacements(const TZOR_RAM& ram) {
  std::vector<const TNetSig*> placements;
  placements.reserve(static_cast<size_t>(ram.NetSigs.Count()));  // as a rule, the same network signals
  for (int i = 0; i < ram.NetFrames.Count(); ++i) {
    PrefetchAhead(ram.NetFrames, i);
    if (const TNetFrame* ahead = ram.NetFrames.Get(i + kReadAhead / 2)) PrefetchEntries(ahead->NetSigs);
    if (const TNetFrame* frame = ram.NetFrames[i])
      for (const TNetSig* netSig : frame->NetSigs)
        if (netSig) placements.push_back(netSig);
  }
  return placements;
}

// The placements of the database's frames and the signals they place, kept
// for a check run; the names of the placed signals are gathered only when
// asked for.
struct TPlacedSignals {
  std::vector<const TNetSig*> Placements;
  TSortedPointers Signals;
  mutable std::unique_ptr<TNameTable<bool>> Names;
};
const char kPlacedSignalsKey = 0;

TPlacedSignals PlacedSignalsOf(const TZOR_RAM* ram) {
  std::vector<const TNetSig*> placements = FramePlacements(*ram);
  std::vector<const void*> signals;
  signals.reserve(placements.size());
  // The walk does little per placement, so it reads them far ahead.
  for (size_t i = 0; i < placements.size(); ++i) {
    if (i + kFarAhead < placements.size()) PrefetchLine(&placements[i + kFarAhead]->Signal);
    if (const TSignal* placedSignal = placements[i]->Signal) signals.push_back(placedSignal);
  }
  return TPlacedSignals{std::move(placements), TSortedPointers(std::move(signals)), nullptr};
}

// Whether some placement of a frame places a signal of this name. A signal
// placed itself is found among the placed signals' addresses without reading
// any placed signal.
bool IsMappedToFrame(TSignal& signal) {
  TZOR_RAM& ram = *signal.Ram;
  const TPlacedSignals& placed = CheckRunValueOf<TPlacedSignals>(ram, &kPlacedSignalsKey, &ram, PlacedSignalsOf);
  if (placed.Signals.Contains(&signal)) return true;
  if (!placed.Names) {
    placed.Names = std::make_unique<TNameTable<bool>>();
    WalkAhead(placed.Placements, [](const TNetSig* netSig) { return netSig->Signal; },
              [&placed](const TNetSig* netSig) {
                if (netSig->Signal) placed.Names->Insert(netSig->Signal->Name);
              });
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
  // prefixMaxHi[p]: the largest upper bound among the first p intervals.
  std::vector<uint64_t> prefixMaxHi(intervals.size() + 1, 0);
  for (size_t i = 0; i < intervals.size(); ++i) prefixMaxHi[i + 1] = std::max(prefixMaxHi[i], intervals[i].Hi);
  for (size_t i = 1; i < intervals.size(); ++i) {
    const Interval& cur = intervals[i];
    if (cur.Hi >= cur.Lo) {
      if (cur.Lo <= prefixMaxHi[i]) return true;
    } else {
      // A reversed interval overlaps another whose lower bound is not above
      // its upper bound (a prefix of the sorted intervals, which cannot hold
      // itself) and whose upper bound reaches its lower bound.
      const size_t below = static_cast<size_t>(
          std::upper_bound(intervals.begin(), intervals.end(), cur.Hi,
                           [](uint64_t bound, const Interval& interval) { return bound < interval.Lo; }) -
          intervals.begin());
      if (below > 0 && prefixMaxHi[below] >= cur.Lo) return true;
    }
  }
  return false;
}

}  // namespace

void QueuePlacedSignals(TCheckRunValuesAhead& ahead, const TZOR_RAM& ram) {
  ahead.Queue<TPlacedSignals>(&kPlacedSignalsKey, &ram, PlacedSignalsOf);
}

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

constexpr TField kSignalFields[] = {
    TextField<&TSignal::Name>("Name"),
    IntField<&TSignal::Size>("Size"),
    EnumField<&TSignal::SignalType, SignalTypeToText, SignalTypeFromText>("SignalType"),
    EnumField<&TSignal::InfoType, InfoTypeToText, InfoTypeFromText>("InfoType"),
    EnumField<&TSignal::GenType, GenTypeToText, GenTypeFromText>("GenType"),
    IntField<&TSignal::InitValue>("InitValue")};
// Fields of "2.000" files.
constexpr TField kSignalFields2[] = {
    RealField<&TSignal::Factor>("Factor"),  RealField<&TSignal::Offset>("Offset"),
    IntField<&TSignal::Minimum>("Minimum"), IntField<&TSignal::Maximum>("Maximum"),
    StoredField<&TSignal::Unit>("Unit"),    StoredField<&TSignal::Multiplexer>("Multiplexer")};
constexpr TField kSignalRefs[] = {
    EscapedRefField<&TSignal::EncType, TEmptyRef::Searched, &TZOR_RAM::EncTypes>("EncType")};

bool TSignal::WriteXml(bool withElement) {
  if (withElement && WriteTag("Signal")) return true;
  if (TItemData::WriteXml(false) || WriteFields(*this, kSignalFields) ||
      (Ram && Ram->IsVersion2() && WriteFields(*this, kSignalFields2)) || WriteFields(*this, kSignalRefs))
    return true;
  return withElement && WriteTag("Signal", /*closing=*/true);
}

bool TSignal::ReadXml(TQXMLNode* element) {
  return ReadBase(element) || ReadFields(*this, element, kSignalFields) ||
         (Ram && Ram->IsVersion2() && ReadFields(*this, element, kSignalFields2));
}

void TSignal::ResolveLinks() { ResolveFields(*this, kSignalRefs); }

bool TSignal::Check(uint64_t flags) {
  bool err = false;
  const char* name = Name.c_str();
  if (flags & kCheckAll) {
    CheckBase(&err, flags);
    if (SignalType < 0 || SignalType >= kSignalTypeCount) ReportFinding<kTypeInvalid>(&err, name, "Signal");
    if (InfoType < 0 || InfoType >= kInfoTypeCount) ReportFinding<kSignalInfoTypeInvalid>(&err, name);
    if (GenType < 0 || GenType >= kGenTypeCount) ReportFinding<kSignalGenTypeInvalid>(&err, name);
  }
  CheckNameUnique(&err, this, Name, flags, "Signal");
  CheckNameForm(&err, Name, flags, "Signal");

  // The size findings are made whatever the flags.
  switch (SignalType) {
    case kSignalSigned:
      if (Size < 1 || Size > 64) ReportFinding<kSizeIncorrect>(&err, name, "Signed Signal", static_cast<int>(Size));
      break;
    case kSignalUnsigned:
      if (Size < 0 || Size > 64) ReportFinding<kSizeIncorrect>(&err, name, "Unsigned Signal", static_cast<int>(Size));
      break;
    case kSignalBoolean:
      if (Size != 1) ReportFinding<kSizeIncorrect>(&err, name, "Boolean Signal", static_cast<int>(Size));
      break;
    case kSignalBytes:
      if (Size % 8 != 0) ReportFinding<kSizeIncorrect>(&err, name, "Byte Signal", static_cast<int>(Size));
      break;
    default:
      break;
  }
  if (Size == 0) ReportFinding<kSignalSizeZero>(&err, name);

  if (flags & kCheckAll) {
    if (EncType && EncType->Size != Size) ReportFinding<kSignalSizeDiffersFromEncoding>(&err, name);
    // The initial value must fit the size; a negative number and its raw
    // two's complement pattern are both accepted for a signed signal. A size
    // below 0 (or below 1 when signed) has no range to test against.
    if (Size < 64) {
      const uint64_t raw = static_cast<uint64_t>(InitValue);
      if (SignalType != kSignalSigned) {
        if (Size >= 0) {
          const uint64_t mask = (uint64_t{1} << Size) - 1;
          if ((raw & mask) != raw) ReportFinding<kInitialValueTooBig>(&err, name);
        }
      } else if (Size >= 1) {
        uint64_t bits = raw;
        if ((bits >> (Size - 1)) & 1) bits |= ~((uint64_t{1} << Size) - 1);
        const int64_t value = static_cast<int64_t>(bits);
        const int64_t limit = int64_t{1} << (Size - 1);
        if (value < -limit || value > limit - 1) ReportFinding<kInitialValueTooBig>(&err, name);
      }
    }
    if (HasLinDiagNetwork && IsReservedDiagSignalName(Name)) ReportFinding<kSignalReservedForDiagnostics>(&err, name);
  }

  if (Ram && !IsMappedToFrame(*this)) ReportFinding<kSignalNotMapped>(&err, name);
  return err;
}

bool TSignal::IsNameUsed(const std::string& name) { return Ram && OtherItemHasName(Ram, Ram->Signals, this, name); }

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

constexpr TField kEncTypeFields[] = {TextField<&TEncType::Name>("Name"), IntField<&TEncType::Size>("Size"),
                                     BoolField<&TEncType::Signed>("Signed")};

bool TEncType::WriteXml(bool withElement) {
  if (withElement && WriteTag("EncType")) return true;
  if (TItemData::WriteXml(false) || WriteFields(*this, kEncTypeFields) || WriteChildren("Encodes", Encodes))
    return true;
  return withElement && WriteTag("EncType", /*closing=*/true);
}

bool TEncType::ReadXml(TQXMLNode* element) {
  if (ReadBase(element) || ReadFields(*this, element, kEncTypeFields)) return true;
  DestroyChildren(Encodes);
  if (!Ram) return true;  // encodes can only be created in a database
  return AppendChildren(*this, element, "Encodes", "Encode", Encodes, &TZOR_RAM::Encodes, &TEncode::EncType);
}

void TEncType::ResolveLinks() { ResolveChildren(Encodes); }

bool TEncType::Check(uint64_t flags) {
  bool err = false;
  const char* name = Name.c_str();
  if (flags & kCheckAll) CheckBase(&err, flags);
  CheckNameUnique(&err, this, Name, flags, "Encoding Type");
  CheckNameForm(&err, Name, flags, "Encoding Type");
  if (!(flags & kCheckAll)) return err;
  if (Size == 0) ReportFinding<kSizeIncorrect>(&err, name, "Encoding Type", 0);
  if (Size > 64) ReportFinding<kEncodingTypeOver64>(&err, name);
  if (EncodesOverlap(*this)) ReportFinding<kEncodesOverlap>(&err, name);
  return err;
}

bool TEncType::IsNameUsed(const std::string& name) { return Ram && OtherItemHasName(Ram, Ram->EncTypes, this, name); }

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

constexpr TField kEncodeFields[] = {EnumField<&TEncode::Type, EncodeTypeToText, EncodeTypeFromText>("Type"),
                                    IntField<&TEncode::Min>("Min"),
                                    IntField<&TEncode::Max>("Max"),
                                    RealField<&TEncode::Offset>("Offset"),
                                    RealField<&TEncode::Scale>("Scale"),
                                    TextField<&TEncode::Interpr>("Interpr")};

bool TEncode::WriteXml(bool withElement) { return WriteFieldsElement(*this, withElement, "Encode", kEncodeFields); }
bool TEncode::ReadXml(TQXMLNode* element) { return ReadBase(element) || ReadFields(*this, element, kEncodeFields); }

bool TEncode::Check(uint64_t flags) {
  bool err = false;
  if (!(flags & kCheckAll)) return err;
  CheckBase(&err, flags);
  // An encode's display name is the empty text.
  if (Type < 0 || Type >= kEncodeTypeCount) ReportFinding<kTypeInvalid>(&err, "", "Encode");
  if (!EncType) {
    ReportFinding<kEncodeNoEncodingType>(&err, "");
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
        ReportFinding<kEncodeOutsideType>(&err, typeName, interpr, which, "lower", text.c_str(), "&lt;",
                                          lowText.c_str());
      else if (key > hi)
        ReportFinding<kEncodeOutsideType>(&err, typeName, interpr, which, "higher", text.c_str(), "&gt;",
                                          highText.c_str());
    };
    bound("Min", Min, minText);
    if (isRange) bound("Max", Max, maxText);
  }
  if (isRange) {
    if (OrderKey(Min, isSigned) > OrderKey(Max, isSigned))
      ReportFinding<kEncodeMinNotBelowMax>(&err, typeName, interpr, minText.c_str(), ">=", maxText.c_str());
    if (Scale == 0) ReportFinding<kEncodeScaleZero>(&err, interpr, typeName);
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
    if (const TSignal* ahead = ram.Signals.Get(i - kFarAhead))  // the walk goes down and reads the names
      PrefetchSpan(&ahead->Name, &ahead->Name + 1);
    TSignal* signal = ram.Signals[i];
    if (signal && IsReservedDiagSignalName(signal->Name)) RemoveSignal(signal);
  }
}

}  // namespace ZOR_RAM
