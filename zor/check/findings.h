// Check findings: the coded message table, the routine every check reports
// through, the check flags and the name checks most item classes share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "zor/zor.h"

namespace ZOR_RAM {

class TItemData;

// Check flags passed unchanged from the check entry point to every Check.
// kCheckUnique: name uniqueness and the few cross-item tests placed with it.
// kCheckAll: every other test (content, name length and form, attachment).
inline constexpr uint64_t kCheckUnique = 1;
inline constexpr uint64_t kCheckAll = 2;

inline constexpr int kFindingCount = 186;
inline constexpr int kFindingError = 0;
inline constexpr int kFindingWarning = 1;
// Size of the formatting buffer, terminator included; longer texts are cut.
inline constexpr std::size_t kFindingBufferSize = 5500;
// Names longer than this are reported with code 0.
inline constexpr std::size_t kMaxNameLength = 128;

// Formats the finding `code` with the arguments that its format expects (texts
// as non-null char pointers, integers as int, reals as double) and delivers it:
// an error sets *errorFound (when errorFound is not null) and goes to the
// error sink, a warning goes to the warning sink and leaves *errorFound alone.
// The finding observer, when set, sees every finding after the sink. Codes
// outside the table report nothing.
ZOR_API void ReportFinding(bool* errorFound, int code, ...);

// Severity (kFindingError or kFindingWarning), label and format of a code;
// -1 and null for codes outside the table.
ZOR_API int FindingSeverity(int code);
ZOR_API const char* FindingLabel(int code);
ZOR_API const char* FindingFormat(int code);

// Receives the code, severity and delivered text of every finding, for hosts
// that filter findings or print them in other forms. The sinks get the same
// texts whether or not an observer is set. An empty function removes it.
using FindingObserver = std::function<void(int code, int severity, const std::string& text)>;
ZOR_API void SetFindingObserver(FindingObserver observer);

// A finding argument built only when a finding reads it: most checks report
// nothing, and building the text (often a copy of a long display text) would
// fetch memory the check does not otherwise need. Built once, then kept.
template <class Build>
class TLazyText {
 public:
  explicit TLazyText(Build build) : Build_(std::move(build)) {}
  const char* c_str() const {
    if (!Built_) {
      Text_ = Build_();
      Built_ = true;
    }
    return Text_.c_str();
  }

 private:
  Build Build_;
  mutable std::string Text_;
  mutable bool Built_ = false;
};

// item.GetDisplayName() as a lazy finding argument. A text not cached yet is
// built at once, so the item's cache is filled as an eager call would fill it.
template <class Item>
auto LazyDisplayName(Item& item) {
  TLazyText text([&item] { return item.GetDisplayName(); });
  if (item.DisplayNameCache.empty()) text.c_str();
  return text;
}

// True when text is not a C identifier of ASCII letters, digits and '_' that
// does not start with a digit. The empty text is not C-like.
ZOR_API bool IsNotCLike(const std::string& text);

// The shared checks of an item's own name (item->GetName()), in this order:
//  - under kCheckUnique: item->IsNameUsed(name) -> code 2 with
//    (name, kindWord, uniqueSuffix); the suffix ends "Name is not unique%s.";
//  - under kCheckAll: CheckNameForm(errorFound, name, flags, kindWord).
ZOR_API void CheckItemName(bool* errorFound, TItemData* item, uint64_t flags, const char* kindWord,
                           const std::string& uniqueSuffix = std::string());

// The parts of CheckItemName, for classes that run other checks in between or
// check a name other than their own.
// Under kCheckUnique: item->IsNameUsed(name) -> code 2 (name, kindWord, uniqueSuffix).
ZOR_API void CheckNameUnique(bool* errorFound, TItemData* item, const std::string& name, uint64_t flags,
                             const char* kindWord, const std::string& uniqueSuffix = std::string());
// The same with the suffix built only when the finding is reported.
ZOR_API void CheckNameUnique(bool* errorFound, TItemData* item, const std::string& name, uint64_t flags,
                             const char* kindWord, const std::function<std::string()>& uniqueSuffix);
// Under kCheckAll: a name longer than kMaxNameLength -> code 0 (name, kindWord);
// IsNotCLike(name) -> code 1 (name, formKindWord, or kindWord when that is null).
ZOR_API void CheckNameForm(bool* errorFound, const std::string& name, uint64_t flags, const char* kindWord,
                           const char* formKindWord = nullptr);

}  // namespace ZOR_RAM
