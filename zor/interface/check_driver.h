// The consistency check over a whole database.
#pragma once

#include <cstdint>

namespace ZOR_RAM {

class TZOR_RAM;

// Checks every item list by list with progress reports; true when an
// error-severity finding was reported.
bool CheckDatabase(TZOR_RAM& ram, uint64_t flags);

}  // namespace ZOR_RAM
