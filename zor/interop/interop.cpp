#include "zor/interop/interop.h"

#include <exception>
#include <vector>

#include "zor/interop/dbc.h"
#include "zor/interop/ldf.h"
#include "zor/interop/text_scanner.h"
#include "zor/model/ram.h"
#include "zor/network/network.h"
#include "zor/platform/file_util.h"

namespace ZOR_RAM::interop {

namespace {

bool EndsWithNoCase(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && SameTextAscii(s.substr(s.size() - suffix.size()), suffix);
}

std::string BaseName(const std::string& fileName) {
  size_t slash = fileName.find_last_of("/\\");
  std::string base = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
  size_t dot = base.rfind('.');
  if (dot != std::string::npos && dot > 0) base.resize(dot);
  return base;
}

// Items a failed import appended are destroyed so that the database is
// exactly as it was: list by list in field order, as the database itself
// frees them (an owner goes before its children, whose lists come later and
// which its destructor may still touch), each list's new items last first.
class ImportTransaction {
 public:
  explicit ImportTransaction(TZOR_RAM& ram) : Ram_(ram) {
    Ram_.ForEachList([&](TList& list) { Counts_.push_back(list.Count()); });
  }
  void Commit() { Done_ = true; }
  ~ImportTransaction() {
    if (Done_) return;
    std::vector<TList*> lists;
    Ram_.ForEachList([&](TList& list) { lists.push_back(&list); });
    for (size_t i = 0; i < lists.size(); ++i) {
      TList& list = *lists[i];
      while (list.Count() > Counts_[i]) delete list.Get(list.Count() - 1);
    }
  }

 private:
  TZOR_RAM& Ram_;
  std::vector<int> Counts_;
  bool Done_ = false;
};

bool FitsFormat(Format format, int32_t type) {
  return format == Format::Dbc ? IsCanNetworkType(type) : IsLinNetworkType(type);
}

// "a DBC file", "an LDF file", "a configuration file".
std::string AFile(Format format) {
  std::string name = FormatName(format);
  return (format == Format::Ldf ? "an " : "a ") + name + " file";
}

const char* KindText(Format format) { return format == Format::Dbc ? "CAN" : "LIN"; }

TNetwork* SelectNetwork(TZOR_RAM& ram, Format format, const std::string& name, DiagnosticLog& log) {
  if (!name.empty()) {
    TNetwork* found = nullptr;
    for (TNetwork* n : ram.Networks) {
      if (n && SameTextAscii(n->Name, name)) {
        found = n;
        break;
      }
    }
    if (!found) {
      log.Error("", {}, "no network named \"" + name + "\"");
    } else if (!FitsFormat(format, found->Type)) {
      log.Error("", {}, std::string("network \"") + found->Name + "\" is not a " + KindText(format) +
                            " network and cannot be written as " + FormatName(format));
      found = nullptr;
    }
    return found;
  }
  std::vector<TNetwork*> fits;
  for (TNetwork* n : ram.Networks)
    if (n && FitsFormat(format, n->Type)) fits.push_back(n);
  if (fits.size() == 1) return fits[0];
  if (fits.empty()) {
    log.Error("", {}, std::string("the configuration holds no ") + KindText(format) + " network");
  } else {
    std::string names;
    for (TNetwork* n : fits) names += (names.empty() ? "\"" : ", \"") + n->Name + "\"";
    log.Error("", {}, std::string("the configuration holds several ") + KindText(format) + " networks (" + names +
                          "); name the one to export");
  }
  return nullptr;
}

}  // namespace

Format FormatFromFileName(std::string_view fileName) {
  if (EndsWithNoCase(fileName, ".dbc")) return Format::Dbc;
  if (EndsWithNoCase(fileName, ".ldf")) return Format::Ldf;
  return Format::Configuration;
}

Format FormatFromContent(std::string_view text) {
  TextScanner scanner("", text);
  try {
    const Token& t = scanner.Peek();
    if (t.Is('<')) return Format::Configuration;
    if (t.Kind != TokenKind::Identifier) return Format::Unknown;
    if (t.Text == "LIN_description_file") return Format::Ldf;
    static constexpr std::string_view kDbcKeywords[] = {
        "VERSION", "NS_", "BS_", "BU_", "BO_", "CM_", "BA_DEF_", "BA_DEF_DEF_", "BA_", "VAL_TABLE_", "VAL_",
        "EV_", "SIG_GROUP_", "SIG_VALTYPE_", "BO_TX_BU_", "SG_MUL_VAL_", "BA_DEF_REL_", "BA_REL_", "ENVVAR_DATA_"};
    for (std::string_view k : kDbcKeywords)
      if (t.Text == k) return Format::Dbc;
  } catch (const SyntaxError&) {
  }
  return Format::Unknown;
}

const char* FormatName(Format format) {
  switch (format) {
    case Format::Configuration: return "configuration";
    case Format::Dbc: return "DBC";
    case Format::Ldf: return "LDF";
    case Format::Unknown: return "unknown";
  }
  return "unknown";
}

TNetwork* ImportText(TZOR_RAM& ram, Format format, const std::string& fileName, std::string_view bytes,
                     const ImportOptions& options, DiagnosticLog& log) {
  std::string text = DecodeSourceText(bytes);
  Format content = FormatFromContent(text);
  if (format != Format::Dbc && format != Format::Ldf) {
    log.Error(fileName, {}, "cannot import " + AFile(format) + "; DBC and LDF files can be imported");
    return nullptr;
  }
  if (content != format && content != Format::Unknown) {
    log.Error(fileName, {}, "this is not " + AFile(format) + ": its content is " + AFile(content));
    return nullptr;
  }
  try {
    ImportTransaction transaction(ram);
    TNetwork* network = format == Format::Dbc ? ReadDbc(ram, fileName, text, options, log)
                                              : ReadLdf(ram, fileName, text, options, log);
    if (network && network->Name.empty()) network->Name = BaseName(fileName);
    transaction.Commit();
    return network;
  } catch (const SyntaxError& e) {
    log.Add(e.Where());
  } catch (const std::bad_alloc&) {
    log.Error(fileName, {}, "out of memory");
  }
  return nullptr;
}

TNetwork* ImportFileAs(TZOR_RAM& ram, Format format, const std::string& fileName, const ImportOptions& options,
                       DiagnosticLog& log) {
  std::string bytes, error;
  if (!zor::ReadWholeFile(fileName, &bytes, &error)) {
    log.Error(fileName, {}, error);
    return nullptr;
  }
  return ImportText(ram, format, fileName, bytes, options, log);
}

TNetwork* ImportFile(TZOR_RAM& ram, const std::string& fileName, const ImportOptions& options, DiagnosticLog& log) {
  return ImportFileAs(ram, FormatFromFileName(fileName), fileName, options, log);
}

bool ExportText(TZOR_RAM& ram, Format format, const ExportOptions& options, std::string& text, DiagnosticLog& log) {
  if (format != Format::Dbc && format != Format::Ldf) {
    log.Error("", {}, "cannot export a network as " + AFile(format));
    return false;
  }
  ram.Update();
  TNetwork* network = SelectNetwork(ram, format, options.NetworkName, log);
  if (!network) return false;
  text = format == Format::Dbc ? WriteDbc(ram, *network, log) : WriteLdf(ram, *network, log);
  return !log.HasErrors();
}

bool ExportFile(TZOR_RAM& ram, const std::string& fileName, const ExportOptions& options, DiagnosticLog& log,
                Format format) {
  if (format == Format::Unknown) format = FormatFromFileName(fileName);
  std::string text;
  if (!ExportText(ram, format, options, text, log)) {
    return false;
  }
  std::string error;
  if (!zor::WriteFileAtomically(fileName, text, &error)) {
    log.Error(fileName, {}, error);
    return false;
  }
  return true;
}

}  // namespace ZOR_RAM::interop
