// The LIN diagnostic frames and signals added to a configuration on request.
#pragma once

namespace ZOR_RAM {

class TZOR_RAM;

void CreateLinDiagObjects(TZOR_RAM& ram);

}  // namespace ZOR_RAM
