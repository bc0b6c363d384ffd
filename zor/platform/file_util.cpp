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

bool WriteFileAtomically(const std::string& fileName, std::string_view data, std::string* error) {
  WriteFileAtomicallyStream stream(fileName);
  stream.Write(data);
  return stream.Commit(error);
}

WriteFileAtomicallyStream::WriteFileAtomicallyStream(const std::string& fileName) : FileName(fileName) {
  struct stat st;
  if (::stat(fileName.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    errno = EISDIR;
    Fail("Cannot create file");
    return;
  }
  TempName = fileName + ".XXXXXX";
  Fd = ::mkstemp(TempName.data());
  if (Fd < 0) {
    TempName.clear();
    Fail("Cannot create file");
    return;
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
  ::fchmod(Fd, mode);
}

WriteFileAtomicallyStream::~WriteFileAtomicallyStream() { Discard(); }

void WriteFileAtomicallyStream::Fail(const char* what) {
  if (Error.empty()) Error = std::string(what) + " \"" + FileName + "\". " + std::strerror(errno);
  Discard();
}

// Closes and removes the temporary file, if one is still open.
void WriteFileAtomicallyStream::Discard() {
  if (Fd >= 0) ::close(Fd);
  Fd = -1;
  if (!TempName.empty()) ::unlink(TempName.c_str());
  TempName.clear();
}

bool WriteFileAtomicallyStream::Write(std::string_view data) {
  if (!Error.empty()) return false;
  const char* p = data.data();
  size_t left = data.size();
  while (left > 0) {
    ssize_t n = ::write(Fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("Cannot write file");
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
#ifdef __linux__
  // Starts writing the piece to disk now, so that the flush before the rename
  // has little left to wait for.
  ::sync_file_range(Fd, static_cast<off_t>(Written), static_cast<off_t>(data.size()), SYNC_FILE_RANGE_WRITE);
#endif
  Written += data.size();
  return true;
}

bool WriteFileAtomicallyStream::Commit(std::string* error) {
  if (Error.empty()) {
    int fd = Fd;
    Fd = -1;  // closed below, whatever happens
    if (::fsync(fd) != 0) {
      int reason = errno;
      ::close(fd);
      errno = reason;
      Fail("Cannot write file");
    } else if (::close(fd) != 0) {
      Fail("Cannot write file");
    } else if (::rename(TempName.c_str(), FileName.c_str()) != 0) {
      Fail("Cannot create file");
    } else {
      TempName.clear();  // it is the target now
    }
  }
  if (Error.empty()) return true;
  *error = Error;
  return false;
}

}  // namespace zor
