// Builds configuration items for tests and benchmarks: each item is created
// in its database list and linked to its owner (owner pointer and the owner's
// list) the way the readers link what they read. Network links that a file
// would carry (frame, holder and placement networks) follow the owner.
#pragma once

#include <cstdint>
#include <string>

#include "zor/env/env.h"
#include "zor/model/ram.h"
#include "zor/most/fblock.h"
#include "zor/network/frame.h"
#include "zor/network/network.h"
#include "zor/network/signal.h"
#include "zor/node/controller.h"
#include "zor/node/node.h"

namespace zortest {

struct Builder {
  ZOR_RAM::TZOR_RAM& Ram;

  ZOR_RAM::TNetwork* Network(const std::string& name, int32_t type, int32_t speed = 0) {
    ZOR_RAM::TNetwork* net = Ram.NewItem(Ram.Networks);
    net->Name = name;
    net->Type = type;
    net->NetSpeed = speed;
    return net;
  }
  // A network with the usual CAN bit timing (87.5 % sample point, one sample).
  ZOR_RAM::TNetwork* TimedNetwork(const std::string& name, int32_t type, int32_t speed) {
    ZOR_RAM::TNetwork* net = Network(name, type, speed);
    net->SamplePos = 87500;
    net->SJW = 1000;
    net->SampMode = 1;
    return net;
  }
  ZOR_RAM::TNode* Node(const std::string& name) {
    ZOR_RAM::TNode* node = Ram.NewItem(Ram.Nodes);
    node->Name = name;
    return node;
  }
  // An interface of node (none: an interface without a node) on network.
  ZOR_RAM::TIfc* Ifc(ZOR_RAM::TNode* node, const std::string& name, int32_t type, ZOR_RAM::TNetwork* network) {
    ZOR_RAM::TIfc* ifc = Ram.NewItem(Ram.Ifcs);
    ifc->Name = name;
    ifc->IfcType = type;
    ifc->Network = network;
    ifc->Node = node;
    if (node) node->Ifcs.Add(ifc);
    return ifc;
  }
  ZOR_RAM::TIfcMode* IfcMode(ZOR_RAM::TIfc* ifc, const std::string& name) {
    ZOR_RAM::TIfcMode* mode = Ram.NewItem(Ram.IfcModes);
    mode->Name = name;
    mode->Ifc = ifc;
    if (ifc) ifc->IfcModes.Add(mode);
    return mode;
  }
  // A frame sent by ifc, on ifc's network.
  ZOR_RAM::TNetFrame* Frame(ZOR_RAM::TIfc* ifc, const std::string& name, uint32_t id = 0, int32_t size = 0) {
    ZOR_RAM::TNetFrame* frame = Ram.NewItem(Ram.NetFrames);
    frame->Name = name;
    frame->FrameId = id;
    frame->Size = size;
    frame->Ifc = ifc;
    if (ifc) {
      frame->Network = ifc->Network;
      ifc->NetFrames.Add(frame);
    }
    return frame;
  }
  // A frame holder of ifc, on ifc's network.
  ZOR_RAM::TFrameHolder* Holder(ZOR_RAM::TIfc* ifc, const std::string& name, uint32_t id, int32_t holderType) {
    ZOR_RAM::TFrameHolder* holder = Ram.NewItem(Ram.FrameHolders);
    holder->Name = name;
    holder->FrameId = id;
    holder->HolderType = holderType;
    holder->Ifc = ifc;
    if (ifc) {
      holder->Network = ifc->Network;
      ifc->FrameHolders.Add(holder);
    }
    return holder;
  }
  // A placement of signal in frame at a bit offset, on the frame's network.
  ZOR_RAM::TNetSig* Place(ZOR_RAM::TNetFrame* frame, ZOR_RAM::TSignal* signal, int32_t offset = 0) {
    ZOR_RAM::TNetSig* sig = Ram.NewItem(Ram.NetSigs);
    sig->Signal = signal;
    sig->Offset = offset;
    sig->Frame = frame;
    if (frame) {
      sig->Network = frame->Network;
      frame->NetSigs.Add(sig);
    }
    return sig;
  }
  ZOR_RAM::TTxFrameTiming* Timing(ZOR_RAM::TNetFrame* frame, int32_t period) {
    ZOR_RAM::TTxFrameTiming* timing = Ram.NewItem(Ram.TxFrameTimings);
    timing->FramePeriod = period;
    timing->Frame = frame;
    if (frame) frame->TxFrameTimings.Add(timing);
    return timing;
  }
  ZOR_RAM::TSignal* Signal(const std::string& name, int32_t size = 0) {
    ZOR_RAM::TSignal* signal = Ram.NewItem(Ram.Signals);
    signal->Name = name;
    signal->Size = size;
    return signal;
  }
  ZOR_RAM::TPubSig* Pub(ZOR_RAM::TIfc* ifc, ZOR_RAM::TSignal* signal) {
    ZOR_RAM::TPubSig* pub = Ram.NewItem(Ram.PubSigs);
    pub->Signal = signal;
    pub->Ifc = ifc;
    if (ifc) ifc->PubSigs.Add(pub);
    return pub;
  }
  ZOR_RAM::TSubSig* Sub(ZOR_RAM::TIfc* ifc, ZOR_RAM::TSignal* signal) {
    ZOR_RAM::TSubSig* sub = Ram.NewItem(Ram.SubSigs);
    sub->Signal = signal;
    sub->Ifc = ifc;
    if (ifc) ifc->SubSigs.Add(sub);
    return sub;
  }
  ZOR_RAM::TCtrl* Ctrl(ZOR_RAM::TIfc* ifc, const std::string& name) {
    ZOR_RAM::TCtrl* ctrl = Ram.NewItem(Ram.Ctrls);
    ctrl->Name = name;
    ctrl->Ifc = ifc;
    if (ifc) ifc->Ctrls.Add(ctrl);
    return ctrl;
  }
  ZOR_RAM::TFrameMsgId* MsgId(ZOR_RAM::TIfc* ifc, ZOR_RAM::TNetFrame* frame, uint16_t msgId = 0) {
    ZOR_RAM::TFrameMsgId* id = Ram.NewItem(Ram.FrameMsgIds);
    id->MsgId = msgId;
    id->NetFrame = frame;
    id->Ifc = ifc;
    if (ifc) ifc->FrameMsgIds.Add(id);
    return id;
  }
  // A gateway of node that takes signal in through in and puts it out on out.
  ZOR_RAM::TGateway* Gateway(ZOR_RAM::TNode* node, ZOR_RAM::TIfc* in, ZOR_RAM::TIfc* out,
                             ZOR_RAM::TSignal* signal) {
    ZOR_RAM::TGateway* gateway = Ram.NewItem(Ram.Gateways);
    gateway->InIfc = in;
    gateway->OutIfc = out;
    gateway->Signal = signal;
    gateway->Node = node;
    if (node) node->Gateways.Add(gateway);
    return gateway;
  }
  ZOR_RAM::TFrameGateway* FrameGateway(ZOR_RAM::TNode* node, ZOR_RAM::TIfc* in, ZOR_RAM::TNetFrame* inFrame,
                                       ZOR_RAM::TIfc* out, ZOR_RAM::TNetFrame* outFrame) {
    ZOR_RAM::TFrameGateway* gateway = Ram.NewItem(Ram.FrameGateways);
    gateway->InIfc = in;
    gateway->InFrame = inFrame;
    gateway->OutIfc = out;
    gateway->OutFrame = outFrame;
    gateway->Node = node;
    if (node) node->FrameGateways.Add(gateway);
    return gateway;
  }
  ZOR_RAM::TNetMode* Mode(ZOR_RAM::TNetwork* network, const std::string& name) {
    ZOR_RAM::TNetMode* mode = Ram.NewItem(Ram.NetModes);
    mode->Name = name;
    mode->Network = network;
    if (network) network->NetModes.Add(mode);
    return mode;
  }
  // A schedule entry appended to mode's table.
  ZOR_RAM::TSchEntry* Entry(ZOR_RAM::TNetMode* mode, int32_t type, ZOR_RAM::TNetFrame* frame = nullptr,
                            int32_t delay = 0, int32_t order = 0) {
    ZOR_RAM::TSchEntry* entry = Ram.NewItem(Ram.SchEntries);
    entry->Type = type;
    entry->TxFrame = frame;
    entry->Delay = delay;
    entry->Order = order;
    entry->NetMode = mode;
    if (mode) mode->SchEntrys.Add(entry);
    return entry;
  }
  ZOR_RAM::TEncType* EncType(const std::string& name, int32_t size = 0) {
    ZOR_RAM::TEncType* type = Ram.NewItem(Ram.EncTypes);
    type->Name = name;
    type->Size = size;
    return type;
  }
  ZOR_RAM::TEncode* Encode(ZOR_RAM::TEncType* type, int32_t kind, int64_t min, int64_t max,
                           const std::string& interpr) {
    ZOR_RAM::TEncode* encode = Ram.NewItem(Ram.Encodes);
    encode->Type = kind;
    encode->Min = min;
    encode->Max = max;
    encode->Interpr = interpr;
    encode->EncType = type;
    if (type) type->Encodes.Add(encode);
    return encode;
  }
  ZOR_RAM::TMOSTFBlock* FBlock(const std::string& name, uint8_t id = 0) {
    ZOR_RAM::TMOSTFBlock* block = Ram.NewItem(Ram.MOSTFBlocks);
    block->Name = name;
    block->FBlockID = id;
    return block;
  }
  ZOR_RAM::TMOSTFkt* Fkt(ZOR_RAM::TMOSTFBlock* block, const std::string& name, uint16_t id = 0) {
    ZOR_RAM::TMOSTFkt* fkt = Ram.NewItem(Ram.MOSTFkts);
    fkt->Name = name;
    fkt->FktID = id;
    fkt->FBlock = block;
    if (block) block->Fkts.Add(fkt);
    return fkt;
  }
  // An instance of block on ifc.
  ZOR_RAM::TMOSTFBlockInstance* Instance(ZOR_RAM::TIfc* ifc, ZOR_RAM::TMOSTFBlock* block, uint8_t instId = 0) {
    ZOR_RAM::TMOSTFBlockInstance* instance = Ram.NewItem(Ram.MOSTFBlockInstances);
    instance->FBlock = block;
    instance->InstID = instId;
    instance->Ifc = ifc;
    if (ifc) ifc->MOSTFBlockInstances.Add(instance);
    return instance;
  }
  ZOR_RAM::TEnvGroup* EnvGroup(const std::string& name) {
    ZOR_RAM::TEnvGroup* group = Ram.NewItem(Ram.EnvGroups);
    group->Name = name;
    return group;
  }
  // Environment variables of group (none: a variable in no group).
  ZOR_RAM::TEnvInt* EnvInt(ZOR_RAM::TEnvGroup* group, const std::string& name) {
    return Variable(Ram.EnvInts, group, &ZOR_RAM::TEnvGroup::EnvIntList, name);
  }
  ZOR_RAM::TEnvFloat* EnvFloat(ZOR_RAM::TEnvGroup* group, const std::string& name) {
    return Variable(Ram.EnvFloats, group, &ZOR_RAM::TEnvGroup::EnvFloatList, name);
  }
  ZOR_RAM::TEnvStr* EnvStr(ZOR_RAM::TEnvGroup* group, const std::string& name) {
    return Variable(Ram.EnvStrs, group, &ZOR_RAM::TEnvGroup::EnvStrList, name);
  }
  ZOR_RAM::TEnvData* EnvData(ZOR_RAM::TEnvGroup* group, const std::string& name) {
    return Variable(Ram.EnvDatas, group, &ZOR_RAM::TEnvGroup::EnvDataList, name);
  }

 private:
  template <class T>
  T* Variable(ZOR_RAM::TZORList<T>& home, ZOR_RAM::TEnvGroup* group, ZOR_RAM::TZORList<T> ZOR_RAM::TEnvGroup::*own,
              const std::string& name) {
    T* variable = Ram.NewItem(home);
    variable->Name = name;
    variable->Group = group;
    if (group) (group->*own).Add(variable);
    return variable;
  }
};

}  // namespace zortest
