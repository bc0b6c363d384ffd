#include "zor/interface/line_writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/support.h"

using namespace ZOR_RAM;

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
