// LDF reader: one LIN cluster becomes one LIN network with its nodes,
// interfaces, frames, frame holders, signals, encoding types and schedule
// tables. Sections are read in file order and every name is looked up in a
// map, so the reader stays linear in the size of the file.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "zor/interop/ldf.h"
#include "zor/interop/text_scanner.h"
#include "zor/model/enums.h"
#include "zor/model/ram.h"
#include "zor/network/frame.h"
#include "zor/network/network.h"
#include "zor/network/signal.h"
#include "zor/node/controller.h"
#include "zor/node/node.h"

namespace ZOR_RAM::interop {

namespace {

struct LdfNode {
  TNode* Node = nullptr;
  TIfc* Ifc = nullptr;
  std::unordered_map<const TSignal*, TPubSig*> Published;
  std::vector<TNetFrame*> ConfigurableFrames;  // in file order, for AssignFrameIdRange
};

struct LdfSignal {
  TSignal* Signal = nullptr;
  LdfNode* Publisher = nullptr;
};

// The protected identifier of a LIN frame identifier (identifier with its two parity bits).
uint8_t ProtectedId(uint32_t id) {
  auto bit = [id](int n) { return (id >> n) & 1u; };
  uint32_t p0 = bit(0) ^ bit(1) ^ bit(2) ^ bit(4);
  uint32_t p1 = (bit(1) ^ bit(3) ^ bit(4) ^ bit(5)) ^ 1u;
  return static_cast<uint8_t>((id & 0x3F) | (p0 << 6) | (p1 << 7));
}

class LdfReader {
 public:
  LdfReader(TZOR_RAM& ram, const std::string& fileName, std::string_view text, const ImportOptions& options,
            DiagnosticLog& log)
      : Ram_(ram), S_(fileName, text), Options_(options), Log_(log) {}

  TNetwork* Read() {
    S_.ExpectWord("LIN_description_file");
    S_.Expect(';');
    Net_ = Ram_.NewItem(Ram_.Networks);
    Net_->Type = kNetTypeLIN20;
    Net_->Name = Options_.NetworkName;
    while (!S_.AtEnd()) ReadStatement();
    if (!SawVersion_) Warn({1, 1}, "the file gives no LIN_protocol_version; the network is read as \"LIN 2.0\"");
    if (Options_.Speed > 0) Net_->NetSpeed = Options_.Speed;
    return Net_;
  }

 private:
  void Warn(SourcePos pos, std::string text) { Log_.Warn(S_.FileName(), pos, std::move(text)); }

  std::string Name(std::string_view what) { return std::string(S_.ExpectIdentifier(what).Text); }

  // A time in milliseconds ("5 ms") as whole microseconds.
  int32_t Milliseconds(std::string_view what) {
    double ms = S_.ExpectNumber(what);
    S_.ExpectWord("ms");
    if (!(ms >= 0 && ms <= 2000000)) S_.FailAt(S_.Peek().Pos, std::string(what) + " is out of range");
    return static_cast<int32_t>(std::lround(ms * 1000.0));
  }

  float Float(std::string_view what) {
    Token at = S_.Peek();
    double v = S_.ExpectNumber(what);
    if (!(std::fabs(v) <= FLT_MAX)) S_.FailAt(at.Pos, std::string(what) + " is out of range");
    return static_cast<float>(v);
  }

  // Skips a { ... } block whose opening brace was just consumed.
  void SkipBlock() {
    for (int depth = 1; depth > 0;) {
      Token t = S_.Next();
      if (t.Kind == TokenKind::End) S_.Fail(t, "'}'");
      if (t.Is('{')) ++depth;
      if (t.Is('}')) --depth;
    }
  }

  void ReadStatement() {
    Token key = S_.ExpectIdentifier("a section keyword");
    std::string_view k = key.Text;
    if (k == "LIN_protocol_version") return ReadProtocolVersion(key);
    if (k == "LIN_language_version" || k == "LDF_file_revision" || k == "LIN_sig_byte_order_big_endian" ||
        k == "LIN_sig_byte_order_little_endian") {
      if (S_.Accept('=')) S_.SkipPast(';');
      else S_.Expect(';');
      return;
    }
    if (k == "LIN_speed") {
      S_.Expect('=');
      double kbps = S_.ExpectNumber("a speed in kbps");
      S_.ExpectWord("kbps");
      S_.Expect(';');
      if (!(kbps >= 0 && kbps <= 1000)) S_.FailAt(key.Pos, "LIN_speed is out of range");
      Net_->NetSpeed = static_cast<int32_t>(std::lround(kbps * 1000.0));
      return;
    }
    if (k == "Channel_name") {
      S_.Expect('=');
      std::string name = TextScanner::StringValue(S_.ExpectString());
      S_.Expect(';');
      if (Net_->Name.empty()) Net_->Name = name;
      return;
    }
    if (S_.Accept('=')) {
      Warn(key.Pos, "statement " + std::string(k) + " is not held; it is dropped");
      return S_.SkipPast(';');
    }
    S_.Expect('{');
    if (k == "Nodes") return ReadNodes();
    if (k == "Signals") return ReadSignals();
    if (k == "Diagnostic_signals") return ReadDiagnosticSignals();
    if (k == "Frames") return ReadFrames();
    if (k == "Sporadic_frames") return ReadSporadicFrames();
    if (k == "Event_triggered_frames") return ReadEventTriggeredFrames();
    if (k == "Diagnostic_frames") return ReadDiagnosticFrames();
    if (k == "Node_attributes") return ReadNodeAttributes();
    if (k == "Schedule_tables") return ReadScheduleTables();
    if (k == "Signal_encoding_types") return ReadEncodingTypes();
    if (k == "Signal_representation") return ReadRepresentations();
    if (k == "Dynamic_frames") return ReadDynamicFrames();
    if (k == "composite") {
      Warn(key.Pos, "composite node configurations are not held; the composite section is dropped");
      return SkipBlock();
    }
    Warn(key.Pos, "section " + std::string(k) + " is not held; it is dropped");
    SkipBlock();
  }

  void ReadProtocolVersion(const Token& key) {
    S_.Expect('=');
    Token at = S_.ExpectString("a protocol version");
    std::string v = TextScanner::StringValue(at);
    S_.Expect(';');
    SawVersion_ = true;
    static const struct {
      const char* Text;
      int32_t Type;
    } kExact[] = {{"1.0", kNetTypeLIN10}, {"1.1", kNetTypeLIN11}, {"1.2", kNetTypeLIN12},
                  {"1.3", kNetTypeLIN13}, {"2.0", kNetTypeLIN20}};
    for (const auto& e : kExact) {
      if (v == e.Text) {
        Net_->Type = e.Type;
        return;
      }
    }
    Net_->Type = kNetTypeLIN20;
    bool known = v == "2.1" || v == "2.2" || v.rfind("J2602", 0) == 0 || v.rfind("ISO17987", 0) == 0;
    Warn(key.Pos, "LIN protocol version \"" + v + "\" is " + (known ? "" : "not known and is ") +
                      "held as \"LIN 2.0\"");
  }

  LdfNode& NewNode(const Token& at, bool master) {
    std::string name(at.Text);
    LdfNode& n = Nodes_[name];
    if (n.Node) S_.FailAt(at.Pos, "node '" + name + "' is defined twice");
    n.Node = Ram_.NewItem(Ram_.Nodes);
    n.Node->Name = name;
    n.Ifc = Ram_.NewItem(Ram_.Ifcs);
    n.Ifc->Node = n.Node;
    n.Node->Ifcs.Add(n.Ifc);
    n.Ifc->Name = name + "_LIN";
    n.Ifc->IfcType = master ? kIfcLINMaster : kIfcLINSlave;
    n.Ifc->Network = Net_;
    n.Ifc->ProtVer = Net_->Type == kNetTypeLIN20 ? 2.0f : Net_->Type == kNetTypeLIN13 ? 1.3f : 1.2f;
    if (master) Master_ = &n;
    return n;
  }

  LdfNode& FindNode(const Token& at) {
    auto it = Nodes_.find(std::string(at.Text));
    if (it == Nodes_.end() || !it->second.Node) S_.FailAt(at.Pos, "unknown node '" + std::string(at.Text) + "'");
    return it->second;
  }

  void ReadNodes() {
    while (!S_.Accept('}')) {
      Token key = S_.ExpectIdentifier("Master or Slaves");
      S_.Expect(':');
      if (key.Text == "Master") {
        if (Master_) S_.FailAt(key.Pos, "the cluster has a second master");
        LdfNode& m = NewNode(S_.ExpectIdentifier("the master node"), true);
        S_.Expect(',');
        m.Node->FrameProcessingPeriod = Milliseconds("a time base");
        S_.Expect(',');
        m.Node->JitterTime = Milliseconds("a jitter");
        if (!S_.Accept(';')) {
          Warn(key.Pos, "master " + m.Node->Name + ": bit length and tolerance are not held; they are dropped");
          S_.Expect(',');
          S_.SkipPast(';');
        }
      } else if (key.Text == "Slaves") {
        do {
          if (S_.Peek().Is(';')) break;
          NewNode(S_.ExpectIdentifier("a slave node"), false);
        } while (S_.Accept(','));
        S_.Expect(';');
      } else {
        S_.Fail(key, "Master or Slaves");
      }
    }
  }

  void ReadSignals() {
    while (!S_.Accept('}')) {
      Token at = S_.ExpectIdentifier("a signal name");
      std::string name(at.Text);
      if (Signals_.count(name)) S_.FailAt(at.Pos, "signal '" + name + "' is defined twice");
      S_.Expect(':');
      int64_t size = S_.ExpectInteger("a signal size in bits", 1, 64);
      S_.Expect(',');
      TSignal* sig = Ram_.NewItem(Ram_.Signals);
      sig->Name = name;
      sig->Size = static_cast<int32_t>(size);
      if (S_.Accept('{')) {
        // Byte array: the initial bytes, first byte lowest, as far as 64 bits hold them.
        sig->SignalType = kSignalBytes;
        int count = 0;
        uint64_t init = 0;
        bool lost = false;
        do {
          int64_t b = S_.ExpectInteger("an initial byte", 0, 255);
          if (count < 8) init |= static_cast<uint64_t>(b) << (8 * count);
          else if (b != 0) lost = true;
          ++count;
        } while (S_.Accept(','));
        S_.Expect('}');
        sig->InitValue = static_cast<int64_t>(init);
        if (lost) Warn(at.Pos, "signal " + name + ": initial bytes after the eighth are not held; they are dropped");
      } else {
        sig->SignalType = size == 1 ? kSignalBoolean : kSignalUnsigned;
        sig->InitValue = S_.ExpectInteger("an initial value", INT64_MIN, INT64_MAX);
      }
      LdfSignal& ls = Signals_[name];
      ls.Signal = sig;
      S_.Expect(',');
      LdfNode& pub = FindNode(S_.ExpectIdentifier("the publishing node"));
      ls.Publisher = &pub;
      TPubSig* p = Ram_.NewItem(Ram_.PubSigs);
      p->Signal = sig;
      p->Ifc = pub.Ifc;
      pub.Ifc->PubSigs.Add(p);
      pub.Published[sig] = p;
      while (S_.Accept(',')) {
        LdfNode& subscriber = FindNode(S_.ExpectIdentifier("a subscribing node"));
        TSubSig* s = Ram_.NewItem(Ram_.SubSigs);
        s->Signal = sig;
        s->Ifc = subscriber.Ifc;
        subscriber.Ifc->SubSigs.Add(s);
      }
      S_.Expect(';');
    }
  }

  // The library makes the diagnostic signals and frames itself (see
  // _CreateLINdiagObjects), so the file's are not imported.
  void ReadDiagnosticSignals() {
    while (!S_.Accept('}')) {
      Token at = S_.ExpectIdentifier("a diagnostic signal name");
      S_.SkipPast(';');
      if (!IsReservedDiagSignalName(std::string(at.Text)))
        Warn(at.Pos, "diagnostic signal " + std::string(at.Text) + " is not held; it is dropped");
    }
  }

  void ReadDiagnosticFrames() {
    while (!S_.Accept('}')) {
      Token at = S_.ExpectIdentifier("MasterReq or SlaveResp");
      S_.Expect(':');
      int64_t id = S_.ExpectInteger("a frame identifier", 0, 63);
      S_.Expect('{');
      SkipBlock();
      bool standard = (at.Text == "MasterReq" && id == 0x3C) || (at.Text == "SlaveResp" && id == 0x3D);
      if (!standard)
        Warn(at.Pos, "diagnostic frame " + std::string(at.Text) +
                         " is not a standard MasterReq (0x3C) or SlaveResp (0x3D) frame; it is dropped");
    }
  }

  TSignal* FindSignal(const Token& at, LdfSignal** info = nullptr) {
    auto it = Signals_.find(std::string(at.Text));
    if (it == Signals_.end()) S_.FailAt(at.Pos, "unknown signal '" + std::string(at.Text) + "'");
    if (info) *info = &it->second;
    return it->second.Signal;
  }

  TNetFrame* FindFrame(const Token& at) {
    auto it = Frames_.find(std::string(at.Text));
    if (it == Frames_.end()) S_.FailAt(at.Pos, "unknown frame '" + std::string(at.Text) + "'");
    return it->second;
  }

  void CheckNewFrameName(const Token& at) {
    if (Frames_.count(std::string(at.Text)))
      S_.FailAt(at.Pos, "frame '" + std::string(at.Text) + "' is defined twice");
  }

  void ReadFrames() {
    while (!S_.Accept('}')) {
      Token at = S_.ExpectIdentifier("a frame name");
      CheckNewFrameName(at);
      S_.Expect(':');
      int64_t id = S_.ExpectInteger("a frame identifier", 0, 63);
      S_.Expect(',');
      LdfNode& pub = FindNode(S_.ExpectIdentifier("the publishing node"));
      int64_t size = 0;
      if (S_.Accept(',')) size = S_.ExpectInteger("a frame size in bytes", 1, 8);
      TNetFrame* frame = Ram_.NewItem(Ram_.NetFrames);
      frame->Name = std::string(at.Text);
      frame->FrameId = static_cast<uint32_t>(id);
      frame->ByteOrder = kByteOrderLittleEndian;
      frame->Network = Net_;
      frame->Ifc = pub.Ifc;
      pub.Ifc->NetFrames.Add(frame);
      Frames_[frame->Name] = frame;
      S_.Expect('{');
      while (!S_.Accept('}')) {
        Token st = S_.ExpectIdentifier("a signal name");
        LdfSignal* info = nullptr;
        TSignal* sig = FindSignal(st, &info);
        S_.Expect(',');
        int64_t offset = S_.ExpectInteger("a bit offset", 0, 63);
        S_.Expect(';');
        if (info->Publisher != &pub)
          Warn(st.Pos, "frame " + frame->Name + ": signal " + sig->Name + " is published by " +
                           (info->Publisher ? info->Publisher->Node->Name : "another node") +
                           ", not by the frame's publisher " + pub.Node->Name);
        TNetSig* ns = Ram_.NewItem(Ram_.NetSigs);
        ns->Frame = frame;
        ns->Signal = sig;
        ns->Network = Net_;
        ns->Offset = static_cast<int32_t>(offset);
        frame->NetSigs.Add(ns);
      }
      // LIN 1.3 frames may leave the size out: it follows from the identifier.
      if (size == 0) size = id < 32 ? 2 : id < 48 ? 4 : 8;
      frame->Size = static_cast<int32_t>(size);
    }
  }

  TFrameHolder* NewHolder(const Token& at, int32_t type, TIfc* ifc) {
    CheckNewFrameName(at);
    TFrameHolder* h = Ram_.NewItem(Ram_.FrameHolders);
    h->Name = std::string(at.Text);
    h->HolderType = type;
    h->ByteOrder = kByteOrderLittleEndian;
    h->Network = Net_;
    h->Ifc = ifc;
    if (ifc) ifc->FrameHolders.Add(h);
    Frames_[h->Name] = h;
    return h;
  }

  void AssignFrames(TFrameHolder* h) {
    do {
      TNetFrame* f = FindFrame(S_.ExpectIdentifier("an unconditional frame"));
      h->NetFrames.Add(f);
      h->Size = std::max(h->Size, f->Size);
    } while (S_.Accept(','));
    S_.Expect(';');
  }

  TIfc* MasterIfc(const Token& at) {
    if (!Master_) S_.FailAt(at.Pos, "the master node must be defined before frame '" + std::string(at.Text) + "'");
    return Master_->Ifc;
  }

  void ReadSporadicFrames() {
    while (!S_.Accept('}')) {
      Token at = S_.ExpectIdentifier("a sporadic frame name");
      S_.Expect(':');
      AssignFrames(NewHolder(at, kHolderSporadic, MasterIfc(at)));
    }
  }

  void ReadEventTriggeredFrames() {
    while (!S_.Accept('}')) {
      Token at = S_.ExpectIdentifier("an event triggered frame name");
      S_.Expect(':');
      TFrameHolder* h = NewHolder(at, kHolderEventTriggered, MasterIfc(at));
      if (S_.Peek().Kind == TokenKind::Identifier) {
        Token table = S_.Next();
        S_.Expect(',');
        Warn(table.Pos, "event triggered frame " + h->Name + ": the collision resolving schedule table " +
                            std::string(table.Text) + " is not held; it is dropped");
      }
      h->FrameId = static_cast<uint32_t>(S_.ExpectInteger("a frame identifier", 0, 63));
      S_.Expect(',');
      AssignFrames(h);
    }
  }

  void ReadDynamicFrames() {
    if (S_.Accept('}')) return;
    do {
      int64_t id = S_.ExpectInteger("a frame identifier", 0, kDynamicMsgIdCount - 1);
      Net_->DynamicMsgIds[id] = kMsgIdDynamic;
    } while (S_.Accept(','));
    S_.Accept(';');
    S_.Expect('}');
  }

  int64_t Byte(std::string_view what = "a byte") { return S_.ExpectInteger(what, 0, 255); }

  void ReadNodeAttributes() {
    while (!S_.Accept('}')) {
      Token nodeAt = S_.ExpectIdentifier("a node name");
      LdfNode& n = FindNode(nodeAt);
      TIfc* ifc = n.Ifc;
      bool sawInitial = false;
      S_.Expect('{');
      while (!S_.Accept('}')) {
        Token key = S_.ExpectIdentifier("a node attribute");
        std::string_view k = key.Text;
        std::string what = "node " + n.Node->Name + ": ";
        if (k == "configurable_frames") {
          ReadConfigurableFrames(n, key);
          continue;
        }
        S_.Expect('=');
        if (k == "LIN_protocol") {
          std::string v = TextScanner::StringValue(S_.ExpectString("a protocol version"));
          double pv = 0;
          if (!TextScanner::NumberValue(v, &pv) || pv <= 0 || pv > 9) {
            pv = 2.0;
            Warn(key.Pos, what + "LIN_protocol \"" + v + "\" is held as 2.0");
          }
          ifc->ProtVer = static_cast<float>(pv);
        } else if (k == "configured_NAD") {
          ifc->cfg_NAD = static_cast<uint8_t>(Byte("a NAD"));
          if (!sawInitial) ifc->init_NAD = ifc->cfg_NAD;
        } else if (k == "initial_NAD") {
          ifc->init_NAD = static_cast<uint8_t>(Byte("a NAD"));
          sawInitial = true;
        } else if (k == "product_id") {
          ifc->supplier_id = static_cast<uint16_t>(S_.ExpectInteger("a supplier id", 0, 0xFFFF));
          S_.Expect(',');
          ifc->function_id = static_cast<uint16_t>(S_.ExpectInteger("a function id", 0, 0xFFFF));
          if (S_.Accept(',')) ifc->variant_id = static_cast<uint8_t>(Byte("a variant"));
        } else if (k == "response_error") {
          Token st = S_.ExpectIdentifier("a signal name");
          TSignal* sig = FindSignal(st);
          auto it = n.Published.find(sig);
          if (it == n.Published.end())
            Warn(st.Pos, what + "response_error signal " + sig->Name + " is not published by the node; it is dropped");
          else
            ifc->response_error = it->second;
        } else if (k == "P2_min" || k == "ST_min") {
          int32_t us = Milliseconds(k);
          (k == "P2_min" ? ifc->P2_min : ifc->ST_min) = static_cast<float>(us / 1000.0);
        } else if (k == "fault_state_signals") {
          S_.SkipPast(';');
          Warn(key.Pos, what + "fault_state_signals are not held; they are dropped");
          continue;
        } else {
          S_.SkipPast(';');
          Warn(key.Pos, what + std::string(k) + " is not held; it is dropped");
          continue;
        }
        S_.Expect(';');
      }
    }
  }

  void ReadConfigurableFrames(LdfNode& n, const Token& key) {
    S_.Expect('{');
    bool withoutIds = false;
    while (!S_.Accept('}')) {
      TNetFrame* f = FindFrame(S_.ExpectIdentifier("a frame name"));
      n.ConfigurableFrames.push_back(f);
      if (S_.Accept('=')) {
        TFrameMsgId* m = Ram_.NewItem(Ram_.FrameMsgIds);
        m->Ifc = n.Ifc;
        m->MsgId = static_cast<uint16_t>(S_.ExpectInteger("a message id", 0, 0xFFFF));
        m->NetFrame = f;
        n.Ifc->FrameMsgIds.Add(m);
      } else {
        withoutIds = true;
      }
      S_.Expect(';');
    }
    if (withoutIds)
      Warn(key.Pos, "node " + n.Node->Name +
                        ": configurable frames without message ids are not held; their order is dropped");
  }

  void ReadScheduleTables() {
    while (!S_.Accept('}')) {
      Token at = S_.ExpectIdentifier("a schedule table name");
      if (!ScheduleNames_.emplace(at.Text).second)
        S_.FailAt(at.Pos, "schedule table '" + std::string(at.Text) + "' is defined twice");
      TNetMode* mode = Ram_.NewItem(Ram_.NetModes);
      mode->Name = std::string(at.Text);
      mode->Network = Net_;
      Net_->NetModes.Add(mode);
      S_.Expect('{');
      while (!S_.Accept('}')) ReadScheduleEntry(*mode);
    }
  }

  // The bytes of a node-configuration request: NAD, PCI, SID, then up to five data bytes (0xFF for the rest).
  static void Request(TSchEntry* e, uint8_t nad, uint8_t pci, uint8_t sid, std::initializer_list<uint8_t> d) {
    e->Type = kSchFreeFormat;
    e->data[0] = nad;
    e->data[1] = pci;
    e->data[2] = sid;
    int i = 3;
    for (uint8_t b : d) e->data[i++] = b;
    for (; i < 8; ++i) e->data[i] = 0xFF;
  }

  void ReadScheduleEntry(TNetMode& mode) {
    Token at = S_.ExpectIdentifier("a schedule entry");
    std::string_view k = at.Text;
    TSchEntry* e = Ram_.NewItem(Ram_.SchEntries);
    e->NetMode = &mode;
    e->Order = mode.SchEntrys.Count();
    mode.SchEntrys.Add(e);
    auto approximated = [&] {
      Warn(at.Pos, "schedule table " + mode.Name + ": " + std::string(k) +
                       " is not an entry kind of the model; it is held as a FreeFormat entry with its request bytes");
    };
    if (k == "MasterReq") {
      e->Type = kSchDiagRequest;
    } else if (k == "SlaveResp") {
      e->Type = kSchDiagResponse;
    } else if (k == "AssignNAD") {
      S_.Expect('{');
      TIfc* ifc = FindNode(S_.ExpectIdentifier("a slave node")).Ifc;
      S_.Expect('}');
      e->Type = kSchAssignNAD;
      e->data[0] = ifc->init_NAD;
      e->data[1] = 0x06;
      e->data[2] = 0xB0;
      e->data[3] = static_cast<uint8_t>(ifc->supplier_id & 0xFF);
      e->data[4] = static_cast<uint8_t>(ifc->supplier_id >> 8);
      e->data[5] = static_cast<uint8_t>(ifc->function_id & 0xFF);
      e->data[6] = static_cast<uint8_t>(ifc->function_id >> 8);
      e->data[7] = ifc->cfg_NAD;
    } else if (k == "AssignFrameId" || k == "UnassignFrameId") {
      S_.Expect('{');
      e->Ifc = FindNode(S_.ExpectIdentifier("a slave node")).Ifc;
      S_.Expect(',');
      e->TxFrame = FindFrame(S_.ExpectIdentifier("a frame name"));
      S_.Expect('}');
      e->Type = k == "AssignFrameId" ? kSchAssignFrameId : kSchUnAssignFrameId;
    } else if (k == "FreeFormat") {
      S_.Expect('{');
      for (int i = 0; i < 8; ++i) {
        if (i) S_.Expect(',');
        e->data[i] = static_cast<uint8_t>(Byte());
      }
      S_.Expect('}');
      e->Type = kSchFreeFormat;
    } else if (k == "ConditionalChangeNAD") {
      S_.Expect('{');
      uint8_t b[6];
      for (int i = 0; i < 6; ++i) {
        if (i) S_.Expect(',');
        b[i] = static_cast<uint8_t>(Byte());
      }
      S_.Expect('}');
      Request(e, b[0], 0x06, 0xB3, {b[1], b[2], b[3], b[4], b[5]});
      approximated();
    } else if (k == "DataDump") {
      S_.Expect('{');
      TIfc* ifc = FindNode(S_.ExpectIdentifier("a slave node")).Ifc;
      uint8_t b[5];
      for (uint8_t& x : b) {
        S_.Expect(',');
        x = static_cast<uint8_t>(Byte());
      }
      S_.Expect('}');
      Request(e, ifc->cfg_NAD, 0x06, 0xB4, {b[0], b[1], b[2], b[3], b[4]});
      approximated();
    } else if (k == "SaveConfiguration") {
      S_.Expect('{');
      TIfc* ifc = FindNode(S_.ExpectIdentifier("a slave node")).Ifc;
      S_.Expect('}');
      Request(e, ifc->cfg_NAD, 0x01, 0xB6, {});
      approximated();
    } else if (k == "AssignFrameIdRange") {
      S_.Expect('{');
      LdfNode& n = FindNode(S_.ExpectIdentifier("a slave node"));
      S_.Expect(',');
      int64_t start = S_.ExpectInteger("a frame index", 0, 255);
      uint8_t pid[4];
      if (S_.Accept(',')) {
        for (int i = 0; i < 4; ++i) {
          if (i) S_.Expect(',');
          pid[i] = static_cast<uint8_t>(Byte("a protected identifier"));
        }
      } else {
        // Without explicit identifiers the node's configurable frames from the index on are assigned.
        for (int i = 0; i < 4; ++i) {
          size_t idx = static_cast<size_t>(start) + i;
          pid[i] = idx < n.ConfigurableFrames.size() ? ProtectedId(n.ConfigurableFrames[idx]->FrameId) : 0xFF;
        }
      }
      S_.Expect('}');
      Request(e, n.Ifc->cfg_NAD, 0x06, 0xB7, {static_cast<uint8_t>(start), pid[0], pid[1], pid[2], pid[3]});
      approximated();
    } else {
      TNetFrame* f = FindFrame(at);
      e->TxFrame = f;
      auto* h = dynamic_cast<TFrameHolder*>(f);
      e->Type = !h ? kSchUnconditional : h->HolderType == kHolderSporadic ? kSchSporadic : kSchEventTriggered;
    }
    S_.ExpectWord("delay");
    e->Delay = Milliseconds("a delay");
    S_.Expect(';');
  }

  void ReadEncodingTypes() {
    while (!S_.Accept('}')) {
      Token at = S_.ExpectIdentifier("an encoding type name");
      std::string name(at.Text);
      if (EncTypes_.count(name)) S_.FailAt(at.Pos, "encoding type '" + name + "' is defined twice");
      TEncType* t = Ram_.NewItem(Ram_.EncTypes);
      t->Name = name;
      EncTypes_[name] = t;
      S_.Expect('{');
      while (!S_.Accept('}')) {
        Token kind = S_.ExpectIdentifier("logical_value, physical_value, bcd_value or ascii_value");
        if (kind.Text == "logical_value" || kind.Text == "physical_value") {
          TEncode* c = Ram_.NewItem(Ram_.Encodes);
          c->EncType = t;
          t->Encodes.Add(c);
          S_.Expect(',');
          c->Min = S_.ExpectInteger("a raw value", INT64_MIN, INT64_MAX);
          if (kind.Text == "logical_value") {
            c->Type = kEncodeLogical;
            c->Max = c->Min;
          } else {
            c->Type = kEncodePhysical;
            S_.Expect(',');
            c->Max = S_.ExpectInteger("a raw value", INT64_MIN, INT64_MAX);
            S_.Expect(',');
            c->Scale = Float("a scale");
            S_.Expect(',');
            c->Offset = Float("an offset");
          }
          if (S_.Accept(',')) c->Interpr = TextScanner::StringValue(S_.ExpectString("a text"));
        } else if (kind.Text == "bcd_value" || kind.Text == "ascii_value") {
          Warn(kind.Pos, "encoding type " + name + ": " + std::string(kind.Text) + " is not held; it is dropped");
        } else {
          S_.Fail(kind, "logical_value, physical_value, bcd_value or ascii_value");
        }
        S_.Expect(';');
      }
    }
  }

  void ReadRepresentations() {
    while (!S_.Accept('}')) {
      Token at = S_.ExpectIdentifier("an encoding type name");
      auto it = EncTypes_.find(std::string(at.Text));
      if (it == EncTypes_.end()) S_.FailAt(at.Pos, "unknown encoding type '" + std::string(at.Text) + "'");
      TEncType* t = it->second;
      S_.Expect(':');
      do {
        TSignal* sig = FindSignal(S_.ExpectIdentifier("a signal name"));
        sig->EncType = t;
        if (t->Size == 0) t->Size = sig->Size;
      } while (S_.Accept(','));
      S_.Expect(';');
    }
  }

  TZOR_RAM& Ram_;
  TextScanner S_;
  const ImportOptions& Options_;
  DiagnosticLog& Log_;
  TNetwork* Net_ = nullptr;
  bool SawVersion_ = false;
  LdfNode* Master_ = nullptr;
  std::unordered_map<std::string, LdfNode> Nodes_;
  std::unordered_map<std::string, LdfSignal> Signals_;
  std::unordered_map<std::string, TNetFrame*> Frames_;
  std::unordered_map<std::string, TEncType*> EncTypes_;
  std::unordered_set<std::string> ScheduleNames_;  // over every Schedule_tables section
};

}  // namespace

TNetwork* ReadLdf(TZOR_RAM& ram, const std::string& fileName, std::string_view text, const ImportOptions& options,
                  DiagnosticLog& log) {
  return LdfReader(ram, fileName, text, options, log).Read();
}

}  // namespace ZOR_RAM::interop
