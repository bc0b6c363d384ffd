#include "zor/check/findings.h"

#include <array>
#include <cstdarg>
#include <cstdio>
#include <string_view>
#include <utility>

#include "zor/io/messages.h"
#include "zor/model/item.h"

namespace ZOR_RAM {
namespace {

struct Finding {
  int Code;
  int Severity;
  const char* Label;
  const char* Format;
};

constexpr Finding kFindings[] = {
#define ZOR_FINDING(Code, Name, Severity, Label, Format) {Code, Severity, Label, Format},
#include "zor/check/findings.def"
};

static_assert(std::size(kFindings) == kFindingCount, "the finding table has one row per code");

constexpr bool RowsInCodeOrder() {
  for (int i = 0; i < kFindingCount; ++i) {
    if (kFindings[i].Code != i) return false;
    if (kFindings[i].Severity != kFindingError && kFindings[i].Severity != kFindingWarning) return false;
  }
  return true;
}
static_assert(RowsInCodeOrder(), "finding rows run 0, 1, 2 ... with severity 0 or 1");

bool IsInTable(int code) { return code >= 0 && code < kFindingCount; }

// A conversion that never reaches its conversion letter (the "%." that ends
// formats 32 and 33) makes vsnprintf fail with nothing reliable in the
// buffer. Such a '%' is doubled, so the sequence prints as it stands: the
// real value comes out as "12.500%.".
std::string PrintableFormat(std::string_view format) {
  std::string out;
  out.reserve(format.size() + 2);
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      out += format[i];
      continue;
    }
    if (i + 1 < format.size() && format[i + 1] == '%') {
      out += "%%";
      ++i;
      continue;
    }
    const bool complete = finding_format::ConversionLetter(format, i) != std::string_view::npos;
    out += complete ? "%" : "%%";
  }
  return out;
}

const std::array<std::string, kFindingCount>& PrintableFormats() {
  static const std::array<std::string, kFindingCount> formats = [] {
    std::array<std::string, kFindingCount> result;
    for (int i = 0; i < kFindingCount; ++i) result[i] = PrintableFormat(kFindings[i].Format);
    return result;
  }();
  return formats;
}

FindingObserver& Observer() {
  static FindingObserver observer;
  return observer;
}

bool IsAsciiLetterOrDigit(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

}  // namespace

void ReportFinding(bool* errorFound, int code, ...) {
  if (!IsInTable(code)) return;
  char buffer[kFindingBufferSize];
  va_list args;
  va_start(args, code);
  const int written = std::vsnprintf(buffer, sizeof buffer, PrintableFormats()[code].c_str(), args);
  va_end(args);
  if (written < 0) buffer[0] = '\0';  // nothing reliable was written
  buffer[sizeof buffer - 1] = '\0';
  const std::string text(buffer);

  const int severity = kFindings[code].Severity;
  if (severity == kFindingError) {
    if (errorFound) *errorFound = true;
    zor::ReportError(text);
  } else {
    zor::ReportWarning(text);
  }
  if (const FindingObserver& observer = Observer()) observer(code, severity, text);
}

int FindingSeverity(int code) { return IsInTable(code) ? kFindings[code].Severity : -1; }
const char* FindingLabel(int code) { return IsInTable(code) ? kFindings[code].Label : nullptr; }
const char* FindingFormat(int code) { return IsInTable(code) ? kFindings[code].Format : nullptr; }

void SetFindingObserver(FindingObserver observer) { Observer() = std::move(observer); }

bool IsNotCLike(const std::string& text) {
  if (text.empty()) return true;
  if (text[0] >= '0' && text[0] <= '9') return true;
  for (char c : text) {
    if (c != '_' && !IsAsciiLetterOrDigit(static_cast<unsigned char>(c))) return true;
  }
  return false;
}

void CheckNameUnique(bool* errorFound, TItemData* item, const std::string& name, uint64_t flags,
                     const char* kindWord, const std::string& uniqueSuffix) {
  if ((flags & kCheckUnique) && item->IsNameUsed(name)) {
    ReportFinding<kNameNotUnique>(errorFound, name, kindWord, uniqueSuffix);
  }
}

void CheckNameUnique(bool* errorFound, TItemData* item, const std::string& name, uint64_t flags,
                     const char* kindWord, const std::function<std::string()>& uniqueSuffix) {
  if ((flags & kCheckUnique) && item->IsNameUsed(name))
    ReportFinding<kNameNotUnique>(errorFound, name, kindWord, uniqueSuffix());
}

void CheckNameForm(bool* errorFound, const std::string& name, uint64_t flags, const char* kindWord,
                   const char* formKindWord) {
  if (!(flags & kCheckAll)) return;
  if (name.size() > kMaxNameLength) ReportFinding<kNameTooLong>(errorFound, name, kindWord);
  if (IsNotCLike(name)) ReportFinding<kNameNotCLike>(errorFound, name, formKindWord ? formKindWord : kindWord);
}

void CheckItemName(bool* errorFound, TItemData* item, uint64_t flags, const char* kindWord,
                   const std::string& uniqueSuffix) {
  const std::string name = item->GetName();
  CheckNameUnique(errorFound, item, name, flags, kindWord, uniqueSuffix);
  CheckNameForm(errorFound, name, flags, kindWord);
}

}  // namespace ZOR_RAM
