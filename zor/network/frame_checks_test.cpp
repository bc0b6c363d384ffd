#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "tests/builder.h"
#include "tests/support.h"
#include "zor/check/findings.h"
#include "zor/model/enums.h"
#include "zor/model/ram.h"
#include "zor/network/frame.h"
#include "zor/network/placement_overlap.h"

namespace ZOR_RAM {
namespace {

constexpr uint64_t kAll = kCheckUnique | kCheckAll;

struct Finding {
  int Code;
  std::string Text;
};

// Builds networks, interfaces, frames and placements as the readers would, and
// collects the findings of one Check call.
class FrameCheckTest : public ::testing::Test {
 protected:
  TNetwork* AddNetwork(int32_t type, const char* name = "Bus") { return Make.Network(name, type); }
  // An interface numbered by its list position, of node or of a new node.
  TIfc* AddIfc(TNetwork* net, int32_t type, float protVer = 2.0f, TNode* node = nullptr) {
    if (!node) node = Make.Node("Node" + std::to_string(Ram.Nodes.Count() + 1));
    TIfc* ifc = Make.Ifc(node, "Ifc" + std::to_string(Ram.Ifcs.Count() + 1), type, net);
    ifc->ProtVer = protVer;
    return ifc;
  }
  TNetFrame* AddFrame(TIfc* ifc, int32_t size, uint32_t id = 1, const char* name = "F") {
    return Make.Frame(ifc, name, id, size);
  }
  TFrameHolder* AddHolder(TIfc* ifc, int32_t type, uint32_t id = 1) { return Make.Holder(ifc, "H", id, type); }
  // A new signal of `bits` bits placed in frame and published by its sender.
  TNetSig* Place(TNetFrame* frame, int32_t bits, int32_t offset, int32_t updateBit = -1) {
    TSignal* signal = Make.Signal("S" + std::to_string(Ram.Signals.Count() + 1), bits);
    TNetSig* sig = Make.Place(frame, signal, offset);
    sig->UpdateBitOffset = updateBit;
    if (frame->Ifc) Make.Pub(frame->Ifc, signal);
    return sig;
  }

  std::vector<Finding> Run(TItemData* item, uint64_t flags = kAll) {
    zortest::FindingLog log;
    Ram.BeginCheckRun();
    item->Check(flags);
    Ram.EndCheckRun();
    std::vector<Finding> found;
    for (size_t i = 0; i < log.Codes.size(); ++i) found.push_back({log.Codes[i], log.Texts[i]});
    return found;
  }
  static int Count(const std::vector<Finding>& found, int code) {
    return static_cast<int>(std::count_if(found.begin(), found.end(), [&](const Finding& f) { return f.Code == code; }));
  }
  static std::string TextOf(const std::vector<Finding>& found, int code) {
    for (const Finding& f : found)
      if (f.Code == code) return f.Text;
    return std::string();
  }

  TZOR_RAM Ram;
  zortest::Builder Make{Ram};
  zortest::MessageCapture Messages;
};

TEST_F(FrameCheckTest, PlacementGeometry) {
  struct Sig {
    int32_t bits, offset, updateBit;
  };
  struct Case {
    const char* name;
    int32_t frameSize;
    bool sequenceInfo;
    std::vector<Sig> sigs;
    int code;
    int expected;  // how often code is reported
  } const cases[] = {
      {"12 bits at 8 leave a 2-byte frame", 2, false, {{12, 8, -1}}, kSignalOutOfFrame, 1},
      {"12 bits at 4 fit", 2, false, {{12, 4, -1}}, kSignalOutOfFrame, 0},
      {"update bit past the end", 2, false, {{4, 0, 16}}, kUpdateBitOutOfFrame, 1},
      {"update bit on the last bit", 2, false, {{4, 0, 15}}, kUpdateBitOutOfFrame, 0},
      {"update bit inside its own signal", 2, false, {{4, 0, 3}}, kUpdateBitOverlapsSignals, 1},
      {"signal in the sequence bits", 2, true, {{4, 12, -1}}, kSignalOverlapsSequenceInfo, 1},
      {"signal before the sequence bits", 2, true, {{4, 8, -1}}, kSignalOverlapsSequenceInfo, 0},
      {"update bit in the sequence bits", 2, true, {{4, 0, 14}}, kUpdateBitOverlapsSequenceInfo, 1},
      {"overlaps reported once", 2, false, {{8, 0, -1}, {4, 4, -1}, {4, 2, -1}}, kSignalsOverlap, 1},
      {"update bit on another signal", 2, false, {{8, 0, -1}, {4, 8, 3}}, kSignalsOverlap, 1},
      {"shared update bit", 2, false, {{4, 0, 12}, {4, 4, 12}}, kSignalsOverlap, 1},
      {"no update bits, no overlap", 2, false, {{4, 0, -1}, {4, 4, -1}, {8, 8, -1}}, kSignalsOverlap, 0},
  };
  TNetwork* net = AddNetwork(kNetTypeCAN);
  TIfc* ifc = AddIfc(net, kIfcCAN);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TNetFrame* frame = AddFrame(ifc, c.frameSize);
    frame->SequenceInfo = c.sequenceInfo;
    for (const Sig& s : c.sigs) Place(frame, s.bits, s.offset, s.updateBit);
    EXPECT_EQ(Count(Run(frame), c.code), c.expected);
  }
}

// The sorted overlap test of long frames answers as the scan does, on random
// placements dense enough to overlap often: starts and update bits inside,
// at and past the edges of each other's bits, shared update bits, empty and
// negative sizes, multiplexed pairs, a placement listed twice, and bits at
// the ends of the number range.
TEST_F(FrameCheckTest, SortedOverlapsAnswerAsTheScan) {
  std::mt19937 random(7);
  auto pick = [&](int64_t low, int64_t high) { return std::uniform_int_distribution<int64_t>(low, high)(random); };
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE(round);
    TNetFrame* frame = Make.Frame(nullptr, "F", 1, 8);
    const int count = static_cast<int>(pick(17, 40));
    for (int i = 0; i < count; ++i) {
      TNetSig* sig = Make.Place(frame, nullptr, static_cast<int32_t>(pick(0, 48)));
      if (pick(0, 20) == 0) sig->Offset = pick(0, 1) ? INT64_MAX : INT64_MIN;
      sig->UpdateBitOffset = pick(0, 2) ? -1 : pick(0, 48);
      sig->Multiplexed = pick(0, 3) ? kMuxPlainSignal : kMuxMultiplexed;
    }
    frame->NetSigs.Add(frame->NetSigs[static_cast<int>(pick(0, count - 1))]);
    const TPlacementOverlaps sorted(frame->NetSigs);
    for (TNetSig* p : frame->NetSigs) {
      const int64_t size = pick(0, 30) == 0 ? pick(-2, 0) : pick(1, pick(0, 1) ? 8 : INT64_MAX);
      const int64_t ub = pick(0, 1) ? p->UpdateBitOffset : pick(-1, 48);
      const bool scanned = OverlapsAnotherPlacement(frame->NetSigs, p, p->Offset, size, ub);
      EXPECT_EQ(sorted.Overlaps(p, p->Offset, size, ub), scanned) << "offset " << p->Offset << " size " << size << " update bit " << ub;
    }
  }
}

// Each pair of multiplexed placements is reported in order, whether the
// placements share size and offset (only shared values are looked up) or not.
TEST_F(FrameCheckTest, MultiplexedPairsInOrder) {
  TNetFrame* frame = AddFrame(AddIfc(AddNetwork(kNetTypeJ1939), kIfcCAN), 8, 0x100);
  Place(frame, 8, 0)->Multiplexed = kMuxMultiplexor;
  std::vector<TNetSig*> muxed;
  for (int64_t value : {3, 1, 3, 2, 1, 3}) {
    muxed.push_back(Place(frame, 8, 8));
    muxed.back()->Multiplexed = kMuxMultiplexed;
    muxed.back()->MultiplexerValue = value;
  }
  const int pairCodes[] = {kMultiplexedSizesDiffer, kMultiplexedOffsetsDiffer, kMultiplexValueShared};
  for (bool uniform : {true, false}) {
    SCOPED_TRACE(uniform);
    if (!uniform) muxed[4]->Offset = 16;
    std::vector<std::pair<int, std::string>> expected, reported;
    for (size_t i = 0; i < muxed.size(); ++i)
      for (size_t j = i + 1; j < muxed.size(); ++j) {
        const TNetSig* a = muxed[i];
        const TNetSig* b = muxed[j];
        const std::string names = a->Signal->Name + " " + b->Signal->Name;
        if (a->Offset != b->Offset) expected.emplace_back(kMultiplexedOffsetsDiffer, names);
        if (a->MultiplexerValue == b->MultiplexerValue) expected.emplace_back(kMultiplexValueShared, names);
      }
    for (const Finding& f : Run(frame))
      if (std::count(std::begin(pairCodes), std::end(pairCodes), f.Code)) {
        // The two names, in the order the text gives them.
        std::vector<std::pair<size_t, std::string>> at;
        for (const TNetSig* sig : muxed)
          if (size_t pos = f.Text.find('"' + sig->Signal->Name + '"'); pos != std::string::npos)
            at.emplace_back(pos, sig->Signal->Name);
        std::sort(at.begin(), at.end());
        reported.emplace_back(f.Code, at.size() == 2 ? at[0].second + " " + at[1].second : f.Text);
      }
    EXPECT_EQ(reported, expected);
  }
}

// Long LIN 2.0 lists are indexed during a check run (scheduled names, message
// identifiers by frame and by id, frame identifiers): every frame's and
// identifier's findings are those of the scans outside a run, with shared
// frame ids and message ids, frames without message id or schedule entry, one
// frame given two identifiers, an identifier without frame and one listed
// twice, slaves sharing a configured NAD.
TEST_F(FrameCheckTest, LinIndexesAnswerAsTheScans) {
  TNetwork* net = AddNetwork(kNetTypeLIN20);
  TIfc* master = AddIfc(net, kIfcLINMaster);
  TIfc* slave = AddIfc(net, kIfcLINSlave, 2.0f);
  TNetMode* table = Ram.NewItem(Ram.NetModes);
  table->Network = net;
  net->NetModes.Add(table);
  std::vector<TItemData*> checked;
  for (int i = 0; i < 20; ++i) {
    const uint32_t id = static_cast<uint32_t>(i < 14 ? i % 7 : 100 + i);
    TNetFrame* frame = AddFrame(master, 1, id, ("F" + std::to_string(i)).c_str());
    Make.Sub(slave, Place(frame, 8, 0)->Signal);
    if (i % 3) {
      TSchEntry* entry = Ram.NewItem(Ram.SchEntries);
      entry->NetMode = table;
      entry->TxFrame = frame;
      table->SchEntrys.Add(entry);
    }
    if (i % 4) Make.MsgId(slave, frame, static_cast<uint16_t>(i % 5));
    if (i == 5) Make.MsgId(slave, frame, 9);
    checked.push_back(frame);
  }
  AddHolder(master, kHolderEventTriggered, 116);  // shares only the id of F16, which has no message id
  Make.MsgId(slave, nullptr, 2);
  slave->FrameMsgIds.Add(slave->FrameMsgIds[2]);
  for (int i = 0; i < slave->FrameMsgIds.Count() - 1; ++i) checked.push_back(slave->FrameMsgIds[i]);
  for (uint8_t nad : {5, 5, 7}) {
    TIfc* other = AddIfc(net, kIfcLINSlave, 2.0f);
    other->cfg_NAD = nad;
    checked.push_back(other);
  }

  auto texts = [&](TItemData* item) {
    zortest::FindingLog log;
    item->Check(kAll);
    return log.Texts;
  };
  std::vector<std::vector<std::string>> scanned;
  for (TItemData* item : checked) scanned.push_back(texts(item));
  Ram.BeginCheckRun();
  for (size_t i = 0; i < checked.size(); ++i) EXPECT_EQ(texts(checked[i]), scanned[i]) << checked[i]->GetId();
  Ram.EndCheckRun();
}

TEST_F(FrameCheckTest, MultiplexedSignalsDoNotOverlap) {
  TNetFrame* frame = AddFrame(AddIfc(AddNetwork(kNetTypeCAN), kIfcCAN), 2);
  Place(frame, 8, 0)->Multiplexed = kMuxMultiplexed;
  Place(frame, 8, 0)->Multiplexed = kMuxMultiplexed;
  EXPECT_EQ(Count(Run(frame), kSignalsOverlap), 0);
  Place(frame, 4, 2);
  EXPECT_EQ(Count(Run(frame), kSignalsOverlap), 1);
}

TEST_F(FrameCheckTest, LinIdentifiersAndDiagnosticNames) {
  TNetwork* net = AddNetwork(kNetTypeLIN20);
  TIfc* master = AddIfc(net, kIfcLINMaster);
  TNetFrame* diag = AddFrame(master, 8, 60);
  TNetFrame* reserved = AddFrame(master, 8, 63);
  TNetFrame* named = AddFrame(master, 8, 5, "slaveresp");
  for (TNetFrame* frame : {diag, reserved, named}) Place(frame, 8, 0);

  EXPECT_EQ(Count(Run(diag), kLinFrameIdInvalid), 1);
  EXPECT_EQ(Count(Run(diag), kFrameReservedForDiagnostics), 1);
  EXPECT_EQ(Count(Run(named), kFrameReservedForDiagnostics), 1);
  EXPECT_EQ(Count(Run(named), kLinFrameIdInvalid), 0);
  Ram.ReserveDiagnosticIds = false;
  EXPECT_EQ(Count(Run(diag), kLinFrameIdInvalid), 0);
  EXPECT_EQ(Count(Run(diag), kFrameReservedForDiagnostics), 0);
  EXPECT_EQ(Count(Run(reserved), kLinFrameIdInvalid), 1);
}

TEST_F(FrameCheckTest, J1939Limits) {
  TNetwork* net = AddNetwork(kNetTypeJ1939);
  TIfc* ifc = AddIfc(net, kIfcCAN);
  TNetFrame* nine = AddFrame(ifc, 9, 0x100);
  Make.Timing(nine, 100000);
  EXPECT_EQ(Count(Run(nine), kFrameSizeOver8), 1);
  EXPECT_EQ(Count(Run(nine), kTxTimingTooShortForSize), 0);
  nine->FrameId |= kJ1939MultiPacketBit;
  EXPECT_EQ(Count(Run(nine), kFrameSizeOver8), 0);
  Make.Timing(nine, 50000);
  EXPECT_EQ(Count(Run(nine), kTxTimingTooShortForSize), 1);
  nine->Size = 1786;
  EXPECT_EQ(Count(Run(nine), kFrameSizeOver1785), 1);
  nine->Size = 1785;
  EXPECT_EQ(Count(Run(nine), kFrameSizeOver1785), 0);
}

TEST_F(FrameCheckTest, J1939Multiplexing) {
  TNetwork* net = AddNetwork(kNetTypeJ1939);
  TIfc* ifc = AddIfc(net, kIfcCAN);
  TNetFrame* frame = AddFrame(ifc, 8, 0x100);
  Make.Timing(frame, 100000);
  TNetSig* mux = Place(frame, 4, 0);
  mux->Multiplexed = kMuxMultiplexor;
  TNetSig* a = Place(frame, 8, 8);
  a->Multiplexed = kMuxMultiplexed;
  a->MultiplexerValue = 16;
  std::vector<Finding> found = Run(frame);
  EXPECT_EQ(Count(found, kMultiplexValueOverMax), 1);
  EXPECT_NE(TextOf(found, kMultiplexValueOverMax).find("Max Value 15 "), std::string::npos)
      << TextOf(found, kMultiplexValueOverMax);
  a->MultiplexerValue = 15;
  EXPECT_EQ(Count(Run(frame), kMultiplexValueOverMax), 0);
  a->MultiplexerValue = -2;
  EXPECT_EQ(TextOf(Run(frame), kMultiplexValueInvalid).substr(0, 16), "The MultiValue -");

  TNetSig* b = Place(frame, 16, 16);  // other size, other offset, same value
  b->Multiplexed = kMuxMultiplexed;
  b->MultiplexerValue = -2;
  found = Run(frame);
  EXPECT_EQ(Count(found, kMultiplexedSizesDiffer), 1);
  EXPECT_EQ(Count(found, kMultiplexedOffsetsDiffer), 1);
  EXPECT_EQ(Count(found, kMultiplexValueShared), 1);

  Place(frame, 2, 60)->Multiplexed = kMuxMultiplexor;
  EXPECT_EQ(Count(Run(frame), kManyMultiplexors), 1);
  mux->Multiplexed = kMuxPlainSignal;
  frame->NetSigs.Last()->Multiplexed = kMuxPlainSignal;
  EXPECT_EQ(Count(Run(frame), kMultiplexedWithoutMultiplexor), 1);
}

TEST_F(FrameCheckTest, CanTimingsAndSizes) {
  TNetwork* net = AddNetwork(kNetTypeCAN);
  TIfc* ifc = AddIfc(net, kIfcCAN);
  ifc->Node->FrameProcessingPeriod = 10000;
  TNetFrame* frame = AddFrame(ifc, 9, 0);
  Place(frame, 8, 0);
  std::vector<Finding> found = Run(frame);
  EXPECT_EQ(Count(found, kFrameInNoInterfaceMode), 1);
  EXPECT_EQ(Count(found, kFrameSizeOver8), 1);
  EXPECT_EQ(Count(found, kIdZero), 1);

  frame->Size = 8;
  frame->FrameId = 0x20000000;  // above the 29 identifier bits
  Make.Timing(frame, 15000);
  Make.Timing(frame, 20000);
  Make.Timing(frame, 0);
  found = Run(frame);
  EXPECT_EQ(Count(found, kIdZero), 1);
  EXPECT_EQ(Count(found, kFrameInNoInterfaceMode), 0);
  EXPECT_EQ(Count(found, kTxTimingNotMultiple), 1);
  EXPECT_EQ(Count(found, kTxTimingZero), 1);
  EXPECT_EQ(Count(found, kFrameSizeOver8), 0);
  frame->TransportType = kTransportSporadic;
  EXPECT_EQ(Count(Run(frame), kTxTimingNotMultiple), 0);

  // A node period of -1 with the smallest frame period must not trap.
  ifc->Node->FrameProcessingPeriod = -1;
  frame->TransportType = kTransportPeriodic;
  frame->TxFrameTimings[0]->FramePeriod = INT32_MIN;
  EXPECT_EQ(Count(Run(frame), kTxTimingNotMultiple), 0);
}

TEST_F(FrameCheckTest, FrameBasicsAndNames) {
  TNetwork* net = AddNetwork(kNetTypeLIN20, "Door");
  TIfc* master = AddIfc(net, kIfcLINMaster);
  TIfc* slave = AddIfc(net, kIfcLINSlave);
  TNetFrame* a = AddFrame(master, 0, 1, "Same");
  AddFrame(slave, 1, 2, "Same");
  a->TransportType = 3;
  a->MaxFUpTime = 5;
  a->MinFUpTime = 10;
  std::vector<Finding> found = Run(a);
  EXPECT_EQ(TextOf(found, kNameNotUnique), "\"Same\" Network Frame Name is not unique Door Network..");
  EXPECT_EQ(Count(found, kTransportTypeInvalid), 1);
  EXPECT_EQ(Count(found, kSizeZero), 1);
  EXPECT_EQ(Count(found, kNoSignal), 1);
  EXPECT_EQ(Count(found, kFrameNotScheduled), 1);
  EXPECT_EQ(Count(found, kFollowUpTimesReversed), 1);
  EXPECT_EQ(Count(Run(a, kCheckUnique), kNameNotUnique), 1);
  EXPECT_EQ(Count(Run(a, kCheckUnique), kTransportTypeInvalid), 0);

  Make.Entry(Make.Mode(net, ""), kSchUnconditional, a);
  EXPECT_EQ(Count(Run(a), kFrameNotScheduled), 0);

  TNetFrame* orphan = Ram.NewItem(Ram.NetFrames);
  orphan->Name = "Orphan";
  EXPECT_EQ(Count(Run(orphan), kNoNetwork), 1);
}

TEST_F(FrameCheckTest, Lin20MessageIds) {
  TNetwork* net = AddNetwork(kNetTypeLIN20);
  TIfc* master = AddIfc(net, kIfcLINMaster);
  TIfc* slave = AddIfc(net, kIfcLINSlave, 2.0f);
  TNetFrame* frame = AddFrame(master, 2, 7);
  TNetSig* sig = Place(frame, 8, 0);
  Make.Sub(slave, sig->Signal);
  // The network's frame list is built once, so every frame exists first.
  TNetFrame* twin = AddFrame(master, 2, 7, "Twin");
  EXPECT_EQ(Count(Run(frame), kFrameDynamicNoMessageId), 1);
  twin->FrameId = 8;
  EXPECT_EQ(Count(Run(frame), kFrameNoMessageId), 1);
  Make.MsgId(slave, frame);
  std::vector<Finding> found = Run(frame);
  EXPECT_EQ(Count(found, kFrameDynamicNoMessageId) + Count(found, kFrameNoMessageId), 0);
}

TEST_F(FrameCheckTest, HolderRulesByProtocol) {
  struct Case {
    int32_t netType;
    int32_t holderType;
    uint32_t id;
    int code;
  } const cases[] = {
      {kNetTypeLIN11, kHolderEventTriggered, 1, kEventFrameNotSupported},
      {kNetTypeLIN10, kHolderSporadic, 1, kSporadicFrameNotSupported},
      {kNetTypeLIN13, kHolderSporadic, 1, kSporadicFrameNotSupported},
      {kNetTypeLIN12, kHolderEventTriggered, 63, kEventFrameIdLin1x},
      {kNetTypeLIN20, kHolderEventTriggered, 60, kEventFrameIdLin20},
      {kNetTypeLIN20, kHolderEventTriggered, 1, kEventFrameEmpty},
      {kNetTypeLIN20, kHolderSporadic, 1, kSporadicFrameEmpty},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    TFrameHolder* holder = AddHolder(AddIfc(AddNetwork(c.netType), kIfcLINMaster), c.holderType, c.id);
    EXPECT_EQ(Count(Run(holder), c.code), 1);
  }
  TFrameHolder* bad = AddHolder(AddIfc(AddNetwork(kNetTypeLIN20), kIfcLINMaster), 5);
  EXPECT_EQ(Count(Run(bad), kTypeInvalid), 1);
}

TEST_F(FrameCheckTest, EventTriggeredAssignedFrames) {
  TNetwork* net = AddNetwork(kNetTypeLIN20);
  TNetwork* other = AddNetwork(kNetTypeLIN20, "Other");
  TIfc* master = AddIfc(net, kIfcLINMaster);
  TIfc* slave = AddIfc(net, kIfcLINSlave);
  TIfc* sameNode = AddIfc(net, kIfcLINSlave, 2.0f, slave->Node);
  TFrameHolder* holder = AddHolder(master, kHolderEventTriggered, 10);
  TNetFrame* first = AddFrame(slave, 2, 1, "First");
  Place(first, 8, 0);
  TNetFrame* second = AddFrame(sameNode, 3, 2, "Second");
  Place(second, 8, 8);
  TNetFrame* fromMaster = AddFrame(master, 2, 3, "FromMaster");
  fromMaster->Network = other;
  for (TNetFrame* f : {first, second, fromMaster}) holder->NetFrames.Add(f);

  std::vector<Finding> found = Run(holder);
  EXPECT_EQ(Count(found, kHolderPublishersNotDistinct), 1);
  EXPECT_EQ(Count(found, kHolderFrameNotFromSlave), 0);  // the scan ended at the repeated node
  EXPECT_EQ(Count(found, kHolderLengthsDiffer), 1);
  EXPECT_EQ(Count(found, kHolderFirstByteReserved), 1);
  EXPECT_EQ(TextOf(found, kHolderFirstByteReserved),
            "\"H\" - \"First\" Event triggered frame has the first byte reserved: \"S1\"(Signal).");
  EXPECT_EQ(TextOf(found, kEventFrameOtherNetwork),
            "\"H\" Event triggered frame's FromMaster Frame is on different Network.");

  holder->NetFrames.Clear();
  holder->NetFrames.Add(fromMaster);
  EXPECT_EQ(Count(Run(holder), kHolderFrameNotFromSlave), 1);
  holder->HolderType = kHolderSporadic;
  holder->NetFrames.Clear();
  holder->NetFrames.Add(first);
  found = Run(holder);
  EXPECT_EQ(Count(found, kSporadicFrameNotFromMaster), 1);
  EXPECT_EQ(Count(found, kHolderFirstByteReserved), 0);
}

TEST_F(FrameCheckTest, EventTriggeredHolderAfterHostEdits) {
  TNetwork* net = AddNetwork(kNetTypeLIN20);
  TIfc* master = AddIfc(net, kIfcLINMaster);
  TFrameHolder* holder = AddHolder(master, kHolderEventTriggered, 10);
  // Master frames of one node: each reports 61, and the second also meets
  // the node again (60, which ends the scan). A null first entry leaves the
  // sizes of the frames that are there compared (63).
  holder->NetFrames.Add(nullptr);
  holder->NetFrames.Add(AddFrame(master, 2, 3, "A"));
  holder->NetFrames.Add(AddFrame(master, 3, 4, "B"));
  holder->NetFrames.Add(AddFrame(master, 3, 5, "C"));
  std::vector<Finding> found = Run(holder);
  EXPECT_EQ(Count(found, kHolderFrameNotFromSlave), 2);
  EXPECT_EQ(Count(found, kHolderPublishersNotDistinct), 1);
  EXPECT_EQ(Count(found, kHolderLengthsDiffer), 1);
}

TEST_F(FrameCheckTest, PlacementRules) {
  struct Case {
    const char* name;
    int32_t netType;
    int32_t bits, offset;
    int code;
  } const cases[] = {
      {"LIN 1.3 small signal over a byte boundary", kNetTypeLIN13, 6, 5, kUnder8BitsCrossesByte},
      {"LIN 1.3 small signal inside a byte", kNetTypeLIN13, 6, 2, -kUnder8BitsCrossesByte},
      {"LIN 1.3 wide signal off a boundary", kNetTypeLIN13, 10, 3, kOver7BitsNotAligned},
      {"LIN 2.0 signal over two boundaries", kNetTypeLIN20, 12, 6, kUnder16BitsCrossesTwoBytes},
      {"LIN 2.0 signal within two bytes", kNetTypeLIN20, 12, 4, -kUnder16BitsCrossesTwoBytes},
      {"LIN 2.0 wide signal off a boundary", kNetTypeLIN20, 16, 4, kOver15BitsNotAligned},
      {"LIN signal above 16 bits", kNetTypeLIN11, 17, 0, kSignalSizeOver16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TNetFrame* frame = AddFrame(AddIfc(AddNetwork(c.netType), kIfcLINMaster), 8);
    TNetSig* sig = Place(frame, c.bits, c.offset);
    EXPECT_EQ(Count(Run(sig), std::abs(c.code)), c.code > 0 ? 1 : 0);
  }

  TNetFrame* j1939 = AddFrame(AddIfc(AddNetwork(kNetTypeJ1939), kIfcCAN), 8);
  TNetSig* spn = Place(j1939, 8, 0);
  spn->SPN = 524288;
  spn->MaxUpdInterval = 5;
  spn->MinUpdInterval = 10;
  std::vector<Finding> found = Run(spn);
  EXPECT_EQ(Count(found, kSpnOutOfRange), 1);
  EXPECT_EQ(Count(found, kUpdateIntervalsReversed), 1);
  EXPECT_EQ(Count(found, kSignalNotSentByInterface), 0);
  j1939->Ifc->PubSigs.Clear();
  EXPECT_EQ(Count(Run(spn), kSignalNotSentByInterface), 1);

  TNetFrame* lin = AddFrame(AddIfc(AddNetwork(kNetTypeLIN12), kIfcLINMaster), 8);
  TNetSig* bytes = Place(lin, 16, 0, 20);
  bytes->Signal->SignalType = kSignalBytes;
  found = Run(bytes);
  EXPECT_EQ(Count(found, kByteSignalOnLin1x), 1);
  EXPECT_EQ(Count(found, kSignalHasUpdateBit), 1);
}

TEST_F(FrameCheckTest, PlacementPresenceAndDuplicates) {
  TNetFrame* frame = AddFrame(AddIfc(AddNetwork(kNetTypeCAN), kIfcCAN), 8);
  TNetSig* first = Place(frame, 8, 0);
  Make.Place(frame, first->Signal);
  EXPECT_EQ(Count(Run(first), kSignalPackedTwice), 1);
  EXPECT_EQ(Count(Run(first, kCheckAll), kSignalPackedTwice), 0);

  TNetSig* loose = Ram.NewItem(Ram.NetSigs);
  std::vector<Finding> found = Run(loose);
  EXPECT_EQ(Count(found, kNoNetworkFrame), 1);
  EXPECT_EQ(Count(found, kNoNetwork), 1);

  TTxFrameTiming* timing = Ram.NewItem(Ram.TxFrameTimings);
  found = Run(timing);
  EXPECT_EQ(Count(found, kTimingNoInterfaceMode), 1);
  EXPECT_EQ(Count(found, kNoNetworkFrame), 1);
  EXPECT_TRUE(Run(timing, kCheckUnique).empty());
}

}  // namespace
}  // namespace ZOR_RAM
