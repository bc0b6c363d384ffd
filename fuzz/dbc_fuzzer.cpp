// Feeds arbitrary bytes to the DBC reader, then runs what a host does with an
// accepted file: update, check, export, and the import of that export, which
// must succeed. A failed import must leave the database empty.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "zor/interface/check_driver.h"
#include "zor/interop/interop.h"
#include "zor/model/ram.h"

using namespace ZOR_RAM;

namespace {
int ItemCount(TZOR_RAM& ram) {
  int n = 0;
  ram.ForEachList([&](TList& list) { n += list.Count(); });
  return n;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  TZOR_RAM ram;
  interop::DiagnosticLog log;
  if (!interop::ImportText(ram, interop::Format::Dbc, "fuzz.dbc", bytes, {}, log)) {
    if (ItemCount(ram) != 0) std::abort();
    return 0;
  }
  CheckDatabase(ram, 3);
  std::string text;
  if (!interop::ExportText(ram, interop::Format::Dbc, {}, text, log)) return 0;
  TZOR_RAM again;
  interop::DiagnosticLog log2;
  if (!interop::ImportText(again, interop::Format::Dbc, "again.dbc", text, {}, log2)) std::abort();
  return 0;
}
