// Check time on shapes of the function catalogue and the environment that
// once grew with the square of their size. The time per item must stay flat
// from the smaller to the larger size.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench/check_shape.h"
#include "tests/builder.h"
#include "zor/model/enums.h"
#include "zor/model/ram.h"

namespace {

using namespace ZOR_RAM;
using zorbench::BM_CheckShape;

// One function block with `functions` functions of distinct identifiers.
std::unique_ptr<TZOR_RAM> FunctionsOfOneBlock(int functions) {
  auto ram = std::make_unique<TZOR_RAM>();
  zortest::Builder make{*ram};
  TMOSTFBlock* block = make.FBlock("Amp", 1);
  for (int f = 0; f < functions; ++f) make.Fkt(block, "Fkt" + std::to_string(f), static_cast<uint16_t>(f));
  return ram;
}

// `instances` instances of one block, all with the same instance number, each
// on an interface of its own network: the display texts are all the same, and
// no two share a network.
std::unique_ptr<TZOR_RAM> InstancesOnManyNetworks(int instances) {
  auto ram = std::make_unique<TZOR_RAM>();
  zortest::Builder make{*ram};
  TMOSTFBlock* block = make.FBlock("Amp", 1);
  TNode* node = make.Node("Head");
  for (int i = 0; i < instances; ++i) {
    const std::string n = std::to_string(i);
    TIfc* ifc = make.Ifc(node, "Ifc" + n, kIfcCAN, make.TimedNetwork("Net" + n, kNetTypeCAN, 500000));
    make.Instance(ifc, block, 1);
  }
  return ram;
}

// `variables` integer variables in groups of 40, all of one 32-bit encoding
// type with as many logical values.
std::unique_ptr<TZOR_RAM> EnvIntsOfOneEncoding(int variables) {
  auto ram = std::make_unique<TZOR_RAM>();
  zortest::Builder make{*ram};
  TEncType* type = make.EncType("Level", 32);
  for (int v = 0; v < variables; ++v) make.Encode(type, kEncodeLogical, v, v, "Value" + std::to_string(v));
  TEnvGroup* group = nullptr;
  for (int v = 0; v < variables; ++v) {
    if (v % kMaxEnvVariablesPerKind == 0) group = make.EnvGroup("Group" + std::to_string(v));
    make.EnvInt(group, "Var" + std::to_string(v))->EncType = type;
  }
  return ram;
}

}  // namespace

BENCHMARK_TEMPLATE(BM_CheckShape, FunctionsOfOneBlock)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_CheckShape, InstancesOnManyNetworks)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_CheckShape, EnvIntsOfOneEncoding)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);
