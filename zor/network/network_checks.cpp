// Checks of networks, network modes and schedule entries.
#include "zor/check/findings.h"
#include "zor/model/ram.h"
#include "zor/network/network.h"

namespace ZOR_RAM {

bool TNetwork::Check(uint64_t flags) {
  bool err = false;
  if (flags & kCheckAll) CheckBase(&err, flags);
  return err;
}

bool TNetMode::Check(uint64_t flags) {
  bool err = false;
  if (flags & kCheckAll) CheckBase(&err, flags);
  return err;
}

bool TSchEntry::Check(uint64_t flags) {
  bool err = false;
  if (flags & kCheckAll) CheckBase(&err, flags);
  return err;
}

}  // namespace ZOR_RAM
