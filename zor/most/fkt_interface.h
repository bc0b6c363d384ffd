// MOST function interfaces: the description of a parameter's value and the
// element kinds it is built from (enumeration, number, bit field, string,
// record, array, stream with its cases).
//
// Ownership: every object is owned by the database list of its own class
// (an enumeration by MOSTFktIf_Enumerations, and so on). Element references
// (Element, Field) and the lists Bits, Fields, StreamCases and StreamParams
// only refer, as do the owner pointers back.
#pragma once

#include <cstdint>
#include <string>

#include "zor/model/item.h"

namespace ZOR_RAM {

class TMOSTFkt;
class TMOSTFktParam;
class TMOSTFktIfField;
class TMOSTFktIf_RecordField;
class TMOSTFktIf_Array;
class TMOSTFktIf_BitField;
class TMOSTFktIf_Record;
class TMOSTFktIf_Stream;

class ZOR_API TMOSTFktInterface : public TItemData {
 public:
  TMOSTFktParam* Param = nullptr;  // owner parameter
  bool ParamIF = false;  // describes the parameter through the function Fkt
  TMOSTFkt* Fkt = nullptr;  // "Fkt": the function's identifier; written only when set
  TMOSTFktIfField* Element = nullptr;  // written only when set

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  void ResolveLinks() override;
  bool Check(uint64_t flags) override;
  std::string GetName() override;  // "Interface"
};

// Base of the element kinds. An element has at most one of the three owners
// in practice; when several are set, the path text follows the last that
// yields one (interface, then record field, then array).
class ZOR_API TMOSTFktIfField : public TItemData {
 public:
  TMOSTFktInterface* FktInterface = nullptr;    // owner interface (its Element)
  TMOSTFktIf_RecordField* RecordField = nullptr;  // owner record field (its Field)
  TMOSTFktIf_Array* Array = nullptr;              // owner array (its Element)

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  bool Check(uint64_t flags) override;
  std::string GetDisplayName() override;  // the path text
  std::string GetName() override;
  // 8: the dotted position in the catalogue (block.function.parameter ...),
  // "Missing Link" when an owner chain is broken; used by every finding.
  virtual std::string GetPathText();

 protected:
  // Writes the element tag `tag` around the ZORId line and writeFields.
  template <class F>
  bool WriteElement(bool withElement, const char* tag, F&& writeFields);
};

class ZOR_API TMOSTFktIf_Enumeration : public TMOSTFktIfField {
 public:
  std::string Elements;

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  bool Check(uint64_t flags) override;
  std::string GetName() override;
};

class ZOR_API TMOSTFktIf_Number : public TMOSTFktIfField {
 public:
  std::string Unit;
  uint8_t Step = 1;
  int8_t Exponent = 0;
  int32_t RangeMin = 0;
  int32_t RangeMax = 0;
  bool FullRange = true;

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  bool Check(uint64_t flags) override;
  std::string GetName() override;
};

class ZOR_API TMOSTFktIf_String : public TMOSTFktIfField {
 public:
  uint8_t MaxSize = 0;

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  bool Check(uint64_t flags) override;
  std::string GetName() override;
};

class ZOR_API TMOSTBitDesc : public TItemData {
 public:
  TMOSTFktIf_BitField* BitField = nullptr;  // owner bit field
  int32_t BitPos = 0;
  std::string BitName;
  std::string TrueDesc;
  std::string FalseDesc;

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  bool Check(uint64_t flags) override;
  std::string GetName() override;  // "Bit Info " + BitPos
};

class ZOR_API TMOSTFktIf_BitField : public TMOSTFktIfField {
 public:
  uint8_t Length = 0;
  TZORList<TMOSTBitDesc> Bits;

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  void ResolveLinks() override;
  bool Check(uint64_t flags) override;
  std::string GetName() override;

  void DetachChildren();
};

class ZOR_API TMOSTFktIf_RecordField : public TItemData {
 public:
  TMOSTFktIf_Record* Record = nullptr;  // owner record
  int32_t FieldIdx = 0;
  std::string FieldName;
  int32_t FieldTypeValue = 0;
  TMOSTFktIfField* Field = nullptr;  // written only when set

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  void ResolveLinks() override;
  bool Check(uint64_t flags) override;
  std::string GetName() override;

  void DetachChildren();
};

class ZOR_API TMOSTFktIf_Record : public TMOSTFktIfField {
 public:
  uint8_t NElements = 0;
  std::string RecordName;
  TZORList<TMOSTFktIf_RecordField> Fields;

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  void ResolveLinks() override;
  bool Check(uint64_t flags) override;
  std::string GetName() override;

  void DetachChildren();
};

class ZOR_API TMOSTFktIf_Array : public TMOSTFktIfField {
 public:
  std::string ArrayName;
  int32_t ElementTypeValue = 0;
  int32_t NMax = 0;
  TMOSTFktIfField* Element = nullptr;  // written only when set

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  void ResolveLinks() override;
  bool Check(uint64_t flags) override;
  std::string GetName() override;

  void DetachChildren();
};

class TMOSTFktIf_StreamCase;

class ZOR_API TMOSTFktIf_Stream : public TMOSTFktIfField {
 public:
  int32_t Length = 0;
  TZORList<TMOSTFktIf_StreamCase> StreamCases;

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  void ResolveLinks() override;
  bool Check(uint64_t flags) override;
  std::string GetName() override;

  void DetachChildren();
};

class ZOR_API TMOSTFktIf_StreamCase : public TMOSTFktIfField {
 public:
  TMOSTFktIf_Stream* Stream = nullptr;  // owner stream
  std::string PosY;
  std::string PosDesc;
  TMOSTFktParam* PosX = nullptr;  // "PosX": the parameter's identifier; written only when set
  TZORList<TMOSTFktParam> StreamParams;

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  void ResolveLinks() override;
  bool Check(uint64_t flags) override;
  // The owner stream's path text, "." + PosX's name (or "#NULL#"), "." + PosY.
  std::string GetDisplayName() override;
  std::string GetName() override;  // "StreamCase " + PosY + " Info"
  // Without an interface, record field or array owner: the owner stream's
  // path text (empty without one).
  std::string GetPathText() override;

  void DetachChildren();
};

}  // namespace ZOR_RAM
