#include "zor/env/env.h"

#include "zor/model/ram.h"

namespace ZOR_RAM {

const std::string& TEnvInt::GetId() { return DefaultId("EnvInt"); }
std::string TEnvInt::GetName() { return Name; }

const std::string& TEnvFloat::GetId() { return DefaultId("EnvFloat"); }
std::string TEnvFloat::GetName() { return Name; }

const std::string& TEnvStr::GetId() { return DefaultId("EnvStr"); }
std::string TEnvStr::GetName() { return Name; }

const std::string& TEnvData::GetId() { return DefaultId("EnvData"); }
std::string TEnvData::GetName() { return Name; }

const std::string& TEnvGroup::GetId() { return DefaultId("EnvGroup"); }
std::string TEnvGroup::GetName() { return Name; }

void LinkEnvGroups(TZOR_RAM& /*ram*/) {}

}  // namespace ZOR_RAM
