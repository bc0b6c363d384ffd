#include "zor/check/lin_diag.h"

#include "zor/model/ram.h"

namespace ZOR_RAM {

void CreateLinDiagObjects(TZOR_RAM& /*ram*/) {}

}  // namespace ZOR_RAM
