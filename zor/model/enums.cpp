#include "zor/model/enums.h"

#include <cstddef>
#include <string_view>

namespace ZOR_RAM {
namespace {

constexpr char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The table texts are ASCII, so folding ASCII letters is the whole case rule:
// a byte above 127 can only match itself and no table holds one.
bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

template <std::size_t N>
std::string ToText(const char* const (&texts)[N], int32_t value) {
  if (value < 0 || static_cast<std::size_t>(value) >= N) return kUndefinedEnumText;
  return texts[value];
}

template <std::size_t N>
int32_t FromText(const char* const (&texts)[N], const std::string& text) {
  for (std::size_t i = 0; i < N; ++i) {
    if (EqualIgnoringCase(text, texts[i])) return static_cast<int32_t>(i);
  }
  return 0;
}

// Each table is indexed by value; the rows must list the values 0, 1, 2 ...
template <std::size_t N>
constexpr bool IsDense(const int32_t (&values)[N]) {
  for (std::size_t i = 0; i < N; ++i) {
    if (values[i] != static_cast<int32_t>(i)) return false;
  }
  return true;
}

#define ZOR_ENUM(Name, Element) constexpr const char* const k##Name##Texts[] = {
#define ZOR_ENUM_TEXT(Name, Value, Constant, Text) Text,
#define ZOR_ENUM_END(Name) };
#include "zor/model/enums.def"

#define ZOR_ENUM(Name, Element) constexpr int32_t k##Name##Values[] = {
#define ZOR_ENUM_TEXT(Name, Value, Constant, Text) Constant,
#define ZOR_ENUM_END(Name) \
  };                       \
  static_assert(IsDense(k##Name##Values), #Name " values must run 0, 1, 2 ... in row order");
#include "zor/model/enums.def"

}  // namespace
}  // namespace ZOR_RAM

// Qualified definitions: a row of enums.def without its declaration in
// enums.h does not compile.
#define ZOR_ENUM(Name, Element)                                                     \
  std::string ZOR_RAM::Name##ToText(int32_t value) { return ToText(k##Name##Texts, value); } \
  int32_t ZOR_RAM::Name##FromText(const std::string& text) { return FromText(k##Name##Texts, text); }
#include "zor/model/enums.def"
