// The check benchmark of a generated shape: Generate(size) builds the
// configuration once, and each iteration checks it.
#pragma once

#include <benchmark/benchmark.h>

#include <memory>

#include "zor/interface/check_driver.h"
#include "zor/model/ram.h"

namespace zorbench {

template <std::unique_ptr<ZOR_RAM::TZOR_RAM> (*Generate)(int)>
void BM_CheckShape(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  std::unique_ptr<ZOR_RAM::TZOR_RAM> ram = Generate(size);
  ram->Update();
  for (auto _ : state) benchmark::DoNotOptimize(ZOR_RAM::CheckDatabase(*ram, 3));
  state.SetItemsProcessed(state.iterations() * size);
}

}  // namespace zorbench
