#include "zor/network/network.h"

#include "zor/model/ram.h"

namespace ZOR_RAM {

const std::string& TNetwork::GetId() { return DefaultId("Network"); }
std::string TNetwork::GetName() { return Name; }

const std::string& TNetMode::GetId() { return DefaultId("NetMode"); }
std::string TNetMode::GetName() { return Name; }

const std::string& TSchEntry::GetId() { return DefaultId("SchEntry"); }
std::string TSchEntry::GetName() { return Name; }

}  // namespace ZOR_RAM
