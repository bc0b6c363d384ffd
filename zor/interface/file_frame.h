// The configuration file frame: root, header, sections, and the drivers that
// load and save a whole database.
#pragma once

#include <string>

class TQXMLNode;

namespace ZOR_RAM {

class TZOR_RAM;

// The format version a new database is saved with.
inline constexpr const char* kCurrentFileVersion = "2.000";

// Whether version is one of the six supported format versions (ignoring case).
bool IsSupportedVersion(const std::string& version);

// A new database loaded from fileName, after the update pass; null on failure
// (the error sink has had the one message that describes it, if any).
TZOR_RAM* LoadDatabase(const std::string& fileName);

// The load driver; true on failure.
bool LoadFile(const std::string& fileName, TZOR_RAM* ram);
bool CheckHeader(TQXMLNode* root, TZOR_RAM* ram);
bool LoadSections(TQXMLNode* root, TZOR_RAM* ram);
// The save driver; true on failure (an existing file is then untouched).
bool SaveFile(TZOR_RAM& ram, const std::string& fileName);

}  // namespace ZOR_RAM
