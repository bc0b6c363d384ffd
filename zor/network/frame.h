// Frames, frame holders, signal placements in frames and transmit timings.
#pragma once

#include <string>

#include "zor/model/item.h"

namespace ZOR_RAM {

class ZOR_API TNetFrame : public TItemData {
 public:
  std::string Name;

  const std::string& GetId() override;
  std::string GetName() override;
};

class ZOR_API TFrameHolder : public TNetFrame {
 public:
  std::string Name;

  const std::string& GetId() override;
  std::string GetName() override;
};

class ZOR_API TNetSig : public TItemData {
 public:
  std::string Name;

  const std::string& GetId() override;
  std::string GetName() override;
};

class ZOR_API TTxFrameTiming : public TItemData {
 public:
  std::string Name;

  const std::string& GetId() override;
  std::string GetName() override;
};

}  // namespace ZOR_RAM
