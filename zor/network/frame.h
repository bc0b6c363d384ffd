// Frames, frame holders, signal placements in frames and transmit timings.
//
// A frame (TNetFrame) is one message on a network. Its signal placements
// (TNetSig) and transmit timings (TTxFrameTiming) are read inside its element;
// the frame's lists only refer to them, the database lists own them. A frame
// holder (TFrameHolder) is a LIN event-triggered or sporadic frame that is a
// frame of its own and refers to the unconditional frames assigned to it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "zor/model/item.h"

namespace ZOR_RAM {

class TNetwork;
class TSignal;
class TIfc;
class TNode;
class TIfcMode;
class TFrameMsgId;
class TGateway;
class TPubSig;
class TNetSig;
class TTxFrameTiming;

// Checksum models of LIN frames.
inline constexpr uint8_t kChecksumClassic = 1;
inline constexpr uint8_t kChecksumEnhanced = 2;

// On J1939 networks this bit of FrameId marks a frame sent with the
// multi-packet transport protocol.
inline constexpr uint32_t kJ1939MultiPacketBit = 1u << 29;

class ZOR_API TNetFrame : public TItemData {
 public:
  TNetFrame() = default;
  ~TNetFrame() override;

  TIfc* Ifc = nullptr;  // transmitting interface; set by the interface's reader
  std::string Name;
  int32_t Size = 0;           // bytes
  int32_t TransportType = 0;  // kTransportPeriodic ...
  uint32_t FrameId = 0;       // CAN identifier, or the LIN identifier in the low 6 bits
  bool SequenceInfo = false;  // the last 4 bits carry sequence information
  int32_t MaxFUpTime = 0;
  int32_t MinFUpTime = 0;
  int32_t ByteOrder = 0;  // kByteOrderBigEndian ...
  TNetwork* Network = nullptr;
  std::string TransportTypeName;
  TZORList<TNetSig> NetSigs;                // placements in file order
  TZORList<TTxFrameTiming> TxFrameTimings;  // transmit timings
  uint8_t ChecksumModel = 0;                // computed by UpdateChecksumModel

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  void ResolveLinks() override;
  bool Check(uint64_t flags) override;
  // Another frame or holder of the frame's network, or of the transmitting
  // interface, carries exactly this name (this frame itself never counts).
  bool IsNameUsed(const std::string& name) override;
  // Node name "." interface name "." Name, leaving out missing leading parts.
  std::string GetDisplayName() override;
  std::string GetName() override;
  // 8: brings ChecksumModel up to date and returns it (see frame.cpp).
  virtual uint8_t UpdateChecksumModel();
  // UpdateChecksumModel with the received-frame sets of a pass (null: ask
  // each interface's GetRxFrames directly).
  virtual uint8_t ComputeChecksumModel(const class TRxFrameSets* rxSets);

  // A frame on a LIN 1.2, 1.3 or 2.0 network (through its transmitting
  // interface) with identifier 60 or 61, or, unless byIdOnly, named
  // "MasterReq" or "SlaveResp" (ignoring case).
  bool IsDiagnosticFrame(bool byIdOnly) const;
  // Sent by a LIN master or slave interface.
  bool IsLinFrame() const;
  // Sent by a CAN interface.
  bool IsCanFrame() const;
  // A frame gateway of the database takes this frame in through ifc, or a
  // placement's signal is subscribed by ifc or gatewayed in through ifc's node.
  bool IsReceivedBy(const TIfc* ifc) const;
  // The frame message identifier that ifc holds for this frame, or null.
  TFrameMsgId* GetMessageId(const TIfc* ifc) const;
  // On a LIN 2.0 network: another frame, or another event-triggered holder,
  // of the network has the same FrameId.
  bool IdShared();
  // Another frame or holder of the frame's network carries exactly this
  // name. Uses the name counts of a check run when one is open.
  bool NameUsedOnNetwork(const std::string& name);

  // The ordered reader of the frame part, shared with TFrameHolder.
  bool ReadFrameFields(TQXMLNode* element);
  bool WriteFrameFields();

 protected:
  // Destroys the placements and timings read earlier (the database lists own
  // them; each leaves its list when destroyed).
  void FreeChildren();
  // Warns when a LIN frame is in no schedule table of its network.
  void CheckScheduled(bool* errorFound);

 private:
  void CheckPlacements(bool* errorFound);
  void CheckMessageIds(bool* errorFound);
  void CheckCanFrame(bool* errorFound);
  void CheckMultiplexing(bool* errorFound);
};

class ZOR_API TFrameHolder : public TNetFrame {
 public:
  int32_t HolderType = 0;         // kHolderEventTriggered or kHolderSporadic
  TZORList<TNetFrame> NetFrames;  // assigned frames in file order (not owned)

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  void ResolveLinks() override;
  bool Check(uint64_t flags) override;
  // 1 (classic); for an event-triggered holder with assigned frames, the
  // model of its first assigned frame.
  uint8_t UpdateChecksumModel() override;
  uint8_t ComputeChecksumModel(const TRxFrameSets* rxSets) override;
  // The first assigned frame that is not null, or null.
  TNetFrame* FirstAssignedFrame() const;

 private:
  void CheckLin20Holder(bool* errorFound);
};

class ZOR_API TNetSig : public TItemData {
 public:
  TNetFrame* Frame = nullptr;       // the owning frame; set by the frame's reader
  TGateway* Gateway = nullptr;      // kept result of GetGateway
  bool GatewaySearched = false;     // GetGateway ran (Gateway null: none found)
  int32_t Offset = 0;               // bit offset in the frame
  int32_t UpdateBitOffset = -1;     // -1: no update bit
  int32_t SPN = 0;                  // J1939 suspect parameter number
  int32_t SigType = 0;              // kSigTypeDefault ...
  int32_t Multiplexed = 0;          // kMuxPlainSignal, kMuxMultiplexed, kMuxMultiplexor
  int64_t MultiplexerValue = 0;
  int32_t MaxUpdInterval = 0;
  int32_t MinUpdInterval = 0;
  TSignal* Signal = nullptr;
  TNetwork* Network = nullptr;

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  void ResolveLinks() override;
  bool Check(uint64_t flags) override;
  // Another placement of the same frame places the same signal or a signal
  // with exactly this name.
  bool IsNameUsed(const std::string& name) override;
  std::string GetDisplayName() override;
  // The gateway's name when the signal arrives through a gateway, else the
  // signal's name, else empty.
  std::string GetName() override;

  // The first gateway of the transmitting interface's node that outputs this
  // placement's signal on that interface. Each placement is searched on its
  // own first query; the result (or that there is none) is kept.
  TGateway* GetGateway();
  // As GetGateway, answering a first search from an index shared by a whole
  // pass (see TGatewayIndex).
  TGateway* GetGateway(const class TGatewayIndex& index);
  // The published signal of the transmitting interface for the placed signal;
  // else, when the placement arrives through a gateway, the publisher of the
  // same signal's placement on the gateway's input side; null at the chain's end.
  TPubSig* FindPublisher();
  // FindPublisher with the look-up of an interface's first published signal
  // of a signal given (a caller's index for one call).
  TPubSig* FindPublisher(const std::function<TPubSig*(TIfc*, const TSignal*)>& publisherOf);
  // The transmitting interface publishes the placed signal, or a gateway of
  // its node outputs it there.
  bool IsPublishedOrGatewayed();
};

class ZOR_API TTxFrameTiming : public TItemData {
 public:
  TNetFrame* Frame = nullptr;  // the owning frame
  int32_t FramePeriod = 0;     // microseconds
  int32_t OffsetTime = 0;
  int32_t WcLatency = 0;  // worst-case latency
  TIfcMode* IfcMode = nullptr;

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  void ResolveLinks() override;
  bool Check(uint64_t flags) override;
  // The frame's name, followed by "." and the interface mode's name when set.
  std::string GetDisplayName() override;
  // The interface mode's name, or empty.
  std::string GetName() override;
};

// Gateways keyed by (node, output interface, signal), each key holding the
// first such gateway in its node's list. A node's keys are built on its first
// look-up, so a pass that looks up every placement's gateway stays linear.
class ZOR_API TGatewayIndex {
 public:
  TGateway* Find(TNode* node, const TIfc* outIfc, const TSignal* signal) const;

 private:
  struct Key {
    const TIfc* OutIfc;
    const TSignal* Signal;
    bool operator==(const Key& other) const { return OutIfc == other.OutIfc && Signal == other.Signal; }
  };
  struct KeyHash {
    size_t operator()(const Key& k) const;
  };
  using NodeMap = std::unordered_map<Key, TGateway*, KeyHash>;
  mutable std::unordered_map<const TNode*, NodeMap> Nodes_;
};

// The frames each interface receives (GetRxFrames) as hash sets, built on
// first use and shared by a pass, so that membership tests stay O(1).
class ZOR_API TRxFrameSets {
 public:
  bool Receives(TIfc* ifc, const TNetFrame* frame) const;

 private:
  mutable std::unordered_map<const TIfc*, std::unordered_set<const TNetFrame*>> Sets_;
};

// Calls fn for each signal ifc takes in: those it subscribes, and those its
// node's gateways take in through it. With the frames frame gateways take in
// through ifc, these make a frame received by ifc.
ZOR_API void ForEachSignalTakenIn(const TIfc& ifc, const std::function<void(const TSignal*)>& fn);

// What makes a frame received by one interface (IsReceivedBy), gathered once:
// the frames frame gateways take in through it, and the signals it
// subscribes or its node gateways in through it. Answers in O(placements).
class ZOR_API TReceiverSet {
 public:
  explicit TReceiverSet(const TIfc* ifc);
  bool Receives(const TNetFrame* frame) const;

 private:
  std::unordered_set<const TNetFrame*> GatewayedFrames_;
  std::unordered_set<const TSignal*> Signals_;
};

// Removes a placement: subscriptions that cached it forget it, it leaves its
// frame's list and is destroyed.
ZOR_API void RemoveNetSig(TNetSig* netSig);

}  // namespace ZOR_RAM
