#include "dialog/rules.h"

#include "base/path.h"
#include "dialog/description.h"

#include <sys/stat.h>
#include <unistd.h>

namespace opjoin {

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
