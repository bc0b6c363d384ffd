// Check time on shapes of networks and nodes that once grew faster than their
// size (many items of one frame, interface, node or network), and the update
// after LIN diagnostic frames. The time per item must stay flat from the
// smaller to the larger size.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench/check_shape.h"
#include "tests/builder.h"
#include "zor/model/enums.h"
#include "zor/model/ram.h"
#include "zor/network/lin_diag.h"

namespace {

using namespace ZOR_RAM;
using zorbench::BM_CheckShape;

// One CAN interface sending `frames` frames, each with one published signal
// that a second interface subscribes.
std::unique_ptr<TZOR_RAM> FramesOnOneInterface(int frames) {
  auto ram = std::make_unique<TZOR_RAM>();
  zortest::Builder make{*ram};
  TNetwork* network = make.TimedNetwork("Bus", kNetTypeCAN, 500000);
  TNode* node = make.Node("Sender");
  node->FrameProcessingPeriod = 1000;
  TIfc* sender = make.Ifc(node, "Sender_CAN", kIfcCAN, network);
  TIfc* receiver = make.Ifc(make.Node("Receiver"), "Receiver_CAN", kIfcCAN, network);
  for (int f = 0; f < frames; ++f) {
    TNetFrame* frame = make.Frame(sender, "Frame" + std::to_string(f), static_cast<uint32_t>(f + 1), 8);
    TSignal* signal = make.Signal("Sig" + std::to_string(f), 16);
    make.Place(frame, signal);
    make.Pub(sender, signal);
    make.Sub(receiver, signal);
  }
  return ram;
}

// A signal published on the first of `gateways` + 1 networks and carried from
// each network to the next by a gateway node whose frame places it.
std::unique_ptr<TZOR_RAM> GatewayChain(int gateways) {
  auto ram = std::make_unique<TZOR_RAM>();
  zortest::Builder make{*ram};
  TSignal* signal = make.Signal("Carried", 16);
  TNetwork* network = make.TimedNetwork("Net0", kNetTypeCAN, 500000);
  TIfc* source = make.Ifc(make.Node("Source"), "Source_CAN", kIfcCAN, network);
  make.Place(make.Frame(source, "Frame0", 1, 8), signal);
  make.Pub(source, signal);
  for (int g = 1; g <= gateways; ++g) {
    TNetwork* next = make.TimedNetwork("Net" + std::to_string(g), kNetTypeCAN, 500000);
    TNode* node = make.Node("Gw" + std::to_string(g));
    TIfc* in = make.Ifc(node, node->Name + "_In", kIfcCAN, network);
    TIfc* out = make.Ifc(node, node->Name + "_Out", kIfcCAN, next);
    make.Sub(in, signal);
    make.Place(make.Frame(out, "Frame" + std::to_string(g), 1, 8), signal);
    make.Gateway(node, in, out, signal);
    network = next;
  }
  return ram;
}

// One frame placing `signals` one-bit signals side by side, each published
// by its interface.
std::unique_ptr<TZOR_RAM> SignalsInOneFrame(int signals) {
  auto ram = std::make_unique<TZOR_RAM>();
  zortest::Builder make{*ram};
  TNetwork* network = make.TimedNetwork("Bus", kNetTypeCAN, 500000);
  TIfc* sender = make.Ifc(make.Node("Sender"), "Sender_CAN", kIfcCAN, network);
  TNetFrame* frame = make.Frame(sender, "Frame", 1, (signals + 7) / 8);
  for (int s = 0; s < signals; ++s) {
    TSignal* signal = make.Signal("Sig" + std::to_string(s), 1);
    make.Place(frame, signal, s);
    make.Pub(sender, signal);
  }
  return ram;
}

// One J1939 frame multiplexing `signals` signals of one size and offset, each
// with a value of its own.
std::unique_ptr<TZOR_RAM> MultiplexedInOneFrame(int signals) {
  auto ram = std::make_unique<TZOR_RAM>();
  zortest::Builder make{*ram};
  TNetwork* network = make.TimedNetwork("Bus", kNetTypeJ1939, 250000);
  TIfc* sender = make.Ifc(make.Node("Sender"), "Sender_CAN", kIfcCAN, network);
  TNetFrame* frame = make.Frame(sender, "Frame", 0x100, 8);
  TSignal* selector = make.Signal("Selector", 32);
  make.Place(frame, selector)->Multiplexed = kMuxMultiplexor;
  make.Pub(sender, selector);
  for (int s = 0; s < signals; ++s) {
    TSignal* signal = make.Signal("Sig" + std::to_string(s), 8);
    TNetSig* placed = make.Place(frame, signal, 32);
    placed->Multiplexed = kMuxMultiplexed;
    placed->MultiplexerValue = s;
    make.Pub(sender, signal);
  }
  return ram;
}

// A gateway node with an interface on an input and on an output CAN network,
// and a source node sending on the input network.
struct GatewayNode {
  explicit GatewayNode(zortest::Builder& make)
      : Node(make.Node("Gw")),
        In(make.Ifc(Node, "Gw_In", kIfcCAN, make.TimedNetwork("In", kNetTypeCAN, 500000))),
        Out(make.Ifc(Node, "Gw_Out", kIfcCAN, make.TimedNetwork("Out", kNetTypeCAN, 500000))),
        Source(make.Ifc(make.Node("Source"), "Source_CAN", kIfcCAN, In->Network)) {}
  TNode* Node;
  TIfc* In;
  TIfc* Out;
  TIfc* Source;
};

// A gateway node carrying `signals` signals from one network to another, with
// a second interface on the input network that subscribes as many others and
// an input interface that publishes as many others.
std::unique_ptr<TZOR_RAM> GatewaysOnOneNode(int signals) {
  auto ram = std::make_unique<TZOR_RAM>();
  zortest::Builder make{*ram};
  const GatewayNode gw(make);
  TIfc* other = make.Ifc(gw.Node, "Gw_Other", kIfcCAN, gw.In->Network);
  for (int s = 0; s < signals; ++s) {
    TSignal* carried = make.Signal("Sig" + std::to_string(s), 8);
    TNetFrame* inFrame = make.Frame(gw.Source, "In" + std::to_string(s), static_cast<uint32_t>(s + 1), 1);
    make.Place(inFrame, carried);
    make.Pub(gw.Source, carried);
    make.Sub(gw.In, carried);
    make.Place(make.Frame(gw.Out, "Out" + std::to_string(s), static_cast<uint32_t>(s + 1), 1), carried);
    make.Gateway(gw.Node, gw.In, gw.Out, carried);
    make.Sub(other, make.Signal("Heard" + std::to_string(s), 8));
    TSignal* sent = make.Signal("Sent" + std::to_string(s), 8);
    make.Pub(gw.In, sent);
  }
  return ram;
}

// A LIN 2.0 network whose master sends `frames` frames, each in one schedule
// table, to a class-2 slave that has a message identifier for each.
std::unique_ptr<TZOR_RAM> LinFramesScheduled(int frames) {
  auto ram = std::make_unique<TZOR_RAM>();
  zortest::Builder make{*ram};
  TNetwork* lin = make.Network("Lin", kNetTypeLIN20, 19200);
  TIfc* master = make.Ifc(make.Node("Master"), "Master_LIN", kIfcLINMaster, lin);
  TIfc* slave = make.Ifc(make.Node("Slave"), "Slave_LIN", kIfcLINSlave, lin);
  slave->ProtVer = 2.0f;
  TNetMode* table = make.Mode(lin, "Table");
  for (int f = 0; f < frames; ++f) {
    TNetFrame* frame = make.Frame(master, "F" + std::to_string(f), static_cast<uint32_t>(f % 60), 1);
    TSignal* signal = make.Signal("Sig" + std::to_string(f), 8);
    make.Place(frame, signal);
    make.Pub(master, signal);
    make.Sub(slave, signal);
    make.MsgId(slave, frame, static_cast<uint16_t>(f));
    make.Entry(table, kSchUnconditional, frame, 0, f);
  }
  return ram;
}

// One encoding type of `encodes` reversed ranges (minimum above maximum),
// none overlapping another.
std::unique_ptr<TZOR_RAM> ReversedEncodes(int encodes) {
  auto ram = std::make_unique<TZOR_RAM>();
  zortest::Builder make{*ram};
  TEncType* type = make.EncType("Type", 32);
  for (int e = 0; e < encodes; ++e) make.Encode(type, kEncodePhysical, 2 * e + 1, 2 * e, "R" + std::to_string(e));
  return ram;
}

// A node gatewaying `frames` frames whole from one network to another.
std::unique_ptr<TZOR_RAM> FrameGatewaysOnOneNode(int frames) {
  auto ram = std::make_unique<TZOR_RAM>();
  zortest::Builder make{*ram};
  const GatewayNode gw(make);
  for (int f = 0; f < frames; ++f) {
    const uint32_t id = static_cast<uint32_t>(f + 1);
    TNetFrame* inFrame = make.Frame(gw.Source, "In" + std::to_string(f), id, 8);
    TNetFrame* outFrame = make.Frame(gw.Out, "Out" + std::to_string(f), id, 8);
    make.FrameGateway(gw.Node, gw.In, inFrame, gw.Out, outFrame);
  }
  return ram;
}

// The update after LIN diagnostic frames were added to `networks` LIN 2.0
// networks beside a CAN network of 20 000 placed signals: the update takes the
// reserved diagnostic signals out again, one removal per signal.
void BM_UpdateAfterLinDiagnostics(benchmark::State& state) {
  const int networks = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    auto ram = std::make_unique<TZOR_RAM>();
    zortest::Builder make{*ram};
    TNetwork* can = make.TimedNetwork("Can", kNetTypeCAN, 500000);
    TIfc* sender = make.Ifc(make.Node("Sender"), "Sender_CAN", kIfcCAN, can);
    for (int f = 0; f < 2500; ++f) {
      TNetFrame* frame = make.Frame(sender, "F" + std::to_string(f), static_cast<uint32_t>(f + 1), 8);
      for (int s = 0; s < 8; ++s) {
        TSignal* signal = make.Signal("S" + std::to_string(f) + "_" + std::to_string(s), 8);
        make.Place(frame, signal, 8 * s);
        make.Pub(sender, signal);
      }
    }
    for (int n = 0; n < networks; ++n) {
      TNetwork* lin = make.Network("Lin" + std::to_string(n), kNetTypeLIN20, 19200);
      make.Ifc(make.Node("Master" + std::to_string(n)), "M" + std::to_string(n), kIfcLINMaster, lin);
      make.Ifc(make.Node("Slave" + std::to_string(n)), "S" + std::to_string(n), kIfcLINSlave, lin)->ProtVer = 2.0f;
    }
    CreateLinDiagObjects(*ram);
    state.ResumeTiming();
    ram->Update();
    state.PauseTiming();
    ram.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * networks);
}

}  // namespace

BENCHMARK(BM_UpdateAfterLinDiagnostics)->Arg(10)->Arg(40)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_CheckShape, FrameGatewaysOnOneNode)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_CheckShape, ReversedEncodes)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_CheckShape, LinFramesScheduled)->Arg(2500)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_CheckShape, GatewaysOnOneNode)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_CheckShape, MultiplexedInOneFrame)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_CheckShape, SignalsInOneFrame)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_CheckShape, FramesOnOneInterface)->Arg(25000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_CheckShape, GatewayChain)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond);
