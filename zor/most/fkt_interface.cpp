#include "zor/most/fkt_interface.h"

#include <stdexcept>

#include "zor/QXML/QXMLDocument.h"
#include "zor/check/findings.h"
#include "zor/model/children.h"
#include "zor/model/fields.h"
#include "zor/model/ram.h"
#include "zor/model/xml_values.h"
#include "zor/most/fblock.h"
#include "zor/most/most_dispatch.h"

namespace ZOR_RAM {

namespace {

const char kMissingLink[] = "Missing Link";
const char kNoPosX[] = "#NULL#";

// Reads the element wrapped in the child `wrapper` (one of the eight element
// kinds) into a new object owned by `owner`, which then replaces *target.
// An absent wrapper or element leaves *target as it was.
template <class Owner>
bool ReadWrappedElement(Owner* owner, TQXMLNode* element, const char* wrapper, TMOSTFktIfField** target) {
  TQXMLNode* node = FindInterfaceElement(FindChild(element, wrapper));
  if (!node) return false;
  TMOSTFktIfField* item = CreateInterfaceElement(owner, owner->Ram, node);
  if (!item) return false;
  *target = item;
  return item->ReadXml(node);
}

bool WriteWrappedElement(const char* wrapper, TMOSTFktIfField* item) {
  if (!item) return false;
  return WriteTag(wrapper) || item->WriteXml(true) || WriteTag(wrapper, true);
}

// A block.function prefix from an interface's Fkt, or empty when the
// function or its block is missing.
std::string FktPrefix(const TMOSTFktInterface* fi) {
  if (!fi || !fi->Fkt || !fi->Fkt->FBlock) return std::string();
  return fi->Fkt->FBlock->Name + "." + fi->Fkt->Name;
}

// Path of an element owned by interface fi (whose owner parameter is P).
std::string InterfacePath(const TMOSTFktInterface* fi) {
  const TMOSTFktParam* p = fi->Param;
  if (fi->ParamIF) {
    std::string prefix = FktPrefix(fi);
    if (prefix.empty() || !p) return kMissingLink;
    return prefix + "." + p->Name;
  }
  // The parameter is a stream parameter: its position runs through the case,
  // the stream, the stream's interface and that interface's parameter.
  const TMOSTFktIf_StreamCase* c = p ? p->StreamCase : nullptr;
  const TMOSTFktIf_Stream* s = c ? c->Stream : nullptr;
  const TMOSTFktInterface* j = s ? s->FktInterface : nullptr;
  const TMOSTFktParam* q = j ? j->Param : nullptr;
  const TMOSTFkt* f = q ? q->Fkt : nullptr;
  if (!f || !f->FBlock) return kMissingLink;
  return f->FBlock->Name + "." + f->Name + "." + q->Name + "." + (c->PosX ? c->PosX->Name : kNoPosX) + "." +
         c->PosY + "." + p->Name;
}

std::string RecordFieldPath(const TMOSTFktIf_RecordField* rf) {
  const TMOSTFktIf_Record* r = rf->Record;
  if (!r) return kMissingLink;
  if (const TMOSTFktInterface* fi = r->FktInterface; fi && fi->Param) {
    std::string prefix = FktPrefix(fi);
    if (!prefix.empty()) return prefix + "." + fi->Param->Name + "." + r->RecordName + "." + rf->FieldName;
  }
  if (const TMOSTFktIf_Array* a = r->Array) {
    const TMOSTFktInterface* fi = a->FktInterface;
    std::string prefix = FktPrefix(fi);
    if (!prefix.empty() && fi->Param)
      return prefix + "." + fi->Param->Name + "." + a->ArrayName + "." + r->RecordName + "." + rf->FieldName;
  }
  return kMissingLink;
}

std::string ArrayPath(const TMOSTFktIf_Array* a) {
  const TMOSTFktInterface* fi = a->FktInterface;
  std::string prefix = FktPrefix(fi);
  if (prefix.empty() || !fi->Param) return kMissingLink;
  return prefix + "." + fi->Param->Name;
}

}  // namespace

template <class F>
bool TMOSTFktIfField::WriteElement(bool withElement, const char* tag, F&& writeFields) {
  if (withElement && WriteTag(tag)) return true;
  if (TItemData::WriteXml(false) || writeFields()) return true;
  return withElement && WriteTag(tag, true);
}

// ---------------------------------------------------------------------------
// TMOSTFktInterface

const std::string& TMOSTFktInterface::GetId() { return DefaultId("MOSTFktInterface"); }
std::string TMOSTFktInterface::GetName() { return "Interface"; }

constexpr TField kFktInterfaceFields[] = {
    BoolField<&TMOSTFktInterface::ParamIF>("ParamIF"),
    EscapedRefField<&TMOSTFktInterface::Fkt, TEmptyRef::Searched, &TZOR_RAM::MOSTFkts>("Fkt")};

bool TMOSTFktInterface::WriteXml(bool withElement) {
  if (withElement && WriteTag("MOSTFktInterface")) return true;
  if (TItemData::WriteXml(false) || WriteFields(*this, kFktInterfaceFields) || WriteWrappedElement("Element", Element))
    return true;
  return withElement && WriteTag("MOSTFktInterface", true);
}

bool TMOSTFktInterface::ReadXml(TQXMLNode* element) {
  return ReadBase(element) || ReadFields(*this, element, kFktInterfaceFields) ||
         ReadWrappedElement(this, element, "Element", &Element);
}

void TMOSTFktInterface::ResolveLinks() {
  ResolveFields(*this, kFktInterfaceFields);
  if (Element) Element->ResolveLinks();
}

bool TMOSTFktInterface::Check(uint64_t flags) {
  bool err = false;
  CheckBase(&err, flags);
  return err;
}

// ---------------------------------------------------------------------------
// TMOSTFktIfField

const std::string& TMOSTFktIfField::GetId() { return DefaultId("MOSTFktIfField"); }
std::string TMOSTFktIfField::GetName() { return "TMOSTFktIfField"; }

bool TMOSTFktIfField::WriteXml(bool withElement) {
  return WriteElement(withElement, "MOSTFktIfField", [] { return false; });
}

bool TMOSTFktIfField::ReadXml(TQXMLNode* element) { return ReadBase(element); }

bool TMOSTFktIfField::Check(uint64_t flags) {
  bool err = false;
  CheckBase(&err, flags);
  return err;
}

std::string TMOSTFktIfField::GetDisplayName() {
  if (DisplayNameCache.empty()) DisplayNameCache = GetPathText();
  return DisplayNameCache;
}

std::string TMOSTFktIfField::GetPathText() {
  std::string text;
  if (FktInterface) text = InterfacePath(FktInterface);
  if (RecordField) text = RecordFieldPath(RecordField);
  if (Array) text = ArrayPath(Array);
  return text;
}

// ---------------------------------------------------------------------------
// TMOSTFktIf_Enumeration

const std::string& TMOSTFktIf_Enumeration::GetId() { return DefaultId("MOSTFktIf_Enumeration"); }
std::string TMOSTFktIf_Enumeration::GetName() { return "Enumeration Info"; }

constexpr TField kEnumerationFields[] = {TextField<&TMOSTFktIf_Enumeration::Elements>("Elements")};

bool TMOSTFktIf_Enumeration::WriteXml(bool withElement) {
  return WriteFieldsElement(*this, withElement, "MOSTFktIf_Enumeration", kEnumerationFields);
}
bool TMOSTFktIf_Enumeration::ReadXml(TQXMLNode* element) {
  return ReadBase(element) || ReadFields(*this, element, kEnumerationFields);
}

bool TMOSTFktIf_Enumeration::Check(uint64_t flags) {
  bool err = false;
  if (!(flags & kCheckAll)) return err;
  CheckBase(&err, flags);
  if (Elements.empty()) ReportFinding<kEnumerationEmpty>(&err, GetPathText().c_str());
  return err;
}

// ---------------------------------------------------------------------------
// TMOSTFktIf_Number

const std::string& TMOSTFktIf_Number::GetId() { return DefaultId("MOSTFktIf_Number"); }
std::string TMOSTFktIf_Number::GetName() { return "Number Info"; }

constexpr TField kNumberFields[] = {
    TextField<&TMOSTFktIf_Number::Unit>("Unit"),        HexField<&TMOSTFktIf_Number::Step>("Step"),
    HexField<&TMOSTFktIf_Number::Exponent>("Exponent"), IntField<&TMOSTFktIf_Number::RangeMin>("RangeMin"),
    IntField<&TMOSTFktIf_Number::RangeMax>("RangeMax"), BoolField<&TMOSTFktIf_Number::FullRange>("FullRange")};

bool TMOSTFktIf_Number::WriteXml(bool withElement) {
  return WriteFieldsElement(*this, withElement, "MOSTFktIf_Number", kNumberFields);
}
bool TMOSTFktIf_Number::ReadXml(TQXMLNode* element) {
  return ReadBase(element) || ReadFields(*this, element, kNumberFields);
}

bool TMOSTFktIf_Number::Check(uint64_t flags) {
  bool err = false;
  if (!(flags & kCheckAll)) return err;
  CheckBase(&err, flags);
  const std::string path = GetPathText();
  // Unsigned parameter types (2, 4, 6) cannot take a negative range.
  const bool negative = RangeMin < 0 || RangeMax < 0;
  auto unsignedType = [](int32_t type) { return type == 2 || type == 4 || type == 6; };
  if (FktInterface && FktInterface->Param && unsignedType(FktInterface->Param->TypeValue) && negative)
    ReportFinding<kNumberRangeWrong>(&err, path.c_str());
  if (RecordField && unsignedType(RecordField->FieldTypeValue) && negative)
    ReportFinding<kNumberRangeWrong>(&err, path.c_str());
  if (Array && unsignedType(Array->ElementTypeValue) && negative) ReportFinding<kNumberRangeWrong>(&err, path.c_str());
  if (!FullRange && RangeMin >= RangeMax) ReportFinding<kNumberRangeWrong>(&err, path.c_str());
  return err;
}

// ---------------------------------------------------------------------------
// TMOSTFktIf_String

const std::string& TMOSTFktIf_String::GetId() { return DefaultId("MOSTFktIf_String"); }
std::string TMOSTFktIf_String::GetName() { return "String Info"; }

constexpr TField kStringFields[] = {HexField<&TMOSTFktIf_String::MaxSize>("MaxSize")};

bool TMOSTFktIf_String::WriteXml(bool withElement) {
  return WriteFieldsElement(*this, withElement, "MOSTFktIf_String", kStringFields);
}
bool TMOSTFktIf_String::ReadXml(TQXMLNode* element) {
  return ReadBase(element) || ReadFields(*this, element, kStringFields);
}

bool TMOSTFktIf_String::Check(uint64_t flags) {
  bool err = false;
  if (!(flags & kCheckAll)) return err;
  CheckBase(&err, flags);
  if (MaxSize == 0) ReportFinding<kStringMaxLengthWrong>(&err, GetPathText().c_str());
  return err;
}

// ---------------------------------------------------------------------------
// TMOSTBitDesc

const std::string& TMOSTBitDesc::GetId() { return DefaultId("MOSTBitDesc"); }
std::string TMOSTBitDesc::GetName() { return "Bit Info " + std::to_string(BitPos); }

constexpr TField kBitDescFields[] = {
    IntField<&TMOSTBitDesc::BitPos>("BitPos"), TextField<&TMOSTBitDesc::BitName>("BitName"),
    TextField<&TMOSTBitDesc::TrueDesc>("TrueDesc"), TextField<&TMOSTBitDesc::FalseDesc>("FalseDesc")};

bool TMOSTBitDesc::WriteXml(bool withElement) {
  return WriteFieldsElement(*this, withElement, "MOSTBitDesc", kBitDescFields);
}
bool TMOSTBitDesc::ReadXml(TQXMLNode* element) {
  return ReadBase(element) || ReadFields(*this, element, kBitDescFields);
}

bool TMOSTBitDesc::Check(uint64_t flags) {
  bool err = false;
  CheckBase(&err, flags);
  return err;
}

// ---------------------------------------------------------------------------
// TMOSTFktIf_BitField

const std::string& TMOSTFktIf_BitField::GetId() { return DefaultId("MOSTFktIf_BitField"); }
std::string TMOSTFktIf_BitField::GetName() { return "BitField Info"; }

constexpr TField kBitFieldFields[] = {HexField<&TMOSTFktIf_BitField::Length>("Length")};

bool TMOSTFktIf_BitField::WriteXml(bool withElement) {
  return WriteElement(withElement, "MOSTFktIf_BitField",
                      [&] { return WriteFields(*this, kBitFieldFields) || WriteChildren("Bits", Bits); });
}

bool TMOSTFktIf_BitField::ReadXml(TQXMLNode* element) {
  return ReadBase(element) || ReadFields(*this, element, kBitFieldFields) ||
         ReadChildren(*this, element, "Bits", "MOSTBitDesc", Bits, &TZOR_RAM::MOSTBitDescs, &TMOSTBitDesc::BitField);
}

void TMOSTFktIf_BitField::ResolveLinks() { ResolveChildren(Bits); }

bool TMOSTFktIf_BitField::Check(uint64_t flags) {
  bool err = false;
  if (!(flags & kCheckAll)) return err;
  CheckBase(&err, flags);
  if (Bits.IsEmpty()) ReportFinding<kBitFieldEmpty>(&err, GetPathText().c_str());
  return err;
}

void TMOSTFktIf_BitField::DetachChildren() {
  for (TMOSTBitDesc* bit : Bits)
    if (bit && bit->BitField == this) bit->BitField = nullptr;
}

// ---------------------------------------------------------------------------
// TMOSTFktIf_RecordField

const std::string& TMOSTFktIf_RecordField::GetId() { return DefaultId("MOSTFktIf_RecordField"); }
std::string TMOSTFktIf_RecordField::GetName() { return "Record Field Info"; }

constexpr TField kRecordFieldFields[] = {IntField<&TMOSTFktIf_RecordField::FieldIdx>("FieldIdx"),
                                         TextField<&TMOSTFktIf_RecordField::FieldName>("FieldName"),
                                         IntField<&TMOSTFktIf_RecordField::FieldTypeValue>("FieldTypeValue")};

bool TMOSTFktIf_RecordField::WriteXml(bool withElement) {
  if (withElement && WriteTag("MOSTFktIf_RecordField")) return true;
  if (TItemData::WriteXml(false) || WriteFields(*this, kRecordFieldFields) || WriteWrappedElement("Field", Field))
    return true;
  return withElement && WriteTag("MOSTFktIf_RecordField", true);
}

bool TMOSTFktIf_RecordField::ReadXml(TQXMLNode* element) {
  return ReadBase(element) || ReadFields(*this, element, kRecordFieldFields) ||
         ReadWrappedElement(this, element, "Field", &Field);
}

void TMOSTFktIf_RecordField::ResolveLinks() {
  if (Field) Field->ResolveLinks();
}

bool TMOSTFktIf_RecordField::Check(uint64_t flags) {
  bool err = false;
  CheckBase(&err, flags);
  return err;
}

void TMOSTFktIf_RecordField::DetachChildren() {
  if (Field && Field->RecordField == this) Field->RecordField = nullptr;
}

// ---------------------------------------------------------------------------
// TMOSTFktIf_Record

const std::string& TMOSTFktIf_Record::GetId() { return DefaultId("MOSTFktIf_Record"); }
std::string TMOSTFktIf_Record::GetName() { return "Record Info"; }

constexpr TField kRecordFields[] = {HexField<&TMOSTFktIf_Record::NElements>("NElements"),
                                    TextField<&TMOSTFktIf_Record::RecordName>("RecordName")};

bool TMOSTFktIf_Record::WriteXml(bool withElement) {
  return WriteElement(withElement, "MOSTFktIf_Record",
                      [&] { return WriteFields(*this, kRecordFields) || WriteChildren("Fields", Fields); });
}

bool TMOSTFktIf_Record::ReadXml(TQXMLNode* element) {
  return ReadBase(element) || ReadFields(*this, element, kRecordFields) ||
         ReadChildren(*this, element, "Fields", "MOSTFktIf_RecordField", Fields, &TZOR_RAM::MOSTFktIf_RecordFields,
                      &TMOSTFktIf_RecordField::Record);
}

void TMOSTFktIf_Record::ResolveLinks() { ResolveChildren(Fields); }

bool TMOSTFktIf_Record::Check(uint64_t flags) {
  bool err = false;
  if (!(flags & kCheckAll)) return err;
  CheckBase(&err, flags);
  const std::string path = GetPathText();
  const int64_t n = Fields.Count();
  if (n < 2) ReportFinding<kRecordTooFewFields>(&err, path.c_str());
  int arrays = 0;
  int64_t indexSum = 0;
  for (TMOSTFktIf_RecordField* field : Fields) {
    if (!field) continue;
    if (field->FieldTypeValue == 10) ReportFinding<kRecordFieldIsRecord>(&err, path.c_str());
    if (field->FieldTypeValue == 11 || field->FieldTypeValue == 13) ++arrays;
    indexSum += field->FieldIdx;
  }
  if (arrays > 1) ReportFinding<kRecordManyArrays>(&err, path.c_str());
  // Only the sum is compared: indexes 1..n in any order, or any set with that sum.
  if (indexSum != n * (n + 1) / 2) ReportFinding<kRecordFieldIndexesWrong>(&err, path.c_str());
  return err;
}

void TMOSTFktIf_Record::DetachChildren() {
  for (TMOSTFktIf_RecordField* field : Fields)
    if (field && field->Record == this) field->Record = nullptr;
}

// ---------------------------------------------------------------------------
// TMOSTFktIf_Array

const std::string& TMOSTFktIf_Array::GetId() { return DefaultId("MOSTFktIf_Array"); }
std::string TMOSTFktIf_Array::GetName() { return "Array Info"; }

constexpr TField kArrayFields[] = {TextField<&TMOSTFktIf_Array::ArrayName>("ArrayName"),
                                   IntField<&TMOSTFktIf_Array::ElementTypeValue>("ElementTypeValue"),
                                   IntField<&TMOSTFktIf_Array::NMax>("NMax")};

bool TMOSTFktIf_Array::WriteXml(bool withElement) {
  return WriteElement(withElement, "MOSTFktIf_Array",
                      [&] { return WriteFields(*this, kArrayFields) || WriteWrappedElement("Element", Element); });
}

bool TMOSTFktIf_Array::ReadXml(TQXMLNode* element) {
  return ReadBase(element) || ReadFields(*this, element, kArrayFields) ||
         ReadWrappedElement(this, element, "Element", &Element);
}

void TMOSTFktIf_Array::ResolveLinks() {
  if (Element) Element->ResolveLinks();
}

bool TMOSTFktIf_Array::Check(uint64_t flags) {
  bool err = false;
  if (!(flags & kCheckAll)) return err;
  CheckBase(&err, flags);
  const std::string path = GetPathText();
  if (!Element) ReportFinding<kArrayNoElement>(&err, path.c_str());
  if (ElementTypeValue == 11 || ElementTypeValue == 13) ReportFinding<kArrayOfArrays>(&err, path.c_str());
  return err;
}

void TMOSTFktIf_Array::DetachChildren() {
  if (Element && Element->Array == this) Element->Array = nullptr;
}

// ---------------------------------------------------------------------------
// TMOSTFktIf_Stream

const std::string& TMOSTFktIf_Stream::GetId() { return DefaultId("MOSTFktIf_Stream"); }
std::string TMOSTFktIf_Stream::GetName() { return "Stream Info"; }

constexpr TField kStreamFields[] = {IntField<&TMOSTFktIf_Stream::Length>("Length")};

bool TMOSTFktIf_Stream::WriteXml(bool withElement) {
  return WriteElement(withElement, "MOSTFktIf_Stream",
                      [&] { return WriteFields(*this, kStreamFields) || WriteChildren("StreamCases", StreamCases); });
}

bool TMOSTFktIf_Stream::ReadXml(TQXMLNode* element) {
  return ReadBase(element) || ReadFields(*this, element, kStreamFields) ||
         ReadChildren(*this, element, "StreamCases", "MOSTFktIf_StreamCase", StreamCases,
                      &TZOR_RAM::MOSTFktIf_StreamCases, &TMOSTFktIf_StreamCase::Stream);
}

void TMOSTFktIf_Stream::ResolveLinks() { ResolveChildren(StreamCases); }

bool TMOSTFktIf_Stream::Check(uint64_t flags) {
  bool err = false;
  CheckBase(&err, flags);
  return err;
}

void TMOSTFktIf_Stream::DetachChildren() {
  for (TMOSTFktIf_StreamCase* streamCase : StreamCases)
    if (streamCase && streamCase->Stream == this) streamCase->Stream = nullptr;
}

// ---------------------------------------------------------------------------
// TMOSTFktIf_StreamCase

const std::string& TMOSTFktIf_StreamCase::GetId() { return DefaultId("MOSTFktIf_StreamCase"); }
std::string TMOSTFktIf_StreamCase::GetName() { return "StreamCase " + PosY + " Info"; }

constexpr TField kStreamCaseFields[] = {
    TextField<&TMOSTFktIf_StreamCase::PosY>("PosY"), TextField<&TMOSTFktIf_StreamCase::PosDesc>("PosDesc"),
    EscapedRefField<&TMOSTFktIf_StreamCase::PosX, TEmptyRef::Searched, &TZOR_RAM::MOSTFktParams>("PosX")};

bool TMOSTFktIf_StreamCase::WriteXml(bool withElement) {
  return WriteElement(withElement, "MOSTFktIf_StreamCase", [&] {
    return WriteFields(*this, kStreamCaseFields) || WriteChildren("StreamParams", StreamParams);
  });
}

bool TMOSTFktIf_StreamCase::ReadXml(TQXMLNode* element) {
  return ReadBase(element) || ReadFields(*this, element, kStreamCaseFields) ||
         ReadChildren(*this, element, "StreamParams", "MOSTFktParam", StreamParams, &TZOR_RAM::MOSTFktParams,
                      &TMOSTFktParam::StreamCase);
}

void TMOSTFktIf_StreamCase::ResolveLinks() {
  ResolveFields(*this, kStreamCaseFields);
  ResolveChildren(StreamParams);
}

namespace {
// PosY as a decimal integer; false when it is not one.
bool ParsePosY(const std::string& text, int64_t* value) {
  try {
    *value = TextToInt(text);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}
}  // namespace

bool TMOSTFktIf_StreamCase::Check(uint64_t flags) {
  bool err = false;
  if (!(flags & kCheckAll)) return err;
  CheckBase(&err, flags);
  const std::string path = GetPathText();
  if (StreamParams.IsEmpty()) ReportFinding<kStreamCaseEmpty>(&err, path.c_str());
  if (!PosX) return err;
  if (PosY.empty()) {
    ReportFinding<kStreamCaseNoPosY>(&err, path.c_str());
    return err;
  }
  int64_t limit = 0;  // exclusive upper bound; 0 for "any integer"
  switch (PosX->TypeValue) {
    case 1: case 2: case 3: limit = 256; break;
    case 4: case 5: limit = 65536; break;
    case 6: case 7: break;
    default: return err;
  }
  int64_t value = 0;
  if (!ParsePosY(PosY, &value))
    ReportFinding<kStreamCasePosTypeMismatch>(&err, path.c_str());
  else if (limit && value >= limit)
    ReportFinding<kStreamCasePosYRange>(&err, path.c_str());
  return err;
}

std::string TMOSTFktIf_StreamCase::GetPathText() {
  if (FktInterface || RecordField || Array) return TMOSTFktIfField::GetPathText();
  return Stream ? Stream->GetPathText() : std::string();
}

std::string TMOSTFktIf_StreamCase::GetDisplayName() {
  if (DisplayNameCache.empty())
    DisplayNameCache = (Stream ? Stream->GetPathText() : std::string()) + "." + (PosX ? PosX->Name : kNoPosX) +
                       "." + PosY;
  return DisplayNameCache;
}

void TMOSTFktIf_StreamCase::DetachChildren() {
  for (TMOSTFktParam* param : StreamParams)
    if (param && param->StreamCase == this) param->StreamCase = nullptr;
}

}  // namespace ZOR_RAM
