// MOST function blocks, their instances on interfaces, functions, parameters
// and operation types.
//
// Ownership: every object here is owned by the database list of its class.
// The lists Fkts, Params, OPTypes (and a stream case's StreamParams) only
// refer to the items their owner read or was given, and the owner pointers
// (FBlock of a function, Fkt of a parameter ...) only refer back.
#pragma once

#include <cstdint>
#include <string>

#include "zor/model/item.h"

namespace ZOR_RAM {

class TIfc;
class TMOSTFkt;
class TMOSTFktParam;
class TMOSTParamOPType;
class TMOSTFktInterface;
class TMOSTFktIf_StreamCase;

// A catalogue function block; the file's "MOSTFBlocks" section holds these.
class ZOR_API TMOSTFBlock : public TItemData {
 public:
  uint8_t FBlockID = 0;
  std::string Name;
  TZORList<TMOSTFkt> Fkts;  // functions in file order

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  void ResolveLinks() override;
  bool Check(uint64_t flags) override;
  // Whether another block of the database's MOSTFBlocks has exactly this name.
  bool IsNameUsed(const std::string& name) override;
  std::string GetDisplayName() override;
  std::string GetName() override;

  // Clears the owner pointer of every function this block lists.
  void DetachChildren();
};

// An instance of a catalogue function block on a node's interface. The
// interface reads, writes and resolves its instances through the slots below
// and sets Ifc.
class ZOR_API TMOSTFBlockInstance : public TItemData {
 public:
  TIfc* Ifc = nullptr;  // owner interface
  uint8_t InstID = 0;
  TMOSTFBlock* FBlock = nullptr;  // "FBlock": the block's identifier; written only when set

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  void ResolveLinks() override;
  bool Check(uint64_t flags) override;
  // Whether another instance with this display text sits on a network of the
  // same name and type as this instance's network.
  bool IsNameUsed(const std::string& name) override;
  // Block name + "." + InstID as two hex digits; empty (and not cached) while
  // FBlock is null.
  std::string GetDisplayName() override;
  std::string GetName() override;  // the block's name, or empty
};

class ZOR_API TMOSTFkt : public TItemData {
 public:
  TMOSTFBlock* FBlock = nullptr;  // owner function block
  uint16_t FktID = 0;
  std::string Name;
  uint8_t Type = 0;  // 0 or 1
  int32_t ClassRef = 0;  // kept and written back only
  TZORList<TMOSTFktParam> Params;  // parameters in file order

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  void ResolveLinks() override;
  bool Check(uint64_t flags) override;
  // Whether another function of the same block has exactly this name.
  bool IsNameUsed(const std::string& name) override;
  std::string GetDisplayName() override;
  std::string GetName() override;

  // The operation types with code opType over all parameters, ordered by
  // ParamPos: returns their number; names (when given) receives the names of
  // their parameters joined by ", ".
  int GetOPParams(int opType, std::string* names = nullptr) const;

  void DetachChildren();
};

class ZOR_API TMOSTFktParam : public TItemData {
 public:
  TMOSTFkt* Fkt = nullptr;                       // owner function
  TMOSTFktIf_StreamCase* StreamCase = nullptr;   // owner stream case
  std::string Name;  // "Pos", "Tag" and "PosY" matter to the function check
  int32_t TypeValue = 0;
  TMOSTFktInterface* FktInterface = nullptr;  // written only when set
  TZORList<TMOSTParamOPType> OPTypes;

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  void ResolveLinks() override;
  bool Check(uint64_t flags) override;
  std::string GetDisplayName() override;
  std::string GetName() override;

  void DetachChildren();
};

class ZOR_API TMOSTParamOPType : public TItemData {
 public:
  TMOSTFktParam* Param = nullptr;  // owner parameter
  uint8_t OPType = 0;
  std::string Name;
  int32_t ParamPos = 0;

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  bool Check(uint64_t flags) override;
  std::string GetName() override;
};

}  // namespace ZOR_RAM
