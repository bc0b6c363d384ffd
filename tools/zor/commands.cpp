#include "tools/zor/commands.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tools/zor/inventory.h"
#include "tools/zor/session.h"
#include "tools/zor/xml_outline.h"
#include "zor/check/findings.h"
#include "zor/interface/file_frame.h"
#include "zor/interop/interop.h"
#include "zor/model/enums.h"
#include "zor/model/ram.h"
#include "zor/network/frame.h"
#include "zor/network/network.h"
#include "zor/node/node.h"
#include "zor/zor.h"

namespace zorcli {

namespace {

using Json = nlohmann::ordered_json;
namespace interop = ZOR_RAM::interop;

const char kExitCodes[] =
    "Exit codes: 0 clean (diff: equal), 1 findings with errors (diff: different),\n"
    "            2 unusable input or refused, 64 usage error.\n"
    "'-' as a file name means standard input or output. Run 'zor help COMMAND' for a command's options.\n";

// The supported format versions, oldest first: "1.002, ..., 1.201" then
// lastSeparator and the newest.
std::string SupportedVersions(const char* lastSeparator) {
  std::string text;
  const size_t count = std::size(ZOR_RAM::kSupportedFileVersions);
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) text += i + 1 == count ? lastSeparator : ", ";
    text += ZOR_RAM::kSupportedFileVersions[i];
  }
  return text;
}

// Option values of every command; each command reads its own.
struct Options {
  std::string File, Out, Second, Kind, Ignore, Only, Version, Network, Code, Format;
  uint64_t Flags = 0;
  bool FlagsGiven = false;
  bool Json = false, Force = false, Quiet = false, LinDiag = false, ListCodes = false;
  int32_t Speed = 0;
};

bool IsStdout(const std::string& file) { return file == "-" || file == "/dev/stdout"; }

std::string Label(const std::string& file) { return file == "-" ? "<stdin>" : file; }

std::string Plural(int n, const char* word) {
  return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

int Refuse(Session& session, const std::string& text) {
  session.Report(true, text);
  return kExitUnusable;
}

void PrintJson(std::FILE* out, const Json& json) {
  std::string text = json.dump(2, ' ', false, Json::error_handler_t::replace);
  text += '\n';
  WriteWholeStream(out, text);
}

// ---- Loading and saving -----------------------------------------------------

// Reads a file named on the command line ("-": stdin) into bytes; reports a failure.
bool ReadInput(Session& session, const std::string& file, std::string& bytes) {
  if (ReadWholeFile(file, bytes)) return true;
  session.Report(true, "cannot read the file", Label(file));
  return false;
}

// Warns when a file without an encoding declaration holds UTF-8: the reader
// takes such bytes as Windows-1252.
void WarnUndeclaredUtf8(Session& session, const std::string& file, const std::string& bytes) {
  if (!DeclaresEncoding(bytes) && HoldsUtf8(bytes))
    session.Report(false,
                   "looks like UTF-8 but is read as Windows-1252; add encoding=\"UTF-8\" to its declaration",
                   Label(file));
}

// Line and column (from 1, in bytes) of a byte offset into text.
void LineAndColumn(const std::string& text, size_t offset, int& line, int& column) {
  offset = std::min(offset, text.size());
  line = 1 + static_cast<int>(std::count(text.begin(), text.begin() + static_cast<long>(offset), '\n'));
  size_t lineStart = text.rfind('\n', offset == 0 ? 0 : offset - 1);
  lineStart = lineStart == std::string::npos || offset == 0 ? 0 : lineStart + 1;
  column = static_cast<int>(offset - lineStart) + 1;
}

// Loads a configuration (from stdin through a temporary file for "-"); the
// load's messages name the file. A file the library refuses silently is
// "not a configuration file".
TZOR_RAM* LoadConfiguration(Session& session, const std::string& file, std::string* bytes = nullptr) {
  std::string path = file;
  std::unique_ptr<TempFile> temp;
  if (file == "-") {
    std::string input;
    if (!ReadInput(session, file, input)) return nullptr;
    temp = std::make_unique<TempFile>();
    std::FILE* f = temp->Valid() ? std::fopen(temp->Path().c_str(), "wb") : nullptr;
    bool written = f && WriteWholeStream(f, input);
    if (f) std::fclose(f);
    if (!written) {
      session.Report(true, "cannot buffer standard input in a temporary file");
      return nullptr;
    }
    path = temp->Path();
    if (bytes) *bytes = std::move(input);
  }
  size_t before = session.Messages.size();
  bool collect = session.Collect;
  session.Collect = true;
  TZOR_RAM* ram = _LoadFile(path.c_str());
  session.Collect = collect;
  // The bytes of a named file are read after the load, so that they do not
  // add to the load's peak memory.
  if (bytes && file != "-" && !ReadWholeFile(file, *bytes)) bytes->clear();
  std::vector<Message> messages(session.Messages.begin() + static_cast<long>(before), session.Messages.end());
  session.Messages.resize(before);
  // An XML error names the line and column where the reader stopped.
  int line = 0, column = 0;
  int64_t stop = ZOR_RAM::LastLoadStopOffset();
  std::string text;
  if (!ram && stop >= 0 && (bytes || ReadWholeFile(path, text))) {
    const std::string& input = bytes ? *bytes : text;
    LineAndColumn(input, static_cast<size_t>(stop) + (input.starts_with("\xEF\xBB\xBF") ? 3 : 0), line, column);
  }
  for (const Message& m : messages) {
    bool atStop = m.Text.starts_with("XML error") && line > 0;
    session.Report(m.IsError, ToUtf8(m.Text), Label(file), atStop ? line : 0, atStop ? column : 0);
  }
  if (!ram && messages.empty()) session.Report(true, Label(file) + " is not a configuration file");
  return ram;
}

// Saves ram to file; "-" and /dev/stdout go through a temporary file to stdout.
bool SaveConfiguration(Session& session, TZOR_RAM* ram, const std::string& file) {
  if (!IsStdout(file)) return !_SaveRAM(ram, file.c_str());
  std::string bytes;
  if (ZOR_RAM::SaveRamToText(ram, bytes)) {
    session.Report(true, "cannot write the configuration to standard output");
    return false;
  }
  return WriteWholeStream(session.Out(), bytes);
}

// What the library writes for ram; sizeHint (the size it likely has) saves
// the text from growing step by step.
bool SavedText(TZOR_RAM* ram, std::string& bytes, size_t sizeHint = 0) {
  bytes.reserve(sizeHint + sizeHint / 16);
  return !ZOR_RAM::SaveRamToText(ram, bytes);
}

// The outline of what the library writes for ram (at its current version).
bool SavedOutline(TZOR_RAM* ram, OutlineNode& outline, size_t sizeHint = 0) {
  std::string bytes;
  return SavedText(ram, bytes, sizeHint) && ParseOutline(bytes, outline);
}

std::string OrdinalWord(int n) {
  static const char* const kWords[] = {"", "first", "second", "third", "fourth", "fifth"};
  return n < 6 ? kWords[n] : std::to_string(n) + "th";
}

// Warns about each element of the file that the loader passed over: what a
// save of the loaded database does not write back was not read.
void WarnIgnoredElements(Session& session, const std::string& file, const std::string& bytes, TZOR_RAM* ram) {
  if (bytes.empty()) return;
  std::string savedBytes;
  if (!SavedText(ram, savedBytes, bytes.size())) return;
  // A file the library wrote itself comes back byte for byte: nothing was passed over.
  if (savedBytes == bytes) return;
  // Nor does one that differs only between and inside its tags (line ends, say).
  if (SameElements(bytes, savedBytes)) return;
  OutlineNode original, saved;
  if (!ParseOutline(bytes, original) || !ParseOutline(savedBytes, saved)) return;
  savedBytes = std::string();
  for (const Unmatched& u : UnmatchedElements(original, saved)) {
    std::string text;
    const std::string name(u.Node->Name), parent(u.Parent ? u.Parent->Name : std::string_view());
    if (u.Parent && u.Ordinal > 1 && u.Parent->Name == original.Name)
      text = OrdinalWord(u.Ordinal) + " " + name + " section is ignored by the loader";
    else if (u.Ordinal > 1)
      text = OrdinalWord(u.Ordinal) + " <" + name + "> in <" + parent + "> is ignored by the loader";
    else if (u.Parent)
      text = "element <" + name + "> in <" + parent + "> is ignored by the loader";
    else
      text = "root element <" + name + "> is ignored by the loader";
    session.Report(false, ToUtf8(text), Label(file), u.Node->Line);
  }
}

// Warns about networks whose environment group name matched no group: the
// name is kept and saved, but the network belongs to no group.
void WarnUnmatchedEnvGroups(Session& session, const std::string& file, TZOR_RAM* ram) {
  for (ZOR_RAM::TNetwork* network : ram->Networks)
    if (network && !network->EnvGroup && !network->EnvGroupName.empty())
      session.Report(false,
                     ToUtf8("network \"" + network->Name + "\": environment group \"" + network->EnvGroupName +
                            "\" matches no group"),
                     Label(file));
}

// Prints the warnings and the error of a description-file import or export.
void PrintDiagnostics(Session& session, const interop::DiagnosticLog& log) {
  session.ClearProgress();
  for (const interop::Diagnostic& d : log.Items())
    std::fprintf(session.Err(), "%s\n", ToUtf8(d.Format()).c_str());
}

bool IsDescriptionFile(const std::string& file) {
  interop::Format format = interop::FormatFromFileName(file);
  return format == interop::Format::Dbc || format == interop::Format::Ldf;
}

// A new database holding the one network of a DBC or LDF file; null on failure.
TZOR_RAM* ImportDescription(Session& session, const Options& o, const std::string& file) {
  RamHolder db(_NewRAM());
  interop::DiagnosticLog log;
  interop::ImportOptions options;
  options.NetworkName = o.Network;
  options.Speed = o.Speed;
  ZOR_RAM::TNetwork* network = nullptr;
  if (file == "-") {
    std::string bytes;
    if (!ReadInput(session, file, bytes)) return nullptr;
    network = interop::ImportText(*db.Ram, interop::FormatFromContent(bytes), "<stdin>", bytes, options, log);
  } else {
    network = interop::ImportFile(*db.Ram, file, options, log);
  }
  PrintDiagnostics(session, log);
  if (!network) {
    if (!log.HasErrors()) session.Report(true, "the file could not be imported", Label(file));
    return nullptr;
  }
  TZOR_RAM* ram = db.Ram;
  db.Ram = nullptr;
  return ram;
}

// ---- check ------------------------------------------------------------------

const std::pair<const char*, uint64_t> kCheckGroups[] = {
    {"uniqueness", ZOR_RAM::kCheckUnique},
    {"rules", ZOR_RAM::kCheckAll},
    {"all", ZOR_RAM::kCheckUnique | ZOR_RAM::kCheckAll},
};

std::vector<std::string> SplitList(const std::string& list) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    std::string item = list.substr(start, comma - start);
    if (!item.empty()) items.push_back(item);
    start = comma + 1;
  }
  return items;
}

int ListCodes(std::FILE* out, bool json) {
  Json codes = Json::array();
  for (int code = 0; code < ZOR_RAM::kFindingCount; ++code) {
    std::string format = ToUtf8(ZOR_RAM::FindingFormat(code));
    std::string label = ToUtf8(ZOR_RAM::FindingLabel(code));
    if (json) {
      codes.push_back({{"code", code},
                       {"tag", FindingTag(code)},
                       {"severity", ZOR_RAM::FindingSeverity(code) == ZOR_RAM::kFindingError ? "error" : "warning"},
                       {"field", label},
                       {"format", format}});
    } else {
      std::fprintf(out, "%s  %-22s %s\n", FindingTag(code).c_str(), label.c_str(), format.c_str());
    }
  }
  if (json) PrintJson(out, codes);
  return kExitOk;
}

int CmdCheck(const Options& o, std::FILE* out, std::FILE* err) {
  if (o.ListCodes) return ListCodes(out, o.Json);
  Session session(out, err, o.Quiet);
  if (o.File.empty()) {
    session.Report(true, "check needs a file name (or --list-codes)");
    return kExitUsage;
  }
  std::set<int> ignored;
  for (const std::string& item : SplitList(o.Ignore)) {
    int code = ParseFindingCode(item);
    if (code < 0) {
      session.Report(true, "--ignore takes finding codes such as E138,W015 or 0 to " +
                               std::to_string(ZOR_RAM::kFindingCount - 1) + ": " + item);
      return kExitUsage;
    }
    ignored.insert(code);
  }
  uint64_t flags = ZOR_RAM::kCheckUnique | ZOR_RAM::kCheckAll;
  if (!o.Only.empty()) {
    flags = 0;
    for (const std::string& group : SplitList(o.Only)) {
      auto it = std::find_if(std::begin(kCheckGroups), std::end(kCheckGroups),
                             [&](const auto& g) { return group == g.first; });
      if (it == std::end(kCheckGroups)) {
        session.Report(true, "--only takes the groups uniqueness, rules, all: " + group);
        return kExitUsage;
      }
      flags |= it->second;
    }
  }
  if (o.FlagsGiven) flags = o.Flags;
  if (!(flags & (ZOR_RAM::kCheckUnique | ZOR_RAM::kCheckAll)))
    session.Report(false, "no check group selected: only the few findings made regardless of the groups can appear");

  RamHolder db;
  if (IsDescriptionFile(o.File)) {
    db.Ram = ImportDescription(session, o, o.File);
  } else {
    std::string bytes;
    db.Ram = LoadConfiguration(session, o.File, &bytes);
    if (db.Ram) {
      WarnUndeclaredUtf8(session, o.File, bytes);
      WarnIgnoredElements(session, o.File, bytes, db.Ram);
      WarnUnmatchedEnvGroups(session, o.File, db.Ram);
    }
  }
  if (!db.Ram) return kExitUnusable;

  session.Collect = true;
  _CheckRAM(db.Ram, flags);
  session.Collect = false;
  session.ClearProgress();

  int errors = 0, warnings = 0, suppressed = 0;
  Json findings = Json::array();
  for (const Message& m : session.Messages) {
    if (m.Code >= 0 && ignored.count(m.Code)) {
      ++suppressed;
      continue;
    }
    (m.IsError ? errors : warnings)++;
    const char* severity = m.IsError ? "error" : "warning";
    if (o.Json) {
      findings.push_back({{"code", m.Code}, {"tag", FindingTag(m.Code)}, {"severity", severity},
                          {"text", ToUtf8(m.Text)}});
    } else if (m.Code >= 0) {
      std::fprintf(err, "%s[%s]: %s\n", severity, FindingTag(m.Code).c_str(), ToUtf8(m.Text).c_str());
    } else {
      std::fprintf(err, "%s: %s\n", severity, ToUtf8(m.Text).c_str());
    }
  }
  if (o.Json) {
    PrintJson(out, findings);
  } else {
    std::string summary = Label(o.File) + ": " + Plural(errors, "error") + ", " + Plural(warnings, "warning");
    if (suppressed) summary += " (" + std::to_string(suppressed) + " ignored)";
    std::fprintf(out, "%s\n", summary.c_str());
  }
  return errors ? kExitFindings : kExitOk;
}

int CmdExplain(const Options& o, std::FILE* out, std::FILE* err) {
  int code = ParseFindingCode(o.Code);
  if (code < 0) {
    std::fprintf(err, "error: no finding %s: codes run from E000 to %s (see 'zor check --list-codes')\n",
                 o.Code.c_str(), FindingTag(ZOR_RAM::kFindingCount - 1).c_str());
    return kExitUsage;
  }
  bool isError = ZOR_RAM::FindingSeverity(code) == ZOR_RAM::kFindingError;
  std::fprintf(out,
               "%s (code %d): %s about the %s of an item\n"
               "text: %s\n\n"
               "The check reports it with the item's name and kind in place of the %%s,\n"
               "numbers in place of %%d and real values in place of %%.3f.\n"
               "%s\n"
               "Leave it out with: zor check FILE --ignore %s\n",
               FindingTag(code).c_str(), code, isError ? "an error" : "a warning",
               ToUtf8(ZOR_RAM::FindingLabel(code)).c_str(), ToUtf8(ZOR_RAM::FindingFormat(code)).c_str(),
               isError ? "An error makes 'zor check' exit with 1; the library still loads and saves the file."
                       : "A warning leaves the exit code of 'zor check' at 0.",
               FindingTag(code).c_str());
  return kExitOk;
}

// ---- convert, new, import, export -------------------------------------------

// What saving at `version` instead of the database's own version drops.
bool ReportLosses(Session& session, TZOR_RAM* ram, const std::string& version, bool force) {
  std::string own = ram->Version;
  OutlineNode before, after;
  bool outlined = SavedOutline(ram, before);
  ram->Version = version;
  outlined = outlined && SavedOutline(ram, after);
  ram->Version = own;
  if (!outlined) return true;
  Losses losses = CountLosses(before, after);
  if (losses.Empty()) return true;
  for (const auto& [kind, count] : losses.Items)
    session.Report(false, "format " + version + " cannot hold " + Plural(count, (kind + " item").c_str()));
  for (const auto& [kind, fields] : losses.Fields) {
    int total = 0;
    std::string names;
    for (const auto& [field, count] : fields) {
      total += count;
      names += (names.empty() ? "" : ", ") + field;
    }
    session.Report(false, "format " + version + " cannot hold " + Plural(total, "field") + " of " + kind +
                              " items (" + names + ")");
  }
  if (force) return true;
  session.Report(true, "converting to format " + version + " loses what is listed above; use --force to convert anyway");
  return false;
}

int CmdConvert(const Options& o, std::FILE* out, std::FILE* err) {
  Session session(out, err, o.Quiet);
  if (!o.Version.empty() && !ZOR_RAM::IsSupportedVersion(o.Version)) {
    session.Report(true, "format version " + o.Version + " is not supported (" + SupportedVersions(", ") + ")");
    return kExitUsage;
  }
  std::string bytes;
  RamHolder db(LoadConfiguration(session, o.File, &bytes));
  if (!db.Ram) return kExitUnusable;
  WarnUndeclaredUtf8(session, o.File, bytes);
  std::string from = db.Ram->Version;
  if (!o.Version.empty() && o.Version != from && !ReportLosses(session, db.Ram, o.Version, o.Force))
    return kExitUnusable;
  if (!o.Version.empty()) db.Ram->Version = o.Version;
  if (!SaveConfiguration(session, db.Ram, o.Out)) return kExitUnusable;
  // The summary goes to stdout unless stdout carries the configuration.
  std::FILE* summary = IsStdout(o.Out) ? err : out;
  std::fprintf(summary, "%s (format %s) -> %s (format %s)\n", Label(o.File).c_str(), from.c_str(),
               IsStdout(o.Out) ? "<stdout>" : o.Out.c_str(), db.Ram->Version.c_str());
  return kExitOk;
}

int CmdNew(const Options& o, std::FILE* out, std::FILE* err) {
  Session session(out, err, o.Quiet);
  std::error_code ec;
  if (!IsStdout(o.File) && !o.Force && std::filesystem::is_regular_file(o.File, ec))
    return Refuse(session, o.File + " exists; use --force to replace it with an empty configuration");
  RamHolder db(_NewRAM());
  if (!db.Ram || !SaveConfiguration(session, db.Ram, o.File)) return kExitUnusable;
  if (!IsStdout(o.File))
    std::fprintf(out, "%s: empty configuration, format %s\n", o.File.c_str(), db.Ram->Version.c_str());
  return kExitOk;
}

int CmdImport(const Options& o, std::FILE* out, std::FILE* err) {
  Session session(out, err, o.Quiet);
  if (IsDescriptionFile(o.Out)) {
    session.Report(true, "import writes a configuration file, not " + o.Out + "; use 'zor export' to write DBC or LDF");
    return kExitUsage;
  }
  RamHolder db(ImportDescription(session, o, o.File));
  if (!db.Ram) return kExitUnusable;
  db.Ram->Version = ZOR_RAM::kCurrentFileVersion;
  if (!SaveConfiguration(session, db.Ram, o.Out)) return kExitUnusable;
  if (!IsStdout(o.Out)) {
    ZOR_RAM::TNetwork* network = db.Ram->Networks.Count() ? db.Ram->Networks[0] : nullptr;
    std::fprintf(out, "%s -> %s: network %s, %d frames, %d signals\n", Label(o.File).c_str(), o.Out.c_str(),
                 network ? ToUtf8(network->Name).c_str() : "?", db.Ram->NetFrames.Count(),
                 db.Ram->Signals.Count());
  }
  return kExitOk;
}

int CmdExport(const Options& o, std::FILE* out, std::FILE* err) {
  Session session(out, err, o.Quiet);
  interop::Format format = interop::Format::Unknown;
  if (o.Format == "dbc") format = interop::Format::Dbc;
  else if (o.Format == "ldf") format = interop::Format::Ldf;
  else if (IsStdout(o.Out)) {
    session.Report(true, "writing to standard output needs --format dbc or --format ldf");
    return kExitUsage;
  } else if (!IsDescriptionFile(o.Out)) {
    session.Report(true, "the output must be a .dbc or .ldf file (or give --format): " + o.Out);
    return kExitUsage;
  }
  RamHolder db(LoadConfiguration(session, o.File));
  if (!db.Ram) return kExitUnusable;
  interop::DiagnosticLog log;
  interop::ExportOptions options;
  options.NetworkName = o.Network;
  bool ok;
  if (IsStdout(o.Out)) {
    std::string text;
    ok = interop::ExportText(*db.Ram, format, options, text, log);
    PrintDiagnostics(session, log);
    if (ok) ok = WriteWholeStream(out, text);
  } else {
    ok = interop::ExportFile(*db.Ram, o.Out, options, log, format);
    PrintDiagnostics(session, log);
  }
  return ok ? kExitOk : kExitUnusable;
}

// ---- info, list, diff -------------------------------------------------------

int CmdInfo(const Options& o, std::FILE* out, std::FILE* err) {
  Session session(out, err, o.Quiet);
  RamHolder db(LoadConfiguration(session, o.File));
  if (!db.Ram) return kExitUnusable;
  TZOR_RAM& ram = *db.Ram;
  Json info;
  info["file"] = Label(o.File);
  info["format"] = ToUtf8(ram.Version);
  info["description"] = ToUtf8(ram.Description);
  // Members are filled as locals: references into an ordered object do not
  // survive the next insertion.
  Json items = Json::object(), networks = Json::array(), nodes = Json::array();
#define ZOR_ITEM(Class, List, Factory) \
  if (ram.List.Count()) items[#List] = ram.List.Count();
#include "zor/model/items.def"
  for (ZOR_RAM::TNetwork* network : ram.Networks) {
    if (!network) continue;
    networks.push_back({{"name", ToUtf8(network->Name)},
                        {"type", ToUtf8(ZOR_RAM::NetworkTypeToText(network->Type))},
                        {"speed", network->NetSpeed},
                        {"frames", network->GetFrames().Count()},
                        {"interfaces", network->GetInterfaces().Count()}});
  }
  for (ZOR_RAM::TNode* node : ram.Nodes) {
    if (!node) continue;
    Json ifcs = Json::array();
    for (ZOR_RAM::TIfc* ifc : node->Ifcs) {
      if (!ifc) continue;
      ifcs.push_back({{"name", ToUtf8(ifc->Name)},
                      {"type", ToUtf8(ZOR_RAM::IfcTypeToText(ifc->IfcType))},
                      {"network", ifc->Network ? Json(ToUtf8(ifc->Network->Name)) : Json()}});
    }
    nodes.push_back({{"name", ToUtf8(node->Name)}, {"interfaces", ifcs}});
  }
  info["items"] = items;
  info["networks"] = networks;
  info["nodes"] = nodes;
  if (o.LinDiag) {
    const int framesBefore = ram.NetFrames.Count();
    const int signalsBefore = ram.Signals.Count();
    _CreateLINdiagObjects(db.Ram);
    Json frames = Json::array();
    for (int i = framesBefore; i < ram.NetFrames.Count(); ++i) {
      ZOR_RAM::TNetFrame* frame = ram.NetFrames[i];
      frames.push_back({{"name", ToUtf8(frame->Name)},
                        {"id", frame->FrameId},
                        {"size", frame->Size},
                        {"network", frame->Network ? Json(ToUtf8(frame->Network->Name)) : Json()},
                        {"sender", frame->Ifc ? Json(ToUtf8(frame->Ifc->GetDisplayName())) : Json()},
                        {"signals", frame->NetSigs.Count()}});
    }
    info["linDiagnostics"] = {{"signals", ram.Signals.Count() - signalsBefore}, {"frames", frames}};
  }
  if (o.Json) {
    PrintJson(out, info);
    return kExitOk;
  }
  auto text = [](const Json& value) { return value.is_string() ? value.get<std::string>() : value.dump(); };
  std::fprintf(out, "file:        %s\nformat:      %s\ndescription: %s\n", text(info["file"]).c_str(),
               text(info["format"]).c_str(), text(info["description"]).c_str());
  std::fprintf(out, "items:\n");
  for (const auto& [list, count] : items.items()) std::fprintf(out, "  %-24s %d\n", list.c_str(), count.get<int>());
  std::fprintf(out, "networks:\n");
  for (const Json& n : networks) {
    int frames = n["frames"], interfaces = n["interfaces"];
    std::fprintf(out, "  %-20s %-8s %8d bit/s  %s, %s\n", text(n["name"]).c_str(), text(n["type"]).c_str(),
                 n["speed"].get<int>(), Plural(frames, "frame").c_str(), Plural(interfaces, "interface").c_str());
  }
  std::fprintf(out, "nodes:\n");
  for (const Json& n : nodes) {
    std::fprintf(out, "  %s\n", text(n["name"]).c_str());
    for (const Json& i : n["interfaces"])
      std::fprintf(out, "    %-24s %-10s on %s\n", text(i["name"]).c_str(), text(i["type"]).c_str(),
                   i["network"].is_null() ? "(no network)" : text(i["network"]).c_str());
  }
  if (o.LinDiag) {
    const Json& diag = info["linDiagnostics"];
    std::fprintf(out, "LIN diagnostic objects: %d signals, %d frames\n", diag["signals"].get<int>(),
                 static_cast<int>(diag["frames"].size()));
    for (const Json& f : diag["frames"])
      std::fprintf(out, "  %-12s id 0x%02X  %d bytes  on %s, sent by %s, %d signals\n", text(f["name"]).c_str(),
                   f["id"].get<unsigned>(), f["size"].get<int>(),
                   f["network"].is_null() ? "(no network)" : text(f["network"]).c_str(),
                   f["sender"].is_null() ? "(none)" : text(f["sender"]).c_str(), f["signals"].get<int>());
  }
  return kExitOk;
}

// The list a KIND of `zor list` names: a friendly plural or any list's name.
std::string ListOfKind(const std::string& kindText) {
  auto lower = [](std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
  };
  const std::string kind = lower(kindText);
  static const std::pair<const char*, const char*> kAliases[] = {
      {"frames", "NetFrames"},         {"interfaces", "Ifcs"},  {"encodings", "EncTypes"},
      {"controllers", "Ctrls"},        {"modes", "NetModes"},   {"schedules", "SchEntries"},
      {"environment", "EnvGroups"},    {"variables", "EnvInts"}, {"gateways", "Gateways"}};
  for (const auto& [alias, list] : kAliases)
    if (kind == alias) return list;
  static const char* const kLists[] = {
#define ZOR_ITEM(Class, List, Factory) #List,
#include "zor/model/items.def"
  };
  for (const char* list : kLists)
    if (kind == lower(list)) return list;
  return {};
}

// The fields `zor list` shows first for a kind of item.
std::span<const std::string_view> MainFields(std::string_view kind) {
  struct Main {
    std::string_view Kind;
    std::span<const std::string_view> Fields;
  };
  static constexpr std::string_view kNetwork[] = {"Type", "NetSpeed"};
  static constexpr std::string_view kFrame[] = {"FrameId", "Size", "Network"};
  static constexpr std::string_view kSignal[] = {"Size", "SignalType", "InitValue"};
  static constexpr std::string_view kIfc[] = {"IfcType", "Network"};
  static constexpr std::string_view kNetSig[] = {"Signal", "Offset"};
  static constexpr std::string_view kEncType[] = {"Size", "Signed"};
  static constexpr std::string_view kOther[] = {"Type"};
  static constexpr Main kMain[] = {{"Network", kNetwork}, {"NetFrame", kFrame}, {"FrameHolder", kFrame},
                                   {"Signal", kSignal},   {"Ifc", kIfc},        {"NetSig", kNetSig},
                                   {"EncType", kEncType}};
  for (const Main& main : kMain)
    if (main.Kind == kind) return main.Fields;
  return kOther;
}

int CmdList(const Options& o, std::FILE* out, std::FILE* err) {
  Session session(out, err, o.Quiet);
  std::string list = ListOfKind(o.Kind);
  if (list.empty()) {
    session.Report(true, "unknown kind " + o.Kind +
                             "; try networks, frames, signals, nodes, interfaces, encodings or a list name such as "
                             "NetSigs");
    return kExitUsage;
  }
  // The database lives only until its saved text is outlined, and the items
  // are listed as they are collected.
  OutlineNode saved;
  {
    RamHolder db(LoadConfiguration(session, o.File));
    if (!db.Ram) return kExitUnusable;
    if (!SavedOutline(db.Ram, saved, RegularFileSize(o.File)))
      return Refuse(session, "cannot read back the saved configuration");
  }
  Json rows = Json::array();
  VisitItems(saved, [&](const InventoryItem& item) {
    if (item.List != list) return;
    if (o.Json) {
      Json fields = Json::object();
      for (const auto& [field, value] : item.Fields) fields[field] = ToUtf8(value);
      rows.push_back({{"kind", item.Kind}, {"path", ToUtf8(item.Path)}, {"fields", fields}});
      return;
    }
    std::string line = ToUtf8(item.Path);
    for (std::string_view field : MainFields(item.Kind))
      if (const std::string* value = item.Field(field))
        line.append("  ").append(field).append("=").append(ToUtf8(*value));
    std::fprintf(out, "%s\n", line.c_str());
  });
  if (o.Json) PrintJson(out, rows);
  return kExitOk;
}

int CmdDiff(const Options& o, std::FILE* out, std::FILE* err) {
  Session session(out, err, o.Quiet);
  if (o.File == "-" && o.Second == "-") {
    session.Report(true, "only one of the two files can be standard input");
    return kExitUsage;
  }
  // Each database lives only until its saved text is taken, and each text
  // until its items are: large files are not held twice over.
  std::string textA, textB;
  bool saved = false;
  {
    RamHolder a(LoadConfiguration(session, o.File));
    if (!a.Ram) return kExitUnusable;
    saved = SavedText(a.Ram, textA, RegularFileSize(o.File));
  }
  {
    RamHolder b(LoadConfiguration(session, o.Second));
    if (!b.Ram) return kExitUnusable;
    saved = SavedText(b.Ram, textB, RegularFileSize(o.Second)) && saved;
  }
  if (!saved) return Refuse(session, "cannot read back the saved configurations");
  // Equal texts hold equal items: nothing to outline. Otherwise the items
  // of the first are collected and its outline and text let go before the
  // second is outlined; the second's items are compared as they come.
  InventoryDiff diff;
  if (textA != textB) {
    std::vector<InventoryItem> itemsA;
    {
      OutlineNode outline;
      if (!ParseOutline(textA, outline)) return Refuse(session, "cannot read back the saved configurations");
      textA = std::string();
      itemsA = CollectItems(outline);
    }
    OutlineNode outline;
    if (!ParseOutline(textB, outline)) return Refuse(session, "cannot read back the saved configurations");
    textB = std::string();
    diff = DiffItems(itemsA, outline);
  }
  if (o.Json) {
    Json result;
    auto entries = [](const std::vector<ItemName>& items) {
      Json list = Json::array();
      for (const ItemName& item : items) list.push_back({{"kind", item.Kind}, {"path", ToUtf8(item.Path)}});
      return list;
    };
    result["equal"] = diff.Empty();
    result["removed"] = entries(diff.Removed);
    result["added"] = entries(diff.Added);
    Json changed = Json::array();
    for (const ItemChange& change : diff.Changed) {
      Json fields = Json::array();
      for (const FieldChange& f : change.Fields)
        fields.push_back({{"field", f.Field}, {"before", ToUtf8(f.Before)}, {"after", ToUtf8(f.After)}});
      changed.push_back({{"kind", change.Kind}, {"path", ToUtf8(change.Path)}, {"fields", fields}});
    }
    result["changed"] = changed;
    PrintJson(out, result);
  } else {
    for (const ItemName& item : diff.Removed)
      std::fprintf(out, "- %s %s\n", std::string(item.Kind).c_str(), ToUtf8(item.Path).c_str());
    for (const ItemName& item : diff.Added)
      std::fprintf(out, "+ %s %s\n", std::string(item.Kind).c_str(), ToUtf8(item.Path).c_str());
    for (const ItemChange& change : diff.Changed)
      for (const FieldChange& f : change.Fields)
        std::fprintf(out, "~ %s %s: %s: \"%s\" -> \"%s\"\n", change.Kind.c_str(), ToUtf8(change.Path).c_str(),
                     f.Field.c_str(), ToUtf8(f.Before).c_str(), ToUtf8(f.After).c_str());
  }
  return diff.Empty() ? kExitOk : kExitFindings;
}

// ---- command line -----------------------------------------------------------

struct Command {
  const char* Name;
  int (*Handler)(const Options&, std::FILE*, std::FILE*);
};

const Command kCommands[] = {
    {"check", CmdCheck},   {"convert", CmdConvert}, {"import", CmdImport}, {"export", CmdExport},
    {"info", CmdInfo},     {"list", CmdList},       {"diff", CmdDiff},     {"explain", CmdExplain},
    {"new", CmdNew},
};

// Builds the parser; every command writes into o.
void Describe(CLI::App& app, Options& o, std::string& helpTopic) {
  app.footer(kExitCodes);
  app.require_subcommand(0, 1);
  auto quiet = [&](CLI::App* cmd) { cmd->add_flag("-q,--quiet", o.Quiet, "no progress bar"); };

  CLI::App* check = app.add_subcommand("check", "findings of a configuration, DBC or LDF file");
  check->add_option("FILE", o.File, "configuration (.xml), DBC (.dbc) or LDF (.ldf) file; - for stdin");
  check->add_flag("--json", o.Json, "findings as a JSON array on stdout");
  check->add_option("--ignore", o.Ignore, "leave out these findings, e.g. E138,W015");
  check->add_option("--only", o.Only, "check groups: uniqueness, rules, all (comma-separated)");
  check->add_option("--flags", o.Flags, "raw check flag bits (1 uniqueness, 2 rules)")
      ->each([&](const std::string&) { o.FlagsGiven = true; });
  check->add_flag("--list-codes", o.ListCodes,
                  "list all " + std::to_string(ZOR_RAM::kFindingCount) + " findings and exit");
  check->add_option("--network", o.Network, "network name for a DBC or LDF file");
  quiet(check);

  CLI::App* convert = app.add_subcommand("convert", "load and save (normalise, change the format version)");
  convert->add_option("IN", o.File, "configuration to read; - for stdin")->required();
  convert->add_option("OUT", o.Out, "configuration to write; - for stdout")->required();
  convert->add_option("--format-version", o.Version, SupportedVersions(" or "));
  convert->add_flag("--force", o.Force, "convert even when the target format loses items or fields");
  quiet(convert);

  CLI::App* import = app.add_subcommand(
      "import", std::string("a DBC or LDF file into a configuration (format ") + ZOR_RAM::kCurrentFileVersion + ")");
  import->add_option("IN", o.File, "DBC (.dbc) or LDF (.ldf) file; - for stdin")->required();
  import->add_option("OUT", o.Out, "configuration to write; - for stdout")->required();
  import->add_option("--network", o.Network, "name of the new network");
  import->add_option("--speed", o.Speed, "network speed in bit/s");
  quiet(import);

  CLI::App* exportCmd = app.add_subcommand("export", "one network of a configuration into a DBC or LDF file");
  exportCmd->add_option("IN", o.File, "configuration to read; - for stdin")->required();
  exportCmd->add_option("OUT", o.Out, "DBC (.dbc) or LDF (.ldf) file; - for stdout")->required();
  exportCmd->add_option("--network", o.Network, "the network to export (needed when several fit)");
  exportCmd->add_option("--format", o.Format, "dbc or ldf (default: from OUT's extension)")
      ->check(CLI::IsMember({"dbc", "ldf"}));
  quiet(exportCmd);

  CLI::App* info = app.add_subcommand("info", "what a configuration holds");
  info->add_option("FILE", o.File, "configuration; - for stdin")->required();
  info->add_flag("--json", o.Json, "as JSON on stdout");
  info->add_flag("--lin-diag", o.LinDiag, "also create and list the LIN diagnostic objects");
  quiet(info);

  CLI::App* list = app.add_subcommand("list", "the items of one kind with their main fields");
  list->add_option("FILE", o.File, "configuration; - for stdin")->required();
  list->add_option("KIND", o.Kind,
                   "networks, frames, signals, nodes, interfaces, encodings, controllers, gateways, or any list "
                   "name (NetSigs, EnvGroups, ...)")
      ->required();
  list->add_flag("--json", o.Json, "every field, as JSON on stdout");
  quiet(list);

  CLI::App* diff = app.add_subcommand("diff", "item-by-item differences; exit 0 equal, 1 different");
  diff->add_option("A", o.File, "first configuration")->required();
  diff->add_option("B", o.Second, "second configuration")->required();
  diff->add_flag("--json", o.Json, "as JSON on stdout");
  quiet(diff);

  CLI::App* explain = app.add_subcommand("explain", "what a finding means");
  explain->add_option("CODE", o.Code, "a finding code: E138, W015 or 138")->required();

  CLI::App* fresh = app.add_subcommand("new", "write an empty configuration");
  fresh->add_option("FILE", o.File, "configuration to write; - for stdout")->required();
  fresh->add_flag("--force", o.Force, "replace an existing file");
  quiet(fresh);

  CLI::App* help = app.add_subcommand("help", "a command's usage");
  help->add_option("COMMAND", helpTopic, "the command");
}

}  // namespace

std::string FindingTag(int code) {
  int severity = ZOR_RAM::FindingSeverity(code);
  if (severity < 0) return {};
  char tag[8];
  std::snprintf(tag, sizeof tag, "%c%03d", severity == ZOR_RAM::kFindingError ? 'E' : 'W', code);
  return tag;
}

int ParseFindingCode(const std::string& text) {
  std::string digits = text;
  if (!digits.empty() && (digits[0] == 'E' || digits[0] == 'W' || digits[0] == 'e' || digits[0] == 'w'))
    digits.erase(0, 1);
  if (digits.empty() || digits.size() > 3 ||
      !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }))
    return -1;
  int code = std::atoi(digits.c_str());
  if (code >= ZOR_RAM::kFindingCount) return -1;
  // A severity letter must be the finding's own.
  if (digits.size() != text.size() && std::toupper(static_cast<unsigned char>(text[0])) != FindingTag(code)[0])
    return -1;
  return code;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (char c : ToUtf8(text)) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + '"';
}

int Run(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  CLI::App app("zor: check, convert and inspect vehicle-network configuration files", "zor");
  // Options start with '-' on every system: on Windows CLI11 would also take
  // "/name" for an option, and so refuse file names given with '/' as root.
  // Set before the subcommands, which inherit it.
  app.allow_windows_style_options(false);
  Options o;
  std::string helpTopic;
  bool version = false;
  app.add_flag("--version", version, "library version and file format version");
  Describe(app, o, helpTopic);
  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    std::fputs(app.help().c_str(), out);
    return kExitOk;
  } catch (const CLI::CallForAllHelp&) {
    std::fputs(app.help("", CLI::AppFormatMode::All).c_str(), out);
    return kExitOk;
  } catch (const CLI::ParseError& e) {
    std::vector<CLI::App*> selected = app.get_subcommands();
    std::string command = selected.empty() ? "" : " " + selected.front()->get_name();
    std::fprintf(err, "error: %s\nRun 'zor%s --help' for usage.\n", e.what(), command.c_str());
    return kExitUsage;
  }
  if (version) {
    std::fprintf(out, "zor library %s, file format %s\n", _GetVerStr(), _GetCurrentFileVerStr());
    return kExitOk;
  }
  std::vector<CLI::App*> selected = app.get_subcommands();
  if (selected.empty()) {
    std::fputs(app.help().c_str(), err);
    return kExitUsage;
  }
  const std::string name = selected.front()->get_name();
  if (name == "help") {
    if (helpTopic.empty()) {
      std::fputs(app.help().c_str(), out);
      return kExitOk;
    }
    for (const Command& command : kCommands)
      if (helpTopic == command.Name) {
        std::fputs(app.get_subcommand(helpTopic)->help("zor").c_str(), out);
        return kExitOk;
      }
    std::fprintf(err, "error: no command %s\nRun 'zor --help' for the commands.\n", helpTopic.c_str());
    return kExitUsage;
  }
  for (const Command& command : kCommands)
    if (name == command.Name) return command.Handler(o, out, err);
  return kExitUsage;
}

}  // namespace zorcli
