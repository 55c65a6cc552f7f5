#include "base/wide_windows.h"
#include "dialog/rules.h"

// After the dialog's description, whose IDOK and OFN_* the system's header makes macros.
#include <windows.h>

namespace opjoin {

namespace {

DWORD AttributesOf(const std::string& path) {
  return ::GetFileAttributesW(Utf8ToWide(path).c_str());
}

}  // namespace

FileKind KindOf(const std::string& path) {
  DWORD attributes = AttributesOf(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return FileKind::kMissing;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return FileKind::kFolder;
  }
  return (attributes & FILE_ATTRIBUTE_DEVICE) != 0 ? FileKind::kOther : FileKind::kRegular;
}

bool FileExists(const std::string& path) {
  return KindOf(path) != FileKind::kMissing;
}

bool IsFolder(const std::string& path) {
  return KindOf(path) == FileKind::kFolder;
}

bool IsReadOnlyFile(const std::string& path) {
  DWORD attributes = AttributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

bool FolderIsWritable(const std::string&) {
  return true;
}

}  // namespace opjoin
