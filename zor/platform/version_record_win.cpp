// The module version record on Windows: the VERSIONINFO resource of the
// module file (cmake/zor_version.rc), read from the file at call time, so
// that the file's properties in Windows show the version _GetDllVersion
// returns, and a file without the resource reports none.
#include <windows.h>

#include <vector>

#include "zor/platform/file_name.h"
#include "zor/platform/version_record.h"

namespace zor {
namespace {

constexpr DWORD kFixedInfoSignature = 0xFEEF04BD;

bool ReadVersionResource(const wchar_t* path, ModuleVersion* version) {
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path, &ignored);
  if (size == 0) return false;
  std::vector<unsigned char> data(size);
  if (!::GetFileVersionInfoW(path, 0, size, data.data())) return false;
  void* block = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(data.data(), L"\\", &block, &length) || length < sizeof(VS_FIXEDFILEINFO)) return false;
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(block);
  if (info->dwSignature != kFixedInfoSignature) return false;
  version->Major = HIWORD(info->dwFileVersionMS);
  version->Minor = LOWORD(info->dwFileVersionMS);
  version->Release = HIWORD(info->dwFileVersionLS);
  version->Build = LOWORD(info->dwFileVersionLS);
  return true;
}

void AddressInThisModule() {}

// The module file that holds this code: zor.dll, or the program that links
// the library statically.
std::wstring OwnModuleWidePath() {
  HMODULE module = nullptr;
  if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&AddressInThisModule), &module)) {
    return {};
  }
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace

bool ReadVersionRecord(const std::string& path, ModuleVersion* version) {
  return ReadVersionResource(NativePath(path).c_str(), version);
}

bool ReadOwnVersionRecord(ModuleVersion* version) {
  const std::wstring path = OwnModuleWidePath();
  return !path.empty() && ReadVersionResource(path.c_str(), version);
}

std::string OwnModulePath() { return CodePageName(OwnModuleWidePath()); }

}  // namespace zor
