#include "tools/zor/commands.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/support.h"

namespace {

const std::string kExample = ZOR_SOURCE_DIR "/examples/can_lin.xml";

// Runs a command line with captured output streams.
struct Result {
  int Exit;
  std::string Out;
  std::string Err;
};

std::string Slurp(std::FILE* f) {
  std::rewind(f);
  std::string text;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  std::fclose(f);
  return text;
}

Result RunCli(const std::vector<std::string>& args) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  int exit = zorcli::Run(args, out, err);
  return {exit, Slurp(out), Slurp(err)};
}

TEST(Cli, VersionAndUsage) {
  Result r = RunCli({"--version"});
  EXPECT_EQ(r.Exit, 0);
  EXPECT_NE(r.Out.find("file format 2.000"), std::string::npos);
  EXPECT_EQ(RunCli({}).Exit, zorcli::kExitUnusable);
  EXPECT_EQ(RunCli({"frobnicate"}).Exit, zorcli::kExitUnusable);
  EXPECT_EQ(RunCli({"check"}).Exit, zorcli::kExitUnusable);
  EXPECT_EQ(RunCli({"check", kExample, "--flags", "x"}).Exit, zorcli::kExitUnusable);
  EXPECT_EQ(RunCli({"check", kExample, "--ignore", "186"}).Exit, zorcli::kExitUnusable);
  EXPECT_EQ(RunCli({"convert", kExample, "/tmp/x.xml", "--format-version", "2.0"}).Exit, zorcli::kExitUnusable);
}

TEST(Cli, CheckPrintsFindingsSummaryAndJson) {
  Result text = RunCli({"check", kExample});
  EXPECT_EQ(text.Exit, 0);
  EXPECT_NE(text.Err.find("warning: The Frame \"DoorState\" is not scheduled"), std::string::npos);
  EXPECT_NE(text.Out.find("0 errors, 1 warning"), std::string::npos);

  Result json = RunCli({"check", kExample, "--json"});
  EXPECT_EQ(json.Exit, 0);
  EXPECT_EQ(json.Out.rfind("[", 0), 0u);
  EXPECT_NE(json.Out.find("\"severity\": \"warning\""), std::string::npos);
  EXPECT_NE(json.Out.find("\\\"DoorState\\\""), std::string::npos);

  size_t codeAt = json.Out.find("\"code\": ");
  ASSERT_NE(codeAt, std::string::npos);
  std::string code = json.Out.substr(codeAt + 8, json.Out.find(',', codeAt) - codeAt - 8);
  Result ignored = RunCli({"check", kExample, "--ignore", "0," + code});
  EXPECT_NE(ignored.Out.find("0 warnings (1 ignored)"), std::string::npos) << ignored.Out;
}

TEST(Cli, CheckReportsErrorsWithExitOne) {
  std::string path = zortest::TempPath("cli_errors.xml");
  std::string text = zortest::ReadFile(kExample);
  // A frame too small for its signals.
  size_t at = text.find("<Name>DoorCommand</Name>");
  ASSERT_NE(at, std::string::npos);
  size_t size = text.find("<Size>3</Size>", at);
  text.replace(size, 14, "<Size>1</Size>");
  zortest::WriteFile(path, text);
  Result r = RunCli({"check", path});
  EXPECT_EQ(r.Exit, zorcli::kExitFindings);
  EXPECT_NE(r.Err.find("error: "), std::string::npos);
  std::remove(path.c_str());
}

TEST(Cli, UnusableInputs) {
  Result missing = RunCli({"check", "/no/such/file.xml"});
  EXPECT_EQ(missing.Exit, zorcli::kExitUnusable);
  EXPECT_NE(missing.Err.find("does not exist,Can not load ZOR file!"), std::string::npos);

  std::string path = zortest::TempPath("cli_other.xml");
  zortest::WriteFile(path, "<html><body/></html>");
  Result other = RunCli({"info", path});
  EXPECT_EQ(other.Exit, zorcli::kExitUnusable);
  EXPECT_NE(other.Err.find("is not a configuration file"), std::string::npos);
  std::remove(path.c_str());
}

TEST(Cli, NewConvertAndInfo) {
  std::string fresh = zortest::TempPath("cli_new.xml");
  EXPECT_EQ(RunCli({"new", fresh}).Exit, 0);
  EXPECT_NE(zortest::ReadFile(fresh).find("<Version>2.000</Version>"), std::string::npos);

  std::string old = zortest::TempPath("cli_old.xml");
  EXPECT_EQ(RunCli({"convert", kExample, old, "--format-version", "1.201"}).Exit, 0);
  std::string oldText = zortest::ReadFile(old);
  EXPECT_NE(oldText.find("<Version>1.201</Version>"), std::string::npos);
  EXPECT_EQ(oldText.find("<EnvGroups>"), std::string::npos);

  Result info = RunCli({"info", kExample, "--lin-diag"});
  EXPECT_EQ(info.Exit, 0);
  EXPECT_NE(info.Out.find("DoorLIN"), std::string::npos);
  EXPECT_NE(info.Out.find("LIN diagnostic objects: 16 signals, 2 frames"), std::string::npos);
  std::remove(fresh.c_str());
  std::remove(old.c_str());
}

TEST(Cli, JsonStringEncodesTheCodePage) {
  EXPECT_EQ(zorcli::JsonString("a\"b\\c\n"), "\"a\\\"b\\\\c\\u000a\"");
  EXPECT_EQ(zorcli::JsonString("\xE9\x80"), "\"\xC3\xA9\xE2\x82\xAC\"");
}

// The bundled example is in the saver's own form: load and save give the
// same bytes, in the current and in an older format version.
TEST(Examples, RoundTripByteForByte) {
  for (const char* version : {"2.000", "1.201"}) {
    SCOPED_TRACE(version);
    std::string first = zortest::TempPath("example_first.xml");
    std::string second = zortest::TempPath("example_second.xml");
    ASSERT_EQ(RunCli({"convert", kExample, first, "--format-version", version}).Exit, 0);
    ASSERT_EQ(RunCli({"convert", first, second}).Exit, 0);
    EXPECT_EQ(zortest::ReadFile(first), zortest::ReadFile(second));
    if (std::string(version) == "2.000") {
      EXPECT_EQ(zortest::ReadFile(first), zortest::ReadFile(kExample));
    }
    std::remove(first.c_str());
    std::remove(second.c_str());
  }
}

}  // namespace
