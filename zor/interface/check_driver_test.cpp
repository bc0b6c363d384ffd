#include "zor/interface/check_driver.h"

#include <gtest/gtest.h>

#include <optional>

#include "tests/builder.h"
#include "tests/support.h"
#include "zor/check/findings.h"
#include "zor/env/env.h"
#include "zor/model/check_run_values.h"
#include "zor/model/enums.h"
#include "zor/model/ram.h"
#include "zor/network/lin_diag.h"
#include "zor/network/network.h"
#include "zor/network/signal.h"
#include "zor/network/signal_group.h"
#include "zor/node/controller.h"
#include "zor/node/node.h"
#include "zor/zor.h"

using namespace ZOR_RAM;

namespace {

TEST(CheckDriver, NullAndEmptyDatabases) {
  zortest::MessageCapture messages;
  EXPECT_TRUE(_CheckRAM(nullptr, 3));
  TZOR_RAM* ram = _NewRAM();
  EXPECT_FALSE(_CheckRAM(ram, 3));
  EXPECT_TRUE(messages.Errors.empty());
  EXPECT_TRUE(messages.Progress.empty());
  _FreeRAM(ram);
}

TEST(CheckDriver, ProgressPerItemOfEachList) {
  zortest::MessageCapture messages;
  TZOR_RAM ram;
  for (int i = 0; i < 4; ++i) ram.NewItem(ram.Nodes);
  ram.NewItem(ram.EnvGroups);
  ram.NewItem(ram.Networks);
  ram.NewItem(ram.SigGrps);  // not walked
  CheckDatabase(ram, 0);
  std::vector<std::pair<int, std::string>> expected = {
      {0, "Checking Networks ..."}, {0, "Checking Nodes ..."},  {25, "Checking Nodes ..."},
      {50, "Checking Nodes ..."},   {75, "Checking Nodes ..."}, {0, "Checking Environment ..."}};
  EXPECT_EQ(messages.Progress, expected);
}

TEST(CheckDriver, FlagsZeroFindNothing) {
  zortest::MessageCapture messages;
  TZOR_RAM ram;
  TNode* detached = new TNode();  // not attached: the attachment check would report it
  ram.Nodes.Add(detached);
  EXPECT_FALSE(CheckDatabase(ram, 0));
  EXPECT_TRUE(messages.Errors.empty());
  EXPECT_TRUE(CheckDatabase(ram, kCheckAll));
  EXPECT_FALSE(messages.Errors.empty());
}

TEST(CheckDriver, LinDiagnosticNetworkFlag) {
  TZOR_RAM ram;
  TNetwork* network = ram.NewItem(ram.Networks);
  network->Type = kNetTypeLIN11;
  CheckDatabase(ram, 0);
  EXPECT_FALSE(HasLinDiagNetwork);
  ram.NewItem(ram.Networks)->Type = kNetTypeLIN20;
  CheckDatabase(ram, 0);
  EXPECT_TRUE(HasLinDiagNetwork);
}

}  // namespace

namespace {

// Values of long lists that later steps ask for are built on a second thread
// while the walk goes on; what the checks find must not depend on when.
TEST(CheckDriver, ValuesBuiltAheadFindAsBuiltInTurn) {
  TZOR_RAM ram;
  zortest::Builder make{ram};
  TIfc* ifc = make.Ifc(make.Node("N"), "I", kIfcCAN, make.Network("Net", kNetTypeCAN));
  TNetFrame* frame = make.Frame(ifc, "F", 1, 8);
  std::vector<TSignal*> signals;
  for (int i = 0; i < 40; ++i) signals.push_back(make.Signal("S" + std::to_string(i % 37)));  // S0-S2 twice
  for (int i = 0; i < 20; ++i) {
    make.Place(frame, signals[static_cast<size_t>(i)]);                          // 20-39 are not mapped
    if (i != 7) make.Pub(ifc, signals[static_cast<size_t>(i == 19 ? 37 : i)]);  // 37 is named as 0
    make.Sub(ifc, signals[static_cast<size_t>(i + 1)]);
  }
  for (int run = 0; run < 2; ++run) {
    zortest::MessageCapture messages;
    // Run 0 meets everything built by the second thread, run 1 whatever it meets.
    std::optional<TCheckRunScope> scope;
    std::optional<TCheckRunValuesAhead> ahead;
    if (run == 0) {
      scope.emplace(ram);
      ahead.emplace(ram);
      QueuePublishedCounts(*ahead, *ifc);
      QueuePlacedSignals(*ahead, ram);
      QueueNameIndex(*ahead, ram.Signals);
      QueueNameIndex(*ahead, ifc->PubSigs);
      ahead->Start();
      ahead->WaitForBuilds();
    }
    CheckDatabase(ram, kCheckAll | kCheckUnique);
    std::vector<std::string> found;
    for (const std::string& error : messages.Errors)
      if (error.find("not unique") != std::string::npos || error.find("gatewayed") != std::string::npos)
        found.push_back(error);
    for (const std::string& warning : messages.Warnings)
      if (warning.find("not mapped") != std::string::npos) found.push_back(warning);
    std::vector<std::string> expected = {
        "The \"S7\" Signal is not published or gatewayed out by \"I\" Ifc, but it is in the \"F\" Frame.",
        "The \"S19\" Signal is not published or gatewayed out by \"I\" Ifc, but it is in the \"F\" Frame."};
    for (int i : {0, 1, 2, 37, 38, 39}) expected.push_back("\"S" + std::to_string(i % 37) + "\" Signal Name is not unique.");
    expected.insert(expected.end(), 2, "\"S0\" Published Signal Name is not unique in the I Interface.");
    // Errors come first, then warnings; 37-39 are named as placed signals.
    for (int i = 20; i < 37; ++i) expected.push_back("The \"S" + std::to_string(i) + "\" Signal is not mapped to frame.");
    EXPECT_EQ(found, expected) << run;
  }
}

}  // namespace
