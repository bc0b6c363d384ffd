#include "tools/zor/commands.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/support.h"
#include "tools/zor/session.h"

namespace {

const std::string kExample = ZOR_SOURCE_DIR "/examples/can_lin.xml";
const std::string kTestData = ZOR_SOURCE_DIR "/tools/zor/testdata/";

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
  EXPECT_EQ(RunCli({}).Exit, zorcli::kExitUsage);
  EXPECT_EQ(RunCli({"frobnicate"}).Exit, zorcli::kExitUsage);
  EXPECT_EQ(RunCli({"check"}).Exit, zorcli::kExitUsage);
  EXPECT_EQ(RunCli({"check", kExample, "--flags", "x"}).Exit, zorcli::kExitUsage);
  EXPECT_EQ(RunCli({"check", kExample, "--ignore", "186"}).Exit, zorcli::kExitUsage);
  EXPECT_EQ(RunCli({"convert", kExample, "/tmp/x.xml", "--format-version", "2.0"}).Exit, zorcli::kExitUsage);
}

TEST(Cli, CheckPrintsFindingsSummaryAndJson) {
  Result text = RunCli({"check", kExample});
  EXPECT_EQ(text.Exit, 0);
  EXPECT_NE(text.Err.find("warning[W015]: The Frame \"DoorState\" is not scheduled"), std::string::npos);
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
  EXPECT_NE(r.Err.find("error[E"), std::string::npos);
  std::remove(path.c_str());
}

TEST(Cli, UnusableInputs) {
  Result missing = RunCli({"check", "/no/such/file.xml"});
  EXPECT_EQ(missing.Exit, zorcli::kExitUnusable);
  EXPECT_NE(missing.Err.find("does not exist,Can not load ZOR file!"), std::string::npos);
  // A directory is refused the same way (its bytes cannot be read).
  const std::string dir = std::filesystem::temp_directory_path().string();
  EXPECT_EQ(RunCli({"check", dir}).Exit, zorcli::kExitUnusable);
  EXPECT_EQ(RunCli({"convert", dir, zortest::TempPath("cli_dir_out.xml")}).Exit, zorcli::kExitUnusable);

  std::string path = zortest::TempPath("cli_other.xml");
  zortest::WriteFile(path, "<html><body/></html>");
  Result other = RunCli({"info", path});
  EXPECT_EQ(other.Exit, zorcli::kExitUnusable);
  EXPECT_NE(other.Err.find("is not a configuration file"), std::string::npos);
  std::remove(path.c_str());
}

TEST(Cli, XmlErrorsNameLineAndColumn) {
  std::string path = zortest::TempPath("cli_broken.xml");
  zortest::WriteFile(path, "<?xml version=\"1.0\"?>\r\n<Measurement_Config_File>\r\n<ZORInfo>\r\n<Version>1 & 2</Version>\r\n"
                   "</ZORInfo>\r\n</Measurement_Config_File>\r\n");
  Result r = RunCli({"check", path});
  EXPECT_EQ(r.Exit, zorcli::kExitUnusable);
  EXPECT_EQ(r.Err.rfind(path + ":4:", 0), 0u) << r.Err;
  EXPECT_NE(r.Err.find(": error: XML error: "), std::string::npos);
  std::remove(path.c_str());
}

TEST(Cli, NewConvertAndInfo) {
  std::string fresh = zortest::TempPath("cli_new.xml");
  EXPECT_EQ(RunCli({"new", fresh}).Exit, 0);
  EXPECT_NE(zortest::ReadFile(fresh).find("<Version>2.000</Version>"), std::string::npos);

  std::string old = zortest::TempPath("cli_old.xml");
  EXPECT_EQ(RunCli({"convert", kExample, old, "--format-version", "1.201", "--force"}).Exit, 0);
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

TEST(Cli, ProgressRedrawsAtMostTenTimesASecondAndShowsTheSection) {
  std::FILE* err = std::tmpfile();
  {
    zorcli::Session session(nullptr, err, /*quiet=*/false);
    session.SetProgressBar(true);
    for (int i = 0; i < 50000; ++i) session.OnProgress(i * 100 / 50000, "Checking Signals ...");
    session.OnProgress(0, "Checking Nodes ...");
  }
  std::string text = Slurp(err);
  long draws = std::count(text.begin(), text.end(), '\r');
  EXPECT_LE(draws, 6);  // two sections and the final clear, with room for a slow machine
  EXPECT_NE(text.find("Checking Nodes ..."), std::string::npos);
  EXPECT_LT(text.size(), 1000u);
}

TEST(Cli, JsonStringEncodesTheCodePage) {
  EXPECT_EQ(zorcli::JsonString("a\"b\\c\n"), "\"a\\\"b\\\\c\\u000a\"");
  EXPECT_EQ(zorcli::JsonString("\xE9\x80"), "\"\xC3\xA9\xE2\x82\xAC\"");
}

TEST(Cli, HelpFormsAndUsageErrors) {
  struct Case {
    std::vector<std::string> Args;
    int Exit;
    const char* Out;
  };
  const Case cases[] = {
      {{"check", "--help"}, 0, "Usage: zor check"},
      {{"check", "-h"}, 0, "Usage: zor check"},
      {{"help", "check"}, 0, "Usage: zor check"},
      {{"help", "diff"}, 0, "Usage: zor diff"},
      {{"--help"}, 0, "64 usage error"},
      {{"help", "nope"}, zorcli::kExitUsage, ""},
      {{"check", kExample, "--bogus"}, zorcli::kExitUsage, ""},
      {{"check", kExample, "--only", "names"}, zorcli::kExitUsage, ""},
      {{"list", kExample}, zorcli::kExitUsage, ""},
      {{"list", kExample, "planets"}, zorcli::kExitUsage, ""},
      {{"import", "a.dbc", "b.ldf"}, zorcli::kExitUsage, ""},
      {{"explain", "W015"}, 0, "W015 (code 15): a warning"},
      {{"explain", "E015"}, zorcli::kExitUsage, ""},
      {{"explain", "186"}, zorcli::kExitUsage, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Args[0] + " " + (c.Args.size() > 1 ? c.Args[1] : ""));
    Result r = RunCli(c.Args);
    EXPECT_EQ(r.Exit, c.Exit) << r.Err;
    EXPECT_NE(r.Out.find(c.Out), std::string::npos) << r.Out;
  }
}

TEST(Cli, FindingCodes) {
  EXPECT_EQ(zorcli::FindingTag(15), "W015");
  EXPECT_EQ(zorcli::FindingTag(2), "E002");
  EXPECT_EQ(zorcli::FindingTag(186), "");
  EXPECT_EQ(zorcli::ParseFindingCode("W015"), 15);
  EXPECT_EQ(zorcli::ParseFindingCode("w15"), 15);
  EXPECT_EQ(zorcli::ParseFindingCode("185"), 185);
  EXPECT_EQ(zorcli::ParseFindingCode("E015"), -1);
  EXPECT_EQ(zorcli::ParseFindingCode("X1"), -1);
  EXPECT_EQ(zorcli::ParseFindingCode("1000"), -1);

  Result codes = RunCli({"check", "--list-codes"});
  EXPECT_EQ(codes.Exit, 0);
  EXPECT_EQ(std::count(codes.Out.begin(), codes.Out.end(), '\n'), 186);
  EXPECT_EQ(codes.Out.rfind("E000  Name", 0), 0u);

  Result ignored = RunCli({"check", kExample, "--ignore", "W015"});
  EXPECT_NE(ignored.Out.find("0 warnings (1 ignored)"), std::string::npos) << ignored.Out;
  EXPECT_EQ(ignored.Err.find("W015"), std::string::npos);

  Result nothing = RunCli({"check", kExample, "--flags", "0"});
  EXPECT_NE(nothing.Err.find("warning: no check group selected"), std::string::npos) << nothing.Err;
  Result only = RunCli({"check", kExample, "--only", "uniqueness,rules"});
  EXPECT_EQ(only.Err.find("no check group"), std::string::npos);
  EXPECT_NE(only.Out.find("0 errors, 1 warning"), std::string::npos);
}

TEST(Cli, NewRefusesAnExistingFileWithoutForce) {
  std::string path = zortest::TempPath("cli_existing.xml");
  zortest::WriteFile(path, "precious");
  Result refused = RunCli({"new", path});
  EXPECT_EQ(refused.Exit, zorcli::kExitUnusable);
  EXPECT_NE(refused.Err.find("use --force"), std::string::npos);
  EXPECT_EQ(zortest::ReadFile(path), "precious");
  EXPECT_EQ(RunCli({"new", path, "--force"}).Exit, 0);
  EXPECT_NE(zortest::ReadFile(path).find("<Version>2.000</Version>"), std::string::npos);
  std::remove(path.c_str());
}

TEST(Cli, ConvertRefusesALossyDowngradeWithoutForce) {
  std::string path = zortest::TempPath("cli_downgrade.xml");
  std::remove(path.c_str());
  Result refused = RunCli({"convert", kExample, path, "--format-version", "1.201"});
  EXPECT_EQ(refused.Exit, zorcli::kExitUnusable);
  EXPECT_NE(refused.Err.find("warning: format 1.201 cannot hold 1 EnvGroup item\n"), std::string::npos)
      << refused.Err;
  EXPECT_NE(refused.Err.find("1 field of Network items (EnvGroup)"), std::string::npos);
  EXPECT_TRUE(zortest::ReadFile(path).empty());
  EXPECT_EQ(RunCli({"convert", kExample, path, "--format-version", "1.201", "--force"}).Exit, 0);
  // Going back up loses nothing.
  std::string up = zortest::TempPath("cli_upgrade.xml");
  Result upgrade = RunCli({"convert", path, up, "--format-version", "2.000"});
  EXPECT_EQ(upgrade.Exit, 0) << upgrade.Err;
  std::remove(path.c_str());
  std::remove(up.c_str());
}

TEST(Cli, DashWritesToStdout) {
  Result converted = RunCli({"convert", kExample, "-"});
  EXPECT_EQ(converted.Exit, 0);
  EXPECT_EQ(converted.Out, zortest::ReadFile(kExample));
  EXPECT_NE(converted.Err.find("-> <stdout>"), std::string::npos);
  Result fresh = RunCli({"new", "-"});
  EXPECT_EQ(fresh.Exit, 0);
  EXPECT_NE(fresh.Out.find("<Version>2.000</Version>"), std::string::npos);
}

TEST(Cli, WarnsAboutUndeclaredUtf8) {
  const std::string warning = "looks like UTF-8 but is read as Windows-1252";
  const std::string original = zortest::ReadFile(kExample);
  struct Case {
    const char* Name;
    std::string Declaration, Description;
    bool Warns;
  };
  const Case cases[] = {
      {"undeclared UTF-8", "<?xml version=\"1.0\"?>", "T\xC3\xBCr", true},
      {"declared UTF-8", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>", "T\xC3\xBCr", false},
      {"Windows-1252", "<?xml version=\"1.0\"?>", "T\xFCr", false},
      {"ASCII", "<?xml version=\"1.0\"?>", "Tuer", false},
  };
  std::string path = zortest::TempPath("cli_utf8.xml");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    std::string text = original;
    text.replace(0, text.find('\n') - 1, c.Declaration);
    size_t at = text.find("Body CAN and door LIN cluster");
    text.replace(at, 29, c.Description);
    zortest::WriteFile(path, text);
    Result check = RunCli({"check", path});
    EXPECT_EQ(check.Err.find(warning) != std::string::npos, c.Warns) << check.Err;
    Result json = RunCli({"info", path, "--json"});
    // JSON shows the library's text (Windows-1252) as UTF-8: the undeclared
    // UTF-8 file reads as two characters, the way the library reads it.
    auto info = nlohmann::json::parse(json.Out);
    if (c.Description == "T\xFCr") {
      EXPECT_EQ(info["description"], "T\xC3\xBCr");
    }
    if (c.Warns) {
      EXPECT_EQ(info["description"], "T\xC3\x83\xC2\xBCr");
    }
  }
  std::remove(path.c_str());
  EXPECT_EQ(RunCli({"convert", kExample, "-"}).Err.find(warning), std::string::npos);
}

TEST(Cli, CheckWarnsAboutElementsTheLoaderIgnores) {
  std::string text = zortest::ReadFile(kExample);
  text.replace(text.find("</Signals>\r\n") + 12, 0,
               "<Signals>\r\n<Signal>\r\n<ZORId>SignalX</ZORId>\r\n<Name>Extra</Name>\r\n</Signal>\r\n</Signals>\r\n");
  text.replace(text.find("<Unit>km/h</Unit>"), 0, "<Colour>red</Colour>\r\n");
  text.replace(text.find("<Size>1</Size>", text.find("<Name>LockRequest</Name>")), 14, "<Szie>1</Szie>");
  std::string path = zortest::TempPath("cli_ignored.xml");
  zortest::WriteFile(path, text);
  Result r = RunCli({"check", path});
  EXPECT_NE(r.Err.find(path + ":65: warning: element <Colour> in <Signal> is ignored by the loader\n"),
            std::string::npos)
      << r.Err;
  EXPECT_NE(r.Err.find(path + ":73: warning: element <Szie> in <Signal> is ignored by the loader\n"),
            std::string::npos);
  EXPECT_NE(r.Err.find(path + ":117: warning: second Signals section is ignored by the loader\n"),
            std::string::npos);
  EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 6) << r.Err;  // 3 above, 3 findings
  std::remove(path.c_str());

  std::string unmatched = zortest::ReadFile(kExample);
  unmatched.replace(unmatched.find("<EnvGroup>Bench</EnvGroup>"), 26, "<EnvGroup>Bnech</EnvGroup>");
  zortest::WriteFile(path, unmatched);
  EXPECT_NE(RunCli({"check", path}).Err.find("warning: network \"BodyCAN\": environment group \"Bnech\" matches no group"),
            std::string::npos);
  std::remove(path.c_str());

  for (const char* clean : {"examples/can_lin.xml", "zor/most/testdata/catalogue.xml"}) {
    SCOPED_TRACE(clean);
    std::string file = std::string(ZOR_SOURCE_DIR "/") + clean;
    if (zortest::ReadFile(file).empty()) continue;
    EXPECT_EQ(RunCli({"check", file}).Err.find("ignored by the loader"), std::string::npos);
  }
}

TEST(Cli, InfoListAndDiff) {
  Result info = RunCli({"info", kExample, "--json"});
  ASSERT_EQ(info.Exit, 0);
  auto json = nlohmann::json::parse(info.Out);
  EXPECT_EQ(json["format"], "2.000");
  EXPECT_EQ(json["items"]["Networks"], 2);
  EXPECT_EQ(json["networks"][1]["name"], "DoorLIN");
  EXPECT_EQ(json["networks"][1]["speed"], 19200);
  EXPECT_EQ(json["nodes"][0]["interfaces"][0]["network"], "BodyCAN");

  Result frames = RunCli({"list", kExample, "frames"});
  EXPECT_EQ(frames.Exit, 0);
  EXPECT_NE(frames.Out.find("BodyGateway/BodyGateway_LIN/DoorCommand  FrameId=16  Size=3  Network=DoorLIN\n"),
            std::string::npos)
      << frames.Out;
  auto signals = nlohmann::json::parse(RunCli({"list", kExample, "Signals", "--json"}).Out);
  ASSERT_FALSE(signals.empty());
  EXPECT_EQ(signals[0]["path"], "VehicleSpeed");
  EXPECT_EQ(signals[0]["fields"]["EncType"], "Speed");  // references by name

  Result same = RunCli({"diff", kExample, kExample});
  EXPECT_EQ(same.Exit, 0);
  EXPECT_EQ(same.Out, "");

  std::string text = zortest::ReadFile(kExample);
  text.replace(text.find("<NetSpeed>19200</NetSpeed>"), 26, "<NetSpeed>9600</NetSpeed>");
  text.replace(text.find("<Name>BodyGateway</Name>"), 24, "<Name>CentralGateway</Name>");
  std::string changed = zortest::TempPath("cli_changed.xml");
  zortest::WriteFile(changed, text);
  Result diff = RunCli({"diff", kExample, changed});
  EXPECT_EQ(diff.Exit, zorcli::kExitFindings);
  EXPECT_NE(diff.Out.find("~ Network DoorLIN: NetSpeed: \"19200\" -> \"9600\"\n"), std::string::npos) << diff.Out;
  EXPECT_NE(diff.Out.find("- Node BodyGateway\n"), std::string::npos);
  EXPECT_NE(diff.Out.find("+ Node CentralGateway\n"), std::string::npos);
  EXPECT_NE(diff.Out.find("- NetFrame BodyGateway/BodyGateway_LIN/DoorCommand\n"), std::string::npos);
  // A reference follows the renamed item without being reported as a change.
  EXPECT_EQ(diff.Out.find("~ Network BodyCAN"), std::string::npos);
  auto diffJson = nlohmann::json::parse(RunCli({"diff", kExample, changed, "--json"}).Out);
  EXPECT_EQ(diffJson["equal"], false);
  EXPECT_EQ(diffJson["changed"][0]["fields"][0]["after"], "9600");
  std::remove(changed.c_str());
}

// These run the description-file readers; they skip while the readers are
// not part of the library yet.
TEST(Cli, ImportCheckAndExportDescriptionFiles) {
  for (const char* sample : {"two_frames.dbc", "one_frame.ldf"}) {
    SCOPED_TRACE(sample);
    std::string in = kTestData + sample;
    std::string xml = zortest::TempPath(std::string(sample) + ".xml");
    Result imported = RunCli({"import", in, xml});
    if (imported.Err.find("is not available") != std::string::npos) GTEST_SKIP() << imported.Err;
    ASSERT_EQ(imported.Exit, 0) << imported.Err;
    Result info = RunCli({"info", xml, "--json"});
    ASSERT_EQ(info.Exit, 0) << info.Err;
    auto json = nlohmann::json::parse(info.Out);
    EXPECT_EQ(json["format"], "2.000");
    EXPECT_EQ(json["networks"].size(), 1u);
    EXPECT_EQ(json["networks"][0]["frames"], std::string(sample).ends_with(".dbc") ? 2 : 1);

    Result check = RunCli({"check", in, "--json"});
    EXPECT_LE(check.Exit, zorcli::kExitFindings) << check.Err;
    EXPECT_NO_THROW(nlohmann::json::parse(check.Out));

    std::string format = std::string(sample).substr(std::string(sample).size() - 3);
    Result exported = RunCli({"export", xml, "-", "--format", format});
    EXPECT_EQ(exported.Exit, 0) << exported.Err;
    EXPECT_NE(exported.Out.find(std::string(sample).ends_with(".dbc") ? "BO_ 256" : "LIN_description_file"),
              std::string::npos);
    std::remove(xml.c_str());
  }
}

TEST(Cli, DescriptionFileFailuresAreUnusableInput) {
  std::string bad = zortest::TempPath("cli_bad.dbc");
  zortest::WriteFile(bad, "BO_ 1 Broken: x\n");
  std::string out = zortest::TempPath("cli_bad.xml");
  Result r = RunCli({"import", bad, out});
  EXPECT_EQ(r.Exit, zorcli::kExitUnusable);
  EXPECT_NE(r.Err.find("error"), std::string::npos);
  EXPECT_TRUE(zortest::ReadFile(out).empty());
  EXPECT_EQ(RunCli({"export", kExample, "-"}).Exit, zorcli::kExitUsage);
  std::remove(bad.c_str());
}

// The bundled example is in the saver's own form: load and save give the
// same bytes, in the current and in an older format version.
TEST(Examples, RoundTripByteForByte) {
  for (const char* version : {"2.000", "1.201"}) {
    SCOPED_TRACE(version);
    std::string first = zortest::TempPath("example_first.xml");
    std::string second = zortest::TempPath("example_second.xml");
    ASSERT_EQ(RunCli({"convert", kExample, first, "--format-version", version, "--force"}).Exit, 0);
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
