// DBC (CAN description file) reader and writer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "zor/interop/interop.h"

namespace ZOR_RAM::interop {

// Reads decoded DBC text (see DecodeSourceText) and adds one CAN network to
// ram. Throws SyntaxError at the first syntax error; warnings go to log.
TNetwork* ReadDbc(TZOR_RAM& ram, const std::string& fileName, std::string_view text,
                  const ImportOptions& options, DiagnosticLog& log);

// The DBC text of network (a CAN or J1939 network of ram).
std::string WriteDbc(TZOR_RAM& ram, TNetwork& network, DiagnosticLog& log);

namespace dbc {

// Attribute definitions under these names carry the DBC facts that the model
// has no field for. The reader creates them only when a file needs them; the
// writer turns their values back into DBC statements instead of attributes.
inline constexpr const char* kNetworkComment = "ZOR_NetworkComment";  // CM_ "..."
inline constexpr const char* kNodeComment = "ZOR_NodeComment";        // CM_ BU_
inline constexpr const char* kFrameComment = "ZOR_FrameComment";      // CM_ BO_
inline constexpr const char* kSignalComment = "ZOR_SignalComment";    // CM_ SG_
inline constexpr const char* kEnvVarComment = "ZOR_EnvVarComment";    // CM_ EV_
inline constexpr const char* kTransmitters = "ZOR_Transmitters";      // BO_TX_BU_ node list
inline constexpr const char* kByteOrder = "ZOR_SignalByteOrder";      // @0/@1 differing from the frame's
inline constexpr const char* kValueType = "ZOR_SignalValueType";      // SIG_VALTYPE_ 1 or 2
inline constexpr const char* kMultiplexRole = "ZOR_MultiplexRole";    // "mNM" of extended multiplexing
inline constexpr const char* kValueTable = "ZOR_ValueTable";          // VAL_TABLE_ body
inline constexpr const char* kStatement = "ZOR_Statement";            // BA_*_REL_, SG_MUL_VAL_ as written
inline constexpr const char* kEnvVarId = "ZOR_EnvVarId";              // EV_ identifier when not 0

// Whether name is one of the reserved names above.
bool IsReservedAttribute(std::string_view name);

// Usual attribute names whose values the model holds in fields.
inline constexpr const char* kBaudrate = "Baudrate";
inline constexpr const char* kCycleTime = "GenMsgCycleTime";
inline constexpr const char* kStartValue = "GenSigStartValue";
inline constexpr const char* kProtocolType = "ProtocolType";
inline constexpr const char* kDbName = "DBName";

// The node name DBC files use for "no node".
inline constexpr const char* kNoNode = "Vector__XXX";
// The speed of a network whose file gives none.
inline constexpr int32_t kDefaultSpeed = 500000;

// A real number as DBC text: the shortest form that reads back to value.
std::string FormatReal(double value);
// A 32-bit real as DBC text: the shortest form that reads back to value.
std::string FormatFloat(float value);
// text in double quotes with " and \ escaped.
std::string Quote(std::string_view text);

// Placement offsets: the model counts a placement's bits as one run
// Offset .. Offset + size - 1. Intel signals (@1) start at their least
// significant bit; Motorola signals (@0) at their most significant bit
// counted from bit 7 of byte 0 downwards.
int32_t OffsetFromStartBit(int32_t startBit, bool intel);
int32_t StartBitFromOffset(int32_t offset, bool intel);

}  // namespace dbc

}  // namespace ZOR_RAM::interop
