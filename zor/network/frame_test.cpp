#include "zor/network/frame.h"

#include <gtest/gtest.h>

#include "tests/support.h"
#include "zor/model/enums.h"
#include "zor/model/ram.h"

namespace ZOR_RAM {
namespace {

using zortest::CaptureLines;
using zortest::Lines;
using zortest::MessageCapture;
using zortest::ParseXml;

// Reads the root element of xml into a new item of list; the document is
// kept alive in *doc because the item refers to its source element.
template <class T>
T* ReadItem(TZOR_RAM& ram, TZORList<T>& list, const std::string& xml, std::unique_ptr<TQXMLDocument>* doc,
            bool* failed = nullptr) {
  *doc = ParseXml(xml);
  if (!*doc) {
    ADD_FAILURE() << "XML did not parse";
    return nullptr;
  }
  T* item = ram.NewItem(list);
  bool result = item->ReadXml((*doc)->GetRoot());
  if (failed) *failed = result;
  else EXPECT_FALSE(result);
  return item;
}

const char* const kFrameV2[] = {
    "<NetFrame>",
    "<ZORId>F1</ZORId>",
    "<Name>Engine&amp;Data</Name>",
    "<Size>8</Size>",
    "<TransportType>Sporadic</TransportType>",
    "<TransportTypeName>on &lt;change&gt;</TransportTypeName>",
    "<FrameId>536871167</FrameId>",
    "<SequenceInfo>1</SequenceInfo>",
    "<MaxFUpTime>200</MaxFUpTime>",
    "<MinFUpTime>-5</MinFUpTime>",
    "<ByteOrder>Little Endian</ByteOrder>",
    "<Network>N1</Network>",
    "<NetSigs>",
    "<NetSig>",
    "<ZORId>NS1</ZORId>",
    "<Offset>12</Offset>",
    "<UpdateBitOffset>3</UpdateBitOffset>",
    "<MaxUpdInterval>100</MaxUpdInterval>",
    "<MinUpdInterval>10</MinUpdInterval>",
    "<Multiplexed>Multiplexed Signal</Multiplexed>",
    "<MultiplexerValue>-9000000000</MultiplexerValue>",
    "<SPN>524287</SPN>",
    "<SigType>StringLengthControl</SigType>",
    "<Signal>S1</Signal>",
    "<Network>N1</Network>",
    "</NetSig>",
    "<NetSig>",
    "<ZORId>NS2</ZORId>",
    "<Offset>0</Offset>",
    "<UpdateBitOffset>-1</UpdateBitOffset>",
    "<MaxUpdInterval>0</MaxUpdInterval>",
    "<MinUpdInterval>0</MinUpdInterval>",
    "<Multiplexed>Multiplexor Signal</Multiplexed>",
    "<MultiplexerValue></MultiplexerValue>",
    "<SPN>0</SPN>",
    "<SigType>Default</SigType>",
    "</NetSig>",
    "</NetSigs>",
    "<TxFrameTimings>",
    "<TxFrameTiming>",
    "<ZORId>T1</ZORId>",
    "<FramePeriod>10000</FramePeriod>",
    "<OffsetTime>5</OffsetTime>",
    "<WcLatency>7</WcLatency>",
    "<IfcMode>M1</IfcMode>",
    "</TxFrameTiming>",
    "</TxFrameTimings>",
    "</NetFrame>",
};

std::string Text(const char* const* lines, size_t count, const char* sep) {
  std::string out;
  for (size_t i = 0; i < count; ++i) out += std::string(lines[i]) + sep;
  return out;
}

class FrameTest : public ::testing::Test {
 protected:
  FrameTest() {
    Net = Ram.NewItem(Ram.Networks);
    Net->Id = "N1";
    Sig = Ram.NewItem(Ram.Signals);
    Sig->Id = "S1";
    Mode = Ram.NewItem(Ram.IfcModes);
    Mode->Id = "M1";
    Mode->Name = "Normal";
  }
  TZOR_RAM Ram;
  TNetwork* Net;
  TSignal* Sig;
  TIfcMode* Mode;
  MessageCapture Messages;
};

TEST_F(FrameTest, RoundTripVersion2) {
  std::unique_ptr<TQXMLDocument> doc;
  TNetFrame* frame = ReadItem(Ram, Ram.NetFrames, Text(kFrameV2, std::size(kFrameV2), "\n"), &doc);
  ASSERT_NE(frame, nullptr);
  frame->ResolveLinks();

  EXPECT_EQ(frame->Name, "Engine&Data");
  EXPECT_EQ(frame->TransportType, kTransportSporadic);
  EXPECT_EQ(frame->FrameId, kJ1939MultiPacketBit | 255u);
  EXPECT_TRUE(frame->SequenceInfo);
  EXPECT_EQ(frame->ByteOrder, kByteOrderLittleEndian);
  EXPECT_EQ(frame->Network, Net);
  ASSERT_EQ(frame->NetSigs.Count(), 2);
  ASSERT_EQ(frame->TxFrameTimings.Count(), 1);
  EXPECT_EQ(Ram.NetSigs.Count(), 2);
  EXPECT_EQ(Ram.TxFrameTimings.Count(), 1);
  TNetSig* first = frame->NetSigs[0];
  EXPECT_EQ(first->Frame, frame);
  EXPECT_EQ(first->Signal, Sig);
  EXPECT_EQ(first->Network, Net);
  EXPECT_EQ(first->MultiplexerValue, -9000000000LL);
  EXPECT_EQ(first->SigType, kSigTypeStringLengthControl);
  EXPECT_EQ(frame->NetSigs[1]->Signal, nullptr);
  EXPECT_EQ(frame->TxFrameTimings[0]->IfcMode, Mode);
  EXPECT_EQ(frame->TxFrameTimings[0]->Frame, frame);
  EXPECT_EQ(frame->TxFrameTimings[0]->GetName(), "Normal");
  EXPECT_EQ(frame->TxFrameTimings[0]->GetDisplayName(), "Engine&Data.Normal");

  EXPECT_EQ(CaptureLines([&] { EXPECT_FALSE(frame->WriteXml(true)); }),
            Text(kFrameV2, std::size(kFrameV2), "\r\n"));
  EXPECT_TRUE(Messages.Errors.empty());
}

TEST_F(FrameTest, OlderVersionPlacementHasNoMultiplexFields) {
  Ram.Version = "1.201";
  std::unique_ptr<TQXMLDocument> doc;
  TNetSig* sig = ReadItem(Ram, Ram.NetSigs,
                          "<NetSig><Offset>4</Offset><UpdateBitOffset>2</UpdateBitOffset>"
                          "<Multiplexed>Multiplexed Signal</Multiplexed><MultiplexerValue>3</MultiplexerValue>"
                          "<SPN>7</SPN><SigType>DTC</SigType><Signal>S1</Signal></NetSig>",
                          &doc);
  sig->ResolveLinks();
  EXPECT_EQ(sig->Multiplexed, kMuxPlainSignal);
  EXPECT_EQ(sig->MultiplexerValue, 0);
  EXPECT_EQ(sig->SPN, 0);
  EXPECT_EQ(sig->SigType, kSigTypeDefault);
  EXPECT_EQ(CaptureLines([&] { sig->WriteXml(true); }),
            Lines({"<NetSig>", "<ZORId>NetSig0</ZORId>", "<Offset>4</Offset>", "<UpdateBitOffset>2</UpdateBitOffset>",
                   "<MaxUpdInterval>0</MaxUpdInterval>", "<MinUpdInterval>0</MinUpdInterval>", "<Signal>S1</Signal>",
                   "</NetSig>"}));
}

TEST_F(FrameTest, MultiplexerValueReadOnlyForMultiplexedSignals) {
  std::unique_ptr<TQXMLDocument> doc;
  TNetSig* sig = ReadItem(Ram, Ram.NetSigs,
                          "<NetSig><Multiplexed>multiplexor signal</Multiplexed>"
                          "<MultiplexerValue>3</MultiplexerValue></NetSig>",
                          &doc);
  EXPECT_EQ(sig->Multiplexed, kMuxMultiplexor);
  EXPECT_EQ(sig->MultiplexerValue, 0);
}

TEST_F(FrameTest, EmptyFrameWritesBothContainers) {
  TNetFrame* frame = Ram.NewItem(Ram.NetFrames);
  EXPECT_EQ(CaptureLines([&] { frame->WriteXml(true); }),
            Lines({"<NetFrame>", "<ZORId>NetFrame0</ZORId>", "<Name></Name>", "<Size>0</Size>",
                   "<TransportType>Periodic</TransportType>", "<TransportTypeName></TransportTypeName>",
                   "<FrameId>0</FrameId>", "<SequenceInfo>0</SequenceInfo>", "<MaxFUpTime>0</MaxFUpTime>",
                   "<MinFUpTime>0</MinFUpTime>", "<ByteOrder>Big Endian</ByteOrder>", "<NetSigs></NetSigs>",
                   "<TxFrameTimings></TxFrameTimings>", "</NetFrame>"}));
}

TEST_F(FrameTest, WrongChildNamesFailTheFrame) {
  struct Case {
    const char* xml;
    const char* error;
  } const cases[] = {
      {"<NetFrame><NetSigs><NetSig/><Signal/></NetSigs></NetFrame>", "NetSig expected but Signal found."},
      {"<NetFrame><TxFrameTimings><Timing/></TxFrameTimings></NetFrame>",
       "TxFrameTiming expected but Timing found."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.xml);
    Messages.Clear();
    std::unique_ptr<TQXMLDocument> doc;
    bool failed = false;
    ReadItem(Ram, Ram.NetFrames, c.xml, &doc, &failed);
    EXPECT_TRUE(failed);
    EXPECT_EQ(Messages.Errors, std::vector<std::string>{c.error});
  }
}

TEST_F(FrameTest, RereadingReplacesChildren) {
  std::unique_ptr<TQXMLDocument> doc;
  TNetFrame* frame = ReadItem(Ram, Ram.NetFrames,
                              "<NetFrame><NetSigs><NetSig/><NetSig/></NetSigs>"
                              "<TxFrameTimings><TxFrameTiming/></TxFrameTimings></NetFrame>",
                              &doc);
  auto doc2 = ParseXml("<NetFrame><NetSigs><NetSig><Offset>3</Offset></NetSig></NetSigs></NetFrame>");
  ASSERT_FALSE(frame->ReadXml(doc2->GetRoot()));
  ASSERT_EQ(frame->NetSigs.Count(), 1);
  EXPECT_EQ(frame->NetSigs[0]->Offset, 3);
  EXPECT_EQ(Ram.NetSigs.Count(), 1);
  EXPECT_EQ(Ram.TxFrameTimings.Count(), 0);
}

TEST_F(FrameTest, HolderRoundTripAndResolution) {
  TNetFrame* a = Ram.NewItem(Ram.NetFrames);
  a->Id = "A";
  TNetFrame* b = Ram.NewItem(Ram.NetFrames);
  b->Id = "B";
  std::unique_ptr<TQXMLDocument> doc;
  TFrameHolder* holder = ReadItem(Ram, Ram.FrameHolders,
                                  "<FrameHolder><ZORId>H</ZORId><Name>ET</Name><Size>2</Size>"
                                  "<HolderType>sporadic</HolderType><NetFrames><NetFrame>B</NetFrame>"
                                  "<NetFrame>missing</NetFrame><NetFrame>A</NetFrame></NetFrames></FrameHolder>",
                                  &doc);
  holder->ResolveLinks();
  EXPECT_EQ(holder->HolderType, kHolderSporadic);
  ASSERT_EQ(holder->NetFrames.Count(), 2);
  EXPECT_EQ(holder->NetFrames[0], b);
  EXPECT_EQ(holder->NetFrames[1], a);
  // Resolving again rebuilds the list instead of appending.
  holder->ResolveLinks();
  EXPECT_EQ(holder->NetFrames.Count(), 2);

  EXPECT_EQ(CaptureLines([&] { holder->WriteXml(true); }),
            Lines({"<FrameHolder>", "<ZORId>H</ZORId>", "<Name>ET</Name>", "<Size>2</Size>",
                   "<TransportType>Periodic</TransportType>", "<TransportTypeName></TransportTypeName>",
                   "<FrameId>0</FrameId>", "<SequenceInfo>0</SequenceInfo>", "<MaxFUpTime>0</MaxFUpTime>",
                   "<MinFUpTime>0</MinFUpTime>", "<ByteOrder>Big Endian</ByteOrder>", "<NetSigs></NetSigs>",
                   "<TxFrameTimings></TxFrameTimings>", "<HolderType>Sporadic</HolderType>", "<NetFrames>",
                   "<NetFrame>B</NetFrame>", "<NetFrame>A</NetFrame>", "</NetFrames>", "</FrameHolder>"}));
}

TEST_F(FrameTest, HolderWrongChildStopsResolution) {
  TNetFrame* a = Ram.NewItem(Ram.NetFrames);
  a->Id = "A";
  std::unique_ptr<TQXMLDocument> doc;
  TFrameHolder* holder = ReadItem(Ram, Ram.FrameHolders,
                                  "<FrameHolder><NetFrames><NetFrame>A</NetFrame><Frame>A</Frame>"
                                  "<NetFrame>A</NetFrame></NetFrames></FrameHolder>",
                                  &doc);
  holder->ResolveLinks();
  EXPECT_EQ(holder->NetFrames.Count(), 1);
  EXPECT_EQ(Messages.Errors, std::vector<std::string>{"NetFrame expected but Frame found."});
}

TEST_F(FrameTest, DefaultIdentifiersCountInTheirOwnLists) {
  Ram.NewItem(Ram.NetFrames);
  TNetFrame* frame = Ram.NewItem(Ram.NetFrames);
  TFrameHolder* holder = Ram.NewItem(Ram.FrameHolders);
  TTxFrameTiming* timing = Ram.NewItem(Ram.TxFrameTimings);
  EXPECT_EQ(frame->GetId(), "NetFrame1");
  EXPECT_EQ(holder->GetId(), "FrameHolder0");
  EXPECT_EQ(timing->GetId(), "TxFrameTiming0");
}

}  // namespace
}  // namespace ZOR_RAM
