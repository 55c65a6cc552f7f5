#include "dialog/choice_rules.h"

#include "dialog/open_dialog.h"

#include <sys/stat.h>
#include <unistd.h>

namespace opjoin {

namespace {

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    return ".";
  }
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::string WithDefaultExtension(std::string_view path, std::string_view extension) {
  std::size_t slash = path.rfind('/');
  std::size_t name_start = slash == std::string_view::npos ? 0 : slash + 1;
  std::size_t dot = path.rfind('.');
  std::string result(path);
  if (dot == std::string_view::npos || dot <= name_start) {
    result += '.';
    result += extension;
  }
  return result;
}

bool FileExists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

bool IsFolder(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

ChoiceRefusal CheckChoice(const std::string& path, unsigned long flags) {
  const std::string folder = FolderOf(path);
  if (!IsFolder(folder)) {
    return (flags & OFN_PATHMUSTEXIST) != 0 ? ChoiceRefusal::kFolderMissing : ChoiceRefusal::kNone;
  }
  struct stat info;
  const bool exists = ::stat(path.c_str(), &info) == 0;
  if (exists && !S_ISREG(info.st_mode)) {
    return ChoiceRefusal::kNotAFile;
  }
  if ((flags & OFN_NOREADONLYRETURN) == 0) {
    return ChoiceRefusal::kNone;
  }
  if (exists && ((info.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0)) {
    return ChoiceRefusal::kReadOnlyFile;
  }
  if (::access(folder.c_str(), W_OK) != 0) {
    return ChoiceRefusal::kReadOnlyFolder;
  }
  return ChoiceRefusal::kNone;
}

std::string RefusalText(ChoiceRefusal refusal, const std::string& path) {
  switch (refusal) {
    case ChoiceRefusal::kNone:
      return {};
    case ChoiceRefusal::kFolderMissing:
      return path + "\nThe path does not exist. Check the path and try again.";
    case ChoiceRefusal::kNotAFile:
      return path + "\nThis is not a file. Choose a file.";
    case ChoiceRefusal::kReadOnlyFile:
      return path + "\nThis file is read-only. Choose another file.";
    case ChoiceRefusal::kReadOnlyFolder:
      return path + "\nThis folder cannot be written. Choose a file in another folder.";
  }
  return {};
}

}  // namespace opjoin

namespace opjoin {

std::string AbsolutePath(std::string_view base, std::string_view path) {
  std::string joined =
      path.starts_with('/') ? std::string(path) : std::string(base) + "/" + std::string(path);
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

}  // namespace opjoin
