// Signals, encoding types and encodes.
//
// A signal (TSignal) is a logical value of the vehicle network, independent
// of its placement in frames. An encoding type (TEncType) describes a raw
// value range and holds its encodes (TEncode): logical values (one raw value
// with a meaning) and physical ranges (a raw range with offset and scale).
// Signals live in the database's Signals list, or, as unused signals, in its
// UnUsedSignals list and their network's list.
#pragma once

#include <cstdint>
#include <string>

#include "zor/model/item.h"

namespace ZOR_RAM {

class TEncType;
class TZOR_RAM;

// Element "Signal".
class ZOR_API TSignal : public TItemData {
 public:
  std::string Name;
  int32_t Size = 0;        // bits
  int32_t SignalType = 0;  // kSignalSigned, kSignalUnsigned, kSignalBoolean, kSignalBytes
  int32_t InfoType = 0;    // kInfoState, kInfoStateChange
  int32_t GenType = 0;     // kGenPeriodic, kGenSporadic
  float Factor = 0;        // legacy physical description ("2.000" files only) ...
  float Offset = 0;
  int64_t Minimum = 0;
  int64_t Maximum = 0;
  std::string Unit;
  std::string Multiplexer;  // ... up to here
  int64_t InitValue = 0;     // initial raw value; may hold a raw bit pattern
  TEncType* EncType = nullptr;  // not owned; may be null

  // "Signal" + index in the database's Signals list, or "UnUsedSignal" +
  // index in UnUsedSignals for an unused signal.
  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  // "EncType" is left to ResolveLinks.
  bool ReadXml(TQXMLNode* element) override;
  // Links EncType from the element's "EncType" identifier while it is null.
  // Works for signals of both lists (the network resolves its unused ones).
  void ResolveLinks() override;
  bool Check(uint64_t flags) override;
  // Another signal of the database's Signals list (also for an unused
  // signal) has exactly this name.
  bool IsNameUsed(const std::string& name) override;
  std::string GetDisplayName() override;
  std::string GetName() override;
};

class TEncode;

// Element "EncType". Destroying an encoding type clears the EncType links of
// its encodes (which stay in the database's Encodes list) and of the signals
// that use it.
class ZOR_API TEncType : public TItemData {
 public:
  ~TEncType() override;

  std::string Name;
  int32_t Size = 0;  // raw size in bits, 1 to 64
  bool Signed = false;  // raw values are two's complement
  TZORList<TEncode> Encodes;  // in file order; the database's Encodes list owns them

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  // Destroys the encodes read before, then creates one per "Encode".
  bool ReadXml(TQXMLNode* element) override;
  void ResolveLinks() override;
  bool Check(uint64_t flags) override;
  bool IsNameUsed(const std::string& name) override;
  std::string GetDisplayName() override;
  std::string GetName() override;
};

// Element "Encode". Destroying an encode takes it out of its type's list.
// An encode whose EncType is set must be in that type's Encodes list (the
// reader keeps both in step; a host that sets one sets the other).
class ZOR_API TEncode : public TItemData {
 public:
  ~TEncode() override;

  TEncType* EncType = nullptr;  // the type holding this encode; not owned
  int32_t Type = 0;  // kEncodeLogical or kEncodePhysical
  int64_t Min = 0;   // the raw value, or the range's lower bound
  int64_t Max = 0;   // the range's upper bound
  float Offset = 0;
  float Scale = 0;
  std::string Interpr;  // meaning of a logical value, unit or description of a range

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  bool Check(uint64_t flags) override;
  std::string GetName() override;  // Interpr
};

// Removes a signal of the database's Signals list with everything that
// refers to it: its placements in frames, then the gateways, published and
// subscribed signals of it; finally the signal itself is destroyed.
ZOR_API void RemoveSignal(TSignal* signal);

// Whether name is one of the sixteen names kept for LIN diagnostic signals
// (MasterReqB0..7, SlaveRespB0..7), ignoring case.
ZOR_API bool IsReservedDiagSignalName(const std::string& name);

// Queues the set of placed signals that a signal's check asks for.
void QueuePlacedSignals(class TCheckRunValuesAhead& ahead, const TZOR_RAM& ram);

}  // namespace ZOR_RAM
