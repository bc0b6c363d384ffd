// Nodes, interfaces, interface modes and frame message identifiers.
//
// A node (TNode) is a control unit; it reaches networks through its
// interfaces (TIfc), and everything it sends or receives hangs below them:
// transmitted frames and frame holders, published and subscribed signals,
// controllers, interface modes (TIfcMode), frame message identifiers
// (TFrameMsgId) and MOST function block instances. The database lists own
// every item; the owner's lists and every pointer here only refer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "zor/model/item.h"

namespace ZOR_RAM {

class TNetwork;
class TNetFrame;
class TFrameHolder;
class TNetSig;
class TPubSig;
class TSubSig;
class TCtrl;
class TGateway;
class TFrameGateway;
class TMOSTFBlockInstance;
class TIfc;
class TIfcMode;
class TFrameMsgId;

class ZOR_API TNode : public TItemData {
 public:
  std::string Name;
  int32_t FrameProcessingPeriod = 0;  // microseconds (1000 = 1 ms)
  int32_t JitterTime = 0;             // stored in "2.000" files only
  uint8_t DiagnosticAddress = 0;
  TZORList<TIfc> Ifcs;
  TZORList<TGateway> Gateways;
  TZORList<TFrameGateway> FrameGateways;

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  // Replaces the node's interfaces and gateways with those of the element.
  bool ReadXml(TQXMLNode* element) override;
  // Resolves every interface, then every gateway, then every frame gateway.
  void ResolveLinks() override;
  bool Check(uint64_t flags) override;
  // Another node of the database carries exactly this name.
  bool IsNameUsed(const std::string& name) override;
  std::string GetDisplayName() override;
  std::string GetName() override;
};

class ZOR_API TIfc : public TItemData {
 public:
  TIfc();
  // Leaves the kept interface lists of the database's networks.
  ~TIfc() override;

  TNode* Node = nullptr;  // parent node
  std::string Name;
  int32_t IfcType = 0;  // kIfcCAN, kIfcLINMaster, kIfcLINSlave
  float ProtVer = 0;    // LIN protocol version (1.3, 2.0 ...)
  uint8_t init_NAD = 0;
  uint8_t cfg_NAD = 0;
  uint16_t supplier_id = 0;
  uint16_t function_id = 0;
  uint8_t variant_id = 0;
  float P2_min = 0;  // stored in "2.000" files only
  float ST_min = 0;  // stored in "2.000" files only
  uint32_t serial_number = 0;
  bool StartInCfgState = true;
  TNetwork* Network = nullptr;
  TPubSig* response_error = nullptr;  // the interface's response error signal
  TZORList<TFrameMsgId> FrameMsgIds;
  TZORList<TNetFrame> NetFrames;  // frames this interface transmits
  TZORList<TFrameHolder> FrameHolders;
  TZORList<TPubSig> PubSigs;
  TZORList<TSubSig> SubSigs;
  TZORList<TCtrl> Ctrls;
  TZORList<TIfcMode> IfcModes;
  TZORList<TMOSTFBlockInstance> MOSTFBlockInstances;

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  // Replaces every child list with the items of the element.
  bool ReadXml(TQXMLNode* element) override;
  // "Network" and "response_error", then every child, list by list.
  void ResolveLinks() override;
  bool Check(uint64_t flags) override;
  // Another interface of the same node carries exactly this name.
  bool IsNameUsed(const std::string& name) override;
  // Node name + "." + interface name, once the interface has a node.
  std::string GetDisplayName() override;
  std::string GetName() override;

  bool IsCanInterface() const;
  bool IsLinInterface() const;
  // 0 on LIN 1.0/1.1 networks; on LIN 2.0, 2 for a slave of protocol
  // version 2.0 or later; 1 otherwise (also without a network).
  int ProtocolClass() const;
  // The frames of the network (GetFrames order) that this interface receives;
  // null without a network. Built on the first call and kept.
  TZORList<TNetFrame>* GetRxFrames();
  // Builds the lists GetRxFrames would for every interface given that has
  // none yet, in one walk over each network's frames.
  static void BuildRxFrames(const std::vector<TIfc*>& ifcs);
  // A destroyed frame leaves the kept received-frames list.
  void ForgetRxFrame(TNetFrame* frame);
  // The subscription of this interface through which netSig's signal is
  // received from netSig, or null (see node.cpp).
  TSubSig* FindSubscriptionFor(TNetSig* netSig);
  // The first gateway of the node that outputs netSig's signal on this
  // interface and is fed by the gateway recorded in netSig; null without node.
  TGateway* FindGatewayFor(const TNetSig* netSig) const;

 private:
  bool NadUsedByOtherSlave();

  std::unique_ptr<TZORList<TNetFrame>> RxFrames_;
};

class ZOR_API TIfcMode : public TItemData {
 public:
  TIfc* Ifc = nullptr;  // parent interface
  std::string Name;

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  bool Check(uint64_t flags) override;
  // Another mode of the same interface carries exactly this name.
  bool IsNameUsed(const std::string& name) override;
  // Node name + "." + interface name + "." + mode name.
  std::string GetDisplayName() override;
  std::string GetName() override;
};

class ZOR_API TFrameMsgId : public TItemData {
 public:
  TIfc* Ifc = nullptr;  // parent interface
  uint16_t MsgId = 0;
  TNetFrame* NetFrame = nullptr;  // a frame or a frame holder

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  // "NetFrame": a frame holder of that identifier first, else a frame.
  void ResolveLinks() override;
  bool Check(uint64_t flags) override;
  // Interface display name + "." + frame display name.
  std::string GetDisplayName() override;
  // The frame's name, or "" without frame.
  std::string GetName() override;

  // Whether this identifier's interface takes part in frame: no frame, a
  // frame this interface transmits, or a frame carrying a signal that its own
  // transmitter publishes and a signal that a subscription of the database
  // with this interface subscribes.
  bool HandlesFrame(TNetFrame* frame) const;

 private:
  template <class Visit>
  void ForEachClash(Visit visit) const;
};

// The first identifier of ifc's list for frame, or null. During a check run a
// long list is indexed once.
ZOR_API TFrameMsgId* FirstMessageIdFor(const TIfc& ifc, const TNetFrame* frame);

}  // namespace ZOR_RAM
