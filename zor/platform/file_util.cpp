#include "zor/platform/file_util.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

namespace zor {

bool FileExists(const std::string& fileName) {
  struct stat st;
  return ::stat(fileName.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

namespace {

std::string Reason(const char* what, const std::string& name) {
  return std::string(what) + " \"" + name + "\". " + std::strerror(errno);
}

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

// Closes the descriptors of replaced files on a thread of its own. The last
// close of a file that a rename has unlinked frees the file's blocks, which on
// a file system that discards freed blocks takes milliseconds per megabyte;
// a save need not wait for that. The thread ends, having closed everything
// handed to it, when the library is unloaded or the process exits. A child
// forked from the process has no such thread and closes at once.
class ReplacedFileCloser {
 public:
  static void Close(int fd) {
    // Never destroyed: a forked child must not destroy the lock and condition
    // its parent's thread was using when it forked. The guard stops the thread.
    static ReplacedFileCloser* const closer = new ReplacedFileCloser;
    static const Guard guard{closer};
    closer->Add(fd);
  }

 private:
  struct Guard {
    ReplacedFileCloser* Closer;
    ~Guard() { Closer->Stop(); }
  };

  // Whether this is a child forked after the thread started: the thread does
  // not run here, and the lock may have been held when the process forked.
  bool Forked() const { return Owner_ != 0 && Owner_ != ::getpid(); }

  void Add(int fd) {
    if (Forked()) {
      ::close(fd);
      return;
    }
    {
      std::lock_guard<std::mutex> lock(Mutex_);
      if (!Thread_.joinable() && !Stopping_) {
        try {
          Thread_ = std::thread([this] { Run(); });
          Owner_ = ::getpid();
        } catch (const std::system_error&) {
          // No thread to be had: the caller waits for the close after all.
        }
      }
      // A few descriptors wait at most, so that saves in quick succession
      // never use up the process's descriptors: beyond them the caller waits.
      if (Thread_.joinable() && !Stopping_ && Pending_.size() < kMaxPending) {
        Pending_.push_back(fd);
        fd = -1;
      }
    }
    if (fd >= 0)
      ::close(fd);
    else
      Wake_.notify_one();
  }

  // In a forked child the thread and its list are the parent's: the child's
  // copies of the descriptors close as it exits.
  void Stop() {
    if (Forked()) return;
    {
      std::lock_guard<std::mutex> lock(Mutex_);
      Stopping_ = true;
    }
    Wake_.notify_one();
    if (Thread_.joinable()) Thread_.join();
  }

  void Run() {
    std::unique_lock<std::mutex> lock(Mutex_);
    for (;;) {
      Wake_.wait(lock, [&] { return Stopping_ || !Pending_.empty(); });
      if (Pending_.empty()) return;  // stopping, and nothing left to close
      const int fd = Pending_.front();
      Pending_.pop_front();
      lock.unlock();
      ::close(fd);
      lock.lock();
    }
  }

  static constexpr size_t kMaxPending = 16;

  std::mutex Mutex_;
  std::condition_variable Wake_;
  std::deque<int> Pending_;
  bool Stopping_ = false;
  std::atomic<pid_t> Owner_{0};  // the process the thread runs in
  std::thread Thread_;
};

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
  WriteFileAtomicallyStream stream(fileName);
  stream.Write(data);
  return stream.Commit(error);
}

WriteFileAtomicallyStream::WriteFileAtomicallyStream(const std::string& fileName) : FileName(fileName) {
  if (!ResolveLinks(fileName, &Target)) {
    Fail("Cannot create file");
    return;
  }
  struct stat st;
  bool exists = ::stat(Target.c_str(), &st) == 0;
  mode_t mode = 0666;
  if (exists) {
    // Only a regular file is replaced: renaming over a device, pipe or socket
    // would take it away, and a file's other hard links would keep the old text.
    if (S_ISDIR(st.st_mode)) {
      errno = EISDIR;
      Fail("Cannot create file");
      return;
    }
    if (!S_ISREG(st.st_mode)) {
      Refuse("It is not a regular file and is left as it is.");
      return;
    }
    if (st.st_nlink > 1) {
      Refuse("It has " + std::to_string(st.st_nlink) +
             " hard links, which replacing it would break; it is left as it is.");
      return;
    }
    // A read-only file is refused as a direct write would refuse it (also
    // for a caller whose rights would let it write anyway).
    if (::access(Target.c_str(), W_OK) != 0) {
      Fail("Cannot create file");
      return;
    }
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
      Refuse("The file is read-only.");
      return;
    }
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode &= ~mask;
  }
  // A short temporary name, so that names near the length limit still work.
  TempName = DirectoryOf(Target) + "/.zorXXXXXX";
  Fd = ::mkstemp(TempName.data());
  if (Fd < 0) {
    TempName.clear();
    Fail("Cannot create file");
    return;
  }
  ::fchmod(Fd, mode);
  // Keep the owner where the caller may (a privileged caller); otherwise the
  // new file belongs to the caller, as any rewrite by the caller would.
  if (exists && ::fchown(Fd, st.st_uid, st.st_gid) != 0) errno = 0;
}

// Flushes the temporary file to disk on a thread of its own while the stream
// goes on writing, so that the flush before the rename finds little left to
// do: it would otherwise wait for most of the file, and for whatever other
// writes the disk holds that a flush must take along.
// Commit still flushes the whole file itself, and a flush that failed here
// fails the save.
class WriteFileAtomicallyStream::Flusher {
 public:
  explicit Flusher(int fd) : Fd_(fd), Thread_([this] { Run(); }) {}
  ~Flusher() { Stop(); }
  Flusher(const Flusher&) = delete;
  Flusher& operator=(const Flusher&) = delete;

  // Bytes in the file so far.
  void Written(size_t total) {
    {
      std::lock_guard<std::mutex> lock(Mutex_);
      Written_ = total;
    }
    Wake_.notify_one();
  }

  // Ends the thread once its current flush is done; returns the errno of a
  // flush that failed, or 0.
  int Stop() {
    {
      std::lock_guard<std::mutex> lock(Mutex_);
      Stopping_ = true;
    }
    Wake_.notify_one();
    if (Thread_.joinable()) Thread_.join();
    return Error_;
  }

 private:
  void Run() {
    std::unique_lock<std::mutex> lock(Mutex_);
    size_t flushed = 0;
    for (;;) {
      Wake_.wait(lock, [&] { return Stopping_ || Written_ > flushed; });
      if (Stopping_) return;
      const size_t target = Written_;
      lock.unlock();
#ifdef __linux__
      const int result = ::fdatasync(Fd_);
#else
      const int result = ::fsync(Fd_);
#endif
      const int reason = errno;
      lock.lock();
      if (result != 0) {
        Error_ = reason;
        return;
      }
      flushed = target;
    }
  }

  const int Fd_;
  std::mutex Mutex_;
  std::condition_variable Wake_;
  size_t Written_ = 0;
  bool Stopping_ = false;
  int Error_ = 0;
  std::thread Thread_;  // last: starts once the fields above are ready
};

WriteFileAtomicallyStream::~WriteFileAtomicallyStream() { Discard(); }

void WriteFileAtomicallyStream::Fail(const char* what) {
  if (Error.empty()) Error = Reason(what, FileName);
  Discard();
}

void WriteFileAtomicallyStream::Refuse(const std::string& why) {
  if (Error.empty()) Error = "Cannot create file \"" + FileName + "\". " + why;
  Discard();
}

// Closes and removes the temporary file, if one is still open.
void WriteFileAtomicallyStream::Discard() {
  Flush.reset();  // the thread must be done with the file before it closes
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
  // A file that comes in more than one piece is flushed in the background
  // from its second piece on; one piece is flushed only at the end, where a
  // thread would cost more than it saves.
  if (!Flush && Written > 0) {
    try {
      Flush = std::make_unique<Flusher>(Fd);
    } catch (const std::system_error&) {
      // No thread to be had: Commit flushes everything, as for a small file.
    }
  }
  Written += data.size();
  if (Flush) Flush->Written(Written);
  return true;
}

bool WriteFileAtomicallyStream::Commit(std::string* error) {
  if (Error.empty() && Flush) {
    const int reason = Flush->Stop();
    Flush.reset();
    if (reason != 0) {
      errno = reason;
      Fail("Cannot write file");
    }
  }
  if (Error.empty()) {
    int fd = Fd;
    Fd = -1;  // closed below, whatever happens
#ifdef __linux__
    // The data and the size are what the rename must not overtake; the times
    // need no flush of their own.
    const int synced = ::fdatasync(fd);
#else
    const int synced = ::fsync(fd);
#endif
    if (synced != 0) {
      int reason = errno;
      ::close(fd);
      errno = reason;
      Fail("Cannot write file");
    } else if (::close(fd) != 0) {
      Fail("Cannot write file");
    } else {
      // The file being replaced is held open across the rename, so that
      // freeing its blocks happens at a later close off the caller's path.
      const int replaced = ::open(Target.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
      if (::rename(TempName.c_str(), Target.c_str()) != 0) {
        const int reason = errno;
        if (replaced >= 0) ::close(replaced);
        errno = reason;
        Fail("Cannot create file");
      } else {
        TempName.clear();  // it is the target now
        if (replaced >= 0) ReplacedFileCloser::Close(replaced);
      }
    }
  }
  if (Error.empty()) return true;
  *error = Error;
  return false;
}

}  // namespace zor
