// POSIX saves: links, modes, fifos, sockets and hard links. The Windows saves
// are tested in file_util_win_test.cpp.
#ifndef _WIN32
#include "zor/platform/file_util.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace zor {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void Write(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

class AtomicSave : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/zor_save_XXXXXX";
    Dir = mkdtemp(tmpl);
  }
  void TearDown() override { fs::remove_all(Dir); }
  // The folder holds only the names given (no temporary file left behind).
  void ExpectOnly(std::initializer_list<const char*> names) {
    size_t n = 0;
    for (auto& e : fs::directory_iterator(Dir)) {
      (void)e;
      ++n;
    }
    EXPECT_EQ(n, names.size());
    for (const char* name : names) EXPECT_TRUE(fs::exists(fs::symlink_status(Dir / name))) << name;
  }
  fs::path Dir;
};

TEST_F(AtomicSave, WritesThroughLinksAndKeepsMode) {
  Write(Dir / "real.xml", "old");
  chmod((Dir / "real.xml").c_str(), 0640);
  fs::create_symlink("real.xml", Dir / "link.xml");
  fs::create_symlink(Dir / "link.xml", Dir / "link2.xml");
  fs::create_symlink("missing.xml", Dir / "dangling.xml");
  std::string error;
  ASSERT_TRUE(WriteFileAtomically((Dir / "link2.xml").string(), "new", &error)) << error;
  EXPECT_TRUE(fs::is_symlink(Dir / "link.xml"));
  EXPECT_TRUE(fs::is_symlink(Dir / "link2.xml"));
  EXPECT_EQ(Read(Dir / "real.xml"), "new");
  struct stat st;
  stat((Dir / "real.xml").c_str(), &st);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  ASSERT_TRUE(WriteFileAtomically((Dir / "dangling.xml").string(), "made", &error)) << error;
  EXPECT_TRUE(fs::is_symlink(Dir / "dangling.xml"));
  EXPECT_EQ(Read(Dir / "missing.xml"), "made");
  ExpectOnly({"real.xml", "link.xml", "link2.xml", "dangling.xml", "missing.xml"});
}

TEST_F(AtomicSave, RefusesWhatItMustNotReplace) {
  Write(Dir / "ro.xml", "keep");
  chmod((Dir / "ro.xml").c_str(), 0444);
  Write(Dir / "linked.xml", "keep");
  fs::create_hard_link(Dir / "linked.xml", Dir / "other.xml");
  ASSERT_EQ(mkfifo((Dir / "fifo").c_str(), 0644), 0);
  int sock = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::string sockPath = (Dir / "sock").string();
  ASSERT_LT(sockPath.size(), sizeof addr.sun_path);
  std::copy(sockPath.begin(), sockPath.end(), addr.sun_path);
  ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  fs::create_directory(Dir / "dir");
  fs::create_symlink("fifo", Dir / "fifolink");
  struct Case {
    const char* name;
    const char* reason;
  } cases[] = {{"ro.xml", "read-only"},       {"linked.xml", "2 hard links"}, {"fifo", "not a regular file"},
               {"fifolink", "not a regular file"}, {"sock", "not a regular file"}, {"dir", "Is a directory"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string error;
    EXPECT_FALSE(WriteFileAtomically((Dir / c.name).string(), "new", &error));
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    EXPECT_NE(error.find((Dir / c.name).string()), std::string::npos) << error;
  }
  close(sock);
  EXPECT_EQ(Read(Dir / "ro.xml"), "keep");
  EXPECT_EQ(Read(Dir / "other.xml"), "keep");
  EXPECT_TRUE(fs::is_fifo(Dir / "fifo"));
  EXPECT_TRUE(fs::is_socket(Dir / "sock"));
  ExpectOnly({"ro.xml", "linked.xml", "other.xml", "fifo", "sock", "dir", "fifolink"});
}

// A stream of several megabytes flushes on a thread of its own: abandoned,
// it still leaves the old file and no temporary file; committed, it holds
// every byte.
TEST_F(AtomicSave, LargeStreamsCommitWholeOrNotAtAll) {
  const std::string path = (Dir / "big.xml").string();
  Write(path, "old");
  std::string expected;
  for (char c : {'a', 'b', 'c', 'd'}) expected += std::string(size_t{1} << 20, c);
  const auto writeAll = [&](WriteFileAtomicallyStream& stream) {
    for (size_t at = 0; at < expected.size(); at += size_t{1} << 20)
      ASSERT_TRUE(stream.Write(std::string_view(expected).substr(at, size_t{1} << 20)));
  };
  {
    WriteFileAtomicallyStream abandoned(path);
    writeAll(abandoned);
  }
  EXPECT_EQ(Read(path), "old");
  ExpectOnly({"big.xml"});
  WriteFileAtomicallyStream stream(path);
  writeAll(stream);
  std::string error;
  ASSERT_TRUE(stream.Commit(&error)) << error;
  EXPECT_TRUE(Read(path) == expected);
  ExpectOnly({"big.xml"});
}

// The files that saves replace are closed off the caller's path: after many
// saves every descriptor is closed again, and a child forked after a save
// saves and exits without waiting for the parent's closing thread.
TEST_F(AtomicSave, ReplacedFilesAreClosedAfterwardsAlsoInAForkedChild) {
  const auto openFiles = [] {
    size_t n = 0;
    for (auto& e : fs::directory_iterator("/proc/self/fd")) n += e.path().filename() != "." ? 1 : 0;
    return n;
  };
  const std::string path = (Dir / "a.xml").string();
  Write(path, "old");
  const size_t before = openFiles();
  std::string error;
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(WriteFileAtomically(path, std::to_string(i), &error)) << error;
  EXPECT_EQ(Read(path), "19");
  ExpectOnly({"a.xml"});
  for (int wait = 0; wait < 500 && openFiles() > before; ++wait)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(openFiles(), before);

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    alarm(10);  // a hang fails the test instead of stalling it
    std::string childError;
    std::exit(WriteFileAtomically(path, "child", &childError) ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(Read(path), "child");
}

TEST_F(AtomicSave, NamesNearTheLengthLimit) {
  for (size_t len : {249u, 254u, 255u}) {
    SCOPED_TRACE(len);
    fs::path p = Dir / std::string(len, 'n');
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(p.string(), "x", &error)) << error;
    EXPECT_EQ(Read(p), "x");
  }
}

}  // namespace
}  // namespace zor
#endif  // _WIN32
