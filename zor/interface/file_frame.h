// The configuration file frame: root, header, sections, and the drivers that
// load and save a whole database.
#pragma once

#include <cstdint>
#include <string>

#include "zor/model/ram.h"
#include "zor/zor.h"

class TQXMLNode;

namespace ZOR_RAM {

// Whether version is one of kSupportedFileVersions (ignoring case).
ZOR_API bool IsSupportedVersion(const std::string& version);

// A new database loaded from fileName, after the update pass; null on failure
// (the error sink has had the one message that describes it, if any).
TZOR_RAM* LoadDatabase(const std::string& fileName);

// Byte offset in the file where the XML reading of the last LoadFile on this
// thread stopped on an error (after a UTF-8 byte-order mark); -1 when that
// load did not stop inside the XML text.
ZOR_API int64_t LastLoadStopOffset();

// The load driver; true on failure.
bool LoadFile(const std::string& fileName, TZOR_RAM* ram);
bool CheckHeader(TQXMLNode* root, TZOR_RAM* ram);
bool LoadSections(TQXMLNode* root, TZOR_RAM* ram);
// The save driver; true on failure (an existing file is then untouched).
bool SaveFile(TZOR_RAM& ram, const std::string& fileName);
// The bytes SaveFile writes, into text instead of a file; true on failure.
bool SaveToText(TZOR_RAM& ram, std::string& text);
// For hosts: what _SaveRAM would write to a file (after the same update
// pass), into text; true on failure, after reporting the error.
ZOR_API bool SaveRamToText(TZOR_RAM* ram, std::string& text);

}  // namespace ZOR_RAM
