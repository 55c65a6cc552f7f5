#include "base/path.h"

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
  if (IsAbsolute(path)) {
    return AbsolutePath("/", path);
  }
  std::string folder;
  std::string error;
  return WorkingFolder(&folder, &error) ? AbsolutePath(folder, path) : std::string(path);
}

}  // namespace opjoin
