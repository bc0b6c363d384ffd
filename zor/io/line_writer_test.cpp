#include "zor/io/line_writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support.h"

using namespace zor;

namespace {

TEST(LineWriter, EmptyElementsJoinTheirStartTag) {
  std::string text = zortest::CaptureLines([] {
    WriteLine("<Signals>");
    WriteLine("</Signals>");
    WriteLine("<A>");
    WriteLine("<B>x</B>");
    WriteLine("</A>");
    WriteLine("</A>");  // closes the last line "</A>"? no: its closing form is "<//A>"
  });
  EXPECT_EQ(text, zortest::Lines({"<Signals></Signals>", "<A>", "<B>x</B>", "</A>", "</A>"}));
}

TEST(LineWriter, SavesLargerThanTheBufferKeepEveryLine) {
  // Megabytes of lines, so that the buffer is written out many times, some of
  // them between a start tag and the closing tag that joins it; then a line
  // longer than the buffer. A save into a text gets the same bytes as a file.
  std::string expected;
  auto write = [&expected] {
    expected.clear();
    for (int i = 0; i < 150000; ++i) {
      std::string n = std::to_string(i);
      WriteLine("<T" + n + ">");
      WriteLine("</T" + n + ">");
      WriteLine("<F>" + n + "</F>");
      expected += "<T" + n + "></T" + n + ">\r\n<F>" + n + "</F>\r\n";
    }
    std::string big(3 << 20, 'b');
    WriteLine("<" + big + ">");
    WriteLine("</" + big + ">");
    expected += "<" + big + "></" + big + ">\r\n";
  };
  std::string text = zortest::CaptureLines(write);
  EXPECT_TRUE(text == expected) << "sizes " << text.size() << " and " << expected.size();
  std::string inMemory = "earlier contents";
  BeginSaveToText(&inMemory);
  write();
  EXPECT_FALSE(EndSave());
  EXPECT_TRUE(inMemory == expected) << "sizes " << inMemory.size() << " and " << expected.size();
}

TEST(LineWriter, AbandonedOrRestartedSavesLeaveNoTemporaryFile) {
  namespace fs = std::filesystem;
  fs::path dir = zortest::TempPath("abandon_dir");
  fs::remove_all(dir);
  fs::create_directory(dir);
  std::string path = (dir / "config.xml").string();
  zortest::WriteFile(path, "old contents");
  auto files = [&] {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    return names;
  };
  BeginSave(path);
  WriteLine("<New>");
  AbandonSave();
  EXPECT_EQ(BeginLine(8), nullptr);  // no save under way
  EXPECT_EQ(files(), std::vector<std::string>{"config.xml"});
  EXPECT_EQ(zortest::ReadFile(path), "old contents");
  BeginSave(path);
  WriteLine("<Old>");
  BeginSave(path);
  WriteLine("<New>");
  EXPECT_FALSE(EndSave());
  EXPECT_EQ(files(), std::vector<std::string>{"config.xml"});
  EXPECT_EQ(zortest::ReadFile(path), "<New>\r\n");
  fs::remove_all(dir);
}

TEST(LineWriter, WithoutBufferLinesAreDropped) {
  EXPECT_FALSE(WriteLine("<X>"));
  EXPECT_TRUE(EndSave());  // nothing to end
}

TEST(LineWriter, BeginDiscardsAnEarlierFailedSave) {
  std::string path = zortest::TempPath("discard.xml");
  BeginSave(path);
  WriteLine("<Old>");
  BeginSave(path);
  WriteLine("<New>");
  EXPECT_FALSE(EndSave());
  EXPECT_EQ(zortest::ReadFile(path), "<New>\r\n");
  std::remove(path.c_str());
}

TEST(LineWriter, FailedWriteKeepsTheOldFileAndSaysWhy) {
  zortest::MessageCapture messages;
  std::string dir = zortest::TempPath("readonly_dir");
  std::filesystem::create_directory(dir);
  std::string path = dir + "/config.xml";
  zortest::WriteFile(path, "old contents");
#ifndef _WIN32
  // A folder without write permission (Windows has no such folder; its
  // saver test covers read-only files).
  ::chmod(dir.c_str(), 0555);  // no new files in the folder
  bool root = ::geteuid() == 0;
  BeginSave(path);
  WriteLine("<New>");
  bool failed = EndSave();
  ::chmod(dir.c_str(), 0755);
  if (!root) {
    EXPECT_TRUE(failed);
    ASSERT_EQ(messages.Errors.size(), 1u);
    EXPECT_EQ(messages.Errors[0].rfind("ZOR save error: ", 0), 0u);
    EXPECT_EQ(zortest::ReadFile(path), "old contents");
  }
#endif
  // A target that is a folder fails for every user.
  messages.Clear();
  BeginSave(dir);
  WriteLine("<New>");
  EXPECT_TRUE(EndSave());
  ASSERT_EQ(messages.Errors.size(), 1u);
  EXPECT_EQ(messages.Errors[0].rfind("ZOR save error: ", 0), 0u);
  std::remove(path.c_str());
  std::filesystem::remove(dir);
}

}  // namespace
