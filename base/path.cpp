#include "base/path.h"

#include <algorithm>

namespace opjoin {

std::string FolderOf(std::string_view path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) {
    return ".";
  }
  return slash == 0 ? "/" : std::string(path.substr(0, slash));
}

std::string_view FileNameOf(std::string_view path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
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

bool IsAbsolute(std::string_view path) {
  return path.starts_with('/');
}

std::string AbsolutePath(std::string_view base, std::string_view path) {
  std::string joined =
      IsAbsolute(path) ? std::string(path) : std::string(base) + "/" + std::string(path);
  std::string result;
  std::size_t start = 0;
  while (start <= joined.size()) {
    std::size_t slash = joined.find('/', start);
    if (slash == std::string::npos) {
      slash = joined.size();
    }
    std::string_view part(joined.data() + start, slash - start);
    if (!part.empty() && part != ".") {
      result += '/';
      result += part;
    }
    start = slash + 1;
  }
  return result.empty() ? "/" : result;
}

std::string AbsoluteFromWorkingFolder(std::string_view path) {
  std::string folder = "/";
  std::string error;
  if (!IsAbsolute(path) && !WorkingFolder(&folder, &error)) {
    return std::string(path);
  }
  std::string absolute = AbsolutePath(folder, path);
  const bool names_folder = path.ends_with('/') || path.ends_with("/.") || path == ".";
  if (names_folder && !absolute.ends_with('/')) {
    absolute += '/';
  }
  return absolute;
}

std::vector<std::string> PathComponents(std::string_view path) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t slash = std::min(path.find('/', start), path.size());
    std::string_view name = path.substr(start, slash - start);
    if (!name.empty() && name != ".") {
      names.emplace_back(name);
    }
    start = slash + 1;
  }
  if (path.ends_with('/')) {
    names.emplace_back(".");
  }
  return names;
}

}  // namespace opjoin
