#include "zor/most/fblock.h"

#include "zor/model/ram.h"

namespace ZOR_RAM {

const std::string& TMOSTFBlock::GetId() { return DefaultId("MOSTFBlock"); }
std::string TMOSTFBlock::GetName() { return Name; }

const std::string& TMOSTFBlockInstance::GetId() { return DefaultId("MOSTFBlockInstance"); }
std::string TMOSTFBlockInstance::GetName() { return Name; }

const std::string& TMOSTFkt::GetId() { return DefaultId("MOSTFkt"); }
std::string TMOSTFkt::GetName() { return Name; }

const std::string& TMOSTFktParam::GetId() { return DefaultId("MOSTFktParam"); }
std::string TMOSTFktParam::GetName() { return Name; }

const std::string& TMOSTParamOPType::GetId() { return DefaultId("MOSTParamOPType"); }
std::string TMOSTParamOPType::GetName() { return Name; }

}  // namespace ZOR_RAM
