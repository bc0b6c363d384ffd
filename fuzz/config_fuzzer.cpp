// Feeds arbitrary bytes to the configuration loader as a file, then runs
// everything a host may do with what was accepted: update, check, LIN
// diagnostic objects, save, reload.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "zor/QXML/qxml_text.h"
#include "zor/zor.h"

namespace {
std::string TempName(const char* what) {
  return "/tmp/zor_config_fuzz_" + std::to_string(::getpid()) + "_" + what + ".xml";
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string input = TempName("in");
  static const std::string output = TempName("out");
  SetUtf8WarnHandler([](const char*) {});
  std::FILE* f = std::fopen(input.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  TZOR_RAM* ram = _LoadFile(input.c_str());
  if (!ram) return 0;
  _CheckRAM(ram, 3);
  _CreateLINdiagObjects(ram);
  _CheckRAM(ram, 3);
  if (!_SaveRAM(ram, output.c_str())) _FreeRAM(_LoadFile(output.c_str()));
  _FreeRAM(ram);
  return 0;
}
