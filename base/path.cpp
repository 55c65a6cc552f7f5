#include "base/path.h"

#include <algorithm>

#include "base/path_platform.h"

namespace opjoin {

namespace {

// Where the file name starts: after the last separator, and never inside the root.
std::size_t NameStart(std::string_view path) {
  std::size_t start = RootLength(path);
  for (std::size_t i = start; i < path.size(); ++i) {
    if (IsSeparator(path[i])) {
      start = i + 1;
    }
  }
  return start;
}

}  // namespace

std::string FolderOf(std::string_view path) {
  std::size_t name_start = NameStart(path);
  if (name_start == 0) {
    return ".";
  }
  std::string_view folder = path.substr(0, name_start);
  if (folder.size() > RootLength(path)) {
    folder.remove_suffix(1);  // the separator before the name; a root keeps its own
  }
  return std::string(folder);
}

std::string_view FileNameOf(std::string_view path) {
  return path.substr(NameStart(path));
}

std::size_t ExtensionDot(std::string_view path) {
  std::size_t name_start = path.size() - FileNameOf(path).size();
  std::size_t dot = path.rfind('.');
  return dot == std::string_view::npos || dot <= name_start ? std::string_view::npos : dot;
}

std::string WithExtension(std::string_view path, std::string_view extension) {
  std::string result(path.substr(0, ExtensionDot(path)));
  result += '.';
  result += extension;
  return result;
}

std::string WithDefaultExtension(std::string_view path, std::string_view extension) {
  return ExtensionDot(path) == std::string_view::npos ? WithExtension(path, extension)
                                                      : std::string(path);
}

std::string AbsoluteFromWorkingFolder(std::string_view path) {
  std::string folder;
  std::string error;
  if (!IsAbsolute(path) && !WorkingFolder(&folder, &error)) {
    return std::string(path);
  }
  std::string absolute = AbsolutePath(folder, path);  // the base plays no part in an absolute path
  const bool names_folder =
      (!path.empty() && IsSeparator(path.back())) || path == "." ||
      (path.ends_with(".") && path.size() >= 2 && IsSeparator(path[path.size() - 2]));
  if (names_folder && !IsSeparator(absolute.back())) {
    absolute += PreferredSeparator();
  }
  return absolute;
}

std::vector<std::string> PathComponents(std::string_view path) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = start;
    while (end < path.size() && !IsSeparator(path[end])) {
      ++end;
    }
    std::string_view name = path.substr(start, end - start);
    if (!name.empty() && name != ".") {
      names.emplace_back(name);
    }
    start = end + 1;
  }
  if (!path.empty() && IsSeparator(path.back())) {
    names.emplace_back(".");
  }
  return names;
}

}  // namespace opjoin
