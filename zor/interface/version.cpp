#include "zor/interface/version.h"

#include <cstdio>
#include <cstring>

#include "zor/model/ram.h"
#include "zor/platform/version_record.h"

namespace zor {
namespace {

ZorVersion g_version;   // the process-wide record, refilled by every call
char g_verText[64];     // the text GetVerStr hands out

}  // namespace

static_assert(sizeof(ZorVersion) == 20, "the version record is 20 bytes");

ZorVersion* GetDllVersion(ZorVersion* record) {
  std::memset(&g_version, 0, sizeof g_version);
  ModuleVersion version;
  if (ReadOwnVersionRecord(&version)) {
    g_version.major = version.Major;
    g_version.minor = version.Minor;
    g_version.release = version.Release;
    g_version.build = version.Build;
    g_version.valid = true;
  }
  if (record) std::memcpy(record, &g_version, sizeof g_version);
  return record;
}

const char* GetVerStr() {
  ZorVersion version;
  GetDllVersion(&version);
  const std::string text =
      version.valid ? FormatVersion(version.major, version.minor, version.release, version.build) : "unknown";
  std::snprintf(g_verText, sizeof g_verText, "%s", text.c_str());
  return g_verText;
}

const char* GetCurrentFileVerStr() { return ZOR_RAM::kCurrentFileVersion; }

std::string FormatVersion(int32_t major, int32_t minor, int32_t release, int32_t build) {
  char text[64];
  std::snprintf(text, sizeof text, "%d.%d.%d.%03d", major, minor, release, build);
  return text;
}

}  // namespace zor
