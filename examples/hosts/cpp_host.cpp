// A C++ host: loads a configuration, walks its networks, frames and signals,
// renames a signal, checks with the code and severity of each finding, and
// saves. Usage: cpp_host IN.xml OUT.xml
#include <cstdio>
#include <string>

#include <zor/check/findings.h>
#include <zor/items.h>
#include <zor/zor.h>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: cpp_host IN.xml OUT.xml\n");
    return 2;
  }
  _Init([](const char* text) { std::fprintf(stderr, "error: %s\n", text); }, nullptr, 0, nullptr);
  TZOR_RAM* ram = _LoadFile(argv[1]);
  if (!ram) return 2;

  for (ZOR_RAM::TNetwork* network : ram->Networks) {
    const auto& frames = network->GetFrames();
    std::printf("network %s: %d frames\n", network->Name.c_str(), frames.Count());
    for (ZOR_RAM::TNetFrame* frame : frames) {
      std::printf("  frame %s id 0x%X, %d bytes\n", frame->Name.c_str(), static_cast<unsigned>(frame->FrameId),
                  static_cast<int>(frame->Size));
      for (ZOR_RAM::TNetSig* placement : frame->NetSigs)
        if (placement->Signal) std::printf("    signal %s\n", placement->Signal->Name.c_str());
    }
  }

  // Items are plain classes: edit a field, then let the library check again.
  if (ram->Signals.Count() > 0) ram->Signals.Get(0)->Name += "_renamed";
  int errors = 0, warnings = 0;
  ZOR_RAM::SetFindingObserver([&](int code, int severity, const std::string& text) {
    (severity == ZOR_RAM::kFindingError ? errors : warnings)++;
    std::printf("  [%03d] %s\n", code, text.c_str());
  });
  _CheckRAM(ram, ZOR_RAM::kCheckUnique | ZOR_RAM::kCheckAll);
  ZOR_RAM::SetFindingObserver(nullptr);
  std::printf("check: %d errors, %d warnings\n", errors, warnings);

  bool failed = _SaveRAM(ram, argv[2]);
  _FreeRAM(ram);
  return failed ? 2 : 0;
}
