// Description files (DBC for CAN, LDF for LIN) in and out of a database.
//
// An import reads one file and adds one network with everything that hangs
// from it to a database; it never changes items that were there before, and
// a failed import leaves the database exactly as it was. An export writes one
// network. Warnings (what the model cannot hold, what was approximated) and
// the one error of a failure are collected in a DiagnosticLog, each with file,
// line and column where the text has them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "zor/interop/diagnostics.h"
#include "zor/zor.h"

namespace ZOR_RAM {
class TNetwork;
}

namespace ZOR_RAM::interop {

enum class Format { Unknown, Configuration, Dbc, Ldf };

// From the file name's extension, without regard to case: ".xml" (and every
// other name) is a configuration, ".dbc" and ".ldf" description files.
ZOR_API Format FormatFromFileName(std::string_view fileName);
// From the first keyword of the text: a DBC section keyword, the LDF header
// "LIN_description_file", or "<" for XML; Unknown otherwise.
ZOR_API Format FormatFromContent(std::string_view text);
// "configuration", "DBC", "LDF", "unknown".
ZOR_API const char* FormatName(Format format);

struct ImportOptions {
  std::string NetworkName;  // empty: the name the file gives, else the file's base name
  int32_t Speed = 0;        // bit/s; 0: what the file says (or the format's usual default)
};

struct ExportOptions {
  std::string NetworkName;  // empty: the only network of the format's kind
};

// Reads fileName (its format from the extension, confirmed by its content)
// into ram. Returns the new network, or null on failure (the log's error says
// why; ram is unchanged).
ZOR_API TNetwork* ImportFile(TZOR_RAM& ram, const std::string& fileName, const ImportOptions& options,
                             DiagnosticLog& log);
// As ImportFile, with the format given (the content must agree).
ZOR_API TNetwork* ImportFileAs(TZOR_RAM& ram, Format format, const std::string& fileName,
                               const ImportOptions& options, DiagnosticLog& log);
// Reads the bytes of a file already in memory; fileName only names it in messages.
ZOR_API TNetwork* ImportText(TZOR_RAM& ram, Format format, const std::string& fileName, std::string_view bytes,
                             const ImportOptions& options, DiagnosticLog& log);

// Runs the update pass and writes one network as text of the format. False on
// failure (no such network, several candidates, ...), with the error in log.
ZOR_API bool ExportText(TZOR_RAM& ram, Format format, const ExportOptions& options, std::string& text,
                        DiagnosticLog& log);
// As ExportText into fileName (format from its extension unless given), saved
// whole or not at all: an existing file is left untouched on failure.
ZOR_API bool ExportFile(TZOR_RAM& ram, const std::string& fileName, const ExportOptions& options,
                        DiagnosticLog& log, Format format = Format::Unknown);

}  // namespace ZOR_RAM::interop
