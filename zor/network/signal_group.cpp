#include "zor/network/signal_group.h"

#include "zor/model/ram.h"

namespace ZOR_RAM {

const std::string& TSigGrp::GetId() { return DefaultId("SigGrp"); }
std::string TSigGrp::GetName() { return Name; }

const std::string& TSigGrpLIN::GetId() { return DefaultId("SigGrpLIN"); }
std::string TSigGrpLIN::GetName() { return Name; }

const std::string& TCDBAttributeDef::GetId() { return DefaultId("CDBAttributeDef"); }
std::string TCDBAttributeDef::GetName() { return Name; }

const std::string& TCDBAttribute::GetId() { return DefaultId("CDBAttribute"); }
std::string TCDBAttribute::GetName() { return Name; }

const std::string& TConfiguration::GetId() { return DefaultId("Configuration"); }
std::string TConfiguration::GetName() { return Name; }

const std::string& TComposite::GetId() { return DefaultId("Composite"); }
std::string TComposite::GetName() { return Name; }

}  // namespace ZOR_RAM
