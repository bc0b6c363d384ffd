// Builds large, plausible configurations for the benchmarks: CAN networks with
// nodes whose interfaces send frames full of signals that other nodes receive.
#pragma once

#include <string>

#include "tests/builder.h"
#include "zor/model/enums.h"
#include "zor/model/ram.h"

namespace zorbench {

// A configuration with `frames` frames of four 16-bit signals each, spread
// over networks of 500 frames and nodes of 25 frames.
inline ZOR_RAM::TZOR_RAM* GenerateConfig(int frames) {
  using namespace ZOR_RAM;
  auto* ram = new TZOR_RAM();
  ram->Description = "generated";
  zortest::Builder make{*ram};
  const int encTypes = 16;
  for (int e = 0; e < encTypes; ++e)
    make.Encode(make.EncType("Enc" + std::to_string(e), 16), kEncodePhysical, 0, 65535, "km/h");
  TNetwork* network = nullptr;
  TIfc* ifc = nullptr;
  TIfc* receiver = nullptr;
  for (int f = 0; f < frames; ++f) {
    if (f % 500 == 0) network = make.TimedNetwork("Net" + std::to_string(f / 500), kNetTypeCAN, 500000);
    if (f % 25 == 0) {
      TNode* node = make.Node("Node" + std::to_string(f / 25));
      node->FrameProcessingPeriod = 1000;
      ifc = make.Ifc(node, node->Name + "_CAN", kIfcCAN, network);
      make.Ctrl(ifc, node->Name + "_Ctrl");
      if (f % 500 == 0) receiver = ifc;
    }
    TNetFrame* frame = make.Frame(ifc, "Frame" + std::to_string(f), static_cast<uint32_t>(f % 500 + 1), 8);
    for (int s = 0; s < 4; ++s) {
      TSignal* signal = make.Signal("Sig" + std::to_string(f) + "_" + std::to_string(s), 16);
      signal->SignalType = kSignalUnsigned;
      signal->Maximum = 65535;
      signal->EncType = ram->EncTypes[(f + s) % encTypes];
      make.Place(frame, signal, s * 16);
      make.Pub(ifc, signal);
      if (receiver && receiver != ifc) make.Sub(receiver, signal);
    }
  }
  return ram;
}

}  // namespace zorbench
