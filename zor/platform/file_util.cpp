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

bool WriteFileAtomically(const std::string& fileName, std::string_view data, std::string* error) {
  struct stat st;
  if (::stat(fileName.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    errno = EISDIR;
    *error = Reason("Cannot create file", fileName);
    return false;
  }
  std::string temp = fileName + ".XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    *error = Reason("Cannot create file", fileName);
    return false;
  }
  // Keep the permissions of the file being replaced; a new file gets the
  // usual mode for created files.
  mode_t mode = 0666;
  if (::stat(fileName.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode &= ~mask;
  }
  ::fchmod(fd, mode);
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
  if (::rename(temp.c_str(), fileName.c_str()) != 0) {
    *error = Reason("Cannot create file", fileName);
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace zor
