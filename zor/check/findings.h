// Check findings: the coded message table, the routine every check reports
// through, the check flags and the name checks most item classes share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "zor/zor.h"

namespace ZOR_RAM {

class TItemData;

// Check flags passed unchanged from the check entry point to every Check.
// kCheckUnique: name uniqueness and the few cross-item tests placed with it.
// kCheckAll: every other test (content, name length and form, attachment).
inline constexpr uint64_t kCheckUnique = 1;
inline constexpr uint64_t kCheckAll = 2;

// The number of findings: one per row of findings.def, codes 0 .. count-1.
inline constexpr int kFindingCount = 0
#define ZOR_FINDING(Code, Name, Severity, Label, Format) +1
#include "zor/check/findings.def"
    ;
inline constexpr int kFindingError = 0;
inline constexpr int kFindingWarning = 1;
// Size of the formatting buffer, terminator included; longer texts are cut.
inline constexpr std::size_t kFindingBufferSize = 5500;
// Names longer than this are reported as kNameTooLong.
inline constexpr std::size_t kMaxNameLength = 128;

// Every finding by name; the value is its code (kNameTooLong = 0, ...).
enum FindingCode : int {
#define ZOR_FINDING(Code, Name, Severity, Label, Format) Name = Code,
#include "zor/check/findings.def"
};

// Formats the finding `code` with the arguments that its format expects (texts
// as non-null char pointers, integers as int, reals as double) and delivers it:
// an error sets *errorFound (when errorFound is not null) and goes to the
// error sink, a warning goes to the warning sink and leaves *errorFound alone.
// The finding observer, when set, sees every finding after the sink. Codes
// outside the table report nothing. Hosts call this form; the library itself
// reports through the checked form below.
ZOR_API void ReportFinding(bool* errorFound, int code, ...);

namespace finding_format {

// The format of every code, read at compile time by the checked form.
inline constexpr const char* kFormats[] = {
#define ZOR_FINDING(Code, Name, Severity, Label, Format) Format,
#include "zor/check/findings.def"
};

// The most arguments a format may take.
inline constexpr int kMaxArgs = 8;

enum class ArgKind { kText, kInteger, kReal, kUnsupported };

// For the '%' at format[percent] that does not start "%%": the index of its
// conversion letter, or npos when the flags, width and precision run to the
// end of the format or to a character that is not a conversion letter. Such
// an incomplete conversion (the "%." that ends formats 32 and 33) is printed
// literally and takes no argument.
constexpr std::size_t ConversionLetter(std::string_view format, std::size_t percent) {
  constexpr std::string_view kSpecChars = "-+ #0'123456789.*hlLqjzt";
  constexpr std::string_view kConversions = "diouxXeEfFgGaAcspn";
  std::size_t end = percent + 1;
  while (end < format.size() && kSpecChars.find(format[end]) != std::string_view::npos) ++end;
  if (end < format.size() && kConversions.find(format[end]) != std::string_view::npos) return end;
  return std::string_view::npos;
}

// The kind of argument a conversion takes. Length modifiers, '*' and the
// conversions no finding uses are kUnsupported, so that the checked form
// never passes an argument vsnprintf would read as another type.
constexpr ArgKind ConversionKind(std::string_view conversion) {
  constexpr std::string_view kModifiers = "*hlLqjzt";
  if (conversion.find_first_of(kModifiers) != std::string_view::npos) return ArgKind::kUnsupported;
  switch (conversion.back()) {
    case 's':
      return ArgKind::kText;
    case 'd':
    case 'i':
    case 'u':
    case 'x':
    case 'X':
      return ArgKind::kInteger;
    case 'e':
    case 'E':
    case 'f':
    case 'F':
    case 'g':
    case 'G':
      return ArgKind::kReal;
    default:
      return ArgKind::kUnsupported;
  }
}

struct Arguments {
  int Count = 0;
  ArgKind Kinds[kMaxArgs] = {};
  bool Supported = true;
};

// The arguments a format takes, in order.
constexpr Arguments ArgumentsOf(std::string_view format) {
  Arguments args;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') continue;
    if (i + 1 < format.size() && format[i + 1] == '%') {
      ++i;
      continue;
    }
    const std::size_t letter = ConversionLetter(format, i);
    if (letter == std::string_view::npos) continue;
    const ArgKind kind = ConversionKind(format.substr(i + 1, letter - i));
    if (kind == ArgKind::kUnsupported || args.Count == kMaxArgs) args.Supported = false;
    else args.Kinds[args.Count++] = kind;
    i = letter;
  }
  return args;
}

constexpr bool AllFormatsSupported() {
  for (const char* format : kFormats)
    if (!ArgumentsOf(format).Supported) return false;
  return true;
}
static_assert(AllFormatsSupported(), "finding formats use only %s, %d and %f-style conversions, at most 8");

// Whether an argument of type T suits a conversion of the given kind: a text
// is a std::string or converts to const char* (not a null pointer constant),
// an integer is an integral type no wider than int (bool excluded), a real a
// floating-point type.
template <typename T>
constexpr bool Suits(ArgKind kind) {
  using U = std::remove_cv_t<std::remove_reference_t<T>>;
  switch (kind) {
    case ArgKind::kText:
      return std::is_same_v<U, std::string> ||
             (std::is_convertible_v<const T&, const char*> && !std::is_same_v<U, std::nullptr_t>);
    case ArgKind::kInteger:
      return std::is_integral_v<U> && !std::is_same_v<U, bool> && sizeof(U) <= sizeof(int);
    case ArgKind::kReal:
      return std::is_floating_point_v<U>;
    default:
      return false;
  }
}

template <FindingCode Code>
inline constexpr Arguments kArguments = ArgumentsOf(kFormats[Code]);

template <typename... Args>
constexpr bool AllSuit(const Arguments& expected) {
  if (static_cast<int>(sizeof...(Args)) != expected.Count) return false;
  int i = 0;
  return (Suits<Args>(expected.Kinds[i++]) && ...);
}

// The value handed to vsnprintf for an argument that suits its conversion.
template <typename T>
auto Passed(const T& value) {
  if constexpr (std::is_same_v<T, std::string>) return value.c_str();
  else if constexpr (std::is_convertible_v<const T&, const char*>) return static_cast<const char*>(value);
  else if constexpr (std::is_floating_point_v<T>) return static_cast<double>(value);
  else return static_cast<int>(value);
}

}  // namespace finding_format

// Whether arguments of types Args fit the format of finding Code: as many as
// it has conversions, each of the kind its conversion reads.
template <FindingCode Code, typename... Args>
inline constexpr bool kFindingArgumentCountFits =
    static_cast<int>(sizeof...(Args)) == finding_format::kArguments<Code>.Count;
template <FindingCode Code, typename... Args>
inline constexpr bool kFindingArgumentsFit =
    kFindingArgumentCountFits<Code, Args...> && finding_format::AllSuit<Args...>(finding_format::kArguments<Code>);

// The checked form: ReportFinding<kSizeIncorrect>(&err, name, "Signal", size)
// reports like ReportFinding(&err, 16, ...), and a call whose arguments do
// not fit the format fails to compile. Texts may be passed as std::string.
template <FindingCode Code, typename... Args>
void ReportFinding(bool* errorFound, const Args&... args) {
  static_assert(Code >= 0 && Code < kFindingCount, "not a finding code");
  static_assert(kFindingArgumentCountFits<Code, Args...>, "the finding's format takes another number of arguments");
  static_assert(kFindingArgumentsFit<Code, Args...>,
                "an argument does not suit its conversion: a text for %s, an int for %d, a double for %f");
  ReportFinding(errorFound, static_cast<int>(Code), finding_format::Passed(args)...);
}

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
//  - under kCheckUnique: item->IsNameUsed(name) -> kNameNotUnique with
//    (name, kindWord, uniqueSuffix); the suffix ends "Name is not unique%s.";
//  - under kCheckAll: CheckNameForm(errorFound, name, flags, kindWord).
ZOR_API void CheckItemName(bool* errorFound, TItemData* item, uint64_t flags, const char* kindWord,
                           const std::string& uniqueSuffix = std::string());

// The parts of CheckItemName, for classes that run other checks in between or
// check a name other than their own.
// Under kCheckUnique: item->IsNameUsed(name) -> kNameNotUnique (name, kindWord, uniqueSuffix).
ZOR_API void CheckNameUnique(bool* errorFound, TItemData* item, const std::string& name, uint64_t flags,
                             const char* kindWord, const std::string& uniqueSuffix = std::string());
// The same with the suffix built only when the finding is reported.
ZOR_API void CheckNameUnique(bool* errorFound, TItemData* item, const std::string& name, uint64_t flags,
                             const char* kindWord, const std::function<std::string()>& uniqueSuffix);
// Under kCheckAll: a name longer than kMaxNameLength -> kNameTooLong (name, kindWord);
// IsNotCLike(name) -> kNameNotCLike (name, formKindWord, or kindWord when that is null).
ZOR_API void CheckNameForm(bool* errorFound, const std::string& name, uint64_t flags, const char* kindWord,
                           const char* formKindWord = nullptr);

}  // namespace ZOR_RAM
