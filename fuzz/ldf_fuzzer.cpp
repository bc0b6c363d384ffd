// Feeds arbitrary bytes to the LDF reader, then runs what a host does with an
// accepted import: update, check, LIN diagnostic objects, export. The export
// of an accepted cluster must read back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "zor/QXML/qxml_text.h"
#include "zor/interop/interop.h"
#include "zor/io/messages.h"
#include "zor/model/ram.h"
#include "zor/zor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ZOR_RAM;
  SetUtf8WarnHandler([](const char*) {});
  zor::SetSinks({[](const char*) {}, [](const char*) {}, 0, [](int32_t, const char*) {}});
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  TZOR_RAM ram;
  interop::DiagnosticLog log;
  if (!interop::ImportText(ram, interop::Format::Ldf, "fuzz.ldf", bytes, {}, log)) return 0;
  _CheckRAM(&ram, 3);
  std::string text;
  if (!interop::ExportText(ram, interop::Format::Ldf, {}, text, log)) return 0;
  TZOR_RAM again;
  interop::DiagnosticLog againLog;
  if (!interop::ImportText(again, interop::Format::Ldf, "fuzz.ldf", text, {}, againLog)) __builtin_trap();
  _CreateLINdiagObjects(&ram);
  _CheckRAM(&ram, 3);
  return 0;
}
