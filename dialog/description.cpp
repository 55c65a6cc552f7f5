#include "dialog/description.h"

#include <fnmatch.h>

#include <string>

#include "base/text.h"

namespace opjoin {

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
  const std::string name(file_name);
  while (!patterns.empty()) {
    std::size_t semicolon = patterns.find(';');
    std::string pattern(Trim(patterns.substr(0, semicolon)));
    patterns =
        semicolon == std::string_view::npos ? std::string_view() : patterns.substr(semicolon + 1);
    if (pattern == "*.*" || pattern == "*") {
      return true;
    }
    if (!pattern.empty() && ::fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0) {
      return true;
    }
  }
  return false;
}

}  // namespace opjoin
