// Nodes, interfaces, interface modes and frame message identifiers.
#pragma once

#include <string>

#include "zor/model/item.h"

namespace ZOR_RAM {

class ZOR_API TNode : public TItemData {
 public:
  std::string Name;

  const std::string& GetId() override;
  std::string GetName() override;
};

class ZOR_API TIfc : public TItemData {
 public:
  std::string Name;

  const std::string& GetId() override;
  std::string GetName() override;
};

class ZOR_API TIfcMode : public TItemData {
 public:
  std::string Name;

  const std::string& GetId() override;
  std::string GetName() override;
};

class ZOR_API TFrameMsgId : public TItemData {
 public:
  std::string Name;

  const std::string& GetId() override;
  std::string GetName() override;
};

}  // namespace ZOR_RAM
