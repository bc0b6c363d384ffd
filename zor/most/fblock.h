// MOST function blocks, their instances on interfaces, functions, parameters and operation types.
#pragma once

#include <string>

#include "zor/model/item.h"

namespace ZOR_RAM {

class ZOR_API TMOSTFBlock : public TItemData {
 public:
  std::string Name;

  const std::string& GetId() override;
  std::string GetName() override;
};

class ZOR_API TMOSTFBlockInstance : public TItemData {
 public:
  std::string Name;

  const std::string& GetId() override;
  std::string GetName() override;
};

class ZOR_API TMOSTFkt : public TItemData {
 public:
  std::string Name;

  const std::string& GetId() override;
  std::string GetName() override;
};

class ZOR_API TMOSTFktParam : public TItemData {
 public:
  std::string Name;

  const std::string& GetId() override;
  std::string GetName() override;
};

class ZOR_API TMOSTParamOPType : public TItemData {
 public:
  std::string Name;

  const std::string& GetId() override;
  std::string GetName() override;
};

}  // namespace ZOR_RAM
