#include "zor/network/signal.h"

#include "zor/model/ram.h"

namespace ZOR_RAM {

const std::string& TSignal::GetId() { return DefaultId("Signal"); }
std::string TSignal::GetName() { return Name; }

const std::string& TEncType::GetId() { return DefaultId("EncType"); }
std::string TEncType::GetName() { return Name; }

const std::string& TEncode::GetId() { return DefaultId("Encode"); }
std::string TEncode::GetName() { return Name; }

void RemoveReservedDiagSignals(TZOR_RAM& /*ram*/) {}

}  // namespace ZOR_RAM
