// The Windows saver: code page names reach the wide calls, and a save
// replaces only a regular, writable file (through links to their target).
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support.h"
#include "zor/platform/file_name.h"
#include "zor/platform/file_util.h"

namespace zor {
namespace {

namespace fs = std::filesystem;

// A fresh folder for one test, removed with everything in it afterwards.
struct TempFolder {
  explicit TempFolder(const std::string& name) : Path(zortest::TempPath(name)) {
    fs::remove_all(NativePath(Path));
    fs::create_directory(NativePath(Path));
  }
  ~TempFolder() {
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(NativePath(Path), ignored))
      SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(NativePath(Path), ignored);
  }
  size_t Count() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(NativePath(Path)), fs::directory_iterator()));
  }
  std::string Path;
};

TEST(WindowsSave, CodePageNamesAndLongNames) {
  TempFolder folder("win_names");
  const struct {
    std::string Name;
    std::wstring Wide;  // the name as Windows keeps it
  } cases[] = {
      {"plain.xml", L"plain.xml"},
      {"\xC4nderung \x80 \x9C.xml", L"\u00C4nderung \u20AC \u0153.xml"},
      {std::string(250, 'n') + ".xml", std::wstring(250, L'n') + L".xml"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name.substr(0, 20));
    const std::string path = folder.Path + "/" + c.Name;
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(path, "first", &error)) << error;
    ASSERT_TRUE(WriteFileAtomically(path, "second", &error)) << error;
    EXPECT_TRUE(FileExists(path));
    EXPECT_TRUE(fs::exists(NativePath(folder.Path) / c.Wide));
    EXPECT_EQ(fs::file_size(NativePath(folder.Path) / c.Wide), 6u);
  }
  EXPECT_EQ(folder.Count(), 3u) << "no temporary file is left behind";
  EXPECT_FALSE(FileExists(folder.Path));
}

TEST(WindowsSave, RefusedTargetsStayAsTheyWere) {
  TempFolder folder("win_refused");
  const std::string readOnly = folder.Path + "/read_only.xml";
  zortest::WriteFile(readOnly, "old contents");
  ASSERT_TRUE(SetFileAttributesW(NativePath(readOnly).c_str(), FILE_ATTRIBUTE_READONLY));
  const struct {
    std::string Path;
    const char* Reason;
  } cases[] = {
      {readOnly, "read-only"},
      {folder.Path, "directory"},
      {"NUL", "not a regular file"},
      {folder.Path + "/missing/x.xml", "Cannot create file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Path);
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(c.Path, "new", &error));
    EXPECT_NE(error.find(c.Reason), std::string::npos) << error;
  }
  EXPECT_EQ(zortest::ReadFile(readOnly), "old contents");
  EXPECT_EQ(folder.Count(), 1u);
}

TEST(WindowsSave, StreamCommitsWholeOrNothingAndRefusesHardLinks) {
  TempFolder folder("win_stream");
  const std::string path = folder.Path + "/config.xml";
  zortest::WriteFile(path, "old");
  {
    WriteFileAtomicallyStream abandoned(path);
    EXPECT_TRUE(abandoned.Write("never committed"));
  }
  EXPECT_EQ(zortest::ReadFile(path), "old");
  EXPECT_EQ(folder.Count(), 1u) << "the abandoned temporary file is removed";
  WriteFileAtomicallyStream stream(path);
  EXPECT_TRUE(stream.Write("ne"));
  EXPECT_TRUE(stream.Write("w"));
  std::string error;
  ASSERT_TRUE(stream.Commit(&error)) << error;
  EXPECT_EQ(zortest::ReadFile(path), "new");

  const std::string other = folder.Path + "/other.xml";
  ASSERT_TRUE(CreateHardLinkW(NativePath(other).c_str(), NativePath(path).c_str(), nullptr));
  WriteFileAtomicallyStream refused(path);
  EXPECT_FALSE(refused.Write("lost"));
  EXPECT_FALSE(refused.Commit(&error));
  EXPECT_NE(error.find("2 hard links"), std::string::npos) << error;
  EXPECT_EQ(zortest::ReadFile(other), "new");
  EXPECT_EQ(folder.Count(), 2u);
}

TEST(WindowsSave, WritesThroughALinkToItsTarget) {
  TempFolder folder("win_link");
  const std::string target = folder.Path + "/target.xml";
  const std::string link = folder.Path + "/link.xml";
  zortest::WriteFile(target, "old");
  // Wine's CreateSymbolicLinkW reports success without making a link.
  if (!CreateSymbolicLinkW(NativePath(link).c_str(), NativePath(target).c_str(), 0) || !FileExists(link)) {
    GTEST_SKIP() << "symbolic links cannot be created here";
  }
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(link, "new", &error)) << error;
  EXPECT_EQ(zortest::ReadFile(target), "new");
  EXPECT_TRUE(fs::is_symlink(NativePath(link)));
  EXPECT_EQ(folder.Count(), 2u);
}

}  // namespace
}  // namespace zor
