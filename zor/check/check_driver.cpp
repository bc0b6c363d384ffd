#include "zor/check/check_driver.h"

#include "zor/model/ram.h"

namespace ZOR_RAM {

bool HasLinDiagNetwork = false;

bool CheckDatabase(TZOR_RAM& /*ram*/, uint64_t /*flags*/) { return false; }

}  // namespace ZOR_RAM
