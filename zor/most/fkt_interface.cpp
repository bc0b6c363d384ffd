#include "zor/most/fkt_interface.h"

#include "zor/model/ram.h"

namespace ZOR_RAM {

const std::string& TMOSTFktInterface::GetId() { return DefaultId("MOSTFktInterface"); }
std::string TMOSTFktInterface::GetName() { return Name; }

const std::string& TMOSTFktIfField::GetId() { return DefaultId("MOSTFktIfField"); }
std::string TMOSTFktIfField::GetName() { return Name; }

const std::string& TMOSTBitDesc::GetId() { return DefaultId("MOSTBitDesc"); }
std::string TMOSTBitDesc::GetName() { return Name; }

const std::string& TMOSTFktIf_RecordField::GetId() { return DefaultId("MOSTFktIf_RecordField"); }
std::string TMOSTFktIf_RecordField::GetName() { return Name; }

const std::string& TMOSTFktIf_Enumeration::GetId() { return DefaultId("MOSTFktIf_Enumeration"); }
std::string TMOSTFktIf_Enumeration::GetName() { return Name; }

const std::string& TMOSTFktIf_Number::GetId() { return DefaultId("MOSTFktIf_Number"); }
std::string TMOSTFktIf_Number::GetName() { return Name; }

const std::string& TMOSTFktIf_BitField::GetId() { return DefaultId("MOSTFktIf_BitField"); }
std::string TMOSTFktIf_BitField::GetName() { return Name; }

const std::string& TMOSTFktIf_String::GetId() { return DefaultId("MOSTFktIf_String"); }
std::string TMOSTFktIf_String::GetName() { return Name; }

const std::string& TMOSTFktIf_Record::GetId() { return DefaultId("MOSTFktIf_Record"); }
std::string TMOSTFktIf_Record::GetName() { return Name; }

const std::string& TMOSTFktIf_Array::GetId() { return DefaultId("MOSTFktIf_Array"); }
std::string TMOSTFktIf_Array::GetName() { return Name; }

const std::string& TMOSTFktIf_Stream::GetId() { return DefaultId("MOSTFktIf_Stream"); }
std::string TMOSTFktIf_Stream::GetName() { return Name; }

const std::string& TMOSTFktIf_StreamCase::GetId() { return DefaultId("MOSTFktIf_StreamCase"); }
std::string TMOSTFktIf_StreamCase::GetName() { return Name; }

}  // namespace ZOR_RAM
