#include "zor/network/frame.h"

#include "zor/model/ram.h"

namespace ZOR_RAM {

const std::string& TNetFrame::GetId() { return DefaultId("NetFrame"); }
std::string TNetFrame::GetName() { return Name; }

const std::string& TFrameHolder::GetId() { return DefaultId("FrameHolder"); }
std::string TFrameHolder::GetName() { return Name; }

const std::string& TNetSig::GetId() { return DefaultId("NetSig"); }
std::string TNetSig::GetName() { return Name; }

const std::string& TTxFrameTiming::GetId() { return DefaultId("TxFrameTiming"); }
std::string TTxFrameTiming::GetName() { return Name; }

void UpdateNetSigs(TZOR_RAM& /*ram*/) {}

void UpdateFrameModels(TZOR_RAM& /*ram*/) {}

}  // namespace ZOR_RAM
