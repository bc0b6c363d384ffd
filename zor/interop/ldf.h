// LDF (LIN description file) reader and writer.
#pragma once

#include <string>
#include <string_view>

#include "zor/interop/interop.h"

namespace ZOR_RAM::interop {

// Reads decoded LDF text (see DecodeSourceText) and adds one LIN network to
// ram. Throws SyntaxError at the first syntax error; warnings go to log.
TNetwork* ReadLdf(TZOR_RAM& ram, const std::string& fileName, std::string_view text,
                  const ImportOptions& options, DiagnosticLog& log);

// The LDF text of network (a LIN network of ram).
std::string WriteLdf(TZOR_RAM& ram, TNetwork& network, DiagnosticLog& log);

}  // namespace ZOR_RAM::interop
