// The consistency check over a whole database.
#pragma once

#include <cstdint>

namespace ZOR_RAM {

class TZOR_RAM;

// Whether the database last checked has a LIN 1.2, 1.3 or 2.0 network
// (process-wide; false until the first check).
extern bool HasLinDiagNetwork;

// Checks every item list by list with progress reports; true when an
// error-severity finding was reported.
bool CheckDatabase(TZOR_RAM& ram, uint64_t flags);

}  // namespace ZOR_RAM
