// The exported C functions: each checks its arguments, calls one C++ function
// and maps the result inside Guard, which keeps every exception inside.
#include <exception>
#include <new>
#include <string>

#include "zor/env/env.h"
#include "zor/interface/check_driver.h"
#include "zor/interface/file_frame.h"
#include "zor/interface/version.h"
#include "zor/interop/interop.h"
#include "zor/io/messages.h"
#include "zor/model/ram.h"
#include "zor/most/fblock.h"
#include "zor/most/fkt_interface.h"
#include "zor/network/frame.h"
#include "zor/network/lin_diag.h"
#include "zor/network/network.h"
#include "zor/network/signal.h"
#include "zor/network/signal_group.h"
#include "zor/node/controller.h"
#include "zor/node/node.h"
#include "zor/zor.h"

using namespace ZOR_RAM;

namespace {

// Runs fn; an exception becomes one error message and the failure value.
template <class R, class F>
R Guard(R failure, F&& fn) noexcept {
  try {
    return fn();
  } catch (const std::bad_alloc&) {
    zor::ReportError("Out of memory.");
  } catch (const std::exception& e) {
    zor::ReportError(e.what());
  } catch (...) {
    zor::ReportError("Unknown error.");
  }
  return failure;
}

// Hands an import's or export's warnings and error to the sinks, in order.
void ReportLog(const interop::DiagnosticLog& log) {
  for (const interop::Diagnostic& d : log.Items()) {
    if (d.Level == interop::Diagnostic::Severity::Error)
      zor::ReportError(d.Format());
    else
      zor::ReportWarning(d.Format());
  }
}

bool Import(TZOR_RAM* ram, interop::Format format, const char* fileName, const char* networkName, int32_t speed) {
  if (!ram || !fileName || !*fileName) return true;
  return Guard(true, [&] {
    interop::DiagnosticLog log;
    interop::ImportOptions options;
    options.NetworkName = networkName ? networkName : "";
    options.Speed = speed;
    bool failed = interop::ImportFileAs(*ram, format, fileName, options, log) == nullptr;
    ReportLog(log);
    return failed;
  });
}

bool Export(TZOR_RAM* ram, interop::Format format, const char* fileName, const char* networkName) {
  if (!ram || !fileName || !*fileName) return true;
  return Guard(true, [&] {
    interop::DiagnosticLog log;
    interop::ExportOptions options;
    options.NetworkName = networkName ? networkName : "";
    bool failed = !interop::ExportFile(*ram, fileName, options, log, format);
    ReportLog(log);
    return failed;
  });
}

template <class F>
void GuardVoid(F&& fn) noexcept {
  Guard(0, [&] {
    fn();
    return 0;
  });
}

}  // namespace

extern "C" {

// ---------------------------------------------------------------------------
// Databases

ZOR_API int32_t _Init(ZorMessageSink onError, ZorMessageSink onWarning, int32_t reserved,
                      ZorProgressSink onProgress) {
  zor::SetSinks({onError, onWarning, reserved, onProgress});
  return 0;
}

ZOR_API TZOR_RAM* _NewRAM(void) {
  return Guard<TZOR_RAM*>(nullptr, [] { return new TZOR_RAM(); });
}

ZOR_API TZOR_RAM* _LoadFile(const char* fileName) {
  if (!fileName || !*fileName) return nullptr;
  return Guard<TZOR_RAM*>(nullptr, [&] { return LoadDatabase(fileName); });
}

ZOR_API void _UpdateRAM(TZOR_RAM* ram) {
  if (ram) GuardVoid([&] { ram->Update(); });
}

ZOR_API void _CreateLINdiagObjects(TZOR_RAM* ram) {
  if (ram) GuardVoid([&] { CreateLinDiagObjects(*ram); });
}

ZOR_API bool _CheckRAM(TZOR_RAM* ram, uint64_t flags) {
  if (!ram) return true;
  return Guard(true, [&] {
    ram->Update();
    return CheckDatabase(*ram, flags);
  });
}

ZOR_API bool _SaveRAM(TZOR_RAM* ram, const char* fileName) {
  if (!ram || !fileName || !*fileName) return true;
  return Guard(true, [&] {
    ram->Update();
    return SaveFile(*ram, fileName);
  });
}

ZOR_API void _FreeRAM(TZOR_RAM* ram) {
  if (ram) GuardVoid([&] { delete ram; });
}

// ---------------------------------------------------------------------------
// Description files

ZOR_API bool _ImportDBC(TZOR_RAM* ram, const char* fileName, const char* networkName, int32_t speed) {
  return Import(ram, interop::Format::Dbc, fileName, networkName, speed);
}

ZOR_API bool _ExportDBC(TZOR_RAM* ram, const char* fileName, const char* networkName) {
  return Export(ram, interop::Format::Dbc, fileName, networkName);
}

ZOR_API bool _ImportLDF(TZOR_RAM* ram, const char* fileName, const char* networkName) {
  return Import(ram, interop::Format::Ldf, fileName, networkName, 0);
}

ZOR_API bool _ExportLDF(TZOR_RAM* ram, const char* fileName, const char* networkName) {
  return Export(ram, interop::Format::Ldf, fileName, networkName);
}

// ---------------------------------------------------------------------------
// Versions

ZOR_API ZorVersion* _GetDllVersion(ZorVersion* record) {
  return Guard<ZorVersion*>(record, [&] { return zor::GetDllVersion(record); });
}

ZOR_API const char* _GetVerStr(void) {
  return Guard<const char*>("unknown", [] { return zor::GetVerStr(); });
}

ZOR_API const char* _GetCurrentFileVerStr(void) { return zor::GetCurrentFileVerStr(); }

// ---------------------------------------------------------------------------
// Item factories

#define ZOR_ITEM(Class, List, Factory)                                                  \
  ZOR_API Class* _New_TZOR_##Factory(TZOR_RAM* ram) {                                   \
    if (!ram) return nullptr;                                                           \
    return Guard<Class*>(nullptr, [&] { return ram->NewItem<Class>(ram->List); });      \
  }
#include "zor/model/items.def"

}  // extern "C"

namespace ZOR_RAM {

bool SaveRamToText(TZOR_RAM* ram, std::string& text) {
  if (!ram) return true;
  return Guard(true, [&] {
    ram->Update();
    return SaveToText(*ram, text);
  });
}

}  // namespace ZOR_RAM
