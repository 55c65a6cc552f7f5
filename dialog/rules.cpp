#include "dialog/rules.h"

#include "base/path.h"
#include "dialog/description.h"

namespace opjoin {

ChoiceRefusal CheckChoice(const std::string& path, unsigned long flags) {
  const std::string folder = FolderOf(path);
  if (!IsFolder(folder)) {
    return (flags & OFN_PATHMUSTEXIST) != 0 ? ChoiceRefusal::kFolderMissing : ChoiceRefusal::kNone;
  }
  const FileKind kind = KindOf(path);
  if (kind != FileKind::kMissing && kind != FileKind::kRegular) {
    return ChoiceRefusal::kNotAFile;
  }
  if ((flags & OFN_NOREADONLYRETURN) == 0) {
    return ChoiceRefusal::kNone;
  }
  if (kind == FileKind::kRegular && IsReadOnlyFile(path)) {
    return ChoiceRefusal::kReadOnlyFile;
  }
  if (!FolderIsWritable(folder)) {
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
