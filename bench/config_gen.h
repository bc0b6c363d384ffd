// Builds large, plausible configurations for the benchmarks: CAN networks with
// nodes whose interfaces send frames full of signals that other nodes receive.
#pragma once

#include <string>

#include "zor/model/enums.h"
#include "zor/model/ram.h"

namespace zorbench {

// A configuration with `frames` frames of four 16-bit signals each, spread
// over networks of 500 frames and nodes of 25 frames.
inline ZOR_RAM::TZOR_RAM* GenerateConfig(int frames) {
  using namespace ZOR_RAM;
  auto* ram = new TZOR_RAM();
  ram->Description = "generated";
  const int encTypes = 16;
  for (int e = 0; e < encTypes; ++e) {
    TEncType* type = ram->NewItem(ram->EncTypes);
    type->Name = "Enc" + std::to_string(e);
    type->Size = 16;
    TEncode* encode = ram->NewItem(ram->Encodes);
    encode->EncType = type;
    encode->Type = kEncodePhysical;
    encode->Min = 0;
    encode->Max = 65535;
    encode->Interpr = "km/h";
    type->Encodes.Add(encode);
  }
  TNetwork* network = nullptr;
  TNode* node = nullptr;
  TIfc* ifc = nullptr;
  TIfc* receiver = nullptr;
  for (int f = 0; f < frames; ++f) {
    if (f % 500 == 0) {
      network = ram->NewItem(ram->Networks);
      network->Name = "Net" + std::to_string(f / 500);
      network->Type = kNetTypeCAN;
      network->NetSpeed = 500000;
      network->SamplePos = 87500;
      network->SJW = 1000;
      network->SampMode = 1;
    }
    if (f % 25 == 0) {
      node = ram->NewItem(ram->Nodes);
      node->Name = "Node" + std::to_string(f / 25);
      node->FrameProcessingPeriod = 1000;
      ifc = ram->NewItem(ram->Ifcs);
      ifc->Node = node;
      ifc->Name = node->Name + "_CAN";
      ifc->IfcType = kIfcCAN;
      ifc->Network = network;
      node->Ifcs.Add(ifc);
      TCtrl* ctrl = ram->NewItem(ram->Ctrls);
      ctrl->Ifc = ifc;
      ctrl->Name = node->Name + "_Ctrl";
      ifc->Ctrls.Add(ctrl);
      if (f % 500 == 0) receiver = ifc;
    }
    TNetFrame* frame = ram->NewItem(ram->NetFrames);
    frame->Name = "Frame" + std::to_string(f);
    frame->Size = 8;
    frame->FrameId = static_cast<uint32_t>(f % 500 + 1);
    frame->Ifc = ifc;
    frame->Network = network;
    ifc->NetFrames.Add(frame);
    for (int s = 0; s < 4; ++s) {
      TSignal* signal = ram->NewItem(ram->Signals);
      signal->Name = "Sig" + std::to_string(f) + "_" + std::to_string(s);
      signal->Size = 16;
      signal->SignalType = kSignalUnsigned;
      signal->Maximum = 65535;
      signal->EncType = ram->EncTypes[(f + s) % encTypes];
      TNetSig* placement = ram->NewItem(ram->NetSigs);
      placement->Frame = frame;
      placement->Network = network;
      placement->Signal = signal;
      placement->Offset = s * 16;
      frame->NetSigs.Add(placement);
      TPubSig* pub = ram->NewItem(ram->PubSigs);
      pub->Ifc = ifc;
      pub->Signal = signal;
      ifc->PubSigs.Add(pub);
      if (receiver && receiver != ifc) {
        TSubSig* sub = ram->NewItem(ram->SubSigs);
        sub->Ifc = receiver;
        sub->Signal = signal;
        receiver->SubSigs.Add(sub);
      }
    }
  }
  return ram;
}

}  // namespace zorbench
