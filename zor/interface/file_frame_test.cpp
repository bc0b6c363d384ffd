#include "zor/interface/file_frame.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <memory>

#include "tests/support.h"
#include "zor/model/ram.h"
#include "zor/model/xml_values.h"
#include "zor/network/signal.h"
#include "zor/node/controller.h"
#include "zor/zor.h"

using namespace ZOR_RAM;

namespace {

std::string Config(const char* version, const char* sections, const char* root = "Measurement_Config_File") {
  return std::string("<?xml version=\"1.0\"?>\n<") + root + ">\n<ZORInfo><Version>" + version +
         "</Version><Description>d</Description></ZORInfo>\n" + sections + "</" + root + ">\n";
}

const char kAllSections[] =
    "<EncTypes/><Signals/><Networks/><Nodes/><EnvGroups/><MOSTFBlocks/>";
const char kOldSections[] = "<EncTypes/><Signals/><Networks/><Nodes/><MOSTFBlocks/>";

// Loads text from a file; returns the database (null on failure).
TZOR_RAM* LoadText(const std::string& text, const char* name = "load.xml") {
  std::string path = zortest::TempPath(name);
  zortest::WriteFile(path, text);
  TZOR_RAM* ram = _LoadFile(path.c_str());
  std::remove(path.c_str());
  return ram;
}

TEST(LoadFile, FailuresAndTheirMessages) {
  struct Case {
    const char* name;
    std::string text;
    const char* message;  // null: fails without a message
  } cases[] = {
      {"version 2.0", Config("2.0", kAllSections), "ZOR '2.0' version is not supported."},
      {"no version", "<Measurement_Config_File><ZORInfo/></Measurement_Config_File>",
       "Version information not found."},
      {"no header", "<Measurement_Config_File><Signals/></Measurement_Config_File>", nullptr},
      {"wrong root", Config("2.000", kAllSections, "Other_Root"), nullptr},
      {"no EnvGroups in 2.000", Config("2.000", kOldSections), "EnvGroups section not found in XML file."},
      {"foreign child", Config("2.000", "<EncTypes/><Signals><Frame/></Signals>"),
       "Signals section not found in XML file."},
      {"foreign env child", Config("2.000", "<EncTypes/><Signals/><Networks/><Nodes/><EnvGroups><X/></EnvGroups>"),
       "EnvGroup section not found in XML file."},
      {"no EncTypes", Config("1.201", "<Signals/>"), "EncTypes section not found in XML file."},
      {"no MOSTFBlocks", Config("1.201", "<EncTypes/><Signals/><Networks/><Nodes/>"),
       "MOSTFBlocks section not found in XML file."},
      {"bad integer", Config("1.201", "<EncTypes/><Signals><Signal><Size>1x</Size></Signal></Signals>"),
       "'1x' is not a valid integer value"},
      {"bad hexadecimal",
       Config("1.201",
              "<EncTypes/><Signals/><Networks/><Nodes><Node><Name>N</Name><DiagnosticAddress>G1"
              "</DiagnosticAddress></Node></Nodes><MOSTFBlocks/>"),
       "'0xG1' is not a valid integer value"},
      {"syntax", "<Measurement_Config_File><ZORInfo>", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    zortest::MessageCapture messages;
    EXPECT_EQ(LoadText(c.text), nullptr);
    if (c.message) {
      ASSERT_EQ(messages.Errors.size(), 1u);
      EXPECT_EQ(messages.Errors[0], c.message);
    } else if (std::string(c.name) != "syntax") {
      EXPECT_TRUE(messages.Errors.empty());
    } else {
      EXPECT_LE(messages.Errors.size(), 1u);
    }
  }
}

TEST(LoadFile, MissingFileAndEmptyName) {
  zortest::MessageCapture messages;
  EXPECT_EQ(_LoadFile(""), nullptr);
  EXPECT_TRUE(messages.Errors.empty());
  EXPECT_EQ(_LoadFile("/no/such/file.xml"), nullptr);
  ASSERT_EQ(messages.Errors.size(), 1u);
  EXPECT_EQ(messages.Errors[0], "The file /no/such/file.xml does not exist,Can not load ZOR file!");
}

TEST(LoadFile, HeaderFieldsAndLegacyRoot) {
  zortest::MessageCapture messages;
  TZOR_RAM* ram = LoadText(Config("1.201", kOldSections, "KELVO_Config_File"));
  ASSERT_NE(ram, nullptr);
  EXPECT_EQ(ram->Version, "1.201");
  EXPECT_EQ(ram->Description, "d");
  EXPECT_NE(ram->FileName.find("load.xml"), std::string::npos);
  std::string out = zortest::TempPath("legacy_out.xml");
  EXPECT_FALSE(_SaveRAM(ram, out.c_str()));
  EXPECT_EQ(zortest::ReadFile(out),
            zortest::Lines({"<?xml version=\"1.0\"?>", "<Measurement_Config_File>", "<ZORInfo>",
                            "<Version>1.201</Version>", "<Description>d</Description>", "</ZORInfo>",
                            "<EncTypes></EncTypes>", "<Signals></Signals>", "<Networks></Networks>",
                            "<Nodes></Nodes>", "<MOSTFBlocks></MOSTFBlocks>", "</Measurement_Config_File>"}));
  std::remove(out.c_str());
  _FreeRAM(ram);
}

TEST(LoadFile, ProgressOfLoading) {
  zortest::MessageCapture messages;
  TZOR_RAM* ram = LoadText(Config("2.000", kAllSections));
  ASSERT_NE(ram, nullptr);
  // Empty sections report only their end; parsing reports its own steps.
  std::vector<std::pair<int, std::string>> sectionEnds;
  for (auto& p : messages.Progress)
    if (p.second != "Parsing XML file ...") sectionEnds.push_back(p);
  EXPECT_EQ(sectionEnds.size(), 6u);
  for (auto& p : sectionEnds) EXPECT_EQ(p, std::make_pair(0, std::string()));
  _FreeRAM(ram);
}

TEST(SaveFile, NewDatabaseAndHeaderEscaping) {
  zortest::MessageCapture messages;
  TZOR_RAM* ram = _NewRAM();
  ram->Description = "a & b <c>";
  std::string out = zortest::TempPath("new.xml");
  EXPECT_FALSE(_SaveRAM(ram, out.c_str()));
  std::string text = zortest::ReadFile(out);
  EXPECT_NE(text.find("<Description>a &amp; b &lt;c&gt;</Description>\r\n"), std::string::npos);
  EXPECT_NE(text.find("<EnvGroups></EnvGroups>\r\n"), std::string::npos);
  // What was saved loads back with the same header.
  TZOR_RAM* back = _LoadFile(out.c_str());
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->Description, "a & b <c>");
  EXPECT_EQ(back->Version, "2.000");
  std::vector<std::string> saveTexts;
  messages.Progress.clear();
  EXPECT_FALSE(_SaveRAM(back, out.c_str()));
  EXPECT_EQ(zortest::ReadFile(out), text);
  EXPECT_EQ(messages.Progress.size(), 6u);
  std::string inMemory;
  EXPECT_FALSE(SaveRamToText(back, inMemory));
  EXPECT_EQ(inMemory, text);
  EXPECT_TRUE(SaveRamToText(nullptr, inMemory));
  std::remove(out.c_str());
  _FreeRAM(back);
  _FreeRAM(ram);
}

TEST(SaveFile, OldVersionLeavesOutEnvironmentGroups) {
  TZOR_RAM* ram = _NewRAM();
  ram->Version = "1.201";
  _New_TZOR_EnvGroup(ram);
  std::string out = zortest::TempPath("old.xml");
  EXPECT_FALSE(_SaveRAM(ram, out.c_str()));
  EXPECT_EQ(zortest::ReadFile(out).find("EnvGroups"), std::string::npos);
  std::remove(out.c_str());
  _FreeRAM(ram);
}

TEST(SaveFile, FailureKeepsThePreviousFile) {
  zortest::MessageCapture messages;
  TZOR_RAM* ram = _NewRAM();
  std::string dir = zortest::TempPath("target_is_dir");
  std::filesystem::create_directory(dir);
  EXPECT_TRUE(_SaveRAM(ram, dir.c_str()));
  ASSERT_EQ(messages.Errors.size(), 1u);
  EXPECT_EQ(messages.Errors[0].rfind("ZOR save error: ", 0), 0u);
  std::filesystem::remove(dir);
  EXPECT_TRUE(_SaveRAM(ram, ""));
  EXPECT_TRUE(_SaveRAM(nullptr, "x"));
  _FreeRAM(ram);
}

TEST(SaveFile, RealsUseAPointWhateverTheLocale) {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  std::string saved = previous ? previous : "C";
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) GTEST_SKIP() << "no comma locale installed";
  std::string text = zortest::CaptureLines([] { WriteRealField("R", 2.5); });
  std::setlocale(LC_NUMERIC, saved.c_str());
  EXPECT_EQ(text, "<R>2.5</R>\r\n");
}

}  // namespace

namespace {

// Progress of the items of each section: after item i of n, i * 100 / n;
// every section ends with (0, "").
TEST(FileFrame, ProgressOfSectionsWithItems) {
  zortest::MessageCapture messages;
  TZOR_RAM* ram = _LoadFile(ZOR_SOURCE_DIR "/examples/can_lin.xml");
  ASSERT_NE(ram, nullptr);
  auto sectionReports = [&](const std::string& prefix) {
    std::vector<std::pair<int, std::string>> out;
    for (auto& p : messages.Progress)
      if (p.second.rfind(prefix, 0) == 0 || (p.second.empty() && !out.empty() && !out.back().second.empty()))
        out.push_back(p);
    return out;
  };
  using Reports = std::vector<std::pair<int, std::string>>;
  EXPECT_EQ(sectionReports("Loading Signals"),
            (Reports{{0, "Loading Signals ..."}, {25, "Loading Signals ..."}, {50, "Loading Signals ..."},
                     {75, "Loading Signals ..."}, {0, ""}}));
  messages.Clear();
  std::string out = zortest::TempPath("progress.xml");
  EXPECT_FALSE(_SaveRAM(ram, out.c_str()));
  EXPECT_EQ(sectionReports("Saving Nodes"), (Reports{{0, "Saving Nodes ..."}, {33, "Saving Nodes ..."},
                                                     {66, "Saving Nodes ..."}, {0, ""}}));
  std::remove(out.c_str());
  _FreeRAM(ram);
}

}  // namespace

namespace {

// Hosts edit the lists directly; a null entry must not bring down a save,
// an update or a check.
TEST(FileFrame, NullEntriesInListsAreSkipped) {
  zortest::MessageCapture messages;
  TZOR_RAM* ram = _LoadFile(ZOR_SOURCE_DIR "/examples/can_lin.xml");
  ASSERT_NE(ram, nullptr);
  ram->ForEachList([](TList& list) { list.Add(nullptr); });
  _UpdateRAM(ram);
  _CheckRAM(ram, 3);
  std::string out = zortest::TempPath("nulls.xml");
  EXPECT_FALSE(_SaveRAM(ram, out.c_str()));
  TZOR_RAM* back = _LoadFile(out.c_str());
  EXPECT_NE(back, nullptr);
  std::remove(out.c_str());
  _FreeRAM(back);
  _FreeRAM(ram);
}

}  // namespace

// A hand-written reference to the zero byte ends the text, so that the saved
// file loads again.
TEST(LoadFile, ZeroByteReferenceEndsTheTextAndTheSavedFileLoadsAgain) {
  zortest::MessageCapture messages;
  TZOR_RAM* ram = LoadText(Config("2.000",
                                  "<EncTypes/><Signals><Signal><Name>Sig&#000;x</Name></Signal>"
                                  "<Signal><Name>T&amp;#000;y</Name></Signal></Signals>"
                                  "<Networks/><Nodes/><EnvGroups/><MOSTFBlocks/>"));
  ASSERT_NE(ram, nullptr);
  ASSERT_EQ(ram->Signals.Count(), 2);
  EXPECT_EQ(ram->Signals[0]->Name, "Sig");
  EXPECT_EQ(ram->Signals[1]->Name, "T");
  std::string out = zortest::TempPath("zero_out.xml");
  ASSERT_FALSE(_SaveRAM(ram, out.c_str()));
  _FreeRAM(ram);
  TZOR_RAM* again = _LoadFile(out.c_str());
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->Signals[0]->Name, "Sig");
  _FreeRAM(again);
  std::remove(out.c_str());
}

// A database load reads the items while the file is parsed; what it reports
// and where it stops must be what the load in sequence gives, also when a
// later syntax error overrides an item's error.
TEST(LoadFile, ReadingWhileParsingReportsAsInSequence) {
  std::string manySignals = "<EncTypes/><Signals>";
  for (int i = 0; i < 5000; ++i)
    manySignals += "<Signal><ZORId>Signal" + std::to_string(i) + "</ZORId><Name>S" + std::to_string(i) +
                   "</Name><Size>8</Size></Signal>\n";
  manySignals += "</Signals><Networks/><Nodes/>";
  const std::string badSignal = "<EncTypes/><Signals><Signal><Size>1x</Size></Signal></Signals>";
  const std::string cases[] = {
      Config("1.201", (manySignals + "<MOSTFBlocks/>").c_str()),
      Config("2.000", (manySignals + "<EnvGroups/><MOSTFBlocks/>").c_str()),
      Config("1.201", (manySignals + "<!-- c --><MOSTFBlocks/><Signals/>").c_str()),
      Config("1.201", badSignal.c_str()),
      Config("1.201", (badSignal + "<Nodes></Networks>").c_str()),
      Config("1.201", (manySignals + "<MOSTFBlocks>").c_str()),
      Config("2.0", kAllSections),
      "<Measurement_Config_File><Signals/></Measurement_Config_File>",
      "<Measurement_Config_File><ZORInfo>",
      "",
  };
  const std::string path = zortest::TempPath("overlapped.xml");
  for (const std::string& text : cases) {
    SCOPED_TRACE(text.substr(0, 200));
    zortest::WriteFile(path, text);
    // Every report in one sequence; the progress handler reports in turn, as
    // a host's handler that calls the library would.
    static std::vector<std::string> log;
    struct Outcome {
      bool Failed;
      int64_t Stop;
      std::vector<std::string> Log;
      std::string Saved;
    };
    const auto load = [&](bool overlapped) {
      log.clear();
      const zor::Sinks saved = zor::GetSinks();
      zor::SetSinks({[](const char* t) { log.push_back(std::string("E ") + t); },
                     [](const char* t) { log.push_back(std::string("W ") + t); }, 0,
                     [](int32_t percent, const char* t) {
                       log.push_back("P " + std::to_string(percent) + " " + t);
                       if (std::string(t) == "Parsing XML file ...") zor::ReportWarning("from the handler");
                     }});
      std::unique_ptr<TZOR_RAM> ram;
      if (overlapped) {
        ram.reset(LoadDatabase(path));
      } else {
        ram = std::make_unique<TZOR_RAM>();
        if (LoadFile(path, ram.get())) ram.reset();
        else ram->Update();
      }
      zor::SetSinks(saved);
      Outcome outcome{ram == nullptr, LastLoadStopOffset(), log, std::string()};
      if (ram) SaveToText(*ram, outcome.Saved);
      return outcome;
    };
    const Outcome serial = load(false), overlapped = load(true);
    EXPECT_EQ(overlapped.Failed, serial.Failed);
    EXPECT_EQ(overlapped.Stop, serial.Stop);
    EXPECT_EQ(overlapped.Log, serial.Log);
    EXPECT_EQ(overlapped.Saved, serial.Saved);
  }
  std::remove(path.c_str());
}

// The nodes of a large file are resolved on two threads: every link as in
// order, and what the resolution reports in node order. A signal without an
// identifier keeps the look-ups from being shared; the walk in order then
// gives the same.
TEST(LoadFile, NodesResolvedBesideEachOtherAsInOrder) {
  constexpr int kNodes = 5, kPerNode = 1000;
  for (const bool sharedLookups : {true, false}) {
    SCOPED_TRACE(sharedLookups);
    std::string text = "<EncTypes/><Signals>";
    for (int i = 0; i < kPerNode; ++i)
      text += "<Signal><ZORId>Signal" + std::to_string(i) + "</ZORId><Name>S" + std::to_string(i) + "</Name></Signal>";
    if (!sharedLookups) text += "<Signal><Name>NoId</Name></Signal>";
    text += "</Signals><Networks/><Nodes>";
    for (int n = 0; n < kNodes; ++n) {
      const std::string node = std::to_string(n);
      text += "<Node><ZORId>Node" + node + "</ZORId><Name>N" + node + "</Name><Ifcs><Ifc><ZORId>Ifc" + node +
              "</ZORId><PubSigs>";
      for (int i = 0; i < kPerNode; ++i)
        text += "<PubSig><ZORId>P" + node + "_" + std::to_string(i) + "</ZORId><Signal>Signal" +
                std::to_string((i + n) % kPerNode) + "</Signal></PubSig>";
      text += "</PubSigs><Ctrls><Ctrl><RxFrames><Wrong" + node + "/></RxFrames></Ctrl></Ctrls></Ifc></Ifcs></Node>";
    }
    text += "</Nodes><MOSTFBlocks/>";
    zortest::MessageCapture messages;
    TZOR_RAM* ram = LoadText(Config("1.201", text.c_str()));
    ASSERT_NE(ram, nullptr);
    std::vector<std::string> expected;
    for (int n = 0; n < kNodes; ++n) expected.push_back("NetFrame expected but Wrong" + std::to_string(n) + " found.");
    EXPECT_EQ(messages.Errors, expected);
    ASSERT_EQ(ram->PubSigs.Count(), kNodes * kPerNode);
    for (int k = 0; k < ram->PubSigs.Count(); ++k) {
      const TSignal* signal = ram->PubSigs[k]->Signal;
      ASSERT_NE(signal, nullptr) << k;
      EXPECT_EQ(signal->Name, "S" + std::to_string((k % kPerNode + k / kPerNode) % kPerNode)) << k;
    }
    _FreeRAM(ram);
  }
}
