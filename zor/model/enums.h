// The fifteen enumerated item fields: their values and file texts.
//
// Fields hold plain int32_t values (0 .. N-1 are valid); the configuration
// file stores them as texts. Each enumeration has one pair of conversions:
//
//   enumeration              field (class)                 value -> text         text -> value
//   signal placement kind    SigType (TNetSig)             SigTypeToText         SigTypeFromText
//   multiplexing role        Multiplexed (TNetSig)         MultiplexRoleToText   MultiplexRoleFromText
//   signal value type        SignalType (TSignal)          SignalTypeToText      SignalTypeFromText
//   access type              AccessType (TEnv*)            AccessTypeToText      AccessTypeFromText
//   attribute object type    ObjectType (TCDBAttribute*)   AttrObjectTypeToText  AttrObjectTypeFromText
//   attribute value type     AttriType (TCDBAttribute*)    AttrValueTypeToText   AttrValueTypeFromText
//   signal information type  InfoType (TSignal)            InfoTypeToText        InfoTypeFromText
//   signal generation type   GenType (TSignal)             GenTypeToText         GenTypeFromText
//   encode type              Type (TEncode)                EncodeTypeToText      EncodeTypeFromText
//   interface type           IfcType (TIfc)                IfcTypeToText         IfcTypeFromText
//   network type             Type (TNetwork)               NetworkTypeToText     NetworkTypeFromText
//   schedule entry type      Type (TSchEntry)              SchEntryTypeToText    SchEntryTypeFromText
//   frame transport type     TransportType (TNetFrame)     TransportTypeToText   TransportTypeFromText
//   byte order               ByteOrder (TNetFrame)         ByteOrderToText       ByteOrderFromText
//   frame holder type        HolderType (TFrameHolder)     HolderTypeToText      HolderTypeFromText
//
// Value to text: the table text, or "Undefined" for a value outside 0 .. N-1.
// Text to value: the first table text equal to the given text ignoring ASCII
// letter case; 0 when none matches (the empty text and "Undefined" included).
//
// Every value has a named constant (kNetTypeCAN, kIfcLINSlave, ...; see the
// rows of enums.def) and every enumeration its size (kNetworkTypeCount, ...).
#pragma once

#include <cstdint>
#include <string>

#include "zor/zor.h"

namespace ZOR_RAM {

// The value constants, for example kNetTypeLIN20 = 6.
#define ZOR_ENUM_TEXT(Name, Value, Constant, Text) inline constexpr int32_t Constant = Value;
#include "zor/model/enums.def"

// The number of values of each enumeration, for example kNetworkTypeCount = 7.
#define ZOR_ENUM(Name, Element) inline constexpr int32_t k##Name##Count = 0
#define ZOR_ENUM_TEXT(Name, Value, Constant, Text) +1
#define ZOR_ENUM_END(Name) ;
#include "zor/model/enums.def"

// The text written for a value outside an enumeration's table.
inline constexpr const char* kUndefinedEnumText = "Undefined";

ZOR_API std::string SigTypeToText(int32_t value);
ZOR_API int32_t SigTypeFromText(const std::string& text);
ZOR_API std::string MultiplexRoleToText(int32_t value);
ZOR_API int32_t MultiplexRoleFromText(const std::string& text);
ZOR_API std::string SignalTypeToText(int32_t value);
ZOR_API int32_t SignalTypeFromText(const std::string& text);
ZOR_API std::string AccessTypeToText(int32_t value);
ZOR_API int32_t AccessTypeFromText(const std::string& text);
ZOR_API std::string AttrObjectTypeToText(int32_t value);
ZOR_API int32_t AttrObjectTypeFromText(const std::string& text);
ZOR_API std::string AttrValueTypeToText(int32_t value);
ZOR_API int32_t AttrValueTypeFromText(const std::string& text);
ZOR_API std::string InfoTypeToText(int32_t value);
ZOR_API int32_t InfoTypeFromText(const std::string& text);
ZOR_API std::string GenTypeToText(int32_t value);
ZOR_API int32_t GenTypeFromText(const std::string& text);
ZOR_API std::string EncodeTypeToText(int32_t value);
ZOR_API int32_t EncodeTypeFromText(const std::string& text);
ZOR_API std::string IfcTypeToText(int32_t value);
ZOR_API int32_t IfcTypeFromText(const std::string& text);
ZOR_API std::string NetworkTypeToText(int32_t value);
ZOR_API int32_t NetworkTypeFromText(const std::string& text);
ZOR_API std::string SchEntryTypeToText(int32_t value);
ZOR_API int32_t SchEntryTypeFromText(const std::string& text);
ZOR_API std::string TransportTypeToText(int32_t value);
ZOR_API int32_t TransportTypeFromText(const std::string& text);
ZOR_API std::string ByteOrderToText(int32_t value);
ZOR_API int32_t ByteOrderFromText(const std::string& text);
ZOR_API std::string HolderTypeToText(int32_t value);
ZOR_API int32_t HolderTypeFromText(const std::string& text);

}  // namespace ZOR_RAM
