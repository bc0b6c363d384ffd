// Load throughput of the XML document on a large generated configuration
// file, optionally next to pugixml's DOM parser on the same file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "zor/QXML/QXMLDocument.h"

#ifdef ZOR_BENCH_PUGIXML
#include <pugixml.hpp>
#endif

namespace {

// Writes a configuration-shaped file of roughly targetBytes into the build
// folder (the working directory of the benchmark) once, and returns its path.
const std::string& LargeFile() {
  static const std::string path = [] {
    const std::string name = "/tmp/zor_xml_bench_large.xml";
    const size_t targetBytes = 40u << 20;
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    std::string s;
    s += "<?xml version=\"1.0\"?>\r\n<Measurement_Config_File>\r\n";
    s += "  <ZORInfo>\r\n    <Version>2.000</Version>\r\n    <Description>Benchmark</Description>\r\n  </ZORInfo>\r\n";
    s += "  <Networks>\r\n";
    out << s;
    size_t written = s.size();
    for (int n = 0; written < targetBytes; ++n) {
      s.clear();
      s += "    <Network>\r\n      <ZORId>Network" + std::to_string(n) + "</ZORId>\r\n";
      s += "      <Name>Network &amp; bus " + std::to_string(n) + "</Name>\r\n";
      s += "      <Speed>500000</Speed>\r\n      <Protocol>CAN</Protocol>\r\n";
      s += "      <!-- frames of network " + std::to_string(n) + " -->\r\n      <NetFrames>\r\n";
      for (int f = 0; f < 20; ++f) {
        std::string id = std::to_string(n * 20 + f);
        s += "        <NetFrame kind=\"std\">\r\n";
        s += "          <ZORId>NetFrame" + id + "</ZORId>\r\n";
        s += "          <Name>Frame_" + id + "</Name>\r\n";
        s += "          <Identifier>0x" + std::to_string(100 + f) + "</Identifier>\r\n";
        s += "          <Length>8</Length>\r\n          <Period>10.000</Period>\r\n";
        s += "          <Signals><NetSig>Sig" + id + "_0</NetSig><NetSig>Sig" + id + "_1</NetSig></Signals>\r\n";
        s += "        </NetFrame>\r\n";
      }
      s += "      </NetFrames>\r\n    </Network>\r\n";
      out << s;
      written += s.size();
    }
    out << "  </Networks>\r\n</Measurement_Config_File>\r\n";
    return std::filesystem::absolute(name).string();
  }();
  return path;
}

void BM_QXMLDocumentLoad(benchmark::State& state) {
  const std::string& path = LargeFile();
  const auto size = static_cast<int64_t>(std::filesystem::file_size(path));
  for (auto _ : state) {
    TQXMLDocument doc(nullptr);
    doc.AutoValidate = true;
    bool failed = doc.LoadFromFile(path);
    if (failed) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(doc.GetRoot());
  }
  state.SetBytesProcessed(state.iterations() * size);
}
BENCHMARK(BM_QXMLDocumentLoad)->Unit(benchmark::kMillisecond)->UseRealTime();

// One element carrying state.range(0) attributes (each name twice, so every
// second one replaces a value): the cost must grow linearly with the count.
void BM_QXMLManyAttributes(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  std::string text = "<e";
  for (int i = 0; i < count; ++i) text += " a" + std::to_string(i / 2) + "='" + std::to_string(i) + "'";
  text += "/>";
  for (auto _ : state) {
    TQXMLDocument doc(nullptr);
    std::istringstream in(text);
    if (doc.LoadFromStream(in)) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(doc.GetRoot());
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_QXMLManyAttributes)->Arg(62500)->Arg(250000)->Unit(benchmark::kMillisecond)->UseRealTime();

#ifdef ZOR_BENCH_PUGIXML
void BM_PugixmlLoad(benchmark::State& state) {
  const std::string& path = LargeFile();
  const auto size = static_cast<int64_t>(std::filesystem::file_size(path));
  for (auto _ : state) {
    pugi::xml_document doc;
    pugi::xml_parse_result result = doc.load_file(path.c_str());
    if (!result) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(doc.first_child());
  }
  state.SetBytesProcessed(state.iterations() * size);
}
BENCHMARK(BM_PugixmlLoad)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

}  // namespace
