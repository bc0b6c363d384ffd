// DBC import of a generated file of about 10 MB, beside the load of the
// configuration file that the import writes: import must not be slower.
// Also a shape that once grew with the square of its size: every frame from
// a node of its own, all with signals of the same names.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "zor/interface/file_frame.h"
#include "zor/interop/interop.h"
#include "zor/model/ram.h"
#include "zor/zor.h"

namespace {

constexpr int kFrames = 12000;  // about 10 MB of DBC text

std::string GenerateDbc(int frames) {
  std::string s = "VERSION \"bench\"\n\nNS_ :\n\tCM_\n\tBA_DEF_\n\tBA_\n\tVAL_\n\nBS_:\n\nBU_:";
  for (int n = 0; n < 16; ++n) s += " Node" + std::to_string(n);
  s += "\n\n";
  std::string tail;
  for (int f = 0; f < frames; ++f) {
    const std::string id = std::to_string(f < 2000 ? f + 1 : 0x80000000u + static_cast<unsigned>(f));
    const std::string name = "Frame" + std::to_string(f);
    s += "BO_ " + id + " " + name + ": 8 Node" + std::to_string(f % 16) + "\n";
    for (int k = 0; k < 8; ++k) {
      const std::string sig = name + "_Sig" + std::to_string(k);
      s += " SG_ " + sig + " : " + std::to_string(k * 8) + "|8@1" + (k % 2 ? "-" : "+") +
           " (0.5,-10) [-10|117.5] \"unit\" Node" + std::to_string((f + 1) % 16) + ",Node" +
           std::to_string((f + 2) % 16) + "\n";
      if (k == 0) tail += "VAL_ " + id + " " + sig + " 2 \"Error\" 1 \"On\" 0 \"Off\" ;\n";
      if (k == 1) tail += "CM_ SG_ " + id + " " + sig + " \"Signal comment of " + sig + "\";\n";
    }
    s += "\n";
    tail += "BA_ \"GenMsgCycleTime\" BO_ " + id + " " + std::to_string(10 * (1 + f % 10)) + ";\n";
    tail += "CM_ BO_ " + id + " \"Frame comment of " + name + "\";\n";
  }
  s += "BA_DEF_ BO_  \"GenMsgCycleTime\" INT 0 65535;\nBA_DEF_DEF_  \"GenMsgCycleTime\" 0;\n";
  return s + tail;
}

struct Files {
  std::string Dbc = "/tmp/zor_bench_interop.dbc";
  std::string Config = "/tmp/zor_bench_interop.xml";
  size_t DbcBytes = 0;
};

const Files& BenchFiles() {
  static Files files = [] {
    Files f;
    std::string text = GenerateDbc(kFrames);
    f.DbcBytes = text.size();
    std::FILE* out = std::fopen(f.Dbc.c_str(), "wb");
    if (out) {
      std::fwrite(text.data(), 1, text.size(), out);
      std::fclose(out);
    }
    ZOR_RAM::TZOR_RAM ram;
    ZOR_RAM::interop::DiagnosticLog log;
    ZOR_RAM::interop::ImportFile(ram, f.Dbc, {}, log);
    ZOR_RAM::SaveFile(ram, f.Config);
    return f;
  }();
  return files;
}

void BM_DbcImport10MB(benchmark::State& state) {
  const Files& files = BenchFiles();
  for (auto _ : state) {
    auto ram = std::make_unique<ZOR_RAM::TZOR_RAM>();
    ZOR_RAM::interop::DiagnosticLog log;
    benchmark::DoNotOptimize(ZOR_RAM::interop::ImportFile(*ram, files.Dbc, {}, log));
    state.PauseTiming();
    ram.reset();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * files.DbcBytes));
  state.counters["frames"] = kFrames;
}

void BM_DbcImportedConfigLoad(benchmark::State& state) {
  const Files& files = BenchFiles();
  for (auto _ : state) {
    TZOR_RAM* ram = _LoadFile(files.Config.c_str());
    benchmark::DoNotOptimize(ram);
    state.PauseTiming();
    _FreeRAM(ram);
    state.ResumeTiming();
  }
  state.counters["frames"] = kFrames;
}

// Frames each sent by a node of their own and received by the next, each with
// a "CRC" and a "Counter" signal: the import then the update pass. One run
// each, as a user imports a file: repeated runs in one process measure how
// the allocator copes with the freed databases of the runs before.
void BM_DbcImportNodePerFrameSameNames(benchmark::State& state) {
  const int frames = static_cast<int>(state.range(0));
  std::string text = "VERSION \"\"\n\nNS_ :\n\nBS_:\n\nBU_:";
  for (int n = 0; n < frames; ++n) text += " N" + std::to_string(n);
  text += "\n\n";
  for (int f = 0; f < frames; ++f) {
    const std::string receiver = " N" + std::to_string((f + 1) % frames) + "\n";
    text += "BO_ " + std::to_string(f) + " M" + std::to_string(f) + ": 8 N" + std::to_string(f) + "\n";
    text += " SG_ CRC : 0|8@1+ (1,0) [0|255] \"\"" + receiver;
    text += " SG_ Counter : 8|4@1+ (1,0) [0|15] \"\"" + receiver + "\n";
  }
  for (auto _ : state) {
    auto ram = std::make_unique<ZOR_RAM::TZOR_RAM>();
    ZOR_RAM::interop::DiagnosticLog log;
    benchmark::DoNotOptimize(
        ZOR_RAM::interop::ImportText(*ram, ZOR_RAM::interop::Format::Dbc, "bench.dbc", text, {}, log));
    ram->Update();
    state.PauseTiming();
    ram.reset();
    state.ResumeTiming();
  }
  state.counters["frames"] = frames;
}

BENCHMARK(BM_DbcImport10MB)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_DbcImportNodePerFrameSameNames)->Arg(2000)->Arg(8000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_DbcImportedConfigLoad)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
