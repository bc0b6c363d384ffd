// Signals, encoding types and encodes.
#pragma once

#include <string>

#include "zor/model/item.h"

namespace ZOR_RAM {

class ZOR_API TSignal : public TItemData {
 public:
  std::string Name;

  const std::string& GetId() override;
  std::string GetName() override;
};

class ZOR_API TEncType : public TItemData {
 public:
  std::string Name;

  const std::string& GetId() override;
  std::string GetName() override;
};

class ZOR_API TEncode : public TItemData {
 public:
  std::string Name;

  const std::string& GetId() override;
  std::string GetName() override;
};

}  // namespace ZOR_RAM
