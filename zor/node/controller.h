// Controllers, published and subscribed signals, gateways and frame gateways.
//
// Controllers, published and subscribed signals hang below an interface
// (TIfc); signal gateways and frame gateways below a node (TNode). The
// database lists own them; the owner's lists and every pointer here only refer.
#pragma once

#include <cstdint>
#include <string>

#include "zor/model/item.h"

namespace ZOR_RAM {

class TIfc;
class TNode;
class TNetFrame;
class TNetSig;
class TNetwork;
class TSignal;

// A hardware controller of a CAN interface and the frames it handles. The
// frame lists are read from the file in ResolveLinks (the frames must exist
// first) and normalised by the update pass (AssignControllerFrames).
class ZOR_API TCtrl : public TItemData {
 public:
  TIfc* Ifc = nullptr;  // parent interface
  std::string Name;
  int32_t RxFrameBudget = 0;  // above 255 cannot be emulated
  int32_t TxFrameBudget = 0;
  TZORList<TNetFrame> RxFrames;  // frames this controller receives
  TZORList<TNetFrame> TxFrames;  // frames this controller transmits

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  // Rebuilds RxFrames and TxFrames from the "RxFrames"/"TxFrames" containers.
  // A child not named "NetFrame" is reported and ends the resolution there;
  // it does not fail the load.
  void ResolveLinks() override;
  bool Check(uint64_t flags) override;
  // Another controller of the same interface has this name.
  bool IsNameUsed(const std::string& name) override;
  std::string GetName() override;
};

// A signal that an interface publishes.
class ZOR_API TPubSig : public TItemData {
 public:
  TIfc* Ifc = nullptr;  // parent interface
  int32_t MaxTotPubDelay = 0;
  int32_t MinTotPubDelay = 0;
  TSignal* Signal = nullptr;

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  void ResolveLinks() override;
  bool Check(uint64_t flags) override;
  // Another published signal of the same interface refers to a signal so named.
  bool IsNameUsed(const std::string& name) override;
  // node + "." + interface + "." + signal name, once all three exist.
  std::string GetDisplayName() override;
  // The signal's name, "" without signal.
  std::string GetName() override;
};

// A signal that an interface subscribes to.
class ZOR_API TSubSig : public TItemData {
 public:
  TIfc* Ifc = nullptr;  // parent interface
  bool UpdateBit = false;
  bool ReceiveRollBack = false;
  int32_t MaxAge = 0;
  int32_t MinAge = 0;
  int32_t MaxTotSubDelay = 0;
  int32_t MinTotSubDelay = 0;
  TSignal* Signal = nullptr;
  TNetSig* NetSig = nullptr;  // the network signal it is received from

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  void ResolveLinks() override;
  bool Check(uint64_t flags) override;
  // Another subscribed signal of the same interface refers to a signal so named.
  bool IsNameUsed(const std::string& name) override;
  std::string GetDisplayName() override;
  std::string GetName() override;

  // NetSig when set; otherwise the signal's network signal on the
  // interface's network (NetSigOnNetwork), which is then stored as NetSig.
  TNetSig* GetNetSig();
};

// Copies one signal from an input interface to an output interface of a node.
class ZOR_API TGateway : public TItemData {
 public:
  TNode* Node = nullptr;  // parent node
  std::string SigSynonym;  // name the gatewayed signal is shown under
  int32_t MaxTotGWDelay = 0;
  TIfc* InIfc = nullptr;
  TIfc* OutIfc = nullptr;
  TSignal* Signal = nullptr;
  // The gateway whose output feeds this one; null when the signal comes
  // straight from the input network. Written as a child "Gateway".
  TGateway* Gateway = nullptr;

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  void ResolveLinks() override;
  bool Check(uint64_t flags) override;
  // node + "." + input interface + "." + output interface + "." + (SigSynonym
  // when not empty, else the signal's name).
  std::string GetDisplayName() override;
  // The name the signal carries on the output side (see the source).
  std::string GetName() override;

  // Both interfaces set and the same, or connected to the same network (two
  // interfaces without a network count as on the same network).
  bool IsRoundGateway() const;
  // The first network signal of the gateway's signal among the frames the
  // output interface transmits, in frame and placement order.
  TNetSig* OutputNetSig() const;
  // The source gateway's OutputNetSig, or the signal's network signal on the
  // input interface's network.
  TNetSig* SourceNetSig() const;
};

// Copies a whole frame from an input interface to an output interface.
class ZOR_API TFrameGateway : public TItemData {
 public:
  TNode* Node = nullptr;  // parent node
  uint32_t MaxTotGWDelay = 0;
  TIfc* InIfc = nullptr;
  TIfc* OutIfc = nullptr;
  TNetFrame* InFrame = nullptr;
  TNetFrame* OutFrame = nullptr;

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  void ResolveLinks() override;
  bool Check(uint64_t flags) override;
  std::string GetDisplayName() override;
  // The output frame's name, "" without one.
  std::string GetName() override;
};

// The network signal through which `signal` arrives on `network`: going
// through the network's frames and each frame's placements in order, the
// first placement of the signal whose frame's transmitting node has no round
// gateway for the signal with its input interface on this network. Null
// without network or signal, and before the network built its frame list.
ZOR_API TNetSig* NetSigOnNetwork(TNetwork* network, TSignal* signal);

// While a scope is open, NetSigOnNetwork answers for the networks of its
// database from a map built once per network (signal -> answer), so a pass
// that asks for many placements (a check run) stays linear instead of
// scanning the network per question. The configuration must not change while
// the scope is open. Only the outermost open scope is used.
class ZOR_API TNetSigIndexScope {
 public:
  explicit TNetSigIndexScope(class TZOR_RAM& ram);
  ~TNetSigIndexScope();
  TNetSigIndexScope(const TNetSigIndexScope&) = delete;
  TNetSigIndexScope& operator=(const TNetSigIndexScope&) = delete;

  struct Data;

 private:
  Data* Data_ = nullptr;  // owned; null for an inner scope
};

// How many of ifc's published (subscribed) signals are signal. During a check
// run a long list is sorted once per interface and searched; otherwise it is
// scanned.
ZOR_API int CountPublished(const TIfc& ifc, const TSignal* signal);
ZOR_API int CountSubscribed(const TIfc& ifc, const TSignal* signal);
// Queues the sorted list that CountPublished makes for ifc.
void QueuePublishedCounts(class TCheckRunValuesAhead& ahead, const TIfc& ifc);

// Removals used when signals are removed and by the update pass. Each takes
// the item out of its owner's list and destroys it (with its dependants as
// stated); a null item does nothing.
// Also removes every network signal whose publisher is this published signal,
// and clears the interface's response_error when it names it.
ZOR_API void RemovePubSig(TPubSig* pubSig);
ZOR_API void RemoveSubSig(TSubSig* subSig);
ZOR_API void RemoveCtrl(TCtrl* ctrl);
// Also removes, recursively, every gateway fed by this one and every network
// signal that arrives through it.
ZOR_API void RemoveGateway(TGateway* gateway);

}  // namespace ZOR_RAM
