// Path rules on Linux: '/' separates components, and the parts that ask the system.
#include <unistd.h>

#include <cerrno>

#include "base/diagnostic.h"
#include "base/malloced.h"
#include "base/path.h"
#include "base/path_platform.h"

namespace opjoin {

bool IsSeparator(char c) {
  return c == '/';
}

std::size_t RootLength(std::string_view path) {
  return path.starts_with('/') ? 1 : 0;
}

char PreferredSeparator() {
  return '/';
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

bool WorkingFolder(std::string* folder, std::string* error) {
  MallocedChars cwd(::getcwd(nullptr, 0));
  if (!cwd) {
    *error = ErrnoText(errno);
    return false;
  }
  *folder = cwd.get();
  return true;
}

}  // namespace opjoin
