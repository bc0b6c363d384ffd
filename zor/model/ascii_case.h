// ASCII case folding: names are compared without regard to the case of the
// letters A to Z; every other byte compares as it is.
#pragma once

#include <string>
#include <string_view>

namespace ZOR_RAM {

// 'A'..'Z' become 'a'..'z'; other characters stay.
constexpr char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
std::string FoldAscii(std::string_view text);

// Whether a and b are equal after folding, byte for byte.
bool SameTextAscii(std::string_view a, std::string_view b);

}  // namespace ZOR_RAM
