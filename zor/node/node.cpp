#include "zor/node/node.h"

#include "zor/model/ram.h"

namespace ZOR_RAM {

const std::string& TNode::GetId() { return DefaultId("Node"); }
std::string TNode::GetName() { return Name; }

const std::string& TIfc::GetId() { return DefaultId("Ifc"); }
std::string TIfc::GetName() { return Name; }

const std::string& TIfcMode::GetId() { return DefaultId("IfcMode"); }
std::string TIfcMode::GetName() { return Name; }

const std::string& TFrameMsgId::GetId() { return DefaultId("FrameMsgId"); }
std::string TFrameMsgId::GetName() { return Name; }

}  // namespace ZOR_RAM
