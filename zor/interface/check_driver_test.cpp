#include "zor/interface/check_driver.h"

#include <gtest/gtest.h>

#include "tests/support.h"
#include "zor/check/findings.h"
#include "zor/env/env.h"
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

// The name indexes of long lists are built on a second thread while the walk
// goes on; what the name tests find must not depend on when they are built.
TEST(CheckDriver, NameTestsOfLongListsFindEveryDuplicate) {
  TZOR_RAM ram;
  std::vector<TSignal*> signals;
  for (int i = 0; i < 40; ++i) {
    signals.push_back(ram.NewItem(ram.Signals));
    signals.back()->Name = "S" + std::to_string(i % 37);  // S0, S1, S2 twice
  }
  TIfc* ifc = ram.NewItem(ram.Ifcs);
  ifc->Name = "I";
  for (int i = 0; i < 20; ++i) {
    TPubSig* pub = ram.NewItem(ram.PubSigs);
    pub->Signal = signals[static_cast<size_t>(i == 19 ? 37 : i)];  // 37 is named as 0
    pub->Ifc = ifc;
    ifc->PubSigs.Add(pub);
    TSubSig* sub = ram.NewItem(ram.SubSigs);
    sub->Signal = signals[static_cast<size_t>(i + 1)];
    sub->Ifc = ifc;
    ifc->SubSigs.Add(sub);
  }
  for (int run = 0; run < 2; ++run) {
    zortest::MessageCapture messages;
    CheckDatabase(ram, kCheckUnique);
    std::vector<std::string> duplicates;
    for (const std::string& error : messages.Errors)
      if (error.find("not unique") != std::string::npos) duplicates.push_back(error);
    const std::vector<std::string> expected = {
        "\"S0\" Signal Name is not unique.", "\"S1\" Signal Name is not unique.",
        "\"S2\" Signal Name is not unique.", "\"S0\" Signal Name is not unique.",
        "\"S1\" Signal Name is not unique.", "\"S2\" Signal Name is not unique.",
        "\"S0\" Published Signal Name is not unique in the I Interface.",
        "\"S0\" Published Signal Name is not unique in the I Interface."};
    EXPECT_EQ(duplicates, expected) << run;
  }
}

}  // namespace
