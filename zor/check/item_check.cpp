// The check every item runs first. It belongs to TItemData but reports
// through the finding table, which sits above the model, so it is defined
// here rather than in zor/model/item.cpp.
#include "zor/model/item.h"

#include "zor/check/findings.h"

namespace ZOR_RAM {

bool TItemData::CheckBase(bool* errorFound, uint64_t flags) {
  if ((flags & kCheckAll) && !Ram) ReportFinding<kNoRam>(errorFound);
  return errorFound && *errorFound;
}

bool TItemData::Check(uint64_t flags) {
  bool errorFound = false;
  CheckBase(&errorFound, flags);
  return errorFound;
}

}  // namespace ZOR_RAM
