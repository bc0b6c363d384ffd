#include "zor/platform/file_util.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zor {

bool FileExists(const std::string& fileName) {
  struct stat st;
  return ::stat(fileName.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

namespace {
std::string Reason(const char* what, const std::string& name) {
  return std::string(what) + " \"" + name + "\". " + std::strerror(errno);
}
}  // namespace

bool ReadWholeFile(const std::string& fileName, std::string* data, std::string* error) {
  int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = Reason("Cannot open file", fileName);
    return false;
  }
  data->clear();
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    errno = EISDIR;
    *error = Reason("Cannot open file", fileName);
    return false;
  }
  if (S_ISREG(st.st_mode) && st.st_size > 0) data->reserve(static_cast<size_t>(st.st_size));
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      *error = Reason("Cannot read file", fileName);
      ::close(fd);
      return false;
    }
    data->append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return true;
}

namespace {

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Follows symbolic links to the final target (which need not exist yet), so
// that a save replaces the file a link points to and keeps the link.
bool ResolveLinks(const std::string& fileName, std::string* target) {
  std::string path = fileName;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      *target = path;
      return true;
    }
    std::string link(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096), '\0');
    ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
    if (n < 0) return false;
    link.resize(static_cast<size_t>(n));
    path = link[0] == '/' ? link : DirectoryOf(path) + "/" + link;
  }
  errno = ELOOP;
  return false;
}

bool Fail(std::string* error, const std::string& reason) {
  *error = reason;
  return false;
}

}  // namespace

bool WriteFileAtomically(const std::string& fileName, std::string_view data, std::string* error) {
  std::string target;
  if (!ResolveLinks(fileName, &target)) return Fail(error, Reason("Cannot create file", fileName));
  struct stat st;
  bool exists = ::stat(target.c_str(), &st) == 0;
  mode_t mode = 0666;
  if (exists) {
    // Only a regular file is replaced: renaming over a device, pipe or socket
    // would take it away, and a file's other hard links would keep the old text.
    if (S_ISDIR(st.st_mode)) {
      errno = EISDIR;
      return Fail(error, Reason("Cannot create file", fileName));
    }
    if (!S_ISREG(st.st_mode))
      return Fail(error, "Cannot create file \"" + fileName + "\". It is not a regular file and is left as it is.");
    if (st.st_nlink > 1)
      return Fail(error, "Cannot create file \"" + fileName + "\". It has " + std::to_string(st.st_nlink) +
                             " hard links, which replacing it would break; it is left as it is.");
    // A read-only file is refused as a direct write would refuse it (also
    // for a caller whose rights would let it write anyway).
    if (::access(target.c_str(), W_OK) != 0) return Fail(error, Reason("Cannot create file", fileName));
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
      return Fail(error, "Cannot create file \"" + fileName + "\". The file is read-only.");
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode &= ~mask;
  }
  // A short temporary name, so that names near the length limit still work.
  std::string dir = DirectoryOf(target);
  std::string temp = dir + "/.zorXXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) return Fail(error, Reason("Cannot create file", fileName));
  ::fchmod(fd, mode);
  // Keep the owner where the caller may (a privileged caller); otherwise the
  // new file belongs to the caller, as any rewrite by the caller would.
  if (exists && ::fchown(fd, st.st_uid, st.st_gid) != 0) errno = 0;
  const char* p = data.data();
  size_t left = data.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      *error = Reason("Cannot write file", fileName);
      ::close(fd);
      ::unlink(temp.c_str());
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    *error = Reason("Cannot write file", fileName);
    ::unlink(temp.c_str());
    return false;
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    *error = Reason("Cannot create file", fileName);
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace zor
