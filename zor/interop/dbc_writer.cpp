#include "zor/interop/dbc.h"

namespace ZOR_RAM::interop {

std::string WriteDbc(TZOR_RAM&, TNetwork&, DiagnosticLog& log) {
  log.Error("", {}, "DBC export is not available");
  return {};
}

}  // namespace ZOR_RAM::interop
