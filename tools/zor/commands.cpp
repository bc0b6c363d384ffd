#include "tools/zor/commands.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "zor/check/findings.h"
#include "zor/interface/file_frame.h"
#include "zor/model/enums.h"
#include "zor/model/ram.h"
#include "zor/platform/codepage.h"
#include "zor/zor.h"

namespace zorcli {

namespace {

const char kUsage[] =
    "usage: zor <command> [options]\n"
    "\n"
    "commands:\n"
    "  check FILE [--flags N] [--json] [--ignore CODES]\n"
    "                      load and check a configuration; exit 0 without errors,\n"
    "                      1 with errors, 2 when the file cannot be loaded\n"
    "  convert IN OUT [--format-version V]\n"
    "                      load and save (normalises the file, changes its format version)\n"
    "  info FILE [--lin-diag]\n"
    "                      what a configuration holds\n"
    "  new FILE            write an empty configuration\n"
    "  --version           library version and file format version\n"
    "  --help              this text\n";

// One finding or library message, as the sinks and the observer saw it.
struct Message {
  bool IsError = true;
  int Code = -1;  // -1: not a check finding
  std::string Text;
};

// The state of one command run, reached from the C sinks.
struct Session {
  std::FILE* Err = nullptr;
  bool ProgressBar = false;
  bool ProgressShown = false;
  bool Collect = false;  // keep messages instead of printing them
  std::vector<Message> Messages;
};

Session* g_session = nullptr;

void ClearProgress() {
  if (g_session->ProgressShown) {
    std::fputs("\r\033[K", g_session->Err);
    g_session->ProgressShown = false;
  }
}

void Emit(bool isError, const char* text) {
  if (!g_session) return;
  if (g_session->Collect) {
    g_session->Messages.push_back({isError, -1, text});
    return;
  }
  ClearProgress();
  std::fprintf(g_session->Err, "%s: %s\n", isError ? "error" : "warning", text);
}

void OnError(const char* text) { Emit(true, text); }
void OnWarning(const char* text) { Emit(false, text); }

void OnProgress(int32_t percent, const char* text) {
  if (!g_session || !g_session->ProgressBar) return;
  if (!*text) {
    ClearProgress();
    return;
  }
  const int width = 30;
  int filled = percent < 0 ? 0 : percent > 100 ? width : percent * width / 100;
  std::fprintf(g_session->Err, "\r[%.*s%*s] %3d%% %s\033[K", filled, "##############################",
               width - filled, "", static_cast<int>(percent), text);
  g_session->ProgressShown = true;
  std::fflush(g_session->Err);
}

// Installs the sinks for one command and removes them afterwards.
class SessionScope {
 public:
  explicit SessionScope(std::FILE* err) {
    Session_.Err = err;
    Session_.ProgressBar = ::isatty(::fileno(err)) != 0;
    g_session = &Session_;
    _Init(&OnError, &OnWarning, 0, &OnProgress);
  }
  ~SessionScope() {
    ClearProgress();
    ZOR_RAM::SetFindingObserver({});
    _Init(nullptr, nullptr, 0, nullptr);
    g_session = nullptr;
  }
  Session& operator*() { return Session_; }
  Session* operator->() { return &Session_; }

 private:
  Session Session_;
};

// Owns a database for the length of a command.
struct RamHolder {
  TZOR_RAM* Ram = nullptr;
  ~RamHolder() { _FreeRAM(Ram); }
};

int Usage(std::FILE* err, const std::string& problem) {
  if (!problem.empty()) std::fprintf(err, "error: %s\n", problem.c_str());
  std::fputs(kUsage, err);
  return kExitUnusable;
}

bool ParseUnsigned(const std::string& text, uint64_t* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  unsigned long long v = std::strtoull(text.c_str(), &end, 0);
  if (errno || *end || text[0] == '-') return false;
  *value = v;
  return true;
}

// Loads a configuration; explains a silent refusal (a file that is not a
// configuration file at all) itself.
TZOR_RAM* Load(Session& session, const std::string& file) {
  size_t before = session.Messages.size();
  bool collect = session.Collect;
  session.Collect = true;
  TZOR_RAM* ram = _LoadFile(file.c_str());
  session.Collect = collect;
  std::vector<Message> messages(session.Messages.begin() + static_cast<long>(before), session.Messages.end());
  session.Messages.resize(before);
  ClearProgress();
  for (const Message& m : messages)
    std::fprintf(session.Err, "%s: %s\n", m.IsError ? "error" : "warning", m.Text.c_str());
  if (!ram && messages.empty())
    std::fprintf(session.Err, "error: %s is not a configuration file\n", file.c_str());
  return ram;
}

int CmdVersion(std::FILE* out) {
  std::fprintf(out, "zor library %s, file format %s\n", _GetVerStr(), _GetCurrentFileVerStr());
  return kExitOk;
}

int CmdNew(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  if (args.size() != 1) return Usage(err, "new takes one file name");
  SessionScope session(err);
  RamHolder db{_NewRAM()};
  if (!db.Ram || _SaveRAM(db.Ram, args[0].c_str())) return kExitUnusable;
  std::fprintf(out, "%s: empty configuration, format %s\n", args[0].c_str(), db.Ram->Version.c_str());
  return kExitOk;
}

int CmdConvert(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  std::vector<std::string> files;
  std::string version;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--format-version") {
      if (++i >= args.size()) return Usage(err, "--format-version needs a value");
      version = args[i];
      if (!ZOR_RAM::IsSupportedVersion(version))
        return Usage(err, "format version " + version + " is not supported (1.002, 1.100, 1.101, 1.200, 1.201, 2.000)");
    } else if (args[i].rfind("--", 0) == 0) {
      return Usage(err, "unknown option " + args[i]);
    } else {
      files.push_back(args[i]);
    }
  }
  if (files.size() != 2) return Usage(err, "convert takes an input and an output file");
  SessionScope session(err);
  RamHolder db{Load(*session, files[0])};
  if (!db.Ram) return kExitUnusable;
  std::string from = db.Ram->Version;
  if (!version.empty()) db.Ram->Version = version;
  if (_SaveRAM(db.Ram, files[1].c_str())) return kExitUnusable;
  std::fprintf(out, "%s (format %s) -> %s (format %s)\n", files[0].c_str(), from.c_str(), files[1].c_str(),
               db.Ram->Version.c_str());
  return kExitOk;
}

int CmdCheck(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  std::string file;
  uint64_t flags = ZOR_RAM::kCheckUnique | ZOR_RAM::kCheckAll;
  bool json = false;
  std::set<int> ignored;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--json") {
      json = true;
    } else if (a == "--flags") {
      if (++i >= args.size() || !ParseUnsigned(args[i], &flags)) return Usage(err, "--flags needs a number");
    } else if (a == "--ignore") {
      if (++i >= args.size()) return Usage(err, "--ignore needs a list of codes");
      std::string list = args[i];
      size_t start = 0;
      while (start <= list.size()) {
        size_t comma = list.find(',', start);
        std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        uint64_t code = 0;
        if (!ParseUnsigned(item, &code) || code >= static_cast<uint64_t>(ZOR_RAM::kFindingCount))
          return Usage(err, "--ignore takes codes from 0 to 185 separated by commas: " + list);
        ignored.insert(static_cast<int>(code));
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
    } else if (a.rfind("--", 0) == 0) {
      return Usage(err, "unknown option " + a);
    } else if (file.empty()) {
      file = a;
    } else {
      return Usage(err, "check takes one file name");
    }
  }
  if (file.empty()) return Usage(err, "check needs a file name");

  SessionScope session(err);
  RamHolder db{Load(*session, file)};
  if (!db.Ram) return kExitUnusable;

  session->Collect = true;
  ZOR_RAM::SetFindingObserver([](int code, int /*severity*/, const std::string& /*text*/) {
    // The sink has just received this finding's text.
    if (g_session && !g_session->Messages.empty()) g_session->Messages.back().Code = code;
  });
  _CheckRAM(db.Ram, flags);
  session->Collect = false;
  ClearProgress();

  int errors = 0, warnings = 0, suppressed = 0;
  std::string jsonText = "[";
  for (const Message& m : session->Messages) {
    if (m.Code >= 0 && ignored.count(m.Code)) {
      ++suppressed;
      continue;
    }
    (m.IsError ? errors : warnings)++;
    if (json) {
      if (jsonText.size() > 1) jsonText += ",";
      jsonText += "\n  {\"code\": " + std::to_string(m.Code) + ", \"severity\": \"" +
                  (m.IsError ? "error" : "warning") + "\", \"text\": " + JsonString(m.Text) + "}";
    } else {
      std::fprintf(err, "%s: %s\n", m.IsError ? "error" : "warning", m.Text.c_str());
    }
  }
  if (json) {
    jsonText += jsonText.size() > 1 ? "\n]\n" : "]\n";
    std::fputs(jsonText.c_str(), out);
  } else {
    std::fprintf(out, "%s: %d error%s, %d warning%s", file.c_str(), errors, errors == 1 ? "" : "s", warnings,
                 warnings == 1 ? "" : "s");
    if (suppressed) std::fprintf(out, " (%d ignored)", suppressed);
    std::fputc('\n', out);
  }
  return errors ? kExitFindings : kExitOk;
}

int CmdInfo(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  std::string file;
  bool linDiag = false;
  for (const std::string& a : args) {
    if (a == "--lin-diag") linDiag = true;
    else if (a.rfind("--", 0) == 0) return Usage(err, "unknown option " + a);
    else if (file.empty()) file = a;
    else return Usage(err, "info takes one file name");
  }
  if (file.empty()) return Usage(err, "info needs a file name");
  SessionScope session(err);
  RamHolder db{Load(*session, file)};
  if (!db.Ram) return kExitUnusable;
  TZOR_RAM& ram = *db.Ram;
  std::fprintf(out, "file:        %s\nformat:      %s\ndescription: %s\n", file.c_str(), ram.Version.c_str(),
               ram.Description.c_str());
  std::fprintf(out, "items:\n");
#define ZOR_ITEM(Class, List, Factory) \
  if (ram.List.Count()) std::fprintf(out, "  %-24s %d\n", #List, ram.List.Count());
#include "zor/model/items.def"
  std::fprintf(out, "networks:\n");
  for (ZOR_RAM::TNetwork* network : ram.Networks) {
    if (!network) continue;
    const int frames = network->GetFrames().Count(), interfaces = network->GetInterfaces().Count();
    std::fprintf(out, "  %-20s %-8s %8d bit/s  %d frame%s, %d interface%s\n", network->Name.c_str(),
                 ZOR_RAM::NetworkTypeToText(network->Type).c_str(), network->NetSpeed, frames,
                 frames == 1 ? "" : "s", interfaces, interfaces == 1 ? "" : "s");
  }
  std::fprintf(out, "nodes:\n");
  for (ZOR_RAM::TNode* node : ram.Nodes) {
    if (!node) continue;
    std::fprintf(out, "  %s\n", node->Name.c_str());
    for (ZOR_RAM::TIfc* ifc : node->Ifcs) {
      if (!ifc) continue;
      std::fprintf(out, "    %-24s %-10s on %s\n", ifc->Name.c_str(), ZOR_RAM::IfcTypeToText(ifc->IfcType).c_str(),
                   ifc->Network ? ifc->Network->Name.c_str() : "(no network)");
    }
  }
  if (linDiag) {
    const int framesBefore = ram.NetFrames.Count();
    const int signalsBefore = ram.Signals.Count();
    _CreateLINdiagObjects(db.Ram);
    std::fprintf(out, "LIN diagnostic objects: %d signals, %d frames\n", ram.Signals.Count() - signalsBefore,
                 ram.NetFrames.Count() - framesBefore);
    for (int i = framesBefore; i < ram.NetFrames.Count(); ++i) {
      ZOR_RAM::TNetFrame* frame = ram.NetFrames[i];
      std::fprintf(out, "  %-12s id 0x%02X  %d bytes  on %s, sent by %s, %d signals\n", frame->Name.c_str(),
                   static_cast<unsigned>(frame->FrameId), frame->Size,
                   frame->Network ? frame->Network->Name.c_str() : "(no network)",
                   frame->Ifc ? frame->Ifc->GetDisplayName().c_str() : "(none)", frame->NetSigs.Count());
    }
  }
  return kExitOk;
}

}  // namespace

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (char16_t unit : zor::platform::CodePageToWide(text)) {
    if (unit == '"' || unit == '\\') {
      out += '\\';
      out += static_cast<char>(unit);
    } else if (unit < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(unit));
      out += buf;
    } else if (unit < 0x80) {
      out += static_cast<char>(unit);
    } else if (unit < 0x800) {
      out += static_cast<char>(0xC0 | (unit >> 6));
      out += static_cast<char>(0x80 | (unit & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (unit >> 12));
      out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (unit & 0x3F));
    }
  }
  out += '"';
  return out;
}

int Run(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  if (args.empty()) return Usage(err, "");
  const std::string& command = args[0];
  std::vector<std::string> rest(args.begin() + 1, args.end());
  if (command == "--version" || command == "version") return CmdVersion(out);
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, out);
    return kExitOk;
  }
  if (command == "check") return CmdCheck(rest, out, err);
  if (command == "convert") return CmdConvert(rest, out, err);
  if (command == "info") return CmdInfo(rest, out, err);
  if (command == "new") return CmdNew(rest, out, err);
  return Usage(err, "unknown command " + command);
}

}  // namespace zorcli
