// Networks, network modes (schedule tables) and schedule entries.
#pragma once

#include <string>

#include "zor/model/item.h"

namespace ZOR_RAM {

class ZOR_API TNetwork : public TItemData {
 public:
  std::string Name;

  const std::string& GetId() override;
  std::string GetName() override;
};

class ZOR_API TNetMode : public TItemData {
 public:
  std::string Name;

  const std::string& GetId() override;
  std::string GetName() override;
};

class ZOR_API TSchEntry : public TItemData {
 public:
  std::string Name;

  const std::string& GetId() override;
  std::string GetName() override;
};

}  // namespace ZOR_RAM
