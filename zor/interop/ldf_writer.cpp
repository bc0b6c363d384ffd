#include "zor/interop/ldf.h"

namespace ZOR_RAM::interop {

std::string WriteLdf(TZOR_RAM&, TNetwork&, DiagnosticLog& log) {
  log.Error("", {}, "LDF export is not available");
  return {};
}

}  // namespace ZOR_RAM::interop
