#include <sys/stat.h>
#include <unistd.h>

#include "dialog/rules.h"

namespace opjoin {

FileKind KindOf(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) {
    return FileKind::kMissing;
  }
  return S_ISREG(info.st_mode)   ? FileKind::kRegular
         : S_ISDIR(info.st_mode) ? FileKind::kFolder
                                 : FileKind::kOther;
}

bool FileExists(const std::string& path) {
  return KindOf(path) != FileKind::kMissing;
}

bool IsFolder(const std::string& path) {
  return KindOf(path) == FileKind::kFolder;
}

bool IsReadOnlyFile(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 &&
         ((info.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0);
}

bool FolderIsWritable(const std::string& folder) {
  return ::access(folder.c_str(), W_OK) == 0;
}

}  // namespace opjoin
