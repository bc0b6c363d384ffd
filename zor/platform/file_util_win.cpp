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
  // Hands the handle over to the caller.
  HANDLE Release() {
    HANDLE handle = Handle_;
    Handle_ = INVALID_HANDLE_VALUE;
    return handle;
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

// Refuses what a save must not replace and finds where the data goes: the
// existing file or, through links, their final target. Opens the name with no
// access beyond its attributes. Returns the reason for refusing ("" to go on).
std::string InspectTarget(const std::wstring& name, std::wstring* target, bool* exists) {
  *target = name;
  *exists = false;
  const DWORD nameAttributes = ::GetFileAttributesW(name.c_str());
  const bool isLink = nameAttributes != INVALID_FILE_ATTRIBUTES && (nameAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
  Handle file(::CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.Valid()) {
    const DWORD code = ::GetLastError();
    if (isLink) return "The target of the link cannot be reached: " + SystemMessage(code);
    // A missing file is created; other failures show when the file is replaced.
    return {};
  }
  *exists = true;
  if (::GetFileType(file.Get()) != FILE_TYPE_DISK) return "It is not a regular file and is left as it is.";
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file.Get(), &info)) return SystemMessage(::GetLastError());
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return "It is a directory";
  // The file's other hard links would keep the old text.
  if (info.nNumberOfLinks > 1) {
    return "It has " + std::to_string(info.nNumberOfLinks) +
           " hard links, which replacing it would break; it is left as it is.";
  }
  if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) return "The file is read-only.";
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
    *target = finalPath;
  } else if (isLink) {
    return SystemMessage(::GetLastError());
  }
  return {};
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

bool ReadWholeFile(const std::string& fileName, std::string* data, std::string* error) {
  Handle file(::CreateFileW(SystemPath(fileName).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    *error = Reason("Cannot open file", fileName, SystemMessage(::GetLastError()));
    return false;
  }
  data->clear();
  LARGE_INTEGER size{};
  if (::GetFileType(file.Get()) == FILE_TYPE_DISK && ::GetFileSizeEx(file.Get(), &size) && size.QuadPart > 0 &&
      static_cast<uint64_t>(size.QuadPart) < data->max_size()) {
    data->reserve(static_cast<size_t>(size.QuadPart));
  }
  char buf[65536];
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(file.Get(), buf, sizeof buf, &n, nullptr)) {
      const DWORD code = ::GetLastError();
      if (code == ERROR_BROKEN_PIPE) break;  // the end of a pipe's data
      *error = Reason("Cannot read file", fileName, SystemMessage(code));
      return false;
    }
    if (n == 0) break;
    data->append(buf, n);
  }
  return true;
}

bool WriteFileAtomically(const std::string& fileName, std::string_view data, std::string* error) {
  WriteFileAtomicallyStream stream(fileName);
  stream.Write(data);
  return stream.Commit(error);
}

WriteFileAtomicallyStream::WriteFileAtomicallyStream(const std::string& fileName) : FileName(fileName) {
  const std::string why = InspectTarget(SystemPath(fileName), &Target, &TargetExists);
  if (!why.empty()) {
    Refuse(why);
    return;
  }
  Handle file = CreateTempFile(FolderOf(Target), &TempName);
  if (!file.Valid()) {
    TempName.clear();
    Fail("Cannot create file");
    return;
  }
  File = file.Release();
}

WriteFileAtomicallyStream::~WriteFileAtomicallyStream() { Discard(); }

void WriteFileAtomicallyStream::Fail(const char* what) {
  if (Error.empty()) Error = Reason(what, FileName, SystemMessage(::GetLastError()));
  Discard();
}

void WriteFileAtomicallyStream::Refuse(const std::string& why) {
  if (Error.empty()) Error = Reason("Cannot create file", FileName, why);
  Discard();
}

// Closes and removes the temporary file, if one is still open.
void WriteFileAtomicallyStream::Discard() {
  if (File) ::CloseHandle(File);
  File = nullptr;
  if (!TempName.empty()) ::DeleteFileW(TempName.c_str());
  TempName.clear();
}

bool WriteFileAtomicallyStream::Write(std::string_view data) {
  if (!Error.empty()) return false;
  const char* p = data.data();
  size_t left = data.size();
  while (left > 0) {
    const DWORD chunk = static_cast<DWORD>(left < (1u << 30) ? left : (1u << 30));
    DWORD written = 0;
    if (!::WriteFile(File, p, chunk, &written, nullptr) || written == 0) {
      Fail("Cannot write file");
      return false;
    }
    p += written;
    left -= written;
  }
  Written += data.size();
  return true;
}

bool WriteFileAtomicallyStream::Commit(std::string* error) {
  if (Error.empty()) {
    HANDLE file = File;
    File = nullptr;  // closed below, whatever happens
    if (!::FlushFileBuffers(file)) {
      const DWORD code = ::GetLastError();
      ::CloseHandle(file);
      ::SetLastError(code);
      Fail("Cannot write file");
    } else if (!::CloseHandle(file)) {
      Fail("Cannot write file");
    } else if (TargetExists && ::ReplaceFileW(Target.c_str(), TempName.c_str(), nullptr,
                                              REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
      // ReplaceFileW keeps the replaced file's attributes, times and security.
      TempName.clear();
    } else if (::MoveFileExW(TempName.c_str(), Target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      // When ReplaceFileW fails the old file may still be in place under its
      // name, and MoveFileExW replaces it in one step or leaves it alone.
      TempName.clear();
    } else {
      Fail("Cannot create file");
    }
  }
  if (Error.empty()) return true;
  *error = Error;
  return false;
}

}  // namespace zor
