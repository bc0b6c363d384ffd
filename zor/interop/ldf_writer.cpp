// LDF writer: one LIN network with its nodes, signals, frames, frame
// holders, node attributes, schedule tables and encoding types. Items are
// written in database list order, so that reading the text back builds the
// lists in the same order.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "zor/interop/ldf.h"
#include "zor/model/enums.h"
#include "zor/model/ram.h"
#include "zor/network/frame.h"
#include "zor/network/network.h"
#include "zor/network/signal.h"
#include "zor/node/controller.h"
#include "zor/node/node.h"

namespace ZOR_RAM::interop {

namespace {

std::string Real(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", v);
  return buf;
}

std::string Hex(unsigned v, int digits = 2) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%0*X", digits, v);
  return buf;
}

// The shortest text that reads back as the same single-precision value.
std::string Real(float v) {
  char buf[64];
  for (int digits = 6; digits <= 9; ++digits) {
    std::snprintf(buf, sizeof buf, "%.*g", digits, static_cast<double>(v));
    if (std::strtof(buf, nullptr) == v) break;
  }
  return buf;
}

// Milliseconds from microseconds.
std::string Ms(int32_t us) { return Real(us / 1000.0) + " ms"; }

std::string Quoted(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

class LdfWriter {
 public:
  LdfWriter(TZOR_RAM& ram, TNetwork& network, DiagnosticLog& log) : Ram_(ram), Net_(network), Log_(log) {}

  std::string Write() {
    Lin13_ = Net_.Type != kNetTypeLIN20;
    if (Net_.Type < kNetTypeLIN13)
      Warn("network " + Net_.Name + " is of type \"" + NetworkTypeToText(Net_.Type) +
           "\"; it is written as a LIN 1.3 description");
    CollectInterfaces();
    const char* version = Lin13_ ? "1.3" : "2.0";
    Out_ += "LIN_description_file;\n";
    Out_ += std::string("LIN_protocol_version = \"") + version + "\";\n";
    Out_ += std::string("LIN_language_version = \"") + version + "\";\n";
    Out_ += "LIN_speed = " + Real(Net_.NetSpeed / 1000.0) + " kbps;\n";
    Out_ += "Channel_name = " + Quoted(Net_.Name) + ";\n\n";
    WriteNodes();
    WriteSignals();
    WriteFrames();
    WriteHolders();
    WriteDynamicFrames();
    WriteDiagnostics();
    if (!Lin13_) WriteNodeAttributes();
    WriteScheduleTables();
    WriteEncodings();
    return std::move(Out_);
  }

 private:
  void Warn(std::string text) { Log_.Warn("", {}, std::move(text)); }

  std::string NodeName(const TIfc* ifc) const { return ifc->Node ? ifc->Node->Name : ifc->Name; }

  void CollectInterfaces() {
    for (TIfc* ifc : Ram_.Ifcs) {
      if (!ifc || ifc->Network != &Net_) continue;
      if (ifc->IfcType == kIfcLINMaster && !Master_) {
        Master_ = ifc;
      } else if (ifc->IfcType == kIfcLINSlave) {
        Slaves_.push_back(ifc);
      } else {
        Warn("interface " + ifc->GetDisplayName() + " is not the cluster's master or a slave; it is not written");
        continue;
      }
      Ifcs_.insert(ifc);
    }
    if (!Master_) Warn("network " + Net_.Name + " has no LIN Master interface; the Nodes section names none");
  }

  void WriteNodes() {
    Out_ += "Nodes {\n";
    if (Master_) {
      const TNode* n = Master_->Node;
      Out_ += "  Master: " + NodeName(Master_) + ", " + Ms(n ? n->FrameProcessingPeriod : 0) + ", " +
              Ms(n ? n->JitterTime : 0) + ";\n";
    }
    if (!Slaves_.empty()) {
      Out_ += "  Slaves: ";
      for (size_t i = 0; i < Slaves_.size(); ++i) Out_ += (i ? ", " : "") + NodeName(Slaves_[i]);
      Out_ += ";\n";
    }
    Out_ += "}\n\n";
  }

  bool IsOwnFrame(const TNetFrame* f) const {
    return f && f->Ifc && Ifcs_.count(f->Ifc) && !f->IsDiagnosticFrame(false);
  }
  bool Written(const TNetFrame* f) const { return f && Written_.count(f); }

  void WriteSignals() {
    // The signals this network carries: placed in its frames or published or
    // subscribed by its interfaces, without the library's diagnostic signals.
    std::unordered_map<const TSignal*, const TIfc*> publisher;
    std::unordered_map<const TSignal*, std::vector<const TIfc*>> subscribers;
    std::unordered_set<const TSignal*> used;
    for (TPubSig* p : Ram_.PubSigs)
      if (p && p->Signal && Ifcs_.count(p->Ifc) && publisher.emplace(p->Signal, p->Ifc).second) used.insert(p->Signal);
    // A signal that a gateway puts on the network is published there by the gateway's node.
    for (TGateway* g : Ram_.Gateways)
      if (g && g->Signal && Ifcs_.count(g->OutIfc) && publisher.emplace(g->Signal, g->OutIfc).second)
        used.insert(g->Signal);
    for (TSubSig* s : Ram_.SubSigs) {
      if (s && s->Signal && Ifcs_.count(s->Ifc)) {
        subscribers[s->Signal].push_back(s->Ifc);
        used.insert(s->Signal);
      }
    }
    for (TNetFrame* f : Ram_.NetFrames)
      if (IsOwnFrame(f))
        for (TNetSig* ns : f->NetSigs)
          if (ns && ns->Signal) used.insert(ns->Signal);
    Out_ += "Signals {\n";
    for (TSignal* sig : Ram_.Signals) {
      if (!sig || !used.count(sig) || IsReservedDiagSignalName(sig->Name)) continue;
      if (sig->Size < 1 || sig->Size > 64) {
        Warn("signal " + sig->Name + " has " + std::to_string(sig->Size) +
             " bits; LIN signals have 1 to 64 bits; it is not written");
        continue;
      }
      Signals_.insert(sig);
      Out_ += "  " + sig->Name + ": " + std::to_string(sig->Size) + ", ";
      if (sig->SignalType == kSignalBytes) {
        int bytes = sig->Size / 8;
        if (sig->Size % 8 != 0 || bytes < 1 || bytes > 8)
          Warn("signal " + sig->Name + " is a byte array of " + std::to_string(sig->Size) +
               " bits; LDF byte arrays hold 1 to 8 whole bytes");
        Out_ += "{";
        for (int i = 0; i < std::max(bytes, 1); ++i) {
          unsigned b = i < 8 ? static_cast<unsigned>((static_cast<uint64_t>(sig->InitValue) >> (8 * i)) & 0xFF) : 0;
          Out_ += (i ? ", " : "") + Hex(b);
        }
        Out_ += "}";
      } else {
        Out_ += std::to_string(sig->InitValue);
      }
      auto pub = publisher.find(sig);
      if (pub != publisher.end()) {
        Out_ += ", " + NodeName(pub->second);
      } else {
        Warn("signal " + sig->Name + " has no publisher on network " + Net_.Name + "; the master is written as its publisher");
        Out_ += ", " + (Master_ ? NodeName(Master_) : std::string("Master"));
      }
      auto sub = subscribers.find(sig);
      if (sub != subscribers.end())
        for (const TIfc* ifc : sub->second) Out_ += ", " + NodeName(ifc);
      Out_ += ";\n";
    }
    Out_ += "}\n\n";
  }

  void WriteFrames() {
    Out_ += "Frames {\n";
    for (TNetFrame* f : Ram_.NetFrames) {
      if (!IsOwnFrame(f)) continue;
      if (f->FrameId > 63 || f->Size < 1 || f->Size > 8) {
        Warn("frame " + f->Name + " has identifier " + std::to_string(f->FrameId) + " and size " +
             std::to_string(f->Size) + "; LIN frames have identifiers 0 to 63 and 1 to 8 bytes; it is not written");
        continue;
      }
      Written_.insert(f);
      Out_ += "  " + f->Name + ": " + Hex(f->FrameId) + ", " + NodeName(f->Ifc) + ", " + std::to_string(f->Size) +
              " {\n";
      for (TNetSig* ns : f->NetSigs)
        if (ns && ns->Signal && Signals_.count(ns->Signal))
          Out_ += "    " + ns->Signal->Name + ", " + std::to_string(ns->Offset) + ";\n";
      Out_ += "  }\n";
    }
    Out_ += "}\n\n";
  }

  void WriteHolders() {
    std::string sporadic, event;
    for (TFrameHolder* h : Ram_.FrameHolders) {
      if (!h || !h->Ifc || !Ifcs_.count(h->Ifc)) continue;
      std::string frames;
      for (TNetFrame* f : h->NetFrames)
        if (Written(f)) frames += (frames.empty() ? "" : ", ") + f->Name;
      if (frames.empty()) {
        Warn("frame holder " + h->Name + " has no frames of the network; it is not written");
        continue;
      }
      if (h->HolderType == kHolderSporadic) {
        if (Lin13_) {
          Warn("sporadic frame " + h->Name + " cannot be described in LIN 1.3; it is not written");
          continue;
        }
        sporadic += "  " + h->Name + ": " + frames + ";\n";
      } else {
        event += "  " + h->Name + ": " + Hex(h->FrameId & 0x3F) + ", " + frames + ";\n";
      }
      Written_.insert(h);
    }
    if (!sporadic.empty()) Out_ += "Sporadic_frames {\n" + sporadic + "}\n\n";
    if (!event.empty()) Out_ += "Event_triggered_frames {\n" + event + "}\n\n";
  }

  void WriteDynamicFrames() {
    std::string ids;
    for (int i = 0; i < kDynamicMsgIdCount; ++i)
      if (Net_.DynamicMsgIds[i] == kMsgIdDynamic) ids += (ids.empty() ? "" : ", ") + std::to_string(i);
    if (!ids.empty()) Out_ += "Dynamic_frames {\n  " + ids + ";\n}\n\n";
  }

  void WriteDiagnostics() {
    if (!Net_.HasDiagnosticFrames()) return;
    Out_ += "Diagnostic_signals {\n";
    for (const char* side : {"MasterReqB", "SlaveRespB"})
      for (int i = 0; i < 8; ++i) Out_ += std::string("  ") + side + std::to_string(i) + ": 8, 0;\n";
    Out_ += "}\n\nDiagnostic_frames {\n";
    for (const char* side : {"MasterReq", "SlaveResp"}) {
      Out_ += std::string("  ") + side + ": " + (side[0] == 'M' ? "0x3C" : "0x3D") + " {\n";
      for (int i = 0; i < 8; ++i) Out_ += std::string("    ") + side + "B" + std::to_string(i) + ", " + std::to_string(8 * i) + ";\n";
      Out_ += "  }\n";
    }
    Out_ += "}\n\n";
  }

  void WriteNodeAttributes() {
    if (Slaves_.empty()) return;
    Out_ += "Node_attributes {\n";
    for (TIfc* ifc : Slaves_) {
      Out_ += "  " + NodeName(ifc) + " {\n";
      char pv[32];
      std::snprintf(pv, sizeof pv, "%.1f", static_cast<double>(ifc->ProtVer));
      Out_ += std::string("    LIN_protocol = \"") + pv + "\";\n";
      Out_ += "    configured_NAD = " + Hex(ifc->cfg_NAD) + ";\n";
      // A reader takes the configured NAD as the initial one when the file gives none.
      if (ifc->init_NAD != ifc->cfg_NAD) Out_ += "    initial_NAD = " + Hex(ifc->init_NAD) + ";\n";
      Out_ += "    product_id = " + Hex(ifc->supplier_id, 4) + ", " + Hex(ifc->function_id, 4) + ", " +
              std::to_string(ifc->variant_id) + ";\n";
      if (ifc->response_error && ifc->response_error->Signal && Signals_.count(ifc->response_error->Signal))
        Out_ += "    response_error = " + ifc->response_error->Signal->Name + ";\n";
      Out_ += "    P2_min = " + Real(ifc->P2_min) + " ms;\n";
      Out_ += "    ST_min = " + Real(ifc->ST_min) + " ms;\n";
      std::string frames;
      for (TFrameMsgId* m : ifc->FrameMsgIds) {
        if (!m || !Written(m->NetFrame)) continue;
        frames += "      " + m->NetFrame->Name + " = " + Hex(m->MsgId, 4) + ";\n";
      }
      if (!frames.empty()) Out_ += "    configurable_frames {\n" + frames + "    }\n";
      Out_ += "  }\n";
    }
    Out_ += "}\n\n";
  }

  // The node whose attributes produce an AssignNAD entry's bytes.
  const TIfc* AssignNadSlave(const TSchEntry& e) const {
    std::vector<const TIfc*> nodes(Slaves_.begin(), Slaves_.end());
    if (Master_) nodes.push_back(Master_);
    for (const TIfc* ifc : nodes) {
      if (e.data[0] == ifc->init_NAD && e.data[7] == ifc->cfg_NAD &&
          (e.data[3] | e.data[4] << 8) == ifc->supplier_id && (e.data[5] | e.data[6] << 8) == ifc->function_id)
        return ifc;
    }
    return nullptr;
  }

  std::string FreeFormat(const TSchEntry& e) const {
    std::string s = "FreeFormat {";
    for (int i = 0; i < 8; ++i) s += (i ? ", " : " ") + Hex(e.data[i]);
    return s + " }";
  }

  std::string EntryText(const TNetMode& mode, const TSchEntry& e) {
    auto dropped = [&](const std::string& why) {
      Warn("schedule table " + mode.Name + ": entry " + std::to_string(e.Order) + " (" +
           SchEntryTypeToText(e.Type) + ") " + why + "; it is not written");
      return std::string();
    };
    switch (e.Type) {
      case kSchUnconditional:
      case kSchEventTriggered:
      case kSchSporadic:
        if (!Written(e.TxFrame)) return dropped("has no frame of the network");
        return e.TxFrame->Name;
      case kSchDiagRequest: return "MasterReq";
      case kSchDiagResponse: return "SlaveResp";
      case kSchAssignNAD:
        if (Lin13_) return dropped("cannot be described in LIN 1.3");
        if (const TIfc* ifc = AssignNadSlave(e)) return "AssignNAD { " + NodeName(ifc) + " }";
        Warn("schedule table " + mode.Name + ": AssignNAD entry " + std::to_string(e.Order) +
             " matches no slave's node attributes; it is written as a FreeFormat entry");
        return FreeFormat(e);
      case kSchAssignFrameId:
      case kSchUnAssignFrameId:
        if (Lin13_) return dropped("cannot be described in LIN 1.3");
        if (!e.Ifc || !Ifcs_.count(e.Ifc) || !Written(e.TxFrame))
          return dropped("has no slave or frame of the network");
        return std::string(e.Type == kSchAssignFrameId ? "AssignFrameId { " : "UnassignFrameId { ") +
               NodeName(e.Ifc) + ", " + e.TxFrame->Name + " }";
      case kSchFreeFormat:
        if (Lin13_) return dropped("cannot be described in LIN 1.3");
        return FreeFormat(e);
      default: return dropped("is of an unknown kind");
    }
  }

  void WriteScheduleTables() {
    if (Net_.NetModes.Count() == 0) return;
    Out_ += "Schedule_tables {\n";
    for (TNetMode* mode : Net_.NetModes) {
      if (!mode) continue;
      Out_ += "  " + mode->Name + " {\n";
      for (TSchEntry* e : mode->SchEntrys) {
        if (!e) continue;
        std::string text = EntryText(*mode, *e);
        if (!text.empty()) Out_ += "    " + text + " delay " + Ms(e->Delay) + ";\n";
      }
      Out_ += "  }\n";
    }
    Out_ += "}\n\n";
  }

  void WriteEncodings() {
    std::vector<TEncType*> types;
    std::unordered_map<const TEncType*, std::vector<const TSignal*>> users;
    for (TSignal* sig : Ram_.Signals) {
      if (!sig || !sig->EncType || !Signals_.count(sig)) continue;
      std::vector<const TSignal*>& u = users[sig->EncType];
      u.push_back(sig);
    }
    if (users.empty()) return;
    Out_ += "Signal_encoding_types {\n";
    for (TEncType* t : Ram_.EncTypes) {
      if (!t || !users.count(t)) continue;
      Out_ += "  " + t->Name + " {\n";
      for (TEncode* c : t->Encodes) {
        if (!c) continue;
        if (c->Type == kEncodePhysical)
          Out_ += "    physical_value, " + std::to_string(c->Min) + ", " + std::to_string(c->Max) + ", " +
                  Real(c->Scale) + ", " + Real(c->Offset);
        else
          Out_ += "    logical_value, " + std::to_string(c->Min);
        if (!c->Interpr.empty()) Out_ += ", " + Quoted(c->Interpr);
        Out_ += ";\n";
      }
      Out_ += "  }\n";
    }
    Out_ += "}\n\nSignal_representation {\n";
    for (TEncType* t : Ram_.EncTypes) {
      auto it = t ? users.find(t) : users.end();
      if (it == users.end()) continue;
      Out_ += "  " + t->Name + ": ";
      for (size_t i = 0; i < it->second.size(); ++i) Out_ += (i ? ", " : "") + it->second[i]->Name;
      Out_ += ";\n";
    }
    Out_ += "}\n";
  }

  TZOR_RAM& Ram_;
  TNetwork& Net_;
  DiagnosticLog& Log_;
  std::string Out_;
  bool Lin13_ = false;
  TIfc* Master_ = nullptr;
  std::vector<TIfc*> Slaves_;
  std::unordered_set<const TIfc*> Ifcs_;
  std::unordered_set<const TSignal*> Signals_;
  std::unordered_set<const TNetFrame*> Written_;  // frames and holders in the text
};

}  // namespace

std::string WriteLdf(TZOR_RAM& ram, TNetwork& network, DiagnosticLog& log) {
  return LdfWriter(ram, network, log).Write();
}

}  // namespace ZOR_RAM::interop
