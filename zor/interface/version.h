// The library's version texts and the file format version it writes.
#pragma once

#include <cstdint>
#include <string>

#include "zor/zor.h"

namespace zor {

// Reads the version record of the library's own file into the process-wide
// record (all zero and valid false when the file has none), copies its 20
// bytes into *record when record is not null, and returns record.
ZorVersion* GetDllVersion(ZorVersion* record);

// "major.minor.release.build" with the build padded to three digits
// ("2.1.7.007"), or "unknown" without a version record. The text is owned
// by the library and valid until the next call.
const char* GetVerStr();

// ZOR_RAM::kCurrentFileVersion.
const char* GetCurrentFileVerStr();

// "%d.%d.%d.%03d" of the four numbers.
std::string FormatVersion(int32_t major, int32_t minor, int32_t release, int32_t build);

}  // namespace zor
