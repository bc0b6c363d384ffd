// The LIN diagnostic frames and signals added to a configuration on request.
//
// Every LIN 1.2, 1.3 or 2.0 network with a master interface gets a master
// request frame (identifier 0x3C) and a slave response frame (0x7D, whose low
// six bits give 0x3D), each placing eight one-byte signals "MasterReqB0".."7"
// and "SlaveRespB0".."7", published and subscribed on the network's
// interfaces. The objects are transient: the update pass that runs before
// every save and check removes the signals with everything that refers to
// them.
#pragma once

#include "zor/zor.h"

namespace ZOR_RAM {

class TZOR_RAM;

inline constexpr int kLinDiagSignalCount = 16;
inline constexpr unsigned kMasterReqFrameId = 0x3C;
inline constexpr unsigned kSlaveRespFrameId = 0x7D;

// Whether the database last checked has a LIN 1.2, 1.3 or 2.0 network
// (process-wide; false until the first check). The check driver sets it; the
// signal check reads it.
extern bool HasLinDiagNetwork;

// The sixteen signal names, master request bytes first.
ZOR_API const char* LinDiagSignalName(int index);

// Creates the sixteen diagnostic signals (once per call, at the first
// qualifying network, even when signals of these names exist already) and,
// for each qualifying network, its two frames. The placements use the first
// signal of each name in the database's Signals list.
ZOR_API void CreateLinDiagObjects(TZOR_RAM& ram);

}  // namespace ZOR_RAM
