// Writes one CAN network as DBC text, section by section in the usual order.
// Items are written in database order, so that reading the text back builds
// the same items in the same order. Attribute values under the reserved
// names become the DBC statements they stand for; the values of the usual
// cycle-time, start-value, speed and protocol attributes follow the model's
// fields.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <set>
#include <map>
#include <tuple>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "zor/env/env.h"
#include "zor/interop/dbc.h"
#include "zor/model/enums.h"
#include "zor/model/ram.h"
#include "zor/network/frame.h"
#include "zor/network/network.h"
#include "zor/network/signal.h"
#include "zor/network/signal_group.h"
#include "zor/node/controller.h"
#include "zor/node/node.h"

namespace ZOR_RAM::interop {

namespace {

using namespace dbc;

// An attribute value's object as DBC names it.
struct ObjKey {
  int32_t Type = kAttrObjNetwork;
  uint32_t Id = 0;
  std::string Name;
  bool operator<(const ObjKey& o) const { return std::tie(Type, Id, Name) < std::tie(o.Type, o.Id, o.Name); }
};

int32_t ObjectTypeOf(TCDBAttribute* a) {
  return a->Definition ? a->Definition->ObjectType : a->ValueObjectType;
}
int32_t AttriTypeOf(TCDBAttribute* a) { return a->Definition ? a->Definition->AttriType : a->ValueAttriType; }
std::string DefName(TCDBAttribute* a) { return a->Definition ? a->Definition->Name : a->DefinitionName; }

// The identifier DBC writes for a frame: J1939 frames sent with the
// multi-packet protocol carry that mark in bit 29 of FrameId, not in DBC.
uint32_t DbcId(const TNetFrame* f) {
  const TNetwork* net = f->Network ? f->Network : f->Ifc ? f->Ifc->Network : nullptr;
  return net && net->Type == kNetTypeJ1939 ? f->FrameId & ~kJ1939MultiPacketBit : f->FrameId;
}

// The names the value stores are what a loaded value keeps reliably; a value
// made in memory without them is named through its object.
ObjKey KeyOf(TCDBAttribute* a) {
  ObjKey k;
  k.Type = ObjectTypeOf(a);
  switch (k.Type) {
    case kAttrObjNode:
      k.Name = a->NodeName;
      if (auto* n = dynamic_cast<TNode*>(a->Object); n && k.Name.empty()) k.Name = n->Name;
      break;
    case kAttrObjFrame:
      k.Id = static_cast<uint32_t>(a->MsgId);
      if (auto* f = dynamic_cast<TNetFrame*>(a->Object); f && a->MsgId == 0) k.Id = DbcId(f);
      break;
    case kAttrObjSignal:
    case kAttrObjSubSignal:
      k.Type = kAttrObjSignal;
      k.Id = static_cast<uint32_t>(a->MsgId);
      k.Name = a->SigName;
      if (auto* p = dynamic_cast<TNetSig*>(a->Object); p && k.Name.empty() && p->Signal && p->Frame) {
        k.Name = p->Signal->Name;
        k.Id = DbcId(p->Frame);
      }
      break;
    case kAttrObjEnvVar:
      k.Name = a->EnvName;
      if (auto* v = dynamic_cast<TEnvVariable*>(a->Object); v && k.Name.empty()) k.Name = v->Name;
      break;
    default: k.Type = kAttrObjNetwork;
  }
  return k;
}

bool IsDbcName(std::string_view name) {
  if (name.empty() || (name[0] >= '0' && name[0] <= '9')) return false;
  for (char c : name) {
    unsigned char u = static_cast<unsigned char>(c);
    if (!(u == '_' || u >= 0x80 || (u >= '0' && u <= '9') || ((u | 0x20) >= 'a' && (u | 0x20) <= 'z'))) return false;
  }
  return true;
}

const char* KindPrefix(int32_t objType) {
  switch (objType) {
    case kAttrObjNode: return "BU_ ";
    case kAttrObjFrame: return "BO_ ";
    case kAttrObjSignal:
    case kAttrObjSubSignal: return "SG_ ";
    case kAttrObjEnvVar: return "EV_ ";
  }
  return "";
}

std::string IntText(int32_t value, int32_t attriType) {
  return attriType == kAttrHex ? std::to_string(static_cast<uint32_t>(value)) : std::to_string(value);
}

// The physical value of a raw one, in the shortest text that reads back to
// the same raw value.
std::string PhysText(int64_t raw, float factor, float offset) {
  double f = factor, o = offset;
  double phys = static_cast<double>(raw) * f + o;
  if (!(std::fabs(phys) < 3.4e38)) return FormatReal(phys);
  std::string shortText = FormatFloat(static_cast<float>(phys));
  double back = 0;
  std::from_chars(shortText.data(), shortText.data() + shortText.size(), back);
  if (f != 0 && std::round((back - o) / f) == static_cast<double>(raw)) return shortText;
  return FormatReal(phys);
}

class Writer {
 public:
  Writer(TZOR_RAM& ram, TNetwork& net, DiagnosticLog& log) : Ram_(ram), Net_(net), Log_(log) {}
  std::string Run();

 private:
  bool OnNetwork(TNetFrame* f) const {
    return f && (f->Network == &Net_ || (!f->Network && f->Ifc && f->Ifc->Network == &Net_));
  }
  void Collect();
  void PlanModelValues();
  void WriteFrames();
  void WriteEnvironment();
  void WriteAttributes();
  void WriteValueDescriptions();
  const TCDBAttribute* Reserved(const char* name, const ObjKey& key) const;
  TCDBAttributeDef* FindDef(const char* name) const {
    auto it = Defs_.find(name);
    return it == Defs_.end() ? nullptr : it->second;
  }
  void AddModelValue(const char* name, int32_t objType, const ObjKey& key, const std::string& text,
                     const std::string& defaultText, const char* defText);

  // name as a DBC identifier: characters that cannot stand in one become
  // '_' (one warning per name).
  std::string Id(const std::string& name);
  std::string ObjectText(const ObjKey& k);

  TZOR_RAM& Ram_;
  TNetwork& Net_;
  DiagnosticLog& Log_;
  std::unordered_set<std::string> Warned_;
  std::string Out_;
  std::vector<TNetFrame*> Frames_;
  std::vector<TNode*> Nodes_;
  std::unordered_map<const TSignal*, std::vector<std::string>> Receivers_;
  std::vector<TCDBAttribute*> Values_;  // not reserved, in network order
  std::set<std::pair<std::string, ObjKey>> StoredKeys_;
  std::unordered_map<std::string, TCDBAttributeDef*> Defs_;
  std::map<std::pair<std::string, ObjKey>, const TCDBAttribute*> ReservedIndex_;
  std::vector<TCDBAttribute*> ReservedValues_;
  // Model field values for the usual attributes, by attribute and object.
  std::map<std::pair<std::string, ObjKey>, std::string> ModelValues_;
  std::vector<std::pair<std::string, ObjKey>> ExtraValues_;  // objects that need a value written
  std::vector<std::string> ExtraDefs_;                       // BA_DEF_ and BA_DEF_DEF_ lines to add
};

std::string Writer::Id(const std::string& name) {
  if (IsDbcName(name)) return name;
  std::string id = name.empty() ? "_" : name;
  for (char& c : id)
    if (!IsDbcName(std::string(1, c)) && !(c >= '0' && c <= '9')) c = '_';
  if (id[0] >= '0' && id[0] <= '9') id.insert(0, "_");
  if (Warned_.insert(name).second)
    Log_.Warn("", {}, "name \"" + name + "\" is not a DBC identifier; written as " + id);
  return id;
}

std::string Writer::ObjectText(const ObjKey& k) {
  switch (k.Type) {
    case kAttrObjNode: return "BU_ " + Id(k.Name) + " ";
    case kAttrObjFrame: return "BO_ " + std::to_string(k.Id) + " ";
    case kAttrObjSignal: return "SG_ " + std::to_string(k.Id) + " " + Id(k.Name) + " ";
    case kAttrObjEnvVar: return "EV_ " + Id(k.Name) + " ";
  }
  return "";
}

void Writer::Collect() {
  for (TNetFrame* f : Ram_.NetFrames)
    if (OnNetwork(f)) Frames_.push_back(f);
  std::unordered_set<const TNode*> seen;
  for (TNode* n : Ram_.Nodes) {
    if (!n) continue;
    for (TIfc* ifc : n->Ifcs)
      if (ifc && ifc->Network == &Net_ && seen.insert(n).second) Nodes_.push_back(n);
  }
  std::unordered_set<std::string> pairSeen;
  for (TSubSig* s : Ram_.SubSigs) {
    if (!s || !s->Signal || !s->Ifc || s->Ifc->Network != &Net_ || !s->Ifc->Node) continue;
    std::vector<std::string>& list = Receivers_[s->Signal];
    if (std::find(list.begin(), list.end(), s->Ifc->Node->Name) == list.end()) list.push_back(s->Ifc->Node->Name);
  }
  for (TCDBAttribute* a : Net_.AttributeValues) {
    if (!a) continue;
    std::string name = DefName(a);
    if (IsReservedAttribute(name)) {
      ReservedValues_.push_back(a);
      ReservedIndex_.try_emplace({name, KeyOf(a)}, a);
    } else {
      Values_.push_back(a);
      StoredKeys_.insert({name, KeyOf(a)});
    }
  }
  for (TCDBAttributeDef* d : Net_.Attributes)
    if (d) Defs_.try_emplace(d->Name, d);
}

const TCDBAttribute* Writer::Reserved(const char* name, const ObjKey& key) const {
  auto it = ReservedIndex_.find({name, key});
  return it == ReservedIndex_.end() ? nullptr : it->second;
}


std::string DefaultText(TCDBAttributeDef* d) {
  if (!d) return "0";
  switch (d->AttriType) {
    case kAttrFloat: return FormatFloat(d->DefaultFloat);
    case kAttrString: return Quote(d->DefaultString);
    case kAttrEnum: return Quote(d->DefaultEnum);
  }
  return IntText(d->DefaultInt, d->AttriType);
}

// Records the value that the model's field gives for one object: it replaces
// a stored value of that attribute, and is written on its own when there is
// none and it differs from the attribute's default.
void Writer::AddModelValue(const char* name, int32_t objType, const ObjKey& key, const std::string& text,
                           const std::string& fallbackDefault, const char* defText) {
  ModelValues_[{name, key}] = text;
  TCDBAttributeDef* def = FindDef(name);
  if (def && def->ObjectType != objType) return;
  if (StoredKeys_.count({name, key})) return;
  std::string dflt = def ? DefaultText(def) : fallbackDefault;
  if (text == dflt) return;
  if (!def && std::find(ExtraDefs_.begin(), ExtraDefs_.end(), std::string(defText)) == ExtraDefs_.end())
    ExtraDefs_.push_back(defText);
  ExtraValues_.push_back({name, key});
}

void Writer::PlanModelValues() {
  // Number texts as the attribute's type writes them.
  auto number = [&](const char* name, double v) {
    TCDBAttributeDef* d = FindDef(name);
    if (d && d->AttriType == kAttrFloat) return FormatFloat(static_cast<float>(v));
    return std::to_string(static_cast<int64_t>(v));
  };
  AddModelValue(kBaudrate, kAttrObjNetwork, {}, number(kBaudrate, Net_.NetSpeed), std::to_string(kDefaultSpeed),
                "BA_DEF_  \"Baudrate\" INT 0 2147483647;");
  {
    TCDBAttributeDef* d = FindDef(kProtocolType);
    if (!d || d->AttriType == kAttrString) {
      std::string stored;
      for (TCDBAttribute* a : Values_)
        if (DefName(a) == kProtocolType) stored = a->StringValue;
      std::string text = Net_.Type == kNetTypeJ1939 ? "J1939" : SameTextAscii(stored, "J1939") ? "" : stored;
      AddModelValue(kProtocolType, kAttrObjNetwork, {}, Quote(text), "\"\"", "BA_DEF_  \"ProtocolType\" STRING ;");
    }
  }
  for (TNetFrame* f : Frames_) {
    TTxFrameTiming* t = f->TxFrameTimings.Count() > 0 ? f->TxFrameTimings.First() : nullptr;
    int32_t cycle = f->TransportType == kTransportPeriodic && t ? t->FramePeriod / 1000 : 0;
    AddModelValue(kCycleTime, kAttrObjFrame, {kAttrObjFrame, DbcId(f), ""}, number(kCycleTime, cycle), "0",
                  "BA_DEF_ BO_  \"GenMsgCycleTime\" INT 0 65535;");
    for (TNetSig* p : f->NetSigs) {
      if (!p || !p->Signal) continue;
      AddModelValue(kStartValue, kAttrObjSignal, {kAttrObjSignal, DbcId(f), p->Signal->Name},
                    number(kStartValue, static_cast<double>(p->Signal->InitValue)), "0",
                    "BA_DEF_ SG_  \"GenSigStartValue\" INT -2147483648 2147483647;");
    }
  }
}

void Writer::WriteFrames() {
  for (TNetFrame* f : Frames_) {
    std::string sender = f->Ifc && f->Ifc->Node ? Id(f->Ifc->Node->Name) : kNoNode;
    Out_ += "BO_ " + std::to_string(DbcId(f)) + " " + Id(f->Name) + ": " + std::to_string(f->Size) + " " + sender + "\n";
    for (TNetSig* p : f->NetSigs) {
      if (!p || !p->Signal) continue;
      TSignal* s = p->Signal;
      ObjKey key{kAttrObjSignal, DbcId(f), s->Name};
      bool intel = f->ByteOrder == kByteOrderLittleEndian;
      if (const TCDBAttribute* a = Reserved(kByteOrder, key)) intel = a->IntValue != 0;
      std::string role;
      if (const TCDBAttribute* a = Reserved(kMultiplexRole, key))
        role = a->StringValue;
      else if (p->Multiplexed == kMuxMultiplexor)
        role = "M";
      else if (p->Multiplexed == kMuxMultiplexed)
        role = "m" + std::to_string(p->MultiplexerValue);
      float factor = s->Factor != 0 ? s->Factor : 1, offset = s->Offset;
      int64_t rawMin = s->Minimum, rawMax = s->Maximum;
      std::string unit = s->Unit;
      if (s->EncType)
        for (TEncode* e : s->EncType->Encodes)
          if (e && e->Type == kEncodePhysical) {
            factor = e->Scale != 0 ? e->Scale : 1;
            offset = e->Offset;
            rawMin = e->Min;
            rawMax = e->Max;
            unit = e->Interpr;
            break;
          }
      std::string lo = PhysText(rawMin, factor, offset), hi = PhysText(rawMax, factor, offset);
      if (factor < 0) std::swap(lo, hi);
      Out_ += " SG_ " + Id(s->Name) + (role.empty() ? "" : " " + role) + " : " +
              std::to_string(StartBitFromOffset(p->Offset, intel)) + "|" + std::to_string(s->Size) + "@" +
              (intel ? "1" : "0") + (s->SignalType == kSignalSigned ? "-" : "+") + " (" + FormatFloat(factor) + "," +
              FormatFloat(offset) + ") [" + lo + "|" + hi + "] " + Quote(unit) + " ";
      auto r = Receivers_.find(s);
      if (r == Receivers_.end() || r->second.empty()) {
        Out_ += kNoNode;
      } else {
        for (size_t i = 0; i < r->second.size(); ++i) Out_ += (i ? "," : "") + Id(r->second[i]);
      }
      Out_ += "\n";
    }
    Out_ += "\n";
  }
  for (TCDBAttribute* a : ReservedValues_)
    if (DefName(a) == kTransmitters)
      Out_ += "BO_TX_BU_ " + std::to_string(KeyOf(a).Id) + " : " + a->StringValue + ";\n";
}

void Writer::WriteEnvironment() {
  TEnvGroup* g = Net_.EnvGroup;
  if (!g) return;
  auto head = [&](TEnvVariable* v, int type, const std::string& range, const std::string& init, int flags,
                  const std::vector<std::string>& nodes) {
    const TCDBAttribute* id = Reserved(kEnvVarId, {kAttrObjEnvVar, 0, v->Name});
    char access[32];
    std::snprintf(access, sizeof access, "DUMMY_NODE_VECTOR%X", static_cast<unsigned>((v->AccessType & 3) | flags));
    Out_ += "EV_ " + Id(v->Name) + ": " + std::to_string(type) + " " + range + " " + Quote(v->Unit) + " " + init + " " +
            std::to_string(id ? id->IntValue : 0) + " " + access + " ";
    if (nodes.empty()) Out_ += kNoNode;
    for (size_t i = 0; i < nodes.size(); ++i) Out_ += (i ? "," : "") + Id(nodes[i]);
    Out_ += ";\n";
  };
  for (TEnvInt* v : g->EnvIntList)
    if (v) head(v, 0, "[" + std::to_string(v->MinValue) + "|" + std::to_string(v->MaxValue) + "]",
                std::to_string(v->InitialValue), 0, v->Nodes);
  for (TEnvFloat* v : g->EnvFloatList)
    if (v) head(v, 1, "[" + FormatFloat(v->MinValue) + "|" + FormatFloat(v->MaxValue) + "]",
                FormatFloat(v->InitialValue), 0, v->Nodes);
  for (TEnvStr* v : g->EnvStrList)
    if (v) head(v, 2, "[0|0]", "0", 0, v->Nodes);
  for (TEnvData* v : g->EnvDataList)
    if (v) head(v, 0, "[0|0]", "0", 0x8000, v->Nodes);
  Out_ += "\n";
  for (TEnvData* v : g->EnvDataList)
    if (v) Out_ += "ENVVAR_DATA_ " + Id(v->Name) + ": " + std::to_string(v->DataLength) + ";\n";
}

void Writer::WriteAttributes() {
  // Comments.
  for (TCDBAttribute* a : ReservedValues_) {
    std::string name = DefName(a);
    if (name == kNetworkComment || name == kNodeComment || name == kFrameComment || name == kSignalComment ||
        name == kEnvVarComment)
      Out_ += "CM_ " + ObjectText(KeyOf(a)) + Quote(a->StringValue) + ";\n";
  }
  // Definitions and defaults.
  std::vector<TCDBAttributeDef*> defs;
  for (TCDBAttributeDef* d : Net_.Attributes)
    if (d && !IsReservedAttribute(d->Name)) defs.push_back(d);
  for (TCDBAttributeDef* d : defs) {
    Out_ += "BA_DEF_ " + std::string(KindPrefix(d->ObjectType)) + " " + Quote(d->Name) + " ";
    switch (d->AttriType) {
      case kAttrInt: Out_ += "INT " + std::to_string(d->MinInt) + " " + std::to_string(d->MaxInt); break;
      case kAttrHex: Out_ += "HEX " + IntText(d->MinInt, kAttrHex) + " " + IntText(d->MaxInt, kAttrHex); break;
      case kAttrFloat: Out_ += "FLOAT " + FormatFloat(d->MinFloat) + " " + FormatFloat(d->MaxFloat); break;
      case kAttrString: Out_ += "STRING "; break;
      case kAttrEnum:
        Out_ += "ENUM  ";
        for (size_t i = 0; i < d->EnumValues.size(); ++i) Out_ += (i ? "," : "") + Quote(d->EnumValues[i]);
        break;
    }
    Out_ += ";\n";
  }
  for (const std::string& line : ExtraDefs_) Out_ += line + "\n";
  for (TCDBAttributeDef* d : defs) Out_ += "BA_DEF_DEF_  " + Quote(d->Name) + " " + DefaultText(d) + ";\n";
  // Values: the stored ones, with model fields replacing theirs, then the
  // ones the model needs in addition.
  for (TCDBAttribute* a : Values_) {
    ObjKey key = KeyOf(a);
    std::string name = DefName(a);
    std::string text;
    if (auto m = ModelValues_.find({name, key}); m != ModelValues_.end()) {
      text = m->second;
    } else {
      switch (AttriTypeOf(a)) {
        case kAttrFloat: text = FormatFloat(a->FloatValue); break;
        case kAttrString: text = Quote(a->StringValue); break;
        case kAttrEnum: text = std::to_string(a->EnumValue); break;
        default: text = IntText(a->IntValue, AttriTypeOf(a));
      }
    }
    Out_ += "BA_ " + Quote(name) + " " + ObjectText(key) + text + ";\n";
  }
  for (auto& [name, key] : ExtraValues_)
    Out_ += "BA_ " + Quote(name) + " " + ObjectText(key) + ModelValues_[{name, key}] + ";\n";
  for (TCDBAttribute* a : ReservedValues_)
    if (DefName(a) == kStatement) Out_ += a->StringValue + "\n";
}

void Writer::WriteValueDescriptions() {
  auto logical = [](TEncType* e, std::string& out) {
    if (!e) return false;
    std::string body;
    for (TEncode* c : e->Encodes)
      if (c && c->Type == kEncodeLogical) body += " " + std::to_string(c->Min) + " " + Quote(c->Interpr);
    out += body;
    return !body.empty();
  };
  for (TNetFrame* f : Frames_)
    for (TNetSig* p : f->NetSigs) {
      if (!p || !p->Signal) continue;
      std::string line = "VAL_ " + std::to_string(DbcId(f)) + " " + Id(p->Signal->Name);
      if (logical(p->Signal->EncType, line)) Out_ += line + " ;\n";
    }
  if (TEnvGroup* g = Net_.EnvGroup)
    for (TEnvInt* v : g->EnvIntList) {
      if (!v) continue;
      std::string line = "VAL_ " + Id(v->Name);
      if (logical(v->EncType, line)) Out_ += line + " ;\n";
    }
}

std::string Writer::Run() {
  Collect();
  PlanModelValues();
  Out_ += "VERSION " + Quote(Net_.Version) + "\n\n\nNS_ :\n";
  for (const std::string& s : Net_.Symbols) Out_ += "\t" + s + "\n";
  Out_ += "\nBS_:\n\nBU_:";
  for (TNode* n : Nodes_)
    if (n->Name != kNoNode) Out_ += " " + Id(n->Name);
  Out_ += "\n";
  for (TCDBAttribute* a : ReservedValues_)
    if (DefName(a) == kValueTable) Out_ += "VAL_TABLE_ " + a->StringValue + " ;\n";
  Out_ += "\n\n";
  WriteFrames();
  Out_ += "\n\n";
  WriteEnvironment();
  WriteAttributes();
  WriteValueDescriptions();
  for (TSigGrp* g : Net_.SignalGroups) {
    if (!g) continue;
    Out_ += "SIG_GROUP_ " + std::to_string(static_cast<uint32_t>(g->MsgId)) + " " + Id(g->Name) + " " +
            std::to_string(g->Repetition) + " :";
    for (const std::string& name : g->Signals) Out_ += " " + Id(name);
    Out_ += ";\n";
  }
  for (TCDBAttribute* a : ReservedValues_)
    if (DefName(a) == kValueType) {
      ObjKey k = KeyOf(a);
      Out_ += "SIG_VALTYPE_ " + std::to_string(k.Id) + " " + Id(k.Name) + " : " + std::to_string(a->IntValue) + ";\n";
    }
  return Out_;
}

}  // namespace

std::string WriteDbc(TZOR_RAM& ram, TNetwork& network, DiagnosticLog& log) {
  return Writer(ram, network, log).Run();
}

}  // namespace ZOR_RAM::interop
