#include "tools/zor/session.h"

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <iostream>
#include <iterator>
#include <sstream>

#include "zor/check/findings.h"

namespace zorcli {

namespace {

// The library's sinks are plain functions: they reach the running command here.
Session* g_session = nullptr;

void OnErrorSink(const char* text) {
  if (g_session) g_session->OnMessage(true, text);
}
void OnWarningSink(const char* text) {
  if (g_session) g_session->OnMessage(false, text);
}
void OnProgressSink(int32_t percent, const char* text) {
  if (g_session) g_session->OnProgress(percent, text);
}

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

}  // namespace

// The library's texts are Windows-1252: bytes below 0x80 and from 0xA0 are
// the Unicode characters of the same value; 0x80..0x9F map through this table
// (the five bytes the code page leaves undefined keep their own value).
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::string ToUtf8(const std::string& codePageText) {
  std::string out;
  out.reserve(codePageText.size());
  for (unsigned char c : codePageText) {
    char16_t u = c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : c;
    if (u < 0x80) {
      out += static_cast<char>(u);
    } else if (u < 0x800) {
      out += static_cast<char>(0xC0 | (u >> 6));
      out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (u >> 12));
      out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return out;
}

Session::Session(std::FILE* out, std::FILE* err, bool quiet) : Out_(out), Err_(err) {
  ProgressBar_ = !quiet && ::isatty(::fileno(err)) != 0;
  g_session = this;
  _Init(&OnErrorSink, &OnWarningSink, 0, &OnProgressSink);
  ZOR_RAM::SetFindingObserver([](int code, int, const std::string&) {
    if (g_session) g_session->OnFinding(code);
  });
}

Session::~Session() {
  ClearProgress();
  ZOR_RAM::SetFindingObserver({});
  _Init(nullptr, nullptr, 0, nullptr);
  g_session = nullptr;
}

void Session::Report(bool isError, const std::string& utf8Text, const std::string& file, int line, int column) {
  ClearProgress();
  std::string where;
  if (!file.empty()) {
    where = file;
    if (line > 0) where += ":" + std::to_string(line);
    if (line > 0 && column > 0) where += ":" + std::to_string(column);
    where += ": ";
  }
  std::fprintf(Err_, "%s%s: %s\n", where.c_str(), isError ? "error" : "warning", utf8Text.c_str());
}

void Session::OnMessage(bool isError, const char* text) {
  if (Collect) Messages.push_back({isError, -1, text});
  else Report(isError, ToUtf8(text));
}

void Session::OnFinding(int code) {
  // The observer runs right after the sink has had the finding's text.
  if (Collect && !Messages.empty()) Messages.back().Code = code;
}

void Session::OnProgress(int percent, const char* text) {
  if (!ProgressBar_) return;
  if (!*text) {
    ClearProgress();
    return;
  }
  // A terminal cannot show more than a few redraws a second anyway; a new
  // section is always shown.
  auto now = std::chrono::steady_clock::now();
  if (ProgressShown_ && text == LastSection_ && now - LastDraw_ < kRedrawInterval) return;
  LastDraw_ = now;
  LastSection_ = text;
  const int width = 30;
  int filled = percent < 0 ? 0 : percent > 100 ? width : percent * width / 100;
  std::fprintf(Err_, "\r[%.*s%*s] %3d%% %s\033[K", filled, "##############################", width - filled, "",
               percent, ToUtf8(text).c_str());
  ProgressShown_ = true;
  std::fflush(Err_);
}

void Session::ClearProgress() {
  if (!ProgressShown_) return;
  std::fputs("\r\033[K", Err_);
  ProgressShown_ = false;
}

TempFile::TempFile(const std::string& suffix) {
  std::error_code ec;
  std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
  if (ec) return;
#ifdef _WIN32
  std::random_device random;
  for (int attempt = 0; attempt < 16 && Path_.empty(); ++attempt) {
    std::filesystem::path candidate = dir / ("zor-" + std::to_string(random()) + suffix);
    if (std::filesystem::exists(candidate, ec)) continue;
    if (std::ofstream(candidate, std::ios::binary)) Path_ = candidate.string();
  }
#else
  std::string pattern = (dir / ("zor-XXXXXX" + suffix)).string();
  int fd = ::mkstemps(pattern.data(), static_cast<int>(suffix.size()));
  if (fd < 0) return;
  ::close(fd);
  Path_ = pattern;
#endif
}

TempFile::~TempFile() {
  if (Valid()) std::remove(Path_.c_str());
}

size_t RegularFileSize(const std::string& path) {
  if (path == "-") return 0;
  std::error_code ec;
  const auto size = std::filesystem::is_regular_file(path, ec) ? std::filesystem::file_size(path, ec) : 0;
  return ec ? 0 : static_cast<size_t>(size);
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  if (path == "-") {
    std::ostringstream buffer;
    buffer << std::cin.rdbuf();
    bytes = buffer.str();
    return !std::cin.bad();
  }
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (!in) return false;
  // A regular file comes in one read of its size; anything else (a pipe, a
  // device) or a file that grew meanwhile is read to its end in blocks. A
  // read error (a directory, say) is a failure, never an exception.
  const size_t size = RegularFileSize(path);
  size_t block = size > 0 ? size + 1 : size_t{1} << 16;
  bytes.clear();
  for (;;) {
    const size_t used = bytes.size();
    bytes.resize(used + block);
    const size_t got = std::fread(bytes.data() + used, 1, block, in);
    bytes.resize(used + got);
    if (got < block) break;
    block = size_t{1} << 16;
  }
  const bool failed = std::ferror(in) != 0;
  std::fclose(in);
  return !failed;
}

bool WriteWholeStream(std::FILE* stream, const std::string& bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size() && std::fflush(stream) == 0;
}

}  // namespace zorcli
