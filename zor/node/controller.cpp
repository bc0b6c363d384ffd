#include "zor/node/controller.h"

#include "zor/model/ram.h"

namespace ZOR_RAM {

const std::string& TCtrl::GetId() { return DefaultId("Ctrl"); }
std::string TCtrl::GetName() { return Name; }

const std::string& TPubSig::GetId() { return DefaultId("PubSig"); }
std::string TPubSig::GetName() { return Name; }

const std::string& TSubSig::GetId() { return DefaultId("SubSig"); }
std::string TSubSig::GetName() { return Name; }

const std::string& TGateway::GetId() { return DefaultId("Gateway"); }
std::string TGateway::GetName() { return Name; }

const std::string& TFrameGateway::GetId() { return DefaultId("FrameGateway"); }
std::string TFrameGateway::GetName() { return Name; }

void AssignControllerFrames(TZOR_RAM& /*ram*/) {}

}  // namespace ZOR_RAM
