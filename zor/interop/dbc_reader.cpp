#include "zor/interop/dbc.h"

namespace ZOR_RAM::interop {

TNetwork* ReadDbc(TZOR_RAM&, const std::string& fileName, std::string_view, const ImportOptions&, DiagnosticLog&) {
  throw SyntaxError({Diagnostic::Severity::Error, fileName, {}, "DBC import is not available"});
}

}  // namespace ZOR_RAM::interop
