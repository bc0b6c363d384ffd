// Load, update, check and save on generated configurations of growing size;
// the cost per item must stay flat as the size grows.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "bench/config_gen.h"
#include "zor/interface/check_driver.h"
#include "zor/interface/file_frame.h"
#include "zor/zor.h"

namespace {

// The generated file of each size, written once per run.
const std::string& ConfigFile(int frames) {
  static std::map<int, std::string> files;
  auto it = files.find(frames);
  if (it != files.end()) return it->second;
  std::string path = "/tmp/zor_bench_config_" + std::to_string(frames) + ".xml";
  std::unique_ptr<ZOR_RAM::TZOR_RAM> ram(zorbench::GenerateConfig(frames));
  _SaveRAM(ram.get(), path.c_str());
  return files[frames] = path;
}

void SetItems(benchmark::State& state, int frames) {
  // Four signals with their placement and publication per frame.
  state.SetItemsProcessed(state.iterations() * frames * 4);
}

void BM_Load(benchmark::State& state) {
  const int frames = static_cast<int>(state.range(0));
  const std::string& path = ConfigFile(frames);
  for (auto _ : state) {
    TZOR_RAM* ram = _LoadFile(path.c_str());
    benchmark::DoNotOptimize(ram);
    state.PauseTiming();
    _FreeRAM(ram);
    state.ResumeTiming();
  }
  SetItems(state, frames);
}

void BM_Update(benchmark::State& state) {
  const int frames = static_cast<int>(state.range(0));
  std::unique_ptr<ZOR_RAM::TZOR_RAM> ram(zorbench::GenerateConfig(frames));
  for (auto _ : state) ram->Update();
  SetItems(state, frames);
}

void BM_Check(benchmark::State& state) {
  const int frames = static_cast<int>(state.range(0));
  std::unique_ptr<ZOR_RAM::TZOR_RAM> ram(zorbench::GenerateConfig(frames));
  ram->Update();
  for (auto _ : state) benchmark::DoNotOptimize(ZOR_RAM::CheckDatabase(*ram, 3));
  SetItems(state, frames);
}

void BM_Save(benchmark::State& state) {
  const int frames = static_cast<int>(state.range(0));
  std::unique_ptr<ZOR_RAM::TZOR_RAM> ram(zorbench::GenerateConfig(frames));
  std::string path = "/tmp/zor_bench_save_" + std::to_string(frames) + ".xml";
  for (auto _ : state) benchmark::DoNotOptimize(_SaveRAM(ram.get(), path.c_str()));
  std::remove(path.c_str());
  SetItems(state, frames);
}

void BM_Free(benchmark::State& state) {
  const int frames = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    TZOR_RAM* ram = zorbench::GenerateConfig(frames);
    state.ResumeTiming();
    _FreeRAM(ram);
  }
  SetItems(state, frames);
}

#define ZOR_SIZES ->Arg(2500)->Arg(25000)->Unit(benchmark::kMillisecond)
BENCHMARK(BM_Load) ZOR_SIZES;
BENCHMARK(BM_Update) ZOR_SIZES;
BENCHMARK(BM_Check) ZOR_SIZES;
BENCHMARK(BM_Save) ZOR_SIZES;
BENCHMARK(BM_Free) ZOR_SIZES;

}  // namespace
