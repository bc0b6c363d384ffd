#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/builder.h"
#include "tests/support.h"
#include "zor/check/findings.h"
#include "zor/model/enums.h"
#include "zor/model/ram.h"
#include "zor/network/network.h"

namespace {

using namespace ZOR_RAM;

// The findings one Check call reports: codes and texts, in order.
struct Findings {
  std::vector<int> Codes;
  std::vector<std::string> Texts;
  bool Error = false;

  int Count(int code) const {
    int n = 0;
    for (int c : Codes) n += c == code;
    return n;
  }
  std::string TextOf(int code) const {
    for (size_t i = 0; i < Codes.size(); ++i)
      if (Codes[i] == code) return Texts[i];
    return "";
  }
};

Findings RunCheck(TItemData* item, uint64_t flags = kCheckUnique | kCheckAll) {
  zortest::FindingLog log;
  Findings out;
  out.Error = item->Check(flags);
  out.Codes = log.Codes;
  out.Texts = log.Texts;
  return out;
}

struct Db {
  TZOR_RAM Ram;
  zortest::Builder Make{Ram};
  TNode* Node = Make.Node("Ecu");

  TNetwork* AddNetwork(const char* name, int32_t type, int32_t speed) { return Make.TimedNetwork(name, type, speed); }
  TIfc* AddIfc(TNetwork* net, int32_t type, const char* name = "If", TNode* node = nullptr) {
    return Make.Ifc(node ? node : Node, name, type, net);
  }
  TNetFrame* AddFrame(TIfc* ifc, const std::string& name, uint32_t id, int size = 2) {
    return Make.Frame(ifc, name, id, size);
  }
};

// A LIN 2.0 network at 19200 bit/s with a master, a slave and a 2-byte frame.
struct LinDb : Db {
  TNetwork* Net;
  TIfc* Master;
  TIfc* Slave;
  TNetFrame* Frame;
  TNetMode* Mode;
  LinDb(int32_t type = kNetTypeLIN20) {
    Net = AddNetwork("Lin", type, 19200);
    Master = AddIfc(Net, kIfcLINMaster, "M");
    Slave = AddIfc(Net, kIfcLINSlave, "S", Make.Node("Sensor"));
    Slave->ProtVer = 2.0f;
    Frame = AddFrame(Master, "F", 1);
    Mode = Make.Mode(Net, "Table");
  }
};

TEST(ScheduleEntryCheck, DelayAgainstFrameTime) {
  struct Case {
    int32_t Delay;
    int Code;  // 0: none
    const char* Text;
  } cases[] = {
      {3000, kEntryFrameTimeOverDelay,
       "The Frame Time of the \"Lin.Table.F\" Schedule Entry is longer than its Delay (3.333 ms &gt; 3.000 ms)."},
      {4000, kEntryShortDelay,
       "\"Lin.Table.F\" Schedule Entry: Short Delay definition (3.333 ms * 1.4 &gt; 4.000 ms)."},
      {5000, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Delay);
    LinDb db;
    TSchEntry* entry = db.Make.Entry(db.Mode, kSchUnconditional, db.Frame, c.Delay);
    Findings f = RunCheck(entry);
    EXPECT_EQ(f.Count(kEntryFrameTimeOverDelay), c.Code == kEntryFrameTimeOverDelay);
    EXPECT_EQ(f.Count(kEntryShortDelay), c.Code == kEntryShortDelay);
    if (c.Code) {
      EXPECT_EQ(f.TextOf(c.Code), c.Text);
    }
    EXPECT_EQ(f.Error, c.Code == kEntryFrameTimeOverDelay);
  }
}

TEST(ScheduleEntryCheck, DelayIsAMultipleOfTheMasterPeriod) {
  LinDb db;
  db.Node->FrameProcessingPeriod = 5000;
  TSchEntry* entry = db.Make.Entry(db.Mode, kSchUnconditional, db.Frame, 12000);
  Findings f = RunCheck(entry);
  EXPECT_EQ(f.Codes, std::vector<int>{kEntryDelayNotMultiple});
  EXPECT_EQ(f.TextOf(kEntryDelayNotMultiple),
            "\"Lin.Table.F\" Schedule Entry Delay must be the exact multiple of the Frame Processing Period of the "
            "Master Node (12.000 ms != n * 5.000 ms).");
  entry->Delay = 15000;
  EXPECT_TRUE(RunCheck(entry).Codes.empty());
}

TEST(ScheduleEntryCheck, TypesAllowedAndReferences) {
  struct Case {
    const char* Name;
    int32_t NetType;
    int32_t EntryType;
    int FrameKind;  // 0 none, 1 plain frame, 2 event-triggered holder, 3 sporadic holder
    int IfcKind;    // 0 none, 1 slave 2.0, 2 master, 3 slave 1.3
    std::vector<int> Codes;
  } cases[] = {
      {"assign frame id on LIN 1.3", kNetTypeLIN13, kSchAssignFrameId, 1, 1, {kEntryTypeNotAllowed}},
      {"assign frame id to a master", kNetTypeLIN20, kSchAssignFrameId, 1, 2, {kEntryInterfaceNotSlave}},
      {"assign frame id to an old slave", kNetTypeLIN20, kSchAssignFrameId, 1, 3, {kEntryInterfaceNotLin20}},
      {"unassign without interface and frame", kNetTypeLIN20, kSchUnAssignFrameId, 0, 0,
       {kNoInterface, kNoNetworkFrame}},
      {"free format on LIN 1.3", kNetTypeLIN13, kSchFreeFormat, 0, 0, {kEntryTypeNotAllowed}},
      {"diagnostic request on LIN 1.1", kNetTypeLIN11, kSchDiagRequest, 0, 0, {kEntryTypeNotAllowed}},
      {"diagnostic request on LIN 1.2", kNetTypeLIN12, kSchDiagRequest, 0, 0, {}},
      {"unconditional holder", kNetTypeLIN20, kSchUnconditional, 2, 0, {kEntryTypeConflictsWithFrame}},
      {"event triggered with a plain frame", kNetTypeLIN20, kSchEventTriggered, 1, 0, {kEntryTypeConflictsWithFrame}},
      {"event triggered with a sporadic holder on LIN 1.0", kNetTypeLIN10, kSchEventTriggered, 3, 0,
       {kEntryTypeConflictsWithFrame, kEntryTypeNotAllowed}},
      {"sporadic with a sporadic holder", kNetTypeLIN20, kSchSporadic, 3, 0, {}},
      {"sporadic without frame", kNetTypeLIN20, kSchSporadic, 0, 0, {kNoNetworkFrame}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    LinDb db(c.NetType);
    db.Net->NetSpeed = 1000000;  // frame times far below the delay
    TNetFrame* frames[] = {nullptr, db.Frame, db.Make.Holder(db.Master, "ET", 2, kHolderEventTriggered),
                           db.Make.Holder(db.Master, "SP", 3, kHolderSporadic)};
    static_cast<TFrameHolder*>(frames[2])->NetFrames.Add(db.Frame);
    static_cast<TFrameHolder*>(frames[3])->NetFrames.Add(db.Frame);
    TIfc* old = db.AddIfc(db.Net, kIfcLINSlave, "Old");
    old->ProtVer = 1.3f;
    TIfc* ifcs[] = {nullptr, db.Slave, db.Master, old};
    TSchEntry* entry = db.Make.Entry(db.Mode, c.EntryType, frames[c.FrameKind], 100000);
    entry->Ifc = ifcs[c.IfcKind];
    EXPECT_EQ(RunCheck(entry).Codes, c.Codes);
  }
}

TEST(ScheduleEntryCheck, EntryWithoutModeAndDuplicateOrders) {
  Db db;
  TSchEntry* loose = db.Ram.NewItem(db.Ram.SchEntries);
  loose->Type = kSchDiagRequest;
  EXPECT_EQ(RunCheck(loose).Codes, std::vector<int>{kNoNetworkMode});

  LinDb lin;
  lin.Net->NetSpeed = 1000000;
  TSchEntry* a = lin.Make.Entry(lin.Mode, kSchDiagRequest, nullptr, 100000, 1);
  TSchEntry* b = lin.Make.Entry(lin.Mode, kSchDiagResponse, nullptr, 100000, 1);
  TSchEntry* c = lin.Make.Entry(lin.Mode, kSchUnconditional, lin.Frame, 100000, 1);
  lin.Make.Entry(lin.Mode, kSchUnconditional, lin.Frame, 100000, 2);
  Findings fa = RunCheck(a), fb = RunCheck(b), fc = RunCheck(c);
  EXPECT_EQ(fa.Codes, std::vector<int>{kEntryOrderNotUnique});
  EXPECT_EQ(fa.TextOf(kEntryOrderNotUnique),
            "\"Lin.Table.SlaveResp\" Schedule Table has Schedule Entries with the same Order value.");
  EXPECT_EQ(fb.TextOf(kEntryOrderNotUnique),
            "\"Lin.Table.MasterReq\" Schedule Table has Schedule Entries with the same Order value.");
  EXPECT_EQ(fc.Count(kEntryOrderNotUnique), 1);
  // A new run sees edited orders.
  b->Order = 7;
  c->Order = 8;
  RunCheck(lin.Mode);
  EXPECT_TRUE(RunCheck(a).Codes.empty());
}

TEST(ScheduleEntryCheck, OrdersEditedBetweenEntryChecks) {
  LinDb lin;
  lin.Net->NetSpeed = 1000000;
  TSchEntry* a = lin.Make.Entry(lin.Mode, kSchDiagRequest, nullptr, 100000, 1);
  TSchEntry* b = lin.Make.Entry(lin.Mode, kSchDiagResponse, nullptr, 100000, 2);
  TSchEntry* c = lin.Make.Entry(lin.Mode, kSchDiagRequest, nullptr, 100000, 3);
  // A table long enough to have its orders indexed.
  for (int order = 10; order < 30; ++order) lin.Make.Entry(lin.Mode, kSchDiagRequest, nullptr, 100000, order);
  EXPECT_EQ(RunCheck(a).Count(kEntryOrderNotUnique), 0);
  b->Order = 1;
  EXPECT_EQ(RunCheck(a).TextOf(kEntryOrderNotUnique),
            "\"Lin.Table.SlaveResp\" Schedule Table has Schedule Entries with the same Order value.");
  // The host takes b out and destroys it; c moves to a's order.
  lin.Mode->SchEntrys.Remove(b);
  delete b;
  c->Order = 1;
  EXPECT_EQ(RunCheck(a).TextOf(kEntryOrderNotUnique),
            "\"Lin.Table.MasterReq\" Schedule Table has Schedule Entries with the same Order value.");
  c->Order = 4;
  EXPECT_EQ(RunCheck(a).Count(kEntryOrderNotUnique), 0);
}

TEST(NetworkModeCheck, NamesAndEventTriggeredFrameInItsOwnTable) {
  LinDb db;
  TFrameHolder* holder = db.Make.Holder(db.Master, "ET", 2, kHolderEventTriggered);
  holder->NetFrames.Add(db.Frame);
  db.Make.Entry(db.Mode, kSchEventTriggered, holder, 100000);
  db.Make.Entry(db.Mode, kSchUnconditional, db.Frame, 100000);
  TNetMode* twin = db.Make.Mode(db.Net, "Table");
  (void)twin;
  // The warning does not depend on the flags.
  Findings none = RunCheck(db.Mode, 0);
  EXPECT_EQ(none.Codes, std::vector<int>{kEventFrameScheduledWithItsFrames});
  EXPECT_FALSE(none.Error);
  Findings all = RunCheck(db.Mode);
  EXPECT_EQ(all.Codes, (std::vector<int>{kNameNotUnique, kEventFrameScheduledWithItsFrames}));
  EXPECT_EQ(all.TextOf(kNameNotUnique), "\"Table\" Schedule Table Name is not unique.");

  TNetMode* loose = db.Ram.NewItem(db.Ram.NetModes);
  loose->Name = "1bad";
  EXPECT_EQ(RunCheck(loose).Codes, (std::vector<int>{kNoNetwork, kNameNotCLike}));
}

TEST(NetworkCheck, CanTimingAndSpeed) {
  struct Case {
    const char* Name;
    int32_t Type, Speed, SamplePos, SJW, SampMode;
    std::vector<int> Codes;
  } cases[] = {
      {"valid", kNetTypeCAN, 500000, 100000, 0, 3, {}},
      {"sample position", kNetTypeCAN, 500000, 100001, 1000, 1, {kCanSamplePositionInvalid}},
      {"jump width", kNetTypeCAN, 500000, 87500, -1, 1, {kCanJumpWidthInvalid}},
      {"sampling mode", kNetTypeCAN, 500000, 87500, 1000, 2, {kCanSamplingModeInvalid}},
      {"slow", kNetTypeCAN, 9999, 87500, 1000, 1, {kSpeedTooLow}},
      {"fast", kNetTypeCAN, 4000001, 87500, 1000, 1, {kSpeedTooHigh}},
      {"J1939 not 250k", kNetTypeJ1939, 500000, 87500, 1000, 1, {kJ1939SpeedNot250k}},
      {"bad type", 7, 500000, 87500, 1000, 1, {kTypeInvalid}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Db db;
    TNetwork* net = db.AddNetwork("Can", c.Type, c.Speed);
    net->SamplePos = c.SamplePos;
    net->SJW = c.SJW;
    net->SampMode = c.SampMode;
    EXPECT_EQ(RunCheck(net).Codes, c.Codes);
  }
  Db db;
  TNetwork* net = db.AddNetwork("Can", kNetTypeCAN, 500000);
  net->SamplePos = 100001;
  EXPECT_EQ(RunCheck(net).TextOf(kCanSamplePositionInvalid),
            "The Sample Position of the \"Can\" CAN Network is incorrect: 100.001%.");
}

TEST(NetworkCheck, FrameCountLimits) {
  struct Case {
    int Frames;
    std::vector<int> Codes;
  } cases[] = {{255, {}}, {300, {kTooManyFramesToEmulate}}, {1100, {kTooManyFramesToConnect}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Frames);
    Db db;
    TNetwork* net = db.AddNetwork("Can", kNetTypeCAN, 500000);
    TIfc* ifc = db.AddIfc(net, kIfcCAN);
    for (int i = 0; i < c.Frames; ++i) db.AddFrame(ifc, "F" + std::to_string(i), i);
    Findings f = RunCheck(net);
    EXPECT_EQ(f.Codes, c.Codes);
    if (c.Frames == 300) {
      EXPECT_NE(f.TextOf(kTooManyFramesToEmulate).find("Only 255 Frames"), std::string::npos);
    }
  }
}

TEST(NetworkCheck, FrameIdentifiersOnCan) {
  Db db;
  TNetwork* net = db.AddNetwork("Can", kNetTypeCAN, 500000);
  TIfc* ifc = db.AddIfc(net, kIfcCAN);
  db.AddFrame(ifc, "A", 0x100);
  db.AddFrame(ifc, "B", 0x100 | (1u << 29));  // differs only above bit 28
  db.AddFrame(ifc, "C", 0x100);
  db.AddFrame(ifc, "D", 0x200);
  Findings f = RunCheck(net);
  ASSERT_EQ(f.Codes, (std::vector<int>{kFrameIdShared, kFrameIdShared}));
  EXPECT_EQ(f.Texts[0], "The Frame \"A\" and Frame \"B\" have the same ID on the \"Can\" Network.");
  EXPECT_EQ(f.Texts[1], "The Frame \"B\" and Frame \"C\" have the same ID on the \"Can\" Network.");
}

TEST(NetworkCheck, FrameIdentifiersOnLin) {
  // LIN 1.3: frames against frames and event-triggered holders; holders
  // against holders.
  {
    LinDb db(kNetTypeLIN13);
    db.Make.Pub(db.Master, db.Make.Signal("S"));
    db.Make.Entry(db.Mode, kSchUnconditional, db.Frame, 100000);
    db.Make.Holder(db.Master, "ET1", 1, kHolderEventTriggered);
    db.Make.Holder(db.Master, "SP", 1, kHolderSporadic);
    db.Make.Holder(db.Master, "ET2", 1, kHolderEventTriggered);
    Findings f = RunCheck(db.Net);
    ASSERT_EQ(f.Codes, (std::vector<int>{kFrameIdShared, kFrameIdShared}));
    EXPECT_NE(f.Texts[0].find("\"F\" and Frame \"ET1\""), std::string::npos);
    EXPECT_NE(f.Texts[1].find("\"ET1\" and Frame \"ET2\""), std::string::npos);
  }
  // LIN 2.0: frames of class-2 slaves take no part; holders are compared up
  // to the first with a message identifier.
  {
    LinDb db;
    db.Make.Pub(db.Master, db.Make.Signal("S"));
    db.Make.Entry(db.Mode, kSchUnconditional, db.Frame, 100000);
    db.AddFrame(db.Slave, "FromSlave", 1);
    db.AddFrame(db.Master, "Twin", 1);
    TFrameHolder* stop = db.Make.Holder(db.Master, "Stop", 5, kHolderEventTriggered);
    db.Make.Holder(db.Master, "Late", 1, kHolderEventTriggered);
    TFrameMsgId* msgId = db.Ram.NewItem(db.Ram.FrameMsgIds);
    msgId->NetFrame = stop;
    db.Slave->FrameMsgIds.Add(msgId);
    Findings f = RunCheck(db.Net);
    ASSERT_EQ(f.Codes, std::vector<int>{kFrameIdShared});
    EXPECT_NE(f.Texts[0].find("\"F\" and Frame \"Twin\""), std::string::npos);
  }
}

TEST(NetworkCheck, LinStructure) {
  {
    Db db;
    TNetwork* net = db.AddNetwork("Empty", kNetTypeLIN12, 500);
    EXPECT_EQ(RunCheck(net).Codes, (std::vector<int>{kLinNoPublishedSignal, kLinNoFrame, kLinNoScheduleTable,
                                                     kSpeedTooLow, kLinNoMaster, kLinNoSlave}));
  }
  {
    LinDb db;
    db.Net->NetSpeed = 20001;
    db.AddIfc(db.Net, kIfcLINMaster, "M2");
    db.AddIfc(db.Net, kIfcLINMaster, "M3");
    db.Make.Pub(db.Slave, db.Make.Signal("S"));
    db.Make.Entry(db.Mode, kSchUnconditional, db.Frame, 100000);
    EXPECT_EQ(RunCheck(db.Net).Codes, (std::vector<int>{kSpeedTooHigh, kLinManyMasters}));
  }
  {
    LinDb db;
    db.Make.Pub(db.Slave, db.Make.Signal("S"));
    db.Make.Entry(db.Mode, kSchUnconditional, db.Frame, 100000);
    for (int i = 0; i < 256; ++i) db.Make.Mode(db.Net, "T");
    Findings f = RunCheck(db.Net, kCheckAll);
    EXPECT_EQ(f.Codes, std::vector<int>{kTooManyScheduleTables});
    EXPECT_FALSE(f.Error);
    EXPECT_NE(f.TextOf(kTooManyScheduleTables).find("\"Lin\" Network. \"Ecu\" Node"), std::string::npos);
  }
}

TEST(NetworkCheck, PublishersGatewaysAndNads) {
  LinDb db;
  db.Make.Entry(db.Mode, kSchUnconditional, db.Frame, 100000);
  TSignal* sig = db.Make.Signal("Speed");
  db.Make.Pub(db.Master, sig);
  db.Make.Pub(db.Slave, sig);
  // A gateway of the master's node brings the same signal in from a CAN network.
  TNetwork* can = db.AddNetwork("Can", kNetTypeCAN, 500000);
  TIfc* canIfc = db.AddIfc(can, kIfcCAN, "C");
  db.Make.Gateway(db.Node, canIfc, db.Master, sig);
  db.Make.Gateway(db.Node, canIfc, db.Master, sig);
  // Two 2.0 slaves with the same configured NAD.
  TIfc* other = db.AddIfc(db.Net, kIfcLINSlave, "S2");
  other->ProtVer = 2.1f;
  other->cfg_NAD = db.Slave->cfg_NAD = 5;

  Findings f = RunCheck(db.Net);
  EXPECT_EQ(f.Codes,
            (std::vector<int>{kSignalMultiPublished, kSignalPublishedAndGatewayed, kSignalPublishedAndGatewayed,
                              kSignalPublishedAndGatewayed, kSignalPublishedAndGatewayed, kSignalMultiGatewayed,
                              kConfiguredNadNotUniqueOnNetwork}));
  EXPECT_EQ(f.TextOf(kSignalMultiPublished),
            "\"Speed\" Signal is multi-published in Network \"Lin\" by Nodes: \"Ecu\", \"Sensor\"");
  EXPECT_EQ(f.Texts[3], "\"Speed\" Signal is published and gatewayed to Network \"Lin\" by Nodes: \"Sensor\", \"Ecu\"");
  EXPECT_EQ(f.TextOf(kConfiguredNadNotUniqueOnNetwork),
            "The Configured NAD of the \"S\" Interface is not unique on the \"Lin\" Network.");
}

TEST(NetworkCheck, UniqueNameOnlyUnderItsFlag) {
  Db db;
  TNetwork* a = db.AddNetwork("Same", kNetTypeCAN, 500000);
  db.AddNetwork("Same", kNetTypeCAN, 500000);
  EXPECT_EQ(RunCheck(a, kCheckUnique).Codes, std::vector<int>{kNameNotUnique});
  EXPECT_TRUE(RunCheck(a, kCheckAll).Codes.empty());
}

}  // namespace
