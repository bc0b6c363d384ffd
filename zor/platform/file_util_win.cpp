// Windows file helpers: names go to the wide calls through the code page
// layer; saves go through a temporary file beside the final target and
// ReplaceFileW (which keeps the replaced file's attributes and security) or
// MoveFileExW, so that a failed save leaves the old file intact.
#include <windows.h>

#include <cstdint>
#include <string>

#include "zor/platform/file_name.h"
#include "zor/platform/file_util.h"

namespace zor {
namespace {

// Closes a handle when the scope ends.
class Handle {
 public:
  explicit Handle(HANDLE handle) : Handle_(handle) {}
  ~Handle() {
    if (Valid()) ::CloseHandle(Handle_);
  }
  Handle(Handle&& other) noexcept : Handle_(other.Handle_) { other.Handle_ = INVALID_HANDLE_VALUE; }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  Handle& operator=(Handle&&) = delete;
  bool Valid() const { return Handle_ != INVALID_HANDLE_VALUE && Handle_ != nullptr; }
  HANDLE Get() const { return Handle_; }
  // Closes now; false when closing failed.
  bool Close() {
    const bool ok = !Valid() || ::CloseHandle(Handle_) != 0;
    Handle_ = INVALID_HANDLE_VALUE;
    return ok;
  }

 private:
  HANDLE Handle_;
};

// The system's text for an error code, without the trailing period and line end.
std::string SystemMessage(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
      0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = n ? std::wstring(buffer, n) : L"Error " + std::to_wstring(code);
  if (buffer) ::LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' || text.back() == L'.'))
    text.pop_back();
  return CodePageName(std::filesystem::path(text));
}

std::string Reason(const char* what, const std::string& name, const std::string& why) {
  return std::string(what) + " \"" + name + "\". " + why;
}

// The path for the wide calls. A full path near MAX_PATH takes its "\\?\"
// form, so that names as long as the file system allows work, also with the
// temporary file's name beside them.
std::wstring SystemPath(const std::string& fileName) {
  const std::wstring path = NativePath(fileName).native();
  const DWORD n = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (n == 0) return path;
  std::wstring full(n, L'\0');
  const DWORD written = ::GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
  if (written == 0 || written >= n) return path;
  full.resize(written);
  if (full.size() + 20 < MAX_PATH || full.rfind(L"\\\\", 0) == 0) return path;  // short, or a \\?\, device or network path
  return L"\\\\?\\" + full;
}

// What a save needs to know about the file it replaces.
struct Target {
  std::wstring Path;  // where the data goes: the final target of a link
  bool Exists = false;
};

// Opens the existing file or link target without following the open into
// anything (no access beyond its attributes) and refuses what a save must not
// replace. False with *error set when the save must not go on.
bool InspectTarget(const std::wstring& name, const std::string& fileName, Target* target, std::string* error) {
  target->Path = name;
  const DWORD nameAttributes = ::GetFileAttributesW(name.c_str());
  const bool isLink = nameAttributes != INVALID_FILE_ATTRIBUTES && (nameAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
  Handle file(::CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.Valid()) {
    const DWORD code = ::GetLastError();
    if (isLink) {
      *error = Reason("Cannot create file", fileName, "The target of the link cannot be reached: " + SystemMessage(code));
      return false;
    }
    // A missing file is created; other failures show when the file is replaced.
    return true;
  }
  target->Exists = true;
  if (::GetFileType(file.Get()) != FILE_TYPE_DISK) {
    *error = Reason("Cannot create file", fileName, "It is not a regular file");
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file.Get(), &info)) {
    *error = Reason("Cannot create file", fileName, SystemMessage(::GetLastError()));
    return false;
  }
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    *error = Reason("Cannot create file", fileName, "It is a directory");
    return false;
  }
  if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
    *error = Reason("Cannot create file", fileName, "The file is read-only");
    return false;
  }
  // Write through links: the data replaces the final target, the link stays.
  // The final path is taken for every file, since links that the system
  // resolves itself (such as POSIX links under Wine) carry no reparse point.
  std::wstring finalPath(MAX_PATH, L'\0');
  DWORD n = ::GetFinalPathNameByHandleW(file.Get(), finalPath.data(), static_cast<DWORD>(finalPath.size()), 0);
  if (n >= finalPath.size()) {
    finalPath.resize(n + 1);
    n = ::GetFinalPathNameByHandleW(file.Get(), finalPath.data(), static_cast<DWORD>(finalPath.size()), 0);
  }
  if (n > 0 && n < finalPath.size()) {
    finalPath.resize(n);
    target->Path = finalPath;
  } else if (isLink) {
    *error = Reason("Cannot create file", fileName, SystemMessage(::GetLastError()));
    return false;
  }
  return true;
}

// The folder part of a path, with its separator ("" for a bare name).
std::wstring FolderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  if (slash != std::wstring::npos) return path.substr(0, slash + 1);
  if (path.size() >= 2 && path[1] == L':') return path.substr(0, 2);
  return {};
}

// Creates a new, empty temporary file with a short name in the target's
// folder, so that the target's own name may be as long as the system allows.
Handle CreateTempFile(const std::wstring& folder, std::wstring* tempPath) {
  static uint32_t counter = 0;
  const uint32_t seed = ::GetCurrentProcessId() * 2654435761u ^ ::GetTickCount();
  for (int attempt = 0; attempt < 100; ++attempt) {
    wchar_t name[16];
    ::swprintf(name, 16, L"zor%08lx.tmp", static_cast<unsigned long>(seed + ++counter));
    *tempPath = folder + name;
    Handle file(::CreateFileW(tempPath->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Valid() || ::GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return Handle(INVALID_HANDLE_VALUE);
}

}  // namespace

bool FileExists(const std::string& fileName) {
  const DWORD attributes = ::GetFileAttributesW(SystemPath(fileName).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool WriteFileAtomically(const std::string& fileName, std::string_view data, std::string* error) {
  const std::wstring name = SystemPath(fileName);
  Target target;
  if (!InspectTarget(name, fileName, &target, error)) return false;
  std::wstring temp;
  Handle file = CreateTempFile(FolderOf(target.Path), &temp);
  if (!file.Valid()) {
    *error = Reason("Cannot create file", fileName, SystemMessage(::GetLastError()));
    return false;
  }
  const char* p = data.data();
  size_t left = data.size();
  bool ok = true;
  while (ok && left > 0) {
    const DWORD chunk = static_cast<DWORD>(left < (1u << 30) ? left : (1u << 30));
    DWORD written = 0;
    ok = ::WriteFile(file.Get(), p, chunk, &written, nullptr) && written > 0;
    p += written;
    left -= written;
  }
  ok = ok && ::FlushFileBuffers(file.Get());
  DWORD code = ok ? 0 : ::GetLastError();
  if (!file.Close() && ok) {
    ok = false;
    code = ::GetLastError();
  }
  if (!ok) {
    ::DeleteFileW(temp.c_str());
    *error = Reason("Cannot write file", fileName, SystemMessage(code));
    return false;
  }
  // ReplaceFileW keeps the replaced file's attributes, times and security.
  // When it fails the old file may still be in place under its name, and
  // MoveFileExW replaces it in one step or leaves it alone.
  if (target.Exists &&
      ::ReplaceFileW(target.Path.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
    return true;
  }
  if (::MoveFileExW(temp.c_str(), target.Path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
  code = ::GetLastError();
  ::DeleteFileW(temp.c_str());
  *error = Reason("Cannot create file", fileName, SystemMessage(code));
  return false;
}

}  // namespace zor
