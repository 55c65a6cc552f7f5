#include "dialog/description.h"

#include <string>

#include "base/text.h"

namespace opjoin {

namespace {

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether `name` matches `pattern`, where '*' stands for any run of characters and '?' for
// one, ignoring the case of ASCII letters, as the platforms' file dialogs match.
bool MatchesPattern(std::string_view pattern, std::string_view name) {
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t star = std::string_view::npos;  // the last '*' seen, to fall back to
  std::size_t star_name = 0;                  // where in `name` that '*' now ends
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      star_name = n;
    } else if (p < pattern.size() &&
               (pattern[p] == '?' || LowerAscii(pattern[p]) == LowerAscii(name[n]))) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++star_name;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') {
    ++p;
  }
  return p == pattern.size();
}

}  // namespace

std::vector<FilterEntry> ParseFilterString(std::string_view filter) {
  std::vector<std::string_view> fields;
  while (!filter.empty()) {
    std::size_t bar = filter.find('|');
    fields.push_back(filter.substr(0, bar));
    filter = bar == std::string_view::npos ? std::string_view() : filter.substr(bar + 1);
  }
  std::vector<FilterEntry> entries;
  for (std::size_t i = 0; i + 1 < fields.size() && !fields[i].empty(); i += 2) {
    entries.push_back({std::string(fields[i]), std::string(fields[i + 1])});
  }
  return entries;
}

const OpenDialogDescription& LogOpenDialog() {
  static const OpenDialogDescription description = {
      "Load SmartSpice Log File",
      ParseFilterString(LogFilterString),
      0,
      std::string(DefaultExtension),
      OFN_CREATEPROMPT | OFN_ENABLESIZING | OFN_NOCHANGEDIR | OFN_OVERWRITEPROMPT |
          OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOREADONLYRETURN | OFN_NONETWORKBUTTON |
          OFN_NOTESTFILECREATE,
  };
  return description;
}

bool MatchesFilter(std::string_view patterns, std::string_view file_name) {
  while (!patterns.empty()) {
    std::size_t semicolon = patterns.find(';');
    std::string pattern(Trim(patterns.substr(0, semicolon)));
    patterns =
        semicolon == std::string_view::npos ? std::string_view() : patterns.substr(semicolon + 1);
    if (pattern == "*.*" || pattern == "*") {
      return true;
    }
    if (!pattern.empty() && MatchesPattern(pattern, file_name)) {
      return true;
    }
  }
  return false;
}

}  // namespace opjoin
