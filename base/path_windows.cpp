// Path rules on Windows: '\' and '/' separate components, roots are drives and network shares,
// and the parts that ask the system.
#include <windows.h>

#include <cctype>
#include <vector>

#include "base/path.h"
#include "base/path_platform.h"
#include "base/wide_windows.h"

namespace opjoin {

namespace {

bool IsDriveLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool HasDrive(std::string_view path) {
  return path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':';
}

// The index just past the separator that ends the component starting at `from`, or the size.
std::size_t PastComponent(std::string_view path, std::size_t from) {
  while (from < path.size() && !IsSeparator(path[from])) {
    ++from;
  }
  return from < path.size() ? from + 1 : from;
}

}  // namespace

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

std::size_t RootLength(std::string_view path) {
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    // "\\?\C:\..." and "\\.\device": the prefix, then a drive's root if one follows.
    if (path.size() >= 4 && (path[2] == '?' || path[2] == '.') && IsSeparator(path[3])) {
      std::string_view rest = path.substr(4);
      if (HasDrive(rest)) {
        return 4 + (rest.size() >= 3 && IsSeparator(rest[2]) ? 3 : 2);
      }
      return 4;
    }
    // "\\server\share\": the server's and the share's names belong to the root.
    return PastComponent(path, PastComponent(path, 2));
  }
  if (HasDrive(path)) {
    return path.size() >= 3 && IsSeparator(path[2]) ? 3 : 2;
  }
  return !path.empty() && IsSeparator(path[0]) ? 1 : 0;
}

char PreferredSeparator() {
  return '\\';
}

bool IsAbsolute(std::string_view path) {
  std::size_t root = RootLength(path);
  return root >= 3 ||
         (root > 0 && IsSeparator(path[0]) && path.size() >= 2 && IsSeparator(path[1]));
}

std::string AbsolutePath(std::string_view base, std::string_view path) {
  std::string joined;
  std::size_t root_length = RootLength(path);
  if (IsAbsolute(path)) {
    joined = path;
  } else if (root_length == 1) {
    // "\sim\inv.out": the root of the base's drive or share.
    std::string_view base_root = base.substr(0, RootLength(base));
    while (!base_root.empty() && IsSeparator(base_root.back())) {
      base_root.remove_suffix(1);
    }
    joined = std::string(base_root) + std::string(path);
  } else if (root_length == 2 && !(HasDrive(base) && ::toupper(base[0]) == ::toupper(path[0]))) {
    // "D:inv.out" from another drive: that drive's working folder is not known; take its root.
    joined = std::string(path.substr(0, 2)) + "\\" + std::string(path.substr(2));
  } else {
    joined = std::string(base) + "\\" + std::string(path.substr(root_length));
  }
  std::size_t root = RootLength(joined);
  std::string result = joined.substr(0, root);
  for (char& c : result) {
    if (c == '/') {
      c = '\\';
    }
  }
  if (!result.empty() && !IsSeparator(result.back())) {
    result += '\\';
  }
  std::vector<std::string_view> parts;
  std::string_view rest = std::string_view(joined).substr(root);
  while (!rest.empty()) {
    std::size_t end = 0;
    while (end < rest.size() && !IsSeparator(rest[end])) {
      ++end;
    }
    std::string_view part = rest.substr(0, end);
    rest.remove_prefix(end < rest.size() ? end + 1 : end);
    if (part == "..") {
      if (!parts.empty()) {
        parts.pop_back();
      }
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
  }
  for (std::size_t i = 0; i < parts.size(); ++i) {
    result += (i == 0 ? "" : "\\");
    result += parts[i];
  }
  return result;
}

bool WorkingFolder(std::string* folder, std::string* error) {
  DWORD size = ::GetCurrentDirectoryW(0, nullptr);
  for (;;) {
    if (size == 0) {
      *error = SystemErrorText(::GetLastError());
      return false;
    }
    std::wstring buffer(size, L'\0');
    DWORD length = ::GetCurrentDirectoryW(size, buffer.data());
    if (length < size) {
      buffer.resize(length);
      *folder = WideToUtf8(buffer);
      return true;
    }
    size = length;  // the folder changed meanwhile and grew
  }
}

}  // namespace opjoin
