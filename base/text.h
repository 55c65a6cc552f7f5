// Small text helpers shared by the modules.
#pragma once

#include <initializer_list>
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

// `pattern` with each "%s" replaced by the next of `values`, in order. A "%s" without a value
// is left as it stands.
inline std::string Fill(std::string_view pattern, std::initializer_list<std::string_view> values) {
  std::string text;
  const std::string_view* value = values.begin();
  for (;;) {
    std::size_t at = pattern.find("%s");
    if (at == std::string_view::npos || value == values.end()) {
      text += pattern;
      return text;
    }
    text += pattern.substr(0, at);
    text += *value++;
    pattern.remove_prefix(at + 2);
  }
}

}  // namespace opjoin
