// The module version record: the library's file version, embedded in the
// library file itself and read back from that file at run time, so that a file
// without the record reports no version.
#pragma once

#include <cstdint>
#include <string>

namespace zor {

struct ModuleVersion {
  uint16_t Major = 0;
  uint16_t Minor = 0;
  uint16_t Release = 0;
  uint16_t Build = 0;
};

#ifndef _WIN32
// The bytes that open the record in the file (built at run time; the program
// text holds them only in masked form, so the record is their one occurrence).
// On Windows the record is the file's version resource instead.
std::string VersionRecordMagic();
#endif

// Reads the first version record in the file at path (a code page text);
// false when the file cannot be read or holds no complete record.
bool ReadVersionRecord(const std::string& path, ModuleVersion* version);

// Reads the record of the module file that holds this code.
bool ReadOwnVersionRecord(ModuleVersion* version);

// The path of the module file that holds this code (the shared library, or
// the program when the code is linked statically); "" when unknown.
std::string OwnModulePath();

}  // namespace zor
