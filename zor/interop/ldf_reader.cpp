#include "zor/interop/ldf.h"

namespace ZOR_RAM::interop {

TNetwork* ReadLdf(TZOR_RAM&, const std::string& fileName, std::string_view, const ImportOptions&, DiagnosticLog&) {
  throw SyntaxError({Diagnostic::Severity::Error, fileName, {}, "LDF import is not available"});
}

}  // namespace ZOR_RAM::interop
