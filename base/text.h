// Small text helpers shared by the modules.
#pragma once

#include <string>
#include <string_view>

namespace opjoin {

// `text` without the blanks (spaces, tabs, carriage returns) at either end.
inline std::string_view Trim(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r";
  std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace opjoin
