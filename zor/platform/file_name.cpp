#include "zor/platform/file_name.h"

#include "zor/platform/codepage.h"

namespace zor {

#ifdef _WIN32
static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide texts are UTF-16");

std::filesystem::path NativePath(std::string_view codePageName) {
  const std::u16string wide = CodePageToWide(codePageName);
  return std::filesystem::path(std::wstring(wide.begin(), wide.end()));
}

std::string CodePageName(const std::filesystem::path& path) {
  const std::wstring& wide = path.native();
  return WideToCodePage(std::u16string(wide.begin(), wide.end()));
}
#else
std::filesystem::path NativePath(std::string_view codePageName) { return std::filesystem::path(codePageName); }

std::string CodePageName(const std::filesystem::path& path) { return path.native(); }
#endif

}  // namespace zor
