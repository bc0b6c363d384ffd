// DBC (CAN description file) reader and writer.
#pragma once

#include <string>
#include <string_view>

#include "zor/interop/interop.h"

namespace ZOR_RAM::interop {

// Reads decoded DBC text (see DecodeSourceText) and adds one CAN network to
// ram. Throws SyntaxError at the first syntax error; warnings go to log.
TNetwork* ReadDbc(TZOR_RAM& ram, const std::string& fileName, std::string_view text,
                  const ImportOptions& options, DiagnosticLog& log);

// The DBC text of network (a CAN or J1939 network of ram).
std::string WriteDbc(TZOR_RAM& ram, TNetwork& network, DiagnosticLog& log);

}  // namespace ZOR_RAM::interop
