// Helpers shared by the description-file tests.
#pragma once

#include <string>

#include "tests/support.h"
#include "zor/interop/diagnostics.h"
#include "zor/model/item.h"

namespace zortest {

// A sample file of zor/interop/testdata.
inline std::string InteropSample(const std::string& name) {
  return std::string(ZOR_SOURCE_DIR) + "/zor/interop/testdata/" + name;
}

// The text of a sample file of zor/interop/testdata.
inline std::string InteropSampleText(const std::string& name) { return ReadFile(InteropSample(name)); }

// Every diagnostic of log, one formatted line each.
inline std::string LogText(const ZOR_RAM::interop::DiagnosticLog& log) {
  std::string out;
  for (const ZOR_RAM::interop::Diagnostic& d : log.Items()) out += d.Format() + "\n";
  return out;
}

// The first item of list whose Name is name exactly, else null.
template <class T>
T* Named(const ZOR_RAM::TZORList<T>& list, const std::string& name) {
  for (T* item : list)
    if (item && item->Name == name) return item;
  return nullptr;
}

}  // namespace zortest
